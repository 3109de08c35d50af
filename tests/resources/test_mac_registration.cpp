// The registration as its sources give it: the Mac bundles' Rez sources and
// the Windows modules' resource scripts, each read by a reader of its own,
// carry the content of the product tables; and each product's Mac bundle as
// the build lays it out.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/resources/modules.h"
#include "tests/resources/rc_reader.h"
#include "tests/resources/rez_reader.h"

#ifndef VEXLOR_BUNDLE_DIR
#error "VEXLOR_BUNDLE_DIR must name the folder the build lays the Mac bundles out in"
#endif
#ifndef VEXLOR_PLUGIN_DIR
#error "VEXLOR_PLUGIN_DIR must name the folder of the built modules"
#endif

using namespace peres;
using namespace restest;

namespace {

const std::string kSourceDir = VEXLOR_SOURCE_DIR;

std::string hex2(unsigned byte) {
    char buf[4];
    std::snprintf(buf, sizeof buf, "%02X", byte & 0xFFu);
    return buf;
}
std::string quoted(const std::string& s) { return "\"" + s + "\""; }

// --- The two readers, on fixtures worked out by hand --------------------------

struct RezCase {
    const char* what;
    const char* source;
    const char* bytes;  // hexadecimal; empty where the source is refused
    const char* refusal = "";
};

std::string hexOf(const std::vector<uint8_t>& data) {
    std::string s;
    for (uint8_t b : data) s += hex2(b);
    return s;
}

void PrintTo(const RezCase& c, std::ostream* os) { *os << c.what; }

class RezFixture : public ::testing::TestWithParam<RezCase> {};

TEST_P(RezFixture, LaysOutOrRefusesAsRez) {
    const RezCase& c = GetParam();
    if (*c.refusal) {
        try {
            rez::readText(c.source, "fixture.r", kSourceDir + "/resources/mac");
            ADD_FAILURE() << "read without a fault";
        } catch (const rez::ScriptError& e) {
            EXPECT_NE(std::string(e.what()).find(c.refusal), std::string::npos) << e.what();
        }
        return;
    }
    const auto resources = rez::readText(c.source, "fixture.r", kSourceDir + "/resources/mac");
    ASSERT_EQ(resources.size(), 1u);
    EXPECT_EQ(resources[0].type, "TEST");
    EXPECT_EQ(resources[0].id, 128);
    EXPECT_EQ(hexOf(resources[0].data), c.bytes);
}

const RezCase kRezCases[] = {
    {"numbers big-endian and bit by bit",
     "type 'TEST' { byte; integer; longint; boolean; fill bit[7]; unsigned hex integer; };\n"
     "resource 'TEST' (128) { -1, 258, 'abcd', 1, 0xB000 };",
     "FF01026162636480B000"},
    {"strings, joined quotes, escapes, alignment from the start",
     "type 'TEST' { pstring; cstring; align long; pstring; align word; byte; };\n"
     "resource 'TEST' (128) { \"ab\" \"c\", \"x\\0x41\\$42\", \"\", 7 };",
     "0361626378414200000007"},
    {"a counted array, a fixed one, named values",
     "type 'TEST' { integer = $$CountOf(items); array items { byte; }; array [2] { byte seven = 7; }; };\n"
     "resource 'TEST' (128) { { 1; 2; 3 }, { seven, 8 } };",
     "00030102030708"},
    {"cases by key, lengths from labels within array elements",
     "type 'TEST' { array list { switch {\n"
     "  case Short: key byte = 1; byte = (e[$$ArrayIndex(list)] - s[$$ArrayIndex(list)]) / 8;\n"
     "    s: pstring; e: align word;\n"
     "  case Long: key byte = 2; longint; }; }; };\n"
     "resource 'TEST' (128) { { Short { \"ab\" }, Long { 5 }, Short { \"\" } } };",
     "0103026162000200000005010100"},
    {"macros replace tokens, #ifdef chooses",
     "#define TWO 2\n#define SUM TWO + TWO\n#ifdef SUM\ntype 'TEST' { byte; };\n#else\n#endif\n"
     "resource 'TEST' (128) { SUM * 2 };",
     "06"},
    {"no include from elsewhere", "#include <Types.r>\n", "", "a quoted file name"},
    {"no type but those declared", "resource 'PiPL' (128) { {} };", "", "no type 'PiPL' is declared"},
    {"a value too large", "type 'TEST' { byte; };\nresource 'TEST' (128) { 128 };", "", "does not fit"},
    {"a field without its value", "type 'TEST' { byte; byte; };\nresource 'TEST' (128) { 1 };", "", "no value given"},
    {"a value without its field", "type 'TEST' { byte; };\nresource 'TEST' (128) { 1, 2 };", "", "more values"},
    {"an unknown name", "type 'TEST' { byte one = 1; };\nresource 'TEST' (128) { two };", "", "an unknown name"},
    {"an unknown case", "type 'TEST' { switch { case A: key byte = 1; }; };\nresource 'TEST' (128) { B {} };", "",
     "no case B"},
    {"a macro with parameters", "#define F(x) x\n", "", "parameters"},
    {"#if", "#if 1\n#endif\n", "", "#if is not read here"},
};

INSTANTIATE_TEST_SUITE_P(Cases, RezFixture, ::testing::ValuesIn(kRezCases), [](const auto& info) {
    std::string name;
    for (const char* c = info.param.what; *c; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    return name;
});

// What the compiler's preprocessor defines for each Windows target.
std::vector<std::string> predefinedFor(Arch arch) {
    return {"RC_INVOKED", arch == Arch::X86_64 ? "__x86_64__" : "__i386__"};
}

std::vector<rcscript::Resource> readScript(const char* product, Arch arch) {
    return rcscript::readUserResources(kSourceDir + "/resources/" + product + ".rc", {kSourceDir},
                                       predefinedFor(arch));
}

// The script reader against the compiler: every user-defined resource it
// reads is byte for byte the one in the module built from the same script.
class ScriptAgainstModule : public ::testing::TestWithParam<Module> {};

TEST_P(ScriptAgainstModule, ReadsWhatTheResourceCompilerBuilt) {
    std::string why;
    const std::string path = modulePath(GetParam(), &why);
    if (path.empty()) GTEST_SKIP() << why;
    const PeImage& image = loadModule(path);
    const auto resources = readScript(GetParam().product, GetParam().arch);
    EXPECT_EQ(resources.size(), 3u) << "the property list, the terminology and the manifest";
    for (const rcscript::Resource& r : resources) {
        SCOPED_TRACE(r.type.describe() + "/" + r.name.describe());
        const Resource* built = findResource(image, r.type, r.name, r.language);
        ASSERT_NE(built, nullptr);
        EXPECT_EQ(hexOf(r.data), hexOf(built->data));
    }
}

INSTANTIATE_TEST_SUITE_P(Modules, ScriptAgainstModule, ::testing::ValuesIn(allModules()),
                         [](const auto& info) { return moduleName(info.param); });

// --- Both sources against the product tables ---------------------------------

enum class Side { Mac, WindowsX86_64, WindowsI686 };

struct Source {
    const char* product;
    Side side;
};

std::string sideName(Side side) {
    return side == Side::Mac ? "mac" : side == Side::WindowsX86_64 ? "windows_x86_64" : "windows_i686";
}
void PrintTo(const Source& s, std::ostream* os) { *os << s.product << " " << sideName(s.side); }

// The entry-point property of each processor that a module or bundle is
// built for.
std::string entryPointKey(const Source& s) {
    if (s.side == Side::WindowsX86_64) return "8664";
    if (s.side == Side::WindowsI686) return "wx86";
    const std::string processor = productOf({s.product, Arch::X86_64}).macProcessor;
    if (processor == "PowerPC") return "mach";  // Mach-O code for PowerPC
    if (processor == "Intel") return "mi32";    // Mach-O code for 32-bit Intel
    return "no key for " + processor;
}

struct RegistrationRead {
    Form form;
    Pipl pipl;
    Aete aete;
};

RegistrationRead readRegistration(const Source& s) {
    if (s.side == Side::Mac) {
        const auto resources = rez::readFile(kSourceDir + "/resources/mac/" + s.product + ".r");
        std::map<std::string, std::vector<uint8_t>> byType;
        for (const rez::Resource& r : resources) {
            if (r.id != kRegistrationId) throw std::runtime_error("'" + r.type + "' " + std::to_string(r.id));
            byType[r.type] = r.data;
        }
        if (resources.size() != 2 || !byType.count("PiPL") || !byType.count("aete"))
            throw std::runtime_error("the Rez source must give one 'PiPL' and one 'aete', both of id 16000");
        return {Form::Mac, decodePipl(byType["PiPL"], Form::Mac), decodeAete(byType["aete"], Form::Mac)};
    }
    const auto resources = readScript(s.product, s.side == Side::WindowsX86_64 ? Arch::X86_64 : Arch::I686);
    const rcscript::Resource* pipl = rcscript::findUserResource(resources, "PIPL", kRegistrationId, kLanguage);
    const rcscript::Resource* aete = rcscript::findUserResource(resources, "AETE", kRegistrationId, kLanguage);
    if (!pipl || !aete) throw std::runtime_error("the script must give PIPL and AETE 16000 in language 1033");
    return {Form::Windows, decodePipl(pipl->data), decodeAete(aete->data)};
}

class RegistrationSource : public ::testing::TestWithParam<Source> {
protected:
    const Product& product() const { return productOf({GetParam().product, Arch::X86_64}); }
};

// The eleven properties in their order, each by what it means.
TEST_P(RegistrationSource, PropertyListIsTheProductTables) {
    const RegistrationRead r = readRegistration(GetParam());
    const std::string title = productSourceString(product(), "kProductTitle");
    const std::string key = productSourceString(product(), "kRegistryKey");
    ASSERT_FALSE(title.empty());
    ASSERT_FALSE(key.empty());
    unsigned modes = 0;
    for (int mode : {1, 3, 9}) modes |= 0x8000u >> mode;  // grayscale, RGB, Lab
    std::string cases;
    for (uint8_t flags : kFilterCaseFlags) cases += (cases.empty() ? "" : ", ") + std::string("4 4 ") + hex2(flags);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"kind", "'8BFM'"},
        {"name", quoted(title + "...")},
        {"catg", quoted("Vexlor")},
        {"vers", "4.0"},
        {entryPointKey(GetParam()), quoted("PluginMain")},
        {"mode", "0x" + hex2(modes >> 8) + hex2(modes & 0xFF)},
        {"hstm", "version 0, class 'mdc1', event 'mdc1', terminology 16000, " + quoted(key)},
        {"enbl", quoted(kEnableExpression)},
        {"ms32", "2000000 x 2000000"},
        {"flly", "80 00 00 00"},
        {"fici", cases},
    };
    EXPECT_EQ(r.pipl.format, r.form == Form::Windows ? 1 : 0);
    EXPECT_EQ(r.pipl.version, 0u);
    EXPECT_EQ(r.pipl.bytesAfterLast, 0u);
    ASSERT_EQ(r.pipl.count, expected.size());
    ASSERT_EQ(r.pipl.properties.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const PiplProperty& p = r.pipl.properties[i];
        SCOPED_TRACE("property " + std::to_string(i) + " " + fourCCText(p.key));
        EXPECT_EQ(fourCCText(p.vendor), "'8BIM'");
        EXPECT_EQ(fourCCText(p.key), "'" + expected[i].first + "'");
        EXPECT_EQ(p.id, 0u);
        std::string meaning;
        try {
            meaning = meaningOf(p, r.form);
        } catch (const FormatError& e) {
            meaning = e.what();
        }
        EXPECT_EQ(meaning, expected[i].second);
    }
}

