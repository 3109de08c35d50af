// Abort, progress, alerts, pixel display and properties.
#include <string>
#include <vector>

#include "Carbon.h"
#include "refhost/window_picture.h"
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

// A host buffer of the given size through the record's buffer procedures.
char* hostBuffer(refhost::Host& host, int32 size, BufferID& id) {
    EXPECT_EQ(host.record().bufferProcs->allocateProc(size, &id), noErr);
    return host.record().bufferProcs->lockProc(id, true);
}

PSPixelMap rgbMap(void* base, int32 width, int32 height) {
    PSPixelMap map{};
    map.version = 1;
    map.bounds = VRect{0, 0, height, width};
    map.imageMode = plugInModeRGBColor;
    map.rowBytes = 3 * width;
    map.colBytes = 3;
    map.planeBytes = 1;
    map.baseAddr = base;
    return map;
}

// A width x height picture of one grey plane.
PSPixelMap greyMap(void* base, int32 width, int32 height) {
    PSPixelMap map{};
    map.version = 1;
    map.bounds = VRect{0, 0, height, width};
    map.imageMode = plugInModeGrayScale;
    map.rowBytes = width;
    map.colBytes = 1;
    map.planeBytes = width * height;
    map.baseAddr = base;
    return map;
}

TEST_F(Services, DisplayPixelsCopiesTheSourceRectangle) {
    makeHost();
    BufferID id = nullptr;
    char* pixels = hostBuffer(host(), 4 * 3 * 3, id);
    for (int i = 0; i < 4 * 3 * 3; ++i) pixels[i] = char(i);
    PSPixelMap map = rgbMap(pixels, 4, 3);
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
    host().record().bufferProcs->unlockProc(id);
    host().record().bufferProcs->freeProc(id);
}

// Every byte a display reads lies in the live, locked host buffer that holds
// the base address, within the size that was asked for.
struct DisplayRead {
    const char* name;
    int32 bufferBytes;  // the host buffer asked for
    int32 baseOffset;   // base address from the buffer's start
    int32 rowBytes;     // of a 4 x 3 RGB map
    bool freed;
    bool fault;
    bool unlocked = false;
};

class DisplayReads : public Services, public ::testing::WithParamInterface<DisplayRead> {};

TEST_P(DisplayReads, FaultOutsideTheBuffer) {
    const DisplayRead& d = GetParam();
    makeHost();
    BufferID id = nullptr;
    char* buffer = hostBuffer(host(), d.bufferBytes, id);
    PSPixelMap map = rgbMap(buffer + d.baseOffset, 4, 3);
    map.rowBytes = d.rowBytes;
    if (d.freed || d.unlocked) host().record().bufferProcs->unlockProc(id);
    if (d.freed) host().record().bufferProcs->freeProc(id);
    const OSErr err = host().record().displayPixels(&map, &map.bounds, 0, 0, nullptr);
    EXPECT_EQ(err != noErr, d.fault);
    EXPECT_EQ(host().faults().size(), d.fault ? 1u : 0u);
    EXPECT_EQ(host().displayCalls().size(), d.fault ? 0u : 1u);
    host().clearFaults();
    if (!d.freed && !d.unlocked) host().record().bufferProcs->unlockProc(id);
    if (!d.freed) host().record().bufferProcs->freeProc(id);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DisplayReads,
    ::testing::Values(DisplayRead{"Exact", 36, 0, 12, false, false},
                      // The buffer store's spare byte must not hide an off-by-one.
                      DisplayRead{"OneShort", 35, 0, 12, false, true},
                      DisplayRead{"BaseInside", 40, 4, 12, false, false},
                      DisplayRead{"BaseInsideRunsOver", 39, 4, 12, false, true},
                      DisplayRead{"RowsTooLong", 36, 0, 13, false, true},
                      DisplayRead{"Freed", 36, 0, 12, true, true},
                      DisplayRead{"Unlocked", 36, 0, 12, false, true, true}),
    [](const ::testing::TestParamInfo<DisplayRead>& i) { return std::string(i.param.name); });

