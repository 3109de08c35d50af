// The eight directional windows: twenty distinct neighbours, never the
// centre, never more than the border of 3 away.
#include <set>

#include "engine/neighbour_windows.h"
#include "reference_core.h"
#include "support/host_fixture.h"
#include "support/pixels.h"

namespace {

class NeighbourWindows : public ::testing::TestWithParam<int> {};

TEST_P(NeighbourWindows, AreDistinctExcludeTheCentreAndStayInTheBorder) {
    const int dir = GetParam();
    const int32 paddedWidth = 13, paddedHeight = 11;  // a 7 x 5 interior with its border of 3
    std::vector<float> buffer(size_t(paddedWidth) * paddedHeight * 3);
    const int32 rowLength = paddedWidth * 3;
    // Every interior pixel as centre.
    for (int32 y = 3; y < paddedHeight - 3; ++y) {
        for (int32 x = 3; x < paddedWidth - 3; ++x) {
            float* centre = buffer.data() + (y * paddedWidth + x) * 3;
            neighbourPointerWindow window;
            kNeighbourSetPointers[dir](window, centre, rowLength);
            std::set<float*> seen;
            int farthest = 0;
            for (int k = 0; k < kNeighbourWindowSize; ++k) {
                float* p = window[k];
                ASSERT_NE(p, centre) << "entry " << k;
                const ptrdiff_t offset = p - buffer.data();
                ASSERT_GE(offset, 0) << "entry " << k;
                ASSERT_LT(offset, ptrdiff_t(buffer.size())) << "entry " << k;
                ASSERT_EQ(offset % 3, 0) << "entry " << k << " is not a pixel's channel 0";
                const int32 px = int32(offset / 3) % paddedWidth, py = int32(offset / 3) / paddedWidth;
                ASSERT_LE(std::abs(px - x), 3);
                ASSERT_LE(std::abs(py - y), 3);
                farthest = std::max({farthest, std::abs(px - x), std::abs(py - y)});
                EXPECT_EQ(px - x, reference_core::kWindows[dir][k][0]);
                EXPECT_EQ(py - y, reference_core::kWindows[dir][k][1]);
                seen.insert(p);
            }
            EXPECT_EQ(seen.size(), size_t(kNeighbourWindowSize));
            EXPECT_EQ(farthest, 3);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryDirection, NeighbourWindows, ::testing::Range(0, int(kNeighbourDirections)));

TEST(NeighbourWindowsAcross, EntriesEighteenAndNineteenLieAcrossTheDirection) {
    std::vector<float> buffer(9 * 9 * 3);
    const int32 rowLength = 9 * 3;
    float* centre = buffer.data() + (4 * 9 + 4) * 3;
    neighbourPointerWindow w;
    updownSetPointers(w, centre, rowLength);
    EXPECT_EQ(w[18], centre - 3);  // left
    EXPECT_EQ(w[19], centre + 3);  // right
    EXPECT_EQ(w[0], centre - rowLength);
    leftRightSetPointers(w, centre, rowLength);
    EXPECT_EQ(w[18], centre - rowLength);  // above
    EXPECT_EQ(w[19], centre + rowLength);  // below
    EXPECT_EQ(w[0], centre - 3);
    trblSetPointers(w, centre, rowLength);
    EXPECT_EQ(w[4], centre - 3 * rowLength + 9);  // three up, three right
    diagDSetPointers(w, centre, rowLength);
    EXPECT_EQ(w[1], centre + 2 * rowLength + 3);  // steep down-right: (+1, +2)
}

TEST(NeighbourWindowsAcross, TheEightDirectionsAreEightDifferentWindows) {
    std::set<std::set<std::pair<int, int>>> windows;
    for (int d = 0; d < kNeighbourDirections; ++d) {
        std::set<std::pair<int, int>> w;
        for (int k = 0; k < kNeighbourWindowSize; ++k)
            w.insert({kNeighbourWindowOffsets[d][k][0], kNeighbourWindowOffsets[d][k][1]});
        windows.insert(w);
    }
    EXPECT_EQ(windows.size(), size_t(kNeighbourDirections));
}

}  // namespace
