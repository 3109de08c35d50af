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

bool storesEveryChannel(const outputSampleRule& rule, int spp) {
    return spp == 3 && rule.channel[0] == 0 && rule.channel[1] == 1 && rule.channel[2] == 2;
}

template <typename Depth>
VEXLOR_INLINE void storeRowOf(const Depth& depth, const outputSampleRule& rule, const float* p,
                              typename Depth::Sample* d, int spp, int32 width) {
    int32 x = 0;
    if (storesEveryChannel(rule, spp)) {
        // Sample for sample: no pixel needs taking apart.
        const int64_t samples = int64_t(width) * 3;
        int64_t i = 0;
        for (; i + kLanes <= samples; i += kLanes) depth.storeVector(load<vf>(p + i), d + i);
        for (; i < samples; ++i) d[i] = depth.store(p[i]);
        return;
    }
    alignas(64) float planes[3][kLanes], out[3][kLanes], interleaved[3 * kLanes];
    for (; x + kLanes <= width; x += kLanes) {
        deinterleave3(p + int64_t(x) * 3, kLanes, planes[0], planes[1], planes[2]);
        for (int k = 0; k < spp; ++k)
            store<vf>(out[k], rule.channel[k] >= 0 ? load<vf>(planes[rule.channel[k]]) : splat<vf>(rule.fixed[k]));
        if (spp == 1) {
            depth.storeVector(load<vf>(out[0]), d + x);
            continue;
        }
        interleave3(out[0], out[1], out[2], kLanes, interleaved);
        for (int k = 0; k < 3; ++k)
            depth.storeVector(load<vf>(interleaved + kLanes * k), d + int64_t(x) * 3 + kLanes * k);
    }
    for (; x < width; ++x)
        for (int k = 0; k < spp; ++k)
            d[int64_t(x) * spp + k] =
                depth.store(rule.channel[k] >= 0 ? p[int64_t(x) * 3 + rule.channel[k]] : rule.fixed[k]);
}

}  // namespace

void storeRow8(const outputSampleRule& rule, const float* p, uint8* d, int spp, int32 width) {
    storeRowOf(samples8<vf>(), rule, p, d, spp, width);
}

void storeRow16(const outputSampleRule& rule, const float* p, uint16* d, int spp, int32 width) {
    storeRowOf(samples16<vf>(), rule, p, d, spp, width);
}

void storeRow32(const outputSampleRule& rule, const float* lut2, const float* p, float* d, int spp, int32 width) {
    storeRowOf(samples32<vf>{lut2}, rule, p, d, spp, width);
}

}  // namespace VEXLOR_ISA_NAMESPACE
