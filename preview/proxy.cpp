// The preview's state, the proxies' buffers, the zoom and the rectangle the
// preview shows.
#include "preview/proxy.h"

#include <algorithm>
#include <limits>

#include "host/globals.h"
#include "host/host_services.h"
#include "host/big_document.h"
#include "image/fl_image.h"

previewProxyData pData;
int64_t proxyMemSize = 0;

namespace {

int32 saturate32(int64_t v) {
    return int32(std::clamp<int64_t>(v, std::numeric_limits<int32>::min(), std::numeric_limits<int32>::max()));
}

// The whole-number part of the host's input rate, at least 1.
int32 inputRateWhole() {
    const int32 rate = gFilterRecord->inputRate >> 16;
    return rate > 1 ? rate : 1;
}

VRect scaledByInputRate(VRect r) {
    // Divided in 32 bits: the 16-bit rectangle arithmetic of ScaleRect would
    // cut the coordinates of a big document.
    const int32 rate = inputRateWhole();
    if (rate > 1) r = {r.top / rate, r.left / rate, r.bottom / rate, r.right / rate};
    return r;
}

// Steps 5 and 6 of the shown rectangle: the offsets clamped so that the
// rectangle stays inside F, in 64 bits because a damaged registry may hold
// any 32-bit value; then the host's input rectangle.
void placeShownRectangle() {
    const VRect F = GetFilterRect();
    const int64_t fh = int64_t(F.bottom) - F.top, fw = int64_t(F.right) - F.left;
    const int64_t top0 = (fh - pData.scHeight) / 2, left0 = (fw - pData.scWidth) / 2;
    int64_t ov = pData.offsetV, oh = pData.offsetH;
    if (top0 + ov < 0) ov = -top0;
    if (top0 + ov + pData.scHeight > fh) ov -= top0 + ov + pData.scHeight - fh;
    if (left0 + oh < 0) oh = -left0;
    if (left0 + oh + pData.scWidth > fw) oh -= left0 + oh + pData.scWidth - fw;
    pData.offsetV = int32(ov);
    pData.offsetH = int32(oh);
    const int32 top = int32(F.top + top0 + ov), left = int32(F.left + left0 + oh);
    SetInRect(VRect{top, left, top + pData.scHeight, left + pData.scWidth});
}

}  // namespace

// The proxies' buffers ------------------------------------------------------

void releaseProxyBuffers(previewProxyData& d) {
    memoryRelease(0, d.sourceBufferID, d.sourcePtr);
    memoryRelease(0, d.outputBufferID, d.outputPtr);
}

void deleteProxyBuffers() { releaseProxyBuffers(pData); }

void createProxyBuffers() {
    releaseProxyBuffers(pData);
    proxyMemSize = int64_t(pData.scPlaneSize) * proxyPlanesToMakeMemoryFor();
    if (!pData.sourceBufferID && !pData.sourcePtr) memoryAllocate(proxyMemSize, pData.sourceBufferID, pData.sourcePtr);
    if (!pData.outputBufferID && !pData.outputPtr) memoryAllocate(proxyMemSize, pData.outputBufferID, pData.outputPtr);
}

void updateInputRate() { setInputRate(int16(pData.zoomMode == 0 ? 1 : pData.zoomMode)); }

// The shown rectangle --------------------------------------------------------

void calcZoomedProxyDimensions() {
    pData.zoomMode = 1;
    setInputRate(1);
    const VRect F = GetFilterRect();
    const int32 fh = F.bottom - F.top, fw = F.right - F.left;
    clampZoom();
    for (;;) {
        const int32 ah = std::max(0, roundHeightDownForZoom(pData.allotedHeight) / pData.zoomFactor);
        const int32 aw = std::max(0, roundWidthDownForZoom(pData.allotedWidth) / pData.zoomFactor / 2);
        pData.scWidth = std::min(aw, fw);
        pData.scHeight = std::min(ah, fh);
        if (pData.zoomFactor <= 1 || !doesPaddingExceedLifting(pData.scWidth, pData.scHeight, 3, 3, 3)) break;
        pData.zoomFactor -= 1;
        clampZoom();
    }
    pData.scPlaneSize = pData.scWidth * pData.scHeight;
    placeShownRectangle();
}

void clampZoomedProxyOffsets() {
    updateInputRate();
    placeShownRectangle();
}

void calcScProxyDimensions(int32& width, int32& height, int32& size, int32 maxWidth, int32 maxHeight) {
    updateInputRate();
    const VRect R = getScaledFilterRect();
    SetInRect(R);
    const int32 rh = R.bottom - R.top, rw = R.right - R.left;
    if (maxWidth <= 0 || maxHeight <= 0 || rh <= 0 || rw <= 0) {
        width = height = size = 0;
        return;
    }
    if (rh < maxHeight && rw < maxWidth) {
        width = rw;
        height = rh;
    } else if ((1.0 / maxWidth) * maxHeight < rh * (1.0 / rw)) {
        height = maxHeight;
        width = int32(rw * (double(maxHeight) / rh));
    } else {
        width = maxWidth;
        height = int32(rh * double(maxWidth) * (1.0 / rw));
    }
    size = width * height;
}

