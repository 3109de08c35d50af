// The Mac form of the product dialog: a window from the nib of the product's
// bundle, run modally; its commands, and the slider, edit box and label of
// every parameter.  OK runs the filter, Cancel does not.
#include "mac/dialog_mac.h"

#include <Carbon.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>

#include "dialog/control_tables.h"
#include "dialog/edit_fields.h"
#include "engine/autoprofile.h"
#include "engine/product.h"
#include "entry/params.h"
#include "entry/start.h"
#include "host/alerts.h"
#include "host/band_runner.h"
#include "host/globals.h"
#include "mac/nib_window_mac.h"
#include "mac/settings_dialogs_mac.h"
#include "preview/proxy.h"
#include "preview/proxy_source.h"

namespace {
constexpr uint32_t fourChars(const char (&c)[5]) {
    return uint32_t(uint8_t(c[0])) << 24 | uint32_t(uint8_t(c[1])) << 16 | uint32_t(uint8_t(c[2])) << 8 |
           uint8_t(c[3]);
}

bool shallDoFilter = false;
bool handlersNotInstalledYet = true;

// Per parameter: the value the controls last showed (a change of it
// recomputes), the slider position last set or seen, and the edit text last
// set or seen.  An input that leaves the position or the text as it was
// leaves the value alone, so that a Tab or an idle slider never rounds it.
checked_array<double, kParamValueCount> lastValueGUI = {};
checked_array<int32, kParamValueCount> lastSliderPositionGUI = {};
std::array<std::string, kParamValueCount> lastEditTextGUI;

// The control's text as a new string of the system's, which the caller
// releases; null when the control gives none.
CFStringRef copyControlText(ControlRef control) {
    CFStringRef text = nullptr;
    if (!control || GetControlData(control, kControlEntireControl, kControlEditTextCFStringTag, sizeof text, &text,
                                   nullptr) != 0)
        return nullptr;
    return text;
}

std::string valueText(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// Typed text counts by the number it begins with, read from the control's
// own string, whatever else it holds; one that is not finite ("inf",
// "1e999", "nan") is no number, so 0.
double typedValue(CFStringRef text) {
    const double value = text ? CFStringGetDoubleValue(text) : 0.0;
    return std::isfinite(value) ? value : 0.0;
}

int32 sliderPositionOf(int i, double value, double rounding = 0.5) {
    return sliderPositionFor(value, SldrScaleGUI[i], SldrLowGUI[i], SldrHighGUI[i], rounding);
}

void processSlider(ControlRef slider, int i) {
    const int32 position = GetControl32BitValue(slider);
    if (position == lastSliderPositionGUI[i]) return;
    lastSliderPositionGUI[i] = position;
    WindowRef window = GetControlOwner(slider);
    const double value = position / SldrScaleGUI[i];
    gParams->values[i] = value;
    if (ControlRef edit = dialogControl(window, controlID_GT[i])) {
        lastEditTextGUI[i] = valueText(value);
        setControlText(edit, lastEditTextGUI[i].c_str());
    }
    if (value == lastValueGUI[i]) return;
    lastValueGUI[i] = value;
    UpdateProxyItem(window, true);
}

// Keys arrive before the standard handler applies them, so the key is passed
// on first; a paste, cut or drop arrives with the text already changed.
OSStatus processEditText(EventHandlerCallRef call, EventRef event, void* userData, int i) {
    OSStatus result = eventNotHandledErr;
    if (GetEventClass(event) == kEventClassTextInput) {
        result = CallNextEventHandler(call, event);
        if (result != noErr) return result;
    }
    WindowRef window = static_cast<WindowRef>(userData);
    ControlRef edit = dialogControl(window, controlID_GT[i]);
    ReleasedString typed(copyControlText(edit));
    std::string text;
    utf8Text(typed.s, text);
    if (!edit || text == lastEditTextGUI[i]) return result;
    lastEditTextGUI[i] = text;
    const double value = typedValue(typed.s);
    gParams->values[i] = value;
    // Unlike a slider set from a value, typing truncates: "0.29" at scale
    // 100 is position 28.
    if (ControlRef slider = dialogControl(window, controlID_GS[i])) {
        SetControl32BitValue(slider, sliderPositionOf(i, value, 0.0));
        lastSliderPositionGUI[i] = GetControl32BitValue(slider);
    }
    if (value != lastValueGUI[i]) {
        lastValueGUI[i] = value;
        UpdateProxyItem(window, true);
    }
    return result;
}

// One slider action and one text handler per parameter, as the system calls
// them without saying which control they belong to.
template <int i>
void handleGS(ControlRef control, ControlPartCode) {
    processSlider(control, i);
}

template <int i>
OSStatus handleGT(EventHandlerCallRef call, EventRef event, void* userData) {
    return processEditText(call, event, userData, i);
}

template <int... i>
constexpr std::array<ControlActionProcPtr, sizeof...(i)> sliderActions(std::integer_sequence<int, i...>) {
    return {handleGS<i>...};
}

template <int... i>
constexpr std::array<EventHandlerProcPtr, sizeof...(i)> textHandlers(std::integer_sequence<int, i...>) {
    return {handleGT<i>...};
}

const auto handleGSFamily = sliderActions(std::make_integer_sequence<int, kMacParameterCount>());
const auto handleGTFamily = textHandlers(std::make_integer_sequence<int, kMacParameterCount>());

void initEditSlider(int i, ControlActionProcPtr action, EventHandlerProcPtr textHandler, WindowRef window) {
    const double value = gParams->values[i];
    lastValueGUI[i] = value;
    if (ControlRef slider = dialogControl(window, controlID_GS[i])) {
        SetControl32BitMinimum(slider, SldrLowGUI[i]);
        SetControl32BitMaximum(slider, SldrHighGUI[i]);
        SetControl32BitValue(slider, sliderPositionOf(i, value));
        lastSliderPositionGUI[i] = GetControl32BitValue(slider);
        if (handlersNotInstalledYet) SetControlAction(slider, NewControlActionUPP(action));
    }
    if (ControlRef edit = dialogControl(window, controlID_GT[i])) {
        lastEditTextGUI[i] = valueText(value);
        setControlText(edit, lastEditTextGUI[i].c_str());
        const EventTypeSpec textEvents[] = {{kEventClassTextInput, kEventTextInputUnicodeForKeyEvent},
                                            {kEventClassTextField, kEventTextDidChange}};
        if (handlersNotInstalledYet)
            InstallControlEventHandler(edit, NewEventHandlerUPP(textHandler), 2, textEvents, window, nullptr);
    }
}

bool pointInRect(Point p, const Rect& r) {
    return p.v >= r.top && p.v < r.bottom && p.h >= r.left && p.h < r.right;
}

// A double-click on a parameter's label restores its default.  Only the
// labels the nib has, and that are shown, are tested.
OSStatus TextDoubleClickHandler(EventHandlerCallRef, EventRef event, void* userData) {
    WindowRef window = static_cast<WindowRef>(userData);
    uint32_t clicks = 0;
    Point where;
    Rect content;
    if (GetEventClass(event) != kEventClassMouse || GetEventKind(event) != kEventMouseDown ||
        GetEventParameter(event, kEventParamClickCount, typeUInt32, nullptr, sizeof clicks, nullptr, &clicks) != 0 ||
        clicks != 2 ||
        GetEventParameter(event, kEventParamMouseLocation, typeQDPoint, nullptr, sizeof where, nullptr, &where) !=
            0 ||
        GetWindowBounds(window, kWindowContentRgn, &content) != 0)
        return eventNotHandledErr;
    const Point local{int16_t(where.v - content.top), int16_t(where.h - content.left)};
    for (int i = 0; i < kMacParameterCount; ++i) {
        ControlRef label = dialogControlByID(window, labelIdOfSlot(i));
        Rect bounds;
        if (!label || !IsControlVisible(label) || !pointInRect(local, *GetControlBounds(label, &bounds))) continue;
        gParams->values[i] = DefaultGUI[i];
        initEditSlider(i, handleGSFamily[size_t(i)], handleGTFamily[size_t(i)], window);
        // The preview shows the value the controls now show.
        UpdateProxyItem(window, true);
        break;
    }
    return eventNotHandledErr;
}

void installDoubleClickStaticTextHandlers(WindowRef window) {
    const EventTypeSpec mouseDown[] = {{kEventClassMouse, kEventMouseDown}};
    InstallWindowEventHandler(window, NewEventHandlerUPP(TextDoubleClickHandler), 1, mouseDown, window, nullptr);
}

// The flag follows its box: Glimra's matte inversion, Halvane's noise mode
// (proxySetNoiseMode, the same control).
void processSNSModeClick(WindowRef window) {
    if (ControlRef box = dialogControl(window, proxyInvertMatte))
        gParams->flags[kPreviewWithoutDetailOrInvertFlag] = GetControl32BitValue(box) == 1 ? 1 : 0;
    UpdateProxyItem(window);
}

// The "when UI loads" boxes exclude each other.
void processProfileOnLoadBox(WindowRef window, int32 id, int flag, int32 otherId, int otherFlag) {
    processCheckBox(window, id, gParams->flags[flag], false);
    gParams->flags[otherFlag] = 0;
    initCheckBox(window, otherId, 0);
}

// Every control from the values and flags, then the preview.
void refreshAndUpdate(WindowRef window) {
    initCheckboxes(window);
    initAllEditSliders(window);
    UpdateProxyItem(window);
}

OSStatus WindowEventHandler(EventHandlerCallRef, EventRef event, void* userData) {
    HICommand command;
    if (GetEventClass(event) != kEventClassCommand || GetEventKind(event) != kEventCommandProcess ||
        GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr,
                          &command) != 0)
        return eventNotHandledErr;
    WindowRef window = static_cast<WindowRef>(userData);
    const OSStatus result = eventNotHandledErr;
    switch (command.commandID) {
        case kHICommandOK:
            shallDoFilter = true;
            QuitAppModalLoopForWindow(window);
            return result;
        case kHICommandCancel:
            shallDoFilter = false;
            QuitAppModalLoopForWindow(window);
            return result;
        // The close box cancels; taken here, the window is disposed once, by DoUI.
        case kHICommandClose:
            shallDoFilter = false;
            QuitAppModalLoopForWindow(window);
            return noErr;
        case fourChars("Pdig"):
        case fourChars("Pfil"):
            autoProfile(command.commandID == fourChars("Pdig") ? kDigitalPreset : kFilmPreset);
            refreshAndUpdate(window);
            return result;
        case fourChars("Rnrs"):
            resetNRParams();
            initAllEditSliders(window);
            UpdateProxyItem(window);
            return result;
        case fourChars("Rrst"):
            noiseReductionResetAllButton();
            refreshAndUpdate(window);
            return result;
        case fourChars("Apro"):
            processCheckBox(window, kAlwaysProfileBox, gParams->flags[kAlwaysProfileFlag], true);
            return processCommonCommands(window, command.commandID, result);
        case fourChars("digS"):
            processProfileOnLoadBox(window, kProfileDigitalOnLoadBox, kDigitalProfileFlag, kProfileFilmOnLoadBox,
                                    kFilmProfileFlag);
            return result;
        case fourChars("filS"):
            processProfileOnLoadBox(window, kProfileFilmOnLoadBox, kFilmProfileFlag, kProfileDigitalOnLoadBox,
                                    kDigitalProfileFlag);
            return result;
        case fourChars("invP"):
            processCheckBox(window, kProtectShadowsBox, gParams->flags[kProtectShadowsFlag], true);
            processInvertProtectionTextChange(window);
            return result;
        case fourChars("Snsm"): processSNSModeClick(window); return result;
        // Glimra's flag has no box, so the command changes nothing there.
        case fourChars("Clrs"):
            processCheckBox(window, BooleanID[kCleanerSmoothAreasFlag], gParams->flags[kCleanerSmoothAreasFlag], true);
            return result;
        default: return processCommonCommands(window, command.commandID, result);
    }
}
}  // namespace

