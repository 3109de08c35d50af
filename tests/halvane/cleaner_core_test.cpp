// The cleaner-smooth-areas core against pixels worked out by hand, against a
// plain one-pixel-at-a-time reading of the algorithm with its own tables, and
// the choice between it and the standard core.
#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "engine/band_driver.h"
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

// The algorithm read literally, one pixel at a time, with its own tables
// (none of the engine's): the probes and the main lines of the eight
// directions, the tournament with its tie rule, the similarity range, then
// 49 block weights and the main line's six entries with four times the
// weight, summed in that order.
const int kProbes[8][6][2] = {
    {{0, -1}, {0, 1}, {0, -2}, {0, 2}, {0, -3}, {0, 3}},          // vertical
    {{1, -1}, {2, -2}, {3, -3}, {-1, 1}, {-2, 2}, {-3, 3}},       // top right to bottom left
    {{-1, 0}, {1, 0}, {-2, 0}, {2, 0}, {-3, 0}, {3, 0}},          // horizontal
    {{1, 1}, {2, 2}, {3, 3}, {-1, -1}, {-2, -2}, {-3, -3}},       // bottom right to top left
    {{1, -2}, {1, -3}, {2, -3}, {-1, 2}, {-1, 3}, {-2, 3}},       // steep up-right
    {{2, -1}, {3, -1}, {3, -2}, {-2, 1}, {-3, 1}, {-3, 2}},       // shallow up-right
    {{2, 1}, {3, 1}, {3, 2}, {-2, -1}, {-3, -1}, {-3, -2}},       // shallow down-right
    {{1, 2}, {1, 3}, {2, 3}, {-1, -2}, {-1, -3}, {-2, -3}},       // steep down-right
};
const int kMainLines[8][6][2] = {
    {{0, -1}, {0, -2}, {0, 1}, {0, 2}, {0, -3}, {0, 3}},
    {{1, -1}, {2, -2}, {-1, 1}, {-2, 2}, {3, -3}, {-3, 3}},
    {{-1, 0}, {-2, 0}, {1, 0}, {2, 0}, {-3, 0}, {3, 0}},
    {{1, 1}, {2, 2}, {-1, -1}, {-2, -2}, {3, 3}, {-3, -3}},
    {{1, -1}, {1, -2}, {-1, 1}, {-1, 2}, {1, -3}, {-1, 3}},
    {{1, -1}, {2, -1}, {-1, 1}, {-2, 1}, {3, -1}, {-3, 1}},
    {{1, 1}, {2, 1}, {-1, -1}, {-2, -1}, {3, 1}, {-3, -1}},
    {{1, 1}, {1, 2}, {-1, -1}, {-1, -2}, {1, 3}, {-1, -3}},
};

float distance(const float* a, const float* b) {
    return (std::fabs(a[0] - b[0]) + std::fabs(a[1] - b[1])) + std::fabs(a[2] - b[2]);
}

void referencePixel(fl_image& src, int32 x, int32 y, float noiseLevel, bool smoothReference, float reduce,
                    float out[3], float& strength) {
    const float* c = pixel(src, x, y);
    auto at = [&](int dx, int dy) { return pixel(src, x + dx, y + dy); };
    float r[3] = {c[0], c[1], c[2]};
    if (smoothReference)
        for (int k = 0; k < 3; ++k) {
            float sum = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) sum += at(dx, dy)[k];
            r[k] = sum * (1.0f / 9.0f);
        }
    float cost[8];
    for (int d = 0; d < 8; ++d) {
        cost[d] = 0;
        for (const auto& p : kProbes[d]) cost[d] += distance(r, at(p[0], p[1]));
    }
    // Ties go to the later contender.
    auto pick = [&](int a, int b) { return cost[a] < cost[b] ? a : b; };
    const int dir = pick(pick(pick(0, 1), pick(2, 3)), pick(pick(4, 5), pick(6, 7)));
    const float b = std::min(std::max((c[0] + c[1]) + c[2], 0.0f), 765.0f);
    const float U = (1.0f - b / 765.0f * reduce) * noiseLevel;
    float W = 0, S[3] = {0, 0, 0};
    auto add = [&](const float* q, float scale) {
        const float d = distance(c, q);
        const float w = d > U ? 0.0f : scale * (1.0f - d / U);
        W += w;
        for (int k = 0; k < 3; ++k) S[k] += w * q[k];
    };
    for (int dy = -3; dy <= 3; ++dy)
        for (int dx = -3; dx <= 3; ++dx) add(at(dx, dy), 1.0f);
    for (const auto& p : kMainLines[dir]) add(at(p[0], p[1]), 4.0f);
    if (W != 0.0f && !std::isnan(W)) {
        for (int k = 0; k < 3; ++k) out[k] = S[k] / W;
        strength = (W - 0.9f) / W;
    } else {
        for (int k = 0; k < 3; ++k) out[k] = c[k];
        strength = 0.0f;
    }
}

