// The Mac form of the product dialog: a window from the nib of the product's
// bundle, run modally; OK runs the filter, Cancel does not.
#include "mac/dialog_mac.h"

#include <Carbon.h>

#include <cstdio>

#include "engine/product.h"
#include "entry/start.h"
#include "host/alerts.h"
#include "host/globals.h"

namespace {
const OSType kControlSignature = 0x5176747a;  // 'Qvtz'
const char* const kMakerAddress = "www.vexlor.example";
const char* const kFreePluginsLine = "Free plug-ins from Vexlor: www.vexlor.example/free";

bool shallDoFilter = false;

OSStatus WindowEventHandler(EventHandlerCallRef, EventRef event, void* userData) {
    HICommand command;
    if (GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr,
                          &command) != 0)
        return eventNotHandledErr;
    WindowRef window = static_cast<WindowRef>(userData);
    switch (command.commandID) {
        case kHICommandOK:
            shallDoFilter = true;
            QuitAppModalLoopForWindow(window);
            return eventNotHandledErr;
        case kHICommandCancel:
            shallDoFilter = false;
            QuitAppModalLoopForWindow(window);
            return eventNotHandledErr;
        default: return eventNotHandledErr;
    }
}

// The About window's own: taking 'clos' here keeps the system from disposing
// of a window that DoAbout disposes of itself.
OSStatus AboutEventHandler(EventHandlerCallRef, EventRef event, void* userData) {
    HICommand command;
    if (GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr,
                          &command) != 0 ||
        command.commandID != kHICommandClose)
        return eventNotHandledErr;
    QuitAppModalLoopForWindow(static_cast<WindowRef>(userData));
    return noErr;
}

struct ReleasedString {
    CFStringRef s;
    explicit ReleasedString(const char* text) : s(CFStringCreateWithCString(nullptr, text, kCFStringEncodingASCII)) {}
    ~ReleasedString() {
        if (s) CFRelease(s);
    }
};

// The window of the product's nib, or null after the debugger message.
WindowRef createNibWindow(const char* name) {
    ReleasedString bundleID(kMacBundleIdentifier);
    ReleasedString nibName("PrototypeGUI");
    ReleasedString windowName(name);
    CFBundleRef bundle = CFBundleGetBundleWithIdentifier(bundleID.s);
    IBNibRef nib = nullptr;
    if (!bundle || CreateNibReferenceWithCFBundle(bundle, nibName.s, &nib) != 0) {
        std::fputs("CantGetNibRef\n", stderr);
        return nullptr;
    }
    WindowRef window = nullptr;
    const OSStatus err = CreateWindowFromNib(nib, windowName.s, &window);
    DisposeNibReference(nib);
    if (err != 0 || !window) {
        std::fputs("CantCreateWindow\n", stderr);
        return nullptr;
    }
    return window;
}

void setStaticText(WindowRef window, const char* text, int32_t id) {
    const ControlID controlID{kControlSignature, id};
    ControlRef control = nullptr;
    if (GetControlByID(window, &controlID, &control) != 0) return;
    ReleasedString s(text);
    SetControlData(control, kControlEntireControl, kControlEditTextCFStringTag, sizeof s.s, &s.s);
}

// Runs the window modally and disposes of it, once, whatever ended the loop.
void runAndDispose(WindowRef window, EventHandlerProcPtr handler) {
    const EventTypeSpec commands[] = {{kEventClassCommand, kEventCommandProcess}};
    InstallWindowEventHandler(window, NewEventHandlerUPP(handler), 1, commands, window, nullptr);
    ShowWindow(window);
    RunAppModalLoopForWindow(window);
    DisposeWindow(window);
}
}  // namespace

// A window that cannot be made is the user's cancel, after an alert: the
// start selector then restores the parameters and answers -128.
bool DoUI() {
    shallDoFilter = false;
    WindowRef window = createNibWindow("prototypeDialog");
    if (!window) {
        doAlertBox("(Vexlor) The dialog cannot be opened.  Please reinstall the plug-in.");
        return false;
    }
    runAndDispose(window, WindowEventHandler);
    // As on Windows: a failure the preview reported while the dialog was open
    // does not make a confirmed run look cancelled.
    if (gResult) *gResult = noErr;
    return shallDoFilter;
}

bool showFilterDialog() { return DoUI(); }

void DoAbout(const char* title) {
    WindowRef window = createNibWindow("prototypeAbout");
    if (!window) return;
    setStaticText(window, title, 1);
    setStaticText(window, kMakerAddress, 2);
    setStaticText(window, kFreePluginsLine, 3);
    runAndDispose(window, AboutEventHandler);
}
