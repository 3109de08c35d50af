// Alerts of the Windows form: a message box captioned with the maker's name,
// owned by the filter dialog while it is open, so that the dialog is disabled
// under it and cannot be closed while a recompute, pan or paint runs.
#include <windows.h>

#include <string>
#include <vector>

#include "host/alerts.h"
#include "win/dialog_win.h"

namespace {
bool alertsDeferred = false;
std::vector<std::string> deferredAlerts;

void showAlert(const std::string& text) { MessageBoxA(dialogWindow, text.c_str(), "Vexlor", MB_OK); }
}  // namespace

void doAlertBox(std::string text) {
    if (alertsDeferred) {
        deferredAlerts.push_back(text);
        return;
    }
    showAlert(text);
}

void deferAlerts(bool defer) {
    alertsDeferred = defer;
    if (defer) return;
    std::vector<std::string> waiting;
    waiting.swap(deferredAlerts);
    for (const std::string& text : waiting) showAlert(text);
}
