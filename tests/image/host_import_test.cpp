// Host pixels of every depth into float images, the 8-bit view of a host
// rectangle, plane interleaving and the megatile size.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "entry/selectors.h"
#include "host/globals.h"
#include "host/host_services.h"
#include "host/big_document.h"
#include "image/colorspace_luts.h"
#include "image/fl_image.h"
#include "image/host_import.h"
#include "image/uint8_proxy.h"
#include "support/host_fixture.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// Samples that the import must map, per depth; pixel (x, y), plane p of the
// test document holds samples[(x + 2 y + 5 p) % n].
const std::vector<double>& samplesFor(int32 depth) {
    static const std::vector<double> s8 = {0, 1, 127, 128, 200, 255};
    static const std::vector<double> s16 = {0, 1, 16384, 32768, 8192, 32767};
    static const std::vector<double> s32 = {1.0, 1.7, -0.2, 0.25, 0.0, kNaN, 0.5};
    return depth == 8 ? s8 : depth == 16 ? s16 : s32;
}

double sampleAt(int32 depth, int32 x, int32 y, int p) {
    const std::vector<double>& s = samplesFor(depth);
    return s[size_t(x + 2 * y + 5 * p) % s.size()];
}

// What the float image must hold for one host sample.  The 32-bit samples
// are chosen to fall on table entries (1.0 and beyond: entry 4096 alone).
float importedValue(int32 depth, double s) {
    if (depth == 8) return float(s);
    if (depth == 16) {
        if (s == 16384) return 127.5f;
        if (s == 32768) return 255.0f;
        return float(s) * 0.007781982421875f;
    }
    if (std::isnan(s) || s <= 0) return 0.0f;
    if (s >= 1.0) return cspacePtrLUT3[4096];
    return cspacePtrLUT3[int(s * 4096)];
}

// The 8-bit view's byte for one host sample.
int viewedByte(int32 depth, double s) {
    if (depth == 8) return int(s);
    if (depth == 16) {
        if (s == 16384) return 128;  // rounded
        return int(s * 255.0 / 32768.0 + 0.5);
    }
    if (std::isnan(s) || s <= 0) return 0;
    if (s >= 1.0) return 255;
    return int(cspacePtrLUT3[int(s * 4096)] + 0.5);
}

struct DepthCase {
    int16 baseMode;
    int32 depth;
};

std::string caseName(const ::testing::TestParamInfo<DepthCase>& info) {
    return (info.param.baseMode == plugInModeGrayScale ? std::string("Gray") : std::string("RGB")) +
           std::to_string(info.param.depth);
}

const VRect kFetched{2, 3, 8, 12};  // top, left, bottom, right, inside a 14 x 10 document

class HostPixels : public HostFixture, public ::testing::WithParamInterface<DepthCase> {
protected:
    void SetUp() override {
        const DepthCase& c = GetParam();
        refhost::Document doc(refhost::modeFor(c.baseMode, c.depth), 14, 10);
        doc.fill([&](int32 x, int32 y, int16 p) { return sampleAt(c.depth, x, y, p); });
        refhost::HostOptions options;
        options.rowSlackBytes = 24;  // rows of the served buffer carry slack
        makeHost(doc, options);
        tables_.reset(new colorspaceConversionLUTs);
        ASSERT_TRUE(tables_->ok());
        planes_ = c.baseMode == plugInModeGrayScale ? 1 : 3;
    }
    void TearDown() override {
        tables_.reset();
        HostFixture::TearDown();
    }
    int16 planes_ = 0;
    std::unique_ptr<colorspaceConversionLUTs> tables_;
};

