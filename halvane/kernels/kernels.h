// Halvane's vector kernels: one set per instruction set
// (engine/vector_isa.h), called through VEXLOR_KERNEL(name).
#pragma once

#include "PITypes.h"
#include "engine/strength_map.h"
#include "engine/vector_isa.h"
#include "halvane/luma_chroma_mix.h"
#include "image/fl_image.h"

#define VEXLOR_HALVANE_KERNELS(ns)                                                                              \
    namespace ns {                                                                                              \
    void cleanerBand(const fl_image& src, fl_image& dst, strength_map& map, float noiseLevel,                   \
                     bool smoothReference, float reduce, int32 firstRow, int32 endRow);                         \
    int32 sharpenRows(const fl_image& source, fl_image& destination, const strength_map& strengthMap,           \
                     float sharpAmount, float chromaSharpAmount, int32 firstRow, int32 endRow, int32 band);     \
    void mixRow8(const lumaChromaMixParams& params, const float* p, const uint8* o, uint8* d, int spp,         \
                 const uint8* mask, int32 width);                                                               \
    void mixRow16(const lumaChromaMixParams& params, const float* p, const uint16* o, uint16* d, int spp,      \
                  const uint8* mask, int32 width);                                                              \
    void mixRow32(const lumaChromaMixParams& params, const float* lut2, const float* lut3, const float* p,     \
                  const float* o, float* d, int spp, const uint8* mask, int32 width);                           \
    }
VEXLOR_FOR_EACH_ISA(VEXLOR_HALVANE_KERNELS)
#undef VEXLOR_HALVANE_KERNELS
