// Windows, controls, events and dialogs of the headless Carbon stand-in.
// There is no screen: a main screen of a size the embedding host sets holds
// the windows, whose contents are controls with values, texts and bounds.
// The modal loop takes the user's input from a script that the host queues
// (commands, mouse, wheel, keys, pastes, slider tracking, resizing), and
// after it asks the host's responder for commands.  Nibs are text tables in
// a bundle's folder (see CreateNibReferenceWithCFBundle).
#pragma once

#include <cstdint>

typedef int16_t OSErr;
typedef uint32_t OSType;
typedef uint8_t Boolean;
typedef long Size;
typedef struct HandleRecord* Handle;
typedef unsigned char Str255[256];
typedef const unsigned char* ConstStr255Param;

// QuickDraw's geometry, which the host interface's types share.
#ifndef VEXLOR_QUICKDRAW_GEOMETRY
#define VEXLOR_QUICKDRAW_GEOMETRY
struct Rect {
    int16_t top, left, bottom, right;
};
struct Point {
    int16_t v, h;
};
#endif

typedef struct OpaqueIBNibRef* IBNibRef;
typedef struct OpaqueWindowPtr* WindowRef;
typedef struct OpaqueControlRef* ControlRef;
typedef struct OpaqueGrafPtr* GrafPtr;
typedef GrafPtr CGrafPtr;
typedef struct OpaqueEventRef* EventRef;
typedef struct OpaqueEventHandlerCallRef* EventHandlerCallRef;
typedef struct OpaqueEventHandlerRef* EventHandlerRef;
typedef OSStatus (*EventHandlerProcPtr)(EventHandlerCallRef inHandlerCallRef, EventRef inEvent, void* inUserData);
typedef EventHandlerProcPtr EventHandlerUPP;
typedef int16_t ControlPartCode;
typedef void (*ControlActionProcPtr)(ControlRef control, ControlPartCode part);
typedef ControlActionProcPtr ControlActionUPP;

struct EventTypeSpec {
    uint32_t eventClass;
    uint32_t eventKind;
};
struct HICommand {
    uint32_t attributes;
    uint32_t commandID;
};
struct ControlID {
    OSType signature;
    int32_t id;
};

enum : uint32_t {
    kEventClassCommand = 0x636d6473,    // 'cmds'
    kEventClassMouse = 0x6d6f7573,      // 'mous'
    kEventClassWindow = 0x77696e64,     // 'wind'
    kEventClassTextInput = 0x74657874,  // 'text'
    kEventClassTextField = 0x74786664,  // 'txfd'
    kEventClassKeyboard = 0x6b657962,   // 'keyb'
};
enum : uint32_t { kEventCommandProcess = 1 };
enum : uint32_t { kEventMouseDown = 1, kEventMouseUp = 2, kEventMouseDragged = 6, kEventMouseWheelMoved = 10 };
enum : uint32_t { kEventWindowBoundsChanging = 26, kEventWindowBoundsChanged = 27 };
enum : uint32_t { kEventTextInputUnicodeForKeyEvent = 2 };
enum : uint32_t { kEventRawKeyDown = 1 };
// Sent by an edit box after its text changed other than by a key: a paste,
// a cut, a drop.
enum : uint32_t { kEventTextDidChange = 1 };
enum : uint32_t {
    kHICommandOK = 0x6f6b2020,      // 'ok  '
    kHICommandCancel = 0x6e6f7421,  // 'not!'
    kHICommandClose = 0x636c6f73,   // 'clos'
};
enum : uint32_t {
    kEventParamDirectObject = 0x2d2d2d2d,         // '----'
    kEventParamMouseLocation = 0x6d6c6f63,        // 'mloc', global
    kEventParamClickCount = 0x63636e74,           // 'ccnt'
    kEventParamMouseWheelDelta = 0x6d776464,      // 'mwdd'
    kEventParamCurrentBounds = 0x63726374,        // 'crct'
    kEventParamPreviousBounds = 0x70726374,       // 'prct'
    kEventParamAttributes = 0x61747472,           // 'attr'
    kEventParamTextInputSendText = 0x74737478,    // 'tstx', UTF-16
    kEventParamKeyMacCharCodes = 0x6b636872,      // 'kchr', the key's character
    typeHICommand = 0x68636d64,                   // 'hcmd'
    typeQDPoint = 0x51447074,                     // 'QDpt'
    typeQDRectangle = 0x71647274,                 // 'qdrt'
    typeUInt32 = 0x6d61676e,                      // 'magn'
    typeSInt32 = 0x6c6f6e67,                      // 'long'
    typeUnicodeText = 0x75747874,                 // 'utxt'
    typeWindowRef = 0x77696e64,                   // 'wind'
};
enum : uint32_t { kWindowBoundsChangeSizeChanged = 1u << 2, kWindowBoundsChangeOriginChanged = 1u << 3 };
enum : OSStatus {
    eventNotHandledErr = -9874,
    eventParameterNotFoundErr = -9870,
    errUnknownControl = -30584,
    errInvalidWindowRef = -5600,
};
enum : uint16_t { kWindowContentRgn = 33 };
enum : uint32_t { kWindowCenterOnMainScreen = 1, kWindowConstrainStandardOptions = 0x13 };
enum : ControlPartCode { kControlIndicatorPart = 129 };
enum : OSType { kControlEditTextCFStringTag = 0x63667374 /* 'cfst' */ };
enum : int32_t { kControlEntireControl = 0 };
typedef uint32_t ThemeCursor;
enum : ThemeCursor {
    kThemeArrowCursor = 0,
    kThemeCopyArrowCursor = 1,
    kThemeCrossCursor = 7,
    kThemePoofCursor = 19,
};