// Hand-worked pixels.  A 15 x 15 black image with the centre (7, 7) at
// (102, 102, 102) and a few pixels around it; highnoiseLevelReduce 0.5 and a
// noise level of 50 give U = (1 - 306/765 x 0.5) x 50 = 0.8 x 50 = 40, so a
// black pixel (distance 306) has no weight, and a pixel at distance d
// weighs 1 - d/40 (x 5 on the chosen main line, the centre 1).
struct Spot {
    int dx, dy;
    float v[3];
};
const float kCentre[3] = {102, 102, 102};

struct HandCase {
    const char* name;
    bool smoothReference;
    std::vector<Spot> spots;
    float out[3];
    float strength;
};

// The 3 x 3 block at the centre's value, the vertical line's far probes
// (0, +-2), (0, +-3) at `vertical`, the top-right diagonal's (+-2, -+2),
// (+-3, -+3) at `diagonal` (grey); `ring` sets (+-1, 0), (1, 1), (-1, -1).
std::vector<Spot> tieScene(float vertical, float diagonal, float ring = 102) {
    std::vector<Spot> s;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) s.push_back({dx, dy, {102, 102, 102}});
    for (auto p : {std::make_pair(-1, 0), std::make_pair(1, 0), std::make_pair(1, 1), std::make_pair(-1, -1)})
        s.push_back({p.first, p.second, {ring, ring, ring}});
    for (int k : {2, 3}) {
        for (int sgn : {-1, 1}) {
            s.push_back({0, sgn * k, {vertical, vertical, vertical}});
            s.push_back({-sgn * k, sgn * k, {diagonal, diagonal, diagonal}});
        }
    }
    return s;
}

// Vertical line: (0,-1) (97,97,97) d 15 w 0.625; (0,-2) (112,102,102) d 10
// w 0.75; (0,1) the centre's colour w 1; (0,2) (102,92,102) w 0.75; (0,-3)
// (90,102,102) d 12 w 0.7; (0,3) (122,122,122) d 60 > U w 0; off the line
// (1,0) (102,102,110) d 8 w 0.8.  Vertical costs 107, every other direction
// meets black probes.  W = 1 + 5 x 3.825 + 0.8 = 20.925;
// S0 = 102 + 5 x (0.625x97 + 0.75x112 + 102 + 0.75x102 + 0.7x90) + 0.8x102
//    = 102 + 5 x 386.125 + 81.6 = 2114.225, S1 = 102 + 5 x 379.525 + 81.6,
// S2 = 102 + 5 x 387.025 + 0.8x110.
const std::vector<Spot> kVerticalScene = {
    {0, 0, {102, 102, 102}}, {0, -1, {97, 97, 97}},   {0, -2, {112, 102, 102}}, {0, 1, {102, 102, 102}},
    {0, 2, {102, 92, 102}},  {0, -3, {90, 102, 102}}, {0, 3, {122, 122, 122}},  {1, 0, {102, 102, 110}},
};

