// PNG and TIFF files in and out of documents (and PPM/PGM, through
// image_io_pnm.cpp).
#include "refhost/image_io.h"

#include <png.h>
#include <zlib.h>
#define TIFF_DISABLE_DEPRECATED  // its int16/int32 would clash with the host interface's
#include <tiffio.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "refhost/image_io_pnm.h"
#include "refhost/platform.h"

namespace refhost {

namespace {

using imageio::fail;
using imageio::fileToHost16;
using imageio::hostToFile16;
using imageio::checkBudget;
using imageio::saturatedProduct;

// Deflate packs at most 1032 bytes into one (258-byte matches of 2 bits).
const int64_t kDeflateMaxRatio = 1032;

// Refuses `what`, before anything is allocated for it, when its stored
// bytes are more than fileBytes can unpack to at the format's highest ratio.
void checkFileCanHold(const std::string& path, const std::string& what, int64_t storedBytes, int64_t fileBytes,
                      int64_t maxRatio) {
    if (storedBytes > saturatedProduct(std::max<int64_t>(fileBytes, 0), maxRatio))
        fail(path, what + " needs " + std::to_string(storedBytes) + " bytes of file data, more than the file's " +
                       std::to_string(fileBytes) + " bytes can hold");
}

// ---------------------------------------------------------------------------
// PNG, through the classic interface: errors come back by longjmp, so the
// functions that call libpng hold no objects with destructors.

struct PngMessage {
    char text[256];
};

void pngError(png_structp png, png_const_charp msg) {
    auto* m = static_cast<PngMessage*>(png_get_error_ptr(png));
    std::snprintf(m->text, sizeof m->text, "%s", msg ? msg : "libpng error");
    png_longjmp(png, 1);
}
void pngWarning(png_structp, png_const_charp) {}

struct PngInfo {
    png_uint_32 width = 0, height = 0;
    int channels = 0, bits = 0;
    size_t rowBytes = 0;
    size_t storedRowBytes = 0;  // before the transformations
};

// Reads the header and sets up the transformations: palette and low-bit grey
// widened, alpha stripped, 16-bit samples in host byte order.
bool pngOpen(std::FILE* f, png_structp& png, png_infop& info, PngInfo& out, PngMessage& msg) {
    png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &msg, pngError, pngWarning);
    if (!png) {
        std::snprintf(msg.text, sizeof msg.text, "out of memory");
        return false;
    }
    info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        std::snprintf(msg.text, sizeof msg.text, "out of memory");
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    // libpng reads these chunks into memory whole, of the length the file
    // declares, so a few bytes that claim a 512 MB text chunk take 512 MB.
    // Nothing here uses them: they are skipped unread.
    static const png_byte kUnusedChunks[] = "tEXt\0zTXt\0iTXt\0sPLT\0pCAL\0sCAL\0eXIf";
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kUnusedChunks, 7);
    png_init_io(png, f);
    png_read_info(png, info);
    int colorType = png_get_color_type(png, info);
    int bits = png_get_bit_depth(png, info);
    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && bits < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    png_set_strip_alpha(png);
    if (bits == 16) {
        const uint16_t one = 1;
        if (*reinterpret_cast<const uint8_t*>(&one) == 1) png_set_swap(png);
    }
    out.storedRowBytes = png_get_rowbytes(png, info);
    png_read_update_info(png, info);
    out.width = png_get_image_width(png, info);
    out.height = png_get_image_height(png, info);
    out.channels = png_get_channels(png, info);
    out.bits = png_get_bit_depth(png, info);
    out.rowBytes = png_get_rowbytes(png, info);
    return true;
}

