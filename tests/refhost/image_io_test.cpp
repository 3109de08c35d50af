// PNG and TIFF round trips, clear errors, and outputs that never replace a
// file with a partial one.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "refhost/image_io.h"

namespace {

using refhost::Document;
using refhost::ImageIoError;

class ImageIo : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/refhost-io-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    static std::string slurp(const std::string& p) {
        std::ifstream f(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    int filesIn() const {
        int n = 0;
        for (const std::string& s : {std::string("ls -A '") + dir_ + "' | wc -l"}) {
            FILE* p = popen(s.c_str(), "r");
            if (p && std::fscanf(p, "%d", &n) != 1) n = -1;
            if (p) pclose(p);
        }
        return n;
    }
    std::string dir_;
};

struct RoundTrip {
    int16 mode;
    const char* extension;
};

class ImageIoRoundTrip : public ImageIo, public ::testing::WithParamInterface<RoundTrip> {};

TEST_P(ImageIoRoundTrip, ReadsBackWhatItWrote) {
    Document doc(GetParam().mode, 7, 5);
    doc.fillPattern(3);
    doc.set(0, 0, 0, doc.depth() == 8 ? 255 : doc.depth() == 16 ? 32768 : 1.0);  // the top of the scale
    const std::string file = path(std::string("img.") + GetParam().extension);
    refhost::writeImage(doc, file);
    const Document back = refhost::readImage(file);
    EXPECT_EQ(back.imageMode(), doc.imageMode());
    EXPECT_TRUE(back == doc) << "samples changed in the round trip";
    EXPECT_EQ(filesIn(), 1) << "no temporary file is left behind";
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ImageIoRoundTrip,
    ::testing::Values(RoundTrip{plugInModeGrayScale, "png"}, RoundTrip{plugInModeRGBColor, "png"},
                      RoundTrip{plugInModeGray16, "png"}, RoundTrip{plugInModeRGB48, "PNG"},
                      RoundTrip{plugInModeGrayScale, "tif"}, RoundTrip{plugInModeRGBColor, "tiff"},
                      RoundTrip{plugInModeRGB48, "tif"}, RoundTrip{plugInModeGray32, "tif"},
                      RoundTrip{plugInModeRGB96, "tif"}, RoundTrip{plugInModeCMYKColor, "tif"},
                      RoundTrip{plugInModeCMYK64, "tif"}, RoundTrip{plugInModeLabColor, "tif"},
                      RoundTrip{plugInModeLab48, "tif"}),
    [](const ::testing::TestParamInfo<RoundTrip>& i) {
        return refhost::modeName(i.param.mode) + "_" + (i.param.extension[0] == 'p' || i.param.extension[0] == 'P' ? "png" : "tiff");
    });

TEST_F(ImageIo, SixteenBitFileSamplesMapToTheHostScale) {
    Document doc(plugInModeGray16, 3, 1);
    doc.set(0, 0, 0, 0);
    doc.set(1, 0, 0, 16384);
    doc.set(2, 0, 0, 32768);
    refhost::writeImage(doc, path("g.png"));
    const std::string bytes = slurp(path("g.png"));
    ASSERT_GT(bytes.size(), 8u);
    const Document back = refhost::readImage(path("g.png"));
    EXPECT_EQ(back.get(1, 0, 0), 16384);
    EXPECT_EQ(back.get(2, 0, 0), 32768);
}

TEST_F(ImageIo, ErrorsNameTheFileAndTheReason) {
    auto message = [](const std::string& p) {
        try {
            refhost::readImage(p);
        } catch (const ImageIoError& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    const std::string missing = path("missing.png");
    EXPECT_NE(message(missing).find("missing.png"), std::string::npos);
    EXPECT_NE(message(missing).find("cannot open"), std::string::npos);

    std::ofstream(path("text.png")) << "hello, not an image";
    EXPECT_NE(message(path("text.png")).find("neither a PNG nor a TIFF"), std::string::npos);

    // A PNG cut short after its header.
    Document doc(plugInModeRGBColor, 64, 64);
    doc.fillPattern();
    refhost::writeImage(doc, path("whole.png"));
    const std::string whole = slurp(path("whole.png"));
    std::ofstream(path("cut.png"), std::ios::binary) << whole.substr(0, whole.size() / 2);
    EXPECT_NE(message(path("cut.png")).find("cut.png"), std::string::npos);
    EXPECT_EQ(message(path("cut.png")).find("no error"), std::string::npos);
}

TEST_F(ImageIo, AFailedWriteLeavesTheOldFileAlone) {
    Document rgb(plugInModeRGBColor, 4, 4);
    rgb.fillPattern();
    const std::string file = path("out.png");
    refhost::writeImage(rgb, file);
    const std::string before = slurp(file);
    Document deep(plugInModeRGB96, 4, 4);
    EXPECT_THROW(refhost::writeImage(deep, file), ImageIoError) << "PNG cannot hold float samples";
    Document cmyk(plugInModeCMYKColor, 4, 4);
    EXPECT_THROW(refhost::writeImage(cmyk, file), ImageIoError);
    EXPECT_THROW(refhost::writeImage(rgb, path("out.bmp")), ImageIoError);
    EXPECT_EQ(slurp(file), before);
    EXPECT_EQ(filesIn(), 1);
}

}  // namespace
