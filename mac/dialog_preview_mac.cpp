// The window framework around the preview: set-up, resizing, the mouse and
// its eyedropper states, cursor and mode text, update and paint.  Points
// and rectangles are in the window's local coordinates unless named global.
#include <Carbon.h>

#include <algorithm>

#include "dialog/dialog_layout.h"
#include "engine/engine_params.h"
#include "engine/output_writers.h"
#include "host/big_document.h"
#include "host/globals.h"
#include "host/host_services.h"
#include "host/properties_mac.h"
#include "mac/dialog_mac.h"
#include "mac/nib_window_mac.h"
#include "preview/paint.h"
#include "preview/preview_dialog.h"
#include "preview/proxy.h"
#include "preview/proxy_recompute.h"
#include "preview/proxy_source.h"

WindowRef storedWRef = nullptr;
bool allowProxyUpdate = false;
bool showOriginalMode = false;
dialogMouseState mouseState = kMouseIdle;
VPoint eyedropper1Down = {0, 0};
VPoint eyedropper1Up = {0, 0};

namespace {
bool lastClickHitProxyArea = false;
bool lastClickHitOverviewArea = false;
VPoint lastMousePos = {0, 0};
// The nib's content size, the smallest the window may get.
int16 minimumPWidth = 0, minimumPHeight = 0;
updateCallbackProc localUpdateProxy = nullptr;
eyedropperCallbackProc localEyedropperAnalysis = nullptr;
controlsCallbackProc initAllEditSlidersHolder = nullptr;
// What the overview may have left beside its box: the box drawn last, or
// the whole pane before the first paint and after a resize.
VRect lastOverviewBox = {0, 0, 0, 0};

// Geometry ---------------------------------------------------------------------

VRect VRectFromRect(const Rect& r) { return VRect{r.top, r.left, r.bottom, r.right}; }

int16 toInt16(int32 v) { return int16(std::clamp<int32>(v, INT16_MIN, INT16_MAX)); }

Rect RectFromVRect(const VRect& r) {
    return Rect{toInt16(r.top), toInt16(r.left), toInt16(r.bottom), toInt16(r.right)};
}

// A control's bounds; empty when the window has no such control.
VRect getVRectFromWindowItem(WindowRef window, int32 id) {
    Rect r{0, 0, 0, 0};
    if (ControlRef control = dialogControlByID(window, id)) GetControlBounds(control, &r);
    return VRectFromRect(r);
}

void setItemBounds(WindowRef window, int32 id, VRect bounds) {
    const Rect r = RectFromVRect(bounds);
    if (ControlRef control = dialogControlByID(window, id)) SetControlBounds(control, &r);
}

VPoint contentOrigin(WindowRef window) {
    Rect content{0, 0, 0, 0};
    GetWindowBounds(window, kWindowContentRgn, &content);
    return VPoint{content.top, content.left};
}

VPoint localPoint(WindowRef window, Point global) {
    const VPoint origin = contentOrigin(window);
    return VPoint{global.v - origin.v, global.h - origin.h};
}

// A width x height rectangle centred in the control.
VRect getUsedBoundsVRect(WindowRef window, int32 id, int32 width, int32 height) {
    return centredRect(getVRectFromWindowItem(window, id), width, height);
}

// The preview picture as displayed, centred in its pane.
VRect getUsedProxyVRect(WindowRef window) {
    return getUsedBoundsVRect(window, kDProxyControlID, proxyGetDisplayWidth(), proxyGetDisplayHeight());
}

VRect getOverviewBox(WindowRef window) {
    return getUsedBoundsVRect(window, proxySpatialOverviewID, pData.overviewWidth, pData.overviewHeight);
}

bool pointInRect(VRect r, VPoint p) { return p.h >= r.left && p.h < r.right && p.v >= r.top && p.v < r.bottom; }
VPoint vpointOf(Point p) { return VPoint{p.v, p.h}; }

}  // namespace

VRect globalVRectFromLocalVRect(WindowRef window, VRect local) {
    const VPoint origin = contentOrigin(window);
    return VRect{local.top + origin.v, local.left + origin.h, local.bottom + origin.v, local.right + origin.h};
}

