// The set-up and the zoom changes, which read the proxies anew, the source
// proxy read plane by plane from the host, and the pans.
#include "preview/proxy_source.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "engine/engine_params.h"
#include "host/globals.h"
#include "host/host_services.h"
#include "host/big_document.h"
#include "host/colorspace.h"
#include "image/colorspace_luts.h"
#include "preview/nearest_sample.h"
#include "preview/overview.h"
#include "preview/preview_dialog.h"
#include "preview/proxy.h"

namespace {

const VRect kEmptyRect = {0, 0, 0, 0};

uint8 sampleTo8Bit(uint8 v, bool) { return v; }

// 0..32768 to 0..255 by v / 128.5 rounded down; a value above the host's
// range counts as white.
uint8 sampleTo8Bit(uint16 v, bool) { return uint8((10 * std::min<uint32>(v, 32768)) / 1285); }

// Linear light, clamped to 0..1 (NaN as 0), gamma-encoded through the table
// when asked.
uint8 sampleTo8Bit(float f, bool convert) {
    f = f > 0.0f ? (f < 1.0f ? f : 1.0f) : 0.0f;
    if (convert) f = linearToGammaLUT3(f) * 0.003921569f;
    return uint8(std::min(255.0f, 255.0f * f));
}

template <typename Sample>
void convertPlane(unsigned char* out, int32 width, int32 height, int32 iw, int32 ih, bool convert) {
    const char* in = static_cast<const char*>(gFilterRecord->inData);
    const int64_t rowBytes = gFilterRecord->inRowBytes;
    const bool all2 = ih >= 2 && iw >= 2 && height >= 2 && width >= 2;
    const nearestSample row(ih, height, all2), column(iw, width, all2);
    for (int32 r = 0; r < height; ++r) {
        const Sample* src = reinterpret_cast<const Sample*>(in + row(r) * rowBytes);
        for (int32 c = 0; c < width; ++c) out[int64_t(r) * width + c] = sampleTo8Bit(src[column(c)], convert);
    }
}

OSErr readPlane(int16 plane, unsigned char* out, int32 width, int32 height, int32 depth, bool convert) {
    gFilterRecord->inLoPlane = gFilterRecord->inHiPlane = plane;
    gFilterRecord->outLoPlane = gFilterRecord->outHiPlane = plane;
    const VRect in = GetInRect();
    const int32 ih = in.bottom - in.top, iw = in.right - in.left;
    updateInputRate();
    // The preview never writes the image: no output buffer is asked for.
    SetOutRect(kEmptyRect);
    const OSErr err = advanceFilterState();
    if (err != noErr) {
        *gResult = err;
        return err;
    }
    if (ih <= 0 || iw <= 0) {
        std::memset(out, 0, size_t(int64_t(width) * height));
        return noErr;
    }
    if (ih == height && iw == width && depth == 8) {
        const char* src = static_cast<const char*>(gFilterRecord->inData);
        for (int32 r = 0; r < height; ++r)
            std::memcpy(out + int64_t(r) * width, src + int64_t(r) * gFilterRecord->inRowBytes, size_t(width));
        return noErr;
    }
    switch (depth) {
        case 16: convertPlane<uint16>(out, width, height, iw, ih, convert); break;
        case 32: convertPlane<float>(out, width, height, iw, ih, convert); break;
        default: convertPlane<uint8>(out, width, height, iw, ih, convert); break;
    }
    return noErr;
}

int32 clampShift(int32 shift, int32 size) { return std::clamp(shift, -size, size); }

// The part of the old output that stays visible after a shift by (sh, sv):
// it moves up by sv rows and left by sh columns.
void moveOverlap(const unsigned char* from, unsigned char* to, int32 sh, int32 sv, int16 planes) {
    const int32 W = pData.scWidth, H = pData.scHeight;
    const int32 rows = H - std::abs(sv), columns = W - std::abs(sh);
    if (rows <= 0 || columns <= 0) return;
    const int32 fromRow = std::max(sv, 0), toRow = std::max(-sv, 0);
    const int32 fromColumn = std::max(sh, 0), toColumn = std::max(-sh, 0);
    const int64_t planeSize = int64_t(W) * H;
    for (int16 p = 0; p < planes; ++p)
        for (int32 r = 0; r < rows; ++r)
            std::memcpy(to + p * planeSize + int64_t(toRow + r) * W + toColumn,
                        from + p * planeSize + int64_t(fromRow + r) * W + fromColumn, size_t(columns));
}

int32 addSaturated(int32 a, int32 b) {
    return int32(std::clamp<int64_t>(int64_t(a) + b, std::numeric_limits<int32>::min(),
                                     std::numeric_limits<int32>::max()));
}

// Runs the set-up at a new zoom factor; the old factor comes back when the
// set-up fails.  True when the proxy was set up.
bool setupProxyAtZoom(int32 factor) {
    const int32 old = pData.zoomFactor;
    pData.zoomFactor = factor;
    clampZoom();
    if (SetupProxy() == noErr) return true;
    pData.zoomFactor = old;
    return false;
}

}  // namespace

