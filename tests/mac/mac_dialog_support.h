// The Mac dialog of the product linked in, steered through the Carbon
// stand-in's modal loop by the sessions of support/carbon_session.h, with
// the parameter block and the preview's state in this process.
#pragma once

#include <gtest/gtest.h>

#include <Carbon.h>

#include "dialog/control_tables.h"
#include "dialog/edit_fields.h"
#include "engine/product.h"
#include "mac/dialog_mac.h"
#include "preview/proxy.h"
#include "refhost/refhost.h"
#include "support/carbon_session.h"
#include "support/host_fixture.h"

namespace mac_dialog_test {
using namespace carbon_session;

// The preview pane of the nib (item 900), which the framework's set-up
// allots to the preview.
inline void allotThePreviewPane() {
    pData.allotedWidth = 823 - 465;
    pData.allotedHeight = 784 - 437;
}

// The dialog in this process, on a 64 x 64 document with the product's
// defaults; nothing may be left open or misused after a test.
class MacDialogTest : public HostFixture {
protected:
    void SetUp() override {
        makeHost(plugInModeRGBColor, 64, 64);
        block.values = DefaultGUI;
        block.flags = BooleanDefault;
        gParams = &block;
        pData = previewProxyData{};
        allotThePreviewPane();
        CarbonStandInClearFaults();
        CarbonStandInClearScript();
    }
    void TearDown() override {
        CarbonStandInSetModalResponder(nullptr, nullptr);
        CarbonStandInSetNavResponder(nullptr, nullptr);
        CarbonStandInClearScript();
        CarbonStandInFailNib(nullptr);
        CarbonStandInFailWindows(0);
        EXPECT_EQ(CarbonStandInLiveWindows(), 0);
        EXPECT_EQ(CarbonStandInFaults(), 0) << CarbonStandInFirstFault();
        EXPECT_EQ(storedWRef, nullptr);
        pData = previewProxyData{};
        HostFixture::TearDown();
    }
    // Runs DoUI with the session; its result.
    bool run(Session& s) {
        s.host = &host();
        CarbonStandInSetModalResponder(Session::respond, &s);
        const bool ok = DoUI();
        CarbonStandInSetModalResponder(nullptr, nullptr);
        EXPECT_TRUE(s.looked) << "the dialog ended before the session looked at it";
        return ok;
    }

    ParamBlock block;
};

}  // namespace mac_dialog_test
