// Sharpening after noise reduction: an unsharp mask whose gain follows, pixel
// by pixel, how strongly the noise reduction blended that pixel.
#pragma once

#include "PITypes.h"
#include "engine/band_driver.h"
#include "engine/strength_map.h"
#include "image/fl_image.h"

// Band kernel of the driver's second pass.  source: the noise-reduced image
// with a current border (2 pixels of it are read); destination: the image
// being filtered; strengthMap: channel 0 holds the blend strength the core
// left.  Writes every interior pixel of rows [firstRow, end) of destination
// and nothing else, and returns end: endRow, the row after the one where it
// saw a cancel, or firstRow when there is nothing to sharpen (both amounts
// 0) or the images do not fit.  band -1 is the calling thread's band, the
// only one that talks to the host when it polls for a cancel.
int32 sharpenAfterNoiseReduce(fl_image& source, fl_image& destination, strength_map& strengthMap, float sharpAmount,
                              float chromaSharpAmount, int32 firstRow, int32 endRow, int32 band);
// The driver's second-pass body: sharpenAfterNoiseReduce with the record's
// fields.
int32 threadedSharpen(const threadedSharpen_struct& r);

// Sum of the 24 neighbourhood weights, the gain of the mask, and its
// reciprocal, the normaliser of the neighbourhood mean.
extern const float kSharpenGain;        // 11.6
extern const float kSharpenNormaliser;  // 0.0862069
