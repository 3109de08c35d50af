// pihost as a program: what it reports, its exit codes and its messages.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "refhost/convert.h"
#include "refhost/icc_profiles.h"
#include "refhost/image_io.h"
#include "refhost/memory_limit.h"

#if defined(REFHOST_PIHOST) && defined(REFHOST_TEST_MODULE)

namespace {

struct Outcome {
    int status;
    std::string output;  // standard output and standard error
};

Outcome pihost(const std::string& args, const std::string& prefix = std::string()) {
    const std::string command = prefix + "'" + REFHOST_PIHOST + "' " + args + " 2>&1";
    Outcome o{-1, std::string()};
    FILE* p = popen(command.c_str(), "r");
    if (!p) return o;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) o.output.append(buf, n);
    const int raw = pclose(p);
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return o;
}

const std::string kModule = std::string("'") + REFHOST_TEST_MODULE + "'";
// Halvane's module lies beside Glimra's.
const std::string kHalvane = [] {
    std::string m = REFHOST_TEST_MODULE;
    return "'" + m.substr(0, m.find_last_of('/') + 1) + "halvane.plugin.so'";
}();

TEST(Pihost, ReportsEverySelectorAndTheBalance) {
    const Outcome o = pihost(kModule + " --selectors --size 40x30");
    EXPECT_EQ(o.status, 0) << o.output;
    for (const char* line : {"selector 1 parameters: result 0", "selector 2 prepare: result 0", "  maxSpace ",
                             "selector 3 start: result 0", "selector 5 finish: result 0", "parameter block: ",
                             "brgH ", "handles: ", "buffers: 0 live", "leaks and faults: none"})
        EXPECT_NE(o.output.find(line), std::string::npos) << "missing \"" << line << "\" in\n" << o.output;
}

struct BadCall {
    const char* name;
    std::string args;
    const char* message;
};

class PihostBadCall : public ::testing::TestWithParam<BadCall> {};

TEST_P(PihostBadCall, ExitsWithTwoAndSaysWhy) {
    const Outcome o = pihost(GetParam().args);
    EXPECT_EQ(o.status, 2) << o.output;
    EXPECT_NE(o.output.find(GetParam().message), std::string::npos) << o.output;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PihostBadCall,
    ::testing::Values(BadCall{"noPlugin", "", "no plug-in given"},
                      BadCall{"missingModule", "/nonexistent/x.plugin.so", "cannot load plug-in /nonexistent/x.plugin.so"},
                      BadCall{"badDepth", kModule + " --depth 12", "--depth is 8, 16 or 32"},
                      BadCall{"badKey", kModule + " --set toolong=1", "does not have 4 characters"},
                      BadCall{"unknownOption", kModule + " --frobnicate", "unknown option --frobnicate"},
                      // The record's tile sizes are 16-bit: a larger one would wrap.
                      BadCall{"tileTooLarge", kModule + " --tile 40000x64", "each at most 32767"},
                      BadCall{"unreadableInput", kModule + " --in /nonexistent/in.png", "/nonexistent/in.png"},
                      BadCall{"unknownParameter", kModule + " --set Zzzz=1", "the plug-in has no parameter 'Zzzz'"},
                      BadCall{"extraArgument", kModule + " a.png b.png c.png", "unexpected argument 'c.png'"},
                      BadCall{"invertedRect", kModule + " --rect 50,50,10,10", "--rect 50,50,10,10 is empty or inverted"},
                      BadCall{"emptyRect", kModule + " --rect 5,5,5,20", "--rect 5,5,5,20 is empty or inverted"},
                      BadCall{"wideWithoutBigDocument", kModule + " --size 70000x30 --no-big-document",
                              "a 70000 x 30 image needs the big-document record"},
                      BadCall{"tallWithoutBigDocument", kModule + " --size 30x32768 --no-big-document",
                              "a 30 x 32768 image needs the big-document record"}),
    [](const ::testing::TestParamInfo<BadCall>& i) { return std::string(i.param.name); });

