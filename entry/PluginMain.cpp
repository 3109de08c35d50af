// The host's entry point: the colour tables live on the stack for
// the duration of the call, through every way out of it, and no exception
// crosses into the host.
#include "PIFilter.h"
#include "engine/product.h"
#include "entry/selectors.h"
#include "entry/start.h"
#include "host/globals.h"
#include "host/host_services.h"
#include "image/colorspace_luts.h"

DLLExport MACPASCAL void PluginMain(int16 selector, void* filterRecord, intptr_t* data, int16* result) {
    storeGlobals(selector, filterRecord, data, result);
    try {
        // The about record has no buffer procedures to hold the tables in.
        if (selector == filterSelectorAbout) {
            DoAbout(kProductTitle);
            return;
        }
        colorspaceConversionLUTs tables;
        runSelector(selector);
    } catch (...) {
        reportUnexpectedException();
        if (selector != filterSelectorAbout) UnlockHandles();
    }
}
