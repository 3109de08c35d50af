// The noise-reduction core.  Eight pixels of a row are processed at once in
// channel planes; every lane performs the operations of the scalar
// algorithm in the same order, so the result does not depend on how pixels
// are grouped into vectors, tiles or bands.
#include "engine/noise_reduce_core.h"

#include <algorithm>
#include <cmath>

#include "engine/planar_tile.h"
#include "entry/engine_params.h"

using namespace vexlor_simd;

namespace {

inline float brightnessFraction(float b) {
#if defined(_WIN32)
    return b * kInvBrightnessCeiling;
#else
    return b / kBrightnessCeiling;
#endif
}

enum { kTileWidth = 64, kTileHeight = 16, kHalo = 3 };
typedef planarTile<kTileWidth, kTileHeight, kHalo> nrTile;

// Eight pixels: the centre of lane l is plane column j + l of plane row R.
// out* receive the new destination channels, strength the blend strength.
VEXLOR_INLINE void noiseReduce8(const nrTile& t, int R, int j, const float* dst0, const float* dst1,
                                const float* dst2, bool smoothReference, float noiseLevel, float amount, float hnlr,
                                float* out0, float* out1, float* out2, float* strength) {
    const int S = nrTile::kStride;
    const float* p0 = &t.plane[0][R][j];
    const float* p1 = &t.plane[1][R][j];
    const float* p2 = &t.plane[2][R][j];
    // Lambdas here are always inlined: a vector must not cross a call
    // between functions built for different instruction sets.
    auto at = [S](const float* p, int dx, int dy) __attribute__((always_inline)) { return load8(p + dy * S + dx); };

    const v8f c0 = at(p0, 0, 0), c1 = at(p1, 0, 0), c2 = at(p2, 0, 0);
    v8f r0 = c0, r1 = c1, r2 = c2;
    if (smoothReference) {
        v8f s0 = at(p0, -1, -1), s1 = at(p1, -1, -1), s2 = at(p2, -1, -1);
#pragma GCC unroll 9
        for (int i = 1; i < 9; ++i) {
            const int dx = i % 3 - 1, dy = i / 3 - 1;
            s0 += at(p0, dx, dy);
            s1 += at(p1, dx, dy);
            s2 += at(p2, dx, dy);
        }
        r0 = s0 * kNinth;
        r1 = s1 * kNinth;
        r2 = s2 * kNinth;
    }

    v8f cost[kNeighbourDirections];
#pragma GCC unroll 8
    for (int d = 0; d < kNeighbourDirections; ++d) {
#pragma GCC unroll 6
        for (int k = 0; k < 6; ++k) {
            const int dx = kDirectionProbeOffsets[d][k][0], dy = kDirectionProbeOffsets[d][k][1];
            const v8f e = (abs8(r0 - at(p0, dx, dy)) + abs8(r1 - at(p1, dx, dy))) + abs8(r2 - at(p2, dx, dy));
            cost[d] = k == 0 ? e : cost[d] + e;
        }
    }

    // The tournament; every tie goes to the later contender.
    const v8i zero = {};
    const v8f fzero = {};
    const v8i w01 = cost[0] < cost[1], w23 = cost[2] < cost[3];
    const v8i w45 = cost[4] < cost[5], w67 = cost[6] < cost[7];
    const v8f cA = w01 ? cost[0] : cost[1], cB = w23 ? cost[2] : cost[3];
    const v8f cC = w45 ? cost[4] : cost[5], cD = w67 ? cost[6] : cost[7];
    const v8i dA = w01 ? zero + 0 : zero + 1, dB = w23 ? zero + 2 : zero + 3;
    const v8i dC = w45 ? zero + 4 : zero + 5, dD = w67 ? zero + 6 : zero + 7;
    const v8i wAB = cA < cB, wCD = cC < cD;
    const v8f cAB = wAB ? cA : cB, cCD = wCD ? cC : cD;
    const v8i dAB = wAB ? dA : dB, dCD = wCD ? dC : dD;
    const v8i dir = cAB < cCD ? dAB : dCD;
    const v8i bit1 = (dir & 1) != 0, bit2 = (dir & 2) != 0, bit4 = (dir & 4) != 0;

    // Window entry k of each lane's own direction.
    auto pick = [&](const float* p, int k) __attribute__((always_inline)) {
        const v8f a01 = bit1 ? at(p, kNeighbourWindowOffsets[1][k][0], kNeighbourWindowOffsets[1][k][1])
                             : at(p, kNeighbourWindowOffsets[0][k][0], kNeighbourWindowOffsets[0][k][1]);
        const v8f a23 = bit1 ? at(p, kNeighbourWindowOffsets[3][k][0], kNeighbourWindowOffsets[3][k][1])
                             : at(p, kNeighbourWindowOffsets[2][k][0], kNeighbourWindowOffsets[2][k][1]);
        const v8f a45 = bit1 ? at(p, kNeighbourWindowOffsets[5][k][0], kNeighbourWindowOffsets[5][k][1])
                             : at(p, kNeighbourWindowOffsets[4][k][0], kNeighbourWindowOffsets[4][k][1]);
        const v8f a67 = bit1 ? at(p, kNeighbourWindowOffsets[7][k][0], kNeighbourWindowOffsets[7][k][1])
                             : at(p, kNeighbourWindowOffsets[6][k][0], kNeighbourWindowOffsets[6][k][1]);
        const v8f a03 = bit2 ? a23 : a01;
        const v8f a47 = bit2 ? a67 : a45;
        return bit4 ? a47 : a03;
    };

    v8f b = (c0 + c1) + c2;
    b = b < 0.0f ? fzero : b;
    b = b > kBrightnessCeiling ? fzero + kBrightnessCeiling : b;
#if defined(_WIN32)
    const v8f U = (1.0f - b * kInvBrightnessCeiling * hnlr) * noiseLevel;
#else
    const v8f U = (1.0f - b / kBrightnessCeiling * hnlr) * noiseLevel;
#endif
    const v8f invU = 1.0f / U;

    v8f W = {}, S0 = {}, S1 = {}, S2 = {};
#pragma GCC unroll 20
    for (int k = 0; k < kNeighbourWindowSize; ++k) {
        const v8f q0 = pick(p0, k), q1 = pick(p1, k), q2 = pick(p2, k);
        const v8f d = (abs8(c0 - q0) + abs8(c1 - q1)) + abs8(c2 - q2);
        const v8f w = d > U ? fzero : 1.0f - d * invU;
        W += w;
        S0 += w * q0;
        S1 += w * q1;
        S2 += w * q2;
    }

    const v8i blended = (W == W) & (W != 0.0f);
    const v8f m = (1.0f - 1.0f / (W + 1.0f)) * amount;
    const v8f keep = 1.0f - m;
    store8(out0, blended ? keep * load8(dst0) + m * S0 / W : c0);
    store8(out1, blended ? keep * load8(dst1) + m * S1 / W : c1);
    store8(out2, blended ? keep * load8(dst2) + m * S2 / W : c2);
    store8(strength, blended ? m : fzero);
}

template <bool WriteStrength>
VEXLOR_INLINE void noiseReduceRows(fl_image& source, fl_image& destination, fl_image& strengthMap,
                                   float noiseLevel, bool smoothReference, float amount, int32 firstRow,
                                   int32 endRow) {
    const int32 width = source.width;
    if (firstRow >= endRow || width <= 0) return;
    const float hnlr = highnoiseLevelReduce;
    nrTile tile;
    alignas(32) float dst[3][kTileWidth] = {};
    alignas(32) float out[3][kTileWidth];
    alignas(32) float strength[kTileWidth];
    for (int32 y0 = firstRow; y0 < endRow; y0 += kTileHeight) {
        const int th = int(std::min<int32>(kTileHeight, endRow - y0));
        for (int32 x0 = 0; x0 < width; x0 += kTileWidth) {
            const int tw = int(std::min<int32>(kTileWidth, width - x0));
            tile.load(source, x0, y0, tw, th);
            for (int r = 0; r < th; ++r) {
                const int32 y = y0 + r;
                float* __restrict d = destination.data +
                    (int64_t(y + destination.padY) * destination.paddedWidth + destination.padX + x0) * 3;
                for (int i = 0; i < tw; ++i) {
                    dst[0][i] = d[3 * i];
                    dst[1][i] = d[3 * i + 1];
                    dst[2][i] = d[3 * i + 2];
                }
                for (int i = 0; i < tw; i += 8)
                    noiseReduce8(tile, r + kHalo, i + kHalo, &dst[0][i], &dst[1][i], &dst[2][i], smoothReference,
                                 noiseLevel, amount, hnlr, &out[0][i], &out[1][i], &out[2][i], &strength[i]);
                for (int i = 0; i < tw; ++i) {
                    d[3 * i] = out[0][i];
                    d[3 * i + 1] = out[1][i];
                    d[3 * i + 2] = out[2][i];
                }
                if (WriteStrength) {
                    float* __restrict s = strengthMap.data +
                        (int64_t(y + strengthMap.padY) * strengthMap.paddedWidth + strengthMap.padX + x0) * 3;
                    for (int i = 0; i < tw; ++i) s[3 * i] = strength[i];
                }
            }
        }
    }
}

VEXLOR_KERNEL_CLONES
void noiseReduceRowsWithStrength(fl_image& source, fl_image& destination, fl_image& strengthMap, float noiseLevel,
                                 bool smoothReference, float amount, int32 firstRow, int32 endRow) {
    noiseReduceRows<true>(source, destination, strengthMap, noiseLevel, smoothReference, amount, firstRow, endRow);
}

VEXLOR_KERNEL_CLONES
void noiseReduceRowsWithoutStrength(fl_image& source, fl_image& destination, fl_image& strengthMap,
                                    float noiseLevel, bool smoothReference, float amount, int32 firstRow,
                                    int32 endRow) {
    noiseReduceRows<false>(source, destination, strengthMap, noiseLevel, smoothReference, amount, firstRow, endRow);
}

}  // namespace

