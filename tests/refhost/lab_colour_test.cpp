// The colours of Lab documents: sRGB, grey and embedded ICC profiles into the
// host's Lab (D50) and back, in documents and in files.  The expected colours
// come from the colorimetry worked out here: an RGB space's matrix from its
// primaries and white, adapted to D50 by Bradford, its tone curve, and CIE
// Lab of D50.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <png.h>
#define TIFF_DISABLE_DEPRECATED  // its int16/int32 would clash with the host interface's
#include <tiffio.h>

#include "refhost/convert.h"
#include "refhost/icc_profiles.h"
#include "refhost/image_io.h"
#include "refhost/scratch_dir.h"

namespace {

using refhost::convertDocument;
using refhost::Document;
using refhost::FileColours;
using refhost::ImageIoError;
using refhost_test::greyProfile;
using refhost_test::inputOnlyProfile;
using refhost_test::kGreyGamma;
using refhost_test::wideGamutProfile;

// ---------------------------------------------------------------------------
// The colorimetry of the expected values.

using Vec = std::array<double, 3>;
using Mat = std::array<Vec, 3>;

Vec times(const Mat& m, const Vec& v) {
    Vec r{};
    for (int i = 0; i < 3; ++i) r[i] = m[i][0] * v[0] + m[i][1] * v[1] + m[i][2] * v[2];
    return r;
}

Mat product(const Mat& a, const Mat& b) {
    Mat r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
    return r;
}

Mat inverse(const Mat& m) {
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    Mat r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const int a = (j + 1) % 3, b = (j + 2) % 3, c = (i + 1) % 3, d = (i + 2) % 3;
            r[i][j] = (m[a][c] * m[b][d] - m[a][d] * m[b][c]) / det;
        }
    return r;
}

Mat diagonal(const Vec& v) { return Mat{Vec{v[0], 0, 0}, Vec{0, v[1], 0}, Vec{0, 0, v[2]}}; }
Vec xyzOfChromaticity(double x, double y) { return Vec{x / y, 1.0, (1 - x - y) / y}; }

const Vec kD50 = {0.9642, 1.0, 0.8249};  // the ICC's illuminant, the host's Lab white

// An RGB space: primaries and white as CIE xy, and a tone curve.
struct RgbSpace {
    double red[2], green[2], blue[2], white[2];
    double gamma;  // 0: sRGB's curve
};
const RgbSpace kSrgb = {{0.64, 0.33}, {0.30, 0.60}, {0.15, 0.06}, {0.3127, 0.3290}, 0};
// The wide gamut of refhost_test::wideGamutProfile.
const RgbSpace kWide = {{0.64, 0.33}, {0.21, 0.71}, {0.15, 0.06}, {0.3127, 0.3290}, 2.2};

// Linear RGB to XYZ under D50: the primaries scaled to make the white, then
// Bradford's cone response from the space's white to D50.  quantised: as an
// ICC file stores the matrix, in steps of 1/65536.
Mat rgbToD50(const RgbSpace& s, bool quantised) {
    const Vec r = xyzOfChromaticity(s.red[0], s.red[1]), g = xyzOfChromaticity(s.green[0], s.green[1]),
              b = xyzOfChromaticity(s.blue[0], s.blue[1]), w = xyzOfChromaticity(s.white[0], s.white[1]);
    const Mat primaries = {Vec{r[0], g[0], b[0]}, Vec{r[1], g[1], b[1]}, Vec{r[2], g[2], b[2]}};
    const Mat toXyz = product(primaries, diagonal(times(inverse(primaries), w)));
    const Mat bradford = {Vec{0.8951, 0.2664, -0.1614}, Vec{-0.7502, 1.7135, 0.0367}, Vec{0.0389, -0.0685, 1.0296}};
    const Vec from = times(bradford, w), to = times(bradford, kD50);
    const Mat adapt = product(inverse(bradford), product(diagonal(Vec{to[0] / from[0], to[1] / from[1], to[2] / from[2]}), bradford));
    Mat m = product(adapt, toXyz);
    if (quantised)
        for (Vec& row : m)
            for (double& v : row) v = std::round(v * 65536) / 65536;
    return m;
}

