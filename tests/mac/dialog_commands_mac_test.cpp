// Every command of the Mac dialog's two command tables, as the user gives it
// (a click on its button or box, or the command itself where the nib has no
// control for it): the parameter block, the controls and the recomputes it
// leaves.
#include <Carbon.h>

#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "dialog/control_tables.h"
#include "dialog/edit_fields.h"
#include "mac/mac_dialog_support.h"
#include "support/product_under_test.h"

namespace {
using namespace mac_dialog_test;

enum Products { kBoth, kHalvaneOnly, kGlimraOnly };

struct CommandCase {
    const char* name;
    Products products;
    std::function<void(ParamBlock&)> before;
    std::function<std::vector<CarbonScriptEvent>(WindowRef)> input;
    std::function<void(WindowRef, const ParamBlock&)> after;
    int recomputes;
};

void PrintTo(const CommandCase& c, std::ostream* os) { *os << c.name; }

std::string shown(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// Every parameter control shows its value and every box its flag; the
// protection labels follow their box.
void controlsShowTheBlock(WindowRef window, const ParamBlock& b) {
    for (int i = 0; i < 20; ++i) {
        if (textOf(window, EditGUI[i]) == "(none)") continue;
        EXPECT_EQ(textOf(window, EditGUI[i]), shown(b.values[i])) << "parameter " << i;
        EXPECT_EQ(valueOf(window, SldrGUI[i]), sliderPositionFor(b.values[i], SldrScaleGUI[i], SldrLowGUI[i],
                                                                 SldrHighGUI[i]))
            << "parameter " << i;
    }
    for (int f = 0; f < kParamFlagCount; ++f)
        if (BooleanID[f] != 0 && valueOf(window, BooleanID[f]) >= 0) {
            EXPECT_EQ(valueOf(window, BooleanID[f]), b.flags[f] != 0 ? 1 : 0) << "flag " << f;
        }
    if (productIsHalvane()) {
        const bool shadows = b.flags[6] != 0;
        EXPECT_EQ(textOf(window, 190), shadows ? "Shadow protect threshold" : "Highlight protect threshold");
        EXPECT_EQ(textOf(window, 200), shadows ? "Shadow protect feather" : "Highlight protect feather");
    }
}

// Values inside every range that are no product's defaults.
void offDefaults(ParamBlock& b) {
    for (int i = 0; i < 20; ++i) b.values[i] = SldrLowGUI[i] / SldrScaleGUI[i] + 0.3;
}

std::function<std::vector<CarbonScriptEvent>(WindowRef)> commands(std::vector<uint32_t> list) {
    return [list](WindowRef) {
        std::vector<CarbonScriptEvent> events;
        for (uint32_t c : list) events.push_back(command(c));
        return events;
    };
}

std::function<std::vector<CarbonScriptEvent>(WindowRef)> clicks(std::vector<int32_t> ids) {
    return [ids](WindowRef window) {
        std::vector<CarbonScriptEvent> events;
        for (int32_t id : ids) events.push_back(click(window, id));
        return events;
    };
}

const std::vector<CommandCase>& allCases() {
    static const std::vector<CommandCase> cases = {
        {"ProfileDigital", kBoth, [](ParamBlock& b) { b.flags[6] = 1; }, clicks({503}),
         [](WindowRef w, const ParamBlock& b) {
             EXPECT_EQ(b.values[1], 0.2);
             controlsShowTheBlock(w, b);
         },
         1},
        {"ProfileFilm", kBoth, [](ParamBlock& b) { b.flags[6] = 1; }, clicks({505}),
         [](WindowRef w, const ParamBlock& b) {
             EXPECT_EQ(b.values[1], 1.0);
             controlsShowTheBlock(w, b);
         },
         1},
        {"ResetNoiseReduction", kBoth, offDefaults, commands({cmd("Rnrs")}),
         [](WindowRef w, const ParamBlock& b) {
             for (int i = 0; i < 20; ++i) {
                 const bool reset = productIsHalvane() && (i == 6 || i == 7 || i == 12 || i == 19);
                 EXPECT_EQ(b.values[i], reset ? DefaultGUI[i] : SldrLowGUI[i] / SldrScaleGUI[i] + 0.3) << i;
             }
             controlsShowTheBlock(w, b);
         },
         1},
        {"ResetAll", kBoth,
         [](ParamBlock& b) {
             offDefaults(b);
             b.flags[1] = 0;
             b.flags[2] = 1;
             b.flags[0] = b.flags[5] = 0;
             b.flags[3] = b.flags[4] = 0;
             b.flags[6] = 1;
             b.flags[7] = 1;
             b.flags[8] = 0;
         },
         clicks({12}),
         [](WindowRef w, const ParamBlock& b) {
             for (int i = 0; i < kParamValueCount; ++i) EXPECT_EQ(b.values[i], DefaultGUI[i]) << i;
             // Halvane also turns shadow protection off and the cleaner core
             // on; Glimra's flags 6 and 8 stay as they were, as do both
             // products' flags 0, 3, 4, 5 and 7.
             const uint8 expected[kParamFlagCount] = {0, 1, 0, 0, 0, 0, uint8(productIsHalvane() ? 0 : 1), 1,
                                                      uint8(productIsHalvane() ? 1 : 0)};
             for (int f = 0; f < kParamFlagCount; ++f) EXPECT_EQ(b.flags[f], expected[f]) << "flag " << f;
             controlsShowTheBlock(w, b);
         },
         1},
        {"AlwaysProfile", kBoth, [](ParamBlock& b) { b.flags[7] = 0; }, clicks({506}),
         [](WindowRef w, const ParamBlock& b) {
             EXPECT_EQ(b.flags[7], 1);
             controlsShowTheBlock(w, b);
         },
         1},
        {"DigitalWhenTheDialogOpens", kBoth, [](ParamBlock& b) { b.flags[3] = 0, b.flags[4] = 1; }, clicks({502}),
         [](WindowRef w, const ParamBlock& b) {
             EXPECT_EQ(b.flags[3], 1);
             EXPECT_EQ(b.flags[4], 0);
             controlsShowTheBlock(w, b);
         },
         0},
        {"FilmWhenTheDialogOpens", kBoth, [](ParamBlock& b) { b.flags[3] = 1, b.flags[4] = 0; }, clicks({504}),
         [](WindowRef w, const ParamBlock& b) {
             EXPECT_EQ(b.flags[3], 0);
             EXPECT_EQ(b.flags[4], 1);
             controlsShowTheBlock(w, b);
         },
         0},
        {"ProtectShadows", kHalvaneOnly, [](ParamBlock& b) { b.flags[6] = 0; }, clicks({44}),
         [](WindowRef w, const ParamBlock& b) {
             EXPECT_EQ(b.flags[6], 1);
             controlsShowTheBlock(w, b);
         },
         1},
        {"ProtectHighlightsAgain", kHalvaneOnly, [](ParamBlock& b) { b.flags[6] = 1; }, clicks({44}),
         [](WindowRef w, const ParamBlock& b) {
             EXPECT_EQ(b.flags[6], 0);
             controlsShowTheBlock(w, b);
         },
         1},
        {"NoiseModeOrInvert", kBoth, [](ParamBlock& b) { b.flags[2] = 0; }, clicks({34}),
         [](WindowRef w, const ParamBlock& b) {
             EXPECT_EQ(b.flags[2], 1);
             controlsShowTheBlock(w, b);
         },
         1},
        {"NoiseModeOrInvertOff", kBoth, [](ParamBlock& b) { b.flags[2] = 1; }, clicks({34}),
         [](WindowRef w, const ParamBlock& b) {
             EXPECT_EQ(b.flags[2], 0);
             controlsShowTheBlock(w, b);
         },
         1},
        {"CleanerSmoothAreas", kHalvaneOnly, [](ParamBlock& b) { b.flags[8] = 0; }, clicks({507}),
         [](WindowRef w, const ParamBlock& b) {
             EXPECT_EQ(b.flags[8], 1);
             controlsShowTheBlock(w, b);
         },
         1},
        {"CleanerSmoothAreasIsNotGlimras", kGlimraOnly, [](ParamBlock& b) { b.flags[8] = 0; },
         commands({cmd("Clrs")}), [](WindowRef, const ParamBlock& b) { EXPECT_EQ(b.flags[8], 0); }, 0},
        {"Zoom200", kBoth, nullptr, clicks({915}),
         [](WindowRef, const ParamBlock&) { EXPECT_EQ(pData.zoomFactor, 2); }, 1},
        {"Zoom400", kBoth, nullptr, clicks({917}),
         [](WindowRef, const ParamBlock&) { EXPECT_EQ(pData.zoomFactor, 4); }, 1},
        {"Zoom400AtZoom400RecomputesAllTheSame", kBoth, nullptr, clicks({917, 917}),
         [](WindowRef, const ParamBlock&) { EXPECT_EQ(pData.zoomFactor, 4); }, 2},
        {"Zoom200Then100", kBoth, nullptr, clicks({915, 914}),
         [](WindowRef, const ParamBlock&) { EXPECT_EQ(pData.zoomFactor, 1); }, 2},
        {"ZoomIn", kBoth, nullptr, commands({cmd("Zmin")}),
         [](WindowRef, const ParamBlock&) { EXPECT_EQ(pData.zoomFactor, 2); }, 1},
        {"ZoomInThenOut", kBoth, nullptr, commands({cmd("Zmin"), cmd("Zmin"), cmd("Zmot")}),
         [](WindowRef, const ParamBlock&) { EXPECT_EQ(pData.zoomFactor, 2); }, 3},
        // What Show Original shows is the framework's; here the click reaches it.
        {"ShowOriginal", kBoth, nullptr, clicks({901}),
         [](WindowRef w, const ParamBlock&) { EXPECT_EQ(valueOf(w, 901), 1); }, -1},
        {"Eyedropper", kBoth, nullptr, commands({cmd("Eyed")}),
         [](WindowRef w, const ParamBlock&) {
             EXPECT_EQ(mouseState, 1);
             EXPECT_FALSE(visible(w, 902));
         },
         0},
        {"ShowAdvancedControls", kBoth, [](ParamBlock&) { pData.showAdvanced = 0; }, clicks({931}),
         [](WindowRef w, const ParamBlock&) {
             EXPECT_EQ(pData.showAdvanced, 1);
             for (int i = 0; i < 20; ++i)
                 if (textOf(w, EditGUI[i]) != "(none)") {
                     for (int32_t id : {int32_t(EditGUI[i]), int32_t(SldrGUI[i]), int32_t(SldrGUI[i] - 1)})
                         EXPECT_TRUE(visible(w, id)) << id;
                 }
             // Glimra keeps its instructions in the advanced controls.
             for (int32_t id = 932; id < 942; ++id)
                 if (textOf(w, id) != "(none)") {
                     EXPECT_EQ(visible(w, id), !productIsHalvane()) << id;
                 }
         },
         0},
        {"SimpleControlsAgain", kBoth, [](ParamBlock&) { pData.showAdvanced = 1; }, clicks({931}),
         [](WindowRef w, const ParamBlock&) {
             EXPECT_EQ(pData.showAdvanced, 0);
             for (int i = 0; i < 20; ++i)
                 if (textOf(w, EditGUI[i]) != "(none)") {
                     for (int32_t id : {int32_t(EditGUI[i]), int32_t(SldrGUI[i]), int32_t(SldrGUI[i] - 1)})
                         EXPECT_EQ(visible(w, id), !isAdvancedControl[i]) << id;
                 }
             for (int32_t id = 932; id < 942; ++id)
                 if (textOf(w, id) != "(none)") {
                     EXPECT_TRUE(visible(w, id)) << id;
                 }
         },
         0},
    };
    return cases;
}

std::vector<CommandCase> casesOfThisProduct() {
    std::vector<CommandCase> mine;
    for (const CommandCase& c : allCases())
        if (c.products == kBoth || (c.products == kHalvaneOnly) == productIsHalvane()) mine.push_back(c);
    return mine;
}

// The static ControlIDs: 'Qvtz' with the tables' ids, the parameter
// controls of slots 0 to 19 only, the ten instruction texts, and flag 2's
// box under both products' names.
TEST(MacControlIDs, CarryTheSignatureAndTheTablesIds) {
    const OSType qvtz = 'Q' << 24 | 'v' << 16 | 't' << 8 | 'z';
    for (int i = 0; i < kParamValueCount; ++i) {
        EXPECT_EQ(controlID_GS[i].signature, qvtz);
        EXPECT_EQ(controlID_GT[i].signature, qvtz);
        EXPECT_EQ(controlID_GS[i].id, i < 20 ? SldrGUI[i] : 0) << i;
        EXPECT_EQ(controlID_GT[i].id, i < 20 ? EditGUI[i] : 0) << i;
    }
    EXPECT_EQ(controlID_GS[19].id, 211);
    EXPECT_EQ(controlID_GT[0].id, 22);
    EXPECT_THROW(controlID_GS[kParamValueCount], std::out_of_range);
    for (int k = 0; k < 10; ++k) {
        EXPECT_EQ(proxyInstructions[k].signature, qvtz);
        EXPECT_EQ(proxyInstructions[k].id, 932 + k);
    }
    EXPECT_EQ(proxyInvertMatte.signature, qvtz);
    EXPECT_EQ(proxyInvertMatte.id, 34);
    EXPECT_EQ(proxyInvertMatte.id, BooleanID[2]);
    EXPECT_EQ(&proxySetNoiseMode, &proxyInvertMatte);
}

class MacDialogCommand : public MacDialogTest, public ::testing::WithParamInterface<CommandCase> {};
class MacDialogCommands : public MacDialogTest {};

TEST_P(MacDialogCommand, LeavesTheBlockControlsAndPreviewAsTheUserExpects) {
    const CommandCase& c = GetParam();
    if (c.before) c.before(block);
    Session s;
    s.act = [&](WindowRef window) { s.queue(c.input(window)); };
    s.look = [&](WindowRef window) { c.after(window, block); };
    EXPECT_TRUE(run(s));
    if (c.recomputes >= 0) {
        EXPECT_EQ(s.recomputes, c.recomputes);
    }
    EXPECT_EQ(result(), 0);
    // Every way out leaves the framework idle for the next dialog.
    EXPECT_FALSE(showOriginalMode);
    EXPECT_EQ(mouseState, 0);
}

INSTANTIATE_TEST_SUITE_P(Commands, MacDialogCommand, ::testing::ValuesIn(casesOfThisProduct()),
                         [](const ::testing::TestParamInfo<CommandCase>& info) { return info.param.name; });

// The shared table's reset, for callers that pass 'Rrst' to it directly:
// the parameters from scratch, the controls, and Show Original off.
TEST_F(MacDialogCommands, CommonResetRestoresEverythingAndShowsIt) {
    offDefaults(block);
    block.flags[6] = 1;
    Session s;
    s.look = [&](WindowRef window) {
        processCommonCommands(window, cmd("Rrst"), eventNotHandledErr);
        for (int i = 0; i < 20; ++i) EXPECT_EQ(block.values[i], DefaultGUI[i]) << i;
        for (int f = 0; f < kParamFlagCount; ++f) EXPECT_EQ(block.flags[f], BooleanDefault[f]) << f;
        controlsShowTheBlock(window, block);
        EXPECT_EQ(valueOf(window, 901), 0);
    };
    EXPECT_TRUE(run(s));
}

TEST_F(MacDialogCommands, CancelAndTheCloseBoxEndTheDialogWithoutFiltering) {
    for (uint32_t answer : {kHICommandCancel, kHICommandClose}) {
        Session s;
        s.act = [&](WindowRef window) { s.queue({slide(141, 150), click(window, 34)}); };
        s.look = [](WindowRef) {};
        s.answer = answer;
        EXPECT_FALSE(run(s));
        // Cancel leaves the values to the start selector, which restores them.
        EXPECT_EQ(block.values[12], 150 / SldrScaleGUI[12]);
    }
}
}  // namespace

namespace {
// What an earlier dialog of the loaded plug-in may have left behind does not
// reach the next: its modes are off and its slider recomputes.
TEST_F(MacDialogCommands, EachDialogStartsAfresh) {
    for (int dialog = 0; dialog < 2; ++dialog) {
        showOriginalMode = true;
        mouseState = kStartSelectionArmed;
        Session s;
        s.act = [&](WindowRef) { s.queue({slide(141, 100 + dialog)}); };
        s.look = [&](WindowRef) {
            EXPECT_FALSE(showOriginalMode);
            EXPECT_EQ(mouseState, 0);
        };
        EXPECT_TRUE(run(s));
        EXPECT_EQ(s.recomputes, 1) << "dialog " << dialog;
        EXPECT_EQ(block.values[12], (100 + dialog) / SldrScaleGUI[12]);
    }
}
}  // namespace