TEST_P(HostPixels, ImportIntoFloatImageFromAnOffsetInTheHostBuffer) {
    const int32 depth = GetParam().depth;
    ASSERT_EQ(advanceFilterStateFrom1or3channels(kFetched), noErr);
    const int32 fetchedWidth = kFetched.right - kFetched.left;
    ASSERT_GT(gFilterRecord->inRowBytes, fetchedWidth * planes_ * depth / 8) << "the host should serve slack";

    // Pixels (1, 2) .. (1 + 6, 2 + 3) of the fetched rectangle.
    const int32 x = 1, y = 2, w = 6, h = 3;
    fl_image img(w, h);
    ASSERT_FALSE(handleInvalidMemory(img));
    OSErr err = noErr;
    switch (depth) {
        case 8: err = copyIntoFlimage8bit(img, gFilterRecord->inData, gFilterRecord->inRowBytes, x, y, w, h); break;
        case 16: err = copyIntoFlimage16bit(img, gFilterRecord->inData, gFilterRecord->inRowBytes, x, y, w, h); break;
        default: err = copyIntoFlimage32bit(img, gFilterRecord->inData, gFilterRecord->inRowBytes, x, y, w, h);
    }
    ASSERT_EQ(err, noErr);
    EXPECT_FALSE(img.paddingGenerated);
    for (int32 j = 0; j < h; ++j)
        for (int32 i = 0; i < w; ++i)
            for (int c = 0; c < 3; ++c) {
                const double s = sampleAt(depth, kFetched.left + x + i, kFetched.top + y + j, planes_ == 1 ? 0 : c);
                const float got = img.data[((j + 3) * img.paddedWidth + i + 3) * 3 + c];
                ASSERT_EQ(got, importedValue(depth, s)) << "pixel " << i << "," << j << " channel " << c
                                                         << " sample " << s;
            }
    // The border is left as the host gave it (NaN bytes).
    EXPECT_TRUE(std::isnan(img.data[0]));
}

TEST_P(HostPixels, EightBitViewReadsWithItsOwnStride) {
    const int32 depth = GetParam().depth;
    uint8ImageProxyFromAdvanceState view;
    view.init(kFetched, planes_, 1);
    ASSERT_EQ(view.errorCode, noErr);
    EXPECT_EQ(view.width, 9);
    EXPECT_EQ(view.height, 6);
    EXPECT_EQ(view.planes, planes_);
    EXPECT_EQ(view.bytesPerSample, depth / 8);
    if (depth == 8)
        EXPECT_EQ(view.rowStride, gFilterRecord->inRowBytes);
    else
        EXPECT_EQ(view.rowStride, 9 * planes_) << "the converted copy has no slack";
    for (int32 y = 0; y < view.height; ++y)
        for (int32 x = 0; x < view.width; ++x)
            for (int p = 0; p < planes_; ++p) {
                const double s = sampleAt(depth, kFetched.left + x, kFetched.top + y, p);
                ASSERT_EQ(int(view.data[y * view.rowStride + x * planes_ + p]), viewedByte(depth, s))
                    << "pixel " << x << "," << y << " plane " << p << " sample " << s;
            }
    EXPECT_TRUE(alerts().empty());
}

TEST_P(HostPixels, EightBitViewInitTwiceHoldsOneBuffer) {
    const int32 depth = GetParam().depth;
    uint8ImageProxyFromAdvanceState view;
    view.init(kFetched, planes_, 1);
    view.init(VRect{0, 0, 4, 4}, planes_, 1);
    ASSERT_EQ(view.errorCode, noErr);
    EXPECT_EQ(liveBuffers(), 2 + (depth == 8 ? 0 : 1));  // the tables, and the view's copy
    EXPECT_EQ(int(view.data[0]), viewedByte(depth, sampleAt(depth, 0, 0, 0)));
}

// 8-bit views use the host's own buffer; deeper ones take one of their own.
class DeepHostPixels : public HostPixels {};

