// The full-image pass: the image cut into the pieces that memory allows,
// each converted into a float image, run through the product's lifting
// structure and written back at the image's depth.
#pragma once

#include "PIFilter.h"
#include "engine/spatial_pass.h"
#include "image/fl_image.h"

// Apron around a megatile and overlap of the quarters, in pixels: the
// least, for every piece starts on the lifting grid (filter.cpp).
enum { kPieceOverlap = 64 };

// The final pass over `area` of the host's image, fetched through advance
// state and written into the host's output buffer at `depth` bits.  Returns
// noErr, paramErr (too small, after its alert), memFullErr, userCanceledErr
// or the host's advance-state error; no rectangle is left requested.
OSErr doSpatialEffect(VRect area, int32 depth);
