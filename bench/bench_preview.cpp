// The dialog's preview: a slider step from a parameter change to both
// pictures composed, as the dialog's update and paint run it (the engine on
// the proxy, the enhance, the composition of the preview and the overview),
// in the panes of the template's 846 x 809 dialog (359 x 348: a 176 x 348
// proxy) and of the 1920 x 1080 dialog it opens at by default (1433 x 619:
// 716 x 616), on one thread and on every processor; and the set-up (source read,
// overview) on a 6000 x 4000 image at 8 and 16 bits.  bench_preview runs
// Glimra, bench_preview_halvane Halvane.  As in the dialog, the band workers
// are started once and wait for every step's bands; the CPU column is the
// whole process's processor time, those workers' and the host's threads'
// included.  The host recycles freed buffers as a host's memory manager does.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "engine/product.h"
#include "entry/params.h"
#include "host/band_runner.h"
#include "host/globals.h"
#include "image/colorspace_luts.h"
#include "preview/paint.h"
#include "preview/preview_dialog.h"
#include "preview/proxy.h"
#include "preview/proxy_recompute.h"
#include "preview/proxy_source.h"
#include "refhost/refhost.h"

namespace {

// The overview's pane lies above the preview's, as wide and 309 high.
VRect overviewPane() { return fitOverviewIntoPane(pData.allotedWidth, 309); }
void noUpdate(bool) {}
const previewDialogHooks kHooks = {overviewPane, noUpdate};

// One host with the plug-in's globals bound to it and the preview set up.
struct BoundPreview {
    std::unique_ptr<refhost::Host> host;
    ParamBlock block;
    uint8 data = 0;
    std::unique_ptr<colorspaceConversionLUTs> tables;

    BoundPreview(int16 mode, int32 width, int32 height, int32 paneWidth, int32 paneHeight) {
        refhost::Document doc(mode, width, height);
        doc.fillPattern();
        host = std::make_unique<refhost::Host>(std::move(doc));
        host->buffers().poisonFreshBuffers = false;
        host->buffers().recycleFreedBuffers = true;
        host->beginSelector(filterSelectorStart);
        if (host->record().bigDocumentData) host->record().bigDocumentData->PluginUsing32BitCoordinates = 1;
        gFilterRecord = &host->record();
        gResult = &host->result();
        gDataHandle = &host->data();
        sSPBasic = host->record().sSPBasic;
        block.flags = BooleanDefault;
        block.values = DefaultGUI;
        block.flags[kPreviewWithoutDetailOrInvertFlag] = 0;
        gParams = &block;
        gData = &data;
        tables = std::make_unique<colorspaceConversionLUTs>();
        pData = previewProxyData();
        pData.allotedWidth = paneWidth;
        pData.allotedHeight = paneHeight;
        setPreviewDialogHooks(&kHooks);
    }
    ~BoundPreview() {
        unSetupProxy();
        tables.reset();
        setPreviewDialogHooks(nullptr);
        gFilterRecord = nullptr;
    }
};

// A slider step as the dialog runs it: a new value of the first parameter,
// the update's recompute, then the paint's composition of both pictures into
// buffers of its own.
bool sliderStep(int step) {
    gParams->values[kOverallNoiseValue] = DefaultGUI[kOverallNoiseValue] * (1.0 + 0.01 * (step % 10));
    updateInputRate();
    if (updateModifiedProxyBuffer(pData.sourcePtr) != noErr) return false;
    paintBuffers buffers;
    return buffers.compose(false, {0, 0, pData.overviewHeight, pData.overviewWidth}) == noErr;
}

void BM_SliderStep(benchmark::State& state) {
    const int32 paneWidth = int32(state.range(0)), paneHeight = int32(state.range(1));
    setEngineThreadCount(int32(state.range(2)));
    {
        BoundPreview preview(plugInModeRGBColor, 2000, 1500, paneWidth, paneHeight);
        // The dialog's workers: started before its set-up, waiting for the
        // bands of every step until it closes.
        bandWorkerSetScope workers;
        if (SetupProxy() != noErr || !sliderStep(0)) {  // the first step warms the host's recycled buffers
            state.SkipWithError("set-up or first step failed");
        } else {
            const int64_t startsBefore = bandWorkersStarted;
            int step = 1;
            for (auto _ : state)
                if (!sliderStep(step++)) {
                    state.SkipWithError("step failed");
                    break;
                }
            // 0 on the dialog's workers; a step starting threads of its own
            // would show here.
            state.counters["thread_starts"] =
                benchmark::Counter(double(bandWorkersStarted - startsBefore), benchmark::Counter::kAvgIterations);
            state.SetLabel(std::string(kProductName) + " " + std::to_string(pData.scWidth) + "x" +
                           std::to_string(pData.scHeight) + " proxy, " + std::to_string(engineThreadCount()) +
                           " threads");
        }
    }
    setEngineThreadCount(0);
}

void BM_SetUp(benchmark::State& state) {
    const int16 mode = state.range(0) == 16 ? int16(plugInModeRGB48) : int16(plugInModeRGBColor);
    BoundPreview preview(mode, 6000, 4000, 1433, 619);
    for (auto _ : state) SetupProxy();
    state.SetLabel(std::string(kProductName) + " " + std::to_string(state.range(0)) + "-bit 6000x4000");
}

const int64_t kAllThreads = 0;
BENCHMARK(BM_SliderStep)
    ->Args({359, 348, 1})
    ->Args({359, 348, kAllThreads})
    ->Args({1433, 619, 1})
    ->Args({1433, 619, kAllThreads})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(BM_SetUp)->Arg(8)->Arg(16)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
