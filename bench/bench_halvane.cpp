// Halvane's engine on a 24-megapixel 8-bit RGB image (6000 x 4000, a
// gradient with an edge and fixed-seed noise), at its defaults, with the
// standard and with the cleaner core, on 1, 2, 4 and 8 threads: the whole
// road of one piece (host pixels into a float image, the four-level
// structure, the mixing writer back into host pixels).  Reports megapixels
// per second and the peak of host buffer memory.
//
// Two hosts: the reference host, whose every buffer is fresh memory filled
// with NaN (so each allocation costs a page-faulting fill on the calling
// thread), and a pooled host, whose buffer procedures hand out freed blocks
// again as a host's memory manager does; the pooled figures are the
// engine's own.
//
//     bench_halvane [--benchmark_filter=...]     (HALVANE_BENCH_WIDTH and
//     HALVANE_BENCH_HEIGHT change the image size)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <memory>
#include <random>
#include <vector>

#include "engine/band_driver.h"
#include "engine/lifting.h"
#include "engine/noise_reduce_core.h"
#include "engine/output_writers.h"
#include "engine/engine_params.h"
#include "host/globals.h"
#include "host/host_services.h"
#include "entry/params.h"
#include "halvane/cleaner_core.h"
#include "halvane/lifting_structure.h"
#include "halvane/sharpen.h"
#include "image/host_import.h"
#include "refhost/refhost.h"

namespace {

// Buffer procedures over a pool: a freed block goes back to the pool and is
// handed out again for a request of the same size.
namespace pool {
struct Block {
    std::unique_ptr<char[]> bytes;
    int32 size;
};
std::vector<Block*> freeBlocks;
int64_t liveBytes = 0, peakBytes = 0;

OSErr allocate(int32 size, BufferID* id) {
    Block* b = nullptr;
    for (size_t i = 0; i < freeBlocks.size(); ++i)
        if (freeBlocks[i]->size == size) {
            b = freeBlocks[i];
            freeBlocks.erase(freeBlocks.begin() + long(i));
            break;
        }
    if (!b) b = new Block{std::unique_ptr<char[]>(new char[size_t(size) + 64]), size};
    liveBytes += size;
    peakBytes = std::max(peakBytes, liveBytes);
    *id = reinterpret_cast<BufferID>(b);
    return noErr;
}
Ptr lock(BufferID id, Boolean) { return reinterpret_cast<Block*>(id)->bytes.get(); }
void unlock(BufferID) {}
void release(BufferID id) {
    Block* b = reinterpret_cast<Block*>(id);
    liveBytes -= b->size;
    freeBlocks.push_back(b);
}
}  // namespace pool

int32 envSize(const char* name, int32 fallback) {
    const char* v = std::getenv(name);
    const int n = v ? std::atoi(v) : 0;
    return n > 0 ? n : fallback;
}

struct Bench {
    int32 width = std::max<int32>(envSize("HALVANE_BENCH_WIDTH", 6000), 25);
    int32 height = std::max<int32>(envSize("HALVANE_BENCH_HEIGHT", 4000), 25);
    std::unique_ptr<refhost::Host> host;
    BufferProcs hostProcs{}, poolProcs{};
    ParamBlock block;
    std::vector<uint8> input, output;
    double copyInSeconds = 0, writerSeconds = 0;  // summed over runs

