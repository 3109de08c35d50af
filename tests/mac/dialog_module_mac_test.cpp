// The Mac dialog of a loaded module, run by the host's start selector: the
// host's result and image after OK, Cancel and a dialog that cannot open,
// and a second dialog of the same loaded module that works as the first.
#include <Carbon.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "entry/params.h"
#include "mac/mac_dialog_support.h"
#include "support/product_under_test.h"

namespace {
using namespace mac_dialog_test;
using refhost::Document;
using refhost::Host;
using refhost::Plugin;

ParamBlock blockOf(const Host& host) {
    const std::vector<uint8_t> bytes = host.parameterBytes();
    ParamBlock b{};
    EXPECT_EQ(bytes.size(), sizeof b);
    if (bytes.size() == sizeof b) std::memcpy(&b, bytes.data(), sizeof b);
    return b;
}

class MacDialogModule : public ::testing::Test {
protected:
    MacDialogModule() : doc(plugInModeRGBColor, 64, 64) { doc.fillPattern(7); }
    void SetUp() override { CarbonStandInClearFaults(); }
    void TearDown() override {
        CarbonStandInSetModalResponder(nullptr, nullptr);
        CarbonStandInFailNib(nullptr);
        EXPECT_EQ(CarbonStandInLiveWindows(), 0);
        EXPECT_EQ(CarbonStandInFaults(), 0) << CarbonStandInFirstFault();
    }
    // One filter run with the dialog; the session answers it.
    int16 runWithDialog(Host& host, Session& s) {
        s.host = &host;
        CarbonStandInSetModalResponder(Session::respond, &s);
        const int16 result = refhost::runFilter(plugin, host).result;
        CarbonStandInSetModalResponder(nullptr, nullptr);
        return result;
    }

    Plugin plugin{std::string(VEXLOR_PLUGIN_DIR) + "/" + (productIsHalvane() ? "halvane" : "glimra") + ".plugin.so",
                  true};
    Document doc;
};

TEST_F(MacDialogModule, TheSecondDialogChangesItsParameterRedrawsAndFiltersWithIt) {
    const double moved = 150 / SldrScaleGUI[12];
    Host first(doc);
    Session untouched;
    untouched.look = [](WindowRef) {};
    ASSERT_EQ(runWithDialog(first, untouched), noErr);
    EXPECT_NE(first.document(), doc);
    EXPECT_EQ(blockOf(first).values[12], DefaultGUI[12]);
    EXPECT_TRUE(first.clean()) << first.leakReport();

    Host second(doc);
    Session sliding;
    sliding.act = [&](WindowRef) { sliding.queue({slide(141, 150)}); };
    sliding.look = [&](WindowRef window) {
        char shown[64];
        std::snprintf(shown, sizeof shown, "%g", moved);
        EXPECT_EQ(textOf(window, 142), shown);
        EXPECT_EQ(valueOf(window, 141), 150);
    };
    ASSERT_EQ(runWithDialog(second, sliding), noErr);
    EXPECT_TRUE(second.alerts().empty()) << second.alerts()[0];
    // The slide redrew: more display calls than the untouched dialog made.
    EXPECT_GT(second.displayCalls().size(), first.displayCalls().size());
    EXPECT_EQ(blockOf(second).values[12], moved);
    // Filtered with the new value, not the first dialog's.
    EXPECT_NE(second.document(), first.document());
    EXPECT_NE(second.document(), doc);
    EXPECT_TRUE(second.clean()) << second.leakReport();
}

TEST_F(MacDialogModule, CancelLeavesTheImageAndTheParametersAsTheyWere) {
    Host host(doc);
    Session s;
    s.act = [&](WindowRef window) { s.queue({slide(141, 150), click(window, 34)}); };
    s.look = [](WindowRef) {};
    s.answer = kHICommandCancel;
    EXPECT_EQ(runWithDialog(host, s), userCanceledErr);
    EXPECT_EQ(host.document(), doc);
    const ParamBlock b = blockOf(host);
    EXPECT_EQ(b.values[12], DefaultGUI[12]);
    EXPECT_EQ(b.flags[2], 0);
    EXPECT_TRUE(host.clean()) << host.leakReport();
}

TEST_F(MacDialogModule, ADialogThatCannotOpenIsACancelAfterAnAlert) {
    CarbonStandInFailNib("PrototypeGUI");
    Host host(doc);
    Session s;
    EXPECT_EQ(refhost::runFilter(plugin, host).result, userCanceledErr);
    EXPECT_EQ(host.document(), doc);
    ASSERT_EQ(host.alerts().size(), 1u);
    EXPECT_EQ(host.alerts()[0], "(Vexlor) The dialog cannot be opened.  Please reinstall the plug-in.");
    EXPECT_TRUE(host.clean()) << host.leakReport();
    // The next run opens its dialog.
    CarbonStandInFailNib(nullptr);
    Host next(doc);
    s.look = [](WindowRef) {};
    EXPECT_EQ(runWithDialog(next, s), noErr);
    EXPECT_TRUE(s.looked);
}
}  // namespace

namespace {
// A script's value far beyond the slider (which the engine's derivation
// brings to its own limit, still beyond the slider): the slider stops at its
// end, and the run goes on.
TEST_F(MacDialogModule, AScriptValueOf1e12PutsTheSliderAtItsEnd) {
    Host host(doc);
    host.setScriptDescriptor({refhost::DescriptorEntry::Float(keyGUIParams[0], 1e12)}, plugInDialogDisplay);
    Session s;
    s.look = [](WindowRef window) {
        EXPECT_EQ(valueOf(window, SldrGUI[0]), SldrHighGUI[0]);
    };
    EXPECT_EQ(runWithDialog(host, s), noErr);
    EXPECT_TRUE(s.looked);
    EXPECT_TRUE(host.clean()) << host.leakReport();
}
}  // namespace