bool pngReadRows(png_structp& png, png_infop& info, png_bytep* rows, PngMessage&) {
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

Document readPng(std::FILE* f, const std::string& path, int64_t maxImageBytes, FileColours& colours) {
    png_structp png = nullptr;
    png_infop info = nullptr;
    PngInfo pi;
    PngMessage msg{};
    if (!pngOpen(f, png, info, pi, msg)) fail(path, std::string("cannot read the PNG file: ") + msg.text);
    // libpng has checked the profile's header and its colour space against
    // the colour type (and dropped one that fails, with a warning).
    png_charp profileName = nullptr;
    png_bytep profile = nullptr;
    png_uint_32 profileBytes = 0;
    int profileCompression = 0;
    if (png_get_iCCP(png, info, &profileName, &profileCompression, &profile, &profileBytes) == PNG_INFO_iCCP)
        colours.iccProfile.assign(profile, profile + profileBytes);
    int16_t base = pi.channels == 1 ? plugInModeGrayScale : pi.channels == 3 ? plugInModeRGBColor : -1;
    if (base < 0 || (pi.bits != 8 && pi.bits != 16) || pi.width == 0 || pi.height == 0 ||
        pi.width > 0x7FFFFFFF || pi.height > 0x7FFFFFFF) {
        png_destroy_read_struct(&png, &info, nullptr);
        fail(path, "unsupported PNG layout (" + std::to_string(pi.channels) + " channels of " +
                       std::to_string(pi.bits) + " bits, " + std::to_string(pi.width) + " x " +
                       std::to_string(pi.height) + ")");
    }
    colours.baseMode = base;
    try {
        if (!colours.iccProfile.empty()) imageio::checkEmbeddedProfile(path, colours.iccProfile, base);
        // Each stored row is a filter byte and the samples, deflated.
        const std::string what = "PNG of " + std::to_string(pi.width) + " x " + std::to_string(pi.height) + " pixels";
        checkFileCanHold(path, what, saturatedProduct(int64_t(pi.storedRowBytes) + 1, pi.height),
                         platform::fileSize(f), kDeflateMaxRatio);
        checkBudget(path, what, saturatedProduct(int64_t(pi.rowBytes), pi.height), maxImageBytes);
    } catch (...) {
        png_destroy_read_struct(&png, &info, nullptr);
        throw;
    }
    // 8-bit rows are read straight into the document; 16-bit ones are
    // rescaled from a buffer of their own.
    Document doc;
    std::vector<uint8_t> raw;
    std::vector<png_bytep> rows;
    try {
        doc = Document(modeFor(base, pi.bits), int32_t(pi.width), int32_t(pi.height));
        if (pi.bits != 8) raw.resize(pi.rowBytes * pi.height);
        rows.resize(pi.height);
    } catch (const std::bad_alloc&) {
        png_destroy_read_struct(&png, &info, nullptr);
        fail(path, "not enough memory for the image");
    }
    if (pi.bits == 8 && int64_t(pi.rowBytes) != doc.rowBytes()) {
        png_destroy_read_struct(&png, &info, nullptr);
        fail(path, "unexpected PNG row size");
    }
    for (png_uint_32 y = 0; y < pi.height; ++y)
        rows[y] = pi.bits == 8 ? doc.pixel(0, int32_t(y)) : raw.data() + y * pi.rowBytes;
    if (!pngReadRows(png, info, rows.data(), msg)) fail(path, std::string("cannot read the PNG file: ") + msg.text);

    if (pi.bits != 8) {
        for (png_uint_32 y = 0; y < pi.height; ++y) {
            const uint16_t* src = reinterpret_cast<const uint16_t*>(rows[y]);
            uint16_t* dst = reinterpret_cast<uint16_t*>(doc.pixel(0, int32_t(y)));
            for (int64_t i = 0; i < int64_t(pi.width) * pi.channels; ++i) dst[i] = fileToHost16(src[i]);
        }
    }
    return doc;
}

// profile: the ICC profile to embed, or null.
bool pngWriteRows(std::FILE* f, const PngInfo& pi, png_bytep* rows, const std::vector<uint8_t>* profile,
                  PngMessage& msg) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &msg, pngError, pngWarning);
    if (!png) {
        std::snprintf(msg.text, sizeof msg.text, "out of memory");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        std::snprintf(msg.text, sizeof msg.text, "out of memory");
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, f);
    // libpng's adaptive row filters with zlib's run-length strategy: on
    // photographs the file is within about 1 % of zlib's default strategy's
    // size, written in a quarter to a fifth of the time (the default's match
    // search finds little in photographic noise).
    png_set_compression_strategy(png, Z_RLE);
    png_set_IHDR(png, info, pi.width, pi.height, pi.bits, pi.channels == 1 ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (profile) {
        // The profile is the input file's own: libpng would refuse a widely
        // used sRGB profile it knows as inexact, which it reads with a warning.
        png_set_option(png, PNG_SKIP_sRGB_CHECK_PROFILE, PNG_OPTION_ON);
        png_set_iCCP(png, info, "ICC profile", PNG_COMPRESSION_TYPE_BASE, profile->data(), png_uint_32(profile->size()));
    }
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

void writePng(const Document& doc, std::FILE* f, const std::string& path, const FileColours& colours) {
    if (doc.depth() == 32) fail(path, "PNG holds 8 or 16 bits per sample; write 32-bit documents as TIFF");
    if (doc.planes() != 1 && doc.planes() != 3) fail(path, "PNG holds grey or RGB images, not " + modeName(doc.imageMode()));
    int16_t base = modeFor(doc.imageMode(), 8);
    if (base != plugInModeGrayScale && base != plugInModeRGBColor)
        fail(path, "PNG holds grey or RGB images, not " + modeName(doc.imageMode()));
    PngInfo pi;
    pi.width = png_uint_32(doc.width());
    pi.height = png_uint_32(doc.height());
    pi.channels = doc.planes();
    pi.bits = doc.depth();
    // 8-bit rows go to libpng as the document holds them (it only reads
    // them); 16-bit samples are rescaled into big-endian rows first.
    std::vector<uint8_t> raw(doc.depth() == 8 ? 0 : size_t(doc.rowBytes() * doc.height()));
    std::vector<png_bytep> rows(size_t(doc.height()));
    for (int32_t y = 0; y < doc.height(); ++y) {
        if (doc.depth() == 8) {
            rows[size_t(y)] = const_cast<png_bytep>(doc.pixel(0, y));
        } else {
            uint8_t* row = raw.data() + int64_t(y) * doc.rowBytes();
            rows[size_t(y)] = row;
            const uint16_t* src = reinterpret_cast<const uint16_t*>(doc.pixel(0, y));
            for (int64_t i = 0; i < int64_t(doc.width()) * doc.planes(); ++i) {
                uint16_t v = hostToFile16(src[i]);
                row[2 * i] = uint8_t(v >> 8);  // PNG is big-endian
                row[2 * i + 1] = uint8_t(v & 0xFF);
            }
        }
    }
    PngMessage msg{};
    const std::vector<uint8_t>* profile = imageio::embedsProfile(doc, colours) ? &colours.iccProfile : nullptr;
    if (!pngWriteRows(f, pi, rows.data(), profile, msg)) fail(path, std::string("cannot write the PNG file: ") + msg.text);
}

// ---------------------------------------------------------------------------
// TIFF.

thread_local std::string tiffMessage;

void tiffError(const char* module, const char* fmt, va_list ap) {
    char buf[512];
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    tiffMessage = module ? std::string(module) + ": " + buf : std::string(buf);
}

void tiffHandlers() {
    TIFFSetErrorHandler(tiffError);
    TIFFSetWarningHandler(nullptr);
}

struct TiffCloser {
    TIFF* t;
    ~TiffCloser() {
        if (t) TIFFClose(t);
    }
};

// The most decoded bytes one stored byte can give, by compression.
int64_t tiffMaxRatio(uint16_t compression) {
    switch (compression) {
        case COMPRESSION_NONE: return 1;
        case COMPRESSION_PACKBITS: return 64;  // 2 bytes repeat one byte 128 times
        case COMPRESSION_DEFLATE:
        case COMPRESSION_ADOBE_DEFLATE: return kDeflateMaxRatio;
        case COMPRESSION_LZW: return 4096;  // a 9-bit code stands for at most 4096 bytes
        default: return 65536;  // no codec we read packs more
    }
}

Document readTiff(const std::string& path, int64_t fileBytes, int64_t maxImageBytes, FileColours& colours) {
    tiffHandlers();
    tiffMessage.clear();
    // libtiff's own allocations (directories, strips) stay within the budget
    // too, though never below what the directory of a large image needs.
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options) fail(path, "not enough memory to open the TIFF file");
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t(std::max<int64_t>(maxImageBytes, int64_t(64) << 20)));
    TIFF* t = TIFFOpenExt(path.c_str(), "r", options);
    TIFFOpenOptionsFree(options);
    if (!t) fail(path, "cannot read the TIFF file: " + tiffMessage);
    TiffCloser closer{t};

    uint32_t width = 0, height = 0;
    uint16_t spp = 1, bps = 1, format = SAMPLEFORMAT_UINT, photometric = 0, planar = PLANARCONFIG_CONTIG;
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &bps);
    TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(t, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(t, TIFFTAG_COMPRESSION, &compression);
    if (!TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric)) fail(path, "TIFF file without a photometric tag");

    bool intSamples = (bps == 8 || bps == 16) && (format == SAMPLEFORMAT_UINT || format == SAMPLEFORMAT_INT);
    bool floatSamples = bps == 32 && format == SAMPLEFORMAT_IEEEFP;
    if (!intSamples && !floatSamples)
        fail(path, "TIFF with " + std::to_string(bps) + "-bit samples of format " + std::to_string(format) +
                       " is not supported (8 or 16-bit integers, 32-bit float)");
    int16_t base;
    int colour;
    switch (photometric) {
        case PHOTOMETRIC_MINISBLACK:
        case PHOTOMETRIC_MINISWHITE: base = plugInModeGrayScale; colour = 1; break;
        case PHOTOMETRIC_RGB: base = plugInModeRGBColor; colour = 3; break;
        case PHOTOMETRIC_SEPARATED: base = plugInModeCMYKColor; colour = 4; break;
        case PHOTOMETRIC_CIELAB:
        case PHOTOMETRIC_ICCLAB: base = plugInModeLabColor; colour = 3; break;
        default: fail(path, "TIFF photometric interpretation " + std::to_string(photometric) + " is not supported");
    }
    if (spp < colour) fail(path, "TIFF with " + std::to_string(spp) + " samples per pixel for " + modeName(base));
    int16_t mode = modeFor(base, bps);
    if (mode < 0) fail(path, modeName(base) + " TIFF with " + std::to_string(bps) + "-bit samples is not supported");
    if (format == SAMPLEFORMAT_INT && photometric != PHOTOMETRIC_CIELAB)
        fail(path, "TIFF with signed integer samples is not supported");
    if (base != plugInModeLabColor) colours.baseMode = base;
    // A min-is-white file's profile describes grey the host holds inverted.
    uint32_t profileBytes = 0;
    const uint8_t* profile = nullptr;
    if (intSamples && base != plugInModeLabColor && photometric != PHOTOMETRIC_MINISWHITE &&
        TIFFGetField(t, TIFFTAG_ICCPROFILE, &profileBytes, &profile) && profile && profileBytes > 0) {
        colours.iccProfile.assign(profile, profile + profileBytes);
        imageio::checkEmbeddedProfile(path, colours.iccProfile, base);
    }
    const std::string what = "TIFF of " + std::to_string(width) + " x " + std::to_string(height) + " pixels";
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) fail(path, what + " is not supported");

    const int sb = bps / 8;
    const int64_t pixelBytes = int64_t(spp) * sb;
    const int64_t maxRatio = tiffMaxRatio(compression);
    const int64_t imageBytes = saturatedProduct(int64_t(width) * height, pixelBytes);
    checkFileCanHold(path, what, imageBytes, fileBytes, maxRatio);
    checkBudget(path, what, imageBytes, maxImageBytes);
    std::vector<uint8_t> raw(size_t(int64_t(width) * height * pixelBytes));  // contiguous samples

    if (TIFFIsTiled(t)) {
        uint32_t tw = 0, th = 0;
        TIFFGetField(t, TIFFTAG_TILEWIDTH, &tw);
        TIFFGetField(t, TIFFTAG_TILELENGTH, &th);
        if (tw == 0 || th == 0) fail(path, "TIFF tiles of size 0");
        // A tile may be far larger than the image it covers.
        const std::string tileWhat = "TIFF tile of " + std::to_string(tw) + " x " + std::to_string(th) + " pixels";
        const int64_t tileBytes = int64_t(TIFFTileSize64(t));
        checkFileCanHold(path, tileWhat, tileBytes, fileBytes, maxRatio);
        checkBudget(path, tileWhat, tileBytes, maxImageBytes);
        if (tileBytes <= 0) fail(path, "cannot read a TIFF tile: " + tiffMessage);
        std::vector<uint8_t> tile(static_cast<size_t>(tileBytes));
        const int planes = planar == PLANARCONFIG_SEPARATE ? spp : 1;
        for (int s = 0; s < planes; ++s)
            for (uint32_t ty = 0; ty < height; ty += th)
                for (uint32_t tx = 0; tx < width; tx += tw) {
                    if (TIFFReadTile(t, tile.data(), tx, ty, 0, uint16_t(s)) < 0)
                        fail(path, "cannot read a TIFF tile: " + tiffMessage);
                    for (uint32_t y = ty; y < std::min(height, ty + th); ++y)
                        for (uint32_t x = tx; x < std::min(width, tx + tw); ++x) {
                            uint8_t* dst = raw.data() + (int64_t(y) * width + x) * pixelBytes;
                            if (planar == PLANARCONFIG_SEPARATE)
                                std::memcpy(dst + s * sb, tile.data() + (int64_t(y - ty) * tw + (x - tx)) * sb, size_t(sb));
                            else
                                std::memcpy(dst, tile.data() + (int64_t(y - ty) * tw + (x - tx)) * pixelBytes,
                                            size_t(pixelBytes));
                        }
                }
    } else if (planar == PLANARCONFIG_SEPARATE) {
        std::vector<uint8_t> line(size_t(TIFFScanlineSize(t)));
        for (uint16_t s = 0; s < spp; ++s)
            for (uint32_t y = 0; y < height; ++y) {
                if (TIFFReadScanline(t, line.data(), y, s) < 0) fail(path, "cannot read the TIFF file: " + tiffMessage);
                for (uint32_t x = 0; x < width; ++x)
                    std::memcpy(raw.data() + (int64_t(y) * width + x) * pixelBytes + s * sb, line.data() + int64_t(x) * sb,
                                size_t(sb));
            }
    } else {
        std::vector<uint8_t> line(size_t(std::max<tmsize_t>(TIFFScanlineSize(t), tmsize_t(width * pixelBytes))));
        for (uint32_t y = 0; y < height; ++y) {
            if (TIFFReadScanline(t, line.data(), y, 0) < 0) fail(path, "cannot read the TIFF file: " + tiffMessage);
            std::memcpy(raw.data() + int64_t(y) * width * pixelBytes, line.data(), size_t(width * pixelBytes));
        }
    }

    Document doc(mode, int32_t(width), int32_t(height));
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* src = raw.data() + (int64_t(y) * width + x) * pixelBytes;
            uint8_t* dst = doc.pixel(int32_t(x), int32_t(y));
            for (int p = 0; p < colour; ++p) {
                const uint8_t* s = src + p * sb;
                if (sb == 4) {
                    std::memcpy(dst + p * 4, s, 4);
                    if (photometric == PHOTOMETRIC_MINISWHITE) {
                        float v;
                        std::memcpy(&v, s, 4);
                        v = 1.0f - v;
                        std::memcpy(dst + p * 4, &v, 4);
                    }
                    continue;
                }
                uint32_t v = sb == 1 ? *s : *reinterpret_cast<const uint16_t*>(s);
                const uint32_t top = sb == 1 ? 255 : 65535;
                if (photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_SEPARATED) v = top - v;
                if (photometric == PHOTOMETRIC_CIELAB && p > 0) v ^= (top + 1) / 2;  // signed a, b to offset form
                if (sb == 1) {
                    dst[p] = uint8_t(v);
                } else {
                    uint16_t h = fileToHost16(v);
                    std::memcpy(dst + p * 2, &h, 2);
                }
            }
        }
    return doc;
}

