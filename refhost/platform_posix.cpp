// POSIX form of the reference host's platform services.
#include <dlfcn.h>
#include <sched.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

#include <Carbon.h>

#include <stdexcept>
#include <vector>

#include "refhost/platform.h"
#include "refhost/refhost.h"

namespace refhost {
namespace platform {

void* openModule(const std::string& path, std::string& error) {
    // RTLD_LOCAL: every copy of a module keeps its own globals.
    void* m = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m) {
        const char* e = dlerror();
        error = e ? e : ("cannot load " + path);
    }
    return m;
}

void* findSymbol(void* module, const char* name) { return module ? dlsym(module, name) : nullptr; }

void closeModule(void* module) {
    if (module) dlclose(module);
}

namespace {
std::string baseName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string directoryOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}
}  // namespace

std::string copyToTempDirectory(const std::string& path, std::string& error) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/refhost-XXXXXX";
    std::string dir = pattern;
    if (!mkdtemp(&dir[0])) {
        error = "cannot create a temporary directory: " + std::string(std::strerror(errno));
        return std::string();
    }
    std::string target = dir + "/" + baseName(path);
    int in = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        rmdir(dir.c_str());
        return std::string();
    }
    int out = open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0700);
    bool ok = out >= 0;
    char buf[1 << 16];
    while (ok) {
        ssize_t n = read(in, buf, sizeof buf);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        for (ssize_t done = 0; done < n;) {
            ssize_t w = write(out, buf + done, size_t(n - done));
            if (w < 0) {
                if (errno == EINTR) continue;
                ok = false;
                break;
            }
            done += w;
        }
    }
    int savedErrno = errno;
    close(in);
    if (out >= 0 && close(out) != 0) ok = false;
    if (!ok) {
        error = "cannot copy " + path + " to " + target + ": " + std::strerror(savedErrno);
        unlink(target.c_str());
        rmdir(dir.c_str());
        return std::string();
    }
    return target;
}

void removeTempCopy(const std::string& copyPath) {
    if (copyPath.empty()) return;
    unlink(copyPath.c_str());
    rmdir(directoryOf(copyPath).c_str());
}

