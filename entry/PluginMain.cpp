// The host's entry point: the colour tables live on the stack for
// the duration of the call, through every way out of it.
#include "PIFilter.h"
#include "entry/selectors.h"
#include "host/globals.h"
#include "engine/product.h"
#include "entry/start.h"
#include "image/colorspace_luts.h"

DLLExport MACPASCAL void PluginMain(int16 selector, void* filterRecord, intptr_t* data, int16* result) {
    storeGlobals(selector, filterRecord, data, result);
    // The about record has no buffer procedures to hold the tables in.
    if (selector == filterSelectorAbout) {
        DoAbout(kProductTitle);
        return;
    }
    colorspaceConversionLUTs tables;
    runSelector(selector);
}
