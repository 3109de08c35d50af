#include "tests/resources/modules.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#ifndef VEXLOR_RESOURCE_MODULES_X86_64
#define VEXLOR_RESOURCE_MODULES_X86_64 ""
#endif
#ifndef VEXLOR_RESOURCE_MODULES_I686
#define VEXLOR_RESOURCE_MODULES_I686 ""
#endif
#ifndef VEXLOR_SOURCE_DIR
#error "VEXLOR_SOURCE_DIR must name the source tree"
#endif

namespace restest {

const std::vector<Module>& allModules() {
    static const std::vector<Module> modules = {
        {"halvane", Arch::X86_64}, {"halvane", Arch::I686}, {"glimra", Arch::X86_64}, {"glimra", Arch::I686}};
    return modules;
}

std::string archName(Arch arch) { return arch == Arch::X86_64 ? "x86_64" : "i686"; }

uint16_t machineOf(Arch arch) { return arch == Arch::X86_64 ? peres::kMachineAmd64 : peres::kMachineI386; }

std::string moduleName(const Module& m) { return std::string(m.product) + "_" + archName(m.arch); }

std::string modulePath(const Module& m, std::string* why) {
    const char* variable = m.arch == Arch::X86_64 ? "VEXLOR_WIN_MODULES_X86_64" : "VEXLOR_WIN_MODULES_I686";
    std::string dir;
    if (const char* env = std::getenv(variable); env && *env) {
        dir = env;
    } else {
        dir = m.arch == Arch::X86_64 ? VEXLOR_RESOURCE_MODULES_X86_64 : VEXLOR_RESOURCE_MODULES_I686;
        if (dir.empty()) {
            *why = "no " + archName(m.arch) + " modules: the " + archName(m.arch) +
                   "-w64-mingw32 compiler and windres were not found when the tests were configured, and " + variable +
                   " is not set to a folder holding halvane.8bf and glimra.8bf";
            return "";
        }
    }
    // A folder that is named but lacks the module fails the test on loading.
    return dir + "/" + m.product + ".8bf";
}

const peres::PeImage& loadModule(const std::string& path) {
    static std::map<std::string, std::unique_ptr<peres::PeImage>> cache;
    auto& slot = cache[path];
    if (!slot) slot = std::make_unique<peres::PeImage>(peres::loadPe(path));
    return *slot;
}

const char* const kEnableExpression =
    "in (PSHOP_ImageMode, RGBMode, RGB48Mode, RGB96Mode, GrayScaleMode, Gray16Mode, Gray32Mode, LabMode) "
    "||PSHOP_ImageDepth == 16 ||PSHOP_ImageDepth == 32";

namespace {

const std::vector<const char*> kValueKeys = {"brgH", "conT", "bAdj", "satU", "lumC", "Rcoe", "Gcoe", "Bcoe",
                                             "Dbai", "Dbaj", "Dbak", "Dbal", "Dbam", "Dban", "Dbao", "Dbap",
                                             "Dbaq", "Dbar", "Dbas", "Dbat", "Dbau", "Dbav", "Dbaw", "Dbax"};
const std::vector<const char*> kGlimraFlagKeys = {"ignS", "Blab", "Blac", "Blad", "Blae", "Blaf", "Blag", "Blah"};
const std::vector<const char*> kHalvaneFlagKeys = {"ignS", "Blab", "Blac", "Blad", "Blae",
                                                   "Blaf", "Blag", "Blah", "Blai"};

const Product kHalvane = {
    "Halvane",
    "halvane",
    "Noise reduction plug-in",
    false,
    "PowerPC",
    {
        {"Overall noise level", "brgH", "doub", "Overall noise level"},
        {"Highlights noise level", "conT", "doub", "Highlights noise level"},
        {"Very fine noise level", "bAdj", "doub", "Very fine noise level"},
        {"Fine noise level", "satU", "doub", "Fine noise level"},
        {"Broad noise level", "lumC", "doub", "Broad noise level"},
        {"Very broad noise level", "Rcoe", "doub", "Very broad noise level"},
        {"Mix in original B&W detail", "Gcoe", "doub", "Mix in original B&W detail"},
        {"Mix in original color detail", "Bcoe", "doub", "Mix in original color detail"},
        {"Very fine detail NR", "Dbai", "doub", "Very fine detail NR"},
        {"Fine detail NR", "Dbaj", "doub", "Fine detail NR"},
        {"Broad detail NR", "Dbak", "doub", "Broad detail NR"},
        {"Very broad detail NR", "Dbal", "doub", "Very broad detail NR"},
        {"Sharpening (B&W detail)", "Dbam", "doub", "Sharpening (B&W detail)"},
        {"Sharpening (Color detail)", "Dbat", "doub", "Sharpening (Color detail)"},
        {"Very fine sharpening", "Dban", "doub", "Very fine sharpening"},
        {"Fine sharpening", "Dbao", "doub", "Fine sharpening"},
        {"Broad sharpening", "Dbap", "doub", "Broad sharpening"},
        {"Very broad sharpening", "Dbaq", "doub", "Very broad sharpening"},
        {"Highlight protect threshold", "Dbar", "doub", "Highlight protect threshold"},
        {"Highlight protect feather", "Dbas", "doub", "Highlight protect feather"},
        {"Edge Smoothing", "Dbau", "doub", "Edge Smoothing"},
        {"digital auto-profiling", "Blad", "bool", "Automatically profile digital images"},
        {"film auto-profiling", "Blae", "bool", "Automatically profile scanned film images"},
        {"automatic profiling even if GUI does not load", "Blah", "bool", "Automatically profile images"},
        {"cleaner smooth areas", "Blai", "bool", "Cleaner smooth areas"},
    },
    kValueKeys,
    kHalvaneFlagKeys,
};

const Product kGlimra = {
    "Glimra",
    "glimra",
    "Glimra plug-in",
    true,
    "Intel",
    {
        {"Overall noise level", "brgH", "doub", "Overall noise level"},
        {"Highlights noise level", "conT", "doub", "Highlights noise level"},
        {"Low threshold", "Dbam", "doub", "Low threshold"},
        {"High threshold", "Dbat", "doub", "High threshold"},
        {"digital auto-profiling", "Blad", "bool", "Automatically profile digital images"},
        {"film auto-profiling", "Blae", "bool", "Automatically profile scanned film images"},
        {"automatic profiling even if GUI does not load", "Blah", "bool", "Automatically profile images"},
    },
    kValueKeys,
    kGlimraFlagKeys,
};

}  // namespace

const Product& productOf(const Module& m) { return std::string(m.product) == "halvane" ? kHalvane : kGlimra; }

std::string productSourceString(const Product& p, const char* name) {
    std::ifstream in(std::string(VEXLOR_SOURCE_DIR) + "/" + p.file + "/" + p.file + "_product.cpp");
    std::stringstream text;
    text << in.rdbuf();
    // The first `name = "..."`, blanks allowed around the '='.
    const std::string source = text.str();
    const std::string id = name;
    for (std::size_t at = source.find(id); at != std::string::npos; at = source.find(id, at + 1)) {
        if (at > 0 && (std::isalnum(static_cast<unsigned char>(source[at - 1])) || source[at - 1] == '_')) continue;
        std::size_t i = at + id.size();
        while (i < source.size() && std::isspace(static_cast<unsigned char>(source[i]))) ++i;
        if (i >= source.size() || source[i] != '=') continue;
        ++i;
        while (i < source.size() && std::isspace(static_cast<unsigned char>(source[i]))) ++i;
        if (i >= source.size() || source[i] != '"') continue;
        const std::size_t end = source.find('"', i + 1);
        if (end == std::string::npos) return "";
        return source.substr(i + 1, end - i - 1);
    }
    return "";
}

void expectTerminologyOf(const Product& p, const peres::Aete& aete) {
    using peres::fourCCText;
    EXPECT_EQ(aete.majorVersion, 1);
    EXPECT_EQ(aete.minorVersion, 0);
    EXPECT_EQ(aete.language, 0);
    EXPECT_EQ(aete.script, 0);
    EXPECT_EQ(aete.bytesAfterLast, 0u);
    ASSERT_EQ(aete.suites.size(), 1u);
    const peres::AeteSuite& suite = aete.suites[0];
    EXPECT_EQ(suite.name, "Vexlor");
    EXPECT_EQ(suite.description, "Noise reduction plug-in");
    EXPECT_EQ(fourCCText(suite.id), "'mdc1'");
    EXPECT_EQ(suite.level, 1);
    EXPECT_EQ(suite.version, 1);
    ASSERT_EQ(suite.events.size(), 1u);
    const peres::AeteEvent& ev = suite.events[0];
    EXPECT_EQ(ev.name, productSourceString(p, "kProductTitle"));
    EXPECT_EQ(ev.description, p.eventDescription);
    EXPECT_EQ(fourCCText(ev.eventClass), "'mdc1'");
    EXPECT_EQ(fourCCText(ev.id), "'mdc1'");
    EXPECT_EQ(fourCCText(ev.replyType), "'null'");
    EXPECT_EQ(ev.replyDescription, "");
    EXPECT_EQ(ev.replyFlags, 0);
    EXPECT_EQ(fourCCText(ev.directType), "'#ImR'");
    EXPECT_EQ(ev.directDescription, "");
    EXPECT_EQ(ev.directFlags, 0xB000);
    const auto& params = ev.parameters;
    ASSERT_EQ(params.size(), p.terminology.size());
    for (std::size_t i = 0; i < params.size(); ++i) {
        const ExpectedParameter& expected = p.terminology[i];
        SCOPED_TRACE("parameter " + std::to_string(i) + " \"" + expected.name + "\"");
        EXPECT_EQ(params[i].name, expected.name);
        EXPECT_EQ(fourCCText(params[i].key), std::string("'") + expected.key + "'");
        EXPECT_EQ(fourCCText(params[i].type), std::string("'") + expected.type + "'");
        EXPECT_EQ(params[i].description, expected.description);
        EXPECT_EQ(params[i].flags, 0);
    }
}

}  // namespace restest
