// The slider, edit box and label of a parameter in the Mac dialog: typing,
// pasting, Tab and arrows, sliding, values no slider can show, and the
// label's double-click.  Slots 0, 1 and 12 have controls in both products.
#include <Carbon.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "mac/mac_dialog_support.h"

namespace {
using namespace mac_dialog_test;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
// The expected value is the parameter's default.
const double kDefault = -12345;
// Any finite value: the preview's derivation of the engine's parameters
// brings some values into range in place, after the controls showed them.
const double kDerived = -54321;

struct ControlCase {
    const char* name;
    int slot;
    double start;
    std::function<std::vector<CarbonScriptEvent>(WindowRef)> input;
    double value;
    const char* text;  // null: the value with "%g"
    int32_t position;  // -1: as initEditSlider puts the value
    int recomputes;
};

void PrintTo(const ControlCase& c, std::ostream* os) { *os << c.name; }

std::function<std::vector<CarbonScriptEvent>(WindowRef)> events(std::vector<CarbonScriptEvent> list) {
    return [list](WindowRef) { return list; };
}
std::function<std::vector<CarbonScriptEvent>(WindowRef)> pressLabel(int32_t label, int32_t clicks) {
    return [=](WindowRef w) { return std::vector<CarbonScriptEvent>{click(w, label, clicks)}; };
}

const std::vector<ControlCase> kCases = {
    // A trailing zero after the point leaves the value as it was.
    {"TrailingZero", 0, 40, events({keys(22, ".0")}), 40, "40.0", 40, 0},
    // Letters are no number: 0, the slider at its lowest.
    {"Letters", 1, 0.5, events({keys(32, "\b\b\babc")}), 0, "abc", 15, 1},
    // Typing truncates the position: 0.29 x 100 is 28.999...
    {"TypedValueTruncates", 1, 0.5, events({keys(32, "\b\b\b0.29")}), 0.29, "0.29", 28, 3},
    {"Infinity", 0, 40, events({keys(22, "\b\binf")}), 0, "inf", 0, 2},
    // 1e9 and 1e99 put the slider at its end; 1e999 is no number.
    {"Overflow", 0, 40, events({keys(22, "\b\b1e999")}), kDerived, "1e999", 0, 6},
    {"NotANumber", 0, 40, events({keys(22, "\b\bnan")}), 0, "nan", 0, 2},
    // Typed and pasted as a person does, read from the control's own text:
    // each key that changes the value recomputes ("40", "4", "", "1", "12",
    // "12." and "12.5" give 40, 4, 0, 1, 12, 12 and 12.5).
    {"TypedDecimal", 0, 40, events({keys(22, "\b\b12.5")}), 12.5, "12.5", 12, 5},
    {"TypedExponent", 0, 40, events({keys(22, "\b\b1e3")}), 1000, "1e3", 300, 4},
    {"TypedNegative", 12, 40, events({keys(142, "\b\b-3")}), -3, "-3", 0, 3},
    // Text that is no number, in any script, is 0; after a number, nothing.
    {"TypedAccent", 0, 40, events({keys(22, "\b\b\xc3\xa9")}), 0, "\xc3\xa9", 0, 2},
    {"TypedNumberThenAccent", 0, 40, events({keys(22, "\b\b12\xc3\xa9")}), 12, "12\xc3\xa9", 12, 4},
    {"AccentTakenBack", 0, 40, events({keys(22, "\xc3\xa9\b")}), 40, "40", 40, 0},
    {"Paste", 0, 40, events({paste(22, "7")}), 407, "407", 300, 1},
    {"PastedDecimal", 0, 40, events({keys(22, "\b\b"), paste(22, "12.5")}), 12.5, "12.5", 12, 3},
    {"PastedExponent", 0, 40, events({paste(22, "e3")}), 40000, "40e3", 300, 1},
    {"PastedAccent", 0, 40, events({paste(22, "\xc3\xa9")}), 40, "40\xc3\xa9", 40, 0},
    {"PasteOfTheSameValue", 0, 40, events({paste(22, ".000")}), 40, "40.000", 40, 0},
    // Tab and the arrows change no text, so no value: 1/3 is not rounded
    // to the 0.333333 the box shows.
    {"TabAndArrows", 1, 1.0 / 3, events({keys(32, "\t\x1c\x1d\x1e\x1f")}), 1.0 / 3, "0.333333", 33, 0},
    {"SliderAtItsPosition", 1, 1.0 / 3, events({slide(31, 33)}), 1.0 / 3, "0.333333", 33, 0},
    {"SliderMoves", 1, 1.0 / 3, events({slide(31, 50)}), 0.5, "0.5", 50, 1},
    {"SliderAndBack", 12, 1, events({slide(141, 37), slide(141, 38), slide(141, 37)}), -1, nullptr, -1, 3},
    // Values from a script, the registry or a file that no slider can show.
    {"ScriptValue1e12", 0, 1e12, events({}), 1e12, "1e+12", 300, 0},
    {"HugeNegative", 0, -1e300, events({}), kDerived, "-1e+300", 0, 0},
    {"NaNValue", 0, kNaN, events({}), kDerived, "nan", 0, 0},
    {"LabelDoubleClick", 12, 2.5, pressLabel(140, 2), kDefault, nullptr, -1, 1},
    {"LabelSingleClick", 12, 2.5, pressLabel(140, 1), 2.5, nullptr, -1, 0},
    // Label 30 is an advanced one, hidden in the simple controls.
    {"HiddenLabelDoubleClick", 1, 0.5, [](WindowRef) { return std::vector<CarbonScriptEvent>{pressAt(60, 181, 2)}; },
     0.5, nullptr, -1, 0},
    // Where Halvane's label 40 is: Glimra's nib has no such label.
    {"DoubleClickWhereNoLabelIs", 2, 0.5,
     [](WindowRef) { return std::vector<CarbonScriptEvent>{pressAt(60, 212, 2)}; }, 0.5, nullptr, -1, 0},
};

class MacParameterControl : public MacDialogTest, public ::testing::WithParamInterface<ControlCase> {};

TEST_P(MacParameterControl, KeepsValueTextAndSliderTogether) {
    const ControlCase& c = GetParam();
    const int i = c.slot;
    block.values[i] = c.start;
    double expected = c.value == kDefault ? DefaultGUI[i] : c.value;
    Session s;
    s.act = [&](WindowRef window) { s.queue(c.input(window)); };
    s.look = [&](WindowRef window) {
        if (c.value == -1) expected = block.values[i];  // the case names no value: whatever the last input set
        if (expected == kDerived) {
            EXPECT_TRUE(std::isfinite(block.values[i])) << block.values[i];
        } else {
            EXPECT_EQ(block.values[i], expected);
        }
        if (textOf(window, EditGUI[i]) == "(none)") return;
        char shown[64];
        std::snprintf(shown, sizeof shown, "%g", expected);
        EXPECT_EQ(textOf(window, EditGUI[i]), c.text ? c.text : shown);
        EXPECT_EQ(valueOf(window, SldrGUI[i]),
                  c.position >= 0 ? c.position
                                  : sliderPositionFor(expected, SldrScaleGUI[i], SldrLowGUI[i], SldrHighGUI[i]));
    };
    EXPECT_TRUE(run(s));
    EXPECT_EQ(s.recomputes, c.recomputes);
}

INSTANTIATE_TEST_SUITE_P(Cases, MacParameterControl, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ControlCase>& info) { return info.param.name; });
}  // namespace
