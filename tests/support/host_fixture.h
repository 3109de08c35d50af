// The reference host bound to the in-process plug-in's globals, as
// PluginMain binds them for a selector, for every test folder.  When the
// binding ends nothing may have leaked and the host must have recorded no
// fault (a double free, a bad handle, ...); when the test ends every piece
// of process-wide state a test can change is back at its start value.
//
//     class MyTest : public HostFixture {};
//     TEST_F(MyTest, Something) {
//         refhost::Host& host = makeHost(plugInModeRGB48, 64, 48);
//         ... call the plug-in's functions; gFilterRecord is host.record() ...
//     }
//
// or, for one binding in a plain test, a HostBinding on the stack.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/engine_params.h"
#include "engine/product.h"
#include "host/band_runner.h"
#include "host/globals.h"
#include "host/host_services.h"
#include "image/host_import.h"
#include "refhost/refhost.h"

inline const char* const kOutOfMemoryAlert =
    "(Vexlor) Not enough memory to run this plugin.  Go to Edit -> Preferences -> Performance to increase "
    "memory allocation.";

namespace host_binding {

// Start values of the state that the plug-in keeps for the process and that
// a run changes: profiling makes its level and preset the defaults, a
// low-memory prepare shrinks the megatile plan.
struct startValues {
    checked_array<double, kParamValueCount> defaults = DefaultGUI;
    int32 chunksWide = megaTileChunksWide;
    int32 chunksHigh = megaTileChunksHigh;
    int32 blockEdge = blockSize;
    int32 fetchEdge = blockSizeAfterInputRateA;
};
inline const startValues kStart;

inline void bind(refhost::Host& host, bool use32Bit) {
    host.beginSelector(filterSelectorStart);
    if (use32Bit && host.record().bigDocumentData)
        host.record().bigDocumentData->PluginUsing32BitCoordinates = 1;
    gFilterRecord = &host.record();
    gResult = &host.result();
    gDataHandle = &host.data();
    sSPBasic = host.record().sSPBasic;
}

inline void unbind() {
    gFilterRecord = nullptr;
    gResult = nullptr;
    gDataHandle = nullptr;
    sSPBasic = nullptr;
    gParams = nullptr;
    gData = nullptr;
}

inline void expectNoLeaks(const refhost::Host& host) {
    EXPECT_EQ(host.leakReport(), "") << "host resources left or misused";
}

// Everything but the globals of the call, back at its start value.  Within
// a test the state lasts as it does for one load of the plug-in, across
// hosts bound one after another.
inline void resetProcessState() {
    endFilteringRun();
    globalUserCancelled = false;
    clocksStopped = false;
    progressTotal = 0;
    progressDone = 0;
    setEngineThreadCount(0);
    bandWorkerStartFailures = 0;
    renderingProxy = false;
    DefaultGUI = kStart.defaults;
    megaTileChunksWide = kStart.chunksWide;
    megaTileChunksHigh = kStart.chunksHigh;
    blockSize = kStart.blockEdge;
    blockSizeAfterInputRateA = kStart.fetchEdge;
}

class resetAfterEachTest : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo&) override { resetProcessState(); }
};
inline const bool kResetRegistered =
    (::testing::UnitTest::GetInstance()->listeners().Append(new resetAfterEachTest), true);

}  // namespace host_binding

// One binding for the length of a scope.
class HostBinding {
public:
    explicit HostBinding(refhost::Document doc, refhost::HostOptions options = refhost::HostOptions(),
                         bool use32Bit = true)
        : host(std::move(doc), std::move(options)) {
        host_binding::bind(host, use32Bit);
    }
    virtual ~HostBinding() {
        if (checkLeaks) host_binding::expectNoLeaks(host);
        host_binding::unbind();
    }
    HostBinding(const HostBinding&) = delete;
    HostBinding& operator=(const HostBinding&) = delete;

    refhost::Host host;
    // A test that leaks on purpose switches this off.
    bool checkLeaks = true;
};

// A binding for the length of a test; a test may bind a new host midway.
class HostFixture : public ::testing::Test {
protected:
    // A fresh host holding doc; the plug-in's globals point at it.  With
    // use32Bit the big-document record says the plug-in uses 32-bit
    // coordinates, as PluginMain announces on every call.
    refhost::Host& makeHost(refhost::Document doc, refhost::HostOptions options = refhost::HostOptions(),
                            bool use32Bit = true) {
        checkAndUnbind();
        host_ = std::make_unique<refhost::Host>(std::move(doc), std::move(options));
        host_binding::bind(*host_, use32Bit);
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
    const std::vector<std::string>& alerts() { return host_->alerts(); }
    int64_t liveBuffers() { return host_->buffers().live(); }
    // Refuses the n-th buffer allocation from now on (1 = the next one).
    void refuseAllocation(int64_t n) {
        host_->buffers().resetCount();
        host_->buffers().plan.refuseNth = n;
    }

    // A test that provokes a fault on purpose checks it and then calls
    // host().clearFaults(); one that leaks on purpose switches this off.
    bool checkLeaks = true;

    void TearDown() override { checkAndUnbind(); }

private:
    void checkAndUnbind() {
        if (host_ && checkLeaks) host_binding::expectNoLeaks(*host_);
        host_.reset();
        host_binding::unbind();
    }
    std::unique_ptr<refhost::Host> host_;
};

// The engine's tests: an 8 x 8 host without pattern, and the engine
// parameters that the cores read set directly.
class EngineHostTest : public HostFixture {
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
    refhost::Host& makeHost(refhost::HostOptions options = refhost::HostOptions()) {
        return HostFixture::makeHost(refhost::Document(plugInModeRGBColor, 8, 8), std::move(options));
    }
};

// The product's structure: an 8 x 8 host without pattern, and the parameter
// block at the product's defaults with the engine parameters derived from it.
class ProductDefaultsTest : public HostFixture {
protected:
    void SetUp() override {
        makeHost();
        useDefaults();
    }
    refhost::Host& makeHost(refhost::HostOptions options = refhost::HostOptions(), int16 mode = plugInModeRGBColor) {
        refhost::Host& h = HostFixture::makeHost(refhost::Document(mode, 8, 8), std::move(options));
        gParams = &block_;
        beginFilteringRun(false);
        return h;
    }
    void useDefaults() {
        block_.values = DefaultGUI;
        block_.flags = BooleanDefault;
        derive();
    }
    void derive() {
        renderingProxy = false;
        calcInternalFilterParams();
    }

    ParamBlock block_;
};
