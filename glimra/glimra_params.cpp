// Glimra's derivation of the engine parameters: the noise level of the one
// lifting level it runs, the matte's thresholds, and whether the image is Lab.
#include "engine/engine_params.h"
#include "host/globals.h"
#include "host/host_services.h"
#include "image/colorspace_luts.h"

void calcInternalFilterParams() {
    ParamBlock& p = *gParams;
    for (int i : {0, 1, 2, 12, 18, 19}) finiteParamValue(i);

    float r = float(p.values[0]);
    if (r <= 1e-5) r = MINIMUM_ROLLOFF;
    NRsimilarityRolloff = r * 1.5f;
    // The float 1e-5 as a double.
    if (p.values[0] < 9.999999747378752e-06) p.values[0] = 9.999999747378752e-06;

    clamp(p.values[1], 1.0, 0.009999990463256836);
    highnoiseLevelReduce = PSFLOAT_WHITE_LEVEL - float(p.values[1]);
    if (highnoiseLevelReduce <= 0.0f) highnoiseLevelReduce = 0.0f;
    if (highnoiseLevelReduce >= 0.99f) highnoiseLevelReduce = 0.99f;

    if (p.values[18] < 0) p.values[18] = 0;

    level0noiseLevel = float(p.values[2]) * level0NoiseLevelScaleFactor * NRsimilarityRolloff;

    lowThresholdingAmount = float(p.values[12]);
    clamp(p.values[19], 2550.0, 0.1);
    highThresholdingAmount = float(p.values[19]);

    p.flags[1] = 1;
    invertMatte = p.flags[2] != 0;
    // The writers keep a Lab matte's a and b neutral.
    isLABmode = DisplayPixelsMode(gFilterRecord->imageMode) == plugInModeLabColor;
}
