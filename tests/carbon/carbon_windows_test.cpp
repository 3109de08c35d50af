// The Carbon stand-in's windows, controls, events and modal loop.
#include <Carbon.h>

#include "PITypes.h"
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {
const OSType kSig = 0x5176747a;  // 'Qvtz'
std::vector<std::string> eventLog;

struct CF {
    CFStringRef s;
    explicit CF(const char* t) : s(CFStringCreateWithCString(nullptr, t, kCFStringEncodingASCII)) {}
    ~CF() { CFRelease(s); }
};

std::string controlText(ControlRef c) {
    CFStringRef s = nullptr;
    EXPECT_EQ(GetControlData(c, 0, kControlEditTextCFStringTag, sizeof s, &s, nullptr), 0);
    char t[64];
    EXPECT_TRUE(CFStringGetCString(s, t, sizeof t, kCFStringEncodingUTF8));
    CFRelease(s);
    return t;
}

class CarbonWindows : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = "/tmp/carbon_nib_" + std::to_string(getpid());
        mkdir(folder_.c_str(), 0700);
        std::ofstream(folder_ + "/Test.nib.txt") << "# a test nib\n"
                                                    "window main 100 200 300 200 Test window\n"
                                                    "control Qvtz 900 pane 10 10 110 90 -\n"
                                                    "control Qvtz 5 slider 10 100 200 116 -\n"
                                                    "control Qvtz 6 edit 210 100 260 116 - 0.5\n"
                                                    "control Qvtz 7 checkbox 10 130 100 146 Chk Check\n"
                                                    "control Qvtz 8 button 200 160 280 180 ok OK\n"
                                                    "control Qvtz 9 button 110 160 190 180 not! Cancel\n"
                                                    "window other 0 0 10 10\n";
        CarbonStandInAddBundle("test-bundle", folder_.c_str());
        CarbonStandInSetMainScreen(1024, 768);
        CarbonStandInClearFaults();
        eventLog.clear();
    }
    void TearDown() override {
        std::remove((folder_ + "/Test.nib.txt").c_str());
        rmdir(folder_.c_str());
        CarbonStandInClearScript();
        CarbonStandInRemoveBundles();
        EXPECT_EQ(CarbonStandInLiveWindows(), 0);
    }
    WindowRef open(const char* name = "main") {
        CF id("test-bundle"), nib("Test"), win(name);
        IBNibRef ref = nullptr;
        EXPECT_EQ(CreateNibReferenceWithCFBundle(CFBundleGetBundleWithIdentifier(id.s), nib.s, &ref), 0);
        WindowRef w = nullptr;
        EXPECT_EQ(CreateWindowFromNib(ref, win.s, &w), 0);
        DisposeNibReference(ref);
        return w;
    }
    ControlRef control(WindowRef w, int32_t id) {
        ControlID cid{kSig, id};
        ControlRef c = nullptr;
        EXPECT_EQ(GetControlByID(w, &cid, &c), 0);
        return c;
    }
    std::string folder_;
};

TEST_F(CarbonWindows, NibGivesWindowBoundsAndControlsAndAMissingIdFails) {
    WindowRef w = open();
    Rect r;
    ASSERT_EQ(GetWindowBounds(w, kWindowContentRgn, &r), 0);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 200);
    EXPECT_EQ(r.right - r.left, 300);
    EXPECT_EQ(r.bottom - r.top, 200);
    EXPECT_STREQ(CarbonStandInWindowTitle(w), "Test window");
    ControlRef edit = control(w, 6);
    EXPECT_EQ(controlText(edit), "0.5");
    ControlID missing{kSig, 4};
    ControlRef c = reinterpret_cast<ControlRef>(1);
    EXPECT_EQ(GetControlByID(w, &missing, &c), errUnknownControl);
    EXPECT_EQ(c, nullptr);
    ControlRef slider = control(w, 5);
    SetControl32BitMaximum(slider, 50);
    SetControl32BitValue(slider, 80);
    EXPECT_EQ(GetControl32BitValue(slider), 50);
    DisposeWindow(w);
}

