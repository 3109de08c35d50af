// Zoom clamping and stepping, point translation, the overview fit, the
// shown rectangle per pane and zoom, and the preview's keys in the registry
// and scripting descriptors.
#include <limits>
#include <stdexcept>
#include <tuple>

#include "PIActions.h"
#include "entry/persistence.h"
#include "preview/proxy_persistence.h"
#include "preview/proxy_source.h"
#include "preview_support.h"

using namespace preview_test;
using refhost::Descriptor;
using refhost::DescriptorEntry;

namespace {

const int32 kMax = std::numeric_limits<int32>::max();
const int32 kMin = std::numeric_limits<int32>::min();

class ProxyState : public PreviewTest {};

TEST_F(ProxyState, InitialValues) {
    const previewProxyData d;
    EXPECT_EQ(d.scWidth, 2);
    EXPECT_EQ(d.scHeight, 2);
    EXPECT_EQ(d.scPlaneSize, 4);
    EXPECT_EQ(d.zoomMode, 1);
    EXPECT_EQ(d.zoomFactor, 1);
    EXPECT_EQ(d.windowWidth, 1920);
    EXPECT_EQ(d.windowHeight, 1080);
    EXPECT_EQ(d.storedWidth, 1920);
    EXPECT_EQ(d.storedHeight, 1080);
    EXPECT_EQ(d.sourcePtr, nullptr);
    EXPECT_EQ(d.allotedWidth, 0);
}

struct ClampCase {
    int32 stored, clamped;
};
class ClampZoom : public ProxyState, public ::testing::WithParamInterface<ClampCase> {};
TEST_P(ClampZoom, Table) {
    pData.zoomFactor = GetParam().stored;
    clampZoom();
    EXPECT_EQ(pData.zoomFactor, GetParam().clamped);
}
INSTANTIATE_TEST_SUITE_P(Cases, ClampZoom,
                         ::testing::Values(ClampCase{kMin, 1}, ClampCase{-1, 1}, ClampCase{0, 1}, ClampCase{1, 1},
                                           ClampCase{2, 2}, ClampCase{3, 3}, ClampCase{4, 4}, ClampCase{5, 4},
                                           ClampCase{kMax, 4}));

// A large pane, so that set-up keeps every factor.
struct StepCase {
    int32 factor, step, expected;
    bool changed;
};
class RelativeZoom : public ProxyState, public ::testing::WithParamInterface<StepCase> {};
TEST_P(RelativeZoom, Table) {
    const StepCase& c = GetParam();
    bind(plugInModeRGBColor, 400, 300, 800, 600);
    pData.zoomFactor = c.factor;
    EXPECT_EQ(changeRelativeZoomLevel(VRect{}, c.step), c.changed);
    EXPECT_EQ(pData.zoomFactor, c.expected);
    EXPECT_EQ(pData.sourcePtr != nullptr, c.changed);
}
INSTANTIATE_TEST_SUITE_P(Cases, RelativeZoom,
                         ::testing::Values(StepCase{1, -1, 2, true}, StepCase{2, -1, 4, true},
                                           StepCase{4, 1, 2, true}, StepCase{2, 1, 1, true},
                                           StepCase{3, -1, 4, true}, StepCase{3, 1, 2, true},
                                           // Past the ends: stepped out, clamped back, set up again.
                                           StepCase{4, -1, 4, true}, StepCase{1, 1, 1, true},
                                           StepCase{2, 0, 2, false}));

TEST_F(ProxyState, ChangeZoomLevelOnlyWhenItChangesOrIsForced) {
    bind(plugInModeRGBColor, 400, 300, 800, 600);
    pData.zoomFactor = 2;
    EXPECT_FALSE(changeZoomLevel(2, 0));
    EXPECT_EQ(pData.sourcePtr, nullptr);
    EXPECT_TRUE(changeZoomLevel(2, 1));
    EXPECT_NE(pData.sourcePtr, nullptr);
    EXPECT_TRUE(changeZoomLevel(4, 0));
    EXPECT_EQ(pData.zoomFactor, 4);
}

TEST_F(ProxyState, RoundingDownForZoom) {
    EXPECT_EQ(roundWidthDownForZoom(215), 208);
    EXPECT_EQ(roundWidthDownForZoom(-9), -8);
    EXPECT_EQ(roundHeightDownForZoom(350), 348);
}

struct TranslateCase {
    int32 from, to;
    VPoint p, out;
};
class TranslatePoint : public ProxyState, public ::testing::WithParamInterface<TranslateCase> {};
TEST_P(TranslatePoint, Table) {
    const TranslateCase& c = GetParam();
    bind(plugInModeRGBColor, 400, 300, 208, 348);
    VPoint out{};
    translatePointForZoom(c.from, c.to, c.p, out);
    EXPECT_EQ(out.v, c.out.v);
    EXPECT_EQ(out.h, c.out.h);
}
INSTANTIATE_TEST_SUITE_P(Cases, TranslatePoint,
                         ::testing::Values(TranslateCase{1, 2, {10, 20}, {5, 10}},
                                           TranslateCase{2, 1, {5, 10}, {10, 20}},
                                           TranslateCase{1, 1, {-7, 3}, {-7, 3}},
                                           TranslateCase{0, 2, {9, 8}, {9, 8}},
                                           TranslateCase{2, 0, {9, 8}, {9, 8}},
                                           // Damaged stored state: no wrap in 32 bits.
                                           TranslateCase{1, 1, {kMax, kMin}, {kMax, kMin}},
                                           TranslateCase{1, 2, {kMax, kMax}, {kMax / 2, kMax / 2}}));

struct FitCase {
    int32 maxWidth, maxHeight, width, height;
};
class OverviewFit : public ProxyState, public ::testing::WithParamInterface<FitCase> {};
TEST_P(OverviewFit, Table) {
    const FitCase& c = GetParam();
    bind(plugInModeRGBColor, 400, 300, 208, 348);
    int32 w = -1, h = -1, size = -1;
    calcScProxyDimensions(w, h, size, c.maxWidth, c.maxHeight);
    EXPECT_EQ(w, c.width);
    EXPECT_EQ(h, c.height);
    EXPECT_EQ(size, w * h);
    EXPECT_EQ(GetInRect().right, 400);
}
INSTANTIATE_TEST_SUITE_P(Cases, OverviewFit,
                         ::testing::Values(FitCase{500, 500, 400, 300}, FitCase{160, 120, 160, 120},
                                           FitCase{100, 200, 100, 75}, FitCase{400, 120, 160, 120},
                                           FitCase{400, 300, 400, 300}, FitCase{0, 120, 0, 0},
                                           FitCase{160, -5, 0, 0}));

// The shown rectangle for a pane, a stored zoom and stored offsets.
struct ShownCase {
    const char* name;
    int32 docWidth, docHeight;
    VRect filter;  // empty: the whole image
    int32 paneWidth, paneHeight;
    int32 zoom, offsetH, offsetV;
    int32 zoomAfter, scWidth, scHeight;
    VRect shown;
    int32 offsetHAfter, offsetVAfter;
};
class ShownRectangle : public ProxyState, public ::testing::WithParamInterface<ShownCase> {};
TEST_P(ShownRectangle, Table) {
    const ShownCase& c = GetParam();
    bindSelection(plugInModeRGBColor, c.docWidth, c.docHeight, c.filter, c.paneWidth, c.paneHeight);
    pData.zoomFactor = c.zoom;
    pData.zoomMode = 5;
    pData.offsetH = c.offsetH;
    pData.offsetV = c.offsetV;
    calcZoomedProxyDimensions();
    EXPECT_EQ(pData.zoomMode, 1);
    EXPECT_EQ(pData.zoomFactor, c.zoomAfter);
    EXPECT_EQ(pData.scWidth, c.scWidth);
    EXPECT_EQ(pData.scHeight, c.scHeight);
    EXPECT_EQ(pData.scPlaneSize, c.scWidth * c.scHeight);
    const VRect in = GetInRect();
    EXPECT_EQ(in.top, c.shown.top);
    EXPECT_EQ(in.left, c.shown.left);
    EXPECT_EQ(in.bottom, c.shown.bottom);
    EXPECT_EQ(in.right, c.shown.right);
    EXPECT_EQ(pData.offsetH, c.offsetHAfter);
    EXPECT_EQ(pData.offsetV, c.offsetVAfter);
    // The same rectangle from the clamping steps alone.
    clampZoomedProxyOffsets();
    EXPECT_EQ(GetInRect().left, c.shown.left);
    EXPECT_EQ(GetInRect().top, c.shown.top);
}
const VRect kWhole = {0, 0, 0, 0};
const VRect kAway = {100, 500, 700, 1000};
INSTANTIATE_TEST_SUITE_P(
    Cases, ShownRectangle,
    ::testing::Values(
        ShownCase{"TemplatePaneZoom1", 400, 300, kWhole, 208, 348, 1, 0, 0, 1, 104, 300, {0, 148, 300, 252}, 0, 0},
        ShownCase{"TemplatePaneZoom2", 400, 300, kWhole, 208, 348, 2, 0, 0, 2, 52, 174, {63, 174, 237, 226}, 0, 0},
        ShownCase{"TemplatePaneZoom4", 400, 300, kWhole, 208, 348, 4, 0, 0, 4, 26, 87, {106, 187, 193, 213}, 0, 0},
        ShownCase{"FallsTo3", 400, 300, kWhole, 192, 96, 4, 0, 0, 3, 32, 32, {134, 184, 166, 216}, 0, 0},
        ShownCase{"FallsTo2", 400, 300, kWhole, 128, 64, 4, 0, 0, 2, 32, 32, {134, 184, 166, 216}, 0, 0},
        ShownCase{"FallsTo1", 400, 300, kWhole, 96, 48, 4, 0, 0, 1, 48, 48, {126, 176, 174, 224}, 0, 0},
        ShownCase{"StoredZero", 400, 300, kWhole, 208, 348, 0, 0, 0, 1, 104, 300, {0, 148, 300, 252}, 0, 0},
        ShownCase{"StoredMinusOne", 400, 300, kWhole, 208, 348, -1, 0, 0, 1, 104, 300, {0, 148, 300, 252}, 0, 0},
        ShownCase{"StoredThree", 400, 300, kWhole, 208, 348, 3, 0, 0, 3, 34, 116, {92, 183, 208, 217}, 0, 0},
        ShownCase{"StoredFive", 400, 300, kWhole, 208, 348, 5, 0, 0, 4, 26, 87, {106, 187, 193, 213}, 0, 0},
        ShownCase{"NarrowImageStartsAtColumn0", 40, 300, kWhole, 208, 348, 1, -7, 0, 1, 40, 300, {0, 0, 300, 40},
                  0, 0},
        ShownCase{"OffsetsClampOnTheEdges", 400, 300, kWhole, 208, 348, 1, 1000, -1000, 1, 104, 300,
                  {0, 296, 300, 400}, 148, 0},
        ShownCase{"Int32Extremes", 400, 300, kWhole, 208, 348, 2, kMax, kMin, 2, 52, 174, {0, 348, 174, 400}, 174,
                  -63},
        ShownCase{"Int32ExtremesReversed", 400, 300, kWhole, 208, 348, 2, kMin, kMax, 2, 52, 174,
                  {126, 0, 300, 52}, -174, 63},
        ShownCase{"SelectionAtTheOrigin", 1200, 800, {0, 0, 600, 500}, 208, 348, 1, 0, 0, 1, 104, 348,
                  {126, 198, 474, 302}, 0, 0},
        ShownCase{"SelectionAwayFromTheOrigin", 1200, 800, kAway, 208, 348, 1, 0, 0, 1, 104, 348,
                  {226, 698, 574, 802}, 0, 0},
        ShownCase{"SelectionAwayClampedOnItsEdges", 1200, 800, kAway, 208, 348, 1, 1000, -1000, 1, 104, 348,
                  {100, 896, 448, 1000}, 198, -126},
        ShownCase{"SelectionAwayAtZoom4", 1200, 800, kAway, 800, 740, 4, kMin, kMax, 4, 100, 185,
                  {515, 500, 700, 600}, -200, 208}),
    [](const ::testing::TestParamInfo<ShownCase>& i) { return std::string(i.param.name); });

TEST_F(ProxyState, FitModeWrapNeverDividesByZero) {
    bind(plugInModeRGBColor, 400, 300, 0, 0);
    EXPECT_EQ(findFitModeWrap(), 401);
    pData.allotedWidth = -3;
    pData.allotedHeight = 100;
    EXPECT_EQ(findFitModeWrap(), 401);
    pData.allotedWidth = 200;
    EXPECT_EQ(findFitModeWrap(), 4);
}

TEST_F(ProxyState, GettersFollowTheState) {
    bind(plugInModeRGBColor, 400, 300, 208, 348);
    pData.zoomFactor = 2;
    ASSERT_EQ(SetupProxy(), noErr);
    EXPECT_EQ(proxyGetScWidth(), 52);
    EXPECT_EQ(proxyGetScHeight(), 174);
    EXPECT_EQ(proxyGetScPlaneSize(), 52 * 174);
    EXPECT_EQ(proxyGetDisplayWidth(), 208);
    EXPECT_EQ(proxyGetDisplayHeight(), 348);
    EXPECT_EQ(proxyGetWidthAlloted(), 104);
    EXPECT_EQ(proxyGetHeightAlloted(), 348);
    EXPECT_EQ(proxyPlanesToMakeMemoryFor(), 3);
    EXPECT_EQ(proxyMemSize, 52 * 174 * 3);
    EXPECT_TRUE(doZoom());
    EXPECT_TRUE(renderingProxy);
    unSetupProxy();
    EXPECT_FALSE(renderingProxy);
    EXPECT_EQ(pData.sourcePtr, nullptr);
    EXPECT_EQ(overviewProxyClassObject.data, nullptr);
}

// Each proxy buffer holds the plane size times the image's planes, at
// least three; the proxies held before are released first.
TEST_F(ProxyState, CreateProxyBuffersReleasesThenAllocatesBoth) {
    struct Case {
        int16 mode;
        int64_t planes;
    };
    const Case cases[] = {{plugInModeRGBColor, 3}, {plugInModeGrayScale, 3}, {plugInModeCMYKColor, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        bind(c.mode, 64, 48, 208, 348);
        const int64_t others = liveBuffers();  // the colour tables'
        pData.scPlaneSize = 10 * 7;
        const int64_t bytes = 70 * c.planes;
        createProxyBuffers();
        EXPECT_EQ(proxyMemSize, bytes);
        ASSERT_NE(pData.sourcePtr, nullptr);
        ASSERT_NE(pData.outputPtr, nullptr);
        EXPECT_TRUE(host().buffers().holdsRange(pData.sourcePtr, 0, bytes - 1));
        EXPECT_TRUE(host().buffers().holdsRange(pData.outputPtr, 0, bytes - 1));
        EXPECT_EQ(liveBuffers(), others + 2);

        const BufferID oldSource = pData.sourceBufferID, oldOutput = pData.outputBufferID;
        const size_t events = host().buffers().log().size();
        createProxyBuffers();
        const auto& log = host().buffers().log();
        ASSERT_EQ(log.size(), events + 4);
        EXPECT_FALSE(log[events].allocation);
        EXPECT_EQ(log[events].id, oldSource);
        EXPECT_FALSE(log[events + 1].allocation);
        EXPECT_EQ(log[events + 1].id, oldOutput);
        for (size_t i = events + 2; i < events + 4; ++i) {
            EXPECT_TRUE(log[i].allocation);
            EXPECT_EQ(log[i].size, bytes);
        }
        EXPECT_EQ(liveBuffers(), others + 2);
        deleteProxyBuffers();
    }
}

TEST_F(ProxyState, ARefusedProxyBufferStaysEmpty) {
    bind(plugInModeRGBColor, 64, 48, 208, 348);
    const int64_t others = liveBuffers();  // the colour tables'
    pData.scPlaneSize = 12;
    refuseAllocation(1);
    createProxyBuffers();
    EXPECT_EQ(pData.sourceBufferID, nullptr);
    EXPECT_EQ(pData.sourcePtr, nullptr);
    EXPECT_NE(pData.outputPtr, nullptr);
    EXPECT_EQ(proxyMemSize, 36);
    EXPECT_EQ(liveBuffers(), others + 1);
    deleteProxyBuffers();
    EXPECT_EQ(liveBuffers(), others);
}

// The proxy reader's timing hooks do nothing at all.
TEST_F(ProxyState, TheTimersTouchNothing) {
    refhost::Host& h = bind(plugInModeRGBColor, 64, 48, 208, 348);
    ASSERT_EQ(SetupProxy(), noErr);
    const previewProxyData before = pData;
    const std::vector<uint8> source(pData.sourcePtr, pData.sourcePtr + proxyMemSize);
    const size_t buffers = h.buffers().log().size(), advances = h.advanceCalls().size();
    const VRect in = GetInRect();
    startTimerOne();
    showTimerOne();
    auto state = [](const previewProxyData& d) {
        return std::make_tuple(d.sourceBufferID, d.outputBufferID, d.scWidth, d.scHeight, d.offsetH, d.offsetV,
                               d.zoomFactor, d.zoomMode);
    };
    EXPECT_TRUE(state(pData) == state(before));
    EXPECT_EQ(std::vector<uint8>(pData.sourcePtr, pData.sourcePtr + proxyMemSize), source);
    EXPECT_EQ(h.buffers().log().size(), buffers);
    EXPECT_EQ(h.advanceCalls().size(), advances);
    EXPECT_EQ(GetInRect().top, in.top);
    EXPECT_EQ(GetInRect().right, in.right);
    EXPECT_TRUE(h.alerts().empty());
}

TEST_F(ProxyState, RectangleHelpers) {
    const VRect r = VRectFromPoints(makeVPoint(9, 2), makeVPoint(3, 7));
    EXPECT_EQ(r.top, 3);
    EXPECT_EQ(r.left, 2);
    EXPECT_EQ(r.bottom, 9);
    EXPECT_EQ(r.right, 7);
    EXPECT_EQ(VRectGetArea(r), 30);
    EXPECT_EQ(VRectGetArea(VRect{0, kMin, 2, kMax}), 2 * (int64_t(kMax) - kMin));
    EXPECT_EQ(int32abs(-5), 5);
    EXPECT_EQ(int32abs(kMin), kMax);
}

// Persistence -----------------------------------------------------------------

const char* const kRegistryOrder[] = {"Zoom", "Zmoh", "Zmov", "Zmfh", "Zmfv", "Zmww",
                                      "Zmwh", "Zmpw", "Zmph", "Zmsz", "Zmrm", "Zm00"};
const char* const kScriptingOrder[] = {"Zoom", "Zmoh", "Zmov", "Zmfh", "Zmfv", "Zmww", "Zmwh", "Zmsz", "Zmrm", "Zm00"};

// The preview state's key table, the first nine of the registry's.
TEST(ProxyKeys, TheTableHoldsThePreviewStatesNineKeys) {
    const char* const expected[] = {"Zoom", "Zmoh", "Zmov", "Zmfh", "Zmfv", "Zmww", "Zmwh", "Zmpw", "Zmph"};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(refhost::keyName(keyProxyParams[i]), expected[i]) << i;
    EXPECT_THROW(keyProxyParams[9], std::out_of_range);
}

void setDistinctState() {
    pData.zoomMode = 2;
    pData.offsetH = -17;
    pData.offsetV = kMax;
    pData.focalH = 33;
    pData.focalV = kMin;
    pData.windowWidth = 1280;
    pData.windowHeight = 720;
    pData.storedWidth = 11;
    pData.storedHeight = 12;
    pData.zoomFactor = 3;
    pData.readManual = 1;
    pData.showAdvanced = 1;
}

bool sameState(const previewProxyData& a, const previewProxyData& b) {
    return a.zoomMode == b.zoomMode && a.offsetH == b.offsetH && a.offsetV == b.offsetV && a.focalH == b.focalH &&
           a.focalV == b.focalV && a.windowWidth == b.windowWidth && a.windowHeight == b.windowHeight &&
           a.storedWidth == b.storedWidth && a.storedHeight == b.storedHeight && a.zoomFactor == b.zoomFactor &&
           a.readManual == b.readManual && a.showAdvanced == b.showAdvanced;
}

TEST_F(ProxyState, RegistryRoundTripOfThePreviewKeys) {
    bind(plugInModeRGBColor, 64, 64, 208, 348);
    setDistinctState();
    const previewProxyData written = pData;
    ASSERT_EQ(WriteRegistryParameters(), noErr);
    const Descriptor& d = host().registry()[kRegistryKey];
    // The preview's keys follow the parameters, in their order, as integers.
    ASSERT_GE(d.size(), 12u);
    for (size_t k = 0; k < 12; ++k) {
        const DescriptorEntry& e = d[d.size() - 12 + k];
        EXPECT_EQ(refhost::keyName(e.key), kRegistryOrder[k]);
        EXPECT_EQ(e.type, typeInteger);
    }
    pData = previewProxyData();
    EXPECT_EQ(ReadRegistryParameters(), noErr);
    EXPECT_TRUE(sameState(pData, written));
}

TEST_F(ProxyState, ARegistryWithoutThePreviewKeysLeavesTheStateInitial) {
    bind(plugInModeRGBColor, 64, 64, 208, 348);
    ASSERT_EQ(WriteRegistryParameters(), noErr);
    Descriptor& d = host().registry()[kRegistryKey];
    d.resize(d.size() - 12);
    EXPECT_EQ(ReadRegistryParameters(), errMissingParameter);
    EXPECT_TRUE(sameState(pData, previewProxyData()));
}

TEST_F(ProxyState, ARegistryReadStopsAtTheFirstMissingKey) {
    bind(plugInModeRGBColor, 64, 64, 208, 348);
    setDistinctState();
    ASSERT_EQ(WriteRegistryParameters(), noErr);
    Descriptor& d = host().registry()[kRegistryKey];
    d.erase(d.end() - 12 + 3);  // Zmfh
    pData = previewProxyData();
    EXPECT_EQ(ReadRegistryParameters(), errMissingParameter);
    EXPECT_EQ(pData.zoomMode, 2);
    EXPECT_EQ(pData.offsetV, kMax);
    EXPECT_EQ(pData.focalH, 0);
    EXPECT_EQ(pData.zoomFactor, 1);
}

TEST_F(ProxyState, ScriptingWritesTenKeysInOrder) {
    bind(plugInModeRGBColor, 64, 64, 208, 348);
    setDistinctState();
    ASSERT_EQ(WriteScriptParameters(), noErr);
    const Descriptor d = *host().scriptDescriptor();
    ASSERT_GE(d.size(), 10u);
    for (size_t k = 0; k < 10; ++k) {
        const DescriptorEntry& e = d[d.size() - 10 + k];
        EXPECT_EQ(refhost::keyName(e.key), kScriptingOrder[k]);
        EXPECT_EQ(e.type, typeInteger);
    }
    EXPECT_EQ(refhost::findEntry(d, refhost::keyFromName("Zmoh"))->i, -17);
    EXPECT_EQ(refhost::findEntry(d, refhost::keyFromName("Zm00"))->i, 1);
}

// Hosts whose suites lack the integer procedures, and writes that fail.
int putCalls = 0;
OSErr putFailingSecond(PIWriteDescriptor, DescriptorKeyID, int32) { return ++putCalls == 2 ? OSErr(-5) : OSErr(noErr); }
SPErr putIntegerFailingThird(PIActionDescriptor, DescriptorKeyID, int32) {
    return ++putCalls >= 3 ? SPErr(-7 - putCalls) : kSPNoError;
}
OSErr getIntegerFortyTwo(PIReadDescriptor, int32* v) {
    *v = 42;
    return noErr;
}

TEST_F(ProxyState, MissingIntegerProceduresAreReported) {
    bind(plugInModeRGBColor, 64, 64, 208, 348);
    PSActionDescriptorProcs actions{};
    EXPECT_EQ(proxyReadRegistry(&actions, nullptr), errPlugInHostInsufficient);
    EXPECT_EQ(proxyWriteRegistry(&actions, nullptr), errPlugInHostInsufficient);
    EXPECT_EQ(proxyReadRegistry(nullptr, nullptr), errPlugInHostInsufficient);
    WriteDescriptorProcs write{};
    EXPECT_EQ(proxyWriteScripting(&write, nullptr), errPlugInHostInsufficient);
    ReadDescriptorProcs read{};
    EXPECT_EQ(proxyReadScripting(&read, nullptr, FourCC("Zmsz")), errPlugInHostInsufficient);
}

TEST_F(ProxyState, WritesReportTheFirstFailure) {
    bind(plugInModeRGBColor, 64, 64, 208, 348);
    WriteDescriptorProcs write{};
    write.putIntegerProc = putFailingSecond;
    putCalls = 0;
    EXPECT_EQ(proxyWriteScripting(&write, nullptr), -5);
    EXPECT_EQ(putCalls, 10);
    PSActionDescriptorProcs actions{};
    actions.PutInteger = putIntegerFailingThird;
    putCalls = 0;
    EXPECT_EQ(proxyWriteRegistry(&actions, nullptr), -10);
}

TEST_F(ProxyState, AFailedPreviewWriteRegistersNothing) {
    bind(plugInModeRGBColor, 64, 64, 208, 348);
    static PSActionDescriptorProcs failing;
    const void* suite = nullptr;
    ASSERT_EQ(host().record().sSPBasic->AcquireSuite(kPSActionDescriptorSuite, kPSActionDescriptorSuiteVersion,
                                                      &suite),
              kSPNoError);
    failing = *static_cast<const PSActionDescriptorProcs*>(suite);
    host().record().sSPBasic->ReleaseSuite(kPSActionDescriptorSuite, kPSActionDescriptorSuiteVersion);
    failing.PutInteger = putIntegerFailingThird;
    host().provideSuite(kPSActionDescriptorSuite, kPSActionDescriptorSuiteVersion, &failing);
    putCalls = 0;
    EXPECT_EQ(WriteRegistryParameters(), -10);
    EXPECT_EQ(host().registry().count(kRegistryKey), 0u);
    EXPECT_EQ(host().liveActionDescriptors(), 0);
}

TEST_F(ProxyState, ReadScriptingStoresOneKey) {
    bind(plugInModeRGBColor, 64, 64, 208, 348);
    ReadDescriptorProcs read{};
    read.getIntegerProc = getIntegerFortyTwo;
    EXPECT_EQ(proxyReadScripting(&read, nullptr, FourCC("Zmoh")), noErr);
    EXPECT_EQ(pData.offsetH, 42);
    EXPECT_EQ(proxyReadScripting(&read, nullptr, FourCC("Zm00")), noErr);
    EXPECT_EQ(pData.showAdvanced, 42);
    EXPECT_EQ(proxyReadScripting(&read, nullptr, FourCC("Xyzw")), -19);
}

TEST_F(ProxyState, ReadManualCountsOnceWhereTheRegistryWorks) {
    bind(plugInModeRGBColor, 64, 64, 208, 348);
    bugUserToReadManual();
    bugUserToReadManual();
    EXPECT_EQ(pData.readManual, 1);
}

}  // namespace
