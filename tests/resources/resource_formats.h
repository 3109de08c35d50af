// Decoders of the resource formats that the plug-ins carry: the host's
// property list and scripting terminology (the Windows modules' and the Mac
// bundles' forms), the extended dialog template and the string table.  Each
// throws peres::FormatError on truncated or inconsistent data.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tests/resources/pe_resources.h"

namespace peres {

// A four-character code as the number whose big-endian bytes are the text.
constexpr uint32_t fourCC(const char (&s)[5]) {
    return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) | (uint32_t(uint8_t(s[2])) << 8) |
           uint32_t(uint8_t(s[3]));
}
// The same for a text that must have four characters.
uint32_t fourCC(const std::string& s);
std::string fourCCText(uint32_t code);

// The registration's two binary forms.  Windows: little-endian, the property
// list and the terminology each begin with a 16-bit 1, the terminology's
// strings follow one another unaligned.  Mac: big-endian, no such word, and
// every number of the terminology starts at an even offset.
enum class Form { Windows, Mac };

struct PiplProperty {
    uint32_t vendor = 0;
    uint32_t key = 0;
    uint32_t id = 0;
    uint32_t length = 0;        // as stored
    std::vector<uint8_t> data;  // `length` bytes
    std::size_t offset = 0;     // of the property within the resource
};

struct Pipl {
    uint16_t format = 0;  // Windows form only
    uint32_t version = 0;
    uint32_t count = 0;
    std::vector<PiplProperty> properties;
    std::size_t bytesAfterLast = 0;
};

// Walks the properties by their stored lengths; refuses a length that runs
// past the resource.
Pipl decodePipl(const std::vector<uint8_t>& data, Form form = Form::Windows);

// What a property's data says, in words that do not depend on the form:
// "'8BFM'", "\"Vexlor\"", "4.0", "0x5040", "2000000 x 2000000", ...  Data
// that does not have its key's layout (a wrong length, padding that is not
// zero bytes up to the next multiple of 4) throws FormatError.
std::string meaningOf(const PiplProperty& property, Form form);

struct AeteParameter {
    std::string name;
    uint32_t key = 0;
    uint32_t type = 0;
    std::string description;
    uint16_t flags = 0;
};

struct AeteEvent {
    std::string name;
    std::string description;
    uint32_t eventClass = 0;
    uint32_t id = 0;
    uint32_t replyType = 0;
    std::string replyDescription;
    uint16_t replyFlags = 0;
    uint32_t directType = 0;
    std::string directDescription;
    uint16_t directFlags = 0;
    std::vector<AeteParameter> parameters;
};

struct AeteSuite {
    std::string name;
    std::string description;
    uint32_t id = 0;
    uint16_t level = 0;
    uint16_t version = 0;
    std::vector<AeteEvent> events;
    uint16_t classCount = 0;
    uint16_t comparisonCount = 0;
    uint16_t enumerationCount = 0;
};

struct Aete {
    uint16_t windowsForm = 0;  // the leading word of the Windows form
    uint8_t majorVersion = 0;
    uint8_t minorVersion = 0;
    uint16_t language = 0;
    uint16_t script = 0;
    std::vector<AeteSuite> suites;
    std::size_t bytesAfterLast = 0;
};

// Terminology without classes, comparison operators or enumerations only:
// a suite that has any is refused (their layout is not decoded here).
Aete decodeAete(const std::vector<uint8_t>& data, Form form = Form::Windows);

// A name-or-ordinal field of a dialog template.
struct SzOrOrd {
    bool isOrdinal = false;
    uint16_t ordinal = 0;
    std::string text;  // UTF-8
};

struct DialogItem {
    uint32_t helpId = 0;
    uint32_t exStyle = 0;
    uint32_t style = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    uint32_t id = 0;
    SzOrOrd windowClass;
    SzOrOrd title;
    std::vector<uint8_t> creationData;
};

struct DialogTemplateEx {
    uint16_t version = 0;
    uint16_t signature = 0;
    uint32_t helpId = 0;
    uint32_t exStyle = 0;
    uint32_t style = 0;
    uint16_t itemCount = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    SzOrOrd menu;
    SzOrOrd windowClass;
    std::string title;
    bool hasFont = false;
    uint16_t pointSize = 0;
    uint16_t weight = 0;
    uint8_t italic = 0;
    uint8_t charset = 0;
    std::string typeface;
    std::vector<DialogItem> items;
    std::size_t bytesAfterLast = 0;
};

DialogTemplateEx decodeDialogEx(const std::vector<uint8_t>& data);

// The strings of one string-table block (resource name n holds the ids
// 16(n-1) .. 16(n-1)+15); empty slots are left out.
std::map<uint32_t, std::u16string> decodeStringBlock(uint16_t blockName, const std::vector<uint8_t>& data);

// Every string of every string-table block of one language.
std::map<uint32_t, std::u16string> stringTable(const PeImage& image, uint16_t language);

}  // namespace peres
