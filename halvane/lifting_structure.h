// Halvane's whole image computation for one float image: noise reduction at
// four scales through a three-step lifting decomposition, rebuilt upwards so
// that the noise removed at coarse scales reaches the full-size result.
#pragma once

#include "PITypes.h"
#include "image/fl_image.h"

// img: the level-0 image, noise-reduced in place; its buffer is released at
// the end of a successful run.  dst: constructed by the caller with img's
// dimensions; its buffer is replaced by the result.
// Returns 0; memFullErr (-108) when an image could not be had (alert shown,
// host result -128; img keeps its buffer); userCanceledErr (-128) on a
// cancel (dst then has no buffer); kLiftingSizeMismatch when dst does not
// have img's size (nothing is touched); any other non-zero result of the band
// driver unchanged.
OSErr noiseReduceLiftingStructure(fl_image& img, fl_image& dst);
// The same, with the full-size level's rebuild left to the writer that
// reads dst (engine/lifting.h, deferUnDifferencePass): it forms the rows
// it writes from level 0 (in dst's buffer), level 1 and the details, each
// pixel as the rebuild would, so the full-size level is never written to
// be read back.
OSErr noiseReduceLiftingStructureForWriting(fl_image& img, fl_image& dst);

// A level's noise level as handed to the driver: at least MINIMUM_ROLLOFF,
// which also replaces a value that is not a number.
float liftingLevelNoise(float noiseLevel);

// Per-level constants handed to the driver (not read by the cores).
extern const float kLevelConstants[4];
