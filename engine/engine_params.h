// The engine's parameters: derived from the parameter block by the product's
// calcInternalFilterParams before every full-image and preview pass, on the
// calling thread before any worker starts; the engine only reads them.  They
// match the block only right after a derivation, so every pass derives first.
#pragma once

#include <cstdint>

extern float NRsimilarityRolloff;
extern float level0noiseLevel, level1noiseLevel, level2noiseLevel, level3noiseLevel;
extern float level0NR, level1NR, level2NR, level3NR;
extern float level0SharpAmount, level1SharpAmount, level2SharpAmount, level3SharpAmount;
extern float level0ChromaSharpAmount, level1ChromaSharpAmount, level2ChromaSharpAmount, level3ChromaSharpAmount;
extern float highnoiseLevelReduce;  // 0 .. 0.99
extern float highlightNRlowThreshold;
extern float highlightNRhighThreshold;
extern float highlightNRslope;
extern float highlightNRintercept;
extern float highlightNRbelowThreshold;
extern float highlightNRaboveThreshold;
extern float lumaMix;
extern float chromaMix;
extern bool isLABmode;
// Halvane only.
extern float sharpeningAmount;
extern float chromaSharpeningAmount;
extern bool setNoiseMode;
extern bool cleanerSmoothAreas;
// Glimra only.
extern float lowThresholdingAmount;
extern float highThresholdingAmount;
extern bool invertMatte;

// True while the dialog's preview proxy exists; steers Halvane's derivation.
// The preview sets and clears it; it is defined with the engine parameters.
extern bool renderingProxy;

// Constants of the engine.
extern const float MINIMUM_ROLLOFF;
extern const float NRsimilarityThreshold;
extern const float level0NoiseLevelScaleFactor;
extern const float level1NoiseLevelScaleFactor;
extern const float level2NoiseLevelScaleFactor;
extern const float level3NoiseLevelScaleFactor;
extern const float PSFLOAT_WHITE_LEVEL;
extern const float WHITE_LEVEL;
extern const float reconSimilarityRolloff;
extern const float invReconSimilarityRolloff;
// The sharpening neighbourhood's weights, known when the kernels compile.
inline constexpr float cfsA = 0.1f, cfsB = 0.3f, cfsC = 0.5f, cfsD = 1.0f, cfsE = 1.0f, cfsF = 0.7f, cfsG = 1.0f;
extern const float defaultLumR, defaultLumG, defaultLumB;
extern const float& lumR;
extern const float& lumG;
extern const float& lumB;
extern const float invLumG;
// The profiling block edge and the edge of its fetches (changeBlockSize).
extern int blockSize;
extern const int16_t inputRateA;
extern int blockSizeAfterInputRateA;

// The product's derivation (each module links its own): clamps some entries
// of the locked parameter block in place and writes the globals above.
// A value that is not finite is taken as the product's default and stored
// back, so that no NaN or infinity reaches the engine or the saved settings.
void calcInternalFilterParams();

// Shared by both derivations: parameter value i of the locked block, replaced
// by its default (and stored back) when it is NaN or infinite.
double finiteParamValue(int i);
// The first steps of both derivations, on finite values: NRsimilarityRolloff
// from the overall noise level and highnoiseLevelReduce from the highlights
// noise level, each level first brought into its range, and the protection
// feather raised to 0; the block keeps what they were brought to.
void calcCommonInternalParams();
