// The Mac dialog's window from the product's nib: OK and Cancel, a window
// that cannot be made, and the About window.
#include <gtest/gtest.h>

#include <Carbon.h>

#include <string>

#include "engine/product.h"
#include "entry/start.h"
#include "mac/dialog_mac.h"
#include "mac/mac_dialog_support.h"
#include "support/product_under_test.h"

namespace {
struct Seen {
    std::string window;
    std::string texts[3];
    bool hasPreviewPane = false;
    uint32_t answer = 0;
};
Seen seen;

std::string controlText(WindowRef window, int32_t id) {
    for (int i = 0; i < CarbonStandInControlCount(window); ++i) {
        CarbonControlInfo info;
        CarbonStandInControlAt(window, i, &info);
        if (info.id == id) return info.text;
    }
    return "(none)";
}

// The user looks at the window and then gives the answer the test chose.
uint32_t look(const char* windowName, void*) {
    WindowRef window = CarbonStandInWindowAt(CarbonStandInWindowCount() - 1);
    seen.window = windowName;
    for (int i = 0; i < 3; ++i) seen.texts[i] = controlText(window, i + 1);
    seen.hasPreviewPane = controlText(window, 900) != "(none)";
    return seen.answer;
}

class MacDialog : public mac_dialog_test::MacDialogTest {
protected:
    void SetUp() override {
        MacDialogTest::SetUp();
        seen = Seen{};
        CarbonStandInSetModalResponder(look, nullptr);
    }
};

TEST_F(MacDialog, OkComesFromTheProductsNibAndClearsAnEarlierFailure) {
    seen.answer = kHICommandOK;
    host().result() = -108;  // a preview allocation refused while the dialog was open
    EXPECT_TRUE(DoUI());
    EXPECT_EQ(seen.window, "prototypeDialog");
    EXPECT_TRUE(seen.hasPreviewPane);
    EXPECT_EQ(result(), 0);
    seen.answer = kHICommandCancel;
    EXPECT_FALSE(DoUI());
    EXPECT_TRUE(alerts().empty());
}

enum class Failure { bundle, nib, window };

class MacDialogFailure : public MacDialog, public ::testing::WithParamInterface<Failure> {};

TEST_P(MacDialogFailure, IsACancelWithAnAlertAndNothingLeftOpen) {
    seen.answer = kHICommandOK;
    switch (GetParam()) {
        case Failure::bundle: CarbonStandInRemoveBundles(); break;
        case Failure::nib: CarbonStandInFailNib("PrototypeGUI"); break;
        case Failure::window: CarbonStandInFailWindows(1); break;
    }
    EXPECT_FALSE(DoUI());
    EXPECT_EQ(seen.window, "");  // never shown
    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_EQ(alerts()[0], "(Vexlor) The dialog cannot be opened.  Please reinstall the plug-in.");
    host().clearAlerts();
    if (GetParam() == Failure::bundle) makeHost();  // a new host brings the bundles back
}

INSTANTIATE_TEST_SUITE_P(Failures, MacDialogFailure,
                         ::testing::Values(Failure::bundle, Failure::nib, Failure::window));

class MacDialogControls : public mac_dialog_test::MacDialogTest, public ::testing::WithParamInterface<bool> {};

// As the Windows dialog shows them, in the simple and the advanced controls:
// Halvane's Despeckle box is hidden (every derivation sets its flag 1, which
// the box would only seem to change); Halvane's instructions walk through
// the simple controls and give way to the advanced ones, while Glimra's stay.
TEST_P(MacDialogControls, ShowWhatTheWindowsDialogShows) {
    const bool advanced = GetParam();
    pData.showAdvanced = advanced;
    mac_dialog_test::Session s;
    s.look = [&](WindowRef window) {
        EXPECT_FALSE(mac_dialog_test::visible(window, 24));
        EXPECT_FALSE(mac_dialog_test::visible(window, proxyEyedropperControlID));
        const bool instructionsShown = productIsHalvane() ? !advanced : true;
        for (int32 id = 932; id <= 937; ++id)
            EXPECT_EQ(mac_dialog_test::visible(window, id), instructionsShown) << "instruction " << id;
    };
    EXPECT_TRUE(run(s));
}

INSTANTIATE_TEST_SUITE_P(SimpleAndAdvanced, MacDialogControls, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Advanced" : "Simple");
                         });

struct KeyCase {
    const char* name;
    int32_t focus;  // 0: no control has the focus
    const char* keys;
    bool filters;
    double level;  // parameter 0 as the dialog ends
};

void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.name; }

class MacDialogKeys : public mac_dialog_test::MacDialogTest, public ::testing::WithParamInterface<KeyCase> {};

// The person's keys end the dialog on its first turn: the user answers
// nothing (Cancel) only if they did not.
int turns = 0;
const KeyCase* typed = nullptr;
uint32_t typeTheKeys(const char* windowName, void*) {
    if (turns++ == 0) {
        const CarbonScriptEvent keys{kScriptKeys, 0, typed->focus, 0, 0, 0, typed->keys};
        CarbonStandInQueueScript(&keys, 1);
        return mac_dialog_test::kNothing;
    }
    return std::string(windowName) == "prototypeAbout" ? kHICommandClose : kHICommandCancel;
}

// Return and Enter are OK and Escape is Cancel, also straight after typing
// into an edit box, which keeps what was typed.
TEST_P(MacDialogKeys, ReturnAndEnterConfirmAndEscapeCancels) {
    const KeyCase& c = GetParam();
    block.values[0] = 40;
    turns = 0;
    typed = &c;
    CarbonStandInSetModalResponder(typeTheKeys, nullptr);
    EXPECT_EQ(DoUI(), c.filters);
    EXPECT_EQ(turns, 1) << "the keys did not end the dialog";
    EXPECT_EQ(block.values[0], c.level);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, MacDialogKeys,
    ::testing::Values(KeyCase{"Return", 0, "\r", true, 40}, KeyCase{"Enter", 0, "\x03", true, 40},
                      KeyCase{"Escape", 0, "\x1b", false, 40},
                      KeyCase{"ReturnAfterTyping", 22, "\b\b7\r", true, 7},
                      KeyCase{"EnterAfterTyping", 22, "\b5\x03", true, 45},
                      KeyCase{"EscapeAfterTyping", 22, "\b\b7\x1b", false, 7}),
    [](const ::testing::TestParamInfo<KeyCase>& info) { return std::string(info.param.name); });

// Its one button is both: Return, Enter and Escape close the About window.
TEST_F(MacDialog, AboutClosesOnReturnEnterAndEscape) {
    for (const char* key : {"\r", "\x03", "\x1b"}) {
        const KeyCase c{"About", 0, key, false, 0};
        turns = 0;
        typed = &c;
        CarbonStandInSetModalResponder(typeTheKeys, nullptr);
        DoAbout(kProductTitle);
        EXPECT_EQ(turns, 1) << "the key did not close the About window";
    }
}

TEST_F(MacDialog, AboutShowsItsTextsAndClosesItsWindowOnce) {
    seen.answer = kHICommandClose;
    DoAbout(kProductTitle);
    EXPECT_EQ(seen.window, "prototypeAbout");
    EXPECT_EQ(seen.texts[0], kProductTitle);
    EXPECT_EQ(seen.texts[1], "www.vexlor.example");
    EXPECT_EQ(seen.texts[2], "Free plug-ins from Vexlor: www.vexlor.example/free");
}
}  // namespace
