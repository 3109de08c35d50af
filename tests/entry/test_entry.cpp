// The entry foundation in process: selectors, memory plan, host buffers,
// progress and cancel, advance state, rectangles, modes and alerts.
#include <gtest/gtest.h>

#include <cmath>

#include "host/alerts.h"
#include "entry/selectors.h"
#include "host/globals.h"
#include "host/host_services.h"
#include "engine/product.h"
#include "host/big_document.h"
#include "host/colorspace.h"
#include "image/host_import.h"
#include "mac/alerts_mac.h"
#include "refhost/refhost.h"
#include "support/host_fixture.h"

using refhost::Document;
using refhost::Host;
using refhost::HostOptions;

namespace {
// The selectors leave the handles locked for PluginMain to unlock.
struct Bound : HostBinding {
    using HostBinding::HostBinding;
    ~Bound() override {
        if (gParams) UnlockHandles();
    }
};

Document rgb(int32 w, int32 h) { return Document(plugInModeRGBColor, w, h); }
}  // namespace

TEST(Selectors, ParametersCreateHandlesOfTheBlockSizeAndFillDefaults) {
    Bound b(rgb(30, 30));
    DoParameters();
    ASSERT_EQ(b.host.result(), noErr);
    EXPECT_EQ(b.host.handles().size(b.host.record().parameters), int32(sizeof(ParamBlock)));
    EXPECT_EQ(b.host.handles().size(reinterpret_cast<Handle>(b.host.data())), 1);
    EXPECT_EQ(gData[0], 1);
    for (int i = 0; i < kParamValueCount; ++i) EXPECT_EQ(gParams->values[i], DefaultGUI[i]) << i;
    for (int j = 0; j < kParamFlagCount; ++j) EXPECT_EQ(gParams->flags[j], BooleanDefault[j]) << j;
}

TEST(Selectors, SecondParametersResetsButPrepareKeeps) {
    Bound b(rgb(30, 30));
    DoParameters();
    gParams->values[0] = 7;
    UnlockHandles();
    DoPrepare();
    EXPECT_EQ(gParams->values[0], 7);
    UnlockHandles();
    DoParameters();
    EXPECT_EQ(gParams->values[0], DefaultGUI[0]);
}

TEST(Selectors, HandleTooSmallForTheBlockIsRefused) {
    Bound b(rgb(30, 30));
    b.host.record().parameters = b.host.handles().create(220 - 8);
    DoParameters();
    EXPECT_EQ(b.host.result(), filterBadParameters);
    EXPECT_EQ(gParams, nullptr);
}

TEST(Selectors, RefusedHandleGivesMemFull) {
    Bound b(rgb(30, 30));
    b.host.handles().plan.refuseNth = 1;
    b.host.handles().resetCount();
    DoParameters();
    EXPECT_EQ(b.host.result(), memFullErr);
}

TEST(Prepare, PlansTheFourLevelPyramidOfATenByTenGreyImage) {
    HostOptions o;
    o.maxSpace = 1 << 30;
    Bound b(Document(plugInModeGrayScale, 10, 10), o);
    DoPrepare();
    EXPECT_EQ(b.host.record().maxSpace, 39044);
    EXPECT_EQ(b.host.record().bufferSpace, 0);
    EXPECT_EQ(megaTileChunksWide, 4);
}

TEST(Prepare, EqualBudgetChangesNothing) {
    HostOptions o;
    o.maxSpace = 39044;
    Bound b(Document(plugInModeGrayScale, 10, 10), o);
    DoPrepare();
    EXPECT_EQ(b.host.record().maxSpace, 39044);
    EXPECT_EQ(megaTileChunksWide, 4);
}

