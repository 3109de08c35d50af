// Halvane's output writers: tonal protection at its bounds, one mix per
// point of the ramp worked out by hand, and the writers of the three depths
// against a plain reading of their rules (mask, one plane, conversions).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "engine/vector_isa.h"
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

// A luma exactly at a bound takes the end value itself, not the ramp's
// rounding of it: from 5 with a feather of 30 the float ramp gives
// 0.99999994 at 5 and -1.2e-7 at 35 for highlights, 1.0000001 at 35 for
// shadows.
struct BoundCase {
    double low, feather;
    bool shadows;
};

class ProtectionBounds : public LumaChromaMix, public ::testing::WithParamInterface<BoundCase> {};

TEST_P(ProtectionBounds, TakeTheEndValuesExactly) {
    const BoundCase& k = GetParam();
    block_.values[17] = k.low;
    block_.values[18] = k.feather;
    block_.flags[6] = k.shadows;
    derive();
    const lumaChromaMixParams p = currentLumaChromaMixParams();
    EXPECT_EQ(tonalProtection(p, float(k.low)), k.shadows ? 0.0f : 1.0f);
    EXPECT_EQ(tonalProtection(p, float(k.low + k.feather)), k.shadows ? 1.0f : 0.0f);
}

INSTANTIATE_TEST_SUITE_P(Ramps, ProtectionBounds,
                         ::testing::Values(BoundCase{100, 50, false}, BoundCase{100, 50, true},
                                           BoundCase{5, 30, false}, BoundCase{5, 30, true}));

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

// The kernel's rule written out plainly: luma and chroma of both pixels,
// the shares with the protection factor p and the mask, the mix, and back.
void mixByHand(bool lab, float lumaShareBeforeP, float chromaShareBeforeMask, float p, float mask, const float in[3],
               const float processed[3], float out[3]) {
    auto luma = [](const float* v) { return 0.299f * v[0] + 0.587f * v[1] + 0.114f * v[2]; };
    const float lumaShare = lumaShareBeforeP * p * mask, chromaShare = chromaShareBeforeMask * mask;
    const float keep = 1 - chromaShare;
    if (lab) {
        out[0] = (1 - lumaShare) * in[0] + lumaShare * processed[0];
        out[1] = chromaShare * processed[1] + keep * in[1];
        out[2] = chromaShare * processed[2] + keep * in[2];
        return;
    }
    const float Y = luma(in), Y2 = luma(processed);
    const float Ymix = (1 - lumaShare) * Y + lumaShare * Y2;
    out[0] = Ymix + chromaShare * (processed[0] - Y2) + keep * (in[0] - Y);
    out[2] = Ymix + chromaShare * (processed[2] - Y2) + keep * (in[2] - Y);
    out[1] = (Ymix - 0.299f * out[0] - 0.114f * out[2]) / 0.587f;
}

// Shares of 0.8 (luma) and 0.6 (chroma), and the protection ramp from low
// to high.
void mixWith(bool lab, float low, float high, bool shadows) {
    isLABmode = lab;
    lumaMix = 0.8f;
    chromaMix = 0.6f;
    const float d = high - low;
    highlightNRlowThreshold = low;
    highlightNRhighThreshold = high;
    highlightNRbelowThreshold = shadows ? 0.0f : 1.0f;
    highlightNRaboveThreshold = shadows ? 1.0f : 0.0f;
    highlightNRslope = shadows ? 1.0f / d : -1.0f / d;
    highlightNRintercept = shadows ? -low / d : 1.0f + low / d;
}

struct HandMix {
    const char* name;
    bool lab, shadows;
    float processed[3];
    float p;  // worked out from the processed luma
    float mask;
};

// Input pixel (60, 128, 100) in Lab, (10, 200, 90) in RGB; luma share 0.8,
// chroma share 0.6.  RGB processed lumas: (130, 120, 90) gives 38.87 +
// 70.44 + 10.26 = 119.57, (200, 180, 160) 183.7, (40, 50, 60) 48.15.
const HandMix kHandMixes[] = {
    {"labBelowLow", true, false, {60, 140, 90}, 1.0f, 1.0f},
    {"labAtLowIsNotAbove", true, false, {100, 140, 90}, 1.0f, 1.0f},
    {"labQuarterIn", true, false, {112.5f, 140, 90}, 0.75f, 1.0f},
    {"labQuarterInHalfMask", true, false, {112.5f, 140, 90}, 0.75f, 0.5f},
    {"labAtHigh", true, false, {150, 140, 90}, 0.0f, 1.0f},
    {"labAboveHigh", true, false, {200, 140, 90}, 0.0f, 1.0f},
    {"labShadowsBelowLow", true, true, {60, 140, 90}, 0.0f, 1.0f},
    {"labShadowsAtLow", true, true, {100, 140, 90}, 0.0f, 1.0f},
    {"labShadowsThreeQuartersIn", true, true, {137.5f, 140, 90}, 0.75f, 1.0f},
    {"labShadowsAtHigh", true, true, {150, 140, 90}, 1.0f, 1.0f},
    {"rgbInside", false, false, {130, 120, 90}, 3.0f - 119.57f / 50.0f, 1.0f},
    {"rgbInsideQuarterMask", false, false, {130, 120, 90}, 3.0f - 119.57f / 50.0f, 0.25f},
    {"rgbShadowsInside", false, true, {130, 120, 90}, 119.57f / 50.0f - 2.0f, 1.0f},
    {"rgbAboveHigh", false, false, {200, 180, 160}, 0.0f, 1.0f},
    {"rgbBelowLow", false, false, {40, 50, 60}, 1.0f, 1.0f},
    {"rgbShadowsAboveHighHalfMask", false, true, {200, 180, 160}, 1.0f, 0.5f},
};

