#include "tests/resources/resource_formats.h"

#include <algorithm>
#include <cstdio>

namespace peres {

namespace {

// A forward cursor over a ByteView.
class Cursor {
public:
    explicit Cursor(const ByteView& view) : view_(view) {}
    std::size_t pos() const { return pos_; }
    std::size_t remaining() const { return view_.size() - pos_; }
    uint8_t u8() { return view_.u8(advance(1)); }
    uint16_t u16() { return view_.u16(advance(2)); }
    int16_t i16() { return int16_t(u16()); }
    uint32_t u32() { return view_.u32(advance(4)); }
    std::vector<uint8_t> bytes(std::size_t n) {
        view_.require(pos_, n);
        return view_.bytes(advance(n), n);
    }
    // One length byte, then that many bytes of text.
    std::string pascal() {
        const uint8_t n = u8();
        const std::vector<uint8_t> b = bytes(n);
        return std::string(b.begin(), b.end());
    }
    std::u16string wideZ() {
        std::u16string s;
        for (char16_t c; (c = char16_t(u16())) != 0;) s.push_back(c);
        return s;
    }
    SzOrOrd szOrOrd() {
        SzOrOrd f;
        const uint16_t first = u16();
        if (first == 0xFFFF) {
            f.isOrdinal = true;
            f.ordinal = u16();
        } else if (first != 0) {
            std::u16string s(1, char16_t(first));
            s += wideZ();
            f.text = utf16ToUtf8(s);
        }
        return f;
    }
    // To a multiple of `unit` (a power of 2) from the data's start.
    void align(std::size_t unit) {
        const std::size_t to = (pos_ + unit - 1) & ~(unit - 1);
        if (to > view_.size())
            throw FormatError(view_.what() + ": alignment at " + std::to_string(pos_) + " runs past its end");
        pos_ = to;
    }

private:
    std::size_t advance(std::size_t n) {
        view_.require(pos_, n);
        const std::size_t at = pos_;
        pos_ += n;
        return at;
    }
    const ByteView& view_;
    std::size_t pos_ = 0;
};

}  // namespace

uint32_t fourCC(const std::string& s) {
    if (s.size() != 4) throw std::invalid_argument("not a four-character code: \"" + s + "\"");
    uint32_t code = 0;
    for (char c : s) code = (code << 8) | uint8_t(c);
    return code;
}

std::string fourCCText(uint32_t code) {
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = char((code >> shift) & 0xFF);
        s.push_back(c >= 0x20 && c < 0x7F ? c : '?');
    }
    return "'" + s + "'";
}

namespace {
ByteOrder orderOf(Form form) { return form == Form::Mac ? ByteOrder::Big : ByteOrder::Little; }
}  // namespace

Pipl decodePipl(const std::vector<uint8_t>& data, Form form) {
    const ByteView view(data, "PiPL", orderOf(form));
    Cursor c(view);
    Pipl p;
    if (form == Form::Windows) p.format = c.u16();
    p.version = c.u32();
    p.count = c.u32();
    for (uint32_t i = 0; i < p.count; ++i) {
        PiplProperty prop;
        prop.offset = c.pos();
        prop.vendor = c.u32();
        prop.key = c.u32();
        prop.id = c.u32();
        prop.length = c.u32();
        if (prop.length > c.remaining())
            throw FormatError("PiPL: property " + std::to_string(i) + " (" + fourCCText(prop.key) + ") claims " +
                              std::to_string(prop.length) + " bytes, " + std::to_string(c.remaining()) + " remain");
        prop.data = c.bytes(prop.length);
        p.properties.push_back(std::move(prop));
    }
    p.bytesAfterLast = c.remaining();
    return p;
}

