// Abort, progress, alerts, pixel display and properties.
#include <string>
#include <vector>

#include "Carbon.h"
#include "support/host_fixture.h"

namespace {

class Services : public HostFixture {};

class AbortAt : public Services, public ::testing::WithParamInterface<int32> {};

TEST_P(AbortAt, ReportsCancelFromCallKOn) {
    makeHost();
    const int32 k = GetParam();
    host().cancelAtAbortCall = k;
    for (int32 call = 1; call <= 6; ++call)
        EXPECT_EQ(host().record().abortProc() != 0, k > 0 && call >= k) << "call " << call;
    EXPECT_EQ(host().abortCalls(), 6);
}

INSTANTIATE_TEST_SUITE_P(K, AbortAt, ::testing::Values(0, 1, 4));

TEST_F(Services, ProgressCallsAreRecorded) {
    makeHost();
    host().record().progressProc(0, 10);
    host().record().progressProc(12, 10);  // not clamped by the host
    EXPECT_EQ(host().progressCalls(), (std::vector<std::pair<int32, int32>>{{0, 10}, {12, 10}}));
}

TEST_F(Services, AlertsOfTheCarbonStandInReachTheCurrentHost) {
    makeHost();
    CFStringRef text = CFStringCreateWithCString(nullptr, "(Vexlor) Test alert.  Second sentence.", kCFStringEncodingUTF8);
    DialogRef alert = nullptr;
    ASSERT_EQ(CreateStandardAlert(kAlertStopAlert, text, nullptr, nullptr, &alert), 0);
    RunStandardAlert(alert, nullptr, nullptr);
    CFRelease(text);
    EXPECT_EQ(host().alerts(), std::vector<std::string>{"(Vexlor) Test alert.  Second sentence."});
}

TEST_F(Services, DisplayPixelsCopiesTheSourceRectangle) {
    makeHost();
    std::vector<uint8_t> pixels(4 * 3 * 3);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i);
    PSPixelMap map{};
    map.version = 1;
    map.bounds = VRect{0, 0, 3, 4};
    map.imageMode = plugInModeRGBColor;
    map.rowBytes = 12;
    map.colBytes = 3;
    map.planeBytes = 1;
    map.baseAddr = pixels.data();
    const VRect src{1, 2, 2, 4};
    EXPECT_EQ(host().record().displayPixels(&map, &src, 10, 20, nullptr), noErr);
    ASSERT_EQ(host().displayCalls().size(), 1u);
    const refhost::DisplayCall& c = host().displayCalls()[0];
    EXPECT_EQ(c.dstRow, 10);
    EXPECT_EQ(c.dstCol, 20);
    EXPECT_EQ(c.pixels, (std::vector<uint8_t>{18, 19, 20, 21, 22, 23}));

    const VRect outside{0, 0, 4, 4};
    EXPECT_NE(host().record().displayPixels(&map, &outside, 0, 0, nullptr), noErr);
    EXPECT_EQ(host().faults().size(), 1u);
    host().clearFaults();
}

TEST_F(Services, DepthZeroAndOtherRecordFields) {
    refhost::HostOptions o;
    o.depthField = 0;
    o.inTileWidth = 128;
    o.inTileHeight = 64;
    o.maxSpace = 1000;
    makeHost(plugInModeRGB48, 8, 8, o);
    const FilterRecord& r = host().record();
    EXPECT_EQ(r.depth, 0);
    EXPECT_EQ(r.imageMode, plugInModeRGB48);
    EXPECT_EQ(r.planes, 3);
    EXPECT_EQ(r.inTileWidth, 128);
    EXPECT_EQ(r.inTileHeight, 64);
    EXPECT_EQ(r.maxSpace, 1000);
    EXPECT_EQ(r.bigDocumentData->filterRect32.right, 8);
}

TEST_F(Services, PropertiesAnswerOnlyTheHostSignature) {
    makeHost();
    host().properties()[FourCC("abcd")] = 5;
    intptr_t v = 0;
    Handle complex = nullptr;
    EXPECT_EQ(host().record().propertyProcs->getPropertyProc(kPhotoshopSignature, FourCC("abcd"), 0, &v, &complex),
              noErr);
    EXPECT_EQ(v, 5);
    EXPECT_EQ(host().record().propertyProcs->getPropertyProc(kPhotoshopSignature, FourCC("none"), 0, &v, &complex),
              errPlugInPropertyUndefined);
}

}  // namespace
