// The neighbourhood means are a 5 x 5 convolution of the interleaved samples:
// a step of one pixel is 3 floats, so the same flat sweep filters all three
// channels at once and vectorises across samples.  The per-pixel luma/colour
// step then runs on a small chunk of means kept on the stack (worker stacks
// are small: no per-row buffer, no allocation).
#if defined(__GNUC__)
// Eight-lane vectors pass between inlined helpers only.
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

#include "halvane/sharpen.h"

#include <cstring>

#include "engine/simd.h"

#include "entry/engine_params.h"
#include "entry/host_services.h"

const float kSharpenGain = 11.6f;
const float kSharpenNormaliser = 0.0862069f;

namespace {

const float NO_SHARPENING = 0.0f;

// Pixels per chunk of means.
enum { kChunk = 64 };

struct Tap {
    int dx, dy;
    float w;
};
// cfsA, cfsB, cfsC and cfsF of the engine constants, as compile-time values.
constexpr float kA = 0.1f, kB = 0.3f, kC = 0.5f, kF = 0.7f;

// The 24 weights, rows from the top, left to right, the centre left out.
constexpr Tap kTaps[24] = {
    {-2, -2, kA}, {-1, -2, kB}, {0, -2, kC}, {1, -2, kB}, {2, -2, kA},
    {-2, -1, kB}, {-1, -1, kF}, {0, -1, 1.0f}, {1, -1, kF}, {2, -1, kB},
    {-2, 0, kC},  {-1, 0, 1.0f},  {1, 0, 1.0f},  {2, 0, kC},
    {-2, 1, kB},  {-1, 1, kF},  {0, 1, 1.0f},  {1, 1, kF},  {2, 1, kB},
    {-2, 2, kA},  {-1, 2, kB},  {0, 2, kC},  {1, 2, kB},  {2, 2, kA},
};
constexpr float kTapWeights[24] = {kA, kB, kC, kB, kA, kB, kF, 1.0f, kF, kB, kC, 1.0f,
                                   1.0f, kC, kB, kF, 1.0f, kF, kB, kA, kB, kC, kB, kA};

// Means of n pixels starting at src (channel 0 of the first centre), 3n
// samples, each the weighted sum in tap order times the normaliser.  Eight
// samples at a time; the samples past 3n are computed from readable border
// or row floats and not used.
VEXLOR_INLINE void neighbourhoodMeans(const float* src, int64_t rowFloats, int32 n, float* means) {
    using vexlor_simd::v8f;
    const int32 samples = n * 3;
    for (int32 i = 0; i < samples; i += 8) {
        v8f m = {};
#pragma GCC unroll 24
        for (int t = 0; t < 24; ++t)
            m += kTapWeights[t] * vexlor_simd::load8(src + i + kTaps[t].dy * rowFloats + kTaps[t].dx * 3);
        m *= kSharpenNormaliser;
        std::memcpy(means + i, &m, sizeof m);
    }
}

VEXLOR_INLINE void sharpenRows(const fl_image& source, fl_image& destination, const fl_image& strengthMap,
                               float sharpAmount, float chromaSharpAmount, int32 firstRow, int32 endRow, int32 band) {
    const int32 width = source.width;
    const int64_t srcRow = int64_t(source.paddedWidth) * 3;
    const bool lab = isLABmode;
    const float gain = kSharpenGain;
    const float wR = lumR, wG = lumG, wB = lumB, invG = invLumG;
    alignas(32) float means[kChunk * 3 + 8];

    for (int32 y = firstRow; y < endRow; ++y) {
        const float* srcLine = source.data + ((int64_t(y) + source.padY) * source.paddedWidth + source.padX) * 3;
        float* dstLine =
            destination.data + ((int64_t(y) + destination.padY) * destination.paddedWidth + destination.padX) * 3;
        const float* mapLine =
            strengthMap.data + ((int64_t(y) + strengthMap.padY) * strengthMap.paddedWidth + strengthMap.padX) * 3;
        for (int32 x0 = 0; x0 < width; x0 += kChunk) {
            const int32 n = width - x0 < kChunk ? width - x0 : kChunk;
            neighbourhoodMeans(srcLine + int64_t(x0) * 3, srcRow, n, means);
            for (int32 i = 0; i < n; ++i) {
                const int64_t x = x0 + i;
                const float* c = srcLine + x * 3;
                const float* m = means + i * 3;
                float s = mapLine[x * 3];
                if (!(s >= 0.0f)) s = 0.0f;
                const float gl = s * sharpAmount;
                const float gc = s * chromaSharpAmount;
                float* d = dstLine + x * 3;
                if (lab) {
                    d[0] = c[0] + (c[0] - m[0]) * gl * gain;
                    d[1] = c[1] + (c[1] - m[1]) * gc * gain;
                    d[2] = c[2] + (c[2] - m[2]) * gc * gain;
                } else {
                    const float Y = wR * c[0] + wG * c[1] + wB * c[2];
                    const float Ym = wR * m[0] + wG * m[1] + wB * m[2];
                    const float dr = c[0] - Y, db = c[2] - Y;
                    const float mr = m[0] - Ym, mb = m[2] - Ym;
                    const float dr2 = dr + (dr - mr) * gc * gain;
                    const float db2 = db + (db - mb) * gc * gain;
                    const float Y2 = Y + (Y - Ym) * gl * gain;
                    const float R = Y2 + dr2;
                    const float B = Y2 + db2;
                    d[0] = R;
                    d[1] = (Y2 - wR * R - wB * B) * invG;
                    d[2] = B;
                }
            }
        }
        if (y % 100 == 50 && threadedProgressUpdate(band)) return;
    }
}

VEXLOR_KERNEL_CLONES void sharpenKernel(const fl_image& source, fl_image& destination, const fl_image& strengthMap,
                                        float sharpAmount, float chromaSharpAmount, int32 firstRow, int32 endRow,
                                        int32 band) {
    sharpenRows(source, destination, strengthMap, sharpAmount, chromaSharpAmount, firstRow, endRow, band);
}

}  // namespace

void sharpenAfterNoiseReduce(fl_image& source, fl_image& destination, fl_image& strengthMap, float sharpAmount,
                             float chromaSharpAmount, int32 firstRow, int32 endRow, int32 band) {
    if (sharpAmount == NO_SHARPENING && chromaSharpAmount == NO_SHARPENING) return;
    if (firstRow >= endRow) return;
    // One loop, one image's bounds: the three images must agree.
    if (source.width != destination.width || source.height != destination.height ||
        strengthMap.width != source.width || strengthMap.height != source.height)
        return;
    // The means read 2 pixels into the border and up to 7 floats past the
    // last sample of a row, which the border (3 pixels, 9 floats) covers.
    if (source.padX < 3 || source.padY < 2) return;
    sharpenKernel(source, destination, strengthMap, sharpAmount, chromaSharpAmount, firstRow, endRow, band);
}