void writeTiff(const Document& doc, const std::string& tempPath, const std::string& path, const FileColours& colours) {
    tiffHandlers();
    tiffMessage.clear();
    const int16_t base = modeFor(doc.imageMode(), 8);
    uint16_t photometric;
    switch (base) {
        case plugInModeGrayScale: photometric = PHOTOMETRIC_MINISBLACK; break;
        case plugInModeRGBColor: photometric = PHOTOMETRIC_RGB; break;
        case plugInModeCMYKColor: photometric = PHOTOMETRIC_SEPARATED; break;
        case plugInModeLabColor: photometric = PHOTOMETRIC_ICCLAB; break;
        default: fail(path, "TIFF output of " + modeName(doc.imageMode()) + " is not supported");
    }
    TIFF* t = TIFFOpen(tempPath.c_str(), "w");
    if (!t) fail(path, "cannot write the TIFF file: " + tiffMessage);
    TiffCloser closer{t};
    const int sb = doc.sampleBytes();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(doc.width()));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(doc.height()));
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, uint16_t(doc.planes()));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, uint16_t(doc.depth()));
    TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, uint16_t(sb == 4 ? SAMPLEFORMAT_IEEEFP : SAMPLEFORMAT_UINT));
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, photometric);
    if (photometric == PHOTOMETRIC_SEPARATED) TIFFSetField(t, TIFFTAG_INKSET, uint16_t(INKSET_CMYK));
    if (imageio::embedsProfile(doc, colours))
        TIFFSetField(t, TIFFTAG_ICCPROFILE, uint32_t(colours.iccProfile.size()), colours.iccProfile.data());
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG));
    TIFFSetField(t, TIFFTAG_COMPRESSION, uint16_t(COMPRESSION_ADOBE_DEFLATE));
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
    std::vector<uint8_t> line(size_t(doc.rowBytes()));
    for (int32_t y = 0; y < doc.height(); ++y) {
        const uint8_t* src = doc.pixel(0, y);
        if (sb == 4) {
            std::memcpy(line.data(), src, line.size());
        } else {
            for (int64_t i = 0; i < int64_t(doc.width()) * doc.planes(); ++i) {
                uint32_t v = sb == 1 ? src[i] : hostToFile16(reinterpret_cast<const uint16_t*>(src)[i]);
                if (photometric == PHOTOMETRIC_SEPARATED) v = (sb == 1 ? 255 : 65535) - v;
                if (sb == 1)
                    line[size_t(i)] = uint8_t(v);
                else
                    reinterpret_cast<uint16_t*>(line.data())[i] = uint16_t(v);
            }
        }
        if (TIFFWriteScanline(t, line.data(), uint32_t(y), 0) < 0)
            fail(path, "cannot write the TIFF file: " + tiffMessage);
    }
    closer.t = nullptr;
    TIFFClose(t);  // flushes; a failure shows in the message
    if (!tiffMessage.empty()) fail(path, "cannot write the TIFF file: " + tiffMessage);
}

}  // namespace