void initAllEditSliders(WindowRef window) {
    for (int i = 0; i < kMacParameterCount; ++i)
        initEditSlider(i, handleGSFamily[size_t(i)], handleGTFamily[size_t(i)], window);
    handlersNotInstalledYet = false;
}

OSStatus processCommonCommands(WindowRef window, uint32_t command, OSStatus result) {
    switch (command) {
        case fourChars("Zm01"):
        case fourChars("Zm02"):
        case fourChars("Zm04"):
            changeZoom(int32(command & 0xff) - '0');
            UpdateProxyItem(window, true);
            return result;
        case fourChars("Zmin"): changeUpdateRelativeZoomLevelMac(window, -1, UpdateProxyItem); return result;
        case fourChars("Zmot"): changeUpdateRelativeZoomLevelMac(window, +1, UpdateProxyItem); return result;
        case fourChars("Orig"): processOrigClick(window); return result;
        case fourChars("Eyed"): processEyedropperButton(window); return result;
        // A loaded file sets every flag, the "when UI loads" ones too.
        case fourChars("Load"):
            loadSettings(makeParamStructure(), kSettingsMagic);
            UpdateProxyItem(window, true);
            initCheckboxes(window);
            initAllEditSliders(window);
            return result;
        case fourChars("Save"): saveSettings(makeParamStructure(), kSettingsMagic); return result;
        case fourChars("Rrst"):
            InitParameters();
            initCheckboxes(window);
            initAllEditSliders(window);
            proxyHandleReset(window);
            return result;
        case fourChars("advC"):
            if (ControlRef box = dialogControlByID(window, proxyShowAdvancedID))
                pData.showAdvanced = GetControl32BitValue(box) == 1 ? 1 : 0;
            processShowAdvancedControls(window);
            return result;
        default: return result;
    }
}

