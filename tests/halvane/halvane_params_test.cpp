// Halvane's derivation of the engine parameters from the parameter block.
#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "engine/engine_params.h"
#include "host/globals.h"
#include "entry/params.h"
#include "support/host_fixture.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
const float kFloatInf = std::numeric_limits<float>::infinity();

class HalvaneParams : public HostFixture {
protected:
    void SetUp() override {
        makeHost();
        block_.values = DefaultGUI;
        block_.flags = BooleanDefault;
        gParams = &block_;
        renderingProxy = false;
    }
    void withMode(int16 mode) { host().record().imageMode = mode; }
    ParamBlock block_;
};

// The engine record that one derivation writes.
struct Derived {
    float rolloff, highnoise;
    float noise[4], nr[4];
    float low, high, below, above, slope, intercept;
    float lumaMix, chromaMix;
    float sharp, chromaSharp, sharpLevel[4], chromaLevel[4];
    bool cleaner, noiseMode, lab;
};

struct DerivationCase {
    const char* name;
    std::vector<std::pair<int, double>> values;  // over the defaults
    std::vector<std::pair<int, uint8>> flags;
    bool proxy;
    int16 mode;
    Derived expected;
    std::vector<std::pair<int, double>> storedBack;  // every other value stays as given
};

// Each row worked out by hand from the slider values:
// rolloff = max(value 0, 1e-5) x 1.5; highnoise = 1 - value 1 (value 1
// within 0.00999999 .. 1, the result at most 0.99); noise level k = value
// (2 + k) x rolloff x (1.5, 0.5, 0.25, 0.125); thresholds value 17 and
// value 17 + value 18; highlights: below 1, above 0, slope -1/feather,
// intercept 1 - slope x low; shadows: below 0, above 1, slope 1/feather,
// intercept -slope x low; mixes 1 - values 6 and 7 (1 in the preview of
// the noise mode); sharp = value 12 x 0.0125, chroma = value 19 x 0.0125,
// levels x values 13, 14, 15 and 0.5 x value 16, each clamped to +-1000.
const DerivationCase kDerivations[] = {
    // The defaults: 40 x 1.5 = 60; 1 x 60 x 1.5 = 90, 30, 15, 7.5; no
    // feather, so the slope is -1/0 and the intercept 1 + infinity.
    {"defaults",
     {},
     {},
     false,
     plugInModeRGBColor,
     {60, 0.8f, {90, 30, 15, 7.5f}, {1, 1, 1, 1}, 255, 255, 1, 0, -kFloatInf, kFloatInf, 0.7f, 1, 0.0025f,
      0.0025f, {0.0025f, 0.0025f, 0.0025f, 0.00125f}, {0.0025f, 0.0025f, 0.0025f, 0.00125f}, true, false, false},
     {}},
    // 20 x 1.5 = 30; 2 x 30 x 1.5 = 90, 1.5 x 30 x 0.5 = 22.5, 1 x 30 x 0.25
    // = 7.5, 0.8 x 30 x 0.125 = 3; 180 .. 220, slope -1/40, intercept 1 +
    // 180/40 = 5.5; 40 x 0.0125 = 0.5: 0.6, 0.4, 0.3, 0.25 x 2; -8 x 0.0125
    // = -0.1: -0.12, -0.08, -0.06, -0.05 x 2.  The preview exists but the
    // noise mode is off: the mixes stay.
    {"highlightsFeathered",
     {{0, 20}, {1, 0.35}, {2, 2}, {3, 1.5}, {4, 1}, {5, 0.8}, {6, 0.25}, {7, 0.4}, {8, 0.9}, {9, 0.8}, {10, 0.7},
      {11, 0.6}, {12, 40}, {13, 1.2}, {14, 0.8}, {15, 0.6}, {16, 2}, {17, 180}, {18, 40}, {19, -8}},
     {{8, 0}, {1, 0}},
     true,
     plugInModeRGB48,
     {30, 0.65f, {90, 22.5f, 7.5f, 3}, {0.9f, 0.8f, 0.7f, 0.6f}, 180, 220, 1, 0, -0.025f, 5.5f, 0.75f, 0.6f, 0.5f,
      -0.1f, {0.6f, 0.4f, 0.3f, 0.5f}, {-0.12f, -0.08f, -0.06f, -0.1f}, false, false, false},
     {}},
    // Value 0 below the floor: 1e-5 x 1.5 = 1.5e-5, so 3 x 1.5e-5 x 1.5 =
    // 6.75e-5, 1.5e-5, 3.75e-6, 9.375e-7; value 1 raised to 0.00999999
    // gives 0.99000001, lowered to 0.99; 40 .. 100 protecting shadows: slope
    // 1/60, intercept -40/60; value 12 = 1500 clamped to 1000: 12.5, and
    // 12.5 x -1000 (value 13 clamped), 6.25, 25, 0 (value 16 flushed to 0);
    // 3 x 0.0125 = 0.0375: -37.5, 0.01875, 0.075, 0.  The noise mode's
    // preview: both mixes 1.
    {"shadowsNoiseModePreviewLab",
     {{0, 4e-6}, {1, 0.004}, {2, 3}, {3, 2}, {4, 1}, {5, 0.5}, {6, 0.6}, {7, 0.1}, {8, 0.5}, {9, 0.25}, {10, 0},
      {11, 1.5}, {12, 1500}, {13, -2000}, {14, 0.5}, {15, 2}, {16, 5e-7}, {17, 40}, {18, 60}, {19, 3}},
     {{6, 1}, {8, 1}, {2, 1}},
     true,
     plugInModeLabColor,
     {1.5e-5f, 0.99f, {6.75e-5f, 1.5e-5f, 3.75e-6f, 9.375e-7f}, {0.5f, 0.25f, 0, 1.5f}, 40, 100, 0, 1,
      1.0f / 60, -40.0f / 60, 1, 1, 12.5f, 0.0375f, {-12500, 6.25f, 25, 0}, {-37.5f, 0.01875f, 0.075f, 0}, true,
      true, true},
     {{0, 9.999999747378752e-06}, {1, 0.009999990463256836}, {12, 1000}, {13, -1000}, {16, 0}}},
    // The noise mode without the preview (the full-image pass) mixes as
    // usual; a 16-bit Lab document is displayed as Lab.
    {"noiseModeFullImage",
     {},
     {{2, 1}},
     false,
     plugInModeLab48,
     {60, 0.8f, {90, 30, 15, 7.5f}, {1, 1, 1, 1}, 255, 255, 1, 0, -kFloatInf, kFloatInf, 0.7f, 1, 0.0025f,
      0.0025f, {0.0025f, 0.0025f, 0.0025f, 0.00125f}, {0.0025f, 0.0025f, 0.0025f, 0.00125f}, true, true, true},
     {}},
};

