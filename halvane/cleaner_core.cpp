// Halvane's cleaner core and the choice of core.  The cleaner core's bands
// run in halvane/kernels/cleaner_band.cpp, built for every instruction set.
#include "halvane/cleaner_core.h"

#include <algorithm>

#include "engine/noise_reduce_core.h"
#include "engine/engine_params.h"
#include "halvane/kernels/kernels.h"

void noiseReduceCoreAlgo_cleanerSmoothAreas(fl_image& source, fl_image& destination, strength_map& strengthMap,
                                            float /*levelConstant*/, float noiseLevel, bool smoothReference,
                                            float /*amount*/, float /*sharpAmount*/, int32 firstRow, int32 endRow,
                                            int32 /*band*/) {
    // Bounds come from one image only: the three must agree.
    if (destination.width != source.width || destination.height != source.height ||
        (strengthMap.data && !strengthMap.fits(source.width, source.height)))
        return;
    if (source.padX < 3 || source.padY < 3) return;
    firstRow = std::max<int32>(firstRow, 0);
    endRow = std::min<int32>(endRow, source.height);
    if (firstRow >= endRow || source.width <= 0) return;
    VEXLOR_KERNEL(cleanerBand)(source, destination, strengthMap, noiseLevel, smoothReference, highnoiseLevelReduce,
                               firstRow, endRow);
}

void halvaneNoiseReduceCore(fl_image& source, fl_image& destination, strength_map& strengthMap, float levelConstant,
                            float noiseLevel, bool smoothReference, float amount, float sharpAmount, int32 firstRow,
                            int32 endRow, int32 band) {
    if (cleanerSmoothAreas)
        noiseReduceCoreAlgo_cleanerSmoothAreas(source, destination, strengthMap, levelConstant, noiseLevel,
                                               smoothReference, amount, sharpAmount, firstRow, endRow, band);
    else
        noiseReduceCoreAlgo(source, destination, strengthMap, levelConstant, noiseLevel, smoothReference, amount,
                            sharpAmount, firstRow, endRow, band);
}
