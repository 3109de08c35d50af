// The registry file: every line it cannot read exactly is refused with its
// place and reason, what it writes reads back bit for bit, and a write that
// cannot be read back or cannot be finished leaves the old file.
#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "refhost/registry_file.h"
#include "refhost/scratch_dir.h"

namespace {

using refhost::DescriptorEntry;
using refhost::keyFromName;
using refhost::parseRegistry;
using refhost::Registry;
using refhost::RegistryFileError;

// Line 3 of every case is the line under test: a comment and an entry come
// before it, so that the place counts every line of the file.
const std::string kBefore = "# remembered by pihost\nG\tbrgH doub 40\n";

struct BadLine {
    const char* name;
    std::string line;
    const char* reason;
};

class RegistryBadLine : public ::testing::TestWithParam<BadLine> {};

TEST_P(RegistryBadLine, IsRefusedWithItsPlaceAndReason) {
    try {
        parseRegistry(kBefore + GetParam().line + "\nG\tconT doub 0.2\n", "reg.txt");
        FAIL() << "read without complaint: " << GetParam().line;
    } catch (const RegistryFileError& e) {
        EXPECT_EQ(std::string(e.what()), std::string("reg.txt:3: ") + GetParam().reason);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, RegistryBadLine,
    ::testing::Values(
        BadLine{"boolWord", "G\tBlah bool yes", "'yes' is not a flag (bool: 0, 1, true or false)"},
        BadLine{"boolTwo", "G\tBlah bool 2", "'2' is not a flag (bool: 0, 1, true or false)"},
        BadLine{"boolCapital", "G\tBlah bool True", "'True' is not a flag (bool: 0, 1, true or false)"},
        BadLine{"doubWord", "G\tconT doub abc", "'abc' is not a finite number (doub)"},
        BadLine{"doubTrailing", "G\tconT doub 1.5x", "'1.5x' is not a finite number (doub)"},
        BadLine{"doubTrailingBlank", "G\tconT doub 1.5 ", "'1.5 ' is not a finite number (doub)"},
        BadLine{"doubLeadingBlank", "G\tconT doub  1.5", "' 1.5' is not a finite number (doub)"},
        BadLine{"doubNan", "G\tconT doub nan", "'nan' is not a finite number (doub)"},
        BadLine{"doubInfinity", "G\tconT doub -inf", "'-inf' is not a finite number (doub)"},
        BadLine{"doubOverflow", "G\tconT doub 1e999", "'1e999' is not a finite number (doub)"},
        BadLine{"longTooLarge", "G\tZmsz long 99999999999",
                "'99999999999' is not a whole number from -2147483648 to 2147483647 (long)"},
        BadLine{"longJustTooLarge", "G\tZmsz long 2147483648",
                "'2147483648' is not a whole number from -2147483648 to 2147483647 (long)"},
        BadLine{"longJustTooSmall", "G\tZmsz long -2147483649",
                "'-2147483649' is not a whole number from -2147483648 to 2147483647 (long)"},
        BadLine{"longFraction", "G\tZmsz long 1.5", "'1.5' is not a whole number from -2147483648 to 2147483647 (long)"},
        BadLine{"longPlus", "G\tZmsz long +3", "'+3' is not a whole number from -2147483648 to 2147483647 (long)"},
        BadLine{"longHex", "G\tZmsz long 0x10", "'0x10' is not a whole number from -2147483648 to 2147483647 (long)"},
        BadLine{"unknownType", "G\tconT dobl 1", "unknown type 'dobl' (doub, long or bool)"},
        BadLine{"typeInCapitals", "G\tconT DOUB 1", "unknown type 'DOUB' (doub, long or bool)"},
        BadLine{"noValue", "G\tconT doub", "no value after the type doub"},
        BadLine{"emptyValue", "G\tconT doub ", "no value after the type doub"},
        BadLine{"noType", "G\tconT", "no type and value after the key 'conT'"},
        BadLine{"shortKey", "G\tcon doub 1", "the key 'con' is not four characters"},
        BadLine{"longKey", "G\tconTx doub 1", "the key 'conTx' is not four characters"},
        BadLine{"emptyKey", "G\t doub 1", "the key '' is not four characters"},
        BadLine{"unprintableKey", "G\tco\x01T doub 1", "the key co\\x01T holds a byte that is not a printable character"},
        BadLine{"noTab", "G brgH doub 40", "no tab: an entry is ID, tab, KEY TYPE VALUE"},
        BadLine{"noId", "\tbrgH doub 40", "no ID before the tab"},
        BadLine{"nulByte", std::string("G\tbrgH doub 4\0", 14) + "0", "a NUL byte in the line"},
        BadLine{"givenTwice", "G\tbrgH doub 41", "the key brgH of G is given again (first on line 2)"}),
    [](const ::testing::TestParamInfo<BadLine>& i) { return std::string(i.param.name); });

TEST(RegistryFile, ReadsEveryFormOfAValueItAccepts) {
    const Registry r = parseRegistry(
        "G\tBlah bool true\nG\tBlam bool false\nG\tBlan bool 1\nG\tBlao bool 0\n"
        "G\tZmin long -2147483648\nG\tZmax long 2147483647\n"
        "G\tsmal doub 1e-320\nG\tnegz doub -0\nG\thexa doub 0x1.8p1\nG\tab c doub 2\n",
        "reg.txt");
    ASSERT_EQ(r.count("G"), 1u);
    const refhost::Descriptor expected{
        DescriptorEntry::Boolean(keyFromName("Blah"), true),  DescriptorEntry::Boolean(keyFromName("Blam"), false),
        DescriptorEntry::Boolean(keyFromName("Blan"), true),  DescriptorEntry::Boolean(keyFromName("Blao"), false),
        DescriptorEntry::Integer(keyFromName("Zmin"), -2147483647 - 1),
        DescriptorEntry::Integer(keyFromName("Zmax"), 2147483647),
        DescriptorEntry::Float(keyFromName("smal"), 1e-320), DescriptorEntry::Float(keyFromName("negz"), -0.0),
        DescriptorEntry::Float(keyFromName("hexa"), 3.0),    DescriptorEntry::Float(keyFromName("ab c"), 2.0)};
    EXPECT_EQ(r.at("G"), expected);
}

// Empty lines, lines of blanks and comments are skipped wherever they are,
// and a line may end as on Windows.
TEST(RegistryFile, SkipsEmptyLinesAndCommentsAndTakesWindowsLineEnds) {
    const Registry r =
        parseRegistry("\n# a comment\n   \n\t\nG\tbrgH doub 40\r\n\r\n#G\tconT doub 1\nH\tZmsz long 3", "reg.txt");
    EXPECT_EQ(r, (Registry{{"G", {DescriptorEntry::Float(keyFromName("brgH"), 40)}},
                           {"H", {DescriptorEntry::Integer(keyFromName("Zmsz"), 3)}}}));
    EXPECT_TRUE(parseRegistry("", "reg.txt").empty());
}

using RegistryFiles = refhost_test::ScratchDir;

// Every double that a value can hold comes back with the same bits.
TEST_F(RegistryFiles, ReadsBackWhatItWroteBitForBit) {
    const Registry r{
        {"3f9c2a64-8d1b-4e7a-b5c3-6a0e9d2f4b71",
         {DescriptorEntry::Float(keyFromName("brgH"), 0.1), DescriptorEntry::Float(keyFromName("conT"), 1.0 / 3),
          DescriptorEntry::Float(keyFromName("negz"), -0.0),
          DescriptorEntry::Float(keyFromName("tiny"), std::numeric_limits<double>::denorm_min()),
          DescriptorEntry::Float(keyFromName("huge"), std::numeric_limits<double>::max()),
          DescriptorEntry::Integer(keyFromName("Zmin"), std::numeric_limits<int32>::min()),
          DescriptorEntry::Integer(keyFromName("Zmax"), std::numeric_limits<int32>::max()),
          DescriptorEntry::Boolean(keyFromName("Blah"), true), DescriptorEntry::Boolean(keyFromName("ab c"), false)}},
        {"a registry ID with blanks", {DescriptorEntry::Float(keyFromName("brgH"), -7.25)}}};
    refhost::writeRegistryFile(r, path("reg.txt"));
    EXPECT_EQ(refhost::readRegistryFile(path("reg.txt")), r);
}

TEST_F(RegistryFiles, AMissingFileIsAnEmptyRegistryAndAnUnreadableOneIsRefused) {
    EXPECT_TRUE(refhost::readRegistryFile(path("none.txt")).empty());
    // A folder in its place cannot be read: refused, not taken for a first run
    // whose write would then replace it.
    ASSERT_EQ(mkdir(path("folder.txt").c_str(), 0755), 0);
    EXPECT_THROW(refhost::readRegistryFile(path("folder.txt")), RegistryFileError);
}

TEST_F(RegistryFiles, AWriteKeepsTheOldFilesPermissionsAndWritesThroughALink) {
    refhost::writeRegistryFile(Registry{{"G", {DescriptorEntry::Float(keyFromName("brgH"), 1)}}}, path("reg.txt"));
    ASSERT_EQ(chmod(path("reg.txt").c_str(), 0604), 0);
    ASSERT_EQ(symlink("reg.txt", path("link.txt").c_str()), 0);
    const Registry next{{"G", {DescriptorEntry::Float(keyFromName("brgH"), 2)}}};
    refhost::writeRegistryFile(next, path("link.txt"));
    struct stat st, link;
    ASSERT_EQ(stat(path("reg.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
    ASSERT_EQ(lstat(path("link.txt").c_str(), &link), 0);
    EXPECT_TRUE(S_ISLNK(link.st_mode));
    EXPECT_EQ(refhost::readRegistryFile(path("reg.txt")), next);
}

// An entry that could not be read back is not written: the old file and
// nothing else stays.
struct Unwritable {
    const char* name;
    std::string id;
    DescriptorEntry entry;
    const char* reason;
};

class RegistryUnwritable : public RegistryFiles, public ::testing::WithParamInterface<Unwritable> {};

TEST_P(RegistryUnwritable, LeavesTheOldFile) {
    const std::string old = "G\tbrgH doub 40\n";
    put("reg.txt", old);
    const Registry r{{"G", {DescriptorEntry::Float(keyFromName("brgH"), 41)}}, {GetParam().id, {GetParam().entry}}};
    try {
        refhost::writeRegistryFile(r, path("reg.txt"));
        FAIL() << "written";
    } catch (const RegistryFileError& e) {
        EXPECT_EQ(std::string(e.what()), "cannot write the registry " + path("reg.txt") + ": " + GetParam().reason);
    }
    EXPECT_EQ(slurp(path("reg.txt")), old);
    EXPECT_EQ(std::system(("test \"$(ls -A '" + dir_ + "')\" = reg.txt").c_str()), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, RegistryUnwritable,
    ::testing::Values(
        Unwritable{"notANumber", "H", DescriptorEntry::Float(keyFromName("conT"), std::nan("")),
                   "conT of H is not a finite number"},
        Unwritable{"infinite", "H", DescriptorEntry::Float(keyFromName("conT"), HUGE_VAL),
                   "conT of H is not a finite number"},
        Unwritable{"unprintableKey", "H", DescriptorEntry::Integer(0x41420143, 1),
                   "the key AB\\x01C of H is not four printable characters"},
        Unwritable{"commentId", "#H", DescriptorEntry::Integer(keyFromName("Zmsz"), 1),
                   "the ID '#H' is empty, begins with # or holds a tab or a line break"},
        Unwritable{"tabInId", "H\tI", DescriptorEntry::Integer(keyFromName("Zmsz"), 1),
                   "the ID 'H\tI' is empty, begins with # or holds a tab or a line break"},
        Unwritable{"emptyId", "", DescriptorEntry::Integer(keyFromName("Zmsz"), 1),
                   "the ID '' is empty, begins with # or holds a tab or a line break"}),
    [](const ::testing::TestParamInfo<Unwritable>& i) { return std::string(i.param.name); });

}  // namespace
