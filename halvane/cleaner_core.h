// Halvane's "cleaner smooth areas" core.  The choice between it and the
// standard core is Halvane's threadedNoiseReduce (cleaner_core.cpp).
#pragma once

#include "PITypes.h"
#include "engine/strength_map.h"
#include "image/fl_image.h"

// Chooses the local direction as the standard core does, then replaces every
// pixel of rows [firstRow, endRow) by the similarity-weighted mean of its
// whole 7 x 7 block, the direction's main line counted five times.  Channel 0
// of strengthMap receives (W - 0.9) / W, W the sum of the 55 weights.  Reads
// source (border of 3, current), writes destination and strengthMap; amount,
// levelConstant, sharpAmount and band are not read.  Writes nothing when the
// three images differ in size.
void noiseReduceCoreAlgo_cleanerSmoothAreas(fl_image& source, fl_image& destination, strength_map& strengthMap,
                                            float levelConstant, float noiseLevel, bool smoothReference,
                                            float amount, float sharpAmount, int32 firstRow, int32 endRow,
                                            int32 band);
