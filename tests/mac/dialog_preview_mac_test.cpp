// The Mac dialog's window framework on the Carbon stand-in: the product's
// nib window driven by scripted mouse, wheel, resize and commands, then what
// the host displayed, the cursor, the mode text and the preview's state.
#include <gtest/gtest.h>

#include <Carbon.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/engine_params.h"
#include "engine/product.h"
#include "host/suites.h"
#include "image/colorspace_luts.h"
#include "mac/dialog_mac.h"
#include "mac/nib_window_mac.h"
#include "preview/overview.h"
#include "preview/proxy.h"
#include "refhost/image_io.h"
#include "refhost/window_picture.h"
#include "support/host_fixture.h"

namespace {
const char* const kOverviewAlert = "(Vexlor) Could not allocate memory for proxy, please contact support.";

constexpr uint32 code(const char (&s)[5]) {
    return uint32(uint8(s[0])) << 24 | uint32(uint8(s[1])) << 16 | uint32(uint8(s[2])) << 8 | uint8(s[3]);
}
const uint32 kWatch = code("wtch");

struct Seen {
    int eyedropperCalls = 0, controlsCalls = 0;
    VPoint down{0, 0}, up{0, 0};
    int32 state = 0;
};
Seen seen;

void eyedropperSeen(VPoint down, VPoint up, int32 state) {
    ++seen.eyedropperCalls;
    seen.down = down;
    seen.up = up;
    seen.state = state;
}
void controlsSeen(WindowRef) { ++seen.controlsCalls; }
void updateSeen(WindowRef window, bool recompute) { UpdateProxyItem(window, recompute); }

// The product dialog's commands that reach the framework, through the
// dialog's table of the commands both products share.
OSStatus frameworkCommands(EventHandlerCallRef, EventRef event, void* userData) {
    HICommand command;
    if (GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr,
                          &command) != 0)
        return eventNotHandledErr;
    WindowRef window = static_cast<WindowRef>(userData);
    if (command.commandID == kHICommandOK || command.commandID == kHICommandCancel)
        QuitAppModalLoopForWindow(window);
    else
        processCommonCommands(window, command.commandID, eventNotHandledErr);
    return eventNotHandledErr;
}

uint32_t answerOK(const char*, void*) { return kHICommandOK; }

CarbonScriptEvent command(const char (&c)[5]) { return {kScriptCommand, code(c), 0, 0, 0, 0, nullptr}; }
CarbonScriptEvent mouse(CarbonScriptKind kind, VPoint p, int32 value = 1) {
    return {kind, 0, 0, p.h, p.v, value, nullptr};
}
CarbonScriptEvent resize(int32 width, int32 height) { return {kScriptResize, 0, 0, width, height, 0, nullptr}; }

VPoint centre(VRect r) { return VPoint{(r.top + r.bottom) / 2, (r.left + r.right) / 2}; }
VPoint moved(VPoint p, int32 dh, int32 dv) { return VPoint{p.v + dv, p.h + dh}; }
int32 width(VRect r) { return r.right - r.left; }
int32 height(VRect r) { return r.bottom - r.top; }

std::string pictureDir() {
    const char* dir = std::getenv("VEXLOR_PICTURE_DIR");
    return dir ? dir : ".";
}

class MacFramework : public HostFixture {
protected:
    void SetUp() override {
        CarbonStandInClearFaults();
        CarbonStandInSetMainScreen(1920, 1080);
        CarbonStandInSetModalResponder(answerOK, nullptr);
        seen = Seen{};
        showOriginalMode = false;
    }

    // The photograph, or a pattern of the size given, as the host's image.
    void bind(refhost::Document doc, refhost::HostOptions options = refhost::HostOptions()) {
        tables.reset();
        makeHost(std::move(doc), options);
        block.flags = BooleanDefault;
        block.values = DefaultGUI;
        gParams = &block;
        gData = &data;
        tables = std::make_unique<colorspaceConversionLUTs>();
        pData = previewProxyData();
        pData.windowWidth = pData.windowHeight = 0;  // the nib's size
        proxyMemSize = 0;
    }
    void bindPhoto() { bind(refhost::readImage(std::string(VEXLOR_SAMPLES_DIR) + "/astronaut.png")); }
    void bindPattern(int32 w = 300, int32 h = 200) {
        refhost::Document doc(plugInModeRGBColor, w, h);
        doc.fillPattern();
        bind(std::move(doc));
    }

