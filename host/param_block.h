// The parameter block that the host keeps in the plug-in's parameter handle.
#pragma once

#include "PITypes.h"
#include "host/checked_array.h"

enum { kParamFlagCount = 9, kParamValueCount = 26 };

struct ParamBlock {
    checked_array<uint8, kParamFlagCount> flags;
    checked_array<double, kParamValueCount> values;
};
