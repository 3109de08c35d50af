// Mouse, cursors, the eyedropper, the wheel, the minimum size and the
// stretching of the two panes.
#include <windows.h>
#include <windowsx.h>

#include "dialog/dialog_layout.h"
#include "engine/output_writers.h"
#include "host/big_document.h"
#include "preview/proxy.h"
#include "preview/proxy_source.h"
#include "win/dialog_win.h"

dialogMouseState mouseState = kMouseIdle;
bool previewDragActive = false;
bool overviewDragActive = false;
POINT lastMousePoint = {0, 0};
VPoint eyedropper1Down = {0, 0};
VPoint eyedropper1Up = {0, 0};
eyedropperCallbackProc eyedropperCallback = nullptr;
int32 previewRightMargin = 0;
int32 previewBottomMargin = 0;
RECT lastPaintedPreviewRect = {0, 0, 0, 0};
RECT lastPaintedOverviewRect = {0, 0, 0, 0};

namespace {
HCURSOR arrowCursor = nullptr, eyeSelCursor = nullptr, eyeAddCursor = nullptr, eyeSubCursor = nullptr;

POINT pointOf(LPARAM lParam) { return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }
bool inside(const RECT& r, POINT p) { return PtInRect(&r, p) != FALSE; }

// A drag that ends by anything but a release (the mouse leaving, and as it
// does a focus loss, a capture change or a release outside the client
// area) still recomputes once, as the release would.
void processMouseLeave(HWND window) {
    const bool wasDragging = (previewDragActive && mouseState == kMouseIdle) || overviewDragActive;
    endDrags();
    if (wasDragging) UpdateProxyItem(window, true);
}

HCURSOR cursorForState(dialogMouseState state) {
    switch (state) {
        case kEyedropperArmed:
        case kEyedropperHeld: return LoadCursor(nullptr, IDC_CROSS);
        case kStartSelectionArmed:
        case kStartSelectionHeld: return eyeSelCursor;
        case kAddSelectionArmed:
        case kAddSelectionHeld: return eyeAddCursor;
        case kSubtractSelectionArmed:
        case kSubtractSelectionHeld: return eyeSubCursor;
        default: return arrowCursor;
    }
}

eyedropperView currentEyedropperView(HWND window) {
    return eyedropperView{GetFilterRect(), toVRect(displayedPreviewRect(window)), pData.offsetH, pData.offsetV,
                          pData.zoomMode};
}

// The right button drags in every mode, the left one when no eyedropper
// mode is armed: both start here, and end in processRightMouseUp.
void processRightMouseDown(HWND window, POINT p) {
    previewDragActive = inside(itemClientRect(window, kPreviewItem), p);
    if (previewDragActive) SetFocus(GetDlgItem(window, kPreviewItem));
    overviewDragActive = inside(itemClientRect(window, kOverviewItem), p);
    if (overviewDragActive) {
        overviewHandleFirstClick(p.x, p.y, toVRect(overviewBoxClientRect(window)));
        SetFocus(GetDlgItem(window, kOverviewItem));
    }
    lastMousePoint = p;
}

void processMouseDownForProxy(HWND window, POINT p) {
    if (mouseState == kMouseIdle) {
        processRightMouseDown(window, p);
    } else {
        endDrags();
        if (inside(displayedPreviewRect(window), p)) {
            eyedropper1Down = findEyedropperPoint(currentEyedropperView(window), VPoint{p.y, p.x}, false);
            mouseState = mouseStateAfterPress(mouseState);
        } else {
            mouseState = kMouseIdle;
            SetCursorFromMousestate();
        }
        lastMousePoint = p;
    }
    UpdateProxyItem(window, false);
}

void processRightMouseUp(HWND window, POINT p) {
    if (previewDragActive) {
        proxySlide(lastMousePoint.x - p.x, lastMousePoint.y - p.y, enhancePixelUint8);
        UpdateProxyItem(window, true);
    } else if (overviewDragActive) {
        overviewSlide(p.x - lastMousePoint.x, p.y - lastMousePoint.y, enhancePixelUint8);
        UpdateProxyItem(window, true);
        lastMousePoint = p;
    }
    endDrags();
}

void processMouseUpForProxy(HWND window, POINT p) {
    if (mouseState == kMouseIdle) {
        processRightMouseUp(window, p);
        return;
    }
    if (!isMouseButtonHeld(mouseState)) return;
    eyedropper1Up = findEyedropperPoint(currentEyedropperView(window), VPoint{p.y, p.x}, true);
    normalizeEyedropperSelection(eyedropper1Down, eyedropper1Up, GetFilterRect());
    if (eyedropperCallback) eyedropperCallback(eyedropper1Down, eyedropper1Up, mouseState);
    refreshDialogControls(window, 0);
    UpdateProxyItem(window, true);
    mouseState = mouseStateAfterSelection(mouseState);
    SetCursorFromMousestate();
}

void processMouseMove(HWND window, POINT p) {
    if (previewDragActive) {
        proxySlide(lastMousePoint.x - p.x, lastMousePoint.y - p.y, enhancePixelUint8);
        UpdateProxyItem(window, false);
        lastMousePoint = p;
    } else if (overviewDragActive) {
        overviewSlide(p.x - lastMousePoint.x, p.y - lastMousePoint.y, enhancePixelUint8);
        UpdateProxyItem(window, false);
        lastMousePoint = p;
    }
    TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, window, 0};
    TrackMouseEvent(&track);
}

