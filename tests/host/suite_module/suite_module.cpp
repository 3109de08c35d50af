// A module that uses two suite holders on the parameters selector and holds
// them until it is unloaded, when its holders give them back.
#include "PIFilter.h"
#include "host/suites.h"

SPBasicSuite* sSPBasic = nullptr;

DLLExport MACPASCAL void PluginMain(int16 selector, void* record, intptr_t*, int16* result) {
    if (selector == filterSelectorAbout) return;
    sSPBasic = static_cast<FilterRecord*>(record)->sSPBasic;
    if (selector != filterSelectorParameters) return;
    try {
        // Two uses of each: one acquisition each.
        for (int use = 0; use < 2; ++use)
            if (!sPSProperty->getPropertyProc || !sPSHandle->New) *result = errPlugInHostInsufficient;
    } catch (uint32) {
        *result = errPlugInHostInsufficient;
    }
}