Document readImage(const std::string& path, int64_t maxImageBytes, FileColours* colours) {
    FileColours found;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) fail(path, std::string("cannot open: ") + std::strerror(errno));
    unsigned char magic[8] = {0};
    size_t n = std::fread(magic, 1, sizeof magic, f);
    static const unsigned char pngMagic[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    bool isPng = n == 8 && std::memcmp(magic, pngMagic, 8) == 0;
    bool isTiff = n >= 4 && ((magic[0] == 'I' && magic[1] == 'I' && (magic[2] == 42 || magic[2] == 43) && magic[3] == 0) ||
                             (magic[0] == 'M' && magic[1] == 'M' && magic[2] == 0 && (magic[3] == 42 || magic[3] == 43)));
    if (imageio::isPnmMagic(magic, n)) {
        return imageio::readPnmAndClose(f, path, maxImageBytes, colours);
    }
    if (isPng) {
        std::rewind(f);
        try {
            Document d = readPng(f, path, maxImageBytes, found);
            std::fclose(f);
            if (colours) *colours = std::move(found);
            return d;
        } catch (...) {
            std::fclose(f);
            throw;
        }
    }
    const int64_t fileBytes = platform::fileSize(f);
    std::fclose(f);
    if (isTiff) {
        Document d = readTiff(path, fileBytes, maxImageBytes, found);
        if (colours) *colours = std::move(found);
        return d;
    }
    if (n == 0) fail(path, "the file is empty");
    fail(path, "neither a PNG, TIFF, PPM nor PGM file");
}

