// Both plug-in modules loaded into the reference host: selectors, the
// parameter block, the start selector with and without the dialog, and whole
// runs over every supported mode.
#include <gtest/gtest.h>

#include <Carbon.h>

#include <algorithm>
#include <cstring>

#include "plugin/plugin_support.h"
#include "refhost/refhost.h"

using refhost::Descriptor;
using refhost::DescriptorEntry;
using refhost::Document;
using refhost::Host;
using refhost::HostOptions;
using refhost::Plugin;

namespace {
struct ProductDefaults {
    const char* product;
    uint8_t flags[9];
    double values[26];
    double highestValue19;  // where the derivation clamps value 19 ('Dbat')
};

const ProductDefaults kDefaults[] = {
    {"glimra",
     {1, 1, 0, 1, 0, 1, 0, 1, 0},
     {40, 0.2, 1, 1, 1, 1, 0.3, 0, 1, 1, 1, 1, 4, 1, 1, 1, 1, 255, 0, 10, 1, 0, 0, 0, 0, 0},
     2550},
    {"halvane",
     {1, 1, 0, 1, 0, 1, 0, 0, 1},
     {40, 0.2, 1, 1, 1, 1, 0.3, 0, 1, 1, 1, 1, 0.2, 1, 1, 1, 1, 255, 0, 0.2, 1, 0, 0, 0, 0, 0},
     1000},
};

uint32_t answerOk(const char*, void*) { return kHICommandOK; }
uint32_t answerCancel(const char*, void*) { return kHICommandCancel; }

}  // namespace

class ProductTest : public testing::TestWithParam<ProductDefaults> {
protected:
    void SetUp() override { CarbonStandInSetModalResponder(nullptr, nullptr); }
    std::string path() const { return modulePath(GetParam().product); }
};

TEST_P(ProductTest, ParametersSelectorFillsTheProductDefaults) {
    Plugin plugin(path(), true);
    Host host(Document(plugInModeRGBColor, 40, 40));
    ASSERT_EQ(plugin.call(host, filterSelectorParameters), noErr);
    const Block b = decode(host.parameterBytes());
    for (int j = 0; j < 9; ++j) EXPECT_EQ(b.flags[j], GetParam().flags[j]) << "flag " << j;
    for (int i = 0; i < 26; ++i) EXPECT_EQ(b.values[i], GetParam().values[i]) << "value " << i;
    EXPECT_EQ(host.handles().locked(), 0);
    EXPECT_TRUE(host.clean()) << host.leakReport();
}

TEST_P(ProductTest, EverySelectorIsAnsweredAndBalanced) {
    Plugin plugin(path(), true);
    Host host(Document(plugInModeRGBColor, 40, 40));
    for (int16 selector : {1, 2, 4, 5, 6, 42}) {
        host.beginSelector(selector);
        EXPECT_EQ(plugin.call(host, selector), noErr) << "selector " << selector;
        EXPECT_EQ(host.handles().locked(), 0) << "selector " << selector;
        EXPECT_EQ(host.buffers().live(), 0) << "selector " << selector;
    }
    EXPECT_EQ(plugin.call(host, filterSelectorAbout), noErr);
    EXPECT_TRUE(host.clean()) << host.leakReport();
}

TEST_P(ProductTest, SilentRunFiltersEveryPlaneCountAndDepth) {
    for (int16 mode : {plugInModeGrayScale, plugInModeRGBColor, plugInModeLabColor, plugInModeGray16,
                       plugInModeRGB48, plugInModeLab48, plugInModeRGB96, plugInModeGray32}) {
        Plugin plugin(path(), true);
        Document doc(mode, 64, 48);
        doc.fillPattern(7);
        Host host(doc);
        playSilently(host);
        const refhost::RunResult run = refhost::runFilter(plugin, host);
        EXPECT_EQ(run.result, noErr) << refhost::modeName(mode);
        EXPECT_NE(host.document(), doc) << refhost::modeName(mode) << " was not filtered";
        EXPECT_TRUE(host.alerts().empty()) << refhost::modeName(mode) << ": " << host.alerts()[0];
        EXPECT_TRUE(host.clean()) << refhost::modeName(mode) << host.leakReport();
    }
}

// A host without the big-document record has 16-bit rectangles only: a
// document beyond 32767 pixels is refused with an alert before anything is
// planned or fetched, one up to it is filtered.
struct SixteenBitCase {
    int32 width, height;
    bool refused;
};

class SixteenBitRectangles : public testing::TestWithParam<SixteenBitCase> {};

