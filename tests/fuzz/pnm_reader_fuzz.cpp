// libFuzzer target: the reference host's own PPM and PGM reader.  The input
// becomes a file whose first two bytes are a PPM's or a PGM's magic (as its
// second byte is even or odd: '6' or '5'), so mutations are spent on the header and the
// samples; the reader must give a document or an ImageIoError.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "refhost/image_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                                    "/pnm-fuzz-" + std::to_string(getpid()) + ".pnm";
    std::string bytes(reinterpret_cast<const char*>(data), size);
    bytes.replace(0, std::min<size_t>(bytes.size(), 2), size > 1 && (data[1] & 1) == 0 ? "P6" : "P5");
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !written) std::abort();
    try {
        const refhost::Document doc = refhost::readImage(path);
        if (doc.width() <= 0 || doc.height() <= 0) std::abort();
    } catch (const refhost::ImageIoError&) {
        // A refusal that names the reason is the sound answer to a bad file.
    }
    unlink(path.c_str());
    return 0;
}
