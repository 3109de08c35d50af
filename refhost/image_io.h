// Reading and writing documents as image files: PNG (8 and 16 bits; grey,
// grey+alpha, RGB, RGBA, palette) and TIFF (8 and 16 bits, 32-bit float;
// grey, RGB, CMYK, and 8/16-bit ICC Lab).  Alpha is dropped.  Binary PPM
// (RGB) and PGM (grey), maxval 255 or 65535, need no library: a build
// without libpng and libtiff has those only.
//
// Samples convert to the host's scales: 16-bit files 0..65535 <-> 0..32768;
// CMYK files (0 = no ink) <-> the host's inverted CMYK (255 = no ink).
//
// The ICC profile a PNG (iCCP) or TIFF (the ICC tag) embeds for its grey,
// RGB or CMYK samples of 8 or 16 bits is read and written back (not a
// min-is-white TIFF's: the host holds its grey inverted); 32-bit samples are
// linear sRGB, and a Lab TIFF is the host's Lab (D50).  A format
// without Lab (PNG, PPM, PGM) gets a Lab document in device colours.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "refhost/refhost.h"

namespace refhost {

struct ImageIoError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The most image bytes a reader takes on by default: the host keeps the
// whole image in memory.
const int64_t kMaxImageBytes = int64_t(4) << 30;

// The colours of a file's samples: their mode's family (grey, RGB or CMYK)
// and the ICC profile the file embeds, empty for none (sRGB for grey and RGB:
// grey with sRGB's tone curve).  A Lab document goes back into them.
struct FileColours {
    int16 baseMode = plugInModeRGBColor;
    std::vector<uint8_t> iccProfile;
};

// The format is taken from the file's first bytes.  Throws ImageIoError with
// a message that names the file and the reason (an embedded profile that is
// not one of the samples' colours is refused too).  The size a file declares
// is refused before anything is allocated when the file is too small to hold
// it or when it needs more than maxImageBytes.  colours, when given, gets
// the colours of the file's samples.
Document readImage(const std::string& path, int64_t maxImageBytes = kMaxImageBytes, FileColours* colours = nullptr);

// The format is taken from the extension (.png, .tif, .tiff, .ppm, .pgm;
// any case).  A document of colours' mode family at 8 or 16 bits is written
// with colours' profile (PNG and TIFF); a Lab document goes into colours as
// a PNG, into sRGB as a PPM and into grey with sRGB's tone curve as a PGM,
// and stays Lab in a TIFF.
// The file is written beside the target under a temporary name and renamed
// into place only when complete, so an existing file is never replaced by a
// partial one.  Throws ImageIoError.
void writeImage(const Document& doc, const std::string& path, const FileColours& colours = {});

// Throws the ImageIoError that writeImage(doc, path, colours) would for a
// Lab document that cannot go into the file's colours, before the document
// is made.
void checkColoursWritable(const Document& doc, const std::string& path, const FileColours& colours = {});

}  // namespace refhost
