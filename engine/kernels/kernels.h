// The engine's vector kernels: one set per instruction set
// (engine/vector_isa.h), called through VEXLOR_KERNEL(name).  Each works on
// rows [firstRow, endRow) of its output; the whole-image checks are its
// caller's.
#pragma once

#include "PITypes.h"
#include "engine/strength_map.h"
#include "engine/vector_isa.h"
#include "image/fl_image.h"

// rebuiltRowChunk: pixels x0 .. x0 + n - 1 of row y (x0 even, n at most
// 256) of the rebuilt level (prediction - details) into out, interleaved.
// What a reconstructed row of the lifting becomes: the prediction itself,
// the details (prediction - fine) or the rebuilt row (prediction - details),
// each the one subtraction of the separate passes.
enum class reconSink { prediction, details, rebuilt };

#define VEXLOR_ENGINE_KERNELS(ns)                                                                               \
    namespace ns {                                                                                              \
    void reconstructRows(const fl_image& coarse, const fl_image& fine, fl_image& out, const fl_image* details,  \
                         reconSink sink, int32 firstRow, int32 endRow);                                         \
    void rebuiltRowChunk(const fl_image& coarse, const fl_image& fine, const fl_image& details, int32 x0,     \
                         int32 n, int32 y, float* out);                                                         \
    void differenceRows(const fl_image& a, const fl_image& b, fl_image& out, int32 firstRow, int32 endRow);     \
    void noiseReduceRowsKeepingStrength(fl_image& source, fl_image& destination, strength_map& strengthMap,     \
                                        float noiseLevel, bool smoothReference, float amount,                   \
                                        float highnoiseLevelReduce, int32 firstRow, int32 endRow);              \
    void noiseReduceRowsFromSource(fl_image& source, fl_image& destination, strength_map& strengthMap,          \
                                   float noiseLevel, bool smoothReference, float amount,                        \
                                   float highnoiseLevelReduce, int32 firstRow, int32 endRow);                   \
    void smoothDetectRows(fl_image& source, fl_image& destination, bool greyMatte, double lowThreshold,         \
                          float scale, bool invert, int32 firstRow, int32 endRow);                              \
    }
VEXLOR_FOR_EACH_ISA(VEXLOR_ENGINE_KERNELS)
#undef VEXLOR_ENGINE_KERNELS
