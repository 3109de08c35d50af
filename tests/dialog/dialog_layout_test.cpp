// Wheel zoom, eyedropper points, mouse states, minimum size, stretched
// panes, the window's placement, uncovered strips and the preview's pixel
// map.
#include <gtest/gtest.h>

#include <tuple>

#include "dialog/dialog_layout.h"

namespace {

int64_t area(VRect r) { return int64_t(r.right - r.left) * (r.bottom - r.top); }
bool meets(VRect a, VRect b) {
    return std::max(a.left, b.left) < std::min(a.right, b.right) && std::max(a.top, b.top) < std::min(a.bottom, b.bottom);
}
std::string show(VRect r) {
    return "(" + std::to_string(r.top) + "," + std::to_string(r.left) + "," + std::to_string(r.bottom) + "," +
           std::to_string(r.right) + ")";
}

// From zoom factor, wheel delta, to zoom factor.
const std::tuple<int32, int32, int32> kWheel[] = {
    {1, 40, 1}, {1, 120, 2}, {1, -120, 1}, {1, -240, 1}, {1, 360, 4},  //
    {2, 40, 2}, {2, 120, 4}, {2, -120, 1}, {2, -240, 1}, {2, 360, 4},  //
    {3, 40, 3}, {3, 120, 4}, {3, -120, 2}, {3, -240, 1}, {3, 360, 4},  //
    {4, 40, 4}, {4, 120, 4}, {4, -120, 2}, {4, -240, 2}, {4, 360, 4},  //
    {4, -40, 4}, {2, 239, 4}, {0, 40, 1}, {-5, 0, 1}, {9, -119, 4},
};

class Wheel : public ::testing::TestWithParam<std::tuple<int32, int32, int32>> {};

TEST_P(Wheel, StepsOverThreeAndIgnoresPartNotches) {
    const auto [zoom, delta, expected] = GetParam();
    EXPECT_EQ(zoomAfterWheel(zoom, delta), expected) << "zoom " << zoom << ", delta " << delta;
}

INSTANTIATE_TEST_SUITE_P(Events, Wheel, ::testing::ValuesIn(kWheel));

TEST(Wheel, TwoNotchesBackFromFourReachOne) {
    EXPECT_EQ(zoomAfterWheel(zoomAfterWheel(4, -120), -120), 1);
}

// Filter 200 x 100 from the origin; the picture centred at (row 300, column 400).
const eyedropperView kView{{0, 0, 100, 200}, {250, 300, 350, 500}, 0, 0, 1};

TEST(Eyedropper, PressAndReleaseOnOnePixelSelectOnePixel) {
    const VPoint down = findEyedropperPoint(kView, VPoint{300, 400}, false);
    const VPoint up = findEyedropperPoint(kView, VPoint{300, 400}, true);
    EXPECT_EQ(down.v, 50);
    EXPECT_EQ(down.h, 100);
    EXPECT_EQ(up.v, 51);
    EXPECT_EQ(up.h, 101);
}

TEST(Eyedropper, ReleaseAboveLeftOfThePressWidensToThreePixels) {
    VPoint down = findEyedropperPoint(kView, VPoint{300, 400}, false);
    VPoint up = findEyedropperPoint(kView, VPoint{299, 399}, true);
    normalizeEyedropperSelection(down, up, kView.filter);
    EXPECT_EQ(down.v, 49);
    EXPECT_EQ(down.h, 99);
    EXPECT_EQ(up.v, 51);
    EXPECT_EQ(up.h, 101);
}

struct CornerRow {
    VPoint click;
    bool release;
    VPoint expected;
};

const CornerRow kCorners[] = {
    {{-10000, -10000}, false, {0, 0}},    {{10000, 10000}, false, {99, 199}},
    {{-10000, -10000}, true, {1, 1}},     {{10000, 10000}, true, {100, 200}},
    {{-10000, 10000}, false, {0, 199}},   {{10000, -10000}, true, {100, 1}},
};

class EyedropperCorner : public ::testing::TestWithParam<CornerRow> {};

TEST_P(EyedropperCorner, StaysInsideTheFilterRectangle) {
    const CornerRow& r = GetParam();
    const VPoint p = findEyedropperPoint(kView, r.click, r.release);
    EXPECT_EQ(p.v, r.expected.v);
    EXPECT_EQ(p.h, r.expected.h);
}

INSTANTIATE_TEST_SUITE_P(Corners, EyedropperCorner, ::testing::ValuesIn(kCorners));

TEST(Eyedropper, SelectionAtTheFilterEdgeStaysInside) {
    VPoint down{100, 200}, up{100, 200};
    normalizeEyedropperSelection(down, up, kView.filter);
    EXPECT_EQ(down.v, 99);
    EXPECT_EQ(down.h, 199);
    EXPECT_EQ(up.v, 100);
    EXPECT_EQ(up.h, 200);
}

// Each mouse state under its number (0 idle, odd a mode armed by its button,
// even the left button held in it), the state a press on the picture leads
// to, whether the button is held, and where the selection's end leads.
struct MouseStateRow {
    dialogMouseState state;
    int32 number;
    int32 afterPress;
    bool held;
    int32 afterSelection;
};

const MouseStateRow kMouseStates[] = {
    {kMouseIdle, 0, 0, false, 0},
    {kEyedropperArmed, 1, 2, false, 0},        {kEyedropperHeld, 2, 2, true, 0},
    {kStartSelectionArmed, 3, 4, false, 0},    {kStartSelectionHeld, 4, 4, true, 5},
    {kAddSelectionArmed, 5, 6, false, 0},      {kAddSelectionHeld, 6, 6, true, 5},
    {kSubtractSelectionArmed, 7, 8, false, 0}, {kSubtractSelectionHeld, 8, 8, true, 7},
};

class MouseState : public ::testing::TestWithParam<MouseStateRow> {};

TEST_P(MouseState, PressHoldsAnArmedModeAndTheSelectionEndArmsTheNext) {
    const MouseStateRow& r = GetParam();
    EXPECT_EQ(int32(r.state), r.number);
    EXPECT_EQ(int32(mouseStateAfterPress(r.state)), r.afterPress) << "state " << r.number;
    EXPECT_EQ(isMouseButtonHeld(r.state), r.held) << "state " << r.number;
    EXPECT_EQ(int32(mouseStateAfterSelection(r.state)), r.afterSelection) << "state " << r.number;
}

INSTANTIATE_TEST_SUITE_P(States, MouseState, ::testing::ValuesIn(kMouseStates),
                         [](const ::testing::TestParamInfo<MouseStateRow>& info) {
                             return "State" + std::to_string(info.param.number);
                         });

// Window (100, 100)-(400, 300), minimum 500 x 400.
struct SizingRow {
    int edge;
    VRect expected;
};

const SizingRow kSizing[] = {
    {kSizeLeft, {100, -100, 500, 400}},       {kSizeRight, {100, 100, 500, 600}},
    {kSizeTop, {-100, 100, 300, 600}},        {kSizeBottom, {100, 100, 500, 600}},
    {kSizeTopLeft, {-100, -100, 300, 400}},   {kSizeTopRight, {-100, 100, 300, 600}},
    {kSizeBottomLeft, {100, -100, 500, 400}}, {kSizeBottomRight, {100, 100, 500, 600}},
};

class MinimumSize : public ::testing::TestWithParam<SizingRow> {};

TEST_P(MinimumSize, MovesTheDraggedEdge) {
    const SizingRow& r = GetParam();
    VRect window{100, 100, 300, 400};
    enforceMinimumSize(window, r.edge, 500, 400);
    EXPECT_EQ(show(window), show(r.expected)) << "edge " << r.edge;
}

INSTANTIATE_TEST_SUITE_P(Edges, MinimumSize, ::testing::ValuesIn(kSizing));

TEST(MinimumSize, LeavesALargeWindowAlone) {
    VRect window{0, 0, 900, 900};
    enforceMinimumSize(window, kSizeLeft, 500, 400);
    EXPECT_EQ(show(window), show(VRect{0, 0, 900, 900}));
}

TEST(Panes, FollowTheWindowAndKeepOnePixel) {
    const VRect pane{400, 500, 700, 880};
    EXPECT_EQ(show(stretchedPane(pane, 1300, 1000, 20, 30)), show(VRect{400, 500, 970, 1280}));
    EXPECT_EQ(show(stretchedPane(pane, 100, 100, 20, 30)), show(VRect{400, 500, 401, 501}));
    EXPECT_EQ(show(widenedPane(VRect{50, 500, 350, 880}, 1300, 20)), show(VRect{50, 500, 350, 1280}));
    EXPECT_EQ(show(widenedPane(VRect{50, 500, 350, 880}, 0, 20)), show(VRect{50, 500, 350, 501}));
}

TEST(Placement, ReopensAtTheSizeItWasClosedAt) {
    const VRect work{0, 0, 1024, 1280};
    // Content 900 x 700 with a frame of 16 x 39: the frame rectangle is
    // 916 x 739, and its content is what is stored again.
    VRect r = initialWindowRect(900, 700, 16, 39, 600, 500, work);
    for (int reopen = 0; reopen < 3; ++reopen)
        r = initialWindowRect(r.right - r.left - 16, r.bottom - r.top - 39, 16, 39, 600, 500, work);
    EXPECT_EQ(r.right - r.left, 916);
    EXPECT_EQ(r.bottom - r.top, 739);
    EXPECT_EQ(r.left, (1280 - 916) / 2);
    EXPECT_EQ(r.top, (1024 - 739) / 2);
}

TEST(Placement, KeepsBetweenTheMinimumAndTheWorkArea) {
    const VRect work{0, 0, 1024, 1280};
    EXPECT_EQ(show(initialWindowRect(1920, 1080, 16, 39, 600, 500, work)), show(VRect{0, 0, 1024, 1280}));
    EXPECT_EQ(show(initialWindowRect(10, 10, 16, 39, 600, 500, work)), show(VRect{262, 340, 762, 940}));
    EXPECT_EQ(show(initialWindowRect(2147483647, 2147483647, 16, 39, 600, 500, work)), show(work));
}

TEST(Strips, CentredRectangleUsesIntegerHalves) {
    EXPECT_EQ(show(centredRect(VRect{10, 20, 111, 221}, 100, 50)), show(VRect{35, 70, 85, 170}));
}

// The strips must cover exactly previous minus current.
void expectExactCover(VRect previous, VRect current) {
    const std::vector<VRect> strips = uncoveredStrips(previous, current);
    int64_t total = 0;
    for (size_t i = 0; i < strips.size(); ++i) {
        total += area(strips[i]);
        EXPECT_FALSE(meets(strips[i], current)) << show(strips[i]);
        EXPECT_GE(strips[i].top, previous.top);
        EXPECT_GE(strips[i].left, previous.left);
        EXPECT_LE(strips[i].bottom, previous.bottom);
        EXPECT_LE(strips[i].right, previous.right);
        for (size_t j = 0; j < i; ++j) EXPECT_FALSE(meets(strips[i], strips[j]));
    }
    const VRect overlap{std::max(previous.top, current.top), std::max(previous.left, current.left),
                        std::min(previous.bottom, current.bottom), std::min(previous.right, current.right)};
    const int64_t covered = meets(previous, current) ? area(overlap) : 0;
    EXPECT_EQ(total, area(previous) - covered) << show(previous) << " to " << show(current);
}

TEST(Strips, ZoomFourToOneUncoversAFrameAroundTheSmallerPicture) {
    const VRect pane{269, 310, 483, 549};
    for (int from : {4, 2}) {
        const VRect previous = centredRect(pane, 2 * from * 28, from * 52);
        const VRect current = centredRect(pane, 2 * 28, 52);
        EXPECT_EQ(uncoveredStrips(previous, current).size(), 4u);
        expectExactCover(previous, current);
    }
}

TEST(Strips, ShrinkUncoversTheRightAndBottomBands) {
    const std::vector<VRect> strips = uncoveredStrips(VRect{0, 0, 200, 300}, VRect{0, 0, 150, 250});
    ASSERT_EQ(strips.size(), 2u);
    EXPECT_EQ(show(strips[0]), show(VRect{150, 0, 200, 300}));
    EXPECT_EQ(show(strips[1]), show(VRect{0, 250, 150, 300}));
    expectExactCover(VRect{0, 0, 200, 300}, VRect{0, 0, 150, 250});
}

TEST(Strips, AMovedOrGrownPictureLeavesNoStalePixel) {
    expectExactCover(VRect{0, 0, 100, 100}, VRect{50, 50, 150, 150});
    expectExactCover(VRect{0, 0, 100, 100}, VRect{200, 200, 300, 300});
    expectExactCover(VRect{10, 10, 20, 20}, VRect{0, 0, 100, 100});
    EXPECT_TRUE(uncoveredStrips(VRect{10, 10, 20, 20}, VRect{0, 0, 100, 100}).empty());
    EXPECT_TRUE(uncoveredStrips(VRect{0, 0, 0, 0}, VRect{0, 0, 10, 10}).empty());
}

// Every zoom: the host reads only inside the interleaved copy.
class InterleavedMap : public ::testing::TestWithParam<int32> {};

TEST_P(InterleavedMap, BoundsAreTheCopysOwn) {
    const int32 Z = GetParam(), W = 37, H = 23;
    PSPixelMap planar{};
    planar.version = 1;
    planar.bounds = VRect{0, 0, Z * H, 2 * Z * W};
    planar.imageMode = 3;
    planar.rowBytes = 2 * Z * W;
    planar.colBytes = 1;
    planar.planeBytes = 2 * Z * W * Z * H;
    unsigned char copy[1];
    const PSPixelMap map = interleavedPixelMap(planar, copy);
    const int64_t bytes = interleavedPictureBytes(planar);
    EXPECT_EQ(bytes, int64_t(2) * Z * W * Z * H * 3);
    EXPECT_EQ(map.bounds.right - map.bounds.left, 2 * Z * W);
    EXPECT_EQ(map.bounds.bottom - map.bounds.top, Z * H);
    EXPECT_EQ(map.colBytes, 3);
    EXPECT_EQ(map.planeBytes, 1);
    EXPECT_EQ(map.imageMode, 3);
    EXPECT_EQ(map.baseAddr, copy);
    const int64_t lastByte = int64_t(map.bounds.bottom - 1) * map.rowBytes +
                             int64_t(map.bounds.right - 1) * map.colBytes + 2 * map.planeBytes;
    EXPECT_EQ(lastByte, bytes - 1);
}

INSTANTIATE_TEST_SUITE_P(Zooms, InterleavedMap, ::testing::Values(1, 2, 3, 4));

}  // namespace
