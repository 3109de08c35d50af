// Alerts with parameter text from the plug-in's resources.
#pragma once

#include <Carbon.h>

#include "PITypes.h"

enum : int16 { kStopAlertType = 1, kCautionAlertType = 2 };

// The string resource stringID with ^1 and ^2 replaced becomes the alert's
// parameter text; a stop alert for type 1, else a caution alert.  Nothing
// and 0 for alert id 0.
int16 ShowAlertType(DialogRef dialog, int16 alertID, int16 stringID, const unsigned char* param1,
                    const unsigned char* param2, int16 type);
int16 ShowVersionAlert(DialogRef dialog, int16 alertID, int16 stringID, const unsigned char* param1,
                       const unsigned char* param2);
// Replaces every ^0, ^1 and ^2 in text by the given strings (null: empty),
// in place, the result cut at 255 characters.
void PIParamText(Str255 text, const unsigned char* param0, const unsigned char* param1,
                 const unsigned char* param2);
