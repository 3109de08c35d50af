// The rows of Glimra's writers, compiled once per instruction set
// (engine/vector_isa.h): a vector of the set's widest lanes of pixels at a
// time, the last few one by one, each sample stored as storeAs8Bit,
// storeAs16Bit or storeAs32Bit stores it.
#include "engine/output_writers.h"
#include "glimra/kernels/kernels.h"

#include "engine/kernels/isa_target.h"

#include "engine/store_lanes.h"

namespace VEXLOR_ISA_NAMESPACE {
namespace {

using namespace lanes;

typedef widest vf;
enum { kLanes = Traits<vf>::kLanes };

template <typename Sample>
bool storesEveryChannel(const outputSampleRule<Sample>& rule, int spp) {
    return spp == 3 && rule.channel[0] == 0 && rule.channel[1] == 1 && rule.channel[2] == 2;
}

template <typename Store>
VEXLOR_INLINE void storeRowOf(const Store& store, const outputSampleRule<typename Store::Sample>& rule,
                              const float* p, typename Store::Sample* d, int spp, int32 width) {
    typedef typename Store::Sample Sample;
    if (storesEveryChannel(rule, spp)) {
        // Sample for sample: no pixel needs taking apart.
        const int64_t samples = int64_t(width) * 3;
        int64_t i = 0;
        for (; i + kLanes <= samples; i += kLanes) store.storeVector(load<vf>(p + i), d + i);
        for (; i < samples; ++i) d[i] = store.store(p[i]);
        return;
    }
    // A vector of pixels at a time: the channels the rule stores, each into
    // a plane of samples, then the planes (and the fixed samples) into the
    // pixels.
    alignas(64) float planes[3][kLanes];
    Sample stored[3][kLanes];
    int32 x = 0;
    for (; x + kLanes <= width; x += kLanes) {
        deinterleave3(p + int64_t(x) * 3, kLanes, planes[0], planes[1], planes[2]);
        Sample* dx = d + int64_t(x) * spp;
        if (spp == 1) {
            store.storeVector(load<vf>(planes[rule.channel[0]]), dx);
            continue;
        }
        for (int k = 0; k < 3; ++k)
            if (rule.channel[k] >= 0) store.storeVector(load<vf>(planes[rule.channel[k]]), stored[k]);
        for (int i = 0; i < kLanes; ++i)
            for (int k = 0; k < 3; ++k) dx[3 * i + k] = rule.channel[k] >= 0 ? stored[k][i] : rule.fixed[k];
    }
    for (; x < width; ++x)
        for (int k = 0; k < spp; ++k)
            d[int64_t(x) * spp + k] =
                rule.channel[k] >= 0 ? store.store(p[int64_t(x) * 3 + rule.channel[k]]) : rule.fixed[k];
}

}  // namespace

void storeRow8(const outputSampleRule<uint8>& rule, const float* p, uint8* d, int spp, int32 width) {
    storeRowOf(samples8<vf>(), rule, p, d, spp, width);
}

void storeRow16(const outputSampleRule<uint16>& rule, const float* p, uint16* d, int spp, int32 width) {
    storeRowOf(samples16<vf>(), rule, p, d, spp, width);
}

void storeRow32(const outputSampleRule<float>& rule, const float* lut2, const float* p, float* d, int spp, int32 width) {
    storeRowOf(samples32<vf>{lut2}, rule, p, d, spp, width);
}

}  // namespace VEXLOR_ISA_NAMESPACE
