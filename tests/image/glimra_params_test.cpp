// Glimra's derivation of the engine parameters and the shared constants.
#include <cmath>
#include <limits>

#include "engine/engine_params.h"
#include "host/globals.h"
#include "entry/params.h"
#include "support/host_fixture.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
// The float 1e-5 and the lower bound of value 1, as the derivation stores them.
const double kFloatMinimumRolloff = 9.999999747378752e-06;
const double kValue1Floor = 0.009999990463256836;

class GlimraParams : public HostFixture {
protected:
    void SetUp() override {
        makeHost();
        block_.values = DefaultGUI;
        block_.flags = BooleanDefault;
        gParams = &block_;
    }
    ParamBlock block_;
};

TEST_F(GlimraParams, Defaults) {
    block_.flags[1] = 0;
    calcInternalFilterParams();
    EXPECT_EQ(NRsimilarityRolloff, 60.0f);
    EXPECT_EQ(level0noiseLevel, 90.0f);
    EXPECT_EQ(highnoiseLevelReduce, 1.0f - 0.2f);
    EXPECT_EQ(lowThresholdingAmount, 4.0f);
    EXPECT_EQ(highThresholdingAmount, 10.0f);
    EXPECT_FALSE(invertMatte);
    EXPECT_EQ(block_.flags[1], 1) << "flag 1 is stored back set";
    // Nothing else in the block moved.
    for (int i = 0; i < kParamValueCount; ++i) EXPECT_EQ(block_.values[i], DefaultGUI[i]) << "value " << i;
}

TEST_F(GlimraParams, InvertMatteFollowsFlag2) {
    block_.flags[2] = 1;
    calcInternalFilterParams();
    EXPECT_TRUE(invertMatte);
}

// The writers keep a and b neutral in Lab, 8 and 16 bits.
class GlimraLabMode : public GlimraParams, public ::testing::WithParamInterface<std::pair<int16, bool>> {};

TEST_P(GlimraLabMode, ByDisplayMode) {
    makeHost(GetParam().first);
    gParams = &block_;
    calcInternalFilterParams();
    EXPECT_EQ(isLABmode, GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Modes, GlimraLabMode,
                         ::testing::Values(std::make_pair(int16(plugInModeLabColor), true),
                                           std::make_pair(int16(plugInModeLab48), true),
                                           std::make_pair(int16(plugInModeRGBColor), false),
                                           std::make_pair(int16(plugInModeRGB96), false),
                                           std::make_pair(int16(plugInModeGrayScale), false)));

// Entries that the derivation clamps in place, and what it derives from them.
struct ClampedEntry {
    int index;
    double given, stored;
};

class GlimraClampedEntries : public GlimraParams, public ::testing::WithParamInterface<ClampedEntry> {};

TEST_P(GlimraClampedEntries, AreStoredBack) {
    const ClampedEntry& c = GetParam();
    block_.values[c.index] = c.given;
    calcInternalFilterParams();
    EXPECT_EQ(block_.values[c.index], c.stored);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, GlimraClampedEntries,
    ::testing::Values(ClampedEntry{0, 0.0, kFloatMinimumRolloff}, ClampedEntry{0, -3.0, kFloatMinimumRolloff},
                      ClampedEntry{0, 2e-5, 2e-5}, ClampedEntry{1, 0.0, kValue1Floor}, ClampedEntry{1, 1.0, 1.0},
                      ClampedEntry{1, 7.0, 1.0}, ClampedEntry{18, -4.0, 0.0}, ClampedEntry{18, 12.0, 12.0},
                      ClampedEntry{19, 0.0, 0.1}, ClampedEntry{19, 5000.0, 2550.0}, ClampedEntry{19, 33.0, 33.0},
                      // not finite: the product's default
                      ClampedEntry{0, kNaN, 40.0}, ClampedEntry{1, kInf, 0.2}, ClampedEntry{2, -kInf, 1.0},
                      ClampedEntry{12, kNaN, 4.0}, ClampedEntry{18, kNaN, 0.0}, ClampedEntry{19, kInf, 10.0}));

TEST_F(GlimraParams, TinyNoiseLevelKeepsTheMinimumRolloff) {
    block_.values[0] = 0;
    calcInternalFilterParams();
    EXPECT_EQ(NRsimilarityRolloff, 1e-5f * 1.5f);
    EXPECT_FLOAT_EQ(NRsimilarityRolloff, 1.5e-5f);
}

TEST_F(GlimraParams, HighlightReductionRange) {
    block_.values[1] = 1.0;
    calcInternalFilterParams();
    EXPECT_EQ(highnoiseLevelReduce, 0.0f);
    block_.values[1] = 0.0;
    calcInternalFilterParams();
    EXPECT_EQ(highnoiseLevelReduce, 0.99f);
}

TEST_F(GlimraParams, NonFiniteValuesNeverReachTheEngine) {
    block_.values[0] = kNaN;
    block_.values[2] = kInf;
    block_.values[12] = -kInf;
    block_.values[19] = kNaN;
    calcInternalFilterParams();
    EXPECT_EQ(NRsimilarityRolloff, 60.0f);
    EXPECT_EQ(level0noiseLevel, 90.0f);
    EXPECT_EQ(lowThresholdingAmount, 4.0f);
    EXPECT_EQ(highThresholdingAmount, 10.0f);
}

TEST(EngineConstants, DerivedOnce) {
    EXPECT_EQ(invReconSimilarityRolloff, 1.0f / 200.0f);
    EXPECT_FLOAT_EQ(invReconSimilarityRolloff, 0.005f);
    EXPECT_EQ(invLumG, 1.0f / 0.587f);
    EXPECT_EQ(&lumR, &defaultLumR);
    EXPECT_EQ(&lumG, &defaultLumG);
    EXPECT_EQ(&lumB, &defaultLumB);
    EXPECT_EQ(blockSize, 32);
    EXPECT_EQ(inputRateA, 1);
    EXPECT_EQ(blockSizeAfterInputRateA, 32);
}

}  // namespace