const HandCase kHandCases[] = {
    {"verticalLine", false, kVerticalScene,
     {2114.225f / 20.925f, 2081.225f / 20.925f, 2125.125f / 20.925f}, (20.925f - 0.9f) / 20.925f},
    // Steep up-right: its six probes and its main line differ.  Main line
    // (1,-1) (1,-2) (-1,1) (-1,2) (1,-3) (-1,3) at (108,102,102), d 6,
    // w 0.85 x 5; probes off the line (2,-3) (-2,3) at (102,102,82), d 20,
    // w 0.5 x 1.  W = 1 + 25.5 + 1 = 27.5; S0 = 102 + 25.5x108 + 102 = 2958,
    // S1 = 27.5 x 102, S2 = 102 + 25.5x102 + 82 = 2785.
    {"steepUpRight", false,
     {{0, 0, {102, 102, 102}}, {1, -1, {108, 102, 102}}, {1, -2, {108, 102, 102}}, {-1, 1, {108, 102, 102}},
      {-1, 2, {108, 102, 102}}, {1, -3, {108, 102, 102}}, {-1, 3, {108, 102, 102}}, {2, -3, {102, 102, 82}},
      {-2, 3, {102, 102, 82}}},
     {2958.0f / 27.5f, 102.0f, 2785.0f / 27.5f}, (27.5f - 0.9f) / 27.5f},
    // The 3 x 3 mean is exactly 102 (918 x 1/9), so vertical (far probes
    // 98) and the top-right diagonal (far probes 106) tie at 4 x 12 and the
    // diagonal, the later contender, wins; a reference a little below or
    // above 102 breaks the tie one way or the other.  Weights: the block's
    // nine pixels 1, the eight far probes d 12 w 0.7, the diagonal's main
    // line 4 x (1 + 1 + 4 x 0.7) more: W = 9 + 5.6 + 19.2 = 33.8;
    // S = 918 + 2.8x98 + 2.8x106 + 4 x (204 + 2.8x106) = 3492.4.
    {"tieGoesToTheDiagonal", true, tieScene(98, 106), {3492.4f / 33.8f, 3492.4f / 33.8f, 3492.4f / 33.8f},
     (33.8f - 0.9f) / 33.8f},
    // The same with the far probes swapped: S = 1489.2 + 4 x (204 + 2.8x98).
    {"tieMirrored", true, tieScene(106, 98), {3402.8f / 33.8f, 3402.8f / 33.8f, 3402.8f / 33.8f},
     (33.8f - 0.9f) / 33.8f},
    // (+-1, 0), (1, 1), (-1, -1) at 93 (d 27, w 0.325): against the pixel
    // itself the two lines still tie and the diagonal wins; against the
    // 3 x 3 mean (918 - 36) / 9 = 98 vertical costs 2 x 12 and the diagonal
    // 2 x 12 + 4 x 24, so vertical wins.  W = 5 + 1.3 + 5.6 + 19.2 = 31.1;
    // S = 510 + 1.3x93 + 2.8x98 + 2.8x106 + the main line's 4 x (204 + 2.8 x
    // 106) or 4 x (204 + 2.8 x 98).
    {"pixelAsReference", false, tieScene(98, 106, 93), {3205.3f / 31.1f, 3205.3f / 31.1f, 3205.3f / 31.1f},
     (31.1f - 0.9f) / 31.1f},
    {"meanAsReference", true, tieScene(98, 106, 93), {3115.7f / 31.1f, 3115.7f / 31.1f, 3115.7f / 31.1f},
     (31.1f - 0.9f) / 31.1f},
};

// The scene of a hand case: black, the centre and the spots.
void handScene(fl_image& src, const std::vector<Spot>& spots) {
    fillInterior(src, [](int32, int32, int) { return 0.0f; });
    for (int c = 0; c < 3; ++c) pixel(src, 7, 7)[c] = kCentre[c];
    for (const Spot& s : spots)
        for (int c = 0; c < 3; ++c) pixel(src, 7 + s.dx, 7 + s.dy)[c] = s.v[c];
}

class CleanerHandCase : public CleanerCore, public ::testing::WithParamInterface<HandCase> {};

