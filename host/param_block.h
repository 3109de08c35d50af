// The parameter block that the host keeps in the plug-in's parameter handle,
// and the one name of each of its slots.  Code reads and writes a slot by
// its name; only the tables that list every slot in order (defaults, keys,
// control tables) go by position.  Where a slot means one thing in Halvane
// and another in Glimra it has a name for each, and code that serves both
// products uses the name that says both.
#pragma once

#include "PITypes.h"
#include "host/checked_array.h"

enum { kParamFlagCount = 9, kParamValueCount = 26 };

// The flags, one byte each, 0 or 1.
enum {
    kReservedFlag0 = 0,
    // Set again by every derivation; Halvane's box for it stays hidden.
    kDespeckleFlag = 1,
    // Halvane: the preview without the original detail mixed in, cleared at
    // every start.  Glimra: the matte inverted.
    kPreviewWithoutDetailFlag = 2,
    kInvertMatteFlag = 2,
    kPreviewWithoutDetailOrInvertFlag = 2,
    // Profile automatically when the dialog opens: digital or film preset.
    kDigitalProfileFlag = 3,
    kFilmProfileFlag = 4,
    kReservedFlag5 = 5,
    // Halvane: protect shadows instead of highlights.  Glimra: no effect.
    kProtectShadowsFlag = 6,
    // Profile automatically even when no dialog is shown.
    kAlwaysProfileFlag = 7,
    // Halvane: the slower, cleaner core.  Glimra: reserved, without a key.
    kCleanerSmoothAreasFlag = 8,
};

// The values.
enum {
    kOverallNoiseValue = 0,
    kHighlightsNoiseValue = 1,
    // The noise levels of the four lifting levels, finest first; Glimra runs
    // only the finest and shows no control for it.
    kVeryFineNoiseValue = 2,
    kFineNoiseValue = 3,
    kBroadNoiseValue = 4,
    kVeryBroadNoiseValue = 5,
    // Halvane: how much of the original detail is mixed back in.
    kMixBWDetailValue = 6,
    kMixColorDetailValue = 7,
    // Halvane: the noise-reduction amount of each level.
    kVeryFineDetailNRValue = 8,
    kFineDetailNRValue = 9,
    kBroadDetailNRValue = 10,
    kVeryBroadDetailNRValue = 11,
    // Halvane: the sharpening of the B&W detail.  Glimra: the low threshold.
    kBWSharpeningValue = 12,
    kLowThresholdValue = 12,
    // Halvane: the sharpening weight of each level, for both sharpenings.
    kVeryFineSharpeningValue = 13,
    kFineSharpeningValue = 14,
    kBroadSharpeningValue = 15,
    kVeryBroadSharpeningValue = 16,
    // Halvane: the tonal protection ramp (of the shadows with
    // kProtectShadowsFlag).
    kProtectThresholdValue = 17,
    kProtectFeatherValue = 18,
    // Halvane: the sharpening of the colour detail.  Glimra: the high threshold.
    kColorSharpeningValue = 19,
    kHighThresholdValue = 19,
    // Has a key and control ids but no control; read by no pass.
    kEdgeSmoothingValue = 20,
    // 21 to 25 are reserved: no control, read by no pass; 24 and 25 have no key.
};

struct ParamBlock {
    checked_array<uint8, kParamFlagCount> flags;
    checked_array<double, kParamValueCount> values;
};
