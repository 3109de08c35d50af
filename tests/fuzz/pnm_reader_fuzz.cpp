// libFuzzer target: pihost's own PPM and PGM reader, the magic of either
// (as the second byte is even or odd: '6' or '5').
#include "tests/fuzz/image_reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const bool rgb = size > 1 && (data[1] & 1) == 0;
    imagefuzz::readAs(data, size, rgb ? "P6" : "P5", rgb ? ".ppm" : ".pgm");
    return 0;
}
