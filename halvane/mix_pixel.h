// The per-pixel work of Halvane's writers, for one pixel (V = float) or a
// vector of them (V = a lanes:: vector), with the same operations in the same
// order either way: the scalar API (halvane/luma_chroma_mix.cpp) and the row
// kernels (halvane/kernels/mix_rows.cpp, built per instruction set) share it.
// Everything has internal linkage, so each file builds its own copy.
#pragma once

#include "engine/lanes.h"
#include "engine/output_writers.h"
#include "halvane/luma_chroma_mix.h"

namespace {

// Mask byte to 0..1; 16-bit input to the 0..255 scale.
const float kMaskScale = 0.003921569f;
const float kFrom16BitScale = 0.0077819824f;

VEXLOR_INLINE float read8(uint8 v) { return float(v); }
VEXLOR_INLINE float read16(uint16 v) { return float(v) * kFrom16BitScale; }
// Linear light 0..1 to the 0..255 scale through LUT3 (4096 steps).
VEXLOR_INLINE float read32(float v, const float* lut3) { return interpolateTable(v, 1.0f, 4096.0f, lut3); }

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

}  // namespace
