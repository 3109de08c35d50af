// The first steps that every noise-reduction core shares, written once: the
// reference colour, the eight direction costs, the tournament that picks the
// direction, and the similarity range from the pixel's brightness.  The
// standard core and Halvane's cleaner core both start with
// noiseReduceCoreStart and differ only in what they do with its outcome.
//
// It is a template over the lane type (float: one pixel; a lanes:: vector:
// one pixel per lane) and over the source accessor, so a core may read interleaved pixels
// directly or planar copies of rows; the arithmetic per pixel is the same.
// A kernel includes it after engine/kernels/isa_target.h, and the two
// headers of declarations below before it; like engine/lanes.h, it is kept
// per instruction set.
#pragma once

#include <cstdint>

#include "engine/neighbour_windows.h"
#include "engine/noise_reduce_core.h"
#include "engine/lanes.h"

inline namespace VEXLOR_LANES_SET {

// Entries 0 to 5 of each direction's neighbour window (its main line), as
// compile-time offsets {dx, dy} for the vectorised kernels; the same as those
// of kNeighbourWindowOffsets.
inline constexpr signed char kDirectionMainLineOffsets[kNeighbourDirections][6][2] = {
    {{0, -1}, {0, -2}, {0, 1}, {0, 2}, {0, -3}, {0, 3}},
    {{1, -1}, {2, -2}, {-1, 1}, {-2, 2}, {3, -3}, {-3, 3}},
    {{-1, 0}, {-2, 0}, {1, 0}, {2, 0}, {-3, 0}, {3, 0}},
    {{1, 1}, {2, 2}, {-1, -1}, {-2, -2}, {3, 3}, {-3, -3}},
    {{1, -1}, {1, -2}, {-1, 1}, {-1, 2}, {1, -3}, {-1, 3}},
    {{1, -1}, {2, -1}, {-1, 1}, {-2, 1}, {3, -1}, {-3, 1}},
    {{1, 1}, {2, 1}, {-1, -1}, {-2, -1}, {3, 1}, {-3, -1}},
    {{1, 1}, {1, 2}, {-1, -1}, {-1, -2}, {1, 3}, {-1, -3}},
};

// One match of the tournament: a wins only when strictly cheaper.
template <class V, class I>
VEXLOR_INLINE I tournamentPick(const V& costA, const I& a, const V& costB, const I& b, V& cost) {
    const auto first = costA < costB;
    cost = lanes::select(first, costA, costB);
    return lanes::select(first, a, b);
}

// Similarity range, narrower in bright pixels: U = (1 - b/765 x
// highnoiseLevelReduce) x noiseLevel, b the channel sum clamped to 0..765 (a
// negative brightness counts as 0).
template <class V>
VEXLOR_INLINE V similarityRangeOf(const V& c0, const V& c1, const V& c2, float noiseLevel, float highnoiseLevelReduce) {
    using namespace lanes;
    V b = (c0 + c1) + c2;
    b = select(b < splat<V>(0.0f), splat<V>(0.0f), b);
    b = select(b > splat<V>(kBrightnessCeiling), splat<V>(kBrightnessCeiling), b);
#if defined(_WIN32)
    return (1.0f - b * kInvBrightnessCeiling * highnoiseLevelReduce) * noiseLevel;
#else
    return (1.0f - b / kBrightnessCeiling * highnoiseLevelReduce) * noiseLevel;
#endif
}

template <class V>
struct NoiseReduceStart {
    V c[3];                                   // the centre pixel
    typename lanes::Traits<V>::Index direction; // the chosen neighbourDirection
    V range;                                  // U: neighbours farther than this get no weight
};

// Src provides V at(int dx, int dy, int channel): the source sample of the
// pixel (x + dx, y + dy) for every lane, |dx|, |dy| <= 3.
template <class V, class Src>
VEXLOR_INLINE NoiseReduceStart<V> noiseReduceCoreStart(const Src& src, bool smoothReference, float noiseLevel,
                                                       float highnoiseLevelReduce) {
    using namespace lanes;
    typedef typename Traits<V>::Index I;
    NoiseReduceStart<V> s;
    for (int ch = 0; ch < 3; ++ch) s.c[ch] = src.at(0, 0, ch);

    // Reference colour: the 3 x 3 mean, or the pixel itself.
    V r[3] = {s.c[0], s.c[1], s.c[2]};
    if (smoothReference) {
        for (int ch = 0; ch < 3; ++ch) {
            V sum = src.at(-1, -1, ch);
#pragma GCC unroll 9
            for (int i = 1; i < 9; ++i) sum += src.at(i % 3 - 1, i / 3 - 1, ch);
            r[ch] = sum * kNinth;
        }
    }

    // Direction costs.
    V cost[kNeighbourDirections];
#pragma GCC unroll 8
    for (int d = 0; d < kNeighbourDirections; ++d) {
#pragma GCC unroll 6
        for (int k = 0; k < 6; ++k) {
            const int dx = kDirectionProbeOffsets[d][k][0], dy = kDirectionProbeOffsets[d][k][1];
            const V e = (vabs(r[0] - src.at(dx, dy, 0)) + vabs(r[1] - src.at(dx, dy, 1))) + vabs(r[2] - src.at(dx, dy, 2));
            cost[d] = k == 0 ? e : cost[d] + e;
        }
    }

    // Tournament: at every stage a tie goes to the later contender.
    V c01, c23, c45, c67, cA, cB, cW;
    const I w01 = tournamentPick(cost[0], splatIndex<I>(kDirUpDown), cost[1], splatIndex<I>(kDirTrBl), c01);
    const I w23 = tournamentPick(cost[2], splatIndex<I>(kDirLeftRight), cost[3], splatIndex<I>(kDirBrTl), c23);
    const I w45 = tournamentPick(cost[4], splatIndex<I>(kDirDiagA), cost[5], splatIndex<I>(kDirDiagB), c45);
    const I w67 = tournamentPick(cost[6], splatIndex<I>(kDirDiagC), cost[7], splatIndex<I>(kDirDiagD), c67);
    const I wA = tournamentPick(c01, w01, c23, w23, cA);
    const I wB = tournamentPick(c45, w45, c67, w67, cB);
    s.direction = tournamentPick(cA, wA, cB, wB, cW);

    s.range = similarityRangeOf<V>(s.c[0], s.c[1], s.c[2], noiseLevel, highnoiseLevelReduce);
    return s;
}

// Accessor over an interleaved fl_image-style buffer, for one pixel at a time.
struct InterleavedPixelSource {
    const float* centre;  // channel 0 of the centre pixel
    int64_t rowFloats;    // paddedWidth x 3
    VEXLOR_INLINE float at(int dx, int dy, int ch) const { return centre[dy * rowFloats + dx * 3 + ch]; }
};

// Accessor over a planarTile (engine/planar_tile.h): consecutive pixels, one
// per lane of V, whose first centre is plane column j, plane row r.
template <class Tile, class V = lanes::v8f>
struct PlanarTileSource {
    const Tile& tile;
    int r, j;
    VEXLOR_INLINE V at(int dx, int dy, int ch) const { return lanes::load<V>(&tile.plane[ch][r + dy][j + dx]); }
};

}  // namespace VEXLOR_LANES_SET
