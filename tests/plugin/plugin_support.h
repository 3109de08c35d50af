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

// Whether an advance state's input rectangle is one of the pass's pieces.
// Profiling asks for 32 x 32 blocks and strips two rows high of its own;
// every piece, with its apron, is wider and taller.
inline bool isPieceRequest(const VRect& r) { return r.right - r.left > 64 && r.bottom - r.top > 2; }
