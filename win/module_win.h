// The Windows module: its instance handle and the exported dialog procedure.
#pragma once

#include <windows.h>

extern HINSTANCE moduleInstance;

extern "C" __declspec(dllexport) INT_PTR WINAPI DissolveProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
