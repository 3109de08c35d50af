// The overview image and its red box.
#include "preview/overview.h"

#include <algorithm>
#include <cmath>

#include "host/alerts.h"
#include "host/globals.h"
#include "host/host_services.h"
#include "host/big_document.h"
#include "preview/nearest_sample.h"
#include "preview/preview_dialog.h"
#include "preview/proxy.h"

overviewProxyClass overviewProxyClassObject;

namespace {

const VRect kEmptyRect = {0, 0, 0, 0};

// Unlike the preview, the overview shows linear 32-bit samples as they are.
uint8 overviewSample(uint8 v) { return v; }
uint8 overviewSample(uint16 v) { return uint8((uint32(std::min<uint16>(v, 32768)) * 255) >> 15); }
uint8 overviewSample(float f) {
    f = f > 0.0f ? (f < 1.0f ? f : 1.0f) : 0.0f;
    return uint8(f * 255.0f + 0.5f);
}

// One tile of the host's input, tw pixels wide, scaled into its cell of
// the overview.
template <typename Sample>
void scaleTile(unsigned char* data, int32 width, VRect cell, int32 tw, const inputBufferDescriptor& in) {
    const int32 th = in.height;
    const int32 ow = cell.right - cell.left, oh = cell.bottom - cell.top;
    const bool corners = ow >= 2 && oh >= 2;
    const nearestSample row(th, oh, corners), column(tw, ow, corners);
    const char* rows = static_cast<const char*>(in.data);
    const int32 step = in.planes == 3 ? 1 : 0;
    for (int32 r = 0; r < oh; ++r) {
        const Sample* src = reinterpret_cast<const Sample*>(rows + int64_t(row(r)) * in.rowBytes);
        unsigned char* out = data + (int64_t(cell.top + r) * width + cell.left) * 3;
        for (int32 c = 0; c < ow; ++c) {
            const Sample* pixel = src + int64_t(column(c)) * in.planes;
            for (int ch = 0; ch < 3; ++ch) *out++ = overviewSample(pixel[ch * step]);
        }
    }
}

// Grid line i of 4 over a span of n from origin o.
int32 quarter(int32 o, int32 n, int i) { return int32(o + int64_t(i) * n / 4); }

}  // namespace

// Rows are addressed by the host's row bytes: a host may pad them to other
// than a whole number of pixels, which the row length in pixels drops.
template <typename Sample>
inputBufferDescriptor describeInputBuffer() {
    inputBufferDescriptor d;
    const int32 bufferPlanes = std::max(gFilterRecord->inHiPlane - gFilterRecord->inLoPlane + 1, 1);
    d.bytesPerSample = int32(sizeof(Sample));
    d.rowBytes = gFilterRecord->inRowBytes;
    d.rowPixels = d.rowBytes / bufferPlanes / d.bytesPerSample;
    const VRect in = GetInRect();
    d.height = in.bottom - in.top;
    d.planes = getExpectedImagePlanesAssuming1or3channels();
    d.data = gFilterRecord->inData;
    return d;
}

template inputBufferDescriptor describeInputBuffer<uint8>();
template inputBufferDescriptor describeInputBuffer<uint16>();
template inputBufferDescriptor describeInputBuffer<float>();

OSErr overviewProxyClass::theRealInit(int32 w, int32 h) {
    if (w <= 0 || h <= 0) {
        release();
        return noErr;
    }
    BufferID newID = nullptr;
    unsigned char* newData = nullptr;
    memoryAllocate(int64_t(h) * w * sampleSize * 3, newID, newData);
    if (!newData) {
        doAlertBox("(Vexlor) Could not allocate memory for proxy, please contact support.");
        return memFullErr;
    }
    setInputRate(1);
    const VRect F = GetFilterRect();
    const int32 fh = F.bottom - F.top, fw = F.right - F.left;
    const int32 depth = getFilterDepth();
    // The tiles cover F, wherever it lies in the image.
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            const VRect tile = {quarter(F.top, fh, i), quarter(F.left, fw, j), quarter(F.top, fh, i + 1),
                                quarter(F.left, fw, j + 1)};
            const VRect cell = {quarter(0, h, i), quarter(0, w, j), quarter(0, h, i + 1), quarter(0, w, j + 1)};
            if (tile.bottom <= tile.top || tile.right <= tile.left || cell.bottom <= cell.top ||
                cell.right <= cell.left)
                continue;
            const OSErr err = advanceFilterStateFrom1or3channels(tile, kEmptyRect);
            if (err != noErr) {
                *gResult = err;
                memoryRelease(0, newID, newData);
                return err;
            }
            const int32 tw = tile.right - tile.left;
            switch (depth) {
                case 16: scaleTile<uint16>(newData, w, cell, tw, describeInputBuffer16bit()); break;
                case 32: scaleTile<float>(newData, w, cell, tw, describeInputBuffer32bit()); break;
                default: scaleTile<uint8>(newData, w, cell, tw, describeInputBuffer8bit()); break;
            }
        }
    }
    release();
    bufferID = newID;
    data = newData;
    width = w;
    height = h;
    return noErr;
}

void overviewProxyClass::release() {
    memoryRelease(0, bufferID, data);
    width = height = 0;
}

void setupOverviewProxy() {
    getOverviewUsedVRect();
    overviewProxyClassObject.theRealInit(pData.overviewWidth, pData.overviewHeight);
}

void releaseOverviewProxy() { overviewProxyClassObject.release(); }

VRect getRedBoxVRect() {
    // Only the clamping steps: the full computation would resize the proxy
    // behind its buffers' back.
    clampZoomedProxyOffsets();
    const VRect I = GetInRect();
    const VRect F = getScaledFilterRect();
    const float fw = float(F.right - F.left), fh = float(F.bottom - F.top);
    const int32 ovW = pData.overviewWidth, ovH = pData.overviewHeight;
    if (fw <= 0 || fh <= 0 || ovW <= 0 || ovH <= 0) return kEmptyRect;
    VRect box;
    box.left = int32(float(I.left - F.left) / fw * float(ovW + 1));
    box.top = int32(float(I.top - F.top) * (1.0f / fh) * float(ovH + 1));
    box.right = box.left + int32(float(I.right - I.left) / fw * float(ovW));
    box.bottom = box.top + int32(float(I.bottom - I.top) / fh * float(ovH));
    box.left = std::clamp(box.left, 0, ovW);
    box.right = std::clamp(box.right, 0, ovW);
    box.top = std::clamp(box.top, 0, ovH);
    box.bottom = std::clamp(box.bottom, 0, ovH);
    return box;
}
