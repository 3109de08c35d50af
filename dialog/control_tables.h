// The controls of both products' dialogs, on both platforms: which slider,
// edit box, label and check box shows which entry of the parameter block,
// and how a slider position maps to a value.  Labels are the slider's id
// minus one; the Mac dialog uses the same numbers for its control ids.
#pragma once

#include <cstdint>

#include "PITypes.h"
#include "engine/product.h"
#include "host/checked_array.h"
#include "host/param_block.h"

// The reserved slots after kEdgeSmoothingValue hold no control (id 0); edge
// smoothing has ids but no control in either template, and scale 0.  Up to it
// a slot's label id is parameterControlId(i, 0), its slider's
// parameterControlId(i, 1) and its edit box's parameterControlId(i, 2).
constexpr int16 parameterControlId(int i, int16 offset) { return int16(10 * (i + 2) + offset); }

// Check boxes and labels that the dialogs handle by name.
enum {
    // Halvane's, shown on neither platform: kDespeckleFlag keeps its value.
    kDespeckleBox = 24,
    kProtectShadowsBox = 44,
    kProfileDigitalOnLoadBox = 502,
    kProfileFilmOnLoadBox = 504,
    kAlwaysProfileBox = 506,
    kCleanerSmoothAreasBox = 507,
    kThresholdLabel = parameterControlId(kProtectThresholdValue, 0),
    kFeatherLabel = parameterControlId(kProtectFeatherValue, 0),
};

extern const checked_array<int16, kParamValueCount> SldrGUI;
extern const checked_array<int16, kParamValueCount> EditGUI;
// SldrScaleGUI, SldrLowGUI, isAdvancedControl and BooleanID, which differ
// between the products, are engine/product.h's.
extern const checked_array<int32, kParamValueCount> SldrHighGUI;
extern const checked_array<uint8, kParamFlagCount> isAdvancedBooleanControl;
// Windows: the last slider position seen for each parameter.
extern checked_array<int64_t, kParamValueCount> LastPosGUI;

// True when parameter i has a slider, an edit box and a label.
bool slotHasControl(int i);
int16 labelIdOfSlot(int i);
// The parameter slot whose slider, edit box or label has this id, or -1.
// Slots without a control never match, whatever id is asked for.
int sliderSlotOfId(int id);
int editSlotOfId(int id);
int labelSlotOfId(int id);
// The flag whose check box has this id, or -1; id 0 never matches.
int booleanSlotOfId(int id);