    WindowRef open() {
        window = createNibWindow("prototypeDialog");
        EXPECT_NE(window, nullptr);
        const EventTypeSpec commands[] = {{kEventClassCommand, kEventCommandProcess}};
        InstallWindowEventHandler(window, NewEventHandlerUPP(frameworkCommands), 1, commands, window, nullptr);
        initZoomableProxy(window, updateSeen, eyedropperSeen, controlsSeen, kProductTitle);
        ShowWindow(window);
        UpdateProxyItem(window);
        return window;
    }
    void run(const std::vector<CarbonScriptEvent>& script) {
        CarbonStandInQueueScript(script.data(), int(script.size()));
        RunAppModalLoopForWindow(window);
        EXPECT_EQ(CarbonStandInScriptLeft(), 0);
    }
    void close() {
        endDialogPreview();
        DisposeWindow(window);
        window = nullptr;
    }

    void TearDown() override {
        if (window) close();
        EXPECT_EQ(storedWRef, nullptr);
        EXPECT_EQ(mouseState, 0);
        EXPECT_FALSE(showOriginalMode);
        PIUSuitesRelease();
        tables.reset();
        gParams = nullptr;
        gData = nullptr;
        CarbonStandInSetModalResponder(nullptr, nullptr);
        CarbonStandInClearScript();
        EXPECT_EQ(CarbonStandInLiveWindows(), 0);
        EXPECT_EQ(CarbonStandInFaults(), 0) << CarbonStandInFirstFault();
        if (host_bound()) {
            EXPECT_EQ(liveBuffers(), 0) << "paint or proxy buffers left";
        }
        HostFixture::TearDown();
    }
    bool host_bound() const { return gFilterRecord != nullptr; }

    CarbonControlInfo control(int32 id) {
        for (int i = 0; i < CarbonStandInControlCount(window); ++i) {
            CarbonControlInfo info;
            CarbonStandInControlAt(window, i, &info);
            if (info.id == id) return info;
        }
        ADD_FAILURE() << "no control " << id;
        return CarbonControlInfo{};
    }
    VRect item(int32 id) {
        const Rect r = control(id).bounds;
        return VRect{r.top, r.left, r.bottom, r.right};
    }
    std::string text(int32 id) { return control(id).text; }
    Rect content() {
        Rect r;
        GetWindowBounds(window, kWindowContentRgn, &r);
        return r;
    }

    // The preview picture as the framework places it, and the overview box.
    VRect displayedPreview() {
        const VRect pane = item(kDProxyControlID);
        const int32 w = proxyGetDisplayWidth(), h = proxyGetDisplayHeight();
        const int32 left = pane.left + (width(pane) - w) / 2, top = pane.top + (height(pane) - h) / 2;
        return VRect{top, left, top + h, left + w};
    }
    VRect overviewBox() {
        const VRect pane = item(proxySpatialOverviewID);
        const int32 left = pane.left + (width(pane) - pData.overviewWidth) / 2;
        const int32 top = pane.top + (height(pane) - pData.overviewHeight) / 2;
        return VRect{top, left, top + pData.overviewHeight, left + pData.overviewWidth};
    }

    // The preview's display calls are planar, the overview's interleaved.
    std::vector<const refhost::DisplayCall*> displays(bool preview) {
        std::vector<const refhost::DisplayCall*> out;
        for (const refhost::DisplayCall& c : host().displayCalls())
            if ((c.colBytes == 1) == preview) out.push_back(&c);
        return out;
    }
    size_t displayCount() { return host().displayCalls().size(); }

    // The preview, its overview and their sizes agree with the panes, and the
    // last pictures displayed are of those sizes, where the framework puts
    // them, on the window's port.
    void expectConsistentPictures() {
        const VRect pane = item(kDProxyControlID);
        EXPECT_EQ(pData.allotedWidth, width(pane));
        EXPECT_EQ(pData.allotedHeight, height(pane));
        const VRect F = host().filterRect();
        const int32 Z = pData.zoomFactor;
        EXPECT_EQ(pData.scWidth, std::min(pData.allotedWidth / 8 * 8 / Z / 2, F.right - F.left));
        EXPECT_EQ(pData.scHeight, std::min(pData.allotedHeight / 4 * 4 / Z, F.bottom - F.top));
        EXPECT_EQ(overviewProxyClassObject.width, pData.overviewWidth);
        EXPECT_EQ(overviewProxyClassObject.height, pData.overviewHeight);
        const auto previews = displays(true), overviews = displays(false);
        ASSERT_FALSE(previews.empty());
        ASSERT_FALSE(overviews.empty());
        const refhost::DisplayCall& p = *previews.back();
        const VRect shown = displayedPreview();
        EXPECT_EQ(p.dstRow, shown.top);
        EXPECT_EQ(p.dstCol, shown.left);
        EXPECT_EQ(height(p.srcRect), height(shown));
        EXPECT_EQ(width(p.srcRect), width(shown));
        EXPECT_EQ(p.platformContext, static_cast<void*>(GetWindowPort(window)));
        const refhost::DisplayCall& o = *overviews.back();
        const VRect box = overviewBox();
        EXPECT_EQ(o.dstRow, box.top);
        EXPECT_EQ(o.dstCol, box.left);
        EXPECT_EQ(width(o.srcRect), pData.overviewWidth);
        EXPECT_EQ(height(o.srcRect), pData.overviewHeight);
        EXPECT_LE(box.right, item(proxySpatialOverviewID).right);
    }

