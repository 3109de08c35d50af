// The Mac form of the product dialog: a window from the nib of the product's
// bundle, run modally; OK runs the filter, Cancel does not.
#include "mac/dialog_mac.h"

#include <Carbon.h>

#include "entry/start.h"
#include "host/alerts.h"
#include "host/globals.h"
#include "mac/nib_window_mac.h"

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
            return eventNotHandledErr;
        case kHICommandCancel:
            shallDoFilter = false;
            QuitAppModalLoopForWindow(window);
            return eventNotHandledErr;
        default: return eventNotHandledErr;
    }
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
