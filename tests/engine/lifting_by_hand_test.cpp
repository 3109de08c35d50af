// One level of the lifting worked out by hand: the edge-guided prediction of
// single pixels, and the size at which the full pass cuts an area into
// quarters.
#include "engine/lifting.h"
#include "support/host_fixture.h"
#include "support/pixels.h"

namespace {

class LiftingByHand : public EngineHostTest {};

// A 3 x 3 fine image predicted from a 2 x 2 coarse one (10, 40 over 70,
// 100, channel 0; the other channels 0).  Only channel 0 of the fine image
// differs, so its differences are the L1 distances.  The ramp of a distance
// d: 1 up to 10, then 1 - (d - 10)/200, 0 from 210 on.
struct PredictionCase {
    const char* name;
    float fine[3][3];  // [y][x]
    int x, y;          // the pixel predicted
    float expected;
};

class Prediction : public LiftingByHand, public ::testing::WithParamInterface<PredictionCase> {};

TEST_P(Prediction, IsTheCoarsePixelsWeightedByTheFineImagesRamps) {
    const PredictionCase& c = GetParam();
    fl_image fine(3, 3), coarse(2, 2), out(3, 3);
    const float coarseValues[2][2] = {{10.0f, 40.0f}, {70.0f, 100.0f}};
    fillImage(fine, [&](int32 x, int32 y, int ch) { return ch == 0 ? c.fine[y][x] : 0.0f; });
    fillImage(coarse, [&](int32 x, int32 y, int ch) { return ch == 0 ? coarseValues[y][x] : 0.0f; });
    ASSERT_EQ(similarityReconstruct(coarse, fine, out), noErr);
    EXPECT_NEAR(pixel(out, c.x, c.y)[0], c.expected, 1e-4f);
    EXPECT_EQ(pixel(out, 0, 0)[0], 10.0f);  // an even row's even column is its coarse pixel
}

INSTANTIATE_TEST_SUITE_P(
    Pixels, Prediction,
    ::testing::Values(
        // (1, 0) from its left and right: d = 110 (ramp 1/2) and 5 (1),
        // normalised to 1/3 and 2/3: 10/3 + 80/3.
        PredictionCase{"LeftAndRight", {{210, 100, 105}, {0, 0, 0}, {0, 0, 0}}, 1, 0, 30.0f},
        // d = 300 (0) and 20 (0.95): one non-zero ramp is normalised to 1.
        PredictionCase{"OneSideOnly", {{400, 100, 120}, {0, 0, 0}, {0, 0, 0}}, 1, 0, 40.0f},
        // Both beyond 210: halves.
        PredictionCase{"NeitherSide", {{400, 100, -200}, {0, 0, 0}, {0, 0, 0}}, 1, 0, 25.0f},
        // (0, 1) from above and below: d = 160 (1/4) and 60 (3/4).
        PredictionCase{"AboveAndBelow", {{260, 0, 0}, {100, 0, 0}, {40, 0, 0}}, 0, 1, 0.25f * 10 + 0.75f * 70},
        // Both beyond 210: halves of 10 and 70.
        PredictionCase{"NeitherAboveNorBelow", {{400, 0, 0}, {100, 0, 0}, {-200, 0, 0}}, 0, 1, 40.0f},
        // (1, 1) from its diagonals: d = 10 (1), 110 (1/2), 210 (0) and 300
        // (0): 2/3 x 10 + 1/3 x 40.
        PredictionCase{"Diagonals", {{110, 0, 210}, {0, 100, 0}, {310, 0, 400}}, 1, 1, 20.0f},
        // All four beyond 210: quarters of 10, 40, 70 and 100.
        PredictionCase{"NoDiagonal", {{400, 0, 400}, {0, 100, 0}, {-200, 0, 400}}, 1, 1, 55.0f}),
    [](const ::testing::TestParamInfo<PredictionCase>& i) { return std::string(i.param.name); });

// Quarters take more than a million pixels and both sides at least 135.
TEST(ProcessInQuadrants, AreaAndBothSides) {
    struct Case {
        int32 width, height;
        bool quarters;
    };
    const Case cases[] = {
        {1000, 1000, false}, {1001, 1000, true},  {1000, 1001, true},   {135, 7408, true},  // 1,000,080
        {134, 10000, false}, {7408, 135, true},   {10000, 134, false},  {135, 135, false},
    };
    for (const Case& c : cases) EXPECT_EQ(processInQuadrants(c.width, c.height), c.quarters) << c.width << " x " << c.height;
}

}  // namespace
