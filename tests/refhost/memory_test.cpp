// The host's handle and buffer procedures: refusals, leak and misuse
// detection, and the NaN fill of fresh buffers.
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "support/host_fixture.h"

namespace {

class Memory : public HostFixture {
protected:
    BufferProcs& buffers() { return *host().record().bufferProcs; }
    HandleProcs& handles() { return *host().record().handleProcs; }
};

struct RefusalCase {
    const char* name;
    refhost::RefusalPlan plan;
    std::vector<int32> sizes;
    std::vector<bool> granted;
};

class BufferRefusal : public Memory, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(BufferRefusal, RefusesAsPlannedAndLeavesTheIdNull) {
    makeHost();
    const RefusalCase& c = GetParam();
    host().buffers().plan = c.plan;
    std::vector<BufferID> ids;
    for (size_t i = 0; i < c.sizes.size(); ++i) {
        BufferID id = reinterpret_cast<BufferID>(&ids);  // garbage that a refusal must clear
        OSErr err = buffers().allocateProc(c.sizes[i], &id);
        if (c.granted[i]) {
            EXPECT_EQ(err, noErr) << "allocation " << i + 1;
            EXPECT_NE(id, nullptr);
            ids.push_back(id);
        } else {
            EXPECT_EQ(err, memFullErr) << "allocation " << i + 1;
            EXPECT_EQ(id, nullptr);
        }
    }
    for (BufferID id : ids) buffers().freeProc(id);
}

INSTANTIATE_TEST_SUITE_P(
    Plans, BufferRefusal,
    ::testing::Values(RefusalCase{"second", {2, false, -1}, {10, 10, 10}, {true, false, true}},
                      RefusalCase{"secondAndLater", {2, true, -1}, {10, 10, 10}, {true, false, false}},
                      RefusalCase{"aboveSize", {0, false, 100}, {100, 101, 5}, {true, false, true}},
                      RefusalCase{"none", {0, false, -1}, {0, 1, 1 << 20}, {true, true, true}}),
    [](const ::testing::TestParamInfo<RefusalCase>& i) { return std::string(i.param.name); });

TEST_F(Memory, RefusalCountsFromTheLastReset) {
    makeHost();
    BufferID a = nullptr, b = nullptr;
    ASSERT_EQ(buffers().allocateProc(8, &a), noErr);
    host().buffers().resetCount();
    host().buffers().plan.refuseNth = 1;
    EXPECT_EQ(buffers().allocateProc(8, &b), memFullErr);
    EXPECT_EQ(host().buffers().refused(), 1);
    buffers().freeProc(a);
}

TEST_F(Memory, FreshBuffersReadAsNaN) {
    makeHost();
    BufferID id = nullptr;
    ASSERT_EQ(buffers().allocateProc(64, &id), noErr);
    const char* p = buffers().lockProc(id, true);
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 16; ++i) {
        float f;
        std::memcpy(&f, p + 4 * i, 4);
        EXPECT_TRUE(std::isnan(f)) << i;
    }
    uint16_t s;
    std::memcpy(&s, p, 2);
    EXPECT_GT(s, 32768) << "a fresh 16-bit sample is out of the host's range";
    buffers().unlockProc(id);
    buffers().freeProc(id);
}

TEST_F(Memory, CountsLiveLockedAndPeak) {
    makeHost();
    BufferID a = nullptr, b = nullptr;
    buffers().allocateProc(1000, &a);
    buffers().allocateProc(3000, &b);
    buffers().lockProc(a, true);
    EXPECT_EQ(host().buffers().live(), 2);
    EXPECT_EQ(host().buffers().locked(), 1);
    EXPECT_EQ(host().buffers().liveBytes(), 4000);
    buffers().unlockProc(a);
    buffers().freeProc(a);
    buffers().freeProc(b);
    EXPECT_EQ(host().buffers().live(), 0);
    EXPECT_EQ(host().buffers().peakBytes(), 4000);
}

TEST_F(Memory, LeakIsReported) {
    makeHost();
    BufferID a = nullptr;
    buffers().allocateProc(10, &a);
    EXPECT_NE(host().leakReport().find("buffer"), std::string::npos);
    Handle h = handles().newProc(4);
    EXPECT_NE(host().leakReport().find("handle"), std::string::npos);
    buffers().freeProc(a);
    handles().disposeProc(h);
    EXPECT_EQ(host().leakReport(), "");
}

// Each misuse must leave a fault behind.
struct MisuseCase {
    const char* name;
    std::function<void(FilterRecord&)> misuse;
    const char* fault;
};

class Misuse : public Memory, public ::testing::WithParamInterface<MisuseCase> {};

