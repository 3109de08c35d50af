// Glimra's vector kernels: one set per instruction set
// (engine/vector_isa.h), called through VEXLOR_KERNEL(name).
#pragma once

#include "PITypes.h"
#include "engine/vector_isa.h"

// What each of a pixel's output samples holds (glimraOutputRule): channel
// `channel[k]` of the processed pixel, stored, or where that is -1 the
// sample `fixed[k]` itself.
template <typename Sample>
struct outputSampleRule {
    int channel[3];
    Sample fixed[3];
};

// One row of width pixels: processed pixels p (3 floats each) stored by the
// rule into d (spp samples each, the first spp entries of the rule).
#define VEXLOR_GLIMRA_KERNELS(ns)                                                                               \
    namespace ns {                                                                                              \
    void storeRow8(const outputSampleRule<uint8>& rule, const float* p, uint8* d, int spp, int32 width);       \
    void storeRow16(const outputSampleRule<uint16>& rule, const float* p, uint16* d, int spp, int32 width);    \
    void storeRow32(const outputSampleRule<float>& rule, const float* lut2, const float* p, float* d, int spp,  \
                    int32 width);                                                                               \
    }
VEXLOR_FOR_EACH_ISA(VEXLOR_GLIMRA_KERNELS)
#undef VEXLOR_GLIMRA_KERNELS
