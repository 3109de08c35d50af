// The noise-reduction core's rows, for the files that build it for one
// instruction set each (noise_reduce_core*.cpp): everything here has internal
// linkage, so each file compiles its own copy under its own target, and
// every copy computes the same values.  Include after the headers below and
// after the file's target pragma.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/simd.h"

// Four-lane forms of the shared first steps' lane operations, declared
// before those steps so that they find them.
typedef int32_t v4i __attribute__((vector_size(16)));
namespace lanes {
VEXLOR_INLINE vexlor_simd::v4f vabs(const vexlor_simd::v4f& x) { return vexlor_simd::abs4(x); }
VEXLOR_INLINE vexlor_simd::v4f select(const v4i& m, const vexlor_simd::v4f& a, const vexlor_simd::v4f& b) {
    return (vexlor_simd::v4f)(((v4i)a & m) | ((v4i)b & ~m));
}
VEXLOR_INLINE v4i select(const v4i& m, const v4i& a, const v4i& b) { return (a & m) | (b & ~m); }
}  // namespace lanes

#include "engine/nr_core_shared.h"
#include "engine/planar_tile.h"
#include "entry/engine_params.h"

namespace {

using namespace vexlor_simd;

enum { kTileWidth = 64, kTileHeight = 16, kHalo = 3 };
typedef planarTile<kTileWidth, kTileHeight, kHalo> nrTile;

// Lane types: eight floats where the target has 256-bit vectors, four
// (SSE2) for the baseline, whose 256-bit comparisons would be taken apart
// lane by lane.
template <class V>
struct laneType;
template <>
struct laneType<v8f> {
    typedef v8i Index;
    enum { kWidth = 8 };
    static VEXLOR_INLINE v8f load(const float* p) { return load8(p); }
    static VEXLOR_INLINE void store(float* p, const v8f& v) { store8(p, v); }
    static VEXLOR_INLINE v8f abs(const v8f& v) { return abs8(v); }
};
using lanes::v16f;
using lanes::v16i;
template <>
struct laneType<v16f> {
    typedef v16i Index;
    enum { kWidth = 16 };
    static VEXLOR_INLINE v16f load(const float* p) {
        v16f v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    static VEXLOR_INLINE void store(float* p, const v16f& v) { std::memcpy(p, &v, sizeof v); }
    static VEXLOR_INLINE v16f abs(const v16f& v) { return (v16f)((v16i)v & 0x7fffffff); }
};
template <>
struct laneType<v4f> {
    typedef v4i Index;
    enum { kWidth = 4 };
    static VEXLOR_INLINE v4f load(const float* p) { return load4(p); }
    static VEXLOR_INLINE void store(float* p, const v4f& v) { store4(p, v); }
    static VEXLOR_INLINE v4f abs(const v4f& v) { return abs4(v); }
};

}  // namespace

namespace lanes {
template <>
struct Traits<vexlor_simd::v4f> {
    typedef v4i Mask;
    typedef v4i Index;
};
}  // namespace lanes

namespace {

// Four consecutive pixels of a planarTile, for the shared first steps.
template <class Tile>
struct planarTileSource4 {
    const Tile& tile;
    int r, j;
    VEXLOR_INLINE v4f at(int dx, int dy, int ch) const { return load4(&tile.plane[ch][r + dy][j + dx]); }
};
template <class V>
struct tileSource;
template <>
struct tileSource<lanes::v16f> {
    typedef PlanarTileSource<nrTile, lanes::v16f> type;
};
template <>
struct tileSource<v8f> {
    typedef PlanarTileSource<nrTile> type;
};
template <>
struct tileSource<v4f> {
    typedef planarTileSource4<nrTile> type;
};

// Per-lane choice of one of two vectors by a mask.
template <class V>
struct vectorSelect {
    typedef typename laneType<V>::Index Mask;
    static VEXLOR_INLINE Mask bit(const Mask& dir, int b) { return (dir & b) != 0; }
    static VEXLOR_INLINE V pick(const Mask& m, const V& a, const V& b) { return m ? a : b; }
};
// The same as bit operations, for SSE2, which has no blend.
template <class V>
struct bitwiseSelect {
    typedef typename laneType<V>::Index Mask;
    static VEXLOR_INLINE Mask bit(const Mask& dir, int b) { return (dir & b) != 0; }
    static VEXLOR_INLINE V pick(const Mask& m, const V& a, const V& b) {
        return (V)(((Mask)a & m) | ((Mask)b & ~m));
    }
};

// The file's lanes and choice (noise_reduce_core.cpp builds the baseline).
#ifndef VEXLOR_NR_LANES
#define VEXLOR_NR_LANES v8f
#define VEXLOR_NR_SELECT vectorSelect
#endif

// kWidth pixels: the centre of lane l is plane column j + l of plane row R.
// out* receive the new destination channels, strength the blend strength.
template <class V, class Select>
VEXLOR_INLINE void noiseReduceLanes(const nrTile& t, int R, int j, const float* dst0, const float* dst1,
                                    const float* dst2, bool smoothReference, float noiseLevel, float amount,
                                    float hnlr, float* out0, float* out1, float* out2, float* strength) {
    typedef laneType<V> L;
    typedef typename L::Index I;
    const int S = nrTile::kStride;
    const float* p0 = &t.plane[0][R][j];
    const float* p1 = &t.plane[1][R][j];
    const float* p2 = &t.plane[2][R][j];
    // Lambdas here are always inlined: a vector must not cross a call
    // between functions built for different instruction sets.
    auto at = [S](const float* p, int dx, int dy) __attribute__((always_inline)) { return L::load(p + dy * S + dx); };

    // Reference colour, direction costs, tournament and similarity range:
    // the steps every core shares.
    const NoiseReduceStart<V> start = noiseReduceCoreStart<V>(
        typename tileSource<V>::type{t, R, j}, smoothReference, noiseLevel, hnlr);
    const V c0 = start.c[0], c1 = start.c[1], c2 = start.c[2];
    const V fzero = {};
    const I dir = start.direction;
    const typename Select::Mask bit1 = Select::bit(dir, 1), bit2 = Select::bit(dir, 2), bit4 = Select::bit(dir, 4);

    // Window entry k of each lane's own direction.
    auto pick = [&](const float* p, int k) __attribute__((always_inline)) {
        const V a01 = Select::pick(bit1, at(p, kNeighbourWindowOffsets[1][k][0], kNeighbourWindowOffsets[1][k][1]),
                                   at(p, kNeighbourWindowOffsets[0][k][0], kNeighbourWindowOffsets[0][k][1]));
        const V a23 = Select::pick(bit1, at(p, kNeighbourWindowOffsets[3][k][0], kNeighbourWindowOffsets[3][k][1]),
                                   at(p, kNeighbourWindowOffsets[2][k][0], kNeighbourWindowOffsets[2][k][1]));
        const V a45 = Select::pick(bit1, at(p, kNeighbourWindowOffsets[5][k][0], kNeighbourWindowOffsets[5][k][1]),
                                   at(p, kNeighbourWindowOffsets[4][k][0], kNeighbourWindowOffsets[4][k][1]));
        const V a67 = Select::pick(bit1, at(p, kNeighbourWindowOffsets[7][k][0], kNeighbourWindowOffsets[7][k][1]),
                                   at(p, kNeighbourWindowOffsets[6][k][0], kNeighbourWindowOffsets[6][k][1]));
        const V a03 = Select::pick(bit2, a23, a01);
        const V a47 = Select::pick(bit2, a67, a45);
        return Select::pick(bit4, a47, a03);
    };

    const V U = start.range;
    const V invU = 1.0f / U;

    V W = {}, S0 = {}, S1 = {}, S2 = {};
#pragma GCC unroll 20
    for (int k = 0; k < kNeighbourWindowSize; ++k) {
        const V q0 = pick(p0, k), q1 = pick(p1, k), q2 = pick(p2, k);
        const V d = (L::abs(c0 - q0) + L::abs(c1 - q1)) + L::abs(c2 - q2);
        const V w = Select::pick(d > U, fzero, 1.0f - d * invU);
        W += w;
        S0 += w * q0;
        S1 += w * q1;
        S2 += w * q2;
    }

    const I blended = (W == W) & (W != 0.0f);
    const V m = (1.0f - 1.0f / (W + 1.0f)) * amount;
    const V keep = 1.0f - m;
    L::store(out0, Select::pick(blended, keep * L::load(dst0) + m * S0 / W, c0));
    L::store(out1, Select::pick(blended, keep * L::load(dst1) + m * S1 / W, c1));
    L::store(out2, Select::pick(blended, keep * L::load(dst2) + m * S2 / W, c2));
    L::store(strength, Select::pick(blended, m, fzero));
}

template <class V, class Select, bool WriteStrength, bool ReadDestination>
VEXLOR_INLINE void noiseReduceRows(fl_image& source, fl_image& destination, strength_map& strengthMap,
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
                // What is blended: the destination's row, or (when it holds
                // the source) the source row already in the planes.
                const float* d0 = &tile.plane[0][r + kHalo][kHalo];
                const float* d1 = &tile.plane[1][r + kHalo][kHalo];
                const float* d2 = &tile.plane[2][r + kHalo][kHalo];
                if (ReadDestination) {
                    int i = 0;
                    for (; i + 8 <= tw; i += 8) deinterleave3x8(d + 3 * i, &dst[0][i], &dst[1][i], &dst[2][i]);
                    for (; i < tw; ++i) {
                        dst[0][i] = d[3 * i];
                        dst[1][i] = d[3 * i + 1];
                        dst[2][i] = d[3 * i + 2];
                    }
                    d0 = dst[0];
                    d1 = dst[1];
                    d2 = dst[2];
                }
                for (int i = 0; i < tw; i += laneType<V>::kWidth)
                    noiseReduceLanes<V, Select>(tile, r + kHalo, i + kHalo, d0 + i, d1 + i, d2 + i,
                                         smoothReference, noiseLevel, amount, hnlr, &out[0][i], &out[1][i], &out[2][i], &strength[i]);
                int i = 0;
                for (; i + 8 <= tw; i += 8) interleave3x8(&out[0][i], &out[1][i], &out[2][i], d + 3 * i);
                for (; i < tw; ++i) {
                    d[3 * i] = out[0][i];
                    d[3 * i + 1] = out[1][i];
                    d[3 * i + 2] = out[2][i];
                }
                if (WriteStrength && strengthMap.data)
                    std::memcpy(strengthMap.row(y) + x0, strength, size_t(tw) * sizeof(float));
            }
        }
    }
}

typedef void (*noiseReduceRowsFunction)(fl_image&, fl_image&, strength_map&, float, bool, float, int32, int32);

// The two forms the cores use: Halvane's, blending into the destination and
// keeping the strength; Glimra's, blending the source's values (which the
// driver's destination holds) without a strength map.
void noiseReduceRowsKeepingStrength(fl_image& source, fl_image& destination, strength_map& strengthMap,
                                    float noiseLevel, bool smoothReference, float amount, int32 firstRow,
                                    int32 endRow) {
    noiseReduceRows<VEXLOR_NR_LANES, VEXLOR_NR_SELECT<VEXLOR_NR_LANES>, true, true>(source, destination, strengthMap, noiseLevel, smoothReference, amount,
                                              firstRow, endRow);
}

void noiseReduceRowsFromSource(fl_image& source, fl_image& destination, strength_map& strengthMap, float noiseLevel,
                               bool smoothReference, float amount, int32 firstRow, int32 endRow) {
    noiseReduceRows<VEXLOR_NR_LANES, VEXLOR_NR_SELECT<VEXLOR_NR_LANES>, false, false>(source, destination, strengthMap, noiseLevel, smoothReference,
                                                amount, firstRow, endRow);
}

}  // namespace