double toLinear(double v, double gamma) {
    if (gamma > 0) return std::pow(v, gamma);
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}
double fromLinear(double v, double gamma) {
    v = std::min(1.0, std::max(0.0, v));
    if (gamma > 0) return std::pow(v, 1 / gamma);
    return v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
}

const double kEpsilon = 216.0 / 24389.0, kKappa = 24389.0 / 27.0;

Vec labOfXyz(const Vec& xyz) {
    double f[3];
    for (int i = 0; i < 3; ++i) {
        const double t = xyz[i] / kD50[i];
        f[i] = t > kEpsilon ? std::cbrt(t) : (kKappa * t + 16) / 116;
    }
    return Vec{116 * f[1] - 16, 500 * (f[0] - f[1]), 200 * (f[1] - f[2])};
}

Vec xyzOfLab(const Vec& lab) {
    const double fy = (lab[0] + 16) / 116, f[3] = {fy + lab[1] / 500, fy, fy - lab[2] / 200};
    Vec xyz{};
    for (int i = 0; i < 3; ++i) {
        const double t = f[i] * f[i] * f[i];
        xyz[i] = kD50[i] * (t > kEpsilon ? t : (116 * f[i] - 16) / kKappa);
    }
    return xyz;
}

// Device values 0..1 of the space <-> Lab.  gamma 1 with no curve: linear.
Vec labOfRgb(const RgbSpace& s, const Vec& rgb, bool quantised = false) {
    const Vec linear = {toLinear(rgb[0], s.gamma), toLinear(rgb[1], s.gamma), toLinear(rgb[2], s.gamma)};
    return labOfXyz(times(rgbToD50(s, quantised), linear));
}
Vec rgbOfLab(const RgbSpace& s, const Vec& lab) {
    const Vec linear = times(inverse(rgbToD50(s, false)), xyzOfLab(lab));
    return Vec{fromLinear(linear[0], s.gamma), fromLinear(linear[1], s.gamma), fromLinear(linear[2], s.gamma)};
}
// A neutral's lightness: grey is the white's colour at the curve's light.
double lightnessOfGrey(double v, double gamma) {
    const double y = toLinear(v, gamma);
    return labOfXyz(Vec{kD50[0] * y, y, kD50[2] * y})[0];
}

// The host's Lab samples of a depth.
struct LabScale {
    double perLightness, perUnit, neutral;
};
LabScale labScale(int32 depth) { return depth == 8 ? LabScale{2.55, 1, 128} : LabScale{327.68, 128, 16384}; }
// Before rounding, within the samples' range (a and b end at -128 and 127
// or 128).
Vec encodedLab(const Vec& lab, int32 depth) {
    const LabScale s = labScale(depth);
    const double top = depth == 8 ? 255 : 32768;
    auto within = [top](double v) { return std::min(top, std::max(0.0, v)); };
    return Vec{within(lab[0] * s.perLightness), within(s.neutral + lab[1] * s.perUnit),
               within(s.neutral + lab[2] * s.perUnit)};
}
Vec labOfSamples(const Document& d, int32 x, int32 y) {
    const LabScale s = labScale(d.depth());
    return Vec{d.get(x, y, 0) / s.perLightness, (d.get(x, y, 1) - s.neutral) / s.perUnit,
               (d.get(x, y, 2) - s.neutral) / s.perUnit};
}
double fullScale(int32 depth) { return depth == 8 ? 255.0 : depth == 16 ? 32768.0 : 1.0; }

// Colours to convert: the corners of the cube, greys, a few of the
// photographer's, and fixed-seed ones all over the cube.
std::vector<Vec> testColours() {
    std::vector<Vec> c = {{0, 0, 0}, {1, 1, 1}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}, {0, 1, 1}, {1, 0, 1},
                          {0.5, 0.5, 0.5}, {0.02, 0.02, 0.02}, {0.8, 0.6, 0.5}, {0.2, 0.6, 0.8}, {0.05, 0.3, 0.02}};
    uint32_t state = 7;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return (state % 100001) / 100000.0;
    };
    while (c.size() < 600) c.push_back(Vec{next(), next(), next()});
    return c;
}