void writeImage(const Document& doc, const std::string& path, const FileColours& colours) {
    const std::string ext = imageio::lowerExtension(path);
    if (const std::optional<FileColours> device = imageio::labWrittenIn(doc, ext, colours))
        return writeImage(imageio::labInto(doc, path, *device), path, *device);
    if (imageio::isPnmExtension(ext)) return imageio::writePnmFile(doc, path);
    const bool png = ext == "png", tiff = ext == "tif" || ext == "tiff";
    if (!png && !tiff) fail(path, "unknown output format; use .png, .tif, .tiff, .ppm or .pgm");
    if (doc.width() <= 0 || doc.height() <= 0) fail(path, "the document is empty");
    std::string tempPath, error;
    std::FILE* f = platform::createFileBeside(path, tempPath, error);
    if (!f) fail(path, error);
    try {
        if (png) {
            writePng(doc, f, path, colours);
            bool ok = std::fflush(f) == 0 && !std::ferror(f);
            int err = errno;
            if (std::fclose(f) != 0) ok = false;
            f = nullptr;
            if (!ok) fail(path, std::string("cannot write: ") + std::strerror(err));
        } else {
            std::fclose(f);  // libtiff opens the file by name
            f = nullptr;
            writeTiff(doc, tempPath, path, colours);
        }
        if (!platform::replaceFile(tempPath, path, error)) fail(path, error);
    } catch (...) {
        if (f) std::fclose(f);
        platform::removeFile(tempPath);
        throw;
    }
}

}  // namespace refhost
