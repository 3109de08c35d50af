// The band-parallel driver.  Windows: CreateThread with a 64000-byte stack,
// at most 32 bands, the processor count from GetSystemInfo.  Elsewhere (the
// Mac form): POSIX threads with the same stack, the processor count from
// Multiprocessing Services, no cap.
#include "engine/band_driver.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <utility>

#include "engine/noise_reduce_core.h"
#include "engine/smooth_detect_core.h"
#include "entry/host_services.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <Carbon.h>
#include <pthread.h>
#include <unistd.h>

#include <climits>
#endif

std::atomic<int32> bandWorkerStartFailures{0};
std::atomic<int64_t> bandWorkersStarted{0};

namespace {

std::atomic<int32> threadCountOverride{0};

struct bandTask {
    bandBody body;
    void* context;
    bandInfo info;
    bool started;
    std::exception_ptr error;  // what the band threw on its worker
#if defined(_WIN32)
    HANDLE thread;
#else
    pthread_t thread;
#endif
};

bool refuseThisStart() {
    int32 n = bandWorkerStartFailures.load();
    while (n > 0)
        if (bandWorkerStartFailures.compare_exchange_weak(n, n - 1)) return true;
    return false;
}

// No exception may end a thread: it is handed to the caller at the join.
void runTask(bandTask& t) {
    try {
        t.body(t.context, t.info);
    } catch (...) {
        t.error = std::current_exception();
    }
}

#if defined(_WIN32)

DWORD WINAPI bandThreadMain(LPVOID p) {
    runTask(*static_cast<bandTask*>(p));
    return 0;
}

bool startWorker(bandTask& t) {
    if (refuseThisStart()) return false;
    DWORD id = 0;
    // Without the flag the size would be the commit, and the reserve the
    // executable's default.
    t.thread = CreateThread(nullptr, SIZE_T(bandWorkerStackSize()), bandThreadMain, &t,
                            STACK_SIZE_PARAM_IS_A_RESERVATION, &id);
    return t.thread != nullptr;
}

void joinWorker(bandTask& t) {
    WaitForSingleObject(t.thread, INFINITE);
    CloseHandle(t.thread);
}

#else

void* bandThreadMain(void* p) {
    runTask(*static_cast<bandTask*>(p));
    return nullptr;
}

bool startWorker(bandTask& t) {
    if (refuseThisStart()) return false;
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0) return false;
    // A worker without its stack size does not start: its band runs on the
    // calling thread instead.
    const bool ok = pthread_attr_setstacksize(&attr, size_t(bandWorkerStackSize())) == 0 &&
                    pthread_create(&t.thread, &attr, bandThreadMain, &t) == 0;
    pthread_attr_destroy(&attr);
    return ok;
}

void joinWorker(bandTask& t) { pthread_join(t.thread, nullptr); }

#endif

// Task records live in the caller's frame; only a machine with more
// processors than this takes them from the heap.
enum { kTasksOnStack = 64 };

}  // namespace

int64_t bandWorkerStackSize() {
#if defined(_WIN32)
    return kBandWorkerStackBytes;
#else
    // POSIX hosts may refuse a size that is not whole pages (the Mac does).
    const int64_t page = std::max<int64_t>(sysconf(_SC_PAGESIZE), 1);
    const int64_t size = (int64_t(kBandWorkerStackBytes) + page - 1) / page * page;
    return std::max<int64_t>(size, PTHREAD_STACK_MIN);
#endif
}

int32 engineProcessorCount() {
#if defined(_WIN32)
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const int32 n = int32(info.dwNumberOfProcessors);
    return std::min<int32>(std::max<int32>(n, 1), kMaxWindowsBands);
#else
    return std::max<int32>(int32(MPProcessorsScheduled()), 1);
#endif
}

void setEngineThreadCount(int32 n) { threadCountOverride = n > 0 ? n : 0; }

int32 engineThreadCount() {
    const int32 n = threadCountOverride.load();
    if (n <= 0) return engineProcessorCount();
#if defined(_WIN32)
    return std::min<int32>(n, kMaxWindowsBands);
#else
    return n;
#endif
}

