// The preview's update and the dialog's paint: both pictures are composed in
// host buffers and handed to the host's display call.
#include <windows.h>

#include "dialog/dialog_layout.h"
#include "host/globals.h"
#include "image/uint8_proxy.h"
#include "preview/paint.h"
#include "preview/proxy.h"
#include "preview/proxy_recompute.h"
#include "win/dialog_win.h"

namespace {
bool proxyExists() { return pData.sourcePtr && pData.outputPtr; }

// What a smaller or moved picture no longer covers gets the dialog's colour.
void fillUncovered(HDC dc, const RECT& previous, const RECT& current) {
    for (const VRect& strip : uncoveredStrips(toVRect(previous), toVRect(current))) {
        const RECT r = toRECT(strip);
        FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    }
}

OSErr display(const PSPixelMap& map, const RECT& at, HDC dc) {
    if (!gFilterRecord->displayPixels) return errPlugInHostInsufficient;
    return gFilterRecord->displayPixels(&map, &map.bounds, at.top, at.left, dc);
}

void paintPictures(HWND window, HDC dc) {
    const RECT preview = displayedPreviewRect(window);
    const RECT overviewBox = overviewBoxClientRect(window);
    paintBuffers buffers;
    if (buffers.compose(previewDragActive || showOriginalMode, toVRect(overviewBox)) != noErr) return;

    fillUncovered(dc, lastPaintedPreviewRect, preview);
    lastPaintedPreviewRect = preview;
    const PSPixelMap& composed = buffers.previewMap;
    const int32 width = composed.bounds.right - composed.bounds.left;
    interleaved8bit_from_planes rgb(width, composed.rowBytes, 3 * composed.planeBytes,
                                    static_cast<unsigned char*>(composed.baseAddr));
    if (rgb.data) display(interleavedPixelMap(composed, rgb.data), preview, dc);

    const PSPixelMap& overviewMap = buffers.composition.overviewMap;
    if (overviewMap.baseAddr) {
        fillUncovered(dc, lastPaintedOverviewRect, overviewBox);
        lastPaintedOverviewRect = overviewBox;
        display(overviewMap, overviewBox, dc);
    }
}

// A paint of the controls alone, or an empty one (the system sends those
// too), composes nothing: the pictures could not be drawn through its clip.
bool paintReachesPictures(HWND window, const RECT& painted) {
    RECT pictures = displayedPreviewRect(window), hit;
    for (const RECT& r : {overviewBoxClientRect(window), lastPaintedPreviewRect, lastPaintedOverviewRect})
        UnionRect(&pictures, &pictures, &r);
    return IntersectRect(&hit, &painted, &pictures) != 0;
}

void drawSizeGrip(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    RECT grip = {client.right - GetSystemMetrics(SM_CXVSCROLL), client.bottom - GetSystemMetrics(SM_CYHSCROLL),
                 client.right, client.bottom};
    HDC dc = GetDC(window);
    DrawFrameControl(dc, &grip, DFC_SCROLL, DFCS_SCROLLSIZEGRIP);
    ReleaseDC(window, dc);
}
}  // namespace

void UpdateProxyItem(HWND window, bool recompute) {
    updateInputRate();
    if (*gResult != noErr) return;
    if (recompute && !showOriginalMode && pData.sourcePtr) {
        if (updateModifiedProxyBuffer(pData.sourcePtr) != noErr) {
            // The recompute has shown its alert and kept the output proxy;
            // the pictures stay as last painted, and the error stops the
            // dialog's updates and paints from here on.
            if (*gResult == noErr) *gResult = userCanceledErr;
            return;
        }
    }
    const RECT pane = itemClientRect(window, kPreviewItem);
    InvalidateRect(window, &pane, FALSE);
    const RECT overviewBox = overviewBoxClientRect(window);
    InvalidateRect(window, &overviewBox, FALSE);
}

void UpdateProxyItem(HWND window) { UpdateProxyItem(window, true); }

void ShowOutputBuffer2(HWND window) {
    // Alerts raised by the composition wait until the paint has ended.
    deferAlerts(true);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (dc && proxyExists() && paintReachesPictures(window, ps.rcPaint)) paintPictures(window, dc);
    EndPaint(window, &ps);
    drawSizeGrip(window);
    deferAlerts(false);
}
