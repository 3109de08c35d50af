// The sharpening's rows, compiled once per instruction set
// (engine/vector_isa.h).  The neighbourhood means are a 5 x 5 convolution of
// the interleaved samples: a step of one pixel is 3 floats, so the same flat
// sweep filters all three channels at once and vectorises across samples.
// The per-pixel luma/colour step then runs on a small chunk of means kept on
// the stack (worker stacks are small: no per-row buffer, no allocation).
#include <cstdint>
#include <cstring>

#include "engine/lanes.h"
#include "engine/engine_params.h"
#include "host/host_services.h"
#include "halvane/kernels/kernels.h"
#include "halvane/sharpen.h"

#include "engine/kernels/isa_target.h"

namespace VEXLOR_ISA_NAMESPACE {
namespace {

using namespace lanes;

// Pixels per chunk of means.
enum { kChunk = 64 };

struct Tap {
    int dx, dy;
    float w;
};
// The 24 weights, rows from the top, left to right, the centre left out.
constexpr Tap kTaps[24] = {
    {-2, -2, cfsA}, {-1, -2, cfsB}, {0, -2, cfsC}, {1, -2, cfsB}, {2, -2, cfsA},
    {-2, -1, cfsB}, {-1, -1, cfsF}, {0, -1, 1.0f}, {1, -1, cfsF}, {2, -1, cfsB},
    {-2, 0, cfsC},  {-1, 0, 1.0f},  {1, 0, 1.0f},  {2, 0, cfsC},
    {-2, 1, cfsB},  {-1, 1, cfsF},  {0, 1, 1.0f},  {1, 1, cfsF},  {2, 1, cfsB},
    {-2, 2, cfsA},  {-1, 2, cfsB},  {0, 2, cfsC},  {1, 2, cfsB},  {2, 2, cfsA},
};

// Means of n pixels starting at src (channel 0 of the first centre), 3n
// samples, each the weighted sum in tap order times the normaliser.  Eight
// samples at a time; the samples past 3n are computed from readable border
// or row floats and not used.
VEXLOR_INLINE void neighbourhoodMeans(const float* src, int64_t rowFloats, int32 n, float* means) {
    const int32 samples = n * 3;
    for (int32 i = 0; i < samples; i += 8) {
        v8f m = {};
#pragma GCC unroll 24
        for (int t = 0; t < 24; ++t)
            m += kTaps[t].w * load8(src + i + kTaps[t].dy * rowFloats + kTaps[t].dx * 3);
        m *= kSharpenNormaliser;
        std::memcpy(means + i, &m, sizeof m);
    }
}

VEXLOR_INLINE void sharpenRowsOf(const fl_image& source, fl_image& destination, const strength_map& strengthMap,
                               float sharpAmount, float chromaSharpAmount, int32 firstRow, int32 endRow, int32 band) {
    const int32 width = source.width;
    const int64_t srcRow = int64_t(source.paddedWidth) * 3;
    const bool lab = isLABmode;
    const float gain = kSharpenGain;
    const float wR = lumR, wG = lumG, wB = lumB, invG = invLumG;
    alignas(32) float means[kChunk * 3 + 8];
    // Planes of the means, the centres, the strengths and the results; the
    // lanes past a chunk's last pixel compute on zeros and are not stored.
    alignas(32) float m[3][kChunk + 8] = {}, c[3][kChunk + 8] = {}, r[3][kChunk + 8];
    alignas(32) float strength[kChunk + 8] = {};

    for (int32 y = firstRow; y < endRow; ++y) {
        const float* srcLine = source.data + ((int64_t(y) + source.padY) * source.paddedWidth + source.padX) * 3;
        float* dstLine =
            destination.data + ((int64_t(y) + destination.padY) * destination.paddedWidth + destination.padX) * 3;
        const float* mapLine = strengthMap.row(y);
        for (int32 x0 = 0; x0 < width; x0 += kChunk) {
            const int32 n = width - x0 < kChunk ? width - x0 : kChunk;
            neighbourhoodMeans(srcLine + int64_t(x0) * 3, srcRow, n, means);
            // The per-pixel step on planes, eight pixels at a time.
            deinterleave3(means, n, m[0], m[1], m[2]);
            deinterleave3(srcLine + int64_t(x0) * 3, n, c[0], c[1], c[2]);
            for (int32 i = 0; i < n; ++i) strength[i] = mapLine[x0 + i];
            for (int32 i = 0; i < n; i += 8) {
                v8f st = load8(strength + i);
                st = st >= 0.0f ? st : v8f{};
                const v8f gl = st * sharpAmount;
                const v8f gc = st * chromaSharpAmount;
                const v8f c0 = load8(c[0] + i), c1 = load8(c[1] + i), c2 = load8(c[2] + i);
                const v8f m0 = load8(m[0] + i), m1 = load8(m[1] + i), m2 = load8(m[2] + i);
                if (lab) {
                    store8(r[0] + i, c0 + (c0 - m0) * gl * gain);
                    store8(r[1] + i, c1 + (c1 - m1) * gc * gain);
                    store8(r[2] + i, c2 + (c2 - m2) * gc * gain);
                } else {
                    const v8f Y = wR * c0 + wG * c1 + wB * c2;
                    const v8f Ym = wR * m0 + wG * m1 + wB * m2;
                    const v8f dr = c0 - Y, db = c2 - Y;
                    const v8f mr = m0 - Ym, mb = m2 - Ym;
                    const v8f dr2 = dr + (dr - mr) * gc * gain;
                    const v8f db2 = db + (db - mb) * gc * gain;
                    const v8f Y2 = Y + (Y - Ym) * gl * gain;
                    const v8f R = Y2 + dr2;
                    const v8f B = Y2 + db2;
                    store8(r[0] + i, R);
                    store8(r[1] + i, (Y2 - wR * R - wB * B) * invG);
                    store8(r[2] + i, B);
                }
            }
            interleave3(r[0], r[1], r[2], n, dstLine + int64_t(x0) * 3);
        }
        if (y % 100 == 50 && threadedProgressUpdate(band)) return;
    }
}

}  // namespace

void sharpenRows(const fl_image& source, fl_image& destination, const strength_map& strengthMap, float sharpAmount,
                 float chromaSharpAmount, int32 firstRow, int32 endRow, int32 band) {
    sharpenRowsOf(source, destination, strengthMap, sharpAmount, chromaSharpAmount, firstRow, endRow, band);
}

}  // namespace VEXLOR_ISA_NAMESPACE
