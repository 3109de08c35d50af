// Halvane's cleaner core and the choice of core.  The cleaner core's bands
// run in halvane/kernels/cleaner_band.cpp, built for every instruction set.
#include "halvane/cleaner_core.h"

#include <algorithm>

#include "engine/band_driver.h"
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

// The cleaner core when cleanerSmoothAreas is set, the standard core
// otherwise.  The flag does not change during a run, so every band of a
// pass runs the same core.
void threadedNoiseReduce(const threadedNoiseReduce_struct& r) {
    const bandCoreFunction core = cleanerSmoothAreas ? noiseReduceCoreAlgo_cleanerSmoothAreas : noiseReduceCoreAlgo;
    core(*r.source, *r.destination, *r.strengthMap, r.levelConstant, r.noiseLevel, r.smoothReference, r.amount,
         r.sharpAmount, r.firstRow, r.endRow, r.band);
}
