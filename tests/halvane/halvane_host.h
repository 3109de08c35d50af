// In-process tests of Halvane's engine: a reference host bound to the
// plug-in's globals, the parameter block at Halvane's defaults with the
// engine parameters derived from it, and small helpers for float images.
// Every test ends with no host buffer live and no host fault.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/band_driver.h"
#include "engine/strength_map.h"
#include "entry/engine_params.h"
#include "entry/globals.h"
#include "entry/host_services.h"
#include "entry/params.h"
#include "image/fl_image.h"
#include "refhost/refhost.h"

inline const char* const kHalvaneOutOfMemoryAlert =
    "(Vexlor) Not enough memory to run this plugin.  Go to Edit -> Preferences -> Performance to increase "
    "memory allocation.";

class HalvaneHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        makeHost();
        useDefaults();
    }
    void TearDown() override {
        setEngineThreadCount(0);
        if (host_) {
            EXPECT_EQ(host_->buffers().live(), 0) << "host buffers left live";
            EXPECT_EQ(host_->leakReport(), "");
        }
        endFilteringRun();
        globalUserCancelled = false;
        unbind();
    }

    refhost::Host& makeHost(refhost::HostOptions options = refhost::HostOptions(), int16 mode = plugInModeRGBColor) {
        unbind();
        host_ = std::make_unique<refhost::Host>(refhost::Document(mode, 8, 8), options);
        host_->beginSelector(filterSelectorStart);
        storeGlobals(filterSelectorStart, &host_->record(), &host_->data(), &host_->result());
        gParams = &block_;
        beginFilteringRun(false);
        return *host_;
    }
    // Halvane's defaults, derived into the engine parameters.
    void useDefaults() {
        block_.values = DefaultGUI;
        block_.flags = BooleanDefault;
        derive();
    }
    void derive() {
        renderingProxy = false;
        calcInternalFilterParams();
    }

    refhost::Host& host() { return *host_; }
    const std::vector<std::string>& alerts() { return host_->alerts(); }
    int64_t liveBuffers() { return host_->buffers().live(); }

    ParamBlock block_;

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

// Interior pixel access.
inline float* px(fl_image& img, int32 x, int32 y) {
    return img.data + ((int64_t(y) + img.padY) * img.paddedWidth + (int64_t(x) + img.padX)) * 3;
}

// Fills the interior with f(x, y, channel); the border is marked stale.
inline void fillImage(fl_image& img, const std::function<float(int32, int32, int)>& f) {
    for (int32 y = 0; y < img.height; ++y)
        for (int32 x = 0; x < img.width; ++x)
            for (int c = 0; c < 3; ++c) px(img, x, y)[c] = f(x, y, c);
    img.paddingGenerated = false;
}

// Every strength of the map set to v.
inline void fillMap(strength_map& map, float v) {
    for (int32 y = 0; y < map.height; ++y)
        for (int32 x = 0; x < map.width; ++x) map.row(y)[x] = v;
}

// A smooth gradient with a sharp edge and fixed-seed noise, on 0..255.
inline float patternValue(int32 x, int32 y, int c) {
    uint32_t h = uint32_t(x) * 73856093u ^ uint32_t(y) * 19349663u ^ uint32_t(c + 1) * 83492791u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    const float noise = float(h % 2001u) / 100.0f - 10.0f;
    const float base = (x > 2 * y ? 180.0f : 60.0f) + 0.7f * float(x) - 0.4f * float(y) + 15.0f * float(c);
    return base + noise;
}

// Interior samples of an image, row by row.
inline std::vector<float> interior(fl_image& img) {
    std::vector<float> v;
    v.reserve(size_t(img.width) * img.height * 3);
    for (int32 y = 0; y < img.height; ++y) {
        const float* p = px(img, 0, y);
        v.insert(v.end(), p, p + int64_t(img.width) * 3);
    }
    return v;
}

// Bitwise equality of two sample vectors (NaN compares by its bits).
inline bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}
