// Reading the shown rectangle, panning, the overview and its red box, and
// clicks and drags in the overview.
#include <cmath>
#include <cstring>
#include <limits>

#include "engine/output_writers.h"
#include "preview/nearest_sample.h"
#include "preview/proxy_source.h"
#include "preview_support.h"

using namespace preview_test;
using refhost::Document;

namespace {

class ProxySource : public PreviewTest {};

struct ReadCase {
    const char* name;
    int16 mode;
    double stored;
    uint8_t read;
};
class SourceReads : public ProxySource, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(SourceReads, Table) {
    const ReadCase& c = GetParam();
    Document doc(c.mode, 40, 30);
    doc.fillPattern();
    putRaw(doc, 7, 5, c.stored);
    bind(std::move(doc), 208, 348);
    ASSERT_EQ(SetupProxy(), noErr);
    ASSERT_EQ(pData.scWidth, 40);
    ASSERT_EQ(pData.scHeight, 30);
    for (int p = 0; p < 3; ++p) EXPECT_EQ(plane(pData.sourcePtr, p)[5 * 40 + 7], c.read) << "plane " << p;
    // Until the first recompute the output shows the source.
    EXPECT_EQ(std::memcmp(pData.outputPtr, pData.sourcePtr, size_t(proxyMemSize)), 0);
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();
INSTANTIATE_TEST_SUITE_P(
    Cases, SourceReads,
    ::testing::Values(ReadCase{"Rgb8", plugInModeRGBColor, 17, 17}, ReadCase{"Grey8", plugInModeGrayScale, 201, 201},
                      ReadCase{"Rgb16White", plugInModeRGB48, 32768, 255},
                      ReadCase{"Rgb16JustBelow", plugInModeRGB48, 32767, 254},
                      ReadCase{"Rgb16Low", plugInModeRGB48, 128, 0}, ReadCase{"Grey16Half", plugInModeGray16, 16384, 127},
                      // Above the host's range: clamped before the division.
                      ReadCase{"Rgb16Above", plugInModeRGB48, 40000, 255},
                      ReadCase{"Grey16Max", plugInModeGray16, 65535, 255},
                      ReadCase{"Rgb32NaN", plugInModeRGB96, kNaN, 0}, ReadCase{"Rgb32Negative", plugInModeRGB96, -1, 0},
                      ReadCase{"Rgb32Two", plugInModeRGB96, 2, 255}, ReadCase{"Grey32One", plugInModeGray32, 1, 255},
                      ReadCase{"Grey32NaN", plugInModeGray32, kNaN, 0},
                      // Gamma-encoded: sRGB of 0.25 is 136.97.
                      ReadCase{"Rgb32Quarter", plugInModeRGB96, 0.25, 136}),
    [](const ::testing::TestParamInfo<ReadCase>& i) { return std::string(i.param.name); });

// The 8-bit samples of the shown rectangle straight from the document.
std::vector<uint8_t> documentPlane(const Document& doc, VRect r, int p) {
    std::vector<uint8_t> out;
    for (int32 y = r.top; y < r.bottom; ++y)
        for (int32 x = r.left; x < r.right; ++x) {
            const double v = doc.get(x, y, int16(doc.planes() == 1 ? 0 : p));
            out.push_back(doc.depth() == 16 ? uint8_t((10 * uint32_t(v)) / 1285) : uint8_t(v));
        }
    return out;
}

int enhanceCalls = 0;
void countingEnhance(uint8& r, uint8& g, uint8& b) {
    ++enhanceCalls;
    enhancePixelUint8(r, g, b);
}

struct PanCase {
    const char* name;
    int16 mode;
    int32 dh, dv;
};
class Pans : public ProxySource, public ::testing::WithParamInterface<PanCase> {};

TEST_P(Pans, EqualAFreshReadAndTheOldOutputShifted) {
    const PanCase& c = GetParam();
    bind(c.mode, 400, 300, 208, 200);
    ASSERT_EQ(SetupProxy(), noErr);
    ASSERT_EQ(updateModifiedProxyBuffer(enhancePixelUint8, calcInternalFilterParams), noErr);
    const int32 W = pData.scWidth, H = pData.scHeight;
    const std::vector<uint8_t> oldOutput(pData.outputPtr, pData.outputPtr + 3 * W * H);
    // The overview's build moved the host's rectangle: ask for the shown one.
    clampZoomedProxyOffsets();
    const VRect before = GetInRect();
    enhanceCalls = 0;
    ASSERT_EQ(proxySlide(c.dh, c.dv, countingEnhance), noErr);
    const VRect after = GetInRect();
    const int32 sh = after.left - before.left, sv = after.top - before.top;
    EXPECT_EQ(pData.offsetH, sh);
    EXPECT_EQ(pData.offsetV, sv);
    int64_t strip = 0;
    for (int p = 0; p < 3; ++p) {
        SCOPED_TRACE(p);
        // The source is the moved rectangle, read afresh.
        EXPECT_EQ(plane(pData.sourcePtr, p), documentPlane(host().document(), after, p));
        const std::vector<uint8_t> out = plane(pData.outputPtr, p), src = plane(pData.sourcePtr, p);
        for (int32 y = 0; y < H; ++y)
            for (int32 x = 0; x < W; ++x) {
                const int32 oy = y + sv, ox = x + sh;
                const bool kept = oy >= 0 && oy < H && ox >= 0 && ox < W;
                const uint8_t want = kept ? oldOutput[size_t(p) * W * H + size_t(oy) * W + ox] : src[size_t(y) * W + x];
                ASSERT_EQ(out[size_t(y) * W + x], want) << "x " << x << " y " << y << (kept ? " kept" : " strip");
                strip += !kept && p == 0;
            }
    }
    EXPECT_GT(strip, 0);
    // The callback sees every strip pixel of a colour image, none of a grey one.
    EXPECT_EQ(enhanceCalls, c.mode == plugInModeGrayScale ? 0 : strip);
    VPoint focal;
    translatePointForZoom(1, 1, makeVPoint(pData.offsetV, pData.offsetH), focal);
    EXPECT_EQ(pData.focalH, focal.h);
    EXPECT_EQ(host().faults().size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, Pans,
                         ::testing::Values(PanCase{"RightDown", plugInModeRGBColor, 13, 7},
                                           PanCase{"LeftUp", plugInModeRGBColor, -9, -40},
                                           PanCase{"GreyLeftDown", plugInModeGrayScale, -21, 11},
                                           PanCase{"LargerThanTheProxy", plugInModeRGBColor, 120, 0},
                                           PanCase{"Deep16", plugInModeRGB48, 5, -5}),
                         [](const ::testing::TestParamInfo<PanCase>& i) { return std::string(i.param.name); });

TEST_F(ProxySource, APanAgainstTheEdgeChangesNothing) {
    bind(plugInModeRGBColor, 400, 300, 208, 600);  // the whole height is shown
    ASSERT_EQ(SetupProxy(), noErr);
    pData.focalV = 99;
    unsigned char* output = pData.outputPtr;
    const size_t advances = host().advanceCalls().size();
    EXPECT_EQ(proxySlide(0, 50, enhancePixelUint8), noErr);
    EXPECT_EQ(pData.offsetV, 0);
    EXPECT_EQ(pData.focalV, 99);
    EXPECT_EQ(pData.outputPtr, output);
    EXPECT_EQ(host().advanceCalls().size(), advances);
}

TEST_F(ProxySource, WithoutProxiesPansAndOverviewDragsDoNothing) {
    bind(plugInModeRGBColor, 400, 300, 208, 200);
    EXPECT_EQ(proxySlide(10, 10, enhancePixelUint8), noErr);
    EXPECT_EQ(pData.offsetH, 0);
    VPoint last = makeVPoint(5, 5);
    processProxyDrag(makeVPoint(0, 0), last, enhancePixelUint8);
    EXPECT_EQ(pData.offsetH, 0);
    EXPECT_EQ(host().advanceCalls().size(), 0u);
}

TEST_F(ProxySource, APanWhoseReadFailsKeepsOffsetsAndProxies) {
    bind(plugInModeRGBColor, 400, 300, 208, 200);
    ASSERT_EQ(SetupProxy(), noErr);
    const std::vector<uint8_t> source(pData.sourcePtr, pData.sourcePtr + proxyMemSize);
    clampZoomedProxyOffsets();
    const VRect before = GetInRect();
    host().record().advanceState = [] { return OSErr(-1234); };
    EXPECT_EQ(proxySlide(10, 10, enhancePixelUint8), -1234);
    EXPECT_EQ(pData.offsetH, 0);
    EXPECT_EQ(pData.offsetV, 0);
    EXPECT_EQ(GetInRect().left, before.left);
    EXPECT_EQ(std::vector<uint8_t>(pData.sourcePtr, pData.sourcePtr + proxyMemSize), source);
    EXPECT_EQ(host().alerts().size(), 1u);
}

TEST_F(ProxySource, ADragFollowsTheMouse) {
    bind(plugInModeRGBColor, 400, 300, 208, 200);
    ASSERT_EQ(SetupProxy(), noErr);
    VPoint last = makeVPoint(50, 50);
    processProxyDrag(makeVPoint(45, 60), last, enhancePixelUint8);
    // The mouse went right and up: the content follows, the rectangle goes left and down.
    EXPECT_EQ(pData.offsetH, -10);
    EXPECT_EQ(pData.offsetV, 5);
    EXPECT_EQ(last.h, 60);
}

// Enlarging without the corner rule (an input of one row or column) would
// round the last indices past the last sample.
TEST(NearestSample, StopsAtTheLastSample) {
    const nearestSample enlarge(2, 5, false);
    EXPECT_EQ(enlarge(0), 0);
    EXPECT_EQ(enlarge(2), 1);
    EXPECT_EQ(enlarge(4), 1);  // 4 x 0.4 + 0.5 would read sample 2
    const nearestSample corners(3, 5, true);
    EXPECT_EQ(corners(0), 0);
    EXPECT_EQ(corners(4), 2);
    const nearestSample one(7, 1, false);
    EXPECT_EQ(one(0), 0);
}

// The overview ------------------------------------------------------------------

struct OverviewCase {
    const char* name;
    int16 mode;
    VRect filter;
    int32 paneWidth, paneHeight;
    int32 rowSlackBytes = 24;
};
class Overview : public ProxySource, public ::testing::WithParamInterface<OverviewCase> {};

TEST_P(Overview, PixelsMatchTheDocument) {
    const OverviewCase& c = GetParam();
    refhost::HostOptions options;
    options.filterRect = c.filter;
    options.rowSlackBytes = c.rowSlackBytes;
    bind(c.mode, 600, 400, 208, 348, options);
    overviewPaneWidth = c.paneWidth;
    overviewPaneHeight = c.paneHeight;
    ASSERT_EQ(SetupProxy(), noErr);
    const overviewProxyClass& ov = overviewProxyClassObject;
    ASSERT_NE(ov.data, nullptr);
    ASSERT_EQ(ov.width, pData.overviewWidth);
    const VRect F = host().filterRect();
    int64_t wrong = 0;
    for (int32 y = 0; y < ov.height; ++y)
        for (int32 x = 0; x < ov.width; ++x)
            for (int ch = 0; ch < 3; ++ch)
                wrong += ov.data[(int64_t(y) * ov.width + x) * 3 + ch] !=
                         expectedOverview(host().document(), F, ov.width, ov.height, x, y, ch);
    EXPECT_EQ(wrong, 0);
    // The tiles asked for lie inside F.
    for (const refhost::AdvanceCall& a : host().advanceCalls()) {
        EXPECT_GE(a.inRect.left, F.left);
        EXPECT_LE(a.inRect.right, F.right);
        EXPECT_GE(a.inRect.top, F.top);
        EXPECT_LE(a.inRect.bottom, F.bottom);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Overview,
    ::testing::Values(OverviewCase{"Rgb8", plugInModeRGBColor, {0, 0, 0, 0}, 160, 120},
                      OverviewCase{"Grey8", plugInModeGrayScale, {0, 0, 0, 0}, 160, 120},
                      OverviewCase{"Rgb16", plugInModeRGB48, {0, 0, 0, 0}, 97, 300},
                      OverviewCase{"Rgb32", plugInModeRGB96, {0, 0, 0, 0}, 160, 120},
                      OverviewCase{"SelectionAway", plugInModeRGBColor, {100, 250, 390, 580}, 160, 120},
                      OverviewCase{"OnePixelHigh", plugInModeRGBColor, {0, 0, 0, 0}, 600, 1},
                      OverviewCase{"LargerThanTheImage", plugInModeRGBColor, {0, 0, 0, 0}, 1000, 1000},
                      // Rows a byte longer than a whole number of pixels.
                      OverviewCase{"Rgb8RowsOfAnOddLength", plugInModeRGBColor, {0, 0, 0, 0}, 160, 120, 1},
                      OverviewCase{"Rgb16RowsOfAnOddLength", plugInModeRGB48, {0, 0, 0, 0}, 160, 120, 2}),
    [](const ::testing::TestParamInfo<OverviewCase>& i) { return std::string(i.param.name); });

// The input description of a 10 x 4 tile at (2, 3) for each depth: the
// row length is the host's row bytes (the tile's bytes and the slack,
// rounded up to a whole sample) over the planes and the sample size.
struct DescriptionCase {
    const char* name;
    int16 mode;
    int32 rowSlackBytes;
    int32 rowBytes, rowPixels, bytesPerSample;
    int16 planes;
};
class InputDescription : public ProxySource, public ::testing::WithParamInterface<DescriptionCase> {};

TEST_P(InputDescription, FromTheHostsInputBuffer) {
    const DescriptionCase& c = GetParam();
    refhost::HostOptions options;
    options.rowSlackBytes = c.rowSlackBytes;
    bind(c.mode, 40, 30, 208, 348, options);
    ASSERT_EQ(advanceFilterStateFrom1or3channels(VRect{3, 2, 7, 12}), noErr);
    const inputBufferDescriptor d = c.bytesPerSample == 1   ? describeInputBuffer8bit()
                                    : c.bytesPerSample == 2 ? describeInputBuffer16bit()
                                                            : describeInputBuffer32bit();
    EXPECT_EQ(d.rowBytes, c.rowBytes);
    EXPECT_EQ(d.rowPixels, c.rowPixels);
    EXPECT_EQ(d.height, 4);
    EXPECT_EQ(d.bytesPerSample, c.bytesPerSample);
    EXPECT_EQ(d.planes, c.planes);
    EXPECT_EQ(d.data, gFilterRecord->inData);
    EXPECT_NE(d.data, nullptr);
    EXPECT_TRUE(alerts().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Depths, InputDescription,
    ::testing::Values(DescriptionCase{"Rgb8", plugInModeRGBColor, 24, 54, 18, 1, 3},
                      DescriptionCase{"Rgb8OddSlack", plugInModeRGBColor, 5, 35, 11, 1, 3},
                      DescriptionCase{"Grey8", plugInModeGrayScale, 5, 15, 15, 1, 1},
                      DescriptionCase{"Rgb16", plugInModeRGB48, 24, 84, 14, 2, 3},
                      DescriptionCase{"Grey16", plugInModeGray16, 3, 24, 12, 2, 1},
                      DescriptionCase{"Rgb32", plugInModeRGB96, 24, 144, 12, 4, 3},
                      DescriptionCase{"Grey32", plugInModeGray32, 0, 40, 10, 4, 1}),
    [](const ::testing::TestParamInfo<DescriptionCase>& i) { return std::string(i.param.name); });

TEST_F(ProxySource, OverviewSampleConversions) {
    Document doc(plugInModeRGB48, 100, 100);
    doc.fill([](int32 x, int32, int16) { return x < 50 ? 32768.0 : 16384.0; });
    bind(std::move(doc), 208, 348);
    overviewPaneWidth = overviewPaneHeight = 100;
    ASSERT_EQ(SetupProxy(), noErr);
    EXPECT_EQ(overviewProxyClassObject.data[0], 255);
    EXPECT_EQ(overviewProxyClassObject.data[99 * 3], 127);
}

TEST_F(ProxySource, OverviewShowsLinearSamplesAsTheyAre) {
    Document floats(plugInModeGray32, 100, 100);
    floats.fill([](int32, int32, int16) { return 0.5; });
    bind(std::move(floats), 208, 348);
    overviewPaneWidth = overviewPaneHeight = 100;
    ASSERT_EQ(SetupProxy(), noErr);
    for (int ch = 0; ch < 3; ++ch) EXPECT_EQ(overviewProxyClassObject.data[ch], 128);
}

struct BoxCase {
    const char* name;
    VRect filter;
    int32 offsetH, offsetV;
    VRect box;
};
class RedBox : public ProxySource, public ::testing::WithParamInterface<BoxCase> {};

TEST_P(RedBox, RelativeToTheFilterRectangle) {
    const BoxCase& c = GetParam();
    bindSelection(plugInModeRGBColor, 1200, 800, c.filter, 208, 348);
    pData.offsetH = c.offsetH;
    pData.offsetV = c.offsetV;
    ASSERT_EQ(SetupProxy(), noErr);
    const VRect box = getRedBoxVRect();
    EXPECT_EQ(box.top, c.box.top);
    EXPECT_EQ(box.left, c.box.left);
    EXPECT_EQ(box.bottom, c.box.bottom);
    EXPECT_EQ(box.right, c.box.right);
    EXPECT_LE(box.right, pData.overviewWidth);
    EXPECT_LE(box.bottom, pData.overviewHeight);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RedBox,
    ::testing::Values(
        // The preview covers the whole of a small selection.
        BoxCase{"WholeSelection", {300, 500, 500, 580}, 0, 0, {0, 0, 120, 48}},
        BoxCase{"AwayFromTheOrigin", {100, 500, 700, 1000}, 0, 0, {25, 39, 94, 59}},
        BoxCase{"AwayAtTheRightEdge", {100, 500, 700, 1000}, 1000, 0, {25, 79, 94, 99}},
        BoxCase{"WholeImage", {0, 0, 0, 0}, 0, 0, {30, 73, 76, 86}}),
    [](const ::testing::TestParamInfo<BoxCase>& i) { return std::string(i.param.name); });

TEST_F(ProxySource, OverviewClicksCentreThePreviewOutsideTheBox) {
    bindSelection(plugInModeRGBColor, 1200, 800, VRect{100, 500, 700, 1000}, 208, 348);
    ASSERT_EQ(SetupProxy(), noErr);
    const VRect used = testOverviewUsedVRect();
    const VRect box = getRedBoxVRect();
    EXPECT_TRUE(overviewHandleFirstClick(used.left + box.left + 1, used.top + box.top + 1, used));
    EXPECT_EQ(updateCalls, 0);
    EXPECT_FALSE(overviewHandleFirstClick(used.left + 80, used.top + 60, used));
    EXPECT_EQ(pData.offsetH, 150);
    EXPECT_EQ(pData.offsetV, 0);
    EXPECT_EQ(updateCalls, 1);
}

TEST_F(ProxySource, AnOverviewDragMovesTheBoxWithTheMouse) {
    bind(plugInModeRGBColor, 1200, 800, 208, 348);
    ASSERT_EQ(SetupProxy(), noErr);
    VPoint last = makeVPoint(10, 10);
    processOverviewDrag(makeVPoint(10, 14), last, enhancePixelUint8);
    // 4 overview pixels of 160 across 1200 image pixels.
    EXPECT_EQ(pData.offsetH, 30);
    EXPECT_EQ(last.h, 14);
}

TEST_F(ProxySource, AnOverviewOfSizeZeroIgnoresDragsAndClicks) {
    bind(plugInModeRGBColor, 400, 300, 208, 200);
    ASSERT_EQ(SetupProxy(), noErr);
    pData.overviewWidth = 0;
    overviewSlide(10, 10, enhancePixelUint8);
    EXPECT_EQ(pData.offsetH, 0);
    EXPECT_FALSE(overviewHandleFirstClick(3, 3, VRect{0, 0, 0, 0}));
    EXPECT_EQ(updateCalls, 0);
    pData.overviewWidth = 10;
    pData.overviewHeight = 0;
    EXPECT_FALSE(overviewHandleFirstClick(3, 3, VRect{0, 0, 0, 0}));
    EXPECT_EQ(pData.offsetH, 0);
}

TEST_F(ProxySource, NoDialogNoOverview) {
    bind(plugInModeRGBColor, 400, 300, 208, 200);
    setPreviewDialogHooks(nullptr);
    ASSERT_EQ(SetupProxy(), noErr);
    EXPECT_EQ(overviewProxyClassObject.data, nullptr);
    EXPECT_EQ(pData.overviewWidth, 0);
}

TEST_F(ProxySource, UnSetupReleasesTheOverviewToo) {
    bind(plugInModeRGBColor, 400, 300, 208, 200);
    ASSERT_EQ(SetupProxy(), noErr);
    const int64_t tables = 2;
    EXPECT_EQ(host().buffers().live(), tables + 3);
    unSetupProxy();
    EXPECT_EQ(host().buffers().live(), tables);
    EXPECT_EQ(overviewProxyClassObject.bufferID, nullptr);
}

TEST_F(ProxySource, AMissingColourTableStopsTheReadWithTheMemoryAlert) {
    bind(plugInModeRGB96, 400, 300, 208, 200);
    tables.reset();
    EXPECT_EQ(SetupProxy(), memFullErr);
    EXPECT_EQ(pData.sourcePtr, nullptr);
    ASSERT_EQ(host().alerts().size(), 1u);
    EXPECT_NE(host().alerts()[0].find("Not enough memory"), std::string::npos);
}

}  // namespace
