// Image modes, the in-memory document and descriptor entries.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "refhost/refhost.h"

namespace refhost {

int16 planesForMode(int16 mode) {
    switch (mode) {
        case plugInModeGrayScale:
        case plugInModeGray16:
        case plugInModeGray32:
            return 1;
        case plugInModeRGBColor:
        case plugInModeRGB48:
        case plugInModeRGB96:
        case plugInModeLabColor:
        case plugInModeLab48:
            return 3;
        case plugInModeCMYKColor:
        case plugInModeCMYK64:
            return 4;
        default:
            return 0;
    }
}

int32 depthForMode(int16 mode) {
    switch (mode) {
        case plugInModeGrayScale:
        case plugInModeRGBColor:
        case plugInModeLabColor:
        case plugInModeCMYKColor:
            return 8;
        case plugInModeGray16:
        case plugInModeRGB48:
        case plugInModeLab48:
        case plugInModeCMYK64:
            return 16;
        case plugInModeGray32:
        case plugInModeRGB96:
            return 32;
        default:
            return 0;
    }
}

int16 modeFor(int16 base, int32 depth) {
    struct Row {
        int16 base, m8, m16, m32;
    };
    static const Row rows[] = {
        {plugInModeGrayScale, plugInModeGrayScale, plugInModeGray16, plugInModeGray32},
        {plugInModeRGBColor, plugInModeRGBColor, plugInModeRGB48, plugInModeRGB96},
        {plugInModeLabColor, plugInModeLabColor, plugInModeLab48, -1},
        {plugInModeCMYKColor, plugInModeCMYKColor, plugInModeCMYK64, -1},
    };
    for (const Row& r : rows) {
        if (r.base != base && r.m16 != base && r.m32 != base) continue;
        if (depth == 8) return r.m8;
        if (depth == 16) return r.m16;
        if (depth == 32) return r.m32;
        return -1;
    }
    return -1;
}

std::string modeName(int16 mode) {
    switch (mode) {
        case plugInModeGrayScale: return "Gray";
        case plugInModeRGBColor: return "RGB";
        case plugInModeLabColor: return "Lab";
        case plugInModeCMYKColor: return "CMYK";
        case plugInModeGray16: return "Gray16";
        case plugInModeRGB48: return "RGB48";
        case plugInModeLab48: return "Lab48";
        case plugInModeCMYK64: return "CMYK64";
        case plugInModeGray32: return "Gray32";
        case plugInModeRGB96: return "RGB96";
        default: return "mode " + std::to_string(mode);
    }
}

Document::Document(int16 imageMode, int32 width, int32 height)
    : mode_(imageMode), width_(width), height_(height), planes_(planesForMode(imageMode)),
      depth_(depthForMode(imageMode)) {
    if (planes_ == 0) throw std::invalid_argument("refhost::Document: unsupported image mode " + modeName(imageMode));
    if (width <= 0 || height <= 0)
        throw std::invalid_argument("refhost::Document: size " + std::to_string(width) + " x " +
                                    std::to_string(height) + " is not positive");
    bytes_.assign(size_t(rowBytes() * height_), 0);
}

double Document::get(int32 x, int32 y, int16 plane) const {
    const uint8_t* p = pixel(x, y) + int64_t(plane) * sampleBytes();
    switch (depth_) {
        case 8: return *p;
        case 16: {
            uint16_t v;
            std::memcpy(&v, p, 2);
            return v;
        }
        default: {
            float v;
            std::memcpy(&v, p, 4);
            return v;
        }
    }
}

void Document::set(int32 x, int32 y, int16 plane, double v) {
    uint8_t* p = pixel(x, y) + int64_t(plane) * sampleBytes();
    switch (depth_) {
        case 8: {
            double c = std::isnan(v) ? 0 : std::fmin(255.0, std::fmax(0.0, std::round(v)));
            *p = uint8_t(c);
            break;
        }
        case 16: {
            double c = std::isnan(v) ? 0 : std::fmin(32768.0, std::fmax(0.0, std::round(v)));
            uint16_t s = uint16_t(c);
            std::memcpy(p, &s, 2);
            break;
        }
        default: {
            float f = float(v);
            std::memcpy(p, &f, 4);
            break;
        }
    }
}

void Document::fillPattern(uint32_t seed) {
    uint32_t state = seed ? seed : 1;
    auto next = [&state]() {  // xorshift32: the same sequence on every platform
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    const double full = depth_ == 8 ? 255.0 : depth_ == 16 ? 32768.0 : 1.0;
    fill([&](int32 x, int32 y, int16 p) {
        double gx = width_ > 1 ? double(x) / (width_ - 1) : 0.5;
        double gy = height_ > 1 ? double(y) / (height_ - 1) : 0.5;
        double base = p % 3 == 0 ? gx : p % 3 == 1 ? gy : 0.5 * (gx + gy);
        double noise = (double(next() % 2001) / 1000.0 - 1.0) * 0.05;
        double v = std::fmin(1.0, std::fmax(0.0, 0.1 + 0.8 * base + noise));
        return v * full;
    });
}

bool Document::operator==(const Document& o) const {
    return mode_ == o.mode_ && width_ == o.width_ && height_ == o.height_ && bytes_ == o.bytes_;
}

// ---------------------------------------------------------------------------

DescriptorEntry DescriptorEntry::Float(DescriptorKeyID k, double v) {
    DescriptorEntry e;
    e.key = k;
    e.type = typeFloat;
    e.f = v;
    return e;
}

DescriptorEntry DescriptorEntry::Integer(DescriptorKeyID k, int32 v) {
    DescriptorEntry e;
    e.key = k;
    e.type = typeInteger;
    e.i = v;
    return e;
}

DescriptorEntry DescriptorEntry::Boolean(DescriptorKeyID k, bool v) {
    DescriptorEntry e;
    e.key = k;
    e.type = typeBoolean;
    e.b = v;
    return e;
}

bool DescriptorEntry::operator==(const DescriptorEntry& o) const {
    if (key != o.key || type != o.type) return false;
    switch (type) {
        case typeFloat: return std::memcmp(&f, &o.f, sizeof f) == 0;  // bit-exact, NaN included
        case typeInteger: return i == o.i;
        case typeBoolean: return b == o.b;
        default: return true;
    }
}

const DescriptorEntry* findEntry(const Descriptor& d, DescriptorKeyID key) {
    for (const DescriptorEntry& e : d)
        if (e.key == key) return &e;
    return nullptr;
}

std::string keyName(DescriptorKeyID key) {
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        unsigned char c = static_cast<unsigned char>((key >> shift) & 0xFF);
        if (c >= 32 && c < 127) {
            s += char(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            s += buf;
        }
    }
    return s;
}

DescriptorKeyID keyFromName(const std::string& name) {
    if (name.size() != 4) throw std::invalid_argument("a key has 4 characters: '" + name + "'");
    DescriptorKeyID k = 0;
    for (char c : name) k = (k << 8) | uint8_t(c);
    return k;
}

std::string toString(const DescriptorEntry& e) {
    char buf[64];
    switch (e.type) {
        case typeFloat: std::snprintf(buf, sizeof buf, "doub %.17g", e.f); break;
        case typeInteger: std::snprintf(buf, sizeof buf, "long %d", int(e.i)); break;
        case typeBoolean: std::snprintf(buf, sizeof buf, "bool %s", e.b ? "true" : "false"); break;
        default: std::snprintf(buf, sizeof buf, "%s ?", keyName(e.type).c_str()); break;
    }
    return keyName(e.key) + " " + buf;
}

}  // namespace refhost
