// The start selector's product rules, through both loaded modules: the
// flags remembered in the registry and those a script sets, with the dialog
// (the Mac form on the Carbon stand-in) shown or not, answered or
// cancelled.  Each row says which flags the run ends with in the parameter
// block and in both stores, whether the conflict alert came, whether
// profiling ran and with which preset, and what a cancel leaves.
#include <gtest/gtest.h>

#include <Carbon.h>

#include <string>
#include <vector>

#include "plugin/plugin_support.h"
#include "refhost/refhost.h"
#include "support/carbon_session.h"

using carbon_session::Session;
using refhost::Descriptor;
using refhost::DescriptorEntry;
using refhost::Document;
using refhost::Host;
using refhost::Plugin;

namespace {
const char* const kConflictText =
    "Both profile digital and film settings are on.  Film profiling on UI loading will be disabled.";

// The flags the rules act on: 2 (Halvane: preview without the original
// detail), 3 (profile digital when the dialog opens), 4 (film) and 7
// (profile even without the dialog).  -1 for a flag a script leaves out.
struct Flags {
    int f2, f3, f4, f7;
};
const int kRuledFlags[4] = {2, 3, 4, 7};
int flagOf(const Flags& f, int i) { return i == 0 ? f.f2 : i == 1 ? f.f3 : i == 2 ? f.f4 : f.f7; }

enum class Dialog { notShown, ok, cancel };

// What the registry holds for the first two values, what every script sets
// value 0 to, and the presets profiling sets value 1 to.
constexpr double kRememberedLevel = 33, kRememberedHighlights = 0.5, kScriptedLevel = 12.5;
constexpr double kDigital = 0.2, kFilm = 1.0, kNotProfiled = 0;

struct StartCase {
    const char* name;
    const char* product;
    Flags registry, script;
    Dialog dialog;
    std::vector<int32_t> clicks;  // boxes the user clicks in the dialog: 502 digital, 504 film, 506 always
    Flags end;
    bool conflictAlert;
    double preset;  // the preset profiling ran with, kNotProfiled when it did not run
};

void PrintTo(const StartCase& c, std::ostream* os) { *os << c.name; }

const Flags kNone = {-1, -1, -1, -1};

const StartCase kStartCases[] = {
    // A script never changes Glimra's choice of profiling; Halvane takes it.
    {"GlimraKeepsTheRememberedDigitalProfiling", "glimra", {0, 1, 0, 0}, {-1, 0, -1, -1}, Dialog::notShown, {},
     {0, 1, 0, 0}, false, kNotProfiled},
    {"HalvaneTakesTheScriptsDigitalProfiling", "halvane", {0, 1, 0, 0}, {-1, 0, -1, -1}, Dialog::notShown, {},
     {0, 0, 0, 0}, false, kNotProfiled},
    {"GlimraIgnoresAScriptsProfilingFlags", "glimra", {0, 0, 0, 0}, {-1, 1, 1, 1}, Dialog::notShown, {},
     {0, 0, 0, 0}, false, kNotProfiled},
    {"HalvaneScriptedConflictProfilesDigitalWithoutTheDialog", "halvane", {0, 0, 0, 0}, {-1, 1, 1, 1},
     Dialog::notShown, {}, {0, 1, 0, 1}, true, kDigital},
    // Digital and film both on: film goes, once, and digital profiling runs
    // only when flag 7 is on or the dialog shows.
    {"GlimraRememberedConflictWithoutTheDialog", "glimra", {0, 1, 1, 0}, kNone, Dialog::notShown, {},
     {0, 1, 0, 0}, true, kNotProfiled},
    {"GlimraRememberedConflictWithTheDialog", "glimra", {0, 1, 1, 0}, kNone, Dialog::ok, {}, {0, 1, 0, 0}, true,
     kDigital},
    {"HalvaneScriptedConflictWithTheDialog", "halvane", {0, 0, 0, 0}, {-1, 1, 1, 0}, Dialog::ok, {},
     {0, 1, 0, 0}, true, kDigital},
    // Flag 7 profiles without the dialog, as film when film is on, else as
    // digital, which it then turns on.  Halvane clears flag 2; Glimra keeps
    // the script's.
    {"HalvaneFilmWithoutTheDialog", "halvane", {1, 0, 1, 1}, kNone, Dialog::notShown, {}, {0, 0, 1, 1}, false,
     kFilm},
    {"HalvaneAlwaysProfileTurnsDigitalOn", "halvane", {0, 0, 0, 1}, {1, -1, -1, -1}, Dialog::notShown, {},
     {0, 1, 0, 1}, false, kDigital},
    {"GlimraAlwaysProfileKeepsTheScriptsFlag2", "glimra", {0, 0, 0, 1}, {1, -1, -1, -1}, Dialog::notShown, {},
     {1, 1, 0, 1}, false, kDigital},
    // The dialog profiles only when a profiling flag asks for it.
    {"GlimraDialogWithoutProfilingFlags", "glimra", {0, 0, 0, 0}, kNone, Dialog::ok, {}, {0, 0, 0, 0}, false,
     kNotProfiled},
    {"HalvaneDialogProfilesDigital", "halvane", {1, 1, 0, 0}, kNone, Dialog::ok, {}, {0, 1, 0, 0}, false, kDigital},
    // Flag 7 has profiled before the dialog: the dialog does not again.
    {"GlimraAlwaysProfileWithTheDialogProfilesOnce", "glimra", {0, 0, 0, 1}, kNone, Dialog::ok, {}, {0, 1, 0, 1},
     false, kDigital},
    {"HalvaneAlwaysProfileFilmWithTheDialogProfilesOnce", "halvane", {0, 0, 1, 1}, kNone, Dialog::ok, {},
     {0, 0, 1, 1}, false, kFilm},
    // Cancel: every value and flag as remembered, but for the profiling
    // choices the user left in the dialog (after its own profiling).
    {"GlimraCancelKeepsTheUsersFilmProfiling", "glimra", {0, 1, 0, 0}, kNone, Dialog::cancel, {504},
     {0, 0, 1, 0}, false, kDigital},
    {"HalvaneCancelKeepsTheUsersChoicesAndRestoresFlag2", "halvane", {1, 1, 0, 0}, {0, -1, -1, -1},
     Dialog::cancel, {504, 506}, {1, 0, 1, 1}, false, kDigital},
    {"GlimraCancelAfterFilmProfiling", "glimra", {1, 0, 1, 0}, {0, -1, -1, -1}, Dialog::cancel, {}, {1, 0, 1, 0},
     false, kFilm},
};

Registry rememberedFor(const StartCase& c) {
    Registry r = rememberedSettings(c.product);
    remember(r, kNoiseLevelKey, kRememberedLevel);
    remember(r, kHighlightsNoiseKey, kRememberedHighlights);
    for (int i = 0; i < 4; ++i) remember(r, kFlagKeys[kRuledFlags[i]], flagOf(c.registry, i));
    return r;
}

Descriptor scriptFor(const StartCase& c) {
    Descriptor d = {DescriptorEntry::Float(kNoiseLevelKey, kScriptedLevel)};
    for (int i = 0; i < 4; ++i)
        if (flagOf(c.script, i) >= 0)
            d.push_back(DescriptorEntry::Boolean(kFlagKeys[kRuledFlags[i]], flagOf(c.script, i) != 0));
    return d;
}

// The product's entries in the registry: the descriptor that holds the flags.
const Descriptor* rememberedEntries(Host& host) {
    for (const auto& entry : host.registry())
        if (refhost::findEntry(entry.second, kFlagKeys[3])) return &entry.second;
    return nullptr;
}

// The flags and first two values a store holds, against the block's.
void expectStoreHolds(const Descriptor* store, const Block& b, const char* name) {
    ASSERT_NE(store, nullptr) << name;
    for (int flag : kRuledFlags) {
        const DescriptorEntry* e = refhost::findEntry(*store, kFlagKeys[flag]);
        ASSERT_NE(e, nullptr) << name << " flag " << flag;
        EXPECT_EQ(e->b, b.flags[flag] != 0) << name << " flag " << flag;
    }
    const DescriptorEntry* level = refhost::findEntry(*store, kNoiseLevelKey);
    const DescriptorEntry* highlights = refhost::findEntry(*store, kHighlightsNoiseKey);
    ASSERT_TRUE(level && highlights) << name;
    EXPECT_EQ(level->f, b.values[0]) << name;
    EXPECT_EQ(highlights->f, b.values[1]) << name;
}

// The document every row runs on: three rows of profiling's 32-pixel blocks.
constexpr int32 kWidth = 128, kHeight = 96;

// Profiling's coarse measure fetches four strips two rows high per row of
// blocks; nothing else fetches two rows.  The number of times it ran.
double profilingRuns(const Host& host) {
    int n = 0;
    for (const refhost::AdvanceCall& call : host.advanceCalls()) n += call.inRect.bottom - call.inRect.top == 2;
    return n / (4.0 * (kHeight / 32));
}
}  // namespace

