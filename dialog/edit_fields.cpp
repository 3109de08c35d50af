// Edit-box numbers.  The slider positions are computed in double and clamped
// before they become integers: a typed 1e12 or a NaN from a damaged settings
// file must not overflow the conversion.
#include "dialog/edit_fields.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/text_conversion.h"

namespace {
enum { kMaxWholeDigits = 9 };

// One part of the text: spaces, digits, then only spaces.  Gives the digits,
// or false when anything else appears or there is no digit.
bool digitsOfPart(const std::string& part, std::string& digits) {
    size_t i = part.find_first_not_of(' ');
    if (i == std::string::npos) return false;
    const size_t end = part.find_first_not_of("0123456789", i);
    digits = part.substr(i, end == std::string::npos ? std::string::npos : end - i);
    if (digits.empty()) return false;
    return end == std::string::npos || part.find_first_not_of(' ', end) == std::string::npos;
}
}  // namespace

int parseEditNumber(const std::string& typed, double low, double high, double& value, double fallback) {
    std::string text = typed;
    const size_t minuses = size_t(std::count(text.begin(), text.end(), '-'));
    text.erase(std::remove(text.begin(), text.end(), '-'), text.end());

    std::string whole = text, fraction;
    const size_t separator = text.find_last_of(".,");
    if (separator != std::string::npos) {
        whole = text.substr(0, separator);
        fraction = text.substr(separator + 1);
    }
    std::string wholeDigits, fractionDigits;
    const bool wholeValid = digitsOfPart(whole, wholeDigits);
    const bool fractionValid = separator != std::string::npos && digitsOfPart(fraction, fractionDigits);
    if (!wholeValid && !fractionValid) {
        value = fallback;
        return kEditNotANumber;
    }
    double number = 0;
    if (wholeValid)
        number = wholeDigits.size() > kMaxWholeDigits ? 2147483647.0 : double(std::stol(wholeDigits));
    if (fractionValid) {
        fractionDigits.resize(std::min<size_t>(fractionDigits.size(), kMaxWholeDigits));
        double power = 1.0;
        for (size_t i = 0; i < fractionDigits.size(); ++i) power *= 10.0;
        number += double(std::stol(fractionDigits)) / power;
    }
    value = minuses % 2 ? -number : number;
    return low <= value && value <= high ? kEditInRange : kEditOutOfRange;
}

namespace {
std::string textWithDecimals(double value, uint16_t decimals) {
    Str255 text = {};
    DoubleToString(text, value, decimals);
    return std::string(reinterpret_cast<const char*>(text + 1), std::min<size_t>(text[0], 254));
}
}  // namespace

std::string editTextForValue(double value) { return textWithDecimals(value, kDialogDecimals); }

std::string editTextThatFits(double value, const std::function<bool(const std::string&)>& holds) {
    for (uint16_t decimals = kDialogDecimals; decimals >= 1; --decimals) {
        const std::string text = textWithDecimals(value, decimals);
        if (holds(text)) return text;
    }
    // No decimal at all: the rounded whole number, without the point that
    // DoubleToString always writes.
    std::string whole = textWithDecimals(value, 0);
    whole.pop_back();
    return whole;
}

int32 sliderPositionFor(double value, double scale, int32 low, int32 high, double rounding) {
    const double position = std::trunc(value * scale + rounding);
    if (!(position > low)) return low;
    if (position >= high) return high;
    return int32(position);
}
