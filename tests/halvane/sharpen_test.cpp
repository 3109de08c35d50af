// Sharpening after noise reduction: one step worked out by hand, what each
// amount touches, the strength's floor, and where a band polls for a cancel.
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "engine/band_driver.h"
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

// One sharpening step, worked out by hand, through the driver's thread body.  On a field f with one pixel
// P = f + h, the 24 weights w(e) sum to 11.6 and the mean is that sum times
// 1/11.6, so the high-pass c - M is h at P and -w(e) x h / 11.6 at P + e
// (|e| <= 2 on both axes, e != 0), 0 farther off; the step adds it times
// 11.6 x gain: hp = 11.6 x h at P, -w(e) x h at P + e.  Lab: L' = L + hp0 x
// gl, a' = a + hp1 x gc, b' = b + hp2 x gc.  RGB, with Y the luma:
// Y' = Y(c) + Y(hp) x gl, R' = Y' + (c0 - Y(c)) + (hp0 - Y(hp)) x gc, B' the
// same with channel 2, G' = (Y' - 0.299 R' - 0.114 B') / 0.587.  The gains
// are the pixel's own strength s times the two amounts.
const float kNeighbourWeights[5][5] = {
    {0.1f, 0.3f, 0.5f, 0.3f, 0.1f}, {0.3f, 0.7f, 1.0f, 0.7f, 0.3f}, {0.5f, 1.0f, 0.0f, 1.0f, 0.5f},
    {0.3f, 0.7f, 1.0f, 0.7f, 0.3f}, {0.1f, 0.3f, 0.5f, 0.3f, 0.1f},
};

class SharpenStep : public Sharpen, public ::testing::WithParamInterface<bool> {};

TEST_P(SharpenStep, ImpulseResponse) {
    isLABmode = GetParam();
    const float f[3] = {50, 60, 70}, h[3] = {100, 40, -20};
    const float sharpAmount = 0.5f, chromaSharpAmount = 0.8f;
    const int32 px = 6, py = 6;
    auto strengthAt = [](int32 x, int32 y) { return 0.25f + 0.05f * float((x + 2 * y) % 5); };
    fl_image src(13, 13), dst(13, 13);
    strength_map map(13, 13);
    fillInterior(src, [&](int32 x, int32 y, int c) { return x == px && y == py ? f[c] + h[c] : f[c]; });
    src.generatePadding();
    flimageToFlimage(src, dst);
    for (int32 y = 0; y < 13; ++y)
        for (int32 x = 0; x < 13; ++x) map.row(y)[x] = strengthAt(x, y);
    // As the driver's second pass runs it: through its thread body.
    threadedSharpen({&src, &dst, &map, sharpAmount, chromaSharpAmount, 0, 13, -1});

    auto luma = [](const float* v) { return 0.299f * v[0] + 0.587f * v[1] + 0.114f * v[2]; };
    for (int32 y = 0; y < 13; ++y)
        for (int32 x = 0; x < 13; ++x) {
            const int ex = x - px, ey = y - py;
            const bool centre = ex == 0 && ey == 0;
            const bool near = std::abs(ex) <= 2 && std::abs(ey) <= 2;
            const float factor = centre ? 11.6f : near ? -kNeighbourWeights[ey + 2][ex + 2] : 0.0f;
            float c[3], hp[3], expected[3];
            for (int k = 0; k < 3; ++k) {
                c[k] = centre ? f[k] + h[k] : f[k];
                hp[k] = factor * h[k];
            }
            const float gl = strengthAt(x, y) * sharpAmount, gc = strengthAt(x, y) * chromaSharpAmount;
            if (isLABmode) {
                expected[0] = c[0] + hp[0] * gl;
                expected[1] = c[1] + hp[1] * gc;
                expected[2] = c[2] + hp[2] * gc;
            } else {
                const float Y2 = luma(c) + luma(hp) * gl;
                expected[0] = Y2 + (c[0] - luma(c)) + (hp[0] - luma(hp)) * gc;
                expected[2] = Y2 + (c[2] - luma(c)) + (hp[2] - luma(hp)) * gc;
                expected[1] = (Y2 - 0.299f * expected[0] - 0.114f * expected[2]) / 0.587f;
            }
            for (int k = 0; k < 3; ++k)
                ASSERT_NEAR(pixel(dst, x, y)[k], expected[k], 2e-4f) << "pixel " << x << "," << y << " channel " << k;
        }
}