TEST(Pihost, AFailedRunDoesNotTouchTheOutputFile) {
    char dir[] = "/tmp/pihost-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string out = std::string(dir) + "/out.png";
    std::ofstream(out) << "keep me";
    // A CMYK image is refused by the plug-in.
    const Outcome o = pihost(kModule + " --mode cmyk --out '" + out + "'");
    EXPECT_EQ(o.status, 1) << o.output;
    EXPECT_NE(o.output.find("was not written"), std::string::npos) << o.output;
    std::ifstream f(out);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()), "keep me");
    std::system(("rm -rf '" + std::string(dir) + "'").c_str());
}

TEST(Pihost, FiltersAnImageFileNamedByPosition) {
    char dir[] = "/tmp/pihost-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string in = std::string(dir) + "/in.pgm", out = std::string(dir) + "/out.pgm";
    ASSERT_EQ(pihost("--convert '" + std::string(VEXLOR_SAMPLES_DIR) + "/camera.png' '" + in + "'").status, 0);
    const Outcome o = pihost(kModule + " '" + in + "' '" + out + "' --set Dbat=5000 --print-params");
    EXPECT_EQ(o.status, 0) << o.output;
    EXPECT_NE(o.output.find("Dbat 2550\n"), std::string::npos) << o.output;
    EXPECT_TRUE(std::ifstream(out).good());
    std::system(("rm -rf '" + std::string(dir) + "'").c_str());
}

// The sample photograph carries the HP sRGB profile that libpng reads with a
// warning as "known incorrect" and refuses to write unless told: the file's
// own profile goes back with the output, in RGB and through Lab.
TEST(Pihost, APhotographsOwnProfileGoesBackWithIt) {
    char dir[] = "/tmp/pihost-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string d(dir), in = std::string(VEXLOR_SAMPLES_DIR) + "/astronaut.png";
    refhost::FileColours original;
    refhost::readImage(in, refhost::kMaxImageBytes, &original);
    ASSERT_FALSE(original.iccProfile.empty());
    for (const char* mode : {"rgb", "lab"}) {
        const std::string out = d + "/out-" + mode + ".png";
        const Outcome o = pihost(kModule + " '" + in + "' '" + out + "' --mode " + mode);
        EXPECT_EQ(o.status, 0) << mode << ": " << o.output;
        refhost::FileColours written;
        refhost::readImage(out, refhost::kMaxImageBytes, &written);
        EXPECT_EQ(written.iccProfile, original.iccProfile) << mode;
    }
    std::system(("rm -rf '" + d + "'").c_str());
}

// An ordinary image filtered in Lab goes back the way it came: into the
// input's profile as a PNG, sRGB as a PPM, grey as a PGM, Lab as a TIFF.
TEST(Pihost, FiltersAnImageInLab) {
    char dir[] = "/tmp/pihost-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string d(dir);
    const std::vector<uint8_t> wide = refhost_test::wideGamutProfile();
    refhost::Document rgb(plugInModeRGBColor, 64, 64);
    rgb.fillPattern();
    refhost::writeImage(rgb, d + "/in.png", refhost::FileColours{plugInModeRGBColor, wide});
    ASSERT_EQ(pihost("--convert '" + std::string(VEXLOR_SAMPLES_DIR) + "/camera.png' '" + d + "/in.pgm'").status, 0);
    struct Run {
        const char *in, *out, *extra;
        int16 mode;
        bool profile;
    };
    for (const Run& r : {Run{"in.png", "out.png", "", plugInModeRGBColor, true},
                         Run{"in.png", "out.ppm", "", plugInModeRGBColor, false},
                         Run{"in.png", "out.tif", " --depth 16", plugInModeLab48, false},
                         Run{"in.pgm", "out.pgm", "", plugInModeGrayScale, false}}) {
        SCOPED_TRACE(r.out);
        const Outcome o = pihost(kModule + " '" + d + "/" + r.in + "' '" + d + "/" + r.out + "' --mode lab" + r.extra);
        EXPECT_EQ(o.status, 0) << o.output;
        EXPECT_NE(o.output.find(r.extra[0] ? "document: Lab48, 64 x 64" : "document: Lab, "), std::string::npos)
            << o.output;
        refhost::FileColours colours;
        EXPECT_EQ(refhost::readImage(d + "/" + r.out, refhost::kMaxImageBytes, &colours).imageMode(), r.mode);
        EXPECT_EQ(colours.iccProfile == wide, r.profile);
    }
    // Below the filter rectangle the image comes back through a 16-bit Lab
    // document as it went in, in the input's colours.
    const Outcome kept =
        pihost(kModule + " '" + d + "/in.png' '" + d + "/kept.png' --mode lab --depth 16 --rect 0,0,32,64");
    EXPECT_EQ(kept.status, 0) << kept.output;
    const refhost::Document back =
        refhost::convertDocument(refhost::readImage(d + "/kept.png"), plugInModeRGBColor, 8);
    int worst = 0;
    for (int32 y = 32; y < rgb.height(); ++y)
        for (int32 x = 0; x < rgb.width(); ++x)
            for (int16 p = 0; p < 3; ++p) worst = std::max(worst, int(std::abs(back.get(x, y, p) - rgb.get(x, y, p))));
    EXPECT_LE(worst, 1);
    // A profile that cannot take Lab back is refused before the run, when
    // the output needs it.
    refhost::writeImage(rgb, d + "/one-way.png", refhost::FileColours{plugInModeRGBColor, refhost_test::inputOnlyProfile()});
    Outcome o = pihost(kModule + " '" + d + "/one-way.png' '" + d + "/one-way-out.png' --mode lab");
    EXPECT_EQ(o.status, 2) << o.output;
    EXPECT_NE(o.output.find("does not go into the file's colours"), std::string::npos) << o.output;
    EXPECT_EQ(o.output.find("selector"), std::string::npos) << o.output;
    EXPECT_FALSE(std::ifstream(d + "/one-way-out.png").good());
    o = pihost(kModule + " '" + d + "/one-way.png' '" + d + "/one-way-out.tif' --mode lab");
    EXPECT_EQ(o.status, 0) << o.output;
    std::system(("rm -rf '" + d + "'").c_str());
}

