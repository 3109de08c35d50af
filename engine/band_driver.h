// The band-parallel driver: runs a per-pixel core over a whole fl_image in
// the bands of the band runner.  The only flag the workers read
// (globalUserCancelled) is atomic.
#pragma once

#include <atomic>

#include "PITypes.h"
#include "engine/strength_map.h"
#include "host/band_runner.h"
#include "image/fl_image.h"

// First-pass core: writes rows [firstRow, endRow) of destination (and of
// the strength map, if it keeps one), reading source and at most 3 rows
// beyond the band.  noiseReduceCoreAlgo and smoothDetectCoreAlgo have this
// form.
typedef void (*bandCoreFunction)(fl_image& source, fl_image& destination, strength_map& strengthMap,
                                 float levelConstant, float noiseLevel, bool smoothReference, float amount,
                                 float sharpAmount, int32 firstRow, int32 endRow, int32 band);
// What one call of a first-pass core gets, in the core's argument order.
struct threadedNoiseReduce_struct {
    fl_image* source;
    fl_image* destination;
    strength_map* strengthMap;
    float levelConstant;
    float noiseLevel;
    bool smoothReference;  // smoothDetectCoreAlgo's grey-matte flag
    float amount;
    float sharpAmount;
    int32 firstRow;
    int32 endRow;
    int32 band;
};
// What one call of a second-pass core gets.
struct threadedSharpen_struct {
    fl_image* source;
    fl_image* destination;
    strength_map* strengthMap;
    float sharpAmount;
    float chromaSharpAmount;
    int32 firstRow;
    int32 endRow;
    int32 band;
};

// Thread bodies: each calls its core with the record's fields.  A
// second-pass core (sharpening) reads source (the first pass's result with
// a fresh border) and the strength map, and writes every interior pixel of
// rows [firstRow, end) of destination, where end (returned) is endRow, or
// less where it stops early (it had nothing to do, or saw a cancel); the
// driver gives the rows after end the first pass's result.  One that polls
// for a cancel does so with threadedProgressUpdate(band).
typedef void (*firstPassBody)(const threadedNoiseReduce_struct& r);
typedef int32 (*secondPassBody)(const threadedSharpen_struct& r);
// The noise-reduction driver's first pass, each product's own: Halvane's
// choice of core, Glimra's noise-reduction core.
void threadedNoiseReduce(const threadedNoiseReduce_struct& r);
// smoothDetectCoreAlgo.
void threadedSmoothDetect(const threadedNoiseReduce_struct& r);
// The second pass with nothing to do (the smooth-area driver's, and
// Glimra's after its noise reduction): writes nothing and returns firstRow.
// A driver given it runs no second pass at all, keeps no strength map and
// hands the result's buffer to the image.
int32 threadedCustomFunction(const threadedSharpen_struct& r);

struct bandDriverCores {
    firstPassBody firstPass;
    secondPassBody secondPass;
    // The first-pass core writes all three channels of every pixel of its
    // rows without reading the destination: the destination need not be
    // given a copy of the image first.
    bool firstPassWritesEveryPixel;
};

// threadedSmoothDetect, then threadedCustomFunction.
extern const bandDriverCores smoothDetectCores;
// The product's noise-reduction driver: threadedNoiseReduce, and Halvane's
// sharpening or Glimra's nothing.
bandDriverCores noiseReduceCores();

// One driver call: border of the image generated; a result image allocated
// from the host, and a strength map when there is a second pass to read it;
// the first pass writes the result from the image, the first-pass core
// called for chunks of rows that the threads take in turn (with the band
// number of the thread that takes them: -1 on the calling thread); the
// second pass writes the image's interior from the result (with a fresh
// border) and the strength map, and the rows it does not write receive the
// result.
// Without a second pass the image takes over the result's buffer instead of
// a copy of it (same size; the image's bufferID and data change, so callers
// keep no pointer into it across the call).
// Returns 0; -108 when the host refused a buffer (after the alert, with the
// host result at -128; the image keeps its pixels); -128 on a cancel seen
// after either pass (after the first: the image keeps its pixels).  On
// return the image's paddingGenerated is false.
int16 bandDriverRunThreads(fl_image& image, const bandDriverCores& cores, float levelConstant, float noiseLevel,
                           bool smoothReference, float amount, float sharpAmount, float chromaSharpAmount);

// The noise-reduction driver, on the product's noiseReduceCores().
int16 noiseReduceRunThreads(fl_image& image, float levelConstant, float noiseLevel, bool smoothReference,
                            float amount, float sharpAmount, float chromaSharpAmount);
// The smooth-area driver (smoothReference is the core's grey-matte flag).
int16 smoothDetectRunThreads(fl_image& image, float levelConstant, float noiseLevel, bool smoothReference,
                             float amount, float sharpAmount, float chromaSharpAmount);
