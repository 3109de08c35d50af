// Property access: each accessor's key and index as the host sees them, the
// signed 16.16 conversions, the text conversions at their edges, and a host
// that gives no suite.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

#include "host/properties_mac.h"
#include "host/suites.h"
#include "support/host_fixture.h"

namespace {

std::vector<uint8_t> bytesOf(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

uint32 keyOf(const char* k) {
    return uint32(uint8(k[0])) << 24 | uint32(uint8(k[1])) << 16 | uint32(uint8(k[2])) << 8 | uint8(k[3]);
}

class Properties : public HostFixture {
protected:
    void TearDown() override {
        PIUSuitesRelease();
        HostFixture::TearDown();
    }
    const refhost::PropertyCall& lastCall() { return host().propertyCalls().back(); }
};

struct AccessorCase {
    const char* name;
    const char* key;
    int32 index;
    bool set;
    bool complex;
    std::function<OSErr()> call;
    OSErr whenUndefined = errPlugInPropertyUndefined;
};

// Every accessor asks for its key, at its index, in the form its value has.
TEST_F(Properties, EachAccessorAsksForItsKeyAndIndex) {
    int32 l = 0;
    bool a = false, b = false, c = false;
    double x = 0, y = 0;
    Handle h = nullptr;
    std::string text;
    std::wstring wide;
    Str255 name;
    PIInterfaceColor color{};
    RGBColor rgb{};
    const std::vector<AccessorCase> cases = {
        {"PIGetHostVersion", "vers", 0, false, false, [&] { return PIGetHostVersion(l, l, l); }},
        {"PIGetPlayInProgress", "plip", 0, false, false, [&] { return PIGetPlayInProgress(a); }},
        {"PIGetEXIFData", "EXIF", 0, false, true, [&] { return PIGetEXIFData(h); }},
        {"PIGetShowSliceNumbers", "slsh", 0, false, false, [&] { return PIGetShowSliceNumbers(a); }},
        {"PIGetSelectedSliceIndex", "slin", 0, false, false, [&] { return PIGetSelectedSliceIndex(l); }},
        {"PISetSelectedSliceIndex", "slin", 0, true, false, [&] { return PISetSelectedSliceIndex(3); }},
        {"PIGetSelectedSliceID", "slid", 0, false, false, [&] { return PIGetSelectedSliceID(l); }},
        {"PISetSelectedSliceID", "slid", 0, true, false, [&] { return PISetSelectedSliceID(4); }},
        {"PIGetSlices", "slcs", 0, false, true, [&] { return PIGetSlices(h); }},
        {"PIGetPaintCursorKind", "PCrK", 0, false, false, [&] { return PIGetPaintCursorKind(l); }},
        {"PIGetToolTips", "tltp", 0, false, false, [&] { return PIGetToolTips(a); }},
        {"PIGetDocumentWidth", "docW", 0, false, false, [&] { return PIGetDocumentWidth(l); }},
        {"PIGetDocumentHeight", "docH", 0, false, false, [&] { return PIGetDocumentHeight(l); }},
        {"PIGetWatermark", "watr", 0, false, false, [&] { return PIGetWatermark(a); }},
        {"PISetWatermark", "watr", 0, true, false, [&] { return PISetWatermark(); }},
        {"PIGetCopyright", "cpyr", 0, false, false, [&] { return PIGetCopyright(a); }},
        {"PISetCopyright", "cpyr", 0, true, false, [&] { return PISetCopyright(true); }},
        {"PIGetWatchSuspension", "wtch", 0, false, false, [&] { return PIGetWatchSuspension(l); }},
        {"PISetWatchSuspension", "wtch", 0, true, false, [&] { return PISetWatchSuspension(999); }},
        {"PIGetRulerUnits", "rulr", 0, false, false, [&] { return PIGetRulerUnits(l); }},
        {"PIGetInterpolationMethod", "intp", 0, false, false, [&] { return PIGetInterpolationMethod(l); }},
        {"PIGetCaption", "capt", 0, false, true, [&] { return PIGetCaption(h); }},
        {"PIGetPathContentsAI", "paAI", 5, false, true, [&] { return PIGetPathContentsAI(5, h); }},
        {"PIGetPathContents", "path", 6, false, true, [&] { return PIGetPathContents(6, h); }},
        {"PIGetTargetPathIndex", "tgpa", 0, false, false, [&] { return PIGetTargetPathIndex(l); }},
        {"PIGetClippingPathIndex", "clpa", 0, false, false, [&] { return PIGetClippingPathIndex(l); }},
        {"PIGetWorkPathIndex", "wkpa", 0, false, false, [&] { return PIGetWorkPathIndex(l); }},
        {"PIGetNumberPaths", "nupa", 0, false, false, [&] { return PIGetNumberPaths(l); }},
        {"PIGetTargetLayerIndex", "tgly", 0, false, false, [&] { return PIGetTargetLayerIndex(l); }},
        {"PIGetNumberLayers", "nuly", 0, false, false, [&] { return PIGetNumberLayers(l); }},
        {"PIGetTargetLayerLock", "tllk", 0, false, false, [&] { return PIGetTargetLayerLock(a, b, c); }},
        {"PIGetImageMode", "mode", 0, false, false, [&] { return PIGetImageMode(l); }},
        {"PIGetNumberChannels", "nuch", 0, false, false, [&] { return PIGetNumberChannels(l); }},
        {"PIGetBigNudge", "bndH", 0, false, false, [&] { return PIGetBigNudge(x, y); }},
        {"PIGetRulerOrigin", "rorH", 0, false, false, [&] { return PIGetRulerOrigin(x, y); }},
        {"PIGetGrid", "grmj", 0, false, false, [&] { return PIGetGrid(x, y); }},
        {"PIGetUnicodeStr255Name", "u25n", 0, false, true, [&] { return PIGetUnicodeStr255Name(name); }},
        {"PIGetInterfaceColor", "iclr", 7, false, true, [&] { return PIGetInterfaceColor(7, color); },
         errPlugInHostInsufficient},
        {"PIGetSliceLineColor", "sllc", 0, false, true, [&] { return PIGetSliceLineColor(rgb); }},
        {"PIGetXMP", "xmpd", 0, false, true, [&] { return PIGetXMP(text); }},
        {"PIGetURL", "URL ", 0, false, true, [&] { return PIGetURL(text); }},
        {"PIGetDocumentName", "titl", 0, false, true, [&] { return PIGetDocumentName(text); }},
        {"PIGetDocumentName wide, extension", "unnm", 0, false, true, [&] { return PIGetDocumentName(wide, true); }},
        {"PIGetDocumentName wide", "neun", 0, false, true, [&] { return PIGetDocumentName(wide, false); }},
        {"PIGetPathName", "nmpa", 2, false, true, [&] { return PIGetPathName(2, text); }},
        {"PIGetPathName wide", "unmp", 2, false, true, [&] { return PIGetPathName(2, wide); }},
        {"PIGetLayerName", "lynm", 3, false, true, [&] { return PIGetLayerName(3, text); }},
        {"PIGetLayerName wide", "lynu", 3, false, true, [&] { return PIGetLayerName(3, wide); }},
        {"PIGetChannelName", "nmch", 1, false, true, [&] { return PIGetChannelName(1, text); }},
        {"PIGetChannelName wide", "unch", 1, false, true, [&] { return PIGetChannelName(1, wide); }},
    };
    makeHost();
    for (const AccessorCase& c : cases) {
        SCOPED_TRACE(c.name);
        host().clearPropertyCalls();
        // Nothing is defined: the host's answer comes back, and nothing is written.
        l = -7;
        EXPECT_EQ(c.call(), c.set ? OSErr(noErr) : c.whenUndefined);
        EXPECT_EQ(l, -7);
        ASSERT_EQ(host().propertyCalls().size(), 1u);
        const refhost::PropertyCall& call = lastCall();
        EXPECT_EQ(call.signature, kPhotoshopSignature);
        EXPECT_EQ(call.key, keyOf(c.key));
        EXPECT_EQ(call.index, c.index);
        EXPECT_EQ(call.set, c.set);
        EXPECT_EQ(call.complex, c.complex);
    }
}

TEST_F(Properties, HostVersionBytesAreMajorMinorFix) {
    makeHost();
    host().setProperty(FourCC("vers"), 721409);
    int32 major = 0, minor = 0, fix = 0;
    EXPECT_EQ(PIGetHostVersion(major, minor, fix), noErr);
    EXPECT_EQ(major, 11);
    EXPECT_EQ(minor, 2);
    EXPECT_EQ(fix, 1);
}

// The host writes a whole pointer-sized value; only its low 32 bits count.
TEST_F(Properties, SimpleValuesAreReadPointerSizedThenNarrowed) {
    makeHost();
    const intptr_t wide = sizeof(intptr_t) == 8 ? intptr_t(int64_t(0x5a5a5a5a) << 32 | 7) : intptr_t(7);
    host().setProperty(FourCC("docW"), wide);
    int32 width = 0;
    EXPECT_EQ(PIGetDocumentWidth(width), noErr);
    EXPECT_EQ(width, 7);
}

struct FixedCase {
    double value;
    OSErr result;
    uint32 stored;  // as the host keeps it, when set
};

TEST_F(Properties, FixedPointIsSigned16Dot16BothWays) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<FixedCase> cases = {
        {1.5, noErr, 0x00018000},        {2.25, noErr, 0x00024000},      {-1.5, noErr, 0xFFFE8000},
        {-0.25, noErr, 0xFFFFC000},      {32767.99998, noErr, 0x7FFFFFFE}, {-32768.0, noErr, 0x80000000},
        {0.0, noErr, 0},                 {32768.0, paramErr, 0},          {-32768.5, paramErr, 0},
        {nan, paramErr, 0},              {INFINITY, paramErr, 0},
    };
    makeHost();
    for (const FixedCase& c : cases) {
        SCOPED_TRACE(c.value);
        host().clearPropertyCalls();
        // The vertical value is always valid: a bad horizontal one sets neither.
        EXPECT_EQ(PISetBigNudge(c.value, 1.0), c.result);
        if (c.result != noErr) {
            EXPECT_TRUE(host().propertyCalls().empty());
            continue;
        }
        ASSERT_EQ(host().propertyCalls().size(), 2u);
        EXPECT_EQ(uint32(*host().simpleProperty(FourCC("bndH"))), c.stored);
        double h = 99, v = 99;
        EXPECT_EQ(PIGetBigNudge(h, v), noErr);
        EXPECT_EQ(h, std::floor(c.value * 65536) / 65536);
        EXPECT_EQ(v, 1.0);
    }
    // The Part's example: 1.5 and 2.25 under the two keys.
    EXPECT_EQ(PISetBigNudge(1.5, 2.25), noErr);
    EXPECT_EQ(*host().simpleProperty(FourCC("bndH")), 98304);
    EXPECT_EQ(*host().simpleProperty(FourCC("bndV")), 147456);
}

TEST_F(Properties, ATwoValueGetWritesNothingUnlessBothSucceed) {
    makeHost();
    host().setProperty(FourCC("grmj"), 3 << 16);
    double major = -1, minor = -1;
    EXPECT_EQ(PIGetGrid(major, minor), errPlugInPropertyUndefined);
    EXPECT_EQ(major, -1);
    EXPECT_EQ(minor, -1);
    host().setProperty(FourCC("grmn"), 4 << 16);
    EXPECT_EQ(PIGetGrid(major, minor), noErr);
    EXPECT_EQ(major, 3);
    EXPECT_EQ(minor, 4);
}

TEST_F(Properties, ARefusedSuiteGivesHostInsufficientAndThrowsNothing) {
    makeHost();
    for (const char* suite : {kPSPropertySuite, kPSHandleSuite}) {
        SCOPED_TRACE(suite);
        PIUSuitesRelease();
        host().suiteAnswers.clear();
        host().suiteAnswers[suite] = refhost::SuiteAnswer::refuse;
        host().setProperty(FourCC("titl"), bytesOf("name"));
        std::string name = "kept";
        OSErr err = noErr;
        EXPECT_NO_THROW(err = PIGetDocumentName(name));
        EXPECT_EQ(err, errPlugInHostInsufficient);
        EXPECT_EQ(name, "kept");
    }
    // Without the handle suite the property is not even asked for, so no
    // handle is left that could not be disposed.
    EXPECT_EQ(host().propertyCalls().size(), 0u);
    // The one accessor the products use.
    host().suiteAnswers[kPSPropertySuite] = refhost::SuiteAnswer::refuse;
    EXPECT_EQ(PISetWatchSuspension(999), errPlugInHostInsufficient);
    host().suiteAnswers.clear();
    EXPECT_EQ(PISetWatchSuspension(999), noErr);
    EXPECT_EQ(*host().simpleProperty(FourCC("wtch")), 999);
}

struct PStringCase {
    const char* name;
    std::vector<uint8_t> bytes;
    OSErr result;
    std::string text;  // the characters after the length byte
};

TEST_F(Properties, HandleToPStringStaysInsideBothBuffers) {
    std::vector<uint8_t> full(256, 'x');
    full[0] = 255;
    std::vector<uint8_t> longer(300, 'y');
    longer[0] = 255;
    const std::vector<PStringCase> cases = {
        {"empty handle", {}, errPlugInHostInsufficient, ""},
        {"length byte only", {5}, noErr, ""},
        {"length beyond the handle", {10, 'a', 'b'}, noErr, "ab"},
        {"exact", {3, 'a', 'b', 'c'}, noErr, "abc"},
        {"255 characters in 256 bytes", full, noErr, std::string(254, 'x')},
        {"300 bytes", longer, noErr, std::string(254, 'y')},
    };
    makeHost();
    for (const PStringCase& c : cases) {
        SCOPED_TRACE(c.name);
        Handle h = host().handles().createWith(c.bytes);
        auto* s = new unsigned char[256];  // exactly a Str255, so that a write past it shows
        std::memset(s, 0xEE, 256);
        EXPECT_EQ(HandleToString(h, s), c.result);
        if (c.result == noErr) {
            EXPECT_EQ(std::string(reinterpret_cast<char*>(s) + 1, s[0]), c.text);
            EXPECT_EQ(s[s[0] + 1], 0);
        }
        delete[] s;
        host().handles().dispose(h);
    }
    Str255 s;
    EXPECT_EQ(HandleToString(nullptr, s), errPlugInHostInsufficient);
    Handle h = host().handles().createWith({3, 'a', 'b', 'c'});
    host().handles().refuseLockNth(1);
    EXPECT_EQ(HandleToString(h, s), errPlugInHostInsufficient);
    host().handles().dispose(h);
}

TEST_F(Properties, WideTextIsUtf16BothWays) {
    makeHost();
    const std::wstring text = L"ab\u00e9\U0001F600z";
    Handle h = nullptr;
    ASSERT_EQ(StringToHandle(text, h), noErr);
    const std::vector<uint16_t> units = {'a', 'b', 0xE9, 0xD83D, 0xDE00, 'z'};
    std::vector<uint8_t> expected(units.size() * 2);
    std::memcpy(expected.data(), units.data(), expected.size());
    EXPECT_EQ(host().handles().contents(h), expected);
    std::wstring back;
    EXPECT_EQ(HandleToString(h, back), noErr);
    if (sizeof(wchar_t) == 4) {
        EXPECT_EQ(back, text);
    }
    host().handles().dispose(h);

    // "ab" from the host as UTF-16, under 'neun'.
    host().setProperty(FourCC("neun"), std::vector<uint8_t>{'a', 0, 'b', 0});
    std::wstring name;
    EXPECT_EQ(PIGetDocumentName(name, false), noErr);
    EXPECT_EQ(name, L"ab");
    EXPECT_EQ(lastCall().key, FourCC("neun"));
}

TEST_F(Properties, TextSetsHandOverANewHandleAndDisposeIt) {
    makeHost();
    EXPECT_EQ(PISetXMP("<x/>"), noErr);
    EXPECT_EQ(*host().complexProperty(FourCC("xmpd")), bytesOf("<x/>"));
    std::string xmp;
    EXPECT_EQ(PIGetXMP(xmp), noErr);
    EXPECT_EQ(xmp, "<x/>");
    // An empty text makes no handle.
    EXPECT_EQ(PISetURL(""), errPlugInHostInsufficient);
    // A get that succeeds without a handle.
    host().setNullProperty(FourCC("URL "));
    EXPECT_EQ(PIGetURL(xmp), errPlugInHostInsufficient);
}

struct ColorCase {
    const char* key;
    size_t bytes;
    OSErr result;
};

TEST_F(Properties, ColourHandlesMustHoldTheWholeColour) {
    const std::vector<ColorCase> cases = {
        {"iclr", 0, errPlugInHostInsufficient}, {"iclr", 7, errPlugInHostInsufficient}, {"iclr", 8, noErr},
        {"sllc", 5, errPlugInHostInsufficient}, {"sllc", 6, noErr},
    };
    makeHost();
    for (const ColorCase& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " " + std::to_string(c.bytes));
        std::vector<uint8_t> bytes(c.bytes);
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i + 1);
        PIInterfaceColor color{0, 0};
        RGBColor rgb{0, 0, 0};
        const bool interface = std::string(c.key) == "iclr";
        host().setProperty(keyOf(c.key), bytes, interface ? 2 : 0);
        EXPECT_EQ(interface ? PIGetInterfaceColor(2, color) : PIGetSliceLineColor(rgb), c.result);
        if (c.result == noErr) {
            EXPECT_EQ(interface ? color.primary : rgb.blue, interface ? 0x04030201u : 0x0605u);
        }
    }
}

}  // namespace
