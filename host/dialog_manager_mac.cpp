// Dialog Manager helpers of the Mac form.
#include "host/dialog_manager_mac.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "host/dialog_utils_mac.h"
#include "host/text_conversion.h"

namespace {
const int16 kDimmed = 255, kButtonPart = 10, kFlashTicks = 5;

// What MoveableModalDialog keeps as the window's reference value while it
// runs; the caller's own value is kept inside and given back after.
struct MoveableRecord {
    ModalFilterUPP filter;
    long callerRefCon;
};
std::vector<MoveableRecord*> runningRecords;

MoveableRecord* runningRecord(long refCon) {
    for (MoveableRecord* r : runningRecords)
        if (reinterpret_cast<long>(r) == refCon) return r;
    return nullptr;
}

ControlRef itemControl(DialogRef dialog, int16 item) {
    ControlRef control = nullptr;
    GetDialogItemAsControl(dialog, item, &control);
    return control;
}

int16 itemType(DialogRef dialog, int16 item) {
    int16_t type = 0;
    Handle h;
    Rect r;
    GetDialogItem(dialog, item, &type, &h, &r);
    return int16(type & ~kItemDisableBit);
}

Rect itemRect(DialogRef dialog, int16 item) {
    int16_t type;
    Handle h;
    Rect r{0, 0, 0, 0};
    GetDialogItem(dialog, item, &type, &h, &r);
    return r;
}

void installUserItem(DialogRef dialog, int16 item, UserItemUPP proc) {
    Rect r = itemRect(dialog, item);
    SetDialogItem(dialog, item, kUserDialogItem, reinterpret_cast<Handle>(proc), &r);
}
}  // namespace

// Centred across, a third of the way down the space below the menu bar, and
// never under the menu bar however tall the dialog.
void CenterDialog(DialogTemplate* dialogTemplate) {
    if (!dialogTemplate) return;
    Rect screen;
    GetMainScreenBounds(&screen);
    Rect& r = dialogTemplate->boundsRect;
    const int32 menuBar = GetMBarHeight();
    const int32 width = int32(r.right) - r.left, height = int32(r.bottom) - r.top;
    const int32 left = screen.left + (int32(screen.right) - screen.left - width) / 2;
    const int32 top = std::max(screen.top + menuBar, screen.top + menuBar + (int32(screen.bottom) - screen.top -
                                                                              height - menuBar) / 3);
    r.left = int16(std::clamp<int32>(left, INT16_MIN, INT16_MAX - std::max(width, 0)));
    r.top = int16(std::min<int32>(top, INT16_MAX - std::max(height, 0)));
    r.right = int16(r.left + width);
    r.bottom = int16(r.top + height);
}

void ShowAbout(int16 aboutID) {
    DialogRef dialog = GetNewDialog(aboutID, nullptr, reinterpret_cast<WindowRef>(-1));
    if (!dialog) return;
    WindowRef window = GetDialogWindow(dialog);
    DialogTemplate t{};
    GetWindowBounds(window, kWindowContentRgn, &t.boundsRect);
    CenterDialog(&t);
    SetWindowBounds(window, kWindowContentRgn, &t.boundsRect);
    ShowWindow(window);
    int16 item = 0;
    MoveableModalDialog(dialog, nullptr, &item);
    DisposeDialog(dialog);
}

void MoveableModalDialog(DialogRef dialog, ModalFilterUPP filter, int16* item) {
    WindowRef window = GetDialogWindow(dialog);
    if (!window || !item) return;
    // A loop run from inside another's filter keeps the outermost caller's value.
    const long saved = GetWRefCon(window);
    const MoveableRecord* outer = runningRecord(saved);
    MoveableRecord record{filter, outer ? outer->callerRefCon : saved};
    runningRecords.push_back(&record);
    SetWRefCon(window, reinterpret_cast<long>(&record));
    GrafPtr port;
    GetPort(&port);
    SetPort(GetDialogPort(dialog));
    ModalDialog(DialogFilter, item);
    SetPort(port);
    runningRecords.erase(std::find(runningRecords.begin(), runningRecords.end(), &record));
    SetWRefCon(window, saved);
}