TEST(Pihost, TheCheckingHostGivesTheSameOutput) {
    char dir[] = "/tmp/pihost-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string d(dir), in = d + "/in.ppm";
    ASSERT_EQ(pihost("--convert '" + std::string(VEXLOR_SAMPLES_DIR) + "/astronaut.png' '" + in + "'").status, 0);
    for (const char* extra : {"", " --check"}) {
        const Outcome o = pihost(kModule + " '" + in + "' '" + d + "/out" + (*extra ? "-check" : "") + ".ppm'" + extra);
        EXPECT_EQ(o.status, 0) << o.output;
    }
    std::ifstream a(d + "/out.ppm", std::ios::binary), b(d + "/out-check.ppm", std::ios::binary);
    const std::string tool((std::istreambuf_iterator<char>(a)), std::istreambuf_iterator<char>());
    const std::string checked((std::istreambuf_iterator<char>(b)), std::istreambuf_iterator<char>());
    EXPECT_FALSE(tool.empty());
    EXPECT_TRUE(tool == checked) << "pihost --check wrote another image";
    std::system(("rm -rf '" + d + "'").c_str());
}

// A --set value of the wrong type fails the plug-in's whole scripting read.
struct WrongType {
    const char* name;
    const char* setting;
    const char* message;
};

class PihostWrongType : public ::testing::TestWithParam<WrongType> {};

