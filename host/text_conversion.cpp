// Number and text conversion over length-prefixed strings.
#include "host/text_conversion.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// The longest text that still leaves room for the zero byte in 256 bytes.
const int kMaxLength = 254;

void setLength(unsigned char* s, int n) {
    s[0] = static_cast<unsigned char>(n);
    s[n + 1] = 0;
}

void append(unsigned char* s, char c) {
    if (s[0] < kMaxLength) s[++s[0]] = static_cast<unsigned char>(c);
    s[s[0] + 1] = 0;
}

// Powers of ten by repeated multiplication, so every build gets the same double.
double powerOfTen(int exponent) {
    double r = 1.0;
    for (int i = 0; i < exponent; ++i) r *= 10.0;
    return r;
}

// Towards zero; NaN and negatives give 0, values past the range its largest.
uint64_t truncate(double t) {
    if (!(t > 0)) return 0;
    if (t >= 18446744073709551616.0) return UINT64_MAX;
    return uint64_t(t);
}

void appendDigits(unsigned char* out, uint64_t n, int minDigits) {
    char digits[24];
    int count = 0;
    do {
        digits[count++] = char('0' + n % 10);
        n /= 10;
    } while (n || count < minDigits);
    while (count) append(out, digits[--count]);
}

bool allBlank(const unsigned char* s) {
    for (int i = 1; i <= s[0]; ++i)
        if (s[i] != ' ') return false;
    return true;
}

}  // namespace

void DoubleToString(unsigned char* out, double value, uint16_t precision) {
    setLength(out, 0);
    const bool negative = value < 0;
    double a = std::fabs(value);
    const int p = std::min(precision, kMaxDecimals);
    const double scale = powerOfTen(p);

    // Half a unit of the last decimal shown, when the first digit beyond it is 5 or more.
    const double t = a * scale;
    if ((t - std::floor(t)) * 10 >= 5) a += 5 / powerOfTen(p + 1);

    // Whole part and decimals both come from one product in 64 bits: two
    // roundings could disagree at a carry, and 32 bits overflow from 21474.83648
    // (five decimals) on.
    const double shifted = a * scale;
    const uint64_t unit = uint64_t(scale);
    uint64_t whole = 0, fraction = 0;
    if (shifted < 9.2e18) {
        const uint64_t n = truncate(shifted);
        whole = n / unit;
        fraction = n % unit;
    } else {
        whole = truncate(a);
    }

    if (negative) append(out, '-');
    appendDigits(out, whole, 1);
    append(out, '.');
    if (p == 0) return;
    int digits = p;
    while (digits > 1 && fraction % 10 == 0) {
        fraction /= 10;
        --digits;
    }
    appendDigits(out, fraction, digits);
}

int16 StringToNumber(unsigned char* text, int32& value) {
    const int n = text[0];
    if (n == 0) return 0;
    bool negative = false, digitSeen = false, trailingBlanks = false;
    unsigned char digits[256];
    int count = 0;
    for (int i = 1; i <= n; ++i) {
        const unsigned char c = text[i];
        if (c == ' ') {
            if (digitSeen) trailingBlanks = true;
            continue;
        }
        if (trailingBlanks) return 0;
        if (c == '-') {
            if (negative || digitSeen) return 0;
            negative = true;
            continue;
        }
        if (c < '0' || c > '9') return 0;
        digitSeen = true;
        digits[count++] = c;
    }
    count = std::min(count, kMaxLength);
    std::memcpy(text + 1, digits, size_t(count));
    setLength(text, count);
    if (count == 0 && !negative) return 0;

    // Leading zeros are not significant: "0000000001" is 1.
    int first = 0;
    while (first < count && digits[first] == '0') ++first;
    int32 v = 0;
    if (count - first > 9) {
        v = 2147483647;
    } else {
        for (int i = first; i < count; ++i) v = v * 10 + (digits[i] - '0');
    }
    value = negative ? -v : v;
    return negative ? 2 : 1;
}

int16 StringToDouble(const unsigned char* text, double& value) {
    Str255 whole, fraction;
    std::memcpy(whole, text, size_t(text[0]) + 1);
    setLength(whole, std::min<int>(text[0], kMaxLength));
    setLength(fraction, 0);
    DivideAtDecimal(whole, fraction);
    const bool haveWhole = !allBlank(whole), haveFraction = !allBlank(fraction);
    if (!haveWhole && !haveFraction) return 0;

    // Either part that is there must be a number; only the whole part may carry '-'.
    int32 integer = 0;
    int16 sign = 1;
    if (haveWhole && (sign = StringToNumber(whole, integer)) == 0) return 0;
    int32 decimals = 0;
    int places = 0;
    if (haveFraction) {
        if (countNegativeSigns(fraction) || !StringToNumber(fraction, decimals)) return 0;
        // Past the ninth the digits are dropped, as the Windows dialog's reading does.
        if (fraction[0] > kMaxDecimals) {
            setLength(fraction, kMaxDecimals);
            StringToNumber(fraction, decimals);
        }
        places = fraction[0];
    }
    const double part = decimals / powerOfTen(places);
    value = sign == 2 ? integer - part : integer + part;
    return sign;
}

int16 DivideAtDecimal(unsigned char* text, unsigned char* fraction) {
    int separator = text[0];
    while (separator > 0 && text[separator] != '.' && text[separator] != ',') --separator;
    if (separator == 0) return text[0];
    for (int i = separator + 1; i <= text[0]; ++i) append(fraction, char(text[i]));
    setLength(text, separator - 1);
    return text[0];
}

int16 countNegativeSigns(const unsigned char* text) {
    int16 count = 0;
    for (int i = 1; i <= text[0]; ++i)
        if (text[i] == '-') ++count;
    return count;
}

int16 stripNegativeSigns(unsigned char* text) {
    int kept = 0;
    const int n = text[0];
    for (int i = 1; i <= n; ++i)
        if (text[i] != '-') text[++kept] = text[i];
    setLength(text, std::min(kept, kMaxLength));
    return int16(n - kept);
}

int16 stripLeadingZeroes(unsigned char* text) {
    int zeros = 0;
    const int n = text[0];
    while (zeros < n && text[zeros + 1] == '0') ++zeros;
    std::memmove(text + 1, text + 1 + zeros, size_t(n - zeros));
    setLength(text, std::min(n - zeros, kMaxLength));
    return int16(zeros);
}

void PIType2Char(uint32 type, char* text) {
    for (int i = 0; i < 4; ++i) text[i] = char((type >> (24 - 8 * i)) & 0xFF);
    text[4] = 0;
}

uint32 PIChar2Type(const char* text) {
    uint32 type = 0;
    for (int i = 0; i < 4; ++i) type = type << 8 | static_cast<unsigned char>(text[i]);
    return type;
}
