// The band runner.  Windows: CreateThread with a 64000-byte stack
// reservation, at most 32 bands, the processor count from GetSystemInfo.
// Elsewhere (the Mac form): POSIX threads with the same stack in whole pages,
// the processor count from Multiprocessing Services, no cap.
#include "host/band_runner.h"

#include <algorithm>
#include <exception>
#include <memory>

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
