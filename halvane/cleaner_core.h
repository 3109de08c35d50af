// Halvane's "cleaner smooth areas" core and the choice between it and the
// standard core.
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

// Halvane's per-band core: the cleaner core when cleanerSmoothAreas is set,
// the standard core otherwise, with the same arguments.  The flag does not
// change during a run, so every band of a pass runs the same core.
void halvaneNoiseReduceCore(fl_image& source, fl_image& destination, strength_map& strengthMap, float levelConstant,
                            float noiseLevel, bool smoothReference, float amount, float sharpAmount, int32 firstRow,
                            int32 endRow, int32 band);
