// Host handles, buffers, progress, cancel and advance state.
#include "host/host_services.h"

#include <ctime>
#include <exception>
#include <limits>
#include <new>
#include <string>

#include "PIActions.h"
#include "host/alerts.h"
#include "host/globals.h"
#include "host/big_document.h"
#include "host/colorspace.h"

int32 progressTotal = 0;
int32 progressDone = 0;
bool notInGUI = false;
std::atomic<bool> globalUserCancelled{false};
bool clocksStopped = false;

namespace {
int32 stopTime = 0;
}  // namespace

const char* const kNotEnoughMemoryText =
    "(Vexlor) Not enough memory to run this plugin.  Go to Edit -> Preferences -> Performance to increase "
    "memory allocation.";

const char* const kDocumentTooLargeText =
    "(Vexlor) This host passes no image wider or higher than 32767 pixels to a plugin.  Please use a host "
    "with big-document support, or a smaller image or selection.";

void reportOutOfMemory() {
    doAlertBox(kNotEnoughMemoryText);
    *gResult = userCanceledErr;
}

void reportUnexpectedException() {
    *gResult = userCanceledErr;
    try {
        try {
            throw;
        } catch (const std::bad_alloc&) {
            doAlertBox(kNotEnoughMemoryText);
        } catch (const std::exception& e) {
            doAlertBox(std::string("(Vexlor) Unexpected error: ") + e.what());
        } catch (...) {
            doAlertBox("(Vexlor) Unexpected error.");
        }
    } catch (...) {
        // The alert itself failed: the result still tells the host.
    }
}

// Handles ------------------------------------------------------------------

void CreateParametersHandle(int32 size) {
    gFilterRecord->parameters = gFilterRecord->handleProcs->newProc(size);
    if (!gFilterRecord->parameters) *gResult = memFullErr;
}

void CreateDataHandle() {
    Handle h = gFilterRecord->handleProcs->newProc(1);
    if (!h)
        *gResult = memFullErr;
    else
        *gDataHandle = reinterpret_cast<intptr_t>(h);
}

void LockHandles(void** params, void** data) {
    Handle paramHandle = gFilterRecord->parameters;
    Handle dataHandle = reinterpret_cast<Handle>(*gDataHandle);
    if (!paramHandle || !dataHandle) {
        *gResult = filterBadParameters;
        return;
    }
    // A handle the host kept from another build or product may be smaller
    // than the block: never read or write past it.
    HandleProcs* procs = gFilterRecord->handleProcs;
    if (procs->getSizeProc && procs->getSizeProc(paramHandle) < int32(sizeof(ParamBlock))) {
        *gResult = filterBadParameters;
        return;
    }
    *params = procs->lockProc(paramHandle, true);
    *data = procs->lockProc(dataHandle, true);
    if (!*params || !*data) *gResult = memFullErr;
}

void UnlockHandles() {
    HandleProcs* procs = gFilterRecord->handleProcs;
    if (*gDataHandle) procs->unlockProc(reinterpret_cast<Handle>(*gDataHandle));
    if (gFilterRecord->parameters) procs->unlockProc(gFilterRecord->parameters);
}

// Host buffers -------------------------------------------------------------

void* memoryAllocate(int64_t size, BufferID& bufferID, void*& data) {
    BufferProcs* procs = gFilterRecord->bufferProcs;
    if (!procs) return nullptr;
    bufferID = nullptr;
    data = nullptr;
    // The host counts in 32 bits: a larger buffer cannot be had.
    if (size < 0 || size > std::numeric_limits<int32>::max()) return nullptr;
    if (procs->allocateProc(int32(size), &bufferID) != noErr || !bufferID) {
        bufferID = nullptr;
        return nullptr;
    }
    data = procs->lockProc(bufferID, true);
    return data;
}

void memoryRelease(int64_t, BufferID& bufferID, void*& data) {
    BufferProcs* procs = gFilterRecord->bufferProcs;
    if (!bufferID || !procs) return;
    procs->unlockProc(bufferID);
    procs->freeProc(bufferID);
    bufferID = nullptr;
    data = nullptr;
}

