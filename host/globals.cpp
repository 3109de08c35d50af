// The plug-in's globals.
#include "host/globals.h"

FilterRecord* gFilterRecord = nullptr;
intptr_t* gDataHandle = nullptr;
int16* gResult = nullptr;
SPBasicSuite* sSPBasic = nullptr;
ParamBlock* gParams = nullptr;
uint8* gData = nullptr;

void storeGlobals(int16 selector, void* filterRecord, intptr_t* data, int16* result) {
    gFilterRecord = static_cast<FilterRecord*>(filterRecord);
    gDataHandle = data;
    gResult = result;
    if (selector == filterSelectorAbout) {
        sSPBasic = static_cast<AboutRecord*>(filterRecord)->sSPBasic;
        return;
    }
    sSPBasic = gFilterRecord->sSPBasic;
    if (gFilterRecord->bigDocumentData) gFilterRecord->bigDocumentData->PluginUsing32BitCoordinates = 1;
}
