// Nearest-sample scaling of one axis, shared by the preview's read and the
// overview: output index i reads input index truncate(i x step + 0.5), the
// step (in + a) / (out + a) with a = -1 when the caller says both sizes
// allow it, so that corner samples map onto corner samples.  The index never
// passes the last input sample.
#pragma once

#include <algorithm>

#include "PITypes.h"

struct nearestSample {
    double step;
    int32 last;
    nearestSample(int32 in, int32 out, bool cornersToCorners) {
        const int32 a = cornersToCorners ? -1 : 0;
        step = out + a > 0 ? double(in + a) / double(out + a) : 0.0;
        last = in - 1;
    }
    int32 operator()(int32 i) const { return std::min(last, int32(i * step + 0.5)); }
};
