// The engine's parameters and constants, shared by both products; each
// product's calcInternalFilterParams writes the parameters.
#include "engine/engine_params.h"

#include <cmath>

#include "host/globals.h"
#include "engine/product.h"
#include "image/colorspace_luts.h"

float NRsimilarityRolloff = 0;
float level0noiseLevel = 0, level1noiseLevel = 0, level2noiseLevel = 0, level3noiseLevel = 0;
float level0NR = 0, level1NR = 0, level2NR = 0, level3NR = 0;
float level0SharpAmount = 0, level1SharpAmount = 0, level2SharpAmount = 0, level3SharpAmount = 0;
float level0ChromaSharpAmount = 0, level1ChromaSharpAmount = 0, level2ChromaSharpAmount = 0,
      level3ChromaSharpAmount = 0;
float highnoiseLevelReduce = 0;
float highlightNRlowThreshold = 0;
float highlightNRhighThreshold = 0;
float highlightNRslope = 0;
float highlightNRintercept = 0;
float highlightNRbelowThreshold = 0;
float highlightNRaboveThreshold = 0;
float lumaMix = 0;
float chromaMix = 0;
bool isLABmode = false;
float sharpeningAmount = 0;
float chromaSharpeningAmount = 0;
bool setNoiseMode = false;
bool cleanerSmoothAreas = false;
float lowThresholdingAmount = 0;
float highThresholdingAmount = 0;
bool invertMatte = false;

bool renderingProxy = false;

namespace {
constexpr float kMinimumRolloff = 1e-5f;
// The overall noise level is raised to the float of kMinimumRolloff, and the
// block holds it as that float's double.
constexpr double kLowestOverallNoiseLevel = double(kMinimumRolloff);
// The highlights noise level lies in this range; its low end is the float
// nearest 0.00999999, as a double.
constexpr double kLowestHighlightsNoiseLevel = 0.009999990463256836;
constexpr double kHighestHighlightsNoiseLevel = 1.0;
// Highlights keep at least this share of the noise reduction's strength.
constexpr float kHighestHighlightsReduction = 0.99f;
// The common scale of the noise levels per unit of the overall noise level.
constexpr float kRolloffPerOverallNoise = 1.5f;
constexpr float kReconSimilarityRolloff = 200.0f;
constexpr float kDefaultLumG = 0.587f;
constexpr int kBlockSize = 32;
constexpr int16_t kInputRateA = 1;
}  // namespace

const float MINIMUM_ROLLOFF = kMinimumRolloff;
const float NRsimilarityThreshold = kMinimumRolloff;
const float level0NoiseLevelScaleFactor = 1.5f;
const float level1NoiseLevelScaleFactor = 0.5f;
const float level2NoiseLevelScaleFactor = 0.25f;
const float level3NoiseLevelScaleFactor = 0.125f;
const float PSFLOAT_WHITE_LEVEL = 1.0f;
const float WHITE_LEVEL = 255.0f;
const float reconSimilarityRolloff = kReconSimilarityRolloff;
const float invReconSimilarityRolloff = 1.0f / kReconSimilarityRolloff;
const float defaultLumR = 0.299f, defaultLumG = kDefaultLumG, defaultLumB = 0.114f;
const float& lumR = defaultLumR;
const float& lumG = defaultLumG;
const float& lumB = defaultLumB;
const float invLumG = 1.0f / kDefaultLumG;
int blockSize = kBlockSize;
const int16_t inputRateA = kInputRateA;
int blockSizeAfterInputRateA = kBlockSize / kInputRateA;

void calcCommonInternalParams() {
    ParamBlock& p = *gParams;
    float r = float(p.values[kOverallNoiseValue]);
    if (r < kMinimumRolloff) r = kMinimumRolloff;
    NRsimilarityRolloff = r * kRolloffPerOverallNoise;
    if (p.values[kOverallNoiseValue] < kLowestOverallNoiseLevel)
        p.values[kOverallNoiseValue] = kLowestOverallNoiseLevel;

    clamp(p.values[kHighlightsNoiseValue], kHighestHighlightsNoiseLevel, kLowestHighlightsNoiseLevel);
    highnoiseLevelReduce = PSFLOAT_WHITE_LEVEL - float(p.values[kHighlightsNoiseValue]);
    if (highnoiseLevelReduce < 0.0f) highnoiseLevelReduce = 0.0f;
    if (highnoiseLevelReduce > kHighestHighlightsReduction) highnoiseLevelReduce = kHighestHighlightsReduction;

    if (p.values[kProtectFeatherValue] < 0) p.values[kProtectFeatherValue] = 0;
}

double finiteParamValue(int i) {
    double& v = gParams->values[i];
    if (!std::isfinite(v)) v = DefaultGUI[i];
    return v;
}
