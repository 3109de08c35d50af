// Halvane's tables: parameter defaults, scripting and registry keys, names.
#include "host/globals.h"
#include "engine/product.h"
#include "halvane/lifting_structure.h"

const bool kProductIsHalvane = true;
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

checked_array<double, kParamValueCount> DefaultGUI = {{
    40, 0.2, 1, 1, 1, 1, 0.3, 0, 1, 1, 1, 1, 0.2, 1, 1, 1, 1, 255, 0, 0.2, 1, 0, 0, 0, 0, 0,
}};
const checked_array<uint8, kParamFlagCount> BooleanDefault = {{1, 1, 0, 1, 0, 1, 0, 0, 1}};

const DescriptorKeyID kCleanerSmoothAreasKey = FourCC("Blai");

// The partial reset puts back the two mix-in and the two sharpening amounts.
void resetNRParams() {
    for (int i : {6, 7, 12, 19}) gParams->values[i] = DefaultGUI[i];
}

// Halvane's engine over one piece: the four-level noise reduction.
OSErr runLiftingStructure(fl_image& in, fl_image& out) { return noiseReduceLiftingStructureForWriting(in, out); }
