// The full-image pass cuts large images into pieces: four overlapping
// quarters, or megatiles with an apron.  Each path runs, and the pieces
// leave no visible seam.  The host used as a tool gives the checking host's
// output, on all processors and on one.
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "plugin/plugin_support.h"
#include "refhost/platform.h"
#include "refhost/refhost.h"

using refhost::Document;
using refhost::Host;
using refhost::HostOptions;
using refhost::Plugin;

namespace {
struct PassResult {
    Document result;
    std::vector<refhost::AdvanceCall> advances;
};

PassResult filter(Plugin& plugin, const Document& doc, HostOptions o) {
    Host host(doc, o);
    playSilently(host);
    EXPECT_EQ(refhost::runFilter(plugin, host).result, noErr);
    EXPECT_TRUE(host.alerts().empty()) << host.alerts()[0];
    EXPECT_TRUE(host.clean()) << host.leakReport();
    std::vector<refhost::AdvanceCall> pieces;
    for (const refhost::AdvanceCall& call : host.advanceCalls())
        if (isPieceRequest(call.inRect)) pieces.push_back(call);
    return {host.document(), pieces};
}

PassResult filter(const std::string& product, const Document& doc, HostOptions o) {
    Plugin plugin(modulePath(product), true);
    return filter(plugin, doc, o);
}

// The checking host with the given tile, selection and memory.
HostOptions tiled(int32 hostTile, VRect selection = VRect{0, 0, 0, 0}, int32 maxSpace = HostOptions().maxSpace) {
    HostOptions o;
    o.inTileWidth = o.inTileHeight = hostTile;
    o.maxSpace = maxSpace;
    o.filterRect = selection;
    return o;
}

PassResult filter(const std::string& product, const Document& doc, int32 hostTile,
                  VRect selection = VRect{0, 0, 0, 0}) {
    return filter(product, doc, tiled(hostTile, selection));
}

struct Difference {
    int largest = 0;
    int32 x = 0, y = 0;
    int32 farthest = 0;  // the largest distance of a differing pixel from the nearest cut
};

// Cuts of a run: the columns and rows where one piece's written part ends
// and the next one's begins.
struct Cuts {
    std::vector<int32> columns, rows;
};

int32 distanceToCut(const std::vector<int32>& cuts, int32 v) {
    int32 d = INT32_MAX;
    for (int32 c : cuts) d = std::min(d, std::abs(v - c));
    return d;
}

Difference largestDifference(const Document& a, const Document& b, const Cuts& cuts = Cuts()) {
    Difference d;
    for (int32 y = 0; y < a.height(); ++y)
        for (int32 x = 0; x < a.width(); ++x)
            for (int16 p = 0; p < a.planes(); ++p) {
                const int v = int(std::fabs(a.get(x, y, p) - b.get(x, y, p)));
                if (v > 0)
                    d.farthest = std::max(d.farthest,
                                          std::min(distanceToCut(cuts.columns, x), distanceToCut(cuts.rows, y)));
                if (v > d.largest) {
                    d.largest = v;
                    d.x = x;
                    d.y = y;
                }
            }
    return d;
}

Document photoLike(int32 w, int32 h) {
    Document doc(plugInModeRGBColor, w, h);
    doc.fillPattern(11);
    return doc;
}
}  // namespace

class Pieces : public testing::TestWithParam<const char*> {};

TEST_P(Pieces, WholeImageUpToAMillionPixels) {
    const PassResult run = filter(GetParam(), photoLike(1000, 1000), 0);
    EXPECT_EQ(run.advances.size(), 1u);
}

TEST_P(Pieces, QuartersAndMegatilesAgreeButForTheSeams) {
    // 2048 wide: two megatiles of 1024 with no host tile, eight of 256 with
    // a host tile of 64; without megatiles (a host tile of 1024) quarters.
    const Document doc = photoLike(2048, 600);
    const PassResult quarters = filter(GetParam(), doc, 1024);
    const PassResult megatiles = filter(GetParam(), doc, 0);
    const PassResult small = filter(GetParam(), doc, 64);
    EXPECT_EQ(quarters.advances.size(), 1u);
    EXPECT_EQ(megatiles.advances.size(), 2u * 2);
    EXPECT_EQ(small.advances.size(), 2u * 8 * 3);
    const Difference dq = largestDifference(quarters.result, megatiles.result);
    const Difference ds = largestDifference(quarters.result, small.result);
    std::printf("%s: largest difference quarters/megatiles %d at %d,%d; quarters/256-pixel megatiles %d at %d,%d\n",
                GetParam(), dq.largest, dq.x, dq.y, ds.largest, ds.x, ds.y);
    // Near a cut the coarse levels of the pyramid see mirrored padding in
    // place of the neighbouring piece: small differences, no visible seam.
    EXPECT_LE(dq.largest, 4);
    EXPECT_LE(ds.largest, 4);
}

