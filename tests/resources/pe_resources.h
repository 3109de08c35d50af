// A small reader of the resource section of a Windows PE file (DLL), written
// for the tests from the file format alone, so that it shares nothing with
// the resource compiler that produced the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace peres {

// Malformed or truncated input; the message says what and where.
struct FormatError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

enum class ByteOrder { Little, Big };

// Bounds-checked access to a byte range, little-endian unless told otherwise.
class ByteView {
public:
    ByteView(const uint8_t* data, std::size_t size, std::string what, ByteOrder order = ByteOrder::Little)
        : data_(data), size_(size), what_(std::move(what)), order_(order) {}
    explicit ByteView(const std::vector<uint8_t>& v, std::string what = "data", ByteOrder order = ByteOrder::Little)
        : ByteView(v.data(), v.size(), std::move(what), order) {}

    std::size_t size() const { return size_; }
    const uint8_t* data() const { return data_; }
    void require(std::size_t offset, std::size_t count) const;
    uint8_t u8(std::size_t offset) const;
    uint16_t u16(std::size_t offset) const;
    uint32_t u32(std::size_t offset) const;
    std::vector<uint8_t> bytes(std::size_t offset, std::size_t count) const;
    const std::string& what() const { return what_; }

private:
    const uint8_t* data_;
    std::size_t size_;
    std::string what_;
    ByteOrder order_;
};

// A resource type or name: an ordinal or a string.
struct ResourceId {
    bool isName = false;
    uint16_t ordinal = 0;
    std::string name;  // UTF-8

    static ResourceId of(uint16_t ordinal);
    static ResourceId of(const char* name);
    // Names compare without regard to ASCII case, as the loader looks them up.
    bool matches(const ResourceId& other) const;
    std::string describe() const;
};

struct Resource {
    ResourceId type;
    ResourceId name;
    uint16_t language = 0;
    uint32_t codePage = 0;
    std::vector<uint8_t> data;
};

enum : uint16_t { kMachineI386 = 0x014C, kMachineAmd64 = 0x8664 };
enum : uint16_t { kResourceTypeString = 6, kResourceTypeManifest = 24, kResourceTypeDialog = 5 };

struct PeImage {
    uint16_t machine = 0;
    bool pe32plus = false;
    uint16_t characteristics = 0;
    std::vector<Resource> resources;  // in directory order
    std::vector<std::string> exportNames;
};

PeImage parsePe(const std::vector<uint8_t>& file);
PeImage loadPe(const std::string& path);

// Null when absent.
const Resource* findResource(const PeImage& image, const ResourceId& type, const ResourceId& name,
                             uint16_t language);

std::string utf16ToUtf8(const std::u16string& s);

}  // namespace peres
