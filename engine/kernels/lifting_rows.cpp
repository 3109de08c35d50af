// The lifting's row kernels, compiled once per instruction set
// (engine/vector_isa.h): the edge-guided reconstruction and the difference.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include "engine/kernels/kernels.h"
#include "engine/lifting.h"
#include "engine/engine_params.h"

#include "engine/kernels/isa_target.h"

#include "engine/lanes.h"

namespace VEXLOR_ISA_NAMESPACE {
namespace {

using namespace lanes;

inline const float* pixelAt(const fl_image& img, int32 x, int32 y) {
    return img.data + ((int64_t(y) + img.padY) * img.paddedWidth + (int64_t(x) + img.padX)) * 3;
}
inline float* pixelAt(fl_image& img, int32 x, int32 y) {
    return img.data + ((int64_t(y) + img.padY) * img.paddedWidth + (int64_t(x) + img.padX)) * 3;
}

// The reconstruction runs a vector of output pixels at a time (the set's
// widest lanes) on planar copies of
// the rows it reads, a chunk of columns at a time: a ring of the fine rows
// y - 1, y and y + 1 with one pixel on either side, and of the coarse rows Y
// and Y + 1, each copied once per chunk as the rows advance.  The coarse
// pixels of a vector of fine columns are spread to them by a shuffle
// (cE[x] = coarse(x / 2), cN[x] = coarse(x / 2 + 1)).  Every lane computes
// both forms of its row's rule and keeps the one of its column's parity; the
// operations of each kept form are those of the rule, in its order, so every
// pixel gets the value it would get alone.
typedef widest vf;
typedef Traits<vf>::Index vi;
enum { kLanes = Traits<vf>::kLanes };

enum {
    kReconChunk = 256,
    kReconRowGroup = 16,
    kReconFineStride = kReconChunk + 2 + 16,
    kReconCoarseStride = kReconChunk / 2 + 2 + 16,
};

struct reconScratch {
    float fine[3][3][kReconFineStride];      // ring by row mod 3; column i is x0 - 1 + i
    float coarse[2][3][kReconCoarseStride];  // ring by row mod 2; column i is x0 / 2 + i
    int32 fineRow[3];
    int32 coarseRow[2];
};

VEXLOR_INLINE vf vload(const float* p) { return load<vf>(p); }
VEXLOR_INLINE vf splatV(float x) { return splat<vf>(x); }

// out[i] = a[i] - b[i] for n samples, a vector at a time.
VEXLOR_INLINE void subtractSamples(const float* a, const float* b, int64_t n, float* out) {
    int64_t i = 0;
    for (; i + kLanes <= n; i += kLanes) store<vf>(out + i, vload(a + i) - vload(b + i));
    for (; i < n; ++i) out[i] = a[i] - b[i];
}

VEXLOR_INLINE vf rampV(const vf& d) {
    const vf fall = 1.0f + (reconSimilarityThreshold - d) * invReconSimilarityRolloff;
    const vf r = select(d > (reconSimilarityThreshold + reconSimilarityRolloff), splatV(0.0f), fall);
    return select(d <= reconSimilarityThreshold, splatV(1.0f), r);
}

VEXLOR_INLINE vf l1V(const float* const p[3], const float* const q[3], int i, int di) {
    return (vabs(vload(p[0] + i) - vload(q[0] + i + di)) +
            vabs(vload(p[1] + i) - vload(q[1] + i + di))) +
           vabs(vload(p[2] + i) - vload(q[2] + i + di));
}

// Lane l's coarse pixel l / 2 and the one after it, and the odd lanes.
template <class V>
struct spreadIndices;
template <>
struct spreadIndices<v4f> {
    static constexpr v4i kThis = {0, 0, 1, 1}, kNext = {1, 1, 2, 2}, kOdd = {0, -1, 0, -1};
};
template <>
struct spreadIndices<v8f> {
    static constexpr v8i kThis = {0, 0, 1, 1, 2, 2, 3, 3}, kNext = {1, 1, 2, 2, 3, 3, 4, 4},
                         kOdd = {0, -1, 0, -1, 0, -1, 0, -1};
};
template <>
struct spreadIndices<v16f> {
    static constexpr v16i kThis = {0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7},
                          kNext = {1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8},
                          kOdd = {0, -1, 0, -1, 0, -1, 0, -1, 0, -1, 0, -1, 0, -1, 0, -1};
};

// count pixels from p into the three planes, and a vector of zeros after
// them: the lanes past a chunk's end compute on numbers (and are not kept).
VEXLOR_INLINE void copyPlanes(const float* p, int count, float (&planes)[3][kReconFineStride]) {
    deinterleave3(p, count, planes[0], planes[1], planes[2]);
    for (int k = 0; k < 3; ++k) store<vf>(planes[k] + count, vf{});
}
VEXLOR_INLINE void copyPlanes(const float* p, int count, float (&planes)[3][kReconCoarseStride]) {
    deinterleave3(p, count, planes[0], planes[1], planes[2]);
    for (int k = 0; k < 3; ++k) store<vf>(planes[k] + count, vf{});
}

// The ring slot holding fine row r (r >= -1), copied in when it is not there.
VEXLOR_INLINE int fineSlot(const fl_image& fine, int32 x0, int n, int32 r, reconScratch& s) {
    const int slot = int((r + 3) % 3);
    if (s.fineRow[slot] != r) {
        copyPlanes(pixelAt(fine, x0 - 1, r), n + 2, s.fine[slot]);
        s.fineRow[slot] = r;
    }
    return slot;
}

VEXLOR_INLINE int coarseSlot(const fl_image& coarse, int32 x0, int n, int32 Y, reconScratch& s) {
    const int slot = int(Y % 2);
    if (s.coarseRow[slot] != Y) {
        copyPlanes(pixelAt(coarse, x0 / 2, Y), (n - 1) / 2 + 2, s.coarse[slot]);
        s.coarseRow[slot] = Y;
    }
    return slot;
}

// The coarse pixels of the fine columns x0 + i onwards (i even), a vector
// of them: this and the next.
VEXLOR_INLINE void spreadCoarse(const float* plane, int i, vf& e, vf& nx) {
    const vf c = vload(plane + i / 2);
    e = __builtin_shuffle(c, spreadIndices<vf>::kThis);
    nx = __builtin_shuffle(c, spreadIndices<vf>::kNext);
}

// Pixels x0 .. x0 + n - 1 of row y (x0 even, n at most kReconChunk),
// interleaved into o: the prediction, less the samples of subtrahend where
// it is given.
VEXLOR_INLINE void reconstructChunkRow(const fl_image& coarse, const fl_image& fine, const float* subtrahend,
                                       float* o, int32 x0, int n, int32 y, reconScratch& s) {
    const bool oddRow = (y & 1) != 0;
    const int32 Y = y / 2;
    const vi oddColumn = spreadIndices<vf>::kOdd;
    alignas(64) float res[3][kReconChunk + kLanes];
    // Column i of the fine planes is x0 - 1 + i: the centre of lane i is i + 1.
    const int m = fineSlot(fine, x0, n, y, s);
    const float* const mid[3] = {s.fine[m][0] + 1, s.fine[m][1] + 1, s.fine[m][2] + 1};
    const int c0 = coarseSlot(coarse, x0, n, Y, s);
    if (!oddRow) {
        for (int i = 0; i < n; i += kLanes) {
            // Even columns: the coarse pixel; odd: left and right.
            vf wL = rampV(l1V(mid, mid, i, -1));
            vf wR = rampV(l1V(mid, mid, i, 1));
            const vi any = (wL != 0.0f) | (wR != 0.0f);
            const vf sum = wL + wR;
            wL = select(any, wL / sum, splatV(0.5f));
            wR = select(any, wR / sum, splatV(0.5f));
            for (int k = 0; k < 3; ++k) {
                vf e, nx;
                spreadCoarse(s.coarse[c0][k], i, e, nx);
                const vf blend = wL * e + wR * nx;
                store<vf>(res[k] + i, select(oddColumn, blend, e));
            }
        }
    } else {
        const int u = fineSlot(fine, x0, n, y - 1, s);
        const int d = fineSlot(fine, x0, n, y + 1, s);
        const float* const up[3] = {s.fine[u][0] + 1, s.fine[u][1] + 1, s.fine[u][2] + 1};
        const float* const down[3] = {s.fine[d][0] + 1, s.fine[d][1] + 1, s.fine[d][2] + 1};
        const int c1 = coarseSlot(coarse, x0, n, Y + 1, s);
        for (int i = 0; i < n; i += kLanes) {
            // Even columns: above and below.
            vf wU = rampV(l1V(mid, up, i, 0));
            vf wD = rampV(l1V(mid, down, i, 0));
            const vi anyV = (wU != 0.0f) | (wD != 0.0f);
            const vf sumV = wU + wD;
            wU = select(anyV, wU / sumV, splatV(0.5f));
            wD = select(anyV, wD / sumV, splatV(0.5f));
            // Odd columns: the four diagonals.
            vf w1 = rampV(l1V(mid, up, i, -1));
            vf w2 = rampV(l1V(mid, up, i, 1));
            vf w3 = rampV(l1V(mid, down, i, -1));
            vf w4 = rampV(l1V(mid, down, i, 1));
            const vi any4 = (w1 != 0.0f) | (w2 != 0.0f) | (w3 != 0.0f) | (w4 != 0.0f);
            const vf sum4 = w1 + w2 + w3 + w4;
            w1 = select(any4, w1 / sum4, splatV(0.25f));
            w2 = select(any4, w2 / sum4, splatV(0.25f));
            w3 = select(any4, w3 / sum4, splatV(0.25f));
            w4 = select(any4, w4 / sum4, splatV(0.25f));
            for (int k = 0; k < 3; ++k) {
                vf e0, n0, e1, n1;
                spreadCoarse(s.coarse[c0][k], i, e0, n0);
                spreadCoarse(s.coarse[c1][k], i, e1, n1);
                const vf vertical = wU * e0 + wD * e1;
                const vf diagonal = w1 * e0 + w2 * n0 + w3 * e1 + w4 * n1;
                store<vf>(res[k] + i, select(oddColumn, diagonal, vertical));
            }
        }
    }
    if (!subtrahend) {
        interleave3(res[0], res[1], res[2], n, o);
        return;
    }
    // The prediction interleaved, then the one subtraction per sample.
    alignas(64) float pred[3 * kReconChunk];
    interleave3(res[0], res[1], res[2], n, pred);
    subtractSamples(pred, subtrahend, 3 * n, o);
}

VEXLOR_INLINE void resetRings(reconScratch& s) {
    s.fineRow[0] = s.fineRow[1] = s.fineRow[2] = INT32_MIN;
    s.coarseRow[0] = s.coarseRow[1] = INT32_MIN;
}

// out = b - a over one row.
VEXLOR_INLINE void differenceRow(const fl_image& a, const fl_image& b, fl_image& out, int32 y) {
    subtractSamples(pixelAt(b, 0, y), pixelAt(a, 0, y), out.width * 3, pixelAt(out, 0, y));
}

}  // namespace

void reconstructRows(const fl_image& coarse, const fl_image& fine, fl_image& out, const fl_image* details,
                     reconSink sink, int32 firstRow, int32 endRow) {
    reconScratch s;
    // Groups of rows outermost, so that every image is read in long runs,
    // and within a group chunk by chunk, so that the rows a chunk's row
    // shares with the one before it stay in the rings.
    for (int32 y0 = firstRow; y0 < endRow; y0 += kReconRowGroup) {
        const int32 yEnd = std::min<int32>(y0 + kReconRowGroup, endRow);
        for (int32 x0 = 0; x0 < out.width; x0 += kReconChunk) {
            const int n = int(std::min<int32>(kReconChunk, out.width - x0));
            resetRings(s);
            for (int32 y = y0; y < yEnd; ++y) {
                const float* subtrahend = sink == reconSink::prediction ? nullptr
                                          : sink == reconSink::details  ? pixelAt(fine, x0, y)
                                                                        : pixelAt(*details, x0, y);
                reconstructChunkRow(coarse, fine, subtrahend, pixelAt(out, x0, y), x0, n, y, s);
            }
        }
    }
}

void rebuiltRowChunk(const fl_image& coarse, const fl_image& fine, const fl_image& details, int32 x0, int32 n,
                     int32 y, float* out) {
    reconScratch s;
    resetRings(s);
    reconstructChunkRow(coarse, fine, pixelAt(details, x0, y), out, x0, int(n), y, s);
}

void differenceRows(const fl_image& a, const fl_image& b, fl_image& out, int32 firstRow, int32 endRow) {
    for (int32 y = firstRow; y < endRow; ++y) differenceRow(a, b, out, y);
}

}  // namespace VEXLOR_ISA_NAMESPACE