Document documentOf(int16 mode, const std::vector<Vec>& colours) {
    Document d(mode, int32(colours.size()), 1);
    const double full = fullScale(d.depth());
    for (int32 x = 0; x < d.width(); ++x)
        for (int16 p = 0; p < d.planes(); ++p) d.set(x, 0, p, colours[size_t(x)][size_t(p)] * full);
    return d;
}

// The stored samples against the expected values before rounding: within
// half a step, and a little for Little CMS's single-precision pipeline.
const double kRounding = 0.5 + 0.02;

struct Depths {
    int32 device, lab;
};
std::string depthsName(const testing::TestParamInfo<Depths>& i) {
    return "Device" + std::to_string(i.param.device) + "Lab" + std::to_string(i.param.lab);
}

class SrgbAndLab : public testing::TestWithParam<Depths> {};

TEST_P(SrgbAndLab, SrgbGoesIntoTheHostsLab) {
    const std::vector<Vec> colours = testColours();
    const Document rgb = documentOf(refhost::modeFor(plugInModeRGBColor, GetParam().device), colours);
    const Document lab = convertDocument(rgb, plugInModeLabColor, GetParam().lab);
    ASSERT_EQ(lab.imageMode(), refhost::modeFor(plugInModeLabColor, GetParam().lab));
    const double full = fullScale(rgb.depth());
    for (int32 x = 0; x < rgb.width(); ++x) {
        const Vec stored = {rgb.get(x, 0, 0) / full, rgb.get(x, 0, 1) / full, rgb.get(x, 0, 2) / full};
        const Vec want = encodedLab(labOfRgb(kSrgb, stored), lab.depth());
        for (int16 p = 0; p < 3; ++p)
            EXPECT_NEAR(lab.get(x, 0, p), want[size_t(p)], kRounding) << "colour " << x << " plane " << p;
    }
}

TEST_P(SrgbAndLab, LabComesBackIntoSrgb) {
    // Lab samples all over the encoding, most of them outside sRGB's gamut.
    std::vector<Vec> samples;
    for (const Vec& c : testColours()) samples.push_back(Vec{c[0], 0.1 + 0.8 * c[1], 0.1 + 0.8 * c[2]});
    const Document lab = documentOf(refhost::modeFor(plugInModeLabColor, GetParam().lab), samples);
    const Document rgb = convertDocument(lab, plugInModeRGBColor, GetParam().device);
    const double full = fullScale(rgb.depth());
    for (int32 x = 0; x < lab.width(); ++x) {
        const Vec want = rgbOfLab(kSrgb, labOfSamples(lab, x, 0));
        for (int16 p = 0; p < 3; ++p)
            EXPECT_NEAR(rgb.get(x, 0, p), want[size_t(p)] * full, kRounding) << "colour " << x << " plane " << p;
    }
}

TEST_P(SrgbAndLab, GreyHasSrgbsToneCurve) {
    std::vector<Vec> greys;
    for (int v = 0; v <= 255; ++v) greys.push_back(Vec{v / 255.0, 0, 0});
    const Document grey = documentOf(refhost::modeFor(plugInModeGrayScale, GetParam().device), greys);
    const Document lab = convertDocument(grey, plugInModeLabColor, GetParam().lab);
    const LabScale s = labScale(lab.depth());
    for (int32 x = 0; x < grey.width(); ++x) {
        const double v = grey.get(x, 0, 0) / fullScale(grey.depth());
        EXPECT_NEAR(lab.get(x, 0, 0), lightnessOfGrey(v, 0) * s.perLightness, kRounding) << "grey " << x;
        EXPECT_EQ(lab.get(x, 0, 1), s.neutral) << "grey " << x;
        EXPECT_EQ(lab.get(x, 0, 2), s.neutral) << "grey " << x;
    }
    // Back within one level of the shallower depth.
    const Document back = convertDocument(lab, plugInModeGrayScale, GetParam().device);
    const double level = fullScale(GetParam().device) / fullScale(std::min(GetParam().device, GetParam().lab));
    for (int32 x = 0; x < grey.width(); ++x)
        EXPECT_NEAR(back.get(x, 0, 0), grey.get(x, 0, 0), level) << "grey " << x;
}