void memoryDebugVerify() {}

// Progress and cancel ------------------------------------------------------

void beginFilteringRun(bool finalPass) {
    notInGUI = finalPass;
    globalUserCancelled = false;
}

void endFilteringRun() { notInGUI = false; }

void progressTotalSet(int32 total) {
    if (!notInGUI) return;
    progressTotal = total;
    progressDone = 0;
    gFilterRecord->progressProc(0, total);
}

namespace {
bool pollAbort() {
    if (gFilterRecord->abortProc()) {
        *gResult = userCanceledErr;
        globalUserCancelled = true;
        return true;
    }
    return false;
}
}  // namespace

bool progressUpdate(int32 n) {
    if (globalUserCancelled) return true;
    if (!notInGUI) return false;
    progressDone += n;
    gFilterRecord->progressProc(progressDone, progressTotal);
    return pollAbort();
}

bool progressUpdate() {
    if (!notInGUI) return false;
    if (globalUserCancelled) return true;
    progressDone += 1;
    gFilterRecord->progressProc(progressDone, progressTotal);
    return pollAbort();
}

bool threadedProgressUpdate(int32 n) {
    if (n != -1) return globalUserCancelled;
    if (globalUserCancelled) return true;
    if (!notInGUI) return false;
    gFilterRecord->progressProc(progressDone, progressTotal);
    return pollAbort();
}

// Advance state and planes -------------------------------------------------

OSErr advanceFilterState() {
    OSErr err = gFilterRecord->advanceState();
    if (err != noErr) doAlertBox("(Vexlor) Advance state error:", err);
    return err;
}

OSErr advanceFilterStateFrom1or3channels(VRect r) { return advanceFilterStateFrom1or3channels(r, r); }

OSErr advanceFilterStateFrom1or3channels(VRect inRect, VRect outRect) {
    int16 n = getExpectedImagePlanesAssuming1or3channels();
    gFilterRecord->inLoPlane = 0;
    gFilterRecord->inHiPlane = int16(n - 1);
    gFilterRecord->outLoPlane = 0;
    gFilterRecord->outHiPlane = int16(n - 1);
    SetInRect(inRect);
    SetOutRect(outRect);
    if (gFilterRecord->haveMask) SetMaskRect(inRect);
    return advanceFilterState();
}

int16 getExpectedImagePlanes() { return CSPlanesFromMode(uint16(gFilterRecord->imageMode), 0); }

namespace {
void alertUnexpectedPlanes() { doAlertBox("(Vexlor) Unexpected number of image planes.  Please contact support."); }
}  // namespace

int16 getExpectedImagePlanesAssuming1or3channels() {
    int16 planes = getExpectedImagePlanes();
    if (planes == 1 || planes == 3) return planes;
    alertUnexpectedPlanes();
    return planes > 3 ? 3 : 1;
}

bool imageHasOneOrThreePlanes() {
    int16 planes = getExpectedImagePlanes();
    if (planes == 1 || planes == 3) return true;
    alertUnexpectedPlanes();
    *gResult = userCanceledErr;
    return false;
}

bool documentFitsSixteenBitRectangles() {
    const BigDocumentStruct* big = gFilterRecord->bigDocumentData;
    if (big && big->PluginUsing32BitCoordinates) return true;
    // Beyond 32767 the host's 16-bit fields come out negative: a rectangle
    // inside a positive image size is all that can be trusted.
    const Point size = gFilterRecord->imageSize;
    const Rect& f = gFilterRecord->filterRect;
    if (size.h > 0 && size.v > 0 && f.left >= 0 && f.top >= 0 && f.left < f.right && f.top < f.bottom &&
        f.right <= size.h && f.bottom <= size.v)
        return true;
    doAlertBox(kDocumentTooLargeText);
    *gResult = userCanceledErr;
    return false;
}

int32 getFilterDepth() { return gFilterRecord->depth ? gFilterRecord->depth : 8; }

void setInputRate(int16 rate) { gFilterRecord->inputRate = Fixed(uint32(uint16(rate)) << 16); }

