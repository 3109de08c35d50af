// The whole filter pass as a host runs it: the plug-in module loaded by the
// reference host, parameters, prepare, start (no dialog: the script says not
// to show it), every continue and finish, on a 24-megapixel RGB image
// (6000 x 4000, Document::fillPattern) at 8 and 16 bits.  Both products at
// their defaults, and Halvane with the cleaner core ('Blai' true) and
// without it ('Blai' false).
//
// Reports megapixels per second (best and median of the repeats) and the
// peak memory: the host buffers the plug-in held at once, and the process's
// peak resident set.  Every configuration runs in a child process of its
// own, so that its peak resident set is its own.
//
// The engine runs one band per processor the process may use, so the thread
// count is set by the CPU affinity:
//
//     bench_pass                     # all processors (8 threads on 8 cores)
//     taskset -c 0 bench_pass        # 1 thread
//
// Options: --plugins DIR (where halvane.plugin.so and glimra.plugin.so are;
// default: the build's), --repeat N (default 3), --size WxH, --only NAME
// (a configuration whose name contains NAME), --check (the checking host of
// the tests: fresh, filled buffers and copies for every request).
#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "refhost/refhost.h"

using refhost::Descriptor;
using refhost::DescriptorEntry;

namespace {

struct Config {
    const char* product;
    const char* label;
    int cleaner;  // -1: no 'Blai' in the descriptor (the product's default)
    int32 depth;
};

const Config kConfigs[] = {
    {"glimra", "Glimra, defaults", -1, 8},
    {"halvane", "Halvane, defaults", -1, 8},
    {"halvane", "Halvane, Blai true", 1, 8},
    {"halvane", "Halvane, Blai false", 0, 8},
    {"glimra", "Glimra, defaults", -1, 16},
    {"halvane", "Halvane, defaults", -1, 16},
    {"halvane", "Halvane, Blai true", 1, 16},
    {"halvane", "Halvane, Blai false", 0, 16},
};

struct Options {
    std::string plugins =
#ifdef VEXLOR_PLUGIN_DIR
        VEXLOR_PLUGIN_DIR;
#else
        ".";
#endif
    int repeat = 3;
    int32 width = 6000, height = 4000;
    std::string only;
    // The checking host of the tests; otherwise the host as a tool (pihost's).
    bool check = false;
};

// What a child sends back: plain numbers, so a pipe carries it whole.
struct Figures {
    int ok;
    double bestSeconds, medianSeconds, worstSeconds;
    int64_t peakBufferBytes;
    int64_t rssBeforeKiB;  // resident after the image and the module are in
    int64_t peakRssKiB;
    int32 advanceCalls;
    char error[200];
};

int64_t residentKiB() {
    long pages = 0, resident = 0;
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return -1;
    const int n = std::fscanf(f, "%ld %ld", &pages, &resident);
    std::fclose(f);
    return n == 2 ? int64_t(resident) * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

Figures runConfig(const Config& c, const Options& o) {
    Figures fig{};
    try {
        refhost::Plugin plugin(o.plugins + "/" + c.product + ".plugin.so");
        refhost::Document source(refhost::modeFor(plugInModeRGBColor, c.depth), o.width, o.height);
        source.fillPattern(1);
        Descriptor script;
        if (c.cleaner >= 0) script.push_back(DescriptorEntry::Boolean(FourCC("Blai"), c.cleaner != 0));
        fig.rssBeforeKiB = residentKiB();

        std::vector<double> seconds;
        for (int r = 0; r < o.repeat; ++r) {
            refhost::HostOptions options = refhost::toolHostOptions();
            if (o.check) {
                options.checking = true;
                options.rowSlackBytes = refhost::HostOptions().rowSlackBytes;
            }
            refhost::Host host(source, options);
            host.setScriptDescriptor(script, plugInDialogDontDisplay);
            const auto t0 = std::chrono::steady_clock::now();
            const refhost::RunResult run = refhost::runFilter(plugin, host);
            const auto t1 = std::chrono::steady_clock::now();
            if (run.result != noErr || !host.alerts().empty() || !host.clean() || host.document() == source) {
                std::snprintf(fig.error, sizeof fig.error, "result %d, %s%s", int(run.result),
                              host.alerts().empty() ? "" : host.alerts()[0].c_str(),
                              host.document() == source ? " (image unchanged)" : "");
                return fig;
            }
            // The scripted flag must have reached the parameter block (flag 8).
            const std::vector<uint8_t> block = host.parameterBytes();
            if (c.cleaner >= 0 && (block.size() < 9 || block[8] != c.cleaner)) {
                std::snprintf(fig.error, sizeof fig.error, "'Blai' did not reach the parameters");
                return fig;
            }
            seconds.push_back(std::chrono::duration<double>(t1 - t0).count());
            fig.peakBufferBytes = std::max(fig.peakBufferBytes, host.buffers().peakBytes());
            fig.advanceCalls = int32(host.advanceCalls().size());
        }
        std::sort(seconds.begin(), seconds.end());
        fig.bestSeconds = seconds.front();
        fig.medianSeconds = seconds[seconds.size() / 2];
        fig.worstSeconds = seconds.back();
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        fig.peakRssKiB = usage.ru_maxrss;
        fig.ok = 1;
    } catch (const std::exception& e) {
        std::snprintf(fig.error, sizeof fig.error, "%s", e.what());
    }
    return fig;
}

// Runs the configuration in a child process; its figures come back by pipe.
Figures runInChild(const Config& c, const Options& o) {
    Figures fig{};
    int fds[2];
    if (pipe(fds) != 0) {
        std::snprintf(fig.error, sizeof fig.error, "pipe failed");
        return fig;
    }
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const Figures mine = runConfig(c, o);
        const ssize_t n = write(fds[1], &mine, sizeof mine);
        _exit(n == ssize_t(sizeof mine) ? 0 : 1);
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        std::snprintf(fig.error, sizeof fig.error, "fork failed");
        return fig;
    }
    size_t got = 0;
    char* bytes = reinterpret_cast<char*>(&fig);
    while (got < sizeof fig) {
        const ssize_t n = read(fds[0], bytes + got, sizeof fig - got);
        if (n <= 0) break;
        got += size_t(n);
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (got != sizeof fig) {
        fig = Figures{};
        std::snprintf(fig.error, sizeof fig.error, "the run ended abnormally (status %d)", status);
    }
    return fig;
}

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool more = i + 1 < argc;
        if (a == "--check") {
            o.check = true;
        } else if (a == "--plugins" && more) {
            o.plugins = argv[++i];
        } else if (a == "--repeat" && more) {
            o.repeat = std::atoi(argv[++i]);
            if (o.repeat < 1) return false;
        } else if (a == "--size" && more) {
            if (std::sscanf(argv[++i], "%dx%d", &o.width, &o.height) != 2 || o.width < 25 || o.height < 25)
                return false;
        } else if (a == "--only" && more) {
            o.only = argv[++i];
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parse(argc, argv, o)) {
        std::fprintf(stderr, "usage: bench_pass [--plugins DIR] [--repeat N] [--size WxH] [--only NAME] [--check]\n");
        return 2;
    }
    cpu_set_t set;
    const int processors = sched_getaffinity(0, sizeof set, &set) == 0 ? CPU_COUNT(&set) : 0;
    const double megapixels = double(o.width) * o.height / 1e6;
    std::printf("Whole pass through the reference host, %d x %d RGB (%.1f MP), %d processor(s) = engine threads, "
                "best/median of %d\n\n",
                o.width, o.height, megapixels, processors, o.repeat);
    std::printf("| configuration | bits | threads | MP/s (best) | MP/s (median) | s (best) | host buffers peak MB "
                "| RSS before pass MB | peak RSS MB | host requests |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|\n");
    int failures = 0;
    for (const Config& c : kConfigs) {
        const std::string name = std::string(c.label) + " " + std::to_string(c.depth);
        if (!o.only.empty() && name.find(o.only) == std::string::npos) continue;
        const Figures f = runInChild(c, o);
        if (!f.ok) {
            std::printf("| %s | %d | %d | failed: %s |\n", c.label, c.depth, processors, f.error);
            ++failures;
            continue;
        }
        const double mb = 1024.0 * 1024.0;
        std::printf("| %s | %d | %d | %.2f | %.2f | %.2f | %.0f | %.0f | %.0f | %d |%s\n", c.label, c.depth,
                    processors, megapixels / f.bestSeconds, megapixels / f.medianSeconds, f.bestSeconds,
                    double(f.peakBufferBytes) / mb, double(f.rssBeforeKiB) / 1024.0, double(f.peakRssKiB) / 1024.0,
                    f.advanceCalls, f.worstSeconds > 1.15 * f.bestSeconds ? " spread > 15%" : "");
    }
    return failures ? 1 : 0;
}
