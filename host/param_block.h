// The parameter block that the host keeps in the plug-in's parameter handle.
#pragma once

#include "PITypes.h"
#include "host/checked_array.h"

enum { kParamFlagCount = 9, kParamValueCount = 26 };

// Flags that the start call and both dialogs act on by name.
enum {
    kDigitalProfileFlag = 3,
    kFilmProfileFlag = 4,
    kProtectShadowsFlag = 6,
    kAlwaysProfileFlag = 7,
    kCleanerSmoothAreasFlag = 8,
};

struct ParamBlock {
    checked_array<uint8, kParamFlagCount> flags;
    checked_array<double, kParamValueCount> values;
};
