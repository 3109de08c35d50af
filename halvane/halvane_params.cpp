// Halvane's derivation of the engine parameters: four levels of noise
// reduction and sharpening, the tonal protection ramp and the mixes.
#include "engine/engine_params.h"
#include "host/globals.h"
#include "host/host_services.h"
#include "image/colorspace_luts.h"

void calcInternalFilterParams() {
    ParamBlock& p = *gParams;
    for (int i = 0; i <= 19; ++i) finiteParamValue(i);

    float r = float(p.values[0]);
    if (r < 1e-5) r = MINIMUM_ROLLOFF;
    NRsimilarityRolloff = r * 1.5f;
    // The float 1e-5 as a double.
    if (p.values[0] < 9.999999747378752e-06) p.values[0] = 9.999999747378752e-06;

    clamp(p.values[1], 1.0, 0.009999990463256836);
    highnoiseLevelReduce = PSFLOAT_WHITE_LEVEL - float(p.values[1]);
    if (highnoiseLevelReduce < 0.0f) highnoiseLevelReduce = 0.0f;
    if (highnoiseLevelReduce > 0.99f) highnoiseLevelReduce = 0.99f;

    highlightNRlowThreshold = float(p.values[17]);
    if (p.values[18] < 0) p.values[18] = 0;
    highlightNRhighThreshold = float(p.values[18]) + highlightNRlowThreshold;

    // With no feather the slope is infinite; the mixing kernel then only
    // ever takes the value below or above the thresholds.
    const float d = highlightNRhighThreshold - highlightNRlowThreshold;
    if (!p.flags[6]) {  // protect highlights
        highlightNRbelowThreshold = PSFLOAT_WHITE_LEVEL;
        highlightNRaboveThreshold = 0.0f;
        highlightNRslope = -PSFLOAT_WHITE_LEVEL / d;
        highlightNRintercept = PSFLOAT_WHITE_LEVEL - highlightNRslope * highlightNRlowThreshold;
    } else {  // protect shadows
        highlightNRbelowThreshold = 0.0f;
        highlightNRaboveThreshold = PSFLOAT_WHITE_LEVEL;
        highlightNRslope = PSFLOAT_WHITE_LEVEL / d;
        highlightNRintercept = -(highlightNRslope * highlightNRlowThreshold);
    }

    // The dialog's sliders give the mixes 0 .. 1; a scripted or loaded value
    // beyond that would turn the image black or to two tones.
    clamp(p.values[6], 1.0, 0.0);
    clamp(p.values[7], 1.0, 0.0);
    lumaMix = PSFLOAT_WHITE_LEVEL - float(p.values[6]);
    chromaMix = PSFLOAT_WHITE_LEVEL - float(p.values[7]);

    level0NR = float(p.values[8]);
    level1NR = float(p.values[9]);
    level2NR = float(p.values[10]);
    level3NR = float(p.values[11]);

    level0noiseLevel = float(p.values[2]) * NRsimilarityRolloff * level0NoiseLevelScaleFactor;
    level1noiseLevel = float(p.values[3]) * NRsimilarityRolloff * level1NoiseLevelScaleFactor;
    level2noiseLevel = float(p.values[4]) * NRsimilarityRolloff * level2NoiseLevelScaleFactor;
    level3noiseLevel = float(p.values[5]) * NRsimilarityRolloff * level3NoiseLevelScaleFactor;

    for (int i : {13, 14, 15, 16, 12, 19}) clamp(p.values[i], 1000.0, -1000.0);

    // The per-level weights (values 13-16) serve both the luminance and the
    // colour sharpening; values 12 and 19 scale them.
    sharpeningAmount = float(p.values[12]) * 0.0125;
    level0SharpAmount = float(double(sharpeningAmount) * p.values[13]);
    level1SharpAmount = float(double(sharpeningAmount) * p.values[14]);
    level2SharpAmount = float(double(sharpeningAmount) * p.values[15]);
    level3SharpAmount = float((0.5 * sharpeningAmount) * p.values[16]);

    chromaSharpeningAmount = float(p.values[19]) * 0.0125;
    level0ChromaSharpAmount = float(double(chromaSharpeningAmount) * p.values[13]);
    level1ChromaSharpAmount = float(double(chromaSharpeningAmount) * p.values[14]);
    level2ChromaSharpAmount = float(double(chromaSharpeningAmount) * p.values[15]);
    level3ChromaSharpAmount = float((0.5 * chromaSharpeningAmount) * p.values[16]);

    cleanerSmoothAreas = p.flags[8] != 0;
    p.flags[1] = 1;

    // The dialog's preview shows the noise-reduced image without the detail
    // mixed back in; the proxy is gone before the full-image pass.
    setNoiseMode = p.flags[2] != 0;
    if (setNoiseMode && renderingProxy) {
        lumaMix = PSFLOAT_WHITE_LEVEL;
        chromaMix = PSFLOAT_WHITE_LEVEL;
    }

    isLABmode = DisplayPixelsMode(gFilterRecord->imageMode) == plugInModeLabColor;
}
