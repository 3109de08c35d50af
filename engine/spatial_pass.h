// The arguments of the filtering passes: the full-image pass and the
// preview's pass over its proxy.
#pragma once

#include "PIFilter.h"

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
