// The full-image pass: the image cut into the pieces that memory allows,
// each converted into a float image, run through the product's lifting
// structure and written back at the image's depth.
#pragma once

#include "PIFilter.h"
#include "image/fl_image.h"

struct spatialSourceStruct {
    int32 width;
    int32 height;
    bool fromHost;  // fetch through advance state; data and rowBytes then come from the host
    VRect rect;     // the area in image coordinates
    void* data;
    int32 rowBytes;
};

struct spatialDestStruct {
    bool toHost;  // the host's output buffer, fetched through advance state
    void* data;
    int32 rowBytes;
};

// Apron around a megatile and overlap of the quarters, in pixels.
enum { kPieceOverlap = 64 };

OSErr doSpatialEffect(spatialSourceStruct source, spatialDestStruct destination, bool finalPass, int32 depth);
