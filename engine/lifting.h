// The lifting passes that build and undo one level of the multi-level
// decomposition: halve an image, predict the finer image back from the halved
// one guided by the finer image's own edges, take the detail band and put it
// back.  Every pass addresses each image through its own border offsets and
// writes interior pixels only.
//
// Sizes are checked, never mixed: a pass whose images do not have the sizes
// it needs writes nothing and returns kLiftingSizeMismatch.  A pass given an
// image without a buffer alerts (handleInvalidMemory) and returns memFullErr.
#pragma once

#include <memory>

#include "PITypes.h"
#include "image/fl_image.h"

enum : OSErr { kLiftingSizeMismatch = paramErr };

// Similarity ramp of the reconstruction: 1 up to this L1 distance, falling
// to 0 over reconSimilarityRolloff (engine/engine_params.h).
extern const float reconSimilarityThreshold;  // 10

// Dimensions of the next coarser level: border 3, (w + 1) / 2 by (h + 1) / 2.
flimageDimensions similarityLiftDimensions(const fl_image& img);

// destination = every second pixel of every second row of source.
OSErr similarityLift(fl_image& source, fl_image& destination);
// out (the size of fine) = edge-guided upsampling of coarse.  Generates the
// border of coarse or fine first when it is not current.
OSErr similarityReconstruct(fl_image& coarse, fl_image& fine, fl_image& out);
// out = b - a, per sample (details = prediction - fine).
OSErr differencePass(fl_image& a, fl_image& b, fl_image& out);
// The prediction and its use in one sweep, without a prediction image:
// details = similarityReconstruct(coarse, fine) - fine, the detail band of
// differencePass; and out = similarityReconstruct(coarse, fine) - details,
// the rebuilt level of unDifferencePass (out must not be fine or coarse).
// Each value is the one subtraction of the separate passes.
OSErr reconstructDetailsPass(fl_image& coarse, fl_image& fine, fl_image& details);
OSErr reconstructUnDifferencePass(fl_image& coarse, fl_image& fine, fl_image& details, fl_image& out);
// The last rebuild left to the image's reader: fine takes coarse and
// details over (fl_image::pendingCoarse, pendingDetails), and its pixels
// are read as reconstructUnDifferencePass(coarse, fine, details, out) would
// have written them into out, row by row (rebuiltRow) where the writers
// read them.  The borders the rebuild reads are made here.  On an error
// (as reconstructUnDifferencePass's) nothing is taken over.
OSErr deferUnDifferencePass(std::unique_ptr<fl_image>& coarse, fl_image& fine,
                            std::unique_ptr<fl_image>& details);
// Pixels [x, x + n) of row y of an image with a pending rebuild, interleaved
// into out (3n floats); n at most kRebuiltRowPixels.
enum { kRebuiltRowPixels = 254 };
void rebuiltRow(const fl_image& img, int32 x, int32 n, int32 y, float* out);
// The pending rebuild formed into the image's own buffer (its pixels as
// rebuiltRow reads them); nothing to do for an image without one.
OSErr completeRebuild(fl_image& img);
// out = a - b, per sample (fine = prediction - details).  out's border is
// marked stale, so the next pass that reads it regenerates it.
OSErr unDifferencePass(fl_image& a, fl_image& b, fl_image& out);

// Size checks of the passes, shared with the drivers that band them.
bool liftSizesMatch(const fl_image& source, const fl_image& destination);
bool reconstructSizesMatch(const fl_image& coarse, const fl_image& fine, const fl_image& out);
bool sameSize(const fl_image& a, const fl_image& b);

// The full pass cuts an area into four quarters when it has more than a
// million pixels and both sides are at least 135.
bool processInQuadrants(int32 width, int32 height);
// The same test on the host's filter rectangle.
bool processInQuadrants();

// Toolbox routines of the engine that no pipeline calls.

// Soft threshold of every interior sample in place: v moves t toward 0, and
// a sample within t of 0 becomes 0.  The border is marked stale.
void thresholdNR(fl_image& img, float t);
// Edge score of the opposing pixels b and e (three channels each), whose
// outer neighbours are a beside b and c, d and f beside e:
// 0.75 D(b, e) - 0.75 (1 + s / 150) (D(b, c) + D(a, b) + D(d, e) + D(e, f)),
// D the L1 distance; a score that is negative or no number is 0.
float edgeSmoothCompareOpposingPoints(const float* a, const float* b, const float* c, const float* d,
                                      const float* e, const float* f, float s);

// A pixel's index and a value, sorted by the value.
struct medianPixelStruct {
    int32 index;
    float value;
};
// The sort predicate for ascending values.
bool medianCompare(const medianPixelStruct& a, const medianPixelStruct& b);