TEST_P(DeepHostPixels, EightBitViewRefusedBuffer) {
    const int32 depth = GetParam().depth;
    refuseAllocation(1);
    {
        uint8ImageProxyFromAdvanceState view;
        view.init(kFetched, planes_, 1);
        EXPECT_EQ(view.errorCode, memFullErr);
        EXPECT_EQ(view.data, nullptr);
        ASSERT_EQ(alerts().size(), 1u);
        EXPECT_EQ(alerts()[0], depth == 16 ? "(Vexlor) Uint16 buffer allocation failed!"
                                           : "(Vexlor) Float buffer allocation failed!");
        EXPECT_EQ(result(), userCanceledErr);
    }
    EXPECT_EQ(liveBuffers(), 2);  // the tables only
}

INSTANTIATE_TEST_SUITE_P(Depths, HostPixels,
                         ::testing::Values(DepthCase{plugInModeGrayScale, 8}, DepthCase{plugInModeRGBColor, 8},
                                           DepthCase{plugInModeGrayScale, 16}, DepthCase{plugInModeRGBColor, 16},
                                           DepthCase{plugInModeGrayScale, 32}, DepthCase{plugInModeRGBColor, 32}),
                         caseName);

INSTANTIATE_TEST_SUITE_P(Depths, DeepHostPixels,
                         ::testing::Values(DepthCase{plugInModeGrayScale, 16}, DepthCase{plugInModeRGBColor, 16},
                                           DepthCase{plugInModeGrayScale, 32}, DepthCase{plugInModeRGBColor, 32}),
                         caseName);

class EightBitView : public HostFixture {};

TEST_F(EightBitView, WrongPlaneCountIsReportedButFetched) {
    makeHost(refhost::Document(plugInModeRGBColor, 8, 8));
    uint8ImageProxyFromAdvanceState view;
    view.init(VRect{0, 0, 4, 4}, 1, 1);
    EXPECT_EQ(view.errorCode, filterBadParameters);
    EXPECT_NE(view.data, nullptr);
}

TEST_F(EightBitView, HostErrorIsShownAndKept) {
    refhost::HostOptions options;
    options.badRequestError = -1234;
    makeHost(refhost::Document(plugInModeRGBColor, 8, 8), options);
    uint8ImageProxyFromAdvanceState view;
    view.init(VRect{0, 0, 40, 40}, 3, 1);  // outside the image
    EXPECT_EQ(view.errorCode, -1234);
    EXPECT_EQ(view.data, nullptr);
    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_EQ(alerts()[0], "(Vexlor) uint8ImageProxyFromAdvanceState::init error code: -1234");
}

TEST_F(EightBitView, MissingTableStopsA32BitView) {
    makeHost(refhost::Document(plugInModeRGB96, 8, 8));
    uint8ImageProxyFromAdvanceState view;
    view.init(VRect{0, 0, 4, 4}, 3, 1);
    EXPECT_EQ(view.errorCode, memFullErr);
    EXPECT_EQ(view.data, nullptr);
    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_EQ(alerts()[0], kOutOfMemoryAlert);
    EXPECT_EQ(result(), userCanceledErr);
}

// Linear samples through LUT3 by interpolation, clamped and rounded to the
// nearest byte; the bytes worked out in double precision from the curve
// (269.025 x^0.41666666 - 14.025 above 0.0031308, else 3294.6 x).
TEST_F(EightBitView, LinearSamplesBecomeTheNearestGammaByte) {
    struct Case {
        float linear;
        int byte;
    };
    const Case cases[] = {
        {0.0001f, 0},   // 0.329: the straight part
        {0.0005f, 2},   // 1.647
        {0.002f, 7},    // 6.589, rounded up
        {0.2f, 124},    // 123.555, between entries 819 and 820
        {0.3f, 149},    // 148.877
        {0.7f, 218},    // 217.848
        {0.99f, 254},   // 253.876
        {1.0f, 255},    {1.5f, 255}, {-0.5f, 0},
    };
    const int n = int(sizeof cases / sizeof cases[0]);
    refhost::Document doc(plugInModeGray32, n, 1);
    doc.fill([&](int32 x, int32, int16) { return double(cases[x].linear); });
    makeHost(doc);
    colorspaceConversionLUTs tables;
    ASSERT_TRUE(tables.ok());
    uint8ImageProxyFromAdvanceState view;
    view.init(VRect{0, 0, 1, n}, 1, 1);
    ASSERT_EQ(view.errorCode, noErr);
    for (int i = 0; i < n; ++i) EXPECT_EQ(int(view.data[i]), cases[i].byte) << "sample " << cases[i].linear;
}

