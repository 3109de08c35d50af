// The preview recompute, its filtering pass and the threaded enhance.
#include "preview/proxy_recompute.h"

#include <cstring>

#include "engine/band_driver.h"
#include "engine/output_writers.h"
#include "host/alerts.h"
#include "engine/engine_params.h"
#include "host/globals.h"
#include "host/host_services.h"
#include "engine/product.h"
#include "image/fl_image.h"
#include "image/host_import.h"
#include "image/uint8_proxy.h"
#include "preview/proxy.h"

namespace {

// The preview pass is a run of its own, never the final one.
struct previewRun {
    previewRun() { beginFilteringRun(false); }
    ~previewRun() { endFilteringRun(); }
};

void deinterleave(const unsigned char* interleaved, unsigned char* planes, int32 W, int32 H) {
    const int64_t planeSize = int64_t(W) * H;
    for (int64_t i = 0; i < planeSize; ++i) {
        planes[i] = interleaved[3 * i];
        planes[planeSize + i] = interleaved[3 * i + 1];
        planes[2 * planeSize + i] = interleaved[3 * i + 2];
    }
}

OSErr recompute(unsigned char* source, proxyParameterCallback parameters) {
    if (!source || !pData.outputPtr) return noErr;
    // A proxy resized without new buffers must never be written past.
    if (!proxyBuffersFitDimensions()) return paramErr;
    const int32 W = pData.scWidth, H = pData.scHeight;
    parameters();

    // Every proxy holds three planes (a grey image's repeated).
    interleaved8bit_from_planes in(W, W, 3 * W * H, source);
    if (!in.data) return memFullErr;
    BufferID outID = nullptr;
    unsigned char* out = nullptr;
    if (!memoryAllocate(int64_t(W) * H * 3, outID, out)) {
        reportOutOfMemory();
        return memFullErr;
    }
    spatialSourceStruct src = {};
    src.width = W;
    src.height = H;
    src.fromHost = false;
    src.data = in.data;
    src.rowBytes = 3 * W;
    spatialDestStruct dst = {};
    dst.toHost = false;
    dst.data = out;
    dst.rowBytes = 3 * W;
    const OSErr err = proxyDoSpatialEffect(src, dst);
    if (err == noErr) deinterleave(out, pData.outputPtr, W, H);
    memoryRelease(0, outID, out);
    if (err != noErr) return err;

    threadedEnhance_struct enhance = {};
    enhance.data = enhance.destination = enhance.secondDestination = pData.outputPtr;
    enhance.rowBytes = W;
    enhance.top = 0;
    enhance.left = 0;
    enhance.bottom = H;
    enhance.right = W;
    enhance.depth = 8;
    enhance.planes = 3;
    enhance.interleaved = false;
    enhance.planeBytes = W * H;
    threadedEnhanceBlock(enhance);
    return noErr;
}

}  // namespace

OSErr proxyDoSpatialEffect(spatialSourceStruct source, spatialDestStruct destination) {
    previewRun run;
    calcInternalFilterParams();
    const int32 width = source.width, height = source.height;
    if (doesPaddingExceedLifting(width, height, 3, 3, 3)) {
        doAlertBox(kImageTooSmallText);
        return paramErr;
    }
    fl_image in(width, height);
    if (handleInvalidMemory(in)) return memFullErr;
    fl_image out(getFlimageDimensions(in));
    if (handleInvalidMemory(out)) return memFullErr;
    copyIntoFlimage8bit3channelsOnly(in, static_cast<unsigned char*>(source.data), source.rowBytes, width, height);
    const OSErr err = runLiftingStructure(in, out);
    if (err != noErr) return err;
    if (progressUpdate()) return userCanceledErr;
    // Three samples per pixel whatever the image's planes: the preview's
    // buffers are RGB also for a grey image.
    lumaChromaMixTo8BitMaster(static_cast<uint8*>(source.data), source.rowBytes,
                              static_cast<uint8*>(destination.data), destination.rowBytes, width, height, 0, 0, out,
                              0, 0, false, 3);
    return noErr;
}

OSErr updateModifiedProxyBuffer(proxyEnhanceCallback, proxyParameterCallback parameters) {
    return recompute(pData.sourcePtr, parameters ? parameters : calcInternalFilterParams);
}

OSErr updateModifiedProxyBuffer(unsigned char* source) { return recompute(source, calcInternalFilterParams); }

void threadedEnhanceBlock(threadedEnhance_struct block) {
    if (!block.interleaved && block.planeBytes < 1) {
        doAlertBox("Vexlor error (planebytes <= 0).");
        return;
    }
    const int32 h = block.bottom - block.top, w = block.right - block.left;
    if (h <= 0 || w <= 0) return;
    // Band rows count from the data pointer, whatever top and left were.
    auto band = [&](const bandInfo& b) {
        threadedEnhance_struct record = block;
        record.top = b.firstRow;
        record.bottom = b.endRow;
        record.left = 0;
        record.right = w;
        threadedEnhanceProcess(&record);
    };
    runBands(h, band);
}

void* threadedEnhanceProcess(void* record) {
    enhancePixelBlock(*static_cast<const threadedEnhance_struct*>(record));
    return nullptr;
}

void enhancePixelBlock(threadedEnhance_struct b) {
    if (b.planes != 1 && b.planes != 3) return;
    // Columns count from the data pointer, whatever left was.
    const enhanceLayout layout =
        b.interleaved ? enhanceLayout{b.planes, 1, b.planes} : enhanceLayout{b.planes, b.planeBytes, 1};
    enhancePixelsAtDepth(b.data, b.rowBytes, VRect{b.top, 0, b.bottom, b.right - b.left}, b.depth, layout);
}