    // Whether the right half of the last preview shows the source proxy, as
    // the left half always does.
    bool rightHalfShowsSource() {
        const refhost::DisplayCall& p = *displays(true).back();
        const int32 W = width(p.srcRect), H = height(p.srcRect), half = W / 2;
        for (int32 y = 0; y < H; ++y)
            for (int32 x = 0; x < half; ++x)
                for (int c = 0; c < 3; ++c)
                    if (p.pixels[(size_t(y) * W + x) * 3 + c] != p.pixels[(size_t(y) * W + x + half) * 3 + c])
                        return false;
        return true;
    }

    int wtchCalls() {
        int n = 0;
        for (const refhost::PropertyCall& c : host().propertyCalls()) n += c.key == kWatch;
        return n;
    }

    WindowRef window = nullptr;
    ParamBlock block;
    uint8 data = 0;
    std::unique_ptr<colorspaceConversionLUTs> tables;
};

// ---------------------------------------------------------------------------
// Scenarios: a script, then what it must leave.

struct Scenario {
    const char* name;
    std::function<std::vector<CarbonScriptEvent>(MacFramework&)> script;
    std::function<void(MacFramework&, size_t displaysBefore)> check;
};

class MacScenario : public MacFramework, public ::testing::WithParamInterface<Scenario> {
public:
    // For the table's lambdas, which cannot reach protected members.
    VRect preview() { return displayedPreview(); }
    VRect overview() { return overviewBox(); }
    VRect pane(int32 id) { return item(id); }
    std::string modeText() { return text(proxyEyedropperModeText); }
    Rect bounds() { return content(); }
    size_t displaysNow() { return displayCount(); }
    bool originalShown() { return rightHalfShowsSource(); }
    void consistent() { expectConsistentPictures(); }
};

void expectIdle(MacScenario& t) {
    EXPECT_EQ(mouseState, 0);
    EXPECT_EQ(CarbonStandInCursor(), kThemeArrowCursor);
    EXPECT_EQ(t.modeText(), " ");
}