// Zoom -----------------------------------------------------------------------

void clampZoom() {
    if (pData.zoomFactor < 2) pData.zoomFactor = 1;
    if (pData.zoomFactor > 3) pData.zoomFactor = SPATIAL_ZOOM_MAX;
}

bool doZoom() { return pData.zoomFactor != 1; }

int32 roundWidthDownForZoom(int32 v) { return v / 8 * 8; }
int32 roundHeightDownForZoom(int32 v) { return v / 4 * 4; }

void translatePointForZoom(int32 fromRate, int32 toRate, VPoint p, VPoint& out) {
    if (fromRate == 0 || toRate == 0) {
        out = p;
        return;
    }
    const VRect F = GetFilterRect();
    const int64_t fw = int64_t(F.right) - F.left, fh = int64_t(F.bottom) - F.top;
    const int64_t from = fromRate, to = toRate;
    out.h = saturate32(((fw / from) / 2 + p.h) * from / to - (fw / to) / 2);
    out.v = saturate32((from * ((fh / from) / 2 + p.v)) / to - (fh / to) / 2);
}

VPoint getFocalPoint() { return getFocalPoint(pData.zoomMode); }

VPoint getFocalPoint(int32 rate) {
    VPoint out;
    translatePointForZoom(1, rate, makeVPoint(pData.focalV, pData.focalH), out);
    return out;
}

void setFocalPoint(VPoint p) { setFocalPoint(p, pData.zoomMode); }

void setFocalPoint(VPoint p, int32 rate) {
    VPoint out;
    translatePointForZoom(rate, 1, p, out);
    pData.focalV = out.v;
    pData.focalH = out.h;
}

// Getters ----------------------------------------------------------------------

int32 proxyGetScWidth() { return pData.scWidth; }
int32 proxyGetScHeight() { return pData.scHeight; }
int32 proxyGetScPlaneSize() { return pData.scWidth * pData.scHeight; }
int32 proxyGetDisplayWidth() { return pData.scWidth * pData.zoomFactor * 2; }
int32 proxyGetDisplayHeight() { return pData.scHeight * pData.zoomFactor; }
int32 proxyGetWidthAlloted() { return pData.allotedWidth / 2; }
int32 proxyGetHeightAlloted() { return pData.allotedHeight; }
int16 proxyPlanesToMakeMemoryFor() { return std::max<int16>(3, getExpectedImagePlanes()); }

bool proxyBuffersFitDimensions() {
    if (!pData.sourcePtr || !pData.outputPtr) return false;
    if (pData.scWidth < 0 || pData.scHeight < 0) return false;
    const int64_t planeSize = int64_t(pData.scWidth) * pData.scHeight;
    return planeSize == pData.scPlaneSize && planeSize * 3 <= proxyMemSize;
}

void bugUserToReadManual() {
    if (registryWorksOnHost() && pData.readManual < 1) pData.readManual += 1;
}

// Rectangle helpers ------------------------------------------------------------

VPoint makeVPoint(int32 v, int32 h) { return VPoint{v, h}; }

VRect VRectFromPoints(VPoint a, VPoint b) {
    return VRect{std::min(a.v, b.v), std::min(a.h, b.h), std::max(a.v, b.v), std::max(a.h, b.h)};
}

int64_t VRectGetArea(VRect r) { return (int64_t(r.right) - r.left) * (int64_t(r.bottom) - r.top); }

void clipRect(VRect& r, VRect bounds) {
    r.top = std::max(r.top, bounds.top);
    r.left = std::max(r.left, bounds.left);
    r.bottom = std::max(r.bottom, bounds.bottom);
    r.right = std::max(r.right, bounds.right);
}

int32 int32abs(int32 v) { return v < 0 ? saturate32(-int64_t(v)) : v; }

void SetScaledInRect(VRect r) { SetInRect(scaledByInputRate(r)); }

VRect getScaledFilterRect(unsigned char) { return scaledByInputRate(GetFilterRect()); }

bool proxyLargerThanAlloted(VRect r, int32 rate) {
    VRect F = GetFilterRect();
    if (rate > 1) F = {F.top / rate, F.left / rate, F.bottom / rate, F.right / rate};
    return F.right - F.left >= r.right - r.left || F.bottom - F.top >= r.bottom - r.top;
}

bool proxyLargerThanAlloted(VRect r) { return proxyLargerThanAlloted(r, pData.zoomMode); }

int32 findFitModeWrap() {
    const VRect F = GetFilterRect();
    // A pane of no size (damaged stored state, a dialog not laid out yet)
    // counts as one pixel.
    const int32 aw = std::max(1, pData.allotedWidth), ah = std::max(1, pData.allotedHeight);
    return std::max((F.right - F.left) / aw + 1, (F.bottom - F.top) / ah + 1);
}
