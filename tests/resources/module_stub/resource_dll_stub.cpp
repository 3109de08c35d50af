// The code of the resource-only modules that the resource tests read: an
// entry point and nothing else.  Compiling it for each architecture also
// checks the structure sizes that the Windows dialog code takes from
// win/struct_sizes.h.
#include "win/struct_sizes.h"

extern "C" BOOL WINAPI resourceDllEntry(HINSTANCE, DWORD, LPVOID) { return TRUE; }
