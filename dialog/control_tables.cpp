// The two products' control tables: the ids are shared, scales, ranges,
// advanced sets and the flag-8 box differ.
#include "dialog/control_tables.h"

#include "engine/product.h"

namespace {
typedef checked_array<double, kParamValueCount> Scales;
typedef checked_array<int32, kParamValueCount> Limits;
typedef checked_array<uint8, kParamValueCount> Advanced;
typedef checked_array<int16, kParamFlagCount> Boxes;

const Scales halvaneScales = {{1, 100, 50, 50, 50, 50, 50, 50, 100, 100, 100, 100, 100, 100, 100, 100, 100, 1, 1,
                               100, 0, 0, 0, 0, 0, 0}};
const Scales glimraScales = {{1, 100, 50, 50, 50, 50, 50, 50, 100, 100, 100, 100, 10, 100, 100, 100, 100, 1, 1, 10,
                              0, 0, 0, 0, 0, 0}};
const Limits halvaneLows = {{0, 15, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}};
const Limits glimraLows = {{0, 15, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0}};
const Advanced halvaneAdvanced = {{0, 1, 1, 1, 1, 1, 0, 0, 1, 1, 1, 1, 0, 1, 1, 1, 1, 1, 1, 0, 1, 0, 0, 0, 0, 0}};
const Advanced glimraAdvanced = {{1, 1, 1, 1, 1, 1, 0, 0, 1, 1, 1, 1, 0, 1, 1, 1, 1, 1, 1, 0, 1, 0, 0, 0, 0, 0}};
const Boxes halvaneBoxes = {{0, 24, 34, 502, 504, 0, 44, 506, 507}};
const Boxes glimraBoxes = {{0, 24, 34, 502, 504, 0, 44, 506, 0}};

template <int16 offset>
checked_array<int16, kParamValueCount> controlIds() {
    checked_array<int16, kParamValueCount> ids{};
    for (int i = 0; i <= 20; ++i) ids[i] = parameterControlId(i, offset);
    return ids;
}
}  // namespace

const checked_array<int16, kParamValueCount> SldrGUI = controlIds<1>();
const checked_array<int16, kParamValueCount> EditGUI = controlIds<2>();
const checked_array<double, kParamValueCount> SldrScaleGUI = kProductIsHalvane ? halvaneScales : glimraScales;
const checked_array<int32, kParamValueCount> SldrLowGUI = kProductIsHalvane ? halvaneLows : glimraLows;
const checked_array<int32, kParamValueCount> SldrHighGUI = {
    {300, 100, 100, 100, 100, 100, 50, 50, 100, 100, 100, 100, 300, 300, 300, 300, 300, 255, 255, 300, 300, 0, 0, 0,
     0, 0}};
const checked_array<uint8, kParamValueCount> isAdvancedControl = kProductIsHalvane ? halvaneAdvanced : glimraAdvanced;
const checked_array<int16, kParamFlagCount> BooleanID = kProductIsHalvane ? halvaneBoxes : glimraBoxes;
const checked_array<uint8, kParamFlagCount> isAdvancedBooleanControl = {};
checked_array<int64_t, kParamValueCount> LastPosGUI = {};

bool slotHasControl(int i) {
    return i >= 0 && i < kParamValueCount && SldrGUI[i] != 0 && SldrScaleGUI[i] != 0;
}

int16 labelIdOfSlot(int i) { return int16(SldrGUI[i] - 1); }

namespace {
template <typename IdOf>
int findSlot(int id, IdOf idOf) {
    for (int i = 0; i < kParamValueCount; ++i)
        if (slotHasControl(i) && idOf(i) == id) return i;
    return -1;
}
}  // namespace

int sliderSlotOfId(int id) { return findSlot(id, [](int i) { return int(SldrGUI[i]); }); }
int editSlotOfId(int id) { return findSlot(id, [](int i) { return int(EditGUI[i]); }); }
int labelSlotOfId(int id) { return findSlot(id, [](int i) { return int(labelIdOfSlot(i)); }); }

int booleanSlotOfId(int id) {
    for (int f = 0; f < kParamFlagCount; ++f)
        if (BooleanID[f] != 0 && BooleanID[f] == id) return f;
    return -1;
}
