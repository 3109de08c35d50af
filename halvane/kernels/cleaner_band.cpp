// The cleaner core's bands, compiled once per instruction set
// (engine/vector_isa.h), a vector of the set's widest lanes at a time.  A
// band is walked in tiles copied into channel planes on the stack (worker
// stacks are small, and the kernel allocates nothing), so every neighbour
// of consecutive pixels is one vector load.  The
// per-pixel arithmetic is that of one pixel alone: results do not depend on
// the lane count, the tile or the band split.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/neighbour_windows.h"
#include "engine/noise_reduce_core.h"
#include "halvane/kernels/kernels.h"

#include "engine/kernels/isa_target.h"

#include "engine/nr_core_shared.h"
#include "engine/planar_tile.h"

namespace VEXLOR_ISA_NAMESPACE {
namespace {

using namespace lanes;

enum { kTileWidth = 64, kTileHeight = 16, kHalo = 3 };
typedef planarTile<kTileWidth, kTileHeight, kHalo> cleanerTile;

// Weight factor of the direction's main line: its six pixels count 1 + 4.
constexpr float kMainLineWeight = 5.0f;
constexpr float kStrengthOffset = 0.9f;

// Bit d of kMainLineMembers[dy + 3][dx + 3] set: pixel (dx, dy) is on
// direction d's main line.  A table, so that the unrolled loops see constants.
struct mainLineTable {
    uint8_t bits[7][7];
};
constexpr mainLineTable makeMainLineTable() {
    mainLineTable t{};
    for (int d = 0; d < 8; ++d)
        for (int k = 0; k < 6; ++k)
            t.bits[kDirectionMainLineOffsets[d][k][1] + 3][kDirectionMainLineOffsets[d][k][0] + 3] |= uint8_t(1u << d);
    return t;
}
constexpr mainLineTable kMainLineMembers = makeMainLineTable();

inline float* pixelAt(fl_image& img, int32 x, int32 y) {
    return img.data + ((int64_t(y) + img.padY) * img.paddedWidth + (int64_t(x) + img.padX)) * 3;
}

// One pixel per lane: the shared first steps, then the 49 block weights and
// the extra weight of the chosen main line.
template <class V>
VEXLOR_INLINE void cleanerPixels(const PlanarTileSource<cleanerTile, V>& s, bool smoothReference, float noiseLevel,
                                 float reduce, float* out0, float* out1, float* out2, float* strength) {
    using namespace lanes;
    typedef typename Traits<V>::Index I;
    const NoiseReduceStart<V> st = noiseReduceCoreStart<V>(s, smoothReference, noiseLevel, reduce);
    const V U = st.range;
    const V invU = 1.0f / U;
    I isDir[8];
#pragma GCC unroll 8
    for (int d = 0; d < 8; ++d) isDir[d] = st.direction == splatIndex<I>(d);

    const V zero = splat<V>(0.0f);
    V W = zero, S0 = zero, S1 = zero, S2 = zero;
#pragma GCC unroll 7
    for (int dy = -3; dy <= 3; ++dy) {
#pragma GCC unroll 7
        for (int dx = -3; dx <= 3; ++dx) {
            const V q0 = s.at(dx, dy, 0), q1 = s.at(dx, dy, 1), q2 = s.at(dx, dy, 2);
            const V d = vabs(st.c[0] - q0) + vabs(st.c[1] - q1) + vabs(st.c[2] - q2);
            V w = select(d > U, zero, 1.0f - d * invU);
            // On the chosen main line the pixel counts once in the block and
            // four times more for the direction: five times its weight.
            const uint8_t members = kMainLineMembers.bits[dy + 3][dx + 3];
            if (members) {
                I on = splatIndex<I>(0);
#pragma GCC unroll 8
                for (int k = 0; k < 8; ++k)
                    if (members & (1u << k)) on |= isDir[k];
                w = select(on, w * kMainLineWeight, w);
            }
            W += w;
            S0 += w * q0;
            S1 += w * q1;
            S2 += w * q2;
        }
    }
    const I valid = (W != zero) & (W == W);
    const V invW = 1.0f / W;
    store<V>(out0, select(valid, S0 * invW, st.c[0]));
    store<V>(out1, select(valid, S1 * invW, st.c[1]));
    store<V>(out2, select(valid, S2 * invW, st.c[2]));
    store<V>(strength, select(valid, (W - kStrengthOffset) * invW, zero));
}

template <class V>
VEXLOR_INLINE void cleanerBandOf(const fl_image& src, fl_image& dst, strength_map& map, float noiseLevel,
                               bool smoothReference, float reduce, int32 firstRow, int32 endRow) {
    cleanerTile tile;
    alignas(64) float out[4][kTileWidth];
    const int32 width = src.width;
    for (int32 y0 = firstRow; y0 < endRow; y0 += kTileHeight) {
        const int th = int(std::min<int32>(kTileHeight, endRow - y0));
        for (int32 x0 = 0; x0 < width; x0 += kTileWidth) {
            const int tw = int(std::min<int32>(kTileWidth, width - x0));
            tile.load(src, x0, y0, tw, th);
            for (int r = 0; r < th; ++r) {
                for (int i = 0; i < tw; i += lanes::Traits<V>::kLanes)
                    cleanerPixels<V>(PlanarTileSource<cleanerTile, V>{tile, r + kHalo, i + kHalo}, smoothReference,
                                     noiseLevel, reduce, &out[0][i], &out[1][i], &out[2][i], &out[3][i]);
                interleave3(out[0], out[1], out[2], tw, pixelAt(dst, x0, y0 + r));
                if (map.data) std::memcpy(map.row(y0 + r) + x0, out[3], size_t(tw) * sizeof(float));
            }
        }
    }
}

}  // namespace

void cleanerBand(const fl_image& src, fl_image& dst, strength_map& map, float noiseLevel, bool smoothReference,
                 float reduce, int32 firstRow, int32 endRow) {
    cleanerBandOf<widest>(src, dst, map, noiseLevel, smoothReference, reduce, firstRow, endRow);
}

}  // namespace VEXLOR_ISA_NAMESPACE
