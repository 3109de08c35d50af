// What the image-reader fuzz targets share: the input becomes a file (the
// readers take a path, libtiff opens by name), which pihost's reader then
// reads or refuses.  Anything but a document or an ImageIoError is a find.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "refhost/image_io.h"

namespace imagefuzz {

// Small enough that a declared size the file can plausibly hold is decoded
// quickly, and that the reader's copies stay far below the fuzzer's limits.
const int64_t kBudget = int64_t(4) << 20;

// The input with its first bytes replaced by `magic`, so that mutations are
// spent on one reader.
inline void readAs(const uint8_t* data, size_t size, const std::string& magic, const char* extension) {
    struct Scratch {
        std::string path;
        ~Scratch() { unlink(path.c_str()); }
    };
    static const Scratch scratch{std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                                 "/image-fuzz-" + std::to_string(getpid()) + extension};
    const std::string& path = scratch.path;
    std::string bytes(reinterpret_cast<const char*>(data), size);
    bytes.replace(0, std::min(bytes.size(), magic.size()), magic);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !written) std::abort();
    try {
        refhost::readImage(path, kBudget);
    } catch (const refhost::ImageIoError&) {
        // A refusal with a message is the sound answer to a bad file.
    }
}

}  // namespace imagefuzz