int16 DisplayPixelsMode(int16 mode) {
    switch (mode) {
        case plugInModeGray16:
        case plugInModeGray32: return plugInModeGrayScale;
        case plugInModeRGB48:
        case plugInModeRGB96: return plugInModeRGBColor;
        case plugInModeLab48: return plugInModeLabColor;
        case plugInModeCMYK64: return plugInModeCMYKColor;
        case plugInModeDeepMultichannel: return plugInModeMultichannel;
        case plugInModeDuotone16: return plugInModeDuotone;
        default: return mode;
    }
}

bool registryWorksOnHost() {
    SPBasicSuite* basic = gFilterRecord->sSPBasic;
    if (!basic) return false;
    const void* registry = nullptr;
    const void* descriptors = nullptr;
    SPErr e1 = basic->AcquireSuite(kPSRegistrySuite, kPSRegistrySuiteVersion1, &registry);
    SPErr e2 = basic->AcquireSuite(kPSActionDescriptorSuite, kPSActionDescriptorSuiteVersion, &descriptors);
    // Acquisitions are counted by the host: give back what was had.
    if (e1 == kSPNoError) basic->ReleaseSuite(kPSRegistrySuite, kPSRegistrySuiteVersion1);
    if (e2 == kSPNoError) basic->ReleaseSuite(kPSActionDescriptorSuite, kPSActionDescriptorSuiteVersion);
    return e1 == kSPNoError && e2 == kSPNoError;
}

void outputClock(unsigned long start) {
    if (!clocksStopped) {
        stopTime = int32(clock());
        clocksStopped = true;
    }
    // In 64 bits: a start far from the stop time must not overflow.
    doAlertBox("Time: ", long(int64_t(stopTime) - int64_t(start)));
}

// Rectangle and colour utilities -------------------------------------------

namespace {
// The low 16 bits of v with their sign, as a 16-bit rectangle holds it.
int32 low16(uint32 v) { return int16(uint16(v)); }
// v * num in 32 bits (wrapping as the host's arithmetic does), divided by
// den toward zero; the quotient is formed in 64 bits, where -2^31 / -1 does
// not trap.
int32 scaled(int32 v, int16 num, int16 den) {
    const int32 product = int32(uint32(v) * uint32(int32(num)));
    return low16(uint32(int64_t(product) / den));
}
}  // namespace

void ScaleRect(VRect& r, int16 num, int16 den) {
    if (den == 0) return;
    r.top = scaled(r.top, num, den);
    r.left = scaled(r.left, num, den);
    r.bottom = scaled(r.bottom, num, den);
    r.right = scaled(r.right, num, den);
}

void ShrinkRect(VRect& r, int16 dx, int16 dy) {
    r.left = low16(uint32(r.left) + uint32(int32(dx)));
    r.top = low16(uint32(r.top) + uint32(int32(dy)));
    r.right = low16(uint32(r.right) - uint32(int32(dx)));
    r.bottom = low16(uint32(r.bottom) - uint32(int32(dy)));
}

void CopyRect(VRect& dst, const VRect& src) { dst = src; }

void CopyColor(uint8 dst[4], const uint8 src[4]) {
    for (int i = 0; i < 4; ++i) dst[i] = src[i];
}

void SetColor(uint8 color[4], uint8 a, uint8 b, uint8 c, uint8 d) {
    color[0] = a;
    color[1] = b;
    color[2] = c;
    color[3] = d;
}

void ConvertRGBColorToMode(int16 mode, uint8 color[4], FilterRecord* filterRecord) {
    if (mode == plugInModeRGBColor || !filterRecord) return;
    int16 components[4] = {color[0], color[1], color[2], color[3]};
    if (HostCSConvertColor(filterRecord->colorServices, plugIncolorServicesRGBSpace,
                           CSModeToSpace(uint16(filterRecord->imageMode)), components) != noErr)
        return;
    for (int i = 0; i < 4; ++i) color[i] = uint8(components[i]);
}

OSErr toOSErr(SPErr err) {
    if (err == kSPNoError) return noErr;
    if (err >= -32768 && err <= 32767) return OSErr(err);
    return errPlugInHostInsufficient;
}
