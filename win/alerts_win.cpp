// Alerts of the Windows form: a message box captioned with the maker's name.
#include <windows.h>

#include "host/alerts.h"

void doAlertBox(std::string text) { MessageBoxA(nullptr, text.c_str(), "Vexlor", MB_OK); }
