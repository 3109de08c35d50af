// The noise-reduction core's rows, compiled once per instruction set
// (engine/vector_isa.h).  A vector of pixels of a row is processed at once
// in channel planes: four lanes on the SSE2 baseline, eight with AVX2,
// sixteen with AVX-512.  Every lane performs the operations of the scalar
// algorithm in the same order, so the result does not depend on how pixels
// are grouped into vectors, tiles or bands.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/kernels/kernels.h"
#include "engine/neighbour_windows.h"
#include "engine/noise_reduce_core.h"

#include "engine/kernels/isa_target.h"

#include "engine/nr_core_shared.h"
#include "engine/planar_tile.h"

namespace VEXLOR_ISA_NAMESPACE {
namespace {

using namespace lanes;

// The widest lanes of this compilation's instruction set.
typedef widest nrLanes;

enum { kTileWidth = 64, kTileHeight = 16, kHalo = 3 };
typedef planarTile<kTileWidth, kTileHeight, kHalo> nrTile;

// kWidth pixels: the centre of lane l is plane column j + l of plane row R.
// out* receive the new destination channels, strength the blend strength.
template <class V>
VEXLOR_INLINE void noiseReduceLanes(const nrTile& t, int R, int j, const float* dst0, const float* dst1,
                                    const float* dst2, bool smoothReference, float noiseLevel, float amount,
                                    float hnlr, float* out0, float* out1, float* out2, float* strength) {
    typedef typename Traits<V>::Index I;
    const int S = nrTile::kStride;
    const float* p0 = &t.plane[0][R][j];
    const float* p1 = &t.plane[1][R][j];
    const float* p2 = &t.plane[2][R][j];
    // Lambdas here are always inlined: a vector must not cross a call
    // between functions built for different instruction sets.
    auto at = [S](const float* p, int dx, int dy) __attribute__((always_inline)) { return load<V>(p + dy * S + dx); };

    // Reference colour, direction costs, tournament and similarity range:
    // the steps every core shares.
    const NoiseReduceStart<V> start = noiseReduceCoreStart<V>(
        PlanarTileSource<nrTile, V>{t, R, j}, smoothReference, noiseLevel, hnlr);
    const V c0 = start.c[0], c1 = start.c[1], c2 = start.c[2];
    const V fzero = {};
    const I dir = start.direction;
    const I bit1 = (dir & 1) != 0, bit2 = (dir & 2) != 0, bit4 = (dir & 4) != 0;

    // Window entry k of each lane's own direction.
    auto pick = [&](const float* p, int k) __attribute__((always_inline)) {
        const V a01 = select(bit1, at(p, kNeighbourWindowOffsets[1][k][0], kNeighbourWindowOffsets[1][k][1]),
                                   at(p, kNeighbourWindowOffsets[0][k][0], kNeighbourWindowOffsets[0][k][1]));
        const V a23 = select(bit1, at(p, kNeighbourWindowOffsets[3][k][0], kNeighbourWindowOffsets[3][k][1]),
                                   at(p, kNeighbourWindowOffsets[2][k][0], kNeighbourWindowOffsets[2][k][1]));
        const V a45 = select(bit1, at(p, kNeighbourWindowOffsets[5][k][0], kNeighbourWindowOffsets[5][k][1]),
                                   at(p, kNeighbourWindowOffsets[4][k][0], kNeighbourWindowOffsets[4][k][1]));
        const V a67 = select(bit1, at(p, kNeighbourWindowOffsets[7][k][0], kNeighbourWindowOffsets[7][k][1]),
                                   at(p, kNeighbourWindowOffsets[6][k][0], kNeighbourWindowOffsets[6][k][1]));
        const V a03 = select(bit2, a23, a01);
        const V a47 = select(bit2, a67, a45);
        return select(bit4, a47, a03);
    };

    const V U = start.range;
    const V invU = 1.0f / U;

    V W = {}, S0 = {}, S1 = {}, S2 = {};
#pragma GCC unroll 20
    for (int k = 0; k < kNeighbourWindowSize; ++k) {
        const V q0 = pick(p0, k), q1 = pick(p1, k), q2 = pick(p2, k);
        const V d = (vabs(c0 - q0) + vabs(c1 - q1)) + vabs(c2 - q2);
        const V w = select(d > U, fzero, 1.0f - d * invU);
        W += w;
        S0 += w * q0;
        S1 += w * q1;
        S2 += w * q2;
    }

    const I blended = (W == W) & (W != 0.0f);
    const V m = (1.0f - 1.0f / (W + 1.0f)) * amount;
    const V keep = 1.0f - m;
    store<V>(out0, select(blended, keep * load<V>(dst0) + m * S0 / W, c0));
    store<V>(out1, select(blended, keep * load<V>(dst1) + m * S1 / W, c1));
    store<V>(out2, select(blended, keep * load<V>(dst2) + m * S2 / W, c2));
    store<V>(strength, select(blended, m, fzero));
}

template <class V, bool WriteStrength, bool ReadDestination>
VEXLOR_INLINE void noiseReduceRows(fl_image& source, fl_image& destination, strength_map& strengthMap,
                                   float noiseLevel, bool smoothReference, float amount, float hnlr,
                                   int32 firstRow, int32 endRow) {
    const int32 width = source.width;
    if (firstRow >= endRow || width <= 0) return;
    nrTile tile;
    alignas(64) float dst[3][kTileWidth] = {};
    alignas(64) float out[3][kTileWidth];
    alignas(64) float strength[kTileWidth];
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
                    deinterleave3(d, tw, dst[0], dst[1], dst[2]);
                    d0 = dst[0];
                    d1 = dst[1];
                    d2 = dst[2];
                }
                for (int i = 0; i < tw; i += Traits<V>::kLanes)
                    noiseReduceLanes<V>(tile, r + kHalo, i + kHalo, d0 + i, d1 + i, d2 + i, smoothReference,
                                        noiseLevel, amount, hnlr, &out[0][i], &out[1][i], &out[2][i], &strength[i]);
                interleave3(out[0], out[1], out[2], tw, d);
                if (WriteStrength && strengthMap.data)
                    std::memcpy(strengthMap.row(y) + x0, strength, size_t(tw) * sizeof(float));
            }
        }
    }
}

}  // namespace

// Halvane's form, blending into the destination and keeping the strength;
// Glimra's, blending the source's values (which the driver's destination
// holds) without a strength map.
void noiseReduceRowsKeepingStrength(fl_image& source, fl_image& destination, strength_map& strengthMap,
                                    float noiseLevel, bool smoothReference, float amount, float highnoiseLevelReduce,
                                    int32 firstRow, int32 endRow) {
    noiseReduceRows<nrLanes, true, true>(source, destination, strengthMap, noiseLevel, smoothReference, amount,
                                         highnoiseLevelReduce, firstRow, endRow);
}

void noiseReduceRowsFromSource(fl_image& source, fl_image& destination, strength_map& strengthMap, float noiseLevel,
                               bool smoothReference, float amount, float highnoiseLevelReduce, int32 firstRow,
                               int32 endRow) {
    noiseReduceRows<nrLanes, false, false>(source, destination, strengthMap, noiseLevel, smoothReference, amount,
                                           highnoiseLevelReduce, firstRow, endRow);
}

}  // namespace VEXLOR_ISA_NAMESPACE
