// Halvane's derivation of the engine parameters from the parameter block.
#include <cmath>
#include <limits>

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

TEST_F(HalvaneParams, Defaults) {
    block_.flags[1] = 0;
    calcInternalFilterParams();
    EXPECT_EQ(NRsimilarityRolloff, 60.0f);
    EXPECT_EQ(level0noiseLevel, 90.0f);
    EXPECT_EQ(level1noiseLevel, 30.0f);
    EXPECT_EQ(level2noiseLevel, 15.0f);
    EXPECT_EQ(level3noiseLevel, 7.5f);
    EXPECT_EQ(highnoiseLevelReduce, 1.0f - 0.2f);
    EXPECT_FLOAT_EQ(highnoiseLevelReduce, 0.8f);
    EXPECT_FLOAT_EQ(lumaMix, 0.7f);
    EXPECT_EQ(chromaMix, 1.0f);
    EXPECT_FLOAT_EQ(sharpeningAmount, 0.0025f);
    EXPECT_FLOAT_EQ(chromaSharpeningAmount, 0.0025f);
    EXPECT_FLOAT_EQ(level0SharpAmount, 0.0025f);
    EXPECT_FLOAT_EQ(level1SharpAmount, 0.0025f);
    EXPECT_FLOAT_EQ(level2SharpAmount, 0.0025f);
    EXPECT_FLOAT_EQ(level3SharpAmount, 0.00125f);
    EXPECT_FLOAT_EQ(level0ChromaSharpAmount, 0.0025f);
    EXPECT_FLOAT_EQ(level3ChromaSharpAmount, 0.00125f);
    EXPECT_EQ(level0NR, 1.0f);
    EXPECT_EQ(level3NR, 1.0f);
    EXPECT_EQ(highlightNRlowThreshold, 255.0f);
    EXPECT_EQ(highlightNRhighThreshold, 255.0f);
    // Protect highlights, with no feather: the ramp is a step.
    EXPECT_EQ(highlightNRbelowThreshold, 1.0f);
    EXPECT_EQ(highlightNRaboveThreshold, 0.0f);
    EXPECT_EQ(highlightNRslope, -kFloatInf);
    EXPECT_TRUE(cleanerSmoothAreas);  // flag 8 is set by default
    EXPECT_FALSE(setNoiseMode);
    EXPECT_FALSE(isLABmode);
    EXPECT_EQ(block_.flags[1], 1) << "flag 1 is stored back set";
    for (int i = 0; i < kParamValueCount; ++i) EXPECT_EQ(block_.values[i], DefaultGUI[i]) << "value " << i;
}

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

TEST_F(HalvaneParams, RampWithFeather) {
    block_.values[17] = 100;
    block_.values[18] = 50;
    calcInternalFilterParams();
    EXPECT_EQ(highlightNRhighThreshold, 150.0f);
    EXPECT_FLOAT_EQ(highlightNRslope, -1.0f / 50.0f);
    EXPECT_FLOAT_EQ(highlightNRintercept, 1.0f + 100.0f / 50.0f);
    // At the low threshold the ramp is 1, at the high one 0.
    EXPECT_FLOAT_EQ(highlightNRslope * 100.0f + highlightNRintercept, 1.0f);
    EXPECT_NEAR(highlightNRslope * 150.0f + highlightNRintercept, 0.0f, 1e-6f);

    block_.flags[6] = 1;  // protect shadows instead
    calcInternalFilterParams();
    EXPECT_EQ(highlightNRbelowThreshold, 0.0f);
    EXPECT_EQ(highlightNRaboveThreshold, 1.0f);
    EXPECT_FLOAT_EQ(highlightNRslope, 1.0f / 50.0f);
    EXPECT_FLOAT_EQ(highlightNRslope * 100.0f + highlightNRintercept, 0.0f);
    EXPECT_FLOAT_EQ(highlightNRslope * 150.0f + highlightNRintercept, 1.0f);
}

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

TEST_F(HalvaneParams, SharpeningScalesShareTheLevelWeights) {
    block_.values[12] = 8;
    block_.values[19] = 4;
    block_.values[13] = 2;
    block_.values[16] = 3;
    calcInternalFilterParams();
    EXPECT_FLOAT_EQ(level0SharpAmount, 0.1f * 2);
    EXPECT_FLOAT_EQ(level3SharpAmount, 0.5f * 0.1f * 3);
    EXPECT_FLOAT_EQ(level0ChromaSharpAmount, 0.05f * 2);
    EXPECT_FLOAT_EQ(level3ChromaSharpAmount, 0.5f * 0.05f * 3);
}

// Flag 2: the dialog's preview shows the result without the detail mixed
// back in; the full-image pass (no proxy) still mixes.
TEST_F(HalvaneParams, NoiseModeUnmixesOnlyThePreview) {
    block_.flags[2] = 1;
    renderingProxy = true;
    calcInternalFilterParams();
    EXPECT_TRUE(setNoiseMode);
    EXPECT_EQ(lumaMix, 1.0f);
    EXPECT_EQ(chromaMix, 1.0f);

    renderingProxy = false;
    calcInternalFilterParams();
    EXPECT_FLOAT_EQ(lumaMix, 0.7f);
    EXPECT_EQ(chromaMix, 1.0f);

    block_.flags[2] = 0;
    renderingProxy = true;
    calcInternalFilterParams();
    EXPECT_FALSE(setNoiseMode);
    EXPECT_FLOAT_EQ(lumaMix, 0.7f);
}

TEST_F(HalvaneParams, CleanerCoreFollowsFlag8) {
    block_.flags[8] = 0;
    calcInternalFilterParams();
    EXPECT_FALSE(cleanerSmoothAreas);
    block_.flags[8] = 1;
    calcInternalFilterParams();
    EXPECT_TRUE(cleanerSmoothAreas);
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