class MixKernel : public LumaChromaMix, public ::testing::WithParamInterface<HandMix> {};

TEST_P(MixKernel, ByHand) {
    const HandMix& h = GetParam();
    mixWith(h.lab, 100.0f, 150.0f, h.shadows);
    const float labIn[3] = {60, 128, 100}, rgbIn[3] = {10, 200, 90};
    const float* in = h.lab ? labIn : rgbIn;
    float out[3], expected[3];
    lumaChromaMixPixel(currentLumaChromaMixParams(), in[0], in[1], in[2], h.processed, &out[0], &out[1], &out[2],
                       h.mask);
    mixByHand(h.lab, 0.8f, 0.6f, h.p, h.mask, in, h.processed, expected);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(out[c], expected[c], 1e-3f) << "channel " << c;
}

INSTANTIATE_TEST_SUITE_P(Points, MixKernel, ::testing::ValuesIn(kHandMixes),
                         [](const ::testing::TestParamInfo<HandMix>& i) { return std::string(i.param.name); });

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

// The writers against a plain reading of their rules: each depth's reading
// and storing (8 bits: the byte, rounded store; 16 bits: x 0.0077819824,
// x 128.50197 rounded; 32 bits: the linear-to-gamma table at 4096 steps per
// unit, the gamma-to-linear table at 16 per step of 0..255), the mask byte
// x 0.003921569 at the rectangle's own place in the mask, one plane read
// three times with channel 2 stored, and mixByHand with the protection ramp
// from 90 to 150.  Rows of 21 pixels: the eight-pixel form and its
// remainder.  The tables' contents are checked with the colour conversions;
// only the reading of them is this test's.
struct WriterCase {
    const char* name;
    int depth;
    int16 planes;
    bool maskFlag, lab;
};

float clampedTo(float v, float top) { return v >= 0 ? std::min(v, top) : 0.0f; }

float interpolated(const float* table, float t) {
    const int i = int(t);
    const float f = t - float(i);
    return (1 - f) * table[i] + f * table[i + 1];
}

float readSample(float sample, int depth) {
    if (depth == 8) return sample;
    if (depth == 16) return sample * 0.0077819824f;
    return interpolated(cspacePtrLUT3, 4096.0f * clampedTo(sample, 1.0f));
}

float toLinear(float v) { return interpolated(cspacePtrLUT2, 16.0f * clampedTo(v, 255.0f)); }

// An integer sample stored from v x scale: the rounded value, or either
// neighbour where v lies within float rounding of a half.
::testing::AssertionResult storedRounded(double stored, float v, float scale, float slack) {
    const float t = clampedTo(v, 255.0f) * scale + 0.5f;
    const float whole = std::floor(t);
    if (stored == whole) return ::testing::AssertionSuccess();
    if ((t - whole < slack && stored == whole - 1) || (whole + 1 - t < slack && stored == whole + 1))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "stored " << stored << ", worked out " << t - 0.5f;
}

class MixWriter : public LumaChromaMix, public ::testing::WithParamInterface<WriterCase> {};