TEST_F(Services, DisplayPixelsFromMemoryNotTheHostsIsAFault) {
    makeHost();
    std::vector<uint8_t> pixels(36);
    PSPixelMap map = rgbMap(pixels.data(), 4, 3);
    EXPECT_NE(host().record().displayPixels(&map, &map.bounds, 0, 0, nullptr), noErr);
    EXPECT_EQ(host().faults().size(), 1u);
    host().clearFaults();
}

TEST_F(Services, ADisplayCallWritesOutAsAnImage) {
    makeHost();
    BufferID id = nullptr;
    char* pixels = hostBuffer(host(), 2 * 2, id);
    for (int i = 0; i < 4; ++i) pixels[i] = char(60 * i);
    PSPixelMap map = greyMap(pixels, 2, 2);
    ASSERT_EQ(host().record().displayPixels(&map, &map.bounds, 0, 0, nullptr), noErr);
    const refhost::Document doc = refhost::displayCallImage(host().displayCalls()[0]);
    EXPECT_EQ(doc.imageMode(), plugInModeGrayScale);
    EXPECT_EQ(doc.get(1, 1, 0), 180);
    // Lab white and black as the screen shows them.
    pixels[0] = char(255), pixels[1] = char(128), pixels[2] = char(128);
    map.imageMode = plugInModeLabColor;
    map.bounds = VRect{0, 0, 1, 1};
    map.colBytes = 3;
    map.planeBytes = 1;
    ASSERT_EQ(host().record().displayPixels(&map, &map.bounds, 0, 0, nullptr), noErr);
    const refhost::Document lab = refhost::displayCallImage(host().displayCalls()[1]);
    for (int16 c = 0; c < 3; ++c) EXPECT_NEAR(lab.get(0, 0, c), 255, 1);
    host().record().bufferProcs->unlockProc(id);
    host().record().bufferProcs->freeProc(id);
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

// What a real host stores in the record: plug-ins meet these values, not
// zeros, in every test.
TEST_F(Services, RecordCarriesWhatARealHostFills) {
    refhost::HostOptions o;
    o.background[0] = 10;
    o.foreground[2] = 200;
    makeHost(plugInModeRGBColor, 8, 6, o);
    const FilterRecord& r = host().record();
    EXPECT_EQ(r.serial, 0);
    EXPECT_EQ(r.background.red, 10 * 257);
    EXPECT_EQ(r.background.blue, 65535);
    EXPECT_EQ(r.foreground.blue, 200 * 257);
    EXPECT_EQ(std::vector<uint8_t>(r.backColor, r.backColor + 4), (std::vector<uint8_t>{10, 255, 255, 0}));
    EXPECT_EQ(std::vector<uint8_t>(r.foreColor, r.foreColor + 4), (std::vector<uint8_t>{0, 0, 200, 0}));
    EXPECT_EQ(r.imageHRes, 72 << 16);

    struct Table {
        const char* name;
        int16 version, count, expectedVersion, expectedCount;
    };
    const Table tables[] = {
        {"buffer", r.bufferProcs->bufferProcsVersion, r.bufferProcs->numBufferProcs, 2, 5},
        {"handle", r.handleProcs->handleProcsVersion, r.handleProcs->numHandleProcs, 1, 8},
        {"resource", r.resourceProcs->resourceProcsVersion, r.resourceProcs->numResourceProcs, 3, 4},
        {"property", r.propertyProcs->propertyProcsVersion, r.propertyProcs->numPropertyProcs, 1, 2},
        {"image services", r.imageServicesProcs->imageServicesProcsVersion,
         r.imageServicesProcs->numImageServicesProcs, 1, 2},
        {"read descriptor", r.descriptorParameters->readDescriptorProcs->readDescriptorProcsVersion,
         r.descriptorParameters->readDescriptorProcs->numReadDescriptorProcs, 0, 18},
        {"write descriptor", r.descriptorParameters->writeDescriptorProcs->writeDescriptorProcsVersion,
         r.descriptorParameters->writeDescriptorProcs->numWriteDescriptorProcs, 0, 16},
    };
    for (const Table& t : tables) {
        EXPECT_EQ(t.version, t.expectedVersion) << t.name;
        EXPECT_EQ(t.count, t.expectedCount) << t.name;
    }

    EXPECT_TRUE(r.supportsPadding);
    EXPECT_EQ(r.inputPadding, plugInWantsErrorOnBoundsException);
    EXPECT_EQ(r.outputPadding, plugInWantsErrorOnBoundsException);
    EXPECT_EQ(r.maskPadding, plugInWantsErrorOnBoundsException);
    EXPECT_EQ(r.samplingSupport, hostSupportsIntegralSampling);
    EXPECT_EQ(r.inputRate, 1 << 16);
    EXPECT_EQ(r.maskRate, 1 << 16);
    EXPECT_EQ(r.wantLayout, piLayoutTraditional);
    EXPECT_EQ(r.filterCase, filterCaseFlatImageNoSelection);
    EXPECT_EQ(r.dummyPlaneValue, -1);
    EXPECT_TRUE(r.supportsAbsolute);
    EXPECT_EQ(r.inNonLayerPlanes, 3);
    EXPECT_EQ(r.absNonLayerPlanes, 3);
    EXPECT_EQ(r.getPropertyObsolete, r.propertyProcs->getPropertyProc);
    EXPECT_EQ(r.inTileWidth, 256);
    EXPECT_EQ(r.absTileHeight, 256);
    EXPECT_TRUE(r.canUseICCProfiles);
    EXPECT_EQ(r.maxSpace64, r.maxSpace);
    EXPECT_NE(r.colorServices, nullptr);
    EXPECT_NE(r.advanceState, nullptr);
    EXPECT_NE(r.sSPBasic, nullptr);
}

TEST_F(Services, GreyImageGetsGreyColoursAndASelectionItsCase) {
    refhost::HostOptions o;
    o.foreground[0] = 100;
    o.foreground[1] = 100;
    o.foreground[2] = 100;
    o.haveMask = true;
    makeHost(plugInModeGrayScale, 4, 4, o);
    EXPECT_EQ(host().record().foreColor[0], 100);
    EXPECT_EQ(host().record().backColor[0], 255);
    EXPECT_EQ(host().record().filterCase, filterCaseFlatImageWithSelection);
    EXPECT_EQ(host().record().inNonLayerPlanes, 1);
}

TEST_F(Services, ServedBuffersSayTheirColumnAndPlaneBytes) {
    makeHost(plugInModeRGB48, 8, 8);
    FilterRecord& r = host().record();
    r.inRect = r.outRect = Rect{0, 0, 4, 4};
    host().record().bigDocumentData->PluginUsing32BitCoordinates = 0;
    r.inLoPlane = r.outLoPlane = 0;
    r.inHiPlane = r.outHiPlane = 2;
    ASSERT_EQ(r.advanceState(), noErr);
    EXPECT_EQ(r.inColumnBytes, 6);
    EXPECT_EQ(r.inPlaneBytes, 2);
    EXPECT_EQ(r.outColumnBytes, 6);
    EXPECT_EQ(r.outPlaneBytes, 2);
    host().discardPending();
}

// A procedure the host does not implement answers with an error and is
// recorded, rather than being a null pointer the plug-in would jump through.
TEST_F(Services, UnimplementedProceduresAnswer) {
    makeHost();
    const FilterRecord& r = host().record();
    uint32 unit = 0;
    double value = 0;
    EXPECT_EQ(r.descriptorParameters->readDescriptorProcs->getUnitFloatProc(nullptr, &unit, &value), paramErr);
    EXPECT_EQ(r.descriptorParameters->writeDescriptorProcs->putUnitFloatProc(nullptr, 0, 0, &value), paramErr);
    EXPECT_EQ(r.imageServicesProcs->interpolate1DProc(nullptr, nullptr, nullptr, nullptr, 0), paramErr);
    EXPECT_EQ(host().faults().size(), 3u);
    host().clearFaults();
}

TEST_F(Services, PropertiesAnswerOnlyTheHostSignature) {
    makeHost();
    host().setProperty(FourCC("abcd"), 5);
    intptr_t v = 0;
    Handle complex = nullptr;
    EXPECT_EQ(host().record().propertyProcs->getPropertyProc(kPhotoshopSignature, FourCC("abcd"), 0, &v, &complex),
              noErr);
    EXPECT_EQ(v, 5);
    EXPECT_EQ(host().record().propertyProcs->getPropertyProc(kPhotoshopSignature, FourCC("none"), 0, &v, &complex),
              errPlugInPropertyUndefined);
}

// The Mac form's display call draws on the port it is given: a window of
// the Carbon stand-in, which keeps the pixels where they were put, so that a
// picture of the window shows them over its controls.
class WindowDisplay : public HostFixture {
protected:
    WindowRef openDialog() {
        CFStringRef bundleName = CFStringCreateWithCString(nullptr, "Glimra", kCFStringEncodingASCII);
        CFStringRef nibName = CFStringCreateWithCString(nullptr, "PrototypeGUI", kCFStringEncodingASCII);
        CFStringRef windowName = CFStringCreateWithCString(nullptr, "prototypeDialog", kCFStringEncodingASCII);
        IBNibRef nib = nullptr;
        WindowRef window = nullptr;
        EXPECT_EQ(CreateNibReferenceWithCFBundle(CFBundleGetBundleWithIdentifier(bundleName), nibName, &nib), 0);
        EXPECT_EQ(CreateWindowFromNib(nib, windowName, &window), 0);
        DisposeNibReference(nib);
        for (CFStringRef s : {bundleName, nibName, windowName}) CFRelease(s);
        return window;
    }
};

TEST_F(WindowDisplay, PixelsLandOnThePortAtTheirPlaceAndABadContextIsAFault) {
    makeHost();
    WindowRef window = openDialog();
    ASSERT_NE(window, nullptr);
    // A 2 x 2 grey picture with four distinct values, in a host buffer.
    BufferID id = nullptr;
    char* pixels = hostBuffer(host(), 4, id);
    for (int i = 0; i < 4; ++i) pixels[i] = char(10 * (i + 1));
    PSPixelMap map = greyMap(pixels, 2, 2);
    CGrafPtr port = GetWindowPort(window);
    ASSERT_EQ(host().record().displayPixels(&map, &map.bounds, 100, 200, port), noErr);
    ASSERT_EQ(host().displayCalls().size(), 1u);
    EXPECT_EQ(host().displayCalls()[0].platformContext, static_cast<void*>(port));
    uint8_t rgb[3];
    ASSERT_TRUE(CarbonStandInPortPixel(window, 201, 101, rgb));
    EXPECT_EQ(rgb[0], 40);
    EXPECT_EQ(rgb[2], 40);
    EXPECT_FALSE(CarbonStandInPortPixel(window, 202, 101, rgb));
    const refhost::Document picture = refhost::pictureOfWindow(window);
    EXPECT_EQ(picture.pixel(200, 101)[1], 30);
    // Erasing puts the window's background back.
    SetPortWindowPort(window);
    const Rect r{100, 200, 101, 202};
    EraseRect(&r);
    ASSERT_TRUE(CarbonStandInPortPixel(window, 200, 100, rgb));
    EXPECT_EQ(rgb[0], 236);
    EXPECT_EQ(refhost::pictureOfWindow(window).pixel(201, 101)[0], 40);

    int notAPort = 0;
    EXPECT_EQ(host().record().displayPixels(&map, &map.bounds, 0, 0, &notAPort), paramErr);
    EXPECT_EQ(host().faults().size(), 1u);
    host().clearFaults();
    DisposeWindow(window);
    // A disposed window's port is no port to draw on any more.
    EXPECT_EQ(host().record().displayPixels(&map, &map.bounds, 0, 0, port), paramErr);
    EXPECT_EQ(host().faults().size(), 1u);
    host().clearFaults();
    host().record().bufferProcs->unlockProc(id);
    host().record().bufferProcs->freeProc(id);
}
}  // namespace