long GetMoveableWRefCon(DialogRef dialog) {
    WindowRef window = GetDialogWindow(dialog);
    if (!window) return 0;
    const long refCon = GetWRefCon(window);
    const MoveableRecord* record = runningRecord(refCon);
    return record ? record->callerRefCon : refCon;
}

Boolean DialogFilter(DialogRef dialog, EventRecord* event, int16* item) {
    WindowRef window = GetDialogWindow(dialog);
    if (!window || !event || !item) return false;
    if (event->what == mouseDown) {
        WindowRef hit = nullptr;
        if (FindWindow(event->where, &hit) == inDrag && hit == window) {
            Rect gray;
            GetRegionBounds(GetGrayRgn(), &gray);
            DragWindow(window, event->where, &gray);
            event->what = nullEvent;
            return false;
        }
    }
    ModalFilterUPP standard = nullptr;
    if (GetStdFilterProc(&standard) == 0 && standard && standard(dialog, event, item)) return true;
    const MoveableRecord* record = runningRecord(GetWRefCon(window));
    return record && record->filter ? record->filter(dialog, event, item) : false;
}

void SetOutlineOK(DialogRef dialog, int16 item) { installUserItem(dialog, item, OutlineOK); }

void OutlineOK(DialogRef dialog, int16) {
    Rect r = itemRect(dialog, 1);
    PenState saved;
    GetPenState(&saved);
    PenSize(3, 3);
    InsetRect(&r, -4, -4);
    FrameRoundRect(&r, 16, 16);
    SetPenState(&saved);
}

void SetOutlineGroup(DialogRef dialog, int16 item) { installUserItem(dialog, item, OutlineGroup); }

void OutlineGroup(DialogRef dialog, int16 item) {
    const Rect r = itemRect(dialog, item);
    PenState saved;
    GetPenState(&saved);
    PenNormal();
    MoveTo(r.left, r.top);
    LineTo(int16(r.right - 1), r.top);
    LineTo(int16(r.right - 1), int16(r.bottom - 1));
    LineTo(r.left, int16(r.bottom - 1));
    LineTo(r.left, r.top);
    SetPenState(&saved);
}

void SelectTextItem(DialogRef dialog, int16 item) { SelectDialogItemText(dialog, item, 0, 32767); }

void StuffText(DialogRef dialog, int16 item, const unsigned char* text) {
    int16_t type;
    Handle h = nullptr;
    Rect r;
    GetDialogItem(dialog, item, &type, &h, &r);
    if (h) SetDialogItemText(h, text);
}

void FetchText(DialogRef dialog, int16 item, Str255 text) {
    int16_t type;
    Handle h = nullptr;
    Rect r;
    text[0] = 0;
    GetDialogItem(dialog, item, &type, &h, &r);
    if (h) GetDialogItemText(h, text);
    if (text[0] < 255) text[text[0] + 1] = 0;
}

void StuffNumber(DialogRef dialog, int16 item, int32 number) {
    Str255 text;
    NumToString(number, text);
    StuffText(dialog, item, text);
}

void StuffDouble(DialogRef dialog, int16 item, double value, int16 precision) {
    Str255 text;
    DoubleToString(text, value, uint16_t(std::max<int16>(precision, 0)));
    StuffText(dialog, item, text);
}

namespace {
// The item's text read by parse (StringToNumber or StringToDouble).
template <typename Number, typename Parse>
int16 fetchAndCheck(DialogRef dialog, int16 item, Number min, Number max, Number* value, Parse parse) {
    Str255 text;
    FetchText(dialog, item, text);
    Number number = 0;
    if (!parse(text, number)) {
        *value = 0;
        return kFetchNotANumber;
    }
    *value = number;
    return number < min || number > max ? kFetchOutOfRange : kFetchInRange;
}
}  // namespace

int16 FetchNumber(DialogRef dialog, int16 item, int32 min, int32 max, int32* value) {
    return fetchAndCheck(dialog, item, min, max, value,
                         [](unsigned char* text, int32& number) { return StringToNumber(text, number); });
}

int16 FetchDouble(DialogRef dialog, int16 item, double min, double max, double* value) {
    return fetchAndCheck(dialog, item, min, max, value,
                         [](unsigned char* text, double& number) { return StringToDouble(text, number); });
}

