// Image files in a build without libpng and libtiff: PPM and PGM only.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "refhost/image_io.h"
#include "refhost/image_io_pnm.h"

namespace refhost {

Document readImage(const std::string& path, int64_t maxImageBytes, FileColours* colours) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) imageio::fail(path, std::string("cannot open: ") + std::strerror(errno));
    unsigned char magic[3] = {0, 0, 0};
    const size_t n = std::fread(magic, 1, sizeof magic, f);
    if (!imageio::isPnmMagic(magic, n)) {
        std::fclose(f);
        imageio::fail(path, n == 0 ? "the file is empty"
                                   : "neither a PPM nor a PGM file (this pihost was built without PNG and TIFF "
                                     "support)");
    }
    return imageio::readPnmAndClose(f, path, maxImageBytes, colours);
}

void writeImage(const Document& doc, const std::string& path, const FileColours& colours) {
    const std::string ext = imageio::lowerExtension(path);
    if (const std::optional<FileColours> device = imageio::labWrittenIn(doc, ext, colours))
        return writeImage(imageio::labInto(doc, path, *device), path, *device);
    if (!imageio::isPnmExtension(ext))
        imageio::fail(path, "unknown output format; this pihost, built without PNG and TIFF support, writes .ppm "
                            "and .pgm");
    imageio::writePnmFile(doc, path);
}

}  // namespace refhost