TEST_F(EightBitView, SixteenBitSamplesAboveTheHostScaleStayWhite) {
    refhost::Document doc(plugInModeRGB48, 4, 4);
    makeHost(doc);
    // Past the 0..32768 scale (only a faulty host sends these).
    for (int32 y = 0; y < 4; ++y)
        for (int32 x = 0; x < 4; ++x)
            for (int16 p = 0; p < 3; ++p) *reinterpret_cast<uint16*>(host().document().pixel(x, y) + 2 * p) = 65535;
    uint8ImageProxyFromAdvanceState view;
    view.init(VRect{0, 0, 4, 4}, 3, 1);
    ASSERT_EQ(view.errorCode, noErr);
    EXPECT_EQ(int(view.data[0]), 255);
}

TEST_F(EightBitView, EverySixteenBitSampleBecomesTheNearestByteOfItsScale) {
    refhost::Document doc(plugInModeGray16, 256, 256);
    makeHost(doc);
    for (int32 y = 0; y < 256; ++y)
        for (int32 x = 0; x < 256; ++x) *reinterpret_cast<uint16*>(host().document().pixel(x, y)) = uint16(y * 256 + x);
    uint8ImageProxyFromAdvanceState view;
    view.init(VRect{0, 0, 256, 256}, 1, 1);
    ASSERT_EQ(view.errorCode, noErr);
    for (int32 s = 0; s < 65536; ++s) {
        const double v = s * 0.007781982421875 + 0.5;  // 255/32768, rounded half up
        const int expected = v >= 255.0 ? 255 : int(v);
        ASSERT_EQ(int(view.data[int64_t(s / 256) * view.rowStride + s % 256]), expected) << "sample " << s;
    }
}

class Interleave : public HostFixture {
protected:
    void SetUp() override { makeHost(); }
};

TEST_F(Interleave, ThreePlanesBecomeRGBTriples) {
    // Planes of 2 rows x 4 columns, rows 5 bytes apart (one byte of slack).
    const int32 width = 4, planeRowBytes = 5, total = 3 * 2 * planeRowBytes;
    std::vector<unsigned char> planes(total);
    for (int32 i = 0; i < total; ++i) planes[i] = static_cast<unsigned char>(i);
    {
        interleaved8bit_from_planes rgb(width, planeRowBytes, total, planes.data());
        ASSERT_EQ(rgb.errorCode, noErr);
        EXPECT_EQ(rgb.rows, 2);
        EXPECT_EQ(rgb.rowBytes, 12);
        EXPECT_EQ(rgb.size, 24);
        EXPECT_EQ(rgb.cursor, rgb.data + 24);
        for (int32 r = 0; r < 2; ++r)
            for (int32 x = 0; x < width; ++x)
                for (int p = 0; p < 3; ++p)
                    EXPECT_EQ(rgb.data[r * 12 + x * 3 + p], planes[p * (total / 3) + r * planeRowBytes + x]);
        EXPECT_EQ(liveBuffers(), 1);
    }
    EXPECT_EQ(liveBuffers(), 0);
}

TEST_F(Interleave, RefusedBuffer) {
    std::vector<unsigned char> planes(3 * 4 * 4, 7);
    refuseAllocation(1);
    interleaved8bit_from_planes rgb(4, 4, int32(planes.size()), planes.data());
    EXPECT_EQ(rgb.errorCode, memFullErr);
    EXPECT_EQ(rgb.data, nullptr);
    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_EQ(alerts()[0], "Vexlor: Error making interleaved buffer. Code: -108");
    EXPECT_EQ(result(), userCanceledErr);
}