void AlertNumber(DialogRef dialog, int16 item, int32 min, int32 max, int32* value, int16 alertID) {
    StuffNumber(dialog, item, *value);
    Str255 low, high;
    NumToString(min, low);
    NumToString(max, high);
    ShowAlertType(dialog, alertID, kIntegerRangeStringID, low, high, kCautionAlertType);
    SelectTextItem(dialog, item);
}

void AlertDouble(DialogRef dialog, int16 item, double min, double max, double* value, int16 precision,
                 int16 alertID) {
    StuffDouble(dialog, item, *value, precision);
    Str255 low, high;
    const uint16_t decimals = uint16_t(std::max<int16>(precision, 0));
    DoubleToString(low, min, decimals);
    DoubleToString(high, max, decimals);
    ShowAlertType(dialog, alertID, kDecimalRangeStringID, low, high, kCautionAlertType);
    SelectTextItem(dialog, item);
}

void SetCheckBoxState(DialogRef dialog, int16 item, Boolean checked) {
    SetControl32BitValue(itemControl(dialog, item), checked ? 1 : 0);
}

Boolean GetCheckBoxState(DialogRef dialog, int16 item) { return GetControl32BitValue(itemControl(dialog, item)) != 0; }

void ToggleCheckBoxState(DialogRef dialog, int16 item) {
    SetCheckBoxState(dialog, item, !GetCheckBoxState(dialog, item));
}

void SetRadioGroupState(DialogRef dialog, int16 first, int16 last, int16 item) {
    for (int16 i = first; i <= last; ++i) SetControl32BitValue(itemControl(dialog, i), i == item ? 1 : 0);
}

int16 GetRadioGroupState(DialogRef dialog, int16 first, int16 last) {
    for (int16 i = first; i <= last; ++i)
        if (GetControl32BitValue(itemControl(dialog, i))) return i;
    return 0;
}

// The group of a radio button is the run of radio buttons around it, looked
// for only among the dialog's own items.
void ProcessChecksAndRadios(DialogRef dialog, int16 item) {
    const int16 count = CountDITL(dialog);
    if (item < 1 || item > count) return;
    const int16 type = itemType(dialog, item);
    if (type == kCheckBoxDialogItem) {
        ToggleCheckBoxState(dialog, item);
    } else if (type == kRadioButtonDialogItem) {
        int16 first = item, last = item;
        while (first > 1 && itemType(dialog, int16(first - 1)) == kRadioButtonDialogItem) --first;
        while (last < count && itemType(dialog, int16(last + 1)) == kRadioButtonDialogItem) ++last;
        SetRadioGroupState(dialog, first, last, item);
    }
}

void SetPopUpMenuValue(DialogRef dialog, int16 item, int16 value) {
    ControlRef control = itemControl(dialog, item);
    if (value > GetControl32BitMaximum(control)) SetControl32BitMaximum(control, value);
    SetControl32BitValue(control, value);
}

int16 GetPopUpMenuValue(DialogRef dialog, int16 item) {
    return int16(GetControl32BitValue(itemControl(dialog, item)));
}

void ShowHideItem(DialogRef dialog, int16 item, Boolean show) {
    if (show)
        ShowDialogItem(dialog, item);
    else
        HideDialogItem(dialog, item);
}

void PIEnableControl(DialogRef dialog, int16 item) { HiliteControl(itemControl(dialog, item), 0); }
void PIDisableControl(DialogRef dialog, int16 item) { HiliteControl(itemControl(dialog, item), kDimmed); }

void EnableDisableControl(DialogRef dialog, int16 item, Boolean enable) {
    if (enable)
        PIEnableControl(dialog, item);
    else
        PIDisableControl(dialog, item);
}

void InvalItem(DialogRef dialog, int16 item) {
    const Rect r = itemRect(dialog, item);
    InvalWindowRect(GetDialogWindow(dialog), &r);
}

void FlashDialogButton(DialogRef dialog, int16 item) {
    ControlRef control = itemControl(dialog, item);
    unsigned long ticks;
    HiliteControl(control, kButtonPart);
    Delay(kFlashTicks, &ticks);
    HiliteControl(control, 0);
}
