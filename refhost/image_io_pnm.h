// Internal to the image file code: what the PNG and TIFF paths share with
// the library-free PPM/PGM path, which every build of the host has.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "refhost/image_io.h"

namespace refhost {
namespace imageio {

[[noreturn]] void fail(const std::string& path, const std::string& why);

// a * b, or INT64_MAX when that does not fit (both at least 0).
int64_t saturatedProduct(int64_t a, int64_t b);
// Refuses `what` (e.g. "PGM of 3 x 2 pixels"), before anything is
// allocated for it, when it takes more than budget bytes in memory.
void checkBudget(const std::string& path, const std::string& what, int64_t bytes, int64_t budget);

// 16-bit file samples 0..65535 <-> the host's 0..32768, rounded to nearest.
inline uint16_t fileToHost16(uint32_t v) { return uint16_t((uint64_t(v) * 32768 * 2 + 65535) / (2 * 65535)); }
inline uint16_t hostToFile16(uint32_t v) {
    v = std::min<uint32_t>(v, 32768);
    return uint16_t((uint64_t(v) * 65535 * 2 + 32768) / (2 * 32768));
}

// The extension without the dot, in lower case; empty without one.
std::string lowerExtension(const std::string& path);

// The colours a Lab document is written in by a format without Lab (the
// lower-case extension): colours for PNG, sRGB for PPM, grey with sRGB's
// tone curve for PGM; none for TIFF, which holds Lab, or another document.
std::optional<FileColours> labWrittenIn(const Document& doc, const std::string& lowerExt, const FileColours& colours);
// The Lab document in those colours; throws ImageIoError naming path.
Document labInto(const Document& doc, const std::string& path, const FileColours& device);
// Refuses, naming path, a profile that is not one of baseMode's colours.
void checkEmbeddedProfile(const std::string& path, const std::vector<uint8_t>& iccProfile, int16 baseMode);
// True when doc is written with colours' profile: one of its mode family
// at 8 or 16 bits.
bool embedsProfile(const Document& doc, const FileColours& colours);

// Binary PPM (P6, RGB) and PGM (P5, grey) with maxval 255 or 65535.
bool isPnmExtension(const std::string& lowerExt);    // "ppm" or "pgm"
bool isPnmMagic(const unsigned char* bytes, size_t n);  // "P5" or "P6" and a blank
// Reads from the start of f; throws ImageIoError.
Document readPnm(std::FILE* f, const std::string& path, int64_t maxImageBytes);
// readPnm from the start of an open file, which it closes whatever happens;
// colours, when given, get the samples' mode family (PPM and PGM embed no
// profile).
Document readPnmAndClose(std::FILE* f, const std::string& path, int64_t maxImageBytes, FileColours* colours);
// Writes beside path under a temporary name, then renames it into place.
void writePnmFile(const Document& doc, const std::string& path);

}  // namespace imageio
}  // namespace refhost
