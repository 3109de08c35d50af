// The parameter block: defaults, the pointer tables of the settings files,
// and the dialogs' reset commands.
#include "entry/params.h"

#include "engine/autoprofile.h"
#include "host/globals.h"
#include "engine/product.h"

const checked_array<DescriptorKeyID, kParamValueCount> keyGUIParams = {{
    FourCC("brgH"), FourCC("conT"), FourCC("bAdj"), FourCC("satU"), FourCC("lumC"), FourCC("Rcoe"),
    FourCC("Gcoe"), FourCC("Bcoe"), FourCC("Dbai"), FourCC("Dbaj"), FourCC("Dbak"), FourCC("Dbal"),
    FourCC("Dbam"), FourCC("Dban"), FourCC("Dbao"), FourCC("Dbap"), FourCC("Dbaq"), FourCC("Dbar"),
    FourCC("Dbas"), FourCC("Dbat"), FourCC("Dbau"), FourCC("Dbav"), FourCC("Dbaw"), FourCC("Dbax"),
    0, 0,
}};
const checked_array<DescriptorKeyID, kParamFlagCount> keyBoolParams = {{
    FourCC("ignS"), FourCC("Blab"), FourCC("Blac"), FourCC("Blad"), FourCC("Blae"), FourCC("Blaf"),
    FourCC("Blag"), FourCC("Blah"), kCleanerSmoothAreasKey,
}};

void InitParameters() {
    gParams->flags = BooleanDefault;
    gParams->values = DefaultGUI;
}

parameterStructure makeParamStructure() {
    parameterStructure s;
    for (int i = 0; i < kParamValueCount; ++i) s.values.push_back(&gParams->values[i]);
    for (int j = 0; j < kParamFlagCount; ++j) s.flags.push_back(&gParams->flags[j]);
    return s;
}

// The profiling flags and the reserved ones keep their values.
void noiseReductionResetAllButton() {
    gParams->flags[kDespeckleFlag] = 1;
    gParams->flags[kPreviewWithoutDetailOrInvertFlag] = 0;
    resetAllProductFlags();
    gParams->values = DefaultGUI;
    if (gParams->flags[kDigitalProfileFlag])
        autoProfile(digitalHNLdefaultDouble);
    else if (gParams->flags[kFilmProfileFlag])
        autoProfile(filmHNLdefault);
}

void eyedropperAnalysis(VPoint, VPoint, int32) {}