OSErr SetupProxy(unsigned char) {
    const previewProxyData before = pData;
    const int64_t beforeMemSize = proxyMemSize;
    auto restore = [&] {
        releaseProxyBuffers(pData);
        pData = before;
        proxyMemSize = beforeMemSize;
        clampZoomedProxyOffsets();
    };

    pData.zoomMode = 1;
    setInputRate(1);
    SetInRect(GetFilterRect());
    calcZoomedProxyDimensions();

    // The old proxies stay until the new ones are read, so that a refused
    // buffer or a failed read leaves the preview as it was: `before` holds
    // them, and the new ones are made beside them.
    pData.sourceBufferID = pData.outputBufferID = nullptr;
    pData.sourcePtr = pData.outputPtr = nullptr;
    createProxyBuffers();
    if (!pData.sourcePtr || !pData.outputPtr) {
        restore();
        reportOutOfMemory();
        return memFullErr;
    }
    const OSErr err = resampleToScProxy(pData.sourcePtr, pData.scWidth, pData.scHeight, true);
    if (err != noErr) {
        restore();
        return err;
    }
    // Until the first recompute the preview shows the image unfiltered,
    // never uninitialised memory.
    std::memcpy(pData.outputPtr, pData.sourcePtr, size_t(proxyMemSize));

    previewProxyData old = before;
    releaseProxyBuffers(old);
    renderingProxy = true;
    setupOverviewProxy();
    return noErr;
}

void unSetupProxy() {
    deleteProxyBuffers();
    releaseOverviewProxy();
    renderingProxy = false;
}

void changeZoom(int32 factor) { setupProxyAtZoom(factor); }

bool changeZoomLevel(int32 factor, unsigned char force) {
    clampZoom();
    if (factor == pData.zoomFactor && !force) return false;
    return setupProxyAtZoom(factor);
}

bool changeRelativeZoomLevel(VRect, int32 step) {
    clampZoom();
    const int32 factor = pData.zoomFactor;
    int32 next = factor - step;
    if (next == 3) next = step < 0 ? factor - (step - 1) : factor - (step + 1);
    if (next == factor) return false;
    return setupProxyAtZoom(next);
}

OSErr resampleToScProxy(unsigned char* buffer, int32 width, int32 height, bool convert) {
    if (!pData.sourcePtr || !buffer) return noErr;
    const int16 planes = CSPlanesFromMode(uint16(gFilterRecord->imageMode), 0);
    pData.scPlaneSize = width * height;
    if (planes < 1) return noErr;
    const int32 depth = getFilterDepth();
    if (depth == 32 && handleMissingColorspaceLUTs()) return memFullErr;
    const int64_t planeSize = int64_t(width) * height;
    for (int16 p = 0; p < planes; ++p) {
        const OSErr err = readPlane(p, buffer + p * planeSize, width, height, depth, convert);
        if (err != noErr) return err;
    }
    if (planes == 1) {
        std::memcpy(buffer + planeSize, buffer, size_t(planeSize));
        std::memcpy(buffer + 2 * planeSize, buffer, size_t(planeSize));
    }
    return noErr;
}