TEST_P(RegistrationSource, TerminologyIsTheProductTables) {
    const RegistrationRead r = readRegistration(GetParam());
    EXPECT_EQ(r.aete.windowsForm, r.form == Form::Windows ? 1 : 0);
    expectTerminologyOf(product(), r.aete);
}

INSTANTIATE_TEST_SUITE_P(Products, RegistrationSource,
                         ::testing::Values(Source{"halvane", Side::Mac}, Source{"halvane", Side::WindowsX86_64},
                                           Source{"halvane", Side::WindowsI686}, Source{"glimra", Side::Mac},
                                           Source{"glimra", Side::WindowsX86_64}, Source{"glimra", Side::WindowsI686}),
                         [](const auto& info) { return std::string(info.param.product) + "_" + sideName(info.param.side); });

// --- The bundles the build lays out ------------------------------------------

// The top dictionary of an XML property list whose values are strings, true
// or false (given as "true" and "false").
std::map<std::string, std::string> plistDictionary(const std::string& text) {
    std::size_t at = 0;
    auto blanks = [&] {
        while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    };
    auto accept = [&](const std::string& s) {
        blanks();
        if (text.compare(at, s.size(), s) != 0) return false;
        at += s.size();
        return true;
    };
    auto expect = [&](const std::string& s) {
        if (!accept(s)) throw std::runtime_error("Info.plist: " + s + " expected at byte " + std::to_string(at));
    };
    auto element = [&](const std::string& tag) {
        expect("<" + tag + ">");
        const std::size_t end = text.find("</" + tag + ">", at);
        if (end == std::string::npos) throw std::runtime_error("Info.plist: <" + tag + "> not closed");
        std::string raw = text.substr(at, end - at), value;
        at = end + tag.size() + 3;
        static const std::map<std::string, char> entities = {
            {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
        for (std::size_t i = 0; i < raw.size();) {
            bool done = false;
            for (const auto& e : entities)
                if (raw.compare(i, e.first.size(), e.first) == 0) {
                    value += e.second;
                    i += e.first.size();
                    done = true;
                }
            if (done) continue;
            if (raw[i] == '<' || raw[i] == '&') throw std::runtime_error("Info.plist: markup inside <" + tag + ">");
            value += raw[i++];
        }
        return value;
    };
    expect("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    expect("<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">");
    expect("<plist version=\"1.0\">");
    expect("<dict>");
    std::map<std::string, std::string> dict;
    while (!accept("</dict>")) {
        const std::string key = element("key");
        std::string value = accept("<true/>") ? "true" : accept("<false/>") ? "false" : element("string");
        if (!dict.emplace(key, value).second) throw std::runtime_error("Info.plist: " + key + " twice");
    }
    expect("</plist>");
    blanks();
    if (at != text.size()) throw std::runtime_error("Info.plist: more after </plist>");
    return dict;
}

class MacBundle : public ::testing::TestWithParam<const char*> {
protected:
    const Product& product() const { return productOf({GetParam(), Arch::X86_64}); }
    std::string contents() const {
        return std::string(VEXLOR_BUNDLE_DIR) + "/" + productSourceString(product(), "kProductName") + ".plugin/Contents";
    }
    // The bundle's source folder, named as the dialog finds the bundle.
    std::string sourceFolder() const {
        return kSourceDir + "/resources/mac/" + productSourceString(product(), "kMacBundleIdentifier");
    }
};

TEST_P(MacBundle, InfoPlistAndPkgInfoNameTheProduct) {
    const std::string name = productSourceString(product(), "kProductName");
    const std::string title = productSourceString(product(), "kProductTitle");
    const std::string identifier = productSourceString(product(), "kMacBundleIdentifier");
    ASSERT_FALSE(name.empty());
    ASSERT_FALSE(identifier.empty());
    ASSERT_EQ(title.rfind(name + " v", 0), 0u) << title;
    const std::string version = title.substr(name.size() + 2);
    const std::map<std::string, std::string> expected = {
        {"CFBundleDevelopmentRegion", "English"},
        {"CFBundleExecutable", name},
        {"CFBundleIdentifier", identifier},
        {"CFBundleInfoDictionaryVersion", "6.0"},
        {"CFBundleName", name},
        {"CFBundlePackageType", "8BFM"},  // the property list's kind
        {"CFBundleShortVersionString", version},
        {"CFBundleSignature", "8BIM"},  // the host's
        {"CFBundleVersion", version},
        {"CSResourcesFileMapped", "true"},
    };
    EXPECT_EQ(plistDictionary(srctext::readFile(contents() + "/Info.plist")), expected);
    EXPECT_EQ(srctext::readFile(contents() + "/PkgInfo"), "8BFM8BIM");
}

TEST_P(MacBundle, HoldsTheModuleTheNibAndTheRegistrationSource) {
    namespace fs = std::filesystem;
    const std::string name = productSourceString(product(), "kProductName");
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(contents()))
        if (entry.is_regular_file()) files.insert(fs::relative(entry.path(), contents()).string());
    const std::string rez = std::string(GetParam()) + ".r";
    EXPECT_EQ(files, (std::set<std::string>{"Info.plist", "PkgInfo", "MacOS/" + name, "Resources/PrototypeGUI.nib.txt",
                                            "Resources/" + rez, "Resources/vexlor_registration.r"}));
    const std::string module = std::string(VEXLOR_PLUGIN_DIR) + "/" + GetParam() + ".plugin.so";
    EXPECT_TRUE(srctext::readFile(contents() + "/MacOS/" + name) == srctext::readFile(module))
        << "MacOS/" << name << " is not " << module;
    EXPECT_TRUE(srctext::readFile(contents() + "/Resources/PrototypeGUI.nib.txt") ==
                srctext::readFile(sourceFolder() + "/PrototypeGUI.nib.txt"));
    // The bundle's registration source compiles from its own folder.
    const auto inBundle = rez::readFile(contents() + "/Resources/" + rez);
    const auto inSource = rez::readFile(kSourceDir + "/resources/mac/" + rez);
    ASSERT_EQ(inBundle.size(), inSource.size());
    for (std::size_t i = 0; i < inBundle.size(); ++i) {
        EXPECT_EQ(inBundle[i].type, inSource[i].type);
        EXPECT_EQ(inBundle[i].data, inSource[i].data);
    }
}

INSTANTIATE_TEST_SUITE_P(Products, MacBundle, ::testing::Values("halvane", "glimra"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