class HalvaneDerivation : public HalvaneParams, public ::testing::WithParamInterface<DerivationCase> {};

TEST_P(HalvaneDerivation, FromSliderValues) {
    const DerivationCase& k = GetParam();
    for (const auto& v : k.values) block_.values[v.first] = v.second;
    for (const auto& f : k.flags) block_.flags[f.first] = f.second;
    withMode(k.mode);
    renderingProxy = k.proxy;
    checked_array<double, kParamValueCount> stored = block_.values;
    for (const auto& v : k.storedBack) stored[v.first] = v.second;
    calcInternalFilterParams();

    const Derived& e = k.expected;
    struct Field {
        const char* name;
        float actual, expected;
    };
    const Field fields[] = {
        {"NRsimilarityRolloff", NRsimilarityRolloff, e.rolloff},
        {"highnoiseLevelReduce", highnoiseLevelReduce, e.highnoise},
        {"level0noiseLevel", level0noiseLevel, e.noise[0]},
        {"level1noiseLevel", level1noiseLevel, e.noise[1]},
        {"level2noiseLevel", level2noiseLevel, e.noise[2]},
        {"level3noiseLevel", level3noiseLevel, e.noise[3]},
        {"level0NR", level0NR, e.nr[0]},
        {"level1NR", level1NR, e.nr[1]},
        {"level2NR", level2NR, e.nr[2]},
        {"level3NR", level3NR, e.nr[3]},
        {"highlightNRlowThreshold", highlightNRlowThreshold, e.low},
        {"highlightNRhighThreshold", highlightNRhighThreshold, e.high},
        {"highlightNRbelowThreshold", highlightNRbelowThreshold, e.below},
        {"highlightNRaboveThreshold", highlightNRaboveThreshold, e.above},
        {"highlightNRslope", highlightNRslope, e.slope},
        {"highlightNRintercept", highlightNRintercept, e.intercept},
        {"lumaMix", lumaMix, e.lumaMix},
        {"chromaMix", chromaMix, e.chromaMix},
        {"sharpeningAmount", sharpeningAmount, e.sharp},
        {"chromaSharpeningAmount", chromaSharpeningAmount, e.chromaSharp},
        {"level0SharpAmount", level0SharpAmount, e.sharpLevel[0]},
        {"level1SharpAmount", level1SharpAmount, e.sharpLevel[1]},
        {"level2SharpAmount", level2SharpAmount, e.sharpLevel[2]},
        {"level3SharpAmount", level3SharpAmount, e.sharpLevel[3]},
        {"level0ChromaSharpAmount", level0ChromaSharpAmount, e.chromaLevel[0]},
        {"level1ChromaSharpAmount", level1ChromaSharpAmount, e.chromaLevel[1]},
        {"level2ChromaSharpAmount", level2ChromaSharpAmount, e.chromaLevel[2]},
        {"level3ChromaSharpAmount", level3ChromaSharpAmount, e.chromaLevel[3]},
    };
    for (const Field& f : fields) EXPECT_FLOAT_EQ(f.actual, f.expected) << f.name;
    EXPECT_EQ(cleanerSmoothAreas, e.cleaner);
    EXPECT_EQ(setNoiseMode, e.noiseMode);
    EXPECT_EQ(isLABmode, e.lab);
    EXPECT_EQ(block_.flags[1], 1) << "flag 1 is stored back set";
    for (int i = 0; i < kParamValueCount; ++i) EXPECT_EQ(block_.values[i], stored[i]) << "value " << i;
}