// Bundles and nibs.  A nib is the text table <folder>/<nib name>.nib.txt of
// the bundle: '#' starts a comment, and each line is one of
//   window <name> <left> <top> <width> <height> [title...]
//   control <signature> <id> <kind> <left> <top> <right> <bottom> <command|-> [text...]
// where a control belongs to the window above it, kinds are button,
// checkbox, radio, slider, edit, static, pane, popup and picture, and a
// command of up to four characters ('-' for none, blanks added at the end)
// is sent when a button or box is clicked.
CARBON_API CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef bundleID);
CARBON_API OSStatus CreateNibReferenceWithCFBundle(CFBundleRef inBundle, CFStringRef inNibName, IBNibRef* outNibRef);
// The nib of the main bundle: any window name gives an empty window.
CARBON_API OSStatus CreateNibReference(CFStringRef inNibName, IBNibRef* outNibRef);
CARBON_API OSStatus CreateWindowFromNib(IBNibRef inNibRef, CFStringRef inName, WindowRef* outWindow);
CARBON_API void DisposeNibReference(IBNibRef inNibRef);

// Windows.  Bounds are global; the content's top left is the origin of the
// window's local coordinates.
CARBON_API void ShowWindow(WindowRef window);
CARBON_API void DisposeWindow(WindowRef window);
CARBON_API OSStatus GetWindowBounds(WindowRef window, uint16_t regionCode, Rect* globalBounds);
// Sends bounds-changing (whose handlers may change the rectangle) and then
// bounds-changed to the window's handlers.
CARBON_API OSStatus SetWindowBounds(WindowRef window, uint16_t regionCode, const Rect* globalBounds);
CARBON_API OSStatus RepositionWindow(WindowRef window, WindowRef parentWindow, uint32_t method);
CARBON_API OSStatus ConstrainWindowToScreen(WindowRef window, uint16_t regionCode, uint32_t options,
                                            const Rect* screenRect, Rect* structure);
CARBON_API OSStatus SetWindowTitleWithCFString(WindowRef window, CFStringRef title);
CARBON_API void SetWRefCon(WindowRef window, long data);
CARBON_API long GetWRefCon(WindowRef window);
// The main screen's bounds; the menu bar is its top 20 pixels, and the grey
// region, where windows may go, is the rest.
typedef struct OpaqueRgnHandle* RgnHandle;
CARBON_API void GetMainScreenBounds(Rect* bounds);
CARBON_API int16_t GetMBarHeight();
CARBON_API RgnHandle GetGrayRgn();
CARBON_API Rect* GetRegionBounds(RgnHandle region, Rect* bounds);
CARBON_API void InsetRect(Rect* r, int16_t dh, int16_t dv);

// Ports: one per window and the screen's.  Drawing goes to the current
// port, where the stand-in writes it down as text (see
// CarbonStandInDrawingAt).
struct PenState {
    Point pnLoc;
    Point pnSize;
    int16_t pnMode;
};
CARBON_API CGrafPtr GetWindowPort(WindowRef window);
CARBON_API void GetPort(GrafPtr* port);
CARBON_API void SetPort(GrafPtr port);
CARBON_API void SetPortWindowPort(WindowRef window);
CARBON_API WindowRef GetWindowFromPort(CGrafPtr port);
CARBON_API void EraseRect(const Rect* r);
CARBON_API void GetPenState(PenState* state);
CARBON_API void SetPenState(const PenState* state);
CARBON_API void PenSize(int16_t width, int16_t height);
CARBON_API void PenNormal();
CARBON_API void MoveTo(int16_t h, int16_t v);
CARBON_API void LineTo(int16_t h, int16_t v);
CARBON_API void FrameRoundRect(const Rect* r, int16_t ovalWidth, int16_t ovalHeight);
CARBON_API void InvalWindowRect(WindowRef window, const Rect* bounds);
// Ticks of a clock that only Delay advances: nothing here waits.
CARBON_API uint32_t TickCount();
CARBON_API void Delay(unsigned long ticks, unsigned long* finalTicks);

