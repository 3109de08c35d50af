// The writer and reader of settings files.
#include "entry/settings_file.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "host/alerts.h"

namespace {

const char kLineEnd[2] = {0x0D, 0x0D};

void showIfAny(const char* text) {
    if (text) doAlertBox(text);
}

}  // namespace

void writeEOL(std::string& out) { out.append(kLineEnd, sizeof kLineEnd); }

bool readEOL(const unsigned char*& p) {
    p += sizeof kLineEnd;
    return true;
}

size_t settingsBytesNeeded(const char* magic) {
    return std::strlen(magic) + kParamValueCount * 8 + sizeof kLineEnd + kParamFlagCount;
}

std::string settingsFileBytes(const parameterStructure& params, const char* magic) {
    std::string out(magic);
    for (int i = 0; i < kParamValueCount; ++i) {
        uint64_t bits;
        std::memcpy(&bits, params.values.at(i), sizeof bits);
        for (int shift = 56; shift >= 0; shift -= 8) out += char((bits >> shift) & 0xFF);
    }
    writeEOL(out);
    for (int j = 0; j < kParamFlagCount; ++j) out += char(*params.flags.at(j));
    writeEOL(out);
    return out;
}

bool readSettingsBytes(const parameterStructure& params, const unsigned char* bytes, size_t size, const char* magic) {
    const size_t m = std::strlen(magic);
    if (size < m || std::memcmp(bytes, magic, m) != 0) {
        showIfAny(kSettingsNotValidText);
        return false;
    }
    if (size < settingsBytesNeeded(magic)) return false;

    double values[kParamValueCount];
    const unsigned char* p = bytes + m;
    for (double& v : values) {
        uint64_t bits = 0;
        for (int k = 0; k < 8; ++k) bits = bits << 8 | *p++;
        std::memcpy(&v, &bits, sizeof v);
    }
    readEOL(p);
    const unsigned char* flags = p;
    // A value that is no number or a flag that is neither 0 nor 1 is a file
    // that is not ours, however it came to match the magic.
    for (double v : values)
        if (!std::isfinite(v)) {
            showIfAny(kSettingsNotValidText);
            return false;
        }
    for (int j = 0; j < kParamFlagCount; ++j)
        if (flags[j] > 1) {
            showIfAny(kSettingsNotValidText);
            return false;
        }

    for (int i = 0; i < kParamValueCount; ++i) *params.values.at(i) = values[i];
    for (int j = 0; j < kParamFlagCount; ++j) *params.flags.at(j) = flags[j];
    return true;
}

bool writeParamsToFile(parameterStructure params, std::string path, const char* magic) {
    const std::string bytes = settingsFileBytes(params, magic);
    std::string tempPath;
    void* file = gSettingsFileOps.createBeside(path, tempPath);
    if (!file) {
        showIfAny(kSettingsCannotCreateText);
        return false;
    }
    bool ok = gSettingsFileOps.write(file, bytes.data(), bytes.size());
    ok = gSettingsFileOps.close(file) && ok;
    ok = ok && gSettingsFileOps.replace(tempPath, path);
    if (!ok) gSettingsFileOps.remove(tempPath);
    return ok;
}

bool loadParamsFromFile(parameterStructure params, std::string path, const char* magic) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        showIfAny(kSettingsCannotOpenText);
        return false;
    }
    std::vector<unsigned char> bytes(settingsBytesNeeded(magic));
    const size_t got = std::fread(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return readSettingsBytes(params, bytes.data(), got, magic);
}
