// A stand-in comdlg32.dll for settings_check: its file dialogs check what
// the plug-in asked for and then fail as the real ones do, with an extended
// error: FNERR_INVALIDFILENAME when the request was right, CDERR_STRUCTSIZE
// when anything in it was wrong.  Wine loads it in place of its own when
// told to (WINEDLLOVERRIDES=comdlg32=n).
// Our own definitions of the exports, not imports of the system's.
#define _COMDLG32_
#include <windows.h>
#include <commdlg.h>

#include <cstring>

#include "win/struct_sizes.h"

namespace {

DWORD lastError = 0;

bool filterHasFourTextsAndTwoZeros(const char* filter) {
    int texts = 0;
    while (*filter) {
        filter += std::strlen(filter) + 1;
        ++texts;
    }
    return texts == 4;
}

BOOL fail(const OPENFILENAMEA* dialog, DWORD flags) {
    const bool right = dialog && dialog->lStructSize == kOpenFileNameStructSize && dialog->Flags == flags &&
                       dialog->nMaxFile == MAX_PATH && dialog->lpstrFile && dialog->lpstrFile[0] == '\0' &&
                       dialog->lpstrDefExt && std::strlen(dialog->lpstrDefExt) == 3 && dialog->lpstrFilter &&
                       filterHasFourTextsAndTwoZeros(dialog->lpstrFilter);
    lastError = right ? FNERR_INVALIDFILENAME : CDERR_STRUCTSIZE;
    return FALSE;
}

}  // namespace

extern "C" __declspec(dllexport) BOOL WINAPI GetSaveFileNameA(LPOPENFILENAMEA dialog) { return fail(dialog, 0x88806); }
extern "C" __declspec(dllexport) BOOL WINAPI GetOpenFileNameA(LPOPENFILENAMEA dialog) { return fail(dialog, 0x81000); }
extern "C" __declspec(dllexport) DWORD WINAPI CommDlgExtendedError() { return lastError; }