TEST_P(CleanerHandCase, CentrePixel) {
    const HandCase& h = GetParam();
    highnoiseLevelReduce = 0.5f;
    fl_image src(15, 15), dst(15, 15);
    strength_map map(15, 15);
    handScene(src, h.spots);
    run(src, dst, map, 50.0f, h.smoothReference);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(pixel(dst, 7, 7)[c], h.out[c], 2e-4f) << "channel " << c;
    EXPECT_NEAR(map.row(7)[7], h.strength, 1e-6f);
}

INSTANTIATE_TEST_SUITE_P(Scenes, CleanerHandCase, ::testing::ValuesIn(kHandCases),
                         [](const ::testing::TestParamInfo<HandCase>& i) { return std::string(i.param.name); });

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

// No range for a bright pixel: U = 0 (the centre's weight 1 - 0/0 is
// undefined) or, with highnoiseLevelReduce above 1, U < 0 (every weight 0).
class CleanerNoRange : public CleanerCore, public ::testing::WithParamInterface<float> {};

TEST_P(CleanerNoRange, BrightPixelIsCopied) {
    highnoiseLevelReduce = GetParam();
    fl_image src(12, 12), dst(12, 12);
    strength_map map(12, 12);
    fillInterior(src, [](int32 x, int32, int) { return x == 5 ? 255.0f : 250.0f; });
    run(src, dst, map, 30.0f, false);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(pixel(dst, 5, 4)[c], 255.0f);
    EXPECT_EQ(map.row(4)[5], 0.0f);
}

INSTANTIATE_TEST_SUITE_P(ZeroAndNegative, CleanerNoRange, ::testing::Values(1.0f, 1.5f));

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
                    referencePixel(src, x, y, 35.0f, smooth, highnoiseLevelReduce, out, strength);
                    for (int c = 0; c < 3; ++c)
                        ASSERT_NEAR(pixel(dst, x, y)[c], out[c], 2e-3f) << x << "," << y << " w " << w;
                    ASSERT_NEAR(map.row(y)[x], strength, 1e-5f) << x << "," << y;
                }
        }
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

// The flag picks the core: the vertical scene at amount 0.8 through the
// cleaner core (as above, amount unread) or through the standard core, whose
// vertical window holds the line and (1, 0): W = 3.825 + 0.8 = 4.625,
// S = (467.725, 461.125, 475.025), m = (1 - 1/5.625) x 0.8 = 0.657778, and
// the pixel becomes (1 - m) x 102 + m x S/W.
const float kStandardM = (1.0f - 1.0f / 5.625f) * 0.8f;

struct ChoiceCase {
    bool cleaner;
    float out[3];
    float strength;
};

class CoreChoice : public CleanerCore, public ::testing::WithParamInterface<ChoiceCase> {};

TEST_P(CoreChoice, FlagPicksTheCore) {
    const ChoiceCase& k = GetParam();
    cleanerSmoothAreas = k.cleaner;
    highnoiseLevelReduce = 0.5f;
    fl_image src(15, 15), dst(15, 15);
    strength_map map(15, 15);
    handScene(src, kVerticalScene);
    src.generatePadding();
    flimageToFlimage(src, dst);
    threadedNoiseReduce({&src, &dst, &map, 0, 50.0f, false, 0.8f, 0, 0, 15, -1});
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(pixel(dst, 7, 7)[c], k.out[c], 2e-4f) << "channel " << c;
    EXPECT_NEAR(map.row(7)[7], k.strength, 1e-6f);
}

INSTANTIATE_TEST_SUITE_P(
    Cores, CoreChoice,
    ::testing::Values(ChoiceCase{true, {2114.225f / 20.925f, 2081.225f / 20.925f, 2125.125f / 20.925f},
                                 (20.925f - 0.9f) / 20.925f},
                      ChoiceCase{false,
                                 {(1 - kStandardM) * 102 + kStandardM * 467.725f / 4.625f,
                                  (1 - kStandardM) * 102 + kStandardM * 461.125f / 4.625f,
                                  (1 - kStandardM) * 102 + kStandardM * 475.025f / 4.625f},
                                 kStandardM}));

}  // namespace
