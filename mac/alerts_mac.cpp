// Alerts of the Mac form: a note alert run modally on the host's thread.
#include "mac/alerts_mac.h"

#include <cstdio>
#include <sstream>

#include "host/alerts.h"
#include "mac/nib_window_mac.h"

namespace {
// Any non-zero code makes doErrorAlert show the alert.
const long kAlertCode = 8999;
}  // namespace

void doErrorAlert(long code, CFStringRef format) {
    if (code == 0) return;
    // A text that could not be made (not ASCII) is no alert: the system
    // would crash on it.
    if (!format) {
        std::fputs("Cannot create alert!\n", stderr);
        return;
    }
    CFStringRef localized = CFBundleCopyLocalizedString(CFBundleGetMainBundle(), format, format, nullptr);
    if (!localized) return;
    CFStringRef message = CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, localized, code);
    if (!message) {
        CFRelease(localized);
        return;
    }
    AlertStdCFStringAlertParamRec param;
    GetStandardAlertDefaultParams(&param, kStdCFStringAlertVersionOne);
    param.movable = true;
    DialogRef alert = nullptr;
    if (CreateStandardAlert(kAlertNoteAlert, message, nullptr, &param, &alert) != 0 || !alert)
        std::fputs("Cannot create alert!\n", stderr);
    else
        RunStandardAlert(alert, nullptr, nullptr);
    CFRelease(message);
    CFRelease(localized);
}

void doErrorAlert(CFStringRef text) { doErrorAlert(kAlertCode, text); }

void doAlertBox(std::string text) {
    ReleasedString s(text.c_str());
    doErrorAlert(kAlertCode, s.s);
}

namespace {
template <typename Number>
void alertNumber(Number number) {
    std::ostringstream o;
    o << number;
    doAlertBox(o.str());
}
}  // namespace

void doAlertBoxInt32(long number) { alertNumber(number); }
void doAlertBoxInt32(double number) { alertNumber(number); }
