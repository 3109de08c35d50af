// Paint composition: plain byte copies with integer division by the zoom
// factor; nothing is filtered here.
#include "preview/paint.h"

#include <algorithm>
#include <cstring>

#include "host/globals.h"
#include "host/host_services.h"
#include "host/colorspace.h"
#include "image/colorspace_luts.h"
#include "preview/overview.h"
#include "preview/proxy.h"

namespace {

// Zoom factor 1: the source on the left, the map's picture on the right.
void composeSideBySide(unsigned char* picture, const unsigned char* source, const PSPixelMap& map, int32 W,
                       int32 H) {
    const unsigned char* filtered = static_cast<const unsigned char*>(map.baseAddr);
    const int64_t planeSize = int64_t(W) * H;
    for (int p = 0; p < 3; ++p)
        for (int32 y = 0; y < H; ++y) {
            unsigned char* row = picture + 2 * planeSize * p + int64_t(y) * 2 * W;
            std::memcpy(row, source + planeSize * p + int64_t(y) * W, size_t(W));
            std::memcpy(row + W, filtered + int64_t(map.planeBytes) * p + int64_t(y) * map.rowBytes, size_t(W));
        }
}

// Every proxy pixel as Z x Z picture pixels, in both halves.
void composeZoomed(unsigned char* picture, const unsigned char* source, const PSPixelMap& map, int32 W, int32 H,
                   int32 Z) {
    const unsigned char* filtered = static_cast<const unsigned char*>(map.baseAddr);
    const int64_t rowBytes = 2 * int64_t(Z) * W, planeBytes = rowBytes * Z * H;
    for (int p = 0; p < 3; ++p)
        for (int32 r = 0; r < Z * H; ++r) {
            unsigned char* left = picture + planeBytes * p + r * rowBytes;
            unsigned char* right = left + int64_t(Z) * W;
            const unsigned char* s = source + int64_t(W) * H * p + int64_t(r / Z) * W;
            const unsigned char* f = filtered + int64_t(map.planeBytes) * p + int64_t(r / Z) * map.rowBytes;
            for (int32 c = 0; c < Z * W; ++c) {
                left[c] = s[c / Z];
                right[c] = f[c / Z];
            }
        }
}

void tintBox(uint8_image& picture, VRect box) {
    box.left = std::clamp(box.left, 0, picture.width);
    box.right = std::clamp(box.right, 0, picture.width);
    box.top = std::clamp(box.top, 0, picture.height);
    box.bottom = std::clamp(box.bottom, 0, picture.height);
    const int32 rowBytes = picture.width * 3;
    if (box.bottom - box.top >= 7 && box.right - box.left >= 7) {
        overviewDrawRectangleBorder(picture.data, rowBytes, 3, 1, box.left, box.right, box.top, box.top + 3);
        overviewDrawRectangleBorder(picture.data, rowBytes, 3, 1, box.left, box.right, box.bottom - 3, box.bottom);
        overviewDrawRectangleBorder(picture.data, rowBytes, 3, 1, box.left, box.left + 3, box.top + 3,
                                    box.bottom - 3);
        overviewDrawRectangleBorder(picture.data, rowBytes, 3, 1, box.right - 3, box.right, box.top + 3,
                                    box.bottom - 3);
    } else {
        overviewDrawRectangleBorder(picture.data, rowBytes, 3, 1, box.left, box.right, box.top, box.bottom);
    }
}

// The overview into the picture and its red box, both only inside the picture.
void composeOverview(spatialFilterProxyStruct& s) {
    uint8_image* picture = s.overviewPicture;
    PSPixelMap& map = s.overviewMap;
    map = PSPixelMap{};
    map.version = 1;
    if (!picture || !picture->data || picture->width <= 0 || picture->height <= 0) return;
    const overviewProxyClass& ov = overviewProxyClassObject;
    if (ov.data) {
        const int32 rows = std::min(ov.height, picture->height), columns = std::min(ov.width, picture->width);
        for (int32 y = 0; y < rows; ++y)
            std::memcpy(picture->data + int64_t(y) * picture->width * 3, ov.data + int64_t(y) * ov.width * 3,
                        size_t(columns) * 3);
    }
    tintBox(*picture, getRedBoxVRect());

    const int16 mode = int16(gFilterRecord->imageMode);
    map.bounds = VRect{0, 0, picture->height, picture->width};
    map.imageMode = CSPlanesFromMode(uint16(mode), 0) == 1 ? int16(plugInModeRGBColor) : DisplayPixelsMode(mode);
    map.rowBytes = picture->width * 3;
    map.colBytes = 3;
    map.planeBytes = 1;
    map.baseAddr = picture->data;
    if (s.previewMap) map.colorManagementOptions = s.previewMap->colorManagementOptions;
}

}  // namespace

void preparePreviewPixelMap(PSPixelMap& map, bool showOriginal) {
    map = PSPixelMap{};
    map.version = 1;
    map.bounds = VRect{0, 0, pData.scHeight * pData.zoomFactor, 2 * pData.scWidth * pData.zoomFactor};
    map.imageMode = DisplayPixelsMode(int16(gFilterRecord->imageMode));
    map.rowBytes = pData.scWidth;
    map.colBytes = 1;
    map.planeBytes = pData.scWidth * pData.scHeight;
    map.baseAddr = showOriginal ? pData.sourcePtr : pData.outputPtr;
}

