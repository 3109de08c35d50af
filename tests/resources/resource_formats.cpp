#include "tests/resources/resource_formats.h"

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
    void alignDword() {
        const std::size_t to = (pos_ + 3) & ~std::size_t(3);
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

Pipl decodePipl(const std::vector<uint8_t>& data) {
    const ByteView view(data, "PiPL");
    Cursor c(view);
    Pipl p;
    p.format = c.u16();
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

Aete decodeAete(const std::vector<uint8_t>& data) {
    const ByteView view(data, "AETE");
    Cursor c(view);
    Aete a;
    a.windowsForm = c.u16();
    a.majorVersion = c.u8();
    a.minorVersion = c.u8();
    a.language = c.u16();
    a.script = c.u16();
    const uint16_t suites = c.u16();
    for (uint16_t s = 0; s < suites; ++s) {
        AeteSuite suite;
        suite.name = c.pascal();
        suite.description = c.pascal();
        suite.id = c.u32();
        suite.level = c.u16();
        suite.version = c.u16();
        const uint16_t events = c.u16();
        for (uint16_t e = 0; e < events; ++e) {
            AeteEvent ev;
            ev.name = c.pascal();
            ev.description = c.pascal();
            ev.eventClass = c.u32();
            ev.id = c.u32();
            ev.replyType = c.u32();
            ev.replyDescription = c.pascal();
            ev.replyFlags = c.u16();
            ev.directType = c.u32();
            ev.directDescription = c.pascal();
            ev.directFlags = c.u16();
            const uint16_t params = c.u16();
            for (uint16_t k = 0; k < params; ++k) {
                AeteParameter par;
                par.name = c.pascal();
                par.key = c.u32();
                par.type = c.u32();
                par.description = c.pascal();
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
        c.alignDword();
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
