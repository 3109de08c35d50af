// The preview bound to one reference host: the parameter block at the
// product's defaults, the colour tables of a host call, a fresh preview
// state, and dialog hooks whose overview pane the test chooses.
#pragma once

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

    // Plane p of the output (or source) proxy as a vector.
    static std::vector<uint8_t> plane(const unsigned char* proxy, int p) {
        const size_t n = size_t(pData.scWidth) * pData.scHeight;
        return std::vector<uint8_t>(proxy + p * n, proxy + (p + 1) * n);
    }

    ParamBlock block;
    uint8 data = 0;
    std::unique_ptr<colorspaceConversionLUTs> tables;
};

// Where the pictures a person looks at are written.
inline std::string pictureDir() {
    const char* dir = std::getenv("VEXLOR_PICTURE_DIR");
    return dir ? dir : "preview-pictures";
}

}  // namespace preview_test
