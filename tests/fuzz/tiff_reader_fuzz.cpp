// libFuzzer target: pihost's TIFF reader, in either byte order.
#include "tests/fuzz/image_reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const bool bigEndian = size > 0 && data[0] == 'M';
    imagefuzz::readAs(data, size, bigEndian ? std::string("MM\0*", 4) : std::string("II*\0", 4), ".tif");
    return 0;
}