TEST_F(CarbonWindows, MissingBundleNibAndWindowFail) {
    CF none("no-such-bundle"), nib("Test"), gone("Gone"), win("nowhere");
    EXPECT_EQ(CFBundleGetBundleWithIdentifier(none.s), nullptr);
    CF id("test-bundle");
    CFBundleRef bundle = CFBundleGetBundleWithIdentifier(id.s);
    IBNibRef ref = nullptr;
    EXPECT_NE(CreateNibReferenceWithCFBundle(bundle, gone.s, &ref), 0);
    EXPECT_EQ(ref, nullptr);
    ASSERT_EQ(CreateNibReferenceWithCFBundle(bundle, nib.s, &ref), 0);
    WindowRef w = nullptr;
    EXPECT_NE(CreateWindowFromNib(ref, win.s, &w), 0);
    CarbonStandInFailWindows(1);
    CF main("main");
    EXPECT_NE(CreateWindowFromNib(ref, main.s, &w), 0);
    EXPECT_EQ(w, nullptr);
    DisposeNibReference(ref);
}

// On 'clos' each logs its name: "passes" answers eventNotHandledErr, "asks"
// calls the next handler and answers what it got, "takes" answers noErr.
// The Cancel that ends a loop the close did not end passes them by.
bool isClose(EventRef event) {
    HICommand command{};
    GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
    return command.commandID == kHICommandClose;
}
OSStatus passes(EventHandlerCallRef, EventRef event, void* name) {
    if (isClose(event)) eventLog.push_back(static_cast<const char*>(name));
    return eventNotHandledErr;
}
OSStatus asks(EventHandlerCallRef call, EventRef event, void* name) {
    if (!isClose(event)) return eventNotHandledErr;
    eventLog.push_back(static_cast<const char*>(name));
    const OSStatus r = CallNextEventHandler(call, event);
    eventLog.push_back(std::string(static_cast<const char*>(name)) + " got " + std::to_string(r));
    return r;
}
OSStatus takes(EventHandlerCallRef, EventRef event, void* name) {
    if (!isClose(event)) return eventNotHandledErr;
    eventLog.push_back(static_cast<const char*>(name));
    return noErr;
}

OSStatus clampingHandler(EventHandlerCallRef, EventRef event, void*) {
    Rect r;
    GetEventParameter(event, kEventParamCurrentBounds, typeQDRectangle, nullptr, sizeof r, nullptr, &r);
    uint32_t attributes = 0;
    GetEventParameter(event, kEventParamAttributes, typeUInt32, nullptr, sizeof attributes, nullptr, &attributes);
    if (GetEventKind(event) == kEventWindowBoundsChanging) {
        if (r.right - r.left < 250) r.right = int16_t(r.left + 250);
        SetEventParameter(event, kEventParamCurrentBounds, typeQDRectangle, sizeof r, &r);
        return noErr;
    }
    eventLog.push_back("changed " + std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) +
                       ((attributes & kWindowBoundsChangeSizeChanged) ? " size" : ""));
    return noErr;
}

OSStatus mouseHandler(EventHandlerCallRef, EventRef event, void*) {
    Point p{0, 0};
    GetEventParameter(event, kEventParamMouseLocation, typeQDPoint, nullptr, sizeof p, nullptr, &p);
    std::string line = "mouse " + std::to_string(GetEventKind(event)) + " at " + std::to_string(p.h) + "," +
                       std::to_string(p.v);
    int32_t delta = 0;
    if (GetEventParameter(event, kEventParamMouseWheelDelta, typeSInt32, nullptr, sizeof delta, nullptr, &delta) == 0)
        line += " delta " + std::to_string(delta);
    uint32_t clicks = 0;
    if (GetEventParameter(event, kEventParamClickCount, typeUInt32, nullptr, sizeof clicks, nullptr, &clicks) == 0)
        line += " clicks " + std::to_string(clicks);
    eventLog.push_back(line);
    return eventNotHandledErr;
}

OSStatus textHandler(EventHandlerCallRef call, EventRef event, void*) {
    OSStatus r = CallNextEventHandler(call, event);
    eventLog.push_back(std::to_string(GetEventClass(event) == kEventClassTextField ? 'p' : 'k') + std::string(" ") +
                       std::to_string(r));
    return r;
}

OSStatus commandHandler(EventHandlerCallRef, EventRef event, void* userData) {
    HICommand command;
    GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
    eventLog.push_back("command " + std::to_string(command.commandID));
    if (command.commandID == kHICommandOK) QuitAppModalLoopForWindow(static_cast<WindowRef>(userData));
    return eventNotHandledErr;
}

void sliderAction(ControlRef c, ControlPartCode part) {
    eventLog.push_back("slider " + std::to_string(GetControl32BitValue(c)) + " part " + std::to_string(part));
}
}  // namespace

