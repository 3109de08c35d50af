// The noise-reduction core's rows, for the files that build it for one
// instruction set each (noise_reduce_core*.cpp): everything here has internal
// linkage, so each file compiles its own copy under its own target, and
// every copy computes the same values.  Include after the headers below and
// after the file's target pragma.
#pragma once

#include <algorithm>
#include <cstdint>

#include "engine/nr_core_shared.h"
#include "engine/planar_tile.h"
#include "entry/engine_params.h"

namespace {

using namespace vexlor_simd;

enum { kTileWidth = 64, kTileHeight = 16, kHalo = 3 };
typedef planarTile<kTileWidth, kTileHeight, kHalo> nrTile;

// Per-lane choice of one of two vectors by a bit of the lane's direction.
struct vectorSelect {
    typedef v8i Mask;
    static VEXLOR_INLINE Mask bit(const v8i& dir, int b) { return (dir & b) != 0; }
    static VEXLOR_INLINE v8f pick(const Mask& m, const v8f& a, const v8f& b) { return m ? a : b; }
};
// The same as bit operations, for targets without a blend instruction
// (SSE2), where a vector conditional would be taken apart lane by lane.
struct bitwiseSelect {
    typedef v8i Mask;
    static VEXLOR_INLINE Mask bit(const v8i& dir, int b) { return (dir & b) != 0; }
    static VEXLOR_INLINE v8f pick(const Mask& m, const v8f& a, const v8f& b) {
        return (v8f)(((v8i)a & m) | ((v8i)b & ~m));
    }
};

// The file's choice of the two (noise_reduce_core.cpp builds the baseline).
#ifndef VEXLOR_NR_SELECT
#define VEXLOR_NR_SELECT vectorSelect
#endif

// Eight pixels: the centre of lane l is plane column j + l of plane row R.
// out* receive the new destination channels, strength the blend strength.
template <class Select>
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

    // Reference colour, direction costs, tournament and similarity range:
    // the steps every core shares.
    const NoiseReduceStart<v8f> start =
        noiseReduceCoreStart<v8f>(PlanarTileSource<nrTile>{t, R, j}, smoothReference, noiseLevel, hnlr);
    const v8f c0 = start.c[0], c1 = start.c[1], c2 = start.c[2];
    const v8f fzero = {};
    const v8i dir = start.direction;
    const typename Select::Mask bit1 = Select::bit(dir, 1), bit2 = Select::bit(dir, 2), bit4 = Select::bit(dir, 4);

    // Window entry k of each lane's own direction.
    auto pick = [&](const float* p, int k) __attribute__((always_inline)) {
        const v8f a01 = Select::pick(bit1, at(p, kNeighbourWindowOffsets[1][k][0], kNeighbourWindowOffsets[1][k][1]),
                                        at(p, kNeighbourWindowOffsets[0][k][0], kNeighbourWindowOffsets[0][k][1]));
        const v8f a23 = Select::pick(bit1, at(p, kNeighbourWindowOffsets[3][k][0], kNeighbourWindowOffsets[3][k][1]),
                                        at(p, kNeighbourWindowOffsets[2][k][0], kNeighbourWindowOffsets[2][k][1]));
        const v8f a45 = Select::pick(bit1, at(p, kNeighbourWindowOffsets[5][k][0], kNeighbourWindowOffsets[5][k][1]),
                                        at(p, kNeighbourWindowOffsets[4][k][0], kNeighbourWindowOffsets[4][k][1]));
        const v8f a67 = Select::pick(bit1, at(p, kNeighbourWindowOffsets[7][k][0], kNeighbourWindowOffsets[7][k][1]),
                                        at(p, kNeighbourWindowOffsets[6][k][0], kNeighbourWindowOffsets[6][k][1]));
        const v8f a03 = Select::pick(bit2, a23, a01);
        const v8f a47 = Select::pick(bit2, a67, a45);
        return Select::pick(bit4, a47, a03);
    };

    const v8f U = start.range;
    const v8f invU = 1.0f / U;

    v8f W = {}, S0 = {}, S1 = {}, S2 = {};
#pragma GCC unroll 20
    for (int k = 0; k < kNeighbourWindowSize; ++k) {
        const v8f q0 = pick(p0, k), q1 = pick(p1, k), q2 = pick(p2, k);
        const v8f d = (abs8(c0 - q0) + abs8(c1 - q1)) + abs8(c2 - q2);
        const v8f w = Select::pick(d > U, fzero, 1.0f - d * invU);
        W += w;
        S0 += w * q0;
        S1 += w * q1;
        S2 += w * q2;
    }

    const v8i blended = (W == W) & (W != 0.0f);
    const v8f m = (1.0f - 1.0f / (W + 1.0f)) * amount;
    const v8f keep = 1.0f - m;
    store8(out0, Select::pick(blended, keep * load8(dst0) + m * S0 / W, c0));
    store8(out1, Select::pick(blended, keep * load8(dst1) + m * S1 / W, c1));
    store8(out2, Select::pick(blended, keep * load8(dst2) + m * S2 / W, c2));
    store8(strength, Select::pick(blended, m, fzero));
}

template <class Select, bool WriteStrength, bool ReadDestination>
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
                if (ReadDestination) {
                    for (int i = 0; i < tw; ++i) {
                        dst[0][i] = d[3 * i];
                        dst[1][i] = d[3 * i + 1];
                        dst[2][i] = d[3 * i + 2];
                    }
                } else {
                    // The destination holds the source: the planes have it.
                    for (int c = 0; c < 3; ++c)
                        for (int i = 0; i < tw; ++i) dst[c][i] = tile.plane[c][r + kHalo][i + kHalo];
                }
                for (int i = 0; i < tw; i += 8)
                    noiseReduce8<Select>(tile, r + kHalo, i + kHalo, &dst[0][i], &dst[1][i], &dst[2][i],
                                         smoothReference, noiseLevel, amount, hnlr, &out[0][i], &out[1][i], &out[2][i], &strength[i]);
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

typedef void (*noiseReduceRowsFunction)(fl_image&, fl_image&, fl_image&, float, bool, float, int32, int32);

// The two forms the cores use: Halvane's, blending into the destination and
// keeping the strength; Glimra's, blending the source's values (which the
// driver's destination holds) without a strength map.
void noiseReduceRowsKeepingStrength(fl_image& source, fl_image& destination, fl_image& strengthMap,
                                    float noiseLevel, bool smoothReference, float amount, int32 firstRow,
                                    int32 endRow) {
    noiseReduceRows<VEXLOR_NR_SELECT, true, true>(source, destination, strengthMap, noiseLevel, smoothReference, amount,
                                              firstRow, endRow);
}

void noiseReduceRowsFromSource(fl_image& source, fl_image& destination, fl_image& strengthMap, float noiseLevel,
                               bool smoothReference, float amount, int32 firstRow, int32 endRow) {
    noiseReduceRows<VEXLOR_NR_SELECT, false, false>(source, destination, strengthMap, noiseLevel, smoothReference,
                                                amount, firstRow, endRow);
}

}  // namespace
