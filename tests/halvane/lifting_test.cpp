// The lifting passes: sizes of the levels, what the reconstruction reads,
// the round trip through the detail band, and size checks.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "engine/lifting.h"
#include "support/host_fixture.h"
#include "support/pixels.h"

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();

class Lifting : public ProductDefaultsTest {};

// Poisons the whole padded buffer, then fills the interior: the border holds
// NaN but is declared current, so any read of it shows in the result.
void poisonBorder(fl_image& img, const std::function<float(int32, int32, int)>& f) {
    const int64_t n = int64_t(img.paddedWidth) * img.paddedHeight * 3;
    for (int64_t i = 0; i < n; ++i) img.data[i] = kNaN;
    fillInterior(img, f);
    img.paddingGenerated = true;
}

bool allFinite(fl_image& img) {
    for (float v : interior(img))
        if (!std::isfinite(v)) return false;
    return true;
}

TEST_F(Lifting, TwentyFiveAllocatesLevelsOfThirteenSevenAndFour) {
    fl_image img(25, 25);
    const flimageDimensions d1 = similarityLiftDimensions(img);
    EXPECT_EQ(d1.width, 13);
    EXPECT_EQ(d1.height, 13);
    fl_image l1(d1);
    const flimageDimensions d2 = similarityLiftDimensions(l1);
    EXPECT_EQ(d2.width, 7);
    fl_image l2(d2);
    const flimageDimensions d3 = similarityLiftDimensions(l2);
    EXPECT_EQ(d3.width, 4);
    EXPECT_EQ(d3.height, 4);
    EXPECT_EQ(d3.padX, 3);
    EXPECT_EQ(d3.padY, 3);
}

TEST_F(Lifting, LiftKeepsEverySecondPixelOfEverySecondRow) {
    fl_image fine(5, 3);
    fillInterior(fine, [](int32 x, int32 y, int c) { return float(100 * y + 10 * x + c); });
    fl_image coarse(similarityLiftDimensions(fine));
    ASSERT_EQ(coarse.width, 3);
    ASSERT_EQ(coarse.height, 2);
    ASSERT_EQ(similarityLift(fine, coarse), noErr);
    for (int32 j = 0; j < 2; ++j)
        for (int32 i = 0; i < 3; ++i)
            for (int c = 0; c < 3; ++c) EXPECT_EQ(pixel(coarse, i, j)[c], pixel(fine, 2 * i, 2 * j)[c]);
}

TEST_F(Lifting, OddSizesReadNoBorder) {
    fl_image fine(5, 3);
    poisonBorder(fine, patternValue);
    fl_image coarse(3, 2);
    poisonBorder(coarse, [](int32 x, int32 y, int c) { return patternValue(2 * x, 2 * y, c); });
    fl_image out(5, 3);
    ASSERT_EQ(similarityReconstruct(coarse, fine, out), noErr);
    EXPECT_TRUE(allFinite(out));
}

TEST_F(Lifting, EvenSizesBlendWithTheReflectedBorder) {
    // Width 4 from a coarse width of 2: x = 3 blends coarse columns 1 and 2,
    // column 2 being the reflected border; with a poisoned border it shows.
    fl_image fine(4, 4);
    poisonBorder(fine, patternValue);
    fl_image coarse(2, 2);
    poisonBorder(coarse, patternValue);
    fl_image out(4, 4);
    ASSERT_EQ(similarityReconstruct(coarse, fine, out), noErr);
    EXPECT_FALSE(std::isfinite(pixel(out, 3, 0)[0]));
    EXPECT_TRUE(std::isfinite(pixel(out, 2, 0)[0]));
}

TEST_F(Lifting, FlatFineImageAveragesTheCoarsePixels) {
    fl_image fine(8, 8);
    fillInterior(fine, [](int32, int32, int) { return 50.0f; });
    fl_image coarse(4, 4);
    fillInterior(coarse, [](int32 x, int32 y, int) { return float(10 * x + 100 * y); });
    fl_image out(8, 8);
    ASSERT_EQ(similarityReconstruct(coarse, fine, out), noErr);
    EXPECT_EQ(pixel(out, 2, 2)[0], 110.0f);                            // even, even: the coarse pixel
    EXPECT_FLOAT_EQ(pixel(out, 3, 2)[0], 0.5f * 110.0f + 0.5f * 120.0f);  // horizontal mean
    EXPECT_FLOAT_EQ(pixel(out, 2, 3)[0], 0.5f * 110.0f + 0.5f * 210.0f);  // vertical mean
    EXPECT_FLOAT_EQ(pixel(out, 3, 3)[0], 0.25f * (110.0f + 120.0f + 210.0f + 220.0f));
}