TEST_P(SixteenBitRectangles, RefuseADocumentTheyCannotDescribe) {
    const SixteenBitCase& c = GetParam();
    Plugin plugin(modulePath("halvane"), true);
    Document doc(plugInModeGrayScale, c.width, c.height);
    doc.fillPattern(4);
    HostOptions o;
    o.bigDocument = false;
    Host host(doc, o);
    playSilently(host);
    const refhost::RunResult run = refhost::runFilter(plugin, host);
    if (c.refused) {
        EXPECT_EQ(run.result, userCanceledErr);
        ASSERT_EQ(host.alerts().size(), 1u);
        EXPECT_EQ(host.alerts()[0].rfind("(Vexlor) This host passes no image wider or higher than 32767", 0), 0u)
            << host.alerts()[0];
        EXPECT_TRUE(host.advanceCalls().empty());
        EXPECT_GE(host.record().maxSpace, 0);
        EXPECT_TRUE(host.document() == doc);
    } else {
        EXPECT_EQ(run.result, noErr);
        EXPECT_TRUE(host.alerts().empty()) << host.alerts()[0];
        EXPECT_FALSE(host.document() == doc);
    }
    EXPECT_TRUE(host.clean()) << host.leakReport();
}

INSTANTIATE_TEST_SUITE_P(Sizes, SixteenBitRectangles,
                         testing::Values(SixteenBitCase{40000, 30, true}, SixteenBitCase{30, 33000, true},
                                         SixteenBitCase{32767, 30, false}));

// 32-bit linear light outside the effect: an all-zero selection leaves
// every sample as it was, values beyond 0..1 included.
TEST(ThirtyTwoBitSelection, AllZeroSelectionLeavesEverySampleAsItWas) {
    for (int16 mode : {plugInModeRGB96, plugInModeGray32}) {
        Plugin plugin(modulePath("halvane"), true);
        Document doc(mode, 64, 48);
        doc.fillPattern(9);
        doc.set(3, 4, 0, 1.75);
        doc.set(10, 20, 0, -0.25);
        doc.set(40, 30, 0, 4.0);
        HostOptions o;
        o.haveMask = true;
        Host host(doc, o);
        std::fill(host.mask().begin(), host.mask().end(), uint8_t(0));
        playSilently(host);
        ASSERT_EQ(refhost::runFilter(plugin, host).result, noErr) << refhost::modeName(mode);
        EXPECT_EQ(std::memcmp(host.document().data(), doc.data(), size_t(doc.rowBytes()) * doc.height()), 0)
            << refhost::modeName(mode) << " changed under an all-zero selection";
        EXPECT_TRUE(host.clean()) << host.leakReport();
    }
}

// Glimra's matte on a Lab document is a lightness: L holds the matte that
// an RGB document of the same samples gets in each of its planes, and a and
// b hold the neutral of the host's Lab encoding (128 at 8 bits, 16384 of
// 0..32768 at 16), so that the matte shows grey.  Without profiling, which
// measures Lab differently, nothing but the writer tells the two apart.
TEST(GlimraLab, TheMatteIsTheLightnessAndAAndBAreNeutral) {
    struct DepthCase {
        int16 lab, rgb;
        double neutral;
    };
    for (const DepthCase& c : {DepthCase{plugInModeLabColor, plugInModeRGBColor, 128},
                               DepthCase{plugInModeLab48, plugInModeRGB48, 16384}}) {
        Plugin plugin(modulePath("glimra"), true);
        Document lab(c.lab, 96, 64);
        lab.fillPattern(13);
        Document rgb(c.rgb, 96, 64);
        std::memcpy(rgb.data(), lab.data(), size_t(lab.rowBytes()) * lab.height());
        auto matte = [&](const Document& doc) {
            Host host(doc);
            host.registry() = settingsWithoutProfiling("glimra");
            playSilently(host);
            EXPECT_EQ(refhost::runFilter(plugin, host).result, noErr) << refhost::modeName(doc.imageMode());
            EXPECT_TRUE(host.clean()) << host.leakReport();
            return host.document();
        };
        const Document labMatte = matte(lab), rgbMatte = matte(rgb);
        int64_t wrongL = 0, wrongAB = 0, grey = 0;
        for (int32 y = 0; y < lab.height(); ++y)
            for (int32 x = 0; x < lab.width(); ++x) {
                wrongL += labMatte.get(x, y, 0) != rgbMatte.get(x, y, 0);
                wrongAB += labMatte.get(x, y, 1) != c.neutral || labMatte.get(x, y, 2) != c.neutral;
                grey += rgbMatte.get(x, y, 0) == rgbMatte.get(x, y, 1) && rgbMatte.get(x, y, 1) == rgbMatte.get(x, y, 2);
            }
        const std::string mode = refhost::modeName(c.lab);
        EXPECT_EQ(grey, int64_t(lab.width()) * lab.height()) << mode << ": the RGB matte is grey";
        EXPECT_EQ(wrongL, 0) << mode << ": pixels whose L is not the RGB matte";
        EXPECT_EQ(wrongAB, 0) << mode << ": pixels whose a or b is not " << c.neutral;
    }
}

