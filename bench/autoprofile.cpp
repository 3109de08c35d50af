// Automatic profiling of a 6000 x 4000 image, the whole pass's size, through
// the reference host as a tool (pihost's): the coarse measure of every
// 32 x 32 block and up to 64 fine re-measures.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>

#include "engine/autoprofile.h"
#include "host/globals.h"
#include "entry/params.h"
#include "refhost/refhost.h"

namespace {

const int32 kWidth = 6000, kHeight = 4000;

refhost::Document noisy(int16 mode) {
    refhost::Document d(mode, kWidth, kHeight);
    uint32_t state = 12345;
    const double scale = d.depth() == 16 ? 32768.0 / 255.0 : 1.0;
    d.fill([&](int32 x, int32 y, int16) {
        state = state * 1664525u + 1013904223u;
        const double level = 40.0 + 170.0 * (((x / 32) * 7 + (y / 32) * 3) % 16) / 15.0;
        return (level + double(state >> 24) / 16.0 - 8.0) * scale;
    });
    return d;
}

void profile(benchmark::State& state, int16 mode) {
    refhost::Host host(noisy(mode), refhost::toolHostOptions());
    host.beginSelector(filterSelectorStart);
    ParamBlock block;
    block.flags = BooleanDefault;
    block.values = DefaultGUI;
    uint8 data = 0;
    gFilterRecord = &host.record();
    gResult = &host.result();
    sSPBasic = host.record().sSPBasic;
    gParams = &block;
    gData = &data;
    if (host.record().bigDocumentData) host.record().bigDocumentData->PluginUsing32BitCoordinates = 1;
    for (auto _ : state) {
        autoProfile(digitalHNLdefaultDouble);
        benchmark::DoNotOptimize(block.values[kOverallNoiseValue]);
    }
    std::fprintf(stderr, "level %.17g %.17g %.17g\n", block.values[kOverallNoiseValue],
                 block.values[kProtectThresholdValue], block.values[kProtectFeatherValue]);
    state.SetItemsProcessed(state.iterations() * int64_t(kWidth) * kHeight);
}

void BM_AutoProfile8(benchmark::State& state) { profile(state, plugInModeRGBColor); }
void BM_AutoProfile16(benchmark::State& state) { profile(state, plugInModeRGB48); }

}  // namespace

BENCHMARK(BM_AutoProfile8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AutoProfile16)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
