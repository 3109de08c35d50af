// The sharpening's rows, compiled once per instruction set
// (engine/vector_isa.h).  The neighbourhood means are a 5 x 5 convolution of
// the interleaved samples: a step of one pixel is 3 floats, so the same flat
// sweep filters all three channels at once and vectorises across samples.
// The per-pixel luma/colour step then runs on a small chunk of means kept on
// the stack (worker stacks are small: no per-row buffer, no allocation).
#include <cstdint>
#include <cstring>

#include "engine/engine_params.h"
#include "host/host_services.h"
#include "halvane/kernels/kernels.h"
#include "halvane/sharpen.h"

#include "engine/kernels/isa_target.h"

#include "engine/lanes.h"

namespace VEXLOR_ISA_NAMESPACE {
namespace {

using namespace lanes;

typedef widest vf;
enum { kLanes = Traits<vf>::kLanes };

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

// The means of a vector of samples from src + i.
template <class V>
VEXLOR_INLINE void meansOf(const float* src, int64_t rowFloats, int32 i, float* means) {
    V m = {};
#pragma GCC unroll 24
    for (int t = 0; t < 24; ++t) m += kTaps[t].w * load<V>(src + i + kTaps[t].dy * rowFloats + kTaps[t].dx * 3);
    m *= kSharpenNormaliser;
    store<V>(means + i, m);
}

// Means of n pixels starting at src (channel 0 of the first centre), 3n
// samples, each the weighted sum in tap order times the normaliser.  A
// vector of the set's widest lanes at a time, the last samples eight at a
// time: the samples past 3n (at most 7) are computed from readable border
// floats and not used.
VEXLOR_INLINE void neighbourhoodMeans(const float* src, int64_t rowFloats, int32 n, float* means) {
    const int32 samples = n * 3;
    int32 i = 0;
    if (kLanes > 8)
        for (; i + kLanes <= samples; i += kLanes) meansOf<vf>(src, rowFloats, i, means);
    for (; i < samples; i += 8) meansOf<v8f>(src, rowFloats, i, means);
}

VEXLOR_INLINE int32 sharpenRowsOf(const fl_image& source, fl_image& destination, const strength_map& strengthMap,
                               float sharpAmount, float chromaSharpAmount, int32 firstRow, int32 endRow, int32 band) {
    const int32 width = source.width;
    const int64_t srcRow = int64_t(source.paddedWidth) * 3;
    const bool lab = isLABmode;
    const float gain = kSharpenGain;
    const float wR = lumR, wG = lumG, wB = lumB, invG = invLumG;
    alignas(64) float means[kChunk * 3 + 8];
    // Planes of the means, the centres, the strengths and the results; the
    // lanes past a chunk's last pixel compute on zeros and are not stored.
    alignas(64) float m[3][kChunk + kLanes] = {}, c[3][kChunk + kLanes] = {}, r[3][kChunk + kLanes];
    alignas(64) float strength[kChunk + kLanes] = {};

    for (int32 y = firstRow; y < endRow; ++y) {
        const float* srcLine = source.data + ((int64_t(y) + source.padY) * source.paddedWidth + source.padX) * 3;
        float* dstLine =
            destination.data + ((int64_t(y) + destination.padY) * destination.paddedWidth + destination.padX) * 3;
        const float* mapLine = strengthMap.row(y);
        for (int32 x0 = 0; x0 < width; x0 += kChunk) {
            const int32 n = width - x0 < kChunk ? width - x0 : kChunk;
            neighbourhoodMeans(srcLine + int64_t(x0) * 3, srcRow, n, means);
            // The per-pixel step on planes, a vector of pixels at a time.
            deinterleave3(means, n, m[0], m[1], m[2]);
            deinterleave3(srcLine + int64_t(x0) * 3, n, c[0], c[1], c[2]);
            for (int32 i = 0; i < n; ++i) strength[i] = mapLine[x0 + i];
            for (int32 i = 0; i < n; i += kLanes) {
                vf st = load<vf>(strength + i);
                st = select(st >= 0.0f, st, vf{});
                const vf gl = st * sharpAmount;
                const vf gc = st * chromaSharpAmount;
                const vf c0 = load<vf>(c[0] + i), c1 = load<vf>(c[1] + i), c2 = load<vf>(c[2] + i);
                const vf m0 = load<vf>(m[0] + i), m1 = load<vf>(m[1] + i), m2 = load<vf>(m[2] + i);
                if (lab) {
                    store<vf>(r[0] + i, c0 + (c0 - m0) * gl * gain);
                    store<vf>(r[1] + i, c1 + (c1 - m1) * gc * gain);
                    store<vf>(r[2] + i, c2 + (c2 - m2) * gc * gain);
                } else {
                    const vf Y = wR * c0 + wG * c1 + wB * c2;
                    const vf Ym = wR * m0 + wG * m1 + wB * m2;
                    const vf dr = c0 - Y, db = c2 - Y;
                    const vf mr = m0 - Ym, mb = m2 - Ym;
                    const vf dr2 = dr + (dr - mr) * gc * gain;
                    const vf db2 = db + (db - mb) * gc * gain;
                    const vf Y2 = Y + (Y - Ym) * gl * gain;
                    const vf R = Y2 + dr2;
                    const vf B = Y2 + db2;
                    store<vf>(r[0] + i, R);
                    store<vf>(r[1] + i, (Y2 - wR * R - wB * B) * invG);
                    store<vf>(r[2] + i, B);
                }
            }
            interleave3(r[0], r[1], r[2], n, dstLine + int64_t(x0) * 3);
        }
        if (y % 100 == 50 && threadedProgressUpdate(band)) return y + 1;
    }
    return endRow;
}

}  // namespace

int32 sharpenRows(const fl_image& source, fl_image& destination, const strength_map& strengthMap, float sharpAmount,
                  float chromaSharpAmount, int32 firstRow, int32 endRow, int32 band) {
    return sharpenRowsOf(source, destination, strengthMap, sharpAmount, chromaSharpAmount, firstRow, endRow, band);
}

}  // namespace VEXLOR_ISA_NAMESPACE
