// The preview bound to one reference host: the parameter block at the
// product's defaults, the colour tables of a host call, a fresh preview
// state, and dialog hooks whose overview pane the test chooses.
#pragma once

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine_params.h"
#include "entry/params.h"
#include "engine/product.h"
#include "host/big_document.h"
#include "image/colorspace_luts.h"
#include "preview/overview.h"
#include "preview/paint.h"
#include "preview/preview_dialog.h"
#include "preview/proxy.h"
#include "preview/proxy_recompute.h"
#include "preview/proxy_source.h"
#include "refhost/image_io.h"
#include "support/host_fixture.h"

namespace preview_test {

inline int32 overviewPaneWidth = 160, overviewPaneHeight = 120;
inline int updateCalls = 0;

inline VRect testOverviewUsedVRect() { return fitOverviewIntoPane(overviewPaneWidth, overviewPaneHeight); }
inline void testUpdateProxy(bool) { ++updateCalls; }
inline const previewDialogHooks kTestHooks = {testOverviewUsedVRect, testUpdateProxy};

class PreviewTest : public HostFixture {
protected:
    // A host on doc whose preview pane is paneWidth x paneHeight screen
    // pixels; the preview is not set up yet.
    refhost::Host& bind(refhost::Document doc, int32 paneWidth, int32 paneHeight,
                        refhost::HostOptions options = refhost::HostOptions()) {
        if (tables) {
            unSetupProxy();
            tables.reset();
        }
        refhost::Host& h = makeHost(std::move(doc), options);
        block.flags = BooleanDefault;
        block.values = DefaultGUI;
        block.flags[2] = 0;  // as the start selector leaves it for Halvane
        gParams = &block;
        gData = &data;
        tables = std::make_unique<colorspaceConversionLUTs>();
        pData = previewProxyData();
        proxyMemSize = 0;
        pData.allotedWidth = paneWidth;
        pData.allotedHeight = paneHeight;
        overviewPaneWidth = 160;
        overviewPaneHeight = 120;
        updateCalls = 0;
        setPreviewDialogHooks(&kTestHooks);
        return h;
    }
    refhost::Host& bind(int16 mode, int32 width, int32 height, int32 paneWidth, int32 paneHeight,
                        refhost::HostOptions options = refhost::HostOptions()) {
        refhost::Document doc(mode, width, height);
        doc.fillPattern();
        return bind(std::move(doc), paneWidth, paneHeight, options);
    }

    // The same with the filter rectangle (a selection) given.
    refhost::Host& bindSelection(int16 mode, int32 width, int32 height, VRect filter, int32 paneWidth,
                                 int32 paneHeight) {
        refhost::HostOptions options;
        options.filterRect = filter;
        return bind(mode, width, height, paneWidth, paneHeight, options);
    }

    void TearDown() override {
        if (gFilterRecord) {
            unSetupProxy();
            tables.reset();
        }
        setPreviewDialogHooks(nullptr);
        gParams = nullptr;
        gData = nullptr;
        HostFixture::TearDown();
    }

public:
    // Composes both pictures and hands them to the host's display call; the
    // preview's display call, or null when nothing was displayed.  Without a
    // picture of its own the overview goes into one of the overview's size.
    const refhost::DisplayCall* paint(bool showOriginal = false, uint8_image* picture = nullptr) {
        PSPixelMap map;
        preparePreviewPixelMap(map, showOriginal);
        spatialFilterProxyStruct s;
        s.previewMap = &map;
        uint8_image own;
        if (!picture) {
            own.width = pData.overviewWidth;
            own.height = pData.overviewHeight;
            memoryAllocate(int64_t(own.width) * own.height * 3, own.bufferID, own.data);
            picture = &own;
        }
        s.overviewPicture = picture;
        s.overviewRect = VRect{0, 0, picture->height, picture->width};
        const size_t calls = host().displayCalls().size();
        lastPaintResult = spatialFilterPaintBuffer(s);
        if (lastPaintResult == noErr) {
            EXPECT_EQ(spatialFilterDisplayPixels(s, 0, 0, nullptr), noErr);
        }
        spatialFilterPaintCleanup(s);
        memoryRelease(0, own.bufferID, own.data);
        return host().displayCalls().size() > calls ? &host().displayCalls()[calls] : nullptr;
    }
    OSErr lastPaintResult = noErr;

protected:
    // Plane p of the output (or source) proxy as a vector.
    static std::vector<uint8_t> plane(const unsigned char* proxy, int p) {
        const size_t n = size_t(pData.scWidth) * pData.scHeight;
        return std::vector<uint8_t>(proxy + p * n, proxy + (p + 1) * n);
    }

