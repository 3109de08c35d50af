// Numbers to and from length-prefixed strings: the dialog's five decimals,
// parsing of typed text, and the string pieces both are built from.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "host/text_conversion.h"

namespace {

std::string text(const unsigned char* s) {
    EXPECT_EQ(s[s[0] + 1], 0) << "no zero byte after the last character";
    return std::string(reinterpret_cast<const char*>(s + 1), s[0]);
}

struct Pascal {
    Str255 s;
    explicit Pascal(const std::string& t) {
        s[0] = static_cast<unsigned char>(t.size());
        std::memcpy(s + 1, t.data(), t.size());
        s[t.size() + 1] = 0;
    }
};

std::string formatted(double value, uint16_t precision = kDialogDecimals) {
    Str255 out;
    std::memset(out, 0xAA, sizeof out);
    DoubleToString(out, value, precision);
    return text(out);
}

struct FormatCase {
    double value;
    uint16_t precision;
    const char* expected;
};

class DoubleToStringCases : public ::testing::TestWithParam<FormatCase> {};

TEST_P(DoubleToStringCases, GivesTheText) {
    const FormatCase& c = GetParam();
    EXPECT_EQ(formatted(c.value, c.precision), c.expected) << "value " << c.value << ", precision " << c.precision;
}

INSTANTIATE_TEST_SUITE_P(Values, DoubleToStringCases, ::testing::Values(
    FormatCase{2.5, 5, "2.5"}, FormatCase{3, 5, "3.0"}, FormatCase{-1.25, 5, "-1.25"}, FormatCase{0.1, 5, "0.1"},
    FormatCase{0.123456, 5, "0.12346"}, FormatCase{1.000004, 5, "1.0"}, FormatCase{255, 5, "255.0"},
    FormatCase{0, 5, "0.0"}, FormatCase{0.000004, 5, "0.0"}, FormatCase{0.000005, 5, "0.00001"},
    FormatCase{99.999996, 5, "100.0"}, FormatCase{-0.5, 5, "-0.5"},
    // Past 32 bits in the shifted value: 21474.83648 x 10^5 is 2^31.
    FormatCase{21474.83648, 5, "21474.83648"}, FormatCase{50000, 5, "50000.0"}, FormatCase{1e6, 5, "1000000.0"},
    FormatCase{2147483647.5, 5, "2147483647.5"}, FormatCase{-2147483647.25, 5, "-2147483647.25"},
    // A fifth decimal of 1 after three zeros is kept.
    FormatCase{0.00041, 5, "0.00041"}, FormatCase{0.0001, 5, "0.0001"}, FormatCase{0.10001, 5, "0.10001"},
    // The precision is at most nine decimals.
    FormatCase{0.1234567891, 9, "0.123456789"}, FormatCase{0.1234567891, 12, "0.123456789"},
    FormatCase{1.5, 1, "1.5"}, FormatCase{1.25, 1, "1.3"}, FormatCase{7.6, 0, "8."},
    FormatCase{0.9999999999, 9, "1.0"}, FormatCase{3.0000000001, 5, "3.0"}));

// Every value with five decimals from 0 to 300 formats as its own decimals,
// rounded correctly, and parses back to within half a unit of the fifth.
TEST(DoubleToString, EveryFiveDecimalValueUpTo300) {
    Str255 out;
    int wrong = 0;
    for (int64_t k = 0; k <= 30000000 && wrong < 5; ++k) {
        const double value = double(k) / 100000.0;
        DoubleToString(out, value, kDialogDecimals);
        char expected[32];
        int64_t fraction = k % 100000;
        int digits = 5;
        while (digits > 1 && fraction % 10 == 0) {
            fraction /= 10;
            --digits;
        }
        const int n = std::snprintf(expected, sizeof expected, "%lld.%0*lld", (long long)(k / 100000), digits,
                                    (long long)fraction);
        if (out[0] != n || std::memcmp(out + 1, expected, size_t(n)) != 0) {
            ADD_FAILURE() << value << " gives " << text(out) << ", not " << expected;
            ++wrong;
            continue;
        }
        double back = -1;
        if (StringToDouble(out, back) != 1 || std::fabs(back - value) > 0.000005) {
            ADD_FAILURE() << expected << " parses as " << back;
            ++wrong;
        }
    }
}

TEST(DoubleToString, NeverWritesPastItsBuffer) {
    for (double v : {1e300, -1e300, double(INFINITY), -double(INFINITY), double(NAN), 1.8e19, 9.3e18}) {
        const std::string s = formatted(v, 9);
        EXPECT_LE(s.size(), 254u) << v;
        EXPECT_EQ(s.back(), '0') << v << " gives " << s;
    }
}

struct NumberCase {
    const char* in;
    int16 result;
    int32 value;
    const char* rewritten;
};

class StringToNumberCases : public ::testing::TestWithParam<NumberCase> {};

TEST_P(StringToNumberCases, GivesTheNumber) {
    const NumberCase& c = GetParam();
    Pascal p(c.in);
    int32 value = -777;
    EXPECT_EQ(StringToNumber(p.s, value), c.result) << '"' << c.in << '"';
    EXPECT_EQ(value, c.result ? c.value : -777) << '"' << c.in << '"';
    if (c.rewritten) {
        EXPECT_EQ(text(p.s), c.rewritten) << '"' << c.in << '"';
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, StringToNumberCases, ::testing::Values(
    NumberCase{" 42 ", 1, 42, "42"}, NumberCase{"4 2", 0, 0, nullptr}, NumberCase{"--1", 0, 0, nullptr},
    NumberCase{"-", 2, 0, ""}, NumberCase{"12345678901", 1, 2147483647, "12345678901"},
    NumberCase{"", 0, 0, nullptr}, NumberCase{"   ", 0, 0, nullptr}, NumberCase{"-17", 2, -17, "17"},
    NumberCase{"1-", 0, 0, nullptr}, NumberCase{"12a", 0, 0, nullptr}, NumberCase{"- 5", 2, -5, "5"},
    NumberCase{"123456789", 1, 123456789, nullptr}, NumberCase{"1234567890", 1, 2147483647, nullptr},
    // Leading zeros do not count towards the ten digits.
    NumberCase{"0000000001", 1, 1, "0000000001"}, NumberCase{"-000000000123456789", 2, -123456789, nullptr},
    NumberCase{"0000000000", 1, 0, nullptr}));

struct DoubleCase {
    const char* in;
    int16 result;
    double value;
};

class StringToDoubleCases : public ::testing::TestWithParam<DoubleCase> {};

TEST_P(StringToDoubleCases, GivesTheValue) {
    const DoubleCase& c = GetParam();
    Pascal p(c.in);
    double value = -777;
    EXPECT_EQ(StringToDouble(p.s, value), c.result) << '"' << c.in << '"';
    EXPECT_EQ(value, c.result ? c.value : -777) << '"' << c.in << '"';
    EXPECT_EQ(text(p.s), c.in) << "the caller's text is left as it was";
}

INSTANTIATE_TEST_SUITE_P(Texts, StringToDoubleCases, ::testing::Values(
    DoubleCase{"1.5", 1, 1.5}, DoubleCase{"1,5", 1, 1.5}, DoubleCase{"-0,25", 2, -0.25}, DoubleCase{"-1.5", 2, -1.5},
    DoubleCase{"42", 1, 42}, DoubleCase{".5", 1, 0.5}, DoubleCase{"-.5", 2, -0.5}, DoubleCase{"7.", 1, 7},
    DoubleCase{" 2.05 ", 1, 2.05}, DoubleCase{"1.2.5", 0, 0}, DoubleCase{"", 0, 0}, DoubleCase{".", 0, 0},
    DoubleCase{"abc", 0, 0},
    // A part that is there and is no number fails the whole.
    DoubleCase{"12x.5", 0, 0}, DoubleCase{"12.5x", 0, 0},
    // '-' only before the whole part.
    DoubleCase{"1.-5", 0, 0}, DoubleCase{"1.5-", 0, 0},
    // Digits past the ninth decimal are dropped.
    DoubleCase{"0.1234567891", 1, 0.123456789}, DoubleCase{"2.000000000999", 1, 2.0},
    DoubleCase{"0000000001.5", 1, 1.5}, DoubleCase{"12345678901.5", 1, 2147483647.5}));

TEST(StringPieces, DivideAtDecimalSplitsAtTheLastSeparator) {
    Pascal whole("1.234,5"), fraction("");
    EXPECT_EQ(DivideAtDecimal(whole.s, fraction.s), 5);
    EXPECT_EQ(text(whole.s), "1.234");
    EXPECT_EQ(text(fraction.s), "5");
    Pascal plain("12"), none("x");
    EXPECT_EQ(DivideAtDecimal(plain.s, none.s), 2);
    EXPECT_EQ(text(plain.s), "12");
    EXPECT_EQ(text(none.s), "x");
}

TEST(StringPieces, SignsAndZeroes) {
    Pascal s("-1-2--");
    EXPECT_EQ(countNegativeSigns(s.s), 4);
    EXPECT_EQ(stripNegativeSigns(s.s), 4);
    EXPECT_EQ(text(s.s), "12");
    Pascal z("00120"), allZero("000");
    EXPECT_EQ(stripLeadingZeroes(z.s), 2);
    EXPECT_EQ(text(z.s), "120");
    EXPECT_EQ(stripLeadingZeroes(allZero.s), 3);
    EXPECT_EQ(text(allZero.s), "");
}

TEST(StringPieces, FullStringsKeepRoomForTheZeroByte) {
    Str255 s;
    s[0] = 255;
    std::memset(s + 1, '5', 255);
    EXPECT_EQ(stripNegativeSigns(s), 0);
    EXPECT_EQ(s[0], 254);
    EXPECT_EQ(s[255], 0);
}

TEST(StringPieces, FourCharacterCodes) {
    char t[5];
    PIType2Char(0x48ef5620u, t);
    EXPECT_EQ(std::string(t), "H\xef" "V ");
    EXPECT_EQ(PIChar2Type("HLV "), 0x484c5620u);
    EXPECT_EQ(PIChar2Type(t), 0x48ef5620u);
}

}  // namespace
