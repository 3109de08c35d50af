// Megapixels per second of Glimra's smooth-area pipeline (noise reduction,
// then the matte) on a 24-megapixel image, by thread count, and of its
// parts.  The host here is minimal: buffers straight from the heap, no
// progress bar, so that what is measured is the engine.
//
//   bench_engine [--benchmark_filter=Pipeline]
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>
#include <cstring>
#include <map>
#include <random>
#include <vector>

#include "engine/band_driver.h"
#include "engine/noise_reduce_core.h"
#include "engine/vector_isa.h"
#include "engine/output_writers.h"
#include "glimra/smooth_area_pipeline.h"
#include "engine/engine_params.h"
#include "host/globals.h"
#include "host/host_services.h"
#include "image/fl_image.h"

namespace {

const int32 kWidth = 6000, kHeight = 4000;  // 24 megapixels

// Like a host's buffer pool, freed blocks are kept for the next request of
// the same size, so that the kernel's zeroing of fresh pages is not timed.
struct Block {
    int32 size;
    void* data;
};
std::vector<Block> pool;
std::map<void*, int32> sizes;

OSErr MACPASCAL allocateBuffer(int32 size, BufferID* id) {
    for (size_t i = 0; i < pool.size(); ++i)
        if (pool[i].size == size) {
            *id = static_cast<BufferID>(pool[i].data);
            pool.erase(pool.begin() + long(i));
            return noErr;
        }
    void* p = std::malloc(size_t(size));
    if (!p) return memFullErr;
    std::memset(p, 0, size_t(size));  // the pool's memory is resident
    sizes[p] = size;
    *id = static_cast<BufferID>(p);
    return noErr;
}
Ptr MACPASCAL lockBuffer(BufferID id, Boolean) { return reinterpret_cast<Ptr>(id); }
void MACPASCAL unlockBuffer(BufferID) {}
void MACPASCAL freeBuffer(BufferID id) { pool.push_back({sizes[id], id}); }
int32 MACPASCAL bufferSpace() { return 1 << 30; }

struct BenchHost {
    BufferProcs procs{kCurrentBufferProcsVersion, kCurrentBufferProcsCount, allocateBuffer, lockBuffer,
                      unlockBuffer,               freeBuffer,               bufferSpace};
    FilterRecord record{};
    int16 result = 0;
    BenchHost() {
        record.bufferProcs = &procs;
        record.imageMode = plugInModeRGBColor;
        record.depth = 8;
        gFilterRecord = &record;
        gResult = &result;
        beginFilteringRun(false);
        // Glimra's defaults, roughly: a noise level that blends most pixels.
        level0noiseLevel = 18.0f;
        highnoiseLevelReduce = 0.3f;
        lowThresholdingAmount = 2.0f;
        highThresholdingAmount = 12.0f;
        invertMatte = false;
    }
};

BenchHost& host() {
    static BenchHost h;
    return h;
}

// A photograph-like scene: gradients, edges and texture, with noise.
void fillScene(fl_image& img) {
    std::mt19937 rng(7);
    std::normal_distribution<float> noise(0.0f, 8.0f);
    for (int32 y = 0; y < img.height; ++y) {
        float* p = img.data + (int64_t(y + img.padY) * img.paddedWidth + img.padX) * 3;
        for (int32 x = 0; x < img.width; ++x)
            for (int ch = 0; ch < 3; ++ch) {
                float v = 30.0f + 0.02f * float(x) + 0.03f * float(y) + 25.0f * float(ch);
                if (((x / 97) + (y / 61)) % 2) v += 70.0f;
                if ((x / 3 + y / 3) % 5 == 0 && y > kHeight / 2) v += 20.0f;
                p[3 * x + ch] = v + noise(rng);
            }
    }
}

struct Images {
    fl_image input{kWidth, kHeight};
    fl_image work{kWidth, kHeight};
    fl_image destination{kWidth, kHeight};
    Images() {
        fillScene(input);
        restore();
    }
    void restore() {
        std::memcpy(work.data, input.data, size_t(input.bufferSize));
        work.paddingGenerated = false;
    }
};

Images& images() {
    host();
    static Images i;
    return i;
}

void setRate(benchmark::State& state) {
    state.counters["MP/s"] = benchmark::Counter(double(kWidth) * kHeight / 1e6 * double(state.iterations()),
                                                benchmark::Counter::kIsRate);
    state.counters["threads"] = double(state.range(0));
}

double processCpuSeconds() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

// Besides the wall-clock rate: the CPU time of all threads per call, so
// that scaling can be judged on a machine that other work shares
// (MP/cpu-s stays constant when the bands scale perfectly).
void Pipeline(benchmark::State& state) {
    Images& im = images();
    setEngineThreadCount(int32(state.range(0)));
    double cpu = 0;
    for (auto _ : state) {
        state.PauseTiming();
        im.restore();
        state.ResumeTiming();
        const double c0 = processCpuSeconds();
        if (smoothDetectLiftingStructure(im.work, im.destination) != 0) state.SkipWithError("pipeline failed");
        cpu += processCpuSeconds() - c0;
    }
    setRate(state);
    const double n = double(state.iterations());
    state.counters["cpu_ms"] = 1e3 * cpu / n;
    state.counters["MP/cpu-s"] = double(kWidth) * kHeight / 1e6 / (cpu / n);
}

void NoiseReduction(benchmark::State& state) {
    Images& im = images();
    setEngineThreadCount(int32(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        im.restore();
        state.ResumeTiming();
        noiseReduceRunThreads(im.work, kSmoothAreaLevelConstant, level0noiseLevel, true, 1.0f, 0.0f, 0.0f);
    }
    setRate(state);
}

// The noise-reduction driver with the core built for each instruction set
// (0: the baseline).
void NoiseReductionByInstructionSet(benchmark::State& state) {
    Images& im = images();
    setEngineThreadCount(1);
    useVectorInstructionSet(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        im.restore();
        state.ResumeTiming();
        noiseReduceRunThreads(im.work, kSmoothAreaLevelConstant, level0noiseLevel, true, 1.0f, 0.0f, 0.0f);
    }
    useVectorInstructionSet(-1);
    state.counters["MP/s"] = benchmark::Counter(double(kWidth) * kHeight / 1e6 * double(state.iterations()),
                                                benchmark::Counter::kIsRate);
}

void SmoothDetection(benchmark::State& state) {
    Images& im = images();
    setEngineThreadCount(int32(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        im.restore();
        state.ResumeTiming();
        smoothDetectRunThreads(im.work, kSmoothAreaLevelConstant, level0noiseLevel, true, 0.0f, 0.0f, 0.0f);
    }
    setRate(state);
}

void Write8Bit(benchmark::State& state) {
    Images& im = images();
    setEngineThreadCount(int32(state.range(0)));
    std::vector<uint8> out(size_t(kWidth) * kHeight * 3);
    for (auto _ : state)
        lumaChromaMixTo8BitMaster(nullptr, 0, out.data(), kWidth * 3, kWidth, kHeight, 0, 0, im.input, 0, 0, true, 3);
    setRate(state);
}

#define THREADS Arg(1)->Arg(2)->Arg(4)->Arg(8)->UseRealTime()->Unit(benchmark::kMillisecond)
BENCHMARK(Pipeline)->THREADS->MinTime(2.0);
BENCHMARK(NoiseReduction)->THREADS;
BENCHMARK(NoiseReductionByInstructionSet)->DenseRange(0, 2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(SmoothDetection)->THREADS;
BENCHMARK(Write8Bit)->THREADS;

}  // namespace

BENCHMARK_MAIN();
