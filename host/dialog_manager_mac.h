// Dialog Manager helpers of the Mac form for dialogs from dialog resources:
// centring, the moveable modal loop, item texts and numbers with range
// checks, check boxes, radio groups, pop-ups and outlines.
#pragma once

#include <Carbon.h>

#include "PITypes.h"

// Message strings of the range alerts.
enum : int16 { kIntegerRangeStringID = 16990, kDecimalRangeStringID = 16991 };
// FetchNumber's and FetchDouble's answers.
enum : int16 { kFetchInRange = 0, kFetchOutOfRange = 1, kFetchNotANumber = 2 };

void CenterDialog(DialogTemplate* dialogTemplate);
void ShowAbout(int16 aboutID);
void MoveableModalDialog(DialogRef dialog, ModalFilterUPP filter, int16* item);
long GetMoveableWRefCon(DialogRef dialog);
Boolean DialogFilter(DialogRef dialog, EventRecord* event, int16* item);

void SetOutlineOK(DialogRef dialog, int16 item);
void OutlineOK(DialogRef dialog, int16 item);
void SetOutlineGroup(DialogRef dialog, int16 item);
void OutlineGroup(DialogRef dialog, int16 item);

void SelectTextItem(DialogRef dialog, int16 item);
void StuffText(DialogRef dialog, int16 item, const unsigned char* text);
void FetchText(DialogRef dialog, int16 item, Str255 text);
void StuffNumber(DialogRef dialog, int16 item, int32 number);
void StuffDouble(DialogRef dialog, int16 item, double value, int16 precision);
int16 FetchNumber(DialogRef dialog, int16 item, int32 min, int32 max, int32* value);
int16 FetchDouble(DialogRef dialog, int16 item, double min, double max, double* value);
void AlertNumber(DialogRef dialog, int16 item, int32 min, int32 max, int32* value, int16 alertID);
void AlertDouble(DialogRef dialog, int16 item, double min, double max, double* value, int16 precision,
                 int16 alertID);

void SetCheckBoxState(DialogRef dialog, int16 item, Boolean checked);
Boolean GetCheckBoxState(DialogRef dialog, int16 item);
void ToggleCheckBoxState(DialogRef dialog, int16 item);
void SetRadioGroupState(DialogRef dialog, int16 first, int16 last, int16 item);
int16 GetRadioGroupState(DialogRef dialog, int16 first, int16 last);
void ProcessChecksAndRadios(DialogRef dialog, int16 item);
void SetPopUpMenuValue(DialogRef dialog, int16 item, int16 value);
int16 GetPopUpMenuValue(DialogRef dialog, int16 item);

void ShowHideItem(DialogRef dialog, int16 item, Boolean show);
void PIEnableControl(DialogRef dialog, int16 item);
void PIDisableControl(DialogRef dialog, int16 item);
void EnableDisableControl(DialogRef dialog, int16 item, Boolean enable);
void InvalItem(DialogRef dialog, int16 item);
void FlashDialogButton(DialogRef dialog, int16 item);
