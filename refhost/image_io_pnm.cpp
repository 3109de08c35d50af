// Binary PPM and PGM files: no library needed, so the Windows host can read
// and write photographs too.
#include "refhost/image_io_pnm.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

#include "refhost/platform.h"

namespace refhost {
namespace imageio {

void fail(const std::string& path, const std::string& why) { throw ImageIoError("'" + path + "': " + why); }

int64_t saturatedProduct(int64_t a, int64_t b) { return b != 0 && a > INT64_MAX / b ? INT64_MAX : a * b; }

void checkBudget(const std::string& path, const std::string& what, int64_t bytes, int64_t budget) {
    if (bytes > budget)
        fail(path, what + " needs " + std::to_string(bytes) + " bytes, more than the limit of " +
                       std::to_string(budget) + " bytes for an image");
}

std::string lowerExtension(const std::string& path) {
    size_t dot = path.find_last_of('.');
    size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string();
    std::string e = path.substr(dot + 1);
    for (char& c : e) c = char(std::tolower(static_cast<unsigned char>(c)));
    return e;
}

bool isPnmExtension(const std::string& lowerExt) { return lowerExt == "ppm" || lowerExt == "pgm"; }

namespace {
bool isBlank(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// One header number: blanks and comments ('#' to the end of the line) before it.
bool headerNumber(std::FILE* f, int64_t& v) {
    int c = std::fgetc(f);
    for (;;) {
        if (c == '#') {
            while (c != EOF && c != '\n' && c != '\r') c = std::fgetc(f);
        } else if (isBlank(c)) {
            c = std::fgetc(f);
        } else {
            break;
        }
    }
    if (c < '0' || c > '9') return false;
    v = 0;
    while (c >= '0' && c <= '9') {
        v = v * 10 + (c - '0');
        if (v > 0x7FFFFFFF) return false;
        c = std::fgetc(f);
    }
    // Exactly one blank ends the number (after maxval it is the last header byte).
    return isBlank(c);
}
}  // namespace

bool isPnmMagic(const unsigned char* bytes, size_t n) {
    return n >= 3 && bytes[0] == 'P' && (bytes[1] == '5' || bytes[1] == '6') && isBlank(bytes[2]);
}

Document readPnmAndClose(std::FILE* f, const std::string& path, int64_t maxImageBytes, FileColours* colours) {
    std::rewind(f);
    try {
        Document d = readPnm(f, path, maxImageBytes);
        std::fclose(f);
        if (colours) *colours = FileColours{modeFor(d.imageMode(), 8), {}};
        return d;
    } catch (...) {
        std::fclose(f);
        throw;
    }
}

Document readPnm(std::FILE* f, const std::string& path, int64_t maxImageBytes) {
    unsigned char magic[2] = {0, 0};
    if (std::fread(magic, 1, 2, f) != 2 || magic[0] != 'P' || (magic[1] != '5' && magic[1] != '6'))
        fail(path, "not a binary PPM or PGM file");
    const int channels = magic[1] == '6' ? 3 : 1;
    const char* kind = channels == 3 ? "PPM" : "PGM";
    int64_t width = 0, height = 0, maxval = 0;
    if (!headerNumber(f, width) || !headerNumber(f, height) || !headerNumber(f, maxval))
        fail(path, std::string("damaged ") + kind + " header");
    if (maxval != 255 && maxval != 65535)
        fail(path, std::string(kind) + " with maxval " + std::to_string(maxval) +
                       " is not supported (255 or 65535)");
    const int sampleBytes = maxval == 255 ? 1 : 2;
    const std::string what = std::string(kind) + " of " + std::to_string(width) + " x " + std::to_string(height) +
                             " pixels";
    if (width <= 0 || height <= 0) fail(path, what + " is not supported");
    // The samples are stored as they are: the file must hold every byte.
    const int64_t bytes = saturatedProduct(width * height, channels * sampleBytes);
    const int64_t held = std::max<int64_t>(platform::fileSize(f) - std::max<int64_t>(std::ftell(f), 0), 0);
    if (bytes > held)
        fail(path, std::string(kind) + " file ends after " + std::to_string(held) + " of its " + std::to_string(bytes) +
                       " sample bytes");
    checkBudget(path, what, bytes, maxImageBytes);
    const int16 mode = modeFor(channels == 3 ? plugInModeRGBColor : plugInModeGrayScale, sampleBytes * 8);
    Document doc(mode, int32(width), int32(height));
    const int64_t rowBytes = width * channels * sampleBytes;
    std::vector<uint8_t> row(static_cast<size_t>(rowBytes));
    for (int32 y = 0; y < doc.height(); ++y) {
        size_t n = std::fread(row.data(), 1, row.size(), f);
        if (n != row.size())
            fail(path, std::string(kind) + " file ends after " + std::to_string(int64_t(y) * rowBytes + int64_t(n)) +
                           " of its " + std::to_string(rowBytes * height) + " sample bytes");
        if (sampleBytes == 1) {
            std::memcpy(doc.pixel(0, y), row.data(), row.size());
        } else {
            uint16_t* dst = reinterpret_cast<uint16_t*>(doc.pixel(0, y));
            for (int64_t i = 0; i < width * channels; ++i)
                dst[i] = fileToHost16(uint32_t(row[size_t(2 * i)]) << 8 | row[size_t(2 * i + 1)]);  // big-endian
        }
    }
    return doc;
}

void writePnmFile(const Document& doc, const std::string& path) {
    const std::string ext = lowerExtension(path);
    const bool ppm = ext == "ppm";
    if (doc.width() <= 0 || doc.height() <= 0) fail(path, "the document is empty");
    if (doc.depth() != 8 && doc.depth() != 16) fail(path, "PPM and PGM hold 8 or 16 bits per sample");
    const int16_t base = modeFor(doc.imageMode(), 8);
    if (ppm && base != plugInModeRGBColor)
        fail(path, "a .ppm file holds RGB images, not " + modeName(doc.imageMode()) +
                       (base == plugInModeGrayScale ? "; write grey images as .pgm" : ""));
    if (!ppm && base != plugInModeGrayScale)
        fail(path, "a .pgm file holds grey images, not " + modeName(doc.imageMode()) +
                       (base == plugInModeRGBColor ? "; write RGB images as .ppm" : ""));

    std::string tempPath, error;
    std::FILE* f = platform::createFileBeside(path, tempPath, error);
    if (!f) fail(path, error);
    bool ok = std::fprintf(f, "%s\n%d %d\n%d\n", ppm ? "P6" : "P5", int(doc.width()), int(doc.height()),
                           doc.depth() == 8 ? 255 : 65535) > 0;
    std::vector<uint8_t> row(static_cast<size_t>(doc.rowBytes()));
    for (int32 y = 0; ok && y < doc.height(); ++y) {
        if (doc.depth() == 8) {
            std::memcpy(row.data(), doc.pixel(0, y), row.size());
        } else {
            const uint16_t* src = reinterpret_cast<const uint16_t*>(doc.pixel(0, y));
            for (int64_t i = 0; i < int64_t(doc.width()) * doc.planes(); ++i) {
                uint16_t v = hostToFile16(src[i]);
                row[size_t(2 * i)] = uint8_t(v >> 8);
                row[size_t(2 * i + 1)] = uint8_t(v & 0xFF);
            }
        }
        ok = std::fwrite(row.data(), 1, row.size(), f) == row.size();
    }
    ok = ok && std::fflush(f) == 0 && !std::ferror(f);
    int err = errno;
    if (std::fclose(f) != 0) ok = false;
    if (!ok) {
        platform::removeFile(tempPath);
        fail(path, std::string("cannot write: ") + std::strerror(err));
    }
    if (!platform::replaceFile(tempPath, path, error)) {
        platform::removeFile(tempPath);
        fail(path, error);
    }
}

}  // namespace imageio
}  // namespace refhost
