// A scalar reference of the noise-reduction core that the vectorised
// kernels must match bit for bit.  It shares nothing with the engine but the
// image layout: the probe pixels, the windows, the tournament, the 3 x 3 mean
// and the similarity range are written out here, so that a changed constant
// or rule of the engine shows as a difference.
#pragma once

#include <cmath>

#include "engine/engine_params.h"
#include "image/fl_image.h"
#include "support/pixels.h"

namespace reference_core {

// Direction numbers, in the order of the tournament.
enum { kVertical, kTrBl, kHorizontal, kBrTl, kSteepUpRight, kShallowUpRight, kShallowDownRight, kSteepDownRight };

// The six probe pixels {dx, dy} (dx right, dy down) of each direction's cost.
// For the four oblique directions they are not the window's main line.
const int kProbes[8][6][2] = {
    {{0, -1}, {0, 1}, {0, -2}, {0, 2}, {0, -3}, {0, 3}},
    {{1, -1}, {2, -2}, {3, -3}, {-1, 1}, {-2, 2}, {-3, 3}},
    {{-1, 0}, {1, 0}, {-2, 0}, {2, 0}, {-3, 0}, {3, 0}},
    {{1, 1}, {2, 2}, {3, 3}, {-1, -1}, {-2, -2}, {-3, -3}},
    {{1, -2}, {1, -3}, {2, -3}, {-1, 2}, {-1, 3}, {-2, 3}},
    {{2, -1}, {3, -1}, {3, -2}, {-2, 1}, {-3, 1}, {-3, 2}},
    {{2, 1}, {3, 1}, {3, 2}, {-2, -1}, {-3, -1}, {-3, -2}},
    {{1, 2}, {1, 3}, {2, 3}, {-1, -2}, {-1, -3}, {-2, -3}},
};

// The twenty neighbours of each direction's window, in window order:
// the main line, the two parallel lines, the two pixels across.
const int kWindows[8][20][2] = {
    {{0, -1}, {0, -2}, {0, 1}, {0, 2}, {0, -3}, {0, 3}, {-1, -1}, {-1, -2}, {-1, -3}, {1, -1},
     {1, -2}, {1, -3}, {-1, 1}, {-1, 2}, {-1, 3}, {1, 1}, {1, 2}, {1, 3}, {-1, 0}, {1, 0}},
    {{1, -1}, {2, -2}, {-1, 1}, {-2, 2}, {3, -3}, {-3, 3}, {0, -1}, {1, -2}, {2, -3}, {1, 0},
     {2, -1}, {3, -2}, {-1, 0}, {-2, 1}, {-3, 2}, {0, 1}, {-1, 2}, {-2, 3}, {-1, -1}, {1, 1}},
    {{-1, 0}, {-2, 0}, {1, 0}, {2, 0}, {-3, 0}, {3, 0}, {-1, -1}, {-2, -1}, {-3, -1}, {-1, 1},
     {-2, 1}, {-3, 1}, {1, -1}, {2, -1}, {3, -1}, {1, 1}, {2, 1}, {3, 1}, {0, -1}, {0, 1}},
    {{1, 1}, {2, 2}, {-1, -1}, {-2, -2}, {3, 3}, {-3, -3}, {1, 0}, {2, 1}, {3, 2}, {0, 1},
     {1, 2}, {2, 3}, {0, -1}, {-1, -2}, {-2, -3}, {-1, 0}, {-2, -1}, {-3, -2}, {1, -1}, {-1, 1}},
    {{1, -1}, {1, -2}, {-1, 1}, {-1, 2}, {1, -3}, {-1, 3}, {0, -1}, {0, -2}, {0, -3}, {0, 1},
     {0, 2}, {0, 3}, {2, -1}, {2, -2}, {2, -3}, {-2, 1}, {-2, 2}, {-2, 3}, {-1, 0}, {1, 0}},
    {{1, -1}, {2, -1}, {-1, 1}, {-2, 1}, {3, -1}, {-3, 1}, {1, -2}, {2, -2}, {3, -2}, {1, 0},
     {2, 0}, {3, 0}, {-1, 0}, {-2, 0}, {-3, 0}, {-1, 2}, {-2, 2}, {-3, 2}, {0, -1}, {0, 1}},
    {{1, 1}, {2, 1}, {-1, -1}, {-2, -1}, {3, 1}, {-3, -1}, {1, 2}, {2, 2}, {3, 2}, {-1, -2},
     {-2, -2}, {-3, -2}, {1, 0}, {2, 0}, {3, 0}, {-1, 0}, {-2, 0}, {-3, 0}, {0, -1}, {0, 1}},
    {{1, 1}, {1, 2}, {-1, -1}, {-1, -2}, {1, 3}, {-1, -3}, {2, 1}, {2, 2}, {2, 3}, {-2, -1},
     {-2, -2}, {-2, -3}, {0, 1}, {0, 2}, {0, 3}, {0, -1}, {0, -2}, {0, -3}, {-1, 0}, {1, 0}},
};

// Sample ch of the pixel (x + dx, y + dy).
inline float at(fl_image& img, int32 x, int32 y, const int (&d)[2], int ch) { return pixel(img, x + d[0], y + d[1])[ch]; }

// The cost of each direction: the L1 distances of its probe pixels to the
// reference colour, the 3 x 3 mean (sum times 1/9) or the pixel itself.
inline void directionCosts(fl_image& src, int32 x, int32 y, bool smoothReference, float cost[8]) {
    float r[3];
    for (int ch = 0; ch < 3; ++ch) {
        r[ch] = pixel(src, x, y)[ch];
        if (smoothReference) {
            // Row by row, from the top-left pixel.
            float sum = pixel(src, x - 1, y - 1)[ch];
            for (int i = 1; i < 9; ++i) sum += pixel(src, x + i % 3 - 1, y + i / 3 - 1)[ch];
            r[ch] = sum * 0.11111111f;
        }
    }
    for (int d = 0; d < 8; ++d) {
        cost[d] = 0;
        for (int k = 0; k < 6; ++k) {
            const float e = (std::fabs(r[0] - at(src, x, y, kProbes[d][k], 0)) +
                             std::fabs(r[1] - at(src, x, y, kProbes[d][k], 1))) +
                            std::fabs(r[2] - at(src, x, y, kProbes[d][k], 2));
            cost[d] = k == 0 ? e : cost[d] + e;
        }
    }
}

// The tournament: each pair's first contender wins only when strictly
// cheaper, then the pairs' winners two by two, then the halves.
inline int tournament(const float cost[8]) {
    auto match = [&](int a, int b) { return cost[a] < cost[b] ? a : b; };
    const int first = match(match(kVertical, kTrBl), match(kHorizontal, kBrTl));
    const int second = match(match(kSteepUpRight, kShallowUpRight), match(kShallowDownRight, kSteepDownRight));
    return match(first, second);
}

inline int direction(fl_image& src, int32 x, int32 y, bool smoothReference) {
    float cost[8];
    directionCosts(src, x, y, smoothReference, cost);
    return tournament(cost);
}

// U: the noise level narrowed in bright pixels, the brightness (the channel
// sum) clamped to 0..765.
inline float similarityRange(const float c[3], float noiseLevel) {
    float b = (c[0] + c[1]) + c[2];
    if (b < 0.0f) b = 0.0f;
    if (b > 765.0f) b = 765.0f;
#if defined(_WIN32)
    return (1.0f - b * 0.0013071896f * highnoiseLevelReduce) * noiseLevel;
#else
    return (1.0f - b / 765.0f * highnoiseLevelReduce) * noiseLevel;
#endif
}

// One pixel of the core: the chosen window's weights in window order, the
// blend into dst.  Returns the strength m (0 when copied).
inline float noiseReducePixel(fl_image& src, fl_image& dst, int32 x, int32 y, float noiseLevel, bool smoothReference,
                              float amount) {
    const float* c = pixel(src, x, y);
    const int dir = direction(src, x, y, smoothReference);
    const float U = similarityRange(c, noiseLevel);
    const float invU = 1.0f / U;
    float W = 0, S0 = 0, S1 = 0, S2 = 0;
    for (int k = 0; k < 20; ++k) {
        const float* q = pixel(src, x + kWindows[dir][k][0], y + kWindows[dir][k][1]);
        const float d = (std::fabs(c[0] - q[0]) + std::fabs(c[1] - q[1])) + std::fabs(c[2] - q[2]);
        const float w = d > U ? 0.0f : 1.0f - d * invU;
        W += w;
        S0 += w * q[0];
        S1 += w * q[1];
        S2 += w * q[2];
    }
    float* o = pixel(dst, x, y);
    if (W != 0.0f && !std::isnan(W)) {
        const float m = (1.0f - 1.0f / (W + 1.0f)) * amount;
        o[0] = (1.0f - m) * o[0] + m * S0 / W;
        o[1] = (1.0f - m) * o[1] + m * S1 / W;
        o[2] = (1.0f - m) * o[2] + m * S2 / W;
        return m;
    }
    o[0] = c[0];
    o[1] = c[1];
    o[2] = c[2];
    return 0.0f;
}

}  // namespace reference_core