void processMouseWheel(HWND window, WPARAM wParam, LPARAM lParam) {
    POINT p = pointOf(lParam);
    ScreenToClient(window, &p);
    if (!inside(itemClientRect(window, kPreviewItem), p) && !inside(itemClientRect(window, kOverviewItem), p)) return;
    const int32 zoom = zoomAfterWheel(pData.zoomFactor, GET_WHEEL_DELTA_WPARAM(wParam));
    if (zoom == pData.zoomFactor) return;
    pData.zoomFactor = zoom;
    SetupProxy(0);
    UpdateProxyItem(window, true);
}

void processWindowSizing(WPARAM edge, LPARAM lParam) {
    RECT* proposed = reinterpret_cast<RECT*>(lParam);
    VRect r = toVRect(*proposed);
    enforceMinimumSize(r, int(edge), pData.minWindowWidth, pData.minWindowHeight);
    *proposed = toRECT(r);
}

// In an eyedropper mode the mode's cursor; idle, the control under the
// pointer keeps its own.
BOOL processSetCursorForProxy(HWND window) {
    if (mouseState == kMouseIdle) return FALSE;
    SetCursorFromMousestate();
    // The answer TRUE reaches the control under the pointer only through
    // DWLP_MSGRESULT; without it the control would put its own cursor over
    // the mode's.
    SetWindowLongPtrA(window, DWLP_MSGRESULT, TRUE);
    return TRUE;
}

void invalidateWithErase(HWND window, const RECT& r) {
    if (r.right > r.left && r.bottom > r.top) InvalidateRect(window, &r, TRUE);
}

