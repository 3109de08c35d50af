// The dialog's preview: a recompute from a parameter change to a composed
// picture (the engine on the proxy, the enhance, the paint composition) at
// the template's pane (208 x 348) and at a full-HD dialog's (800 x 740), on
// one thread and on every processor; and the set-up (source read, overview)
// on a 6000 x 4000 image at 8 and 16 bits.  bench_preview runs Glimra,
// bench_preview_halvane Halvane.  The host recycles freed buffers as a
// host's memory manager does.
#include <benchmark/benchmark.h>

#include <memory>

#include "engine/band_driver.h"
#include "engine/output_writers.h"
#include "engine/engine_params.h"
#include "host/globals.h"
#include "host/host_services.h"
#include "entry/params.h"
#include "engine/product.h"
#include "image/colorspace_luts.h"
#include "preview/paint.h"
#include "preview/preview_dialog.h"
#include "preview/proxy.h"
#include "preview/proxy_recompute.h"
#include "refhost/refhost.h"

namespace {

VRect overviewPane() { return fitOverviewIntoPane(200, 150); }
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
        block.flags[2] = 0;
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

// A recompute and the composition of both pictures, as the dialog does for
// every slider step.
void recomputeAndCompose(uint8_image& picture) {
    updateModifiedProxyBuffer(enhancePixelUint8, calcInternalFilterParams);
    PSPixelMap map;
    preparePreviewPixelMap(map, false);
    spatialFilterProxyStruct s;
    s.previewMap = &map;
    s.overviewPicture = &picture;
    spatialFilterPaintBuffer(s);
    spatialFilterPaintCleanup(s);
}

void BM_Recompute(benchmark::State& state) {
    const int32 paneWidth = int32(state.range(0)), paneHeight = int32(state.range(1));
    setEngineThreadCount(int32(state.range(2)));
    BoundPreview preview(plugInModeRGBColor, 2000, 1500, paneWidth, paneHeight);
    if (SetupProxy() != noErr) {
        state.SkipWithError("set-up failed");
        return;
    }
    uint8_image picture;
    picture.width = pData.overviewWidth;
    picture.height = pData.overviewHeight;
    memoryAllocate(int64_t(picture.width) * picture.height * 3, picture.bufferID, picture.data);
    recomputeAndCompose(picture);  // warm the host's recycled buffers
    for (auto _ : state) recomputeAndCompose(picture);
    memoryRelease(0, picture.bufferID, picture.data);
    state.SetLabel(std::string(kProductName) + " " + std::to_string(pData.scWidth) + "x" +
                   std::to_string(pData.scHeight) + " proxy, " + std::to_string(engineThreadCount()) + " threads");
    setEngineThreadCount(0);
}

void BM_SetUp(benchmark::State& state) {
    const int16 mode = state.range(0) == 16 ? int16(plugInModeRGB48) : int16(plugInModeRGBColor);
    BoundPreview preview(mode, 6000, 4000, 800, 740);
    for (auto _ : state) SetupProxy();
    state.SetLabel(std::string(kProductName) + " " + std::to_string(state.range(0)) + "-bit 6000x4000");
}

const int64_t kAllThreads = 0;
BENCHMARK(BM_Recompute)
    ->Args({208, 348, 1})
    ->Args({208, 348, kAllThreads})
    ->Args({800, 740, 1})
    ->Args({800, 740, kAllThreads})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_SetUp)->Arg(8)->Arg(16)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
