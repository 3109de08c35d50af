// The Save and Load Settings file dialogs of the Mac form (Navigation
// Services), over the settings files of entry/settings_file.h.
#pragma once

#include <Carbon.h>

#include <string>

#include "entry/params.h"

// What the dialog hands back to its event procedure: the parameters (their
// pointers address the live block), where the dialog reference is kept, and
// the product's magic.
struct ourSaveDialogUserData {
    parameterStructure params;
    NavDialogRef* dialog;
    const char* magic;
};

void saveSettings(parameterStructure params, const char* magic);
void loadSettings(parameterStructure params, const char* magic);

OSStatus handleSave(const NavReplyRecord& reply, ourSaveDialogUserData data);
OSStatus handleLoad(const NavReplyRecord& reply, ourSaveDialogUserData data);
void myNavigationEventCallback(NavEventCallbackMessage selector, NavCBRec* parms, void* clientData);
OSStatus getFullPathFSRefToString(const NavReplyRecord& reply, std::string& path);
OSStatus getDirPathFSRefToString(const FSRef& ref, std::string& path);
