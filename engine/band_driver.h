// The band-parallel driver: runs a per-pixel core over a whole fl_image on
// all processors, one band of rows per processor, band 0 on the calling
// thread and every other band on a worker thread of its own, joined before
// it returns.  Bands write disjoint rows; no lock is shared with the
// workers, and the only flag they read (globalUserCancelled) is atomic.
#pragma once

#include <atomic>
#include <cstdint>

#include "PITypes.h"
#include "engine/strength_map.h"
#include "image/fl_image.h"

// Every worker gets this stack, on every platform, so that a kernel that
// needs more shows in every build.
enum { kBandWorkerStackBytes = 64000, kMaxWindowsBands = 32 };
// What a worker's stack is asked to be: on Windows kBandWorkerStackBytes as
// the reservation (the system rounds it up to its allocation unit); on
// POSIX systems the same rounded up to whole pages.
int64_t bandWorkerStackSize();

// ---------------------------------------------------------------------------
// Bands.

// Processors the system schedules for this process (POSIX: honours the CPU
// affinity; Windows: GetSystemInfo, at most 32).  At least 1.
int32 engineProcessorCount();
// Overrides the band count of every driver call (0: the processor count;
// Windows caps it at 32).  For benchmarks and tests.
void setEngineThreadCount(int32 n);
// The number of bands the next driver call uses.
int32 engineThreadCount();

// Band i of n over `height` rows: q = height / n rows each, the last band
// taking the remainder (so when height < n only the last band has rows).
void bandRows(int32 height, int32 bands, int32 index, int32& firstRow, int32& endRow);

struct bandInfo {
    int32 firstRow;  // rows of the unpadded image, inclusive
    int32 endRow;    // exclusive
    int32 band;      // the band number the kernels see: -1 for the calling thread's band
    int32 index;     // 0 .. count - 1
    int32 count;
};
typedef void (*bandBody)(void* context, const bandInfo& band);

// Runs body once for every band of `height` rows over engineThreadCount()
// bands and returns when all have finished.  Band 0 runs on the calling
// thread; a worker that cannot be started has its band run on the calling
// thread too (and is never joined).  An exception from any band is rethrown
// on the calling thread after every worker has been joined (the calling
// thread's own first, else the lowest band's).  Returns the count.
int32 runBands(int32 height, bandBody body, void* context);

template <typename F>
int32 runBands(int32 height, F& f) {
    return runBands(
        height, [](void* c, const bandInfo& b) { (*static_cast<F*>(c))(b); }, &f);
}

// Test hooks: the next n worker starts fail, as on a system out of threads;
// and the number of workers started so far.
extern std::atomic<int32> bandWorkerStartFailures;
extern std::atomic<int64_t> bandWorkersStarted;

// ---------------------------------------------------------------------------
// The two-pass core driver.

// First-pass core: writes rows [firstRow, endRow) of destination (and of
// the strength map, if it keeps one), reading source and at most 3 rows
// beyond the band.  noiseReduceCoreAlgo and smoothDetectCoreAlgo have this
// form; so has any core a product passes in (Halvane's choice of core).
typedef void (*bandCoreFunction)(fl_image& source, fl_image& destination, strength_map& strengthMap,
                                 float levelConstant, float noiseLevel, bool smoothReference, float amount,
                                 float sharpAmount, int32 firstRow, int32 endRow, int32 band);
// Second-pass core (sharpening): reads source (the first pass's result with
// a fresh border) and the strength map, writes rows [firstRow, endRow) of
// destination, whose rows hold a copy of source when it is called.  A core
// that polls for a cancel does so with threadedProgressUpdate(band).
typedef void (*bandSecondPassFunction)(fl_image& source, fl_image& destination, strength_map& strengthMap,
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
void threadedSharpen(const threadedSharpen_struct& r);

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
// result (with a fresh border) replaces the image; the second pass writes
// the image from the result and the strength map.
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

// Copies src into dst like flimageToFlimage(src, dst), on all bands when the
// two have the same padded size.
void flimageToFlimageThreaded(fl_image& src, fl_image& dst);
