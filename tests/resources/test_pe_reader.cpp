// The reader itself: a small PE file made here, and damaged copies of it,
// each of which must be refused with a message that says what is wrong.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/resources/pe_resources.h"
#include "tests/resources/resource_formats.h"

using namespace peres;

namespace {

using Bytes = std::vector<uint8_t>;

void setU16(Bytes& b, std::size_t at, uint16_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}
void setU32(Bytes& b, std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

// Offsets in the little file below.
constexpr std::size_t kPe = 0x40, kOptional = kPe + 24, kSections = kOptional + 240, kRaw = 0x200;
constexpr uint32_t kRsrcRva = 0x1000;
// Within the resource section: root, type, name directories, data entry,
// the name string "Abc" and the data "DATA".
constexpr std::size_t kTypeDir = 0x18, kNameDir = 0x30, kDataEntry = 0x48, kName = 0x58, kData = 0x60,
                      kRsrcSize = 0x64;

// A PE32+ DLL whose only section holds one RCDATA resource named "Abc",
// language 1033.
Bytes smallDll() {
    Bytes b(kRaw + 0x80, 0);
    b[0] = 'M';
    b[1] = 'Z';
    setU32(b, 0x3C, kPe);
    b[kPe] = 'P';
    b[kPe + 1] = 'E';
    setU16(b, kPe + 4, kMachineAmd64);
    setU16(b, kPe + 6, 1);         // sections
    setU16(b, kPe + 20, 240);      // optional header size
    setU16(b, kPe + 22, 0x2022);   // DLL, executable, large address aware
    setU16(b, kOptional, 0x20B);
    setU32(b, kOptional + 108, 16);
    setU32(b, kOptional + 112 + 2 * 8, kRsrcRva);
    setU32(b, kOptional + 112 + 2 * 8 + 4, kRsrcSize);
    std::copy_n(".rsrc", 5, b.begin() + kSections);
    setU32(b, kSections + 8, kRsrcSize);
    setU32(b, kSections + 12, kRsrcRva);
    setU32(b, kSections + 16, 0x80);
    setU32(b, kSections + 20, kRaw);

    const std::size_t r = kRaw;
    setU16(b, r + 14, 1);  // root: one id entry, type 10
    setU32(b, r + 16, 10);
    setU32(b, r + 20, 0x80000000u | kTypeDir);
    setU16(b, r + kTypeDir + 12, 1);  // type: one named entry
    setU32(b, r + kTypeDir + 16, 0x80000000u | kName);
    setU32(b, r + kTypeDir + 20, 0x80000000u | kNameDir);
    setU16(b, r + kNameDir + 14, 1);  // name: one language
    setU32(b, r + kNameDir + 16, 1033);
    setU32(b, r + kNameDir + 20, kDataEntry);
    setU32(b, r + kDataEntry, kRsrcRva + kData);
    setU32(b, r + kDataEntry + 4, 4);
    setU16(b, r + kName, 3);
    setU16(b, r + kName + 2, 'A');
    setU16(b, r + kName + 4, 'b');
    setU16(b, r + kName + 6, 'c');
    std::copy_n("DATA", 4, b.begin() + r + kData);
    return b;
}

TEST(PeReader, ReadsTheResourcesOfASmallDll) {
    const PeImage image = parsePe(smallDll());
    EXPECT_EQ(image.machine, kMachineAmd64);
    EXPECT_TRUE(image.pe32plus);
    ASSERT_EQ(image.resources.size(), 1u);
    const Resource* r = findResource(image, ResourceId::of(10), ResourceId::of("ABC"), 1033);
    ASSERT_NE(r, nullptr) << "names are found without regard to case";
    EXPECT_EQ(std::string(r->data.begin(), r->data.end()), "DATA");
    EXPECT_EQ(findResource(image, ResourceId::of(10), ResourceId::of("ABC"), 1031), nullptr);
    EXPECT_EQ(findResource(image, ResourceId::of(10), ResourceId::of(3), 1033), nullptr);
}

struct Damage {
    const char* name;
    std::function<void(Bytes&)> apply;
    const char* message;  // part of the error's text
};

void PrintTo(const Damage& d, std::ostream* os) { *os << d.name; }

class DamagedDll : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedDll, IsRefusedWithAClearError) {
    Bytes file = smallDll();
    GetParam().apply(file);
    try {
        parsePe(file);
        FAIL() << "accepted";
    } catch (const FormatError& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().message), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedDll,
    ::testing::Values(
        Damage{"NoMzHeader", [](Bytes& b) { b[0] = 'X'; }, "no MZ header"},
        Damage{"EmptyFile", [](Bytes& b) { b.clear(); }, "no MZ header"},
        Damage{"NoPeSignature", [](Bytes& b) { b[kPe + 1] = 'X'; }, "no PE signature"},
        Damage{"HeaderOffsetPastEnd", [](Bytes& b) { setU32(b, 0x3C, 0x7FFFFFF0); }, "past its end"},
        Damage{"UnknownOptionalHeader", [](Bytes& b) { setU16(b, kOptional, 0x999); }, "optional header magic"},
        Damage{"TruncatedSection", [](Bytes& b) { b.resize(kRaw + 0x50); }, "past its end"},
        Damage{"DirectoryLoop", [](Bytes& b) { setU32(b, kRaw + kTypeDir + 20, 0x80000000u | kTypeDir); },
               "reached twice"},
        Damage{"EntryCountPastEnd", [](Bytes& b) { setU16(b, kRaw + 14, 0x1000); }, "past its end"},
        Damage{"NameLongerThanSection", [](Bytes& b) { setU16(b, kRaw + kName, 0x7FFF); }, "past its end"},
        Damage{"DataOutsideEverySection", [](Bytes& b) { setU32(b, kRaw + kDataEntry, 0x9000); },
               "in no section's data"},
        Damage{"DataLongerThanSection", [](Bytes& b) { setU32(b, kRaw + kDataEntry + 4, 0x1000); },
               "in no section's data"},
        Damage{"LanguageLevelIsADirectory",
               [](Bytes& b) { setU32(b, kRaw + kNameDir + 20, 0x80000000u | kDataEntry); }, "not a data entry"},
        Damage{"TypeEntryIsData", [](Bytes& b) { setU32(b, kRaw + 20, kDataEntry); }, "not a directory"}),
    [](const auto& info) { return std::string(info.param.name); });

// The decoders refuse what does not add up, rather than read past the data.
struct BadFormat {
    const char* name;
    std::function<void()> decode;
    const char* message;
};

void PrintTo(const BadFormat& d, std::ostream* os) { *os << d.name; }

class BadResourceData : public ::testing::TestWithParam<BadFormat> {};

TEST_P(BadResourceData, IsRefusedWithAClearError) {
    try {
        GetParam().decode();
        FAIL() << "accepted";
    } catch (const FormatError& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().message), std::string::npos) << e.what();
    }
}

