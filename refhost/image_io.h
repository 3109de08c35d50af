// Reading and writing documents as image files: PNG (8 and 16 bits; grey,
// grey+alpha, RGB, RGBA, palette) and TIFF (8 and 16 bits, 32-bit float;
// grey, RGB, CMYK, and 8/16-bit ICC Lab).  Alpha is dropped.  Binary PPM
// (RGB) and PGM (grey), maxval 255 or 65535, need no library: a build
// without libpng and libtiff has those only.
//
// Samples convert to the host's scales: 16-bit files 0..65535 <-> 0..32768;
// CMYK files (0 = no ink) <-> the host's inverted CMYK (255 = no ink).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "refhost/refhost.h"

namespace refhost {

struct ImageIoError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The most image bytes a reader takes on by default: the host keeps the
// whole image in memory.
const int64_t kMaxImageBytes = int64_t(4) << 30;

// The format is taken from the file's first bytes.  Throws ImageIoError with
// a message that names the file and the reason.  The size a file declares is
// refused before anything is allocated when the file is too small to hold it
// or when it needs more than maxImageBytes.
Document readImage(const std::string& path, int64_t maxImageBytes = kMaxImageBytes);

// The format is taken from the extension (.png, .tif, .tiff, .ppm, .pgm;
// any case).
// The file is written beside the target under a temporary name and renamed
// into place only when complete, so an existing file is never replaced by a
// partial one.  Throws ImageIoError.
void writeImage(const Document& doc, const std::string& path);

}  // namespace refhost
