// A reference host bound to the plug-in's globals for in-process tests of the
// image code; every test ends with nothing leaked and no host fault.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "entry/globals.h"
#include "refhost/refhost.h"

class ImageHostTest : public ::testing::Test {
protected:
    // A fresh host holding doc; the plug-in's globals point at it.
    refhost::Host& makeHost(refhost::Document doc, refhost::HostOptions options = refhost::HostOptions()) {
        unbind();
        host_ = std::make_unique<refhost::Host>(std::move(doc), options);
        host_->beginSelector(filterSelectorStart);
        storeGlobals(filterSelectorStart, &host_->record(), &host_->data(), &host_->result());
        return *host_;
    }
    refhost::Host& makeHost() { return makeHost(refhost::Document(plugInModeRGBColor, 8, 8)); }

    refhost::Host& host() { return *host_; }
    const std::vector<std::string>& alerts() { return host_->alerts(); }
    int16 result() { return host_->result(); }
    int64_t liveBuffers() { return host_->buffers().live(); }
    void refuseAllocation(int64_t n) {
        host_->buffers().resetCount();
        host_->buffers().plan.refuseNth = n;
    }

    void TearDown() override {
        if (host_) {
            EXPECT_EQ(host_->buffers().live(), 0) << "host buffers left live";
            EXPECT_EQ(host_->leakReport(), "");
        }
        unbind();
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

inline const char* const kOutOfMemoryAlert =
    "(Vexlor) Not enough memory to run this plugin.  Go to Edit -> Preferences -> Performance to increase "
    "memory allocation.";
