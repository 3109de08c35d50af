// The Windows filter dialog, run modally from the template "FILTERDIALOG".
#include <windows.h>

#include <commctrl.h>

#include "host/globals.h"
#include "engine/product.h"
#include "entry/start.h"
#include "win/module_win.h"

extern "C" DIALOG_EXPORT INT_PTR WINAPI DissolveProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: SetWindowTextA(window, kProductTitle); return 0;
        case WM_COMMAND: {
            const WORD id = LOWORD(wParam);
            if ((id == IDOK || id == IDCANCEL) && HIWORD(wParam) == BN_CLICKED) {
                EndDialog(window, id);
                return 1;
            }
            return 0;
        }
        default: return 0;
    }
}

bool showFilterDialog() {
    // The template's sliders are trackbars of the common controls.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    HWND owner = gFilterRecord->platformData ? reinterpret_cast<HWND>(gFilterRecord->platformData->hwnd) : nullptr;
    const INT_PTR answer = DialogBoxParamA(moduleInstance, "FILTERDIALOG", owner, DissolveProc, 0);
    // An error that a preview left while the dialog was open is not the run's.
    *gResult = noErr;
    return answer == IDOK;
}

void DoAbout(const char* title) { MessageBoxA(nullptr, title, "Vexlor", MB_OK); }