VRect getGlobalRectFromWindowItem(WindowRef window, int32 id) {
    return globalVRectFromLocalVRect(window, getVRectFromWindowItem(window, id));
}

bool globalCursorInProxyArea(WindowRef window, Point global) {
    return pointInRect(globalVRectFromLocalVRect(window, getUsedProxyVRect(window)), vpointOf(global));
}

bool cursorInOverviewGUIarea(WindowRef window, VPoint local) { return pointInRect(getOverviewBox(window), local); }

bool cursorInOverviewGUIarea(WindowRef window, Point global) {
    return pointInRect(globalVRectFromLocalVRect(window, getOverviewBox(window)), vpointOf(global));
}

namespace {

void updateProxyAllotments(WindowRef window, int32 id) {
    const VRect pane = getVRectFromWindowItem(window, id);
    pData.allotedWidth = pane.right - pane.left;
    pData.allotedHeight = pane.bottom - pane.top;
}

VPoint findEyedropperFromGlobalClick(WindowRef window, VPoint p, bool release) {
    const eyedropperView view{GetFilterRect(), getUsedProxyVRect(window), pData.offsetH, pData.offsetV,
                              pData.zoomMode};
    return findEyedropperPoint(view, p, release);
}

// The preview's side of the dialog ----------------------------------------------

VRect macOverviewUsedVRect() {
    const VRect pane = storedWRef ? getVRectFromWindowItem(storedWRef, proxySpatialOverviewID) : VRect{0, 0, 0, 0};
    return fitOverviewIntoPane(pane.right - pane.left, pane.bottom - pane.top);
}

void macUpdateProxy(bool recompute) {
    if (storedWRef) UpdateProxyItem(storedWRef, recompute);
}

const previewDialogHooks macDialogHooks = {macOverviewUsedVRect, macUpdateProxy};

// The current port for the length of a scope.
class portHolder {
public:
    explicit portHolder(WindowRef window) {
        GetPort(&saved_);
        SetPortWindowPort(window);
    }
    ~portHolder() { SetPort(saved_); }
    portHolder(const portHolder&) = delete;
    portHolder& operator=(const portHolder&) = delete;

private:
    GrafPtr saved_ = nullptr;
};

void eraseRect(const VRect& r) {
    const Rect rect = RectFromVRect(r);
    EraseRect(&rect);
}

// Mouse -------------------------------------------------------------------------

// where: the event's point, global; the drag and the eyedropper go on in the
// window's coordinates.
void processMouseDownForProxy(WindowRef window, Point where) {
    const VPoint p = localPoint(window, where);
    if (mouseState == kMouseIdle) {
        lastClickHitProxyArea = globalCursorInProxyArea(window, where);
        lastClickHitOverviewArea = cursorInOverviewGUIarea(window, where);
        if (lastClickHitOverviewArea) overviewHandleFirstClick(p.h, p.v, getOverviewBox(window));
    } else if (globalCursorInProxyArea(window, where)) {
        eyedropper1Down = findEyedropperFromGlobalClick(window, p, false);
        mouseState = mouseStateAfterPress(mouseState);
    } else {
        mouseState = kMouseIdle;
    }
    lastMousePos = p;
    SetCursorFromMousestate(window);
}

// True when a drag was under way.
bool processMouseDragForProxy(WindowRef window, VPoint p) {
    if (lastClickHitOverviewArea)
        processOverviewDrag(p, lastMousePos, enhancePixelUint8);
    else if (lastClickHitProxyArea)
        processProxyDrag(p, lastMousePos, enhancePixelUint8);
    else
        return false;
    UpdateProxyItem(window, false);
    return true;
}

void processMouseUpForProxy(WindowRef window, VPoint p) {
    if (mouseState == kMouseIdle) {
        // The end of a pan brings the filtered preview up to date; a click
        // elsewhere in the window leaves the preview alone.
        const bool dragged = lastClickHitProxyArea || lastClickHitOverviewArea;
        lastClickHitProxyArea = false;
        if (dragged) UpdateProxyItem(window, true);
        lastClickHitOverviewArea = false;
        return;
    }
    // A release with no press in the preview before it (a mode just chosen).
    if (!isMouseButtonHeld(mouseState)) return;
    eyedropper1Up = findEyedropperFromGlobalClick(window, p, true);
    if (localEyedropperAnalysis) localEyedropperAnalysis(eyedropper1Down, eyedropper1Up, mouseState);
    if (initAllEditSlidersHolder) initAllEditSlidersHolder(window);
    UpdateProxyItem(window, true);
    mouseState = mouseStateAfterSelection(mouseState);
    SetCursorFromMousestate(window);
}

// True when the wheel was over the preview or the overview.
bool processMouseDeltaForProxy(WindowRef window, Point where, int32 lines) {
    if (!globalCursorInProxyArea(window, where) && !cursorInOverviewGUIarea(window, where)) return false;
    if (lines != 0) changeUpdateRelativeZoomLevelMac(window, -lines, localUpdateProxy);
    return true;
}

// An event handler never lets an exception into the toolbox: it is shown
// and the dialog stops updating the preview.
OSStatus mouseEventInWindowHandler(EventHandlerCallRef, EventRef event, void* userData) try {
    WindowRef window = static_cast<WindowRef>(userData);
    Point where;
    if (GetEventClass(event) != kEventClassMouse ||
        GetEventParameter(event, kEventParamMouseLocation, typeQDPoint, nullptr, sizeof where, nullptr, &where) !=
            noErr)
        return eventNotHandledErr;
    const VPoint p = localPoint(window, where);
    switch (GetEventKind(event)) {
        case kEventMouseDown: processMouseDownForProxy(window, where); return eventNotHandledErr;
        case kEventMouseDragged: return processMouseDragForProxy(window, p) ? OSStatus(noErr) : eventNotHandledErr;
        case kEventMouseUp: processMouseUpForProxy(window, p); return eventNotHandledErr;
        case kEventMouseWheelMoved: {
            int32 lines = 0;
            GetEventParameter(event, kEventParamMouseWheelDelta, typeSInt32, nullptr, sizeof lines, nullptr, &lines);
            return processMouseDeltaForProxy(window, where, lines) ? OSStatus(noErr) : eventNotHandledErr;
        }
        default: return eventNotHandledErr;
    }
} catch (...) {
    reportUnexpectedException();
    return noErr;
}

// Resizing ------------------------------------------------------------------------

void processWindowResize(WindowRef window, int32 width, int32 height) {
    // The panes keep their top-left corners and follow the window's size
    // at the margins the nib gives.
    const VRect pane = getVRectFromWindowItem(window, kDProxyControlID);
    const VRect overview = getVRectFromWindowItem(window, proxySpatialOverviewID);
    {
        // What the pictures covered goes: no stale pixel outlives a smaller pane.
        portHolder port(window);
        eraseRect(pane);
        eraseRect(overview);
    }
    setItemBounds(window, kDProxyControlID,
                  stretchedPane(pane, width, height, pData.marginWidth - pane.left, pData.marginHeight - pane.top));
    setItemBounds(window, proxySpatialOverviewID, widenedPane(overview, width, pData.marginWidth - overview.left));
    lastOverviewBox = getVRectFromWindowItem(window, proxySpatialOverviewID);
    updateProxyAllotments(window, kDProxyControlID);
    // With force: the proxy, the overview and their sizes in pData are made
    // again for the new panes even when the zoom stays.
    changeZoomLevel(pData.zoomFactor, 1);
    // After the set-up, which puts pData back as it was when it fails.
    pData.windowWidth = width;
    pData.windowHeight = height;
    UpdateProxyItem(window, true);
}

OSStatus windowResizeEventHandler(EventHandlerCallRef, EventRef event, void* userData) try {
    WindowRef window = static_cast<WindowRef>(userData);
    Rect bounds;
    if (GetEventClass(event) != kEventClassWindow ||
        GetEventParameter(event, kEventParamCurrentBounds, typeQDRectangle, nullptr, sizeof bounds, nullptr,
                          &bounds) != noErr)
        return eventNotHandledErr;
    const int32 width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
    if (GetEventKind(event) == kEventWindowBoundsChanging) {
        if (width >= minimumPWidth && height >= minimumPHeight) return eventNotHandledErr;
        // The size box is at the bottom right: those edges move out.
        VRect r = VRectFromRect(bounds);
        enforceMinimumSize(r, kSizeBottomRight, minimumPWidth, minimumPHeight);
        bounds = RectFromVRect(r);
        SetEventParameter(event, kEventParamCurrentBounds, typeQDRectangle, sizeof bounds, &bounds);
        return noErr;
    }
    uint32 attributes = 0;
    GetEventParameter(event, kEventParamAttributes, typeUInt32, nullptr, sizeof attributes, nullptr, &attributes);
    if (GetEventKind(event) != kEventWindowBoundsChanged || !(attributes & kWindowBoundsChangeSizeChanged))
        return eventNotHandledErr;
    processWindowResize(window, width, height);
    return noErr;
} catch (...) {
    reportUnexpectedException();
    return noErr;
}

// The remembered size, at least the nib's and at most the screen's below the
// menu bar, is worked out in 32 bits: only then does it become a rectangle
// of the system's 16-bit coordinates.
void sizeWindowOnInit(WindowRef window) {
    Rect content{0, 0, 0, 0};
    GetWindowBounds(window, kWindowContentRgn, &content);
    minimumPWidth = int16(content.right - content.left);
    minimumPHeight = int16(content.bottom - content.top);
    Rect screen{0, 0, 0, 0};
    GetRegionBounds(GetGrayRgn(), &screen);
    const VRect sized = initialWindowRect(pData.windowWidth, pData.windowHeight, 0, 0, minimumPWidth,
                                          minimumPHeight, VRectFromRect(screen));
    const int32 width = sized.right - sized.left, height = sized.bottom - sized.top;
    const Rect bounds = RectFromVRect(VRect{content.top, content.left, content.top + height, content.left + width});
    const bool allowed = allowProxyUpdate;
    allowProxyUpdate = false;
    SetWindowBounds(window, kWindowContentRgn, &bounds);
    ConstrainWindowToScreen(window, kWindowContentRgn, kWindowConstrainStandardOptions, nullptr, nullptr);
    RepositionWindow(window, nullptr, kWindowCenterOnMainScreen);
    allowProxyUpdate = allowed;
}

// Cursor and mode text by mouse state.
struct stateLook {
    ThemeCursor cursor;
    const char* text;
};

stateLook lookOfState(dialogMouseState state) {
    switch (state) {
        case kEyedropperArmed:
        case kEyedropperHeld:
        case kStartSelectionArmed:
        case kStartSelectionHeld: return {kThemeCrossCursor, "Eyedropper mode: Start selection"};
        case kAddSelectionArmed:
        case kAddSelectionHeld: return {kThemeCopyArrowCursor, "Eyedropper mode: Add to selection"};
        case kSubtractSelectionArmed:
        case kSubtractSelectionHeld: return {kThemePoofCursor, "Eyedropper mode: Subtract"};
        default: return {kThemeArrowCursor, nullptr};
    }
}

void enterMouseState(WindowRef window, dialogMouseState state) {
    mouseState = state;
    SetCursorFromMousestate(window);
}
}  // namespace

