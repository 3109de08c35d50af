// Settings files: the product's defaults byte for byte, values whose bytes
// look like line ends, a table of bad files that must change nothing, and
// saves that fail at every step without harming the file already there.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "engine/product.h"
#include "entry/settings_file.h"
#include "persistence/persistence_support.h"
#include "persistence/settings_files_support.h"
#include "support/product_under_test.h"

namespace {

using persistence_test::BoundHost;
using persistence_test::distinctBlock;
using persistence_test::sameBlock;
using settings_test::put;
using settings_test::slurp;

std::string golden(const std::string& product) {
    return slurp(std::string(VEXLOR_TEST_DATA_DIR) + "/settings_golden/" + product + "-defaults." +
                 (product == "halvane" ? "hlv" : "glm"));
}

std::string ourProduct() { return productIsHalvane() ? "halvane" : "glimra"; }
std::string otherProduct() { return productIsHalvane() ? "glimra" : "halvane"; }

ParamBlock blockOf(const std::vector<double>& values, const std::vector<uint8>& flags) {
    ParamBlock p;
    for (int i = 0; i < kParamValueCount; ++i) p.values[i] = values[size_t(i)];
    for (int j = 0; j < kParamFlagCount; ++j) p.flags[j] = flags[size_t(j)];
    return p;
}

double fromBits(uint64_t bits) {
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

// The product's defaults as built: profiling tests that run earlier in the
// same program make their results the defaults of a later reset.
const ParamBlock kBuiltDefaults = [] {
    ParamBlock p;
    p.flags = BooleanDefault;
    p.values = DefaultGUI;
    return p;
}();

class SettingsFiles : public ::testing::Test {
protected:
    void SetUp() override {
        bound.block = kBuiltDefaults;
        ASSERT_FALSE(folder.dir().empty());
    }
    std::string path(const std::string& name) const { return folder.path(name); }
    std::vector<std::string> filesIn() const { return folder.files(); }

    BoundHost bound{refhost::Document(plugInModeRGBColor, 8, 8)};
    settings_test::TempFolder folder;
};

TEST_F(SettingsFiles, DefaultsAreTheGoldenFileByteForByte) {
    const std::string expected = golden(ourProduct());
    ASSERT_EQ(expected.size(), productIsHalvane() ? 233u : 232u);
    ASSERT_TRUE(writeParamsToFile(makeParamStructure(), path("defaults"), kSettingsMagic));
    EXPECT_EQ(slurp(path("defaults")), expected);

    const ParamBlock defaults = bound.block;
    bound.block = distinctBlock();
    put(path("golden"), expected);
    EXPECT_TRUE(loadParamsFromFile(makeParamStructure(), path("golden"), kSettingsMagic));
    EXPECT_TRUE(sameBlock(bound.block, defaults));
    EXPECT_TRUE(bound.host.alerts().empty());
}

// Doubles whose bytes hold line feeds, carriage returns and the old end-of-file
// byte, next to ordinary and extreme values: a text-mode stream on any
// platform would change them.
TEST_F(SettingsFiles, EveryValueAndFlagComesBackBitForBit) {
    std::vector<double> values = {
        fromBits(0x0A0D1A0A0D1A0A0Dull), fromBits(0x3FF00D0A1A0D0A1Aull), fromBits(0x400A0A0A0A0A0A0Aull),
        fromBits(0x401A1A1A1A1A1A1Aull), fromBits(0x0D0D0D0D0D0D0D0Dull), -0.0, 0.2, -1e300, 1e-310,
        std::numeric_limits<double>::max(), std::numeric_limits<double>::denorm_min(), 255};
    while (values.size() < size_t(kParamValueCount)) values.push_back(values.size() * -0.375);
    bound.block = blockOf(values, {1, 0, 1, 1, 0, 0, 1, 0, 1});
    const ParamBlock written = bound.block;
    ASSERT_TRUE(writeParamsToFile(makeParamStructure(), path("tricky"), kSettingsMagic));
    const std::string bytes = slurp(path("tricky"));
    EXPECT_EQ(bytes.size(), std::strlen(kSettingsMagic) + 221);
    EXPECT_NE(bytes.find('\x1A'), std::string::npos);

    bound.block = distinctBlock();
    ASSERT_TRUE(loadParamsFromFile(makeParamStructure(), path("tricky"), kSettingsMagic));
    EXPECT_TRUE(sameBlock(bound.block, written));
}

TEST_F(SettingsFiles, TheTwoBytesAfterTheValuesAndTheLastLineEndAreNotRead) {
    std::string bytes = golden(ourProduct());
    const size_t afterValues = std::strlen(kSettingsMagic) + 208;
    bytes[afterValues] = 'x';
    bytes[afterValues + 1] = 'y';
    for (std::string file : {bytes, bytes.substr(0, bytes.size() - 1), bytes.substr(0, bytes.size() - 2)}) {
        bound.block = distinctBlock();
        put(path("loose"), file);
        EXPECT_TRUE(loadParamsFromFile(makeParamStructure(), path("loose"), kSettingsMagic)) << file.size();
        EXPECT_EQ(bound.block.values[19], kBuiltDefaults.values[19]);
    }
}

// The reader's step over a line end: two bytes, whatever they hold.
TEST(SettingsLineEnds, ReadEOLStepsOverTwoBytesWhateverTheyHold) {
    const unsigned char bytes[][3] = {{0x0D, 0x0D, 'a'}, {'x', 'y', 'b'}, {0x00, 0xFF, 'c'}, {0x0A, 0x1A, 'd'}};
    for (const auto& b : bytes) {
        const unsigned char* p = b;
        EXPECT_TRUE(readEOL(p));
        EXPECT_EQ(p, b + 2);
        EXPECT_EQ(*p, b[2]);
    }
}

// One bad file: its bytes, and the alert the reader shows for it.
struct BadFile {
    std::string name;
    std::string bytes;
    bool notValidAlert;
};

std::vector<BadFile> badFiles() {
    std::vector<BadFile> files;
    const std::string good = golden(ourProduct());
    const size_t m = std::strlen(kSettingsMagic);
    // Every cut short of what the reader needs (it never reads the last line end).
    for (size_t n = 0; n < settingsBytesNeeded(kSettingsMagic); ++n)
        files.push_back({"cut to " + std::to_string(n) + " bytes", good.substr(0, n), n < m});
    std::string wrong = good;
    wrong[3] ^= 0x20;
    files.push_back({"wrong magic", wrong, true});
    files.push_back({"the other product's file", golden(otherProduct()), true});
    struct Poison {
        const char* name;
        uint64_t bits;
    };
    for (Poison p : {Poison{"NaN", 0x7FF8000000000000ull}, Poison{"plus infinity", 0x7FF0000000000000ull},
                     Poison{"minus infinity", 0xFFF0000000000000ull}, Poison{"signalling NaN", 0x7FF0000000000001ull}}) {
        for (size_t index : {size_t(0), size_t(25)}) {
            std::string bytes = good;
            for (int k = 0; k < 8; ++k) bytes[m + 8 * index + k] = char((p.bits >> (56 - 8 * k)) & 0xFF);
            files.push_back({std::string(p.name) + " as value " + std::to_string(index), bytes, true});
        }
    }
    for (int flagByte : {2, 255}) {
        for (size_t index : {size_t(0), size_t(8)}) {
            std::string bytes = good;
            bytes[m + 210 + index] = char(flagByte);
            files.push_back({"flag " + std::to_string(index) + " holds " + std::to_string(flagByte), bytes, true});
        }
    }
    return files;
}

class BadSettingsFiles : public SettingsFiles, public ::testing::WithParamInterface<BadFile> {};

TEST_P(BadSettingsFiles, ChangeNothingAndSayWhy) {
    const BadFile& f = GetParam();
    bound.block = distinctBlock();
    const ParamBlock before = bound.block;
    put(path("bad"), f.bytes);
    EXPECT_FALSE(loadParamsFromFile(makeParamStructure(), path("bad"), kSettingsMagic));
    EXPECT_TRUE(sameBlock(bound.block, before)) << "the parameters changed";
    std::vector<std::string> expected;
    if (f.notValidAlert) expected.push_back("Not a valid settings file.  No settings or parameters will be loaded.");
    EXPECT_EQ(bound.host.alerts(), expected);
}

INSTANTIATE_TEST_SUITE_P(Table, BadSettingsFiles, ::testing::ValuesIn(badFiles()),
                         [](const ::testing::TestParamInfo<BadFile>& info) {
                             std::string n = info.param.name;
                             for (char& c : n)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return n;
                         });

TEST_F(SettingsFiles, AFileThatCannotBeOpenedChangesNothingAndShowsNothing) {
    const ParamBlock before = bound.block;
    EXPECT_FALSE(loadParamsFromFile(makeParamStructure(), path("missing"), kSettingsMagic));
    EXPECT_TRUE(sameBlock(bound.block, before));
    EXPECT_TRUE(bound.host.alerts().empty());
}

// Saves that fail.  CI runs as root, so permission bits prove nothing: the
// steps fail through the file operations' seam, or through a file-size limit.
enum class FailAt { create, write, close, replace };

struct FailingOps {
    static FailAt at;
    static SettingsFileOps real;
    static void* create(const std::string& t, std::string& temp) {
        return at == FailAt::create ? nullptr : real.createBeside(t, temp);
    }
    static bool write(void* f, const void* b, size_t n) {
        // Half the bytes reach the file before the disk is full.
        if (at == FailAt::write) return real.write(f, b, n / 2) && false;
        return real.write(f, b, n);
    }
    static bool close(void* f) { return real.close(f) && at != FailAt::close; }
    static bool replace(const std::string& temp, const std::string& t) {
        return at != FailAt::replace && real.replace(temp, t);
    }
};
FailAt FailingOps::at = FailAt::create;
SettingsFileOps FailingOps::real;

class FailingSaves : public SettingsFiles, public ::testing::WithParamInterface<FailAt> {
protected:
    void SetUp() override {
        SettingsFiles::SetUp();
        FailingOps::real = gSettingsFileOps;
        FailingOps::at = GetParam();
        gSettingsFileOps = {FailingOps::create, FailingOps::write, FailingOps::close, FailingOps::replace,
                            FailingOps::real.remove};
    }
    void TearDown() override {
        gSettingsFileOps = FailingOps::real;
        SettingsFiles::TearDown();
    }
};

TEST_P(FailingSaves, KeepTheOldFileAndLeaveNoTemporary) {
    put(path("kept.set"), "the old settings");
    bound.block = distinctBlock();
    EXPECT_FALSE(writeParamsToFile(makeParamStructure(), path("kept.set"), kSettingsMagic));
    EXPECT_EQ(slurp(path("kept.set")), "the old settings");
    EXPECT_EQ(filesIn(), std::vector<std::string>{"kept.set"});
    EXPECT_TRUE(bound.host.alerts().empty()) << "the Mac writer shows nothing; its caller does";
}

std::string stepName(const ::testing::TestParamInfo<FailAt>& info) {
    const char* names[] = {"create", "write", "close", "replace"};
    return names[int(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Steps, FailingSaves,
                         ::testing::Values(FailAt::create, FailAt::write, FailAt::close, FailAt::replace), stepName);

// A real write that fails: the file-size limit stops the new file short,
// the way a full disk does.
TEST_F(SettingsFiles, AWriteStoppedByTheFileSizeLimitKeepsTheOldFile) {
    put(path("kept.set"), golden(ourProduct()));
    bound.block = distinctBlock();
    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    void (*oldHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = writeParamsToFile(makeParamStructure(), path("kept.set"), kSettingsMagic);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(saved);
    EXPECT_EQ(slurp(path("kept.set")), golden(ourProduct()));
    EXPECT_EQ(filesIn(), std::vector<std::string>{"kept.set"});
}

TEST_F(SettingsFiles, ReadOnlyFoldersAndMissingFoldersAreRefused) {
    put(path("locked.set"), "locked");
    ASSERT_EQ(chmod(path("locked.set").c_str(), 0444), 0);
    ASSERT_EQ(mkdir(path("folder.set").c_str(), 0755), 0);
    for (const char* name : {"locked.set", "folder.set", "no-such-folder/new.set"})
        EXPECT_FALSE(writeParamsToFile(makeParamStructure(), path(name), kSettingsMagic)) << name;
    EXPECT_EQ(slurp(path("locked.set")), "locked");
    EXPECT_EQ(filesIn().size(), 2u);
}

TEST_F(SettingsFiles, ASaveOverAnOldFileKeepsItsPermissions) {
    put(path("shared.set"), "old");
    ASSERT_EQ(chmod(path("shared.set").c_str(), 0640), 0);
    ASSERT_TRUE(writeParamsToFile(makeParamStructure(), path("shared.set"), kSettingsMagic));
    struct stat st;
    ASSERT_EQ(stat(path("shared.set").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(slurp(path("shared.set")), golden(ourProduct()));
}

}  // namespace

namespace {

// The Windows file dialogs' filter: the product's files first, then all
// files; pairs of texts, the last followed by a second zero byte.
TEST(SettingsFileDialogs, TheFilterListsTheProductsFilesThenAllFiles) {
    const std::string expected = productIsHalvane()
                                     ? std::string("Halvane Files (*.hlv)\0*.hlv\0All Files (*.*)\0*.*\0\0", 49)
                                     : std::string("Glimra Files (*.glm)\0*.glm\0All Files (*.*)\0*.*\0\0", 48);
    EXPECT_EQ(std::string(kSettingsFileFilter, kSettingsFileFilterSize), expected);
    EXPECT_EQ(kSettingsFileType, productIsHalvane() ? FourCC("HLV ") : FourCC("GLM "));
}

}  // namespace