TEST_F(Lifting, DistantNeighboursAreAveragedEvenly) {
    // Fine pixel (1, 0) is farther than 210 from both horizontal neighbours.
    fl_image fine(8, 8);
    fillInterior(fine, [](int32 x, int32, int) { return x == 1 ? 255.0f : 0.0f; });
    fl_image coarse(4, 4);
    fillInterior(coarse, [](int32 x, int32, int) { return x == 0 ? 20.0f : 60.0f; });
    fl_image out(8, 8);
    ASSERT_EQ(similarityReconstruct(coarse, fine, out), noErr);
    EXPECT_EQ(pixel(out, 1, 0)[0], 0.5f * 20.0f + 0.5f * 60.0f);
}

TEST_F(Lifting, ReconstructThenUndifferenceReturnsTheFineImage) {
    fl_image fine(25, 25);
    fillInterior(fine, patternValue);
    fl_image coarse(similarityLiftDimensions(fine));
    ASSERT_EQ(similarityLift(fine, coarse), noErr);
    fl_image prediction(getFlimageDimensions(fine)), details(getFlimageDimensions(fine));
    ASSERT_EQ(similarityReconstruct(coarse, fine, prediction), noErr);
    ASSERT_EQ(differencePass(fine, prediction, details), noErr);
    fl_image back(getFlimageDimensions(fine));
    ASSERT_EQ(unDifferencePass(prediction, details, back), noErr);
    const std::vector<float> a = interior(fine), b = interior(back);
    for (size_t i = 0; i < a.size(); ++i) ASSERT_NEAR(a[i], b[i], 1e-4f) << i;
}

// The reconstruction rule for one pixel, written plainly.
float rampOf(float d) {
    if (d <= 10.0f) return 1.0f;
    if (d > 10.0f + 200.0f) return 0.0f;
    return 1.0f + (10.0f - d) * (1.0f / 200.0f);
}
float l1Of(const float* p, const float* q) {
    return std::fabs(p[0] - q[0]) + std::fabs(p[1] - q[1]) + std::fabs(p[2] - q[2]);
}
void referenceReconstruct(fl_image& coarse, fl_image& fine, int32 x, int32 y, float out[3]) {
    float* f = pixel(fine, x, y);
    const int64_t row = int64_t(fine.paddedWidth) * 3;
    float* c = pixel(coarse, x / 2, y / 2);
    const int64_t crow = int64_t(coarse.paddedWidth) * 3;
    const bool oddX = x & 1, oddY = y & 1;
    if (!oddX && !oddY) {
        for (int k = 0; k < 3; ++k) out[k] = c[k];
    } else if (oddX != oddY) {
        const int64_t step = oddX ? 3 : row, cstep = oddX ? 3 : crow;
        float a = rampOf(l1Of(f, f - step)), b = rampOf(l1Of(f, f + step));
        if (a != 0.0f || b != 0.0f) {
            const float sum = a + b;
            a = a / sum;
            b = b / sum;
        } else {
            a = b = 0.5f;
        }
        for (int k = 0; k < 3; ++k) out[k] = a * c[k] + b * c[k + cstep];
    } else {
        float w[4] = {rampOf(l1Of(f, f - row - 3)), rampOf(l1Of(f, f - row + 3)), rampOf(l1Of(f, f + row - 3)),
                      rampOf(l1Of(f, f + row + 3))};
        if (w[0] != 0.0f || w[1] != 0.0f || w[2] != 0.0f || w[3] != 0.0f) {
            const float sum = w[0] + w[1] + w[2] + w[3];
            for (float& v : w) v = v / sum;
        } else {
            for (float& v : w) v = 0.25f;
        }
        for (int k = 0; k < 3; ++k)
            out[k] = w[0] * c[k] + w[1] * c[k + 3] + w[2] * c[k + crow] + w[3] * c[k + crow + 3];
    }
}

TEST_F(Lifting, ReconstructionIsTheRuleAtEveryPixel) {
    for (int32 w : {25, 64, 130, 151}) {
        fl_image fine(w, 37);
        // Steps and noise, so that every branch of the ramp is taken.
        fillInterior(fine, [](int32 x, int32 y, int c) { return patternValue(x, y, c) * (x % 7 == 3 ? 3.0f : 1.0f); });
        fl_image coarse(similarityLiftDimensions(fine));
        ASSERT_EQ(similarityLift(fine, coarse), noErr);
        fillInterior(coarse, [](int32 x, int32 y, int c) { return patternValue(y, x, c); });
        coarse.generatePadding();
        fl_image out(getFlimageDimensions(fine));
        ASSERT_EQ(similarityReconstruct(coarse, fine, out), noErr);
        for (int32 y = 0; y < fine.height; ++y)
            for (int32 x = 0; x < w; ++x) {
                float expected[3];
                referenceReconstruct(coarse, fine, x, y, expected);
                for (int c = 0; c < 3; ++c) ASSERT_EQ(pixel(out, x, y)[c], expected[c]) << x << "," << y << " w " << w;
            }
    }
}

