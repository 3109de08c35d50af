#include "tests/resources/pe_resources.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

namespace peres {

namespace {

std::string hex(uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(v));
    return buf;
}

struct Section {
    uint32_t virtualAddress;
    uint32_t virtualSize;
    uint32_t rawSize;
    uint32_t rawOffset;
};

class Reader {
public:
    explicit Reader(const std::vector<uint8_t>& file) : file_(file, "PE file") {}

    PeImage parse() {
        PeImage image;
        if (file_.size() < 0x40 || file_.u16(0) != 0x5A4D) throw FormatError("not a PE file: no MZ header");
        const uint32_t pe = file_.u32(0x3C);
        if (file_.u32(pe) != 0x00004550) throw FormatError("not a PE file: no PE signature at " + hex(pe));
        const std::size_t coff = std::size_t(pe) + 4;
        image.machine = file_.u16(coff);
        const uint16_t sectionCount = file_.u16(coff + 2);
        const uint16_t optionalSize = file_.u16(coff + 16);
        image.characteristics = file_.u16(coff + 18);
        const std::size_t optional = coff + 20;
        const uint16_t magic = file_.u16(optional);
        std::size_t dirCountAt, dirsAt;
        if (magic == 0x10B) {
            dirCountAt = optional + 92;
            dirsAt = optional + 96;
        } else if (magic == 0x20B) {
            image.pe32plus = true;
            dirCountAt = optional + 108;
            dirsAt = optional + 112;
        } else {
            throw FormatError("unknown optional header magic " + hex(magic));
        }
        if (dirsAt > optional + optionalSize) throw FormatError("optional header too small");
        const uint32_t dirCount = file_.u32(dirCountAt);
        const std::size_t sections = optional + optionalSize;
        for (uint16_t i = 0; i < sectionCount; ++i) {
            const std::size_t s = sections + std::size_t(i) * 40;
            sections_.push_back({file_.u32(s + 12), file_.u32(s + 8), file_.u32(s + 16), file_.u32(s + 20)});
        }
        if (dirCount >= 1 && dirsAt + 8 <= optional + optionalSize) readExports(image, dirsAt);
        if (dirCount <= 2) return image;  // no resource directory entry
        if (dirsAt + 3 * 8 > optional + optionalSize) throw FormatError("resource directory entry outside the optional header");
        base_ = file_.u32(dirsAt + 2 * 8);
        const uint32_t size = file_.u32(dirsAt + 2 * 8 + 4);
        if (base_ == 0 || size == 0) return image;
        const std::size_t offset = fileOffset(base_, size);
        rsrc_ = ByteView(file_.data() + offset, size, "resource section");
        walk(image);
        return image;
    }

private:
    // The file offset of an RVA range, which must lie in one section's raw data.
    std::size_t fileOffset(uint32_t rva, uint32_t length) const {
        for (const Section& s : sections_) {
            const uint64_t start = s.virtualAddress;
            if (rva < start) continue;
            const uint64_t into = rva - start;
            if (into + length > s.rawSize) continue;
            const uint64_t offset = uint64_t(s.rawOffset) + into;
            file_.require(std::size_t(offset), length);
            return std::size_t(offset);
        }
        throw FormatError("RVA range " + hex(rva) + "+" + hex(length) + " is in no section's data");
    }

    // A zero-terminated text at an RVA, within one section's raw data.
    std::string cString(uint32_t rva) const {
        for (const Section& s : sections_) {
            if (rva < s.virtualAddress || rva - s.virtualAddress >= s.rawSize) continue;
            const std::size_t start = fileOffset(rva, 1);
            const std::size_t limit = std::size_t(s.rawOffset) + s.rawSize;
            std::string text;
            for (std::size_t i = start;; ++i) {
                if (i >= limit) throw FormatError("export name at " + hex(rva) + " runs past its section");
                const uint8_t c = file_.u8(i);
                if (!c) return text;
                text.push_back(char(c));
            }
        }
        throw FormatError("export name at " + hex(rva) + " is in no section's data");
    }

    void readExports(PeImage& image, std::size_t dirsAt) const {
        const uint32_t rva = file_.u32(dirsAt), size = file_.u32(dirsAt + 4);
        if (rva == 0 || size == 0) return;
        const ByteView dir(file_.data() + fileOffset(rva, 40), 40, "export directory");
        const uint32_t names = dir.u32(24), nameTable = dir.u32(32);
        if (names == 0) return;
        if (names > 0x10000) throw FormatError("export directory claims " + std::to_string(names) + " names");
        const ByteView table(file_.data() + fileOffset(nameTable, names * 4), std::size_t(names) * 4, "export names");
        for (uint32_t i = 0; i < names; ++i) image.exportNames.push_back(cString(table.u32(std::size_t(i) * 4)));
    }

    ResourceId entryId(uint32_t nameField) const {
        if (!(nameField & 0x80000000u)) {
            if (nameField > 0xFFFF) throw FormatError("resource ordinal " + hex(nameField) + " out of range");
            return ResourceId::of(uint16_t(nameField));
        }
        const std::size_t at = nameField & 0x7FFFFFFFu;
        const uint16_t length = rsrc_.u16(at);
        std::u16string s;
        for (uint16_t i = 0; i < length; ++i) s.push_back(char16_t(rsrc_.u16(at + 2 + 2 * std::size_t(i))));
        ResourceId id;
        id.isName = true;
        id.name = utf16ToUtf8(s);
        return id;
    }