    ParamBlock block;
    uint8 data = 0;
    std::unique_ptr<colorspaceConversionLUTs> tables;
};

// One sample stored raw in every plane of pixel (x, y), so that values
// outside the host's nominal range can be stored too.
inline void putRaw(refhost::Document& doc, int32 x, int32 y, double v) {
    uint8_t* p = doc.pixel(x, y);
    for (int16 c = 0; c < doc.planes(); ++c) {
        switch (doc.depth()) {
            case 8: p[c] = uint8_t(v); break;
            case 16: {
                const uint16_t s = uint16_t(v);
                std::memcpy(p + 2 * c, &s, 2);
                break;
            }
            default: {
                const float f = float(v);
                std::memcpy(p + 4 * c, &f, 4);
            }
        }
    }
}

// The overview's pixel (x, y), channel c, of an overview of ovW x ovH over
// the filter rectangle F: the quarter grid, the nearest sample of the tile,
// and the overview's own conversion of deep samples (linear 32-bit samples
// shown as they are).
inline uint8_t expectedOverview(const refhost::Document& doc, VRect F, int32 ovW, int32 ovH, int32 x, int32 y,
                                int c) {
    const int32 fw = F.right - F.left, fh = F.bottom - F.top;
    auto cellOf = [](int32 v, int32 n) {
        int i = 0;
        while (i < 3 && v >= int32(int64_t(i + 1) * n / 4)) ++i;
        return i;
    };
    const int i = cellOf(y, ovH), j = cellOf(x, ovW);
    const int32 t0 = int32(int64_t(i) * fh / 4), t1 = int32(int64_t(i + 1) * fh / 4);
    const int32 l0 = int32(int64_t(j) * fw / 4), l1 = int32(int64_t(j + 1) * fw / 4);
    const int32 c0 = int32(int64_t(i) * ovH / 4), c1 = int32(int64_t(i + 1) * ovH / 4);
    const int32 d0 = int32(int64_t(j) * ovW / 4), d1 = int32(int64_t(j + 1) * ovW / 4);
    const int32 oh = c1 - c0, ow = d1 - d0, th = t1 - t0, tw = l1 - l0;
    const int a = ow >= 2 && oh >= 2 ? -1 : 0;
    const int32 r = std::min(th - 1, int32((y - c0) * (double(th + a) / (oh + a)) + 0.5));
    const int32 col = std::min(tw - 1, int32((x - d0) * (double(tw + a) / (ow + a)) + 0.5));
    const double v = doc.get(F.left + l0 + col, F.top + t0 + r, int16(doc.planes() == 1 ? 0 : c));
    switch (doc.depth()) {
        case 8: return uint8_t(v);
        case 16: return uint8_t((uint32_t(std::min(v, 32768.0)) * 255) >> 15);
        default: return uint8_t(float(std::clamp(v, 0.0, 1.0)) * 255.0f + 0.5f);
    }
}

// Where the pictures a person looks at are written (created when missing):
// VEXLOR_PICTURE_DIR, or empty when it is not set and nothing is written.
inline std::string pictureDir() {
    const char* dir = std::getenv("VEXLOR_PICTURE_DIR");
    if (!dir || !*dir) return std::string();
    mkdir(dir, 0755);
    return dir;
}

}  // namespace preview_test
