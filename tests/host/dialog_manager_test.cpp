// Dialog Manager helpers of the Mac form on the stand-in's dialogs: case
// tables for centring, parameter text, fetching numbers, radio groups and
// check boxes, the moveable modal loop and its filter, and the outlines.
#include <gtest/gtest.h>

#include <Carbon.h>

#include <optional>
#include <string>
#include <vector>

#include "host/dialog_manager_mac.h"
#include "host/dialog_utils_mac.h"
#include "support/host_fixture.h"

namespace {
const int16 kDialogID = 300, kAlertID = 301;
const int16_t kPluginFile = 2;
// 360 x 120, where its resource puts it.
const AlertTemplate kAlert{{40, 40, 160, 400}, kAlertID, 0};

std::string pascal(const std::string& text) { return std::string(1, char(text.size())) + text; }

std::string fromPascal(const unsigned char* p) { return std::string(reinterpret_cast<const char*>(p + 1), p[0]); }

// OK, Cancel, an edit box, a check box, three radio buttons, a static text,
// a radio button after it, a pop-up and a user item.
const CarbonDialogItemSpec kItems[] = {
    {kButtonDialogItem, {100, 200, 120, 260}, "OK"},
    {kButtonDialogItem, {100, 120, 120, 180}, "Cancel"},
    {kEditTextDialogItem, {10, 10, 26, 80}, ""},
    {kCheckBoxDialogItem, {30, 10, 46, 120}, "Box"},
    {kRadioButtonDialogItem, {50, 10, 66, 120}, "A"},
    {kRadioButtonDialogItem, {50, 130, 66, 240}, "B"},
    {kRadioButtonDialogItem, {50, 250, 66, 360}, "C"},
    {kStaticTextDialogItem, {70, 10, 86, 120}, "label"},
    {kRadioButtonDialogItem, {70, 130, 86, 240}, "D"},
    {kResourceControlDialogItem, {90, 10, 106, 120}, ""},
    {kUserDialogItem, {5, 5, 95, 370}, ""},
};
const int kItemCount = int(sizeof kItems / sizeof kItems[0]);

class DialogManager : public HostFixture {
protected:
    void SetUp() override {
        makeHost();
        const Rect bounds{100, 100, 230, 480};
        CarbonStandInDefineDialog(kDialogID, &bounds, kItems, kItemCount);
        CarbonStandInSetMainScreen(1024, 768);
        CarbonStandInClearFaults();
        CarbonStandInClearResources();
        CarbonStandInInstallResource(kPluginFile, 0x414c5254 /* 'ALRT' */, kAlertID, &kAlert, sizeof kAlert);
        CarbonStandInInstallResource(kPluginFile, 0x4449544c /* 'DITL' */, kAlertID, "^0", 2);
        for (auto [id, text] : {std::pair<int16, std::string>{kIntegerRangeStringID, "An integer is required between ^1 and ^2."},
                                {kDecimalRangeStringID, "A decimal number is required between ^1 and ^2."}}) {
            std::string p = pascal(text);
            CarbonStandInInstallResource(kPluginFile, 0x53545220 /* 'STR ' */, id, p.data(), long(p.size()));
        }
        UseResFile(kPluginFile);
        dialog_ = GetNewDialog(kDialogID, nullptr, reinterpret_cast<WindowRef>(-1));
        ASSERT_NE(dialog_, nullptr);
    }
    void TearDown() override {
        DisposeDialog(dialog_);
        EXPECT_EQ(CarbonStandInLiveDialogs(), 0);
        EXPECT_EQ(CarbonStandInFaults(), 0) << CarbonStandInFirstFault();
        CarbonStandInClearResources();
        HostFixture::TearDown();
    }
    void setText(int16 item, const std::string& text) { StuffText(dialog_, item, reinterpret_cast<const unsigned char*>(pascal(text).c_str())); }
    std::string text(int16 item) {
        Str255 t;
        FetchText(dialog_, item, t);
        return fromPascal(t);
    }
    DialogRef dialog_ = nullptr;
};

struct CenterCase {
    int screenWidth, screenHeight;
    Rect in;
    Rect out;
};

class CenterDialogCases : public ::testing::TestWithParam<CenterCase> {};

TEST_P(CenterDialogCases, CentresAcrossAndAThirdDownNeverUnderTheMenuBar) {
    const CenterCase& c = GetParam();
    CarbonStandInSetMainScreen(c.screenWidth, c.screenHeight);
    DialogTemplate t{};
    t.boundsRect = c.in;
    CenterDialog(&t);
    EXPECT_EQ(t.boundsRect.top, c.out.top);
    EXPECT_EQ(t.boundsRect.left, c.out.left);
    EXPECT_EQ(t.boundsRect.bottom, c.out.bottom);
    EXPECT_EQ(t.boundsRect.right, c.out.right);
    CarbonStandInSetMainScreen(1024, 768);
}

INSTANTIATE_TEST_SUITE_P(
    Screens, CenterDialogCases,
    ::testing::Values(CenterCase{1024, 768, {0, 0, 200, 300}, {20 + (768 - 200 - 20) / 3, 362, 20 + (768 - 200 - 20) / 3 + 200, 662}},
                      CenterCase{640, 480, {50, 60, 510, 260}, {20, 220, 480, 420}},      // taller than the screen
                      CenterCase{640, 480, {0, 0, 1000, 800}, {20, -80, 1020, 720}}));  // larger both ways

struct AlertPlaceCase {
    int screenWidth, screenHeight;
    Rect shownAt;
};

class AlertPlaces : public DialogManager, public ::testing::WithParamInterface<AlertPlaceCase> {};

// The 360 x 120 alert centred across the main screen, a third of the way
// down below the menu bar, each time it is shown.
TEST_P(AlertPlaces, ShowAlertTypeCentresItsAlertOnTheMainScreen) {
    const AlertPlaceCase& c = GetParam();
    CarbonStandInSetMainScreen(c.screenWidth, c.screenHeight);
    const unsigned char low[] = "\x01" "1", high[] = "\x02" "10";
    for (int16 type : {kStopAlertType, kCautionAlertType}) {
        EXPECT_EQ(ShowAlertType(dialog_, kAlertID, kIntegerRangeStringID, low, high, type), 1);
        Rect shown;
        CarbonStandInLastAlertBounds(&shown);
        EXPECT_EQ(shown.top, c.shownAt.top);
        EXPECT_EQ(shown.left, c.shownAt.left);
        EXPECT_EQ(shown.bottom, c.shownAt.bottom);
        EXPECT_EQ(shown.right, c.shownAt.right);
    }
    ASSERT_EQ(alerts().size(), 2u);
    EXPECT_EQ(alerts()[0], "An integer is required between 1 and 10.");
    host().clearAlerts();
    CarbonStandInSetMainScreen(1024, 768);
}

// Across: (screen width - 360) / 2; down: 20 + (screen height - 120 - 20) / 3.
INSTANTIATE_TEST_SUITE_P(Screens, AlertPlaces,
                         ::testing::Values(AlertPlaceCase{1024, 768, {20 + 628 / 3, 332, 20 + 628 / 3 + 120, 692}},
                                           AlertPlaceCase{640, 480, {20 + 340 / 3, 140, 20 + 340 / 3 + 120, 500}},
                                           AlertPlaceCase{2560, 1600,
                                                          {20 + 1460 / 3, 1100, 20 + 1460 / 3 + 120, 1460}}));

struct ParamTextCase {
    const char* name;
    std::string text;
    std::vector<std::optional<std::string>> params;  // none: a null string
    std::string expected;
};

class ParamTextCases : public ::testing::TestWithParam<ParamTextCase> {};

TEST_P(ParamTextCases, ReplacesInOnePass) {
    const ParamTextCase& c = GetParam();
    Str255 text;
    std::string p = pascal(c.text);
    std::copy(p.begin(), p.end(), text);
    std::vector<std::string> params;
    std::vector<const unsigned char*> ptrs;
    for (const auto& s : c.params) params.push_back(s ? pascal(*s) : std::string());
    for (size_t i = 0; i < 3; ++i)
        ptrs.push_back(i < c.params.size() && c.params[i] ? reinterpret_cast<const unsigned char*>(params[i].c_str())
                                                         : nullptr);
    PIParamText(text, ptrs[0], ptrs[1], ptrs[2]);
    EXPECT_EQ(fromPascal(text), c.expected);
}

const std::string k255(255, 'x');

INSTANTIATE_TEST_SUITE_P(
    Texts, ParamTextCases,
    ::testing::Values(ParamTextCase{"plain", "between ^1 and ^2.", {"", "1", "10"}, "between 1 and 10."},
                      ParamTextCase{"marker in a replacement stays", "^1 and ^2", {"", "^2", "two"}, "^2 and two"},
                      ParamTextCase{"null strings are empty", "[^0|^1|^2]", {std::nullopt, std::nullopt, std::nullopt}, "[||]"},
                      ParamTextCase{"255 characters cut the rest", "^1 and more", {"", k255, ""}, k255},
                      ParamTextCase{"every marker up to the cut", "^1^1", {"", std::string(200, 'y'), ""},
                                    std::string(255, 'y')},
                      ParamTextCase{"a caret at the end", "cost ^", {}, "cost ^"},
                      ParamTextCase{"^3 is no marker", "^3^0", {"zero"}, "^3zero"}),
    [](const ::testing::TestParamInfo<ParamTextCase>& info) {
        std::string n = info.param.name;
        for (char& ch : n)
            if (!isalnum(uint8_t(ch))) ch = '_';
        return n;
    });

struct FetchCase {
    const char* text;
    int32 min, max;
    int16 result;
    int32 value;
};

class FetchNumberCases : public DialogManager, public ::testing::WithParamInterface<FetchCase> {};

TEST_P(FetchNumberCases, AnswersInRangeOutOfRangeOrNotANumber) {
    const FetchCase& c = GetParam();
    setText(3, c.text);
    int32 value = -1;
    EXPECT_EQ(FetchNumber(dialog_, 3, c.min, c.max, &value), c.result);
    EXPECT_EQ(value, c.value);
}

INSTANTIATE_TEST_SUITE_P(Texts, FetchNumberCases,
                         ::testing::Values(FetchCase{"5", 1, 10, kFetchInRange, 5}, FetchCase{"12", 1, 10, kFetchOutOfRange, 12},
                                           FetchCase{"abc", 1, 10, kFetchNotANumber, 0},
                                           FetchCase{"-3", -5, 0, kFetchInRange, -3},
                                           FetchCase{"", 1, 10, kFetchNotANumber, 0}));

TEST_F(DialogManager, FetchDoubleAndStuffDoubleRoundTrip) {
    StuffDouble(dialog_, 3, 2.5, 3);
    EXPECT_EQ(text(3), "2.5");
    double value = 0;
    EXPECT_EQ(FetchDouble(dialog_, 3, 0.0, 2.0, &value), kFetchOutOfRange);
    EXPECT_EQ(value, 2.5);
    setText(3, "x1");
    EXPECT_EQ(FetchDouble(dialog_, 3, 0.0, 2.0, &value), kFetchNotANumber);
    EXPECT_EQ(value, 0.0);
}

TEST_F(DialogManager, RangeAlertsShowTheirTextRestoreTheValueAndSelectIt) {
    int32 number = 12;
    setText(3, "12x");
    AlertNumber(dialog_, 3, 1, 10, &number, kAlertID);
    EXPECT_EQ(text(3), "12");
    double decimal = 3.25;
    AlertDouble(dialog_, 3, 0.5, 2.0, &decimal, 2, kAlertID);
    EXPECT_EQ(text(3), "3.25");
    ASSERT_EQ(host().alerts().size(), 2u);
    EXPECT_EQ(host().alerts()[0], "An integer is required between 1 and 10.");
    EXPECT_EQ(host().alerts()[1], "A decimal number is required between 0.5 and 2.0.");
    int16_t item, start, end;
    CarbonStandInDialogSelection(dialog_, &item, &start, &end);
    EXPECT_EQ(item, 3);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 32767);
    host().clearAlerts();
}