class StartRules : public testing::TestWithParam<StartCase> {
protected:
    void SetUp() override { CarbonStandInClearFaults(); }
    void TearDown() override {
        CarbonStandInSetModalResponder(nullptr, nullptr);
        CarbonStandInClearScript();
        EXPECT_EQ(CarbonStandInLiveWindows(), 0);
        EXPECT_EQ(CarbonStandInFaults(), 0) << CarbonStandInFirstFault();
    }
};

TEST_P(StartRules, FlagsAlertProfilingAndTheStores) {
    const StartCase& c = GetParam();
    Plugin plugin(modulePath(c.product), true);
    Document doc(plugInModeRGBColor, kWidth, kHeight);
    doc.fillPattern(8);
    Host host(doc);
    host.registry() = rememberedFor(c);
    host.setScriptDescriptor(scriptFor(c),
                             c.dialog == Dialog::notShown ? plugInDialogDontDisplay : plugInDialogDisplay);

    Session s;
    s.host = &host;
    s.act = [&](WindowRef window) {
        std::vector<CarbonScriptEvent> events;
        for (int32_t id : c.clicks) events.push_back(carbon_session::click(window, id));
        s.queue(events);
    };
    s.answer = c.dialog == Dialog::cancel ? kHICommandCancel : kHICommandOK;
    CarbonStandInSetModalResponder(Session::respond, &s);
    const int16 result = refhost::runFilter(plugin, host).result;
    CarbonStandInSetModalResponder(nullptr, nullptr);

    EXPECT_EQ(s.looked, c.dialog != Dialog::notShown) << "the dialog shown";
    EXPECT_EQ(host.alerts(), c.conflictAlert ? std::vector<std::string>{kConflictText} : std::vector<std::string>{});
    EXPECT_EQ(profilingRuns(host), c.preset != kNotProfiled ? 1 : 0);

    const Block b = decode(host.parameterBytes());
    for (int i = 0; i < 4; ++i) EXPECT_EQ(b.flags[kRuledFlags[i]], flagOf(c.end, i)) << "flag " << kRuledFlags[i];
    if (c.dialog == Dialog::cancel) {
        EXPECT_EQ(result, userCanceledErr);
        EXPECT_EQ(b.values[0], kRememberedLevel);
        EXPECT_EQ(b.values[1], kRememberedHighlights);
        EXPECT_TRUE(host.document() == doc);
    } else {
        EXPECT_EQ(result, noErr);
        EXPECT_EQ(b.values[1], c.preset != kNotProfiled ? c.preset : kRememberedHighlights);
        if (c.preset == kNotProfiled) {
            EXPECT_EQ(b.values[0], kScriptedLevel);
        }
        EXPECT_FALSE(host.document() == doc);
    }
    // Both stores hold the state the run ended with: written by the finish
    // selector after a filtering run, by the start selector on cancel.
    expectStoreHolds(rememberedEntries(host), b, "registry");
    const std::optional<Descriptor> scripted = host.scriptDescriptor();
    expectStoreHolds(scripted ? &*scripted : nullptr, b, "script descriptor");
    EXPECT_TRUE(host.clean()) << host.leakReport();
}

