// Halvane's tables and hooks: parameter defaults, scripting and registry
// keys, names, its dialog tables and what its runs and resets do.
#include "host/globals.h"
#include "engine/product.h"
#include "halvane/lifting_structure.h"

const char* const kProductName = "Halvane";
const char* const kProductTitle = "Halvane v1.0.0";
const char* const kMacBundleIdentifier = "halvane-mac";
const char* const kRegistryKey = "3f9c2a64-8d1b-4e7a-b5c3-6a0e9d2f4b71";
const char* const kSettingsMagic = "Halvane ver1";
const char* const kSettingsExtension = "hlv";
const uint32 kSettingsFileType = FourCC("HLV ");
const char kSettingsFileFilter[] = "Halvane Files (*.hlv)\0*.hlv\0All Files (*.*)\0*.*\0";
const size_t kSettingsFileFilterSize = sizeof kSettingsFileFilter;
const char* const kImageTooSmallText = "Halvane error: Image is too small.";
const char* const kNoiseLevelInternalErrorText = "(HLV) GetNewNoiseLevel internal error.";

checked_array<double, kParamValueCount> DefaultGUI = {{
    40, 0.2, 1, 1, 1, 1, 0.3, 0, 1, 1, 1, 1, 0.2, 1, 1, 1, 1, 255, 0, 0.2, 1, 0, 0, 0, 0, 0,
}};
const checked_array<uint8, kParamFlagCount> BooleanDefault = {{1, 1, 0, 1, 0, 1, 0, 0, 1}};

const DescriptorKeyID kCleanerSmoothAreasKey = FourCC("Blai");

// The partial reset puts back the two mix-in and the two sharpening amounts.
void resetNRParams() {
    for (int i : {kMixBWDetailValue, kMixColorDetailValue, kBWSharpeningValue, kColorSharpeningValue})
        gParams->values[i] = DefaultGUI[i];
}

void resetAllProductFlags() {
    gParams->flags[kProtectShadowsFlag] = 0;
    gParams->flags[kCleanerSmoothAreasFlag] = 1;
}

// A script's profiling choice stands.
const bool kRegistryKeepsProfilingFlags = false;

// The preview without the detail mixed in is a look for one dialog only.
void clearFlagsAtStart() { gParams->flags[kPreviewWithoutDetailFlag] = 0; }

const checked_array<double, kParamValueCount> SldrScaleGUI = {
    {1, 100, 50, 50, 50, 50, 50, 50, 100, 100, 100, 100, 100, 100, 100, 100, 100, 1, 1, 100, 0, 0, 0, 0, 0, 0}};
const checked_array<int32, kParamValueCount> SldrLowGUI = {
    {0, 15, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}};
// The simple controls: the overall noise level, both mixes, both sharpenings.
const checked_array<uint8, kParamValueCount> isAdvancedControl = {
    {0, 1, 1, 1, 1, 1, 0, 0, 1, 1, 1, 1, 0, 1, 1, 1, 1, 1, 1, 0, 1, 0, 0, 0, 0, 0}};
// Despeckle 24, noise mode 34, profile on load 502 and 504, protect shadows
// 44, always profile 506, cleaner smooth areas 507.
const checked_array<int16, kParamFlagCount> BooleanID = {{0, 24, 34, 502, 504, 0, 44, 506, 507}};
const bool kInstructionsOnlyWithSimpleControls = true;

// Halvane's engine over one piece: the four-level noise reduction.
OSErr runLiftingStructure(fl_image& in, fl_image& out) { return noiseReduceLiftingStructureForWriting(in, out); }
