// Sharpening after noise reduction: the single-pixel formula, what each
// amount touches, the strength's floor, and where a band polls for a cancel.
#include <cmath>
#include <limits>

#include "halvane/sharpen.h"
#include "support/host_fixture.h"
#include "support/pixels.h"

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();

class Sharpen : public ProductDefaultsTest {
protected:
    void SetUp() override {
        ProductDefaultsTest::SetUp();
        isLABmode = false;
    }
    void TearDown() override {
        isLABmode = false;
        ProductDefaultsTest::TearDown();
    }
    // source: f everywhere but v at (cx, cy); destination a copy; strength s.
    void spot(fl_image& src, fl_image& dst, strength_map& map, float f, float v, float s, int32 cx, int32 cy) {
        fillInterior(src, [&](int32 x, int32 y, int c) { return x == cx && y == cy ? v + c : f + c; });
        src.generatePadding();
        flimageToFlimage(src, dst);
        fillMap(map, s);
    }
};

TEST_F(Sharpen, SinglePixelInAFlatFieldLab) {
    isLABmode = true;
    const float f = 40.0f, v = 90.0f, a = 0.3f;
    fl_image src(12, 12), dst(12, 12);
    strength_map map(12, 12);
    spot(src, dst, map, f, v, 1.0f, 6, 6);
    sharpenAfterNoiseReduce(src, dst, map, a, 0.0f, 0, 12, -1);
    EXPECT_NEAR(pixel(dst, 6, 6)[0], v + (v - f) * a * 11.6f, 1e-3f);
    // Colour amounts 0: a and b rewritten unchanged.
    EXPECT_EQ(pixel(dst, 6, 6)[1], v + 1);
    EXPECT_EQ(pixel(dst, 6, 6)[2], v + 2);
    // The ring around the pixel moves the other way.
    EXPECT_LT(pixel(dst, 7, 6)[0], f);
}

TEST_F(Sharpen, BothAmountsZeroWriteNothing) {
    fl_image src(10, 10), dst(10, 10);
    strength_map map(10, 10);
    spot(src, dst, map, 40.0f, 90.0f, 1.0f, 5, 5);
    fillInterior(dst, [](int32, int32, int) { return -1.0f; });
    const std::vector<float> before = interior(dst);
    sharpenAfterNoiseReduce(src, dst, map, 0.0f, 0.0f, 0, 10, -1);
    EXPECT_TRUE(sameBits(before, interior(dst)));
}

TEST_F(Sharpen, ChromaOnlyKeepsLightnessInLab) {
    isLABmode = true;
    fl_image src(14, 14), dst(14, 14);
    strength_map map(14, 14);
    fillInterior(src, patternValue);
    src.generatePadding();
    flimageToFlimage(src, dst);
    fillMap(map, 0.8f);
    sharpenAfterNoiseReduce(src, dst, map, 0.0f, 0.5f, 0, 14, -1);
    int changed = 0;
    for (int32 y = 0; y < 14; ++y)
        for (int32 x = 0; x < 14; ++x) {
            ASSERT_EQ(pixel(dst, x, y)[0], pixel(src, x, y)[0]);
            changed += pixel(dst, x, y)[1] != pixel(src, x, y)[1];
        }
    EXPECT_GT(changed, 100);
}

TEST_F(Sharpen, ChromaOnlyKeepsLumaInRgb) {
    fl_image src(14, 14), dst(14, 14);
    strength_map map(14, 14);
    fillInterior(src, patternValue);
    src.generatePadding();
    flimageToFlimage(src, dst);
    fillMap(map, 0.8f);
    sharpenAfterNoiseReduce(src, dst, map, 0.0f, 0.5f, 0, 14, -1);
    auto luma = [](const float* p) { return 0.299f * p[0] + 0.587f * p[1] + 0.114f * p[2]; };
    int changed = 0;
    for (int32 y = 0; y < 14; ++y)
        for (int32 x = 0; x < 14; ++x) {
            ASSERT_NEAR(luma(pixel(dst, x, y)), luma(pixel(src, x, y)), 1e-3f);
            changed += pixel(dst, x, y)[0] != pixel(src, x, y)[0];
        }
    EXPECT_GT(changed, 100);
}

