// The noise-reduction core's rows built for AVX-512 (arch=x86-64-v4); chosen at load time
// by noise_reduce_core.cpp on processors that have it.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__)) && !defined(_WIN32)

// Everything with external linkage comes before the target pragma, so that
// only this file's own (internal) copies are built for the wider target.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "PITypes.h"
#include "entry/engine_params.h"
#include "engine/strength_map.h"
#include "image/fl_image.h"

#pragma GCC target("arch=x86-64-v4")
#define VEXLOR_NR_LANES v16f
#define VEXLOR_NR_SELECT vectorSelect
#include "engine/noise_reduce_rows.h"

void noiseReduceRowsKeepingStrengthAvx512(fl_image& source, fl_image& destination, strength_map& strengthMap,
                                    float noiseLevel, bool smoothReference, float amount, int32 firstRow,
                                    int32 endRow) {
    noiseReduceRowsKeepingStrength(source, destination, strengthMap, noiseLevel, smoothReference, amount, firstRow,
                                   endRow);
}

void noiseReduceRowsFromSourceAvx512(fl_image& source, fl_image& destination, strength_map& strengthMap, float noiseLevel,
                               bool smoothReference, float amount, int32 firstRow, int32 endRow) {
    noiseReduceRowsFromSource(source, destination, strengthMap, noiseLevel, smoothReference, amount, firstRow,
                              endRow);
}

#endif
