// The Mac form of the product dialog: a window from the nib, run modally;
// OK runs the filter, Cancel does not.
#include "mac/dialog_mac.h"

#include "entry/start.h"

#include <Carbon.h>

#include <cstdio>

namespace {
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
            return 0;
        case kHICommandCancel:
            shallDoFilter = false;
            QuitAppModalLoopForWindow(window);
            return 0;
        default: return eventNotHandledErr;
    }
}

struct ReleasedString {
    CFStringRef s;
    explicit ReleasedString(const char* text) : s(CFStringCreateWithCString(nullptr, text, kCFStringEncodingASCII)) {}
    ~ReleasedString() {
        if (s) CFRelease(s);
    }
};

// Runs one window of the nib modally until OK or Cancel ends the loop.
bool runNibWindow(const char* name) {
    shallDoFilter = false;
    ReleasedString nibName("PrototypeGUI");
    ReleasedString windowName(name);
    IBNibRef nib = nullptr;
    if (CreateNibReference(nibName.s, &nib) != 0) {
        std::fputs("CantGetNibRef\n", stderr);
        return false;
    }
    WindowRef window = nullptr;
    OSStatus err = CreateWindowFromNib(nib, windowName.s, &window);
    DisposeNibReference(nib);
    if (err != 0) {
        std::fputs("CantCreateWindow\n", stderr);
        return false;
    }
    const EventTypeSpec commands[] = {{kEventClassCommand, kEventCommandProcess}};
    InstallWindowEventHandler(window, NewEventHandlerUPP(WindowEventHandler), 1, commands, window, nullptr);
    ShowWindow(window);
    RunAppModalLoopForWindow(window);
    DisposeWindow(window);
    return shallDoFilter;
}
}  // namespace

bool DoUI() { return runNibWindow("prototypeDialog"); }

bool showFilterDialog() { return DoUI(); }

// The About window carries the product title in the nib itself.
void DoAbout(const char*) { runNibWindow("prototypeAbout"); }