INSTANTIATE_TEST_SUITE_P(SliderSets, HalvaneDerivation, ::testing::ValuesIn(kDerivations),
                         [](const ::testing::TestParamInfo<DerivationCase>& i) { return std::string(i.param.name); });

struct MixCase {
    double given, stored;
};

class HalvaneMixes : public HalvaneParams, public ::testing::WithParamInterface<MixCase> {};

TEST_P(HalvaneMixes, StayInTheDialogsRange) {
    block_.values[6] = block_.values[7] = GetParam().given;
    calcInternalFilterParams();
    EXPECT_EQ(block_.values[6], GetParam().stored);
    EXPECT_EQ(block_.values[7], GetParam().stored);
    EXPECT_EQ(lumaMix, 1.0f - float(GetParam().stored));
    EXPECT_EQ(chromaMix, 1.0f - float(GetParam().stored));
}

INSTANTIATE_TEST_SUITE_P(Values, HalvaneMixes,
                         ::testing::Values(MixCase{0.3, 0.3}, MixCase{1.0, 1.0}, MixCase{0.0, 0.0},
                                           MixCase{1e6, 1.0}, MixCase{4294967296.0, 1.0}, MixCase{1e308, 1.0},
                                           MixCase{-1e308, 0.0}, MixCase{-0.5, 0.0}, MixCase{1.5, 1.0}));

struct ClampedEntry {
    int index;
    double given, stored;
};

class HalvaneClampedEntries : public HalvaneParams, public ::testing::WithParamInterface<ClampedEntry> {};

TEST_P(HalvaneClampedEntries, AreStoredBack) {
    const ClampedEntry& c = GetParam();
    block_.values[c.index] = c.given;
    calcInternalFilterParams();
    EXPECT_EQ(block_.values[c.index], c.stored);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, HalvaneClampedEntries,
    ::testing::Values(ClampedEntry{0, 0.0, 9.999999747378752e-06}, ClampedEntry{1, 0.0, 0.009999990463256836},
                      ClampedEntry{1, 3.0, 1.0}, ClampedEntry{18, -1.0, 0.0}, ClampedEntry{13, 2000.0, 1000.0},
                      ClampedEntry{14, -2000.0, -1000.0}, ClampedEntry{15, 1e9, 1000.0},
                      ClampedEntry{16, -5e-7, 0.0}, ClampedEntry{12, 5e-7, 0.0}, ClampedEntry{19, 1500.0, 1000.0},
                      ClampedEntry{12, -0.5, -0.5},
                      // not finite: the product's default
                      ClampedEntry{0, kNaN, 40.0}, ClampedEntry{6, kInf, 0.3}, ClampedEntry{13, -kInf, 1.0},
                      ClampedEntry{17, kNaN, 255.0}, ClampedEntry{19, kNaN, 0.2}));

TEST_F(HalvaneParams, NonFiniteValuesNeverReachTheEngine) {
    for (int i = 0; i < 20; ++i) block_.values[i] = i % 2 ? kNaN : kInf;
    calcInternalFilterParams();
    for (int i = 0; i < 20; ++i) EXPECT_EQ(block_.values[i], DefaultGUI[i]) << "value " << i;
    EXPECT_EQ(level0noiseLevel, 90.0f);
    EXPECT_FLOAT_EQ(lumaMix, 0.7f);
    EXPECT_FLOAT_EQ(level0SharpAmount, 0.0025f);
}

TEST_F(HalvaneParams, HighlightReductionRange) {
    block_.values[1] = 1.0;
    calcInternalFilterParams();
    EXPECT_EQ(highnoiseLevelReduce, 0.0f);
    block_.values[1] = 0.0;
    calcInternalFilterParams();
    EXPECT_EQ(highnoiseLevelReduce, 0.99f);
}

class HalvaneLabMode : public HalvaneParams, public ::testing::WithParamInterface<std::pair<int16, bool>> {};

TEST_P(HalvaneLabMode, ByDisplayMode) {
    withMode(GetParam().first);
    calcInternalFilterParams();
    EXPECT_EQ(isLABmode, GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Modes, HalvaneLabMode,
                         ::testing::Values(std::make_pair(int16(plugInModeLabColor), true),
                                           std::make_pair(int16(plugInModeLab48), true),
                                           std::make_pair(int16(plugInModeRGBColor), false),
                                           std::make_pair(int16(plugInModeRGB48), false),
                                           std::make_pair(int16(plugInModeGray16), false)));

}  // namespace