INSTANTIATE_TEST_SUITE_P(Depths, SrgbAndLab,
                         testing::Values(Depths{8, 8}, Depths{8, 16}, Depths{16, 8}, Depths{16, 16}), depthsName);

// The host's Lab encodings are coarser than sRGB's levels in many colours
// (8 bits: 256 steps of L and whole units of a and b), so a colour that goes
// into Lab at its own depth can come back several levels off, as in any image
// tool; only a deeper Lab keeps every level.
TEST(SrgbAndLabRoundTrip, EightBitColoursComeBackFromSixteenBitLab) {
    std::vector<Vec> grid;
    for (int r = 0; r < 256; r += 5)
        for (int g = 0; g < 256; g += 5)
            for (int b = 0; b < 256; b += 5) grid.push_back(Vec{r / 255.0, g / 255.0, b / 255.0});
    const Document rgb = documentOf(plugInModeRGBColor, grid);
    const Document back = convertDocument(convertDocument(rgb, plugInModeLabColor, 16), plugInModeRGBColor, 8);
    int worst = 0;
    for (int32 x = 0; x < rgb.width(); ++x)
        for (int16 p = 0; p < 3; ++p) worst = std::max(worst, int(std::abs(back.get(x, 0, p) - rgb.get(x, 0, p))));
    EXPECT_LE(worst, 1);
}

class GreyRoundTrip : public testing::TestWithParam<int32> {};

TEST_P(GreyRoundTrip, EveryGreyComesBackWithinOneLevel) {
    const int32 depth = GetParam();
    Document rgb(refhost::modeFor(plugInModeRGBColor, depth), int32(fullScale(depth)) + 1, 1);
    for (int32 x = 0; x < rgb.width(); ++x)
        for (int16 p = 0; p < 3; ++p) rgb.set(x, 0, p, x);
    const Document back = convertDocument(convertDocument(rgb, plugInModeLabColor, depth), plugInModeRGBColor, depth);
    int worst = 0;
    for (int32 x = 0; x < rgb.width(); ++x)
        for (int16 p = 0; p < 3; ++p) worst = std::max(worst, int(std::abs(back.get(x, 0, p) - x)));
    EXPECT_LE(worst, 1);
}
INSTANTIATE_TEST_SUITE_P(Depths, GreyRoundTrip, testing::Values(8, 16));

TEST(SrgbAndLab, ThirtyTwoBitSamplesAreLinearLight) {
    const std::vector<Vec> colours = testColours();
    const Document linear = documentOf(plugInModeRGB96, colours);
    const Document lab = convertDocument(linear, plugInModeLabColor, 16);
    RgbSpace linearSrgb = kSrgb;
    linearSrgb.gamma = 1;
    for (int32 x = 0; x < linear.width(); ++x) {
        const Vec stored = {linear.get(x, 0, 0), linear.get(x, 0, 1), linear.get(x, 0, 2)};
        const Vec want = encodedLab(labOfRgb(linearSrgb, stored), 16);
        for (int16 p = 0; p < 3; ++p) EXPECT_NEAR(lab.get(x, 0, p), want[size_t(p)], kRounding) << x;
    }
}

// ---------------------------------------------------------------------------
// Files and their embedded profiles.

