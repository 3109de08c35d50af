// The preview on a fixed fixture, built natively and for Windows: set-up at
// zoom 2, a recompute, a pan and a paint of Glimra's preview on a pattern
// image through the reference host.  Writes the proxies after each step and
// both painted pictures into one file, so that scripts/wine-test.sh can
// compare the Windows builds' file with the native one's.
//
//     preview_check OUTPUT
#include <cstdio>
#include <fstream>
#include <memory>
#include <vector>

#include "engine/output_writers.h"
#include "engine/engine_params.h"
#include "host/globals.h"
#include "host/host_services.h"
#include "entry/params.h"
#include "image/colorspace_luts.h"
#include "preview/paint.h"
#include "preview/preview_dialog.h"
#include "preview/proxy.h"
#include "preview/proxy_recompute.h"
#include "preview/proxy_source.h"
#include "refhost/refhost.h"

#if defined(_WIN32)
#include "win/module_win.h"
// The plug-in module defines it in its entry file; this program has none.
HINSTANCE moduleInstance = nullptr;
#endif

namespace {

VRect overviewPane() { return fitOverviewIntoPane(160, 120); }
void noUpdate(bool) {}
const previewDialogHooks kHooks = {overviewPane, noUpdate};

void writeProxies(std::ofstream& out) {
    out.write(reinterpret_cast<const char*>(pData.sourcePtr), std::streamsize(proxyMemSize));
    out.write(reinterpret_cast<const char*>(pData.outputPtr), std::streamsize(proxyMemSize));
}

int fail(const char* step, int code) {
    std::fprintf(stderr, "preview_check: %s failed (%d)\n", step, code);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: preview_check OUTPUT\n");
        return 2;
    }
    refhost::Document doc(plugInModeRGBColor, 300, 200);
    doc.fillPattern(7);
    refhost::Host host(std::move(doc));
    host.beginSelector(filterSelectorStart);
    host.record().bigDocumentData->PluginUsing32BitCoordinates = 1;
    gFilterRecord = &host.record();
    gResult = &host.result();
    gDataHandle = &host.data();
    sSPBasic = host.record().sSPBasic;
    ParamBlock block;
    block.flags = BooleanDefault;
    block.values = DefaultGUI;
    gParams = &block;
    uint8 data = 0;
    gData = &data;
    std::ofstream out(argv[1], std::ios::binary);
    {
        colorspaceConversionLUTs tables;
        setPreviewDialogHooks(&kHooks);
        pData.allotedWidth = 208;
        pData.allotedHeight = 160;
        pData.zoomFactor = 2;
        if (OSErr err = SetupProxy()) return fail("set-up", err);
        writeProxies(out);
        if (OSErr err = updateModifiedProxyBuffer(enhancePixelUint8, calcInternalFilterParams))
            return fail("recompute", err);
        writeProxies(out);
        if (OSErr err = proxySlide(17, -9, enhancePixelUint8)) return fail("pan", err);
        writeProxies(out);

        uint8_image picture;
        picture.width = pData.overviewWidth;
        picture.height = pData.overviewHeight;
        memoryAllocate(int64_t(picture.width) * picture.height * 3, picture.bufferID, picture.data);
        PSPixelMap map;
        preparePreviewPixelMap(map, false);
        spatialFilterProxyStruct s;
        s.previewMap = &map;
        s.overviewPicture = &picture;
        if (OSErr err = spatialFilterPaintBuffer(s)) return fail("paint", err);
        if (OSErr err = spatialFilterDisplayPixels(s, 0, 0, nullptr)) return fail("display", err);
        spatialFilterPaintCleanup(s);
        memoryRelease(0, picture.bufferID, picture.data);
        for (const refhost::DisplayCall& call : host.displayCalls())
            out.write(reinterpret_cast<const char*>(call.pixels.data()), std::streamsize(call.pixels.size()));
        unSetupProxy();
        setPreviewDialogHooks(nullptr);
    }
    if (!out) return fail("writing the output", 0);
    const std::string report = host.leakReport();
    if (!report.empty()) {
        std::fprintf(stderr, "preview_check: the host saw\n%s", report.c_str());
        return 1;
    }
    std::printf("preview_check: %d x %d proxy at zoom %d, %zu pictures\n", pData.scWidth, pData.scHeight,
                pData.zoomFactor, host.displayCalls().size());
    return 0;
}
