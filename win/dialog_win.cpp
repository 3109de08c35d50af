// The Windows filter dialog, run modally from the template "FILTERDIALOG":
// its dialog procedure and message map, its start-up, which fixes the layout
// values that resizing uses, and its tear-down.
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "dialog/control_tables.h"
#include "dialog/dialog_layout.h"
#include "engine/product.h"
#include "entry/params.h"
#include "entry/start.h"
#include "host/alerts.h"
#include "host/band_runner.h"
#include "host/globals.h"
#include "image/colorspace_luts.h"
#include "preview/preview_dialog.h"
#include "preview/proxy.h"
#include "preview/proxy_source.h"
#include "win/dialog_win.h"
#include "win/module_win.h"

HWND dialogWindow = nullptr;

namespace {
VRect getOverviewUsedRect() {
    const RECT pane = itemClientRect(dialogWindow, kOverviewItem);
    return fitOverviewIntoPane(pane.right - pane.left, pane.bottom - pane.top);
}

void dialogUpdateProxy(bool recompute) {
    if (dialogWindow) UpdateProxyItem(dialogWindow, recompute);
}

const previewDialogHooks windowsDialogHooks = {getOverviewUsedRect, dialogUpdateProxy};

void endFilterDialog(HWND window, int id) {
    endDialogPreview();
    EndDialog(window, id);
}
}  // namespace

extern "C" DIALOG_EXPORT INT_PTR WINAPI DissolveProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            if (*gResult == noErr) ShowOutputBuffer2(window);
            return 0;
        case WM_NOTIFY: {
            const int slot = sliderSlotOfId(int(reinterpret_cast<const NMHDR*>(lParam)->idFrom));
            if (slot >= 0) processSlider(window, slot);
            return 1;
        }
        case WM_INITDIALOG:
            initZoomableProxy(window, kProductTitle, refreshDialogControls, eyedropperAnalysis);
            for (int id : {int(kDespeckleBox), int(kSelectNoiseButton), int(kResetNoiseReductionButton)})
                ShowWindow(GetDlgItem(window, id), SW_HIDE);
            processInvertProtectionTextChange(window);
            // Focus stays on OK, where the start-up put it.
            return 0;
        case WM_COMMAND: {
            const int id = LOWORD(wParam), code = HIWORD(wParam);
            if (id == IDOK || id == IDCANCEL) {
                if (code == BN_CLICKED) endFilterDialog(window, id);
                return 1;
            }
            bool handled = false;
            const INT_PTR result = processDialogCommand(window, id, code, handled);
            if (handled) return result;
            if (id == kProtectShadowsBox) {
                processInvertProtectionTextChange(window);
                UpdateWindow(window);
            }
            return processCommonCommands(window, message, wParam, lParam);
        }
        default: return mouseEventInWindowHandler(window, message, wParam, lParam);
    }
}

void initZoomableProxy(HWND window, const char* title, controlRefreshProc, eyedropperCallbackProc callback) {
    eyedropperCallback = callback;
    loadDialogCursors();
    mouseState = kMouseIdle;
    endDrags();
    dialogWindow = window;
    if (!cspacePtrLUT2 || !cspacePtrLUT3)
        MessageBoxA(window, "Vexlor internal error: color space buffers not created.", "Vexlor", MB_OK);

    RECT frame, client;
    GetWindowRect(window, &frame);
    GetClientRect(window, &client);
    pData.minWindowWidth = frame.right - frame.left;
    pData.minWindowHeight = frame.bottom - frame.top;
    const RECT pane = itemClientRect(window, kPreviewItem);
    previewRightMargin = client.right - pane.right;
    previewBottomMargin = client.bottom - pane.bottom;

    updateProxyAllotments(window);
    lastPaintedPreviewRect = lastPaintedOverviewRect = RECT{0, 0, 0, 0};
    setPreviewDialogHooks(&windowsDialogHooks);
    SetupProxy(1);

    allowProxyUpdate = false;
    initAllEditSlidersAndCheckboxes(window);
    CheckDlgButton(window, kShowAdvancedBox, pData.showAdvanced ? BST_CHECKED : BST_UNCHECKED);
    processShowAdvancedControls(window);

    RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const VRect placed = initialWindowRect(pData.windowWidth, pData.windowHeight,
                                           (frame.right - frame.left) - (client.right - client.left),
                                           (frame.bottom - frame.top) - (client.bottom - client.top),
                                           pData.minWindowWidth, pData.minWindowHeight, toVRect(work));
    MoveWindow(window, placed.left, placed.top, placed.right - placed.left, placed.bottom - placed.top, FALSE);

    SetFocus(GetDlgItem(window, IDOK));
    allowProxyUpdate = true;
    SetWindowTextA(window, title);
    UpdateProxyItem(window, true);
}

void endDialogPreview() {
    unSetupProxy();
    setPreviewDialogHooks(nullptr);
    dialogWindow = nullptr;
    endDrags();
    mouseState = kMouseIdle;
}

bool showFilterDialog() {
    // The template's sliders are trackbars: the plug-in registers their class
    // itself rather than count on the host having done so.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    HWND owner = gFilterRecord->platformData ? reinterpret_cast<HWND>(gFilterRecord->platformData->hwnd) : nullptr;
    sliderEchoAllowed = editEchoAllowed = true;
    showOriginalMode = false;
    INT_PTR answer;
    {
        // Every recompute while the dialog is open hands its bands to these
        // waiting workers: a recompute makes about twenty band calls, and
        // starting their threads cost more than the filtering itself.
        bandWorkerSetScope workers;
        answer = DialogBoxParamA(moduleInstance, "FILTERDIALOG", owner, DissolveProc, 0);
    }
    // No way out of the dialog leaves the preview's buffers behind.
    endDialogPreview();
    if (answer == -1) doAlertBox("(Vexlor) The filter dialog could not be opened.  Please contact support.");
    // An error that a preview left while the dialog was open is not the run's.
    *gResult = noErr;
    return answer == IDOK;
}

void DoAbout(const char* title) {
    MessageBoxA(nullptr, (std::string(title) + "\n\nhttps://www.vexlor.example").c_str(), "About", MB_OK);
}