    Bench() {
        refhost::HostOptions options;
        host = std::make_unique<refhost::Host>(refhost::Document(plugInModeRGBColor, 8, 8), options);
        host->beginSelector(filterSelectorStart);
        storeGlobals(filterSelectorStart, &host->record(), &host->data(), &host->result());
        hostProcs = *host->record().bufferProcs;
        poolProcs = hostProcs;
        poolProcs.allocateProc = pool::allocate;
        poolProcs.lockProc = pool::lock;
        poolProcs.unlockProc = pool::unlock;
        poolProcs.freeProc = pool::release;
        gParams = &block;
        block.values = DefaultGUI;
        block.flags = BooleanDefault;
        beginFilteringRun(false);
        input.resize(size_t(width) * height * 3);
        output.resize(input.size());
        std::mt19937 rng(7);
        std::normal_distribution<float> noise(0.0f, 10.0f);
        for (int32 y = 0; y < height; ++y)
            for (int32 x = 0; x < width; ++x)
                for (int c = 0; c < 3; ++c) {
                    const float base = (x > y ? 170.0f : 70.0f) + 40.0f * float(x) / width + 12.0f * c;
                    const float v = base + noise(rng);
                    input[(size_t(y) * width + x) * 3 + c] = uint8(v < 0 ? 0 : v > 255 ? 255 : v + 0.5f);
                }
    }
    void usePool(bool pooled) { host->record().bufferProcs = pooled ? &poolProcs : &hostProcs; }
    int64_t peakBytes(bool pooled) const { return pooled ? pool::peakBytes : host->buffers().peakBytes(); }
    void derive(bool cleaner) {
        block.values = DefaultGUI;
        block.flags = BooleanDefault;
        block.flags[kCleanerSmoothAreasFlag] = cleaner;
        renderingProxy = false;
        calcInternalFilterParams();
    }
    // One piece, whole: false when a step failed.
    bool run() {
        const int32 rowBytes = width * 3;
        fl_image img(width, height);
        if (!img.data) return false;
        const auto t0 = std::chrono::steady_clock::now();
        copyIntoFlimage8bit(img, input.data(), rowBytes, 0, 0, width, height);
        const auto t1 = std::chrono::steady_clock::now();
        fl_image dst(getFlimageDimensions(img));
        if (noiseReduceLiftingStructure(img, dst) != noErr) return false;
        const auto t2 = std::chrono::steady_clock::now();
        lumaChromaMixTo8BitMaster(input.data(), rowBytes, output.data(), rowBytes, width, height, 0, 0, dst, 0, 0,
                                  true, 3);
        const auto t3 = std::chrono::steady_clock::now();
        copyInSeconds += std::chrono::duration<double>(t1 - t0).count();
        writerSeconds += std::chrono::duration<double>(t3 - t2).count();
        return true;
    }
};

Bench& bench() {
    static Bench b;
    return b;
}

void BM_Halvane(benchmark::State& state) {
    Bench& b = bench();
    const int32 threads = int32(state.range(0));
    const bool cleaner = state.range(1) != 0;
    const bool pooled = state.range(2) != 0;
    b.derive(cleaner);
    b.usePool(pooled);
    setEngineThreadCount(threads);
    // The pool's first blocks are fresh memory: one untimed run makes them
    // the host's own, and the peak is this benchmark's.
    static bool warm = false;
    if (pooled && !warm) {
        b.run();
        warm = true;
    }
    pool::peakBytes = pool::liveBytes;
    b.copyInSeconds = b.writerSeconds = 0;
    for (auto _ : state) {
        if (!b.run()) {
            state.SkipWithError("the engine failed");
            break;
        }
    }
    setEngineThreadCount(0);
    const double megapixels = double(b.width) * b.height / 1e6;
    state.counters["MP/s"] = benchmark::Counter(megapixels * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["peak_MB"] = double(b.peakBytes(pooled)) / (1024.0 * 1024.0);
    // The pieces around the structure: the host pixels into the float image
    // (one thread) and the mixing writer (all threads).
    state.counters["copy_in_ms"] = 1e3 * b.copyInSeconds / double(state.iterations());
    state.counters["writer_ms"] = 1e3 * b.writerSeconds / double(state.iterations());
    state.SetLabel(std::string(cleaner ? "cleaner core" : "standard core") + (pooled ? ", pooled host" : ", reference host"));
    b.usePool(false);
}

// The passes of one level-0 step besides the cores, on 1 and 8 threads: the
// lift, the detail band, the rebuild, and the writer.
void BM_HalvanePasses(benchmark::State& state) {
    Bench& b = bench();
    b.derive(false);
    b.usePool(true);
    setEngineThreadCount(int32(state.range(0)));
    fl_image img(b.width, b.height);
    copyIntoFlimage8bit(img, b.input.data(), b.width * 3, 0, 0, b.width, b.height);
    fl_image coarse(similarityLiftDimensions(img));
    fl_image prediction(getFlimageDimensions(img)), details(getFlimageDimensions(img));
    for (auto _ : state) {
        similarityLift(img, coarse);
        reconstructDetailsPass(coarse, img, details);
        reconstructUnDifferencePass(coarse, img, details, prediction);
        lumaChromaMixTo8BitMaster(b.input.data(), b.width * 3, b.output.data(), b.width * 3, b.width, b.height, 0,
                                  0, prediction, 0, 0, true, 3);
    }
    setEngineThreadCount(0);
    state.counters["MP/s"] = benchmark::Counter(double(b.width) * b.height / 1e6 * double(state.iterations()),
                                                benchmark::Counter::kIsRate);
}

// The per-band kernels alone on one thread, over the whole image at level
// 0: 0 the standard core, 1 the cleaner core (widest lanes), 2 the cleaner
// core on eight lanes, 3 the sharpening.
void BM_HalvaneKernel(benchmark::State& state) {
    Bench& b = bench();
    b.derive(false);
    b.usePool(true);
    fl_image img(b.width, b.height);
    copyIntoFlimage8bit(img, b.input.data(), b.width * 3, 0, 0, b.width, b.height);
    img.generatePadding();
    fl_image dst(getFlimageDimensions(img));
    strength_map map(b.width, b.height);
    flimageToFlimage(img, dst);
    for (int32 y = 0; y < b.height; ++y)
        for (int32 x = 0; x < b.width; ++x) map.row(y)[x] = 0.5f;
    const int64_t kernel = state.range(0);
    for (auto _ : state) {
        switch (kernel) {
            case 0:
                noiseReduceCoreAlgo(img, dst, map, 0, level0noiseLevel, true, level0NR, 0, 0, b.height, -1);
                break;
            case 1:
                noiseReduceCoreAlgo_cleanerSmoothAreas(img, dst, map, 0, level0noiseLevel, true, level0NR, 0, 0,
                                                       b.height, -1);
                break;
            default:
                sharpenAfterNoiseReduce(img, dst, map, level0SharpAmount, level0ChromaSharpAmount, 0, b.height, -1);
        }
        benchmark::ClobberMemory();
    }
    b.usePool(false);
    state.counters["MP/s"] = benchmark::Counter(double(b.width) * b.height / 1e6 * double(state.iterations()),
                                                benchmark::Counter::kIsRate);
    static const char* const names[] = {"standard core", "cleaner core", "sharpening"};
    state.SetLabel(names[kernel]);
}

}  // namespace

BENCHMARK(BM_HalvaneKernel)->ArgNames({"kernel"})->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Halvane)
    ->ArgNames({"threads", "cleaner", "pooled"})
    ->ArgsProduct({{1, 2, 4, 8}, {0, 1}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);
BENCHMARK(BM_HalvanePasses)->ArgNames({"threads"})->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
