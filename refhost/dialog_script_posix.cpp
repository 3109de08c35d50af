// The dialog script needs the Windows dialog: the POSIX form refuses it.
#include <stdexcept>

#include "refhost/dialog_script.h"

namespace refhost {

struct DialogScript::Impl {};

DialogScript::DialogScript(const std::string&, Host&, const std::string&) {
    throw std::runtime_error("--dialog-script steers the Windows dialog and runs in the Windows pihost only");
}
DialogScript::~DialogScript() = default;
void DialogScript::start() {}
int DialogScript::finish(int16) { return 0; }

}  // namespace refhost