struct ChainCase {
    const char* name;
    std::vector<EventHandlerProcPtr> installed;  // in install order, named a, b, c, ...
    std::vector<std::string> log;
    bool closed;  // the standard handler ran and disposed of the window on 'clos'
};

void PrintTo(const ChainCase& c, std::ostream* os) { *os << c.name; }

class HandlerChains : public CarbonWindows, public ::testing::WithParamInterface<ChainCase> {};

// As Carbon runs a target's handlers: the one installed last first, each
// handing on to the one installed before it, and the standard handler last.
TEST_P(HandlerChains, RunTheLastInstalledFirstAndPassOnToTheEarlierOnes) {
    const ChainCase& c = GetParam();
    WindowRef w = open();
    const EventTypeSpec commands[] = {{kEventClassCommand, kEventCommandProcess}};
    static const char* const names[] = {"a", "b", "c", "d"};
    for (size_t i = 0; i < c.installed.size(); ++i)
        InstallWindowEventHandler(w, c.installed[i], 1, commands, const_cast<char*>(names[i]), nullptr);
    CarbonScriptEvent script[] = {{kScriptCommand, kHICommandClose, 0, 0, 0, 0, nullptr}};
    CarbonStandInQueueScript(script, 1);
    RunAppModalLoopForWindow(w);
    EXPECT_EQ(eventLog, c.log);
    EXPECT_EQ(CarbonStandInLiveWindows(), c.closed ? 0 : 1);
    EXPECT_EQ(CarbonStandInFaults(), 0);
    if (!c.closed) DisposeWindow(w);
}

INSTANTIATE_TEST_SUITE_P(
    Chains, HandlerChains,
    ::testing::Values(ChainCase{"AllPass", {passes, passes, passes}, {"c", "b", "a"}, true},
                      ChainCase{"TheLastTakesIt", {passes, passes, takes}, {"c"}, false},
                      ChainCase{"AMiddleOneTakesIt", {passes, takes, passes}, {"c", "b"}, false},
                      ChainCase{"NextReachesTheEarlierOnesAndTheSystem",
                                {passes, asks, passes},
                                {"c", "b", "a", "b got 0"},
                                true},
                      ChainCase{"NextStopsWhereOneTakesIt", {takes, passes, asks}, {"c", "b", "a", "c got 0"}, false}),
    [](const ::testing::TestParamInfo<ChainCase>& info) { return std::string(info.param.name); });

TEST_F(CarbonWindows, AWindowDisposedTwiceIsAFaultNotACrash) {
    WindowRef w = open();
    DisposeWindow(w);
    EXPECT_EQ(CarbonStandInFaults(), 0);
    DisposeWindow(w);
    EXPECT_EQ(CarbonStandInFaults(), 1);
    CarbonStandInClearFaults();
}

