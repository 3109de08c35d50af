// libFuzzer target: pihost's PNG reader.
#include "tests/fuzz/image_reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    imagefuzz::readAs(data, size, std::string("\x89PNG\r\n\x1a\n", 8), ".png");
    return 0;
}
