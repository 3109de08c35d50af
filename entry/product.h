// What tells the two products apart: each module links one product file
// (entry/halvane_product.cpp or entry/glimra_product.cpp) that defines these.
#pragma once

#include <cstddef>

#include "PITypes.h"

extern const bool kProductIsHalvane;
// "Halvane" or "Glimra".
extern const char* const kProductName;
// The product title: name, a blank and "v" with the three-part version.
extern const char* const kProductTitle;
// Registry key and unique string of the scripting terminology (GUID form).
extern const char* const kRegistryKey;
// Settings files: magic text, extension, the Mac file type, and the Windows
// file dialog's filter (pairs of description and pattern, ending in two zero
// bytes).
extern const char* const kSettingsMagic;
extern const char* const kSettingsExtension;
extern const uint32 kSettingsFileType;
extern const char kSettingsFileFilter[];
extern const size_t kSettingsFileFilterSize;
// "Halvane error: Image is too small." or the Glimra form.
extern const char* const kImageTooSmallText;
// Scripting and registry key of flag 8, or 0 where the product has none.
extern const DescriptorKeyID kCleanerSmoothAreasKey;