class Files : public refhost_test::ScratchDir {
protected:
    // An 8-bit PNG written by libpng itself, with the profile in iCCP.
    void writePng(const std::string& file, const Document& d, const std::vector<uint8_t>& profile) {
        FILE* f = std::fopen(file.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        if (setjmp(png_jmpbuf(png))) {
            png_destroy_write_struct(&png, &info);
            std::fclose(f);
            FAIL() << "libpng could not write " << file;
        }
        png_init_io(png, f);
        png_set_IHDR(png, info, png_uint_32(d.width()), png_uint_32(d.height()), 8,
                     d.planes() == 1 ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        if (!profile.empty()) png_set_iCCP(png, info, "test", 0, profile.data(), png_uint_32(profile.size()));
        png_write_info(png, info);
        for (int32 y = 0; y < d.height(); ++y) png_write_row(png, d.pixel(0, y));
        png_write_end(png, nullptr);
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
    }

    // The iCCP profile of a PNG, read by libpng itself; empty for none.
    static std::vector<uint8_t> pngProfile(const std::string& file) {
        std::vector<uint8_t> bytes;
        FILE* f = std::fopen(file.c_str(), "rb");
        if (!f) return bytes;
        png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        if (setjmp(png_jmpbuf(png)) == 0) {
            png_init_io(png, f);
            png_read_info(png, info);
            png_charp name;
            int compression;
            png_bytep profile;
            png_uint_32 n = 0;
            if (png_get_iCCP(png, info, &name, &compression, &profile, &n)) bytes.assign(profile, profile + n);
        }
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(f);
        return bytes;
    }

    // An 8-bit RGB TIFF with the profile in its ICC tag.
    void writeTiff(const std::string& file, const Document& d, const std::vector<uint8_t>& profile) {
        TIFF* t = TIFFOpen(file.c_str(), "w");
        ASSERT_NE(t, nullptr);
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(d.width()));
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(d.height()));
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(t, TIFFTAG_ICCPROFILE, uint32_t(profile.size()), profile.data());
        for (int32 y = 0; y < d.height(); ++y) ASSERT_GE(TIFFWriteScanline(t, const_cast<uint8_t*>(d.pixel(0, y)), y, 0), 0);
        TIFFClose(t);
    }

    static std::vector<uint8_t> tiffProfile(const std::string& file) {
        std::vector<uint8_t> bytes;
        if (TIFF* t = TIFFOpen(file.c_str(), "r")) {
            uint32_t n = 0;
            const uint8_t* data = nullptr;
            if (TIFFGetField(t, TIFFTAG_ICCPROFILE, &n, &data) && data) bytes.assign(data, data + n);
            TIFFClose(t);
        }
        return bytes;
    }

    static std::string readError(const std::string& file) {
        try {
            refhost::readImage(file);
        } catch (const ImageIoError& e) {
            return e.what();
        }
        return "no error";
    }
};

// The wide gamut's matrix as its ICC file stores it; its other numbers
// (the tone curve, the white) are stored to 1/65536 too.
void expectWideGamutLab(const Document& rgb, const Document& lab) {
    const double rounding = 0.5 + 0.05;
    for (int32 x = 0; x < rgb.width(); ++x) {
        const Vec stored = {rgb.get(x, 0, 0) / 255.0, rgb.get(x, 0, 1) / 255.0, rgb.get(x, 0, 2) / 255.0};
        const Vec want = encodedLab(labOfRgb(kWide, stored, true), lab.depth());
        for (int16 p = 0; p < 3; ++p)
            EXPECT_NEAR(lab.get(x, 0, p), want[size_t(p)], rounding) << "colour " << x << " plane " << p;
    }
}

