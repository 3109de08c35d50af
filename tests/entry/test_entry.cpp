// The entry foundation in process: selectors, memory plan, host buffers,
// progress and cancel, advance state, rectangles, modes and alerts.
#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <sstream>

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

// The 16-bit rectangle arithmetic: each result is cut to its low 16 bits
// with their sign, the product of ScaleRect wraps in 32 bits and the
// quotient truncates toward zero.  Expected values worked by hand.
struct RectCase {
    const char* name;
    void (*op)(VRect&, int16, int16);  // ScaleRect (num, den) or ShrinkRect (dx, dy)
    VRect before;
    int16 a, b;
    VRect after;
};
class SixteenBitRects : public testing::TestWithParam<RectCase> {};
TEST_P(SixteenBitRects, Table) {
    const RectCase& c = GetParam();
    VRect r = c.before;
    c.op(r, c.a, c.b);
    EXPECT_EQ(r.top, c.after.top);
    EXPECT_EQ(r.left, c.after.left);
    EXPECT_EQ(r.bottom, c.after.bottom);
    EXPECT_EQ(r.right, c.after.right);
}
INSTANTIATE_TEST_SUITE_P(
    Table, SixteenBitRects,
    testing::Values(RectCase{"ScaleThreeHalves", ScaleRect, {10, 11, 21, 31}, 3, 2, {15, 16, 31, 46}},
                    RectCase{"ScaleDenominatorZeroLeavesIt", ScaleRect, {10, 11, 21, 31}, 3, 0, {10, 11, 21, 31}},
                    RectCase{"ScaleHalvesTruncateTowardZero", ScaleRect, {-7, -1, 7, 1}, 1, 2, {-3, 0, 3, 0}},
                    RectCase{"ScaleNegativeDenominator", ScaleRect, {-7, 9, 8, -9}, 1, -2, {3, -4, -4, 4}},
                    // 40000 - 65536.
                    RectCase{"ScaleQuotientCutTo16Bits", ScaleRect, {20000, 0, 0, 0}, 2, 1, {-25536, 0, 0, 0}},
                    // 70000 x 32767 = 2293690000 wraps to -2001277296 = -30537 x 65536 - 4464;
                    // / 3 = -667092432 = -10179 x 65536 - 1488.
                    RectCase{"ScaleProductWrapsIn32Bits", ScaleRect, {70000, 70000, 0, 0}, 32767, 1,
                             {-4464, -4464, 0, 0}},
                    RectCase{"ScaleWrappedProductDivided", ScaleRect, {70000, 0, 0, 0}, 32767, 3, {-1488, 0, 0, 0}},
                    // -2^31 / -1 = 2^31, whose low 16 bits are 0: no trap.
                    RectCase{"ScaleMostNegativeByMinusOne", ScaleRect, {INT32_MIN, 0, 0, 0}, 1, -1, {0, 0, 0, 0}},
                    RectCase{"ShrinkInward", ShrinkRect, {10, 11, 21, 31}, 1, 2, {12, 12, 19, 30}},
                    RectCase{"ShrinkNegativeGrows", ShrinkRect, {10, 11, 21, 31}, -3, -4, {6, 8, 25, 34}},
                    RectCase{"ShrinkWrapsAtTheEnds", ShrinkRect, {-32768, 32767, 32767, -32768}, 1, -1,
                             {32767, -32768, -32768, 32767}},
                    // 70000 - 65536: every coordinate is held in 16 bits.
                    RectCase{"ShrinkLargeValuesCut", ShrinkRect, {70000, 70000, 70000, 70000}, 0, 0,
                             {4464, 4464, 4464, 4464}}),
    [](const testing::TestParamInfo<RectCase>& i) { return std::string(i.param.name); });

TEST(Rectangles, CopyRectCopiesTheFourCoordinates) {
    VRect dst{1, 2, 3, 4};
    CopyRect(dst, VRect{-70000, 5, 70000, INT32_MAX});
    EXPECT_EQ(dst.top, -70000);
    EXPECT_EQ(dst.left, 5);
    EXPECT_EQ(dst.bottom, 70000);
    EXPECT_EQ(dst.right, INT32_MAX);
}

