// The parameters in the host's registry: round trip under the product's key,
// all-or-nothing reads, suites released, descriptors freed.
#include <cctype>
#include <cmath>
#include <limits>

#include "PIActions.h"
#include "entry/persistence.h"
#include "persistence_support.h"
#include "support/product_under_test.h"

using namespace persistence_test;
using refhost::Descriptor;
using refhost::DescriptorEntry;
using refhost::Document;
using refhost::HostOptions;

namespace {

const char* const kValueKeys[kParamValueCount] = {
    "brgH", "conT", "bAdj", "satU", "lumC", "Rcoe", "Gcoe", "Bcoe", "Dbai", "Dbaj", "Dbak", "Dbal", "Dbam",
    "Dban", "Dbao", "Dbap", "Dbaq", "Dbar", "Dbas", "Dbat", "Dbau", "Dbav", "Dbaw", "Dbax", nullptr, nullptr};
const char* flagKey(int j) {
    static const char* const keys[kParamFlagCount] = {"ignS", "Blab", "Blac", "Blad", "Blae",
                                                      "Blaf", "Blag", "Blah", "Blai"};
    return (j == 8 && !productIsHalvane()) ? nullptr : keys[j];
}
DescriptorKeyID key(const char* k) { return refhost::keyFromName(k); }

// Every keyed entry of a block, as the registry should hold it.
Descriptor entriesOf(const ParamBlock& p) {
    Descriptor d;
    for (int i = 0; i < kParamValueCount; ++i)
        if (kValueKeys[i]) d.push_back(DescriptorEntry::Float(key(kValueKeys[i]), p.values[i]));
    for (int j = 0; j < kParamFlagCount; ++j)
        if (flagKey(j)) d.push_back(DescriptorEntry::Boolean(key(flagKey(j)), p.flags[j] != 0));
    return d;
}

class Registry : public ::testing::Test {
protected:
    explicit Registry(HostOptions options = HostOptions()) : bound(Document(plugInModeRGBColor, 64, 64), options) {}
    BoundHost bound;
    refhost::Host& host() { return bound.host; }
    ParamBlock& block() { return bound.block; }

    void expectSuitesBalanced() {
        EXPECT_EQ(host().acquireCount(kPSRegistrySuite), host().releaseCount(kPSRegistrySuite));
        EXPECT_EQ(host().acquireCount(kPSActionDescriptorSuite), host().releaseCount(kPSActionDescriptorSuite));
        EXPECT_EQ(host().unreleasedSuites(), 0);
        EXPECT_EQ(host().liveActionDescriptors(), 0);
        EXPECT_EQ(host().leakReport(), "");
    }
};

TEST_F(Registry, TheKeyIsTheProductsGuid) {
    const std::string k = kRegistryKey;
    ASSERT_EQ(k.size(), 36u);
    for (size_t i = 0; i < k.size(); ++i) {
        SCOPED_TRACE(i);
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            EXPECT_EQ(k[i], '-');
        } else {
            EXPECT_TRUE(std::isxdigit(uint8_t(k[i])));
            if (std::isalpha(uint8_t(k[i]))) {
                EXPECT_TRUE(productIsHalvane() ? std::islower(uint8_t(k[i])) : std::isupper(uint8_t(k[i])));
            }
        }
    }
}

TEST_F(Registry, WriteRegistersEveryKeyedEntryPersistently) {
    block() = distinctBlock();
    ASSERT_EQ(WriteRegistryParameters(), noErr);
    ASSERT_EQ(host().registry().count(kRegistryKey), 1u);
    const Descriptor& d = host().registry()[kRegistryKey];
    // The parameters' entries and the preview's twelve integers.
    EXPECT_EQ(d.size(), entriesOf(block()).size() + 12);
    for (const DescriptorEntry& e : entriesOf(block())) {
        SCOPED_TRACE(refhost::keyName(e.key));
        const DescriptorEntry* got = refhost::findEntry(d, e.key);
        ASSERT_NE(got, nullptr);
        EXPECT_EQ(*got, e);
    }
    EXPECT_EQ(host().persistentKeys().count(kRegistryKey), 1u);
    expectSuitesBalanced();
}

