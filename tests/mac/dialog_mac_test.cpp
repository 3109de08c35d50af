// The Mac dialog's window from the product's nib: OK and Cancel, a window
// that cannot be made, and the About window.
#include <gtest/gtest.h>

#include <Carbon.h>

#include <string>

#include "engine/product.h"
#include "entry/start.h"
#include "mac/dialog_mac.h"
#include "mac/mac_dialog_support.h"

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

TEST_F(MacDialog, AboutShowsItsTextsAndClosesItsWindowOnce) {
    seen.answer = kHICommandClose;
    DoAbout(kProductTitle);
    EXPECT_EQ(seen.window, "prototypeAbout");
    EXPECT_EQ(seen.texts[0], kProductTitle);
    EXPECT_EQ(seen.texts[1], "www.vexlor.example");
    EXPECT_EQ(seen.texts[2], "Free plug-ins from Vexlor: www.vexlor.example/free");
}
}  // namespace
