// Host pixel import and border padding on one 1024 x 1024 RGB megatile.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "host/globals.h"
#include "image/colorspace_luts.h"
#include "image/fl_image.h"
#include "image/host_import.h"
#include "refhost/refhost.h"

namespace {

const int32 kSide = 1024;

struct Bound {
    refhost::Host host;
    explicit Bound(int32 depth) : host(refhost::Document(refhost::modeFor(plugInModeRGBColor, depth), 8, 8)) {
        host.beginSelector(filterSelectorStart);
        storeGlobals(filterSelectorStart, &host.record(), &host.data(), &host.result());
    }
};

template <typename Sample>
std::vector<Sample> pattern(Sample scale) {
    std::vector<Sample> v(size_t(kSide) * kSide * 3);
    for (size_t i = 0; i < v.size(); ++i) v[i] = Sample((i * 2654435761u % 1000) * scale / Sample(1000));
    return v;
}

void BM_Import8(benchmark::State& state) {
    Bound b(8);
    std::vector<uint8> src = pattern<uint8>(255);
    fl_image img(kSide, kSide);
    for (auto _ : state) copyIntoFlimage8bit(img, src.data(), kSide * 3, 0, 0, kSide, kSide);
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void BM_Import16(benchmark::State& state) {
    Bound b(16);
    std::vector<uint16> src = pattern<uint16>(32768);
    fl_image img(kSide, kSide);
    for (auto _ : state) copyIntoFlimage16bit(img, src.data(), kSide * 6, 0, 0, kSide, kSide);
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void BM_Import32(benchmark::State& state) {
    Bound b(32);
    colorspaceConversionLUTs tables;
    std::vector<float> src = pattern<float>(1.0f);
    fl_image img(kSide, kSide);
    for (auto _ : state) copyIntoFlimage32bit(img, src.data(), kSide * 12, 0, 0, kSide, kSide);
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void BM_GeneratePadding(benchmark::State& state) {
    Bound b(8);
    fl_image img(kSide, kSide);
    for (int64_t i = 0; i < int64_t(img.paddedWidth) * img.paddedHeight * 3; ++i) img.data[i] = float(i % 256);
    for (auto _ : state) img.regeneratePadding();
}

BENCHMARK(BM_Import8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Import16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Import32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GeneratePadding)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
