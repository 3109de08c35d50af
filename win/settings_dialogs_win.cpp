// The Windows settings-file dialogs.  The common dialog functions are looked
// up when a dialog is wanted, so the module does not import comdlg32.
#include "win/settings_dialogs_win.h"

#include <commdlg.h>

#include "host/alerts.h"
#include "entry/settings_file.h"
#include "win/struct_sizes.h"

namespace {

typedef BOOL(WINAPI* FileDialogFunction)(LPOPENFILENAMEA);
typedef DWORD(WINAPI* ExtendedErrorFunction)();

const DWORD kSaveFlags = OFN_EXPLORER | OFN_NOREADONLYRETURN | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY |
                         OFN_OVERWRITEPROMPT;
const DWORD kLoadFlags = OFN_EXPLORER | OFN_FILEMUSTEXIST;
static_assert(kSaveFlags == 0x88806 && kLoadFlags == 0x81000, "the dialogs' flags");

template <typename Function>
Function lookUp(HMODULE module, const char* name) {
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// Runs GetSaveFileNameA or GetOpenFileNameA; true when the user chose a file,
// which is then in file.  A dialog that could not be shown is reported (a
// cancel is not), with the common dialog's error code or the lookup's.
bool runFileDialog(const char* function, HWND owner, const char* filter, const char* extension, DWORD flags,
                   char (&file)[MAX_PATH]) {
    file[0] = '\0';
    HMODULE comdlg = LoadLibraryA("comdlg32.dll");
    const FileDialogFunction show = lookUp<FileDialogFunction>(comdlg, function);
    const ExtendedErrorFunction extendedError = lookUp<ExtendedErrorFunction>(comdlg, "CommDlgExtendedError");
    if (!show || !extendedError) {
        const DWORD code = GetLastError();
        if (comdlg) FreeLibrary(comdlg);
        doAlertBox("(Vexlor) File dialog error:", long(code));
        return false;
    }
    OPENFILENAMEA dialog;
    ZeroMemory(&dialog, sizeof dialog);
    dialog.lStructSize = kOpenFileNameStructSize;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter;
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.Flags = flags;
    dialog.lpstrDefExt = extension;
    // The dialogs move the process's current folder to the chosen file's
    // (the open dialog whatever its flags say): a plug-in leaves its host's
    // current folder where it found it.
    char folder[MAX_PATH];
    const DWORD folderLength = GetCurrentDirectoryA(MAX_PATH, folder);
    const bool chosen = show(&dialog) != FALSE;
    const DWORD error = chosen ? 0 : extendedError();
    if (folderLength > 0 && folderLength < MAX_PATH) SetCurrentDirectoryA(folder);
    FreeLibrary(comdlg);
    if (error) doAlertBox("(Vexlor) File dialog error:", long(error));
    return chosen;
}

}  // namespace

void saveSettings(HWND owner, const char* filter, const char* extension, const char* magic,
                  parameterStructure params) {
    char file[MAX_PATH];
    if (runFileDialog("GetSaveFileNameA", owner, filter, extension, kSaveFlags, file) &&
        !writeParamsToFile(params, file, magic))
        doAlertBox("Error writing save file.  It may be read-only or the file name contains Unicode characters.");
}

void loadSettings(HWND owner, const char* filter, const char* extension, const char* magic, parameterStructure params,
                  ProxyUpdateCallback updateProxy, ControlRefreshCallback refreshControls) {
    char file[MAX_PATH];
    if (runFileDialog("GetOpenFileNameA", owner, filter, extension, kLoadFlags, file) &&
        !loadParamsFromFile(params, file, magic))
        doAlertBox("Error encountered while reading settings.  Any settings/parameters loaded (if any) may be invalid.");
    updateProxy(owner, true);
    refreshControls(owner, 0);
}
