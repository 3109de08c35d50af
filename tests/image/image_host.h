// The shared host fixture with the few helpers the image tests use; every
// test also ends with no host buffer left live.
#pragma once

#include <string>
#include <vector>

#include "support/host_fixture.h"

class ImageHostTest : public HostFixture {
protected:
    const std::vector<std::string>& alerts() { return host().alerts(); }
    int64_t liveBuffers() { return host().buffers().live(); }
    // Refuses the n-th buffer allocation from now on (1 = the next one).
    void refuseAllocation(int64_t n) {
        host().buffers().resetCount();
        host().buffers().plan.refuseNth = n;
    }

    void TearDown() override {
        if (gFilterRecord) {
            EXPECT_EQ(liveBuffers(), 0) << "host buffers left live";
        }
        gParams = nullptr;
        gData = nullptr;
        HostFixture::TearDown();
    }
};

inline const char* const kOutOfMemoryAlert =
    "(Vexlor) Not enough memory to run this plugin.  Go to Edit -> Preferences -> Performance to increase "
    "memory allocation.";