void initZoomableProxy(WindowRef window, updateCallbackProc update, eyedropperCallbackProc eyedropper,
                       controlsCallbackProc controls, const char* title) {
    storedWRef = window;
    mouseState = kMouseIdle;
    lastClickHitProxyArea = lastClickHitOverviewArea = false;
    showOriginalMode = false;
    localUpdateProxy = update;
    localEyedropperAnalysis = eyedropper;
    initAllEditSlidersHolder = controls;
    allowProxyUpdate = false;
    setPreviewDialogHooks(&macDialogHooks);
    updateProxyAllotments(window, kDProxyControlID);
    lastOverviewBox = getVRectFromWindowItem(window, proxySpatialOverviewID);
    SetupProxy(0);

    Rect content{0, 0, 0, 0};
    GetWindowBounds(window, kWindowContentRgn, &content);
    pData.marginWidth = (content.right - content.left) - pData.allotedWidth;
    pData.marginHeight = (content.bottom - content.top) - pData.allotedHeight;

    const EventTypeSpec resizing[] = {{kEventClassWindow, kEventWindowBoundsChanging},
                                      {kEventClassWindow, kEventWindowBoundsChanged}};
    InstallWindowEventHandler(window, NewEventHandlerUPP(windowResizeEventHandler), 2, resizing, window, nullptr);
    const EventTypeSpec mouse[] = {{kEventClassMouse, kEventMouseDown},
                                   {kEventClassMouse, kEventMouseUp},
                                   {kEventClassMouse, kEventMouseDragged},
                                   {kEventClassMouse, kEventMouseWheelMoved}};
    InstallWindowEventHandler(window, NewEventHandlerUPP(mouseEventInWindowHandler), 4, mouse, window, nullptr);
    sizeWindowOnInit(window);

    ReleasedString windowTitle(title ? title : "");
    SetWindowTitleWithCFString(window, windowTitle.s);
    initShowAdvancedControls(window);
    initCheckboxes(window);
    allowProxyUpdate = true;
}

