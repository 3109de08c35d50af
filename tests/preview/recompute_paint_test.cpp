// The recompute against the full-image pass, the threaded enhance, the paint
// composition at every zoom, the pictures a person looks at, and every
// buffer refused in turn.
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>

#include "engine/band_driver.h"
#include "engine/output_writers.h"
#include "host/host_services.h"
#include "entry/start.h"
#include "host/colorspace.h"
#include "preview/proxy_source.h"
#include "preview_support.h"
#include "support/product_under_test.h"

using namespace preview_test;
using refhost::Document;

namespace {

class Recompute : public PreviewTest {
public:
    uint8_image picture;
};

// The full pass's result of the whole image, as 8-bit planes.
std::vector<uint8_t> fullPassPlane(const Document& doc, int p) {
    std::vector<uint8_t> out;
    for (int32 y = 0; y < doc.height(); ++y)
        for (int32 x = 0; x < doc.width(); ++x) {
            const double v = doc.get(x, y, int16(doc.planes() == 1 ? 0 : p));
            out.push_back(doc.depth() == 16 ? uint8_t(std::lround(v * 255.0 / 32768.0)) : uint8_t(v));
        }
    return out;
}

struct EqualityCase {
    const char* name;
    int16 mode;
    int maxDifference;  // 0: byte for byte
};
class WholeImageAtZoom1 : public Recompute, public ::testing::WithParamInterface<EqualityCase> {};

TEST_P(WholeImageAtZoom1, EqualsTheFullPass) {
    const EqualityCase& c = GetParam();
    bind(c.mode, 96, 64, 192, 64);
    ASSERT_EQ(SetupProxy(), noErr);
    ASSERT_EQ(pData.scWidth, 96);
    ASSERT_EQ(pData.scHeight, 64);
    ASSERT_EQ(updateModifiedProxyBuffer(enhancePixelUint8, calcInternalFilterParams), noErr);
    std::vector<std::vector<uint8_t>> preview;
    for (int p = 0; p < 3; ++p) preview.push_back(plane(pData.outputPtr, p));
    // A grey image gives three equal planes.
    if (c.mode == plugInModeGrayScale || c.mode == plugInModeGray16) {
        EXPECT_EQ(preview[1], preview[0]);
        EXPECT_EQ(preview[2], preview[0]);
    }
    DoFilter();
    ASSERT_EQ(result(), noErr);
    host().finishPass();
    int worst = 0;
    int64_t differing = 0, total = 0;
    for (int p = 0; p < 3; ++p) {
        const std::vector<uint8_t> full = fullPassPlane(host().document(), p);
        for (size_t i = 0; i < full.size(); ++i) {
            const int d = std::abs(int(full[i]) - int(preview[p][i]));
            worst = std::max(worst, d);
            differing += d != 0;
            total += d;
        }
    }
    std::cout << "[ measured ] " << kProductName << " " << c.name << ": largest difference " << worst << ", "
              << differing << " of " << 3 * 96 * 64 << " samples differ, mean "
              << double(total) / (3 * 96 * 64) << "\n";
    EXPECT_LE(worst, c.maxDifference);
    if (c.maxDifference == 0) {
        EXPECT_EQ(differing, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, WholeImageAtZoom1,
                         ::testing::Values(EqualityCase{"Rgb8", plugInModeRGBColor, 0},
                                           EqualityCase{"Grey8", plugInModeGrayScale, 0},
                                           // The preview filters the image cut to 8 bits (v / 128.5
                                           // rounded down), the full pass the 16-bit samples.
                                           EqualityCase{"Rgb16", plugInModeRGB48, 64}),
                         [](const ::testing::TestParamInfo<EqualityCase>& i) { return std::string(i.param.name); });

// Glimra's preview of a Lab document shows the matte as the full pass
// writes it: L the matte that an RGB document of the same samples shows in
// each plane, a and b the neutral 128.
TEST_F(Recompute, GlimrasLabMatteIsGrey) {
    if (productIsHalvane()) GTEST_SKIP() << "Halvane's Lab preview keeps the image's colour";
    for (const std::pair<int16, int16>& modes : {std::make_pair(int16(plugInModeLabColor), int16(plugInModeRGBColor)),
                                                 std::make_pair(int16(plugInModeLab48), int16(plugInModeRGB48))}) {
        Document lab(modes.first, 96, 64);
        lab.fillPattern(13);
        Document rgb(modes.second, 96, 64);
        std::memcpy(rgb.data(), lab.data(), size_t(lab.rowBytes()) * lab.height());
        auto preview = [&](const Document& doc) {
            bind(doc, 192, 64);
            EXPECT_EQ(SetupProxy(), noErr);
            EXPECT_EQ(pData.scWidth, 96);
            EXPECT_EQ(updateModifiedProxyBuffer(enhancePixelUint8, calcInternalFilterParams), noErr);
            return std::vector<uint8_t>(pData.outputPtr, pData.outputPtr + proxyMemSize);
        };
        const std::vector<uint8_t> labPlanes = preview(lab), rgbPlanes = preview(rgb);
        const size_t n = size_t(96) * 64;
        ASSERT_EQ(labPlanes.size(), 3 * n);
        const std::string mode = refhost::modeName(modes.first);
        EXPECT_EQ(std::vector<uint8_t>(labPlanes.begin(), labPlanes.begin() + n),
                  std::vector<uint8_t>(rgbPlanes.begin(), rgbPlanes.begin() + n))
            << mode << ": L is not the RGB matte";
        EXPECT_EQ(std::vector<uint8_t>(rgbPlanes.begin() + n, rgbPlanes.begin() + 2 * n),
                  std::vector<uint8_t>(rgbPlanes.begin(), rgbPlanes.begin() + n))
            << mode << ": the RGB matte is not grey";
        EXPECT_EQ(std::vector<uint8_t>(labPlanes.begin() + n, labPlanes.end()), std::vector<uint8_t>(2 * n, 128))
            << mode << ": a or b is not neutral";
    }
}

TEST_F(Recompute, BothFormsGiveTheSameOutput) {
    bind(plugInModeRGBColor, 120, 90, 208, 348);
    ASSERT_EQ(SetupProxy(), noErr);
    ASSERT_EQ(updateModifiedProxyBuffer(enhancePixelUint8, calcInternalFilterParams), noErr);
    const std::vector<uint8_t> mac(pData.outputPtr, pData.outputPtr + proxyMemSize);
    std::memcpy(pData.outputPtr, pData.sourcePtr, size_t(proxyMemSize));
    ASSERT_EQ(updateModifiedProxyBuffer(pData.sourcePtr), noErr);
    EXPECT_EQ(std::vector<uint8_t>(pData.outputPtr, pData.outputPtr + proxyMemSize), mac);
    EXPECT_NE(std::memcmp(pData.outputPtr, pData.sourcePtr, size_t(proxyMemSize)), 0);
    EXPECT_EQ(updateModifiedProxyBuffer(nullptr), noErr);
}

// A grey preview: the 8-bit writer fills all three interleaved samples, so
// no plane of the output holds what the host's fresh buffer held.
TEST_F(Recompute, AGreyPreviewWritesEverySample) {
    bind(plugInModeGrayScale, 40, 30, 208, 348);
    ASSERT_EQ(SetupProxy(), noErr);
    ASSERT_EQ(updateModifiedProxyBuffer(enhancePixelUint8, calcInternalFilterParams), noErr);
    EXPECT_EQ(plane(pData.outputPtr, 1), plane(pData.outputPtr, 0));
    EXPECT_EQ(plane(pData.outputPtr, 2), plane(pData.outputPtr, 0));
    EXPECT_NE(plane(pData.outputPtr, 0), plane(pData.sourcePtr, 0));
}

TEST_F(Recompute, ACancelOfAnEarlierRunDoesNotStopThePreview) {
    bind(plugInModeRGBColor, 120, 90, 208, 348);
    ASSERT_EQ(SetupProxy(), noErr);
    globalUserCancelled = true;
    EXPECT_EQ(updateModifiedProxyBuffer(enhancePixelUint8, calcInternalFilterParams), noErr);
    EXPECT_NE(std::memcmp(pData.outputPtr, pData.sourcePtr, size_t(proxyMemSize)), 0);
    EXPECT_FALSE(globalUserCancelled);
    EXPECT_FALSE(notInGUI);
}

TEST_F(Recompute, ATooSmallPreviewKeepsTheSetUpPicture) {
    bind(plugInModeRGBColor, 400, 300, 40, 100);
    ASSERT_EQ(SetupProxy(), noErr);
    ASSERT_EQ(pData.scWidth, 20);
    EXPECT_EQ(updateModifiedProxyBuffer(enhancePixelUint8, calcInternalFilterParams), paramErr);
    EXPECT_EQ(std::memcmp(pData.outputPtr, pData.sourcePtr, size_t(proxyMemSize)), 0);
    ASSERT_EQ(host().alerts().size(), 1u);
    EXPECT_EQ(host().alerts()[0], kImageTooSmallText);
}

// The pane changed without a new set-up: nothing may be read or written
// past the proxies.
TEST_F(Recompute, APaneChangeWithoutSetUpStaysInsideTheBuffers) {
    bind(plugInModeRGBColor, 600, 400, 208, 200);
    ASSERT_EQ(SetupProxy(), noErr);
    const int32 W = pData.scWidth, H = pData.scHeight;
    pData.allotedWidth = 800;
    pData.allotedHeight = 740;
    ASSERT_NE(paint(), nullptr);
    EXPECT_EQ(pData.scWidth, W);
    EXPECT_EQ(pData.scHeight, H);
    EXPECT_EQ(updateModifiedProxyBuffer(enhancePixelUint8, calcInternalFilterParams), noErr);
    // A proxy resized behind its buffers is refused, not written past.
    pData.scWidth = 400;
    pData.scHeight = 370;
    pData.scPlaneSize = 400 * 370;
    EXPECT_EQ(updateModifiedProxyBuffer(enhancePixelUint8, calcInternalFilterParams), paramErr);
    EXPECT_EQ(paint(), nullptr);
    EXPECT_EQ(lastPaintResult, paramErr);
    pData.scWidth = W;
    pData.scHeight = H;
    pData.scPlaneSize = W * H;
    EXPECT_EQ(host().faults().size(), 0u);
}

// The threaded enhance ----------------------------------------------------------

struct EnhanceCase {
    int32 threads, failures, height;
};
class ThreadedEnhance : public Recompute, public ::testing::WithParamInterface<EnhanceCase> {};

TEST_P(ThreadedEnhance, EveryBandRunsWhateverStarts) {
    const EnhanceCase& c = GetParam();
    bind(plugInModeRGBColor, 64, 64, 208, 348);
    setEngineThreadCount(c.threads);
    bandWorkerStartFailures = c.failures;
    std::vector<uint8_t> block(size_t(3) * 7 * std::max(c.height, 1), 9);
    threadedEnhance_struct e = {};
    e.data = e.destination = e.secondDestination = block.data();
    e.rowBytes = 7;
    e.bottom = c.height;
    e.right = 7;
    e.depth = 8;
    e.planes = 3;
    e.planeBytes = 7 * std::max(c.height, 1);
    threadedEnhanceBlock(e);
    // The hooks change nothing in either product.
    EXPECT_EQ(block, std::vector<uint8_t>(block.size(), 9));
    EXPECT_EQ(bandWorkerStartFailures, std::max(0, c.failures - (c.threads - 1)));
    bandWorkerStartFailures = 0;
    setEngineThreadCount(0);
}

INSTANTIATE_TEST_SUITE_P(Cases, ThreadedEnhance,
                         ::testing::Values(EnhanceCase{4, 0, 10}, EnhanceCase{8, 3, 10}, EnhanceCase{64, 5, 3},
                                           EnhanceCase{1, 0, 1}, EnhanceCase{33, 40, 100}));

TEST_F(Recompute, PlanarEnhanceWithoutPlaneBytesIsRefused) {
    bind(plugInModeRGBColor, 64, 64, 208, 348);
    threadedEnhance_struct e = {};
    e.bottom = 4;
    e.right = 4;
    e.depth = 8;
    e.planes = 3;
    threadedEnhanceBlock(e);
    EXPECT_EQ(host().alerts(), std::vector<std::string>{"Vexlor error (planebytes <= 0)."});
}

TEST_F(Recompute, RecomputeWithWorkersThatFailToStart) {
    bind(plugInModeRGBColor, 120, 90, 208, 348);
    ASSERT_EQ(SetupProxy(), noErr);
    ASSERT_EQ(updateModifiedProxyBuffer(enhancePixelUint8, calcInternalFilterParams), noErr);
    const std::vector<uint8_t> expected(pData.outputPtr, pData.outputPtr + proxyMemSize);
    setEngineThreadCount(6);
    bandWorkerStartFailures = 1000;
    ASSERT_EQ(updateModifiedProxyBuffer(enhancePixelUint8, calcInternalFilterParams), noErr);
    bandWorkerStartFailures = 0;
    setEngineThreadCount(0);
    EXPECT_EQ(std::vector<uint8_t>(pData.outputPtr, pData.outputPtr + proxyMemSize), expected);
}

// The composition ------------------------------------------------------------------

class Composition : public Recompute, public ::testing::WithParamInterface<int32> {};

TEST_P(Composition, EveryZoomFactorShowsBothHalvesEnlarged) {
    const int32 Z = GetParam();
    bind(plugInModeRGBColor, 600, 400, 800, 740);
    pData.zoomFactor = Z;
    ASSERT_EQ(SetupProxy(), noErr);
    ASSERT_EQ(pData.zoomFactor, Z);
    ASSERT_EQ(updateModifiedProxyBuffer(enhancePixelUint8, calcInternalFilterParams), noErr);
    const refhost::DisplayCall* call = paint();
    ASSERT_NE(call, nullptr);
    const int32 W = pData.scWidth, H = pData.scHeight;
    EXPECT_EQ(call->bounds.right - call->bounds.left, 2 * Z * W);
    EXPECT_EQ(call->bounds.bottom - call->bounds.top, Z * H);
    EXPECT_EQ(call->rowBytes, 2 * Z * W);
    EXPECT_EQ(call->planeBytes, 2 * Z * W * Z * H);
    int64_t wrong = 0;
    for (int32 r = 0; r < Z * H; ++r)
        for (int32 c = 0; c < 2 * Z * W; ++c)
            for (int p = 0; p < 3; ++p) {
                const bool right = c >= Z * W;
                const unsigned char* proxy = right ? pData.outputPtr : pData.sourcePtr;
                const int32 x = (right ? c - Z * W : c) / Z, y = r / Z;
                wrong += call->pixels[(size_t(r) * 2 * Z * W + c) * 3 + p] != proxy[size_t(p) * W * H + size_t(y) * W + x];
            }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(host().faults().size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Zoom, Composition, ::testing::Values(1, 2, 3, 4));

TEST_F(Recompute, ShowOriginalShowsTheSourceInBothHalves) {
    bind(plugInModeRGBColor, 600, 400, 800, 740);
    ASSERT_EQ(SetupProxy(), noErr);
    ASSERT_EQ(updateModifiedProxyBuffer(enhancePixelUint8, calcInternalFilterParams), noErr);
    const refhost::DisplayCall* call = paint(true);
    ASSERT_NE(call, nullptr);
    const int32 W = pData.scWidth;
    for (int32 c = 0; c < W; ++c) EXPECT_EQ(call->pixels[size_t(c) * 3], call->pixels[size_t(c + W) * 3]);
}

TEST_F(Recompute, GreyKeepsItsDisplayModeAndTheOverviewShowsRgb) {
    bind(plugInModeGray16, 600, 400, 800, 740);
    ASSERT_EQ(SetupProxy(), noErr);
    ASSERT_NE(paint(), nullptr);
    ASSERT_EQ(host().displayCalls().size(), 2u);
    EXPECT_EQ(host().displayCalls()[0].imageMode, plugInModeGrayScale);
    EXPECT_EQ(host().displayCalls()[1].imageMode, plugInModeRGBColor);
}

TEST_F(Recompute, AMissingColourTableStopsThePaintWithTheMemoryAlert) {
    bind(plugInModeRGB96, 300, 200, 800, 740);
    ASSERT_EQ(SetupProxy(), noErr);
    tables.reset();
    EXPECT_EQ(paint(), nullptr);
    EXPECT_EQ(lastPaintResult, memFullErr);
    EXPECT_EQ(host().alerts().size(), 1u);
}

TEST_F(Recompute, WithoutProxiesNothingIsComposed) {
    bind(plugInModeRGBColor, 600, 400, 800, 740);
    EXPECT_EQ(paint(), nullptr);
    EXPECT_EQ(lastPaintResult, paramErr);
    EXPECT_EQ(host().buffers().refused(), 0);
}

struct PictureCase {
    const char* name;
    int32 width, height;  // of the paint handler's overview picture; -1: the overview's
};
class OverviewPicture : public Recompute, public ::testing::WithParamInterface<PictureCase> {};

TEST_P(OverviewPicture, CopyAndTintStayInsideThePicture) {
    const PictureCase& c = GetParam();
    bind(plugInModeRGBColor, 600, 400, 208, 348);
    ASSERT_EQ(SetupProxy(), noErr);
    uint8_image picture;
    picture.width = c.width;
    picture.height = c.height;
    if (c.width > 0 && c.height > 0)
        memoryAllocate(int64_t(c.width) * c.height * 3, picture.bufferID, picture.data);
    ASSERT_NE(paint(false, &picture), nullptr);
    EXPECT_EQ(host().faults().size(), 0u);
    const bool shown = c.width > 0 && c.height > 0;
    ASSERT_EQ(host().displayCalls().size(), shown ? 2u : 1u);
    if (shown) {
        const refhost::DisplayCall& ov = host().displayCalls()[1];
        EXPECT_EQ(ov.bounds.right, c.width);
        EXPECT_EQ(ov.bounds.bottom, c.height);
        // The overview's own pixels where both overlap.
        EXPECT_EQ(ov.pixels[3 * 1 + 1] , overviewProxyClassObject.data[3 * 1 + 1]);
    }
    memoryRelease(0, picture.bufferID, picture.data);
}

INSTANTIATE_TEST_SUITE_P(Cases, OverviewPicture,
                         ::testing::Values(PictureCase{"Smaller", 40, 30}, PictureCase{"Larger", 300, 300},
                                           PictureCase{"Empty", 0, 0}),
                         [](const ::testing::TestParamInfo<PictureCase>& i) { return std::string(i.param.name); });

TEST_F(Recompute, ABoxSevenWideIsAFrameSixWideIsTintedWhole) {
    bind(plugInModeRGBColor, 600, 400, 208, 348);
    ASSERT_EQ(SetupProxy(), noErr);
    for (int32 width : {6, 7}) {
        uint8_image picture;
        picture.width = 160;
        picture.height = 120;
        memoryAllocate(160 * 120 * 3, picture.bufferID, picture.data);
        // A red box of the given width: an overview the box spans a known part of.
        pData.overviewWidth = int32(std::ceil(600.0 * width / pData.scWidth));
        const VRect box = getRedBoxVRect();
        ASSERT_EQ(box.right - box.left, width);
        ASSERT_NE(paint(false, &picture), nullptr);
        const refhost::DisplayCall& ov = host().displayCalls().back();
        const int32 y = (box.top + box.bottom) / 2, x = box.left + 3;
        const uint8_t inside = ov.pixels[(size_t(y) * 160 + x) * 3 + 1];
        const uint8_t plain = overviewProxyClassObject.data[(size_t(y) * overviewProxyClassObject.width + x) * 3 + 1];
        EXPECT_EQ(inside, width == 6 ? plain / 2 : plain) << "width " << width;
        memoryRelease(0, picture.bufferID, picture.data);
        pData.overviewWidth = overviewProxyClassObject.width;
    }
}

// A selection away from the image's origin: the preview and the overview
// show the selection, the red box lies inside the overview.
TEST_F(Recompute, ASelectionAwayFromTheOriginPicture) {
    refhost::HostOptions o;
    o.filterRect = VRect{200, 260, 500, 500};
    bind(refhost::readImage(VEXLOR_SAMPLES_DIR "/astronaut.png"), 208, 348, o);
    pData.zoomFactor = 2;
    pData.offsetV = 1000;
    ASSERT_EQ(SetupProxy(), noErr);
    ASSERT_EQ(updateModifiedProxyBuffer(enhancePixelUint8, calcInternalFilterParams), noErr);
    ASSERT_NE(paint(), nullptr);
    clampZoomedProxyOffsets();
    const VRect in = GetInRect();
    EXPECT_EQ(in.bottom, 500);
    EXPECT_GE(in.left, 260);
    const VRect box = getRedBoxVRect();
    // At the selection's bottom edge, to within the truncations.
    EXPECT_GE(box.bottom, pData.overviewHeight - 1);
    EXPECT_LE(box.bottom, pData.overviewHeight);
    EXPECT_LE(box.right, pData.overviewWidth);
    EXPECT_EQ(host().faults().size(), 0u);
    if (const std::string dir = pictureDir(); !dir.empty()) {
        const std::string base = dir + "/" + kProductName + "-selection-zoom2";
        refhost::writeImage(refhost::displayCallImage(host().displayCalls()[0]), base + "-preview.png");
        refhost::writeImage(refhost::displayCallImage(host().displayCalls()[1]), base + "-overview.png");
    }
}

// Every buffer refused in turn ---------------------------------------------------------

// What a refusal must leave as it was.
struct PreviewSnapshot {
    std::vector<uint8_t> source, output;
    int32 offsetH, offsetV, zoom, scWidth, scHeight;
    static PreviewSnapshot take() {
        return {std::vector<uint8_t>(pData.sourcePtr, pData.sourcePtr + proxyMemSize),
                std::vector<uint8_t>(pData.outputPtr, pData.outputPtr + proxyMemSize),
                pData.offsetH, pData.offsetV, pData.zoomFactor, pData.scWidth, pData.scHeight};
    }
    bool operator==(const PreviewSnapshot& o) const {
        return source == o.source && output == o.output && offsetH == o.offsetH && offsetV == o.offsetV &&
               zoom == o.zoom && scWidth == o.scWidth && scHeight == o.scHeight;
    }
};

struct RefusalCase {
    const char* name;
    std::function<OSErr(Recompute&)> operation;
    int32 zoom = 1;  // of the preview the operation starts from
};

class Refusals : public Recompute, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(Refusals, EachBufferInTurn) {
    const RefusalCase& c = GetParam();
    int64_t refusedRuns = 0;
    for (int64_t k = 1;; ++k) {
        SCOPED_TRACE(k);
        bind(plugInModeRGBColor, 300, 200, 208, 160);
        pData.zoomFactor = c.zoom;
        ASSERT_EQ(SetupProxy(), noErr);
        ASSERT_EQ(pData.zoomFactor, c.zoom);
        ASSERT_EQ(updateModifiedProxyBuffer(enhancePixelUint8, calcInternalFilterParams), noErr);
        const PreviewSnapshot before = PreviewSnapshot::take();
        // The paint handler's overview picture is not the preview's to refuse.
        memoryAllocate(int64_t(pData.overviewWidth) * pData.overviewHeight * 3, picture.bufferID, picture.data);
        picture.width = pData.overviewWidth;
        picture.height = pData.overviewHeight;
        const int64_t live = host().buffers().live();
        host().clearAlerts();
        host().buffers().resetCount();
        host().buffers().plan.refuseNth = k;
        const OSErr err = c.operation(*this);
        host().buffers().plan.refuseNth = 0;
        memoryRelease(0, picture.bufferID, picture.data);
        if (host().buffers().refused() == 0) {
            EXPECT_EQ(err, noErr);
            break;
        }
        ++refusedRuns;
        EXPECT_EQ(host().alerts().size(), 1u) << ::testing::PrintToString(host().alerts());
        EXPECT_EQ(host().buffers().live(), live - 1);
        if (err != noErr) {
            EXPECT_TRUE(PreviewSnapshot::take() == before) << "error " << err;
        }
        EXPECT_EQ(host().faults().size(), 0u);
        TearDown();
    }
    std::cout << "[ measured ] " << kProductName << " " << c.name << ": " << refusedRuns << " buffers refused in turn\n";
    EXPECT_GT(refusedRuns, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Refusals,
    ::testing::Values(RefusalCase{"SetUp", [](Recompute&) { return changeZoomLevel(2, 0) ? OSErr(noErr) : OSErr(memFullErr); }},
                      RefusalCase{"Recompute",
                                  [](Recompute&) {
                                      return updateModifiedProxyBuffer(enhancePixelUint8, calcInternalFilterParams);
                                  }},
                      RefusalCase{"Pan", [](Recompute&) { return proxySlide(17, -9, enhancePixelUint8); }},
                      RefusalCase{"Paint",
                                  [](Recompute& t) {
                                      t.paint(false, &t.picture);
                                      return t.lastPaintResult;
                                  }},
                      RefusalCase{"PaintAtZoom2",
                                  [](Recompute& t) {
                                      t.paint(false, &t.picture);
                                      return t.lastPaintResult;
                                  },
                                  2}),
    [](const ::testing::TestParamInfo<RefusalCase>& i) { return std::string(i.param.name); });

}  // namespace