TEST(Prepare, ShortMemoryDropsTheMegatileToOneHostTileForThatRunOnly) {
    {
        HostOptions o;
        o.maxSpace = 1000;
        Bound b(Document(plugInModeGrayScale, 10, 10), o);
        DoPrepare();
        EXPECT_EQ(b.host.record().maxSpace, 1000);
        EXPECT_EQ(megaTileChunksWide, 1);
        EXPECT_EQ(megaTileChunksHigh, 1);
        EXPECT_EQ(megatileGetWidth(), 256);
    }
    // The next run in the same load has memory again: it plans afresh.
    HostOptions o;
    o.maxSpace = 1 << 30;
    Bound b(Document(plugInModeGrayScale, 10, 10), o);
    DoPrepare();
    EXPECT_EQ(megaTileChunksWide, 4);
    EXPECT_EQ(megaTileChunksHigh, 4);
    EXPECT_EQ(megatileGetWidth(), 1024);
}

TEST(Prepare, HugeImageEstimateDoesNotOverflow) {
    HostOptions o;
    o.maxSpace = 1 << 30;
    o.inTileWidth = o.inTileHeight = 30000;
    Bound b(rgb(30, 30), o);
    b.host.record().bigDocumentData->filterRect32 = VRect{0, 0, 200000, 200000};
    DoPrepare();
    // The estimate is far above any 32-bit budget: the megatile shrinks.
    EXPECT_EQ(megaTileChunksWide, 1);
    EXPECT_EQ(b.host.record().maxSpace, 1 << 30);
    megaTileChunksWide = megaTileChunksHigh = 4;
}

TEST(Selectors, ContinueEmptiesTheRectangles) {
    Bound b(rgb(30, 30));
    SetInRect(VRect{1, 2, 3, 4});
    DoContinue();
    const VRect r = GetInRect();
    EXPECT_EQ(r.bottom - r.top, 0);
    EXPECT_EQ(GetOutRect().right, 0);
    EXPECT_EQ(GetMaskRect().right, 0);
}

TEST(HostBuffers, RefusedBufferIsNeitherLockedNorLeaked) {
    Bound b(rgb(30, 30));
    b.host.buffers().plan.refuseNth = 1;
    b.host.buffers().resetCount();
    BufferID id = reinterpret_cast<BufferID>(1);
    void* p = &id;
    EXPECT_EQ(memoryAllocate(100, id, p), nullptr);
    EXPECT_EQ(id, nullptr);
    EXPECT_EQ(p, nullptr);
    memoryRelease(100, id, p);
    EXPECT_TRUE(b.host.clean()) << b.host.leakReport();
}

TEST(HostBuffers, SizeBeyondThirtyTwoBitsIsRefused) {
    Bound b(rgb(30, 30));
    BufferID id = nullptr;
    void* p = nullptr;
    EXPECT_EQ(memoryAllocate(int64_t(1) << 33, id, p), nullptr);
    EXPECT_EQ(b.host.buffers().allocations(), 0);
}

TEST(HostBuffers, ReleaseTwiceIsHarmless) {
    Bound b(rgb(30, 30));
    BufferID id = nullptr;
    float* p = nullptr;
    ASSERT_NE(memoryAllocate(64, id, p), nullptr);
    memoryRelease(64, id, p);
    memoryRelease(64, id, p);
    EXPECT_EQ(id, nullptr);
    EXPECT_TRUE(b.host.clean()) << b.host.leakReport();
}

TEST(HostBuffers, OutOfMemoryAlertTextAndResult) {
    Bound b(rgb(30, 30));
    reportOutOfMemory();
    ASSERT_EQ(b.host.alerts().size(), 1u);
    EXPECT_EQ(b.host.alerts()[0],
              "(Vexlor) Not enough memory to run this plugin.  Go to Edit -> Preferences -> Performance to "
              "increase memory allocation.");
    EXPECT_EQ(b.host.result(), userCanceledErr);
}

TEST(Progress, NothingReachesTheHostWhileTheDialogIsOpen) {
    Bound b(rgb(30, 30));
    notInGUI = false;
    progressTotalSet(4);
    EXPECT_FALSE(progressUpdate(1));
    EXPECT_FALSE(progressUpdate());
    EXPECT_TRUE(b.host.progressCalls().empty());
    EXPECT_EQ(b.host.abortCalls(), 0);
}