TEST_F(Files, AnEmbeddedProfileSaysWhatTheColoursAre) {
    const std::vector<uint8_t> wide = wideGamutProfile();
    const Document rgb = documentOf(plugInModeRGBColor, testColours());
    for (const bool png : {true, false}) {
        const std::string file = path(png ? "wide.png" : "wide.tif");
        SCOPED_TRACE(file);
        if (png) writePng(file, rgb, wide);
        else writeTiff(file, rgb, wide);
        FileColours colours;
        const Document read = refhost::readImage(file, refhost::kMaxImageBytes, &colours);
        ASSERT_EQ(read, rgb);
        EXPECT_EQ(colours.baseMode, plugInModeRGBColor);
        ASSERT_EQ(colours.iccProfile, wide);
        expectWideGamutLab(rgb, convertDocument(read, plugInModeLabColor, 16, colours.iccProfile));
    }
    // Full green of the wide gamut is far greener than sRGB's.
    const Document green = documentOf(plugInModeRGBColor, {Vec{0, 1, 0}});
    EXPECT_LT(convertDocument(green, plugInModeLabColor, 8, wide).get(0, 0, 1) + 20,
              convertDocument(green, plugInModeLabColor, 8).get(0, 0, 1));

    // A grey of gamma 1.8.
    std::vector<Vec> greys;
    for (int v = 0; v <= 255; v += 3) greys.push_back(Vec{v / 255.0, 0, 0});
    writePng(path("grey.png"), documentOf(plugInModeGrayScale, greys), greyProfile());
    FileColours colours;
    const Document grey = refhost::readImage(path("grey.png"), refhost::kMaxImageBytes, &colours);
    EXPECT_EQ(colours.baseMode, plugInModeGrayScale);
    const Document lab = convertDocument(grey, plugInModeLabColor, 16, colours.iccProfile);
    for (int32 x = 0; x < grey.width(); ++x) {
        EXPECT_NEAR(lab.get(x, 0, 0), lightnessOfGrey(grey.get(x, 0, 0) / 255, kGreyGamma) * 327.68, kRounding) << x;
        EXPECT_EQ(lab.get(x, 0, 1), 16384) << x;
    }
}

// A Lab document goes back the way it came: into the PNG's profile, which
// the output embeds again; the Lab TIFF stays Lab.
TEST_F(Files, ALabDocumentGoesBackIntoItsFilesColours) {
    const std::vector<uint8_t> wide = wideGamutProfile();
    // The colours of the wide gamut that the host's Lab holds (its greens
    // and a few others lie beyond a and b of -128 and 127).
    std::vector<Vec> held;
    for (const Vec& c : testColours()) {
        const Vec lab = labOfRgb(kWide, c, true);
        if (std::max(std::abs(lab[1]), std::abs(lab[2])) < 127) held.push_back(c);
    }
    ASSERT_GT(held.size(), 400u);
    const Document rgb = documentOf(plugInModeRGBColor, held);
    writePng(path("in.png"), rgb, wide);
    FileColours colours;
    const Document in = refhost::readImage(path("in.png"), refhost::kMaxImageBytes, &colours);
    const Document lab = convertDocument(in, plugInModeLabColor, 16, colours.iccProfile);
    refhost::writeImage(lab, path("out.png"), colours);
    EXPECT_EQ(pngProfile(path("out.png")), wide);
    const Document back = refhost::readImage(path("out.png"));
    ASSERT_EQ(back.imageMode(), plugInModeRGB48);
    // Within a level, and two beside black, where the gamma's curve is
    // steepest.
    const Document back8 = convertDocument(back, plugInModeRGBColor, 8);
    for (int32 x = 0; x < rgb.width(); ++x)
        for (int16 p = 0; p < 3; ++p)
            EXPECT_NEAR(back8.get(x, 0, p), rgb.get(x, 0, p), rgb.get(x, 0, p) < 2 ? 2 : 1) << x;

    refhost::writeImage(lab, path("out.tif"), colours);
    EXPECT_EQ(refhost::readImage(path("out.tif")), lab);
    EXPECT_TRUE(tiffProfile(path("out.tif")).empty());

    // The profile stays with the samples it describes, at 8 and 16 bits.
    refhost::writeImage(in, path("same.tif"), colours);
    EXPECT_EQ(tiffProfile(path("same.tif")), wide);
    refhost::writeImage(convertDocument(in, plugInModeRGBColor, 16), path("deep.png"), colours);
    EXPECT_EQ(pngProfile(path("deep.png")), wide);
    refhost::writeImage(convertDocument(in, plugInModeGrayScale, 8), path("grey.png"), colours);
    EXPECT_TRUE(pngProfile(path("grey.png")).empty());
}

