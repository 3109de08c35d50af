// The stand-in's Core Foundation strings keep the system's contract where
// the plug-ins rely on it: no C string pointer into a string that was not
// made from a C string of that encoding (a control's text among them), no
// copy into a buffer too small or an encoding that cannot hold the text,
// numbers read as the system reads them, and a NULL object is a fault.
#include <Carbon.h>

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {
const char kEAcute[] = "\xc3\xa9";  // UTF-8; 0x8E in Mac Roman

// The ways a caller comes to hold a string.
enum class Made { asciiCString, utf8CString, macRomanCString, format, controlText };

// A copy of an edit box's text as the control hands it back.
CFStringRef controlText(const char* utf8) {
    const int16_t kDialogID = 400;
    const Rect bounds{0, 0, 100, 200};
    const CarbonDialogItemSpec edit{kEditTextDialogItem, {10, 10, 30, 100}, utf8};
    CarbonStandInDefineDialog(kDialogID, &bounds, &edit, 1);
    DialogRef dialog = GetNewDialog(kDialogID, nullptr, reinterpret_cast<WindowRef>(-1));
    ControlRef control = nullptr;
    GetDialogItemAsControl(dialog, 1, &control);
    CFStringRef text = nullptr;
    EXPECT_EQ(GetControlData(control, kControlEntireControl, kControlEditTextCFStringTag, sizeof text, &text,
                             nullptr),
              0);
    DisposeDialog(dialog);
    return text;
}

CFStringRef make(Made how, const char* text) {
    switch (how) {
        case Made::asciiCString: return CFStringCreateWithCString(nullptr, text, kCFStringEncodingASCII);
        case Made::utf8CString: return CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8);
        case Made::macRomanCString: return CFStringCreateWithCString(nullptr, text, kCFStringEncodingMacRoman);
        case Made::format: {
            CFStringRef format = CFStringCreateWithCString(nullptr, "%@", kCFStringEncodingASCII);
            CFStringRef arg = CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8);
            CFStringRef s = CFStringCreateWithFormat(nullptr, nullptr, format, arg);
            CFRelease(format);
            CFRelease(arg);
            return s;
        }
        case Made::controlText: return controlText(text);
    }
    return nullptr;
}

class CoreFoundation : public ::testing::Test {
protected:
    void SetUp() override {
        CarbonStandInClearFaults();
        live_ = CarbonStandInLiveObjects();
    }
    void TearDown() override {
        EXPECT_EQ(CarbonStandInFaults(), 0) << CarbonStandInFirstFault();
        EXPECT_EQ(CarbonStandInLiveObjects(), live_) << "strings not released";
    }
    long live_ = 0;
};

struct PointerCase {
    const char* name;
    Made made;
    const char* text;  // in the encoding it is made from
    CFStringEncoding asked;
    const char* pointer;  // null: no pointer
};

void PrintTo(const PointerCase& c, std::ostream* os) { *os << c.name; }

class CStringPointer : public CoreFoundation, public ::testing::WithParamInterface<PointerCase> {};

TEST_P(CStringPointer, OnlyIntoAStringMadeFromACStringOfThatEncoding) {
    const PointerCase& c = GetParam();
    CFStringRef s = make(c.made, c.text);
    ASSERT_NE(s, nullptr);
    const char* p = CFStringGetCStringPtr(s, c.asked);
    if (c.pointer)
        EXPECT_STREQ(p, c.pointer);
    else
        EXPECT_EQ(p, nullptr) << p;
    CFRelease(s);
}