TEST_F(Registry, RoundTripRestoresEveryKeyedEntryAndKeepsTheRest) {
    const ParamBlock written = distinctBlock();
    block() = written;
    ASSERT_EQ(WriteRegistryParameters(), noErr);
    block().values = DefaultGUI;
    block().flags = BooleanDefault;
    ASSERT_EQ(ReadRegistryParameters(), noErr);
    for (int i = 0; i < kParamValueCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(block().values[i], kValueKeys[i] ? written.values[i] : DefaultGUI[i]);
    }
    for (int j = 0; j < kParamFlagCount; ++j) {
        SCOPED_TRACE(j);
        EXPECT_EQ(block().flags[j], flagKey(j) ? written.flags[j] : BooleanDefault[j]);
    }
    expectSuitesBalanced();
}

TEST_F(Registry, NothingRegisteredIsTheHostsErrorAndChangesNothing) {
    const ParamBlock before = block();
    EXPECT_EQ(ReadRegistryParameters(), errMissingParameter);
    EXPECT_TRUE(sameBlock(block(), before));
    expectSuitesBalanced();
}

class RegistryMissingGivesNull : public Registry {
protected:
    static HostOptions options() {
        HostOptions o;
        o.registryMissingGivesNull = true;
        return o;
    }
    RegistryMissingGivesNull() : Registry(options()) {}
};

TEST_F(RegistryMissingGivesNull, ReadSucceedsAndChangesNothing) {
    const ParamBlock before = block();
    EXPECT_EQ(ReadRegistryParameters(), noErr);
    EXPECT_TRUE(sameBlock(block(), before));
    expectSuitesBalanced();
}

// A registered descriptor that one get fails on: the read changes nothing.
struct Damage {
    const char* name;
    const char* key;
    enum { Remove, WrongType } what;
    OSErr error;
};

class DamagedRegistry : public Registry, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedRegistry, ReadIsAllOrNothing) {
    Descriptor d = entriesOf(distinctBlock());
    for (auto it = d.begin(); it != d.end(); ++it) {
        if (it->key != key(GetParam().key)) continue;
        if (GetParam().what == Damage::Remove)
            d.erase(it);
        else
            *it = it->type == typeFloat ? DescriptorEntry::Boolean(it->key, true) : DescriptorEntry::Float(it->key, 1);
        break;
    }
    host().registry()[kRegistryKey] = d;
    const ParamBlock before = block();
    EXPECT_EQ(ReadRegistryParameters(), GetParam().error);
    EXPECT_TRUE(sameBlock(block(), before));
    expectSuitesBalanced();
}

INSTANTIATE_TEST_SUITE_P(Cases, DamagedRegistry,
                         ::testing::Values(Damage{"MissingFlag", "Blad", Damage::Remove, errMissingParameter},
                                           Damage{"MissingLastValue", "Dbax", Damage::Remove, errMissingParameter},
                                           Damage{"FlagAsFloat", "Blah", Damage::WrongType, paramErr},
                                           Damage{"ValueAsBoolean", "Dbam", Damage::WrongType, paramErr}),
                         [](const ::testing::TestParamInfo<Damage>& i) { return std::string(i.param.name); });

TEST_F(Registry, NonFiniteValuesAreNotApplied) {
    ParamBlock stored = distinctBlock();
    stored.values[0] = std::nan("");
    stored.values[5] = std::numeric_limits<double>::infinity();
    host().registry()[kRegistryKey] = entriesOf(stored);
    const ParamBlock before = block();
    // Parameters without the preview's keys: the parameters are read, and
    // the first missing preview key is reported.
    ASSERT_EQ(ReadRegistryParameters(), errMissingParameter);
    EXPECT_EQ(block().values[0], before.values[0]);
    EXPECT_EQ(block().values[5], before.values[5]);
    EXPECT_EQ(block().values[6], stored.values[6]);
    EXPECT_EQ(block().flags[1], stored.flags[1]);
}

class NoBasicSuite : public Registry {
protected:
    static HostOptions options() {
        HostOptions o;
        o.basicSuite = false;
        return o;
    }
    NoBasicSuite() : Registry(options()) {}
};

