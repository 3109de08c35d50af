// The parameter controls and the commands of the Windows dialog.
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "dialog/control_tables.h"
#include "dialog/edit_fields.h"
#include "engine/autoprofile.h"
#include "engine/product.h"
#include "entry/params.h"
#include "host/globals.h"
#include "preview/proxy.h"
#include "preview/proxy_source.h"
#include "win/dialog_win.h"
#include "win/settings_dialogs_win.h"

bool sliderEchoAllowed = true;
bool editEchoAllowed = true;
bool allowProxyUpdate = false;
bool showOriginalMode = false;

namespace {
const int kEditTextChars = 256;

bool isChecked(HWND window, int id) { return IsDlgButtonChecked(window, id) == BST_CHECKED; }

int64_t sliderPosition(HWND window, int sliderId) {
    return int64_t(SendDlgItemMessageA(window, sliderId, TBM_GETPOS, 0, 0));
}

// Clears Show Original and recomputes with the current values.
void proxyHandleReset(HWND window) {
    CheckDlgButton(window, kShowOriginalBox, BST_UNCHECKED);
    showOriginalMode = false;
    UpdateProxyItem(window, true);
}

void refreshAndResetView(HWND window) {
    refreshDialogControls(window, 0);
    proxyHandleReset(window);
}

// The "when UI loads" boxes exclude each other.
void processProfileOnLoadBox(HWND window, int id, int flag, int otherId, int otherFlag) {
    processCheckBox(window, id, gParams->flags[flag], true);
    gParams->flags[otherFlag] = 0;
    CheckDlgButton(window, otherId, BST_UNCHECKED);
}

void loadSettingsCommand(HWND window) {
    loadSettings(window, kSettingsFileFilter, kSettingsExtension, kSettingsMagic, makeParamStructure(),
                 UpdateProxyItem, refreshDialogControls);
}

void zoomCommand(HWND window, int32 factor) {
    pData.zoomFactor = factor;
    SetupProxy(0);
    UpdateProxyItem(window, true);
}

void armMouseState(dialogMouseState state) {
    mouseState = state;
    SetCursorFromMousestate();
}

// Whether the edit box shows text whole: its width in the box's own font
// within the box's formatting rectangle (the client area less the margins).
bool editBoxHolds(HWND edit, const std::string& text) {
    RECT room = {0, 0, 0, 0};
    SendMessageA(edit, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&room));
    HDC dc = GetDC(edit);
    const HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageA(edit, WM_GETFONT, 0, 0));
    const HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    SIZE extent = {0, 0};
    GetTextExtentPoint32A(dc, text.c_str(), int(text.size()), &extent);
    if (old) SelectObject(dc, old);
    ReleaseDC(edit, dc);
    return extent.cx <= room.right - room.left;
}

// The text the dialog shows in edit box id for value: as many decimals as
// the box holds, never a digit cut off at its edge.
std::string editTextShown(HWND window, int id, double value) {
    HWND edit = GetDlgItem(window, id);
    if (!edit) return editTextForValue(value);
    return editTextThatFits(value, [edit](const std::string& text) { return editBoxHolds(edit, text); });
}

std::string editText(HWND window, int id) {
    char text[kEditTextChars] = {};
    GetDlgItemTextA(window, id, text, kEditTextChars);
    return text;
}
}  // namespace

void StuffDouble(HWND window, int id, double value) {
    SetDlgItemTextA(window, id, editTextShown(window, id, value).c_str());
}

int FetchDouble(HWND window, int id, double low, double high, double& value, double fallback) {
    return parseEditNumber(editText(window, id), low, high, value, fallback);
}

void initEditSlider(HWND window, int editId, int sliderId, double value, double scale, int32 low, int32 high,
                    int64_t& lastPosition) {
    StuffDouble(window, editId, value);
    SendDlgItemMessageA(window, sliderId, TBM_SETRANGEMIN, FALSE, low);
    SendDlgItemMessageA(window, sliderId, TBM_SETRANGEMAX, TRUE, high);
    SendDlgItemMessageA(window, sliderId, TBM_SETPOS, TRUE, sliderPositionFor(value, scale, low, high));
    lastPosition = sliderPosition(window, sliderId);
}

