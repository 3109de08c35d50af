// The handlers of the small selectors.
#include "entry/selectors.h"

#include "host/globals.h"
#include "host/host_services.h"
#include "entry/params.h"
#include "entry/persistence.h"
#include "entry/start.h"
#include "engine/product.h"
#include "host/big_document.h"
#include "image/host_import.h"

namespace {
void lockAndInitialise() {
    LockHandles(reinterpret_cast<void**>(&gParams), reinterpret_cast<void**>(&gData));
    if (*gResult != noErr) return;
    InitParameters();
    InitData();
}

void createMissingHandles() {
    if (!gFilterRecord->parameters) CreateParametersHandle(int32(sizeof(ParamBlock)));
    if (!*gDataHandle) CreateDataHandle();
}
}  // namespace

void InitData() { gData[0] = 1; }

// Selector 1 resets the parameters every time the host sends it.
void DoParameters() {
    createMissingHandles();
    if (*gResult == noErr) lockAndInitialise();
}

void DoPrepare() {
    if (gFilterRecord->parameters && *gDataHandle) {
        LockHandles(reinterpret_cast<void**>(&gParams), reinterpret_cast<void**>(&gData));
    } else {
        createMissingHandles();
        if (*gResult == noErr) lockAndInitialise();
    }
    gFilterRecord->bufferSpace = 0;
    if (!documentFitsSixteenBitRectangles()) return;

    // Every run plans afresh: a short budget once must not shrink the
    // megatiles of every later run in this load.
    megaTileChunksWide = 4;
    megaTileChunksHigh = 4;
    VRect filter = GetFilterRect();
    int64_t w = int64_t(filter.right) - filter.left;
    int64_t h = int64_t(filter.bottom) - filter.top;
    if (megatilesIsImageLargeEnough()) {
        w = megatileGetWidth();
        h = megatileGetHeight();
    }
    // The four levels of the lifting pyramid, each half the one before.
    int64_t cells = 0;
    for (int level = 0; level < 4; ++level) {
        cells += (w + 6) * (h + 6);
        w = (w + 1) / 2;
        h = (h + 1) / 2;
    }
    int64_t planes = getExpectedImagePlanes();
    if (planes < 3) planes = 3;
    const int64_t need = cells * planes * 4 + 32780;

    if (need > gFilterRecord->maxSpace) {
        megaTileChunksWide = 1;
        megaTileChunksHigh = 1;
    } else if (need < gFilterRecord->maxSpace) {
        gFilterRecord->maxSpace = int32(need);
    }
}

// All filtering is done in the start selector: empty rectangles end the pass.
void DoContinue() {
    const VRect empty = {0, 0, 0, 0};
    SetInRect(empty);
    SetOutRect(empty);
    SetMaskRect(empty);
}

void DoFinish() {
    LockHandles(reinterpret_cast<void**>(&gParams), reinterpret_cast<void**>(&gData));
    if (*gResult != noErr) return;
    WriteRegistryParameters();
    WriteScriptParameters();
}

void runSelector(int16 selector) {
    switch (selector) {
        case filterSelectorParameters: DoParameters(); break;
        case filterSelectorPrepare: DoPrepare(); break;
        case filterSelectorStart: DoStart(); break;
        case filterSelectorContinue: DoContinue(); break;
        case filterSelectorFinish: DoFinish(); break;
        default: break;
    }
    UnlockHandles();
}
