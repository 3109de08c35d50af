// Glimra's whole computation for one float image: noise reduction at full
// size, then the smooth-area matte of the noise-reduced pixels.
#pragma once

#include "image/fl_image.h"

// The level constant both driver calls pass (no core reads it).
inline constexpr float kSmoothAreaLevelConstant = 6.6666666e-6f;

// image: the input pixels, changed in place; destination: receives the
// matte, its whole padded buffer clipped to the smaller of the two (of the
// same padded size, the two exchange their buffers: the image then holds
// the destination's).  Returns 0, -108 when the host refused memory, -128
// on a cancel; in both failure cases the destination is untouched.
int smoothDetectLiftingStructure(fl_image& image, fl_image& destination);