TEST_F(CarbonWindows, ScriptDrivesMouseWheelKeysPasteSliderAndResize) {
    WindowRef w = open();
    const EventTypeSpec mouse[] = {{kEventClassMouse, kEventMouseDown},
                                   {kEventClassMouse, kEventMouseUp},
                                   {kEventClassMouse, kEventMouseDragged},
                                   {kEventClassMouse, kEventMouseWheelMoved}};
    const EventTypeSpec window[] = {{kEventClassWindow, kEventWindowBoundsChanging},
                                    {kEventClassWindow, kEventWindowBoundsChanged}};
    const EventTypeSpec text[] = {{kEventClassTextInput, kEventTextInputUnicodeForKeyEvent},
                                  {kEventClassTextField, kEventTextDidChange}};
    const EventTypeSpec commands[] = {{kEventClassCommand, kEventCommandProcess}};
    InstallWindowEventHandler(w, mouseHandler, 4, mouse, nullptr, nullptr);
    InstallWindowEventHandler(w, clampingHandler, 2, window, nullptr, nullptr);
    InstallWindowEventHandler(w, commandHandler, 1, commands, w, nullptr);
    ControlRef edit = control(w, 6);
    InstallControlEventHandler(edit, textHandler, 2, text, nullptr, nullptr);
    SetControlAction(control(w, 5), sliderAction);
    CarbonScriptEvent script[] = {
        {kScriptMouseDown, 0, 0, 15, 20, 2, nullptr},   {kScriptMouseDrag, 0, 0, 25, 30, 0, nullptr},
        {kScriptMouseUp, 0, 0, 25, 30, 0, nullptr},     {kScriptWheel, 0, 0, 5, 5, -3, nullptr},
        {kScriptKeys, 0, 6, 0, 0, 0, "1\t\b"},          {kScriptPaste, 0, 6, 0, 0, 0, "e3"},
        {kScriptSliderTrack, 0, 5, 0, 0, 500, nullptr}, {kScriptResize, 0, 0, 100, 150, 0, nullptr},
        {kScriptMouseDown, 0, 0, 20, 135, 1, nullptr},  {kScriptCommand, kHICommandOK, 0, 0, 0, 0, nullptr},
    };
    CarbonStandInQueueScript(script, int(sizeof script / sizeof script[0]));
    RunAppModalLoopForWindow(w);
    EXPECT_EQ(CarbonStandInScriptLeft(), 0);
    const std::vector<std::string> expected{
        "mouse 1 at 115,220 clicks 2", "mouse 6 at 125,230 clicks 1", "mouse 2 at 125,230 clicks 1",
        "mouse 10 at 105,205 delta -3", "107 0", "107 0", "107 0", "112 -9874",  // a paste is only told
        "slider 100 part 129",  // pinned to the slider's maximum
        "changed 250x150 size", "mouse 1 at 120,335 clicks 1",
        "command " + std::to_string(0x43686b20),  // the check box's own command
        "command " + std::to_string(kHICommandOK)};
    EXPECT_EQ(eventLog, expected);
    // Tab leaves the text alone, backspace takes the typed 1 back, the paste is appended.
    EXPECT_EQ(controlText(edit), "0.5e3");
    EXPECT_EQ(GetControl32BitValue(control(w, 7)), 1);
    DisposeWindow(w);
}

namespace {
// The UTF-16 units a key event carries, in hexadecimal.
OSStatus unitsHandler(EventHandlerCallRef call, EventRef event, void*) {
    unsigned long size = 0;
    GetEventParameter(event, kEventParamTextInputSendText, typeUnicodeText, nullptr, 0, &size, nullptr);
    std::vector<uint16_t> units(size / 2);
    GetEventParameter(event, kEventParamTextInputSendText, typeUnicodeText, nullptr, size, nullptr, units.data());
    std::string line;
    for (uint16_t u : units) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%s%x", line.empty() ? "" : " ", u);
        line += hex;
    }
    eventLog.push_back(line);
    return CallNextEventHandler(call, event);
}

uint32_t answerOK(const char*, void*) { return kHICommandOK; }

struct KeyCase {
    const char* name;
    int32_t focus;  // 0: no control has the focus
    const char* keys;
    bool withDefault, withCancel, defaultHidden;
    std::vector<uint32_t> commands;  // what the keys sent; the responder's OK ends the loop otherwise
};

void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.name; }

class WindowKeys : public CarbonWindows, public ::testing::WithParamInterface<KeyCase> {
protected:
    void TearDown() override {
        CarbonStandInSetModalResponder(nullptr, nullptr);
        CarbonWindows::TearDown();
    }
};

