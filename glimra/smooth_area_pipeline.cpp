#include "glimra/smooth_area_pipeline.h"

#include "engine/band_driver.h"
#include "engine/engine_params.h"
#include "engine/noise_reduce_core.h"
#include "host/host_services.h"

void threadedNoiseReduce(const threadedNoiseReduce_struct& r) {
    noiseReduceCoreAlgoWithoutStrength(*r.source, *r.destination, *r.strengthMap, r.levelConstant, r.noiseLevel,
                                       r.smoothReference, r.amount, r.sharpAmount, r.firstRow, r.endRow, r.band);
}

// The core writes every pixel of its rows, and nothing sharpens after it.
bandDriverCores noiseReduceCores() { return {threadedNoiseReduce, threadedCustomFunction, true}; }

int smoothDetectLiftingStructure(fl_image& image, fl_image& destination) {
    const float noiseLevel = level0noiseLevel > MINIMUM_ROLLOFF ? level0noiseLevel : MINIMUM_ROLLOFF;

    int r = noiseReduceRunThreads(image, kSmoothAreaLevelConstant, noiseLevel, true, 1.0f, 0.0f, 0.0f);
    if (r != 0) return r;
    if (progressUpdate(0)) return userCanceledErr;

    r = smoothDetectRunThreads(image, kSmoothAreaLevelConstant, noiseLevel, true, level0NR, level0SharpAmount,
                               level0ChromaSharpAmount);
    if (r != 0) return r;
    if (progressUpdate(0)) return userCanceledErr;

    // The destination takes the matte's buffer where the two are alike.
    if (image.paddedWidth == destination.paddedWidth && image.paddedHeight == destination.paddedHeight &&
        destination.data)
        image.swapBuffer(destination);
    else
        flimageToFlimage(image, destination);
    return 0;
}
