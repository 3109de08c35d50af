// A reference host bound to the in-process plug-in's globals for one test.
// At TearDown nothing may have leaked and the host must have recorded no
// fault (a double free, a bad handle, ...).
//
//     class MyTest : public HostFixture {};
//     TEST_F(MyTest, Something) {
//         refhost::Host& host = makeHost(plugInModeRGB48, 64, 48);
//         ... call the plug-in's functions; gFilterRecord is host.record() ...
//     }
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

#include "host/globals.h"
#include "refhost/refhost.h"

class HostFixture : public ::testing::Test {
protected:
    // A fresh host holding doc; the plug-in's globals point at it.  With
    // use32Bit the big-document record says the plug-in uses 32-bit
    // coordinates, as PluginMain announces on every call.
    refhost::Host& makeHost(refhost::Document doc, refhost::HostOptions options = refhost::HostOptions(),
                            bool use32Bit = true) {
        checkAndUnbind();
        host_ = std::make_unique<refhost::Host>(std::move(doc), std::move(options));
        host_->beginSelector(filterSelectorStart);
        if (use32Bit && host_->record().bigDocumentData)
            host_->record().bigDocumentData->PluginUsing32BitCoordinates = 1;
        gFilterRecord = &host_->record();
        gResult = &host_->result();
        gDataHandle = &host_->data();
        sSPBasic = host_->record().sSPBasic;
        return *host_;
    }
    // A document of the mode filled with the deterministic test pattern.
    refhost::Host& makeHost(int16 mode = plugInModeRGBColor, int32 width = 16, int32 height = 16,
                            refhost::HostOptions options = refhost::HostOptions()) {
        refhost::Document doc(mode, width, height);
        doc.fillPattern();
        return makeHost(std::move(doc), std::move(options));
    }

    refhost::Host& host() { return *host_; }
    int16 result() const { return host_->result(); }

    // A test that provokes a fault on purpose checks it and then calls
    // host().clearFaults(); one that leaks on purpose switches this off.
    bool checkLeaks = true;

    void TearDown() override { checkAndUnbind(); }

private:
    void checkAndUnbind() {
        if (host_ && checkLeaks) {
            EXPECT_EQ(host_->leakReport(), "") << "host resources left or misused";
        }
        host_.reset();
        gFilterRecord = nullptr;
        gResult = nullptr;
        gDataHandle = nullptr;
        sSPBasic = nullptr;
    }
    std::unique_ptr<refhost::Host> host_;
};
