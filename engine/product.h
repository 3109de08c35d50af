// What tells the two products apart: each module links one product file
// (entry/halvane_product.cpp or entry/glimra_product.cpp) that defines these.
#pragma once

#include "PITypes.h"
#include "host/param_block.h"

extern const bool kProductIsHalvane;
// "Halvane" or "Glimra".
extern const char* const kProductName;
// The product title: name, a blank and "v" with the three-part version.
extern const char* const kProductTitle;
// Registry key and unique string of the scripting terminology (GUID form).
extern const char* const kRegistryKey;
// Settings files: magic text and extension.
extern const char* const kSettingsMagic;
extern const char* const kSettingsExtension;
// "Halvane error: Image is too small." or the Glimra form.
extern const char* const kImageTooSmallText;
// Scripting and registry key of flag 8, or 0 where the product has none.
extern const DescriptorKeyID kCleanerSmoothAreasKey;

// The tables of the parameter block.
// Profiling makes its level and preset the defaults that a later reset restores.
extern checked_array<double, kParamValueCount> DefaultGUI;
extern const checked_array<uint8, kParamFlagCount> BooleanDefault;
