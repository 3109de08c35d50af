// Documents converted to the mode and depth handed to a plug-in.
#include <gtest/gtest.h>

#include "refhost/convert.h"

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

TEST(Convert, OtherFamiliesOnlyChangeDepth) {
    const Document lab = pattern(plugInModeLabColor);
    EXPECT_EQ(convertDocument(convertDocument(lab, plugInModeLabColor, 16), plugInModeLabColor, 8), lab);
    EXPECT_THROW(convertDocument(lab, plugInModeRGBColor, 8), std::invalid_argument);
    EXPECT_THROW(convertDocument(pattern(plugInModeRGBColor), plugInModeCMYKColor, 8), std::invalid_argument);
}
