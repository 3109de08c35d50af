// Documents converted to the mode and depth handed to a plug-in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "refhost/convert.h"
#include "refhost/refhost.h"

using refhost::Document;
using refhost::convertDocument;

namespace {
Document pattern(int16 mode) {
    Document d(mode, 16, 16);
    d.fillPattern(5);
    return d;
}
}  // namespace

class DepthRoundTrip : public testing::TestWithParam<int32> {};

TEST_P(DepthRoundTrip, EightBitSamplesComeBackUnchanged) {
    const Document rgb = pattern(plugInModeRGBColor);
    const Document deep = convertDocument(rgb, plugInModeRGBColor, GetParam());
    EXPECT_EQ(deep.depth(), GetParam());
    EXPECT_EQ(convertDocument(deep, plugInModeRGBColor, 8), rgb);
}
INSTANTIATE_TEST_SUITE_P(Depths, DepthRoundTrip, testing::Values(8, 16, 32));

TEST(Convert, ScalesAndLinearLight) {
    Document grey(plugInModeGrayScale, 1, 1);
    grey.set(0, 0, 0, 255);
    EXPECT_EQ(convertDocument(grey, plugInModeGrayScale, 16).get(0, 0, 0), 32768);
    grey.set(0, 0, 0, 188);  // sRGB 188/255 is about half the light
    EXPECT_NEAR(convertDocument(grey, plugInModeGrayScale, 32).get(0, 0, 0), 0.5, 0.01);
}

TEST(Convert, GreyIsTheLumaAndRgbRepeatsIt) {
    Document rgb(plugInModeRGBColor, 1, 1);
    rgb.set(0, 0, 0, 255);
    EXPECT_EQ(convertDocument(rgb, plugInModeGrayScale, 8).get(0, 0, 0), 76);  // 0.299 x 255
    const Document grey = convertDocument(pattern(plugInModeGrayScale), plugInModeRGBColor, 8);
    EXPECT_EQ(grey.get(3, 4, 0), grey.get(3, 4, 2));
}

// The host's Lab: 8 bits L x 2.55, a and b + 128; 16 bits L x 327.68, a
// and b x 128 + 16384.
TEST(Convert, LabChangesDepthByItsEncodings) {
    const Document lab = pattern(plugInModeLabColor);
    EXPECT_EQ(convertDocument(convertDocument(lab, plugInModeLabColor, 16), plugInModeLabColor, 8), lab);
    struct Sample {
        int eight, sixteen;  // L, then a or b
    };
    const Sample lightness[] = {{0, 0}, {255, 32768}, {51, 6554}};                   // 0, 100 and 20 units
    const Sample colour[] = {{128, 16384}, {0, 0}, {255, 32640}, {100, 12800}};      // 0, -128, 127, -28
    Document eight(plugInModeLabColor, 4, 1);
    for (int32 x = 0; x < 4; ++x) {
        eight.set(x, 0, 0, lightness[std::min(x, 2)].eight);
        eight.set(x, 0, 1, colour[x].eight);
        eight.set(x, 0, 2, colour[3 - x].eight);
    }
    const Document sixteen = convertDocument(eight, plugInModeLabColor, 16);
    for (int32 x = 0; x < 4; ++x) {
        EXPECT_EQ(sixteen.get(x, 0, 0), lightness[std::min(x, 2)].sixteen) << x;
        EXPECT_EQ(sixteen.get(x, 0, 1), colour[x].sixteen) << x;
        EXPECT_EQ(sixteen.get(x, 0, 2), colour[3 - x].sixteen) << x;
    }
    EXPECT_EQ(convertDocument(sixteen, plugInModeLabColor, 8), eight);
}

TEST(Convert, CmykOnlyChangesDepth) {
    const Document cmyk = pattern(plugInModeCMYKColor);
    EXPECT_EQ(convertDocument(convertDocument(cmyk, plugInModeCMYKColor, 16), plugInModeCMYKColor, 8), cmyk);
    EXPECT_THROW(convertDocument(cmyk, plugInModeLabColor, 8), std::invalid_argument);
    EXPECT_THROW(convertDocument(pattern(plugInModeLabColor), plugInModeCMYKColor, 8), std::invalid_argument);
    EXPECT_THROW(convertDocument(pattern(plugInModeRGBColor), plugInModeCMYKColor, 8), std::invalid_argument);
}

// Lab as the screen shows it: the D50 Lab of sRGB colours (Bradford-adapted,
// as colour calculators give them), stored as the host's 8-bit Lab (L x
// 2.55, a and b + 128, rounded), come back as those sRGB bytes to within
// what the 8-bit storage loses: half a unit of a or b moves a channel by up
// to 4.  (Of a saturated green that loss alone lifts the red channel to 10:
// no such colour here.)
struct LabCase {
    const char* name;
    double L, a, b;
    int red, green, blue;
    int tolerance;  // greys lose only the storage of L
};
class LabOnScreen : public testing::TestWithParam<LabCase> {};

TEST_P(LabOnScreen, ShowsTheSrgbColour) {
    const LabCase& c = GetParam();
    refhost::DisplayCall call{};
    call.srcRect = VRect{0, 0, 1, 1};
    call.imageMode = plugInModeLabColor;
    call.planes = 3;
    call.pixels = {uint8_t(std::lround(c.L * 2.55)), uint8_t(std::lround(c.a + 128)),
                   uint8_t(std::lround(c.b + 128))};
    const Document shown = refhost::displayCallImage(call);
    EXPECT_NEAR(shown.get(0, 0, 0), c.red, c.tolerance);
    EXPECT_NEAR(shown.get(0, 0, 1), c.green, c.tolerance);
    EXPECT_NEAR(shown.get(0, 0, 2), c.blue, c.tolerance);
}

INSTANTIATE_TEST_SUITE_P(Cases, LabOnScreen,
                         testing::Values(LabCase{"Black", 0, 0, 0, 0, 0, 0, 1},
                                         LabCase{"White", 100, 0, 0, 255, 255, 255, 1},
                                         LabCase{"L50", 50, 0, 0, 119, 119, 119, 1},
                                         LabCase{"Grey128", 53.585, 0, 0, 128, 128, 128, 1},
                                         LabCase{"Red", 54.29, 80.81, 69.89, 255, 0, 0, 4},
                                         LabCase{"Blue", 29.57, 68.30, -112.03, 0, 0, 255, 4},
                                         LabCase{"Orange", 54.22, 38.20, 46.25, 200, 100, 50, 4},
                                         LabCase{"SkyBlue", 58.11, -16.71, -34.72, 50, 150, 200, 4},
                                         LabCase{"LeafGreen", 72.90, -45.82, 40.27, 100, 200, 100, 4}),
                         [](const testing::TestParamInfo<LabCase>& i) { return std::string(i.param.name); });
