// Numbers to and from the host interface's length-prefixed strings: a length
// byte, up to 255 characters, and (in this layer) always a zero byte after
// the last character, so a string also reads as a zero-terminated one.
#pragma once

#include <cstdint>

#include "PITypes.h"

// The decimals every decimal field of the Windows dialog shows.
const uint16_t kDialogDecimals = 5;
// More decimals than this cannot be held as a 32-bit fraction.
const uint16_t kMaxDecimals = 9;

// The decimal text of value, rounded to precision decimals (at most 9), with
// at least one decimal and no trailing zeros after the first ("3.0", "2.5").
void DoubleToString(unsigned char* out, double value, uint16_t precision);

// Results of the text-to-number conversions: 0 failed, 1 non-negative,
// 2 negative; the value is written only on success.
int16 StringToNumber(unsigned char* text, int32& value);
int16 StringToDouble(const unsigned char* text, double& value);

// Pieces of the conversions; each works in place on a length-prefixed string.
int16 DivideAtDecimal(unsigned char* text, unsigned char* fraction);
int16 countNegativeSigns(const unsigned char* text);
int16 stripNegativeSigns(unsigned char* text);
int16 stripLeadingZeroes(unsigned char* text);
void PIType2Char(uint32 type, char* text);
uint32 PIChar2Type(const char* text);
