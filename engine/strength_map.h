// The strength map: how strongly the noise-reduction core blended each
// pixel, for the sharpening of the driver's second pass.  One float per
// interior pixel of the image it belongs to, rows `width` floats apart, in a
// host buffer.  The driver allocates it only when a second pass reads it;
// a core given a map without data keeps no strength.
#pragma once

#include <cstdint>

#include "PITypes.h"

class strength_map {
public:
    BufferID bufferID = nullptr;
    float* data = nullptr;  // null when not allocated or refused by the host
    int32 width = 0;
    int32 height = 0;

    // From the host's buffers; data stays null when the host refuses, or
    // when width or height is 0 (no map).
    strength_map(int32 width, int32 height);
    ~strength_map();
    strength_map(const strength_map&) = delete;
    strength_map& operator=(const strength_map&) = delete;

    float* row(int32 y) const { return data + int64_t(y) * width; }
    bool fits(int32 w, int32 h) const { return width == w && height == h; }
};
