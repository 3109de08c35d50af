// The cleaner-smooth-areas core against the cases its weights make easy to
// derive by hand, against a plain one-pixel-at-a-time reading of the
// algorithm, and the choice between it and the standard core.
#include <cmath>
#include <limits>
#include <random>

#include "engine/neighbour_windows.h"
#include "engine/noise_reduce_core.h"
#include "engine/nr_core_shared.h"
#include "halvane/cleaner_core.h"
#include "support/host_fixture.h"
#include "support/pixels.h"

namespace {

class CleanerCore : public ProductDefaultsTest {
protected:
    // Runs the cleaner core over all rows of src into fresh images.
    void run(fl_image& src, fl_image& dst, strength_map& map, float noiseLevel, bool smoothReference,
             float amount = 1.0f) {
        src.generatePadding();
        flimageToFlimage(src, dst);
        noiseReduceCoreAlgo_cleanerSmoothAreas(src, dst, map, 6.6666666e-6f, noiseLevel, smoothReference, amount,
                                               0.0f, 0, src.height, -1);
    }
};

// The algorithm read literally, one pixel at a time, through the engine's
// window routines: 49 block weights, then the window's entries 0 to 5 with
// four times the weight, summed in that order.
void referencePixel(fl_image& src, int32 x, int32 y, float noiseLevel, bool smoothReference, float out[3],
                    float& strength) {
    float* c = pixel(src, x, y);
    const int32 row = src.paddedWidth * 3;
    const int dir = chooseNeighbourDirection(c, row, smoothReference);
    const float U = similarityRange(c[0], c[1], c[2], noiseLevel);
    const float invU = 1.0f / U;
    float W = 0, S[3] = {0, 0, 0};
    auto add = [&](const float* q, float scale) {
        const float d = std::fabs(c[0] - q[0]) + std::fabs(c[1] - q[1]) + std::fabs(c[2] - q[2]);
        const float w = d > U ? 0.0f : scale * (1.0f - d * invU);
        W += w;
        for (int k = 0; k < 3; ++k) S[k] += w * q[k];
    };
    for (int dy = -3; dy <= 3; ++dy)
        for (int dx = -3; dx <= 3; ++dx) add(c + dy * row + dx * 3, 1.0f);
    neighbourPointerWindow window;
    kNeighbourSetPointers[dir](window, c, row);
    for (int k = 0; k < 6; ++k) add(window[k], 4.0f);
    if (W != 0.0f && !std::isnan(W)) {
        for (int k = 0; k < 3; ++k) out[k] = S[k] * (1.0f / W);
        strength = (W - 0.9f) * (1.0f / W);
    } else {
        for (int k = 0; k < 3; ++k) out[k] = c[k];
        strength = 0.0f;
    }
}

TEST_F(CleanerCore, FlatImageWeighsSeventyThree) {
    fl_image src(20, 20), dst(20, 20);
    strength_map map(20, 20);
    fillInterior(src, [](int32, int32, int c) { return 100.0f + 10.0f * c; });
    run(src, dst, map, 30.0f, true);
    for (int32 y = 0; y < 20; ++y)
        for (int32 x = 0; x < 20; ++x) {
            for (int c = 0; c < 3; ++c) ASSERT_FLOAT_EQ(pixel(dst, x, y)[c], 100.0f + 10.0f * c);
            ASSERT_EQ(map.row(y)[x], (73.0f - 0.9f) * (1.0f / 73.0f));
        }
}

TEST_F(CleanerCore, PixelWithoutSimilarNeighboursKeepsItsValue) {
    fl_image src(15, 15), dst(15, 15);
    strength_map map(15, 15);
    fillInterior(src, [](int32 x, int32 y, int) { return x == 7 && y == 7 ? 200.0f : 10.0f; });
    run(src, dst, map, 5.0f, false);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(pixel(dst, 7, 7)[c], 200.0f);
    EXPECT_EQ(map.row(7)[7], (1.0f - 0.9f) * 1.0f);
}

TEST_F(CleanerCore, AmountHasNoEffect) {
    fl_image src(40, 30);
    fillInterior(src, patternValue);
    std::vector<float> reference;
    for (float amount : {0.0f, 0.25f, 1.0f}) {
        fl_image dst(40, 30);
        strength_map map(40, 30);
        run(src, dst, map, 40.0f, true, amount);
        if (reference.empty())
            reference = interior(dst);
        else
            EXPECT_TRUE(sameBits(reference, interior(dst))) << amount;
    }
}

TEST_F(CleanerCore, BrightPixelWithNoRangeIsCopied) {
    highnoiseLevelReduce = 1.0f;
    fl_image src(12, 12), dst(12, 12);
    strength_map map(12, 12);
    fillInterior(src, [](int32 x, int32, int) { return x == 5 ? 255.0f : 250.0f; });
    run(src, dst, map, 30.0f, false);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(pixel(dst, 5, 4)[c], 255.0f);
    EXPECT_EQ(map.row(4)[5], 0.0f);
}

TEST_F(CleanerCore, MatchesTheAlgorithmPixelByPixel) {
    // Widths that leave partial vectors and partial tiles.
    for (int32 w : {9, 64, 77}) {
        for (bool smooth : {false, true}) {
            fl_image src(w, 21), dst(w, 21);
            strength_map map(w, 21);
            std::mt19937 rng(w);
            std::uniform_real_distribution<float> noise(-12.0f, 12.0f);
            fillInterior(src, [&](int32 x, int32 y, int c) { return patternValue(x, y, c) + noise(rng); });
            run(src, dst, map, 35.0f, smooth);
            for (int32 y = 0; y < 21; ++y)
                for (int32 x = 0; x < w; ++x) {
                    float out[3], strength;
                    referencePixel(src, x, y, 35.0f, smooth, out, strength);
                    for (int c = 0; c < 3; ++c)
                        ASSERT_NEAR(pixel(dst, x, y)[c], out[c], 2e-3f) << x << "," << y << " w " << w;
                    ASSERT_NEAR(map.row(y)[x], strength, 1e-5f) << x << "," << y;
                }
        }
    }
}

TEST_F(CleanerCore, MainLinesAreTheWindowsFirstSixEntries) {
    for (int d = 0; d < kNeighbourDirections; ++d)
        for (int k = 0; k < 6; ++k) {
            EXPECT_EQ(kDirectionMainLineOffsets[d][k][0], kNeighbourWindowOffsets[d][k][0]) << d << " " << k;
            EXPECT_EQ(kDirectionMainLineOffsets[d][k][1], kNeighbourWindowOffsets[d][k][1]) << d << " " << k;
        }
}

TEST_F(CleanerCore, SharedFirstStepsMatchTheScalarForms) {
    fl_image src(30, 30);
    fillInterior(src, patternValue);
    src.generatePadding();
    for (bool smooth : {false, true})
        for (int32 y = 0; y < 30; y += 3)
            for (int32 x = 0; x < 30; x += 2) {
                const InterleavedPixelSource s{pixel(src, x, y), int64_t(src.paddedWidth) * 3};
                const NoiseReduceStart<float> st = noiseReduceCoreStart<float>(s, smooth, 25.0f, highnoiseLevelReduce);
                const float* c = pixel(src, x, y);
                EXPECT_EQ(st.direction, chooseNeighbourDirection(c, src.paddedWidth * 3, smooth));
                EXPECT_EQ(st.range, similarityRange(c[0], c[1], c[2], 25.0f));
            }
}

TEST_F(CleanerCore, DifferentSizesWriteNothing) {
    fl_image src(20, 20), dst(20, 19);
    strength_map map(20, 20);
    fillInterior(src, patternValue);
    fillInterior(dst, [](int32, int32, int) { return 1.0f; });
    const std::vector<float> before = interior(dst);
    src.generatePadding();
    noiseReduceCoreAlgo_cleanerSmoothAreas(src, dst, map, 0, 30.0f, true, 1.0f, 0, 0, 20, -1);
    EXPECT_TRUE(sameBits(before, interior(dst)));
}

class CoreChoice : public ProductDefaultsTest, public ::testing::WithParamInterface<bool> {};

TEST_P(CoreChoice, FlagPicksTheCore) {
    cleanerSmoothAreas = GetParam();
    fl_image src(33, 17);
    fillInterior(src, patternValue);
    src.generatePadding();
    fl_image a(33, 17), b(33, 17);
    strength_map am(33, 17), bm(33, 17);
    flimageToFlimage(src, a);
    flimageToFlimage(src, b);
    halvaneNoiseReduceCore(src, a, am, 0, 30.0f, true, 0.8f, 0, 0, 17, -1);
    if (GetParam())
        noiseReduceCoreAlgo_cleanerSmoothAreas(src, b, bm, 0, 30.0f, true, 0.8f, 0, 0, 17, -1);
    else
        noiseReduceCoreAlgo(src, b, bm, 0, 30.0f, true, 0.8f, 0, 0, 17, -1);
    EXPECT_TRUE(sameBits(interior(a), interior(b)));
}

INSTANTIATE_TEST_SUITE_P(Cleaner, CoreChoice, ::testing::Bool());

}  // namespace
