// Glimra's derivation of the engine parameters: the noise level of the one
// lifting level it runs, the matte's thresholds, and whether the image is Lab.
#include "engine/engine_params.h"
#include "host/globals.h"
#include "host/host_services.h"
#include "image/colorspace_luts.h"

void calcInternalFilterParams() {
    ParamBlock& p = *gParams;
    // Every value the derivation reads.
    for (int i : {kOverallNoiseValue, kHighlightsNoiseValue, kVeryFineNoiseValue, kLowThresholdValue,
                  kProtectFeatherValue, kHighThresholdValue})
        finiteParamValue(i);
    calcCommonInternalParams();

    level0noiseLevel = float(p.values[kVeryFineNoiseValue]) * level0NoiseLevelScaleFactor * NRsimilarityRolloff;

    lowThresholdingAmount = float(p.values[kLowThresholdValue]);
    clamp(p.values[kHighThresholdValue], 2550.0, 0.1);
    highThresholdingAmount = float(p.values[kHighThresholdValue]);

    p.flags[kDespeckleFlag] = 1;
    invertMatte = p.flags[kInvertMatteFlag] != 0;
    // The writers keep a Lab matte's a and b neutral.
    isLABmode = DisplayPixelsMode(gFilterRecord->imageMode) == plugInModeLabColor;
}