// A selection that starts inside the image, whole and in megatiles of 256:
// both read only the selection, so they differ only where the pyramid's
// levels reach across a cut between tiles: five pixels on each of the four
// levels at its own scale, 5 x (1 + 2 + 4 + 8) = 75 pixels of the image.
TEST_P(Pieces, MegatilesOfASelectionDifferOnlyWithinTheLevelsReachOfACut) {
    const Document doc = photoLike(1000, 700);
    const VRect selection = {40, 50, 640, 950};  // 900 x 600
    const PassResult whole = filter(GetParam(), doc, 1024, selection);
    const PassResult megatiles = filter(GetParam(), doc, 64, selection);
    EXPECT_EQ(whole.advances.size(), 1u);
    EXPECT_EQ(megatiles.advances.size(), 2u * 4 * 3);
    Cuts cuts;
    for (int32 c = 1; c < 4; ++c) cuts.columns.push_back(selection.left + 256 * c);
    for (int32 r = 1; r < 3; ++r) cuts.rows.push_back(selection.top + 256 * r);
    const Difference d = largestDifference(whole.result, megatiles.result, cuts);
    std::printf("%s selection: largest difference whole/megatiles %d at %d,%d; farthest from a cut %d\n", GetParam(),
                d.largest, d.x, d.y, d.farthest);
    EXPECT_LE(d.largest, 4);
    EXPECT_LE(d.farthest, 75);
}

// A run with little memory takes one host tile per megatile; the next run of
// the same load, with memory again, takes four again.
TEST_P(Pieces, EveryRunPlansItsMegatilesAfresh) {
    const Document doc = photoLike(2048, 600);
    Plugin plugin(modulePath(GetParam()), true);
    const PassResult shortOfMemory = filter(plugin, doc, tiled(0, VRect{0, 0, 0, 0}, 4 << 20));
    EXPECT_EQ(shortOfMemory.advances.size(), 2u * 8 * 3);
    const PassResult again = filter(plugin, doc, tiled(0));
    EXPECT_EQ(again.advances.size(), 2u * 2);
}

TEST_P(Pieces, QuartersJustAboveAMillionPixels) {
    const PassResult run = filter(GetParam(), photoLike(1001, 1000), 0);
    EXPECT_EQ(run.advances.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Products, Pieces, testing::Values("glimra", "halvane"));

namespace {
struct HostCase {
    const char* name;
    const char* product;
    int32 width, height, depth, hostTile;
    size_t pieces;  // wide requests: whole 1, quarters 1, megatiles 2 per tile
};

PassResult filterWith(const HostCase& c, const Document& doc, bool checking) {
    HostOptions o = checking ? HostOptions() : refhost::toolHostOptions();
    o.inTileWidth = o.inTileHeight = c.hostTile;
    o.maxSpace = HostOptions().maxSpace;  // the same memory plan for both hosts
    return filter(c.product, doc, o);
}
}  // namespace

class ToolHost : public testing::TestWithParam<HostCase> {};

TEST_P(ToolHost, GivesTheCheckingHostsOutputOnAllProcessorsAndOnOne) {
    const HostCase& c = GetParam();
    Document doc(refhost::modeFor(plugInModeRGBColor, c.depth), c.width, c.height);
    doc.fillPattern(5);
    const PassResult checked = filterWith(c, doc, true);
    const PassResult tool = filterWith(c, doc, false);
    PassResult oneThread;
    {
        refhost::platform::OneProcessor one;
        oneThread = filterWith(c, doc, false);
    }
    EXPECT_EQ(checked.advances.size(), c.pieces);
    EXPECT_EQ(tool.advances.size(), c.pieces);
    EXPECT_NE(checked.result, doc);
    EXPECT_TRUE(tool.result == checked.result) << "the tool host's output differs from the checking host's";
    EXPECT_TRUE(oneThread.result == checked.result) << "one thread's output differs from all processors'";
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ToolHost,
    testing::Values(HostCase{"glimraWhole8", "glimra", 700, 500, 8, 1024, 1},
                    HostCase{"halvaneWhole16", "halvane", 700, 500, 16, 1024, 1},
                    HostCase{"glimraQuarters16", "glimra", 1100, 950, 16, 1024, 1},
                    HostCase{"halvaneQuarters8", "halvane", 1100, 950, 8, 1024, 1},
                    HostCase{"glimraMegatiles8", "glimra", 600, 300, 8, 64, 2 * 3 * 2},
                    HostCase{"halvaneMegatiles16", "halvane", 600, 300, 16, 64, 2 * 3 * 2}),
    [](const testing::TestParamInfo<HostCase>& i) { return std::string(i.param.name); });
