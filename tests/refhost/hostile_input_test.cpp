// Hostile input: files that declare far more than they hold, host
// procedures asked for more memory than there is, and a pass whose finish
// fails.  Each runs under a memory limit, so a regression fails fast.
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "refhost/image_io.h"
#include "refhost/refhost.h"
#include "refhost/memory_limit.h"
#include "refhost/scratch_dir.h"

namespace {

using refhost::Document;
using refhost_test::passesWithMemoryLimit;

const int64_t kLimit = int64_t(256) << 20;

using TempDir = refhost_test::ScratchDir;

// ---------------------------------------------------------------------------
// Files whose headers declare more than they hold.

std::string be32(uint32_t v) {
    return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

std::string pngChunk(const std::string& type, const std::string& data) {
    const std::string body = type + data;
    return be32(uint32_t(data.size())) + body +
           be32(uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
}

// An 8-bit grey PNG of the given size whose only data is a few deflated rows.
std::string tinyPng(uint32_t width, uint32_t height) {
    std::string ihdr = be32(width) + be32(height) + std::string{8, 0, 0, 0, 0};
    std::vector<Bytef> rows(64, 0), packed(128);
    uLongf n = packed.size();
    compress(packed.data(), &n, rows.data(), uLong(rows.size()));
    return "\x89PNG\r\n\x1a\n" + pngChunk("IHDR", ihdr) +
           pngChunk("IDAT", std::string(reinterpret_cast<const char*>(packed.data()), n)) + pngChunk("IEND", "");
}

struct TiffTag {
    uint16_t id, type;  // type 3 SHORT, 4 LONG
    uint32_t value;
};

std::string le16(uint16_t v) { return std::string{char(v), char(v >> 8)}; }
std::string le32(uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }

// A little-endian TIFF with one directory of single-valued tags and 16 data
// bytes after it (where the strip or tile offsets point).
std::string tinyTiff(std::vector<TiffTag> tags) {
    const uint32_t dataOffset = 8 + 2 + 12 * uint32_t(tags.size()) + 4;
    std::string out = "II" + le16(42) + le32(8) + le16(uint16_t(tags.size()));
    for (TiffTag& t : tags) {
        if (t.value == 0xFFFFFFFF) t.value = dataOffset;  // an offset
        out += le16(t.id) + le16(t.type) + le32(1) + (t.type == 3 ? le16(uint16_t(t.value)) + le16(0) : le32(t.value));
    }
    return out + le32(0) + std::string(16, '\0');
}

std::string tiledTiff(uint32_t width, uint32_t height, uint32_t tile, uint16_t compression) {
    return tinyTiff({{256, 4, width}, {257, 4, height}, {258, 3, 8}, {259, 3, compression}, {262, 3, 2},
                     {277, 3, 3}, {284, 3, 1}, {322, 4, tile}, {323, 4, tile}, {324, 4, 0xFFFFFFFF},
                     {325, 4, 16}});
}

std::string strippedTiff(uint32_t width, uint32_t height, uint16_t compression) {
    return tinyTiff({{256, 4, width}, {257, 4, height}, {258, 3, 8}, {259, 3, compression}, {262, 3, 1},
                     {273, 4, 0xFFFFFFFF}, {277, 3, 1}, {278, 4, height}, {279, 4, 16}});
}

struct HostileFile {
    const char* name;
    std::function<std::string()> bytes;
    const char* message;
};

class HostileFiles : public TempDir, public ::testing::WithParamInterface<HostileFile> {};

TEST_P(HostileFiles, AreRefusedBeforeAnythingIsAllocated) {
    const std::string file = put(GetParam().name, GetParam().bytes());
    const std::string expected = std::string("'") + file + "': " + GetParam().message;
    EXPECT_TRUE(passesWithMemoryLimit(kLimit, [&] {
        try {
            refhost::readImage(file);
        } catch (const refhost::ImageIoError& e) {
            if (std::string(e.what()).find(expected) == 0) return true;
            std::fprintf(stderr, "message: %s\nwanted:  %s...\n", e.what(), expected.c_str());
        }
        return false;
    })) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Declarations, HostileFiles,
    ::testing::Values(
        HostileFile{"wide.pgm", [] { return std::string("P5\n2147483647 2\n255\n"); },
                    "PGM file ends after 0 of its 4294967294 sample bytes"},
        HostileFile{"square.pgm", [] { return std::string("P5\n65536 65536\n255\n"); },
                    "PGM file ends after 0 of its 4294967296 sample bytes"},
        HostileFile{"square.ppm", [] { return std::string("P6\n30000 30000\n65535\n") + std::string(100, '\0'); },
                    "PPM file ends after 100 of its 5400000000 sample bytes"},
        HostileFile{"square.png", [] { return tinyPng(65536, 65536); }, "PNG of 65536 x 65536 pixels needs"},
        HostileFile{"tall.png", [] { return tinyPng(1, 1000000); }, "PNG of 1 x 1000000 pixels needs"},
        HostileFile{"hugeTiles.tif", [] { return tiledTiff(4, 4, 65536, 1); },
                    "TIFF tile of 65536 x 65536 pixels needs 12884901888 bytes of file data"},
        HostileFile{"hugeDeflatedTiles.tif", [] { return tiledTiff(16, 16, 65536, 8); },
                    "TIFF tile of 65536 x 65536 pixels needs"},
        HostileFile{"hugeImage.tif", [] { return strippedTiff(65536, 65536, 1); },
                    "TIFF of 65536 x 65536 pixels needs 4294967296 bytes of file data"},
        HostileFile{"hugeLzwImage.tif", [] { return strippedTiff(65536, 65536, 5); },
                    "TIFF of 65536 x 65536 pixels needs"}),
    [](const ::testing::TestParamInfo<HostileFile>& i) {
        std::string n = i.param.name;
        return n.substr(0, n.find('.')) + "_" + n.substr(n.find('.') + 1);
    });

TEST_F(TempDir, AnImageBeyondTheBudgetIsRefusedWithTheLimit) {
    Document doc(plugInModeGrayScale, 20, 10);
    doc.fillPattern();
    for (const char* name : {"img.pgm", "img.png", "img.tif"}) {
        refhost::writeImage(doc, path(name));
        EXPECT_NO_THROW(refhost::readImage(path(name), 200));
        try {
            refhost::readImage(path(name), 199);
            ADD_FAILURE() << name << " read beyond its budget";
        } catch (const refhost::ImageIoError& e) {
            EXPECT_NE(std::string(e.what()).find("needs 200 bytes, more than the limit of 199 bytes"),
                      std::string::npos)
                << e.what();
        }
    }
}

// ---------------------------------------------------------------------------
// Host procedures asked for more memory than there is answer as a host does.

TEST(HostProcedures, AnswerOutOfMemoryInsteadOfThrowing) {
    if (!refhost_test::kCanLimitMemory) GTEST_SKIP() << "no address-space limit under the sanitizers";
    EXPECT_TRUE(passesWithMemoryLimit(kLimit, [] {
        refhost::Host host(Document(plugInModeRGBColor, 8, 8));
        FilterRecord& r = host.record();
        const int32 huge = 0x7FFFFF00;
        BufferID id = reinterpret_cast<BufferID>(&r);
        Handle small = r.handleProcs->newProc(16);
        const bool handleRefused = r.handleProcs->newProc(huge) == nullptr;
        const bool resizeRefused = r.handleProcs->setSizeProc(small, huge) == memFullErr;
        const bool bufferRefused = r.bufferProcs->allocateProc(huge, &id) == memFullErr && id == nullptr;
        r.handleProcs->disposeProc(small);
        return handleRefused && resizeRefused && bufferRefused;
    }));
}

// ---------------------------------------------------------------------------
// Output files.

TEST_F(TempDir, AReplacedFileKeepsItsModeAndALinkIsWrittenThrough) {
    Document doc(plugInModeGrayScale, 4, 3);
    doc.fillPattern();
    const std::string real = put("real.pgm", "old");
    ASSERT_EQ(chmod(real.c_str(), 0600), 0);
    ASSERT_EQ(symlink("real.pgm", path("link.pgm").c_str()), 0);
    refhost::writeImage(doc, path("link.pgm"));
    struct stat st;
    ASSERT_EQ(lstat(path("link.pgm").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link became a plain file";
    ASSERT_EQ(stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_TRUE(refhost::readImage(real) == doc);
}

}  // namespace
