// A scalar reference of the noise-reduction core that the vectorised
// kernels must match bit for bit.
#pragma once

#include <cmath>

#include "engine/neighbour_windows.h"
#include "engine/noise_reduce_core.h"
#include "image/fl_image.h"
#include "support/pixels.h"

// The noise-reduction core for one pixel, written out plainly from its
// definition: direction by tournament, the chosen window's weights in
// window order, the blend.  Returns the strength m (0 when copied).
inline float referenceNoiseReducePixel(fl_image& src, fl_image& dst, int32 x, int32 y, float noiseLevel,
                                       bool smoothReference, float amount) {
    float* c = pixel(src, x, y);
    const int32 rowLength = src.paddedWidth * 3;
    const int dir = chooseNeighbourDirection(c, rowLength, smoothReference);
    neighbourPointerWindow window;
    kNeighbourSetPointers[dir](window, c, rowLength);
    const float U = similarityRange(c[0], c[1], c[2], noiseLevel);
    const float invU = 1.0f / U;
    float W = 0, S0 = 0, S1 = 0, S2 = 0;
    for (int k = 0; k < kNeighbourWindowSize; ++k) {
        const float* q = window[k];
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
