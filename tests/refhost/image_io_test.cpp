// PNG and TIFF round trips, clear errors, and outputs that never replace a
// file with a partial one.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <png.h>
#define TIFF_DISABLE_DEPRECATED  // its int16/int32 would clash with the host interface's
#include <tiffio.h>

#include <vector>

#include "refhost/image_io.h"
#include "refhost/scratch_dir.h"

namespace {

using refhost::Document;
using refhost::ImageIoError;

using ImageIo = refhost_test::ScratchDir;

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
    EXPECT_NE(message(path("text.png")).find("neither a PNG, TIFF, PPM nor PGM"), std::string::npos);

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

// Layouts other programs write that the host's own writer does not.
TEST_F(ImageIo, PngWithAlphaOrPaletteReadsAsRgb) {
    const uint8_t rgba[2 * 4] = {10, 20, 30, 0, 40, 50, 60, 255};
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = 2;
    image.height = 1;
    image.format = PNG_FORMAT_RGBA;
    ASSERT_TRUE(png_image_write_to_file(&image, path("rgba.png").c_str(), 0, rgba, 0, nullptr));
    const Document a = refhost::readImage(path("rgba.png"));
    EXPECT_EQ(a.imageMode(), plugInModeRGBColor);
    EXPECT_EQ(a.get(0, 0, 2), 30) << "alpha is dropped, not mixed in";
    EXPECT_EQ(a.get(1, 0, 0), 40);

    const uint8_t indices[3] = {1, 0, 1};
    const png_color palette[2] = {{1, 2, 3}, {200, 100, 50}};
    png_image pal{};
    pal.version = PNG_IMAGE_VERSION;
    pal.width = 3;
    pal.height = 1;
    pal.format = PNG_FORMAT_RGB_COLORMAP;
    pal.colormap_entries = 2;
    ASSERT_TRUE(png_image_write_to_file(&pal, path("pal.png").c_str(), 0, indices, 0, palette));
    const Document b = refhost::readImage(path("pal.png"));
    EXPECT_EQ(b.imageMode(), plugInModeRGBColor);
    EXPECT_EQ(b.get(0, 0, 0), 200);
    EXPECT_EQ(b.get(1, 0, 2), 3);
}

TEST_F(ImageIo, TiffWithSeparatePlanesOrTiles) {
    const uint32_t w = 20, h = 18;
    {
        TIFF* t = TIFFOpen(path("planes.tif").c_str(), "w");
        ASSERT_NE(t, nullptr);
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, w);
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, h);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_SEPARATE);
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 4);
        std::vector<uint8_t> line(w);
        for (uint16_t s = 0; s < 3; ++s)
            for (uint32_t y = 0; y < h; ++y) {
                for (uint32_t x = 0; x < w; ++x) line[x] = uint8_t(x + 20 * y + 100 * s);
                ASSERT_GE(TIFFWriteScanline(t, line.data(), y, s), 0);
            }
        TIFFClose(t);
    }
    const Document planes = refhost::readImage(path("planes.tif"));
    EXPECT_EQ(planes.get(3, 5, 0), 3 + 100);
    EXPECT_EQ(planes.get(3, 5, 2), uint8_t(3 + 100 + 200));

    {
        TIFF* t = TIFFOpen(path("tiles.tif").c_str(), "w");
        ASSERT_NE(t, nullptr);
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, w);
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, h);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 16);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(t, TIFFTAG_TILEWIDTH, 16);
        TIFFSetField(t, TIFFTAG_TILELENGTH, 16);
        std::vector<uint16_t> tile(16 * 16);
        for (uint32_t ty = 0; ty < h; ty += 16)
            for (uint32_t tx = 0; tx < w; tx += 16) {
                for (uint32_t y = 0; y < 16; ++y)
                    for (uint32_t x = 0; x < 16; ++x) tile[y * 16 + x] = uint16_t(((tx + x) + 100 * (ty + y)) * 2);
                ASSERT_GE(TIFFWriteTile(t, tile.data(), tx, ty, 0, 0), 0);
            }
        TIFFClose(t);
    }
    const Document tiles = refhost::readImage(path("tiles.tif"));
    EXPECT_EQ(tiles.imageMode(), plugInModeGray16);
    // 65535 in the file is 32768 in the host: a sample s reads as s * 32768 / 65535, rounded.
    EXPECT_EQ(tiles.get(17, 17, 0), std::round((17 + 1700) * 2 * 32768.0 / 65535.0));
    EXPECT_EQ(tiles.get(2, 1, 0), std::round((2 + 100) * 2 * 32768.0 / 65535.0));
}

TEST_F(ImageIo, UnsupportedTiffSaysWhat) {
    TIFF* t = TIFFOpen(path("twelve.tif").c_str(), "w");
    ASSERT_NE(t, nullptr);
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, 2);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, 1);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 32);
    TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_UINT);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    uint32_t line[2] = {1, 2};
    TIFFWriteScanline(t, line, 0, 0);
    TIFFClose(t);
    try {
        refhost::readImage(path("twelve.tif"));
        FAIL() << "32-bit integer samples were accepted";
    } catch (const ImageIoError& e) {
        EXPECT_NE(std::string(e.what()).find("32-bit samples"), std::string::npos) << e.what();
    }
}

}  // namespace
