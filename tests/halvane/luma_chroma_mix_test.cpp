// Halvane's output writers: tonal protection at its bounds, the shares of
// luma and chroma, the selection mask, one-plane output and the three depths.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "halvane/luma_chroma_mix.h"
#include "support/host_fixture.h"
#include "support/pixels.h"
#include "image/colorspace_luts.h"

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();

class LumaChromaMix : public ProductDefaultsTest {
protected:
    void SetUp() override {
        ProductDefaultsTest::SetUp();
        isLABmode = false;
    }
    void TearDown() override {
        isLABmode = false;
        if (gFilterRecord) gFilterRecord->maskData = nullptr;
        ProductDefaultsTest::TearDown();
    }
    // Protection off (factor 1 everywhere) and the given shares.
    void shares(float luma, float chroma) {
        lumaMix = luma;
        chromaMix = chroma;
        highlightNRlowThreshold = highlightNRhighThreshold = 1000.0f;
        highlightNRbelowThreshold = 1.0f;
        highlightNRaboveThreshold = 1.0f;
    }
    // A processed image of 4 x 2 pixels and an 8-bit RGB origin.
    void images(fl_image& img, std::vector<uint8>& origin) {
        fillInterior(img, [](int32 x, int32 y, int c) { return 30.0f + 40.0f * x + 20.0f * y + 7.0f * c; });
        origin.resize(4 * 2 * 3);
        for (size_t i = 0; i < origin.size(); ++i) origin[i] = uint8(200 - 9 * i);
    }
};

struct ProtectionCase {
    const char* name;
    float luma;
    float expected;
};

class TonalProtection : public LumaChromaMix, public ::testing::WithParamInterface<ProtectionCase> {};