const Scenario kScenarios[] = {
    {"Open", [](MacFramework&) { return std::vector<CarbonScriptEvent>{}; },
     [](MacFramework& f, size_t) {
         auto& t = static_cast<MacScenario&>(f);
         t.consistent();
         expectIdle(t);
         EXPECT_FALSE(t.originalShown());
         EXPECT_STREQ(CarbonStandInWindowTitle(storedWRef), kProductTitle);
         // Centred on the screen, well away from its origin.
         EXPECT_GT(t.bounds().left, 100);
         EXPECT_GT(t.bounds().top, 40);
     }},
    {"ShowOriginalOn",
     [](MacFramework& f) {
         auto& t = static_cast<MacScenario&>(f);
         const VPoint box = centre(t.pane(proxyShowOriginal));
         return std::vector<CarbonScriptEvent>{mouse(kScriptMouseDown, box), mouse(kScriptMouseUp, box)};
     },
     [](MacFramework& f, size_t before) {
         auto& t = static_cast<MacScenario&>(f);
         EXPECT_TRUE(showOriginalMode);
         EXPECT_EQ(t.displaysNow(), before + 2);
         EXPECT_TRUE(t.originalShown());
         t.consistent();
     }},
    {"ShowOriginalOnAndOff",
     [](MacFramework& f) {
         auto& t = static_cast<MacScenario&>(f);
         const VPoint box = centre(t.pane(proxyShowOriginal));
         return std::vector<CarbonScriptEvent>{mouse(kScriptMouseDown, box), mouse(kScriptMouseUp, box),
                                               mouse(kScriptMouseDown, box), mouse(kScriptMouseUp, box)};
     },
     [](MacFramework& f, size_t before) {
         auto& t = static_cast<MacScenario&>(f);
         EXPECT_FALSE(showOriginalMode);
         EXPECT_EQ(t.displaysNow(), before + 4);
         EXPECT_FALSE(t.originalShown());
     }},
    {"ZoomFourThenTwo",
     [](MacFramework&) { return std::vector<CarbonScriptEvent>{command("Zm04"), command("Zm02")}; },
     [](MacFramework& f, size_t before) {
         auto& t = static_cast<MacScenario&>(f);
         EXPECT_EQ(pData.zoomFactor, 2);
         EXPECT_EQ(t.displaysNow(), before + 4);
         t.consistent();
     }},
    {"WheelInsideZoomsInToTheEnd",
     [](MacFramework& f) {
         auto& t = static_cast<MacScenario&>(f);
         const VPoint p = centre(t.preview());
         return std::vector<CarbonScriptEvent>{mouse(kScriptWheel, p, 1), mouse(kScriptWheel, p, 1),
                                               mouse(kScriptWheel, p, 1)};
     },
     [](MacFramework& f, size_t before) {
         auto& t = static_cast<MacScenario&>(f);
         // 1 to 2, 2 to 4, and at 4 the proxy is made again at 4.
         EXPECT_EQ(pData.zoomFactor, 4);
         EXPECT_EQ(t.displaysNow(), before + 6);
         t.consistent();
     }},
    {"WheelOverTheOverviewZoomsOutToTheEnd",
     [](MacFramework& f) {
         auto& t = static_cast<MacScenario&>(f);
         const VPoint p = centre(t.overview());
         return std::vector<CarbonScriptEvent>{command("Zm04"), mouse(kScriptWheel, p, -1),
                                               mouse(kScriptWheel, p, -1), mouse(kScriptWheel, p, -3),
                                               mouse(kScriptWheel, p, 0)};
     },
     [](MacFramework& f, size_t before) {
         auto& t = static_cast<MacScenario&>(f);
         EXPECT_EQ(pData.zoomFactor, 1);
         // Zm04, 4 to 2, 2 to 1, and at 1 once more; a zero delta nothing.
         EXPECT_EQ(t.displaysNow(), before + 8);
         t.consistent();
     }},
    {"WheelOutsideBothAreasChangesNothing",
     [](MacFramework& f) {
         auto& t = static_cast<MacScenario&>(f);
         const VRect p = t.preview();
         return std::vector<CarbonScriptEvent>{mouse(kScriptWheel, VPoint{p.bottom + 1, p.left}, 1),
                                               mouse(kScriptWheel, VPoint{10, 10}, 1)};
     },
     [](MacFramework& f, size_t before) {
         auto& t = static_cast<MacScenario&>(f);
         EXPECT_EQ(pData.zoomFactor, 1);
         EXPECT_EQ(t.displaysNow(), before);
     }},
    {"PreviewDragPansWithTheMouse",
     [](MacFramework& f) {
         auto& t = static_cast<MacScenario&>(f);
         const VPoint p = centre(t.preview());
         return std::vector<CarbonScriptEvent>{mouse(kScriptMouseDown, p), mouse(kScriptMouseDrag, moved(p, -12, -5)),
                                               mouse(kScriptMouseDrag, moved(p, -20, -10)),
                                               mouse(kScriptMouseUp, moved(p, -20, -10))};
     },
     [](MacFramework& f, size_t before) {
         auto& t = static_cast<MacScenario&>(f);
         // The picture follows the mouse: the shown rectangle moves right and down.
         EXPECT_EQ(pData.offsetH, 20);
         EXPECT_EQ(pData.offsetV, 10);
         // Two drags redrawn, then the release recomputed.
         EXPECT_EQ(t.displaysNow(), before + 6);
         expectIdle(t);
         t.consistent();
     }},
    {"OverviewDragMovesTheRedBox",
     [](MacFramework& f) {
         auto& t = static_cast<MacScenario&>(f);
         const VPoint p = centre(t.overview());
         return std::vector<CarbonScriptEvent>{mouse(kScriptMouseDown, p), mouse(kScriptMouseDrag, moved(p, 10, 5)),
                                               mouse(kScriptMouseUp, moved(p, 10, 5))};
     },
     [](MacFramework& f, size_t before) {
         auto& t = static_cast<MacScenario&>(f);
         // 512 image pixels over the overview's size, per overview pixel.
         EXPECT_EQ(pData.offsetH, int32(512.0f * (1.0f / float(pData.overviewWidth)) * 10.0f));
         EXPECT_EQ(pData.offsetV, int32(512.0f / float(pData.overviewHeight) * 5.0f));
         EXPECT_EQ(t.displaysNow(), before + 4);
         t.consistent();
     }},
    {"OverviewClickOutsideTheBoxCentresThere",
     [](MacFramework& f) {
         auto& t = static_cast<MacScenario&>(f);
         const VRect o = t.overview();
         const VPoint corner{o.top + 1, o.left + 1};
         return std::vector<CarbonScriptEvent>{mouse(kScriptMouseDown, corner), mouse(kScriptMouseUp, corner)};
     },
     [](MacFramework& f, size_t) {
         auto& t = static_cast<MacScenario&>(f);
         // Clamped to the image's top-left corner.
         EXPECT_EQ(pData.offsetH, -(512 - pData.scWidth) / 2);
         EXPECT_EQ(pData.offsetV, -(512 - pData.scHeight) / 2);
         t.consistent();
     }},
    {"ResizeBelowTheNibSizeStopsThere",
     [](MacFramework&) { return std::vector<CarbonScriptEvent>{resize(500, 400), resize(846, 300)}; },
     [](MacFramework& f, size_t) {
         auto& t = static_cast<MacScenario&>(f);
         EXPECT_EQ(t.bounds().right - t.bounds().left, 846);
         EXPECT_EQ(t.bounds().bottom - t.bounds().top, 809);
         // Nothing was resized: the remembered size stays as it was.
         EXPECT_EQ(pData.windowWidth, 0);
         EXPECT_EQ(pData.windowHeight, 0);
         t.consistent();
     }},
    {"GrowZoomShrink",
     [](MacFramework&) {
         return std::vector<CarbonScriptEvent>{resize(1500, 1000), command("Zm04"), resize(900, 830),
                                               command("Zm01"), resize(1700, 1020)};
     },
     [](MacFramework& f, size_t) {
         auto& t = static_cast<MacScenario&>(f);
         EXPECT_EQ(pData.windowWidth, 1700);
         EXPECT_EQ(pData.windowHeight, 1020);
         EXPECT_EQ(width(t.pane(kDProxyControlID)), 1700 - (846 - 358));
         EXPECT_EQ(width(t.pane(proxySpatialOverviewID)), 1700 - (846 - 358));
         t.consistent();
     }},
    {"EyedropperSelectsAndReturnsToIdle",
     [](MacFramework& f) {
         auto& t = static_cast<MacScenario&>(f);
         const VPoint p = centre(t.preview());
         // A release right after choosing the mode is no selection.
         return std::vector<CarbonScriptEvent>{command("Eyed"), mouse(kScriptMouseUp, p), mouse(kScriptMouseDown, p),
                                               mouse(kScriptMouseUp, moved(p, 3, 2))};
     },
     [](MacFramework& f, size_t) {
         auto& t = static_cast<MacScenario&>(f);
         EXPECT_EQ(seen.eyedropperCalls, 1);
         EXPECT_EQ(seen.controlsCalls, 1);
         EXPECT_EQ(seen.state, 2);
         // The centre of the picture is the centre of the image; the release
         // counts one further.
         EXPECT_EQ(seen.down.h, 256);
         EXPECT_EQ(seen.down.v, 256);
         EXPECT_EQ(seen.up.h, 256 + 3 + 1);
         EXPECT_EQ(seen.up.v, 256 + 2 + 1);
         expectIdle(t);
     }},
    {"EyedropperPressOutsideThePictureEndsTheMode",
     [](MacFramework& f) {
         auto& t = static_cast<MacScenario&>(f);
         const VRect p = t.preview();
         const VPoint outside{p.bottom + 2, p.left};
         return std::vector<CarbonScriptEvent>{command("Eyed"), mouse(kScriptMouseDown, outside),
                                               mouse(kScriptMouseUp, outside)};
     },
     [](MacFramework& f, size_t) {
         auto& t = static_cast<MacScenario&>(f);
         EXPECT_EQ(seen.eyedropperCalls, 0);
         expectIdle(t);
     }},
};

