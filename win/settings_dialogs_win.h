// The Save and Load Settings file dialogs of the Windows form (the common
// file dialogs), over the settings files of entry/settings_file.h.
#pragma once

#include <windows.h>

#include "entry/params.h"

// The filter dialog's preview update (recompute or repaint only) and its
// control refresh (allow = 0 sets the controls without a preview update),
// handed in by the dialog's Load command.
typedef void (*ProxyUpdateCallback)(HWND window, bool recompute);
typedef void (*ControlRefreshCallback)(HWND window, int allow);

// filter: pairs of description and pattern, ending in two zero bytes.
void saveSettings(HWND owner, const char* filter, const char* extension, const char* magic,
                  parameterStructure params);
// Whether or not a file was chosen, the preview is recomputed and the
// controls are set again from the parameters afterwards.
void loadSettings(HWND owner, const char* filter, const char* extension, const char* magic, parameterStructure params,
                  ProxyUpdateCallback updateProxy, ControlRefreshCallback refreshControls);
