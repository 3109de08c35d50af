// Glimra's matte core: its rows run in engine/kernels/smooth_detect_rows.cpp,
// built for every instruction set.
#include "engine/smooth_detect_core.h"

#include "engine/kernels/kernels.h"
#include "engine/engine_params.h"

void smoothDetectCoreAlgo(fl_image& source, fl_image& destination, strength_map&, float, float, bool greyMatte, float,
                          float, int32 firstRow, int32 endRow, int32) {
    VEXLOR_KERNEL(smoothDetectRows)(source, destination, greyMatte, lowThresholdingAmount,
                                    WHITE_LEVEL / highThresholdingAmount, invertMatte, firstRow, endRow);
}
