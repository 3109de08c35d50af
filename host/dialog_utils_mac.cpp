// Alerts with parameter text from the plug-in's string resources.
#include "host/dialog_utils_mac.h"

#include <algorithm>
#include <cstring>

#include "host/dialog_manager_mac.h"
#include "host/host_utils_mac.h"

namespace {
const ResType kAlertResourceType = 0x414c5254;  // 'ALRT'

// The Dialog Manager shows an alert where its template, as loaded, says:
// centring the loaded template moves the alert.
void centreAlert(int16 alertID) {
    Handle alert = GetResource(kAlertResourceType, alertID);
    if (!alert || GetHandleSize(alert) < Size(sizeof(AlertTemplate))) return;
    HLock(alert);
    AlertTemplate* shown = reinterpret_cast<AlertTemplate*>(*reinterpret_cast<Ptr*>(alert));
    DialogTemplate centred{};
    centred.boundsRect = shown->boundsRect;
    CenterDialog(&centred);
    shown->boundsRect = centred.boundsRect;
    HUnlock(alert);
}
}  // namespace

int16 ShowAlertType(DialogRef, int16 alertID, int16 stringID, const unsigned char* param1,
                    const unsigned char* param2, int16 type) {
    if (alertID == 0) return 0;
    Str255 message;
    HostGetString(stringID, message);
    PIParamText(message, nullptr, param1, param2);
    ParamText(message, nullptr, nullptr, nullptr);
    centreAlert(alertID);
    return type == kStopAlertType ? StopAlert(alertID, nullptr) : CautionAlert(alertID, nullptr);
}

int16 ShowVersionAlert(DialogRef dialog, int16 alertID, int16 stringID, const unsigned char* param1,
                       const unsigned char* param2) {
    return ShowAlertType(dialog, alertID, stringID, param1, param2, kCautionAlertType);
}

void PIParamText(Str255 text, const unsigned char* param0, const unsigned char* param1,
                 const unsigned char* param2) {
    const unsigned char* params[3] = {param0, param1, param2};
    unsigned char out[256];
    size_t length = 0;
    auto put = [&](const unsigned char* bytes, size_t n) {
        n = std::min<size_t>(n, 255 - length);
        std::memcpy(out + 1 + length, bytes, n);
        length += n;
    };
    for (size_t i = 1; i <= text[0]; ++i) {
        if (text[i] == '^' && i < text[0] && text[i + 1] >= '0' && text[i + 1] <= '2') {
            const unsigned char* p = params[text[i + 1] - '0'];
            if (p) put(p + 1, p[0]);
            ++i;
        } else {
            put(text + i, 1);
        }
    }
    out[0] = uint8(length);
    std::memcpy(text, out, length + 1);
    if (length < 255) text[length + 1] = 0;
}