void bandRows(int32 height, int32 bands, int32 index, int32& firstRow, int32& endRow) {
    const uint32 q = height > 0 ? uint32(height) / uint32(bands) : 0;
    firstRow = int32(uint32(index) * q);
    endRow = index == bands - 1 ? std::max<int32>(height, 0) : int32(firstRow + q);
}

int32 runBands(int32 height, bandBody body, void* context) {
    const int32 n = engineThreadCount();
    bandTask local[kTasksOnStack];
    std::unique_ptr<bandTask[]> heap;
    bandTask* tasks = local;
    if (n > kTasksOnStack) {
        heap.reset(new bandTask[n]);
        tasks = heap.get();
    }
    for (int32 i = 0; i < n; ++i) {
        bandTask& t = tasks[i];
        t.body = body;
        t.context = context;
        t.info.index = i;
        t.info.count = n;
        t.info.band = i == 0 ? -1 : i;
        t.error = nullptr;
        bandRows(height, n, i, t.info.firstRow, t.info.endRow);
        t.started = i > 0 && startWorker(t);
        if (t.started) ++bandWorkersStarted;
    }
    auto joinAll = [&] {
        for (int32 i = 1; i < n; ++i)
            if (tasks[i].started) joinWorker(tasks[i]);
    };
    try {
        body(context, tasks[0].info);
        // A band whose worker did not start runs here, exactly once.
        for (int32 i = 1; i < n; ++i)
            if (!tasks[i].started) body(context, tasks[i].info);
    } catch (...) {
        joinAll();
        throw;
    }
    joinAll();
    for (int32 i = 1; i < n; ++i)
        if (tasks[i].error) std::rethrow_exception(tasks[i].error);
    return n;
}

// ---------------------------------------------------------------------------

const bandDriverCores glimraNoiseReduceCores = {noiseReduceCoreAlgoWithoutStrength, nullptr, true};
const bandDriverCores smoothDetectCores = {smoothDetectCoreAlgo, nullptr, true};

namespace {

// Padded rows [first, end) of src into dst (same padded size).
void copyPaddedRows(const fl_image& src, fl_image& dst, int32 first, int32 end) {
    if (end <= first) return;
    const int64_t rowFloats = int64_t(src.paddedWidth) * 3;
    std::memcpy(dst.data + first * rowFloats, src.data + first * rowFloats,
                size_t((end - first) * rowFloats) * sizeof(float));
}

// The padded rows a band owns: its interior rows, and the border rows above
// the image for the first band, below it for the last.
void bandPaddedRows(const fl_image& img, const bandInfo& b, int32& first, int32& end) {
    first = b.index == 0 ? 0 : b.firstRow + img.padY;
    end = b.index == b.count - 1 ? img.paddedHeight : b.endRow + img.padY;
}

bool samePaddedSize(const fl_image& a, const fl_image& b) {
    return a.paddedWidth == b.paddedWidth && a.paddedHeight == b.paddedHeight;
}

// Rows per step of the first pass: the copy of the source rows into the
// destination is still in cache when the core blends into them, and the
// cores' tiles are 16 rows high.
enum { kFirstPassChunkRows = 16 };

}  // namespace

void threadedNoiseReduce(const threadedNoiseReduce_struct& r) {
    r.core(*r.source, *r.destination, *r.strengthMap, r.levelConstant, r.noiseLevel, r.smoothReference, r.amount,
           r.sharpAmount, r.firstRow, r.endRow, r.band);
}

void threadedSharpen(const threadedSharpen_struct& r) {
    r.core(*r.source, *r.destination, *r.strengthMap, r.sharpAmount, r.chromaSharpAmount, r.firstRow, r.endRow,
           r.band);
}