namespace {
void initSlot(HWND window, int i) {
    initEditSlider(window, EditGUI[i], SldrGUI[i], gParams->values[i], SldrScaleGUI[i], SldrLowGUI[i],
                   SldrHighGUI[i], LastPosGUI[i]);
}
}  // namespace

void initAllEditSlidersAndCheckboxes(HWND window) {
    for (int i = 0; i < kParamValueCount; ++i)
        if (slotHasControl(i)) initSlot(window, i);
    for (int f = 0; f < kParamFlagCount; ++f)
        if (BooleanID[f] != 0) CheckDlgButton(window, BooleanID[f], gParams->flags[f] ? BST_CHECKED : BST_UNCHECKED);
}

void refreshDialogControls(HWND window, int allow) {
    const bool saved = allowProxyUpdate;
    allowProxyUpdate = allow != 0;
    initAllEditSlidersAndCheckboxes(window);
    allowProxyUpdate = saved;
}

void processSlider(HWND window, int i) {
    const int64_t position = sliderPosition(window, SldrGUI[i]);
    if (position == LastPosGUI[i] || !sliderEchoAllowed || !allowProxyUpdate) return;
    LastPosGUI[i] = position;
    gParams->values[i] = double(position) / SldrScaleGUI[i];
    editEchoAllowed = false;
    StuffDouble(window, EditGUI[i], gParams->values[i]);
    editEchoAllowed = true;
    UpdateProxyItem(window, true);
}

void processEditText(HWND window, int i, int notificationCode) {
    if (notificationCode != EN_CHANGE || !editEchoAllowed || !allowProxyUpdate) return;
    // The text the dialog itself wrote for the value (a label's double-click
    // echoes here) stands for that value: its shorter form in a narrow box
    // must not round the parameter.  Typed text is read as typed.
    double value = gParams->values[i];
    if (editText(window, EditGUI[i]) != editTextShown(window, EditGUI[i], value))
        FetchDouble(window, EditGUI[i], SldrLowGUI[i], SldrHighGUI[i], value, DefaultGUI[i]);
    gParams->values[i] = value;
    sliderEchoAllowed = false;
    SendDlgItemMessageA(window, SldrGUI[i], TBM_SETPOS, TRUE,
                        sliderPositionFor(value, SldrScaleGUI[i], SldrLowGUI[i], SldrHighGUI[i]));
    LastPosGUI[i] = sliderPosition(window, SldrGUI[i]);
    sliderEchoAllowed = true;
    UpdateProxyItem(window, true);
}

void processCheckBox(HWND window, int id, uint8& flag, bool update) {
    flag = isChecked(window, id) ? 1 : 0;
    if (update) UpdateProxyItem(window, true);
}

void processShowAdvancedControls(HWND window) {
    // The caller's gate is put back: the dialog's start keeps updates off
    // until its last step, which computes the first preview once.
    const bool saved = allowProxyUpdate;
    allowProxyUpdate = false;
    const int show = pData.showAdvanced ? SW_SHOW : SW_HIDE;
    for (int i = 0; i < kParamValueCount; ++i)
        if (slotHasControl(i) && isAdvancedControl[i])
            for (int id : {int(EditGUI[i]), int(SldrGUI[i]), int(labelIdOfSlot(i))})
                ShowWindow(GetDlgItem(window, id), show);
    for (int f = 0; f < kParamFlagCount; ++f)
        if (BooleanID[f] != 0 && isAdvancedBooleanControl[f]) ShowWindow(GetDlgItem(window, BooleanID[f]), show);
    for (int id = kFirstInstruction; id <= kLastInstruction; ++id)
        ShowWindow(GetDlgItem(window, id), pData.showAdvanced ? SW_HIDE : SW_SHOW);
    allowProxyUpdate = saved;
}