TEST_F(NoBasicSuite, BothGiveHostInsufficientAndChangeNothing) {
    block() = distinctBlock();
    const ParamBlock before = block();
    EXPECT_EQ(ReadRegistryParameters(), errPlugInHostInsufficient);
    EXPECT_EQ(WriteRegistryParameters(), errPlugInHostInsufficient);
    EXPECT_TRUE(sameBlock(block(), before));
    EXPECT_TRUE(host().registry().empty());
}

struct RefusedSuite {
    const char* name;
    const char* suite;
};

class RefusedSuiteRegistry : public Registry, public ::testing::WithParamInterface<RefusedSuite> {
protected:
    static HostOptions options(const char* suite) {
        HostOptions o;
        o.refusedSuites.insert(suite);
        return o;
    }
    RefusedSuiteRegistry() : Registry(options(GetParam().suite)) {}
};

TEST_P(RefusedSuiteRegistry, FailsWithAnErrorAndReleasesWhatItAcquired) {
    host().registry()[kRegistryKey] = entriesOf(distinctBlock());
    const ParamBlock before = block();
    const OSErr readErr = ReadRegistryParameters();
    EXPECT_NE(readErr, noErr);
    EXPECT_TRUE(sameBlock(block(), before));
    const Descriptor kept = host().registry()[kRegistryKey];
    EXPECT_NE(WriteRegistryParameters(), noErr);
    EXPECT_EQ(host().registry()[kRegistryKey], kept);
    expectSuitesBalanced();
}

INSTANTIATE_TEST_SUITE_P(Cases, RefusedSuiteRegistry,
                         ::testing::Values(RefusedSuite{"Registry", kPSRegistrySuite},
                                           RefusedSuite{"ActionDescriptor", kPSActionDescriptorSuite}),
                         [](const ::testing::TestParamInfo<RefusedSuite>& i) { return std::string(i.param.name); });

// A host whose descriptor suite fails a put: nothing is registered.
TEST_F(Registry, AFailedPutRegistersNothing) {
    const void* p = nullptr;
    ASSERT_EQ(host().record().sSPBasic->AcquireSuite(kPSActionDescriptorSuite, kPSActionDescriptorSuiteVersion, &p),
              kSPNoError);
    PSActionDescriptorProcs failing = *static_cast<const PSActionDescriptorProcs*>(p);
    host().record().sSPBasic->ReleaseSuite(kPSActionDescriptorSuite, kPSActionDescriptorSuiteVersion);
    failing.PutBoolean = [](PIActionDescriptor, DescriptorKeyID, Boolean) -> SPErr { return memFullErr; };
    host().provideSuite(kPSActionDescriptorSuite, kPSActionDescriptorSuiteVersion, &failing);
    EXPECT_EQ(WriteRegistryParameters(), memFullErr);
    EXPECT_EQ(host().registry().count(kRegistryKey), 0u);
    expectSuitesBalanced();
}

// A suite error too wide for the 16-bit result is not cut into something
// that could read as success.
TEST_F(Registry, AWideSuiteErrorStaysAnError) {
    const void* p = nullptr;
    ASSERT_EQ(host().record().sSPBasic->AcquireSuite(kPSRegistrySuite, kPSRegistrySuiteVersion1, &p), kSPNoError);
    PSDescriptorRegistryProcs failing = *static_cast<const PSDescriptorRegistryProcs*>(p);
    host().record().sSPBasic->ReleaseSuite(kPSRegistrySuite, kPSRegistrySuiteVersion1);
    failing.Get = [](const char*, PIActionDescriptor* d) -> SPErr {
        *d = nullptr;
        return SPErr(0x00010000);
    };
    host().provideSuite(kPSRegistrySuite, kPSRegistrySuiteVersion1, &failing);
    const ParamBlock before = block();
    EXPECT_EQ(ReadRegistryParameters(), errPlugInHostInsufficient);
    EXPECT_TRUE(sameBlock(block(), before));
    expectSuitesBalanced();
}

}  // namespace