INSTANTIATE_TEST_SUITE_P(LabAndRgb, SharpenStep, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& i) { return std::string(i.param ? "Lab" : "Rgb"); });

TEST_F(Sharpen, BothAmountsZeroWriteNothing) {
    fl_image src(10, 10), dst(10, 10);
    strength_map map(10, 10);
    spot(src, dst, map, 40.0f, 90.0f, 1.0f, 5, 5);
    fillInterior(dst, [](int32, int32, int) { return -1.0f; });
    const std::vector<float> before = interior(dst);
    EXPECT_EQ(sharpenAfterNoiseReduce(src, dst, map, 0.0f, 0.0f, 0, 10, -1), 0) << "no row written";
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
    EXPECT_EQ(sharpenAfterNoiseReduce(src, dst, map, 0.5f, 0.5f, 0, 120, -1), 51) << "rows 0 to 50 written";
    EXPECT_TRUE(globalUserCancelled);
    EXPECT_EQ(host().result(), userCanceledErr);
    EXPECT_NE(pixel(dst, 4, 50)[0], pixel(src, 4, 50)[0]);
    for (int32 y = 51; y < 120; ++y)
        for (int32 x = 0; x < 8; ++x) ASSERT_EQ(pixel(dst, x, y)[0], pixel(src, x, y)[0]) << y;
}

// A cancel in the middle of the driver's sharpening: the rows it reached
// are sharpened as in a run without a cancel, and every row after them holds
// the noise reduction's result, worked out here by the first-pass core
// alone.  One thread: the calling thread's band polls after row 50 (the
// host's second abort call; the first follows the first pass).
TEST_F(Sharpen, ACancelInTheDriversSharpeningLeavesTheRowsNotReachedNoiseReduced) {
    setEngineThreadCount(1);
    const int32 W = 24, H = 160;
    const float levelConstant = 2e-5f, noiseLevel = 12.0f, amount = 1.0f, sharpAmount = 0.6f, chroma = 0.4f;
    fl_image img(W, H), whole(W, H), reduced(W, H);
    fillNoisyScene(img, 5);
    flimageToFlimage(img, whole);
    img.generatePadding();
    flimageToFlimage(img, reduced);
    strength_map map(W, H);
    threadedNoiseReduce({&img, &reduced, &map, levelConstant, noiseLevel, false, amount, sharpAmount, 0, H, -1});
    ASSERT_EQ(noiseReduceRunThreads(whole, levelConstant, noiseLevel, false, amount, sharpAmount, chroma), 0);

    beginFilteringRun(true);
    host().cancelAtAbortCall = 2;
    EXPECT_EQ(noiseReduceRunThreads(img, levelConstant, noiseLevel, false, amount, sharpAmount, chroma),
              userCanceledErr);
    EXPECT_EQ(host().abortCalls(), 2);
    int32 sharpenedRowsDiffer = 0, laterRowsDiffer = 0;
    for (int32 y = 0; y < H; ++y)
        for (int32 x = 0; x < W; ++x)
            for (int c = 0; c < 3; ++c) {
                const float got = pixel(img, x, y)[c];
                if (y <= 50) {
                    ASSERT_EQ(got, pixel(whole, x, y)[c]) << x << ", " << y;
                    sharpenedRowsDiffer += got != pixel(reduced, x, y)[c];
                } else {
                    ASSERT_EQ(got, pixel(reduced, x, y)[c]) << x << ", " << y;
                    laterRowsDiffer += pixel(whole, x, y)[c] != got;
                }
            }
    EXPECT_GT(sharpenedRowsDiffer, 0) << "sharpening changes the rows it reaches";
    EXPECT_GT(laterRowsDiffer, 0) << "and would have changed the rows after them";
}

}  // namespace
