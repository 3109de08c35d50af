// The four-level structure.  Every image it makes is held by a unique_ptr
// from the moment it is allocated, so each failure or cancel path frees
// exactly what exists, once.  No prediction is kept in an image of its own:
// the fused passes subtract it row by row as it is made (details =
// prediction - fine going down, level = prediction - details coming up),
// with the values of the separate passes and without a full-size image more.  D0 is unlocked while the coarser levels run;
// its `locked` flag and data pointer follow the host's lock state, so the
// destructor never unlocks a buffer that is not locked.
#include "halvane/lifting_structure.h"

#include <memory>

#include "engine/band_driver.h"
#include "engine/lifting.h"
#include "engine/engine_params.h"
#include "host/globals.h"
#include "host/host_services.h"
#include "halvane/sharpen.h"

const float kLevelConstants[4] = {6.6666666e-6f, 2e-5f, 4e-5f, 8e-5f};

// The choice of core in the first pass, the sharpening in the second.  The
// cleaner core replaces every pixel outright, so its destination needs no
// copy of the image first.
bandDriverCores noiseReduceCores() { return {threadedNoiseReduce, threadedSharpen, cleanerSmoothAreas}; }

float liftingLevelNoise(float noiseLevel) { return noiseLevel >= MINIMUM_ROLLOFF ? noiseLevel : MINIMUM_ROLLOFF; }

namespace {

typedef std::unique_ptr<fl_image> imagePtr;


// A new image, or null after the out-of-memory alert.
imagePtr newImage(const flimageDimensions& d) {
    imagePtr img(new fl_image(d));
    if (handleInvalidMemory(*img)) return nullptr;
    return img;
}

OSErr runLevel(fl_image& img, int level) {
    static float* const noise[4] = {&level0noiseLevel, &level1noiseLevel, &level2noiseLevel, &level3noiseLevel};
    static float* const amount[4] = {&level0NR, &level1NR, &level2NR, &level3NR};
    static float* const sharp[4] = {&level0SharpAmount, &level1SharpAmount, &level2SharpAmount, &level3SharpAmount};
    static float* const chroma[4] = {&level0ChromaSharpAmount, &level1ChromaSharpAmount, &level2ChromaSharpAmount,
                                     &level3ChromaSharpAmount};
    return noiseReduceRunThreads(img, kLevelConstants[level], liftingLevelNoise(*noise[level]), level == 0,
                                 *amount[level], *sharp[level], *chroma[level]);
}

bool sameDimensions(const fl_image& a, const fl_image& b) {
    return a.width == b.width && a.height == b.height && a.padX == b.padX && a.padY == b.padY;
}

// Everything but the last rebuild: on noErr, D1 holds level 1 rebuilt and
// D0 (locked) level 0's details.
OSErr runToLevelOne(fl_image& img, fl_image& dst, imagePtr& D0, imagePtr& D1) {
    if (!sameDimensions(img, dst)) return kLiftingSizeMismatch;
    dst.freeBuffer();

    D0 = newImage(getFlimageDimensions(img));
    if (!D0) return memFullErr;

    // Level 0, then the first lifting step.
    OSErr r = runLevel(img, 0);
    if (r != noErr) return r;
    if (progressUpdate(0)) return userCanceledErr;
    imagePtr L1 = newImage(similarityLiftDimensions(img));
    if (!L1) return memFullErr;
    if ((r = similarityLift(img, *L1)) != noErr) return r;
    if ((r = reconstructDetailsPass(*L1, img, *D0)) != noErr) return r;
    D0->unlock();

    // Level 1.
    if ((r = runLevel(*L1, 1)) != noErr) return r;
    if (progressUpdate(0)) return userCanceledErr;
    imagePtr L2 = newImage(similarityLiftDimensions(*L1));
    if (!L2) return memFullErr;
    if ((r = similarityLift(*L1, *L2)) != noErr) return r;
    D1 = newImage(getFlimageDimensions(*L1));
    if (!D1) return memFullErr;
    if ((r = reconstructDetailsPass(*L2, *L1, *D1)) != noErr) return r;

    // Level 2.
    if ((r = runLevel(*L2, 2)) != noErr) return r;
    if (progressUpdate(0)) return userCanceledErr;
    imagePtr L3 = newImage(similarityLiftDimensions(*L2));
    if (!L3) return memFullErr;
    if ((r = similarityLift(*L2, *L3)) != noErr) return r;
    imagePtr D2 = newImage(getFlimageDimensions(*L2));
    if (!D2) return memFullErr;
    if ((r = reconstructDetailsPass(*L3, *L2, *D2)) != noErr) return r;

    // Level 3, the coarsest.
    if ((r = runLevel(*L3, 3)) != noErr) return r;
    if (progressUpdate(0)) return userCanceledErr;

    // Rebuild, coarse to fine.  Each rebuilt level is written over its own
    // detail band (a pixel's details are read only for that pixel), so no
    // prediction image is needed.  The rewrite marks the level's border
    // stale, so the next reconstruction, which reads it as the coarse image,
    // regenerates it first.
    if ((r = reconstructUnDifferencePass(*L3, *L2, *D2, *D2)) != noErr) return r;  // D2 now holds level 2
    L3.reset();
    L2.reset();
    if ((r = reconstructUnDifferencePass(*D2, *L1, *D1, *D1)) != noErr) return r;  // D1 now holds level 1
    return noErr;
}

}  // namespace

OSErr noiseReduceLiftingStructure(fl_image& img, fl_image& dst) {
    imagePtr D0, D1;
    OSErr r = runToLevelOne(img, dst, D0, D1);
    if (r != noErr) return r;
    // The full-size level goes straight into dst.
    dst.reallocate();
    if (handleInvalidMemory(dst)) return memFullErr;
    D0->relock();
    if (handleInvalidMemory(*D0)) return memFullErr;
    if ((r = reconstructUnDifferencePass(*D1, img, *D0, dst)) != noErr) return r;
    D1.reset();
    D0.reset();
    img.freeBuffer();
    return noErr;
}

OSErr noiseReduceLiftingStructureForWriting(fl_image& img, fl_image& dst) {
    imagePtr D0, D1;
    const OSErr r = runToLevelOne(img, dst, D0, D1);
    if (r != noErr) return r;
    D0->relock();
    if (handleInvalidMemory(*D0)) return memFullErr;
    // dst takes level 0's pixels and the two images its rebuild reads.
    dst.swapBuffer(img);
    return deferUnDifferencePass(D1, dst, D0);
}
