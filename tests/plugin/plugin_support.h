// Shared by the plug-in tests: where the modules are, and a run that the
// script keeps from showing the dialog.
#pragma once

#include <string>

#include "refhost/refhost.h"

inline std::string modulePath(const std::string& product) {
    return std::string(VEXLOR_PLUGIN_DIR) + "/" + product + ".plugin.so";
}

inline void playSilently(refhost::Host& host, const refhost::Descriptor& d = refhost::Descriptor()) {
    host.setScriptDescriptor(d, plugInDialogDontDisplay);
}
