// The Windows module: its instance handle and the exported dialog procedure.
#pragma once

#include <windows.h>

extern HINSTANCE moduleInstance;

// x86 exports the dialog procedure by its decorated name (win/exports_x86.def).
#if defined(_WIN64)
#define DIALOG_EXPORT __declspec(dllexport)
#else
#define DIALOG_EXPORT
#endif

extern "C" DIALOG_EXPORT INT_PTR WINAPI DissolveProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
