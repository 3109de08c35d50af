// Each product's nib in the repository opens through its bundle and holds
// the windows, controls and commands that its dialog expects.
#include <Carbon.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "refhost/image_io.h"
#include "refhost/window_picture.h"

namespace {
struct NibCase {
    const char* bundle;
    std::vector<const char*> commands;
    std::vector<int32_t> ids;
    std::vector<int> parameters;  // with a label, a slider and an edit box
};

class ProductNib : public ::testing::TestWithParam<NibCase> {};

uint32_t code(const char* four) {
    std::string t = four;
    t.resize(4, ' ');
    return uint32_t(uint8_t(t[0])) << 24 | uint32_t(uint8_t(t[1])) << 16 | uint32_t(uint8_t(t[2])) << 8 | uint8_t(t[3]);
}

WindowRef openWindow(const char* bundleID, const char* name) {
    CFStringRef id = CFStringCreateWithCString(nullptr, bundleID, kCFStringEncodingASCII);
    CFStringRef nibName = CFStringCreateWithCString(nullptr, "PrototypeGUI", kCFStringEncodingASCII);
    CFStringRef windowName = CFStringCreateWithCString(nullptr, name, kCFStringEncodingASCII);
    IBNibRef nib = nullptr;
    WindowRef window = nullptr;
    if (CreateNibReferenceWithCFBundle(CFBundleGetBundleWithIdentifier(id), nibName, &nib) == 0) {
        CreateWindowFromNib(nib, windowName, &window);
        DisposeNibReference(nib);
    }
    CFRelease(id);
    CFRelease(nibName);
    CFRelease(windowName);
    return window;
}

TEST_P(ProductNib, HoldsTheDialogAndAboutWindowsWithTheirControlsAndCommands) {
    const NibCase& c = GetParam();
    CarbonStandInAddBundle(c.bundle, (std::string(VEXLOR_SOURCE_DIR "/resources/mac/") + c.bundle).c_str());
    WindowRef dialog = openWindow(c.bundle, "prototypeDialog");
    ASSERT_NE(dialog, nullptr);
    Rect content;
    GetWindowBounds(dialog, kWindowContentRgn, &content);
    std::set<uint32_t> commands;
    std::set<int32_t> ids;
    for (int i = 0; i < CarbonStandInControlCount(dialog); ++i) {
        CarbonControlInfo info;
        ASSERT_TRUE(CarbonStandInControlAt(dialog, i, &info));
        EXPECT_EQ(info.signature, code("Qvtz"));
        EXPECT_TRUE(ids.insert(info.id).second) << "id " << info.id << " twice";
        EXPECT_LT(info.bounds.left, info.bounds.right);
        EXPECT_LT(info.bounds.top, info.bounds.bottom);
        EXPECT_GE(info.bounds.left, 0);
        EXPECT_LE(info.bounds.right, content.right - content.left) << "id " << info.id;
        EXPECT_LE(info.bounds.bottom, content.bottom - content.top) << "id " << info.id;
        if (info.command) commands.insert(info.command);
    }
    for (const char* command : c.commands) EXPECT_TRUE(commands.count(code(command))) << command;
    for (int32_t id : c.ids) EXPECT_TRUE(ids.count(id)) << id;
    for (int i : c.parameters)
        for (int32_t id : {10 * (i + 2), 10 * (i + 2) + 1, 10 * (i + 2) + 2})
            EXPECT_TRUE(ids.count(id)) << "parameter " << i << " id " << id;
    // A schematic picture to look at, beside the test program.
    refhost::writeImage(refhost::pictureOfWindow(dialog), std::string("nib-") + c.bundle + ".png");
    DisposeWindow(dialog);
    WindowRef about = openWindow(c.bundle, "prototypeAbout");
    ASSERT_NE(about, nullptr);
    bool closes = false;
    for (int i = 0; i < CarbonStandInControlCount(about); ++i) {
        CarbonControlInfo info;
        CarbonStandInControlAt(about, i, &info);
        closes = closes || info.command == kHICommandClose;
    }
    EXPECT_TRUE(closes);
    DisposeWindow(about);
    CarbonStandInRemoveBundles();
    EXPECT_EQ(CarbonStandInLiveWindows(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Products, ProductNib,
    ::testing::Values(NibCase{"halvane-mac",
                              {"ok", "not!", "Pdig", "Pfil", "Rnrs", "Rrst", "Apro", "digS", "filS", "invP", "Snsm",
                               "Clrs", "Zm01", "Zm02", "Zm04", "Orig", "Eyed", "Load", "Save", "advC"},
                              {900, 913, 901, 902, 912, 931, 932, 937, 34, 44, 502, 504, 506, 507},
                              {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19}},
                      NibCase{"Glimra",
                              {"ok", "not!", "Pdig", "Pfil", "Rrst", "Apro", "digS", "filS", "Snsm", "Zm01", "Zm02",
                               "Zm04", "Orig", "Load", "Save", "advC"},
                              {900, 913, 901, 902, 912, 931, 932, 937, 34, 502, 504, 506},
                              {0, 1, 12, 19}}),
    [](const ::testing::TestParamInfo<NibCase>& info) {
        return std::string(info.param.bundle) == "Glimra" ? std::string("Glimra") : std::string("Halvane");
    });
}  // namespace
