// The gamma and linear tables in host buffers, and the numeric helpers.
#include <cmath>
#include <limits>

#include "image/colorspace_luts.h"
#include "image/fl_image.h"
#include "image/host_import.h"
#include "support/host_fixture.h"

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

class ColorspaceLUTsTest : public HostFixture {
protected:
    void SetUp() override { makeHost(); }
};

TEST_F(ColorspaceLUTsTest, HolderKeepsBothTablesForItsLifetime) {
    {
        colorspaceConversionLUTs tables;
        ASSERT_TRUE(tables.ok());
        EXPECT_EQ(liveBuffers(), 2);
        EXPECT_EQ(host().buffers().liveBytes(), 16388 + 16392);
        EXPECT_EQ(kLUT2Entries, 4097);
        EXPECT_EQ(kLUT3Entries, 4098);

        EXPECT_EQ(cspacePtrLUT2[0], 0.0f);
        EXPECT_GT(cspacePtrLUT2[4096], 1.0f);  // x = 256, just past white
        EXPECT_LT(cspacePtrLUT2[4096], 1.01f);
        EXPECT_NEAR(cspacePtrLUT2[16 * 255], 1.0f, 1e-6f);
        EXPECT_EQ(cspacePtrLUT3[0], 0.0f);
        EXPECT_NEAR(cspacePtrLUT3[4096], 255.0f, 1e-4f);
        EXPECT_GT(cspacePtrLUT3[4097], cspacePtrLUT3[4096]);
        // The linear segments at the bottom of both curves.
        EXPECT_FLOAT_EQ(cspacePtrLUT2[16 * 10], 10.0f * 0.000303527f);
        EXPECT_FLOAT_EQ(cspacePtrLUT3[12], (12.0f / 4096.0f) * 3294.6f);
        // Every entry is a number and both curves rise.
        for (int i = 1; i < kLUT2Entries; ++i) ASSERT_GT(cspacePtrLUT2[i], cspacePtrLUT2[i - 1]) << i;
        for (int i = 1; i < kLUT3Entries; ++i) ASSERT_GT(cspacePtrLUT3[i], cspacePtrLUT3[i - 1]) << i;
        // The direct curves agree with the tables.
        float v = 128.0f;
        gamToLin(v);
        EXPECT_EQ(v, cspacePtrLUT2[16 * 128]);
        v = 0.5f;
        linToGam(v);
        EXPECT_EQ(v, cspacePtrLUT3[2048]);
        // And invert each other closely.
        linToGam(v = cspacePtrLUT2[16 * 200]);
        EXPECT_NEAR(v, 200.0f, 0.05f);
    }
    EXPECT_EQ(cspacePtrLUT2, nullptr);
    EXPECT_EQ(cspacePtrLUT3, nullptr);
    EXPECT_EQ(cspaceBufferID_LUT2, nullptr);
    EXPECT_EQ(cspaceBufferID_LUT3, nullptr);
}

// Entries of both tables, worked out in double precision from the curves:
// LUT2 entry i at x = i/16, (0.0037171266 x + 0.0521327)^2.4 above x =
// 10.0164, else 0.000303527 x; LUT3 entry i at x = i/4096, 269.025 x^0.41666666
// - 14.025 above x = 0.0031308, else 3294.6 x.  The tables are single
// precision: within 5e-7 of these.
struct TableEntry {
    bool gammaToLinear;  // LUT2, else LUT3
    int index;
    double value;
};

class TableEntries : public ColorspaceLUTsTest, public ::testing::WithParamInterface<TableEntry> {};

TEST_P(TableEntries, AreTheCurveAtTheirPoint) {
    colorspaceConversionLUTs tables;
    ASSERT_TRUE(tables.ok());
    const TableEntry& e = GetParam();
    const float got = e.gammaToLinear ? cspacePtrLUT2[e.index] : cspacePtrLUT3[e.index];
    EXPECT_NEAR(got, e.value, 5e-7 * e.value);
    // The direct curves give the same value.
    float v = e.gammaToLinear ? float(e.index) / 16.0f : float(e.index) / 4096.0f;
    if (e.gammaToLinear)
        gamToLin(v);
    else
        linToGam(v);
    EXPECT_NEAR(v, e.value, 5e-7 * e.value);
}

