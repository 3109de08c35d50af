// The Mac form's display call draws on the port it is given: a window of
// the Carbon stand-in, which keeps the pixels where they were put, so that a
// picture of the window shows them over its controls.
#include <string>
#include <vector>

#include "Carbon.h"
#include "refhost/window_picture.h"
#include "support/host_fixture.h"

namespace {

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
    ASSERT_EQ(host().record().bufferProcs->allocateProc(4, &id), noErr);
    char* pixels = host().record().bufferProcs->lockProc(id, true);
    for (int i = 0; i < 4; ++i) pixels[i] = char(10 * (i + 1));
    PSPixelMap map{};
    map.version = 1;
    map.bounds = VRect{0, 0, 2, 2};
    map.imageMode = plugInModeGrayScale;
    map.rowBytes = 2;
    map.colBytes = 1;
    map.planeBytes = 4;
    map.baseAddr = pixels;
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