// Without a profile a Lab document is sRGB in a PNG and a PPM, and grey with
// sRGB's tone curve in a PGM.
TEST_F(Files, FormatsWithoutLabGetSrgb) {
    const std::vector<Vec> labs = {{53.585, 0, 0}, {54.29, 80.81, 69.89}, {100, 0, 0}};
    Document lab(plugInModeLabColor, 3, 1);
    for (int32 x = 0; x < 3; ++x) {
        const Vec s = encodedLab(labs[size_t(x)], 8);
        for (int16 p = 0; p < 3; ++p) lab.set(x, 0, p, s[size_t(p)]);
    }
    for (const std::string name : {"lab.png", "lab.ppm", "lab.pgm"}) {
        SCOPED_TRACE(name);
        refhost::writeImage(lab, path(name));
        const Document d = refhost::readImage(path(name));
        const bool grey = name == "lab.pgm";
        ASSERT_EQ(d.imageMode(), grey ? plugInModeGrayScale : plugInModeRGBColor);
        for (int32 x = 0; x < 3; ++x) {
            const Vec stored = labOfSamples(lab, x, 0);
            const Vec want = grey ? Vec{fromLinear(xyzOfLab(Vec{stored[0], 0, 0})[1], 0), 0, 0} : rgbOfLab(kSrgb, stored);
            for (int16 p = 0; p < d.planes(); ++p) EXPECT_NEAR(d.get(x, 0, p), want[size_t(p)] * 255, kRounding) << x;
        }
    }
    EXPECT_EQ(refhost::readImage(path("lab.png")).get(0, 0, 0), 128);
}

TEST_F(Files, ProfilesThatAreNotTheSamplesColoursAreRefused) {
    const Document rgb = documentOf(plugInModeRGBColor, testColours());
    const std::vector<uint8_t> wide = wideGamutProfile();
    struct Case {
        const char* name;
        std::vector<uint8_t> profile;
        const char* message;
    };
    const Case cases[] = {
        {"grey.tif", greyProfile(), "the embedded ICC profile is one of grey colours, not of RGB"},
        {"cut.tif", std::vector<uint8_t>(wide.begin(), wide.begin() + 200), "cannot read the embedded ICC profile"},
        {"noise.tif", std::vector<uint8_t>(600, 0x5A), "cannot read the embedded ICC profile"},
    };
    for (const Case& c : cases) {
        writeTiff(path(c.name), rgb, c.profile);
        const std::string message = readError(path(c.name));
        EXPECT_NE(message.find(c.name), std::string::npos) << message;
        EXPECT_NE(message.find(c.message), std::string::npos) << message;
    }
    // A profile that does not convert back out of Lab: the way back is
    // refused before any document is made.
    const std::vector<uint8_t> inputOnly = inputOnlyProfile();
    ASSERT_FALSE(inputOnly.empty());
    const Document lab = convertDocument(rgb, plugInModeLabColor, 8, inputOnly);
    const FileColours colours{plugInModeRGBColor, inputOnly};
    try {
        refhost::checkColoursWritable(lab, path("out.png"), colours);
        ADD_FAILURE() << "no error";
    } catch (const ImageIoError& e) {
        EXPECT_NE(std::string(e.what()).find("does not go into the file's colours"), std::string::npos) << e.what();
    }
    EXPECT_NO_THROW(refhost::checkColoursWritable(lab, path("out.tif"), colours));
    EXPECT_THROW(refhost::writeImage(lab, path("out.png"), colours), ImageIoError);
    EXPECT_NE(access(path("out.png").c_str(), F_OK), 0);
    // 32-bit samples are linear sRGB whatever a profile says.
    EXPECT_THROW(convertDocument(documentOf(plugInModeRGB96, {Vec{1, 1, 1}}), plugInModeLabColor, 16, wide),
                 std::invalid_argument);
}

}  // namespace
