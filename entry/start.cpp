// The start selector: one whole filter run as the user sees it.
#include "entry/start.h"

#include "engine/autoprofile.h"
#include "host/alerts.h"
#include "host/globals.h"
#include "host/host_services.h"
#include "entry/persistence.h"
#include "engine/product.h"
#include "host/big_document.h"
#include "image/fl_image.h"

namespace {
struct ProfilingFlags {
    uint8 digital, film, always;
    static ProfilingFlags take() {
        return {gParams->flags[kDigitalProfileFlag], gParams->flags[kFilmProfileFlag],
                gParams->flags[kAlwaysProfileFlag]};
    }
    void putBack() const {
        gParams->flags[kDigitalProfileFlag] = digital;
        gParams->flags[kFilmProfileFlag] = film;
        gParams->flags[kAlwaysProfileFlag] = always;
    }
};
}  // namespace

void DoStart() {
    LockHandles(reinterpret_cast<void**>(&gParams), reinterpret_cast<void**>(&gData));
    if (*gResult != noErr) return;
    if (!documentFitsSixteenBitRectangles()) return;

    ReadRegistryParameters();
    const ProfilingFlags registryFlags = ProfilingFlags::take();
    const ParamBlock cancelCopy = *gParams;

    const VRect filter = GetFilterRect();
    if (doesPaddingExceedLifting(filter.right - filter.left, filter.bottom - filter.top, 3, 3, 3)) {
        doAlertBox(kImageTooSmallText);
        // The host must not take an untouched image for a filtered one.
        *gResult = userCanceledErr;
        return;
    }
    // Neither profiling nor the dialog can make sense of four planes.
    if (!imageHasOneOrThreePlanes()) return;

    unsigned char showDialog = 0;
    const OSErr scriptResult = ReadScriptParameters(&showDialog);
    if (kRegistryKeepsProfilingFlags) registryFlags.putBack();
    if (gParams->flags[kDigitalProfileFlag] && gParams->flags[kFilmProfileFlag]) {
        gParams->flags[kFilmProfileFlag] = 0;
        doAlertBox("Both profile digital and film settings are on.  Film profiling on UI loading will be disabled.");
    }
    clearFlagsAtStart();

    unsigned char profiled = 0;
    if (gParams->flags[kAlwaysProfileFlag]) autoProfileWithGUIhandling(profiled);

    bool ok = true;
    if ((scriptResult == noErr || scriptResult == errMissingParameter) && showDialog) {
        autoProfileWithGUIhandling(profiled);
        ok = showFilterDialog();
    }
    gData[0] = 0;

    if (ok) {
        DoFilter();
        return;
    }
    const ProfilingFlags chosen = ProfilingFlags::take();
    *gParams = cancelCopy;
    chosen.putBack();
    WriteRegistryParameters();
    WriteScriptParameters();
    *gResult = userCanceledErr;
}