TEST_P(PihostWrongType, IsReportedAndNothingIsWritten) {
    char dir[] = "/tmp/pihost-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string out = std::string(dir) + "/out.png";
    const std::string run = kModule + " --out '" + out + "' --set brgH=12 --set " + GetParam().setting;
    const Outcome o = pihost(run);
    EXPECT_EQ(o.status, 1) << o.output;
    EXPECT_NE(o.output.find(GetParam().message), std::string::npos) << o.output;
    EXPECT_FALSE(std::ifstream(out).good()) << "written after a failed scripting read";
    const Outcome going = pihost(run + " --keep-going");
    EXPECT_EQ(going.status, 0) << going.output;
    EXPECT_NE(going.output.find(GetParam().message), std::string::npos) << going.output;
    EXPECT_TRUE(std::ifstream(out).good());
    std::system(("rm -rf '" + std::string(dir) + "'").c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Keys, PihostWrongType,
    ::testing::Values(WrongType{"numberForFlag", "Blah=1", "--set Blah=1: the plug-in reads Blah as true or false, not a number"},
                      WrongType{"flagForNumber", "Dbam=true", "--set Dbam=true: the plug-in reads Dbam as a number, not true or false"}),
    [](const ::testing::TestParamInfo<WrongType>& i) { return std::string(i.param.name); });

TEST(Pihost, SaysWhichSettingsTheRunDidNotEndWith) {
    const Outcome o = pihost(kModule + " --set brgH=60 --set Dbam=nan --set Dbat=12");
    EXPECT_EQ(o.status, 0) << o.output;
    EXPECT_NE(o.output.find("the run did not end with --set brgH=60: brgH is "), std::string::npos) << o.output;
    EXPECT_NE(o.output.find("(automatic profiling is on, Blah true, and sets it from the image)"), std::string::npos)
        << o.output;
    EXPECT_NE(o.output.find("the run did not end with --set Dbam=nan: Dbam is 4 (the plug-in takes finite numbers only)"),
              std::string::npos)
        << o.output;
    EXPECT_EQ(o.output.find("--set Dbat=12"), std::string::npos) << "a value the run ended with is no news\n" << o.output;
}

// Halvane's detail mixes beyond the dialog's 0 .. 1 act as their end of it.
TEST(Pihost, HalvanesMixesOutsideTheirRangeActAsTheirEnds) {
    char dir[] = "/tmp/pihost-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    auto filtered = [&](const std::string& gcoe, const std::string& bcoe) {
        const std::string out = std::string(dir) + "/" + gcoe + "_" + bcoe + ".ppm";
        const Outcome o = pihost(kHalvane + " --size 80x60 --out '" + out + "' --set Gcoe=" + gcoe + " --set Bcoe=" + bcoe);
        EXPECT_EQ(o.status, 0) << o.output;
        std::ifstream f(out, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    };
    const std::string top = filtered("1", "1"), bottom = filtered("0", "0");
    ASSERT_FALSE(top.empty());
    EXPECT_NE(top, bottom);
    for (const char* big : {"1e6", "4294967296", "1e308"}) EXPECT_EQ(filtered(big, big), top) << big;
    EXPECT_EQ(filtered("-1e308", "-1e308"), bottom);
    std::system(("rm -rf '" + std::string(dir) + "'").c_str());
}

// Tiny host tiles: Halvane filters in megatiles of at least 256 pixels, not
// in hundreds of pieces of little more than their apron.
TEST(Pihost, TinyHostTilesMakeFewMegatiles) {
    const Outcome o = pihost(kHalvane + " --size 600x400 --tile 7x7");
    EXPECT_EQ(o.status, 0) << o.output;
    const size_t at = o.output.find("advance states: ");
    ASSERT_NE(at, std::string::npos) << o.output;
    EXPECT_LE(std::atoi(o.output.c_str() + at + 16), 20) << o.output;
}

// Both plug-ins under an address-space limit: the host's procedures answer
// out-of-memory, the plug-in reports it, nothing throws through it.
class PihostShortOfMemory : public ::testing::TestWithParam<int> {};

TEST_P(PihostShortOfMemory, EndsWithTheInterfacesOutOfMemoryAnswer) {
    if (!refhost_test::kCanLimitMemory) GTEST_SKIP() << "no address-space limit under the sanitizers";
    for (const std::string& module : {kModule, kHalvane}) {
        const Outcome o = pihost(module + " --size 3000x2500",
                                 refhost_test::memoryLimitPrefix(int64_t(GetParam()) << 20));
        EXPECT_EQ(o.status, 1) << module << "\n" << o.output;
        EXPECT_EQ(o.output.find("bad_alloc"), std::string::npos) << module << "\n" << o.output;
        EXPECT_EQ(o.output.find("exception"), std::string::npos) << module << "\n" << o.output;
        EXPECT_TRUE(o.output.find("-108") != std::string::npos ||
                    o.output.find("Not enough memory to run this plugin.") != std::string::npos)
            << module << "\n" << o.output;
    }
}

// Limits below what either pass needs: Glimra's, without a strength map,
// fits in about 115 MB.
INSTANTIATE_TEST_SUITE_P(Megabytes, PihostShortOfMemory, ::testing::Values(60, 80, 100));

}  // namespace

#endif
