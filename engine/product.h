// What tells the two products apart: each module links one product's folder
// (halvane/ or glimra/) that defines these.  Shared code asks these tables
// and hooks, never which product it is in.
#pragma once

#include <cstddef>

#include "PITypes.h"
#include "host/param_block.h"
#include "image/fl_image.h"

// "Halvane" or "Glimra".
extern const char* const kProductName;
// The product title: name, a blank and "v" with the three-part version.
extern const char* const kProductTitle;
// The identifier of the Mac bundle whose nib holds the dialog.
extern const char* const kMacBundleIdentifier;
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
// Profiling's alert for a preset it does not know.
extern const char* const kNoiseLevelInternalErrorText;
// Scripting and registry key of kCleanerSmoothAreasFlag, or 0 where the
// product has none.
extern const DescriptorKeyID kCleanerSmoothAreasKey;

// The tables of the parameter block.
// Profiling makes its level and preset the defaults that a later reset restores.
extern checked_array<double, kParamValueCount> DefaultGUI;
extern const checked_array<uint8, kParamFlagCount> BooleanDefault;

// The partial reset of the dialog (Halvane's; Glimra has none).
void resetNRParams();
// The flags that the dialogs' reset-all puts back in this product only,
// besides those it puts back in both.
void resetAllProductFlags();

// The start of a run.  True where the automatic-profiling flags stay as the
// registry holds them whatever a script sets (Glimra's).
extern const bool kRegistryKeepsProfilingFlags;
// The flags that no run takes over from the one before (Halvane's
// kPreviewWithoutDetailFlag).
void clearFlagsAtStart();

// The dialogs' tables that differ between the products (the rest are
// dialog/control_tables.h, which describes them all).  Slider position =
// value x scale.
extern const checked_array<double, kParamValueCount> SldrScaleGUI;
extern const checked_array<int32, kParamValueCount> SldrLowGUI;
// 1: label, slider and edit box shown only with Show Advanced Controls.
extern const checked_array<uint8, kParamValueCount> isAdvancedControl;
// Check box of each flag, 0 where the flag has none.
extern const checked_array<int16, kParamFlagCount> BooleanID;
// True where the Mac dialog's instructions walk through the simple controls
// and give way to the advanced ones (Halvane's); Glimra's always show.
extern const bool kInstructionsOnlyWithSimpleControls;

// The product's engine over one piece (Glimra's smooth-area structure or
// Halvane's noise-reduction structure), for the product's writers to read
// out: Halvane leaves the last step of its rebuild to them.
OSErr runLiftingStructure(fl_image& in, fl_image& out);