OSErr spatialFilterPaintBuffer(spatialFilterProxyStruct& s) {
    s.linearBufferID = s.sideBySideBufferID = s.zoomedBufferID = nullptr;
    s.linearPtr = s.sideBySidePtr = s.zoomedPtr = nullptr;
    s.overviewMap = PSPixelMap{};
    if (!proxyBuffersFitDimensions() || !s.previewMap) return paramErr;
    PSPixelMap& map = *s.previewMap;
    const int32 W = pData.scWidth, H = pData.scHeight, Z = std::max(1, pData.zoomFactor);
    if (!map.baseAddr || map.rowBytes != W || map.planeBytes != W * H || map.colBytes != 1) return paramErr;
    const int32 depth = getFilterDepth();
    if (depth == 32 && handleMissingColorspaceLUTs()) return memFullErr;

    unsigned char* picture = nullptr;
    int64_t pictureBytes = 0;
    if (Z == 1) {
        pictureBytes = 2 * 3 * int64_t(W) * H;
        picture = memoryAllocate(pictureBytes, s.sideBySideBufferID, s.sideBySidePtr);
        if (!picture) {
            reportOutOfMemory();
            return memFullErr;
        }
        composeSideBySide(picture, pData.sourcePtr, map, W, H);
    } else {
        pictureBytes = int64_t(proxyPlanesToMakeMemoryFor()) * (2 * int64_t(Z) * W) * (int64_t(Z) * H);
        picture = memoryAllocate(pictureBytes, s.zoomedBufferID, s.zoomedPtr);
        if (!picture) {
            reportOutOfMemory();
            return memFullErr;
        }
        composeZoomed(picture, pData.sourcePtr, map, W, H, Z);
    }
    map.baseAddr = picture;
    map.rowBytes = 2 * Z * W;
    map.planeBytes = 2 * Z * W * Z * H;
    map.bounds.right = map.bounds.left + 2 * Z * W;
    map.bounds.bottom = map.bounds.top + Z * H;

    if (depth == 32) {
        unsigned char* linear = memoryAllocate(pictureBytes, s.linearBufferID, s.linearPtr);
        if (!linear) {
            reportOutOfMemory();
            return memFullErr;
        }
        uint8 toLinear[256];
        for (int b = 0; b < 256; ++b) toLinear[b] = uint8(cspacePtrLUT2[16 * b] * 255.0f);
        const int64_t bytes = 3 * int64_t(map.planeBytes);
        for (int64_t i = 0; i < bytes; ++i) linear[i] = toLinear[picture[i]];
        map.baseAddr = linear;
    }
    composeOverview(s);
    return noErr;
}

void spatialFilterPaintCleanup(spatialFilterProxyStruct& s) {
    memoryRelease(0, s.linearBufferID, s.linearPtr);
    memoryRelease(0, s.sideBySideBufferID, s.sideBySidePtr);
    memoryRelease(0, s.zoomedBufferID, s.zoomedPtr);
}

paintBuffers::~paintBuffers() {
    spatialFilterPaintCleanup(composition);
    memoryRelease(0, overview.bufferID, overview.data);
}

OSErr paintBuffers::compose(bool showOriginal, VRect overviewRect) {
    preparePreviewPixelMap(previewMap, showOriginal);
    if (pData.overviewWidth > 0 && pData.overviewHeight > 0 &&
        memoryAllocate(int64_t(pData.overviewWidth) * pData.overviewHeight * 3, overview.bufferID, overview.data)) {
        overview.width = pData.overviewWidth;
        overview.height = pData.overviewHeight;
        composition.overviewPicture = &overview;
    }
    composition.overviewRect = overviewRect;
    return spatialFilterPaintBuffer(composition);
}

OSErr spatialFilterDisplayPixels(spatialFilterProxyStruct& s, int32 previewRow, int32 previewColumn,
                                 void* platformContext) {
    DisplayPixelsProc display = gFilterRecord->displayPixels;
    if (!display) return errPlugInHostInsufficient;
    OSErr err = noErr;
    if (s.previewMap && s.previewMap->baseAddr)
        err = display(s.previewMap, &s.previewMap->bounds, previewRow, previewColumn, platformContext);
    const PSPixelMap& ov = s.overviewMap;
    if (err == noErr && ov.baseAddr && ov.bounds.bottom > ov.bounds.top && ov.bounds.right > ov.bounds.left)
        err = display(&ov, &ov.bounds, s.overviewRect.top, s.overviewRect.left, platformContext);
    return err;
}

void overviewDrawRectangleBorder(void* data, int32 rowBytes, int32 columnBytes, int32 channelOffset, int32 left,
                                 int32 right, int32 top, int32 bottom) {
    unsigned char* base = static_cast<unsigned char*>(data);
    for (int32 y = top; y < bottom; ++y)
        for (int32 x = left; x < right; ++x) {
            unsigned char* p = base + int64_t(y) * rowBytes + int64_t(x) * columnBytes;
            p[0] = uint8(p[0] / 2 + 127);
            p[channelOffset] = uint8(p[channelOffset] / 2);
            p[2 * channelOffset] = uint8(p[2 * channelOffset] / 2);
        }
}
