// The whole filter pass as a host runs it: the plug-in module loaded by the
// reference host, parameters, prepare, start (no dialog: the script says not
// to show it), every continue and finish, on a 24-megapixel RGB image
// (6000 x 4000, Document::fillPattern) at 8 and 16 bits.  Both products at
// their defaults, and Halvane with the cleaner core ('Blai' true) and
// without it ('Blai' false).
//
// The host is the reference host as a tool (pihost's): buffers kept and
// reused, the document's rows handed out, maxSpace from physical memory.
// One host runs every pass of a configuration, as an editor filters a
// document again: the first run takes its memory fresh from the system
// (reported apart), the repeats after it reuse what the host kept.
//
// Reports megapixels per second (best and median of the repeats), the first
// run's time and the peak memory: the host buffers the plug-in held at once,
// the memory the host took from the system, and the process's peak resident
// set.  Beside them, the bytes per pixel that the pass moves (counted from
// its passes, passBytesPerPixel) and its speed as a share of what a
// streaming copy on as many threads, measured just before, could give for
// that many bytes.  Every configuration runs in a child process of its own, so that its
// peak resident set is its own.  The header says what touching fresh memory
// costs on this machine.
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
// the tests: fresh, filled buffers and copies for every request), --verify
// (each configuration once more on the checking host and on one processor:
// the outputs must be the timed run's, bit for bit).
#include <sched.h>
#include <sys/mman.h>
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
#include <thread>
#include <vector>

#include "refhost/platform.h"
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
    // Each configuration once more on the checking host and on one thread,
    // compared with the timed output.
    bool verify = false;
};

// What a child sends back: plain numbers, so a pipe carries it whole.
struct Figures {
    int ok;
    double firstSeconds;  // the first run, on the host's fresh memory
    double bestSeconds, medianSeconds, worstSeconds;  // the runs after it
    int64_t peakBufferBytes;
    int64_t systemBufferBytes;  // memory the host's buffers took from the system
    int sameAsChecking, sameOnOneThread;
    int64_t peakRssKiB;
    int32 advanceCalls;
    char error[200];
};

// The bytes a pass moves per pixel of the image, counted from its passes:
// each image a pass reads is counted once and each it writes once, at the
// size of the piece's level (a pass that reads every second row of an image
// counts half of it); the small borders are left out.  Images above a
// million pixels are filtered as four quarters that overlap by 64 pixels,
// so the engine's passes cover more than the image; the writers and
// profiling cover the image once.
double passBytesPerPixel(const Config& c, int32 width, int32 height) {
    const double sample = c.depth / 8.0 * 3;  // a host pixel's bytes
    const double px = 12;                     // an engine pixel's (three floats)
    const double image = double(width) * height;
    std::vector<std::pair<int64_t, int64_t>> pieces;
    if (image >= 1000001 && width >= 135 && height >= 135) {
        const int32 F = width / 2, G = height / 2, o = 64;
        pieces = {{F + o, G + o}, {width - F + o, G + o}, {F + o, height - G + o}, {width - F + o, height - G + o}};
    } else {
        pieces = {{width, height}};
    }
    double bytes = 0;
    for (const auto& piece : pieces) {
        // The pixels of the piece's levels 0 to 3.
        double P[4];
        int64_t w = piece.first, h = piece.second;
        for (double& p : P) {
            p = double(w) * double(h);
            w = (w + 1) / 2;
            h = (h + 1) / 2;
        }
        bytes += P[0] * (sample + px);  // the host's pixels into the float image
        if (std::string(c.product) == "glimra") {
            bytes += P[0] * 2 * px;  // noise reduction: the image in, the result out (swapped in)
            bytes += P[0] * 2 * px;  // the matte: the same
            continue;
        }
        for (int k = 0; k < 4; ++k) {
            bytes += P[k] * (2 * px + 4);  // first pass: image in, result and strength out
            bytes += P[k] * (2 * px + 4);  // sharpening: result and strength in, image out
        }
        for (int k = 0; k < 3; ++k) {
            bytes += P[k] * px / 2 + P[k + 1] * px;  // the lift: every second row in, the next level out
            bytes += P[k + 1] * px + P[k] * 2 * px;  // details: coarse and fine in, details out
        }
        for (int k = 1; k < 3; ++k) bytes += P[k + 1] * px + P[k] * 3 * px;  // rebuild: coarse, fine, details; out
    }
    if (std::string(c.product) == "glimra") {
        bytes += image * sample / 4;     // profiling reads a quarter of the rows
        bytes += image * (px + sample);  // the writer: the matte in, the host's pixels out
    } else {
        // The writer forms level 0 from level 1, level 0 and the details,
        // and mixes it with the host's input.
        bytes += image * (px / 4 + 2 * px + 2 * sample);
    }
    return bytes / image;
}

