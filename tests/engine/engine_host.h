// In-process engine tests: a reference host bound to the plug-in's globals,
// float images on it, and a scalar reference of the cores that the
// vectorised kernels must match bit for bit.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/band_driver.h"
#include "engine/neighbour_windows.h"
#include "engine/noise_reduce_core.h"
#include "engine/engine_params.h"
#include "host/globals.h"
#include "host/host_services.h"
#include "image/fl_image.h"
#include "refhost/refhost.h"

inline const char* const kEngineOutOfMemoryAlert =
    "(Vexlor) Not enough memory to run this plugin.  Go to Edit -> Preferences -> Performance to increase "
    "memory allocation.";

class EngineHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        makeHost();
        setEngineThreadCount(0);
        highnoiseLevelReduce = 0.3f;
        lowThresholdingAmount = 2.0f;
        highThresholdingAmount = 10.0f;
        invertMatte = false;
        level0noiseLevel = 12.0f;
        beginFilteringRun(false);
    }
    void TearDown() override {
        setEngineThreadCount(0);
        bandWorkerStartFailures = 0;
        if (host_) {
            EXPECT_EQ(host_->buffers().live(), 0) << "host buffers left live";
            EXPECT_EQ(host_->leakReport(), "");
        }
        endFilteringRun();
        globalUserCancelled = false;
        unbind();
    }

    refhost::Host& makeHost(refhost::HostOptions options = refhost::HostOptions()) {
        unbind();
        host_ = std::make_unique<refhost::Host>(refhost::Document(plugInModeRGBColor, 8, 8), options);
        host_->beginSelector(filterSelectorStart);
        storeGlobals(filterSelectorStart, &host_->record(), &host_->data(), &host_->result());
        return *host_;
    }
    refhost::Host& host() { return *host_; }
    const std::vector<std::string>& alerts() { return host_->alerts(); }
    void refuseAllocation(int64_t n) {
        host_->buffers().resetCount();
        host_->buffers().plan.refuseNth = n;
    }

private:
    void unbind() {
        host_.reset();
        gParams = nullptr;
        gData = nullptr;
        gFilterRecord = nullptr;
        gResult = nullptr;
        gDataHandle = nullptr;
    }
    std::unique_ptr<refhost::Host> host_;
};

// Interior pixel (x, y) of an image; x, y may reach into the border.
inline float* pixel(fl_image& img, int32 x, int32 y) {
    return img.data + ((int64_t(y) + img.padY) * img.paddedWidth + x + img.padX) * 3;
}

// Fills the interior, then the border.
template <typename F>  // F(x, y, channel) -> float
void fillImage(fl_image& img, F f) {
    for (int32 y = 0; y < img.height; ++y)
        for (int32 x = 0; x < img.width; ++x)
            for (int ch = 0; ch < 3; ++ch) pixel(img, x, y)[ch] = f(x, y, ch);
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

// The whole padded buffer, as floats.
inline std::vector<float> contents(const fl_image& img) {
    return std::vector<float>(img.data, img.data + int64_t(img.paddedWidth) * img.paddedHeight * 3);
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

// The noise-reduction core for one pixel, written out plainly from its
// definition: direction by tournament, the chosen window's weights in
// window order, the blend.  Returns the strength m (0 when copied).
inline float referenceNoiseReducePixel(fl_image& src, fl_image& dst, int32 x, int32 y, float noiseLevel,
                                       bool smoothReference, float amount) {
    float* c = pixel(src, x, y);
    const int32 rowLength = src.paddedWidth * 3;
    const int dir = chooseNeighbourDirection(c, rowLength, smoothReference);
    neighbourPointerWindow window;
    kNeighbourSetPointers[dir](window, c, rowLength);
    const float U = similarityRange(c[0], c[1], c[2], noiseLevel);
    const float invU = 1.0f / U;
    float W = 0, S0 = 0, S1 = 0, S2 = 0;
    for (int k = 0; k < kNeighbourWindowSize; ++k) {
        const float* q = window[k];
        const float d = (std::fabs(c[0] - q[0]) + std::fabs(c[1] - q[1])) + std::fabs(c[2] - q[2]);
        const float w = d > U ? 0.0f : 1.0f - d * invU;
        W += w;
        S0 += w * q[0];
        S1 += w * q[1];
        S2 += w * q[2];
    }
    float* o = pixel(dst, x, y);
    if (W != 0.0f && !std::isnan(W)) {
        const float m = (1.0f - 1.0f / (W + 1.0f)) * amount;
        o[0] = (1.0f - m) * o[0] + m * S0 / W;
        o[1] = (1.0f - m) * o[1] + m * S1 / W;
        o[2] = (1.0f - m) * o[2] + m * S2 / W;
        return m;
    }
    o[0] = c[0];
    o[1] = c[1];
    o[2] = c[2];
    return 0.0f;
}
