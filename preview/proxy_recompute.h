// The preview recompute: the source proxy interleaved, filtered by the
// product's engine in one piece, put back into the output proxy's planes,
// and the per-pixel enhance run over it on every processor.
#pragma once

#include "PIFilter.h"
#include "engine/spatial_pass.h"
#include "preview/proxy_source.h"

// The preview pass: filters the interleaved 8-bit buffer of source.width x
// source.height pixels (source.data, source.rowBytes) into destination.data.
// 0, -50 (too small, after the alert), -108 (memory) or -128 (cancelled);
// on failure the destination is not written.  It is never a final run: a
// cancel left from an earlier run does not stop it.
OSErr proxyDoSpatialEffect(spatialSourceStruct source, spatialDestStruct destination);

typedef void (*proxyParameterCallback)();

// Mac form: the dialog passes enhancePixelUint8 (not used here: the enhance
// step calls the hooks itself) and the product's calcInternalFilterParams.
// Windows form: the source proxy; the derivation is called directly.
// 0, also when there is nothing to do; -108 (after the memory alert) or the
// pass's error, and then the output proxy keeps its previous pixels; -50
// when the proxies do not hold the shown size.
OSErr updateModifiedProxyBuffer(proxyEnhanceCallback enhance, proxyParameterCallback parameters);
OSErr updateModifiedProxyBuffer(unsigned char* source);

// The per-pixel enhance over a block, rows split into one band per processor.
struct threadedEnhance_struct {
    void* data;
    int32 rowBytes;
    void* destination;
    void* secondDestination;
    int32 top, left, bottom, right;
    int32 depth;   // 8, 16 or 32 (float)
    int32 planes;  // 1 or 3
    bool interleaved;
    int32 planeBytes;  // planar data: samples from one plane to the next
};

void threadedEnhanceBlock(threadedEnhance_struct block);
// Band body: the enhance over the band's record.
void* threadedEnhanceProcess(void* record);
void enhancePixelBlock(threadedEnhance_struct block);
