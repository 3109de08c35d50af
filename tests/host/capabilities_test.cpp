// Capability tests on tables as hosts give them (null, short, with a null
// entry, accepted, newer), their warnings' texts through the alert sink, and
// the identification of the host application.
#include <gtest/gtest.h>

#include <Carbon.h>

#include <cstring>
#include <functional>

#include "host/capabilities_mac.h"
#include "host/dialog_utils_mac.h"
#include "support/host_fixture.h"

namespace {

using refhost::ProcTable;

// The plug-in's alert and messages as its resource file holds them (Mac
// Roman: 0xA8 is the registered sign).
const char kTooOld[] = "This plug-in requires Adobe Photoshop\xA8 ^1 or later functionality.";
const char kIncompatible[] = "This plug-in is incompatible with this version of the host program.";
const int16_t kPluginFile = 2, kApplicationFile = 1;
const AlertTemplate kAlert{{40, 40, 160, 400}, kVersionAlertID, 0};

void installString(int16_t file, int16_t id, const std::string& text) {
    std::string p(1, char(text.size()));
    p += text;
    CarbonStandInInstallResource(file, 0x53545220 /* 'STR ' */, id, p.data(), long(p.size()));
}

class Capabilities : public HostFixture {
protected:
    void SetUp() override {
        CarbonStandInClearResources();
        CarbonStandInSetApplicationFile(kApplicationFile);
        CarbonStandInInstallResource(kPluginFile, 0x414c5254 /* 'ALRT' */, kVersionAlertID, &kAlert, sizeof kAlert);
        CarbonStandInInstallResource(kPluginFile, 0x4449544c /* 'DITL' */, kVersionAlertID, "^0", 2);
        installString(kPluginFile, kHostTooOldStringID, kTooOld);
        installString(kPluginFile, kHostIncompatibleStringID, kIncompatible);
        UseResFile(kPluginFile);
    }
    void TearDown() override {
        CarbonStandInClearResources();
        HostFixture::TearDown();
    }
};

struct TableCase {
    const char* name;
    ProcTable table;
    int16 accepted, count;  // the version accepted and the procedures it needs
    int needed;             // the first procedures that must be there
    std::function<bool(const FilterRecord&, Boolean*)> test;
    std::function<bool(const FilterRecord&)> warn;
    const char* minimum;
    bool newerMessage;
};

const std::vector<TableCase>& tableCases() {
    static const std::vector<TableCase> cases = {
        {"buffer", ProcTable::buffer, 2, 5, 5,
         [](const FilterRecord& r, Boolean* n) { return HostBufferProcsAvailable(r.bufferProcs, n); },
         [](const FilterRecord& r) { return WarnHostBufferProcsAvailable(r.bufferProcs); }, "2.5", true},
        {"resource", ProcTable::resource, 3, 4, 4,
         [](const FilterRecord& r, Boolean* n) { return HostResourceProcsAvailable(r.resourceProcs, n); },
         [](const FilterRecord& r) { return WarnHostResourceProcsAvailable(r.resourceProcs); }, "3.0", true},
        {"handle", ProcTable::handle, 1, 8, 6,
         [](const FilterRecord& r, Boolean* n) { return HostHandleProcsAvailable(r.handleProcs, n); },
         [](const FilterRecord& r) { return WarnHostHandleProcsAvailable(r.handleProcs); }, "3.0", true},
        {"property", ProcTable::property, 1, 2, 2,
         [](const FilterRecord& r, Boolean* n) { return HostPropertyAvailable(r.propertyProcs, n); },
         [](const FilterRecord& r) { return WarnHostPropertyAvailable(r.propertyProcs); }, "2.5", true},
        {"channel port", ProcTable::channelPort, 1, 3, 3,
         [](const FilterRecord& r, Boolean* n) { return HostChannelPortAvailable(r.channelPortProcs, n); },
         [](const FilterRecord& r) { return WarnHostChannelPortAvailable(r.channelPortProcs); }, "4.0", true},
        {"read descriptor", ProcTable::readDescriptor, 0, 18, 18,
         [](const FilterRecord& r, Boolean*) { return HostDescriptorAvailable(r.descriptorParameters); },
         [](const FilterRecord& r) { return WarnHostDescriptorAvailable(r.descriptorParameters); }, "4.0", false},
        {"write descriptor", ProcTable::writeDescriptor, 0, 16, 16,
         [](const FilterRecord& r, Boolean*) { return HostDescriptorAvailable(r.descriptorParameters); },
         [](const FilterRecord& r) { return WarnHostDescriptorAvailable(r.descriptorParameters); }, "4.0", false},
    };
    return cases;
}

struct Shape {
    const char* name;
    int16 versionOffset;  // from the accepted version
    int16 countOffset;    // from the count needed
    int nullEntry;        // -1: none
    bool available;
    bool newer;
};

// Each table as a host may give it; a short table is exactly as long as it
// says, so that AddressSanitizer sees a read past it.
TEST_F(Capabilities, EachTestOnEachShapeOfItsTable) {
    const std::vector<Shape> shapes = {
        {"accepted", 0, 0, -1, true, false},      {"longer", 0, 2, -1, true, false},
        {"one short", 0, -1, -1, false, false},   {"empty", 0, -100, -1, false, false},
        {"first entry null", 0, 0, 0, false, false}, {"last needed null", 0, 0, -2, false, false},
        {"newer", 1, 0, -1, false, true},         {"older", -1, 0, -1, false, false},
    };
    for (const TableCase& t : tableCases()) {
        for (const Shape& s : shapes) {
            SCOPED_TRACE(std::string(t.name) + ", " + s.name);
            makeHost();
            const int16 count = int16(std::max(0, t.count + s.countOffset));
            std::vector<int> nulls;
            if (s.nullEntry != -1) nulls.push_back(s.nullEntry >= 0 ? s.nullEntry : t.needed + 1 + s.nullEntry);
            host().shapeTable(t.table, int16(t.accepted + s.versionOffset), count, nulls);
            const FilterRecord& r = host().record();
            Boolean newer = 7;
            EXPECT_EQ(t.test(r, &newer), s.available);
            if (t.table != ProcTable::readDescriptor && t.table != ProcTable::writeDescriptor) {
                EXPECT_EQ(newer, Boolean(s.newer));
                EXPECT_EQ(t.test(r, nullptr), s.available);
            }
            host().clearAlerts();
            EXPECT_EQ(t.warn(r), s.available);
            if (s.available) {
                EXPECT_TRUE(host().alerts().empty());
                continue;
            }
            ASSERT_EQ(host().alerts().size(), 1u);
            std::string expected = s.newer && t.newerMessage ? kIncompatible : kTooOld;
            if (expected == kTooOld) expected.replace(expected.find("^1"), 2, t.minimum);
            EXPECT_EQ(host().alerts()[0], expected);
            EXPECT_EQ(CarbonStandInLastAlertType(), kAlertCautionAlert);
        }
    }
}

TEST_F(Capabilities, NullTablesAreUnavailableAndClearTheNewerFlag) {
    Boolean newer = 7;
    EXPECT_FALSE(HostBufferProcsAvailable(nullptr, &newer));
    EXPECT_EQ(newer, 0);
    newer = 7;
    EXPECT_FALSE(HostResourceProcsAvailable(nullptr, &newer));
    EXPECT_EQ(newer, 0);
    newer = 7;
    EXPECT_FALSE(HostHandleProcsAvailable(nullptr, &newer));
    EXPECT_EQ(newer, 0);
    newer = 7;
    EXPECT_FALSE(HostPropertyAvailable(nullptr, &newer));
    EXPECT_EQ(newer, 0);
    newer = 7;
    EXPECT_FALSE(HostChannelPortAvailable(nullptr, &newer));
    EXPECT_EQ(newer, 0);
    EXPECT_FALSE(HostDescriptorAvailable(nullptr));
}

struct ProcedureCase {
    const char* name;
    std::function<bool()> test;
    std::function<bool()> warn;
    const char* minimum;
};

TEST_F(Capabilities, SingleProceduresAndTheirWarnings) {
    makeHost();
    const FilterRecord& r = host().record();
    const std::vector<ProcedureCase> cases = {
        {"display pixels", [] { return HostDisplayPixelsAvailable(nullptr); },
         [] { return WarnHostDisplayPixelsAvailable(nullptr); }, "2.502"},
        {"advance state", [] { return HostAdvanceStateAvailable(nullptr); },
         [] { return WarnHostAdvanceStateAvailable(nullptr); }, "3.0"},
        {"colour services", [] { return HostColorServicesAvailable(nullptr); },
         [] { return WarnHostColorServicesAvailable(nullptr); }, "2.5"},
    };
    for (const ProcedureCase& c : cases) {
        SCOPED_TRACE(c.name);
        host().clearAlerts();
        EXPECT_FALSE(c.test());
        EXPECT_FALSE(c.warn());
        ASSERT_EQ(host().alerts().size(), 1u);
        std::string expected = kTooOld;
        expected.replace(expected.find("^1"), 2, c.minimum);
        EXPECT_EQ(host().alerts()[0], expected);
    }
    host().clearAlerts();
    EXPECT_TRUE(WarnHostDisplayPixelsAvailable(r.displayPixels));
    EXPECT_TRUE(WarnHostAdvanceStateAvailable(r.advanceState));
    EXPECT_TRUE(WarnHostColorServicesAvailable(r.colorServices));
    EXPECT_TRUE(host().alerts().empty());
}

TEST_F(Capabilities, AlertsWithParameterText) {
    makeHost();
    EXPECT_EQ(ShowVersionAlert(nullptr, 0, kHostTooOldStringID, nullptr, nullptr), 0);
    EXPECT_TRUE(host().alerts().empty());
    const unsigned char one[] = "\x03" "1.0";
    EXPECT_EQ(ShowAlertType(nullptr, kVersionAlertID, kHostTooOldStringID, one, nullptr, kStopAlertType), 1);
    EXPECT_EQ(CarbonStandInLastAlertType(), kAlertStopAlert);
    ASSERT_EQ(host().alerts().size(), 1u);
    EXPECT_EQ(host().alerts()[0], "This plug-in requires Adobe Photoshop\xA8 1.0 or later functionality.");
}

struct ParamTextCase {
    const char* name;
    std::string text, p0, p1, p2;
    std::string expected;
};

TEST_F(Capabilities, ParamTextReplacesMarkersInPlaceWithinTheString) {
    const std::vector<ParamTextCase> cases = {
        {"each marker", "^0 and ^1 or ^2", "a", "bb", "ccc", "a and bb or ccc"},
        {"repeated", "^1^1", "", "xy", "", "xyxy"},
        {"other carets", "^3 ^ ^", "a", "b", "c", "^3 ^ ^"},
        {"marker at the end", "end^", "a", "b", "c", "end^"},
        {"cut at 255", "^0^0", std::string(200, 'p'), "", "", std::string(255, 'p')},
    };
    for (const ParamTextCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto pstring = [](const std::string& s) {
            std::vector<unsigned char> p(256, 0);
            p[0] = uint8_t(s.size());
            std::memcpy(p.data() + 1, s.data(), s.size());
            return p;
        };
        std::vector<unsigned char> text = pstring(c.text), p0 = pstring(c.p0), p1 = pstring(c.p1),
                                   p2 = pstring(c.p2);
        PIParamText(text.data(), p0.data(), p1.data(), p2.data());
        EXPECT_EQ(std::string(reinterpret_cast<char*>(text.data()) + 1, text[0]), c.expected);
    }
}

TEST_F(Capabilities, OSInfoFromTheApplicationsResources) {
    const uint8_t version[] = {11, 0x21, 0x60, 7, 0, 0};  // 11.2.1 beta, build 7
    CarbonStandInInstallResource(kApplicationFile, 0x76657273 /* 'vers' */, 1, version, sizeof version);
    CarbonStandInInstallResource(kApplicationFile, 0x424e444c /* 'BNDL' */, 128, "8BIM", 4);
    CarbonStandInSetSystemVersion(10, 4, 11);
    OSInfo info;
    std::memset(&info, 0xEE, sizeof info);
    EXPECT_EQ(GetOSInfo(nullptr, info), noErr);
    EXPECT_EQ(info.signature, kPhotoshopSignature);
    EXPECT_EQ(info.majorVersion, 11);
    EXPECT_EQ(info.minorVersion, 2);
    EXPECT_EQ(info.fixVersion, 1);
    EXPECT_EQ(info.stage, 2);
    EXPECT_EQ(info.build, 7);
    EXPECT_EQ(info.system, 2);
    EXPECT_TRUE(IsMacOS(info.system));
    EXPECT_EQ(CurResFile(), kPluginFile);
    const uint32 signatures[] = {FourCC("XXXX"), kPhotoshopSignature, 0};
    EXPECT_EQ(AppMatch(nullptr, signatures), 11u << 24 | 2u << 20 | 1u << 16);
}

TEST_F(Capabilities, OSInfoWithoutAVersionResourceStaysClear) {
    CarbonStandInInstallResource(kApplicationFile, 0x424e444c /* 'BNDL' */, 128, "8BIM", 4);
    OSInfo info;
    std::memset(&info, 0xEE, sizeof info);
    EXPECT_EQ(GetOSInfo(nullptr, info), resNotFound);
    const OSInfo clear{};
    EXPECT_EQ(std::memcmp(&info, &clear, sizeof info), 0);
    EXPECT_EQ(CurResFile(), kPluginFile);
}

TEST_F(Capabilities, StagesAndSystems) {
    const std::vector<std::pair<uint8, uint8>> stages = {{0x20, 0}, {0x40, 1}, {0x60, 2}, {0x80, 3}, {0, 3}};
    for (auto [byte, stage] : stages) EXPECT_EQ(MapStage(nullptr, byte), stage) << int(byte);
    EXPECT_EQ(MapSystem(6), 1);
    EXPECT_EQ(MapSystem(8), 3);
    EXPECT_EQ(MapSystem(10), 2);
    EXPECT_TRUE(IsWindows(11));
    EXPECT_FALSE(IsWindows(3));
    EXPECT_FALSE(IsValidHost(0));
    EXPECT_EQ(MapSignature("Photoshop"), 0u);
}

}  // namespace
