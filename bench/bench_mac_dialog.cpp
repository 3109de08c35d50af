// The Mac dialog's latency from a preview update with recompute (what a
// slider step asks for: UpdateProxyItem (window, true)) to the host's
// display call of the preview, on the product's nib window of the Carbon
// stand-in: at the nib's size and at a 1920 x 1080 window, 50 steps each,
// every step a new parameter value.  Prints the median and the 95th
// percentile.  bench_mac_dialog runs Glimra,
// bench_mac_dialog_halvane Halvane.  The host recycles freed
// buffers as a host's memory manager does; the engine uses every processor.
#include <Carbon.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/product.h"
#include "entry/params.h"
#include "host/band_runner.h"
#include "host/globals.h"
#include "host/suites.h"
#include "image/colorspace_luts.h"
#include "mac/dialog_mac.h"
#include "mac/nib_window_mac.h"
#include "preview/proxy.h"
#include "refhost/refhost.h"

namespace {
using Clock = std::chrono::steady_clock;

Clock::time_point firstDisplay;
bool displayed = false;
DisplayPixelsProc hostDisplay = nullptr;

// The host's display call, timed where it begins.
OSErr MACPASCAL timedDisplay(const PSPixelMap* source, const VRect* srcRect, int32 dstRow, int32 dstCol,
                             void* context) {
    if (!displayed) firstDisplay = Clock::now();
    displayed = true;
    return hostDisplay(source, srcRect, dstRow, dstCol, context);
}

void update(WindowRef window, bool recompute) { UpdateProxyItem(window, recompute); }
void noEyedropper(VPoint, VPoint, int32) {}
void noControls(WindowRef) {}

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

void measure(const char* label, int32 windowWidth, int32 windowHeight) {
    // A photograph-like document large enough to fill the biggest pane.
    refhost::Document doc(plugInModeRGBColor, 4000, 3000);
    doc.fillPattern();
    refhost::Host host(std::move(doc), refhost::toolHostOptions());
    host.buffers().poisonFreshBuffers = false;
    host.buffers().recycleFreedBuffers = true;
    host.beginSelector(filterSelectorStart);
    if (host.record().bigDocumentData) host.record().bigDocumentData->PluginUsing32BitCoordinates = 1;
    gFilterRecord = &host.record();
    gResult = &host.result();
    gDataHandle = &host.data();
    sSPBasic = host.record().sSPBasic;
    hostDisplay = host.record().displayPixels;
    host.record().displayPixels = timedDisplay;
    ParamBlock block;
    block.flags = BooleanDefault;
    block.values = DefaultGUI;
    uint8 data = 0;
    gParams = &block;
    gData = &data;
    auto tables = std::make_unique<colorspaceConversionLUTs>();
    pData = previewProxyData();
    pData.windowWidth = windowWidth;
    pData.windowHeight = windowHeight;
    CarbonStandInSetMainScreen(2560, 1440);

    WindowRef window = createNibWindow("prototypeDialog");
    if (!window) {
        std::fprintf(stderr, "no dialog window\n");
        return;
    }
    // As in the dialog: the workers wait for the recomputes' bands.
    bandWorkerSetScope workers;
    initZoomableProxy(window, update, noEyedropper, noControls, kProductTitle);
    UpdateProxyItem(window, true);
    std::vector<double> ms;
    for (int step = 0; step < 50; ++step) {
        // A slider step: a new value of the first parameter.
        block.values[kOverallNoiseValue] = DefaultGUI[kOverallNoiseValue] * (1.0 + 0.01 * (step % 10));
        displayed = false;
        const Clock::time_point start = Clock::now();
        UpdateProxyItem(window, true);
        if (!displayed) {
            std::fprintf(stderr, "no display call (result %d)\n", int(host.result()));
            break;
        }
        ms.push_back(std::chrono::duration<double, std::milli>(firstDisplay - start).count());
    }
    Rect content;
    GetWindowBounds(window, kWindowContentRgn, &content);
    if (!ms.empty())
        std::printf("%-15s %-10s window %4d x %4d  proxy %4d x %4d  median %7.2f ms  p95 %7.2f ms\n", kProductTitle,
                    label, content.right - content.left, content.bottom - content.top, int(pData.scWidth),
                    int(pData.scHeight), percentile(ms, 0.5), percentile(ms, 0.95));
    endDialogPreview();
    DisposeWindow(window);
    PIUSuitesRelease();
}
}  // namespace

int main() {
    measure("nib pane", 0, 0);
    measure("1920x1080", 1920, 1080);
    return 0;
}