// Controls.
CARBON_API OSStatus GetControlByID(WindowRef inWindow, const ControlID* inID, ControlRef* outControl);
CARBON_API int32_t GetControl32BitValue(ControlRef control);
CARBON_API void SetControl32BitValue(ControlRef control, int32_t value);
CARBON_API int32_t GetControl32BitMinimum(ControlRef control);
CARBON_API void SetControl32BitMinimum(ControlRef control, int32_t value);
CARBON_API int32_t GetControl32BitMaximum(ControlRef control);
CARBON_API void SetControl32BitMaximum(ControlRef control, int32_t value);
CARBON_API Rect* GetControlBounds(ControlRef control, Rect* bounds);
CARBON_API void SetControlBounds(ControlRef control, const Rect* bounds);
CARBON_API OSStatus HideControl(ControlRef control);
CARBON_API OSStatus ShowControl(ControlRef control);
CARBON_API Boolean IsControlVisible(ControlRef control);
CARBON_API WindowRef GetControlOwner(ControlRef control);
CARBON_API OSStatus GetControlCommandID(ControlRef control, uint32_t* outCommandID);
CARBON_API void HiliteControl(ControlRef control, ControlPartCode part);
// The push buttons that Return and Enter, and Escape, press (null: none).
CARBON_API OSStatus SetWindowDefaultButton(WindowRef inWindow, ControlRef inControl);
CARBON_API OSStatus SetWindowCancelButton(WindowRef inWindow, ControlRef inControl);
CARBON_API OSStatus GetWindowDefaultButton(WindowRef inWindow, ControlRef* outControl);
CARBON_API OSStatus GetWindowCancelButton(WindowRef inWindow, ControlRef* outControl);
// Texts of edit boxes and static texts: a CFStringRef under 'cfst'; the
// getter gives a new string that the caller releases.
CARBON_API OSStatus SetControlData(ControlRef control, int32_t part, OSType tag, Size size, const void* data);
CARBON_API OSStatus GetControlData(ControlRef control, int32_t part, OSType tag, Size size, void* data,
                                   Size* actualSize);
CARBON_API void SetControlAction(ControlRef control, ControlActionUPP action);

// Events and their handlers.  As in Carbon, a target's handlers run from
// the last installed to the first: a handler that answers eventNotHandledErr,
// or calls CallNextEventHandler, hands on to the one installed before it,
// and after the first the standard handler runs.  It applies typed text to
// an edit box, clicks buttons and boxes and sends their commands, presses
// the window's default button for Return and Enter and its cancel button
// for Escape, and disposes of a window on 'clos'.
CARBON_API EventHandlerUPP NewEventHandlerUPP(EventHandlerProcPtr proc);
CARBON_API void DisposeEventHandlerUPP(EventHandlerUPP upp);
CARBON_API ControlActionUPP NewControlActionUPP(ControlActionProcPtr proc);
CARBON_API OSStatus InstallWindowEventHandler(WindowRef window, EventHandlerUPP handler, ItemCount numTypes,
                                              const EventTypeSpec* list, void* userData, EventHandlerRef* outRef);
CARBON_API OSStatus InstallControlEventHandler(ControlRef control, EventHandlerUPP handler, ItemCount numTypes,
                                               const EventTypeSpec* list, void* userData, EventHandlerRef* outRef);
CARBON_API OSStatus RemoveEventHandler(EventHandlerRef handler);
CARBON_API OSStatus CallNextEventHandler(EventHandlerCallRef inCallRef, EventRef inEvent);
CARBON_API uint32_t GetEventClass(EventRef event);
CARBON_API uint32_t GetEventKind(EventRef event);
CARBON_API OSStatus GetEventParameter(EventRef event, uint32_t name, uint32_t desiredType, uint32_t* actualType,
                                      unsigned long bufferSize, unsigned long* actualSize, void* data);
CARBON_API OSStatus SetEventParameter(EventRef event, uint32_t name, uint32_t type, unsigned long size,
                                      const void* data);

CARBON_API OSStatus RunAppModalLoopForWindow(WindowRef window);
CARBON_API OSStatus QuitAppModalLoopForWindow(WindowRef window);

// The theme cursor; InitCursor makes it the arrow.
CARBON_API OSStatus SetThemeCursor(ThemeCursor cursor);
CARBON_API void InitCursor();