void processWindowResize(HWND window, WPARAM kind, LPARAM lParam) {
    if (window != dialogWindow || kind == SIZE_MINIMIZED) return;
    const int32 clientRight = LOWORD(lParam), clientBottom = HIWORD(lParam);
    const RECT oldPreview = itemClientRect(window, kPreviewItem);
    const RECT preview = toRECT(stretchedPane(toVRect(oldPreview), clientRight, clientBottom, previewRightMargin,
                                              previewBottomMargin));
    MoveWindow(GetDlgItem(window, kPreviewItem), preview.left, preview.top, preview.right - preview.left,
               preview.bottom - preview.top, FALSE);
    updateProxyAllotments(window);
    invalidateWithErase(window, RECT{oldPreview.right, 0, clientRight, clientBottom});
    invalidateWithErase(window, RECT{0, oldPreview.bottom, clientRight, clientBottom});
    // Whatever the pictures covered last is erased: no stale pixel outlives
    // a resize.
    invalidateWithErase(window, lastPaintedPreviewRect);
    invalidateWithErase(window, lastPaintedOverviewRect);
    // Content size, as the dialog is placed again when it opens.
    pData.windowWidth = clientRight;
    pData.windowHeight = clientBottom;

    const RECT oldOverview = itemClientRect(window, kOverviewItem);
    const RECT overview = toRECT(widenedPane(toVRect(oldOverview), clientRight, previewRightMargin));
    MoveWindow(GetDlgItem(window, kOverviewItem), overview.left, overview.top, overview.right - overview.left,
               overview.bottom - overview.top, FALSE);
    invalidateWithErase(window, oldOverview);
    invalidateWithErase(window, overview);
    SetupProxy(0);
    if (allowProxyUpdate) UpdateProxyItem(window, true);
}
}  // namespace

RECT itemClientRect(HWND window, int id) {
    RECT r = {0, 0, 0, 0};
    HWND item = GetDlgItem(window, id);
    if (!item) return r;
    GetWindowRect(item, &r);
    MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

RECT overviewBoxClientRect(HWND window) {
    return toRECT(centredRect(toVRect(itemClientRect(window, kOverviewItem)), pData.overviewWidth,
                              pData.overviewHeight));
}

RECT displayedPreviewRect(HWND window) {
    return toRECT(centredRect(toVRect(itemClientRect(window, kPreviewItem)), proxyGetDisplayWidth(),
                              proxyGetDisplayHeight()));
}

void updateProxyAllotments(HWND window) {
    const RECT pane = itemClientRect(window, kPreviewItem);
    pData.allotedWidth = pane.right - pane.left;
    pData.allotedHeight = pane.bottom - pane.top;
}

void endDrags() { previewDragActive = overviewDragActive = false; }

void loadDialogCursors() {
    if (arrowCursor) return;
    arrowCursor = LoadCursor(nullptr, IDC_ARROW);
    eyeSelCursor = eyeAddCursor = eyeSubCursor = LoadCursor(nullptr, IDC_CROSS);
}

void SetCursorFromMousestate() { SetCursor(cursorForState(mouseState)); }

INT_PTR mouseEventInWindowHandler(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SIZE: processWindowResize(window, wParam, lParam); return 0;
        case WM_KILLFOCUS:
        case WM_NCLBUTTONUP:
        case WM_NCRBUTTONUP:
        case WM_CAPTURECHANGED: processMouseLeave(window); return 0;
        case WM_SETCURSOR: return processSetCursorForProxy(window);
        case WM_NCHITTEST: SetCursorFromMousestate(); return 0;
        case WM_MOUSEMOVE: processMouseMove(window, pointOf(lParam)); return 0;
        case WM_LBUTTONDOWN: processMouseDownForProxy(window, pointOf(lParam)); return 0;
        case WM_LBUTTONUP:
            processMouseUpForProxy(window, pointOf(lParam));
            endDrags();
            return 0;
        case WM_RBUTTONDOWN: processRightMouseDown(window, pointOf(lParam)); return 0;
        case WM_RBUTTONUP: processRightMouseUp(window, pointOf(lParam)); return 0;
        case WM_MOUSEWHEEL: processMouseWheel(window, wParam, lParam); return 0;
        case WM_SIZING:
            processWindowSizing(wParam, lParam);
            // A dialog procedure answers through DWLP_MSGRESULT: TRUE, the
            // rectangle was changed.
            SetWindowLongPtrA(window, DWLP_MSGRESULT, TRUE);
            return TRUE;
        case WM_MOUSELEAVE: processMouseLeave(window); return 0;
        default: return 0;
    }
}