TEST(Progress, AbortAtCallKCancelsThatStepAndEveryLaterOne) {
    Bound b(rgb(30, 30));
    b.host.cancelAtAbortCall = 3;
    beginFilteringRun(true);
    progressTotalSet(10);
    EXPECT_FALSE(progressUpdate(1));
    EXPECT_FALSE(progressUpdate(1));
    EXPECT_TRUE(progressUpdate(1));
    EXPECT_EQ(b.host.result(), userCanceledErr);
    EXPECT_TRUE(globalUserCancelled);
    const size_t calls = b.host.progressCalls().size();
    EXPECT_TRUE(progressUpdate(1));
    EXPECT_EQ(b.host.progressCalls().size(), calls);
    EXPECT_EQ(b.host.progressCalls().back(), std::make_pair(int32(3), int32(10)));
    // Outside the final pass the no-argument form answers before the flag.
    endFilteringRun();
    EXPECT_FALSE(progressUpdate());
    EXPECT_TRUE(progressUpdate(1));
    // A new run starts without the old cancel.
    beginFilteringRun(true);
    EXPECT_FALSE(globalUserCancelled);
}

TEST(Progress, WorkerFormOnlyReadsTheFlag) {
    Bound b(rgb(30, 30));
    beginFilteringRun(true);
    EXPECT_FALSE(threadedProgressUpdate(5));
    EXPECT_TRUE(b.host.progressCalls().empty());
    EXPECT_FALSE(threadedProgressUpdate(-1));
    EXPECT_EQ(b.host.progressCalls().size(), 1u);
    globalUserCancelled = true;
    EXPECT_TRUE(threadedProgressUpdate(5));
}

TEST(AdvanceState, ErrorIsShownWithItsCode) {
    Bound b(rgb(30, 30));
    EXPECT_NE(advanceFilterStateFrom1or3channels(VRect{0, 0, 40, 40}), noErr);
    ASSERT_EQ(b.host.alerts().size(), 1u);
    EXPECT_EQ(b.host.alerts()[0], "(Vexlor) Advance state error:" + std::to_string(filterBadParameters));
}

TEST(AdvanceState, RequestsOneOrThreePlanes) {
    Bound grey(Document(plugInModeGrayScale, 30, 30));
    ASSERT_EQ(advanceFilterStateFrom1or3channels(VRect{0, 0, 30, 30}), noErr);
    EXPECT_EQ(grey.host.advanceCalls().back().inHiPlane, 0);
    EXPECT_EQ(grey.host.advanceCalls().back().outHiPlane, 0);
}

TEST(Planes, FourPlanesGiveTheAlertAndThree) {
    Bound b(Document(plugInModeCMYKColor, 30, 30));
    EXPECT_EQ(getExpectedImagePlanesAssuming1or3channels(), 3);
    ASSERT_EQ(b.host.alerts().size(), 1u);
    EXPECT_EQ(b.host.alerts()[0], "(Vexlor) Unexpected number of image planes.  Please contact support.");
    EXPECT_FALSE(imageHasOneOrThreePlanes());
    EXPECT_EQ(b.host.result(), userCanceledErr);
}

TEST(Planes, DepthZeroMeansEight) {
    HostOptions o;
    o.depthField = 0;
    Bound b(rgb(30, 30), o);
    EXPECT_EQ(getFilterDepth(), 8);
}

struct DisplayModeCase {
    int16 mode, display;
};
class DisplayModes : public testing::TestWithParam<DisplayModeCase> {};
TEST_P(DisplayModes, DeepModesMapToTheirEightBitKin) {
    EXPECT_EQ(DisplayPixelsMode(GetParam().mode), GetParam().display);
}
INSTANTIATE_TEST_SUITE_P(Table, DisplayModes,
                         testing::Values(DisplayModeCase{10, 1}, DisplayModeCase{17, 1}, DisplayModeCase{11, 3},
                                         DisplayModeCase{16, 3}, DisplayModeCase{12, 9}, DisplayModeCase{13, 4},
                                         DisplayModeCase{14, 7}, DisplayModeCase{15, 8}, DisplayModeCase{3, 3},
                                         DisplayModeCase{9, 9}));