INSTANTIATE_TEST_SUITE_P(
    Strings, CStringPointer,
    ::testing::Values(PointerCase{"AsciiAskedAscii", Made::asciiCString, "12.5", kCFStringEncodingASCII, "12.5"},
                      PointerCase{"AsciiAskedUtf8", Made::asciiCString, "12.5", kCFStringEncodingUTF8, nullptr},
                      PointerCase{"Utf8AskedUtf8", Made::utf8CString, kEAcute, kCFStringEncodingUTF8, kEAcute},
                      PointerCase{"Utf8AskedMacRoman", Made::utf8CString, kEAcute, kCFStringEncodingMacRoman, nullptr},
                      PointerCase{"MacRomanAskedMacRoman", Made::macRomanCString, "\x8e", kCFStringEncodingMacRoman,
                                  "\x8e"},
                      PointerCase{"Formatted", Made::format, "12.5", kCFStringEncodingUTF8, nullptr},
                      PointerCase{"ControlTextAskedUtf8", Made::controlText, "12.5", kCFStringEncodingUTF8, nullptr},
                      PointerCase{"ControlTextAskedAscii", Made::controlText, "12.5", kCFStringEncodingASCII,
                                  nullptr}),
    [](const ::testing::TestParamInfo<PointerCase>& info) { return std::string(info.param.name); });

struct CopyCase {
    const char* name;
    const char* utf8;
    CFStringEncoding encoding;
    long bufferSize;
    const char* copied;  // null: the copy fails
};

void PrintTo(const CopyCase& c, std::ostream* os) { *os << c.name; }

class CStringCopy : public CoreFoundation, public ::testing::WithParamInterface<CopyCase> {};

