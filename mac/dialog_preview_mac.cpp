// The window framework around the preview: set-up, update and paint, the
// mouse and its eyedropper states.
#include <Carbon.h>

#include "host/globals.h"
#include "mac/dialog_mac.h"
#include "preview/proxy.h"
#include "engine/engine_params.h"
#include "engine/output_writers.h"
#include "preview/proxy_recompute.h"

WindowRef storedWRef = nullptr;
bool allowProxyUpdate = false;
bool showOriginalMode = false;
int32 mouseState = 0;
VPoint eyedropper1Down = {0, 0};
VPoint eyedropper1Up = {0, 0};

void initZoomableProxy(WindowRef window, updateCallbackProc, eyedropperCallbackProc, controlsCallbackProc,
                       const char*) {
    storedWRef = window;
    SetupProxy(0);
    initShowAdvancedControls(window);
    initCheckboxes(window);
}

void UpdateProxyItem(WindowRef window, bool recompute) {
    if (*gResult != noErr || !allowProxyUpdate) return;
    if (recompute && !showOriginalMode) updateModifiedProxyBuffer(enhancePixelUint8, calcInternalFilterParams);
    ShowOutputBuffer2(window);
}

void UpdateProxyItem(WindowRef window) { UpdateProxyItem(window, true); }

void ShowOutputBuffer2(WindowRef) {}

void proxyHandleReset(WindowRef window) {
    showOriginalMode = false;
    UpdateProxyItem(window, true);
}

void processOrigClick(WindowRef window) { UpdateProxyItem(window, true); }

void processEyedropperButton(WindowRef window) {
    mouseState = 1;
    SetCursorFromMousestate(window);
}

void SetCursorFromMousestate(WindowRef) {}

void endDialogPreview() {
    unSetupProxy();
    storedWRef = nullptr;
    mouseState = 0;
    showOriginalMode = false;
}
