// libFuzzer target: the settings-file reader on any bytes, for both
// products' magic.  A load that fails leaves the parameters exactly as they
// were; one that succeeds holds finite values and flags of 0 or 1, and
// writing them back gives the bytes read (but the two ignored after the
// values).  Anything else, or a sanitizer's report, is a find.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "entry/settings_file.h"

namespace {

struct Block {
    double values[kParamValueCount];
    uint8 flags[kParamFlagCount];
};

void checkOne(const uint8_t* data, size_t size, const char* magic) {
    Block block, before;
    for (int i = 0; i < kParamValueCount; ++i) block.values[i] = 1000.0 + i;
    for (int j = 0; j < kParamFlagCount; ++j) block.flags[j] = uint8(7 + j);
    std::memcpy(&before, &block, sizeof block);
    parameterStructure params;
    for (double& v : block.values) params.values.push_back(&v);
    for (uint8& f : block.flags) params.flags.push_back(&f);

    if (!readSettingsBytes(params, data, size, magic)) {
        if (std::memcmp(&block, &before, sizeof block) != 0) std::abort();
        return;
    }
    for (double v : block.values)
        if (!std::isfinite(v)) std::abort();
    for (uint8 f : block.flags)
        if (f > 1) std::abort();
    const size_t m = std::strlen(magic), needed = settingsBytesNeeded(magic);
    std::string read(reinterpret_cast<const char*>(data), needed);
    read.replace(m + kParamValueCount * 8, 2, "\r\r");
    const std::string written = settingsFileBytes(params, magic);
    if (written.compare(0, needed, read) != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    checkOne(data, size, "Halvane ver1");
    checkOne(data, size, "Glimra ver1");
    return 0;
}