// Bytes per second (read and written) of a streaming copy of a large buffer
// on `threads` threads, each copying its own part: best of five, after a
// copy that touches the memory.
double copyBytesPerSecond(int threads) {
    const size_t bytes = size_t(256) << 20;
    std::vector<char> from(bytes, 1), to(bytes, 2);
    double best = 0;
    for (int round = 0; round <= 5; ++round) {
        const auto t0 = std::chrono::steady_clock::now();
        std::vector<std::thread> workers;
        for (int t = 0; t < threads; ++t)
            workers.emplace_back([&, t] {
                const size_t first = bytes * size_t(t) / size_t(threads), end = bytes * size_t(t + 1) / size_t(threads);
                std::memcpy(to.data() + first, from.data() + first, end - first);
            });
        for (std::thread& w : workers) w.join();
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (round > 0) best = std::max(best, 2.0 * double(bytes) / s);
    }
    return best;
}

refhost::HostOptions hostOptions(bool check) {
    refhost::HostOptions options = refhost::toolHostOptions();
    if (check) {
        options.checking = true;
        options.rowSlackBytes = refhost::HostOptions().rowSlackBytes;
    }
    return options;
}

// One pass on host over a fresh copy of source; false with the reason in
// error when it failed or changed nothing.
bool runPass(refhost::Plugin& plugin, refhost::Host& host, const refhost::Document& source, const Config& c,
             double& seconds, char (&error)[200]) {
    host.document() = source;
    const auto t0 = std::chrono::steady_clock::now();
    const refhost::RunResult run = refhost::runFilter(plugin, host);
    const auto t1 = std::chrono::steady_clock::now();
    seconds = std::chrono::duration<double>(t1 - t0).count();
    if (run.result != noErr || !host.alerts().empty() || !host.clean() || host.document() == source) {
        std::snprintf(error, sizeof error, "result %d, %s%s", int(run.result),
                      host.alerts().empty() ? "" : host.alerts()[0].c_str(),
                      host.document() == source ? " (image unchanged)" : "");
        return false;
    }
    // The scripted flag must have reached the parameter block (flag 8).
    const std::vector<uint8_t> block = host.parameterBytes();
    if (c.cleaner >= 0 && (block.size() < 9 || block[8] != c.cleaner)) {
        std::snprintf(error, sizeof error, "'Blai' did not reach the parameters");
        return false;
    }
    return true;
}

// What first touching fresh memory costs here, in nanoseconds per 4 KiB
// page: with small pages, and with huge pages where the system grants them
// (the host's buffers ask for them).  Best of three.
double freshPageNanoseconds(bool hugePages) {
    const size_t bytes = size_t(256) << 20, page = 4096;
    double best = 0;
    for (int i = 0; i < 3; ++i) {
        void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) return 0;
        madvise(p, bytes, hugePages ? MADV_HUGEPAGE : MADV_NOHUGEPAGE);
        const auto t0 = std::chrono::steady_clock::now();
        for (size_t at = 0; at < bytes; at += page) static_cast<volatile char*>(p)[at] = 1;
        const double ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count();
        munmap(p, bytes);
        if (i == 0 || ns < best) best = ns;
    }
    return best / double(bytes / page);
}

