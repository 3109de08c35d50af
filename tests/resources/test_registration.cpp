// The plug-in property list and scripting terminology of every Windows
// module, read back from the compiled file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "tests/resources/modules.h"

using namespace peres;
using namespace restest;

namespace {

using Bytes = std::vector<uint8_t>;

void putU16(Bytes& b, uint16_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void putU32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
void putText(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }
void putPascal(Bytes& b, const std::string& s) {
    b.push_back(uint8_t(s.size()));
    putText(b, s);
}
Bytes padded(Bytes b) {
    while (b.size() % 4) b.push_back(0);
    return b;
}

struct ExpectedProperty {
    uint32_t key;
    Bytes data;  // padded
};

// The eleven properties in their order, from the registration table.
std::vector<ExpectedProperty> expectedProperties(const Module& m, const std::string& title,
                                                 const std::string& uniqueString) {
    std::vector<ExpectedProperty> p;
    Bytes b;
    putU32(b, fourCC("8BFM"));
    p.push_back({fourCC("kind"), padded(b)});
    b.clear();
    putPascal(b, title + "...");
    p.push_back({fourCC("name"), padded(b)});
    b.clear();
    putPascal(b, "Vexlor");
    p.push_back({fourCC("catg"), padded(b)});
    b.clear();
    putU32(b, 0x00040000);
    p.push_back({fourCC("vers"), padded(b)});
    b.clear();
    putText(b, "PluginMain");
    b.push_back(0);
    p.push_back({m.arch == Arch::X86_64 ? fourCC("8664") : fourCC("wx86"), padded(b)});
    b = {0x50, 0x40, 0, 0};
    p.push_back({fourCC("mode"), b});
    b.clear();
    putU32(b, 0);
    putU32(b, fourCC("mdc1"));
    putU32(b, fourCC("mdc1"));
    putU16(b, kRegistrationId);
    putText(b, uniqueString);
    b.push_back(0);
    p.push_back({fourCC("hstm"), padded(b)});
    b.clear();
    putText(b, kEnableExpression);
    b.push_back(0);
    p.push_back({fourCC("enbl"), padded(b)});
    b.clear();
    putU32(b, 2000000);
    putU32(b, 2000000);
    p.push_back({fourCC("ms32"), b});
    p.push_back({fourCC("flly"), {0x80, 0, 0, 0}});
    b.clear();
    for (uint8_t flags : kFilterCaseFlags) {
        b.push_back(4);
        b.push_back(4);
        b.push_back(flags);
        b.push_back(0);
    }
    p.push_back({fourCC("fici"), b});
    return p;
}

std::string hexDump(const Bytes& b) {
    std::string s;
    char buf[4];
    for (uint8_t c : b) {
        std::snprintf(buf, sizeof buf, "%02X ", c);
        s += buf;
    }
    return s;
}

// The zero-terminated unique string of a 'hstm' property.
std::string uniqueStringOf(const PiplProperty& hstm) {
    if (hstm.data.size() < 15) return "";
    const auto begin = hstm.data.begin() + 14;
    return std::string(begin, std::find(begin, hstm.data.end(), uint8_t(0)));
}

class Registration : public ::testing::TestWithParam<Module> {
protected:
    void SetUp() override {
        std::string why;
        path_ = modulePath(GetParam(), &why);
        if (path_.empty()) GTEST_SKIP() << why;
        image_ = &loadModule(path_);
    }
    const Resource& resource(const char* type) {
        const Resource* r = findResource(*image_, ResourceId::of(type), ResourceId::of(kRegistrationId), kLanguage);
        if (!r) throw std::runtime_error(path_ + " has no " + type + " " + std::to_string(kRegistrationId) + " in language 1033");
        return *r;
    }
    const Product& product() const { return productOf(GetParam()); }
    std::string title() const { return productSourceString(product(), "kProductTitle"); }
    std::string registryKey() const { return productSourceString(product(), "kRegistryKey"); }

    std::string path_;
    const PeImage* image_ = nullptr;
};

TEST_P(Registration, ModuleIsADllForItsArchitecture) {
    EXPECT_EQ(image_->machine, machineOf(GetParam().arch));
    EXPECT_EQ(image_->pe32plus, GetParam().arch == Arch::X86_64);
    EXPECT_TRUE(image_->characteristics & 0x2000) << "not flagged as a DLL";
}

TEST_P(Registration, PiplHasElevenPaddedPropertiesInOrder) {
    const Pipl pipl = decodePipl(resource("PIPL").data);
    EXPECT_EQ(pipl.format, 1);
    EXPECT_EQ(pipl.version, 0u);
    ASSERT_EQ(pipl.count, 11u);
    EXPECT_EQ(pipl.bytesAfterLast, 0u);
    const auto expected = expectedProperties(GetParam(), title(), registryKey());
    ASSERT_EQ(pipl.properties.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const PiplProperty& p = pipl.properties[i];
        SCOPED_TRACE("property " + std::to_string(i) + " " + fourCCText(p.key));
        EXPECT_EQ(fourCCText(p.key), fourCCText(expected[i].key));
        EXPECT_EQ(fourCCText(p.vendor), "'8BIM'");
        EXPECT_EQ(p.id, 0u);
        EXPECT_EQ(p.offset % 4, 2u) << "properties follow the 10-byte header at 4-byte steps";
        EXPECT_EQ(p.length % 4, 0u) << "length counts the padding";
        EXPECT_EQ(hexDump(p.data), hexDump(expected[i].data));
    }
}

// The host finds the entry point by the name that the property list gives.
TEST_P(Registration, EntryPointIsExportedUnderItsListedName) {
    const Pipl pipl = decodePipl(resource("PIPL").data);
    ASSERT_EQ(pipl.properties.size(), 11u);
    const Bytes& entry = pipl.properties[4].data;
    const std::string name(entry.begin(), std::find(entry.begin(), entry.end(), uint8_t(0)));
    EXPECT_EQ(name, "PluginMain");
    EXPECT_NE(std::find(image_->exportNames.begin(), image_->exportNames.end(), name), image_->exportNames.end())
        << "exports: " << ::testing::PrintToString(image_->exportNames);
}

TEST_P(Registration, PiplSupportsGrayscaleRgbAndLabOnly) {
    const Pipl pipl = decodePipl(resource("PIPL").data);
    ASSERT_EQ(pipl.properties.size(), 11u);
    const PiplProperty& mode = pipl.properties[5];
    ASSERT_EQ(fourCCText(mode.key), "'mode'");
    ASSERT_GE(mode.data.size(), 2u);
    const unsigned flags = unsigned(mode.data[0]) << 8 | mode.data[1];  // most significant byte first
    EXPECT_EQ(flags, 0x4000u | 0x1000u | 0x0040u);
}

TEST_P(Registration, AeteFollowsTheTerminologyTable) {
    const Aete aete = decodeAete(resource("AETE").data);
    EXPECT_EQ(aete.windowsForm, 1);
    expectTerminologyOf(product(), aete);
}

// The terminology names keys that the scripting descriptor really carries,
// each with the type it is written as: doubles for values, booleans for flags.
TEST_P(Registration, AeteKeysAreDescriptorKeysOfTheirKind) {
    const Aete aete = decodeAete(resource("AETE").data);
    ASSERT_EQ(aete.suites.size(), 1u);
    ASSERT_EQ(aete.suites[0].events.size(), 1u);
    std::set<uint32_t> values, flags, seen;
    for (const char* k : product().valueKeys) values.insert(fourCC(std::string(k)));
    for (const char* k : product().flagKeys) flags.insert(fourCC(std::string(k)));
    for (const AeteParameter& p : aete.suites[0].events[0].parameters) {
        SCOPED_TRACE(fourCCText(p.key));
        EXPECT_TRUE(seen.insert(p.key).second) << "key listed twice";
        if (p.type == fourCC("doub"))
            EXPECT_TRUE(values.count(p.key)) << "not a value key of the parameter block";
        else if (p.type == fourCC("bool"))
            EXPECT_TRUE(flags.count(p.key)) << "not a flag key of the parameter block";
        else
            ADD_FAILURE() << "type " << fourCCText(p.type);
    }
}

// The property list points the host at the terminology: same class and
// event, and a terminology resource of the id it names.
TEST_P(Registration, HasTerminologyPointsAtTheAete) {
    const Pipl pipl = decodePipl(resource("PIPL").data);
    const Aete aete = decodeAete(resource("AETE").data);
    ASSERT_EQ(pipl.properties.size(), 11u);
    const PiplProperty& hstm = pipl.properties[6];
    ASSERT_EQ(fourCCText(hstm.key), "'hstm'");
    ASSERT_GE(hstm.data.size(), 14u);
    const ByteView v(hstm.data, "hstm");
    ASSERT_EQ(aete.suites.size(), 1u);
    ASSERT_EQ(aete.suites[0].events.size(), 1u);
    EXPECT_EQ(v.u32(4), aete.suites[0].events[0].eventClass);
    EXPECT_EQ(v.u32(8), aete.suites[0].events[0].id);
    EXPECT_EQ(v.u16(12), kRegistrationId);
}

INSTANTIATE_TEST_SUITE_P(Modules, Registration, ::testing::ValuesIn(allModules()),
                         [](const auto& info) { return moduleName(info.param); });

// The product's title and registry key, as the code has them, are what the
// resources register; both builds of a product agree.
class ProductIdentity : public ::testing::TestWithParam<const char*> {};

TEST_P(ProductIdentity, BothArchitecturesRegisterTheCodesTitleAndKey) {
    const Module m64{GetParam(), Arch::X86_64}, m32{GetParam(), Arch::I686};
    const Product& p = productOf(m64);
    const std::string title = productSourceString(p, "kProductTitle");
    const std::string key = productSourceString(p, "kRegistryKey");
    ASSERT_FALSE(title.empty()) << "no kProductTitle in " << p.file << "/" << p.file << "_product.cpp";
    ASSERT_FALSE(key.empty()) << "no kRegistryKey in " << p.file << "/" << p.file << "_product.cpp";
    EXPECT_EQ(title.rfind(std::string(p.name) + " v", 0), 0u) << title;

    // GUID form 8-4-4-4-12 in the product's letter case.
    ASSERT_EQ(key.size(), 36u) << key;
    for (std::size_t i = 0; i < key.size(); ++i) {
        SCOPED_TRACE("character " + std::to_string(i));
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            EXPECT_EQ(key[i], '-');
        } else {
            EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(key[i])));
            if (std::isalpha(static_cast<unsigned char>(key[i]))) {
                EXPECT_EQ(bool(std::isupper(static_cast<unsigned char>(key[i]))), p.upperCaseKey);
            }
        }
    }

    std::string why64, why32;
    const std::string path64 = modulePath(m64, &why64), path32 = modulePath(m32, &why32);
    if (path64.empty() || path32.empty()) GTEST_SKIP() << (path64.empty() ? why64 : why32);
    const PeImage& a = loadModule(path64);
    const PeImage& b = loadModule(path32);
    for (const PeImage* image : {&a, &b}) {
        const Resource* r = findResource(*image, ResourceId::of("PIPL"), ResourceId::of(kRegistrationId), kLanguage);
        ASSERT_NE(r, nullptr);
        const Pipl pipl = decodePipl(r->data);
        ASSERT_EQ(pipl.properties.size(), 11u);
        const Bytes& name = pipl.properties[1].data;
        ASSERT_FALSE(name.empty());
        EXPECT_EQ(std::string(name.begin() + 1, name.begin() + 1 + std::min<std::size_t>(name[0], name.size() - 1)),
                  title + "...");
        EXPECT_EQ(uniqueStringOf(pipl.properties[6]), key);
    }
}