TEST_P(MacScenario, LeavesWhatItMust) {
    bindPhoto();
    open();
    const size_t before = displayCount();
    ASSERT_EQ(before, 2u) << "the first update displays the preview and the overview";
    run(GetParam().script(*this));
    GetParam().check(*this, before);
    EXPECT_EQ(host().faults().size(), 0u) << host().faults()[0];
    EXPECT_TRUE(alerts().empty());
    EXPECT_EQ(result(), noErr);
    // The window's own events leave the parameters alone.
    EXPECT_TRUE(block.values == DefaultGUI);
    EXPECT_TRUE(block.flags == BooleanDefault);
}

INSTANTIATE_TEST_SUITE_P(Scripts, MacScenario, ::testing::ValuesIn(kScenarios),
                         [](const ::testing::TestParamInfo<Scenario>& info) { return info.param.name; });

// ---------------------------------------------------------------------------

TEST_F(MacFramework, CursorAndModeTextFollowEveryState) {
    bindPattern();
    open();
    struct Case {
        void (*button)(WindowRef);
        int32 armed;
        ThemeCursor cursor;
        const char* text;
    };
    const Case cases[] = {
        {processEyedropperButton, 1, kThemeCrossCursor, "Eyedropper mode: Start selection"},
        {processEyeSelButton, 3, kThemeCrossCursor, "Eyedropper mode: Start selection"},
        {processEyeAddButton, 5, kThemeCopyArrowCursor, "Eyedropper mode: Add to selection"},
        {processEyeSubButton, 7, kThemePoofCursor, "Eyedropper mode: Subtract"},
    };
    const VPoint inside = centre(displayedPreview());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.armed);
        c.button(window);
        EXPECT_EQ(mouseState, c.armed);
        EXPECT_EQ(CarbonStandInCursor(), c.cursor);
        EXPECT_EQ(text(proxyEyedropperModeText), c.text);
        // A release in an armed state changes nothing at all.
        const size_t displays = displayCount();
        run({mouse(kScriptMouseUp, inside)});
        EXPECT_EQ(mouseState, c.armed);
        EXPECT_EQ(seen.eyedropperCalls, 0);
        EXPECT_EQ(displayCount(), displays);
        // Held, the same look; the selection's end arms the next mode.
        run({mouse(kScriptMouseDown, inside)});
        EXPECT_EQ(mouseState, c.armed + 1);
        EXPECT_EQ(CarbonStandInCursor(), c.cursor);
        run({mouse(kScriptMouseUp, inside)});
        EXPECT_EQ(mouseState, c.armed == 1 ? 0 : c.armed == 7 ? 7 : 5);
        EXPECT_EQ(seen.state, c.armed + 1);
        seen = Seen{};
        mouseState = kMouseIdle;
        SetCursorFromMousestate(window);
        EXPECT_EQ(text(proxyEyedropperModeText), " ");
        EXPECT_EQ(CarbonStandInCursor(), kThemeArrowCursor);
    }
}

