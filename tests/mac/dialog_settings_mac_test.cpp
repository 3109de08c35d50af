// Save and Load Settings from the Mac dialog, through the stand-in's file
// dialogs: a loaded file sets every value and flag, and every control,
// box and protection label shows it.
#include <Carbon.h>

#include <cstdlib>
#include <string>

#include "entry/params.h"
#include "entry/settings_file.h"
#include "mac/mac_dialog_support.h"
#include "support/product_under_test.h"

namespace {
using namespace mac_dialog_test;

struct FileUser {
    NavUserAction action = kNavUserActionCancel;
    std::string path, fileName;
    static void respond(const CarbonNavRequest*, CarbonNavAnswer* answer, void* context) {
        FileUser& u = *static_cast<FileUser*>(context);
        *answer = CarbonNavAnswer{u.action, u.path.c_str(), u.fileName.c_str(), false, false};
    }
};

class MacDialogSettings : public MacDialogTest {
protected:
    void SetUp() override {
        MacDialogTest::SetUp();
        char folder[] = "/tmp/mac-dialog-settings-XXXXXX";
        ASSERT_TRUE(mkdtemp(folder));
        dir = folder;
        CarbonStandInSetNavResponder(FileUser::respond, &user);
    }
    void TearDown() override {
        std::system(("rm -rf '" + dir + "'").c_str());
        MacDialogTest::TearDown();
    }
    // A block of the product's ranges that is no default, with every flag set.
    static ParamBlock distinct() {
        ParamBlock b{};
        for (int i = 0; i < kParamValueCount; ++i)
            b.values[i] = SldrLowGUI[i] / (SldrScaleGUI[i] ? SldrScaleGUI[i] : 1) + 0.25;
        for (int f = 0; f < kParamFlagCount; ++f) b.flags[f] = 1;
        return b;
    }

    std::string dir;
    FileUser user;
};

TEST_F(MacDialogSettings, LoadSetsEveryValueFlagAndControl) {
    const std::string path = dir + "/chosen.set";
    {
        ParamBlock saved = distinct();
        ParamBlock* live = gParams;
        gParams = &saved;
        ASSERT_TRUE(writeParamsToFile(makeParamStructure(), path, kSettingsMagic));
        gParams = live;
    }
    block.flags[6] = 0;
    user.action = kNavUserActionOpen;
    user.path = path;
    Session s;
    s.act = [&](WindowRef window) { s.queue({click(window, 904)}); };
    s.look = [&](WindowRef window) {
        const ParamBlock file = distinct();
        for (int f = 0; f < kParamFlagCount; ++f) EXPECT_EQ(block.flags[f], file.flags[f]) << "flag " << f;
        for (int f = 0; f < kParamFlagCount; ++f)
            if (BooleanID[f] != 0 && valueOf(window, BooleanID[f]) >= 0) {
                EXPECT_EQ(valueOf(window, BooleanID[f]), 1) << "box of flag " << f;
            }
        for (int i = 0; i < 20; ++i) {
            if (textOf(window, EditGUI[i]) == "(none)") continue;
            char shown[64];
            std::snprintf(shown, sizeof shown, "%g", block.values[i]);
            EXPECT_EQ(textOf(window, EditGUI[i]), shown) << i;
        }
        if (productIsHalvane()) {
            EXPECT_EQ(textOf(window, 190), "Shadow protect threshold");
            EXPECT_EQ(textOf(window, 200), "Shadow protect feather");
        }
    };
    EXPECT_TRUE(run(s));
    EXPECT_EQ(s.recomputes, 1);
    EXPECT_TRUE(alerts().empty());
}

TEST_F(MacDialogSettings, SaveWritesTheValuesTheDialogShows) {
    user.action = kNavUserActionSaveAs;
    user.path = dir;
    user.fileName = "mine.set";
    Session s;
    s.act = [&](WindowRef window) { s.queue({slide(141, 150), click(window, 903)}); };
    s.look = [](WindowRef) {};
    EXPECT_TRUE(run(s));
    ParamBlock loaded{};
    gParams = &loaded;
    EXPECT_TRUE(loadParamsFromFile(makeParamStructure(), dir + "/mine.set", kSettingsMagic));
    gParams = &block;
    EXPECT_EQ(loaded.values[12], 150 / SldrScaleGUI[12]);
    for (int i = 0; i < kParamValueCount; ++i) EXPECT_EQ(loaded.values[i], block.values[i]) << i;
}

TEST_F(MacDialogSettings, ABadFileChangesNothing) {
    const std::string path = dir + "/bad.set";
    std::system(("printf 'not a settings file' > '" + path + "'").c_str());
    user.action = kNavUserActionOpen;
    user.path = path;
    const ParamBlock before = block;
    Session s;
    s.act = [&](WindowRef window) { s.queue({click(window, 904)}); };
    s.look = [](WindowRef) {};
    EXPECT_TRUE(run(s));
    for (int i = 0; i < kParamValueCount; ++i) EXPECT_EQ(block.values[i], before.values[i]) << i;
    for (int f = 0; f < kParamFlagCount; ++f) EXPECT_EQ(block.flags[f], before.flags[f]) << f;
    EXPECT_FALSE(alerts().empty());
    host().clearAlerts();
}
}  // namespace
