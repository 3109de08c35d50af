// The smooth-area core's rows, compiled once per instruction set
// (engine/vector_isa.h), eight pixels at a time in channel planes: the sums
// are formed in doubles, and eight doubles fill an AVX-512 register (two of
// AVX2's; sixteen lanes, four such registers, ran at a third of the speed).  Each term
// of a pixel's activity is formed in double precision and added to the
// single-precision sum in the scalar order (channel by channel, neighbours
// right, left, below, above, above-left, below-left, below-right,
// above-right), so every lane computes what the scalar loop would.
#include <algorithm>

#include "engine/kernels/kernels.h"
#include "engine/smooth_detect_core.h"
#include "engine/engine_params.h"

#include "engine/kernels/isa_target.h"

#include "engine/lanes.h"
#include "engine/planar_tile.h"

namespace VEXLOR_ISA_NAMESPACE {
namespace {

using namespace lanes;

enum { kTileWidth = 64, kTileHeight = 16, kHalo = 1 };
typedef planarTile<kTileWidth, kTileHeight, kHalo> sdTile;

inline constexpr signed char kNeighbours[8][2] = {{1, 0},  {-1, 0}, {0, 1},  {0, -1},
                                                  {-1, -1}, {-1, 1}, {1, 1}, {1, -1}};

typedef v8f vf;
enum { kLanes = 8 };
typedef double vd __attribute__((vector_size(64)));

// One row of a tile: the activity of every pixel is a chain of 24 rounded
// additions; the chains of all the row's pixels advance together, term by
// term, so that many are in flight at once.
VEXLOR_INLINE void smoothDetectRow(const sdTile& t, int R, int tw, double low, float scale, bool invert,
                                   float* __restrict activity) {
    const int S = sdTile::kStride;
    for (int i = 0; i < tw; i += kLanes) store<vf>(activity + i, vf{});
#pragma GCC unroll 1
    for (int ch = 0; ch < 3; ++ch) {
        const float* row = &t.plane[ch][R][kHalo];
#pragma GCC unroll 1
        for (int n = 0; n < 8; ++n) {
            const float* nb = row + kNeighbours[n][1] * S + kNeighbours[n][0];
            for (int i = 0; i < tw; i += kLanes) {
                const vf diff = vabs(load<vf>(row + i) - load<vf>(nb + i));
                vd term = __builtin_convertvector(diff, vd) - low;
                term = term < 0.0 ? vd{} : term;
                const vd sum = __builtin_convertvector(load<vf>(activity + i), vd) + term;
                store<vf>(activity + i, __builtin_convertvector(sum, vf));
            }
        }
    }
    const vf white = splat<vf>(255.0f);
    for (int i = 0; i < tw; i += kLanes) {
        vf a = load<vf>(activity + i) * kSmoothDetectMean * scale;
        a = select(a <= 255.0f, a, white);
        if (invert) a = white - a;
        store<vf>(activity + i, a);
    }
}

}  // namespace

void smoothDetectRows(fl_image& source, fl_image& destination, bool greyMatte, double low, float scale, bool invert,
                      int32 firstRow, int32 endRow) {
    const int32 width = source.width;
    if (firstRow >= endRow || width <= 0) return;
    const float mid = WHITE_LEVEL * 0.5f;
    sdTile tile;
    alignas(64) float out[kTileWidth];
    for (int32 y0 = firstRow; y0 < endRow; y0 += kTileHeight) {
        const int th = int(std::min<int32>(kTileHeight, endRow - y0));
        for (int32 x0 = 0; x0 < width; x0 += kTileWidth) {
            const int tw = int(std::min<int32>(kTileWidth, width - x0));
            if (greyMatte) tile.load(source, x0, y0, tw, th);
            for (int r = 0; r < th; ++r) {
                float* __restrict d = destination.data +
                    (int64_t(y0 + r + destination.padY) * destination.paddedWidth + destination.padX + x0) * 3;
                if (!greyMatte) {
                    for (int i = 0; i < 3 * tw; ++i) d[i] = mid;
                    continue;
                }
                smoothDetectRow(tile, r + kHalo, tw, low, scale, invert, out);
                interleave3(out, out, out, tw, d);
            }
        }
    }
}


}  // namespace VEXLOR_ISA_NAMESPACE