TEST_P(MixWriter, StoresTheMixWorkedOutPlainly) {
    const WriterCase& k = GetParam();
    mixWith(k.lab, 90.0f, 150.0f, false);
    colorspaceConversionLUTs luts;
    ASSERT_TRUE(luts.ok());

    // A 21 x 3 rectangle at (2, 1) of 25 x 5 buffers, from pixel (1, 1) of a
    // 23 x 5 image (values beyond 0..255 too); the mask covers the buffer.
    const int32 w = 21, h = 3, bw = 25, bh = 5, dx = 2, dy = 1, spp = k.planes;
    fl_image img(23, 5);
    fillInterior(img, [](int32 x, int32 y, int c) { return float((x * 37 + y * 11 + c * 53) % 290) - 15.0f; });
    const int32 samples = bw * bh * spp;
    std::vector<float> origin(samples);
    for (int32 i = 0; i < samples; ++i) {
        const float u = float((i * 29) % 256) / 255.0f;
        origin[i] = k.depth == 8 ? std::round(u * 255) : k.depth == 16 ? std::round(u * 32768) : u;
    }
    if (k.depth == 32) {  // beyond 0..1, and undefined
        origin[(dy * bw + dx) * spp] = 1.5f;
        origin[(dy * bw + dx + 1) * spp] = -0.2f;
        origin[(dy * bw + dx + 2) * spp] = kNaN;
    }
    std::vector<uint8> mask(size_t(bw) * bh);
    for (size_t i = 0; i < mask.size(); ++i) mask[i] = uint8((i * 71) % 256);
    mask[dy * bw + dx + 3] = 0;
    mask[dy * bw + dx + 4] = 255;
    gFilterRecord->maskData = mask.data();
    gFilterRecord->maskRowBytes = bw;

    // Every instruction set writes the same samples (NaN as NaN); the
    // first's are checked against the plain mix below.
    std::vector<double> out;
    for (int isa = vectorInstructionSets() - 1; isa >= 0; --isa) {
        useVectorInstructionSet(isa);
        std::vector<double> set(samples);
        if (k.depth == 8) {
            std::vector<uint8> o(origin.begin(), origin.end()), d(samples, 7);
            lumaChromaMixTo8BitMaster(o.data(), bw * spp, d.data(), bw * spp, w, h, dx, dy, img, 1, 1, k.maskFlag,
                                      k.planes);
            set.assign(d.begin(), d.end());
        } else if (k.depth == 16) {
            std::vector<uint16> o(origin.begin(), origin.end()), d(samples, 7);
            lumaChromaMixTo16Bit(o.data(), bw * spp * 2, d.data(), bw * spp * 2, w, h, dx, dy, img, 1, 1,
                                 k.maskFlag, k.planes);
            set.assign(d.begin(), d.end());
        } else {
            std::vector<float> d(samples, 7.0f);
            lumaChromaMixTo32Bit(origin.data(), bw * spp * 4, d.data(), bw * spp * 4, w, h, dx, dy, img, 1, 1,
                                 k.maskFlag, k.planes);
            set.assign(d.begin(), d.end());
        }
        for (size_t i = 0; i < out.size(); ++i) {
            ASSERT_TRUE(std::memcmp(&set[i], &out[i], sizeof(double)) == 0) << "set " << isa << ", sample " << i;
        }
        out = set;
    }
    useVectorInstructionSet(-1);

    for (int32 y = 0; y < bh; ++y)
        for (int32 x = 0; x < bw; ++x) {
            const int32 at = (y * bw + x) * spp;
            if (x < dx || x >= dx + w || y < dy || y >= dy + h) {
                for (int c = 0; c < spp; ++c) ASSERT_EQ(out[at + c], 7.0) << "outside, " << x << "," << y;
                continue;
            }
            float in[3];
            for (int c = 0; c < 3; ++c) in[c] = readSample(origin[at + (spp == 1 ? 0 : c)], k.depth);
            const float* processed = pixel(img, 1 + x - dx, 1 + y - dy);
            const float Y2 =
                k.lab ? processed[0] : 0.299f * processed[0] + 0.587f * processed[1] + 0.114f * processed[2];
            const float p = Y2 > 90.0f ? (Y2 >= 150.0f ? 0.0f : -Y2 / 60.0f + 2.5f) : 1.0f;
            const float m = k.maskFlag ? float(mask[y * bw + x]) * 0.003921569f : 1.0f;
            float mixed[3];
            mixByHand(k.lab, 0.8f, 0.6f, p, m, in, processed, mixed);
            for (int c = 0; c < spp; ++c) {
                const int from = spp == 1 ? 2 : c;
                const double got = out[at + c];
                if (k.depth == 8) {
                    ASSERT_TRUE(storedRounded(got, mixed[from], 1.0f, 1e-3f)) << x << "," << y << " channel " << c;
                } else if (k.depth == 16) {
                    ASSERT_TRUE(storedRounded(got, mixed[from], 128.50197f, 2e-2f)) << x << "," << y << " channel " << c;
                } else {
                    // Linear light keeps what the reading clamped away: the
                    // input takes the change that the mix made, and where
                    // the mix takes no share (a mask of 0) it stays as it was.
                    const float o = origin[at + c];
                    if (m == 0.0f) {
                        ASSERT_TRUE(std::isnan(o) ? std::isnan(got) : got == o) << x << "," << y;
                    } else {
                        const float base = std::isnan(o) ? 0.0f : o;
                        ASSERT_NEAR(got, base + (toLinear(mixed[from]) - toLinear(in[from])), 2e-6)
                            << x << "," << y << " channel " << c;
                    }
                }
            }
        }
}

INSTANTIATE_TEST_SUITE_P(
    Depths, MixWriter,
    ::testing::Values(WriterCase{"rgb8", 8, 3, true, false}, WriterCase{"grey8", 8, 1, true, false},
                      WriterCase{"lab8", 8, 3, true, true}, WriterCase{"rgb8MaskFlagClear", 8, 3, false, false},
                      WriterCase{"rgb16", 16, 3, true, false}, WriterCase{"grey16", 16, 1, true, false},
                      WriterCase{"lab16", 16, 3, true, true}, WriterCase{"rgb32", 32, 3, true, false},
                      WriterCase{"grey32", 32, 1, true, false},
                      WriterCase{"rgb32MaskFlagClear", 32, 3, false, false}),
    [](const ::testing::TestParamInfo<WriterCase>& i) { return std::string(i.param.name); });

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
