// The Mac dialog as DoUI opens it on the photograph, in the simple and the
// advanced controls, at the nib's size and at 1920 x 1080: no two visible
// controls overlap, and a picture of each window is written to look at
// (mac-doui-<product>-<controls>-<size>.png, in VEXLOR_PICTURE_DIR or here).
#include <Carbon.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "mac/mac_dialog_support.h"
#include "refhost/image_io.h"
#include "refhost/window_picture.h"
#include "support/product_under_test.h"

namespace {
using namespace mac_dialog_test;

struct LayoutCase {
    const char* name;
    bool advanced;
    int32 width, height;  // the remembered window size; 0: the nib's, 846 x 809
};

void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }

std::string pictureDir() {
    const char* dir = std::getenv("VEXLOR_PICTURE_DIR");
    return dir ? dir : ".";
}

bool overlap(const Rect& a, const Rect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

std::string described(const CarbonControlInfo& c) {
    return std::to_string(c.id) + " (" + c.kind + " \"" + c.text + "\" " + std::to_string(c.bounds.left) + "," +
           std::to_string(c.bounds.top) + " to " + std::to_string(c.bounds.right) + "," +
           std::to_string(c.bounds.bottom) + ")";
}

class MacDialogLayout : public MacDialogTest, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(MacDialogLayout, NoTwoVisibleControlsOverlap) {
    const LayoutCase& c = GetParam();
    makeHost(refhost::readImage(std::string(VEXLOR_SAMPLES_DIR) + "/astronaut.png"));
    gParams = &block;
    // Room for a full-HD window below the menu bar and its title bar.
    CarbonStandInSetMainScreen(2560, 1600);
    pData.showAdvanced = c.advanced;
    pData.windowWidth = c.width;
    pData.windowHeight = c.height;
    Session s;
    s.look = [&](WindowRef window) {
        Rect content;
        GetWindowBounds(window, kWindowContentRgn, &content);
        EXPECT_EQ(content.right - content.left, c.width ? c.width : 846);
        EXPECT_EQ(content.bottom - content.top, c.height ? c.height : 809);
        std::vector<CarbonControlInfo> shown;
        for (int i = 0; i < CarbonStandInControlCount(window); ++i) {
            CarbonControlInfo info;
            if (CarbonStandInControlAt(window, i, &info) && info.visible) shown.push_back(info);
        }
        for (size_t a = 0; a < shown.size(); ++a)
            for (size_t b = a + 1; b < shown.size(); ++b)
                EXPECT_FALSE(overlap(shown[a].bounds, shown[b].bounds))
                    << described(shown[a]) << " overlaps " << described(shown[b]);
        const std::string product = productIsHalvane() ? "halvane" : "glimra";
        const std::string size = c.width ? std::to_string(c.width) + "x" + std::to_string(c.height) : "nib";
        refhost::writeImage(refhost::pictureOfWindow(window), pictureDir() + "/mac-doui-" + product + "-" +
                                                                  (c.advanced ? "advanced" : "simple") + "-" +
                                                                  size + ".png");
    };
    EXPECT_TRUE(run(s));
    CarbonStandInSetMainScreen(1024, 768);
}

INSTANTIATE_TEST_SUITE_P(Windows, MacDialogLayout,
                         ::testing::Values(LayoutCase{"SimpleAtTheNibsSize", false, 0, 0},
                                           LayoutCase{"AdvancedAtTheNibsSize", true, 0, 0},
                                           LayoutCase{"SimpleAt1920x1080", false, 1920, 1080},
                                           LayoutCase{"AdvancedAt1920x1080", true, 1920, 1080}),
                         [](const ::testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });
}  // namespace