namespace {
void say(const char* text, size_t length) {
    while (length > 0) {
        const ssize_t n = write(STDERR_FILENO, text, length);
        if (n <= 0) return;
        text += n;
        length -= size_t(n);
    }
}
void say(const char* text) { say(text, std::strlen(text)); }

// What the file-size limit stopped, in the plain calls a handler may make:
// the target is the partial file's name without its ".partial-PID-N".
void tellFileSizeLimit(const char* partial) {
    if (!partial) {
        say("pihost: a file reached the file-size limit (ulimit -f)\n");
        return;
    }
    const char* const mark = ".partial-";
    size_t target = std::strlen(partial);
    for (size_t i = 0; partial[i]; ++i)
        if (std::strncmp(partial + i, mark, std::strlen(mark)) == 0) target = i;
    say("pihost: ");
    say(partial, target);
    say(" would pass the file-size limit (ulimit -f): its partial file was removed and ");
    say(partial, target);
    say(" left as it was\n");
}

bool isFault(int signal) { return signal == SIGSEGV || signal == SIGBUS || signal == SIGILL || signal == SIGFPE; }

// The dispositions that were there before, put back before the signal is
// let through.
struct sigaction gPrevious[NSIG];

extern "C" void removePartialAndDie(int signal, siginfo_t* info, void*) {
    const int savedErrno = errno;
    const char* partial = pendingPartialFile();
    if (partial) unlink(partial);
    if (signal == SIGXFSZ) tellFileSizeLimit(partial);
    sigaction(signal, &gPrevious[signal], nullptr);
    // A fault of the processor comes back when the handler returns and meets
    // the disposition from before; a signal that was sent is sent again.
    // Every signal is blocked in here, so it arrives when the handler ends.
    if (!(isFault(signal) && info && info->si_code > 0)) raise(signal);
    errno = savedErrno;
}

// The signals whose default action ends the process.
std::vector<int> endingSignals() {
    std::vector<int> s{SIGHUP,  SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT,   SIGBUS,  SIGFPE,  SIGUSR1,
                       SIGSEGV, SIGUSR2, SIGPIPE, SIGALRM, SIGTERM, SIGXCPU,   SIGXFSZ, SIGVTALRM, SIGPROF,
                       SIGSYS};
#ifdef SIGSTKFLT
    s.push_back(SIGSTKFLT);
#endif
#ifdef SIGPOLL
    s.push_back(SIGPOLL);
#endif
#ifdef SIGPWR
    s.push_back(SIGPWR);
#endif
#ifdef SIGEMT
    s.push_back(SIGEMT);
#endif
#ifdef SIGRTMIN
    for (int r = SIGRTMIN; r <= SIGRTMAX; ++r) s.push_back(r);
#endif
    return s;
}

// A link is written through: the file it leads to is replaced, the link
// stays.  A dangling link leads to the file it names.
std::string finalTarget(const std::string& target) {
    std::string path = target;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        std::string link(size_t(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        ssize_t n = readlink(path.c_str(), &link[0], link.size());
        if (n <= 0 || size_t(n) >= link.size()) break;
        link.resize(size_t(n));
        path = link[0] == '/' ? link : directoryOf(path) + "/" + link;
    }
    return path;
}
}  // namespace

void removePartialFileOnSignals() {
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_sigaction = removePartialAndDie;
    sa.sa_flags = SA_SIGINFO;
    sigfillset(&sa.sa_mask);
    for (int s : endingSignals()) {
        struct sigaction old;
        if (s <= 0 || s >= NSIG || sigaction(s, nullptr, &old) != 0) continue;
        const bool byDefault = !(old.sa_flags & SA_SIGINFO) && old.sa_handler == SIG_DFL;
        const bool ignored = !(old.sa_flags & SA_SIGINFO) && old.sa_handler == SIG_IGN;
        // Another handler of a signal that need not end the process has a
        // use for it; one of a fault reports the crash and ends it.
        if (ignored || (!byDefault && !isFault(s))) continue;
        gPrevious[s] = old;
        sigaction(s, &sa, nullptr);
    }
}

std::FILE* createFileBeside(const std::string& target, std::string& tempPath, std::string& error) {
    static std::atomic<unsigned> counter{0};
    const std::string file = finalTarget(target);
    // A file that is replaced keeps its permissions.
    struct stat st;
    const bool replacing = stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    const mode_t mode = replacing ? (st.st_mode & 07777) : 0666;
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = file + ".partial-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
        notePartialFile(tempPath);
        int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode & 0777);
        if (fd >= 0) {
            std::FILE* f = replacing && fchmod(fd, mode) != 0 ? nullptr : fdopen(fd, "wb");
            if (f) return f;
            close(fd);
            unlink(tempPath.c_str());
            break;
        }
        if (errno != EEXIST) break;
    }
    error = "cannot create a file beside " + file + ": " + std::strerror(errno);
    forgetPartialFile(tempPath);
    tempPath.clear();
    return nullptr;
}

namespace {
// Writes a file's bytes through to the disk.  A file whose permissions
// deny reading (kept from the file it replaces) can still be opened to
// write.
bool syncFile(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = fsync(fd) == 0;
    const int savedErrno = errno;
    close(fd);
    errno = savedErrno;
    return synced;
}
}  // namespace

bool replaceFile(const std::string& from, const std::string& to, std::string& error) {
    const std::string file = finalTarget(to);
    if (!syncFile(from)) {
        error = "cannot write " + from + " through to the disk: " + std::strerror(errno);
        return false;
    }
    if (std::rename(from.c_str(), file.c_str()) == 0) {
        forgetPartialFile(from);
        // The new name is kept by the folder: sync it too.  Some file systems
        // cannot sync a folder; the file itself is safe by then.
        const int dir = open(directoryOf(file).c_str(), O_RDONLY | O_CLOEXEC);
        if (dir >= 0) {
            fsync(dir);
            close(dir);
        }
        return true;
    }
    error = "cannot move " + from + " to " + file + ": " + std::strerror(errno);
    return false;
}

void removeFile(const std::string& path) {
    if (path.empty()) return;
    unlink(path.c_str());
    forgetPartialFile(path);
}