// Property list header (format 1, version 0, one property) and a 'kind'
// property whose length claims more than there is.
Bytes overlongPipl() {
    Bytes b(10 + 16 + 4, 0);
    setU16(b, 0, 1);
    setU32(b, 6, 1);
    setU32(b, 10, fourCC("8BIM"));
    setU32(b, 14, fourCC("kind"));
    setU32(b, 22, 100);
    return b;
}

// Terminology of one suite whose name is cut short.
Bytes truncatedAete() {
    Bytes b = {1, 0, 1, 0, 0, 0, 0, 0, 1, 0, 6, 'V', 'e', 'x'};
    return b;
}

Bytes plainDialogTemplate() {
    Bytes b(18 + 6, 0);
    setU32(b, 0, 0x80C00000);  // a DLGTEMPLATE starts with its style
    return b;
}

// An extended template that announces one item and ends after its header.
Bytes truncatedDialogItem() {
    Bytes b = {1, 0, 0xFF, 0xFF};
    b.resize(26 + 2 + 2, 0);  // header through item count, position, size; no menu, default class
    setU16(b, 16, 1);
    b.push_back(0);  // empty title
    b.push_back(0);
    while (b.size() % 4) b.push_back(0);
    b.resize(b.size() + 10, 0);  // part of the item
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadResourceData,
    ::testing::Values(
        BadFormat{"PiplPropertyLongerThanData", [] { decodePipl(overlongPipl()); }, "claims 100 bytes"},
        BadFormat{"PiplShortHeader", [] { decodePipl(Bytes{1, 0, 0}); }, "past its end"},
        BadFormat{"AeteTruncatedSuiteName", [] { decodeAete(truncatedAete()); }, "past its end"},
        BadFormat{"DialogNotExtended", [] { decodeDialogEx(plainDialogTemplate()); }, "not an extended template"},
        BadFormat{"DialogItemTruncated", [] { decodeDialogEx(truncatedDialogItem()); }, "past its end"},
        BadFormat{"StringBlockTruncated", [] { decodeStringBlock(1, Bytes{2, 0, 'a', 0}); }, "past its end"},
        BadFormat{"StringBlockZero", [] { decodeStringBlock(0, Bytes(32, 0)); }, "block name 0"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
