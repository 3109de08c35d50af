// The handle, buffer and resource wrappers on the host's tables and on the
// system's memory, and the string helpers at the edges of their buffers
// (each string buffer is exactly 256 bytes on the heap, so that a byte past
// it shows under AddressSanitizer).
#include <gtest/gtest.h>

#include <Carbon.h>

#include <cstring>
#include <memory>

#include "host/host_utils_mac.h"
#include "support/host_fixture.h"

namespace {

using refhost::ProcTable;

// A Str255 of its own on the heap.
struct PString {
    std::unique_ptr<unsigned char[]> bytes{new unsigned char[256]};
    explicit PString(const std::string& s = "") {
        std::memset(bytes.get(), 0xEE, 256);
        bytes[0] = uint8_t(s.size());
        std::memcpy(bytes.get() + 1, s.data(), s.size());
    }
    unsigned char* get() { return bytes.get(); }
    std::string text() const { return std::string(reinterpret_cast<const char*>(bytes.get()) + 1, bytes[0]); }
    // The zero byte after the last character, where there is room.
    bool terminated() const { return bytes[0] == 255 || bytes[bytes[0] + 1] == 0; }
};

class HostUtils : public HostFixture {
protected:
    void TearDown() override {
        EXPECT_EQ(CarbonStandInLiveHandles(), liveSystemHandles_);
        CarbonStandInClearResources();
        HostFixture::TearDown();
    }
    long liveSystemHandles_ = CarbonStandInLiveHandles();
};

struct HandleTableCase {
    const char* name;
    int16 version, count;
    std::vector<int> nullEntries;
    bool host;  // the host's handles are used
};

// A table the wrappers cannot use in full sends every call to the system.
TEST_F(HostUtils, HandlesComeFromTheHostOnlyWithItsWholeTable) {
    const std::vector<HandleTableCase> cases = {
        {"the host's table", 1, 8, {}, true},
        {"newer", 2, 8, {}, false},
        {"short", 1, 7, {}, false},
        {"no lock", 1, 8, {4}, false},
        {"no unlock", 1, 8, {5}, false},
        {"no recover space", 1, 8, {6}, true},
    };
    for (const HandleTableCase& c : cases) {
        SCOPED_TRACE(c.name);
        makeHost();
        host().shapeTable(ProcTable::handle, c.version, c.count, c.nullEntries);
        const HandleProcs* procs = host().record().handleProcs;
        const int64_t hostHandles = host().handles().live();
        const long systemHandles = CarbonStandInLiveHandles();
        Handle h = HostNewHandle(procs, 4);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(host().handles().live() - hostHandles, c.host ? 1 : 0);
        EXPECT_EQ(CarbonStandInLiveHandles() - systemHandles, c.host ? 0 : 1);
        EXPECT_EQ(HostSetHandleSize(procs, h, 6), noErr);
        EXPECT_EQ(HostGetHandleSize(procs, h), 6);
        Ptr p = HostLockHandle(procs, h, true);
        ASSERT_NE(p, nullptr);
        std::memcpy(p, "abcdef", 6);
        HostUnlockHandle(procs, h);
        char text[8];
        HostHandle2CString(procs, h, text, sizeof text);
        EXPECT_STREQ(text, "abcdef");
        HostDisposeHandle(procs, h);
        EXPECT_EQ(host().handles().live(), hostHandles);
        EXPECT_EQ(CarbonStandInLiveHandles(), systemHandles);
    }
}

struct StripCase {
    const char* name;
    int32 space, rowBytes, divisor;
    int16 minHeight, maxHeight;
    int64_t refuseAbove;  // bytes; -1: none
    OSErr result;
    int16 height;
};

TEST_F(HostUtils, StripBuffers) {
    const std::vector<StripCase> cases = {
        {"divisor 0", 1000, 10, 0, 1, 50, -1, paramErr, 0},
        {"row bytes 0", 1000, 0, 1, 1, 50, -1, paramErr, 0},
        {"negative divisor", 1000, 10, -2, 1, 50, -1, paramErr, 0},
        {"space allows 50", 1000, 10, 2, 1, 80, -1, noErr, 50},
        {"maximum below the space is tried first", 1000, 10, 1, 1, 30, -1, noErr, 30},
        {"minimum = maximum", 1000, 10, 1, 30, 30, -1, noErr, 30},
        {"minimum = maximum, refused", 1000, 10, 1, 30, 30, 290, memFullErr, 0},
        {"three refusals", 1000, 10, 1, 1, 30, 270, noErr, 27},
        {"down to the minimum inclusive", 1000, 10, 1, 27, 30, 270, noErr, 27},
        {"nothing at all", 1000, 10, 1, 1, 30, 0, memFullErr, 0},
        {"no space", 0, 10, 1, 1, 30, -1, memFullErr, 0},
        {"the whole 32-bit space, refused down to 1 MB", INT32_MAX, 1 << 16, 1, 1, 32767, 1 << 20, noErr, 16},
    };
    for (const StripCase& c : cases) {
        SCOPED_TRACE(c.name);
        makeHost();
        host().buffers().spaceAvailable = c.space;
        host().buffers().plan.refuseAbove = c.refuseAbove;
        if (c.refuseAbove == 0) host().buffers().plan.refuseNth = 1, host().buffers().plan.andAllLater = true;
        int16 height = -1;
        BufferID id = reinterpret_cast<BufferID>(1);
        EXPECT_EQ(HostAllocateStripBuffer(host().record().bufferProcs, c.rowBytes, c.minHeight, c.maxHeight,
                                          c.divisor, height, id),
                  c.result);
        EXPECT_EQ(height, c.height);
        EXPECT_EQ(id != nullptr, c.result == noErr);
        if (id) HostFreeBuffer(host().record().bufferProcs, id);
    }
}

TEST_F(HostUtils, BuffersAndResourcesWithoutAUsableTable) {
    makeHost();
    host().shapeTable(ProcTable::buffer, 2, 4);
    host().shapeTable(ProcTable::resource, 4, 4);
    const FilterRecord& r = host().record();
    BufferID id = reinterpret_cast<BufferID>(1);
    EXPECT_EQ(HostBufferSpace(r.bufferProcs), 0);
    EXPECT_EQ(HostAllocateBuffer(r.bufferProcs, 10, id), memFullErr);
    EXPECT_EQ(id, nullptr);
    EXPECT_EQ(HostLockBuffer(r.bufferProcs, id, false), nullptr);
    EXPECT_EQ(HostCountPIResources(r.resourceProcs, FourCC("abcd")), 0);
    EXPECT_EQ(HostGetPIResource(r.resourceProcs, FourCC("abcd"), 1), nullptr);
    EXPECT_EQ(HostAddPIResource(r.resourceProcs, FourCC("abcd"), nullptr), memFullErr);
}

TEST_F(HostUtils, BuffersAndResourcesOnTheHostsTables) {
    makeHost();
    const FilterRecord& r = host().record();
    BufferID id = nullptr;
    EXPECT_EQ(HostAllocateBuffer(r.bufferProcs, 10, id), noErr);
    Ptr p = HostLockBuffer(r.bufferProcs, id, false);
    ASSERT_NE(p, nullptr);
    HostUnlockBuffer(r.bufferProcs, id);
    HostFreeBuffer(r.bufferProcs, id);
    Handle h = nullptr;
    ASSERT_EQ(HostCString2Handle(r.handleProcs, "data", h), noErr);
    EXPECT_EQ(HostAddPIResource(r.resourceProcs, FourCC("abcd"), h), noErr);
    EXPECT_EQ(HostCountPIResources(r.resourceProcs, FourCC("abcd")), 1);
    Handle got = HostGetPIResource(r.resourceProcs, FourCC("abcd"), 1);
    EXPECT_EQ(host().handles().contents(got), std::vector<uint8_t>({'d', 'a', 't', 'a'}));
    HostDeletePIResource(r.resourceProcs, FourCC("abcd"), 1);
    EXPECT_EQ(HostCountPIResources(r.resourceProcs, FourCC("abcd")), 0);
    HostDisposeHandle(r.handleProcs, h);
}

// Concatenation and copies on the host's handles and on the system's.
TEST_F(HostUtils, HandleCatAndCopyLeakNothing) {
    for (bool hostTable : {true, false}) {
        SCOPED_TRACE(hostTable ? "host" : "system");
        makeHost();
        const HandleProcs* procs = hostTable ? host().record().handleProcs : nullptr;
        Handle source = nullptr, target = nullptr;
        ASSERT_EQ(HostCString2Handle(procs, "abc", source), noErr);
        EXPECT_EQ(HostHandleCat(procs, nullptr, source), paramErr);
        EXPECT_EQ(HostHandleCat(procs, &target, source), noErr);
        EXPECT_EQ(HostHandleCat(procs, &target, source), noErr);
        EXPECT_EQ(HostHandleCat(procs, &target, target), noErr);
        char text[16];
        HostHandle2CString(procs, target, text, sizeof text);
        EXPECT_STREQ(text, "abcabcabcabc");
        Handle copy = nullptr;
        EXPECT_EQ(HostHandleCopy(procs, &copy, source), noErr);
        HostHandle2CString(procs, copy, text, sizeof text);
        EXPECT_STREQ(text, "abc");
        for (Handle h : {source, target, copy}) HostDisposeHandle(procs, h);
    }
}

TEST_F(HostUtils, AFailedCatDisposesTheTargetItMade) {
    makeHost();
    const HandleProcs* procs = host().record().handleProcs;
    Handle source = nullptr;
    ASSERT_EQ(HostCString2Handle(procs, "abc", source), noErr);
    Handle target = nullptr;
    host().handles().refuseLockNth(1);
    EXPECT_EQ(HostHandleCat(procs, &target, source), memFullErr);
    EXPECT_EQ(target, nullptr);
    Handle copy = nullptr;
    host().handles().plan.refuseAbove = 2;
    EXPECT_EQ(HostHandleCopy(procs, &copy, source), memFullErr);
    EXPECT_EQ(copy, nullptr);
    host().handles().plan.refuseAbove = -1;
    HostDisposeHandle(procs, source);

    // On the system's handles: a target that cannot grow keeps its size, and
    // one that cannot be made is left null.
    ASSERT_EQ(HostCString2Handle(nullptr, "abc", source), noErr);
    const long live = CarbonStandInLiveHandles();
    Handle grown = NewHandle(0);
    CarbonStandInFailHandles(1);
    EXPECT_EQ(HostHandleCat(nullptr, &grown, source), memFullErr);
    EXPECT_EQ(GetHandleSize(grown), 0);
    DisposeHandle(grown);
    target = nullptr;
    CarbonStandInFailHandles(1);
    EXPECT_EQ(HostHandleCat(nullptr, &target, source), memFullErr);
    EXPECT_EQ(target, nullptr);
    EXPECT_EQ(CarbonStandInLiveHandles(), live);
    CarbonStandInFailHandles(0);
    HostDisposeHandle(nullptr, source);
}

// A table whose handles claim sizes near the 32-bit limit.
int32 MACPASCAL hugeSize(Handle) { return INT32_MAX - 2; }

TEST_F(HostUtils, ACatBeyond32BitsIsRefused) {
    makeHost();
    HandleProcs procs = *host().record().handleProcs;
    Handle target = nullptr, source = nullptr;
    ASSERT_EQ(HostCString2Handle(&procs, "abcd", target), noErr);
    ASSERT_EQ(HostCString2Handle(&procs, "efgh", source), noErr);
    HandleProcs huge = procs;
    huge.getSizeProc = hugeSize;
    EXPECT_EQ(HostHandleCat(&huge, &target, source), memFullErr);
    EXPECT_EQ(host().handles().contents(target), std::vector<uint8_t>({'a', 'b', 'c', 'd'}));
    HostDisposeHandle(&procs, target);
    HostDisposeHandle(&procs, source);
}

TEST_F(HostUtils, VersionsInHandles) {
    makeHost();
    const HandleProcs* procs = host().record().handleProcs;
    const int32 version = 11 << 16 | 2 << 8 | 1;
    Handle h = host().handles().createWith(std::vector<uint8_t>(reinterpret_cast<const uint8_t*>(&version),
                                                                reinterpret_cast<const uint8_t*>(&version) + 4));
    PString text;
    EXPECT_EQ(HostHandle2VersionString(procs, h, text.get()), noErr);
    EXPECT_EQ(text.text(), "11.2.1");
    HostDisposeHandle(procs, h);
    Handle shortHandle = host().handles().createWith({1, 2});
    int32 v = 0;
    EXPECT_EQ(HostHandle2Version(procs, shortHandle, v), paramErr);
    HostDisposeHandle(procs, shortHandle);
}

struct AppendCase {
    const char* name;
    size_t length;          // of the string appended to
    std::string source;
    int16 first, count;
    size_t expected;        // length afterwards
};

TEST_F(HostUtils, AppendStringStopsAt254AndReadsOnlyTheSource) {
    const std::vector<AppendCase> cases = {
        {"250 + 10", 250, std::string(10, 's'), 1, 10, 254},
        {"253 + 1", 253, "s", 1, 1, 254},
        {"254 + 1", 254, "s", 1, 1, 254},
        {"255 + 1", 255, "s", 1, 1, 254},
        {"count beyond the source", 0, "abc", 2, 50, 2},
        {"first beyond the source", 5, "abc", 4, 1, 5},
        {"first 0", 5, "abc", 0, 1, 5},
    };
    for (const AppendCase& c : cases) {
        SCOPED_TRACE(c.name);
        PString s(std::string(c.length, 'd')), source(c.source);
        AppendString(s.get(), source.get(), c.first, c.count);
        EXPECT_EQ(s.get()[0], c.expected);
        EXPECT_TRUE(s.terminated());
    }
    PString s(std::string(254, 'd'));
    AppendCharToString(s.get(), 'c');
    EXPECT_EQ(s.text(), std::string(254, 'd'));
    EXPECT_TRUE(s.terminated());
}

struct CatCase {
    const char* name;
    size_t a, b;
    size_t expected;
};

TEST_F(HostUtils, CatAndInsertCutAt255) {
    const std::vector<CatCase> cases = {
        {"254 + 0", 254, 0, 254}, {"254 + 1", 254, 1, 255}, {"255 + 1", 255, 1, 255},
        {"200 + 100", 200, 100, 255}, {"0 + 255", 0, 255, 255},
    };
    for (const CatCase& c : cases) {
        SCOPED_TRACE(c.name);
        PString s(std::string(c.a, 'a')), t(std::string(c.b, 'b'));
        PStrCat(s.get(), t.get());
        EXPECT_EQ(s.text(), std::string(c.a, 'a') + std::string(c.expected - c.a, 'b'));
        EXPECT_TRUE(s.terminated());
        PString i(std::string(c.a, 'a'));
        PStrInsert(i.get(), t.get());
        EXPECT_EQ(i.text(), (std::string(c.b, 'b') + std::string(c.a, 'a')).substr(0, c.expected));
        EXPECT_TRUE(i.terminated());
    }
}

TEST_F(HostUtils, ConversionsBetweenStringFormsAt254To256) {
    for (size_t n : {254u, 255u, 256u, 300u}) {
        SCOPED_TRACE(n);
        const std::string text(n, 'c');
        std::unique_ptr<char[]> c(new char[n + 1]);
        std::memcpy(c.get(), text.c_str(), n + 1);
        PString p;
        CToPStr(c.get(), p.get());
        EXPECT_EQ(p.text(), text.substr(0, 255));
        std::unique_ptr<char[]> back(new char[256]);
        PToCStr(p.get(), back.get());
        EXPECT_EQ(std::string(back.get()), text.substr(0, 255));

        // The handle's bytes into 256 bytes.
        makeHost();
        const HandleProcs* procs = host().record().handleProcs;
        Handle h = host().handles().createWith(std::vector<uint8_t>(text.begin(), text.end()));
        PString fromHandle;
        HostHandle2PString(procs, h, fromHandle.get());
        EXPECT_EQ(fromHandle.text(), text.substr(0, 255));
        std::unique_ptr<char[]> cFromHandle(new char[256]);
        HostHandle2CString(procs, h, cFromHandle.get(), 256);
        EXPECT_EQ(std::string(cFromHandle.get()), text.substr(0, 255));
        HostDisposeHandle(procs, h);
    }
}

TEST_F(HostUtils, StringCatTakesTheDestinationsSize) {
    for (size_t used : {0u, 250u, 254u, 255u}) {
        SCOPED_TRACE(used);
        std::unique_ptr<char[]> s(new char[256]);
        std::memset(s.get(), 'u', used);
        s[used] = 0;
        HostStringCat(s.get(), 256, std::string(10, 't').c_str());
        EXPECT_EQ(std::strlen(s.get()), std::min<size_t>(used + 10, 255));
    }
}

TEST_F(HostUtils, PluginStringsAreReadNoFurtherThanTheResource) {
    // A length byte that promises more than the resource holds.
    const unsigned char claims[] = {200, 'a', 'b', 'c'};
    CarbonStandInInstallResource(1, 0x53545220 /* 'STR ' */, 300, claims, sizeof claims);
    PString s;
    EXPECT_EQ(HostGetString(300, s.get()), noErr);
    EXPECT_EQ(s.text(), "abc");
    EXPECT_EQ(HostGetString(301, s.get()), resNotFound);
    EXPECT_EQ(s.text(), "");
}

TEST_F(HostUtils, SmallHelpers) {
    EXPECT_EQ(UpperToLower('A'), 'a');
    EXPECT_EQ(UpperToLower('z'), 'z');
    EXPECT_EQ(UpperToLower(0xC4), 0xC4);
    EXPECT_EQ(PIstrlen("abc"), 3);
    EXPECT_EQ(PIstrlen(nullptr), 0);
    EXPECT_EQ(HostMatch("Photoshop", "PHOTOSHOP", true), 0);
    EXPECT_EQ(HostMatch("Photoshop", "PHOTOSHOP", false), -1);
    PString a("abc"), b("ABC");
    EXPECT_EQ(HostStringMatch(a.get(), b.get(), true), 0);
    EXPECT_EQ(HostStringMatch(a.get(), b.get(), false), -1);
    char to[4] = "xyz";
    HostBlockMove(to, "ab", 2);
    EXPECT_STREQ(to, "abz");
    HostCopy(nullptr, "ab", 2);
    makeHost();
    PIDescriptorParameters* params = host().record().descriptorParameters;
    params->playInfo = plugInDialogDisplay;
    EXPECT_TRUE(HostPlayDialog(params));
    params->playInfo = plugInDialogSilent;
    EXPECT_FALSE(HostPlayDialog(params));
    EXPECT_FALSE(HostPlayDialog(nullptr));
    PString message("went wrong");
    EXPECT_EQ(HostReportError(host().record().errorString, message.get()), errReportString);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(*host().record().errorString) + 1, 10), "went wrong");
    EXPECT_EQ(HostReportError(nullptr, message.get()), errReportString);
    EXPECT_EQ(HostGetPlatformWindowPtr(), nullptr);
}

void initialiseGlobals(Ptr globals) { std::memcpy(globals, "init", 4); }

TEST_F(HostUtils, GlobalsInANewLockedHandle) {
    makeHost();
    const HandleProcs* procs = host().record().handleProcs;
    intptr_t data = 0;
    Ptr globals = AllocateGlobals(procs, 8, &data, initialiseGlobals);
    ASSERT_NE(globals, nullptr);
    EXPECT_EQ(std::string(globals, 4), "init");
    Handle h = reinterpret_cast<Handle>(data);
    HostUnlockHandle(procs, h);
    HostDisposeHandle(procs, h);
    host().handles().plan.refuseAbove = 4;
    data = 0;
    EXPECT_EQ(AllocateGlobals(procs, 8, &data, initialiseGlobals), nullptr);
    EXPECT_EQ(data, 0);
}

}  // namespace