struct ClickCase {
    int16 item;
    std::vector<int32> before, after;  // items 4 to 9 and the pop-up, 10
};

class ChecksAndRadios : public DialogManager, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(ChecksAndRadios, ClickChangesOnlyItsBoxOrItsGroup) {
    const ClickCase& c = GetParam();
    for (int16 i = 4; i <= 10; ++i) {
        ControlRef control;
        GetDialogItemAsControl(dialog_, i, &control);
        SetControl32BitMaximum(control, 10);
        SetControl32BitValue(control, c.before[size_t(i - 4)]);
    }
    ProcessChecksAndRadios(dialog_, c.item);
    for (int16 i = 4; i <= 10; ++i) {
        ControlRef control;
        GetDialogItemAsControl(dialog_, i, &control);
        EXPECT_EQ(GetControl32BitValue(control), c.after[size_t(i - 4)]) << "item " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Clicks, ChecksAndRadios,
    ::testing::Values(ClickCase{4, {0, 1, 0, 0, 0, 1, 3}, {1, 1, 0, 0, 0, 1, 3}},  // the box turns over
                      ClickCase{6, {1, 1, 0, 0, 0, 1, 3}, {1, 0, 1, 0, 0, 1, 3}},  // its group is 5..7 only
                      ClickCase{9, {0, 1, 0, 0, 0, 0, 3}, {0, 1, 0, 0, 0, 1, 3}},  // a group of one after a text
                      ClickCase{8, {0, 1, 0, 0, 0, 0, 3}, {0, 1, 0, 0, 0, 0, 3}},  // a static text: nothing
                      ClickCase{0, {0, 1, 0, 0, 0, 0, 3}, {0, 1, 0, 0, 0, 0, 3}},  // no item 0
                      ClickCase{12, {0, 1, 0, 0, 0, 0, 3}, {0, 1, 0, 0, 0, 0, 3}}));  // past the last

// The filter a caller passes, recording that it ran and what refCon it saw.
std::vector<long> seenRefCons;
DialogRef innerDialog = nullptr;
Boolean callerFilter(DialogRef dialog, EventRecord* event, int16* item) {
    seenRefCons.push_back(GetMoveableWRefCon(dialog));
    if (event->what == keyDown && char(event->message) == 'n' && innerDialog) {
        // A nested loop on the same dialog (it reads the return queued next)
        // keeps the caller's value too.
        int16 inner = 0;
        MoveableModalDialog(innerDialog, nullptr, &inner);
        seenRefCons.push_back(GetMoveableWRefCon(dialog));
    }
    if (event->what == keyDown && char(event->message) == 'x') {
        *item = 9;
        return true;
    }
    return false;
}

TEST_F(DialogManager, MoveableModalDialogKeepsTheCallersRefConAndSkipsANullFilter) {
    WindowRef window = GetDialogWindow(dialog_);
    SetWRefCon(window, 4242);
    seenRefCons.clear();
    innerDialog = dialog_;
    const EventRecord events[] = {
        {keyDown, 'n', 0, {0, 0}, 0}, {keyDown, '\r', 0, {0, 0}, 0}, {keyDown, 'x', 0, {0, 0}, 0}};
    CarbonStandInQueueDialogEvents(events, 3);
    int16 item = 0;
    MoveableModalDialog(dialog_, callerFilter, &item);
    innerDialog = nullptr;
    EXPECT_EQ(item, 9);
    EXPECT_EQ(seenRefCons, (std::vector<long>{4242, 4242, 4242}));
    EXPECT_EQ(GetWRefCon(window), 4242);
    // No caller filter: the standard one answers escape with Cancel.
    const EventRecord escape{keyDown, 27, 0, {0, 0}, 0};
    CarbonStandInQueueDialogEvents(&escape, 1);
    MoveableModalDialog(dialog_, nullptr, &item);
    EXPECT_EQ(item, 2);
    EXPECT_EQ(GetMoveableWRefCon(dialog_), 4242);
}

TEST_F(DialogManager, TitleBarDragMovesTheWindowWithinTheGreyRegion) {
    WindowRef window = GetDialogWindow(dialog_);
    CarbonStandInSetDragDistance(-500, -500);
    // A press on the title bar, then OK by its button.
    const EventRecord events[] = {{mouseDown, 0, 0, {90, 150}, 0}, {mouseDown, 0, 0, {0, 0}, 0}};
    CarbonStandInQueueDialogEvents(events, 1);
    int16 item = 0;
    MoveableModalDialog(dialog_, nullptr, &item);
    Rect r;
    GetWindowBounds(window, kWindowContentRgn, &r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 20 + 22);
    EXPECT_EQ(item, 1);  // nothing more: the user pressed return
    CarbonStandInSetDragDistance(0, 0);
}

TEST_F(DialogManager, OutlinesDrawWithTheirPenAndRestoreIt) {
    SetOutlineOK(dialog_, 11);
    SetPortWindowPort(GetDialogWindow(dialog_));
    PenSize(2, 2);
    DrawDialog(dialog_);
    SetOutlineGroup(dialog_, 11);
    DrawDialog(dialog_);
    PenState pen;
    GetPenState(&pen);
    EXPECT_EQ(pen.pnSize.h, 2);
    WindowRef window = GetDialogWindow(dialog_);
    std::vector<std::string> drawn;
    for (int i = 0; i < CarbonStandInDrawingCount(window); ++i) drawn.push_back(CarbonStandInDrawingAt(window, i));
    EXPECT_EQ(drawn, (std::vector<std::string>{"roundrect 96 196 124 264 oval 16 16 pen 3 3", "line 5 5 369 5 pen 1 1",
                                               "line 369 5 369 94 pen 1 1", "line 369 94 5 94 pen 1 1",
                                               "line 5 94 5 5 pen 1 1"}));
}

TEST_F(DialogManager, ItemsShowHideDimFlashAndPopUpsRaiseTheirMaximum) {
    ShowHideItem(dialog_, 4, false);
    ControlRef box, popup, ok;
    GetDialogItemAsControl(dialog_, 4, &box);
    GetDialogItemAsControl(dialog_, 10, &popup);
    GetDialogItemAsControl(dialog_, 1, &ok);
    EXPECT_FALSE(IsControlVisible(box));
    ShowHideItem(dialog_, 4, true);
    EXPECT_TRUE(IsControlVisible(box));
    EnableDisableControl(dialog_, 4, false);
    CarbonControlInfo info;
    CarbonStandInControlAt(GetDialogWindow(dialog_), 3, &info);
    EXPECT_EQ(info.hilite, 255);
    EnableDisableControl(dialog_, 4, true);
    CarbonStandInControlAt(GetDialogWindow(dialog_), 3, &info);
    EXPECT_EQ(info.hilite, 0);
    SetPopUpMenuValue(dialog_, 10, 7);
    EXPECT_EQ(GetPopUpMenuValue(dialog_, 10), 7);
    EXPECT_EQ(GetControl32BitMaximum(popup), 7);
    const uint32_t before = TickCount();
    FlashDialogButton(dialog_, 1);
    EXPECT_EQ(TickCount() - before, 5u);
    EXPECT_EQ(GetControl32BitValue(ok), 0);
    SetCheckBoxState(dialog_, 4, true);
    ToggleCheckBoxState(dialog_, 4);
    EXPECT_FALSE(GetCheckBoxState(dialog_, 4));
    SetRadioGroupState(dialog_, 5, 7, 7);
    EXPECT_EQ(GetRadioGroupState(dialog_, 5, 7), 7);
    StuffNumber(dialog_, 3, -17);
    EXPECT_EQ(text(3), "-17");
}

TEST_F(DialogManager, ShowAboutRunsCentredAndDisposesTheDialog) {
    const long before = CarbonStandInLiveWindows();
    ShowAbout(kDialogID);
    EXPECT_EQ(CarbonStandInLiveWindows(), before);
    ShowAbout(999);  // no such dialog: nothing
    EXPECT_EQ(CarbonStandInLiveWindows(), before);
}
}  // namespace