int64_t fileSize(std::FILE* f) {
    struct stat st;
    return fstat(fileno(f), &st) == 0 ? int64_t(st.st_size) : -1;
}

void* lockBeside(const std::string& target, const std::function<void()>& beforeWaiting, std::string& error) {
    const std::string path = finalTarget(target) + ".lock";
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = "cannot make the lock file " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    int locked = flock(fd, LOCK_EX | LOCK_NB);
    if (locked != 0 && errno == EWOULDBLOCK) {
        if (beforeWaiting) beforeWaiting();
        do locked = flock(fd, LOCK_EX);
        while (locked != 0 && errno == EINTR);
    }
    if (locked != 0) {
        error = "cannot lock " + path + ": " + std::strerror(errno);
        close(fd);
        return nullptr;
    }
    return new int(fd);
}

void unlockBeside(void* lock) {
    if (!lock) return;
    int* fd = static_cast<int*>(lock);
    close(*fd);  // closing the only descriptor releases the lock
    delete fd;
}

void* allocatePages(size_t bytes) {
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return nullptr;
#ifdef MADV_HUGEPAGE
    madvise(p, bytes, MADV_HUGEPAGE);  // advice only: a refusal changes nothing
#endif
    return p;
}

void freePages(void* pages, size_t bytes) {
    if (pages) munmap(pages, bytes);
}

int processorCount() {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(CPU_COUNT(&set), 1);
    return std::max(int(sysconf(_SC_NPROCESSORS_ONLN)), 1);
}

static_assert(sizeof(cpu_set_t) <= sizeof(OneProcessor), "an affinity fits OneProcessor");

OneProcessor::OneProcessor() {
    cpu_set_t& saved = *reinterpret_cast<cpu_set_t*>(saved_);
    if (sched_getaffinity(0, sizeof saved, &saved) != 0) CPU_ZERO(&saved);
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int i = 0; i < CPU_SETSIZE; ++i)
        if (CPU_ISSET(i, &saved)) {
            CPU_SET(i, &one);
            break;
        }
    if (CPU_COUNT(&one) == 1) sched_setaffinity(0, sizeof one, &one);
}

OneProcessor::~OneProcessor() {
    const cpu_set_t& saved = *reinterpret_cast<const cpu_set_t*>(saved_);
    if (CPU_COUNT(&saved) > 0) sched_setaffinity(0, sizeof saved, &saved);
}

uint64_t physicalMemoryBytes() {
    const long pages = sysconf(_SC_PHYS_PAGES), size = sysconf(_SC_PAGESIZE);
    return pages > 0 && size > 0 ? uint64_t(pages) * uint64_t(size) : 0;
}

void* beginAlertCapture(Host&) { return nullptr; }

// The Mac form's context is the port of a window of the Carbon stand-in.
bool drawDisplayCall(const DisplayCall& call) {
    if (!call.platformContext) return true;
    if (!CarbonStandInIsWindowPort(call.platformContext)) return false;
    const int32 width = call.srcRect.right - call.srcRect.left, height = call.srcRect.bottom - call.srcRect.top;
    if (width <= 0 || height <= 0) return true;
    Document picture;
    try {
        picture = displayCallImage(call);
    } catch (const std::invalid_argument&) {
        return true;
    }
    std::vector<uint8_t> rgb(size_t(width) * height * 3);
    for (int32 y = 0; y < height; ++y)
        for (int32 x = 0; x < width; ++x) {
            const uint8_t* p = picture.pixel(x, y);
            uint8_t* q = &rgb[(size_t(y) * width + x) * 3];
            const bool grey = picture.planes() == 1;
            q[0] = p[0];
            q[1] = grey ? p[0] : p[1];
            q[2] = grey ? p[0] : p[2];
        }
    CarbonStandInDrawPixels(static_cast<CGrafPtr>(call.platformContext), call.dstRow, call.dstCol, width, height,
                            rgb.data());
    return true;
}

const std::vector<void*>& alertOwners() {
    static const std::vector<void*> none;
    return none;
}
const std::vector<VRect>& alertScreenRects() {
    static const std::vector<VRect> none;
    return none;
}
void endAlertCapture(void*) {}

}  // namespace platform
}  // namespace refhost