// Apart from the entry-point property's key, the two architectures' modules
// of one product carry byte-identical resources.
TEST_P(ProductIdentity, ArchitecturesDifferOnlyInTheEntryPointKey) {
    const Module m64{GetParam(), Arch::X86_64}, m32{GetParam(), Arch::I686};
    std::string why64, why32;
    const std::string path64 = modulePath(m64, &why64), path32 = modulePath(m32, &why32);
    if (path64.empty() || path32.empty()) GTEST_SKIP() << (path64.empty() ? why64 : why32);
    const PeImage& a = loadModule(path64);
    const PeImage& b = loadModule(path32);
    ASSERT_EQ(a.resources.size(), b.resources.size());
    for (std::size_t i = 0; i < a.resources.size(); ++i) {
        const Resource& ra = a.resources[i];
        const Resource& rb = b.resources[i];
        SCOPED_TRACE(ra.type.describe() + "/" + ra.name.describe());
        EXPECT_TRUE(ra.type.matches(rb.type));
        EXPECT_TRUE(ra.name.matches(rb.name));
        EXPECT_EQ(ra.language, rb.language);
        if (ra.type.matches(ResourceId::of("PIPL"))) {
            const Pipl pa = decodePipl(ra.data), pb = decodePipl(rb.data);
            ASSERT_EQ(pa.properties.size(), pb.properties.size());
            for (std::size_t k = 0; k < pa.properties.size(); ++k) {
                if (k == 4) {
                    EXPECT_EQ(fourCCText(pa.properties[k].key), "'8664'");
                    EXPECT_EQ(fourCCText(pb.properties[k].key), "'wx86'");
                } else {
                    EXPECT_EQ(pa.properties[k].key, pb.properties[k].key);
                }
                EXPECT_EQ(pa.properties[k].data, pb.properties[k].data);
            }
        } else {
            EXPECT_EQ(ra.data, rb.data);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Products, ProductIdentity, ::testing::Values("halvane", "glimra"),
                         [](const auto& info) { return std::string(info.param); });

TEST(RegistryKeys, EachProductHasItsOwn) {
    const std::string h = productSourceString(productOf({"halvane", Arch::X86_64}), "kRegistryKey");
    const std::string g = productSourceString(productOf({"glimra", Arch::X86_64}), "kRegistryKey");
    ASSERT_FALSE(h.empty());
    ASSERT_FALSE(g.empty());
    std::string hu = h;
    std::transform(hu.begin(), hu.end(), hu.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    EXPECT_NE(hu, g);
}

}  // namespace
