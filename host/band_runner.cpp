// The band runner.  Windows: CreateThread with a 64000-byte stack
// reservation, at most 32 bands, the processor count from GetSystemInfo.
// Elsewhere (the Mac form): POSIX threads with the same stack in whole pages,
// the processor count from Multiprocessing Services, no cap.
#include "host/band_runner.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

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
    void (*main)(bandTask& t);  // what the worker runs: its band, or a worker set's loop
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
void runBandCatching(bandTask& t, bandBody body, void* context) {
    try {
        body(context, t.info);
    } catch (...) {
        t.error = std::current_exception();
    }
}

void runOneBand(bandTask& t) { runBandCatching(t, t.body, t.context); }

#if defined(_WIN32)

DWORD WINAPI bandThreadMain(LPVOID p) {
    bandTask* t = static_cast<bandTask*>(p);
    t->main(*t);
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
    bandTask* t = static_cast<bandTask*>(p);
    t->main(*t);
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

// Fills the task of band i of n over `height` rows and, for i >= 1, starts
// its worker on main.
void startTask(bandTask& t, int32 i, int32 n, int32 height, void (*main)(bandTask&), bandBody body, void* context) {
    t.main = main;
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

void joinTasks(bandTask* tasks, int32 n) {
    for (int32 i = 1; i < n; ++i)
        if (tasks[i].started) joinWorker(tasks[i]);
}

// After the join: the first exception a worker's band threw, on the caller.
// Every record is cleared, since a worker set's records serve later calls.
void rethrowWorkerError(bandTask* tasks, int32 n) {
    std::exception_ptr first;
    for (int32 i = 1; i < n; ++i)
        if (tasks[i].error) {
            if (!first) first = tasks[i].error;
            tasks[i].error = nullptr;
        }
    if (first) std::rethrow_exception(first);
}

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

namespace {

// The worker set of a filtering run: workers 1 .. count - 1 wait for each
// call's bands instead of being started and joined by every call.  Only the
// thread that started the set hands it work; everything the workers read of
// a call is written under the lock before the call's generation is bumped.
struct bandWorkerSet {
    std::mutex lock;
    std::condition_variable wake;  // a new call, or the end of the set
    std::condition_variable done;  // the last worker of a call finished
    int64_t generation = 0;
    int32 pending = 0;             // workers still running the current call's bands
    bool stopping = false;
    bandBody body = nullptr;
    void* context = nullptr;
    int32 height = 0;
    int32 count = 0;
    std::thread::id owner;
    bandTask tasks[kTasksOnStack];  // tasks[0] is the calling thread's and starts no worker
};

bandWorkerSet* activeWorkerSet = nullptr;  // read and written by the owner thread only
int32 workerSetDepth = 0;                  // nested starts; the outermost pair counts

void workerSetLoop(bandTask& t) {
    bandWorkerSet& set = *static_cast<bandWorkerSet*>(t.context);
    int64_t seen = 0;
    for (;;) {
        bandBody body;
        void* context;
        {
            std::unique_lock<std::mutex> g(set.lock);
            set.wake.wait(g, [&] { return set.stopping || set.generation != seen; });
            if (set.stopping) return;
            seen = set.generation;
            body = set.body;
            context = set.context;
            bandRows(set.height, set.count, t.info.index, t.info.firstRow, t.info.endRow);
        }
        runBandCatching(t, body, context);
        std::lock_guard<std::mutex> g(set.lock);
        if (--set.pending == 0) set.done.notify_one();
    }
}

// The set's form of runBands: the same bands on the same numbers, band 0 and
// every band without a worker on the calling thread.
void runBandsOnWorkerSet(bandWorkerSet& set, int32 height, bandBody body, void* context) {
    const int32 n = set.count;
    int32 workers = 0;
    {
        std::lock_guard<std::mutex> g(set.lock);
        set.body = body;
        set.context = context;
        set.height = height;
        for (int32 i = 1; i < n; ++i) workers += set.tasks[i].started;
        set.pending = workers;
        ++set.generation;
    }
    if (workers > 0) set.wake.notify_all();
    auto waitForWorkers = [&] {
        std::unique_lock<std::mutex> g(set.lock);
        set.done.wait(g, [&] { return set.pending == 0; });
    };
    auto runHere = [&](int32 i) {
        bandInfo info = set.tasks[i].info;
        bandRows(height, n, i, info.firstRow, info.endRow);
        body(context, info);
    };
    try {
        runHere(0);
        for (int32 i = 1; i < n; ++i)
            if (!set.tasks[i].started) runHere(i);
    } catch (...) {
        waitForWorkers();
        throw;
    }
    waitForWorkers();
    rethrowWorkerError(set.tasks, n);
}

}  // namespace

void startBandWorkerSet() {
    if (workerSetDepth++ > 0) return;
    const int32 n = engineThreadCount();
    if (n <= 1 || n > kTasksOnStack) return;
    bandWorkerSet* set = new (std::nothrow) bandWorkerSet;
    if (!set) return;  // every call starts its own workers then
    set->count = n;
    set->owner = std::this_thread::get_id();
    for (int32 i = 0; i < n; ++i) startTask(set->tasks[i], i, n, 0, workerSetLoop, nullptr, set);
    activeWorkerSet = set;
}

void stopBandWorkerSet() {
    if (workerSetDepth == 0 || --workerSetDepth > 0) return;
    bandWorkerSet* set = activeWorkerSet;
    if (!set) return;
    activeWorkerSet = nullptr;
    {
        std::lock_guard<std::mutex> g(set->lock);
        set->stopping = true;
    }
    set->wake.notify_all();
    joinTasks(set->tasks, set->count);
    delete set;
}

int32 runBands(int32 height, bandBody body, void* context) {
    const int32 n = engineThreadCount();
    bandWorkerSet* set = activeWorkerSet;
    if (set && set->count == n && set->owner == std::this_thread::get_id()) {
        runBandsOnWorkerSet(*set, height, body, context);
        return n;
    }
    bandTask local[kTasksOnStack];
    std::unique_ptr<bandTask[]> heap;
    bandTask* tasks = local;
    if (n > kTasksOnStack) {
        heap.reset(new bandTask[n]);
        tasks = heap.get();
    }
    for (int32 i = 0; i < n; ++i) startTask(tasks[i], i, n, height, runOneBand, body, context);
    try {
        body(context, tasks[0].info);
        // A band whose worker did not start runs here, exactly once.
        for (int32 i = 1; i < n; ++i)
            if (!tasks[i].started) body(context, tasks[i].info);
    } catch (...) {
        joinTasks(tasks, n);
        throw;
    }
    joinTasks(tasks, n);
    rethrowWorkerError(tasks, n);
    return n;
}
