// The walk over the parameter block for the settings files, and the reset
// commands.  The block is host/param_block.h, its product tables
// engine/product.h.
#pragma once

#include <vector>

#include "PITypes.h"
#include "engine/product.h"
#include "host/param_block.h"

// Pointers into the locked block, through which the settings files walk it.
struct parameterStructure {
    std::vector<double*> values;
    std::vector<uint8*> flags;
};

// Scripting and registry keys of the values and flags.
extern const checked_array<DescriptorKeyID, kParamValueCount> keyGUIParams;
extern const checked_array<DescriptorKeyID, kParamFlagCount> keyBoolParams;

void InitParameters();
parameterStructure makeParamStructure();
void noiseReductionResetAllButton();
void eyedropperAnalysis(VPoint start, VPoint end, int32 mode);
