// Standard alerts of the Mac form.
#pragma once

#include <Carbon.h>

void doErrorAlert(long code, CFStringRef format);
void doErrorAlert(CFStringRef text);
void doAlertBoxInt32(long number);
void doAlertBoxInt32(double number);
