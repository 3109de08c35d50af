// The code of the resource-only modules that the resource tests read: a
// module entry and an empty PluginMain, exported as the plug-ins export it.  Compiling it for each architecture also
// checks the structure sizes that the Windows dialog code takes from
// win/struct_sizes.h.
#include "win/struct_sizes.h"

extern "C" BOOL WINAPI resourceDllEntry(HINSTANCE, DWORD, LPVOID) { return TRUE; }

extern "C" __declspec(dllexport) void PluginMain(short, void*, intptr_t*, short*) {}
