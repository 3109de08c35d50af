// In-process set-up shared by the persistence and profiling tests: one
// reference host, the plug-in's globals pointed at it, and noisy test images
// made from a fixed seed.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "host/globals.h"
#include "entry/params.h"
#include "engine/product.h"
#include "refhost/refhost.h"
#include "support/host_fixture.h"

namespace persistence_test {

// The plug-in's globals bound to one host for the length of a test, with the
// parameter block at the product's defaults.
class BoundHost : public HostBinding {
public:
    explicit BoundHost(refhost::Document doc, refhost::HostOptions options = refhost::HostOptions())
        : HostBinding(std::move(doc), std::move(options)) {
        block.flags = BooleanDefault;
        block.values = DefaultGUI;
        gParams = &block;
        gData = &data;
    }

    ParamBlock block;
    uint8 data = 0;
};

inline bool sameBlock(const ParamBlock& a, const ParamBlock& b) {
    for (int j = 0; j < kParamFlagCount; ++j)
        if (a.flags[j] != b.flags[j]) return false;
    for (int i = 0; i < kParamValueCount; ++i)
        if (std::memcmp(&a.values[i], &b.values[i], sizeof(double)) != 0) return false;
    return true;
}

// A block of distinct values and a flag pattern unlike the defaults.
inline ParamBlock distinctBlock() {
    ParamBlock p;
    for (int i = 0; i < kParamValueCount; ++i) p.values[i] = 1000.0 + i + 0.125 * i;
    for (int j = 0; j < kParamFlagCount; ++j) p.flags[j] = uint8(1 - BooleanDefault[j]);
    return p;
}

// Standard normal samples from a fixed seed, the same on every library.
class Gaussian {
public:
    explicit Gaussian(uint32_t seed) : rng_(seed) {}
    double next() {
        if (haveSpare_) {
            haveSpare_ = false;
            return spare_;
        }
        double u1, u2;
        do u1 = (rng_() + 0.5) / 4294967296.0;
        while (u1 <= 0);
        u2 = (rng_() + 0.5) / 4294967296.0;
        const double r = std::sqrt(-2.0 * std::log(u1));
        spare_ = r * std::sin(2 * M_PI * u2);
        haveSpare_ = true;
        return r * std::cos(2 * M_PI * u2);
    }

private:
    std::mt19937 rng_;
    bool haveSpare_ = false;
    double spare_ = 0;
};

// A midtone level per 32 x 32 block (blocks counted from the origin), 50..200.
inline double blockLevel(int32 x, int32 y) {
    const int bx = x / 32, by = y / 32;
    return 50.0 + 150.0 * ((bx * 7 + by * 3) % 16) / 15.0;
}

// Planes of Gaussian noise of the given sigma (on the 0..255 scale) over the
// block levels.  With samePlanes every plane carries the same noise.
inline refhost::Document noisyDocument(int16 mode, int32 width, int32 height, double sigma, uint32_t seed,
                                       bool samePlanes = false) {
    refhost::Document doc(mode, width, height);
    const int16 planes = doc.planes();
    std::vector<std::vector<double>> field(planes, std::vector<double>(size_t(width) * height));
    for (int16 p = 0; p < planes; ++p) {
        Gaussian g(samePlanes ? seed : seed + 101u * p);
        for (int32 y = 0; y < height; ++y)
            for (int32 x = 0; x < width; ++x)
                field[p][size_t(y) * width + x] = std::round(blockLevel(x, y) + sigma * g.next());
    }
    const double scale = doc.depth() == 16 ? 32768.0 / 255.0 : doc.depth() == 32 ? 1.0 / 255.0 : 1.0;
    doc.fill([&](int32 x, int32 y, int16 p) {
        double v = std::min(255.0, std::max(0.0, field[p][size_t(y) * width + x]));
        return doc.depth() == 16 ? std::round(v * scale) : v * scale;
    });
    return doc;
}

}  // namespace persistence_test