INSTANTIATE_TEST_SUITE_P(Cases, StartRules, testing::ValuesIn(kStartCases),
                         [](const testing::TestParamInfo<StartCase>& i) { return std::string(i.param.name); });

// The lifting structure needs more than 3 pixels of border at each of its
// 3 levels: a side of 24 pixels or less is refused before anything is read
// or shown, and the image stays as it was.
struct SizeCase {
    const char* product;
    int32 width, height;
    bool refused;
};

class TooSmall : public testing::TestWithParam<SizeCase> {
protected:
    void TearDown() override {
        CarbonStandInSetModalResponder(nullptr, nullptr);
        EXPECT_EQ(CarbonStandInLiveWindows(), 0);
    }
};

TEST_P(TooSmall, ImagesAreRefusedBeforeAnythingIsReadOrShown) {
    const SizeCase& c = GetParam();
    const std::string name = std::string(c.product) == "glimra" ? "Glimra" : "Halvane";
    Plugin plugin(modulePath(c.product), true);
    Document doc(plugInModeRGBColor, c.width, c.height);
    doc.fillPattern(2);
    Host host(doc);
    host.registry() = settingsWithoutProfiling(c.product);
    host.setScriptDescriptor(Descriptor(), plugInDialogDisplay);
    Session s;
    s.host = &host;
    CarbonStandInSetModalResponder(Session::respond, &s);
    const int16 result = refhost::runFilter(plugin, host).result;
    if (c.refused) {
        EXPECT_EQ(result, userCanceledErr);
        EXPECT_EQ(host.alerts(), std::vector<std::string>{name + " error: Image is too small."});
        EXPECT_FALSE(s.looked) << "the dialog was shown";
        EXPECT_TRUE(host.advanceCalls().empty());
        EXPECT_TRUE(host.document() == doc);
    } else {
        EXPECT_EQ(result, noErr);
        EXPECT_TRUE(host.alerts().empty()) << host.alerts()[0];
        EXPECT_TRUE(s.looked) << "the dialog was not shown";
        EXPECT_FALSE(host.document() == doc);
    }
    EXPECT_TRUE(host.clean()) << host.leakReport();
}

INSTANTIATE_TEST_SUITE_P(Sizes, TooSmall,
                         testing::Values(SizeCase{"glimra", 24, 1000, true}, SizeCase{"halvane", 24, 1000, true},
                                         SizeCase{"glimra", 1000, 24, true}, SizeCase{"halvane", 1000, 24, true},
                                         SizeCase{"glimra", 25, 25, false}, SizeCase{"halvane", 25, 25, false}),
                         [](const testing::TestParamInfo<SizeCase>& i) {
                             return std::string(i.param.product) + "_" + std::to_string(i.param.width) + "x" +
                                    std::to_string(i.param.height);
                         });
