// The numbers of the parameter controls: an edit box's text to a value, a
// value to its text and to a slider position.
#pragma once

#include <functional>
#include <string>

#include "PITypes.h"

// Results of parseEditNumber (and FetchDouble).
enum { kEditInRange = 0, kEditOutOfRange = 1, kEditNotANumber = 2 };

// The edit-box rules: every '-' is dropped and an odd count of them negates;
// the last '.' or ',' separates the decimals; each part is spaces, digits and
// spaces only; an integer part of more than 9 digits counts as 2147483647 and
// a fraction keeps its first 9 digits.  Without a valid part value is
// fallback (kEditNotANumber); otherwise value is the number, kept even
// outside low..high (kEditOutOfRange).
int parseEditNumber(const std::string& text, double low, double high, double& value, double fallback);

// The text an edit box shows for value (DoubleToString, at most 254 characters).
std::string editTextForValue(double value);

// The text an edit box of limited width shows for value: editTextForValue's
// when holds accepts it, else value rounded to the most decimals whose text
// holds accepts, down to the rounded whole number without a point, which is
// the text even when holds refuses it too (there is no shorter one).  Only
// the box shows fewer decimals: the value keeps all of them.
std::string editTextThatFits(double value, const std::function<bool(const std::string&)>& holds);

// The slider position of value: trunc(value x scale + rounding) in double,
// clamped to low..high; NaN gives low.  Sliders set from a value round; the
// Mac form's typing truncates.
int32 sliderPositionFor(double value, double scale, int32 low, int32 high, double rounding = 0.5);
