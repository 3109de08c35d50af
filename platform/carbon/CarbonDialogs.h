// The Dialog Manager of the stand-in: dialogs of numbered items over a
// window, the modal-dialog loop with filters, and dialog templates.  The
// embedding host defines the dialogs that GetNewDialog finds and scripts
// the events ModalDialog reads.
#pragma once

struct EventRecord {
    uint16_t what;
    uint32_t message;
    uint32_t when;
    Point where;  // global
    uint16_t modifiers;
};
enum : uint16_t { nullEvent = 0, mouseDown = 1, mouseUp = 2, keyDown = 3, updateEvt = 6 };
enum : int16_t { inContent = 3, inDrag = 4 };

enum : int16_t {
    kUserDialogItem = 0,
    kButtonDialogItem = 4,
    kCheckBoxDialogItem = 5,
    kRadioButtonDialogItem = 6,
    kResourceControlDialogItem = 7,  // a pop-up menu here
    kStaticTextDialogItem = 8,
    kEditTextDialogItem = 16,
    kItemDisableBit = 128,
};

typedef Boolean (*ModalFilterProcPtr)(DialogRef dialog, EventRecord* event, DialogItemIndex* itemHit);
typedef ModalFilterProcPtr ModalFilterUPP;
typedef void (*UserItemProcPtr)(DialogRef dialog, DialogItemIndex item);
typedef UserItemProcPtr UserItemUPP;

// A dialog or alert template as its resource holds it.
struct DialogTemplate {
    Rect boundsRect;
    int16_t procID;
    Boolean visible;
    Boolean goAwayFlag;
    int32_t refCon;
    int16_t itemsID;
};
struct AlertTemplate {
    Rect boundsRect;  // global
    int16_t itemsID;
    uint16_t stages;
};

CARBON_API DialogRef GetNewDialog(int16_t dialogID, void* storage, WindowRef behind);
CARBON_API void DisposeDialog(DialogRef dialog);
CARBON_API WindowRef GetDialogWindow(DialogRef dialog);
CARBON_API CGrafPtr GetDialogPort(DialogRef dialog);
CARBON_API DialogRef GetDialogFromWindow(WindowRef window);
CARBON_API void DrawDialog(DialogRef dialog);
CARBON_API DialogItemIndex CountDITL(DialogRef dialog);
// Item handles are the items' own; for a control item the handle is its
// ControlRef.
CARBON_API void GetDialogItem(DialogRef dialog, DialogItemIndex item, int16_t* type, Handle* handle, Rect* box);
CARBON_API void SetDialogItem(DialogRef dialog, DialogItemIndex item, int16_t type, Handle handle, const Rect* box);
CARBON_API OSErr GetDialogItemAsControl(DialogRef dialog, int16_t item, ControlRef* control);
CARBON_API void SetDialogItemText(Handle item, ConstStr255Param text);
CARBON_API void GetDialogItemText(Handle item, Str255 text);
CARBON_API void SelectDialogItemText(DialogRef dialog, int16_t item, int16_t start, int16_t end);
CARBON_API void ShowDialogItem(DialogRef dialog, DialogItemIndex item);
CARBON_API void HideDialogItem(DialogRef dialog, DialogItemIndex item);
CARBON_API OSErr GetStdFilterProc(ModalFilterUPP* theProc);
// Reads the scripted events: each goes to the filter first; a filter that
// answers true ends the call with its item.  Otherwise a click in an enabled
// item, or return (the default item 1) or escape (item 2), ends it.  With
// no events left the user presses return.
CARBON_API void ModalDialog(ModalFilterUPP filter, DialogItemIndex* itemHit);
CARBON_API int16_t FindWindow(Point where, WindowRef* window);
// Moves the window by the distance of the scripted drag (see
// CarbonStandInSetDragDistance), kept inside the bounds.
CARBON_API void DragWindow(WindowRef window, Point startPoint, const Rect* boundsRect);

// The stand-in's side: dialogs to define and the events of ModalDialog.
struct CarbonDialogItemSpec {
    int16_t type;
    Rect bounds;
    const char* text;
};
CARBON_API void CarbonStandInDefineDialog(int16_t dialogID, const Rect* bounds, const CarbonDialogItemSpec* items,
                                          int count);
CARBON_API void CarbonStandInQueueDialogEvents(const EventRecord* events, int count);
CARBON_API void CarbonStandInSetDragDistance(int16_t dh, int16_t dv);
CARBON_API long CarbonStandInLiveDialogs();
// Where the last alert from resources was shown; all 0 before the first.
CARBON_API void CarbonStandInLastAlertBounds(Rect* bounds);
// Item 0 when nothing is selected.
CARBON_API void CarbonStandInDialogSelection(DialogRef dialog, int16_t* item, int16_t* start, int16_t* end);