TEST(Colors, SetAndCopyFourBytes) {
    uint8 a[4] = {9, 9, 9, 9};
    SetColor(a, 0, 127, 128, 255);
    EXPECT_EQ(a[0], 0);
    EXPECT_EQ(a[1], 127);
    EXPECT_EQ(a[2], 128);
    EXPECT_EQ(a[3], 255);
    uint8 b[6] = {1, 1, 1, 1, 1, 1};
    CopyColor(b + 1, a);
    const uint8 expected[6] = {1, 0, 127, 128, 255, 1};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(b[i], expected[i]) << i;
}

// What the host's colour services were asked, and what they answer.
struct ColorServicesSeen {
    int calls = 0;
    ColorServicesInfo request{};
    int16 answer[4] = {0, 0, 0, 0};
    OSErr result = noErr;
};
ColorServicesSeen colorServicesSeen;
OSErr MACPASCAL recordingColorServices(ColorServicesInfo* info) {
    ++colorServicesSeen.calls;
    colorServicesSeen.request = *info;
    for (int i = 0; i < 4; ++i) info->colorComponents[i] = colorServicesSeen.answer[i];
    return colorServicesSeen.result;
}

struct ConvertCase {
    const char* name;
    int16 mode;       // the argument
    int16 imageMode;  // the document's
    OSErr result;     // the host's answer
    int calls;
    int16 resultSpace;
    uint8 after[4];
};
class ConvertRGBColor : public testing::TestWithParam<ConvertCase> {};
TEST_P(ConvertRGBColor, AsksTheHostForTheDocumentsSpace) {
    const ConvertCase& c = GetParam();
    HostBinding b(Document(c.imageMode, 8, 8));
    colorServicesSeen = ColorServicesSeen{};
    colorServicesSeen.answer[0] = 50;
    colorServicesSeen.answer[1] = 60;
    colorServicesSeen.answer[2] = 70;
    colorServicesSeen.answer[3] = 80;
    colorServicesSeen.result = c.result;
    b.host.record().colorServices = recordingColorServices;
    uint8 color[4] = {200, 100, 0, 255};
    ConvertRGBColorToMode(c.mode, color, &b.host.record());
    ASSERT_EQ(colorServicesSeen.calls, c.calls);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(color[i], c.after[i]) << i;
    if (c.calls == 0) return;
    const ColorServicesInfo& q = colorServicesSeen.request;
    EXPECT_EQ(q.infoSize, 36);
    EXPECT_EQ(q.selector, 1);
    EXPECT_EQ(q.sourceSpace, 0);
    EXPECT_EQ(q.resultSpace, c.resultSpace);
    EXPECT_EQ(q.colorComponents[0], 200);
    EXPECT_EQ(q.colorComponents[1], 100);
    EXPECT_EQ(q.colorComponents[2], 0);
    EXPECT_EQ(q.colorComponents[3], 255);
    EXPECT_EQ(q.selectorParameter.pickerPrompt, nullptr);
}
INSTANTIATE_TEST_SUITE_P(
    Table, ConvertRGBColor,
    testing::Values(ConvertCase{"RGBIsLeftAlone", 3, 3, noErr, 0, 0, {200, 100, 0, 255}},
                    ConvertCase{"LabDocument", 9, 9, noErr, 1, 3, {50, 60, 70, 80}},
                    ConvertCase{"GreyDocument", 1, 1, noErr, 1, 4, {50, 60, 70, 80}},
                    // The result space follows the document, not the argument.
                    ConvertCase{"SpaceOfTheDocumentsMode", 1, 11, noErr, 1, 0, {50, 60, 70, 80}},
                    ConvertCase{"HostErrorKeepsTheColour", 9, 9, -1, 1, 3, {200, 100, 0, 255}}),
    [](const testing::TestParamInfo<ConvertCase>& i) { return std::string(i.param.name); });

TEST(Colors, ConvertWithoutColourServicesOrRecordKeepsTheColour) {
    HostBinding b(Document(plugInModeLabColor, 8, 8));
    b.host.record().colorServices = nullptr;
    uint8 color[4] = {1, 2, 3, 4};
    ConvertRGBColorToMode(plugInModeLabColor, color, &b.host.record());
    ConvertRGBColorToMode(plugInModeLabColor, color, nullptr);
    EXPECT_EQ(color[0], 1);
    EXPECT_EQ(color[3], 4);
}