// The remembered size is clamped in 32 bits: a size past 16 bits must not
// wrap into a small or negative rectangle.
TEST_F(MacFramework, RememberedWindowSizeIsClampedToTheNibAndTheScreen) {
    struct Case {
        int32 width, height;
        int32 expectedWidth, expectedHeight;
    };
    // The screen is 1920 x 1080 with a menu bar of 20 and a title bar of 22.
    const Case cases[] = {
        {0, 0, 846, 809},          {-5, -70000, 846, 809},    {1000, 900, 1000, 900},
        {66436, 900, 1920, 900},   {900, 70000, 900, 1038},   {INT32_MAX, INT32_MAX, 1920, 1038},
        {INT32_MIN, 65536 + 850, 846, 1038},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        bindPattern();
        pData.windowWidth = c.width;
        pData.windowHeight = c.height;
        open();
        const Rect r = content();
        EXPECT_EQ(r.right - r.left, c.expectedWidth);
        EXPECT_EQ(r.bottom - r.top, c.expectedHeight);
        EXPECT_GE(r.top, 42);
        EXPECT_LE(r.bottom, 1080);
        expectConsistentPictures();
        close();
    }
}

// Show Original on: the source proxy, not the last filtered one, on both
// sides; then with it off again the filtered one comes back without a new
// recompute being needed for the source side.
TEST_F(MacFramework, ShowOriginalDrawsTheSourceProxy) {
    bindPhoto();
    open();
    EXPECT_FALSE(rightHalfShowsSource());
    ControlRef box = nullptr;
    const ControlID id{kControlSignature, proxyShowOriginal};
    ASSERT_EQ(GetControlByID(window, &id, &box), 0);
    SetControl32BitValue(box, 1);
    processOrigClick(window);
    EXPECT_TRUE(rightHalfShowsSource());
    // Reset unticks the box and shows the filtered picture again.
    proxyHandleReset(window);
    EXPECT_EQ(GetControl32BitValue(box), 0);
    EXPECT_FALSE(showOriginalMode);
    EXPECT_FALSE(rightHalfShowsSource());
}

// Without proxies, or when the composition fails, nothing is drawn; on
// every way out the port is the caller's again and the paint's buffers are
// gone.
TEST_F(MacFramework, PaintDrawsNothingUnlessComposedAndRestoresThePort) {
    bindPhoto();
    GrafPtr before = nullptr;
    GetPort(&before);
    open();
    GrafPtr after = nullptr;
    GetPort(&after);
    EXPECT_EQ(after, before);
    const int64_t buffersBefore = liveBuffers();
    const size_t displays = displayCount();

    // The overview picture is the paint's first allocation, the side-by-side
    // picture its second.
    refuseAllocation(2);
    ShowOutputBuffer2(window);
    EXPECT_EQ(displayCount(), displays);
    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_EQ(alerts()[0], kOutOfMemoryAlert);
    GetPort(&after);
    EXPECT_EQ(after, before);
    EXPECT_EQ(liveBuffers(), buffersBefore);
    host().buffers().plan = refhost::RefusalPlan{};
    host().clearAlerts();

    // Without the overview picture the preview is still drawn.
    refuseAllocation(1);
    ShowOutputBuffer2(window);
    EXPECT_EQ(displayCount(), displays + 1);
    EXPECT_EQ(host().displayCalls().back().colBytes, 1);
    host().buffers().plan = refhost::RefusalPlan{};

    deleteProxyBuffers();
    ShowOutputBuffer2(window);
    EXPECT_EQ(displayCount(), displays + 1);
    GetPort(&after);
    EXPECT_EQ(after, before);
}
}  // namespace

