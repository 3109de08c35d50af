// A tile of an fl_image copied into three channel planes with a halo, on
// the stack of the kernel that reads it: neighbours of consecutive pixels
// then lie in consecutive floats, so the kernels work on a vector of pixels
// at a time.  Small enough for a worker's 64000-byte stack and for L1.
// Included after engine/kernels/isa_target.h (and image/fl_image.h before
// it), kept per instruction set like engine/lanes.h.
#pragma once

#include "image/fl_image.h"
#include "engine/lanes.h"

inline namespace VEXLOR_LANES_SET {

template <int TileWidth, int TileHeight, int Halo>
struct planarTile {
    enum {
        kColumns = TileWidth + 2 * Halo,
        kStride = (kColumns + 7) & ~7,
        kRows = TileHeight + 2 * Halo,
    };
    alignas(64) float plane[3][kRows][kStride];

    // The tile whose first pixel is interior pixel (x0, y0), tw x th pixels,
    // with Halo pixels around it from the image (border included).  Column j,
    // row r of a plane is pixel (x0 - Halo + j, y0 - Halo + r).  Columns past
    // the tile are zeroed, so that partial vectors compute on numbers.
    VEXLOR_INLINE void load(const fl_image& img, int32 x0, int32 y0, int tw, int th) {
        const int cols = tw + 2 * Halo;
        const int rows = th + 2 * Halo;
        for (int r = 0; r < rows; ++r) {
            const float* __restrict p =
                img.data + (int64_t(y0 - Halo + r + img.padY) * img.paddedWidth + (x0 - Halo + img.padX)) * 3;
            float* __restrict s0 = plane[0][r];
            float* __restrict s1 = plane[1][r];
            float* __restrict s2 = plane[2][r];
            lanes::deinterleave3(p, cols, s0, s1, s2);
            for (int j = cols; j < kStride; ++j) s0[j] = s1[j] = s2[j] = 0.0f;
        }
    }
};

}  // namespace VEXLOR_LANES_SET