class SharpenStrength : public Sharpen, public ::testing::WithParamInterface<float> {};

TEST_P(SharpenStrength, NoGainWithoutPositiveStrength) {
    isLABmode = true;
    fl_image src(12, 12), dst(12, 12);
    strength_map map(12, 12);
    spot(src, dst, map, 40.0f, 90.0f, GetParam(), 6, 6);
    sharpenAfterNoiseReduce(src, dst, map, 0.5f, 0.5f, 0, 12, -1);
    EXPECT_TRUE(sameBits(interior(src), interior(dst)));
}

INSTANTIATE_TEST_SUITE_P(ZeroNegativeUndefined, SharpenStrength, ::testing::Values(0.0f, -0.5f, kNaN));

TEST_F(Sharpen, FlatNeighbourhoodKeepsItsValue) {
    fl_image src(10, 10), dst(10, 10);
    strength_map map(10, 10);
    spot(src, dst, map, 77.0f, 77.0f, 1.0f, 0, 0);
    sharpenAfterNoiseReduce(src, dst, map, 0.7f, 0.7f, 0, 10, -1);
    for (int32 y = 0; y < 10; ++y)
        for (int32 x = 0; x < 10; ++x)
            for (int c = 0; c < 3; ++c) ASSERT_NEAR(pixel(dst, x, y)[c], 77.0f + c, 1e-3f);
}

struct PollCase {
    int32 firstRow, endRow;
    int64_t polls;
};

class SharpenPolling : public Sharpen, public ::testing::WithParamInterface<PollCase> {};

// The calling thread's band polls the host's abort after rows 50, 150, ...
TEST_P(SharpenPolling, PollsAfterEveryHundredthRowFromFifty) {
    const PollCase c = GetParam();
    beginFilteringRun(true);
    fl_image src(8, 300), dst(8, 300);
    strength_map map(8, 300);
    spot(src, dst, map, 40.0f, 90.0f, 1.0f, 3, 3);
    const int64_t before = host().abortCalls();
    sharpenAfterNoiseReduce(src, dst, map, 0.5f, 0.5f, c.firstRow, c.endRow, -1);
    EXPECT_EQ(host().abortCalls() - before, c.polls);
    // A worker's band only reads the flag.
    sharpenAfterNoiseReduce(src, dst, map, 0.5f, 0.5f, c.firstRow, c.endRow, 3);
    EXPECT_EQ(host().abortCalls() - before, c.polls);
}

INSTANTIATE_TEST_SUITE_P(Bands, SharpenPolling,
                         ::testing::Values(PollCase{0, 40, 0}, PollCase{100, 160, 1}, PollCase{0, 251, 3},
                                           PollCase{51, 150, 0}));

TEST_F(Sharpen, CancelLeavesTheRestOfTheBandUnsharpened) {
    beginFilteringRun(true);
    host().cancelAtAbortCall = 1;
    fl_image src(8, 120), dst(8, 120);
    strength_map map(8, 120);
    fillInterior(src, patternValue);
    src.generatePadding();
    flimageToFlimage(src, dst);
    fillMap(map, 1.0f);
    sharpenAfterNoiseReduce(src, dst, map, 0.5f, 0.5f, 0, 120, -1);
    EXPECT_TRUE(globalUserCancelled);
    EXPECT_EQ(host().result(), userCanceledErr);
    EXPECT_NE(pixel(dst, 4, 50)[0], pixel(src, 4, 50)[0]);
    for (int32 y = 51; y < 120; ++y)
        for (int32 x = 0; x < 8; ++x) ASSERT_EQ(pixel(dst, x, y)[0], pixel(src, x, y)[0]) << y;
}

}  // namespace
