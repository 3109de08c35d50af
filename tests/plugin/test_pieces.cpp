// The full-image pass cuts large images into pieces: four overlapping
// quarters, or megatiles with an apron.  Each path runs, and the pieces
// leave no visible seam.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "plugin/plugin_support.h"
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

PassResult filter(Plugin& plugin, const Document& doc, int32 hostTile, int32 maxSpace = HostOptions().maxSpace) {
    HostOptions o;
    o.inTileWidth = o.inTileHeight = hostTile;
    o.maxSpace = maxSpace;
    Host host(doc, o);
    playSilently(host);
    EXPECT_EQ(refhost::runFilter(plugin, host).result, noErr);
    EXPECT_TRUE(host.alerts().empty()) << host.alerts()[0];
    EXPECT_TRUE(host.clean()) << host.leakReport();
    // Profiling asks for small blocks of its own; the pieces are the wide requests.
    std::vector<refhost::AdvanceCall> pieces;
    for (const refhost::AdvanceCall& call : host.advanceCalls())
        if (call.inRect.right - call.inRect.left >= 256) pieces.push_back(call);
    return {host.document(), pieces};
}

PassResult filter(const std::string& product, const Document& doc, int32 hostTile) {
    Plugin plugin(modulePath(product), true);
    return filter(plugin, doc, hostTile);
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

// A run with little memory takes one host tile per megatile; the next run of
// the same load, with memory again, takes four again.
TEST_P(Pieces, EveryRunPlansItsMegatilesAfresh) {
    const Document doc = photoLike(2048, 600);
    Plugin plugin(modulePath(GetParam()), true);
    const PassResult shortOfMemory = filter(plugin, doc, 0, 4 << 20);
    EXPECT_EQ(shortOfMemory.advances.size(), 2u * 8 * 3);
    const PassResult again = filter(plugin, doc, 0);
    EXPECT_EQ(again.advances.size(), 2u * 2);
}

TEST_P(Pieces, QuartersJustAboveAMillionPixels) {
    const PassResult run = filter(GetParam(), photoLike(1001, 1000), 0);
    EXPECT_EQ(run.advances.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Products, Pieces, testing::Values("glimra", "halvane"));
