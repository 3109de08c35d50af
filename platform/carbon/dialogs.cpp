// The Dialog Manager of the headless Carbon stand-in.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <map>

#include "standin_internal.h"

namespace {
struct Definition {
    Rect bounds;
    std::vector<CarbonDialogItemSpec> items;
    std::vector<std::string> texts;
};

std::map<int16_t, Definition> definitions;
std::deque<EventRecord> dialogEvents;
std::vector<DialogRef> liveDialogs;
Point dragDistance{0, 0};
const int16_t kTitleBarHeight = 22;

bool isLiveDialog(DialogRef dialog) {
    return dialog && std::find(liveDialogs.begin(), liveDialogs.end(), dialog) != liveDialogs.end();
}

DialogRef liveDialog(DialogRef dialog, const char* caller) {
    if (isLiveDialog(dialog)) return dialog;
    carbonStandInFault(std::string(caller) + ": " + (dialog ? "a disposed or unknown dialog" : "no dialog"));
    return nullptr;
}

DialogItemRecord* item(DialogRef dialog, DialogItemIndex index, const char* caller) {
    if (!liveDialog(dialog, caller)) return nullptr;
    if (index < 1 || index > DialogItemIndex(dialog->items.size())) {
        carbonStandInFault(std::string(caller) + ": item " + std::to_string(index) + " of a dialog of " +
                           std::to_string(dialog->items.size()));
        return nullptr;
    }
    return &dialog->items[size_t(index - 1)];
}

const char* kindOf(int16_t type) {
    switch (type & ~kItemDisableBit) {
        case kButtonDialogItem: return "button";
        case kCheckBoxDialogItem: return "checkbox";
        case kRadioButtonDialogItem: return "radio";
        case kResourceControlDialogItem: return "popup";
        case kStaticTextDialogItem: return "static";
        case kEditTextDialogItem: return "edit";
        default: return "pane";
    }
}

bool inRect(Point p, const Rect& r) { return p.v >= r.top && p.v < r.bottom && p.h >= r.left && p.h < r.right; }

// The item a click at a global point hits: enabled, shown, 0 for none.
DialogItemIndex hitItem(DialogRef dialog, Point where) {
    const Rect& content = dialog->window->content;
    Point local{int16_t(where.v - content.top), int16_t(where.h - content.left)};
    for (size_t i = 0; i < dialog->items.size(); ++i) {
        const DialogItemRecord& it = dialog->items[i];
        if (!(it.type & kItemDisableBit) && it.control->visible && inRect(local, it.control->bounds))
            return DialogItemIndex(i + 1);
    }
    return 0;
}

Boolean standardFilter(DialogRef dialog, EventRecord* event, DialogItemIndex* itemHit) {
    if (!event || !itemHit || event->what != keyDown) return false;
    const char key = char(event->message & 0xff);
    if (key == '\r' || key == 3) *itemHit = 1;
    else if (key == 27 && dialog->items.size() >= 2) *itemHit = 2;
    else return false;
    return true;
}
}  // namespace

DialogRef GetNewDialog(int16_t dialogID, void*, WindowRef) {
    auto found = definitions.find(dialogID);
    if (found == definitions.end()) return nullptr;
    const Definition& d = found->second;
    auto* dialog = new OpaqueDialogPtr{};
    dialog->window = carbonStandInNewWindow("DLOG " + std::to_string(dialogID), d.bounds);
    dialog->window->dialog = dialog;
    for (size_t i = 0; i < d.items.size(); ++i) {
        const CarbonDialogItemSpec& spec = d.items[i];
        ControlRef c = carbonStandInAddControl(dialog->window, 0, int32_t(i + 1), kindOf(spec.type), spec.bounds, 0,
                                               d.texts[i]);
        dialog->items.push_back(DialogItemRecord{spec.type, c, nullptr});
    }
    liveDialogs.push_back(dialog);
    return dialog;
}

void DisposeDialog(DialogRef dialog) {
    if (!liveDialog(dialog, "DisposeDialog")) return;
    liveDialogs.erase(std::find(liveDialogs.begin(), liveDialogs.end(), dialog));
    DisposeWindow(dialog->window);
    delete dialog;
}

WindowRef GetDialogWindow(DialogRef dialog) {
    return liveDialog(dialog, "GetDialogWindow") ? dialog->window : nullptr;
}

CGrafPtr GetDialogPort(DialogRef dialog) {
    return liveDialog(dialog, "GetDialogPort") ? GetWindowPort(dialog->window) : nullptr;
}

DialogRef GetDialogFromWindow(WindowRef window) {
    return carbonStandInLiveWindow(window, "GetDialogFromWindow") ? window->dialog : nullptr;
}

void DrawDialog(DialogRef dialog) {
    if (!liveDialog(dialog, "DrawDialog")) return;
    GrafPtr saved;
    GetPort(&saved);
    SetPortWindowPort(dialog->window);
    for (size_t i = 0; i < dialog->items.size(); ++i)
        if (dialog->items[i].userProc && dialog->items[i].control->visible)
            dialog->items[i].userProc(dialog, DialogItemIndex(i + 1));
    SetPort(saved);
}

DialogItemIndex CountDITL(DialogRef dialog) {
    return liveDialog(dialog, "CountDITL") ? DialogItemIndex(dialog->items.size()) : 0;
}

void GetDialogItem(DialogRef dialog, DialogItemIndex index, int16_t* type, Handle* handle, Rect* box) {
    DialogItemRecord* it = item(dialog, index, "GetDialogItem");
    if (type) *type = it ? it->type : 0;
    if (handle)
        *handle = it ? (it->userProc ? reinterpret_cast<Handle>(it->userProc) : reinterpret_cast<Handle>(it->control))
                     : nullptr;
    if (box) *box = it ? it->control->bounds : Rect{0, 0, 0, 0};
}

