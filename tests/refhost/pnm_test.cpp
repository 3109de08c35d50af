// PPM and PGM files: round trips, 16-bit samples on the same scale as the
// PNG path, headers as other programs write them, and clear errors that
// leave an existing file alone.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <png.h>

#include "refhost/image_io.h"
#include "refhost/scratch_dir.h"

namespace {

using refhost::Document;
using refhost::ImageIoError;

class PnmFiles : public refhost_test::ScratchDir {
protected:
    std::string readError(const std::string& name) const {
        try {
            refhost::readImage(path(name));
        } catch (const ImageIoError& e) {
            return e.what();
        }
        return "no error";
    }
};

struct PnmCase {
    int16 mode;
    const char* name;
};

class PnmRoundTrip : public PnmFiles, public ::testing::WithParamInterface<PnmCase> {};

TEST_P(PnmRoundTrip, ReadsBackWhatItWrote) {
    Document doc(GetParam().mode, 9, 4);
    doc.fillPattern(5);
    doc.set(0, 0, 0, doc.depth() == 8 ? 255 : 32768);  // the top of the scale
    doc.set(1, 0, 0, 0);
    const std::string file = path(GetParam().name);
    refhost::writeImage(doc, file);
    const Document back = refhost::readImage(file);
    EXPECT_EQ(back.imageMode(), doc.imageMode());
    EXPECT_TRUE(back == doc) << "samples changed in the round trip";
    EXPECT_EQ(filesIn(), 1) << "no temporary file is left behind";
}

INSTANTIATE_TEST_SUITE_P(Layouts, PnmRoundTrip,
                         ::testing::Values(PnmCase{plugInModeGrayScale, "grey.pgm"},
                                           PnmCase{plugInModeRGBColor, "rgb.ppm"},
                                           PnmCase{plugInModeGray16, "grey16.PGM"},
                                           PnmCase{plugInModeRGB48, "rgb48.Ppm"}),
                         [](const ::testing::TestParamInfo<PnmCase>& i) { return refhost::modeName(i.param.mode); });

// Every 16-bit file value, as PGM and as PNG: both readers give the host the
// same samples, and writing them back gives the same file values.
TEST_F(PnmFiles, SixteenBitSamplesScaleAsThePngPathDoes) {
    const int w = 256, h = 256;
    std::string pgm = "P5\n256 256\n65535\n";
    std::vector<std::vector<png_byte>> rows(h, std::vector<png_byte>(size_t(2 * w)));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int v = y * w + x;
            rows[size_t(y)][size_t(2 * x)] = png_byte(v >> 8);
            rows[size_t(y)][size_t(2 * x + 1)] = png_byte(v & 0xFF);
            pgm += char(v >> 8);
            pgm += char(v & 0xFF);
        }
    put("all.pgm", pgm);
    {
        FILE* f = std::fopen(path("all.png").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        if (setjmp(png_jmpbuf(png))) {
            std::fclose(f);
            FAIL() << "libpng could not write the reference PNG";
        }
        png_init_io(png, f);
        png_set_IHDR(png, info, w, h, 16, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (auto& r : rows) png_write_row(png, r.data());
        png_write_end(png, nullptr);
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
    }
    const Document fromPgm = refhost::readImage(path("all.pgm"));
    const Document fromPng = refhost::readImage(path("all.png"));
    ASSERT_EQ(fromPgm.imageMode(), plugInModeGray16);
    EXPECT_TRUE(fromPgm == fromPng);
    EXPECT_EQ(fromPgm.get(0, 0, 0), 0);
    EXPECT_EQ(fromPgm.get(255, 255, 0), 32768);
    EXPECT_EQ(fromPgm.get(255, 127, 0), 16384) << "32767 is nearer 16384 than 16383";

    refhost::writeImage(fromPgm, path("back.pgm"));
    refhost::writeImage(fromPng, path("back.png"));
    const Document a = refhost::readImage(path("back.pgm")), b = refhost::readImage(path("back.png"));
    EXPECT_TRUE(a == b && a == fromPgm);
}

// Comments and any blanks between the header's fields; the single blank
// after maxval belongs to the header even when it looks like a sample.
TEST_F(PnmFiles, HeadersWithCommentsAndOddBlanks) {
    put("c.ppm", std::string("P6 # made elsewhere\r\n# size:\n2\t1\n#max\n255\n") + "\x0a\x20\x09" + "abc");
    const Document d = refhost::readImage(path("c.ppm"));
    ASSERT_EQ(d.imageMode(), plugInModeRGBColor);
    ASSERT_EQ(d.width(), 2);
    ASSERT_EQ(d.height(), 1);
    EXPECT_EQ(d.get(0, 0, 0), 0x0a);
    EXPECT_EQ(d.get(0, 0, 1), 0x20);
    EXPECT_EQ(d.get(0, 0, 2), 0x09);
    EXPECT_EQ(d.get(1, 0, 2), 'c');
}

struct BadFile {
    const char* name;
    const char* bytes;
    size_t size;
    const char* why;
};

class PnmBadFiles : public PnmFiles, public ::testing::WithParamInterface<BadFile> {};

TEST_P(PnmBadFiles, AreRefusedWithTheReason) {
    put(GetParam().name, std::string(GetParam().bytes, GetParam().size));
    const std::string e = readError(GetParam().name);
    EXPECT_NE(e.find(GetParam().name), std::string::npos) << e;
    EXPECT_NE(e.find(GetParam().why), std::string::npos) << e;
}

#define BYTES(s) s, sizeof(s) - 1
INSTANTIATE_TEST_SUITE_P(
    Cases, PnmBadFiles,
    ::testing::Values(BadFile{"short.ppm", BYTES("P6\n4 4\n255\nabc"), "ends after 3 of its 48 sample bytes"},
                      BadFile{"short16.pgm", BYTES("P5\n2 2\n65535\n\1\2\3\4\5"), "ends after 5 of its 8"},
                      BadFile{"maxval.pgm", BYTES("P5\n2 2\n1023\n\0\0\0\0\0\0\0\0"), "maxval 1023"},
                      BadFile{"zero.ppm", BYTES("P6\n0 4\n255\n"), "0 x 4 pixels"},
                      BadFile{"huge.pgm", BYTES("P5\n100000 100000\n65535\n"), "ends after 0 of its 20000000000 sample bytes"},
                      BadFile{"overflow.pgm", BYTES("P5\n99999999999 1\n255\n"), "damaged PGM header"},
                      BadFile{"letters.ppm", BYTES("P6\nwide 4\n255\n"), "damaged PPM header"},
                      BadFile{"noblank.ppm", BYTES("P6\n1 1\n255"), "damaged PPM header"},
                      BadFile{"ascii.ppm", BYTES("P3\n1 1\n255\n1 2 3\n"), "neither a PNG, TIFF, PPM nor PGM"}),
    [](const ::testing::TestParamInfo<BadFile>& i) {
        std::string n = i.param.name;
        return n.substr(0, n.find('.'));
    });
#undef BYTES

TEST_F(PnmFiles, AFailedWriteSaysWhyAndLeavesTheOldFileAlone) {
    Document rgb(plugInModeRGBColor, 4, 4);
    rgb.fillPattern();
    const std::string file = path("out.ppm");
    refhost::writeImage(rgb, file);
    const std::string before = slurp(file);
    auto writeError = [&](const Document& d, const std::string& target) {
        try {
            refhost::writeImage(d, target);
        } catch (const ImageIoError& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    Document grey(plugInModeGrayScale, 4, 4);
    EXPECT_NE(writeError(grey, file).find("write grey images as .pgm"), std::string::npos);
    EXPECT_NE(writeError(rgb, path("out.pgm")).find("write RGB images as .ppm"), std::string::npos);
    EXPECT_NE(writeError(Document(plugInModeRGB96, 4, 4), file).find("8 or 16 bits"), std::string::npos);
    EXPECT_NE(writeError(Document(plugInModeCMYKColor, 4, 4), file).find("holds RGB images, not CMYK"),
              std::string::npos);
    EXPECT_EQ(slurp(file), before);
    EXPECT_EQ(filesIn(), 1);
}

}  // namespace
