// The Mac dialog's controls by id: static texts, check boxes, Show Advanced,
// the protection labels, and the About window.
#include <Carbon.h>

#include <cstddef>
#include <utility>

#include "dialog/control_tables.h"
#include "engine/product.h"
#include "entry/start.h"
#include "host/globals.h"
#include "mac/dialog_mac.h"
#include "mac/nib_window_mac.h"
#include "preview/proxy.h"

const OSType kControlSignature = 0x5176747a;  // 'Qvtz'

namespace {
// Made from constants alone, so that the tables are complete before any
// code runs, whatever the order of the other tables' initialisation.
template <int16 offset, std::size_t... i>
constexpr checked_array<ControlID, kParamValueCount> parameterControlIDs(std::index_sequence<i...>) {
    return {{ControlID{kControlSignature, int32(i) < kMacParameterCount ? parameterControlId(int(i), offset) : 0}...}};
}

template <std::size_t... i>
constexpr checked_array<ControlID, proxyInstructionCount> instructionControlIDs(std::index_sequence<i...>) {
    return {{ControlID{kControlSignature, int32(proxyFirstInstruction + i)}...}};
}
}  // namespace

const checked_array<ControlID, kParamValueCount> controlID_GS =
    parameterControlIDs<1>(std::make_index_sequence<kParamValueCount>());
const checked_array<ControlID, kParamValueCount> controlID_GT =
    parameterControlIDs<2>(std::make_index_sequence<kParamValueCount>());
const checked_array<ControlID, proxyInstructionCount> proxyInstructions =
    instructionControlIDs(std::make_index_sequence<proxyInstructionCount>());
const ControlID proxyInvertMatte = {kControlSignature, 34};
const ControlID& proxySetNoiseMode = proxyInvertMatte;

namespace {
const char* const kMakerAddress = "www.vexlor.example";
const char* const kFreePluginsLine = "Free plug-ins from Vexlor: www.vexlor.example/free";
// The About window's only button, which both confirms and dismisses it.
const int32 kAboutOKButton = 4;

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

void showOrHide(WindowRef window, int32 id, bool show) {
    if (show)
        ShowControl(window, id);
    else
        HideControl(window, id);
}
}  // namespace

ControlRef dialogControl(WindowRef window, const ControlID& id) {
    ControlRef control = nullptr;
    if (id.id == 0 || GetControlByID(window, &id, &control) != 0) return nullptr;
    return control;
}

ControlRef dialogControlByID(WindowRef window, int32 id) { return dialogControl(window, {kControlSignature, id}); }

void setControlText(ControlRef control, const char* text) {
    ReleasedString s(text);
    SetControlData(control, kControlEntireControl, kControlEditTextCFStringTag, sizeof s.s, &s.s);
}

void setStaticText(WindowRef window, const char* text, int32 id) {
    if (ControlRef control = dialogControlByID(window, id)) setControlText(control, text);
}

void HideControl(WindowRef window, int32 id) {
    if (ControlRef control = dialogControlByID(window, id)) HideControl(control);
}

void ShowControl(WindowRef window, int32 id) {
    if (ControlRef control = dialogControlByID(window, id)) ShowControl(control);
}

void setDefaultAndCancelButtons(WindowRef window, int32 defaultID, int32 cancelID) {
    SetWindowDefaultButton(window, dialogControlByID(window, defaultID));
    SetWindowCancelButton(window, dialogControlByID(window, cancelID));
}

// Any non-zero value checks the box: a flag from a script, the registry or a
// file may hold another value than 1.
void initCheckBox(WindowRef window, int32 id, int value) {
    if (ControlRef control = dialogControlByID(window, id)) SetControl32BitValue(control, value != 0 ? 1 : 0);
}

// The protection labels follow box 44 wherever the boxes are set from the flags.
void initCheckboxes(WindowRef window) {
    for (int f = 0; f < kParamFlagCount; ++f)
        if (BooleanID[f] != 0) initCheckBox(window, BooleanID[f], gParams->flags[f]);
    processInvertProtectionTextChange(window);
}

void processCheckBox(WindowRef window, int32 id, uint8& flag, bool update) {
    ControlRef control = dialogControlByID(window, id);
    if (!control) return;
    flag = GetControl32BitValue(control) == 1 ? 1 : 0;
    if (update) UpdateProxyItem(window, true);
}

void initShowAdvancedControls(WindowRef window) {
    initCheckBox(window, proxyShowAdvancedID, pData.showAdvanced);
    processShowAdvancedControls(window);
}

void processShowAdvancedControls(WindowRef window) {
    allowProxyUpdate = false;
    const bool advanced = pData.showAdvanced != 0;
    for (int i = 0; i < kParamValueCount; ++i)
        if (slotHasControl(i) && isAdvancedControl[i])
            for (int32 id : {int32(EditGUI[i]), int32(SldrGUI[i]), int32(labelIdOfSlot(i))})
                showOrHide(window, id, advanced);
    for (int f = 0; f < kParamFlagCount; ++f)
        if (BooleanID[f] != 0 && isAdvancedBooleanControl[f]) showOrHide(window, BooleanID[f], advanced);
    // Glimra's instructions stay, as in its Windows dialog.
    if (kInstructionsOnlyWithSimpleControls)
        for (const ControlID& text : proxyInstructions) showOrHide(window, text.id, !advanced);
    allowProxyUpdate = true;
}

void processInvertProtectionTextChange(WindowRef window) {
    ControlRef box = dialogControlByID(window, kProtectShadowsBox);
    if (!box) return;
    const bool shadows = GetControl32BitValue(box) == 1;
    setStaticText(window, shadows ? "Shadow protect threshold" : "Highlight protect threshold", kThresholdLabel);
    setStaticText(window, shadows ? "Shadow protect feather" : "Highlight protect feather", kFeatherLabel);
}

void DoAbout(const char* title) {
    WindowRef window = createNibWindow("prototypeAbout");
    if (!window) return;
    setStaticText(window, title, 1);
    setStaticText(window, kMakerAddress, 2);
    setStaticText(window, kFreePluginsLine, 3);
    setDefaultAndCancelButtons(window, kAboutOKButton, kAboutOKButton);
    runAndDispose(window, AboutEventHandler);
}
