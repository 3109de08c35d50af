// Halvane's derivation of the engine parameters: four levels of noise
// reduction and sharpening, the tonal protection ramp and the mixes.
#include "engine/engine_params.h"
#include "host/globals.h"
#include "host/host_services.h"
#include "image/colorspace_luts.h"

void calcInternalFilterParams() {
    ParamBlock& p = *gParams;
    // Every value the derivation reads.
    for (int i = 0; i <= kColorSharpeningValue; ++i) finiteParamValue(i);
    calcCommonInternalParams();

    highlightNRlowThreshold = float(p.values[kProtectThresholdValue]);
    highlightNRhighThreshold = float(p.values[kProtectFeatherValue]) + highlightNRlowThreshold;

    // With no feather the slope is infinite; the mixing kernel then only
    // ever takes the value below or above the thresholds.
    const float d = highlightNRhighThreshold - highlightNRlowThreshold;
    if (!p.flags[kProtectShadowsFlag]) {  // protect highlights
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
    clamp(p.values[kMixBWDetailValue], 1.0, 0.0);
    clamp(p.values[kMixColorDetailValue], 1.0, 0.0);
    lumaMix = PSFLOAT_WHITE_LEVEL - float(p.values[kMixBWDetailValue]);
    chromaMix = PSFLOAT_WHITE_LEVEL - float(p.values[kMixColorDetailValue]);

    level0NR = float(p.values[kVeryFineDetailNRValue]);
    level1NR = float(p.values[kFineDetailNRValue]);
    level2NR = float(p.values[kBroadDetailNRValue]);
    level3NR = float(p.values[kVeryBroadDetailNRValue]);

    level0noiseLevel = float(p.values[kVeryFineNoiseValue]) * NRsimilarityRolloff * level0NoiseLevelScaleFactor;
    level1noiseLevel = float(p.values[kFineNoiseValue]) * NRsimilarityRolloff * level1NoiseLevelScaleFactor;
    level2noiseLevel = float(p.values[kBroadNoiseValue]) * NRsimilarityRolloff * level2NoiseLevelScaleFactor;
    level3noiseLevel = float(p.values[kVeryBroadNoiseValue]) * NRsimilarityRolloff * level3NoiseLevelScaleFactor;

    for (int i : {kVeryFineSharpeningValue, kFineSharpeningValue, kBroadSharpeningValue, kVeryBroadSharpeningValue,
                  kBWSharpeningValue, kColorSharpeningValue})
        clamp(p.values[i], 1000.0, -1000.0);

    // The per-level weights serve both the luminance and the colour
    // sharpening; the two sharpening amounts scale them.
    const double veryFine = p.values[kVeryFineSharpeningValue], fine = p.values[kFineSharpeningValue],
                 broad = p.values[kBroadSharpeningValue], veryBroad = p.values[kVeryBroadSharpeningValue];
    sharpeningAmount = float(p.values[kBWSharpeningValue]) * 0.0125;
    level0SharpAmount = float(double(sharpeningAmount) * veryFine);
    level1SharpAmount = float(double(sharpeningAmount) * fine);
    level2SharpAmount = float(double(sharpeningAmount) * broad);
    level3SharpAmount = float((0.5 * sharpeningAmount) * veryBroad);

    chromaSharpeningAmount = float(p.values[kColorSharpeningValue]) * 0.0125;
    level0ChromaSharpAmount = float(double(chromaSharpeningAmount) * veryFine);
    level1ChromaSharpAmount = float(double(chromaSharpeningAmount) * fine);
    level2ChromaSharpAmount = float(double(chromaSharpeningAmount) * broad);
    level3ChromaSharpAmount = float((0.5 * chromaSharpeningAmount) * veryBroad);

    cleanerSmoothAreas = p.flags[kCleanerSmoothAreasFlag] != 0;
    p.flags[kDespeckleFlag] = 1;

    // The dialog's preview shows the noise-reduced image without the detail
    // mixed back in; the proxy is gone before the full-image pass.
    setNoiseMode = p.flags[kPreviewWithoutDetailFlag] != 0;
    if (setNoiseMode && renderingProxy) {
        lumaMix = PSFLOAT_WHITE_LEVEL;
        chromaMix = PSFLOAT_WHITE_LEVEL;
    }

    isLABmode = DisplayPixelsMode(gFilterRecord->imageMode) == plugInModeLabColor;
}