// The scripted user.  Points are in the window's local coordinates.
enum CarbonScriptKind : int32_t {
    kScriptCommand,      // command
    kScriptMouseDown,    // point, clicks
    kScriptMouseDrag,    // point
    kScriptMouseUp,      // point
    kScriptWheel,        // point, delta (lines)
    kScriptKeys,         // control id (0: no control has the focus), text in
                         // UTF-8: one key event per character ('\b' deletes
                         // the last, '\t' and '\x1c'..'\x1f' move the focus or
                         // the insertion point and change nothing; an edit box
                         // leaves Return '\r', Enter '\x03' and Escape '\x1b'
                         // to the window)
    kScriptPaste,        // control id, text: appended in one piece
    kScriptSliderTrack,  // control id, value: the indicator dragged there
    kScriptResize,       // width, height of the content
};
struct CarbonScriptEvent {
    CarbonScriptKind kind;
    uint32_t command;
    int32_t controlID;  // with the signature of the window's nib
    int32_t h, v;       // point, or content width and height
    int32_t value;      // clicks, wheel delta, slider value
    const char* text;
};
// Appends to the queue the modal loop reads before it asks the responder.
CARBON_API void CarbonStandInQueueScript(const CarbonScriptEvent* events, int count);
CARBON_API void CarbonStandInClearScript();
CARBON_API int CarbonStandInScriptLeft();

// The embedding host answers the modal loop once the script is done: called
// once per turn with the window's nib name, it returns the command the user
// gives (0: the user closes nothing, and the loop ends as if cancelled).
typedef uint32_t (*CarbonModalResponder)(const char* windowName, void* context);
CARBON_API void CarbonStandInSetModalResponder(CarbonModalResponder responder, void* context);
// A bundle of the given identifier whose nibs are in the folder.
CARBON_API void CarbonStandInAddBundle(const char* identifier, const char* folder);
CARBON_API void CarbonStandInRemoveBundles();
// Nib names that fail to open, as on a damaged bundle (null: none).
CARBON_API void CarbonStandInFailNib(const char* nibName);
// The next n windows fail to be created.
CARBON_API void CarbonStandInFailWindows(int n);
CARBON_API void CarbonStandInSetMainScreen(int width, int height);
CARBON_API long CarbonStandInLiveWindows();
// Misuse seen, such as a window disposed twice or a dead window used; the
// text of the first, or null.
CARBON_API long CarbonStandInFaults();
CARBON_API const char* CarbonStandInFirstFault();
CARBON_API void CarbonStandInClearFaults();
CARBON_API ThemeCursor CarbonStandInCursor();
// Windows in creation order, the live ones only.
CARBON_API int CarbonStandInWindowCount();
CARBON_API WindowRef CarbonStandInWindowAt(int index);
CARBON_API const char* CarbonStandInWindowName(WindowRef window);
CARBON_API const char* CarbonStandInWindowTitle(WindowRef window);
CARBON_API Boolean CarbonStandInWindowVisible(WindowRef window);
// The controls of a window, for drawing a picture of it.
struct CarbonControlInfo {
    OSType signature;
    int32_t id;
    const char* kind;
    Rect bounds;
    int32_t value, minimum, maximum;
    Boolean visible;
    int16_t hilite;
    uint32_t command;
    const char* text;
};
CARBON_API int CarbonStandInControlCount(WindowRef window);
CARBON_API Boolean CarbonStandInControlAt(WindowRef window, int index, CarbonControlInfo* info);
// What was drawn on a window's port, one line of text per call, such as
// "erase 10 10 310 410" (top left bottom right) or "line 1 1 1 20 pen 1 1".
CARBON_API int CarbonStandInDrawingCount(WindowRef window);
CARBON_API const char* CarbonStandInDrawingAt(WindowRef window, int index);
CARBON_API void CarbonStandInForgetDrawing(WindowRef window);

// A host's drawing: width x height pixels of RGB bytes, row after row, at
// (top, left) of the port's window (nothing on the screen's port).  The
// window keeps them, as its screen would, until something is drawn over
// them or erased; written down as "pixels top left bottom right".
CARBON_API void CarbonStandInDrawPixels(CGrafPtr port, int32_t top, int32_t left, int32_t width, int32_t height,
                                        const uint8_t* rgb);
CARBON_API Boolean CarbonStandInIsWindowPort(const void* port);
// The colour drawn or erased at a point of the window; false where nothing
// was, so that its controls show there.
CARBON_API Boolean CarbonStandInPortPixel(WindowRef window, int32_t h, int32_t v, uint8_t rgb[3]);

// The Dialog Manager, over windows of the same kind.
#include "CarbonDialogs.h"