TEST_F(Interleave, NoRowsIsABadRequest) {
    std::vector<unsigned char> planes(8, 7);
    interleaved8bit_from_planes rgb(4, 0, 8, planes.data());  // no plane row length
    EXPECT_EQ(rgb.errorCode, filterBadParameters);
    EXPECT_EQ(rgb.data, nullptr);
    EXPECT_EQ(alerts().size(), 1u);
}

// Megatiles: the chunk counts are process-wide, so every case starts from
// the counts at load and leaves them so.
class Megatiles : public HostFixture {
protected:
    void SetUp() override { megaTileChunksWide = megaTileChunksHigh = 4; }
    void hostWithTile(int32 tileWidth, int32 tileHeight, int32 width = 8, int32 height = 8) {
        refhost::HostOptions options;
        options.inTileWidth = tileWidth;
        options.inTileHeight = tileHeight;
        makeHost(refhost::Document(plugInModeGrayScale, width, height), options);
    }
};

struct TileCase {
    int32 tileWidth, tileHeight, megaWidth, megaHeight;
    int32 oneChunkWidth, oneChunkHeight;  // after a short-memory prepare
};

class MegatileSize : public Megatiles, public ::testing::WithParamInterface<TileCase> {};

TEST_P(MegatileSize, FourHostTilesEachWayAndNeverTiny) {
    const TileCase& c = GetParam();
    hostWithTile(c.tileWidth, c.tileHeight);
    EXPECT_EQ(megatileGetWidth(), c.megaWidth);
    EXPECT_EQ(megatileGetHeight(), c.megaHeight);
    megaTileChunksWide = megaTileChunksHigh = 1;
    EXPECT_EQ(megatileGetWidth(), c.oneChunkWidth);
    EXPECT_EQ(megatileGetHeight(), c.oneChunkHeight);
}

// Host tiles below 256 pixels make a megatile of at least 256, in whole tiles.
INSTANTIATE_TEST_SUITE_P(HostTiles, MegatileSize,
                         ::testing::Values(TileCase{0, 0, 1024, 1024, 256, 256}, TileCase{-5, 0, 1024, 1024, 256, 256},
                                           TileCase{256, 256, 1024, 1024, 256, 256},
                                           TileCase{512, 256, 2048, 1024, 512, 256},
                                           TileCase{128, 64, 512, 256, 256, 256}, TileCase{7, 7, 259, 259, 259, 259},
                                           TileCase{1, 1, 256, 256, 256, 256},
                                           TileCase{100, 3000, 400, 12000, 300, 3000}));

TEST_F(Megatiles, ShortMemoryPrepareLeavesOneHostTile) {
    refhost::HostOptions options;
    options.maxSpace = 1000;  // far below any plan
    makeHost(refhost::Document(plugInModeRGBColor, 40, 30), options);
    host().beginSelector(filterSelectorPrepare);
    DoPrepare();
    UnlockHandles();
    EXPECT_EQ(megatileGetWidth(), 256);
    EXPECT_EQ(megatileGetHeight(), 256);
}

struct SizeCase {
    int32 width, height;
    bool split;
};

class LargeEnough : public Megatiles, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(LargeEnough, TwoMegatilesWideOrHigh) {
    const SizeCase& c = GetParam();
    hostWithTile(0, 0, c.width, c.height);  // 1024 x 1024 megatiles
    EXPECT_EQ(megatilesIsImageLargeEnough(), c.split);
}

INSTANTIATE_TEST_SUITE_P(FilterRects, LargeEnough,
                         ::testing::Values(SizeCase{1500, 900, false}, SizeCase{2048, 4, true},
                                           SizeCase{2047, 2047, false}, SizeCase{4, 2048, true}));

}  // namespace