TEST_P(CStringCopy, NeedsRoomForTheTextAndItsZeroAndAnEncodingThatHoldsIt) {
    const CopyCase& c = GetParam();
    for (Made made : {Made::utf8CString, Made::controlText}) {
        CFStringRef s = make(made, c.utf8);
        ASSERT_NE(s, nullptr);
        std::vector<char> buffer(size_t(c.bufferSize) + 1, 'x');
        const bool ok = CFStringGetCString(s, buffer.data(), c.bufferSize, c.encoding);
        EXPECT_EQ(ok, c.copied != nullptr);
        if (c.copied && ok) {
            EXPECT_STREQ(buffer.data(), c.copied);
        }
        EXPECT_EQ(buffer[size_t(c.bufferSize)], 'x') << "written past the buffer";
        CFRelease(s);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Strings, CStringCopy,
    ::testing::Values(CopyCase{"Fits", "12.5", kCFStringEncodingUTF8, 5, "12.5"},
                      CopyCase{"NoRoomForTheZero", "12.5", kCFStringEncodingUTF8, 4, nullptr},
                      CopyCase{"EmptyInOneByte", "", kCFStringEncodingUTF8, 1, ""},
                      CopyCase{"TwoBytesOfUtf8", kEAcute, kCFStringEncodingUTF8, 3, kEAcute},
                      CopyCase{"TwoBytesOfUtf8InTwo", kEAcute, kCFStringEncodingUTF8, 2, nullptr},
                      CopyCase{"OneByteOfMacRoman", kEAcute, kCFStringEncodingMacRoman, 2, "\x8e"},
                      CopyCase{"AsciiCannotHoldIt", kEAcute, kCFStringEncodingASCII, 16, nullptr}),
    [](const ::testing::TestParamInfo<CopyCase>& info) { return std::string(info.param.name); });

TEST_F(CoreFoundation, TheLargestSizeOfALengthHoldsEveryText) {
    // Lengths count UTF-16 units: the face beyond the basic plane is two.
    for (const char* text : {"12.5", kEAcute, "\xe2\x82\xac", "\xf0\x9f\x98\x80", "a\xc3\xa9\xe2\x82\xac"}) {
        CFStringRef s = make(Made::controlText, text);
        const long size = CFStringGetMaximumSizeForEncoding(CFStringGetLength(s), kCFStringEncodingUTF8) + 1;
        EXPECT_GE(size, long(std::strlen(text)) + 1) << text;
        std::vector<char> buffer(static_cast<size_t>(size));
        EXPECT_TRUE(CFStringGetCString(s, buffer.data(), size, kCFStringEncodingUTF8)) << text;
        EXPECT_STREQ(buffer.data(), text);
        CFRelease(s);
    }
}

struct NumberCase {
    const char* text;
    double value;  // NaN: not a number
};

class DoubleValue : public CoreFoundation, public ::testing::WithParamInterface<NumberCase> {};

// The number the text begins with after white space, 0 without one; the
// full stop is the decimal point whatever the locale, and only decimal
// digits count.
TEST_P(DoubleValue, IsTheNumberTheTextBeginsWith) {
    const NumberCase& c = GetParam();
    std::vector<std::string> locales{"C"};
    for (const char* decimalComma : {"de_DE.UTF-8", "fr_FR.UTF-8"})
        if (std::setlocale(LC_NUMERIC, decimalComma)) {
            locales.push_back(decimalComma);
            break;
        }
    for (const std::string& locale : locales) {
        std::setlocale(LC_NUMERIC, locale.c_str());
        CFStringRef s = make(Made::controlText, c.text);
        const double v = CFStringGetDoubleValue(s);
        if (std::isnan(c.value))
            EXPECT_TRUE(std::isnan(v)) << v << " in " << locale;
        else
            EXPECT_EQ(v, c.value) << "in " << locale;
        CFRelease(s);
    }
    std::setlocale(LC_NUMERIC, "C");
}

INSTANTIATE_TEST_SUITE_P(Texts, DoubleValue,
                         ::testing::Values(NumberCase{"12.5", 12.5}, NumberCase{"1e3", 1000}, NumberCase{"-3", -3},
                                           NumberCase{"  +7", 7}, NumberCase{".5", 0.5}, NumberCase{"5.", 5},
                                           NumberCase{"12,5", 12}, NumberCase{"1e", 1}, NumberCase{"1e+", 1},
                                           NumberCase{"2E-2", 0.02}, NumberCase{"0x10", 0}, NumberCase{"-", 0},
                                           NumberCase{".", 0}, NumberCase{"", 0}, NumberCase{"abc", 0},
                                           NumberCase{"\xc3\xa9", 0}, NumberCase{"12\xc3\xa9", 12},
                                           NumberCase{"1e999", HUGE_VAL}, NumberCase{"-inf", -HUGE_VAL},
                                           NumberCase{"nan", NAN}));

struct NullCase {
    const char* name;
    std::function<void()> call;
};

void PrintTo(const NullCase& c, std::ostream* os) { *os << c.name; }

class NullObject : public ::testing::TestWithParam<NullCase> {};

// Where the system would crash, the stand-in writes a fault down, which
// fails the test that caused it.
TEST_P(NullObject, IsAFault) {
    CarbonStandInClearFaults();
    GetParam().call();
    ASSERT_EQ(CarbonStandInFaults(), 1);
    EXPECT_NE(std::string(CarbonStandInFirstFault()).find(GetParam().name), std::string::npos)
        << CarbonStandInFirstFault();
    CarbonStandInClearFaults();
}

INSTANTIATE_TEST_SUITE_P(
    Functions, NullObject,
    ::testing::Values(
        NullCase{"CFRelease", [] { CFRelease(nullptr); }},
        NullCase{"CFStringCreateWithCString",
                 [] { CFStringCreateWithCString(nullptr, nullptr, kCFStringEncodingASCII); }},
        NullCase{"CFStringCreateWithFormat", [] { CFStringCreateWithFormat(nullptr, nullptr, nullptr, 1); }},
        NullCase{"CFStringGetCStringPtr", [] { CFStringGetCStringPtr(nullptr, kCFStringEncodingUTF8); }},
        NullCase{"CFStringGetCString",
                 [] {
                     char buffer[8];
                     CFStringGetCString(nullptr, buffer, sizeof buffer, kCFStringEncodingUTF8);
                 }},
        NullCase{"CFStringGetLength", [] { CFStringGetLength(nullptr); }},
        NullCase{"CFStringGetDoubleValue", [] { CFStringGetDoubleValue(nullptr); }},
        NullCase{"CFBundleCopyLocalizedString",
                 [] { CFBundleCopyLocalizedString(CFBundleGetMainBundle(), nullptr, nullptr, nullptr); }},
        NullCase{"CFBundleGetBundleWithIdentifier", [] { CFBundleGetBundleWithIdentifier(nullptr); }}),
    [](const ::testing::TestParamInfo<NullCase>& info) { return std::string(info.param.name); });
}  // namespace
