// Automatic profiling on images of known noise, its alerts, and the
// parameters and flags it writes.
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>

#include "engine/autoprofile.h"
#include "host/host_services.h"
#include "image/colorspace_luts.h"
#include "persistence_support.h"
#include "support/product_under_test.h"

using namespace persistence_test;
using refhost::Document;
using refhost::HostOptions;

namespace {

const char* const kNoMidtones = "Profiling error: no midtones.  Or, image may be extremely small.";
const char* const kLowNoisePrefix =
    "Possible error: very low noise detected.  If the image does not have extremely low noise, manually "
    "adjust the Overall Noise Size setting higher.  Noise level detected:";

// The estimate behind a digital level above the floor of 15.
double digitalEstimate(double level) { return (level + 15.0) / 35.0; }

struct ProfileOutcome {
    ParamBlock block;
    std::vector<std::string> alerts;
    std::string leaks;
};

ProfileOutcome profileDocument(Document doc, double preset = 0.2, HostOptions options = HostOptions()) {
    BoundHost b(std::move(doc), options);
    autoProfile(preset);
    return {b.block, b.host.alerts(), b.host.leakReport()};
}

// --- Noise of known sigma ------------------------------------------------

struct ModeCase {
    const char* name;
    int16 mode;
};

class KnownSigma : public ::testing::TestWithParam<ModeCase> {};

TEST_P(KnownSigma, LevelRisesWithSigmaAndTracksIt) {
    const int16 mode = GetParam().mode;
    double previous = 0;
    for (double sigma : {5.0, 10.0, 20.0, 40.0}) {
        SCOPED_TRACE(sigma);
        ProfileOutcome r = profileDocument(noisyDocument(mode, 256, 256, sigma, 7));
        EXPECT_TRUE(r.alerts.empty()) << r.alerts.front();
        EXPECT_EQ(r.leaks, "");
        const double level = r.block.values[0];
        EXPECT_GT(level, previous);
        previous = level;
        // The smoothest blocks of a brightness-adjusted mean absolute
        // difference: about 1.1 sigma per channel, times 1.45 for grey and 2
        // for Lab.
        double perChannel = digitalEstimate(level);
        if (refhost::planesForMode(mode) == 1) perChannel /= 1.45;
        if (mode == plugInModeLabColor || mode == plugInModeLab48) perChannel /= 2;
        EXPECT_GT(perChannel, 0.7 * sigma);
        EXPECT_LT(perChannel, 2.0 * sigma);
        EXPECT_EQ(r.block.values[1], 0.2);
        EXPECT_EQ(r.block.values[17], 100.0);
        EXPECT_EQ(r.block.values[18], std::min(155.0, 2 * level + 45.0));
        EXPECT_EQ(r.block.flags[6], 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, KnownSigma,
                         ::testing::Values(ModeCase{"RGB", plugInModeRGBColor}, ModeCase{"Gray", plugInModeGrayScale},
                                           ModeCase{"Lab", plugInModeLabColor}, ModeCase{"RGB48", plugInModeRGB48},
                                           ModeCase{"Gray16", plugInModeGray16}),
                         [](const ::testing::TestParamInfo<ModeCase>& i) { return std::string(i.param.name); });

// The same noise in every plane: grey, RGB and Lab select the same blocks, so
// only the mode's factor tells their estimates apart.
TEST(ProfilingModes, GreyIsRgbTimesTheFactorAndLabIsDoubled) {
    for (double sigma : {5.0, 10.0, 20.0, 40.0}) {
        SCOPED_TRACE(sigma);
        const double rgb = digitalEstimate(
            profileDocument(noisyDocument(plugInModeRGBColor, 256, 192, sigma, 3, true)).block.values[0]);
        const double grey = digitalEstimate(
            profileDocument(noisyDocument(plugInModeGrayScale, 256, 192, sigma, 3, true)).block.values[0]);
        const double lab = digitalEstimate(
            profileDocument(noisyDocument(plugInModeLabColor, 256, 192, sigma, 3, true)).block.values[0]);
        // 16-bit Lab is doubled too; compared with 16-bit RGB, which goes
        // through the same conversion to 8 bits.
        const double rgb48 = digitalEstimate(
            profileDocument(noisyDocument(plugInModeRGB48, 256, 192, sigma, 3, true)).block.values[0]);
        const double lab48 = digitalEstimate(
            profileDocument(noisyDocument(plugInModeLab48, 256, 192, sigma, 3, true)).block.values[0]);
        EXPECT_NEAR(grey, rgb * double(1.45f), 1e-9 * grey);
        EXPECT_NEAR(lab, rgb * 2, 1e-9 * lab);
        EXPECT_NEAR(lab48, rgb48 * 2, 1e-9 * lab48);
    }
}

// A 32-bit document holds linear light: profiled through the gamma tables it
// measures like the 8-bit image it encodes.
TEST(ProfilingModes, LinearFloatImageMeasuresLikeItsGammaEncoding) {
    const Document gamma = noisyDocument(plugInModeRGBColor, 256, 192, 10, 8);
    Document linear(plugInModeRGB96, 256, 192);
    linear.fill([&](int32 x, int32 y, int16 p) {
        float v = float(gamma.get(x, y, p));
        gamToLin(v);
        return double(v);
    });
    const double expected = profileDocument(gamma).block.values[0];
    BoundHost b(linear);
    {
        colorspaceConversionLUTs tables;
        ASSERT_TRUE(tables.ok());
        autoProfile(digitalHNLdefaultDouble);
    }
    EXPECT_TRUE(b.host.alerts().empty());
    EXPECT_NEAR(b.block.values[0], expected, 0.02 * expected);
    EXPECT_EQ(b.host.leakReport(), "");
}

TEST(ProfilingPresets, FilmUsesItsFormulaAndOpensTheProtection) {
    const Document doc = noisyDocument(plugInModeRGBColor, 256, 256, 10, 11);
    ProfileOutcome digital = profileDocument(doc, 0.2);
    ProfileOutcome film = profileDocument(doc, 1.0);
    EXPECT_TRUE(film.alerts.empty());
    EXPECT_EQ(film.block.values[1], 1.0);
    EXPECT_EQ(film.block.values[17], 255.0);
    EXPECT_EQ(film.block.values[18], 0.0);
    // No brightness adjustment with the film preset, so its estimate is at
    // most the digital one.
    const double filmEstimate = (film.block.values[0] + 15.0) / 18.0;
    EXPECT_GT(filmEstimate, 0);
    EXPECT_LE(filmEstimate, digitalEstimate(digital.block.values[0]) + 1e-9);
}

// --- The selection, not the image's corner --------------------------------

TEST(ProfilingSelection, MeasuresTheFilterRectangleWhereverItLies) {
    const VRect selection{64, 96, 64 + 192, 96 + 224};
    // Heavy noise outside the selection, light noise inside it.
    Document whole = noisyDocument(plugInModeRGBColor, 352, 288, 40, 5);
    const Document inside = noisyDocument(plugInModeRGBColor, 224, 192, 6, 9);
    for (int32 y = 0; y < 192; ++y)
        for (int32 x = 0; x < 224; ++x)
            for (int16 p = 0; p < 3; ++p) whole.set(x + selection.left, y + selection.top, p, inside.get(x, y, p));

    HostOptions options;
    options.filterRect = selection;
    ProfileOutcome sub = profileDocument(whole, 0.2, options);
    ProfileOutcome alone = profileDocument(inside, 0.2);
    EXPECT_TRUE(sub.alerts.empty());
    EXPECT_EQ(sub.block.values[0], alone.block.values[0]);
    EXPECT_EQ(sub.leaks, "");
}

// The coarse measure fetches, for each row of blocks, one strip of two image
// rows per row of its sample grid (rows 0, s/4, s/2 and 3s/4 of the blocks,
// with the row after each) across all whole blocks; the re-measures fetch
// whole blocks.  Every fetch lies in the filter rectangle and none crosses a
// row of blocks.
void expectProfilingFetches(const refhost::Host& host, VRect filter, int32 s) {
    const int32 across = (filter.right - filter.left) / s, down = (filter.bottom - filter.top) / s;
    size_t strips = 0;
    for (const refhost::AdvanceCall& c : host.advanceCalls()) {
        SCOPED_TRACE(testing::Message() << c.inRect.top << " " << c.inRect.left << " " << c.inRect.bottom << " "
                                        << c.inRect.right);
        EXPECT_GE(c.inRect.top, filter.top);
        EXPECT_GE(c.inRect.left, filter.left);
        EXPECT_LE(c.inRect.bottom, filter.top + down * s);
        EXPECT_LE(c.inRect.right, filter.left + across * s);
        EXPECT_EQ((c.inRect.top - filter.top) / s, (c.inRect.bottom - 1 - filter.top) / s);
        if (c.inRect.bottom - c.inRect.top == s) {
            EXPECT_EQ(c.inRect.right - c.inRect.left, s);
            continue;
        }
        ++strips;
        EXPECT_EQ(c.inRect.bottom - c.inRect.top, 2);
        EXPECT_EQ((c.inRect.top - filter.top) % s % (s / 4), 0);
        EXPECT_EQ(c.inRect.left, filter.left);
        EXPECT_EQ(c.inRect.right - c.inRect.left, across * s);
    }
    EXPECT_EQ(strips, size_t(down) * 4);
}

TEST(ProfilingSelection, EveryFetchLiesInsideTheFilterRectangle) {
    HostOptions options;
    options.filterRect = VRect{40, 72, 40 + 160, 72 + 200};
    BoundHost b(noisyDocument(plugInModeGrayScale, 300, 240, 10, 2), options);
    autoProfile(digitalHNLdefaultDouble);
    EXPECT_TRUE(b.host.alerts().empty());
    expectProfilingFetches(b.host, options.filterRect, 32);
}

TEST(ProfilingSelection, ChangedBlockSizeSetsTheFetchedRectangles) {
    EXPECT_EQ(changeBlockSize(16), 16);
    {
        BoundHost b(noisyDocument(plugInModeGrayScale, 300, 240, 10, 2));
        autoProfile(digitalHNLdefaultDouble);
        expectProfilingFetches(b.host, VRect{0, 0, 240, 300}, 16);
    }
    EXPECT_EQ(changeBlockSize(32), 32);
}

// With an odd block size the sample grid's last row and column are the
// block's last: their neighbours are taken within the block, never after it
// (the checking host's fresh buffers end with the block's last row).
TEST(ProfilingSelection, OddBlockSizeReadsOnlyInsideTheBlocks) {
    EXPECT_EQ(changeBlockSize(9), 9);
    {
        HostOptions options;
        options.rowSlackBytes = 0;
        BoundHost b(noisyDocument(plugInModeGrayScale, 90, 81, 10, 2), options);
        autoProfile(digitalHNLdefaultDouble);
        EXPECT_TRUE(b.host.requestErrors().empty());
        EXPECT_GT(b.block.values[0], 0);
        EXPECT_EQ(b.host.leakReport(), "");
    }
    EXPECT_EQ(changeBlockSize(32), 32);
}

// --- Alerts -----------------------------------------------------------------

struct AlertCase {
    const char* name;
    Document doc;
    std::string alert;
};

class ProfilingAlert : public ::testing::TestWithParam<AlertCase> {};

TEST_P(ProfilingAlert, ShowsTheTextAndChangesOnlyThePreset) {
    BoundHost b(GetParam().doc);
    b.block.values[1] = 0.7;
    const ParamBlock before = b.block;
    autoProfile(digitalHNLdefaultDouble);
    ASSERT_EQ(b.host.alerts(), std::vector<std::string>{GetParam().alert});
    ParamBlock expected = before;
    expected.values[1] = 0.2;
    EXPECT_TRUE(sameBlock(b.block, expected));
    EXPECT_EQ(b.host.leakReport(), "");
}

Document uniformDocument(int16 mode, int32 w, int32 h, double v) {
    Document d(mode, w, h);
    d.fill([v](int32, int32, int16) { return v; });
    return d;
}

// A block whose coarse sample points (rows and columns 0, 8, 16, 24 and the
// neighbours after them) are noisy midtones, and every other sample black or
// white: the fine measure finds no valid pair anywhere.
Document fineInvalidDocument(int32 w, int32 h) {
    Document d(plugInModeGrayScale, w, h);
    Gaussian g(17);
    auto coarse = [](int32 i) { return (i % 32) % 8 <= 1 && (i % 32) <= 25; };
    d.fill([&](int32 x, int32 y, int16) {
        if (coarse(x) && coarse(y)) return std::round(blockLevel(x, y) + 3 * g.next());
        return ((x + y) & 1) ? 255.0 : 0.0;
    });
    return d;
}

// Every coarse sample point at 128, noise everywhere else: every block has
// the average 128, so no block is darker than the median.
Document equalAverageDocument(int32 w, int32 h) {
    Document d(plugInModeRGBColor, w, h);
    Gaussian g(23);
    d.fill([&](int32 x, int32 y, int16) { return (x % 8 == 0 && y % 8 == 0) ? 128.0 : std::round(128 + 6 * g.next()); });
    return d;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfilingAlert,
    ::testing::Values(
        AlertCase{"NoWholeBlockAcross", noisyDocument(plugInModeRGBColor, 31, 1000, 10, 1), kNoMidtones},
        AlertCase{"SmallerThanOneBlock", noisyDocument(plugInModeGrayScale, 20, 20, 10, 1), kNoMidtones},
        AlertCase{"UniformMidtone", uniformDocument(plugInModeRGBColor, 128, 128, 128), kNoMidtones},
        AlertCase{"AllClipped", uniformDocument(plugInModeGrayScale, 128, 128, 255), kNoMidtones},
        AlertCase{"NoValidFinePair", fineInvalidDocument(128, 128), kNoMidtones},
        AlertCase{"OneKeptBlock", noisyDocument(plugInModeRGBColor, 32, 32, 10, 1),
                  "Profiling error.  Tonal range missing: 0"},
        AlertCase{"EqualAverages", equalAverageDocument(96, 96), "Profiling error.  Tonal range missing: 0"}),
    [](const ::testing::TestParamInfo<AlertCase>& i) { return std::string(i.param.name); });

TEST(ProfilingLowNoise, AlertsWithTheLevelAndAppliesTheFloor) {
    // Block levels with a sample off by one here and there.
    Document d(plugInModeRGBColor, 256, 256);
    std::mt19937 rng(5);
    d.fill([&](int32 x, int32 y, int16) {
        const uint32_t r = rng() % 20;
        return std::round(blockLevel(x, y)) + (r == 0 ? 1 : r == 1 ? -1 : 0);
    });
    BoundHost b(std::move(d));
    autoProfile(digitalHNLdefaultDouble);
    ASSERT_EQ(b.host.alerts().size(), 1u);
    const std::string& a = b.host.alerts()[0];
    ASSERT_EQ(a.compare(0, std::strlen(kLowNoisePrefix), kLowNoisePrefix), 0) << a;
    const std::string number = a.substr(std::strlen(kLowNoisePrefix));
    ASSERT_FALSE(number.empty());
    EXPECT_EQ(number.find_first_not_of("-0123456789"), std::string::npos) << number;
    EXPECT_LE(std::stol(number), int(0.35 * 35 - 15));
    EXPECT_EQ(b.block.values[0], 15.0);
    EXPECT_EQ(b.block.values[18], 75.0);
}

// --- The noise-level formula -------------------------------------------------

struct LevelCase {
    double estimate, preset, level;
    std::vector<std::string> alerts;
};

class NoiseLevel : public ::testing::TestWithParam<LevelCase> {};

TEST_P(NoiseLevel, FormulaFloorAndAlerts) {
    BoundHost b(Document(plugInModeRGBColor, 8, 8));
    EXPECT_EQ(blockInfoGetNewNoiseLevel(GetParam().estimate, GetParam().preset), GetParam().level);
    EXPECT_EQ(b.host.alerts(), GetParam().alerts);
}

const std::string kInternal =
    productIsHalvane() ? "(HLV) GetNewNoiseLevel internal error." : "(Vexlor) GetNewNoiseLevel internal error.";

INSTANTIATE_TEST_SUITE_P(
    Table, NoiseLevel,
    ::testing::Values(LevelCase{0.5, 0.2, 15.0, {}}, LevelCase{0.3, 0.2, 15.0, {std::string(kLowNoisePrefix) + "-4"}},
                      LevelCase{3.0, 0.2, 90.0, {}}, LevelCase{2.0, 1.0, 21.0, {}}, LevelCase{1.0, 1.0, 15.0, {}},
                      LevelCase{3.0, 0.5, 90.0, {kInternal}},
                      LevelCase{0.2, 0.0, 15.0, {kInternal, std::string(kLowNoisePrefix) + "-8"}}));

struct PlugCase {
    double estimate, preset;
    double v0, v17, v18;
};

class PlugIntoParams : public ::testing::TestWithParam<PlugCase> {};

TEST_P(PlugIntoParams, WritesLevelProtectionAndClearsShadowFlag) {
    BoundHost b(Document(plugInModeRGBColor, 8, 8));
    b.block.flags[6] = 1;
    b.block.values[17] = -1;
    b.block.values[18] = -1;
    plugDeviationIntoParams(GetParam().estimate, GetParam().preset);
    EXPECT_EQ(b.block.values[0], GetParam().v0);
    EXPECT_EQ(b.block.values[17], GetParam().v17);
    EXPECT_EQ(b.block.values[18], GetParam().v18);
    EXPECT_EQ(b.block.flags[6], 0);
}

INSTANTIATE_TEST_SUITE_P(Table, PlugIntoParams,
                         ::testing::Values(PlugCase{1.0, 0.2, 20.0, 100.0, 85.0},
                                           PlugCase{3.0, 0.2, 90.0, 100.0, 155.0},  // 225 clamped
                                           PlugCase{0.5, 0.2, 15.0, 100.0, 75.0},
                                           PlugCase{2.0, 1.0, 21.0, 255.0, 0.0},
                                           PlugCase{3.0, 0.5, 90.0, -1.0, -1.0}));  // other presets leave them

// --- Measures ------------------------------------------------------------------

TEST(FineMeasure, NoValidPairIsFiniteAndSortsLast) {
    BoundHost b(fineInvalidDocument(64, 64));
    double out = 0;
    ASSERT_EQ(calcDeviations(VRect{0, 0, 32, 32}, out), noErr);
    EXPECT_TRUE(std::isfinite(out));
    EXPECT_EQ(out, std::numeric_limits<double>::max());
}

TEST(FineMeasure, ConstantDifferencesGiveTheirSum) {
    // Columns alternate 100 and 103: each pair across a vertical line (7|8,
    // 15|16, 23|24) differs by 3, each pair across a horizontal line by 0.
    Document d(plugInModeGrayScale, 32, 32);
    d.fill([](int32 x, int32, int16) { return (x & 1) ? 103.0 : 100.0; });
    BoundHost b(std::move(d));
    double out = 0;
    ASSERT_EQ(calcDeviations(VRect{0, 0, 32, 32}, out), noErr);
    // 96 pairs of 3 across the vertical lines, 96 of 0; one plane: x 10 x 3.
    EXPECT_EQ(out, 96.0 * 3 * 10.0 * 3);
}

TEST(FineMeasure, ARefusedFetchLeavesTheOutputAlone) {
    HostOptions options;
    BoundHost b(noisyDocument(plugInModeRGB48, 64, 64, 10, 1), options);
    b.host.buffers().resetCount();
    b.host.buffers().plan.refuseNth = 1;
    double out = -7;
    EXPECT_EQ(calcDeviations(VRect{0, 0, 32, 32}, out), memFullErr);
    EXPECT_EQ(out, -7);
    EXPECT_EQ(b.host.leakReport(), "");
}

TEST(BlockLists, StripKeepsOrderAndBounds) {
    std::vector<blockInfo> v = {{5, 3, 0, 0}, {4, 4, 1, 0}, {3, 251, 2, 0}, {2, 252, 3, 0}, {1, 128, 4, 0}};
    std::vector<blockInfo> kept = blockInfoStripVector(v, 4);
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(kept[0].blockColumn, 1);
    EXPECT_EQ(kept[1].blockColumn, 2);
    EXPECT_EQ(kept[2].blockColumn, 4);
    std::vector<blockInfo> z = {{0, 0, 0, 0}, {std::nan(""), 1, 1, 0}, {2, 2, 2, 0}};
    ASSERT_EQ(blockInfoStripZeroDeviations(z).size(), 1u);
    EXPECT_EQ(blockInfoStripZeroDeviations(z)[0].blockColumn, 2);
}

TEST(BlockLists, BaseSumsAndBrightnessAdjustment) {
    BoundHost rgb(Document(plugInModeRGBColor, 8, 8));
    EXPECT_EQ(blockInfoGetDeviationBaseSum() * 3.0 / 3, 5766.0);
    EXPECT_EQ(blockInfoGetAltDeviationBaseSum(), 576.0);
    EXPECT_EQ(blockInfoGetDeviationAvgAdjusted(blockInfo{100, 0, 0, 0}, 0.2), 100.0);
    EXPECT_NEAR(blockInfoGetDeviationAvgAdjusted(blockInfo{100, 255, 0, 0}, 0.2), 500.0, 1e-9);
    EXPECT_EQ(blockInfoGetDeviationAvgAdjusted(blockInfo{100, 200, 0, 0}, 1.0), 100.0);
    // A preset that would make the divisor 0 leaves the deviation as it is.
    EXPECT_EQ(blockInfoGetDeviationAvgAdjusted(blockInfo{100, 255, 0, 0}, 0.0), 100.0);
}

// --- Block statistics worked by hand ------------------------------------------

// A 32 x 32 block at the level L, with differences only where one measure
// sees them.  The coarse measure reads the grid points (rows and columns 0,
// 8, 16 and 24) and the pixel right of and below each; eight of those
// neighbours lie on no line of the fine measure: right of the points of row
// 0 ((1, 0), (9, 0), (17, 0), (25, 0)) and below those of column 0 ((0, 1),
// (0, 9), (0, 17), (0, 25)).  `coarse` adds to them in that order.  The
// fine measure reads the pairs across columns 7|8, 15|16 and 23|24 (and rows
// 7|8, 15|16, 23|24); `fine` adds to columns 7, 15 and 23, which no coarse
// sample reads.  So, unclipped, the coarse sum of differences D is the sum
// of |coarse| and the fine sum is 32 x the sum of |fine|.  `pixels` are set
// last, in the block's own coordinates.
struct HandBlock {
    int L;
    std::vector<int> coarse;
    int fine[3];
    std::vector<std::array<int, 3>> pixels;  // {x, y, value}
};

refhost::Document handDocument(int16 mode, const std::vector<HandBlock>& blocks, int across) {
    static const int kFree[8][2] = {{1, 0}, {9, 0}, {17, 0}, {25, 0}, {0, 1}, {0, 9}, {0, 17}, {0, 25}};
    const int down = (int(blocks.size()) + across - 1) / across;
    refhost::Document doc(mode, 32 * across, 32 * down);
    for (size_t i = 0; i < blocks.size(); ++i) {
        const HandBlock& b = blocks[i];
        const int32 x0 = 32 * int32(i % across), y0 = 32 * int32(i / across);
        auto put = [&](int32 x, int32 y, int v) {
            for (int16 p = 0; p < doc.planes(); ++p) doc.set(x0 + x, y0 + y, p, v);
        };
        for (int32 y = 0; y < 32; ++y)
            for (int32 x = 0; x < 32; ++x) put(x, y, b.L);
        for (int32 y = 0; y < 32; ++y)
            for (int k = 0; k < 3; ++k) put(7 + 8 * k, y, b.L + b.fine[k]);
        for (size_t k = 0; k < b.coarse.size(); ++k) put(kFree[k][0], kFree[k][1], b.L + b.coarse[k]);
        for (const auto& px : b.pixels) put(px[0], px[1], px[2]);
    }
    return doc;
}

struct HandProfile {
    const char* name;
    int16 mode;
    double preset;
    int across;
    std::vector<HandBlock> blocks;
    std::vector<int> remeasured;  // blocks fetched again, in order: darkN, then brightN
    double level, v18;
};

class ProfilingByHand : public ::testing::TestWithParam<HandProfile> {};

TEST_P(ProfilingByHand, ChoosesTheBlocksAndReachesTheLevelWorkedOut) {
    const HandProfile& c = GetParam();
    BoundHost b(handDocument(c.mode, c.blocks, c.across));
    autoProfile(c.preset);
    EXPECT_TRUE(b.host.alerts().empty()) << b.host.alerts().front();
    // The re-measures fetch whole blocks; the coarse measure strips of two rows.
    std::vector<int> remeasured;
    for (const refhost::AdvanceCall& call : b.host.advanceCalls())
        if (call.inRect.bottom - call.inRect.top == 32)
            remeasured.push_back(call.inRect.top / 32 * c.across + call.inRect.left / 32);
    EXPECT_EQ(remeasured, c.remeasured);
    EXPECT_NEAR(b.block.values[0], c.level, 1e-9 * c.level);
    EXPECT_EQ(b.block.values[1], c.preset);
    EXPECT_EQ(b.block.values[17], c.preset == 1.0 ? 255.0 : 100.0);
    EXPECT_NEAR(b.block.values[18], c.v18, 1e-9 * 155);
    // A reset to defaults restores the profiled level and preset.
    EXPECT_EQ(DefaultGUI[0], b.block.values[0]);
    EXPECT_EQ(DefaultGUI[1], c.preset);
}

std::vector<int> blockRange(int first, int end) {
    std::vector<int> v;
    for (int i = first; i < end; ++i) v.push_back(i);
    return v;
}

template <typename T>
std::vector<T> joined(std::vector<T> a, const std::vector<T>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// n blocks at level L, block i with the coarse sum i + 1 (in steps of at
// most 30, negative when bright) and the fine step `fine` on every line, or
// `lastFine` for the last four.
std::vector<HandBlock> graded(int L, int n, int fine, int lastFine) {
    std::vector<HandBlock> v;
    for (int i = 0; i < n; ++i) {
        HandBlock b{L, {}, {0, 0, 0}, {}};
        for (int D = i + 1; D > 0; D -= 30) b.coarse.push_back((L > 128 ? -1 : 1) * std::min(D, 30));
        const int f = i < n - 4 ? fine : lastFine;
        b.fine[0] = b.fine[1] = b.fine[2] = f;
        v.push_back(b);
    }
    return v;
}

// Terms used below, for one plane (grey) unless said otherwise.  Coarse:
// deviation 3D (RGB, three equal planes: 3D as well); average L; with a
// clipped sample (0 or 255) R counts 2 for a clipped grid point and 1 for a
// clipped neighbour, and D becomes the whole part of D x T / (T - R), T = S x
// planes x 2 = 32 (grey) or 288 (RGB).  Digital preset: the deviation
// becomes the whole part of deviation / q(L), q(L) = (0.2 - 1) x L / 255 + 1
// (film: q = 1).  Fine: 192 pairs per plane, the sum of differences x 10 x
// (3 / planes), scaled by T / (T - N) when N pairs hold a sample outside
// 2..253; unclipped, 2880 x the fine step for a step on all three lines.
// Each re-measured block gives v = fine / q(L) / 5766; the level is the mean
// m of the four smallest v (all when fewer), times 1.45f for grey, then
// m x 35 - 15 (film: x 18 - 15), at least 15; value 18 = 2 x level + 45 up to
// 155 (film: 0).
INSTANTIATE_TEST_SUITE_P(
    Documents, ProfilingByHand,
    ::testing::Values(
        // One dark and one bright block: each half's only block is measured
        // again.  v = 5760 / q(60) / 5766 = 1.2306022 (q(60) = 0.8117647)
        // and 11520 / q(180) / 5766 = 4.5898135 (q(180) = 0.4352941); the
        // mean of the two, x 1.45f = 4.2198015, x 35 - 15.
        HandProfile{"TwoBlocks", plugInModeGrayScale, 0.2, 2,
                    {{60, {3}, {2, 2, 2}, {}}, {180, {3}, {4, 4, 4}, {}}},
                    {0, 1}, 132.69305373986595, 155.0},
        // Kept: averages 4 to 251, not block 0 (3) or 12 (252), nor block 2,
        // whose deviation 0 makes its average 0.  Sorted by average the ten
        // kept give the median kept[5] = 180: dark 1, 3 to 6; bright 7 to 11;
        // n = 5.  Adjusted coarse deviations (3D / q(L), whole part): dark
        // 3: 11, 6: 12, 1: 15, 4: 19, 5: 28; bright 9: 16, 10: 19, 7: 20, 11:
        // 28, 8: 44 (the order of the re-measures).  Block 1's line at column
        // 7 holds 1 and block 11's holds 254: 35 of their 192 pairs are
        // invalid, fines 192/157 x 192 x 30 and 192/157 x 32 x 30.  The four
        // smallest v: 11: 1174.0127 / 0.2125490 / 5766 = 0.9579417, 1:
        // 7044.0764 / 0.9874510 / 5766 = 1.2371828, 4: 5760 / 0.7803922 /
        // 5766 = 1.2800736, 5: 5760 / 0.7490196 / 5766 = 1.3336893; mean
        // 1.2022219, x 1.45f = 1.7432217.
        HandProfile{"MarginsMedianAndInvalidPairs", plugInModeGrayScale, 0.2, 13,
                    {{3, {1}, {1, 1, 1}, {}},
                     {4, {5}, {-3, 3, 3}, {}},
                     {100, {}, {1, 1, 1}, {}},
                     {60, {2, 1}, {3, 3, 3}, {}},
                     {70, {5}, {2, 2, 2}, {}},
                     {80, {7}, {2, 2, 2}, {}},
                     {90, {3}, {4, 4, 4}, {}},
                     {180, {3}, {2, 2, 2}, {}},
                     {190, {6}, {2, 2, 2}, {}},
                     {200, {1, 1}, {2, 2, 2}, {}},
                     {220, {2}, {5, 5, 5}, {}},
                     {251, {2}, {3, 1, 0}, {}},
                     {252, {1}, {1, 1, 1}, {}}},
                    {3, 6, 1, 4, 5, 9, 10, 7, 11, 8}, 46.01276060424292, 137.02552120848583},
        // RGB (three equal planes), film: the order of the re-measures is the
        // coarse order.  Block 0's neighbour (1, 0) is 255 in every plane:
        // R = 3, D = 400 becomes the whole part of 400 x 288 / 285 = 404,
        // between blocks 1 (403) and 2 (406), before 3 (410).  Block 4's grid
        // point (0, 0) is 0 in every plane: R = 6 and its neighbours are not
        // read, 400 becomes 408 (400 x 288 / 282), between 5 (406) and 6
        // (410), before 7 (420); its average is 15 x 180 / 16 = 168.  The four
        // smallest v are those of fine steps 5, 5, 6 and 6: mean 2880 x 22 /
        // 4 / 5766 = 2.7471384, x 18 - 15.
        HandProfile{"ClippedSamplesScaleTheCoarseSum", plugInModeRGBColor, 1.0, 4,
                    {{60, {}, {5, 5, 5}, {{9, 0, 160}, {17, 0, 160}, {25, 0, 160}, {0, 1, 160}, {1, 0, 255}}},
                     {60, {100, 100, 100, 103}, {6, 6, 6}, {}},
                     {60, {100, 100, 100, 106}, {7, 7, 7}, {}},
                     {60, {100, 100, 100, 110}, {8, 8, 8}, {}},
                     {180, {}, {9, 9, 9}, {{9, 0, 80}, {17, 0, 80}, {25, 0, 80}, {0, 9, 80}, {0, 0, 0}}},
                     {180, {-100, -100, -100, -106}, {5, 5, 5}, {}},
                     {180, {-100, -100, -100, -110}, {6, 6, 6}, {}},
                     {180, {-100, -100, -100, -120}, {10, 10, 10}, {}}},
                    {1, 0, 2, 3, 5, 4, 6, 7}, 34.448491155046824, 0.0},
        // 36 dark and 36 bright blocks: n = 32, the 32 smoothest of each
        // half (coarse sums 1 to 32), in that order; the last four of each
        // half have the smallest fine step but are not measured again.  The
        // four smallest v: 8640 / q(60) / 5766 = 1.8459033, x 1.45f.
        HandProfile{"AtMostThirtyTwoBlocksOfEachHalf", plugInModeGrayScale, 0.2, 12,
                    joined(graded(60, 36, 3, 1), graded(180, 36, 3, 1)),
                    joined(blockRange(0, 32), blockRange(36, 68)), 78.67959408642928, 155.0}),
    [](const ::testing::TestParamInfo<HandProfile>& i) { return std::string(i.param.name); });

// --- Refused fetches -------------------------------------------------------------

const char* const kUint16Refused = "(Vexlor) Uint16 buffer allocation failed!";

TEST(ProfilingFetch, ARefusedCoarseFetchChangesOnlyThePreset) {
    BoundHost b(noisyDocument(plugInModeRGB48, 128, 128, 10, 1));
    const ParamBlock before = b.block;
    b.host.buffers().resetCount();
    b.host.buffers().plan.refuseNth = 3;
    autoProfile(filmHNLdefault);
    ParamBlock expected = before;
    expected.values[1] = 1.0;
    EXPECT_TRUE(sameBlock(b.block, expected));
    EXPECT_EQ(b.host.alerts(), std::vector<std::string>{kUint16Refused});
    EXPECT_EQ(b.host.leakReport(), "");
}

// The coarse fetches of a 256 x 256 image: four strips for each of its eight
// rows of blocks.
const int kCoarseFetches256 = 8 * 4;

// The coarse fetches, then up to 64 re-measures: the 20th is refused.
TEST(ProfilingFetch, ARefusedReMeasureIsLeftOutNotMixedIn) {
    const Document doc = noisyDocument(plugInModeRGB48, 256, 256, 10, 21);
    const double normal = profileDocument(doc).block.values[0];

    BoundHost b(doc);
    b.host.buffers().resetCount();
    b.host.buffers().plan.refuseNth = kCoarseFetches256 + 20;
    autoProfile(digitalHNLdefaultDouble);
    EXPECT_EQ(b.host.alerts(), std::vector<std::string>{kUint16Refused});
    EXPECT_EQ(b.host.leakReport(), "");
    // A coarse measure mixed in would be far below every fine one and pull
    // the level to the floor; leaving blocks out can only raise the mean of
    // the lowest four.
    const double level = b.block.values[0];
    EXPECT_GE(level, normal);
    EXPECT_LT(level, normal * 1.25);
}

TEST(ProfilingFetch, EveryReMeasureRefusedShowsOneAlertAndChangesOnlyThePreset) {
    BoundHost b(noisyDocument(plugInModeRGB48, 256, 256, 10, 21));
    b.block.values[1] = 0.6;
    const ParamBlock before = b.block;
    b.host.buffers().resetCount();
    b.host.buffers().plan.refuseNth = kCoarseFetches256 + 1;
    b.host.buffers().plan.andAllLater = true;
    autoProfile(digitalHNLdefaultDouble);
    EXPECT_EQ(b.host.alerts(), std::vector<std::string>{kUint16Refused});
    ParamBlock expected = before;
    expected.values[1] = 0.2;
    EXPECT_TRUE(sameBlock(b.block, expected));
    EXPECT_EQ(b.host.leakReport(), "");
}

// --- Profiling once per run ---------------------------------------------------------

struct FlagCase {
    const char* name;
    uint8 f3, f4, f7;
    unsigned char done;
    double preset;  // 0: no profiling
    uint8 f3After, f4After;
};

class GUIhandling : public ::testing::TestWithParam<FlagCase> {};

TEST_P(GUIhandling, FlagTable) {
    const FlagCase& c = GetParam();
    BoundHost b(noisyDocument(plugInModeRGBColor, 128, 128, 10, 4));
    b.block.flags[3] = c.f3;
    b.block.flags[4] = c.f4;
    b.block.flags[7] = c.f7;
    b.block.values[1] = 0.7;
    unsigned char done = c.done;
    autoProfileWithGUIhandling(done);
    EXPECT_EQ(b.block.values[1], c.preset == 0 ? 0.7 : c.preset);
    EXPECT_EQ(done, c.preset == 0 ? c.done : 1);
    EXPECT_EQ(b.block.flags[3], c.f3After);
    EXPECT_EQ(b.block.flags[4], c.f4After);
    EXPECT_EQ(b.block.flags[7], c.f7);

    // A second call in the same run does nothing.
    const ParamBlock after = b.block;
    const size_t fetches = b.host.advanceCalls().size();
    if (done) {
        autoProfileWithGUIhandling(done);
        EXPECT_TRUE(sameBlock(b.block, after));
        EXPECT_EQ(b.host.advanceCalls().size(), fetches);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, GUIhandling,
    ::testing::Values(FlagCase{"AlreadyDone", 1, 1, 1, 1, 0, 1, 1}, FlagCase{"Nothing", 0, 0, 0, 0, 0, 0, 0},
                      FlagCase{"Digital", 1, 0, 0, 0, 0.2, 1, 0}, FlagCase{"Film", 0, 1, 0, 0, 1.0, 0, 1},
                      FlagCase{"BothIsFilm", 1, 1, 0, 0, 1.0, 0, 1}, FlagCase{"AlwaysSetsDigital", 0, 0, 1, 0, 0.2, 1, 0},
                      FlagCase{"AlwaysAndFilm", 0, 1, 1, 0, 1.0, 0, 1},
                      FlagCase{"AlwaysAndDigital", 1, 0, 1, 0, 0.2, 1, 0}),
    [](const ::testing::TestParamInfo<FlagCase>& i) { return std::string(i.param.name); });

// --- Reset all -------------------------------------------------------------------------

TEST(ResetAll, ProfilesWithTheChosenPresetAfterTheDefaults) {
    const Document doc = noisyDocument(plugInModeRGBColor, 128, 128, 10, 4);
    double digitalLevel = 0;
    {
        BoundHost b(doc);
        autoProfile(digitalHNLdefaultDouble);
        digitalLevel = b.block.values[0];
    }
    struct Case {
        uint8 f3, f4;
        double v0, v1;
    };
    // Profiling made its level the default, so a reset without profiling
    // restores that level too.
    for (const Case& c :
         {Case{1, 1, digitalLevel, 0.2}, Case{1, 0, digitalLevel, 0.2}, Case{0, 0, digitalLevel, 0.2}}) {
        BoundHost b(doc);
        b.block.values = distinctBlock().values;
        b.block.flags[3] = c.f3;
        b.block.flags[4] = c.f4;
        noiseReductionResetAllButton();
        EXPECT_EQ(b.block.values[0], c.v0);
        EXPECT_EQ(b.block.values[1], c.v1);
        EXPECT_EQ(b.block.values[2], DefaultGUI[2]);
        EXPECT_EQ(b.block.flags[3], c.f3);
        EXPECT_EQ(b.block.flags[4], c.f4);
    }
    BoundHost b(doc);
    b.block.flags[3] = 0;
    b.block.flags[4] = 1;
    noiseReductionResetAllButton();
    EXPECT_EQ(b.block.values[1], 1.0);
    EXPECT_EQ(b.block.values[17], 255.0);
}

}  // namespace