std::string meaningOf(const PiplProperty& property, Form form) {
    const std::string key = fourCCText(property.key);
    const std::vector<uint8_t>& data = property.data;
    const ByteView v(data, "property " + key, orderOf(form));
    auto fixedSize = [&](std::size_t n) {
        if (data.size() != n)
            throw FormatError(key + ": " + std::to_string(data.size()) + " bytes of data where its layout has " +
                              std::to_string(n));
    };
    // The content ends at `end`; zero bytes pad it to the next multiple of 4.
    auto paddedFrom = [&](std::size_t end) {
        if (data.size() != (end + 3) / 4 * 4)
            throw FormatError(key + ": " + std::to_string(data.size()) + " bytes of data for content of " +
                              std::to_string(end) + " bytes, padded to a multiple of 4");
        for (std::size_t i = end; i < data.size(); ++i)
            if (data[i]) throw FormatError(key + ": padding that is not zero");
    };
    auto quoted = [](const std::string& s) { return "\"" + s + "\""; };
    auto pascalAt = [&](std::size_t at) {
        const std::size_t n = v.u8(at);
        v.require(at + 1, n);
        paddedFrom(at + 1 + n);
        return quoted(std::string(data.begin() + at + 1, data.begin() + at + 1 + n));
    };
    auto cStringAt = [&](std::size_t at) {
        v.require(at, 1);
        const auto zero = std::find(data.begin() + at, data.end(), uint8_t(0));
        if (zero == data.end()) throw FormatError(key + ": a string without its terminating zero");
        paddedFrom(std::size_t(zero - data.begin()) + 1);
        return quoted(std::string(data.begin() + at, zero));
    };
    auto hexByte = [](unsigned b) {
        char buf[4];
        std::snprintf(buf, sizeof buf, "%02X", b & 0xFF);
        return std::string(buf);
    };
    const std::string k(key, 1, 4);
    if (k == "kind") {
        fixedSize(4);
        return fourCCText(v.u32(0));
    }
    if (k == "name" || k == "catg") return pascalAt(0);
    if (k == "vers") {
        fixedSize(4);
        return std::to_string(v.u32(0) >> 16) + "." + std::to_string(v.u32(0) & 0xFFFF);
    }
    if (k == "8664" || k == "wx86" || k == "wa64" || k == "mach" || k == "mi32" || k == "mi64") return cStringAt(0);
    if (k == "mode") {
        fixedSize(4);
        if (data[2] || data[3]) throw FormatError(key + ": bytes after the flags that are not zero");
        return "0x" + hexByte(data[0]) + hexByte(data[1]);  // most significant byte first in both forms
    }
    if (k == "hstm") {
        v.require(0, 14);
        return "version " + std::to_string(v.u32(0)) + ", class " + fourCCText(v.u32(4)) + ", event " +
               fourCCText(v.u32(8)) + ", terminology " + std::to_string(v.u16(12)) + ", " + cStringAt(14);
    }
    if (k == "enbl") return cStringAt(0);
    if (k == "ms32") {
        fixedSize(8);
        return std::to_string(v.u32(0)) + " x " + std::to_string(v.u32(4));
    }
    std::string bytes;
    if (k == "fici") {
        fixedSize(28);
        for (std::size_t i = 0; i < 28; i += 4) {
            if (data[i + 3]) throw FormatError(key + ": a case whose reserved byte is not zero");
            bytes += (i ? ", " : "") + std::to_string(data[i]) + " " + std::to_string(data[i + 1]) + " " +
                     hexByte(data[i + 2]);
        }
        return bytes;
    }
    for (uint8_t b : data) bytes += (bytes.empty() ? "" : " ") + hexByte(b);
    return bytes;
}

