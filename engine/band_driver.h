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
// form; so has any core a product passes in (Halvane's choice of core).
typedef void (*bandCoreFunction)(fl_image& source, fl_image& destination, strength_map& strengthMap,
                                 float levelConstant, float noiseLevel, bool smoothReference, float amount,
                                 float sharpAmount, int32 firstRow, int32 endRow, int32 band);
// Second-pass core (sharpening): reads source (the first pass's result with
// a fresh border) and the strength map, and writes every interior pixel of
// rows [firstRow, end) of destination, where end (returned) is endRow, or
// less where it stops early (it had nothing to do, or saw a cancel); the
// driver gives the rows after end the first pass's result.  A core that
// polls for a cancel does so with threadedProgressUpdate(band).
typedef int32 (*bandSecondPassFunction)(fl_image& source, fl_image& destination, strength_map& strengthMap,
                                        float sharpAmount, float chromaSharpAmount, int32 firstRow, int32 endRow,
                                        int32 band);

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
    bandCoreFunction core;
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
    bandSecondPassFunction core;
};
// Call the record's core with the record's fields.
void threadedNoiseReduce(const threadedNoiseReduce_struct& r);
int32 threadedSharpen(const threadedSharpen_struct& r);

struct bandDriverCores {
    bandCoreFunction firstPass;
    bandSecondPassFunction secondPass;  // null: the second pass changes nothing
    // The first-pass core writes all three channels of every pixel of its
    // rows without reading the destination: the destination need not be
    // given a copy of the image first.
    bool firstPassWritesEveryPixel;
};

// Glimra's: the noise-reduction core without a strength map, no sharpening.
extern const bandDriverCores glimraNoiseReduceCores;
// The smooth-area core, no second pass.
extern const bandDriverCores smoothDetectCores;

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

// The noise-reduction driver; Halvane passes its own cores (its choice of
// core and its sharpening), Glimra takes the default.
int16 noiseReduceRunThreads(fl_image& image, float levelConstant, float noiseLevel, bool smoothReference,
                            float amount, float sharpAmount, float chromaSharpAmount,
                            const bandDriverCores& cores = glimraNoiseReduceCores);
// The smooth-area driver (smoothReference is the core's grey-matte flag).
int16 smoothDetectRunThreads(fl_image& image, float levelConstant, float noiseLevel, bool smoothReference,
                             float amount, float sharpAmount, float chromaSharpAmount);
