// The Windows filter dialog: its shared state and the handlers that
// DissolveProc (dialog_win.cpp, with the dialog's start-up and tear-down)
// dispatches to.  Controls and commands are in dialog_controls_win.cpp,
// mouse, cursors and layout in dialog_mouse_win.cpp, the preview's update
// and paint in dialog_paint_win.cpp.
#pragma once

#include <windows.h>

#include "PIFilter.h"
#include "dialog/dialog_layout.h"

// Dialog item ids beside the parameter controls of dialog/control_tables.h.
enum {
    kResetAllButton = 12,
    kResetNoiseReductionButton = 501,
    kProfileDigitalButton = 503,
    kProfileFilmButton = 505,
    kPreviewItem = 900,
    kShowOriginalBox = 901,
    kEyedropperButton = 902,
    kSaveSettingsButton = 903,
    kLoadSettingsButton = 904,
    kStartSelectionButton = 906,
    kSelectNoiseButton = 907,
    kSubtractSelectionButton = 908,
    kOverviewItem = 913,
    kZoom100Button = 914,
    kZoom200Button = 915,
    kZoom400Button = 917,
    kShowAdvancedBox = 931,
    kFirstInstruction = 932,
    kLastInstruction = 937,
};

typedef void (*eyedropperCallbackProc)(VPoint down, VPoint up, int32 mouseState);
typedef void (*controlRefreshProc)(HWND window, int allow);

// Gates of the control handlers: no echo between a slider and its edit box,
// and no recompute while controls are set programmatically.
extern bool sliderEchoAllowed;
extern bool editEchoAllowed;
extern bool allowProxyUpdate;
extern bool showOriginalMode;

// The mouse and the drags.
extern dialogMouseState mouseState;
extern bool previewDragActive;
extern bool overviewDragActive;
extern POINT lastMousePoint;
extern VPoint eyedropper1Down;
extern VPoint eyedropper1Up;
// Called at the end of each eyedropper selection.
extern eyedropperCallbackProc eyedropperCallback;
// Fixed at start-up for resizing: the client area's right edge less item
// 900's right edge, its bottom edge less item 900's bottom edge.
extern int32 previewRightMargin;
extern int32 previewBottomMargin;

// The open dialog (null while none is open): alerts are owned by it.
extern HWND dialogWindow;
// The preview picture's rectangle as last painted, client coordinates.
extern RECT lastPaintedPreviewRect;
// The overview box as last painted, client coordinates.
extern RECT lastPaintedOverviewRect;

// Controls (dialog_controls_win.cpp).
void initEditSlider(HWND window, int editId, int sliderId, double value, double scale, int32 low, int32 high,
                    int64_t& lastPosition);
void initAllEditSlidersAndCheckboxes(HWND window);
void refreshDialogControls(HWND window, int allow);
void processSlider(HWND window, int slot);
void processEditText(HWND window, int slot, int notificationCode);
void processCheckBox(HWND window, int id, uint8& flag, bool update);
void StuffDouble(HWND window, int id, double value);
int FetchDouble(HWND window, int id, double low, double high, double& value, double fallback);
void processShowAdvancedControls(HWND window);
void processInvertProtectionTextChange(HWND window);
INT_PTR processDialogCommand(HWND window, int id, int code, bool& handled);
INT_PTR processCommonCommands(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The dialog's start-up at WM_INITDIALOG, and the release of the preview on
// every way out (dialog_win.cpp).
void initZoomableProxy(HWND window, const char* title, controlRefreshProc refresh, eyedropperCallbackProc callback);
void endDialogPreview();

// Mouse, cursors and layout (dialog_mouse_win.cpp).
void loadDialogCursors();
void SetCursorFromMousestate();
void endDrags();
INT_PTR mouseEventInWindowHandler(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The preview picture's allotment: item 900's size.
void updateProxyAllotments(HWND window);
// Item rectangles in the dialog's client coordinates.
RECT itemClientRect(HWND window, int id);
// The overview box centred in item 913, client coordinates.
RECT overviewBoxClientRect(HWND window);
// The preview picture centred in item 900, client coordinates.
RECT displayedPreviewRect(HWND window);
inline VRect toVRect(const RECT& r) { return VRect{int32(r.top), int32(r.left), int32(r.bottom), int32(r.right)}; }
inline RECT toRECT(const VRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

// The preview's update and paint (dialog_paint_win.cpp).
void UpdateProxyItem(HWND window, bool recompute);
void UpdateProxyItem(HWND window);
void ShowOutputBuffer2(HWND window);

// Alerts while the dialog paints wait until the paint has ended
// (alerts_win.cpp).
void deferAlerts(bool defer);