void UpdateProxyItem(WindowRef window, bool recompute) {
    if (*gResult != noErr || !allowProxyUpdate) return;
    if (recompute && !showOriginalMode &&
        updateModifiedProxyBuffer(enhancePixelUint8, calcInternalFilterParams) != noErr) {
        // The recompute has shown its alert; a picture it could not bring up
        // to date is not shown as if it were, and updates stop.
        if (*gResult == noErr) *gResult = userCanceledErr;
        return;
    }
    ShowOutputBuffer2(window);
}

void UpdateProxyItem(WindowRef window) { UpdateProxyItem(window, true); }

void ShowOutputBuffer2(WindowRef window) {
    if (!dialogControlByID(window, kDProxyControlID) || !pData.sourcePtr || !pData.outputPtr) return;
    paintBuffers buffers;
    {
        portHolder port(window);
        const VRect overviewBox = getOverviewBox(window);
        if (buffers.compose(showOriginalMode, overviewBox) != noErr) return;
        eraseRect(getVRectFromWindowItem(window, kDProxyControlID));
        if (buffers.composition.overviewMap.baseAddr) {
            for (const VRect& strip : uncoveredStrips(lastOverviewBox, overviewBox)) eraseRect(strip);
            lastOverviewBox = overviewBox;
        }
        const VRect preview = getUsedProxyVRect(window);
        spatialFilterDisplayPixels(buffers.composition, preview.top, preview.left, GetWindowPort(window));
    }
    // A host that gives the record's property procedures has the property
    // suite too; the setting is a courtesy, and its failure is no error.
    if (gFilterRecord->propertyProcs) PISetWatchSuspension(999);
    InitCursor();
    SetCursorFromMousestate(window);
}