int chooseNeighbourDirection(const float* centre, int32 rowLength, bool smoothReference) {
    float r0 = centre[0], r1 = centre[1], r2 = centre[2];
    if (smoothReference) {
        const float* p = centre - rowLength - 3;
        float s0 = p[0], s1 = p[1], s2 = p[2];
        for (int i = 1; i < 9; ++i) {
            const float* q = centre + (i / 3 - 1) * rowLength + (i % 3 - 1) * 3;
            s0 += q[0];
            s1 += q[1];
            s2 += q[2];
        }
        r0 = s0 * kNinth;
        r1 = s1 * kNinth;
        r2 = s2 * kNinth;
    }
    float cost[kNeighbourDirections];
    for (int d = 0; d < kNeighbourDirections; ++d) {
        for (int k = 0; k < 6; ++k) {
            const float* q = centre + kDirectionProbeOffsets[d][k][1] * rowLength + kDirectionProbeOffsets[d][k][0] * 3;
            const float e = (std::fabs(r0 - q[0]) + std::fabs(r1 - q[1])) + std::fabs(r2 - q[2]);
            cost[d] = k == 0 ? e : cost[d] + e;
        }
    }
    const int a = cost[0] < cost[1] ? 0 : 1;
    const int b = cost[2] < cost[3] ? 2 : 3;
    const int c = cost[4] < cost[5] ? 4 : 5;
    const int d = cost[6] < cost[7] ? 6 : 7;
    const int ab = cost[a] < cost[b] ? a : b;
    const int cd = cost[c] < cost[d] ? c : d;
    return cost[ab] < cost[cd] ? ab : cd;
}

float similarityRange(float c0, float c1, float c2, float noiseLevel) {
    float b = (c0 + c1) + c2;
    if (b < 0.0f) b = 0.0f;
    if (b > kBrightnessCeiling) b = kBrightnessCeiling;
    return (1.0f - brightnessFraction(b) * highnoiseLevelReduce) * noiseLevel;
}

void noiseReduceCoreAlgo(fl_image& source, fl_image& destination, fl_image& strengthMap, float, float noiseLevel,
                         bool smoothReference, float amount, float, int32 firstRow, int32 endRow, int32) {
    noiseReduceRowsWithStrength(source, destination, strengthMap, noiseLevel, smoothReference, amount, firstRow,
                                endRow);
}

void noiseReduceCoreAlgoWithoutStrength(fl_image& source, fl_image& destination, fl_image& strengthMap, float,
                                        float noiseLevel, bool smoothReference, float amount, float, int32 firstRow,
                                        int32 endRow, int32) {
    noiseReduceRowsWithoutStrength(source, destination, strengthMap, noiseLevel, smoothReference, amount, firstRow,
                                   endRow);
}