INSTANTIATE_TEST_SUITE_P(
    Points, TableEntries,
    ::testing::Values(TableEntry{true, 160, 0.00303527},          // x = 10: the straight part's last entry
                      TableEntry{true, 161, 0.0030534990310698},  // x = 10.0625: the power's first
                      TableEntry{true, 1000, 0.048935683258795},  // x = 62.5
                      TableEntry{true, 2048, 0.21586049104505},   // x = 128
                      TableEntry{true, 3000, 0.49990453606725},   // x = 187.5
                      TableEntry{true, 4080, 0.9999999592},       // x = 255
                      TableEntry{true, 4096, 1.0089442869363},    // x = 256
                      TableEntry{false, 12, 9.6521484375},        // x = 0.0029296875: straight
                      TableEntry{false, 13, 10.453553003945},     // x = 0.003173828125: the power
                      TableEntry{false, 100, 43.251438567103},
                      TableEntry{false, 1024, 136.96017766861},   // x = 0.25
                      TableEntry{false, 2048, 187.51603160969},   // x = 0.5
                      TableEntry{false, 3500, 237.93852797625},
                      TableEntry{false, 4096, 255.0},             // x = 1
                      TableEntry{false, 4097, 255.02736468928}));  // one past 1, for the interpolation

TEST_F(ColorspaceLUTsTest, InterpolationAtOneUsesTheLastEntryAlone) {
    colorspaceConversionLUTs tables;
    ASSERT_TRUE(tables.ok());
    EXPECT_EQ(linearToGammaLUT3(1.0f), cspacePtrLUT3[4096]);
    EXPECT_EQ(linearToGammaLUT3(1.7f), cspacePtrLUT3[4096]);
    EXPECT_EQ(linearToGammaLUT3(-0.2f), 0.0f);
    EXPECT_EQ(linearToGammaLUT3(std::numeric_limits<float>::quiet_NaN()), 0.0f);
    const float half = (2048.5f / 4096.0f);
    EXPECT_FLOAT_EQ(linearToGammaLUT3(half), 0.5f * cspacePtrLUT3[2048] + 0.5f * cspacePtrLUT3[2049]);
}

// A refused table leaves neither pointer set and nothing held; the run then
// stops with the memory alert instead of reading a null table.
class RefusedTable : public ColorspaceLUTsTest, public ::testing::WithParamInterface<int> {};

TEST_P(RefusedTable, LeavesNoHalfMadePair) {
    refuseAllocation(GetParam());
    colorspaceConversionLUTs tables;
    EXPECT_FALSE(tables.ok());
    EXPECT_EQ(cspacePtrLUT2, nullptr);
    EXPECT_EQ(cspacePtrLUT3, nullptr);
    EXPECT_EQ(liveBuffers(), 0);
    EXPECT_TRUE(alerts().empty());

    EXPECT_TRUE(handleMissingColorspaceLUTs());
    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_EQ(alerts()[0], kOutOfMemoryAlert);
    EXPECT_EQ(result(), userCanceledErr);

    // A 32-bit import refuses instead of reading the missing table.
    host().clearAlerts();
    fl_image img(2, 1);
    ASSERT_NE(img.data, nullptr);
    float samples[2 * 3] = {0.5f, 0.5f, 0.5f, 1.0f, 1.0f, 1.0f};
    EXPECT_EQ(copyIntoFlimage32bit(img, samples, sizeof samples, 0, 0, 2, 1), memFullErr);
    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_EQ(alerts()[0], kOutOfMemoryAlert);
}

INSTANTIATE_TEST_SUITE_P(FirstOrSecond, RefusedTable, ::testing::Values(1, 2));

TEST_F(ColorspaceLUTsTest, CreatingATableTwiceDoesNotLeakTheFirst) {
    {
        colorspaceConversionLUTs tables;
        ASSERT_TRUE(tables.ok());
        createBufferLUT2(gFilterRecord);
        ASSERT_EQ(alerts().size(), 1u);
        EXPECT_EQ(alerts()[0], "(Vexlor)Internal error: cspaceBufferID_LUT2 already created.");
        createBufferLUT3(gFilterRecord);
        EXPECT_EQ(liveBuffers(), 2);
        updateColorspaceLUTs();
        EXPECT_NEAR(cspacePtrLUT3[4096], 255.0f, 1e-4f);
    }
    EXPECT_EQ(liveBuffers(), 0);
}

TEST_F(ColorspaceLUTsTest, DeleteTwiceIsHarmless) {
    ASSERT_TRUE(createColorspaceLUTs());
    deleteColorspaceLUTs();
    deleteColorspaceLUTs();
    updateColorspaceLUTs();  // no table: nothing to fill
    EXPECT_EQ(liveBuffers(), 0);
}