void SetDialogItem(DialogRef dialog, DialogItemIndex index, int16_t type, Handle handle, const Rect* box) {
    DialogItemRecord* it = item(dialog, index, "SetDialogItem");
    if (!it) return;
    it->type = type;
    if ((type & ~kItemDisableBit) == kUserDialogItem) it->userProc = reinterpret_cast<UserItemUPP>(handle);
    if (box) it->control->bounds = *box;
}

OSErr GetDialogItemAsControl(DialogRef dialog, int16_t index, ControlRef* control) {
    DialogItemRecord* it = item(dialog, index, "GetDialogItemAsControl");
    if (control) *control = it ? it->control : nullptr;
    return it ? OSErr(noErr) : OSErr(errUnknownControl);
}

void SetDialogItemText(Handle handle, ConstStr255Param text) {
    auto* c = reinterpret_cast<ControlRef>(handle);
    if (c && text) c->text.assign(reinterpret_cast<const char*>(text + 1), text[0]);
}

void GetDialogItemText(Handle handle, Str255 text) {
    auto* c = reinterpret_cast<ControlRef>(handle);
    if (!text) return;
    const size_t n = c ? std::min<size_t>(c->text.size(), 255) : 0;
    text[0] = uint8_t(n);
    if (n) std::memcpy(text + 1, c->text.data(), n);
}

void SelectDialogItemText(DialogRef dialog, int16_t index, int16_t start, int16_t end) {
    if (!item(dialog, index, "SelectDialogItemText")) return;
    dialog->selectedItem = index;
    dialog->selectionStart = start;
    dialog->selectionEnd = end;
}

void ShowDialogItem(DialogRef dialog, DialogItemIndex index) {
    if (DialogItemRecord* it = item(dialog, index, "ShowDialogItem")) it->control->visible = true;
}

void HideDialogItem(DialogRef dialog, DialogItemIndex index) {
    if (DialogItemRecord* it = item(dialog, index, "HideDialogItem")) it->control->visible = false;
}

OSErr GetStdFilterProc(ModalFilterUPP* theProc) {
    if (!theProc) return paramErr;
    *theProc = standardFilter;
    return noErr;
}

void ModalDialog(ModalFilterUPP filter, DialogItemIndex* itemHit) {
    if (!itemHit) return;
    *itemHit = 0;
    GrafPtr port;
    GetPort(&port);
    DialogRef dialog = port && port->window ? port->window->dialog : nullptr;
    if (!liveDialog(dialog, "ModalDialog (the current port is no dialog's)")) return;
    while (!dialogEvents.empty()) {
        EventRecord event = dialogEvents.front();
        dialogEvents.pop_front();
        if (filter && filter(dialog, &event, itemHit)) return;
        if (!isLiveDialog(dialog)) return;
        if (event.what == mouseDown) {
            if (DialogItemIndex hit = hitItem(dialog, event.where)) {
                *itemHit = hit;
                return;
            }
        } else if (standardFilter(dialog, &event, itemHit)) {
            return;
        }
    }
    *itemHit = 1;
}

int16_t FindWindow(Point where, WindowRef* window) {
    if (window) *window = nullptr;
    for (int i = CarbonStandInWindowCount() - 1; i >= 0; --i) {
        WindowRef w = CarbonStandInWindowAt(i);
        Rect frame = w->content;
        frame.top = int16_t(frame.top - kTitleBarHeight);
        if (!inRect(where, frame)) continue;
        if (window) *window = w;
        return where.v < w->content.top ? inDrag : inContent;
    }
    return 0;
}

void DragWindow(WindowRef window, Point, const Rect* boundsRect) {
    if (!carbonStandInLiveWindow(window, "DragWindow")) return;
    Rect r = window->content;
    const int16_t width = int16_t(r.right - r.left), height = int16_t(r.bottom - r.top);
    long left = r.left + dragDistance.h, top = r.top + dragDistance.v;
    if (boundsRect) {
        left = std::clamp<long>(left, boundsRect->left, std::max<long>(boundsRect->left, boundsRect->right - width));
        top = std::clamp<long>(top, boundsRect->top + kTitleBarHeight,
                               std::max<long>(boundsRect->top + kTitleBarHeight, boundsRect->bottom - height));
    }
    r = Rect{int16_t(top), int16_t(left), int16_t(top + height), int16_t(left + width)};
    SetWindowBounds(window, kWindowContentRgn, &r);
}

void CarbonStandInDefineDialog(int16_t dialogID, const Rect* bounds, const CarbonDialogItemSpec* items, int count) {
    Definition d{bounds ? *bounds : Rect{0, 0, 0, 0}, {}, {}};
    for (int i = 0; items && i < count; ++i) {
        d.items.push_back(items[i]);
        d.texts.push_back(items[i].text ? items[i].text : "");
        d.items.back().text = nullptr;
    }
    definitions[dialogID] = std::move(d);
}

void CarbonStandInQueueDialogEvents(const EventRecord* events, int count) {
    for (int i = 0; events && i < count; ++i) dialogEvents.push_back(events[i]);
}

void CarbonStandInSetDragDistance(int16_t dh, int16_t dv) { dragDistance = Point{dv, dh}; }

long CarbonStandInLiveDialogs() { return long(liveDialogs.size()); }

void CarbonStandInDialogSelection(DialogRef dialog, int16_t* index, int16_t* start, int16_t* end) {
    const bool live = isLiveDialog(dialog);
    if (index) *index = live ? dialog->selectedItem : 0;
    if (start) *start = live ? dialog->selectionStart : 0;
    if (end) *end = live ? dialog->selectionEnd : 0;
}