    struct Entry {
        ResourceId id;
        uint32_t target;
        bool isDirectory;
    };

    std::vector<Entry> directory(uint32_t at) {
        if (!visited_.insert(at).second) throw FormatError("resource directory at " + hex(at) + " is reached twice");
        const std::size_t count = std::size_t(rsrc_.u16(at + 12)) + rsrc_.u16(at + 14);
        rsrc_.require(at + 16, count * 8);
        std::vector<Entry> entries;
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t e = at + 16 + i * 8;
            const uint32_t target = rsrc_.u32(e + 4);
            entries.push_back({entryId(rsrc_.u32(e)), target & 0x7FFFFFFFu, (target & 0x80000000u) != 0});
        }
        return entries;
    }

    void walk(PeImage& image) {
        for (const Entry& type : directory(0)) {
            if (!type.isDirectory) throw FormatError("type entry " + type.id.describe() + " is not a directory");
            for (const Entry& name : directory(type.target)) {
                if (!name.isDirectory) throw FormatError("name entry " + name.id.describe() + " is not a directory");
                for (const Entry& lang : directory(name.target)) {
                    if (lang.isDirectory || lang.id.isName)
                        throw FormatError("language entry of " + name.id.describe() + " is not a data entry");
                    Resource r;
                    r.type = type.id;
                    r.name = name.id;
                    r.language = lang.id.ordinal;
                    const uint32_t rva = rsrc_.u32(lang.target);
                    const uint32_t size = rsrc_.u32(lang.target + 4);
                    r.codePage = rsrc_.u32(lang.target + 8);
                    const std::size_t offset = fileOffset(rva, size);
                    r.data.assign(file_.data() + offset, file_.data() + offset + size);
                    image.resources.push_back(std::move(r));
                }
            }
        }
    }

    ByteView file_;
    ByteView rsrc_{nullptr, 0, "resource section"};
    std::vector<Section> sections_;
    uint32_t base_ = 0;
    std::set<uint32_t> visited_;
};

}  // namespace

void ByteView::require(std::size_t offset, std::size_t count) const {
    if (offset > size_ || count > size_ - offset)
        throw FormatError(what_ + ": " + std::to_string(count) + " bytes at " + hex(offset) + " run past its end (" +
                          std::to_string(size_) + " bytes)");
}

uint8_t ByteView::u8(std::size_t offset) const {
    require(offset, 1);
    return data_[offset];
}

uint16_t ByteView::u16(std::size_t offset) const {
    require(offset, 2);
    if (order_ == ByteOrder::Big) return uint16_t((data_[offset] << 8) | data_[offset + 1]);
    return uint16_t(data_[offset] | (data_[offset + 1] << 8));
}

uint32_t ByteView::u32(std::size_t offset) const {
    require(offset, 4);
    if (order_ == ByteOrder::Big) return (uint32_t(u16(offset)) << 16) | u16(offset + 2);
    return uint32_t(data_[offset]) | (uint32_t(data_[offset + 1]) << 8) | (uint32_t(data_[offset + 2]) << 16) |
           (uint32_t(data_[offset + 3]) << 24);
}

std::vector<uint8_t> ByteView::bytes(std::size_t offset, std::size_t count) const {
    require(offset, count);
    return std::vector<uint8_t>(data_ + offset, data_ + offset + count);
}

ResourceId ResourceId::of(uint16_t ordinal) {
    ResourceId id;
    id.ordinal = ordinal;
    return id;
}

ResourceId ResourceId::of(const char* name) {
    ResourceId id;
    id.isName = true;
    id.name = name;
    return id;
}

bool ResourceId::matches(const ResourceId& other) const {
    if (isName != other.isName) return false;
    if (!isName) return ordinal == other.ordinal;
    if (name.size() != other.name.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(name[i])) != std::toupper(static_cast<unsigned char>(other.name[i])))
            return false;
    return true;
}

std::string ResourceId::describe() const { return isName ? "\"" + name + "\"" : std::to_string(ordinal); }

PeImage parsePe(const std::vector<uint8_t>& file) { return Reader(file).parse(); }

PeImage loadPe(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw FormatError("cannot open " + path);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    try {
        return parsePe(bytes);
    } catch (const FormatError& e) {
        throw FormatError(path + ": " + e.what());
    }
}

const Resource* findResource(const PeImage& image, const ResourceId& type, const ResourceId& name, uint16_t language) {
    for (const Resource& r : image.resources)
        if (r.type.matches(type) && r.name.matches(name) && r.language == language) return &r;
    return nullptr;
}

std::string utf16ToUtf8(const std::u16string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        if (c < 0x80) {
            out.push_back(char(c));
        } else if (c < 0x800) {
            out.push_back(char(0xC0 | (c >> 6)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(char(0xE0 | (c >> 12)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else {
            out.push_back(char(0xF0 | (c >> 18)));
            out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

}  // namespace peres