Figures runConfig(const Config& c, const Options& o) {
    Figures fig{};
    try {
        refhost::Plugin plugin(o.plugins + "/" + c.product + ".plugin.so");
        refhost::Document source(refhost::modeFor(plugInModeRGBColor, c.depth), o.width, o.height);
        source.fillPattern(1);
        Descriptor script;
        if (c.cleaner >= 0) script.push_back(DescriptorEntry::Boolean(FourCC("Blai"), c.cleaner != 0));

        // One host for every run, as an editor filters one document again
        // and again: its memory manager keeps what the first run took.
        refhost::Host host(source, hostOptions(o.check));
        host.setScriptDescriptor(script, plugInDialogDontDisplay);
        std::vector<double> seconds;
        for (int r = 0; r <= o.repeat; ++r) {
            double s = 0;
            if (!runPass(plugin, host, source, c, s, fig.error)) return fig;
            if (r == 0)
                fig.firstSeconds = s;
            else
                seconds.push_back(s);
            fig.peakBufferBytes = std::max(fig.peakBufferBytes, host.buffers().peakBytes());
            fig.systemBufferBytes = host.buffers().systemBytes();
        }
        fig.advanceCalls = int32(host.advanceCalls().size() / size_t(o.repeat + 1));
        std::sort(seconds.begin(), seconds.end());
        fig.bestSeconds = seconds.front();
        fig.medianSeconds = seconds[seconds.size() / 2];
        fig.worstSeconds = seconds.back();
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        fig.peakRssKiB = usage.ru_maxrss;

        if (o.verify) {
            // The same output from the checking host, and from one thread.
            const refhost::Document timed = host.document();
            refhost::Host checking(source, hostOptions(true));
            checking.setScriptDescriptor(script, plugInDialogDontDisplay);
            double s = 0;
            if (!runPass(plugin, checking, source, c, s, fig.error)) return fig;
            fig.sameAsChecking = checking.document() == timed;
            bool ok;
            {
                refhost::platform::OneProcessor one;
                ok = runPass(plugin, host, source, c, s, fig.error);
            }
            if (!ok) return fig;
            fig.sameOnOneThread = host.document() == timed;
        }
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
        } else if (a == "--verify") {
            o.verify = true;
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
        std::fprintf(stderr, "usage: bench_pass [--plugins DIR] [--repeat N] [--size WxH] [--only NAME] [--check] [--verify]\n");
        return 2;
    }
    cpu_set_t set;
    const int processors = sched_getaffinity(0, sizeof set, &set) == 0 ? CPU_COUNT(&set) : 0;
    const double megapixels = double(o.width) * o.height / 1e6;
    std::printf("Whole pass through the reference host as a tool, %d x %d RGB (%.1f MP), %d processor(s) = engine "
                "threads, best/median of %d runs after the first on one host\n",
                o.width, o.height, megapixels, processors, o.repeat);
    double load[3] = {0, 0, 0};
    getloadavg(load, 3);
    std::printf("Fresh memory costs %.0f ns per 4 KiB page with small pages, %.0f ns with huge pages; load average "
                "%.1f\n\n",
                freshPageNanoseconds(false), freshPageNanoseconds(true), load[0]);
    std::printf("| configuration | bits | threads | MP/s (best) | MP/s (median) | s (best) | s (first run) | host "
                "buffers peak MB | host memory taken MB | peak RSS MB | host requests | bytes/pixel | copy GB/s | "
                "share of the copy's rate |%s\n",
                o.verify ? " as checking host | as one thread |" : "");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|---|---|%s\n", o.verify ? "---|---|" : "");
    int failures = 0;
    for (const Config& c : kConfigs) {
        const std::string name = std::string(c.label) + " " + std::to_string(c.depth);
        if (!o.only.empty() && name.find(o.only) == std::string::npos) continue;
        const double copy = copyBytesPerSecond(processors);
        const Figures f = runInChild(c, o);
        if (!f.ok) {
            std::printf("| %s | %d | %d | failed: %s |\n", c.label, c.depth, processors, f.error);
            ++failures;
            continue;
        }
        const double mb = 1024.0 * 1024.0;
        std::printf("| %s | %d | %d | %.2f | %.2f | %.2f | %.2f | %.0f | %.0f | %.0f | %d |", c.label, c.depth,
                    processors, megapixels / f.bestSeconds, megapixels / f.medianSeconds, f.bestSeconds,
                    f.firstSeconds, double(f.peakBufferBytes) / mb, double(f.systemBufferBytes) / mb,
                    double(f.peakRssKiB) / 1024.0, f.advanceCalls);
        // The rate a copy of that many bytes per pixel would reach.
        const double bytesPerPixel = passBytesPerPixel(c, o.width, o.height);
        const double copyMegapixels = copy / bytesPerPixel / 1e6;
        std::printf(" %.0f | %.1f | %.2f |", bytesPerPixel, copy / 1e9, megapixels / f.bestSeconds / copyMegapixels);
        if (o.verify) {
            std::printf(" %s | %s |", f.sameAsChecking ? "identical" : "DIFFERS", f.sameOnOneThread ? "identical" : "DIFFERS");
            failures += !f.sameAsChecking + !f.sameOnOneThread;
        }
        std::printf("%s\n", f.worstSeconds > 1.15 * f.bestSeconds ? " spread > 15%" : "");
    }
    return failures ? 1 : 0;
}
