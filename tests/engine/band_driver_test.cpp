// The band-parallel driver: band split, thread counts, workers that cannot
// start, memory refusal, cancels, and the hooks a product passes in.
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <chrono>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <stdexcept>
#include <thread>

#include "engine/band_driver.h"
#include "engine/vector_isa.h"
#include "glimra/smooth_area_pipeline.h"
#include "support/host_fixture.h"
#include "support/pixels.h"

namespace {

TEST(BandRows, LastBandTakesTheRemainder) {
    const int32 expected[4][2] = {{0, 2}, {2, 4}, {4, 6}, {6, 10}};
    for (int32 i = 0; i < 4; ++i) {
        int32 first, end;
        bandRows(10, 4, i, first, end);
        EXPECT_EQ(first, expected[i][0]);
        EXPECT_EQ(end, expected[i][1]);
    }
    // Fewer rows than bands: all but the last are empty.
    for (int32 i = 0; i < 5; ++i) {
        int32 first, end;
        bandRows(3, 5, i, first, end);
        EXPECT_EQ(first, 0);
        EXPECT_EQ(end, i == 4 ? 3 : 0);
    }
}

class BandDriver : public EngineHostTest {};

// Every band runs exactly once, band 0 as -1 on the calling thread, and the
// bands cover the rows without overlap.
struct seenBands {
    std::mutex lock;
    std::vector<bandInfo> bands;
    std::set<std::thread::id> threads;
    std::thread::id caller = std::this_thread::get_id();
    bool band0OnCaller = false;
    void record(const bandInfo& b) {
        std::lock_guard<std::mutex> g(lock);
        bands.push_back(b);
        threads.insert(std::this_thread::get_id());
        if (b.index == 0) band0OnCaller = std::this_thread::get_id() == caller && b.band == -1;
    }
};

TEST_F(BandDriver, RunsEveryBandOnceAndBandZeroOnTheCallingThread) {
    for (int32 n : {1, 3, 8, 33}) {
        setEngineThreadCount(n);
        seenBands seen;
        auto body = [&](const bandInfo& b) { seen.record(b); };
        EXPECT_EQ(runBands(100, body), n);
        ASSERT_EQ(seen.bands.size(), size_t(n));
        EXPECT_TRUE(seen.band0OnCaller);
        std::vector<int> rows(100, 0);
        for (auto& b : seen.bands) {
            EXPECT_EQ(b.count, n);
            EXPECT_EQ(b.band, b.index == 0 ? -1 : b.index);
            for (int32 y = b.firstRow; y < b.endRow; ++y) ++rows[y];
        }
        for (int r : rows) EXPECT_EQ(r, 1);
        EXPECT_EQ(seen.threads.size(), size_t(n)) << "one thread per band";
    }
}

TEST_F(BandDriver, AWorkerThatCannotStartHasItsBandRunOnTheCallingThread) {
    setEngineThreadCount(6);
    bandWorkerStartFailures = 3;  // bands 1, 2 and 3 get no thread
    std::mutex lock;
    std::vector<std::pair<int32, std::thread::id>> ran;
    auto body = [&](const bandInfo& b) {
        std::lock_guard<std::mutex> g(lock);
        ran.push_back({b.index, std::this_thread::get_id()});
    };
    const int64_t startedBefore = bandWorkersStarted;
    runBands(60, body);
    EXPECT_EQ(bandWorkersStarted - startedBefore, 2);
    ASSERT_EQ(ran.size(), 6u);
    std::set<int32> indices;
    for (auto& r : ran) {
        indices.insert(r.first);
        if (r.first <= 3) {
            EXPECT_EQ(r.second, std::this_thread::get_id()) << "band " << r.first;
        } else {
            EXPECT_NE(r.second, std::this_thread::get_id()) << "band " << r.first;
        }
    }
    EXPECT_EQ(indices.size(), 6u);
    EXPECT_EQ(bandWorkerStartFailures, 0);
}

// A worker's stack is the size the driver means on this platform: 64000
// bytes in whole pages, which every POSIX system accepts.
TEST_F(BandDriver, WorkersGetWholePagesOfStackForTheirSixtyFourThousandBytes) {
    const int64_t page = sysconf(_SC_PAGESIZE);
    const int64_t size = bandWorkerStackSize();
    EXPECT_EQ(size % page, 0);
    EXPECT_GE(size, int64_t(kBandWorkerStackBytes));
    EXPECT_LT(size, int64_t(kBandWorkerStackBytes) + page);
    setEngineThreadCount(3);
    std::mutex lock;
    std::vector<size_t> stacks;
    auto body = [&](const bandInfo& b) {
        if (b.index == 0) return;
        pthread_attr_t attr;
        size_t bytes = 0;
        if (pthread_getattr_np(pthread_self(), &attr) == 0) {
            pthread_attr_getstacksize(&attr, &bytes);
            pthread_attr_destroy(&attr);
        }
        std::lock_guard<std::mutex> g(lock);
        stacks.push_back(bytes);
    };
    const int64_t startedBefore = bandWorkersStarted;
    runBands(30, body);
    EXPECT_EQ(bandWorkersStarted - startedBefore, 2);
    ASSERT_EQ(stacks.size(), 2u);
#if defined(__SANITIZE_THREAD__)
    // ThreadSanitizer adds room of its own to every thread's stack.
    for (size_t bytes : stacks) EXPECT_GE(int64_t(bytes), size);
#else
    for (size_t bytes : stacks) EXPECT_EQ(int64_t(bytes), size);
#endif
}

// What a band throws reaches the caller after every band has run and been
// joined; a worker's exception must not end the process.
class ThrowingBand : public BandDriver, public ::testing::WithParamInterface<int32> {};

TEST_P(ThrowingBand, IsRethrownOnTheCallingThreadAfterTheJoin) {
    setEngineThreadCount(4);
    for (bool onWorkerSet : {false, true}) {
        std::unique_ptr<bandWorkerSetScope> set;
        if (onWorkerSet) set.reset(new bandWorkerSetScope);
        std::atomic<int32> ran{0};
        auto body = [&](const bandInfo& b) {
            ++ran;
            if (b.index == GetParam()) throw std::out_of_range("array<>: index out of range");
        };
        EXPECT_THROW(runBands(40, body), std::out_of_range) << "worker set " << onWorkerSet;
        EXPECT_EQ(ran, 4);
        auto allocation = [&](const bandInfo& b) {
            if (b.index >= 2) throw std::bad_alloc();
        };
        EXPECT_THROW(runBands(40, allocation), std::bad_alloc) << "worker set " << onWorkerSet;
        std::atomic<int32> bands{0};
        auto count = [&](const bandInfo&) { ++bands; };
        runBands(40, count);
        EXPECT_EQ(bands, 4) << "a later call runs every band";
    }
}

INSTANTIATE_TEST_SUITE_P(CallerAndWorkers, ThrowingBand, ::testing::Values(0, 1, 3));

// Within a worker set the calls hand their bands to the same workers: each
// started once, every band run once per call, band 0 on the calling thread.
TEST_F(BandDriver, AWorkerSetStartsItsWorkersOnceForEveryCall) {
    setEngineThreadCount(5);
    const int64_t startedBefore = bandWorkersStarted;
    std::set<std::thread::id> workers;
    bandWorkerSetScope set;
    startBandWorkerSet();  // nested: the outer scope's set stays
    stopBandWorkerSet();
    for (int call = 0; call < 50; ++call) {
        seenBands seen;
        auto body = [&](const bandInfo& b) { seen.record(b); };
        const int32 rows = 40 + call;
        EXPECT_EQ(runBands(rows, body), 5);
        ASSERT_EQ(seen.bands.size(), 5u);
        EXPECT_TRUE(seen.band0OnCaller);
        std::vector<int> covered(size_t(rows), 0);
        for (const bandInfo& b : seen.bands) {
            int32 first, end;
            bandRows(rows, 5, b.index, first, end);
            EXPECT_EQ(b.firstRow, first);
            EXPECT_EQ(b.endRow, end);
            EXPECT_EQ(b.band, b.index == 0 ? -1 : b.index);
            for (int32 y = b.firstRow; y < b.endRow; ++y) ++covered[size_t(y)];
        }
        for (int c : covered) EXPECT_EQ(c, 1);
        workers.insert(seen.threads.begin(), seen.threads.end());
    }
    EXPECT_EQ(bandWorkersStarted - startedBefore, 4);
    EXPECT_EQ(workers.size(), 5u) << "the calling thread and the same four workers";
}

TEST_F(BandDriver, AWorkerSetRunsTheBandsOfWorkersThatCannotStartOnTheCallingThread) {
    setEngineThreadCount(4);
    bandWorkerStartFailures = 2;  // bands 1 and 2 get no worker
    bandWorkerSetScope set;
    for (int call = 0; call < 3; ++call) {
        std::mutex lock;
        std::vector<std::pair<int32, std::thread::id>> ran;
        auto body = [&](const bandInfo& b) {
            std::lock_guard<std::mutex> g(lock);
            ran.push_back({b.index, std::this_thread::get_id()});
        };
        runBands(40, body);
        ASSERT_EQ(ran.size(), 4u);
        for (const auto& r : ran) {
            if (r.first <= 2) {
                EXPECT_EQ(r.second, std::this_thread::get_id()) << "band " << r.first;
            } else {
                EXPECT_NE(r.second, std::this_thread::get_id()) << "band " << r.first;
            }
        }
    }
}

TEST_F(BandDriver, AnExceptionOfTheCallingThreadsBandWaitsForTheWorkerSet) {
    setEngineThreadCount(4);
    bandWorkerSetScope set;
    std::atomic<int> finished{0};
    auto body = [&](const bandInfo& b) {
        if (b.index == 0) throw std::runtime_error("band 0");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ++finished;
    };
    EXPECT_THROW(runBands(40, body), std::runtime_error);
    EXPECT_EQ(finished, 3) << "every worker's band had finished when the exception left";
    std::atomic<int> bands{0};
    auto count = [&](const bandInfo&) { ++bands; };
    runBands(40, count);
    EXPECT_EQ(bands, 4) << "the set still works";
}

// The whole pipeline's matte for one thread count.
std::vector<float> pipelineMatte(int32 threads, int32 width, int32 height, int startFailures = 0) {
    setEngineThreadCount(threads);
    bandWorkerStartFailures = startFailures;
    fl_image img(width, height), dst(width, height);
    fillNoisyScene(img, 17);
    EXPECT_EQ(smoothDetectLiftingStructure(img, dst), 0);
    return contents(dst);
}

std::vector<float> noiseReduced(int32 threads, int32 width, int32 height) {
    setEngineThreadCount(threads);
    fl_image img(width, height);
    fillNoisyScene(img, 5);
    EXPECT_EQ(noiseReduceRunThreads(img, 0.0f, 15.0f, true, 1.0f, 0.0f, 0.0f), 0);
    EXPECT_FALSE(img.paddingGenerated);
    return contents(img);
}

TEST_F(BandDriver, ResultIsBitIdenticalForAnyThreadCount) {
    const std::vector<float> one = pipelineMatte(1, 97, 41);
    const std::vector<float> nrOne = noiseReduced(1, 97, 41);
    for (int32 n : {2, 3, 4, 8, 33}) {
        EXPECT_TRUE(sameBits(pipelineMatte(n, 97, 41), one)) << n << " threads";
        EXPECT_TRUE(sameBits(noiseReduced(n, 97, 41), nrOne)) << n << " threads";
    }
    // More threads than rows: only the last band has rows.
    const std::vector<float> shortOne = pipelineMatte(1, 40, 6);
    EXPECT_TRUE(sameBits(pipelineMatte(9, 40, 6), shortOne));
    EXPECT_TRUE(sameBits(pipelineMatte(33, 40, 6), shortOne));
    // And when workers cannot be started.
    EXPECT_TRUE(sameBits(pipelineMatte(8, 97, 41, 5), one));
    // And on a worker set.
    setEngineThreadCount(6);
    bandWorkerSetScope set;
    EXPECT_TRUE(sameBits(pipelineMatte(6, 97, 41), one));
    EXPECT_TRUE(sameBits(noiseReduced(6, 97, 41), nrOne));
}

// Every instruction set the processor runs gives the matte and the noise
// reduction bit for bit.
TEST_F(BandDriver, ResultIsBitIdenticalOnEveryInstructionSet) {
    useVectorInstructionSet(0);
    const std::vector<float> matte = pipelineMatte(4, 97, 41);
    const std::vector<float> reduced = noiseReduced(4, 97, 41);
    for (int isa = 1; isa < vectorInstructionSets(); ++isa) {
        useVectorInstructionSet(isa);
        EXPECT_TRUE(sameBits(pipelineMatte(4, 97, 41), matte)) << "instruction set " << isa;
        EXPECT_TRUE(sameBits(noiseReduced(4, 97, 41), reduced)) << "instruction set " << isa;
    }
    useVectorInstructionSet(-1);
}

TEST_F(BandDriver, NoiseReductionKeepsAFlatImage) {
    fl_image img(50, 30);
    fillImage(img, [](int32, int32, int) { return 128.0f; });
    const std::vector<float> before = contents(img);
    EXPECT_EQ(noiseReduceRunThreads(img, 0.0f, 15.0f, true, 1.0f, 0.0f, 0.0f), 0);
    EXPECT_TRUE(sameBits(contents(img), before));
}

// Refusing either of the pipeline's two work buffers (one result image per
// driver call; no strength map, as no second pass reads one): -108, one
// alert, the host result -128, nothing leaked, the destination untouched.
class RefusedBuffer : public BandDriver, public ::testing::WithParamInterface<int> {};

TEST_P(RefusedBuffer, GivesMemFullOneAlertAndLeaksNothing) {
    fl_image img(40, 30), dst(40, 30);
    fillNoisyScene(img, 1);
    fillImage(dst, [](int32, int32, int) { return 3.0f; });
    const std::vector<float> before = contents(dst);
    refuseAllocation(GetParam());
    EXPECT_EQ(smoothDetectLiftingStructure(img, dst), -108);
    EXPECT_EQ(alerts().size(), 1u);
    if (!alerts().empty()) {
        EXPECT_EQ(alerts()[0], kOutOfMemoryAlert);
    }
    EXPECT_EQ(host().result(), -128);
    EXPECT_EQ(host().buffers().live(), 2) << "only the caller's two images";
    EXPECT_TRUE(sameBits(contents(dst), before));
}

INSTANTIATE_TEST_SUITE_P(FirstAndSecond, RefusedBuffer, ::testing::Values(1, 2));

TEST_F(BandDriver, AnImageWithoutMemoryIsRefusedBeforeAnyWork) {
    refuseAllocation(1);
    fl_image img(40, 30);
    EXPECT_EQ(img.data, nullptr);
    EXPECT_EQ(noiseReduceRunThreads(img, 0.0f, 15.0f, true, 1.0f, 0.0f, 0.0f), -108);
    EXPECT_EQ(alerts().size(), 1u);
}

// A cancel at the k-th poll of the host's abort procedure (the pipeline
// polls four times: after each driver's first pass and after each driver).
class CancelAtPoll : public BandDriver, public ::testing::WithParamInterface<int> {};

TEST_P(CancelAtPoll, GivesUserCanceledAndLeavesTheDestinationUntouched) {
    beginFilteringRun(true);
    host().cancelAtAbortCall = GetParam();
    fl_image img(40, 30), dst(40, 30);
    fillNoisyScene(img, 2);
    fillImage(dst, [](int32, int32, int) { return 3.0f; });
    const std::vector<float> before = contents(dst);
    EXPECT_EQ(smoothDetectLiftingStructure(img, dst), -128);
    EXPECT_EQ(host().result(), -128);
    EXPECT_TRUE(globalUserCancelled);
    EXPECT_TRUE(sameBits(contents(dst), before));
    EXPECT_EQ(host().buffers().live(), 2);
}

INSTANTIATE_TEST_SUITE_P(EveryPoll, CancelAtPoll, ::testing::Values(1, 2, 3, 4));

TEST_F(BandDriver, WithoutACancelThePipelinePollsFourTimesAndSucceeds) {
    beginFilteringRun(true);
    host().cancelAtAbortCall = 5;
    fl_image img(40, 30), dst(40, 30);
    fillNoisyScene(img, 2);
    EXPECT_EQ(smoothDetectLiftingStructure(img, dst), 0);
    EXPECT_EQ(host().abortCalls(), 4);
    EXPECT_FALSE(globalUserCancelled);
}

TEST_F(BandDriver, ACancelRecordedBeforeTheCallDiscardsTheFirstPass) {
    globalUserCancelled = true;
    fl_image img(40, 30);
    fillNoisyScene(img, 4);
    const std::vector<float> before = contents(img);
    EXPECT_EQ(noiseReduceRunThreads(img, 0.0f, 15.0f, true, 1.0f, 0.0f, 0.0f), -128);
    EXPECT_TRUE(sameBits(contents(img), before)) << "the image keeps its pixels and border";
    EXPECT_TRUE(img.paddingGenerated);
}

// The hooks a product passes in: the first-pass core sees every row once
// with its band numbers; the second pass sees the result with a fresh
// border, the rows it leaves (from secondPassStopsAt on) receive the
// result, and a cancel it records is returned as -128.
namespace hooks {
std::mutex lock;
std::vector<int> rowsSeen;
std::set<int32> bandsSeen;
std::thread::id caller;
bool callerIsBandMinusOne = true;
bool borderFresh = true;
int32 cancelInBand = -2;
int32 secondPassStopsAt = INT32_MAX;

void firstPass(const threadedNoiseReduce_struct& r) {
    fl_image &source = *r.source, &destination = *r.destination;
    strength_map& strengthMap = *r.strengthMap;
    const int32 firstRow = r.firstRow, endRow = r.endRow, band = r.band;
    for (int32 y = firstRow; y < endRow; ++y)
        for (int32 x = 0; x < source.width; ++x) {
            float* d = pixel(destination, x, y);
            for (int ch = 0; ch < 3; ++ch) d[ch] = pixel(source, x, y)[ch] + 1.0f;
            strengthMap.row(y)[x] = 0.5f;
        }
    std::lock_guard<std::mutex> g(lock);
    for (int32 y = firstRow; y < endRow; ++y) ++rowsSeen[y];
    bandsSeen.insert(band);
    callerIsBandMinusOne = callerIsBandMinusOne && (band == -1) == (std::this_thread::get_id() == caller);
}

int32 secondPass(const threadedSharpen_struct& r) {
    fl_image &source = *r.source, &destination = *r.destination;
    const strength_map& strengthMap = *r.strengthMap;
    const float sharpAmount = r.sharpAmount;
    const int32 firstRow = r.firstRow, band = r.band;
    bool fresh = true;
    const int32 end = std::max(firstRow, std::min(r.endRow, secondPassStopsAt));
    for (int32 y = firstRow; y < end; ++y) {
        // Border columns mirror the interior of the first pass's result.
        fresh = fresh && pixel(source, -1, y)[0] == pixel(source, 1, y)[0];
        for (int32 x = 0; x < source.width; ++x) {
            const float* s = pixel(source, x, y);
            float* d = pixel(destination, x, y);
            d[0] = s[0] + sharpAmount * strengthMap.row(y)[x];
            d[1] = s[1];
            d[2] = s[2];
        }
    }
    if (band == cancelInBand) globalUserCancelled = true;
    std::lock_guard<std::mutex> g(lock);
    borderFresh = borderFresh && fresh;
    return end;
}
}  // namespace hooks

TEST_F(BandDriver, AProductsCoresSeeEveryRowOnceWithTheirThreadsBandNumber) {
    const bandDriverCores cores = {hooks::firstPass, hooks::secondPass, false};
    for (int32 n : {1, 4, 7}) {
        setEngineThreadCount(n);
        hooks::rowsSeen.assign(123, 0);
        hooks::bandsSeen.clear();
        hooks::cancelInBand = -2;
        hooks::caller = std::this_thread::get_id();
        hooks::callerIsBandMinusOne = true;
        fl_image img(31, 123);
        fillImage(img, [](int32 x, int32 y, int ch) { return float(x + 2 * y + ch); });
        EXPECT_EQ(bandDriverRunThreads(img, cores, 0.0f, 1.0f, true, 1.0f, 4.0f, 0.0f), 0);
        for (int r : hooks::rowsSeen) EXPECT_EQ(r, 1);
        for (int32 band : hooks::bandsSeen) EXPECT_TRUE(band == -1 || (band >= 1 && band < n)) << band;
        EXPECT_TRUE(hooks::callerIsBandMinusOne);
        EXPECT_TRUE(hooks::borderFresh);
        // First pass +1, second pass + 4 x 0.5 on channel 0.
        EXPECT_EQ(pixel(img, 5, 7)[0], float(5 + 14) + 1.0f + 2.0f);
        EXPECT_EQ(pixel(img, 5, 7)[1], float(5 + 14 + 1) + 1.0f);
        EXPECT_FALSE(img.paddingGenerated);
    }
}

// The strength map is one float per pixel, and only a driver call with a
// second pass allocates it (and a refusal of it is the memory failure).
TEST_F(BandDriver, OnlyASecondPassGetsAStrengthMapOfOneChannel) {
    fl_image img(31, 23);
    fillImage(img, [](int32 x, int32 y, int ch) { return float(x + 2 * y + ch); });
    const int64_t imageBytes = int64_t(img.paddedWidth) * img.paddedHeight * 12;
    host().buffers().resetCount();
    const int64_t base = host().buffers().liveBytes();
    EXPECT_EQ(noiseReduceRunThreads(img, 0.0f, 1.0f, true, 1.0f, 0.0f, 0.0f), 0);
    EXPECT_EQ(host().buffers().allocations(), 1) << "Glimra's cores: the result image alone";
    EXPECT_EQ(host().buffers().peakBytes() - base, imageBytes);

    const bandDriverCores cores = {hooks::firstPass, hooks::secondPass, false};
    hooks::rowsSeen.assign(23, 0);
    hooks::cancelInBand = -2;
    host().buffers().resetCount();
    EXPECT_EQ(bandDriverRunThreads(img, cores, 0.0f, 1.0f, true, 1.0f, 4.0f, 0.0f), 0);
    EXPECT_EQ(host().buffers().allocations(), 2);
    EXPECT_EQ(host().buffers().peakBytes() - base, imageBytes + 31 * 23 * 4);

    refuseAllocation(2);
    EXPECT_EQ(bandDriverRunThreads(img, cores, 0.0f, 1.0f, true, 1.0f, 4.0f, 0.0f), -108);
    EXPECT_EQ(alerts().size(), 1u);
    EXPECT_EQ(host().buffers().live(), 1) << "only the caller's image";
}

// The rows a second pass leaves hold the first pass's result (+1), in every
// band; those it wrote hold its own (+1, then + 4 x 0.5 on channel 0).
TEST_F(BandDriver, RowsTheSecondPassLeavesReceiveTheFirstPassResult) {
    const bandDriverCores cores = {hooks::firstPass, hooks::secondPass, false};
    for (int32 n : {1, 4}) {
        setEngineThreadCount(n);
        hooks::rowsSeen.assign(123, 0);
        hooks::cancelInBand = -2;
        hooks::secondPassStopsAt = 70;
        fl_image img(31, 123);
        fillImage(img, [](int32 x, int32 y, int ch) { return float(x + 2 * y + ch); });
        EXPECT_EQ(bandDriverRunThreads(img, cores, 0.0f, 1.0f, true, 1.0f, 4.0f, 0.0f), 0);
        hooks::secondPassStopsAt = INT32_MAX;
        for (int32 y : {0, 69, 70, 122})
            for (int32 x : {0, 30}) {
                const float sharpened = y < 70 ? 2.0f : 0.0f;
                EXPECT_EQ(pixel(img, x, y)[0], float(x + 2 * y) + 1.0f + sharpened) << x << ", " << y;
                EXPECT_EQ(pixel(img, x, y)[2], float(x + 2 * y + 2) + 1.0f) << x << ", " << y;
            }
    }
}

// The smooth-area driver: its first pass is the smooth-area core with the
// driver's arguments, its second pass changes nothing, and the result image
// is the only buffer it takes.  The scene: (4, 4) exceeds its neighbours by
// low + high (2 + 10) in every channel, so it is white; (7, 4) by half of
// high past low, 127.5; (4, 3) sees one such neighbour, 3 x 10 / 24 x 25.5.
// Without the grey-matte flag every pixel is mid-grey.  One thread, four,
// and more threads than rows give the same.
TEST_F(BandDriver, SmoothDetectWritesTheMatteOfTheSmoothAreaCoreAndNothingMore) {
    for (int32 n : {1, 4, 10}) {
        for (bool grey : {true, false}) {
            setEngineThreadCount(n);
            fl_image img(9, 9);
            fillImage(img, [](int32 x, int32 y, int) {
                if (x == 4 && y == 4) return 112.0f;
                if (x == 7 && y == 4) return 107.0f;
                return 100.0f;
            });
            host().buffers().resetCount();
            EXPECT_EQ(smoothDetectRunThreads(img, 0.0f, 0.0f, grey, 0.0f, 0.0f, 0.0f), 0);
            EXPECT_EQ(host().buffers().allocations(), 1) << "the result image alone";
            for (int ch = 0; ch < 3; ++ch) {
                EXPECT_EQ(pixel(img, 4, 4)[ch], grey ? 255.0f : 127.5f) << n;
                EXPECT_EQ(pixel(img, 7, 4)[ch], 127.5f) << n;
                EXPECT_FLOAT_EQ(pixel(img, 4, 3)[ch], grey ? 3.0f * 10.0f / 24.0f * 25.5f : 127.5f) << n;
                EXPECT_EQ(pixel(img, 0, 8)[ch], grey ? 0.0f : 127.5f) << n;
            }
            EXPECT_FALSE(img.paddingGenerated);
        }
    }
}

// The thread body writes its record's rows only, and the empty second pass
// nothing at all.
TEST_F(BandDriver, SmoothDetectBodyWritesItsRecordsRowsAndTheEmptyPassNothing) {
    fl_image src(6, 8), dst(6, 8);
    fillImage(src, [](int32 x, int32, int) { return x == 2 ? 124.0f : 100.0f; });
    src.generatePadding();
    fillImage(dst, [](int32, int32, int) { return -1.0f; });
    strength_map none(0, 0);
    threadedSmoothDetect({&src, &dst, &none, 0.0f, 0.0f, true, 0.0f, 0.0f, 3, 5, -1});
    for (int32 y = 0; y < 8; ++y) {
        // Column 2 exceeds its six left and right neighbours by 24 - 2: past
        // white; column 1 sees three of them: 3 x 22 x 3 / 24 x 25.5.
        EXPECT_EQ(pixel(dst, 2, y)[0], y >= 3 && y < 5 ? 255.0f : -1.0f) << y;
        EXPECT_FLOAT_EQ(pixel(dst, 1, y)[1], y >= 3 && y < 5 ? 3.0f * 22.0f * 3.0f / 24.0f * 25.5f : -1.0f) << y;
    }
    const std::vector<float> before = contents(dst);
    EXPECT_EQ(threadedCustomFunction({&src, &dst, &none, 1.0f, 1.0f, 2, 8, -1}), 2) << "no row written";
    EXPECT_TRUE(sameBits(contents(dst), before));
}

class SecondPassCancel : public BandDriver, public ::testing::WithParamInterface<int32> {};

TEST_P(SecondPassCancel, IsReturnedAsUserCanceled) {
    setEngineThreadCount(4);
    const bandDriverCores cores = {hooks::firstPass, hooks::secondPass, false};
    hooks::rowsSeen.assign(23, 0);
    hooks::cancelInBand = GetParam();
    fl_image img(31, 23);
    fillImage(img, [](int32 x, int32 y, int ch) { return float(x + 2 * y + ch); });
    EXPECT_EQ(bandDriverRunThreads(img, cores, 0.0f, 1.0f, true, 1.0f, 4.0f, 0.0f), -128);
    EXPECT_EQ(host().buffers().live(), 1);
}

// The calling thread's band and a worker's.
INSTANTIATE_TEST_SUITE_P(Bands, SecondPassCancel, ::testing::Values(-1, 2));

}  // namespace
