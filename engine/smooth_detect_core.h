// Glimra's matte kernel: how much each pixel differs from its eight
// neighbours beyond the low threshold, scaled against the high threshold
// into 0..WHITE_LEVEL and written as a grey pixel.
#pragma once

#include "PITypes.h"
#include "engine/strength_map.h"
#include "image/fl_image.h"

// 1/24: three channels times eight neighbours.
inline constexpr float kSmoothDetectMean = 0.041666668f;

// Writes rows [firstRow, endRow) of destination: all three channels the
// matte value when greyMatte, else WHITE_LEVEL x 0.5.  Reads source with a
// filled border (one pixel of it).  The argument list is that of
// noiseReduceCoreAlgo so that one driver serves both; the work image, the
// four floats and the band are not read.
void smoothDetectCoreAlgo(fl_image& source, fl_image& destination, strength_map& strengthMap, float levelConstant,
                          float noiseLevel, bool greyMatte, float amount, float sharpAmount, int32 firstRow,
                          int32 endRow, int32 band);