struct ClampCase {
    double v, high, low, want;
};

class ClampRange : public ::testing::TestWithParam<ClampCase> {};

TEST_P(ClampRange, HighBoundFirstThenTinyFlushedToZero) {
    const ClampCase& c = GetParam();
    double v = c.v;
    clamp(v, c.high, c.low);
    EXPECT_EQ(v, c.want);
}

INSTANTIATE_TEST_SUITE_P(Cases, ClampRange,
                         ::testing::Values(ClampCase{0.001, 1.0, 0.01, 0.01}, ClampCase{-5, 1.0, 0.01, 0.01},
                                           ClampCase{0.5, 1.0, 0.01, 0.5}, ClampCase{3, 1.0, 0.01, 1.0},
                                           ClampCase{0, 2550.0, 0.1, 0.1}, ClampCase{5000, 2550.0, 0.1, 2550.0},
                                           ClampCase{5e-7, 1000, -1000, 0}, ClampCase{-5e-7, 1000, -1000, 0},
                                           ClampCase{kInf, 1000, -1000, 1000}, ClampCase{-kInf, 1000, -1000, -1000},
                                           // crossed bounds: the low bound wins, as the order says
                                           ClampCase{5, 1, 2, 2}));

TEST(Clamp, SymmetricAndFlushForms) {
    double v = 5e-7;
    clamp(v, 1.0);
    EXPECT_EQ(v, 0.0);
    v = -7;
    clamp(v, 2.0);
    EXPECT_EQ(v, -2.0);
    v = 7;
    clamp(v, 2.0);
    EXPECT_EQ(v, 2.0);
    v = -9e-7;
    clamp(v);
    EXPECT_EQ(v, 0.0);
    v = 2e-6;
    clamp(v);
    EXPECT_EQ(v, 2e-6);
}

struct WrapCase {
    double v, low, high, want;
};

class WrapValue : public ::testing::TestWithParam<WrapCase> {};

TEST_P(WrapValue, EndsInRangeOrUnchanged) {
    const WrapCase& c = GetParam();
    double v = c.v;
    wrapValue(v, c.low, c.high);
    if (std::isnan(c.want))
        EXPECT_TRUE(std::isnan(v));
    else
        EXPECT_DOUBLE_EQ(v, c.want);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WrapValue,
    ::testing::Values(WrapCase{370, 0, 360, 10}, WrapCase{-10, 0, 360, 350}, WrapCase{720, 0, 360, 360},
                      WrapCase{-720, 0, 360, 0}, WrapCase{180, 0, 360, 180},
                      // period is the whole part of the range: 0.5 .. 3.7 steps by 3
                      WrapCase{5, 0.5, 3.7, 2}, WrapCase{5, 2, 2, 5}, WrapCase{5, 2, 2.5, 5},
                      // far away: still ends, at the value the steps would reach
                      WrapCase{360.0 * 1e9 + 10, 0, 360, 10}, WrapCase{-(360.0 * 1e9) - 10, 0, 360, 350},
                      // (stepping down stops at the high end when it lands on it)
                      WrapCase{1e300, 0, 360, std::fmod(1e300, 360.0) == 0 ? 360.0 : std::fmod(1e300, 360.0)},
                      // nothing to do, and no endless loop
                      WrapCase{kInf, 0, 360, kInf}, WrapCase{-kInf, 0, 360, -kInf}, WrapCase{kNaN, 0, 360, kNaN},
                      WrapCase{5, -kInf, kInf, 5},
                      // a reversed range: up past low, then down past high
                      WrapCase{5, 10, 0, -5}));

TEST(TSpow, KeepsTheSign) {
    EXPECT_DOUBLE_EQ(TSpow(4.0, 0.5), 2.0);
    EXPECT_DOUBLE_EQ(TSpow(-4.0, 0.5), -2.0);
    EXPECT_DOUBLE_EQ(TSpow(-8.0, 1.0 / 3.0), -2.0);
    EXPECT_DOUBLE_EQ(TSpow(0.0, 2.0), 0.0);
    EXPECT_FLOAT_EQ(TSpowf(9.0f, 0.5f), 3.0f);
    EXPECT_FLOAT_EQ(TSpowf(-9.0f, 0.5f), -3.0f);
}

}  // namespace
