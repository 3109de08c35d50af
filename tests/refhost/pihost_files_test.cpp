// pihost and the user's files: a registry or an image that the disk cannot
// take leaves the old file and says so, runs that share a registry lose
// none of each other's entries, a registry line that cannot be read stops
// the run, and every signal that ends pihost removes its partial file.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "refhost/image_io.h"
#include "refhost/registry_file.h"
#include "refhost/scratch_dir.h"

#if defined(REFHOST_PIHOST) && defined(REFHOST_TEST_MODULE)

namespace {

using refhost::Registry;

const std::string kGlimra = REFHOST_TEST_MODULE;
const std::string kHalvane = kGlimra.substr(0, kGlimra.find_last_of('/') + 1) + "halvane.plugin.so";

// A program started by the test, its standard output and error going to a
// pipe, so that no file-size limit of its own cuts them short.
struct Child {
    pid_t pid;
    int output;
};

// Starts `program args...`; setUp runs in the child just before the
// program.  The child starts as a fresh process would, whatever the test's
// runner left: every signal at its default, none blocked, and no core files.
Child start(const std::vector<std::string>& command, const std::function<void()>& setUp = nullptr) {
    std::vector<char*> argv;
    for (const std::string& a : command) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) return Child{-1, -1};
    const pid_t pid = fork();
    if (pid != 0) {
        close(pipeEnds[1]);
        return Child{pid, pipeEnds[0]};
    }
    for (int s = 1; s < NSIG; ++s) signal(s, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    if (dup2(pipeEnds[1], 1) < 0 || dup2(pipeEnds[1], 2) < 0) _exit(126);
    if (setUp) setUp();
    execv(argv[0], argv.data());
    _exit(127);
}

struct Ended {
    int status;  // as waitpid gives it
    std::string output;
};

Ended finish(const Child& c) {
    Ended e{-1, std::string()};
    char buf[4096];
    ssize_t n;
    while ((n = read(c.output, buf, sizeof buf)) != 0)
        if (n > 0) e.output.append(buf, size_t(n));
        else if (errno != EINTR) break;
    close(c.output);
    while (waitpid(c.pid, &e.status, 0) < 0 && errno == EINTR) {
    }
    return e;
}

std::vector<std::string> pihost(std::vector<std::string> args) {
    args.insert(args.begin(), REFHOST_PIHOST);
    return args;
}

std::string exitText(int status) {
    if (WIFSIGNALED(status)) return std::string("killed by ") + strsignal(WTERMSIG(status));
    return "exit status " + std::to_string(WEXITSTATUS(status));
}

class PihostFiles : public refhost_test::ScratchDir {
protected:
    // A run on a small synthetic document that remembers its settings in reg.
    std::vector<std::string> run(const std::string& module, const std::string& reg, const std::string& out) const {
        return pihost({module, "--size", "40x30", "--mode", "gray", "--registry", reg, "--out", out});
    }
    // Both products' entries, as a user's registry holds them after a run of each.
    std::string seedRegistry(const std::string& name) const {
        for (const std::string& module : {kGlimra, kHalvane})
        {
            const Ended e = finish(start(run(module, path(name), path("seed.pgm"))));
            EXPECT_EQ(e.status, 0) << e.output;
        }
        return slurp(path(name));
    }
};

// ---------------------------------------------------------------------------
// A disk that cannot take the registry or the image.

enum class Full { registry, image };
enum class How { tmpfs, fileSizeLimit };

struct FullDisk {
    const char* name;
    Full full;
    How how;
};

class PihostFullDisk : public PihostFiles, public ::testing::WithParamInterface<FullDisk> {};

// A small tmpfs in a mount namespace of the run's own (as root, or as a user
// where the system lets users make namespaces), filled before pihost runs;
// what is on it afterwards is copied to after/, since it goes with the
// namespace.
const char* const kFullTmpfsScript =
    "d=$1; shift\n"
    "mount -t tmpfs -o size=64k tmpfs \"$d/disk\" || exit 90\n"
    "cp \"$d/seed/\"* \"$d/disk/\"\n"
    "dd if=/dev/zero of=\"$d/disk/filler\" bs=4096 2>/dev/null\n"
    "\"$@\" >\"$d/log\" 2>&1\n"
    "echo $? >\"$d/status\"\n"
    "rm \"$d/disk/filler\"\n"
    "cp -a \"$d/disk/.\" \"$d/after/\"\n";

// Empty when a tmpfs can be mounted on dir in a namespace; else why not.
std::string whyNoTmpfs(const std::string& dir) {
    const Ended e = finish(start({"/usr/bin/unshare", "--user", "--map-root-user", "--mount", "/bin/sh", "-c",
                                  "mount -t tmpfs -o size=64k tmpfs \"$0\"", dir}));
    return e.status == 0 ? std::string() : exitText(e.status) + ": " + e.output;
}

TEST_P(PihostFullDisk, LeavesTheOldFileAndSaysSo) {
    const FullDisk& c = GetParam();
    for (const char* sub : {"disk", "seed", "after"}) ASSERT_EQ(mkdir(path(sub).c_str(), 0755), 0);
    const std::string registry = seedRegistry("registry.txt");
    ASSERT_GT(registry.size(), 4096u) << "the registry must outgrow the image and the file-size limit";
    // The file that the full disk holds, and the other one.
    const bool registryOnDisk = c.full == Full::registry;
    const std::string reg = registryOnDisk ? path("disk/reg.txt") : path("reg.txt");
    const std::string out = registryOnDisk ? path("out.pgm") : path("disk/out.pgm");
    put(registryOnDisk ? "seed/reg.txt" : "reg.txt", registry);
    if (!registryOnDisk) put("seed/out.pgm", "the old image");
    // A value the registry does not hold yet: a registry written shows.
    std::vector<std::string> command = run(kGlimra, reg, out);
    command.insert(command.end(), {"--set", "satU=0.5"});
    ASSERT_EQ(registry.find("satU doub 0.5"), std::string::npos);

    Ended e;
    std::string disk = path("disk");
    if (c.how == How::tmpfs) {
        const std::string why = whyNoTmpfs(path("after"));
        if (!why.empty()) GTEST_SKIP() << "no tmpfs can be mounted here (" << why << ")";
        std::vector<std::string> script{"/usr/bin/unshare", "--user", "--map-root-user", "--mount", "/bin/sh", "-c",
                                        kFullTmpfsScript, "sh", dir_};
        script.insert(script.end(), command.begin(), command.end());
        const Ended shell = finish(start(script));
        ASSERT_EQ(shell.status, 0) << shell.output;
        e.status = std::atoi(slurp(path("status")).c_str()) << 8;  // as waitpid gives an exit status
        e.output = slurp(path("log"));
        disk = path("after");
    } else {
        for (const std::string& f : namesIn(path("seed"))) put("disk/" + f, slurp(path("seed/" + f)));
        // Room for the image (1213 bytes) but not the registry; with the
        // signal ignored the write fails as on a full disk.
        const rlim_t limit = registryOnDisk ? 2048 : 512;
        e = finish(start(command, [limit] {
            const rlimit small{limit, limit};
            setrlimit(RLIMIT_FSIZE, &small);
            signal(SIGXFSZ, SIG_IGN);
        }));
    }
    const std::string& log = e.output;

    EXPECT_TRUE(WIFEXITED(e.status) && WEXITSTATUS(e.status) == 2) << exitText(e.status) << "\n" << log;
    if (registryOnDisk) {
        EXPECT_NE(log.find("pihost: cannot write the registry " + reg + ": "), std::string::npos) << log;
        EXPECT_NE(log.find("; it holds what it held before this run (" + out + " was written)"), std::string::npos)
            << log;
        EXPECT_EQ(slurp(disk + "/reg.txt"), registry);
        EXPECT_EQ(refhost::readImage(out).width(), 40);
        EXPECT_EQ(namesIn(disk), (std::set<std::string>{"reg.txt", "reg.txt.lock"}));
    } else {
        EXPECT_NE(log.find("pihost: '" + out + "': cannot write"), std::string::npos) << log;
        EXPECT_NE(log.find("; the registry " + reg + " was left as it was"), std::string::npos) << log;
        EXPECT_EQ(slurp(disk + "/out.pgm"), "the old image");
        EXPECT_EQ(slurp(reg), registry);
        EXPECT_EQ(namesIn(disk), std::set<std::string>{"out.pgm"});
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, PihostFullDisk,
                         ::testing::Values(FullDisk{"registryOnAFullTmpfs", Full::registry, How::tmpfs},
                                           FullDisk{"imageOnAFullTmpfs", Full::image, How::tmpfs},
                                           FullDisk{"registryPastTheFileSizeLimit", Full::registry, How::fileSizeLimit},
                                           FullDisk{"imagePastTheFileSizeLimit", Full::image, How::fileSizeLimit}),
                         [](const ::testing::TestParamInfo<FullDisk>& i) { return std::string(i.param.name); });

// ---------------------------------------------------------------------------
// Runs that share one registry.

std::map<std::string, std::set<std::string>> keysOf(const Registry& r) {
    std::map<std::string, std::set<std::string>> keys;
    for (const auto& [id, descriptor] : r)
        for (const refhost::DescriptorEntry& e : descriptor) keys[id].insert(refhost::keyName(e.key));
    return keys;
}

// Each round starts from no registry and runs both products at once, four
// runs of each: afterwards the registry holds every key of both, as the two
// products' own runs wrote them.
TEST_F(PihostFiles, RunsSharingARegistryKeepEveryProductsEntries) {
    seedRegistry("solo.txt");
    const auto expected = keysOf(refhost::readRegistryFile(path("solo.txt")));
    ASSERT_EQ(expected.size(), 2u);
    const int kRounds = 10, kRuns = 8;
    for (int round = 0; round < kRounds; ++round) {
        std::remove(path("shared.txt").c_str());
        std::vector<Child> runs;
        for (int i = 0; i < kRuns; ++i)
            runs.push_back(
                start(run(i % 2 ? kHalvane : kGlimra, path("shared.txt"), path("out" + std::to_string(i) + ".pgm"))));
        for (size_t i = 0; i < runs.size(); ++i) {
            const Ended e = finish(runs[i]);
            EXPECT_EQ(e.status, 0) << "round " << round << ", run " << i << ": " << exitText(e.status) << "\n"
                                   << e.output;
        }
        EXPECT_EQ(keysOf(refhost::readRegistryFile(path("shared.txt"))), expected) << "round " << round;
    }
}

// ---------------------------------------------------------------------------
// A registry line that cannot be read.

TEST_F(PihostFiles, ARegistryLineThatCannotBeReadStopsTheRunAndLeavesTheFile) {
    const std::string bad = seedRegistry("reg.txt") + "\n# a comment\n3f9c2a64\tconT doub abc\n";
    put("reg.txt", bad);
    const int lines = int(std::count(bad.begin(), bad.end(), '\n'));
    const Ended e = finish(start(run(kGlimra, path("reg.txt"), path("out.pgm"))));
    EXPECT_TRUE(WIFEXITED(e.status) && WEXITSTATUS(e.status) == 2) << exitText(e.status);
    EXPECT_NE(e.output.find("pihost: " + path("reg.txt") + ":" + std::to_string(lines) +
                                      ": 'abc' is not a finite number (doub)"),
              std::string::npos)
        << e.output;
    EXPECT_EQ(slurp(path("reg.txt")), bad);
    EXPECT_FALSE(namesIn(dir_).count("out.pgm"));
}

// ---------------------------------------------------------------------------
// Signals while the output is being written.

struct Ending {
    std::string name;
    int signal;
};

std::vector<Ending> endingSignals() {
    std::vector<Ending> s{{"SIGHUP", SIGHUP},   {"SIGINT", SIGINT},       {"SIGQUIT", SIGQUIT},
                          {"SIGILL", SIGILL},   {"SIGTRAP", SIGTRAP},     {"SIGABRT", SIGABRT},
                          {"SIGBUS", SIGBUS},   {"SIGFPE", SIGFPE},       {"SIGUSR1", SIGUSR1},
                          {"SIGSEGV", SIGSEGV}, {"SIGUSR2", SIGUSR2},     {"SIGPIPE", SIGPIPE},
                          {"SIGALRM", SIGALRM}, {"SIGTERM", SIGTERM},     {"SIGSTKFLT", SIGSTKFLT},
                          {"SIGXCPU", SIGXCPU}, {"SIGXFSZ", SIGXFSZ},     {"SIGVTALRM", SIGVTALRM},
                          {"SIGPROF", SIGPROF}, {"SIGPOLL", SIGPOLL},     {"SIGPWR", SIGPWR},
                          {"SIGSYS", SIGSYS},   {"SIGRTMIN", SIGRTMIN},   {"SIGRTMIN5", SIGRTMIN + 5},
                          {"SIGRTMAX", SIGRTMAX}};
    return s;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitizerTakesFaults = true;  // it reports them and exits
#else
constexpr bool kSanitizerTakesFaults = false;
#endif

class PihostWriting : public PihostFiles {
protected:
    // A picture whose PNG takes a while to write: noise, 2000 x 1500.
    static void SetUpTestSuite() {
        char tmpl[] = "/tmp/refhost-signal-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        pictureDir_ = tmpl;
        refhost::Document noise(plugInModeRGBColor, 2000, 1500);
        uint32_t x = 12345;
        for (int64_t i = 0; i < noise.rowBytes() * noise.height(); ++i) {
            x = x * 1664525u + 1013904223u;
            noise.data()[i] = uint8_t(x >> 24);
        }
        refhost::writeImage(noise, picture());
    }
    static void TearDownTestSuite() { std::system(("rm -rf '" + pictureDir_ + "'").c_str()); }
    static std::string picture() { return pictureDir_ + "/noise.ppm"; }
    static std::string pictureDir_;

    // Converts the picture over out.png, which holds an old image, and runs
    // during(pid) once the partial file is there.
    Ended convertOverAnOldImage(const std::function<void()>& setUp, const std::function<void(pid_t)>& during) {
        EXPECT_EQ(mkdir(path("out").c_str(), 0755), 0);
        put("out/out.png", "the old image");
        const int watch = inotify_init1(IN_CLOEXEC);
        EXPECT_GE(inotify_add_watch(watch, path("out").c_str(), IN_CREATE), 0);
        const Child child = start(pihost({"--convert", picture(), path("out/out.png")}), setUp);
        bool seen = false;
        alignas(inotify_event) char events[4096];
        pollfd p{watch, POLLIN, 0};
        while (!seen && poll(&p, 1, 30000) > 0) {
            const ssize_t n = read(watch, events, sizeof events);
            for (ssize_t at = 0; at < n;) {
                const inotify_event* e = reinterpret_cast<const inotify_event*>(events + at);
                seen = seen || (e->len && std::strstr(e->name, ".partial-"));
                at += ssize_t(sizeof(inotify_event) + e->len);
            }
        }
        close(watch);
        EXPECT_TRUE(seen) << "no partial file appeared";
        if (seen && during) during(child.pid);
        return finish(child);
    }
    // The old image and nothing beside it.
    void expectTheOldImageAlone() {
        EXPECT_EQ(slurp(path("out/out.png")), "the old image");
        EXPECT_EQ(namesIn(path("out")), std::set<std::string>{"out.png"});
    }
};
std::string PihostWriting::pictureDir_;

class PihostSignal : public PihostWriting, public ::testing::WithParamInterface<Ending> {};

TEST_P(PihostSignal, RemovesThePartialFileAndEndsThePihost) {
    const int signal = GetParam().signal;
    const Ended e = convertOverAnOldImage(nullptr, [signal](pid_t pid) { kill(pid, signal); });
    const bool fault = signal == SIGSEGV || signal == SIGBUS || signal == SIGFPE;
    if (fault && kSanitizerTakesFaults) {
        EXPECT_FALSE(WIFEXITED(e.status) && WEXITSTATUS(e.status) == 0) << exitText(e.status);
    } else {
        EXPECT_TRUE(WIFSIGNALED(e.status) && WTERMSIG(e.status) == signal) << exitText(e.status) << "\n" << e.output;
    }
    expectTheOldImageAlone();
    if (signal == SIGXFSZ) {
        const std::string out = path("out/out.png");
        EXPECT_EQ(e.output, "pihost: " + out + " would pass the file-size limit (ulimit -f): its partial file was "
                                               "removed and " + out + " left as it was\n");
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, PihostSignal, ::testing::ValuesIn(endingSignals()),
                         [](const ::testing::TestParamInfo<Ending>& i) { return i.param.name; });

// The file-size limit itself: by its signal, or, with the signal ignored,
// by a write that fails.
TEST_F(PihostWriting, TheFileSizeLimitStopsTheWriteAndTheOldImageStays) {
    const Ended e = convertOverAnOldImage(
        [] {
            const rlimit small{1 << 16, 1 << 16};
            setrlimit(RLIMIT_FSIZE, &small);
        },
        nullptr);
    EXPECT_TRUE(WIFSIGNALED(e.status) && WTERMSIG(e.status) == SIGXFSZ) << exitText(e.status);
    EXPECT_NE(e.output.find(path("out/out.png") + " would pass the file-size limit (ulimit -f)"), std::string::npos)
        << e.output;
    expectTheOldImageAlone();
}

TEST_F(PihostWriting, WithTheFileSizeSignalIgnoredTheWriteFailsAndTheOldImageStays) {
    const Ended e = convertOverAnOldImage(
        [] {
            const rlimit small{1 << 16, 1 << 16};
            setrlimit(RLIMIT_FSIZE, &small);
            signal(SIGXFSZ, SIG_IGN);
        },
        nullptr);
    EXPECT_TRUE(WIFEXITED(e.status) && WEXITSTATUS(e.status) == 2) << exitText(e.status);
    EXPECT_NE(e.output.find("pihost: '" + path("out/out.png") + "': cannot write"), std::string::npos) << e.output;
    expectTheOldImageAlone();
}

}  // namespace

#endif