// Return and Enter press the window's default button and Escape its cancel
// button, from an edit box too, which keeps its text; without such a
// button, or with it hidden, nothing happens.
TEST_P(WindowKeys, PressTheDefaultAndCancelButtons) {
    const KeyCase& c = GetParam();
    WindowRef w = open();
    const EventTypeSpec commands[] = {{kEventClassCommand, kEventCommandProcess}};
    InstallWindowEventHandler(w, commandHandler, 1, commands, w, nullptr);
    EXPECT_EQ(SetWindowDefaultButton(w, c.withDefault ? control(w, 8) : nullptr), 0);
    EXPECT_EQ(SetWindowCancelButton(w, c.withCancel ? control(w, 9) : nullptr), 0);
    if (c.defaultHidden) HideControl(control(w, 8));
    ControlRef button = nullptr;
    EXPECT_EQ(GetWindowDefaultButton(w, &button), 0);
    EXPECT_EQ(button, c.withDefault ? control(w, 8) : nullptr);
    CarbonScriptEvent script[] = {{kScriptKeys, 0, c.focus, 0, 0, 0, c.keys}};
    CarbonStandInQueueScript(script, 1);
    CarbonStandInSetModalResponder(answerOK, nullptr);
    RunAppModalLoopForWindow(w);
    std::vector<std::string> expected;
    for (uint32_t command : c.commands) expected.push_back("command " + std::to_string(command));
    if (c.commands.empty() || c.commands.back() != kHICommandOK)
        expected.push_back("command " + std::to_string(kHICommandOK));
    EXPECT_EQ(eventLog, expected);
    EXPECT_EQ(controlText(control(w, 6)), "0.5");
    DisposeWindow(w);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, WindowKeys,
    ::testing::Values(KeyCase{"ReturnInAnEditBox", 6, "\r", true, true, false, {kHICommandOK}},
                      KeyCase{"EnterInAnEditBox", 6, "\x03", true, true, false, {kHICommandOK}},
                      KeyCase{"EscapeInAnEditBox", 6, "\x1b", true, true, false, {kHICommandCancel}},
                      KeyCase{"ReturnWithoutFocus", 0, "\r", true, true, false, {kHICommandOK}},
                      KeyCase{"EscapeThenReturn", 0, "\x1b\r", true, true, false, {kHICommandCancel, kHICommandOK}},
                      KeyCase{"ReturnWithoutDefaultButton", 6, "\r", false, true, false, {}},
                      KeyCase{"ReturnWithTheDefaultButtonHidden", 6, "\r", true, true, true, {}},
                      KeyCase{"EscapeWithoutCancelButton", 6, "\x1b", true, false, false, {}}),
    [](const ::testing::TestParamInfo<KeyCase>& info) { return std::string(info.param.name); });

TEST_F(CarbonWindows, KeysCarryUnicodeAndBackspaceTakesAWholeCharacter) {
    WindowRef w = open();
    WindowRef other = open();
    // A window's buttons are its own.
    EXPECT_EQ(SetWindowDefaultButton(w, control(other, 8)), paramErr);
    DisposeWindow(other);
    const EventTypeSpec text[] = {{kEventClassTextInput, kEventTextInputUnicodeForKeyEvent}};
    InstallControlEventHandler(control(w, 6), unitsHandler, 1, text, nullptr, nullptr);
    // e acute, the euro sign, a face beyond the basic plane, backspace.
    CarbonScriptEvent script[] = {{kScriptKeys, 0, 6, 0, 0, 0, "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\b"},
                                  {kScriptCommand, kHICommandOK, 0, 0, 0, 0, nullptr}};
    CarbonStandInQueueScript(script, 2);
    RunAppModalLoopForWindow(w);
    EXPECT_EQ(eventLog, (std::vector<std::string>{"e9", "20ac", "d83d de00", "8"}));
    EXPECT_EQ(controlText(control(w, 6)), "0.5\xc3\xa9\xe2\x82\xac");
    DisposeWindow(w);
}
}  // namespace

TEST_F(CarbonWindows, PortsDrawingCursorAndPlacementOnTheMainScreen) {
    WindowRef w = open();
    GrafPtr before;
    GetPort(&before);
    SetPortWindowPort(w);
    Rect r{1, 2, 3, 4};
    EraseRect(&r);
    SetPort(before);
    EraseRect(&r);  // on the screen: not the window's
    ASSERT_EQ(CarbonStandInDrawingCount(w), 1);
    EXPECT_STREQ(CarbonStandInDrawingAt(w, 0), "erase 1 2 3 4");
    SetThemeCursor(kThemeCrossCursor);
    EXPECT_EQ(CarbonStandInCursor(), kThemeCrossCursor);
    InitCursor();
    EXPECT_EQ(CarbonStandInCursor(), kThemeArrowCursor);
    CarbonStandInSetMainScreen(640, 480);
    RepositionWindow(w, nullptr, kWindowCenterOnMainScreen);
    Rect b;
    GetWindowBounds(w, kWindowContentRgn, &b);
    EXPECT_EQ(b.left, (640 - 300) / 2);
    EXPECT_EQ(b.top, 20 + (480 - 20 - 200) / 3);
    r = Rect{0, 0, 900, 1000};
    SetWindowBounds(w, kWindowContentRgn, &r);
    ConstrainWindowToScreen(w, kWindowContentRgn, kWindowConstrainStandardOptions, nullptr, nullptr);
    GetWindowBounds(w, kWindowContentRgn, &b);
    EXPECT_GE(b.top, 42);
    EXPECT_LE(b.bottom, 480);
    EXPECT_LE(b.right, 640);
    DisposeWindow(w);
}
