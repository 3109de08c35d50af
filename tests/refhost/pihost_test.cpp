// pihost as a program: what it reports, its exit codes and its messages.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "refhost/image_io.h"

#if defined(REFHOST_PIHOST) && defined(REFHOST_TEST_MODULE)

namespace {

struct Outcome {
    int status;
    std::string output;  // standard output and standard error
};

Outcome pihost(const std::string& args) {
    const std::string command = std::string("'") + REFHOST_PIHOST + "' " + args + " 2>&1";
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
                      BadCall{"unreadableInput", kModule + " --in /nonexistent/in.png", "/nonexistent/in.png"},
                      BadCall{"unknownParameter", kModule + " --set Zzzz=1", "the plug-in has no parameter 'Zzzz'"},
                      BadCall{"extraArgument", kModule + " a.png b.png c.png", "unexpected argument 'c.png'"}),
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

}  // namespace

#endif
