// The Mac settings-file dialogs on the Carbon stand-in: a responder plays the
// user of the file dialog (save, open, cancel, and replies that go wrong).
#include <Carbon.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "entry/settings_file.h"
#include "mac/settings_dialogs_mac.h"
#include "persistence/persistence_support.h"
#include "persistence/settings_files_support.h"
#include "support/product_under_test.h"

namespace {

using persistence_test::BoundHost;
using persistence_test::distinctBlock;
using persistence_test::sameBlock;
using settings_test::put;
using settings_test::slurp;

const char* const kPathError = "Error getting file path.  Note that unicode strings are not supported.";
const char* const kLoadError = "Error loading parameters from file.  Not all parameters may be loaded.";
const char* const kNotValid = "Not a valid settings file.  No settings or parameters will be loaded.";

// The user at the file dialog: what each dialog is answered with, and what
// the dialogs asked.
struct User {
    CarbonNavAnswer answer{kNavUserActionCancel, nullptr, nullptr, false, false};
    std::string path, fileName;
    std::vector<CarbonNavRequest> requests;
    std::vector<std::string> proposedNames;

    static void respond(const CarbonNavRequest* request, CarbonNavAnswer* answer, void* context) {
        User* user = static_cast<User*>(context);
        user->requests.push_back(*request);
        user->proposedNames.push_back(request->proposedName ? request->proposedName : "");
        *answer = user->answer;
        answer->path = user->path.c_str();
        answer->fileName = user->fileName.c_str();
    }
};

class MacSettingsDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.empty());
        CarbonStandInSetNavResponder(User::respond, &user);
        liveCF_ = CarbonStandInLiveObjects();
        liveNav_ = CarbonStandInLiveNavObjects();
    }
    void TearDown() override {
        CarbonStandInSetNavResponder(nullptr, nullptr);
        EXPECT_EQ(CarbonStandInLiveObjects(), liveCF_) << "Core Foundation strings left";
        EXPECT_EQ(CarbonStandInLiveNavObjects(), liveNav_) << "dialogs, replies or descriptors left";
    }
    void save(const std::string& name) {
        user.answer.action = kNavUserActionSaveAs;
        user.path = dir_;
        user.fileName = name;
        saveSettings(makeParamStructure(), kSettingsMagic);
    }
    void load(const std::string& name) {
        user.answer.action = kNavUserActionOpen;
        user.path = dir_ + "/" + name;
        loadSettings(makeParamStructure(), kSettingsMagic);
    }
    std::string path(const std::string& name) const { return folder.path(name); }
    int filesIn() const { return int(folder.files().size()); }
    const std::vector<std::string>& alerts() { return bound.host.alerts(); }

    BoundHost bound{refhost::Document(plugInModeRGBColor, 8, 8)};
    User user;
    settings_test::TempFolder folder;
    const std::string& dir_ = folder.dir();
    long liveCF_ = 0, liveNav_ = 0;
};

TEST_F(MacSettingsDialogs, SaveWritesTheFileWithTypeAndCreator) {
    const ParamBlock saved = bound.block = distinctBlock();
    save("mine.set");
    ASSERT_EQ(user.requests.size(), 1u);
    const CarbonNavRequest& r = user.requests[0];
    EXPECT_EQ(r.kind, kCarbonNavPutFile);
    EXPECT_EQ(user.proposedNames[0], productIsHalvane() ? "untitled.hlv" : "untitled.glm");
    EXPECT_EQ(r.fileType, productIsHalvane() ? FourCC("HLV ") : FourCC("GLM "));
    EXPECT_EQ(r.fileCreator, FourCC("Qvtz"));
    EXPECT_EQ(r.preferenceKey, 1234u);
    EXPECT_TRUE(alerts().empty());

    OSType type = 0, creator = 0;
    ASSERT_TRUE(CarbonStandInFinderInfo(path("mine.set").c_str(), &type, &creator));
    EXPECT_EQ(type, kSettingsFileType);
    EXPECT_EQ(creator, FourCC("Qvtz"));
    bound.block = distinctBlock();
    bound.block.values[3] = -1;
    ASSERT_TRUE(loadParamsFromFile(makeParamStructure(), path("mine.set"), kSettingsMagic));
    EXPECT_TRUE(sameBlock(bound.block, saved));
}

