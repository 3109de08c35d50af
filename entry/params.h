// The parameter block that the host keeps in the plug-in's parameter handle,
// the per-product tables that describe it, and the reset commands.
#pragma once

#include <vector>

#include "PITypes.h"
#include "entry/checked_array.h"

enum { kParamFlagCount = 9, kParamValueCount = 26 };

struct ParamBlock {
    checked_array<uint8, kParamFlagCount> flags;
    checked_array<double, kParamValueCount> values;
};

// Pointers into the locked block, through which the settings files walk it.
struct parameterStructure {
    std::vector<double*> values;
    std::vector<uint8*> flags;
};

// Product tables (entry/<product>_product.cpp).
// Profiling makes its level and preset the defaults that a later reset restores.
extern checked_array<double, kParamValueCount> DefaultGUI;
extern const checked_array<uint8, kParamFlagCount> BooleanDefault;
extern const checked_array<DescriptorKeyID, kParamValueCount> keyGUIParams;
extern const checked_array<DescriptorKeyID, kParamFlagCount> keyBoolParams;

// Automatic-profiling presets.
extern double digitalHNLdefaultDouble;
extern double filmHNLdefault;

void InitParameters();
parameterStructure makeParamStructure();
void noiseReductionResetAllButton();
void resetNRParams();
void eyedropperAnalysis(VPoint start, VPoint end, int32 mode);
