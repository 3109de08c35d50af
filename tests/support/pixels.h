// Pixels of float images for the tests: access, filling, the test scenes,
// and bitwise comparison.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "engine/strength_map.h"
#include "image/fl_image.h"

// Interior pixel (x, y) of an image; x, y may reach into the border.
inline float* pixel(fl_image& img, int32 x, int32 y) {
    return img.data + ((int64_t(y) + img.padY) * img.paddedWidth + x + img.padX) * 3;
}

// Fills the interior; the border is left as it was and marked stale.
template <typename F>  // F(x, y, channel) -> float
void fillInterior(fl_image& img, F f) {
    for (int32 y = 0; y < img.height; ++y)
        for (int32 x = 0; x < img.width; ++x)
            for (int ch = 0; ch < 3; ++ch) pixel(img, x, y)[ch] = f(x, y, ch);
    img.paddingGenerated = false;
}

// Every strength of the map set to v.
inline void fillMap(strength_map& map, float v) {
    for (int32 y = 0; y < map.height; ++y)
        for (int32 x = 0; x < map.width; ++x) map.row(y)[x] = v;
}

// Fills the interior, then the border.
template <typename F>
void fillImage(fl_image& img, F f) {
    fillInterior(img, f);
    img.regeneratePadding();
}

// A smooth gradient with edges and fixed-seed noise: every direction and
// every branch of the cores occurs.
inline void fillNoisyScene(fl_image& img, uint32_t seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<float> noise(0.0f, 6.0f);
    fillImage(img, [&](int32 x, int32 y, int ch) {
        float v = 40.0f + 0.7f * float(x) + 0.4f * float(y) + 20.0f * float(ch);
        if ((x / 7 + y / 5) % 3 == 0) v += 60.0f;   // blocky edges
        if (x > y) v += 30.0f;                      // a diagonal edge
        return v + noise(rng);
    });
}

// A smooth gradient with a sharp edge and hashed noise, on 0..255.
inline float patternValue(int32 x, int32 y, int c) {
    uint32_t h = uint32_t(x) * 73856093u ^ uint32_t(y) * 19349663u ^ uint32_t(c + 1) * 83492791u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    const float noise = float(h % 2001u) / 100.0f - 10.0f;
    const float base = (x > 2 * y ? 180.0f : 60.0f) + 0.7f * float(x) - 0.4f * float(y) + 15.0f * float(c);
    return base + noise;
}

// The whole padded buffer, as floats.
inline std::vector<float> contents(const fl_image& img) {
    return std::vector<float>(img.data, img.data + int64_t(img.paddedWidth) * img.paddedHeight * 3);
}

// Interior samples of an image, row by row.
inline std::vector<float> interior(fl_image& img) {
    std::vector<float> v;
    v.reserve(size_t(img.width) * img.height * 3);
    for (int32 y = 0; y < img.height; ++y) {
        const float* p = pixel(img, 0, y);
        v.insert(v.end(), p, p + int64_t(img.width) * 3);
    }
    return v;
}

// Bitwise equality of two float buffers (NaN equal to the same NaN).
inline ::testing::AssertionResult sameBits(const std::vector<float>& a, const std::vector<float>& b) {
    if (a.size() != b.size()) return ::testing::AssertionFailure() << "sizes " << a.size() << " vs " << b.size();
    if (std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0) return ::testing::AssertionSuccess();
    for (size_t i = 0; i < a.size(); ++i)
        if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0)
            return ::testing::AssertionFailure() << "first difference at float " << i << ": " << a[i] << " vs " << b[i];
    return ::testing::AssertionFailure();
}