TEST(Rectangles, SixteenBitFormsWithoutTheBigDocumentRecord) {
    HostOptions o;
    o.bigDocument = false;
    Bound b(Document(plugInModeRGBColor, 400, 300), o);
    const VRect f = GetFilterRect();
    EXPECT_EQ(f.bottom, 300);
    EXPECT_EQ(f.right, 400);
    SetInRect(VRect{10, 20, 30, 40});
    EXPECT_EQ(b.host.record().inRect.left, 20);
    SetInRect(VRect{0, 0, 40000, 10});
    EXPECT_EQ(GetInRect().bottom, -25536);
}

TEST(Rectangles, ThirtyTwoBitFormsOnceAnnounced) {
    Bound b(rgb(30, 30));
    ASSERT_EQ(b.host.record().bigDocumentData->PluginUsing32BitCoordinates, 1);
    const Rect before = b.host.record().inRect;
    SetInRect(VRect{0, 0, 40000, 10});
    EXPECT_EQ(GetInRect().bottom, 40000);
    EXPECT_EQ(b.host.record().inRect.bottom, before.bottom);
}

TEST(Rectangles, RecordWithTheFlagClearUsesSixteenBits) {
    Bound b(rgb(30, 30));
    b.host.record().bigDocumentData->PluginUsing32BitCoordinates = 0;
    SetInRect(VRect{1, 2, 3, 4});
    EXPECT_EQ(b.host.record().inRect.right, 4);
}

TEST(Modes, PlaneCountsSpacesAndPower) {
    EXPECT_EQ(CSPlanesFromMode(3, 0), 3);
    EXPECT_EQ(CSPlanesFromMode(4, 0), 4);
    EXPECT_EQ(CSPlanesFromMode(7, 0), 0);
    EXPECT_EQ(CSPlanesFromMode(14, 5), 5);
    EXPECT_EQ(CSPlanesFromMode(18, 2), 2);
    EXPECT_EQ(CSPlanesFromMode(65535, 0), 0);
    EXPECT_EQ(CSModeToSpace(9), 3);
    EXPECT_EQ(CSModeToSpace(0), -1);
    EXPECT_EQ(CSModeToSpace(18), -1);
    EXPECT_EQ(power(2, 3), 8.0);
    EXPECT_EQ(power(7, 0), 1.0);
    EXPECT_EQ(power(0, 0), 1.0);
    EXPECT_EQ(power(10, 2), 100.0);
    int16 color[4] = {1, 2, 3, 4};
    EXPECT_EQ(HostCSConvertColor(nullptr, 0, 3, color), errPlugInHostInsufficient);
    EXPECT_EQ(color[0], 1);
    EXPECT_EQ(HostCSConvertColor([](ColorServicesInfo*) -> OSErr { return noErr; }, 0, 3, nullptr),
              errMissingParameter);
}

TEST(Alerts, NumbersFollowTheTextDirectly) {
    Bound b(rgb(30, 30));
    doAlertBox("(Vexlor) Advance state error:", -1);
    doAlertBox("Time: ", 2500000);
    ASSERT_EQ(b.host.alerts().size(), 2u);
    EXPECT_EQ(b.host.alerts()[0], "(Vexlor) Advance state error:-1");
    EXPECT_EQ(b.host.alerts()[1], "Time: 2.5e+06");
    EXPECT_EQ(stringify(42), "42");
    EXPECT_EQ(stringify(0.25), "0.25");
    EXPECT_EQ(stringify(1234567), "1.23457e+06");
}

TEST(Alerts, CodeZeroShowsNothingAndAFailedAlertOnlyWritesALine) {
    Bound b(rgb(30, 30));
    CFStringRef s = CFStringCreateWithCString(nullptr, "x", kCFStringEncodingASCII);
    doErrorAlert(0, s);
    EXPECT_TRUE(b.host.alerts().empty());
    CarbonStandInFailAlertCreation(1);
    testing::internal::CaptureStderr();
    doAlertBox("lost");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Cannot create alert!\n");
    EXPECT_TRUE(b.host.alerts().empty());
    CFRelease(s);
}

TEST(ParameterBlock, OutOfRangeIndexThrows) {
    ParamBlock block{};
    try {
        block.values[26] = 1;
        FAIL();
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "array<>: index out of range");
    }
    EXPECT_THROW(block.flags[9], std::out_of_range);
}