TEST_F(Lifting, FusedPassesMatchTheSeparatePasses) {
    fl_image fine(131, 27);
    fillInterior(fine, patternValue);
    fl_image coarse(similarityLiftDimensions(fine));
    ASSERT_EQ(similarityLift(fine, coarse), noErr);
    fillInterior(coarse, [](int32 x, int32 y, int c) { return patternValue(y, x, c); });
    const flimageDimensions d = getFlimageDimensions(fine);
    fl_image prediction(d), details(d), fused(d);
    ASSERT_EQ(similarityReconstruct(coarse, fine, prediction), noErr);
    ASSERT_EQ(differencePass(fine, prediction, details), noErr);
    ASSERT_EQ(reconstructDetailsPass(coarse, fine, fused), noErr);
    EXPECT_TRUE(sameBits(interior(details), interior(fused)));

    fl_image other(d), rebuilt(d), rebuiltFused(d);
    fillInterior(other, [](int32 x, int32 y, int c) { return float((x * 7 + y * 3 + c) % 23) - 11.0f; });
    ASSERT_EQ(unDifferencePass(prediction, other, rebuilt), noErr);
    ASSERT_EQ(reconstructUnDifferencePass(coarse, fine, other, rebuiltFused), noErr);
    EXPECT_TRUE(sameBits(interior(rebuilt), interior(rebuiltFused)));
    // Over the details themselves, as the structure's rebuild does; the
    // rewritten level's border is stale from then on.
    other.generatePadding();
    ASSERT_EQ(reconstructUnDifferencePass(coarse, fine, other, other), noErr);
    EXPECT_TRUE(sameBits(interior(rebuilt), interior(other)));
    EXPECT_FALSE(other.paddingGenerated);
    // Never over an image the prediction reads.
    EXPECT_EQ(reconstructUnDifferencePass(coarse, fine, other, fine), kLiftingSizeMismatch);
}

// A level rewritten by unDifferencePass is read as the coarse image of the
// next reconstruction: its border must be that of the new interior.
TEST_F(Lifting, BorderIsRegeneratedAfterUndifference) {
    fl_image fine(26, 26);
    fillInterior(fine, patternValue);
    fl_image coarse(13, 13);
    fillInterior(coarse, [](int32, int32, int) { return 10.0f; });
    coarse.generatePadding();
    // Rewrite the coarse level: prediction - details.
    fl_image prediction(13, 13), details(13, 13);
    fillInterior(prediction, [](int32 x, int32 y, int c) { return float(3 * x + 5 * y + c); });
    fillInterior(details, [](int32 x, int32, int) { return float(-x); });
    ASSERT_EQ(unDifferencePass(prediction, details, coarse), noErr);
    EXPECT_FALSE(coarse.paddingGenerated);

    fl_image out(26, 26);
    ASSERT_EQ(similarityReconstruct(coarse, fine, out), noErr);
    // The same coarse interior with a freshly generated border.
    fl_image fresh(13, 13);
    fillInterior(fresh, [](int32 x, int32 y, int c) { return float(3 * x + 5 * y + c) + float(x); });
    fresh.generatePadding();
    fl_image expected(26, 26);
    ASSERT_EQ(similarityReconstruct(fresh, fine, expected), noErr);
    EXPECT_TRUE(sameBits(interior(out), interior(expected)));
}

struct MismatchCase {
    const char* name;
    int32 w1, h1, w2, h2, w3, h3;  // the pass's three images (the third unused by the lift)
    OSErr (*pass)(fl_image&, fl_image&, fl_image&);
};

OSErr liftPass(fl_image& a, fl_image& b, fl_image&) { return similarityLift(a, b); }

class LiftingSizes : public ProductDefaultsTest, public ::testing::WithParamInterface<MismatchCase> {};

TEST_P(LiftingSizes, MismatchIsAnErrorAndWritesNothing) {
    const MismatchCase& c = GetParam();
    fl_image a(c.w1, c.h1), b(c.w2, c.h2), out(c.w3, c.h3);
    fillInterior(a, patternValue);
    fillInterior(b, patternValue);
    fillInterior(out, [](int32, int32, int) { return 7.0f; });
    fl_image& written = c.pass == liftPass ? b : out;
    const std::vector<float> before = interior(written);
    EXPECT_EQ(c.pass(a, b, out), kLiftingSizeMismatch);
    EXPECT_TRUE(sameBits(before, interior(written)));
}