// A window that cannot be made is the user's cancel, after an alert: the
// start selector then restores the parameters and answers -128.
bool DoUI() {
    // A loaded plug-in opens many dialogs: each starts as the first did.
    shallDoFilter = false;
    handlersNotInstalledYet = true;
    WindowRef window = createNibWindow("prototypeDialog");
    if (!window) {
        doAlertBox("(Vexlor) The dialog cannot be opened.  Please reinstall the plug-in.");
        return false;
    }
    const EventTypeSpec commands[] = {{kEventClassCommand, kEventCommandProcess}};
    InstallWindowEventHandler(window, NewEventHandlerUPP(WindowEventHandler), 1, commands, window, nullptr);
    installDoubleClickStaticTextHandlers(window);

    setDefaultAndCancelButtons(window, kOKButton, kCancelButton);
    initZoomableProxy(window, UpdateProxyItem, eyedropperAnalysis, initAllEditSliders, kProductTitle);
    // As on Windows: Halvane's Despeckle box would only seem to change its
    // flag, which every derivation sets.
    HideControl(window, proxyEyedropperControlID);
    HideControl(window, kDespeckleBox);
    processInvertProtectionTextChange(window);
    initAllEditSliders(window);
    initCheckBox(window, kProfileFilmOnLoadBox, gParams->flags[kFilmProfileFlag]);
    initCheckBox(window, kProfileDigitalOnLoadBox, gParams->flags[kDigitalProfileFlag]);

    {
        // Every recompute while the dialog is open hands its bands to these
        // waiting workers instead of starting threads of its own.
        bandWorkerSetScope workers;
        ShowWindow(window);
        UpdateProxyItem(window);
        bugUserToReadManual();
        RunAppModalLoopForWindow(window);
    }
    DisposeWindow(window);
    endDialogPreview();
    // As on Windows: a failure the preview reported while the dialog was open
    // does not make a confirmed run look cancelled.
    if (gResult) *gResult = noErr;
    return shallDoFilter;
}

bool showFilterDialog() { return DoUI(); }