TEST_P(ProductTest, SelectionIsFilteredAndNothingOutsideIt) {
    Plugin plugin(path(), true);
    Document doc(plugInModeRGBColor, 120, 90);
    doc.fillPattern(3);
    HostOptions o;
    o.filterRect = VRect{20, 30, 70, 100};
    Host host(doc, o);
    playSilently(host);
    ASSERT_EQ(refhost::runFilter(plugin, host).result, noErr);
    bool insideChanged = false;
    for (int32 y = 0; y < 90; ++y)
        for (int32 x = 0; x < 120; ++x) {
            const bool inside = y >= 20 && y < 70 && x >= 30 && x < 100;
            const bool same = std::memcmp(host.document().pixel(x, y), doc.pixel(x, y), 3) == 0;
            if (!inside) {
                ASSERT_TRUE(same) << x << "," << y;
            }
            insideChanged |= inside && !same;
        }
    EXPECT_TRUE(insideChanged);
}

TEST_P(ProductTest, CmykIsRefusedAfterThePlaneAlert) {
    Plugin plugin(path(), true);
    Document doc(plugInModeCMYKColor, 40, 40);
    doc.fillPattern(1);
    Host host(doc);
    playSilently(host);
    EXPECT_EQ(refhost::runFilter(plugin, host).result, userCanceledErr);
    ASSERT_EQ(host.alerts().size(), 1u);
    EXPECT_EQ(host.alerts()[0], "(Vexlor) Unexpected number of image planes.  Please contact support.");
    EXPECT_EQ(host.document(), doc);
    EXPECT_TRUE(host.clean()) << host.leakReport();
}

TEST_P(ProductTest, CancelEndsItsRunOnly) {
    Plugin plugin(path(), true);
    Document doc(plugInModeRGBColor, 64, 64);
    doc.fillPattern(4);
    {
        Host host(doc);
        playSilently(host);
        host.cancelAtAbortCall = 1;
        EXPECT_EQ(refhost::runFilter(plugin, host).result, userCanceledErr);
        EXPECT_EQ(host.document(), doc);
        EXPECT_TRUE(host.clean()) << host.leakReport();
    }
    Host again(doc);
    playSilently(again);
    EXPECT_EQ(refhost::runFilter(plugin, again).result, noErr);
    EXPECT_NE(again.document(), doc);
}

TEST_P(ProductTest, DialogOkFiltersAndCancelRestores) {
    Plugin plugin(path(), true);
    Document doc(plugInModeRGBColor, 48, 48);
    doc.fillPattern(5);
    {
        CarbonStandInSetModalResponder(answerOk, nullptr);
        Host host(doc);
        EXPECT_EQ(refhost::runFilter(plugin, host).result, noErr);
        EXPECT_NE(host.document(), doc);
    }
    CarbonStandInSetModalResponder(answerCancel, nullptr);
    Host host(doc);
    host.setScriptDescriptor({DescriptorEntry::Float(FourCC("brgH"), 12.5)}, plugInDialogDisplay);
    EXPECT_EQ(refhost::runFilter(plugin, host).result, userCanceledErr);
    EXPECT_EQ(host.document(), doc);
    // The script's value is dropped with the cancel.
    EXPECT_EQ(decode(host.parameterBytes()).values[0], 40);
    EXPECT_EQ(CarbonStandInLiveWindows(), 0);
    CarbonStandInSetModalResponder(nullptr, nullptr);
}

TEST_P(ProductTest, ScriptedValuesAreClampedAndRemembered) {
    Plugin plugin(path(), true);
    Document doc(plugInModeRGBColor, 48, 48);
    doc.fillPattern(6);
    Host host(doc);
    playSilently(host, {DescriptorEntry::Float(FourCC("Dbat"), 5000.0), DescriptorEntry::Float(FourCC("Dbas"), -3)});
    ASSERT_EQ(refhost::runFilter(plugin, host).result, noErr);
    const Block b = decode(host.parameterBytes());
    EXPECT_EQ(b.values[19], GetParam().highestValue19);
    EXPECT_EQ(b.values[18], 0);
    // The finish selector put them in the registry for the next run.
    Host next(doc);
    next.registry() = host.registry();
    playSilently(next);
    ASSERT_EQ(refhost::runFilter(plugin, next).result, noErr);
    EXPECT_EQ(decode(next.parameterBytes()).values[19], GetParam().highestValue19);
}

INSTANTIATE_TEST_SUITE_P(Products, ProductTest, testing::ValuesIn(kDefaults),
                         [](const testing::TestParamInfo<ProductDefaults>& info) {
                             return std::string(info.param.product);
                         });