INSTANTIATE_TEST_SUITE_P(
    Passes, LiftingSizes,
    ::testing::Values(MismatchCase{"liftTooSmall", 25, 25, 12, 13, 4, 4, liftPass},
                      MismatchCase{"liftTooLarge", 25, 25, 13, 14, 4, 4, liftPass},
                      MismatchCase{"reconstructCoarse", 12, 12, 26, 26, 26, 26, similarityReconstruct},
                      MismatchCase{"reconstructOut", 13, 13, 26, 26, 25, 26, similarityReconstruct},
                      MismatchCase{"differenceShortA", 20, 19, 20, 20, 20, 20, differencePass},
                      MismatchCase{"differenceNarrowOut", 20, 20, 20, 20, 19, 20, differencePass},
                      MismatchCase{"undifferenceB", 20, 20, 21, 20, 20, 20, unDifferencePass},
                      MismatchCase{"undifferenceOut", 20, 20, 20, 20, 20, 21, unDifferencePass}),
    [](const ::testing::TestParamInfo<MismatchCase>& i) { return std::string(i.param.name); });

TEST_F(Lifting, ImageWithoutBufferAlertsOnce) {
    fl_image fine(25, 25);
    fillInterior(fine, patternValue);
    host().buffers().resetCount();
    host().buffers().plan.refuseNth = 1;
    fl_image coarse(similarityLiftDimensions(fine));
    EXPECT_EQ(similarityLift(fine, coarse), memFullErr);
    EXPECT_EQ(alerts().size(), 1u);
    EXPECT_EQ(host().result(), userCanceledErr);
}

TEST_F(Lifting, BandedPassesDoNotDependOnTheThreadCount) {
    fl_image fine(61, 45);
    fillInterior(fine, patternValue);
    fl_image coarse(similarityLiftDimensions(fine));
    ASSERT_EQ(similarityLift(fine, coarse), noErr);
    std::vector<float> reference;
    for (int32 n : {1, 3, 8, 64}) {
        setEngineThreadCount(n);
        fl_image out(getFlimageDimensions(fine));
        ASSERT_EQ(similarityReconstruct(coarse, fine, out), noErr);
        if (reference.empty())
            reference = interior(out);
        else
            EXPECT_TRUE(sameBits(reference, interior(out))) << n << " threads";
    }
}

TEST_F(Lifting, ProcessInQuadrants) {
    EXPECT_FALSE(processInQuadrants(1000, 1000));
    EXPECT_TRUE(processInQuadrants(1001, 1000));
    EXPECT_FALSE(processInQuadrants(10000, 134));
}

// The form without arguments measures the host's filter rectangle: its
// width and height, wherever it lies in the document.
TEST_F(Lifting, ProcessInQuadrantsOfTheFilterRectangle) {
    struct Case {
        VRect filter;
        bool quarters;
    };
    const Case cases[] = {{{100, 200, 1100, 1201}, true},  // 1001 x 1000
                          {{100, 201, 1100, 1201}, false},  // 1000 x 1000
                          {{0, 0, 134, 1990}, false}};      // 1990 x 134
    for (const Case& c : cases) {
        refhost::HostOptions options;
        options.filterRect = c.filter;
        HostFixture::makeHost(refhost::Document(plugInModeGrayScale, 2000, 1200), options);
        EXPECT_EQ(processInQuadrants(), c.quarters) << c.filter.left << ", " << c.filter.top;
    }
}

// The soft threshold: a sample beyond t moves t toward 0, one within t
// becomes 0.
TEST_F(Lifting, ThresholdMovesSamplesTowardZero) {
    struct Case {
        float t, v, expected;
    };
    const Case cases[] = {
        {1.5f, 2.0f, 0.5f},  {1.5f, 1.0f, 0.0f},  {1.5f, 1.5f, 0.0f},     {0.0f, 3.25f, 3.25f},
        {0.0f, 0.0f, 0.0f},  {10.0f, 255.0f, 245.0f}, {0.0f, kNaN, 0.0f},
    };
    for (const Case& c : cases) {
        // v in channel 0, -v in channel 1, 0 in channel 2.
        fl_image img(3, 2);
        fillImage(img, [&](int32, int32, int ch) { return ch == 0 ? c.v : ch == 1 ? -c.v : 0.0f; });
        thresholdNR(img, c.t);
        for (int32 y = 0; y < 2; ++y)
            for (int32 x = 0; x < 3; ++x) {
                EXPECT_EQ(pixel(img, x, y)[0], c.expected) << "t " << c.t << ", v " << c.v;
                EXPECT_EQ(pixel(img, x, y)[1], -c.expected) << "t " << c.t << ", v " << -c.v;
                EXPECT_EQ(pixel(img, x, y)[2], 0.0f);
            }
    }
}

