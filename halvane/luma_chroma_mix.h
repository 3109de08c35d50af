// Halvane's output writers mix the noise-reduced pixel with the host's input
// pixel: a share of the reduced luma (less of it in protected tones) and a
// share of the reduced chroma, both scaled by the selection mask.  The
// writers keep the names and buffer handling of engine/output_writers.h.
#pragma once

#include "engine/output_writers.h"

// The engine parameters the kernel reads, taken once per writer call.
struct lumaChromaMixParams {
    float lumaMix, chromaMix;
    float lowThreshold, highThreshold;
    float below, above, slope, intercept;
    bool lab;
    float lumR, lumG, lumB, invLumG;
};
lumaChromaMixParams currentLumaChromaMixParams();

// The per-pixel kernel with the parameters given: R, G, B the input pixel on
// the 0..255 scale; processed the noise-reduced pixel's three channels; mask
// the selection's value in 0..1 (1 without a mask).
void lumaChromaMixPixel(const lumaChromaMixParams& p, float R, float G, float B, const float* processed,
                        float* out0, float* out1, float* out2, float mask);

// Tonal protection factor of a processed luma: the value below the low
// threshold (also when the luma is not above it), the value above from the
// high threshold up, the ramp between.
float tonalProtection(const lumaChromaMixParams& p, float luma);
