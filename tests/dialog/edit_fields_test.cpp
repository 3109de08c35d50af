// Edit-box numbers and slider positions, with the values that overflowed an
// integer conversion before the positions were clamped in double.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
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

struct FitRow {
    double value;
    size_t characters;  // what the box holds
    std::string text;
};

// Each decimal fewer rounds on the first digit beyond the ones shown: 78.65146
// to four decimals is 78.6515, to three 78.651, to one 78.7, to none 79.
const FitRow kFits[] = {
    {78.65146, 8, "78.65146"},
    {78.65146, 7, "78.6515"},
    {78.65146, 6, "78.651"},
    {78.65146, 5, "78.65"},
    {78.65146, 4, "78.7"},
    {78.65146, 3, "79"},
    {78.65146, 2, "79"},  // nothing fits: the shortest text
    {0.123456, 40, "0.12346"},
    {0.74, 4, "0.74"},
    {0.74, 3, "0.7"},
    {150, 5, "150.0"},
    {150, 4, "150"},
    // Trailing zeros go: four decimals of 1.20004 are "1.2", shorter than five.
    {1.20004, 6, "1.2"},
    {1.20004, 3, "1.2"},
    {99.999996, 7, "100.0"},
    {-0.5, 4, "-0.5"},
    {-0.5, 3, "-1"},
    {2.5, 1, "3"},
};

void PrintTo(const FitRow& r, std::ostream* os) { *os << r.value << " in " << r.characters << " characters"; }

class EditTextThatFits : public ::testing::TestWithParam<FitRow> {};

TEST_P(EditTextThatFits, ShowsAsManyDecimalsAsTheBoxHolds) {
    const FitRow& r = GetParam();
    const auto holds = [&](const std::string& text) { return text.size() <= r.characters; };
    EXPECT_EQ(editTextThatFits(r.value, holds), r.text) << r.value << " in " << r.characters << " characters";
}

INSTANTIATE_TEST_SUITE_P(Boxes, EditTextThatFits, ::testing::ValuesIn(kFits));

TEST(EditText, ReadsBackAsTheValueItShows) {
    for (double v : {0.0, 0.2, 1.5, 2.75, 150.0, 255.0, 300.0}) {
        double back = -1;
        EXPECT_EQ(parseEditNumber(editTextForValue(v), 0, 300, back, -2), kEditInRange) << v;
        EXPECT_DOUBLE_EQ(back, v);
    }
}

}  // namespace
