// The control tables that both products share: the ids and the high ends of
// the sliders.  Scales, low ends, advanced sets and check boxes are each
// product's own (engine/product.h).
#include "dialog/control_tables.h"

namespace {
template <int16 offset>
checked_array<int16, kParamValueCount> controlIds() {
    checked_array<int16, kParamValueCount> ids{};
    for (int i = 0; i <= kEdgeSmoothingValue; ++i) ids[i] = parameterControlId(i, offset);
    return ids;
}
}  // namespace

const checked_array<int16, kParamValueCount> SldrGUI = controlIds<1>();
const checked_array<int16, kParamValueCount> EditGUI = controlIds<2>();
const checked_array<int32, kParamValueCount> SldrHighGUI = {
    {300, 100, 100, 100, 100, 100, 50, 50, 100, 100, 100, 100, 300, 300, 300, 300, 300, 255, 255, 300, 300, 0, 0, 0,
     0, 0}};
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
