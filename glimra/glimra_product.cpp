// Glimra's tables: parameter defaults, scripting and registry keys, names.
#include "glimra/smooth_area_pipeline.h"
#include "engine/product.h"

const bool kProductIsHalvane = false;
const char* const kProductName = "Glimra";
const char* const kProductTitle = "Glimra v1.0.0";
const char* const kRegistryKey = "B7E41D09-5C2F-4A83-9E6D-1F0A7C3B58E2";
const char* const kSettingsMagic = "Glimra ver1";
const char* const kSettingsExtension = "glm";
const uint32 kSettingsFileType = FourCC("GLM ");
const char kSettingsFileFilter[] = "Glimra Files (*.glm)\0*.glm\0All Files (*.*)\0*.*\0";
const size_t kSettingsFileFilterSize = sizeof kSettingsFileFilter;
const char* const kImageTooSmallText = "Glimra error: Image is too small.";

checked_array<double, kParamValueCount> DefaultGUI = {{
    40, 0.2, 1, 1, 1, 1, 0.3, 0, 1, 1, 1, 1, 4.0, 1, 1, 1, 1, 255, 0, 10.0, 1, 0, 0, 0, 0, 0,
}};
const checked_array<uint8, kParamFlagCount> BooleanDefault = {{1, 1, 0, 1, 0, 1, 0, 1, 0}};

// Glimra's flag 8 is reserved and has no key.
const DescriptorKeyID kCleanerSmoothAreasKey = 0;

// Glimra has no partial reset.
void resetNRParams() {}

// Glimra's engine over one piece: noise reduction, then the matte.
OSErr runLiftingStructure(fl_image& in, fl_image& out) { return OSErr(smoothDetectLiftingStructure(in, out)); }