TEST_P(Misuse, IsRecordedAsAFault) {
    makeHost();
    GetParam().misuse(host().record());
    ASSERT_EQ(host().faults().size(), 1u) << host().leakReport();
    EXPECT_NE(host().faults()[0].find(GetParam().fault), std::string::npos) << host().faults()[0];
    host().clearFaults();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Misuse,
    ::testing::Values(
        MisuseCase{"doubleFree",
                   [](FilterRecord& r) {
                       BufferID id = nullptr;
                       r.bufferProcs->allocateProc(8, &id);
                       r.bufferProcs->freeProc(id);
                       r.bufferProcs->freeProc(id);
                   },
                   "already freed"},
        MisuseCase{"doubleUnlock",
                   [](FilterRecord& r) {
                       BufferID id = nullptr;
                       r.bufferProcs->allocateProc(8, &id);
                       r.bufferProcs->lockProc(id, true);
                       r.bufferProcs->unlockProc(id);
                       r.bufferProcs->unlockProc(id);
                       r.bufferProcs->freeProc(id);
                   },
                   "not locked"},
        MisuseCase{"lockAfterFree",
                   [](FilterRecord& r) {
                       BufferID id = nullptr;
                       r.bufferProcs->allocateProc(8, &id);
                       r.bufferProcs->freeProc(id);
                       EXPECT_EQ(r.bufferProcs->lockProc(id, true), nullptr);
                   },
                   "already freed"},
        MisuseCase{"foreignBuffer",
                   [](FilterRecord& r) {
                       int x = 0;
                       r.bufferProcs->freeProc(reinterpret_cast<BufferID>(&x));
                   },
                   "not a buffer"},
        MisuseCase{"doubleDispose",
                   [](FilterRecord& r) {
                       Handle h = r.handleProcs->newProc(8);
                       r.handleProcs->disposeProc(h);
                       r.handleProcs->disposeProc(h);
                   },
                   "already disposed"},
        MisuseCase{"foreignHandle",
                   [](FilterRecord& r) {
                       int x = 0;
                       EXPECT_EQ(r.handleProcs->getSizeProc(reinterpret_cast<Handle>(&x)), -1);
                   },
                   "not a handle"}),
    [](const ::testing::TestParamInfo<MisuseCase>& i) { return std::string(i.param.name); });

TEST_F(Memory, HandlesKeepTheirContentsAcrossResize) {
    makeHost();
    Handle h = handles().newProc(4);
    ASSERT_NE(h, nullptr);
    std::memcpy(handles().lockProc(h, true), "abcd", 4);
    handles().unlockProc(h);
    EXPECT_EQ(handles().setSizeProc(h, 100), noErr);
    EXPECT_EQ(handles().getSizeProc(h), 100);
    EXPECT_EQ(std::memcmp(handles().lockProc(h, true), "abcd", 4), 0);
    EXPECT_EQ(host().handles().locked(), 1);
    handles().unlockProc(h);
    EXPECT_EQ(host().handles().live(), 1);
    handles().disposeProc(h);
    EXPECT_EQ(host().handles().live(), 0);
}

TEST_F(Memory, HandleCreationAndLockCanBeRefused) {
    makeHost();
    host().handles().plan.refuseNth = 2;
    Handle a = handles().newProc(1);
    EXPECT_NE(a, nullptr);
    EXPECT_EQ(handles().newProc(1), nullptr);
    host().handles().refuseLockNth(1);
    EXPECT_EQ(handles().lockProc(a, true), nullptr);
    EXPECT_NE(handles().lockProc(a, true), nullptr);
    handles().unlockProc(a);
    handles().disposeProc(a);
}

TEST_F(Memory, HandlesTheHostKeepsAreNoLeak) {
    refhost::Host& h = makeHost();
    h.record().parameters = handles().newProc(224);
    h.data() = reinterpret_cast<intptr_t>(handles().newProc(1));
    EXPECT_EQ(h.leakReport(), "");
    EXPECT_EQ(h.parameterBytes().size(), 224u);
}

}  // namespace

namespace {

// The host as a tool keeps freed memory and hands it out again, unfilled,
// for a later request that it fits; a much smaller request does not take a
// large block that a later one needs.
TEST_F(Memory, AToolHostReusesFreedMemoryForARequestItFits) {
    makeHost(plugInModeRGBColor, 16, 16, refhost::toolHostOptions());
    BufferID a = nullptr, b = nullptr, small = nullptr;
    ASSERT_EQ(buffers().allocateProc(3 << 20, &a), noErr);
    char* p = buffers().lockProc(a, true);
    p[100] = 42;
    buffers().unlockProc(a);
    buffers().freeProc(a);
    EXPECT_GE(host().buffers().keptBytes(), 3 << 20);
    const int64_t taken = host().buffers().systemBytes();

    ASSERT_EQ(buffers().allocateProc(1 << 19, &small), noErr);  // far smaller: not the large block
    ASSERT_EQ(buffers().allocateProc(2 << 20, &b), noErr);      // a smaller size than the freed one
    char* q = buffers().lockProc(b, true);
    EXPECT_EQ(q, p) << "the freed block is handed out again";
    EXPECT_EQ(q[100], 42) << "neither filled nor poisoned";
    EXPECT_LT(host().buffers().systemBytes() - taken, 1 << 20) << "only the small request took fresh memory";
    buffers().unlockProc(b);
    buffers().freeProc(b);
    buffers().freeProc(small);
}

TEST_F(Memory, AToolHostServesSmallRequestsOverAndOverFromTheSameMemory) {
    makeHost(plugInModeRGBColor, 16, 16, refhost::toolHostOptions());
    int64_t taken = 0;
    for (int i = 0; i < 100; ++i) {
        BufferID id = nullptr;
        ASSERT_EQ(buffers().allocateProc(3072 + i, &id), noErr);
        buffers().freeProc(id);
        if (i == 0) taken = host().buffers().systemBytes();
    }
    EXPECT_EQ(host().buffers().systemBytes(), taken);
}

TEST_F(Memory, TheCheckingHostGivesFreedMemoryBack) {
    makeHost();
    BufferID a = nullptr;
    ASSERT_EQ(buffers().allocateProc(1 << 20, &a), noErr);
    buffers().freeProc(a);
    EXPECT_EQ(host().buffers().keptBytes(), 0);
}

}  // namespace
