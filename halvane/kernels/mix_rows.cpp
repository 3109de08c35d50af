// The rows of Halvane's writers, compiled once per instruction set
// (engine/vector_isa.h): a vector of the set's widest lanes of pixels at a
// time on planes, the last few one by one, with the same kernel.
#include <cstdint>
#include <cstring>

#include "engine/output_writers.h"
#include "halvane/kernels/kernels.h"
#include "halvane/luma_chroma_mix.h"

#include "engine/kernels/isa_target.h"

#include "engine/store_lanes.h"
#include "halvane/mix_pixel.h"

namespace VEXLOR_ISA_NAMESPACE {
namespace {

using namespace lanes;

typedef widest vf;
enum { kLanes = Traits<vf>::kLanes };

// write(v, origin, originRead, touched): the output sample of the mixed
// value v, given the input sample and its value on the 0..255 scale.  The
// depths whose output depends on v alone also read and store a vector of
// consecutive samples at once (kVectorSamples).
struct depth8 : samples8<vf> {
    enum { kVectorSamples = true };
    float read(uint8 v) const { return read8(v); }
    uint8 write(float v, uint8, float, float) const { return store(v); }
    vf readVector(const uint8* o) const {
        Traits<vf>::Bytes b;
        std::memcpy(&b, o, sizeof b);
        return __builtin_convertvector(b, vf);
    }
};
struct depth16 : samples16<vf> {
    enum { kVectorSamples = true };
    float read(uint16 v) const { return read16(v); }
    uint16 write(float v, uint16, float, float) const { return store(v); }
    vf readVector(const uint16* o) const {
        Traits<vf>::Words w;
        std::memcpy(&w, o, sizeof w);
        return __builtin_convertvector(w, vf) * kFrom16BitScale;
    }
};
// Linear light is read clamped to 0..1, so a sample is not formed anew from
// the mixed value: the input sample takes the change that the mix made in
// linear light.  Where nothing was mixed it comes back exactly as it was
// read, and a highlight above 1.0 keeps its headroom.  A NaN input counts
// as 0, as it did when it was read.
struct depth32 {
    typedef float Sample;
    enum { kVectorSamples = false };
    const float* lut2;
    const float* lut3;
    float read(float v) const { return read32(v, lut3); }
    float write(float v, float origin, float originRead, float touched) const {
        if (touched == 0.0f) return origin;
        const float base = origin == origin ? origin : 0.0f;
        return base + (storeAs32Bit(v, lut2) - storeAs32Bit(originRead, lut2));
    }
};


template <typename Depth>
VEXLOR_INLINE void readSamples(const Depth& depth, const typename Depth::Sample* o, int32 x, int spp,
                               float in[3][kLanes]) {
    for (int i = 0; i < kLanes; ++i) {
        if (spp == 1) {
            in[0][i] = in[1][i] = in[2][i] = depth.read(o[x + i]);
        } else {
            const typename Depth::Sample* oi = o + int64_t(x + i) * 3;
            in[0][i] = depth.read(oi[0]);
            in[1][i] = depth.read(oi[1]);
            in[2][i] = depth.read(oi[2]);
        }
    }
}

template <typename Depth>
VEXLOR_INLINE void writeSamples(const Depth& depth, const float out[3][kLanes], const typename Depth::Sample* o,
                                const float in[3][kLanes], const float touched[kLanes], typename Depth::Sample* d, int32 x,
                                int spp) {
    for (int i = 0; i < kLanes; ++i) {
        if (spp == 1) {
            d[x + i] = depth.write(out[2][i], o[x + i], in[2][i], touched[i]);
        } else {
            const int64_t at = int64_t(x + i) * 3;
            for (int c = 0; c < 3; ++c) d[at + c] = depth.write(out[c][i], o[at + c], in[c][i], touched[i]);
        }
    }
}

// One row: a vector of pixels at a time on planes, the last few one by one,
// with the same kernel.
template <typename Depth>
VEXLOR_INLINE void mixRowBody(const lumaChromaMixParams& params, const Depth& depth, const float* p,
                              const typename Depth::Sample* o, typename Depth::Sample* d, int spp,
                              const uint8* mask, int32 width) {
    typedef typename Depth::Sample Sample;
    alignas(64) float in[3][kLanes], pr[3][kLanes], out[3][kLanes], m[kLanes], touched[kLanes];
    int32 x = 0;
    for (; x + kLanes <= width; x += kLanes, p += 3 * kLanes) {
        for (int i = 0; i < kLanes; ++i) m[i] = mask ? float(mask[x + i]) * kMaskScale : 1.0f;
        if constexpr (Depth::kVectorSamples) {
            if (spp == 3) {
                alignas(64) float f[3 * kLanes];
                for (int k = 0; k < 3; ++k) store<vf>(f + kLanes * k, depth.readVector(o + int64_t(x) * 3 + kLanes * k));
                deinterleave3(f, kLanes, in[0], in[1], in[2]);
            } else {
                const vf v = depth.readVector(o + x);
                store<vf>(in[0], v);
                store<vf>(in[1], v);
                store<vf>(in[2], v);
            }
        } else {
            readSamples(depth, o, x, spp, in);
        }
        deinterleave3(p, kLanes, pr[0], pr[1], pr[2]);
        vf o0, o1, o2, t;
        mixPixel<vf>(params, load<vf>(in[0]), load<vf>(in[1]), load<vf>(in[2]), load<vf>(pr[0]), load<vf>(pr[1]),
                     load<vf>(pr[2]), o0, o1, o2, load<vf>(m), t);
        store<vf>(out[0], o0);
        store<vf>(out[1], o1);
        store<vf>(out[2], o2);
        store<vf>(touched, t);
        if constexpr (Depth::kVectorSamples) {
            if (spp == 3) {
                alignas(64) float f[3 * kLanes];
                interleave3(out[0], out[1], out[2], kLanes, f);
                for (int k = 0; k < 3; ++k) depth.storeVector(load<vf>(f + kLanes * k), d + int64_t(x) * 3 + kLanes * k);
            } else {
                depth.storeVector(load<vf>(out[2]), d + x);
            }
            continue;
        }
        writeSamples(depth, out, o, in, touched, d, x, spp);
    }
    for (; x < width; ++x, p += 3) {
        const float mv = mask ? float(mask[x]) * kMaskScale : 1.0f;
        float R, G, B;
        if (spp == 1) {
            R = G = B = depth.read(o[x]);
        } else {
            const Sample* oi = o + int64_t(x) * 3;
            R = depth.read(oi[0]);
            G = depth.read(oi[1]);
            B = depth.read(oi[2]);
        }
        float o0, o1, o2, t;
        mixPixel<float>(params, R, G, B, p[0], p[1], p[2], o0, o1, o2, mv, t);
        if (spp == 1) {
            d[x] = depth.write(o2, o[x], R, t);
        } else {
            const Sample* oi = o + int64_t(x) * 3;
            Sample* di = d + int64_t(x) * 3;
            di[0] = depth.write(o0, oi[0], R, t);
            di[1] = depth.write(o1, oi[1], G, t);
            di[2] = depth.write(o2, oi[2], B, t);
        }
    }
}

}  // namespace

void mixRow8(const lumaChromaMixParams& params, const float* p, const uint8* o, uint8* d, int spp, const uint8* mask,
             int32 width) {
    mixRowBody(params, depth8(), p, o, d, spp, mask, width);
}

void mixRow16(const lumaChromaMixParams& params, const float* p, const uint16* o, uint16* d, int spp,
              const uint8* mask, int32 width) {
    mixRowBody(params, depth16(), p, o, d, spp, mask, width);
}

void mixRow32(const lumaChromaMixParams& params, const float* lut2, const float* lut3, const float* p, const float* o,
              float* d, int spp, const uint8* mask, int32 width) {
    mixRowBody(params, depth32{lut2, lut3}, p, o, d, spp, mask, width);
}

}  // namespace VEXLOR_ISA_NAMESPACE
