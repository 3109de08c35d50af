// The writers run their rows on the engine's bands through the template that
// Glimra's writers use (forEachOutputRow); only the per-pixel work differs.
// Every pixel depends on its own input only, so the band split changes
// nothing.
#include "halvane/luma_chroma_mix.h"

#include "entry/engine_params.h"
#include "entry/globals.h"
#include "image/colorspace_luts.h"

namespace {

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

inline float protectionOf(const lumaChromaMixParams& p, float luma) {
    if (!(luma > p.lowThreshold)) return p.below;
    if (luma >= p.highThreshold) return p.above;
    return p.slope * luma + p.intercept;
}

inline void mixPixel(const lumaChromaMixParams& p, float R, float G, float B, const float* processed, float* out0,
                     float* out1, float* out2, float mask) {
    const float R2 = processed[0], G2 = processed[1], B2 = processed[2];
    float Y, Y2, c1, c1p, c2, c2p;
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
    const float protection = protectionOf(p, Y2);
    const float lumaShare = p.lumaMix * protection * mask;
    const float chromaShare = p.chromaMix * mask;
    const float keepShare = 1.0f - chromaShare;
    const float Ymix = (1.0f - lumaShare) * Y + lumaShare * Y2;
    const float first = chromaShare * c1p + keepShare * c1;
    const float second = chromaShare * c2p + keepShare * c2;
    if (p.lab) {
        *out0 = Ymix;
        *out1 = first;
        *out2 = second;
    } else {
        const float outR = Ymix + first;
        const float outB = Ymix + second;
        *out0 = outR;
        *out1 = (Ymix - p.lumR * outR - p.lumB * outB) * p.invLumG;
        *out2 = outB;
    }
}

// Sample conversions of one depth.
struct depth8 {
    typedef uint8 Sample;
    float read(uint8 v) const { return read8(v); }
    uint8 write(float v) const { return storeAs8Bit(v); }
};
struct depth16 {
    typedef uint16 Sample;
    float read(uint16 v) const { return read16(v); }
    uint16 write(float v) const { return storeAs16Bit(v); }
};
struct depth32 {
    typedef float Sample;
    const float* lut2;
    const float* lut3;
    float read(float v) const { return read32(v, lut3); }
    float write(float v) const { return storeAs32Bit(v, lut2); }
};

template <typename Depth>
void mixRectangle(const outputRectangle& r, const Depth& depth, bool maskFlag) {
    typedef typename Depth::Sample Sample;
    // Halvane mixes the input back in: without it there is nothing to write.
    if (!r.origin) return;
    const lumaChromaMixParams params = currentLumaChromaMixParams();
    const uint8* maskData = gFilterRecord ? static_cast<const uint8*>(gFilterRecord->maskData) : nullptr;
    const int32 maskRowBytes = gFilterRecord ? gFilterRecord->maskRowBytes : 0;
    const bool useMask = maskData && maskFlag;
    const int32 width = r.width;
    auto row = [&](const float* p, const Sample* o, Sample* d, int spp, int32 y) {
        const uint8* mask = useMask ? maskData + int64_t(r.destY + y) * maskRowBytes + r.destX : nullptr;
        float out[3];
        for (int32 x = 0; x < width; ++x, p += 3) {
            const float m = mask ? float(mask[x]) * kMaskScale : 1.0f;
            if (spp == 1) {
                const float v = depth.read(o[x]);
                mixPixel(params, v, v, v, p, &out[0], &out[1], &out[2], m);
                d[x] = depth.write(out[2]);
            } else {
                const Sample* oi = o + int64_t(x) * 3;
                mixPixel(params, depth.read(oi[0]), depth.read(oi[1]), depth.read(oi[2]), p, &out[0], &out[1],
                         &out[2], m);
                Sample* di = d + int64_t(x) * 3;
                di[0] = depth.write(out[0]);
                di[1] = depth.write(out[1]);
                di[2] = depth.write(out[2]);
            }
        }
    };
    forEachOutputRow<Sample>(r, row);
}

outputRectangle rectangle(const void* origin, int32 originRowBytes, void* destination, int32 destinationRowBytes,
                          int32 width, int32 height, int32 destX, int32 destY, fl_image& image, int32 imageX,
                          int32 imageY, int16 planes) {
    return outputRectangle{origin, originRowBytes, destination, destinationRowBytes, width, height, destX, destY,
                           &image, imageX, imageY, planes};
}

}  // namespace

float tonalProtection(const lumaChromaMixParams& p, float luma) { return protectionOf(p, luma); }

void lumaChromaMixPixel(const lumaChromaMixParams& p, float R, float G, float B, const float* processed,
                        float* out0, float* out1, float* out2, float mask) {
    mixPixel(p, R, G, B, processed, out0, out1, out2, mask);
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

void lumaChromaMixPixel(float keep, float R, float G, float B, const float* processed, float* out0, float* out1,
                        float* out2, float mask) {
    // keep is 1 - chromaMix; the kernel forms it from the mask's share.
    (void)keep;
    lumaChromaMixPixel(currentLumaChromaMixParams(), R, G, B, processed, out0, out1, out2, mask);
}

void lumaChromaMixTo8BitMaster(uint8* origin, int32 originRowBytes, uint8* destination, int32 destinationRowBytes,
                               int32 width, int32 height, int32 destX, int32 destY, fl_image& image, int32 imageX,
                               int32 imageY, bool maskFlag, int16 planes) {
    outputRectangle r = rectangle(origin, originRowBytes, destination, destinationRowBytes, width, height,
                                        destX, destY, image, imageX, imageY, planes);
    if (!outputWriterMayWrite(r)) return;
    mixRectangle(r, depth8(), maskFlag);
}

void lumaChromaMixTo16Bit(uint16* origin, int32 originRowBytes, uint16* destination, int32 destinationRowBytes,
                          int32 width, int32 height, int32 destX, int32 destY, fl_image& image, int32 imageX,
                          int32 imageY, bool maskFlag, int16 planes) {
    outputRectangle r = rectangle(origin, originRowBytes, destination, destinationRowBytes, width, height,
                                        destX, destY, image, imageX, imageY, planes);
    if (!outputWriterMayWrite(r)) return;
    mixRectangle(r, depth16(), maskFlag);
}

void lumaChromaMixTo32Bit(float* origin, int32 originRowBytes, float* destination, int32 destinationRowBytes,
                          int32 width, int32 height, int32 destX, int32 destY, fl_image& image, int32 imageX,
                          int32 imageY, bool maskFlag, int16 planes) {
    outputRectangle r = rectangle(origin, originRowBytes, destination, destinationRowBytes, width, height,
                                        destX, destY, image, imageX, imageY, planes);
    if (!outputWriterMayWrite(r)) return;
    if (handleMissingColorspaceLUTs()) return;
    mixRectangle(r, depth32{cspacePtrLUT2, cspacePtrLUT3}, maskFlag);
}
