// The module entry of the Windows builds: the instance handle from which the
// dialog template is loaded.
#include <windows.h>

#include "win/module_win.h"

HINSTANCE moduleInstance = nullptr;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD, LPVOID) {
    moduleInstance = instance;
    return TRUE;
}
