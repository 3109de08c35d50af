// The noise-reduction core: its rows run in engine/kernels/noise_reduce_rows.cpp,
// built for every instruction set.
#include "engine/noise_reduce_core.h"

#include "engine/kernels/kernels.h"
#include "engine/nr_core_shared.h"
#include "engine/engine_params.h"

int chooseNeighbourDirection(const float* centre, int32 rowLength, bool smoothReference) {
    return noiseReduceCoreStart<float>(InterleavedPixelSource{centre, rowLength}, smoothReference, 0.0f, 0.0f)
        .direction;
}

float similarityRange(float c0, float c1, float c2, float noiseLevel) {
    return similarityRangeOf<float>(c0, c1, c2, noiseLevel, highnoiseLevelReduce);
}

void noiseReduceCoreAlgo(fl_image& source, fl_image& destination, strength_map& strengthMap, float, float noiseLevel,
                         bool smoothReference, float amount, float, int32 firstRow, int32 endRow, int32) {
    VEXLOR_KERNEL(noiseReduceRowsKeepingStrength)(source, destination, strengthMap, noiseLevel, smoothReference,
                                                  amount, highnoiseLevelReduce, firstRow, endRow);
}

void noiseReduceCoreAlgoWithoutStrength(fl_image& source, fl_image& destination, strength_map& strengthMap, float,
                                        float noiseLevel, bool smoothReference, float amount, float, int32 firstRow,
                                        int32 endRow, int32) {
    VEXLOR_KERNEL(noiseReduceRowsFromSource)(source, destination, strengthMap, noiseLevel, smoothReference, amount,
                                             highnoiseLevelReduce, firstRow, endRow);
}