void changeUpdateRelativeZoomLevelMac(WindowRef window, int32 step, updateCallbackProc update) {
    if (changeRelativeZoomLevel(getVRectFromWindowItem(window, kDProxyControlID), step) && update)
        update(window, true);
}

void proxyHandleReset(WindowRef window) {
    if (ControlRef box = dialogControlByID(window, proxyShowOriginal)) SetControl32BitValue(box, 0);
    showOriginalMode = false;
    UpdateProxyItem(window, true);
}

void processOrigClick(WindowRef window) {
    ControlRef box = dialogControlByID(window, proxyShowOriginal);
    showOriginalMode = box && GetControl32BitValue(box) == 1;
    UpdateProxyItem(window, true);
}

void processEyedropperButton(WindowRef window) { enterMouseState(window, kEyedropperArmed); }
void processEyeSelButton(WindowRef window) { enterMouseState(window, kStartSelectionArmed); }
void processEyeAddButton(WindowRef window) { enterMouseState(window, kAddSelectionArmed); }
void processEyeSubButton(WindowRef window) { enterMouseState(window, kSubtractSelectionArmed); }

void SetCursorFromMousestate(WindowRef window) {
    setStaticText(window, " ", proxyEyedropperModeText);
    const stateLook look = lookOfState(mouseState);
    SetThemeCursor(look.cursor);
    if (look.text) setStaticText(window, look.text, proxyEyedropperModeText);
}

void endDialogPreview() {
    unSetupProxy();
    setPreviewDialogHooks(nullptr);
    storedWRef = nullptr;
    mouseState = kMouseIdle;
    lastClickHitProxyArea = lastClickHitOverviewArea = false;
    showOriginalMode = false;
}
