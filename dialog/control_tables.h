// The controls of both products' dialogs, on both platforms: which slider,
// edit box, label and check box shows which entry of the parameter block,
// and how a slider position maps to a value.  Labels are the slider's id
// minus one; the Mac dialog uses the same numbers for its control ids.
#pragma once

#include <cstdint>

#include "PITypes.h"
#include "host/checked_array.h"
#include "host/param_block.h"

// Check boxes and labels that the dialogs handle by name.
enum {
    // Halvane's, shown on neither platform: flag 1 keeps its value.
    kDespeckleBox = 24,
    kProtectShadowsBox = 44,
    kProfileDigitalOnLoadBox = 502,
    kProfileFilmOnLoadBox = 504,
    kAlwaysProfileBox = 506,
    kCleanerSmoothAreasBox = 507,
    kThresholdLabel = 190,
    kFeatherLabel = 200,
};

// Slots 21 to 25 hold no control (id 0); slot 20 has ids but no control in
// either template, and scale 0.  Below slot 21 a slider's id is
// parameterControlId(i, 1) and its edit box's parameterControlId(i, 2).
constexpr int16 parameterControlId(int i, int16 offset) { return int16(10 * (i + 2) + offset); }
extern const checked_array<int16, kParamValueCount> SldrGUI;
extern const checked_array<int16, kParamValueCount> EditGUI;
// Slider position = value x scale.
extern const checked_array<double, kParamValueCount> SldrScaleGUI;
extern const checked_array<int32, kParamValueCount> SldrLowGUI;
extern const checked_array<int32, kParamValueCount> SldrHighGUI;
// 1: label, slider and edit box shown only with Show Advanced Controls.
extern const checked_array<uint8, kParamValueCount> isAdvancedControl;
// Check box of each flag, 0 where the flag has none.
extern const checked_array<int16, kParamFlagCount> BooleanID;
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
