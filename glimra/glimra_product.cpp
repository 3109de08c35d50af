// Glimra's tables and hooks: parameter defaults, scripting and registry keys,
// names, its dialog tables and what its runs and resets do.
#include "glimra/smooth_area_pipeline.h"
#include "engine/product.h"

const char* const kProductName = "Glimra";
const char* const kProductTitle = "Glimra v1.0.0";
const char* const kMacBundleIdentifier = "Glimra";
const char* const kRegistryKey = "B7E41D09-5C2F-4A83-9E6D-1F0A7C3B58E2";
const char* const kSettingsMagic = "Glimra ver1";
const char* const kSettingsExtension = "glm";
const uint32 kSettingsFileType = FourCC("GLM ");
const char kSettingsFileFilter[] = "Glimra Files (*.glm)\0*.glm\0All Files (*.*)\0*.*\0";
const size_t kSettingsFileFilterSize = sizeof kSettingsFileFilter;
const char* const kImageTooSmallText = "Glimra error: Image is too small.";
const char* const kNoiseLevelInternalErrorText = "(Vexlor) GetNewNoiseLevel internal error.";

checked_array<double, kParamValueCount> DefaultGUI = {{
    40, 0.2, 1, 1, 1, 1, 0.3, 0, 1, 1, 1, 1, 4.0, 1, 1, 1, 1, 255, 0, 10.0, 1, 0, 0, 0, 0, 0,
}};
const checked_array<uint8, kParamFlagCount> BooleanDefault = {{1, 1, 0, 1, 0, 1, 0, 1, 0}};

// Glimra's kCleanerSmoothAreasFlag is reserved and has no key.
const DescriptorKeyID kCleanerSmoothAreasKey = 0;

// Glimra has no partial reset, and its reset-all puts back only the flags
// that both products do.
void resetNRParams() {}
void resetAllProductFlags() {}

// A script never changes the automatic-profiling choice the registry holds.
const bool kRegistryKeepsProfilingFlags = true;

// Every flag lasts from one run to the next.
void clearFlagsAtStart() {}

const checked_array<double, kParamValueCount> SldrScaleGUI = {
    {1, 100, 50, 50, 50, 50, 50, 50, 100, 100, 100, 100, 10, 100, 100, 100, 100, 1, 1, 10, 0, 0, 0, 0, 0, 0}};
// The high threshold stays above 0.
const checked_array<int32, kParamValueCount> SldrLowGUI = {
    {0, 15, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0}};
// The simple controls: the two thresholds (6 and 7 have no control here).
const checked_array<uint8, kParamValueCount> isAdvancedControl = {
    {1, 1, 1, 1, 1, 1, 0, 0, 1, 1, 1, 1, 0, 1, 1, 1, 1, 1, 1, 0, 1, 0, 0, 0, 0, 0}};
// Halvane's ids, but no box for the reserved kCleanerSmoothAreasFlag: invert
// 34, profile on load 502 and 504, always profile 506 (the dialog has no box
// 24 or 44).
const checked_array<int16, kParamFlagCount> BooleanID = {{0, 24, 34, 502, 504, 0, 44, 506, 0}};
const bool kInstructionsOnlyWithSimpleControls = false;

// Glimra's engine over one piece: noise reduction, then the matte.
OSErr runLiftingStructure(fl_image& in, fl_image& out) { return OSErr(smoothDetectLiftingStructure(in, out)); }
