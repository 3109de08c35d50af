// The smooth-area core: activity beyond the low threshold, scaled against
// the high threshold, clamped, inverted, written grey.
#include "engine/smooth_detect_core.h"
#include "support/host_fixture.h"
#include "support/pixels.h"

namespace {

// The matte value of one pixel, plainly from its definition.
float referenceMatte(fl_image& src, int32 x, int32 y) {
    static const int kNeighbours[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {-1, -1}, {-1, 1}, {1, 1}, {1, -1}};
    const float* c = pixel(src, x, y);
    float a = 0.0f;
    for (int ch = 0; ch < 3; ++ch)
        for (auto& n : kNeighbours) {
            const float* q = pixel(src, x + n[0], y + n[1]);
            a += std::max(double(std::fabs(c[ch] - q[ch])) - double(lowThresholdingAmount), 0.0);
        }
    a = a * 0.041666668f * (255.0f / highThresholdingAmount);
    if (!(a <= 255.0f)) a = 255.0f;
    if (invertMatte) a = 255.0f - a;
    return a;
}

class SmoothDetectCore : public EngineHostTest {
protected:
    // Runs the core over all rows; returns the destination's channel 0 at
    // (x, y) after checking that all three channels agree.
    void run(fl_image& src, fl_image& dst, bool grey = true, int32 first = 0, int32 end = -1) {
        strength_map none(0, 0);
        smoothDetectCoreAlgo(src, dst, none, 0.0f, 0.0f, grey, 0.0f, 0.0f, first, end < 0 ? src.height : end, -1);
    }
};

TEST_F(SmoothDetectCore, FlatImageIsBlackOrWhiteWhenInverted) {
    fl_image src(10, 10), dst(10, 10);
    fillImage(src, [](int32, int32, int ch) { return 50.0f + ch; });
    run(src, dst);
    for (int32 y = 0; y < 10; ++y)
        for (int32 x = 0; x < 10; ++x)
            for (int ch = 0; ch < 3; ++ch) ASSERT_EQ(pixel(dst, x, y)[ch], 0.0f);
    invertMatte = true;
    run(src, dst);
    for (int32 y = 0; y < 10; ++y)
        for (int32 x = 0; x < 10; ++x)
            for (int ch = 0; ch < 3; ++ch) ASSERT_EQ(pixel(dst, x, y)[ch], 255.0f);
}

TEST_F(SmoothDetectCore, ReachesWhiteExactlyAtLowPlusHighAndClampsThere) {
    lowThresholdingAmount = 2.0f;
    highThresholdingAmount = 10.0f;
    fl_image src(9, 9), dst(9, 9);
    // Centre (4, 4) exceeds its eight neighbours by low + high in every
    // channel; (1, 1) by twice as much; (7, 4) by half of high past low.
    fillImage(src, [](int32 x, int32 y, int) {
        if (x == 4 && y == 4) return 112.0f;
        if (x == 1 && y == 1) return 124.0f;
        if (x == 7 && y == 4) return 107.0f;
        return 100.0f;
    });
    run(src, dst);
    EXPECT_EQ(pixel(dst, 4, 4)[0], 255.0f);
    EXPECT_EQ(pixel(dst, 1, 1)[0], 255.0f);
    EXPECT_EQ(pixel(dst, 7, 4)[1], 127.5f);
    // A neighbour sees one differing pixel: 3 x 10 / 24 x 25.5.
    EXPECT_FLOAT_EQ(pixel(dst, 4, 3)[2], 3.0f * 10.0f / 24.0f * 25.5f);
    invertMatte = true;
    run(src, dst);
    EXPECT_EQ(pixel(dst, 4, 4)[0], 0.0f);
    EXPECT_EQ(pixel(dst, 7, 4)[2], 127.5f);
    EXPECT_EQ(pixel(dst, 0, 8)[0], 255.0f);
}

TEST_F(SmoothDetectCore, WithoutTheGreyMatteFlagEveryPixelIsMidGrey) {
    fl_image src(12, 6), dst(12, 6);
    fillNoisyScene(src, 9);
    run(src, dst, false);
    for (int32 y = 0; y < 6; ++y)
        for (int32 x = 0; x < 12; ++x)
            for (int ch = 0; ch < 3; ++ch) ASSERT_EQ(pixel(dst, x, y)[ch], 127.5f);
}

class SmoothDetectAgainstReference : public SmoothDetectCore,
                                     public ::testing::WithParamInterface<std::tuple<int32, bool, float>> {};

TEST_P(SmoothDetectAgainstReference, EveryPixelBitIdenticalAndOnlyItsRows) {
    const int32 width = std::get<0>(GetParam());
    invertMatte = std::get<1>(GetParam());
    highThresholdingAmount = std::get<2>(GetParam());
    lowThresholdingAmount = 3.3f;
    const int32 height = 21;
    fl_image src(width, height), dst(width, height);
    fillNoisyScene(src, uint32_t(width));
    fillImage(dst, [](int32, int32, int) { return -1.0f; });
    const std::vector<float> before = contents(dst);
    run(src, dst, true, 2, 19);
    const size_t rowFloats = size_t(dst.paddedWidth) * 3;
    for (int32 y = 0; y < height; ++y)
        for (int32 x = 0; x < width; ++x) {
            const float expected = y >= 2 && y < 19 ? referenceMatte(src, x, y) : -1.0f;
            for (int ch = 0; ch < 3; ++ch)
                ASSERT_EQ(std::memcmp(&pixel(dst, x, y)[ch], &expected, sizeof(float)), 0)
                    << x << "," << y << ": " << pixel(dst, x, y)[ch] << " vs " << expected;
        }
    // The border is not written.
    for (size_t i = 0; i < rowFloats * 3; ++i) ASSERT_EQ(dst.data[i], before[i]);
}

INSTANTIATE_TEST_SUITE_P(Widths, SmoothDetectAgainstReference,
                         ::testing::Combine(::testing::Values(4, 7, 64, 67, 130), ::testing::Bool(),
                                            ::testing::Values(0.1f, 7.0f, 2550.0f)));

}  // namespace
