// The full-image pass cuts large images into pieces: four overlapping
// quarters, or megatiles with an apron.  The host's record of every request
// is held against the pieces worked out here from the pass's rules, each
// piece's output against its pixels filtered on their own, and every
// tiling against the pass without megatiles.  The host used as a tool gives
// the checking host's output, on all processors and on one.
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "plugin/plugin_support.h"
#include "refhost/image_io.h"
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
};

// Over the whole image, or over the given part of it.
Difference largestDifference(const Document& a, const Document& b, VRect part = VRect{0, 0, 0, 0}) {
    if (part.right == 0) part = a.bounds();
    Difference d;
    for (int32 y = part.top; y < part.bottom; ++y)
        for (int32 x = part.left; x < part.right; ++x)
            for (int16 p = 0; p < a.planes(); ++p) {
                const int v = int(std::fabs(a.get(x, y, p) - b.get(x, y, p)));
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

// The pass's rules, worked out here and not asked of the plug-in.  A
// megatile is four host tiles each way (256 pixels where the host gives
// none), never fewer than 256 pixels; an area at least two megatiles wide or
// high is cut into them, each fetched with an apron (clipped at the image's
// top and left and at the area's right and bottom; from the first apron
// clipped on the left the requests ask for an error instead of padding),
// then fetched alone for its output.  Otherwise the area is fetched once and
// filtered whole, or, above a million pixels with both sides at least 135,
// as four quarters split at F = width/2 and G = height/2 that overlap.
// Every piece reads from 64 pixels before what it writes, or up to 7 more:
// the lifting structure's grid of 8 pixels from the area's top left, so
// that its three halvings keep the pixels the whole area's keep.
namespace {
constexpr int32 kApron = 64;

// The first of the pixels a piece reads, for a piece that writes from v on.
int32 readFrom(int32 v, int32 origin) { return origin + int32(std::floor((v - kApron - origin) / 8.0)) * 8; }

// The megatile of host tiles: four, and as many more as make 256 pixels.
int32 megatileOf(int16 hostTile) {
    const int32 tile = hostTile > 0 ? hostTile : 256;
    return tile * std::max(4, (256 + tile - 1) / tile);
}

struct Request {
    VRect in, out, mask;
    int16 inputPadding;
};

struct Piece {
    VRect read;     // the pixels filtered together
    VRect written;  // the part of them the pass writes
};

struct ExpectedPass {
    std::vector<Request> requests;
    std::vector<Piece> pieces;
    int32 progressTotal, progressSteps;
};

ExpectedPass passOf(const VRect& area, int16 hostTile, bool mask, int16 padding) {
    ExpectedPass p;
    const int32 width = area.right - area.left, height = area.bottom - area.top;
    const int32 tile = megatileOf(hostTile);
    auto request = [&](const VRect& r) { p.requests.push_back({r, r, mask ? r : VRect{0, 0, 0, 0}, padding}); };
    if (width >= 2 * tile || height >= 2 * tile) {
        const int32 across = (width - 1) / tile + 1, down = (height - 1) / tile + 1;
        for (int32 r = 0; r < down; ++r)
            for (int32 c = 0; c < across; ++c) {
                const int32 top = area.top + r * tile, left = area.left + c * tile;
                const VRect t = {top, left, std::min(top + tile, area.bottom), std::min(left + tile, area.right)};
                VRect apron = {std::max(readFrom(t.top, area.top), 0), readFrom(t.left, area.left),
                               std::min(t.bottom + kApron, area.bottom), std::min(t.right + kApron, area.right)};
                if (apron.left < 0) {
                    apron.left = 0;
                    padding = plugInWantsErrorOnBoundsException;
                }
                request(apron);
                request(t);
                p.pieces.push_back({apron, t});
            }
        p.progressTotal = p.progressSteps = across * down;
        return p;
    }
    request(area);
    if (int64_t(width) * height > 1000000 && width >= 135 && height >= 135) {
        // Within the area: top left, top right, bottom left, bottom right.
        const int32 F = width / 2, G = height / 2, left = readFrom(F, 0), top = readFrom(G, 0);
        const Piece quarters[4] = {{{0, 0, G + kApron, F + kApron}, {0, 0, G, F}},
                                   {{0, left, G + kApron, width}, {0, F, G, width}},
                                   {{top, 0, height, F + kApron}, {G, 0, height, F}},
                                   {{top, left, height, width}, {G, F, height, width}}};
        auto inImage = [&](const VRect& r) {
            return VRect{r.top + area.top, r.left + area.left, r.bottom + area.top, r.right + area.left};
        };
        for (const Piece& q : quarters) p.pieces.push_back({inImage(q.read), inImage(q.written)});
        p.progressSteps = 4;
    } else {
        p.pieces = {{area, area}};
        p.progressSteps = 1;
    }
    p.progressTotal = 4;
    return p;
}

std::string text(const VRect& r) {
    return "(" + std::to_string(r.top) + ", " + std::to_string(r.left) + ", " + std::to_string(r.bottom) + ", " +
           std::to_string(r.right) + ")";
}

Document crop(const Document& doc, const VRect& r) {
    Document part(doc.imageMode(), r.right - r.left, r.bottom - r.top);
    for (int32 y = r.top; y < r.bottom; ++y)
        std::memcpy(part.pixel(0, y - r.top), doc.pixel(r.left, y), size_t(part.rowBytes()));
    return part;
}

// The first pixel of rectangle r of a that differs from b's at (bx, by)
// onwards, as text; empty when they agree.
std::string firstDifference(const Document& a, const VRect& r, const Document& b, int32 bx, int32 by) {
    const size_t bytes = size_t(a.pixelBytes());
    for (int32 y = r.top; y < r.bottom; ++y)
        for (int32 x = r.left; x < r.right; ++x)
            if (std::memcmp(a.pixel(x, y), b.pixel(bx + x - r.left, by + y - r.top), bytes) != 0)
                return "pixel " + std::to_string(x) + "," + std::to_string(y);
    return "";
}

// The float images each piece is filtered in, In and Out one after the
// other in the host's buffer log, in the order of the pieces: (width + 6) x
// (height + 6) pixels of three floats, the border of 3 included.  Empty
// when every piece has them.
std::string missingFloatImages(const refhost::BufferStore& buffers, const std::vector<Piece>& pieces) {
    const std::vector<refhost::BufferStore::Event>& log = buffers.log();
    size_t at = 0;
    for (const Piece& p : pieces) {
        const int32 bytes = (p.read.right - p.read.left + 6) * (p.read.bottom - p.read.top + 6) * 12;
        auto pairAt = [&](size_t i) {
            return log[i].allocation && log[i + 1].allocation && log[i].size == bytes && log[i + 1].size == bytes;
        };
        while (at + 1 < log.size() && !pairAt(at)) ++at;
        if (at + 1 >= log.size()) return "no float images for the piece " + text(p.read);
        at += 2;
    }
    return "";
}

// A run of the product on the host, without profiling: every request the
// host records is the pass's.
Document runQuietly(Plugin& plugin, const std::string& product, Host& host) {
    host.registry() = settingsWithoutProfiling(product);
    playSilently(host);
    EXPECT_EQ(refhost::runFilter(plugin, host).result, noErr);
    EXPECT_TRUE(host.alerts().empty()) << host.alerts()[0];
    EXPECT_TRUE(host.clean()) << host.leakReport();
    return host.document();
}

struct GeometryCase {
    const char* name;
    int32 width, height;  // of the document
    VRect selection;      // empty: the whole document
    int16 hostTile;
    bool mask;
};

const GeometryCase kGeometryCases[] = {
    // One million pixels is filtered whole; with no host tile the megatile
    // is 1024 pixels, which the image does not reach twice.
    {"WholeMillion", 1000, 1000, {0, 0, 0, 0}, 0, true},
    {"WholeSelection", 700, 520, {20, 30, 480, 650}, 1024, false},
    // F = 500: the left quarters are 564 wide, the right ones 569 from 432
    // (436 brought onto the grid); G = 500 - 64 is on it.
    {"QuartersJustAboveAMillion", 1001, 1000, {0, 0, 0, 0}, 1024, true},
    {"QuartersFourPixelsAboveAMillion", 2809, 356, {0, 0, 0, 0}, 1024, false},
    {"QuartersOfASelection", 1150, 1100, {37, 41, 1040, 1043}, 1024, false},
    // The split also wants both sides at least 135 pixels.
    {"WholeBelowTheSplitHeight", 7500, 134, {0, 0, 0, 0}, 1024, false},
    {"QuartersAtTheSplitHeight", 7500, 135, {0, 0, 0, 0}, 1024, false},
    {"WholeBelowTheSplitWidth", 134, 7500, {0, 0, 0, 0}, 1024, false},
    {"QuartersAtTheSplitWidth", 135, 7500, {0, 0, 0, 0}, 1024, false},
    // Aprons clipped at 0 on the top and left and at the image's right and
    // bottom, which are the area's.
    {"Megatiles", 600, 560, {0, 0, 0, 0}, 64, true},
    {"MegatilesWithoutAHostTile", 2100, 300, {0, 0, 0, 0}, 0, false},
    // Megatiles of 37 tiles of 7 (259): aprons from 195 and 454 brought onto
    // the grid, at 192 and 448.
    {"MegatilesOfSevenPixelTiles", 600, 400, {0, 0, 0, 0}, 7, true},
    // Megatiles of 20 tiles of 13 (260), the grid counted from the
    // selection's left: the second apron from 53 + 260 - 64 = 249 down to 245.
    {"MegatilesOfThirteenPixelTilesInASelection", 700, 500, {21, 53, 480, 690}, 13, false},
    // Aprons reach left of and above the selection down to the image's
    // edge, and stop at the selection's right and bottom.
    {"MegatilesOfASelectionNearTheCorner", 1000, 700, {40, 50, 640, 950}, 64, true},
    // Clipped above only: the requests keep the host's padding.
    {"MegatilesOfASelectionClippedAbove", 800, 620, {30, 100, 590, 700}, 64, false},
};

void PrintTo(const GeometryCase& c, std::ostream* os) { *os << c.name; }

using GeometryParam = std::tuple<const char*, GeometryCase>;
}  // namespace

class PieceGeometry : public testing::TestWithParam<GeometryParam> {};

TEST_P(PieceGeometry, RequestsAndPiecesAreThoseOfThePassRules) {
    const std::string product = std::get<0>(GetParam());
    const GeometryCase& c = std::get<1>(GetParam());
    const Document doc = photoLike(c.width, c.height);
    HostOptions o = tiled(c.hostTile, c.selection);
    o.haveMask = c.mask;
    o.inputPadding = 0;  // black beyond the image, until the pass asks for an error
    Plugin plugin(modulePath(product), true);
    Host host(doc, o);
    const Document result = runQuietly(plugin, product, host);
    const VRect area = c.selection.right > 0 ? c.selection : doc.bounds();
    const ExpectedPass expected = passOf(area, c.hostTile, c.mask, 0);

    const std::vector<refhost::AdvanceCall>& calls = host.advanceCalls();
    ASSERT_EQ(calls.size(), expected.requests.size());
    for (size_t i = 0; i < calls.size(); ++i) {
        const Request& e = expected.requests[i];
        EXPECT_EQ(text(calls[i].inRect), text(e.in)) << "request " << i;
        EXPECT_EQ(text(calls[i].outRect), text(e.out)) << "request " << i;
        EXPECT_EQ(text(calls[i].maskRect), text(e.mask)) << "request " << i;
        EXPECT_EQ(calls[i].inputPadding, e.inputPadding) << "request " << i;
    }

    // One progress step per piece written.
    int32 steps = 0;
    for (const std::pair<int32, int32>& p : host.progressCalls()) {
        EXPECT_EQ(p.second, expected.progressTotal);
        steps = std::max(steps, p.first);
    }
    EXPECT_EQ(steps, expected.progressSteps);

    EXPECT_EQ(missingFloatImages(host.buffers(), expected.pieces), "");

    // Each piece's written part is its pixels filtered on their own (a piece
    // of the whole document is that already).
    for (const Piece& piece : expected.pieces) {
        if (text(piece.read) == text(doc.bounds())) continue;
        Host alone(crop(doc, piece.read), tiled(1024));
        const Document filtered = runQuietly(plugin, product, alone);
        EXPECT_EQ(firstDifference(result, piece.written, filtered, piece.written.left - piece.read.left,
                                  piece.written.top - piece.read.top),
                  "")
            << "piece " << text(piece.read) << " written at " << text(piece.written);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, PieceGeometry,
                         testing::Combine(testing::Values("glimra", "halvane"), testing::ValuesIn(kGeometryCases)),
                         [](const testing::TestParamInfo<GeometryParam>& i) {
                             return std::string(std::get<0>(i.param)) + "_" + std::get<1>(i.param).name;
                         });


class Pieces : public testing::TestWithParam<const char*> {};

TEST_P(Pieces, QuartersAndMegatilesAgree) {
    // 2048 wide: two megatiles of 1024 with no host tile, eight of 256 with
    // a host tile of 64; without megatiles (a host tile of 1024) quarters,
    // split at row 300, whose lower ones read from 232 (300 - 64 = 236 is
    // off the lifting grid).
    const Document doc = photoLike(2048, 600);
    const PassResult quarters = filter(GetParam(), doc, 1024);
    const PassResult megatiles = filter(GetParam(), doc, 0);
    const PassResult small = filter(GetParam(), doc, 64);
    EXPECT_EQ(quarters.advances.size(), 1u);
    EXPECT_EQ(megatiles.advances.size(), 2u * 2);
    EXPECT_EQ(small.advances.size(), 2u * 8 * 3);
    const Difference dq = largestDifference(quarters.result, megatiles.result);
    const Difference ds = largestDifference(quarters.result, small.result);
    EXPECT_TRUE(quarters.result == megatiles.result)
        << "quarters and megatiles of 1024 differ by up to " << dq.largest << " at " << dq.x << "," << dq.y;
    EXPECT_TRUE(quarters.result == small.result)
        << "quarters and megatiles of 256 differ by up to " << ds.largest << " at " << ds.x << "," << ds.y;
}

// A selection that starts inside the image, whole and in megatiles of 256.
// The first row and column of tiles read the image above and left of the
// selection, where the whole selection sees mirrored padding, and differ in
// their own ways (the piece geometry above checks each of them exactly).
// The other tiles read only the selection, on the lifting grid counted
// from its top left, and write what the whole selection's pass writes.
TEST_P(Pieces, MegatilesOfASelectionAgreeWithTheWholeBeyondTheFirstRowAndColumn) {
    const Document doc = photoLike(1000, 700);
    const VRect selection = {40, 50, 640, 950};  // 900 x 600
    const PassResult whole = filter(GetParam(), doc, 1024, selection);
    const PassResult megatiles = filter(GetParam(), doc, 64, selection);
    EXPECT_EQ(whole.advances.size(), 1u);
    EXPECT_EQ(megatiles.advances.size(), 2u * 4 * 3);
    const VRect innerTiles = {selection.top + 256, selection.left + 256, selection.bottom, selection.right};
    const Difference d = largestDifference(whole.result, megatiles.result, innerTiles);
    EXPECT_EQ(d.largest, 0) << "at " << d.x << "," << d.y;
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

INSTANTIATE_TEST_SUITE_P(Products, Pieces, testing::Values("glimra", "halvane"));

// The host's tile decides how the pass cuts the image, never what it
// writes: every tiling, megatiles of one host tile when memory is short
// included, gives the output of the pass that filters the image whole, or
// in quarters above a million pixels.  The pieces are counted by hand from
// the megatile rule (four host tiles, one when short of memory, never fewer
// than 256 pixels) so that each case is known to be cut as it says.
namespace {
// The astronaut, continued by mirroring to the size.
Document photograph(int32 width, int32 height) {
    static const Document astronaut = refhost::readImage(VEXLOR_SAMPLES_DIR "/astronaut.png");
    auto mirrored = [](int32 v, int32 n) {
        v %= 2 * n;
        return v < n ? v : 2 * n - 1 - v;
    };
    Document doc(plugInModeRGBColor, width, height);
    doc.fill([&](int32 x, int32 y, int16 p) {
        return astronaut.get(mirrored(x, astronaut.width()), mirrored(y, astronaut.height()), p);
    });
    return doc;
}

struct TilingCase {
    const char* name;
    int32 width, height;
    int16 tileWidth, tileHeight;
    bool shortOfMemory;  // the prepare selector's plan: one host tile per megatile
    size_t megatiles;
};

const TilingCase kTilings[] = {
    // 600 x 400: megatiles of 256 (3 x 2).
    {"OnePixel", 600, 400, 1, 1, false, 6},
    {"SixtyFour", 600, 400, 64, 64, false, 6},
    {"OneHundredTwentyEightShort", 600, 400, 128, 128, true, 6},
    // 259 = 37 tiles of 7, 260 = 20 tiles of 13: 3 x 2.
    {"Seven", 600, 400, 7, 7, false, 6},
    {"Thirteen", 600, 400, 13, 13, false, 6},
    {"SevenByThirteen", 600, 400, 7, 13, false, 6},
    // 260 x 2400: 3 x 1.
    {"ThirteenBySixHundred", 600, 400, 13, 600, false, 3},
    // 300 = 3 tiles of 100: 2 x 2.
    {"OneHundredShort", 600, 400, 100, 100, true, 4},
    // 291 = 3 tiles of 97, 279 = 9 tiles of 31: 3 x 2.
    {"NinetySevenByThirtyOneShort", 600, 400, 97, 31, true, 6},
    // 2100 x 150 in megatiles of one host tile: 3 x 1.
    {"OneThousandTwentyFourShort", 2100, 150, 1024, 1024, true, 3},
    {"OneThousandTwentyThreeShort", 2100, 150, 1023, 1023, true, 3},
    // 1250 x 850 is filtered in quarters without megatiles.
    {"SixtyFourAboveAMillion", 1250, 850, 64, 64, false, 5 * 4},
    {"SevenAboveAMillion", 1250, 850, 7, 7, false, 5 * 4},
};

void PrintTo(const TilingCase& c, std::ostream* os) { *os << c.name; }

using TilingParam = std::tuple<const char*, TilingCase>;
}  // namespace

class Tilings : public testing::TestWithParam<TilingParam> {};

TEST_P(Tilings, GiveTheOutputOfThePassWithoutMegatiles) {
    const std::string product = std::get<0>(GetParam());
    const TilingCase& c = std::get<1>(GetParam());
    const Document doc = photograph(c.width, c.height);
    Plugin plugin(modulePath(product), true);
    Host untiled(doc, tiled(1024));
    const Document expected = runQuietly(plugin, product, untiled);
    EXPECT_EQ(untiled.advanceCalls().size(), 1u) << "the reference was cut into megatiles";
    HostOptions o = tiled(c.tileWidth, VRect{0, 0, 0, 0}, c.shortOfMemory ? 1 << 20 : HostOptions().maxSpace);
    o.inTileHeight = c.tileHeight;
    Host host(doc, o);
    const Document result = runQuietly(plugin, product, host);
    EXPECT_EQ(host.advanceCalls().size(), 2 * c.megatiles);
    int64_t differing = 0;
    const Difference d = largestDifference(expected, result);
    for (int32 y = 0; y < doc.height(); ++y)
        for (int32 x = 0; x < doc.width(); ++x)
            differing += std::memcmp(expected.pixel(x, y), result.pixel(x, y), size_t(doc.pixelBytes())) != 0;
    EXPECT_EQ(differing, 0) << differing << " of " << int64_t(doc.width()) * doc.height()
                            << " pixels differ, by up to " << d.largest << " (at " << d.x << "," << d.y << ")";
}

INSTANTIATE_TEST_SUITE_P(HostTiles, Tilings,
                         testing::Combine(testing::Values("glimra", "halvane"), testing::ValuesIn(kTilings)),
                         [](const testing::TestParamInfo<TilingParam>& i) {
                             return std::string(std::get<0>(i.param)) + "_" + std::get<1>(i.param).name;
                         });

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
