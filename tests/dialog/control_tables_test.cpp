// The control tables of the product under test (test_dialog: Glimra,
// test_dialog_halvane: Halvane) and the slot lookups of the handlers.
#include <gtest/gtest.h>

#include "dialog/control_tables.h"
#include "engine/product.h"
#include "support/product_under_test.h"

namespace {

struct SlotRow {
    int i;
    int16 slider, edit;
    double halvaneScale, glimraScale;
    int32 halvaneLow, glimraLow, high;
    uint8 halvaneAdvanced, glimraAdvanced;
};

const SlotRow kSlots[] = {
    {0, 21, 22, 1, 1, 0, 0, 300, 0, 1},          {1, 31, 32, 100, 100, 15, 15, 100, 1, 1},
    {2, 41, 42, 50, 50, 0, 0, 100, 1, 1},        {5, 71, 72, 50, 50, 0, 0, 100, 1, 1},
    {6, 81, 82, 50, 50, 0, 0, 50, 0, 0},         {7, 91, 92, 50, 50, 0, 0, 50, 0, 0},
    {8, 101, 102, 100, 100, 0, 0, 100, 1, 1},    {12, 141, 142, 100, 10, 0, 0, 300, 0, 0},
    {16, 181, 182, 100, 100, 0, 0, 300, 1, 1},   {17, 191, 192, 1, 1, 0, 0, 255, 1, 1},
    {18, 201, 202, 1, 1, 0, 0, 255, 1, 1},       {19, 211, 212, 100, 10, 0, 1, 300, 0, 0},
    {20, 221, 222, 0, 0, 0, 0, 300, 1, 1},       {21, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {25, 0, 0, 0, 0, 0, 0, 0, 0, 0},
};

class ControlSlot : public ::testing::TestWithParam<SlotRow> {};

TEST_P(ControlSlot, HoldsTheProductsIdsScalesRangesAndAdvancedFlag) {
    const SlotRow& r = GetParam();
    EXPECT_EQ(SldrGUI[r.i], r.slider);
    EXPECT_EQ(EditGUI[r.i], r.edit);
    EXPECT_EQ(SldrScaleGUI[r.i], productIsHalvane() ? r.halvaneScale : r.glimraScale);
    EXPECT_EQ(SldrLowGUI[r.i], productIsHalvane() ? r.halvaneLow : r.glimraLow);
    EXPECT_EQ(SldrHighGUI[r.i], r.high);
    EXPECT_EQ(isAdvancedControl[r.i], productIsHalvane() ? r.halvaneAdvanced : r.glimraAdvanced);
}

INSTANTIATE_TEST_SUITE_P(Slots, ControlSlot, ::testing::ValuesIn(kSlots));

TEST(ControlTables, EverySliderIdFollowsItsSlot) {
    for (int i = 0; i <= 20; ++i) {
        EXPECT_EQ(SldrGUI[i], 10 * (i + 2) + 1) << i;
        EXPECT_EQ(EditGUI[i], SldrGUI[i] + 1) << i;
        EXPECT_EQ(labelIdOfSlot(i), SldrGUI[i] - 1) << i;
    }
}

TEST(ControlTables, SimpleModeShowsTheProductsFewControls) {
    std::vector<int> simple;
    for (int i = 0; i < kParamValueCount; ++i)
        if (slotHasControl(i) && !isAdvancedControl[i]) simple.push_back(i);
    const std::vector<int> halvane = {0, 6, 7, 12, 19}, glimra = {6, 7, 12, 19};
    EXPECT_EQ(simple, productIsHalvane() ? halvane : glimra);
}

TEST(ControlTables, CheckBoxesPerFlag) {
    const int16 halvane[] = {0, 24, 34, 502, 504, 0, 44, 506, 507};
    for (int f = 0; f < kParamFlagCount; ++f) {
        EXPECT_EQ(BooleanID[f], (f == 8 && !productIsHalvane()) ? 0 : halvane[f]) << f;
        EXPECT_EQ(isAdvancedBooleanControl[f], 0) << f;
    }
}

struct LookupRow {
    int id;
    int slider, edit, label, flag;
};

const LookupRow kLookups[] = {
    {21, 0, -1, -1, -1},   {22, -1, 0, -1, -1},   {20, -1, -1, 0, -1},   {211, 19, -1, -1, -1},
    {212, -1, 19, -1, -1}, {210, -1, -1, 19, -1}, {190, -1, -1, 17, -1}, {44, -1, -1, -1, 6},
    {502, -1, -1, -1, 3},  {24, -1, -1, -1, 1},
    // Slots without a control: id 0, the label id -1 of an empty slot seen
    // as a 16-bit word, and the ids of slot 20 (scale 0).
    {0, -1, -1, -1, -1},   {-1, -1, -1, -1, -1},  {0xFFFF, -1, -1, -1, -1}, {221, -1, -1, -1, -1},
    {222, -1, -1, -1, -1}, {220, -1, -1, -1, -1}, {12, -1, -1, -1, -1},
};

class SlotLookup : public ::testing::TestWithParam<LookupRow> {};

TEST_P(SlotLookup, FindsOnlySlotsWithAControl) {
    const LookupRow& r = GetParam();
    EXPECT_EQ(sliderSlotOfId(r.id), r.slider);
    EXPECT_EQ(editSlotOfId(r.id), r.edit);
    EXPECT_EQ(labelSlotOfId(r.id), r.label);
    EXPECT_EQ(booleanSlotOfId(r.id), r.flag);
}

INSTANTIATE_TEST_SUITE_P(Ids, SlotLookup, ::testing::ValuesIn(kLookups));

TEST(ControlTables, CleanerSmoothAreasBoxIsHalvanesOnly) {
    EXPECT_EQ(booleanSlotOfId(507), productIsHalvane() ? 8 : -1);
}

}  // namespace
