// The dialog's side of the preview, reached through the hooks it installs.
#include "preview/preview_dialog.h"

#include "preview/proxy.h"

namespace {
const previewDialogHooks* installedHooks = nullptr;
}  // namespace

void setPreviewDialogHooks(const previewDialogHooks* hooks) { installedHooks = hooks; }

VRect getOverviewUsedVRect() {
    if (installedHooks && installedHooks->getOverviewUsedVRect) return installedHooks->getOverviewUsedVRect();
    pData.overviewWidth = pData.overviewHeight = 0;
    return VRect{0, 0, 0, 0};
}

void crossPlatformUpdateProxy() {
    if (installedHooks && installedHooks->updateProxy) installedHooks->updateProxy(true);
}

VRect fitOverviewIntoPane(int32 paneWidth, int32 paneHeight) {
    int32 width = 0, height = 0, size = 0;
    calcScProxyDimensions(width, height, size, paneWidth, paneHeight);
    pData.overviewWidth = width;
    pData.overviewHeight = height;
    const int32 top = (paneHeight - height) / 2, left = (paneWidth - width) / 2;
    return VRect{top, left, top + height, left + width};
}
