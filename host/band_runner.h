// The band runner: runs a body over the rows of an image on all processors,
// one band of rows per processor, band 0 on the calling thread and every
// other band on a worker thread of its own (or of the filtering run's worker
// set), finished before it returns.
// Bands write disjoint rows; no lock is shared with the workers.
#pragma once

#include <atomic>
#include <cstdint>

#include "PITypes.h"

// Every worker gets this stack, on every platform, so that a kernel that
// needs more shows in every build.
enum { kBandWorkerStackBytes = 64000, kMaxWindowsBands = 32 };
// What a worker's stack is asked to be: on Windows kBandWorkerStackBytes as
// the reservation (the system rounds it up to its allocation unit); on
// POSIX systems the same rounded up to whole pages.
int64_t bandWorkerStackSize();

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

// A worker set for one filtering run: started before the run's first piece
// and stopped, its workers joined, when the run ends.  While it runs, the
// runBands calls of the thread that started it hand their bands to its
// waiting workers instead of starting and joining threads of their own (a
// pass makes some tens of calls per piece, and on the small levels starting
// the threads costs as much as their work).  The bands, their numbers and so
// the results are the same.  A worker that cannot be started has its band
// run on the calling thread; a set that cannot be had leaves every call to
// start its own workers.  Calls nest: only the outermost pair counts.
void startBandWorkerSet();
void stopBandWorkerSet();
struct bandWorkerSetScope {
    bandWorkerSetScope() { startBandWorkerSet(); }
    ~bandWorkerSetScope() { stopBandWorkerSet(); }
    bandWorkerSetScope(const bandWorkerSetScope&) = delete;
    bandWorkerSetScope& operator=(const bandWorkerSetScope&) = delete;
};

// Test hooks: the next n worker starts fail, as on a system out of threads;
// and the number of workers started so far.
extern std::atomic<int32> bandWorkerStartFailures;
extern std::atomic<int64_t> bandWorkersStarted;