void flimageToFlimageThreaded(fl_image& src, fl_image& dst) {
    if (!src.data || !dst.data) return;
    if (!samePaddedSize(src, dst)) {
        flimageToFlimage(src, dst);
        return;
    }
    auto copy = [&](const bandInfo& b) {
        int32 first, end;
        bandPaddedRows(src, b, first, end);
        copyPaddedRows(src, dst, first, end);
    };
    runBands(src.height, copy);
}

int16 bandDriverRunThreads(fl_image& image, const bandDriverCores& cores, float levelConstant, float noiseLevel,
                           bool smoothReference, float amount, float sharpAmount, float chromaSharpAmount) {
    if (handleInvalidMemory(image)) return memFullErr;
    if (!image.paddingGenerated) image.generatePadding();

    const flimageDimensions dims = getFlimageDimensions(image);
    fl_image result(dims);
    if (handleInvalidMemory(result)) return memFullErr;
    // Only a second pass reads the strength map: without one there is none.
    strength_map strengthMap(cores.secondPass ? image.width : 0, cores.secondPass ? image.height : 0);
    if (cores.secondPass && !strengthMap.data) {
        reportOutOfMemory();
        return memFullErr;
    }

    // First pass: the result receives a copy of the image, chunk by chunk,
    // and the core blends into it.  (The border rows and columns of the copy
    // are replaced by the result's own border below, so a core that writes
    // every pixel needs no copy at all.)  Every thread takes the next chunk
    // of rows until none is left, so a thread that the system runs late
    // delays no one; what a row becomes does not depend on who computes it.
    const bool copy = !cores.firstPassWritesEveryPixel;
    const int32 chunks = (image.height + kFirstPassChunkRows - 1) / kFirstPassChunkRows;
    std::atomic<int32> nextChunk{0};
    auto firstPass = [&](const bandInfo& b) {
        for (int32 c = nextChunk.fetch_add(1, std::memory_order_relaxed); c < chunks;
             c = nextChunk.fetch_add(1, std::memory_order_relaxed)) {
            const int32 y = c * kFirstPassChunkRows;
            const int32 yEnd = std::min<int32>(y + kFirstPassChunkRows, image.height);
            if (copy) copyPaddedRows(image, result, y + image.padY, yEnd + image.padY);
            threadedNoiseReduce({&image, &result, &strengthMap, levelConstant, noiseLevel, smoothReference, amount,
                                 sharpAmount, y, yEnd, b.band, cores.firstPass});
        }
    };
    runBands(image.height, firstPass);

    if (progressUpdate(0)) return userCanceledErr;

    result.regeneratePadding();
    if (cores.secondPass) {
        // The image receives the result band by band, and the second pass
        // writes into it from the result and the strength map.
        auto secondPass = [&](const bandInfo& b) {
            int32 first, end;
            bandPaddedRows(result, b, first, end);
            copyPaddedRows(result, image, first, end);
            threadedSharpen({&result, &image, &strengthMap, sharpAmount, chromaSharpAmount, b.firstRow, b.endRow,
                             b.band, cores.secondPass});
        };
        runBands(image.height, secondPass);
        if (globalUserCancelled) {
            image.paddingGenerated = false;
            return userCanceledErr;
        }
    } else {
        // The image takes the result's buffer; its own goes with the result.
        std::swap(image.bufferID, result.bufferID);
        std::swap(image.data, result.data);
        std::swap(image.locked, result.locked);
    }
    image.paddingGenerated = false;
    return noErr;
}

int16 noiseReduceRunThreads(fl_image& image, float levelConstant, float noiseLevel, bool smoothReference,
                            float amount, float sharpAmount, float chromaSharpAmount, const bandDriverCores& cores) {
    return bandDriverRunThreads(image, cores, levelConstant, noiseLevel, smoothReference, amount, sharpAmount,
                                chromaSharpAmount);
}

int16 smoothDetectRunThreads(fl_image& image, float levelConstant, float noiseLevel, bool smoothReference,
                             float amount, float sharpAmount, float chromaSharpAmount) {
    return bandDriverRunThreads(image, smoothDetectCores, levelConstant, noiseLevel, smoothReference, amount,
                                sharpAmount, chromaSharpAmount);
}
