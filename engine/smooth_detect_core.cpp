// The smooth-area core, four pixels at a time in channel planes.  Each term
// of a pixel's activity is formed in double precision and added to the
// single-precision sum in the scalar order (channel by channel, neighbours
// right, left, below, above, above-left, below-left, below-right,
// above-right), so every lane computes what the scalar loop would.
#include "engine/smooth_detect_core.h"

#include <algorithm>

#include "engine/planar_tile.h"
#include "entry/engine_params.h"

using namespace vexlor_simd;

namespace {

enum { kTileWidth = 64, kTileHeight = 16, kHalo = 1 };
typedef planarTile<kTileWidth, kTileHeight, kHalo> sdTile;

inline constexpr signed char kNeighbours[8][2] = {{1, 0},  {-1, 0}, {0, 1},  {0, -1},
                                                  {-1, -1}, {-1, 1}, {1, 1}, {1, -1}};

VEXLOR_INLINE void smoothDetect4(const sdTile& t, int R, int j, double low, float scale, bool invert, float* out) {
    const int S = sdTile::kStride;
    v4f a = {};
#pragma GCC unroll 3
    for (int ch = 0; ch < 3; ++ch) {
        const float* p = &t.plane[ch][R][j];
        const v4f c = load4(p);
#pragma GCC unroll 8
        for (int n = 0; n < 8; ++n) {
            const v4f diff = abs4(c - load4(p + kNeighbours[n][1] * S + kNeighbours[n][0]));
            v4d term = __builtin_convertvector(diff, v4d) - low;
            term = term < 0.0 ? v4d{} : term;
            a = __builtin_convertvector(__builtin_convertvector(a, v4d) + term, v4f);
        }
    }
    a = a * kSmoothDetectMean * scale;
    const v4f white = v4f{} + 255.0f;
    a = a <= 255.0f ? a : white;
    if (invert) a = white - a;
    store4(out, a);
}

VEXLOR_KERNEL_CLONES
void smoothDetectRows(fl_image& source, fl_image& destination, bool greyMatte, int32 firstRow, int32 endRow) {
    const int32 width = source.width;
    if (firstRow >= endRow || width <= 0) return;
    const double low = lowThresholdingAmount;
    const float scale = WHITE_LEVEL / highThresholdingAmount;
    const bool invert = invertMatte;
    const float mid = WHITE_LEVEL * 0.5f;
    sdTile tile;
    alignas(32) float out[kTileWidth];
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
                for (int i = 0; i < tw; i += 4) smoothDetect4(tile, r + kHalo, i + kHalo, low, scale, invert, &out[i]);
                for (int i = 0; i < tw; ++i) d[3 * i] = d[3 * i + 1] = d[3 * i + 2] = out[i];
            }
        }
    }
}

}  // namespace

void smoothDetectCoreAlgo(fl_image& source, fl_image& destination, fl_image&, float, float, bool greyMatte, float,
                          float, int32 firstRow, int32 endRow, int32) {
    smoothDetectRows(source, destination, greyMatte, firstRow, endRow);
}
