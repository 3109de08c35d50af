// The full-image pass cuts large images into pieces: four overlapping
// quarters, or megatiles with an apron.  Each path runs, and the pieces
// leave no visible seam.  The host used as a tool gives the checking host's
// output, on all processors and on one.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

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

PassResult filter(const std::string& product, const Document& doc, HostOptions o) {
    Plugin plugin(modulePath(product), true);
    Host host(doc, o);
    playSilently(host);
    EXPECT_EQ(refhost::runFilter(plugin, host).result, noErr);
    EXPECT_TRUE(host.alerts().empty()) << host.alerts()[0];
    EXPECT_TRUE(host.clean()) << host.leakReport();
    // Profiling asks for blocks of 32 pixels of its own; every piece is wider.
    std::vector<refhost::AdvanceCall> pieces;
    for (const refhost::AdvanceCall& call : host.advanceCalls())
        if (call.inRect.right - call.inRect.left > 64) pieces.push_back(call);
    return {host.document(), pieces};
}

PassResult filter(const std::string& product, const Document& doc, int32 hostTile) {
    HostOptions o;
    o.inTileWidth = o.inTileHeight = hostTile;
    return filter(product, doc, o);
}

struct Difference {
    int largest = 0;
    int32 x = 0, y = 0;
};

Difference largestDifference(const Document& a, const Document& b) {
    Difference d;
    for (int32 y = 0; y < a.height(); ++y)
        for (int32 x = 0; x < a.width(); ++x)
            for (int16 p = 0; p < a.planes(); ++p) {
                const int v = int(std::fabs(a.get(x, y, p) - b.get(x, y, p)));
                if (v > d.largest) d = {v, x, y};
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
