// The Mac dialog's controls by id: static texts, check boxes, Show Advanced,
// the protection labels, and the About window.
#include <Carbon.h>

#include <cstdio>

#include "engine/product.h"
#include "entry/start.h"
#include "host/globals.h"
#include "mac/dialog_mac.h"
#include "mac/nib_window_mac.h"

const OSType kControlSignature = 0x5176747a;  // 'Qvtz'

namespace {
const char* const kMakerAddress = "www.vexlor.example";
const char* const kFreePluginsLine = "Free plug-ins from Vexlor: www.vexlor.example/free";

ControlRef controlByID(WindowRef window, int32 id) {
    const ControlID controlID{kControlSignature, id};
    ControlRef control = nullptr;
    if (GetControlByID(window, &controlID, &control) != 0) return nullptr;
    return control;
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
}  // namespace

void setStaticText(WindowRef window, const char* text, int32 id) {
    ControlRef control = controlByID(window, id);
    if (!control) return;
    ReleasedString s(text);
    SetControlData(control, kControlEntireControl, kControlEditTextCFStringTag, sizeof s.s, &s.s);
}

void HideControl(WindowRef window, int32 id) {
    if (ControlRef control = controlByID(window, id)) HideControl(control);
}

void ShowControl(WindowRef window, int32 id) {
    if (ControlRef control = controlByID(window, id)) ShowControl(control);
}

void initCheckBox(WindowRef window, int32 id, int value) {
    if (ControlRef control = controlByID(window, id)) SetControl32BitValue(control, value == 1 ? 1 : 0);
}

void initCheckboxes(WindowRef) {}

void processCheckBox(WindowRef window, int32 id, uint8& flag, bool update) {
    ControlRef control = controlByID(window, id);
    if (!control) return;
    flag = GetControl32BitValue(control) == 1;
    if (update) UpdateProxyItem(window, true);
}

void initShowAdvancedControls(WindowRef) {}
void processShowAdvancedControls(WindowRef) {}
void processInvertProtectionTextChange(WindowRef) {}

void DoAbout(const char* title) {
    WindowRef window = createNibWindow("prototypeAbout");
    if (!window) return;
    setStaticText(window, title, 1);
    setStaticText(window, kMakerAddress, 2);
    setStaticText(window, kFreePluginsLine, 3);
    runAndDispose(window, AboutEventHandler);
}
