// The noise-reduction core: direction tournament, weights, blend and
// strength, against a plain one-pixel-at-a-time reference.
#include <algorithm>
#include <vector>

#include "engine/band_driver.h"
#include "engine/noise_reduce_core.h"
#include "engine/vector_isa.h"
#include "reference_core.h"
#include "support/host_fixture.h"
#include "support/pixels.h"

namespace {

class NoiseReduceCore : public EngineHostTest {};

// A 7 x 7 image around centre (3, 3), black but for the listed pixels, grey
// (all three channels alike).  A probe pixel at distance e from the reference
// colour adds 3e to its direction's cost.
struct GreyPixel {
    int dx, dy;
    float v;
};

struct TournamentCase {
    const char* name;
    bool smoothReference;
    std::vector<GreyPixel> pixels;
    int expected;
};

// Pixels of value 1: each adds 3 to the cost of the directions that probe it
// (the reference colour is 0).
std::vector<GreyPixel> raised(std::vector<std::pair<int, int>> at) {
    std::vector<GreyPixel> v;
    for (auto& p : at) v.push_back({p.first, p.second, 1.0f});
    return v;
}

// The vertical probes are 7 and those of top right to bottom left 9; the
// 3 x 3 block sums to 56 + centre + topLeft.  With centre + topLeft = 16 its
// mean is 8 (72 x 0.11111111 rounds to 8 in floats), and against it both
// directions cost 6 x 3 x 1 = 18, a tie; with a mean a little off 8 one of
// them is cheaper.  The horizontal and bottom-right probes outside the block
// and every oblique probe are 0.
std::vector<GreyPixel> tieAtMeanEight(float centre, float topLeft) {
    std::vector<GreyPixel> v = {{0, 0, centre}, {-1, -1, topLeft}, {1, 1, 8}, {-1, 0, 8}, {1, 0, 8}};
    for (int k = 1; k <= 3; ++k) {
        v.push_back({0, -k, 7});
        v.push_back({0, k, 7});
        v.push_back({k, -k, 9});
        v.push_back({-k, k, 9});
    }
    return v;
}

class Tournament : public NoiseReduceCore, public ::testing::WithParamInterface<TournamentCase> {};

TEST_P(Tournament, PicksTheCheapestDirectionTiesGoingToTheLater) {
    const TournamentCase& tc = GetParam();
    fl_image src(7, 7), dst(7, 7);
    strength_map strength(7, 7);
    ASSERT_TRUE(src.data && dst.data && strength.data);
    fillImage(src, [&](int32 x, int32 y, int) {
        for (const GreyPixel& p : tc.pixels)
            if (x == 3 + p.dx && y == 3 + p.dy) return p.v;
        return 0.0f;
    });
    EXPECT_EQ(chooseNeighbourDirection(pixel(src, 3, 3), src.paddedWidth * 3, tc.smoothReference), tc.expected);
    EXPECT_EQ(reference_core::direction(src, 3, 3, tc.smoothReference), tc.expected);

    // The vectorised core chooses the same window: its result at the centre
    // is the reference's for that direction.
    for (int isa = 0; isa < vectorInstructionSets(); ++isa) {
        useVectorInstructionSet(isa);
        flimageToFlimage(src, dst);
        noiseReduceCoreAlgo(src, dst, strength, 0.0f, 30.0f, tc.smoothReference, 1.0f, 0.0f, 3, 4, -1);
        fl_image ref(7, 7);
        flimageToFlimage(src, ref);
        reference_core::noiseReducePixel(src, ref, 3, 3, 30.0f, tc.smoothReference, 1.0f);
        for (int ch = 0; ch < 3; ++ch) EXPECT_EQ(pixel(dst, 3, 3)[ch], pixel(ref, 3, 3)[ch]) << ch << " set " << isa;
    }
    useVectorInstructionSet(-1);
}

// Costs against the pixel itself (0): vertical 0, trbl 1, horizontal 2,
// brtl 3, steep up-right 4, shallow up-right 5, shallow down-right 6, steep
// down-right 7.
INSTANTIATE_TEST_SUITE_P(
    HandComputed, Tournament,
    ::testing::Values(
        // All costs equal: every stage is a tie, the last direction wins.
        TournamentCase{"AllTied", false, {}, kDirDiagD},
        // Steep down-right costs 3: shallow down-right wins its pair and,
        // tied with the others at 0, every later stage.
        TournamentCase{"LastCostly", false, raised({{1, 2}}), kDirDiagC},
        // All four oblique directions cost 3: the first half's last
        // contender (brtl, tied with vertical, trbl and horizontal) wins.
        TournamentCase{"ObliqueCostly", false, raised({{1, -2}, {2, -1}, {2, 1}, {1, 2}}), kDirBrTl},
        // Only vertical is free: it is strictly cheapest at every stage.
        TournamentCase{"VerticalFree", false, raised({{1, -2}, {2, -1}, {2, 1}, {1, 2}, {1, -1}, {1, 0}, {1, 1}}),
                       kDirUpDown},
        // Vertical free, trbl free too: the tie in the first pair goes to trbl.
        TournamentCase{"FirstPairTie", false, raised({{1, -2}, {2, -1}, {2, 1}, {1, 2}, {1, 0}, {1, 1}}), kDirTrBl},
        // Horizontal alone free in the first half, steep up-right alone in
        // the second: tie between the halves goes to the second.
        TournamentCase{"HalvesTie", false, raised({{0, 1}, {1, -1}, {1, 1}, {2, -1}, {2, 1}, {1, 2}}), kDirDiagA},
        // Shallow up-right alone free: it wins its pair against steep
        // up-right and then, strictly cheaper, every stage.
        TournamentCase{"ShallowUpRightFree", false,
                       raised({{0, 1}, {1, -1}, {1, 0}, {1, 1}, {1, -2}, {2, 1}, {1, 2}}), kDirDiagB},
        // Steep and shallow up-right alone free: their tie goes to shallow
        // up-right, strictly cheapest after it.
        TournamentCase{"ThirdPairTie", false, raised({{0, 1}, {1, -1}, {1, 0}, {1, 1}, {2, 1}, {1, 2}}), kDirDiagB},
        // Everything costs 3 but shallow up-right, shallow down-right and
        // steep down-right: the ties between the last three go to steep
        // down-right.
        TournamentCase{"SecondHalfTies", false, raised({{0, 1}, {1, -1}, {1, 0}, {1, 1}, {1, -2}}), kDirDiagD},
        // With the 3 x 3 mean: every probe and the block are 0 but the
        // centre, 9, so the mean is 1 and every direction costs 18 (the pixel
        // itself would give 162 each): all tied.
        TournamentCase{"MeanAllTied", true, {{0, 0, 9.0f}}, kDirDiagD},
        // The mean of 8 ties vertical with trbl, 18 each; horizontal costs
        // 3 x 4 x 8 = 96, brtl 3 x (4 x 8 + 8) = 120, every oblique 144.  The
        // tie goes to trbl.
        TournamentCase{"MeanTiesFirstPair", true, tieAtMeanEight(0.0f, 16.0f), kDirTrBl},
        // The same image against the pixel itself (0): the oblique
        // directions cost 0, vertical 126, trbl 162, horizontal 48, brtl 72.
        TournamentCase{"SameImageAgainstThePixel", false, tieAtMeanEight(0.0f, 16.0f), kDirDiagD},
        // The centre 16 and the top-left 0 keep the sum at 72: with the mean
        // still trbl (the centre is not a probe).  A mean of the eight
        // neighbours alone (56/9) would make vertical cheaper.
        TournamentCase{"MeanIncludesTheCentre", true, tieAtMeanEight(16.0f, 0.0f), kDirTrBl},
        // A mean of 8 + 1/9: vertical costs 18 x (1 + 1/9) = 20, trbl
        // 18 x (1 - 1/9) = 16: trbl strictly.  Of 8 - 1/9 (the top-left one
        // lower): vertical 16 wins.
        TournamentCase{"MeanAboveEight", true, tieAtMeanEight(1.0f, 16.0f), kDirTrBl},
        TournamentCase{"MeanBelowEight", true, tieAtMeanEight(0.0f, 15.0f), kDirUpDown}),
    [](const ::testing::TestParamInfo<TournamentCase>& i) { return std::string(i.param.name); });

// One pixel blended by hand.  Centre (3, 3) of a 7 x 7 image is c in every
// channel, and so is its vertical line (0, -3) .. (0, 3), so vertical costs 0;
// every other pixel with |dx| = 1 is c + 100 in channel 0 but those listed,
// and those with |dx| >= 2, which no vertical window holds, are c + 100 as
// well, so every other direction costs more.  The window is then the
// vertical one: its main line at distance 0 (weight 1 each, 6 in all) and
// the listed pixels at their L1 distances d, weight 1 - d/U up to U, where
// U = (1 - b/765 x highnoiseLevelReduce) x noiseLevel, b = 3c clamped to
// 0..765.
struct OffsetPixel {
    int dx, dy;
    float d0, d1, d2;  // added to c's channels
};

struct BlendCase {
    const char* name;
    float c, hnlr, noiseLevel, amount;
    std::vector<OffsetPixel> listed;
    double m, out[3];  // worked out below each case
};

class Blend : public NoiseReduceCore, public ::testing::WithParamInterface<BlendCase> {};

TEST_P(Blend, WeightsRangeAndStrengthAsWorkedOut) {
    const BlendCase& bc = GetParam();
    highnoiseLevelReduce = bc.hnlr;
    fl_image src(7, 7), dst(7, 7), plain(7, 7);
    strength_map strength(7, 7);
    fillImage(src, [&](int32 x, int32 y, int ch) {
        const int dx = x - 3, dy = y - 3;
        for (const OffsetPixel& p : bc.listed)
            if (p.dx == dx && p.dy == dy) return bc.c + (ch == 0 ? p.d0 : ch == 1 ? p.d1 : p.d2);
        return dx == 0 || ch != 0 ? bc.c : bc.c + 100.0f;
    });
    for (int isa = 0; isa < vectorInstructionSets(); ++isa) {
        SCOPED_TRACE("instruction set " + std::to_string(isa));
        useVectorInstructionSet(isa);
        flimageToFlimage(src, dst);
        flimageToFlimage(src, plain);
        noiseReduceCoreAlgo(src, dst, strength, 0.0f, bc.noiseLevel, false, bc.amount, 0.0f, 3, 4, -1);
        noiseReduceCoreAlgoWithoutStrength(src, plain, strength, 0.0f, bc.noiseLevel, false, bc.amount, 0.0f, 3, 4,
                                           -1);
        EXPECT_NEAR(strength.row(3)[3], bc.m, 1e-6);
        for (int ch = 0; ch < 3; ++ch) {
            EXPECT_NEAR(pixel(dst, 3, 3)[ch], bc.out[ch], 2e-5 * std::fabs(bc.out[ch])) << "channel " << ch;
            EXPECT_EQ(pixel(plain, 3, 3)[ch], pixel(dst, 3, 3)[ch]) << "channel " << ch;
        }
        // The reference agrees with the hand.
        fl_image ref(7, 7);
        flimageToFlimage(src, ref);
        EXPECT_NEAR(reference_core::noiseReducePixel(src, ref, 3, 3, bc.noiseLevel, false, bc.amount), bc.m, 1e-6);
    }
    useVectorInstructionSet(-1);
}

INSTANTIATE_TEST_SUITE_P(
    HandComputed, Blend,
    ::testing::Values(
        // b = 300: U = (1 - 300/765 x 0.5) x 51 = 51 - 10 = 41.  Weights:
        // (-1,-1) at d = 10 + 5 + 5.5 = 20.5: 1/2; (1,1) at 20.5: 1/2; (-1,0)
        // at 30.75: 1/4; (1,0) at 45 > U: 0.  W = 6 + 1/2 + 1/2 + 1/4 = 29/4,
        // m = 1 - 1/(W + 1) = 29/33.  out = c + m x (sum of w x offset) / W
        // = c + (4/33) x (sum of w x offset): channel 0 gets
        // 5 - 10.25 + 7.6875 = 2.4375, so 100 + 9.75/33; channel 1, -2.5:
        // 100 - 10/33; channel 2, 2.75: 100 + 11/33.
        BlendCase{"RangeNarrowedByBrightness",
                  100.0f, 0.5f, 51.0f, 1.0f,
                  {{-1, -1, 10.0f, -5.0f, 5.5f}, {1, 1, -20.5f, 0, 0}, {-1, 0, 30.75f, 0, 0}, {1, 0, 45.0f, 0, 0}},
                  29.0 / 33.0, {100.0 + 9.75 / 33.0, 100.0 - 10.0 / 33.0, 100.0 + 11.0 / 33.0}},
        // The same at amount 0.5: m = 29/66, every change halved.
        BlendCase{"HalfTheAmount",
                  100.0f, 0.5f, 51.0f, 0.5f,
                  {{-1, -1, 10.0f, -5.0f, 5.5f}, {1, 1, -20.5f, 0, 0}, {-1, 0, 30.75f, 0, 0}, {1, 0, 45.0f, 0, 0}},
                  29.0 / 66.0, {100.0 + 4.875 / 33.0, 100.0 - 5.0 / 33.0, 100.0 + 5.5 / 33.0}},
        // Without the brightness reduction U = 51: weights 1 - 20.5/51 =
        // 61/102 twice, 1 - 30.75/51 = 81/204 and 1 - 45/51 = 2/17; W =
        // 1573/204, m = 1573/1777.  Channel 0: 100 + m/W x (61/102 x (10 -
        // 20.5) + 81/204 x 30.75 + 2/17 x 45) = 100 + 204/1777 x 3053/272.
        BlendCase{"RangeNotNarrowed",
                  100.0f, 0.0f, 51.0f, 1.0f,
                  {{-1, -1, 10.0f, -5.0f, 5.5f}, {1, 1, -20.5f, 0, 0}, {-1, 0, 30.75f, 0, 0}, {1, 0, 45.0f, 0, 0}},
                  1573.0 / 1777.0, {719959.0 / 7108.0, 177090.0 / 1777.0, 178371.0 / 1777.0}},
        // b = 900 counts as 765: U = (1 - 0.5) x 51 = 25.5 (unclamped it
        // would be 21).  Weights 1 - 12.75/25.5 = 1/2 and 1 - 23/25.5 = 5/51;
        // W = 6.5 + 5/51 = 673/102, m = 673/775; channel 0: 300 + m/W x
        // (6.375 + 115/51) = 300 + 102/775 x 3521/408.
        BlendCase{"BrightnessClampedAt765",
                  300.0f, 0.5f, 51.0f, 1.0f,
                  {{-1, -1, 12.75f, 0, 0}, {1, 1, 23.0f, 0, 0}},
                  673.0 / 775.0, {933521.0 / 3100.0, 300.0, 300.0}},
        // b = -30 counts as 0: U = 51 (unclamped 52, and 51.5 would get a
        // weight).  Weights 1/2 and 0: W = 6.5, m = 13/15, channel 0:
        // -10 + 13/15 x 12.75/6.5 = -10 + 1.7.
        BlendCase{"NegativeBrightnessCountsAsZero",
                  -10.0f, 0.5f, 51.0f, 1.0f,
                  {{-1, -1, 25.5f, 0, 0}, {1, 1, 51.5f, 0, 0}},
                  13.0 / 15.0, {-8.3, -10.0, -10.0}}),
    [](const ::testing::TestParamInfo<BlendCase>& i) { return std::string(i.param.name); });

TEST_F(NoiseReduceCore, FlatImageComesOutUnchanged) {
    for (float v : {128.0f, 37.25f, 200.5f}) {
        fl_image src(20, 9), dst(20, 9);
        strength_map strength(20, 9);
        fillImage(src, [&](int32, int32, int) { return v; });
        flimageToFlimage(src, dst);
        noiseReduceCoreAlgo(src, dst, strength, 0.0f, 4.0f, true, 1.0f, 0.0f, 0, 9, -1);
        for (int32 y = 0; y < 9; ++y)
            for (int32 x = 0; x < 20; ++x) {
                for (int ch = 0; ch < 3; ++ch) ASSERT_FLOAT_EQ(pixel(dst, x, y)[ch], v) << x << "," << y;
                // W = 20: m = 20/21.
                ASSERT_EQ(strength.row(y)[x], 1.0f - 1.0f / 21.0f);
            }
        // 128 scales exactly: (1 - m) x 128 + m x 128 is 128 to the bit.
        if (v == 128.0f) {
            EXPECT_TRUE(sameBits(contents(dst), contents(src)));
        }
    }
}

TEST_F(NoiseReduceCore, PixelsAtOrAboveTheCeilingAreCopiedWithStrengthZero) {
    highnoiseLevelReduce = 1.0f;  // U = 0 at brightness 765
    fl_image src(9, 9), dst(9, 9);
    strength_map strength(9, 9);
    // Brightness 765 and above; a negative one counts as 0 and is filtered.
    fillImage(src, [](int32 x, int32 y, int) { return x < 5 ? 255.0f + float((x + y) % 3) : -4.0f; });
    fillImage(dst, [](int32, int32, int) { return 99.0f; });
    noiseReduceCoreAlgo(src, dst, strength, 0.0f, 4.0f, false, 1.0f, 0.0f, 0, 9, -1);
    for (int32 y = 0; y < 9; ++y)
        for (int32 x = 0; x < 5; ++x) {
            for (int ch = 0; ch < 3; ++ch) ASSERT_EQ(pixel(dst, x, y)[ch], pixel(src, x, y)[ch]);
            ASSERT_EQ(strength.row(y)[x], 0.0f);
        }
    // The dark flat area is blended (W = 20 inside it).
    EXPECT_EQ(strength.row(4)[8], 1.0f - 1.0f / 21.0f);
}

TEST_F(NoiseReduceCore, AmountZeroOrAnEmptyBandLeavesTheDestinationAlone) {
    fl_image src(30, 12), dst(30, 12);
    strength_map strength(30, 12);
    fillNoisyScene(src, 3);
    fillImage(dst, [](int32 x, int32 y, int ch) { return float(x * 3 + y * 100 + ch); });
    const std::vector<float> before = contents(dst);
    // A range wide enough that every pixel has similar neighbours: W > 0
    // everywhere, so only the blend with m = 0 applies.
    noiseReduceCoreAlgo(src, dst, strength, 0.0f, 2000.0f, true, 0.0f, 0.0f, 2, 10, 1);
    EXPECT_TRUE(sameBits(contents(dst), before));
    noiseReduceCoreAlgo(src, dst, strength, 0.0f, 30.0f, true, 1.0f, 0.0f, 5, 5, -1);
    noiseReduceCoreAlgo(src, dst, strength, 0.0f, 30.0f, true, 1.0f, 0.0f, 7, 3, -1);
    EXPECT_TRUE(sameBits(contents(dst), before));
    // A band writes its own rows only.
    noiseReduceCoreAlgo(src, dst, strength, 0.0f, 30.0f, true, 1.0f, 0.0f, 4, 6, -1);
    const std::vector<float> after = contents(dst);
    const size_t rowFloats = size_t(dst.paddedWidth) * 3;
    for (size_t i = 0; i < after.size(); ++i) {
        const size_t row = i / rowFloats, column = (i % rowFloats) / 3;
        const bool inBand = row >= 4 + 3 && row < 6 + 3 && column >= 3 && column < 33;
        if (!inBand) {
            ASSERT_EQ(after[i], before[i]) << "float " << i;
        }
    }
}

// The vectorised core against the reference on noisy scenes, for widths
// that fill vectors and tiles exactly, partly, or not at all.
struct SceneCase {
    int32 width, height;
    bool smoothReference;
    float amount, noiseLevel;
};

class AgainstReference : public NoiseReduceCore, public ::testing::WithParamInterface<SceneCase> {};

void checkAgainstReference(const SceneCase& sc) {
    fl_image src(sc.width, sc.height), dst(sc.width, sc.height);
    strength_map strength(sc.width, sc.height);
    fl_image ref(sc.width, sc.height), plain(sc.width, sc.height);
    ASSERT_TRUE(src.data && dst.data && strength.data && ref.data && plain.data);
    const size_t pixels = size_t(sc.width) * sc.height;
    std::vector<float> refStrength(pixels, -7.0f);
    fillNoisyScene(src, uint32_t(sc.width * 131 + sc.height));
    flimageToFlimage(src, dst);
    flimageToFlimage(src, ref);
    flimageToFlimage(src, plain);
    std::fill(strength.data, strength.data + pixels, -7.0f);

    noiseReduceCoreAlgo(src, dst, strength, 0.0f, sc.noiseLevel, sc.smoothReference, sc.amount, 0.0f, 0, sc.height,
                        -1);
    for (int32 y = 0; y < sc.height; ++y)
        for (int32 x = 0; x < sc.width; ++x)
            refStrength[size_t(y) * sc.width + x] =
                reference_core::noiseReducePixel(src, ref, x, y, sc.noiseLevel, sc.smoothReference, sc.amount);
    EXPECT_TRUE(sameBits(contents(dst), contents(ref)));
    EXPECT_TRUE(sameBits(std::vector<float>(strength.data, strength.data + pixels), refStrength));

    // Glimra's form, as its driver's thread body calls it: the same pixels,
    // the strength map untouched.
    threadedNoiseReduce({&src, &plain, &strength, 0.0f, sc.noiseLevel, sc.smoothReference, sc.amount, 0.0f, 0,
                         sc.height, -1});
    EXPECT_TRUE(sameBits(contents(plain), contents(ref)));
    std::fill(strength.data, strength.data + pixels, -7.0f);
    noiseReduceCoreAlgoWithoutStrength(src, plain, strength, 0.0f, sc.noiseLevel, sc.smoothReference, sc.amount,
                                       0.0f, 0, sc.height, -1);
    EXPECT_TRUE(sameBits(std::vector<float>(strength.data, strength.data + pixels), std::vector<float>(pixels, -7.0f)));
}

TEST_P(AgainstReference, EveryPixelBitIdenticalOnEveryInstructionSet) {
    for (int isa = 0; isa < vectorInstructionSets(); ++isa) {
        SCOPED_TRACE("instruction set " + std::to_string(isa));
        useVectorInstructionSet(isa);
        checkAgainstReference(GetParam());
    }
    useVectorInstructionSet(-1);
}

INSTANTIATE_TEST_SUITE_P(Scenes, AgainstReference,
                         ::testing::Values(SceneCase{4, 4, true, 1.0f, 12.0f}, SceneCase{5, 9, false, 1.0f, 12.0f},
                                           SceneCase{8, 17, true, 0.6f, 25.0f}, SceneCase{9, 16, true, 1.0f, 3.0f},
                                           SceneCase{64, 20, true, 1.0f, 12.0f},
                                           SceneCase{70, 33, false, 0.8f, 40.0f},
                                           SceneCase{131, 19, true, 1.0f, 1e-5f}));

}  // namespace
