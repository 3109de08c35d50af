// Edit-box numbers and slider positions, with the values that overflowed an
// integer conversion before the positions were clamped in double.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "dialog/edit_fields.h"

namespace {

struct ParseRow {
    std::string text;
    double value;
    int result;
};

// Bounds 0..300, fallback 7.
const ParseRow kParses[] = {
    {"1.5", 1.5, kEditInRange},
    {"1,5", 1.5, kEditInRange},
    {"-3", -3, kEditOutOfRange},
    {"3-", -3, kEditOutOfRange},
    {"--3", 3, kEditInRange},
    {"-3-", 3, kEditInRange},
    {"", 7, kEditNotANumber},
    {"abc", 7, kEditNotANumber},
    {"3abc", 7, kEditNotANumber},
    {"-", 7, kEditNotANumber},
    {"  42  ", 42, kEditInRange},
    {"4 2", 7, kEditNotANumber},
    {"400", 400, kEditOutOfRange},
    {"300", 300, kEditInRange},
    {".25", 0.25, kEditInRange},
    {"2.", 2, kEditInRange},
    {"1.05", 1.05, kEditInRange},
    {"-0,25", -0.25, kEditOutOfRange},
    // The integer part holds a separator and is no number; the fraction is.
    {"1.2.3", 0.3, kEditInRange},
    {"99999999999", 2147483647.0, kEditOutOfRange},
    {"123456789", 123456789, kEditOutOfRange},
    {"0.1234567891234", 0.123456789, kEditInRange},
    {std::string(255, '9'), 2147483647.0, kEditOutOfRange},
    {"1." + std::string(253, '5'), 1.555555555, kEditInRange},
    {std::string(254, '-') + "5", 5, kEditInRange},
};

class EditNumber : public ::testing::TestWithParam<ParseRow> {};

TEST_P(EditNumber, FollowsTheEditBoxRules) {
    const ParseRow& r = GetParam();
    double value = -1;
    EXPECT_EQ(parseEditNumber(r.text, 0, 300, value, 7), r.result) << '"' << r.text << '"';
    EXPECT_DOUBLE_EQ(value, r.value) << '"' << r.text << '"';
}

INSTANTIATE_TEST_SUITE_P(Texts, EditNumber, ::testing::ValuesIn(kParses));

struct PositionRow {
    double value, scale;
    int32 low, high, position;
};

const PositionRow kPositions[] = {
    {0.74, 50, 0, 100, 37},
    {0.2, 100, 15, 100, 20},
    {0.1, 100, 15, 100, 15},
    {400, 1, 0, 300, 300},
    {-1e9, 100, 0, 300, 0},
    {2147483647.0, 100, 0, 300, 300},
    {2147483647.0, 1, 0, 300, 300},
    {1e300, 100, 0, 300, 300},
    {-1e300, 100, 1, 300, 1},
    {std::numeric_limits<double>::infinity(), 100, 0, 300, 300},
    {-std::numeric_limits<double>::infinity(), 10, 1, 300, 1},
    {std::numeric_limits<double>::quiet_NaN(), 10, 1, 300, 1},
    {2.994, 100, 0, 300, 299},
    {-0.3, 1, 0, 300, 0},
};

class SliderPosition : public ::testing::TestWithParam<PositionRow> {};

TEST_P(SliderPosition, IsRoundedAndClampedBeforeConversion) {
    const PositionRow& r = GetParam();
    EXPECT_EQ(sliderPositionFor(r.value, r.scale, r.low, r.high), r.position) << r.value << " x " << r.scale;
}

INSTANTIATE_TEST_SUITE_P(Values, SliderPosition, ::testing::ValuesIn(kPositions));

TEST(EditText, ShowsFiveDecimalsAtMost) {
    EXPECT_EQ(editTextForValue(2.5), "2.5");
    EXPECT_EQ(editTextForValue(3), "3.0");
    EXPECT_EQ(editTextForValue(0.123456), "0.12346");
    EXPECT_EQ(editTextForValue(-0.5), "-0.5");
}

TEST(EditText, ReadsBackAsTheValueItShows) {
    for (double v : {0.0, 0.2, 1.5, 2.75, 150.0, 255.0, 300.0}) {
        double back = -1;
        EXPECT_EQ(parseEditNumber(editTextForValue(v), 0, 300, back, -2), kEditInRange) << v;
        EXPECT_DOUBLE_EQ(back, v);
    }
}

}  // namespace
