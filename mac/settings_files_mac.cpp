// Settings files on the Mac form: POSIX files, and no message of the
// writer's or reader's own when a file cannot be opened.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>

#include "entry/settings_file.h"

const char* const kSettingsCannotCreateText = nullptr;
const char* const kSettingsCannotOpenText = nullptr;
const char* const kSettingsNotValidText = "Not a valid settings file.  No settings or parameters will be loaded.";

namespace {

struct OpenFile {
    int fd;
};

void* createBesidePosix(const std::string& target, std::string& tempPath) {
    struct stat st;
    mode_t mode = 0666;
    const bool exists = stat(target.c_str(), &st) == 0;
    if (exists) {
        // Permission bits are checked as well as access(): a process running
        // as root may write anything, yet a read-only file stays read-only.
        const bool writable = (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) && access(target.c_str(), W_OK) == 0;
        if (!S_ISREG(st.st_mode) || !writable) return nullptr;
        mode = st.st_mode & 07777;
    }
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = target + ".saving-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
        const int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            if (exists) fchmod(fd, mode);  // the new file keeps the old one's permissions
            return new OpenFile{fd};
        }
        if (errno != EEXIST) break;
    }
    tempPath.clear();
    return nullptr;
}

bool writePosix(void* file, const void* bytes, size_t size) {
    const int fd = static_cast<OpenFile*>(file)->fd;
    const char* p = static_cast<const char*>(bytes);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

bool closePosix(void* file) {
    OpenFile* f = static_cast<OpenFile*>(file);
    bool ok = fsync(f->fd) == 0;
    ok = ::close(f->fd) == 0 && ok;
    delete f;
    return ok;
}

bool replacePosix(const std::string& tempPath, const std::string& target) {
    return std::rename(tempPath.c_str(), target.c_str()) == 0;
}

void removePosix(const std::string& tempPath) {
    if (!tempPath.empty()) unlink(tempPath.c_str());
}

}  // namespace

SettingsFileOps gSettingsFileOps = {createBesidePosix, writePosix, closePosix, replacePosix, removePosix};