void processInvertProtectionTextChange(HWND window) {
    const bool shadows = isChecked(window, kProtectShadowsBox);
    SetDlgItemTextA(window, kThresholdLabel, shadows ? "Shadow protect threshold" : "Highlight protect threshold");
    SetDlgItemTextA(window, kFeatherLabel, shadows ? "Shadow protect feather" : "Highlight protect feather");
}

INT_PTR processDialogCommand(HWND window, int id, int code, bool& handled) {
    handled = true;
    switch (id) {
        case kResetAllButton:
            if (code == BN_CLICKED) {
                noiseReductionResetAllButton();
                refreshAndResetView(window);
            }
            return 1;
        case kResetNoiseReductionButton:
            if (code == BN_CLICKED) {
                resetNRParams();
                refreshAndResetView(window);
            }
            return 1;
        case kProfileDigitalOnLoadBox:
            processProfileOnLoadBox(window, id, kDigitalProfileFlag, kProfileFilmOnLoadBox, kFilmProfileFlag);
            return 1;
        case kProfileFilmOnLoadBox:
            processProfileOnLoadBox(window, id, kFilmProfileFlag, kProfileDigitalOnLoadBox, kDigitalProfileFlag);
            return 1;
        case kProfileDigitalButton:
        case kProfileFilmButton:
            if (code == BN_CLICKED) {
                autoProfile(id == kProfileDigitalButton ? kDigitalPreset : kFilmPreset);
                refreshAndResetView(window);
            }
            return 1;
        case kLoadSettingsButton: {
            // A settings file never changes the "when UI loads" choices in force.
            const uint8 digital = gParams->flags[kDigitalProfileFlag], film = gParams->flags[kFilmProfileFlag];
            loadSettingsCommand(window);
            gParams->flags[kDigitalProfileFlag] = digital;
            gParams->flags[kFilmProfileFlag] = film;
            refreshDialogControls(window, 0);
            return 0;
        }
        default: handled = false; return 0;
    }
}

INT_PTR processCommonCommands(HWND window, UINT, WPARAM wParam, LPARAM) {
    const int id = LOWORD(wParam), code = HIWORD(wParam);
    switch (id) {
        case kShowOriginalBox:
            showOriginalMode = isChecked(window, id);
            UpdateProxyItem(window, !showOriginalMode);
            return 0;
        case kEyedropperButton: armMouseState(kEyedropperArmed); return 0;
        case kSaveSettingsButton:
            saveSettings(window, kSettingsFileFilter, kSettingsExtension, kSettingsMagic, makeParamStructure());
            return 0;
        case kLoadSettingsButton: loadSettingsCommand(window); return 0;
        case kStartSelectionButton: armMouseState(kStartSelectionArmed); return 0;
        case kSelectNoiseButton: armMouseState(kAddSelectionArmed); return 0;
        case kSubtractSelectionButton: armMouseState(kSubtractSelectionArmed); return 0;
        case kZoom100Button: zoomCommand(window, 1); return 1;
        case kZoom200Button: zoomCommand(window, 2); return 1;
        case kZoom400Button: zoomCommand(window, 4); return 1;
        case kShowAdvancedBox:
            pData.showAdvanced = isChecked(window, id) ? 1 : 0;
            processShowAdvancedControls(window);
            return 0;
        default: break;
    }
    const int editSlot = editSlotOfId(id);
    if (editSlot >= 0) {
        processEditText(window, editSlot, code);
        return 0;
    }
    const int labelSlot = labelSlotOfId(id);
    if (labelSlot >= 0 && code == STN_DBLCLK) {
        gParams->values[labelSlot] = DefaultGUI[labelSlot];
        initSlot(window, labelSlot);
        return 0;
    }
    const int flag = booleanSlotOfId(id);
    if (flag >= 0 && code == BN_CLICKED) {
        processCheckBox(window, id, gParams->flags[flag], true);
        return 0;
    }
    return 1;
}