TEST_F(MacSettingsDialogs, OpenLoadsTheChosenFileFromAListOfEveryFile) {
    const ParamBlock saved = bound.block = distinctBlock();
    ASSERT_TRUE(writeParamsToFile(makeParamStructure(), path("chosen"), kSettingsMagic));
    bound.block.flags = BooleanDefault;
    bound.block.values = DefaultGUI;
    load("chosen");
    ASSERT_EQ(user.requests.size(), 1u);
    EXPECT_EQ(user.requests[0].kind, kCarbonNavGetFile);
    EXPECT_FALSE(user.requests[0].hasTypeList);
    EXPECT_EQ(user.requests[0].preferenceKey, 1234u);
    EXPECT_TRUE(sameBlock(bound.block, saved));
    EXPECT_TRUE(alerts().empty());
}

TEST_F(MacSettingsDialogs, CancelChangesNothing) {
    const ParamBlock before = bound.block;
    user.answer.action = kNavUserActionCancel;
    user.path = dir_;
    saveSettings(makeParamStructure(), kSettingsMagic);
    loadSettings(makeParamStructure(), kSettingsMagic);
    EXPECT_EQ(user.requests.size(), 2u);
    EXPECT_EQ(filesIn(), 0);
    EXPECT_TRUE(sameBlock(bound.block, before));
    EXPECT_TRUE(alerts().empty());
}

TEST_F(MacSettingsDialogs, AnInvalidReplySavesNothingAndRefusesTheLoad) {
    user.answer.invalidReply = true;
    save("never.set");
    EXPECT_EQ(filesIn(), 0);
    EXPECT_TRUE(alerts().empty());
    const ParamBlock before = bound.block;
    load("never.set");
    EXPECT_TRUE(sameBlock(bound.block, before));
    EXPECT_EQ(alerts(), std::vector<std::string>{"Error getting a valid record."});
}

TEST_F(MacSettingsDialogs, ASelectionThatIsNoFileReferenceIsReported) {
    user.answer.uncoercibleSelection = true;
    save("never.set");
    EXPECT_EQ(filesIn(), 0);
    const ParamBlock before = bound.block;
    load("never.set");
    EXPECT_TRUE(sameBlock(bound.block, before));
    EXPECT_EQ(alerts(), (std::vector<std::string>{kPathError, kPathError}));
}

// The name is appended to a UTF-8 folder path in UTF-8: "café" stays "café".
TEST_F(MacSettingsDialogs, ANameBeyondAsciiRoundTrips) {
    for (std::string name : {"caf\xC3\xA9.set", "\xE6\x97\xA5\xE6\x9C\xAC.set", "\xF0\x9F\x93\xB7 photo.set"}) {
        const ParamBlock saved = bound.block = distinctBlock();
        bound.block.values[5] = double(name.size());
        const ParamBlock expected = bound.block;
        save(name);
        struct stat st;
        EXPECT_EQ(stat(path(name).c_str(), &st), 0) << name << " was not written under its own name";
        EXPECT_TRUE(CarbonStandInFinderInfo(path(name).c_str(), nullptr, nullptr)) << name;
        bound.block = saved;
        load(name);
        EXPECT_TRUE(sameBlock(bound.block, expected)) << name;
    }
    EXPECT_TRUE(alerts().empty());
}

TEST_F(MacSettingsDialogs, AWrongMagicGivesTheReadersAlertThenTheDialogs) {
    put(path("other"), std::string(300, 'x'));
    const ParamBlock before = bound.block;
    load("other");
    EXPECT_TRUE(sameBlock(bound.block, before));
    EXPECT_EQ(alerts(), (std::vector<std::string>{kNotValid, kLoadError}));
}

TEST_F(MacSettingsDialogs, ACutFileGivesTheDialogsAlertOnly) {
    ASSERT_TRUE(writeParamsToFile(makeParamStructure(), path("whole"), kSettingsMagic));
    put(path("cut"), slurp(path("whole")).substr(0, 100));
    bound.block = distinctBlock();
    const ParamBlock before = bound.block;
    load("cut");
    EXPECT_TRUE(sameBlock(bound.block, before));
    EXPECT_EQ(alerts(), std::vector<std::string>{kLoadError});
}

// A failed save is reported and the old file and its Finder information stay.
TEST_F(MacSettingsDialogs, AFailedSaveIsReportedAndKeepsTheOldFile) {
    put(path("locked.set"), "old");
    ASSERT_EQ(chmod(path("locked.set").c_str(), 0444), 0);
    save("locked.set");
    EXPECT_EQ(slurp(path("locked.set")), "old");
    EXPECT_EQ(filesIn(), 1);
    EXPECT_FALSE(CarbonStandInFinderInfo(path("locked.set").c_str(), nullptr, nullptr));
    EXPECT_EQ(alerts(), std::vector<std::string>{"Error writing save file.  It may be read-only."});
}

}  // namespace