// Only the interior is thresholded; the border, left as it was, is marked
// stale.
TEST_F(Lifting, ThresholdLeavesTheBorder) {
    fl_image img(5, 4);
    fillImage(img, [](int32 x, int32 y, int ch) { return float(10 * x + y + ch); });
    const std::vector<float> before = contents(img);
    thresholdNR(img, 100.0f);
    EXPECT_FALSE(img.paddingGenerated);
    const std::vector<float> after = contents(img);
    for (size_t i = 0; i < after.size(); ++i) {
        const int64_t p = int64_t(i / 3), x = p % img.paddedWidth - img.padX, y = p / img.paddedWidth - img.padY;
        const bool inside = x >= 0 && x < img.width && y >= 0 && y < img.height;
        EXPECT_EQ(after[i], inside ? 0.0f : before[i]) << "x " << x << ", y " << y;
    }
}

TEST_F(Lifting, ThresholdOfAnImageWhoseBufferWasRefusedDoesNothing) {
    refuseAllocation(1);
    fl_image img(8, 8);
    ASSERT_EQ(img.data, nullptr);
    thresholdNR(img, 1.0f);
    EXPECT_EQ(img.data, nullptr);
}

// The edge score, worked by hand: D the L1 distance over the three channels.
TEST_F(Lifting, EdgeScoreOfOpposingPoints) {
    struct Case {
        const char* name;
        float a[3], b[3], c[3], d[3], e[3], f[3];
        float s;
        float expected;
    };
    const Case cases[] = {
        // D(b, e) = 30 + 4 + 2 = 36, the outer distances 0: 0.75 x 36.
        {"FlatSides", {10, 2, 1}, {10, 2, 1}, {10, 2, 1}, {40, 6, 3}, {40, 6, 3}, {40, 6, 3}, 0.0f, 27.0f},
        // D(a, b) = 2, D(e, f) = 1: 27 - 0.75 x 1 x 3 = 24.75.
        {"OuterDistancesCount", {12, 2, 1}, {10, 2, 1}, {10, 2, 1}, {40, 6, 3}, {40, 6, 3}, {40, 6, 4}, 0.0f,
         24.75f},
        // s = 150 doubles their weight: 27 - 0.75 x 2 x (1 + 1 + 1 + 1) = 21.
        {"SDoublesTheSides", {11, 2, 1}, {10, 2, 1}, {10, 3, 1}, {40, 6, 2}, {40, 6, 3}, {41, 6, 3}, 150.0f,
         21.0f},
        // 0.75 x 2 - 0.75 x 1 x 4 < 0.
        {"NegativeIsZero", {14, 0, 0}, {10, 0, 0}, {10, 0, 0}, {12, 0, 0}, {12, 0, 0}, {12, 0, 0}, 0.0f, 0.0f},
        {"NoNumberIsZero", {0, 0, 0}, {kNaN, 0, 0}, {0, 0, 0}, {0, 0, 0}, {1, 0, 0}, {0, 0, 0}, 0.0f, 0.0f},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(edgeSmoothCompareOpposingPoints(c.a, c.b, c.c, c.d, c.e, c.f, c.s), c.expected, 1e-4f) << c.name;
}

TEST_F(Lifting, MedianCompareSortsByValueAlone) {
    EXPECT_TRUE(medianCompare({9, 1.0f}, {0, 2.0f}));
    EXPECT_FALSE(medianCompare({0, 2.0f}, {9, 1.0f}));
    EXPECT_FALSE(medianCompare({0, 2.0f}, {1, 2.0f}));
    EXPECT_FALSE(medianCompare({5, kNaN}, {1, 2.0f}));
    EXPECT_FALSE(medianCompare({1, 2.0f}, {5, kNaN}));
    std::vector<medianPixelStruct> pixels = {{0, 5.5f}, {1, -2.0f}, {2, 3.0f}, {3, 0.0f}, {4, 5.0f}};
    std::sort(pixels.begin(), pixels.end(), medianCompare);
    const int32 order[] = {1, 3, 2, 4, 0};
    for (size_t i = 0; i < pixels.size(); ++i) EXPECT_EQ(pixels[i].index, order[i]) << i;
}

}  // namespace
