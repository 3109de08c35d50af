// The product dialog of the Mac form.  dialog_mac.cpp holds DoUI, its
// commands and the parameter controls; dialog_controls_mac.cpp the check
// boxes, texts, Show Advanced and About; dialog_preview_mac.cpp the window
// framework around the preview: set-up, resizing, mouse, wheel, eyedropper
// states, cursor and mode text, update and paint.
#pragma once

#include <Carbon.h>

#include "PIFilter.h"
#include "dialog/dialog_layout.h"
#include "host/checked_array.h"
#include "host/param_block.h"

// Controls are addressed by {kControlSignature, id} with the Windows ids.
extern const OSType kControlSignature;  // 'Qvtz'

enum {
    kOKButton = 1,
    kCancelButton = 2,
    kDProxyControlID = 900,
    proxyShowOriginal = 901,
    proxyEyedropperControlID = 902,
    proxyEyedropperModeText = 912,
    proxySpatialOverviewID = 913,
    proxyShowAdvancedID = 931,
    proxyFirstInstruction = 932,
    proxyInstructionCount = 10,
    // The Mac installs controls for the parameters before edge smoothing only.
    kMacParameterCount = kEdgeSmoothingValue,
};

// The static tables of ControlIDs: the slider and the edit box of each
// parameter (ids for those before kMacParameterCount; the rest keep id 0,
// which no control has), the instruction texts 932 to 941, and box 34 of
// kPreviewWithoutDetailOrInvertFlag, which Glimra calls proxyInvertMatte and
// Halvane proxySetNoiseMode.
extern const checked_array<ControlID, kParamValueCount> controlID_GS;
extern const checked_array<ControlID, kParamValueCount> controlID_GT;
extern const checked_array<ControlID, proxyInstructionCount> proxyInstructions;
extern const ControlID proxyInvertMatte;
extern const ControlID& proxySetNoiseMode;

typedef void (*eyedropperCallbackProc)(VPoint down, VPoint up, int32 mouseState);
typedef void (*controlsCallbackProc)(WindowRef window);
typedef void (*updateCallbackProc)(WindowRef window, bool recompute);

// Runs the dialog modally; true when the user confirmed it.
bool DoUI();

// The dialog window while one is open (null otherwise), for updates from code
// that has no window at hand.
extern WindowRef storedWRef;
extern bool allowProxyUpdate;
extern bool showOriginalMode;
extern dialogMouseState mouseState;
extern VPoint eyedropper1Down;
extern VPoint eyedropper1Up;

// Window framework (dialog_preview_mac.cpp).
void initZoomableProxy(WindowRef window, updateCallbackProc update, eyedropperCallbackProc eyedropper,
                       controlsCallbackProc controls, const char* title);
void UpdateProxyItem(WindowRef window, bool recompute);
void UpdateProxyItem(WindowRef window);
void ShowOutputBuffer2(WindowRef window);
void proxyHandleReset(WindowRef window);
void processOrigClick(WindowRef window);
void processEyedropperButton(WindowRef window);
void SetCursorFromMousestate(WindowRef window);
// Every way out of a dialog: the proxies released, the framework's state
// (mouse, drags, stored window) back to idle for the next dialog.
void endDialogPreview();

// Geometry of the window framework.  Local coordinates have the origin at
// the top left of the window's content; global ones are the screen's, in
// which mouse events give their point.
VRect globalVRectFromLocalVRect(WindowRef window, VRect local);
// A control's bounds in global coordinates; an empty rectangle at the
// content's origin when the window has no such control.
VRect getGlobalRectFromWindowItem(WindowRef window, int32 id);
// Whether a global point lies on the preview as displayed in item 900.
bool globalCursorInProxyArea(WindowRef window, Point global);
// Whether a point lies on the overview box in item 913, in local or in
// global coordinates.
bool cursorInOverviewGUIarea(WindowRef window, VPoint local);
bool cursorInOverviewGUIarea(WindowRef window, Point global);

// Controls (dialog_controls_mac.cpp).
void setStaticText(WindowRef window, const char* text, int32 id);
void HideControl(WindowRef window, int32 id);
void ShowControl(WindowRef window, int32 id);
// The buttons that Return and Enter, and Escape, press.
void setDefaultAndCancelButtons(WindowRef window, int32 defaultID, int32 cancelID);
void initCheckBox(WindowRef window, int32 id, int value);
void initCheckboxes(WindowRef window);
void processCheckBox(WindowRef window, int32 id, uint8& flag, bool update);
void initShowAdvancedControls(WindowRef window);
void processShowAdvancedControls(WindowRef window);
void processInvertProtectionTextChange(WindowRef window);

// Also of the window framework (dialog_preview_mac.cpp): the other
// eyedropper modes (start, add and subtract selection armed), and the relative zoom step of
// the wheel and of the zoom-in and zoom-out commands, which runs the update
// callback when the zoom changed.
void processEyeSelButton(WindowRef window);
void processEyeAddButton(WindowRef window);
void processEyeSubButton(WindowRef window);
void changeUpdateRelativeZoomLevelMac(WindowRef window, int32 step, updateCallbackProc update);

// The product dialog's own (dialog_mac.cpp, dialog_controls_mac.cpp): a
// control by id or by ControlID (null when the window has none, and for id
// 0), a control's text, the
// commands that both command tables share, and the parameter controls set
// from the values.
ControlRef dialogControlByID(WindowRef window, int32 id);
ControlRef dialogControl(WindowRef window, const ControlID& id);
void setControlText(ControlRef control, const char* text);
OSStatus processCommonCommands(WindowRef window, uint32_t command, OSStatus result);
void initAllEditSliders(WindowRef window);