namespace {
// The watch-suspension step after each paint: only when the record gives
// property procedures; a refused suite or property skips it quietly.
TEST_F(MacFramework, WatchSuspensionIsSetWhenOfferedAndSkippedOtherwise) {
    struct Case {
        const char* name;
        std::function<void(refhost::Host&)> shape;
        int expectedCalls;
        bool stored;
    };
    const Case cases[] = {
        {"offered", [](refhost::Host&) {}, 1, true},
        {"suite refused",
         [](refhost::Host& h) { h.suiteAnswers[kPSPropertySuite] = refhost::SuiteAnswer::refuse; }, 0, false},
        {"suite with no table",
         [](refhost::Host& h) { h.suiteAnswers[kPSPropertySuite] = refhost::SuiteAnswer::succeedWithNull; }, 0,
         false},
        {"property refused", [](refhost::Host& h) { h.refusedProperties.insert(kWatch); }, 1, false},
        {"no property procedures in the record", [](refhost::Host& h) { h.record().propertyProcs = nullptr; }, 0,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bindPattern();
        PIUSuitesRelease();
        c.shape(host());
        EXPECT_NO_THROW(open());
        EXPECT_EQ(displayCount(), 2u);
        EXPECT_EQ(wtchCalls(), c.expectedCalls);
        EXPECT_EQ(host().simpleProperty(kWatch).has_value(), c.stored);
        if (c.stored) {
            EXPECT_EQ(*host().simpleProperty(kWatch), 999);
        }
        EXPECT_EQ(result(), noErr);
        EXPECT_TRUE(alerts().empty());
        close();
        PIUSuitesRelease();
    }
}

// Every host buffer of a session refused in turn (the proxies, the
// overview, the recompute's, the paint's and the overview picture): no
// crash, no read outside a buffer, only the memory alerts, and nothing left
// once the dialog ends.
TEST_F(MacFramework, EachAllocationRefusedInTurnLeavesNothingBehind) {
    auto session = [&] {
        open();
        run({command("Zm04"), resize(1000, 850), command("Orig"), command("Zm01")});
        close();
    };
    bindPattern();
    host().buffers().resetCount();
    session();
    const int64_t allocations = host().buffers().allocations();
    ASSERT_GT(allocations, 10);
    const std::string interleaveAlert = "Vexlor: Error making interleaved buffer. Code: -108";
    for (int64_t n = 1; n <= allocations; ++n) {
        SCOPED_TRACE("allocation " + std::to_string(n) + " refused");
        bindPattern();
        const int64_t tableBuffers = liveBuffers();
        refuseAllocation(n);
        session();
        EXPECT_EQ(host().buffers().refused(), 1);
        ASSERT_LE(alerts().size(), 1u);
        if (!alerts().empty()) {
            EXPECT_TRUE(alerts()[0] == kOutOfMemoryAlert || alerts()[0] == kOverviewAlert ||
                        alerts()[0] == interleaveAlert)
                << alerts()[0];
        }
        EXPECT_EQ(host().faults().size(), 0u);
        EXPECT_EQ(liveBuffers(), tableBuffers);
    }
}

// A recompute that runs out of memory: the alert, the pictures no longer
// shown as if current, and the dialog still ends cleanly with the user's OK.
TEST_F(MacFramework, PreviewMemoryFailureStopsTheUpdatesThenOkEndsTheLoop) {
    bindPhoto();
    open();
    const size_t displays = displayCount();
    // The recompute's two interleaved buffers: the filtered one refused.
    refuseAllocation(2);
    UpdateProxyItem(window, true);
    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_EQ(alerts()[0], kOutOfMemoryAlert);
    EXPECT_EQ(result(), userCanceledErr);
    EXPECT_EQ(displayCount(), displays);
    host().buffers().plan = refhost::RefusalPlan{};
    run({command("Zm02"), mouse(kScriptWheel, centre(displayedPreview()), 1)});
    EXPECT_EQ(displayCount(), displays);
    EXPECT_EQ(CarbonStandInScriptLeft(), 0);
}

// Schematic screenshots of the dialog with the pictures the host displayed:
// zoom 1 and 4, Show Original, the advanced controls shown, a grown window.
TEST_F(MacFramework, ScreenshotsOfTheDialog) {
    bindPhoto();
    open();
    initAllEditSliders(window);
    const std::string product = std::string(kMacBundleIdentifier) == "Glimra" ? "glimra" : "halvane";
    auto shot = [&](const std::string& name) {
        const refhost::Document picture = refhost::pictureOfWindow(window);
        const Rect r = content();
        EXPECT_EQ(picture.width(), r.right - r.left);
        refhost::writeImage(picture, pictureDir() + "/mac-dialog-" + product + "-" + name + ".png");
    };
    shot("zoom1");
    run({command("Zm04")});
    shot("zoom4");
    const VPoint box = centre(item(proxyShowOriginal));
    run({command("Zm01"), mouse(kScriptMouseDown, box), mouse(kScriptMouseUp, box)});
    shot("show-original");
    const VPoint advanced = centre(item(proxyShowAdvancedID));
    run({mouse(kScriptMouseDown, box), mouse(kScriptMouseUp, box), mouse(kScriptMouseDown, advanced),
         mouse(kScriptMouseUp, advanced)});
    shot("advanced");
    run({resize(1400, 1000), command("Zm02")});
    shot("grown-zoom2");
    EXPECT_EQ(host().faults().size(), 0u);
}
}  // namespace

namespace {
void controlsThrow(WindowRef) { throw std::runtime_error("controls gone"); }

// An exception raised under an event handler stays out of the toolbox: it
// is shown, the preview stops updating, and the loop goes on to the OK.
// The geometry in both coordinate forms: the window's content starts away
// from the screen's origin, so a local point taken as global (or the
// reverse) lands elsewhere.  Expected rectangles come from the stand-in's
// own control bounds and window bounds.
TEST_F(MacFramework, GeometryInLocalAndGlobalCoordinates) {
    bindPattern();
    open();
    const Rect c = content();
    ASSERT_GT(c.left, 0);
    ASSERT_GT(c.top, 0);
    auto global = [&](VRect r) { return VRect{r.top + c.top, r.left + c.left, r.bottom + c.top, r.right + c.left}; };
    auto same = [](VRect a, VRect b) {
        return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
    };
    EXPECT_TRUE(same(globalVRectFromLocalVRect(window, VRect{1, 2, 3, 4}), global(VRect{1, 2, 3, 4})));
    for (int32 id : {int32(kDProxyControlID), int32(proxySpatialOverviewID), int32(proxyShowOriginal)})
        EXPECT_TRUE(same(getGlobalRectFromWindowItem(window, id), global(item(id)))) << id;
    EXPECT_TRUE(same(getGlobalRectFromWindowItem(window, 12345), VRect{c.top, c.left, c.top, c.left}));

    // Points at and around the corners of each area (the bottom and right
    // edges are outside), in local coordinates.
    auto probes = [](VRect r) {
        std::vector<VPoint> points;
        for (int32 v : {r.top - 1, r.top, (r.top + r.bottom) / 2, r.bottom - 1, r.bottom})
            for (int32 h : {r.left - 1, r.left, (r.left + r.right) / 2, r.right - 1, r.right}) points.push_back({v, h});
        return points;
    };
    auto inside = [](VRect r, VPoint p) { return p.v >= r.top && p.v < r.bottom && p.h >= r.left && p.h < r.right; };
    auto asGlobal = [&](VPoint p) { return Point{int16(p.v + c.top), int16(p.h + c.left)}; };
    auto asIs = [](VPoint p) { return Point{int16(p.v), int16(p.h)}; };
    const VRect preview = displayedPreview(), overview = overviewBox();
    for (const VPoint& p : probes(preview)) {
        EXPECT_EQ(globalCursorInProxyArea(window, asGlobal(p)), inside(preview, p)) << p.h << ", " << p.v;
        // The local point read as a global one.
        EXPECT_EQ(globalCursorInProxyArea(window, asIs(p)), inside(preview, VPoint{p.v - c.top, p.h - c.left}));
    }
    for (const VPoint& p : probes(overview)) {
        EXPECT_EQ(cursorInOverviewGUIarea(window, p), inside(overview, p)) << p.h << ", " << p.v;
        EXPECT_EQ(cursorInOverviewGUIarea(window, asGlobal(p)), inside(overview, p)) << p.h << ", " << p.v;
        EXPECT_EQ(cursorInOverviewGUIarea(window, asIs(p)), inside(overview, VPoint{p.v - c.top, p.h - c.left}));
    }
}

TEST_F(MacFramework, AnExceptionUnderAnEventHandlerIsShownNotThrown) {
    bindPattern();
    window = createNibWindow("prototypeDialog");
    ASSERT_NE(window, nullptr);
    initZoomableProxy(window, updateSeen, eyedropperSeen, controlsThrow, kProductTitle);
    UpdateProxyItem(window);
    const size_t displays = displayCount();
    processEyedropperButton(window);
    const VPoint p = centre(displayedPreview());
    EXPECT_NO_THROW(run({mouse(kScriptMouseDown, p), mouse(kScriptMouseUp, p), command("Zm02")}));
    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_EQ(alerts()[0], "(Vexlor) Unexpected error: controls gone");
    EXPECT_EQ(result(), userCanceledErr);
    EXPECT_EQ(displayCount(), displays);
}
}  // namespace