// The picker's components are unsigned 16-bit values.
TEST(Modes, FromPickerTakesTheHighByte) {
    const uint16 picker[] = {0xFF00, 0x8001, 0x00FF, 0xFFFF, 0x0100, 0x7FFF};
    const uint16 expected[] = {0xFF, 0x80, 0x00, 0xFF, 0x01, 0x7F};
    for (int i = 0; i < 6; ++i) {
        const int16 src[4] = {int16(picker[i]), 0, int16(picker[i]), 0};
        int16 dst[4] = {-1, -1, -1, -1};
        ASSERT_EQ(CSFromPicker(dst, src), noErr);
        EXPECT_EQ(uint16(dst[0]), expected[i]) << std::hex << picker[i];
        EXPECT_EQ(uint16(dst[2]), expected[i]) << std::hex << picker[i];
        EXPECT_EQ(dst[1], 0);
    }
    int16 c[4] = {};
    EXPECT_EQ(CSFromPicker(nullptr, c), errMissingParameter);
    EXPECT_EQ(CSFromPicker(c, nullptr), errMissingParameter);
    EXPECT_EQ(CSToPicker(nullptr, c), errMissingParameter);
}

TEST(Modes, EveryEightBitValueComesBackFromThePicker) {
    for (int v = 0; v < 256; ++v) {
        const int16 src[4] = {int16(v), int16(255 - v), int16(v), int16(v)};
        int16 picker[4], back[4];
        ASSERT_EQ(CSToPicker(picker, src), noErr);
        EXPECT_EQ(uint16(picker[0]), uint16(v * 256)) << v;
        ASSERT_EQ(CSFromPicker(back, picker), noErr);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(back[i], src[i]) << v << " component " << i;
    }
}

TEST(HostBuffers, MemoryDebugVerifyTouchesNothing) {
    Bound b(rgb(30, 30));
    BufferID id = nullptr;
    void* p = nullptr;
    ASSERT_NE(memoryAllocate(64, id, p), nullptr);
    const int64_t buffers = b.host.buffers().allocations(), handles = b.host.handles().allocations();
    memoryDebugVerify();
    EXPECT_EQ(b.host.buffers().allocations(), buffers);
    EXPECT_EQ(b.host.buffers().live(), 1);
    EXPECT_EQ(b.host.handles().allocations(), handles);
    EXPECT_TRUE(b.host.alerts().empty());
    EXPECT_EQ(b.host.result(), noErr);
    memoryRelease(64, id, p);
}

// The alert's number, formatted as a stream formats a double.
std::string timeText(double ticks) {
    std::ostringstream o;
    o << "Time: " << ticks;
    return o.str();
}

// The first call takes the stop time; every later call shows its distance
// from the start given, however much later it comes.
TEST(Clock, TheStopTimeIsTakenOnceAndEveryCallShowsIt) {
    Bound b(rgb(30, 30));
    ASSERT_FALSE(clocksStopped);
    const long before = long(std::clock());
    outputClock(0);
    const long after = long(std::clock());
    EXPECT_TRUE(clocksStopped);
    ASSERT_EQ(b.host.alerts().size(), 1u);
    const std::string first = b.host.alerts()[0];
    // The stop time is the one start within the clock readings around the
    // first call that a later call shows as 0.
    long stop = -1;
    for (long t = before; t <= after && stop < 0; ++t) {
        b.host.clearAlerts();
        outputClock((unsigned long)t);
        if (b.host.alerts().at(0) == "Time: 0") stop = t;
    }
    ASSERT_GE(stop, 0) << "no start between " << before << " and " << after << " shows 0";
    EXPECT_EQ(first, timeText(double(stop)));
    b.host.clearAlerts();
    // Processor time passes; the stop time stays.
    volatile double sink = 0;
    for (long spent = long(std::clock()); long(std::clock()) - spent < CLOCKS_PER_SEC / 50;) sink = sink + 1;
    outputClock((unsigned long)stop);
    outputClock((unsigned long)(stop + 5));
    outputClock((unsigned long)(stop - 2500000));
    ASSERT_EQ(b.host.alerts().size(), 3u);
    EXPECT_EQ(b.host.alerts()[0], "Time: 0");
    EXPECT_EQ(b.host.alerts()[1], "Time: -5");
    EXPECT_EQ(b.host.alerts()[2], "Time: 2.5e+06");
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