OSErr proxySlide(int32 dh, int32 dv, proxyEnhanceCallback enhance) {
    if (pData.zoomMode == 0 || !proxyBuffersFitDimensions()) return noErr;
    const int32 oldH = pData.offsetH, oldV = pData.offsetV;
    pData.offsetH = addSaturated(oldH, dh);
    pData.offsetV = addSaturated(oldV, dv);
    clampZoomedProxyOffsets();
    const int32 sh = clampShift(pData.offsetH - oldH, pData.scWidth);
    const int32 sv = clampShift(pData.offsetV - oldV, pData.scHeight);
    if (sh == 0 && sv == 0) return noErr;
    auto restoreOffsets = [&] {
        pData.offsetH = oldH;
        pData.offsetV = oldV;
        clampZoomedProxyOffsets();
    };

    BufferID outputID = nullptr, sourceID = nullptr;
    unsigned char *output = nullptr, *source = nullptr;
    memoryAllocate(proxyMemSize, outputID, output);
    memoryAllocate(proxyMemSize, sourceID, source);
    auto releaseNew = [&] {
        memoryRelease(proxyMemSize, outputID, output);
        memoryRelease(proxyMemSize, sourceID, source);
    };
    if (!output || !source) {
        releaseNew();
        restoreOffsets();
        reportOutOfMemory();
        return memFullErr;
    }
    moveOverlap(pData.outputPtr, output, sh, sv, 3);
    // The new rectangle goes into a buffer of its own, so that a failed read
    // leaves the old source intact.
    const OSErr err = resampleToScProxy(source, pData.scWidth, pData.scHeight, true);
    if (err != noErr) {
        releaseNew();
        restoreOffsets();
        return err;
    }
    bufferToBufferEnhance(source, output, sh, sv, enhance);

    memoryRelease(proxyMemSize, pData.outputBufferID, pData.outputPtr);
    memoryRelease(proxyMemSize, pData.sourceBufferID, pData.sourcePtr);
    pData.outputBufferID = outputID;
    pData.outputPtr = output;
    pData.sourceBufferID = sourceID;
    pData.sourcePtr = source;
    VPoint focal;
    translatePointForZoom(pData.zoomMode, 1, makeVPoint(pData.offsetV, pData.offsetH), focal);
    pData.focalV = focal.v;
    pData.focalH = focal.h;
    return noErr;
}

void bufferToBufferEnhance(const unsigned char* source, unsigned char* destination, int32 sh, int32 sv,
                           proxyEnhanceCallback enhance) {
    if (!source || !destination) return;
    const int16 planes = CSPlanesFromMode(uint16(gFilterRecord->imageMode), 0);
    if (planes != 1 && planes < 3) return;
    const int32 W = pData.scWidth, H = pData.scHeight;
    const int64_t planeSize = int64_t(W) * H;
    for (int32 y = 0; y < H; ++y) {
        const bool wholeRow = y < -sv || y >= H - sv;
        for (int32 x = 0; x < W; ++x) {
            if (!wholeRow && x >= -sh && x < W - sh) continue;
            const int64_t i = int64_t(y) * W + x;
            // Every proxy holds three planes (a grey one repeated).
            for (int p = 0; p < 3; ++p) destination[p * planeSize + i] = source[p * planeSize + i];
            if (planes >= 3 && enhance) enhance(destination[i], destination[planeSize + i], destination[2 * planeSize + i]);
        }
    }
}

void processProxyDrag(VPoint current, VPoint& last, proxyEnhanceCallback enhance) {
    proxySlide(addSaturated(last.h, -current.h), addSaturated(last.v, -current.v), enhance);
    last = current;
}

void processOverviewDrag(VPoint current, VPoint& last, proxyEnhanceCallback enhance) {
    overviewSlide(addSaturated(current.h, -last.h), addSaturated(current.v, -last.v), enhance);
    last = current;
}

void overviewSlide(int32 dh, int32 dv, proxyEnhanceCallback enhance) {
    if (pData.overviewWidth <= 0 || pData.overviewHeight <= 0) return;
    const VRect F = getScaledFilterRect();
    const float dhImage = float(F.right - F.left) * (1.0f / float(pData.overviewWidth)) * float(dh);
    const float dvImage = float(F.bottom - F.top) / float(pData.overviewHeight) * float(dv);
    proxySlide(int32(std::clamp(dhImage, -2.0e9f, 2.0e9f)), int32(std::clamp(dvImage, -2.0e9f, 2.0e9f)), enhance);
}

bool overviewHandleFirstClick(int32 h, int32 v, VRect used) {
    if (pData.overviewWidth <= 0 || pData.overviewHeight <= 0) return false;
    const int32 x = addSaturated(h, -used.left), y = addSaturated(v, -used.top);
    const VRect box = getRedBoxVRect();
    if (x >= box.left && x < box.right && y >= box.top && y < box.bottom) return true;
    const VRect F = getScaledFilterRect();
    const float oh = (float(x) / float(pData.overviewWidth) - 0.5f) * float(F.right - F.left);
    const float ov = (float(y) / float(pData.overviewHeight) - 0.5f) * float(F.bottom - F.top);
    const int32 oldH = pData.offsetH, oldV = pData.offsetV;
    pData.offsetH = int32(std::clamp(oh, -2.0e9f, 2.0e9f));
    pData.offsetV = int32(std::clamp(ov, -2.0e9f, 2.0e9f));
    if (SetupProxy() == noErr) {
        crossPlatformUpdateProxy();
    } else {
        pData.offsetH = oldH;
        pData.offsetV = oldV;
        clampZoomedProxyOffsets();
    }
    return false;
}

void startTimerOne() {}
void showTimerOne() {}
