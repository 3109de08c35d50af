// The writers run their rows on the engine's bands through the template that
// Glimra's writers use (forEachOutputRow); only the per-pixel work differs,
// and it runs eight pixels at a time.
// Every pixel depends on its own input only, so the band split changes
// nothing.
#if defined(__GNUC__)
// Eight-lane vectors pass between inlined helpers only.
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

#include "halvane/luma_chroma_mix.h"

#include <cstring>
#include <type_traits>

#include "engine/nr_core_shared.h"
#include "engine/planar_copy.h"
#include "entry/engine_params.h"
#include "entry/globals.h"
#include "image/colorspace_luts.h"

namespace {

using lanes::v8f;

// Mask byte to 0..1; 16-bit input to the 0..255 scale.
const float kMaskScale = 0.003921569f;
const float kFrom16BitScale = 0.0077819824f;

inline float read8(uint8 v) { return float(v); }
inline float read16(uint16 v) { return float(v) * kFrom16BitScale; }
// Linear light 0..1 to the 0..255 scale through LUT3 (4096 steps).
inline float read32(float v, const float* lut3) {
    v = v >= 0.0f ? v : 0.0f;
    v = v > 1.0f ? 1.0f : v;
    const float t = 4096.0f * v;
    const int i = int(t);
    const float f = t - float(i);
    return (1.0f - f) * lut3[i] + f * lut3[i + 1];
}

// The kernel for one pixel (V = float) or eight (V = v8f), with the same
// operations in the same order either way.
template <class V>
VEXLOR_INLINE V protectionOf(const lumaChromaMixParams& p, const V& luma) {
    using namespace lanes;
    const V ramp = p.slope * luma + p.intercept;
    const V fromHigh = select(luma >= splat<V>(p.highThreshold), splat<V>(p.above), ramp);
    return select(luma > splat<V>(p.lowThreshold), fromHigh, splat<V>(p.below));
}

// touched: 1 where a share of the processed pixel goes into the output, 0
// where the output is the input pixel (no shares, or a mask of 0).
template <class V>
VEXLOR_INLINE void mixPixel(const lumaChromaMixParams& p, const V& R, const V& G, const V& B, const V& R2,
                            const V& G2, const V& B2, V& out0, V& out1, V& out2, const V& mask, V& touched) {
    V Y, Y2, c1, c1p, c2, c2p;
    if (p.lab) {
        Y = R;
        Y2 = R2;
        c1 = G;
        c1p = G2;
        c2 = B;
        c2p = B2;
    } else {
        Y = p.lumR * R + p.lumG * G + p.lumB * B;
        Y2 = p.lumR * R2 + p.lumG * G2 + p.lumB * B2;
        c1 = R - Y;
        c1p = R2 - Y2;
        c2 = B - Y;
        c2p = B2 - Y2;
    }
    const V protection = protectionOf<V>(p, Y2);
    const V lumaShare = p.lumaMix * protection * mask;
    const V chromaShare = p.chromaMix * mask;
    touched = lanes::select((lumaShare != 0.0f) | (chromaShare != 0.0f), lanes::splat<V>(1.0f), lanes::splat<V>(0.0f));
    const V keepShare = 1.0f - chromaShare;
    const V Ymix = (1.0f - lumaShare) * Y + lumaShare * Y2;
    const V first = chromaShare * c1p + keepShare * c1;
    const V second = chromaShare * c2p + keepShare * c2;
    if (p.lab) {
        out0 = Ymix;
        out1 = first;
        out2 = second;
    } else {
        const V outR = Ymix + first;
        const V outB = Ymix + second;
        out0 = outR;
        out1 = (Ymix - p.lumR * outR - p.lumB * outB) * p.invLumG;
        out2 = outB;
    }
}

// Sample conversions of one depth.
// write(v, origin, originRead, touched): the output sample of the mixed
// value v, given the input sample and its value on the 0..255 scale.
struct depth8 {
    typedef uint8 Sample;
    float read(uint8 v) const { return read8(v); }
    uint8 write(float v, uint8, float, float) const { return storeAs8Bit(v); }
};
struct depth16 {
    typedef uint16 Sample;
    float read(uint16 v) const { return read16(v); }
    uint16 write(float v, uint16, float, float) const { return storeAs16Bit(v); }
};
// Linear light is read clamped to 0..1, so a sample is not formed anew from
// the mixed value: the input sample takes the change that the mix made in
// linear light.  Where nothing was mixed it comes back exactly as it was
// read, and a highlight above 1.0 keeps its headroom.  A NaN input counts
// as 0, as it did when it was read.
struct depth32 {
    typedef float Sample;
    const float* lut2;
    const float* lut3;
    float read(float v) const { return read32(v, lut3); }
    float write(float v, float origin, float originRead, float touched) const {
        if (touched == 0.0f) return origin;
        const float base = origin == origin ? origin : 0.0f;
        return base + (storeAs32Bit(v, lut2) - storeAs32Bit(originRead, lut2));
    }
};

typedef uint8_t bytes8 __attribute__((vector_size(8)));

template <typename Depth>
VEXLOR_INLINE void readSamples(const Depth& depth, const typename Depth::Sample* o, int32 x, int spp,
                               float in[3][8]) {
    for (int i = 0; i < 8; ++i) {
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
VEXLOR_INLINE void writeSamples(const Depth& depth, const float out[3][8], const typename Depth::Sample* o,
                                const float in[3][8], const float touched[8], typename Depth::Sample* d, int32 x,
                                int spp) {
    for (int i = 0; i < 8; ++i) {
        if (spp == 1) {
            d[x + i] = depth.write(out[2][i], o[x + i], in[2][i], touched[i]);
        } else {
            const int64_t at = int64_t(x + i) * 3;
            for (int c = 0; c < 3; ++c) d[at + c] = depth.write(out[c][i], o[at + c], in[c][i], touched[i]);
        }
    }
}

// One row: eight pixels at a time on planes, the last few one by one, with
// the same kernel.
template <typename Depth>
VEXLOR_INLINE void mixRowBody(const lumaChromaMixParams& params, const Depth& depth, const float* p,
                              const typename Depth::Sample* o, typename Depth::Sample* d, int spp,
                              const uint8* mask, int32 width) {
    typedef typename Depth::Sample Sample;
    alignas(32) float in[3][8], pr[3][8], out[3][8], m[8], touched[8];
    int32 x = 0;
    for (; x + 8 <= width; x += 8, p += 24) {
        for (int i = 0; i < 8; ++i) m[i] = mask ? float(mask[x + i]) * kMaskScale : 1.0f;
        if constexpr (std::is_same<Sample, uint8>::value) {
            if (spp == 3) {
                // 24 bytes to floats (exact), then to planes.
                alignas(32) float f[24];
                for (int k = 0; k < 3; ++k) {
                    bytes8 b;
                    std::memcpy(&b, o + int64_t(x) * 3 + 8 * k, sizeof b);
                    vexlor_simd::store8(f + 8 * k, __builtin_convertvector(b, v8f));
                }
                deinterleave3(f, 8, in[0], in[1], in[2]);
            } else {
                readSamples(depth, o, x, spp, in);
            }
        } else {
            readSamples(depth, o, x, spp, in);
        }
        deinterleave3(p, 8, pr[0], pr[1], pr[2]);
        using vexlor_simd::load8;
        v8f o0, o1, o2, t;
        mixPixel<v8f>(params, load8(in[0]), load8(in[1]), load8(in[2]), load8(pr[0]), load8(pr[1]),
                      load8(pr[2]), o0, o1, o2, load8(m), t);
        vexlor_simd::store8(out[0], o0);
        vexlor_simd::store8(out[1], o1);
        vexlor_simd::store8(out[2], o2);
        vexlor_simd::store8(touched, t);
        if constexpr (std::is_same<Sample, uint8>::value) {
            if (spp == 3) {
                // The stores of storeAs8Bit, eight samples at a time.
                alignas(32) float f[24];
                interleave3(out[0], out[1], out[2], 8, f);
                for (int k = 0; k < 3; ++k) {
                    v8f v = vexlor_simd::load8(f + 8 * k);
                    v = v >= 0.0f ? v : v8f{};
                    v = v > 255.0f ? v8f{} + 255.0f : v;
                    const bytes8 b = __builtin_convertvector(__builtin_convertvector(v + 0.5f, lanes::v8i), bytes8);
                    std::memcpy(d + int64_t(x) * 3 + 8 * k, &b, sizeof b);
                }
                continue;
            }
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

VEXLOR_KERNEL_CLONES void mixRow(const lumaChromaMixParams& params, const depth8& depth, const float* p,
                                 const uint8* o, uint8* d, int spp, const uint8* mask, int32 width) {
    mixRowBody(params, depth, p, o, d, spp, mask, width);
}
VEXLOR_KERNEL_CLONES void mixRow(const lumaChromaMixParams& params, const depth16& depth, const float* p,
                                 const uint16* o, uint16* d, int spp, const uint8* mask, int32 width) {
    mixRowBody(params, depth, p, o, d, spp, mask, width);
}
VEXLOR_KERNEL_CLONES void mixRow(const lumaChromaMixParams& params, const depth32& depth, const float* p,
                                 const float* o, float* d, int spp, const uint8* mask, int32 width) {
    mixRowBody(params, depth, p, o, d, spp, mask, width);
}

template <typename Depth>
void mixRectangle(const outputRectangle& r, const Depth& depth, bool maskFlag) {
    typedef typename Depth::Sample Sample;
    // Halvane mixes the input back in: without it there is nothing to write.
    if (!r.origin) return;
    // The rectangle's pixels must all be interior pixels of the image: its
    // loop must not run past the image that it reads.
    const fl_image& img = *r.image;
    if (r.imageX < 0 || r.imageY < 0 || int64_t(r.imageX) + r.width > img.width ||
        int64_t(r.imageY) + r.height > img.height)
        return;
    const lumaChromaMixParams params = currentLumaChromaMixParams();
    const uint8* maskData = gFilterRecord ? static_cast<const uint8*>(gFilterRecord->maskData) : nullptr;
    const int32 maskRowBytes = gFilterRecord ? gFilterRecord->maskRowBytes : 0;
    const bool useMask = maskData && maskFlag;
    const int32 width = r.width;
    auto row = [&](const float* p, const Sample* o, Sample* d, int spp, int32 y) {
        const uint8* mask = useMask ? maskData + int64_t(r.destY + y) * maskRowBytes + r.destX : nullptr;
        mixRow(params, depth, p, o, d, spp, mask, width);
    };
    forEachOutputRow<Sample>(r, row);
}

}  // namespace

float tonalProtection(const lumaChromaMixParams& p, float luma) { return protectionOf<float>(p, luma); }

void lumaChromaMixPixel(const lumaChromaMixParams& p, float R, float G, float B, const float* processed,
                        float* out0, float* out1, float* out2, float mask) {
    float touched;
    mixPixel<float>(p, R, G, B, processed[0], processed[1], processed[2], *out0, *out1, *out2, mask, touched);
}

lumaChromaMixParams currentLumaChromaMixParams() {
    return lumaChromaMixParams{lumaMix,
                               chromaMix,
                               highlightNRlowThreshold,
                               highlightNRhighThreshold,
                               highlightNRbelowThreshold,
                               highlightNRaboveThreshold,
                               highlightNRslope,
                               highlightNRintercept,
                               isLABmode,
                               lumR,
                               lumG,
                               lumB,
                               invLumG};
}

void lumaChromaMixTo8BitMaster(uint8* origin, int32 originRowBytes, uint8* destination, int32 destinationRowBytes,
                               int32 width, int32 height, int32 destX, int32 destY, fl_image& image, int32 imageX,
                               int32 imageY, bool maskFlag, int16 planes) {
    outputRectangle r = outputRectangleOf(origin, originRowBytes, destination, destinationRowBytes, width, height,
                                          destX, destY, image, imageX, imageY, planes);
    if (!outputWriterMayWrite(r)) return;
    mixRectangle(r, depth8(), maskFlag);
}

void lumaChromaMixTo16Bit(uint16* origin, int32 originRowBytes, uint16* destination, int32 destinationRowBytes,
                          int32 width, int32 height, int32 destX, int32 destY, fl_image& image, int32 imageX,
                          int32 imageY, bool maskFlag, int16 planes) {
    outputRectangle r = outputRectangleOf(origin, originRowBytes, destination, destinationRowBytes, width, height,
                                          destX, destY, image, imageX, imageY, planes);
    if (!outputWriterMayWrite(r)) return;
    mixRectangle(r, depth16(), maskFlag);
}

void lumaChromaMixTo32Bit(float* origin, int32 originRowBytes, float* destination, int32 destinationRowBytes,
                          int32 width, int32 height, int32 destX, int32 destY, fl_image& image, int32 imageX,
                          int32 imageY, bool maskFlag, int16 planes) {
    outputRectangle r = outputRectangleOf(origin, originRowBytes, destination, destinationRowBytes, width, height,
                                          destX, destY, image, imageX, imageY, planes);
    if (!outputWriterMayWrite(r)) return;
    if (handleMissingColorspaceLUTs()) return;
    mixRectangle(r, depth32{cspacePtrLUT2, cspacePtrLUT3}, maskFlag);
}
