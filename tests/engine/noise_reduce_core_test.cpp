// The noise-reduction core: direction tournament, weights, blend and
// strength, against a plain one-pixel-at-a-time reference.
#include <algorithm>
#include <vector>

#include "engine/vector_isa.h"
#include "reference_core.h"
#include "support/host_fixture.h"
#include "support/pixels.h"

namespace {

class NoiseReduceCore : public EngineHostTest {};

// A 7 x 7 image around centre (3, 3), black but for the probe pixels set to
// 1 in every channel: each such pixel adds 3 to the cost of the directions
// that probe it.
struct TournamentCase {
    const char* name;
    std::vector<std::pair<int, int>> raised;  // {dx, dy} from the centre
    int expected;
};

class Tournament : public NoiseReduceCore, public ::testing::WithParamInterface<TournamentCase> {};

TEST_P(Tournament, PicksTheCheapestDirectionTiesGoingToTheLater) {
    const TournamentCase& tc = GetParam();
    fl_image src(7, 7), dst(7, 7);
    strength_map strength(7, 7);
    ASSERT_TRUE(src.data && dst.data && strength.data);
    fillImage(src, [&](int32 x, int32 y, int) {
        for (auto& p : tc.raised)
            if (x == 3 + p.first && y == 3 + p.second) return 1.0f;
        return 0.0f;
    });
    EXPECT_EQ(chooseNeighbourDirection(pixel(src, 3, 3), src.paddedWidth * 3, false), tc.expected);

    // The vectorised core chooses the same window: its result at the centre
    // is the reference's for that direction.
    flimageToFlimage(src, dst);
    noiseReduceCoreAlgo(src, dst, strength, 0.0f, 5.0f, false, 1.0f, 0.0f, 3, 4, -1);
    fl_image ref(7, 7);
    flimageToFlimage(src, ref);
    referenceNoiseReducePixel(src, ref, 3, 3, 5.0f, false, 1.0f);
    for (int ch = 0; ch < 3; ++ch) EXPECT_EQ(pixel(dst, 3, 3)[ch], pixel(ref, 3, 3)[ch]) << ch;
}

// Costs: vertical 0, trbl 1, horizontal 2, brtl 3, steep up-right 4,
// shallow up-right 5, shallow down-right 6, steep down-right 7.
INSTANTIATE_TEST_SUITE_P(
    HandComputed, Tournament,
    ::testing::Values(
        // All costs equal: every stage is a tie, the last direction wins.
        TournamentCase{"AllTied", {}, kDirDiagD},
        // Steep down-right costs 3: shallow down-right wins its pair and,
        // tied with the others at 0, every later stage.
        TournamentCase{"LastCostly", {{1, 2}}, kDirDiagC},
        // All four oblique directions cost 3: the first half's last
        // contender (brtl, tied with vertical, trbl and horizontal) wins.
        TournamentCase{"ObliqueCostly", {{1, -2}, {2, -1}, {2, 1}, {1, 2}}, kDirBrTl},
        // Only vertical is free: it is strictly cheapest at every stage.
        TournamentCase{"VerticalFree", {{1, -2}, {2, -1}, {2, 1}, {1, 2}, {1, -1}, {1, 0}, {1, 1}}, kDirUpDown},
        // Vertical free, trbl free too: the tie in the first pair goes to trbl.
        TournamentCase{"FirstPairTie", {{1, -2}, {2, -1}, {2, 1}, {1, 2}, {1, 0}, {1, 1}}, kDirTrBl},
        // Horizontal alone free in the first half, steep up-right alone in
        // the second: tie between the halves goes to the second.
        TournamentCase{"HalvesTie", {{0, 1}, {1, -1}, {1, 1}, {2, -1}, {2, 1}, {1, 2}}, kDirDiagA}),
    [](const ::testing::TestParamInfo<TournamentCase>& i) { return std::string(i.param.name); });

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
                referenceNoiseReducePixel(src, ref, x, y, sc.noiseLevel, sc.smoothReference, sc.amount);
    EXPECT_TRUE(sameBits(contents(dst), contents(ref)));
    EXPECT_TRUE(sameBits(std::vector<float>(strength.data, strength.data + pixels), refStrength));

    // Glimra's form: the same pixels, the strength map untouched.
    noiseReduceCoreAlgoWithoutStrength(src, plain, strength, 0.0f, sc.noiseLevel, sc.smoothReference, sc.amount,
                                       0.0f, 0, sc.height, -1);
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