// Highlights protected from 100 with a feather of 50.
TEST_P(TonalProtection, RampBetweenTheThresholds) {
    block_.values[17] = 100;
    block_.values[18] = 50;
    block_.flags[6] = 0;
    derive();
    EXPECT_FLOAT_EQ(tonalProtection(currentLumaChromaMixParams(), GetParam().luma), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Highlights, TonalProtection,
                         ::testing::Values(ProtectionCase{"below", 20.0f, 1.0f},
                                           ProtectionCase{"atLowIsNotAbove", 100.0f, 1.0f},
                                           ProtectionCase{"quarter", 112.5f, 0.75f},
                                           ProtectionCase{"middle", 125.0f, 0.5f},
                                           ProtectionCase{"atHigh", 150.0f, 0.0f},
                                           ProtectionCase{"above", 240.0f, 0.0f},
                                           ProtectionCase{"undefined", kNaN, 1.0f}),
                         [](const ::testing::TestParamInfo<ProtectionCase>& i) { return std::string(i.param.name); });

TEST_F(LumaChromaMix, ShadowsProtectedWhenInverted) {
    block_.values[17] = 100;
    block_.values[18] = 50;
    block_.flags[6] = 1;
    derive();
    const lumaChromaMixParams p = currentLumaChromaMixParams();
    EXPECT_EQ(tonalProtection(p, 100.0f), 0.0f);
    EXPECT_FLOAT_EQ(tonalProtection(p, 125.0f), 0.5f);
    EXPECT_EQ(tonalProtection(p, 150.0f), 1.0f);
}

TEST_F(LumaChromaMix, NoFeatherTakesOnlyTheTwoEndValues) {
    block_.values[17] = 100;
    block_.values[18] = 0;
    block_.flags[6] = 0;
    derive();
    const lumaChromaMixParams p = currentLumaChromaMixParams();
    EXPECT_EQ(tonalProtection(p, 100.0f), 1.0f);
    EXPECT_EQ(tonalProtection(p, std::nextafter(100.0f, 200.0f)), 0.0f);
}

TEST_F(LumaChromaMix, FullSharesGiveTheProcessedPixel) {
    shares(1.0f, 1.0f);
    const float processed[3] = {120.0f, 60.0f, 30.0f};
    float out[3];
    lumaChromaMixPixel(currentLumaChromaMixParams(), 10.0f, 200.0f, 90.0f, processed, &out[0], &out[1], &out[2], 1.0f);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(out[c], processed[c], 1e-3f);
}

TEST_F(LumaChromaMix, NoSharesGiveTheInputPixel) {
    shares(0.0f, 0.0f);
    const float processed[3] = {120.0f, 60.0f, 30.0f};
    float out[3];
    lumaChromaMixPixel(currentLumaChromaMixParams(), 10.0f, 200.0f, 90.0f, processed, &out[0], &out[1], &out[2], 1.0f);
    EXPECT_NEAR(out[0], 10.0f, 1e-3f);
    EXPECT_NEAR(out[1], 200.0f, 1e-3f);
    EXPECT_NEAR(out[2], 90.0f, 1e-3f);
}

TEST_F(LumaChromaMix, LabMixesLightnessAndColourChannels) {
    isLABmode = true;
    shares(0.25f, 0.5f);
    const float processed[3] = {100.0f, 140.0f, 120.0f};
    float out[3];
    lumaChromaMixPixel(currentLumaChromaMixParams(), 60.0f, 128.0f, 100.0f, processed, &out[0], &out[1], &out[2], 1.0f);
    EXPECT_FLOAT_EQ(out[0], 0.75f * 60.0f + 0.25f * 100.0f);
    EXPECT_FLOAT_EQ(out[1], 0.5f * 140.0f + 0.5f * 128.0f);
    EXPECT_FLOAT_EQ(out[2], 0.5f * 120.0f + 0.5f * 100.0f);
}

TEST_F(LumaChromaMix, MaskScalesBothShares) {
    shares(1.0f, 1.0f);
    fl_image img(4, 2);
    std::vector<uint8> origin, dst(4 * 2 * 3, 0), unmasked(4 * 2 * 3, 0);
    images(img, origin);
    lumaChromaMixTo8BitMaster(origin.data(), 12, unmasked.data(), 12, 4, 2, 0, 0, img, 0, 0, true, 3);
    // Mask: 0 keeps the input, 255 gives the unmasked mix.
    std::vector<uint8> mask = {0, 255, 0, 255, 255, 0, 255, 0};
    gFilterRecord->maskData = mask.data();
    gFilterRecord->maskRowBytes = 4;
    lumaChromaMixTo8BitMaster(origin.data(), 12, dst.data(), 12, 4, 2, 0, 0, img, 0, 0, true, 3);
    for (int i = 0; i < 8; ++i)
        for (int c = 0; c < 3; ++c) {
            const uint8 expected = mask[i] ? unmasked[3 * i + c] : origin[3 * i + c];
            EXPECT_NEAR(dst[3 * i + c], expected, 1) << i << " " << c;
        }
    // Mask flag clear: the whole rectangle gets the unmasked mix.
    std::vector<uint8> flagClear(4 * 2 * 3, 0);
    lumaChromaMixTo8BitMaster(origin.data(), 12, flagClear.data(), 12, 4, 2, 0, 0, img, 0, 0, false, 3);
    EXPECT_EQ(flagClear, unmasked);
}

TEST_F(LumaChromaMix, HalfMaskGivesHalfTheShares) {
    shares(0.8f, 0.6f);
    const float processed[3] = {120.0f, 60.0f, 30.0f};
    float masked[3], halved[3];
    lumaChromaMixPixel(currentLumaChromaMixParams(), 10.0f, 200.0f, 90.0f, processed, &masked[0], &masked[1],
                       &masked[2], 0.5f);
    shares(0.4f, 0.3f);
    lumaChromaMixPixel(currentLumaChromaMixParams(), 10.0f, 200.0f, 90.0f, processed, &halved[0], &halved[1],
                       &halved[2], 1.0f);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(masked[c], halved[c], 1e-3f);
}

TEST_F(LumaChromaMix, OnePlaneReadsTheSampleThriceAndStoresChannelTwo) {
    shares(0.5f, 0.5f);
    fl_image img(4, 2);
    fillInterior(img, [](int32 x, int32, int c) { return 50.0f + 10.0f * x + 30.0f * c; });
    std::vector<uint8> origin = {10, 20, 30, 40, 50, 60, 70, 80}, dst(8, 0);
    lumaChromaMixTo8BitMaster(origin.data(), 4, dst.data(), 4, 4, 2, 0, 0, img, 0, 0, true, 1);
    for (int i = 0; i < 8; ++i) {
        float out[3];
        const float v = origin[i];
        lumaChromaMixPixel(currentLumaChromaMixParams(), v, v, v, pixel(img, i % 4, i / 4), &out[0], &out[1], &out[2],
                           1.0f);
        EXPECT_EQ(dst[i], storeAs8Bit(out[2])) << i;
    }
}

TEST_F(LumaChromaMix, SixteenBitWriterScalesBothWays) {
    shares(0.0f, 0.0f);  // the output is the input
    fl_image img(2, 1);
    fillInterior(img, [](int32, int32, int) { return 0.0f; });
    std::vector<uint16> origin = {0, 16384, 32768, 1000, 2000, 3000}, dst(6, 7);
    lumaChromaMixTo16Bit(origin.data(), 12, dst.data(), 12, 2, 1, 0, 0, img, 0, 0, true, 3);
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(dst[i], origin[i], 2) << i;
    EXPECT_EQ(dst[2], 32768);
}

// 32-bit samples the mix does not touch come back exactly as read, also
// where linear light leaves 0..1 or is not a number; where it mixes, the
// input keeps what lies beyond 1.0 and takes the mix's change.
struct LinearCase {
    const char* name;
    float luma, chroma;  // shares
    uint8 maskByte;      // 0: an all-zero selection; 255: no effect of the mask
    bool exact;          // untouched: every sample bit for bit
};

class ThirtyTwoBit : public LumaChromaMix, public ::testing::WithParamInterface<LinearCase> {};

TEST_P(ThirtyTwoBit, UntouchedSamplesAreKeptAndHighlightsKeepTheirHeadroom) {
    const LinearCase& c = GetParam();
    colorspaceConversionLUTs luts;
    ASSERT_TRUE(luts.ok());
    shares(c.luma, c.chroma);
    const int32 w = 11;  // the eight-pixel form and its remainder
    std::vector<float> origin(size_t(w) * 3);
    const float specials[] = {1.5f, -0.2f, 0.5f, 1.0f, 0.0f, kNaN, 3.25f, 1e-7f, 0.999f, 2.0f, 0.18f};
    for (int32 i = 0; i < w * 3; ++i) origin[i] = specials[(i * 7) % 11];
    // The processed image is what the engine made of the input: its samples
    // on the 0..255 scale, so a full mix changes nothing but the round trip.
    fl_image img(w, 1);
    for (int32 i = 0; i < w * 3; ++i) {
        const float v = origin[i] == origin[i] ? std::min(std::max(origin[i], 0.0f), 1.0f) : 0.0f;
        pixel(img, 0, 0)[i] = linearToGammaLUT3(v);
    }
    std::vector<uint8> mask(size_t(w), c.maskByte);
    gFilterRecord->maskData = mask.data();
    gFilterRecord->maskRowBytes = w;
    std::vector<float> dst(origin.size(), -7.0f);
    lumaChromaMixTo32Bit(origin.data(), w * 12, dst.data(), w * 12, w, 1, 0, 0, img, 0, 0, true, 3);
    for (int32 i = 0; i < w * 3; ++i) {
        if (c.exact) {
            EXPECT_EQ(std::memcmp(&dst[i], &origin[i], sizeof(float)), 0) << i << ": " << origin[i] << " -> " << dst[i];
        } else {
            const float expected = origin[i] == origin[i] ? origin[i] : 0.0f;
            EXPECT_NEAR(dst[i], expected, 2e-3f) << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Shares, ThirtyTwoBit,
                         ::testing::Values(LinearCase{"noShares", 0.0f, 0.0f, 255, true},
                                           LinearCase{"zeroMask", 1.0f, 1.0f, 0, true},
                                           LinearCase{"fullMix", 1.0f, 1.0f, 255, false},
                                           LinearCase{"halfMask", 0.7f, 0.4f, 128, false}),
                         [](const ::testing::TestParamInfo<LinearCase>& i) { return std::string(i.param.name); });

TEST_F(LumaChromaMix, EightBitWriterRoundsAndClamps) {
    shares(1.0f, 1.0f);
    isLABmode = true;
    fl_image img(4, 1);
    const float values[12] = {-3.0f, 127.5f, 300.0f, kNaN, 254.4f, 0.49f, 10, 20, 30, 40, 50, 60};
    for (int i = 0; i < 12; ++i) pixel(img, 0, 0)[i] = values[i];
    std::vector<uint8> origin(12, 100), dst(12, 7);
    lumaChromaMixTo8BitMaster(origin.data(), 12, dst.data(), 12, 4, 1, 0, 0, img, 0, 0, true, 3);
    EXPECT_EQ(dst[0], 0);
    EXPECT_EQ(dst[1], 128);
    EXPECT_EQ(dst[2], 255);
    EXPECT_EQ(dst[4], 254);
    EXPECT_EQ(dst[5], 0);
}

// Rows long enough for the eight-pixel form and its remainder: every sample
// is the pixel kernel's, with the protection ramp and the mask at work.
class MixRows : public LumaChromaMix, public ::testing::WithParamInterface<int> {};

TEST_P(MixRows, WriterStoresThePixelKernel) {
    const int16 planes = int16(GetParam());
    block_.values[17] = 90;
    block_.values[18] = 60;
    derive();
    const int32 w = 21, h = 3;
    fl_image img(w, h);
    fillInterior(img, [](int32 x, int32 y, int c) { return float((x * 37 + y * 11 + c * 53) % 256); });
    std::vector<uint8> origin(size_t(w) * h * planes), dst(origin.size(), 0), mask(size_t(w) * h);
    for (size_t i = 0; i < origin.size(); ++i) origin[i] = uint8((i * 29) % 256);
    for (size_t i = 0; i < mask.size(); ++i) mask[i] = uint8((i * 71) % 256);
    gFilterRecord->maskData = mask.data();
    gFilterRecord->maskRowBytes = w;
    lumaChromaMixTo8BitMaster(origin.data(), w * planes, dst.data(), w * planes, w, h, 0, 0, img, 0, 0, true,
                              planes);
    const lumaChromaMixParams p = currentLumaChromaMixParams();
    for (int32 y = 0; y < h; ++y)
        for (int32 x = 0; x < w; ++x) {
            const size_t i = size_t(y) * w + x;
            const uint8* o = &origin[i * planes];
            float out[3];
            const float m = float(mask[i]) * 0.003921569f;
            if (planes == 1)
                lumaChromaMixPixel(p, o[0], o[0], o[0], pixel(img, x, y), &out[0], &out[1], &out[2], m);
            else
                lumaChromaMixPixel(p, o[0], o[1], o[2], pixel(img, x, y), &out[0], &out[1], &out[2], m);
            if (planes == 1) {
                ASSERT_EQ(dst[i], storeAs8Bit(out[2])) << x << "," << y;
            } else {
                for (int c = 0; c < 3; ++c) ASSERT_EQ(dst[i * 3 + c], storeAs8Bit(out[c])) << x << "," << y;
            }
        }
}

INSTANTIATE_TEST_SUITE_P(Planes, MixRows, ::testing::Values(1, 3));

TEST_F(LumaChromaMix, RectangleBeyondTheImageWritesNothing) {
    shares(1.0f, 1.0f);
    fl_image img(4, 2);
    std::vector<uint8> origin(5 * 3 * 3, 1), dst(5 * 3 * 3, 9);
    fillInterior(img, [](int32, int32, int) { return 50.0f; });
    lumaChromaMixTo8BitMaster(origin.data(), 15, dst.data(), 15, 5, 2, 0, 0, img, 0, 0, true, 3);  // too wide
    lumaChromaMixTo8BitMaster(origin.data(), 15, dst.data(), 15, 4, 2, 0, 0, img, 0, 1, true, 3);  // too low
    lumaChromaMixTo8BitMaster(origin.data(), 15, dst.data(), 15, 4, 2, 0, 0, img, -1, 0, true, 3);
    EXPECT_EQ(dst, std::vector<uint8>(5 * 3 * 3, 9));
    lumaChromaMixTo8BitMaster(origin.data(), 15, dst.data(), 15, 4, 2, 0, 0, img, 0, 0, true, 3);
    EXPECT_EQ(dst[0], 50);
}

TEST_F(LumaChromaMix, CancelledRunWritesNothing) {
    shares(1.0f, 1.0f);
    globalUserCancelled = true;
    fl_image img(4, 2);
    std::vector<uint8> origin, dst(24, 9);
    images(img, origin);
    lumaChromaMixTo8BitMaster(origin.data(), 12, dst.data(), 12, 4, 2, 0, 0, img, 0, 0, true, 3);
    EXPECT_EQ(dst, std::vector<uint8>(24, 9));
}

}  // namespace
