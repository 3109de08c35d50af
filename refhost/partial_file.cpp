// The partial file being written, kept where a signal handler can read it:
// plain bytes and a flag, which a handler may read.
#include <csignal>
#include <cstring>
#include <string>

#include "refhost/platform.h"

namespace refhost {
namespace platform {

namespace {
char gPartialPath[4096];
volatile std::sig_atomic_t gHavePartial = 0;
}  // namespace

void notePartialFile(const std::string& path) {
    gHavePartial = 0;
    if (path.size() >= sizeof gPartialPath) return;  // too long to remove on a signal
    std::memcpy(gPartialPath, path.c_str(), path.size() + 1);
    gHavePartial = 1;
}

void forgetPartialFile(const std::string& path) {
    if (gHavePartial && path == gPartialPath) gHavePartial = 0;
}

const char* pendingPartialFile() { return gHavePartial ? gPartialPath : nullptr; }

}  // namespace platform
}  // namespace refhost