Aete decodeAete(const std::vector<uint8_t>& data, Form form) {
    const ByteView view(data, "AETE", orderOf(form));
    Cursor c(view);
    // The Mac form keeps its numbers at even offsets.
    auto evenUp = [&] {
        if (form == Form::Mac) c.align(2);
    };
    Aete a;
    if (form == Form::Windows) a.windowsForm = c.u16();
    a.majorVersion = c.u8();
    a.minorVersion = c.u8();
    a.language = c.u16();
    a.script = c.u16();
    const uint16_t suites = c.u16();
    for (uint16_t s = 0; s < suites; ++s) {
        AeteSuite suite;
        suite.name = c.pascal();
        suite.description = c.pascal();
        evenUp();
        suite.id = c.u32();
        suite.level = c.u16();
        suite.version = c.u16();
        const uint16_t events = c.u16();
        for (uint16_t e = 0; e < events; ++e) {
            AeteEvent ev;
            ev.name = c.pascal();
            ev.description = c.pascal();
            evenUp();
            ev.eventClass = c.u32();
            ev.id = c.u32();
            ev.replyType = c.u32();
            ev.replyDescription = c.pascal();
            evenUp();
            ev.replyFlags = c.u16();
            ev.directType = c.u32();
            ev.directDescription = c.pascal();
            evenUp();
            ev.directFlags = c.u16();
            const uint16_t params = c.u16();
            for (uint16_t k = 0; k < params; ++k) {
                AeteParameter par;
                par.name = c.pascal();
                evenUp();
                par.key = c.u32();
                par.type = c.u32();
                par.description = c.pascal();
                evenUp();
                par.flags = c.u16();
                ev.parameters.push_back(std::move(par));
            }
            suite.events.push_back(std::move(ev));
        }
        suite.classCount = c.u16();
        if (suite.classCount) throw FormatError("AETE: suite \"" + suite.name + "\" has classes, not decoded");
        suite.comparisonCount = c.u16();
        if (suite.comparisonCount)
            throw FormatError("AETE: suite \"" + suite.name + "\" has comparison operators, not decoded");
        suite.enumerationCount = c.u16();
        if (suite.enumerationCount)
            throw FormatError("AETE: suite \"" + suite.name + "\" has enumerations, not decoded");
        a.suites.push_back(std::move(suite));
    }
    a.bytesAfterLast = c.remaining();
    return a;
}

DialogTemplateEx decodeDialogEx(const std::vector<uint8_t>& data) {
    const ByteView view(data, "dialog template");
    Cursor c(view);
    DialogTemplateEx d;
    d.version = c.u16();
    d.signature = c.u16();
    if (d.version != 1 || d.signature != 0xFFFF) throw FormatError("dialog template: not an extended template");
    d.helpId = c.u32();
    d.exStyle = c.u32();
    d.style = c.u32();
    d.itemCount = c.u16();
    d.x = c.i16();
    d.y = c.i16();
    d.cx = c.i16();
    d.cy = c.i16();
    d.menu = c.szOrOrd();
    d.windowClass = c.szOrOrd();
    d.title = utf16ToUtf8(c.wideZ());
    const uint32_t DS_SETFONT = 0x40, DS_SHELLFONT = 0x48;
    if (d.style & DS_SETFONT || (d.style & DS_SHELLFONT) == DS_SHELLFONT) {
        d.hasFont = true;
        d.pointSize = c.u16();
        d.weight = c.u16();
        d.italic = c.u8();
        d.charset = c.u8();
        d.typeface = utf16ToUtf8(c.wideZ());
    }
    for (uint16_t i = 0; i < d.itemCount; ++i) {
        c.align(4);
        DialogItem item;
        item.helpId = c.u32();
        item.exStyle = c.u32();
        item.style = c.u32();
        item.x = c.i16();
        item.y = c.i16();
        item.cx = c.i16();
        item.cy = c.i16();
        item.id = c.u32();
        item.windowClass = c.szOrOrd();
        item.title = c.szOrOrd();
        const uint16_t extra = c.u16();
        item.creationData = c.bytes(extra);
        d.items.push_back(std::move(item));
    }
    d.bytesAfterLast = c.remaining();
    return d;
}

std::map<uint32_t, std::u16string> decodeStringBlock(uint16_t blockName, const std::vector<uint8_t>& data) {
    if (blockName == 0) throw FormatError("string table: block name 0");
    const ByteView view(data, "string block " + std::to_string(blockName));
    Cursor c(view);
    std::map<uint32_t, std::u16string> strings;
    for (uint32_t i = 0; i < 16; ++i) {
        const uint16_t n = c.u16();
        std::u16string s;
        for (uint16_t k = 0; k < n; ++k) s.push_back(char16_t(c.u16()));
        if (n) strings[(uint32_t(blockName) - 1) * 16 + i] = s;
    }
    return strings;
}

std::map<uint32_t, std::u16string> stringTable(const PeImage& image, uint16_t language) {
    std::map<uint32_t, std::u16string> all;
    for (const Resource& r : image.resources) {
        if (r.type.isName || r.type.ordinal != kResourceTypeString || r.language != language) continue;
        if (r.name.isName) throw FormatError("string table block with a name: " + r.name.describe());
        for (auto& entry : decodeStringBlock(r.name.ordinal, r.data)) all.insert(entry);
    }
    return all;
}

}  // namespace peres
