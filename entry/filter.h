// The full-image pass: the image cut into the pieces that memory allows,
// each converted into a float image, run through the product's lifting
// structure and written back at the image's depth.
#pragma once

#include "PIFilter.h"
#include "engine/spatial_pass.h"
#include "image/fl_image.h"

// Apron around a megatile and overlap of the quarters, in pixels.
enum { kPieceOverlap = 64 };

OSErr doSpatialEffect(spatialSourceStruct source, spatialDestStruct destination, bool finalPass, int32 depth);
