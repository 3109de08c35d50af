// Scripting descriptor procedures, the action-descriptor and registry
// suites, and the basic suite they come through.
#include <string>
#include <vector>

#include "support/host_fixture.h"

namespace {

using refhost::Descriptor;
using refhost::DescriptorEntry;
using refhost::HostOptions;

const DescriptorKeyID kA = FourCC("Aaaa"), kB = FourCC("Bbbb"), kC = FourCC("Cccc");

class Descriptors : public HostFixture {
protected:
    PIDescriptorParameters& params() { return *host().record().descriptorParameters; }
    ReadDescriptorProcs& read() { return *params().readDescriptorProcs; }
    WriteDescriptorProcs& write() { return *params().writeDescriptorProcs; }
};

TEST_F(Descriptors, ReadProceduresIterateTheEntriesInOrder) {
    makeHost();
    const Descriptor d{DescriptorEntry::Float(kA, 1.5), DescriptorEntry::Boolean(kB, true),
                       DescriptorEntry::Integer(kC, -7)};
    host().setScriptDescriptor(d, plugInDialogDontDisplay);
    EXPECT_EQ(params().playInfo, plugInDialogDontDisplay);
    DescriptorKeyID expected[] = {kA, kB, 0};
    PIReadDescriptor token = read().openReadDescriptorProc(params().descriptor, expected);
    ASSERT_NE(token, nullptr);
    DescriptorKeyID key;
    DescriptorTypeID type;
    int32 flags;
    ASSERT_TRUE(read().getKeyProc(token, &key, &type, &flags));
    EXPECT_EQ(key, kA);
    EXPECT_EQ(type, typeFloat);
    double f = 0;
    EXPECT_EQ(read().getFloatProc(token, &f), noErr);
    EXPECT_EQ(f, 1.5);
    ASSERT_TRUE(read().getKeyProc(token, &key, &type, &flags));
    Boolean b = 0;
    EXPECT_EQ(read().getBooleanProc(token, &b), noErr);
    EXPECT_EQ(b, 1);
    ASSERT_TRUE(read().getKeyProc(token, &key, &type, &flags));
    int32 i = 0;
    EXPECT_EQ(read().getIntegerProc(token, &i), noErr);
    EXPECT_EQ(i, -7);
    EXPECT_FALSE(read().getKeyProc(token, &key, &type, &flags));
    EXPECT_EQ(read().closeReadDescriptorProc(token), noErr);
    EXPECT_EQ(host().expectedKeys(), (std::vector<DescriptorKeyID>{kA, kB}));
}

TEST_F(Descriptors, WrongTypeFailsAndCloseReportsIt) {
    makeHost();
    host().setScriptDescriptor({DescriptorEntry::Boolean(kA, true)});
    PIReadDescriptor token = read().openReadDescriptorProc(params().descriptor, nullptr);
    DescriptorKeyID key;
    DescriptorTypeID type;
    int32 flags;
    ASSERT_TRUE(read().getKeyProc(token, &key, &type, &flags));
    double f = 42;
    EXPECT_NE(read().getFloatProc(token, &f), noErr);
    EXPECT_EQ(f, 42) << "a failed get leaves the value alone";
    EXPECT_NE(read().closeReadDescriptorProc(token), noErr);
}

TEST_F(Descriptors, CloseReportsAnExpectedKeyTheDescriptorLacks) {
    makeHost();
    host().setScriptDescriptor({DescriptorEntry::Float(kA, 1)});
    DescriptorKeyID expected[] = {kA, kB, 0};
    PIReadDescriptor token = read().openReadDescriptorProc(params().descriptor, expected);
    DescriptorKeyID key;
    DescriptorTypeID type;
    int32 flags;
    while (read().getKeyProc(token, &key, &type, &flags)) {
        double f;
        read().getFloatProc(token, &f);
    }
    EXPECT_EQ(read().closeReadDescriptorProc(token), errMissingParameter);
}

TEST_F(Descriptors, WriteProceduresMakeACountedHandleThatReadsBackAsAList) {
    makeHost();
    const int64_t before = host().handles().live();
    PIWriteDescriptor token = write().openWriteDescriptorProc();
    ASSERT_NE(token, nullptr);
    const double v = 0.25;
    write().putFloatProc(token, kA, &v);
    write().putBooleanProc(token, kB, false);
    write().putIntegerProc(token, kC, 9);
    EXPECT_EQ(host().openWriteTokens(), 1);
    PIDescriptorHandle h = nullptr;
    EXPECT_EQ(write().closeWriteDescriptorProc(token, &h), noErr);
    EXPECT_EQ(host().handles().live(), before + 1);
    const Descriptor expected{DescriptorEntry::Float(kA, 0.25), DescriptorEntry::Boolean(kB, false),
                              DescriptorEntry::Integer(kC, 9)};
    EXPECT_EQ(host().readDescriptorHandle(h), expected);
    params().descriptor = h;  // handed to the host: not a leak
    EXPECT_EQ(host().scriptDescriptor(), expected);
}

TEST_F(Descriptors, OpeningCanBeRefused) {
    makeHost();
    host().setScriptDescriptor({DescriptorEntry::Float(kA, 1)});
    host().refuseOpenRead = host().refuseOpenWrite = true;
    EXPECT_EQ(read().openReadDescriptorProc(params().descriptor, nullptr), nullptr);
    EXPECT_EQ(write().openWriteDescriptorProc(), nullptr);
    EXPECT_TRUE(host().faults().empty());
}

TEST_F(Descriptors, UnclosedTokensAreLeaks) {
    makeHost();
    checkLeaks = false;
    write().openWriteDescriptorProc();
    EXPECT_NE(host().leakReport().find("write descriptor"), std::string::npos);
}

TEST_F(Descriptors, NoDescriptorParametersOnRequest) {
    HostOptions o;
    o.descriptorParameters = false;
    makeHost(plugInModeRGBColor, 4, 4, o);
    EXPECT_EQ(host().record().descriptorParameters, nullptr);
}

class Suites : public HostFixture {
protected:
    const PSActionDescriptorProcs* actions() {
        const void* s = nullptr;
        EXPECT_EQ(sSPBasic->AcquireSuite(kPSActionDescriptorSuite, kPSActionDescriptorSuiteVersion, &s), kSPNoError);
        return static_cast<const PSActionDescriptorProcs*>(s);
    }
    const PSDescriptorRegistryProcs* registry() {
        const void* s = nullptr;
        EXPECT_EQ(sSPBasic->AcquireSuite(kPSRegistrySuite, kPSRegistrySuiteVersion1, &s), kSPNoError);
        return static_cast<const PSDescriptorRegistryProcs*>(s);
    }
};

TEST_F(Suites, ActionDescriptorGetsFailOnMissingKeyAndWrongType) {
    makeHost();
    const PSActionDescriptorProcs* ad = actions();
    PIActionDescriptor d = nullptr;
    ASSERT_EQ(ad->Make(&d), kSPNoError);
    ad->PutFloat(d, kA, 3.0);
    ad->PutBoolean(d, kB, true);
    ad->PutInteger(d, kC, 5);
    ad->PutFloat(d, kA, 4.0);  // replaces
    uint32 n = 0;
    ad->GetCount(d, &n);
    EXPECT_EQ(n, 3u);
    Boolean has = 0;
    ad->HasKey(d, kB, &has);
    EXPECT_TRUE(has);
    double f = 0;
    EXPECT_EQ(ad->GetFloat(d, kA, &f), kSPNoError);
    EXPECT_EQ(f, 4.0);
    EXPECT_NE(ad->GetFloat(d, FourCC("none"), &f), kSPNoError);
    EXPECT_NE(ad->GetFloat(d, kB, &f), kSPNoError);
    int32 i = 0;
    EXPECT_NE(ad->GetInteger(d, kA, &i), kSPNoError);
    EXPECT_EQ(ad->GetInteger(d, kC, &i), kSPNoError);
    EXPECT_EQ(i, 5);
    EXPECT_EQ(host().liveActionDescriptors(), 1);
    ad->Free(d);
    EXPECT_EQ(host().liveActionDescriptors(), 0);
    sSPBasic->ReleaseSuite(kPSActionDescriptorSuite, kPSActionDescriptorSuiteVersion);
}

TEST_F(Suites, ActionDescriptorKeysTypesErasingAndComparing) {
    makeHost();
    const PSActionDescriptorProcs* ad = actions();
    PIActionDescriptor d = nullptr, e = nullptr;
    ASSERT_EQ(ad->Make(&d), kSPNoError);
    ASSERT_EQ(ad->Make(&e), kSPNoError);
    ad->PutFloat(d, kA, 1.0);
    ad->PutBoolean(d, kB, false);
    DescriptorTypeID type = 0;
    EXPECT_EQ(ad->GetType(d, kB, &type), kSPNoError);
    EXPECT_EQ(type, typeBoolean);
    DescriptorKeyID key = 0;
    EXPECT_EQ(ad->GetKey(d, 1, &key), kSPNoError);
    EXPECT_EQ(key, kB);
    EXPECT_NE(ad->GetKey(d, 2, &key), kSPNoError);
    Boolean equal = 1;
    EXPECT_EQ(ad->IsEqual(d, e, &equal), kSPNoError);
    EXPECT_FALSE(equal);
    EXPECT_EQ(ad->Erase(d, kA), kSPNoError);
    ad->PutBoolean(e, kB, false);
    EXPECT_EQ(ad->IsEqual(d, e, &equal), kSPNoError);
    EXPECT_TRUE(equal);
    EXPECT_EQ(ad->Clear(d), kSPNoError);
    uint32 n = 1;
    ad->GetCount(d, &n);
    EXPECT_EQ(n, 0u);
    ad->Free(d);
    ad->Free(e);
    sSPBasic->ReleaseSuite(kPSActionDescriptorSuite, kPSActionDescriptorSuiteVersion);
}

TEST_F(Suites, RegistryKeepsDeepCopies) {
    makeHost();
    const PSActionDescriptorProcs* ad = actions();
    const PSDescriptorRegistryProcs* reg = registry();
    PIActionDescriptor d = nullptr;
    ad->Make(&d);
    ad->PutFloat(d, kA, 1.0);
    ASSERT_EQ(reg->Register("my-key", d, true), kSPNoError);
    ad->PutFloat(d, kA, 2.0);  // after registering: the registry is not affected
    ad->Free(d);
    EXPECT_EQ(host().registry().at("my-key"), (Descriptor{DescriptorEntry::Float(kA, 1.0)}));
    EXPECT_TRUE(host().persistentKeys().count("my-key"));

    PIActionDescriptor got = nullptr;
    ASSERT_EQ(reg->Get("my-key", &got), kSPNoError);
    ad->PutFloat(got, kA, 3.0);  // the copy is the plug-in's own
    double f = 0;
    PIActionDescriptor again = nullptr;
    reg->Get("my-key", &again);
    ad->GetFloat(again, kA, &f);
    EXPECT_EQ(f, 1.0);
    EXPECT_EQ(host().liveActionDescriptors(), 2) << "every Get hands out a descriptor to free";
    ad->Free(got);
    ad->Free(again);

    PIActionDescriptor missing = reinterpret_cast<PIActionDescriptor>(&f);
    EXPECT_NE(reg->Get("other", &missing), kSPNoError);
    EXPECT_EQ(missing, nullptr);
    sSPBasic->ReleaseSuite(kPSRegistrySuite, kPSRegistrySuiteVersion1);
    sSPBasic->ReleaseSuite(kPSActionDescriptorSuite, kPSActionDescriptorSuiteVersion);
}

TEST_F(Suites, RegistryMissingKeyCanGiveNullWithoutError) {
    HostOptions o;
    o.registryMissingGivesNull = true;
    makeHost(plugInModeRGBColor, 4, 4, o);
    PIActionDescriptor d = nullptr;
    EXPECT_EQ(registry()->Get("absent", &d), kSPNoError);
    EXPECT_EQ(d, nullptr);
}

TEST_F(Suites, UnfreedActionDescriptorIsALeak) {
    makeHost();
    checkLeaks = false;
    PIActionDescriptor d = nullptr;
    actions()->Make(&d);
    EXPECT_NE(host().leakReport().find("action descriptor"), std::string::npos);
}

TEST_F(Suites, AcquireAndReleaseAreCountedPerName) {
    makeHost();
    actions();
    actions();
    registry();
    EXPECT_EQ(host().acquireCount(kPSActionDescriptorSuite), 2);
    EXPECT_EQ(host().acquireCount(kPSRegistrySuite), 1);
    sSPBasic->ReleaseSuite(kPSRegistrySuite, 1);
    EXPECT_EQ(host().releaseCount(kPSRegistrySuite), 1);
    EXPECT_EQ(host().unreleasedSuites(), 2);
    const void* s = &s;
    EXPECT_EQ(sSPBasic->AcquireSuite("no such suite", 1, &s), kSPSuiteNotFoundError);
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(sSPBasic->AcquireSuite(kPSRegistrySuite, 2, &s), kSPSuiteNotFoundError) << "unknown version";
}

TEST_F(Suites, RefusedSuiteAndNoBasicSuite) {
    HostOptions o;
    o.refusedSuites = {kPSRegistrySuite};
    makeHost(plugInModeRGBColor, 4, 4, o);
    const void* s = nullptr;
    EXPECT_EQ(sSPBasic->AcquireSuite(kPSRegistrySuite, 1, &s), kSPSuiteNotFoundError);
    EXPECT_EQ(host().acquireCount(kPSRegistrySuite), 0);
    EXPECT_NE(actions(), nullptr);

    HostOptions none;
    none.basicSuite = false;
    makeHost(plugInModeRGBColor, 4, 4, none);
    EXPECT_EQ(host().record().sSPBasic, nullptr);
}

TEST_F(Suites, BlocksAreCounted) {
    makeHost();
    void* p = nullptr;
    ASSERT_EQ(sSPBasic->AllocateBlock(10, &p), kSPNoError);
    EXPECT_EQ(host().liveBlocks(), 1);
    ASSERT_EQ(sSPBasic->ReallocateBlock(p, 100, &p), kSPNoError);
    EXPECT_EQ(host().liveBlocks(), 1);
    sSPBasic->FreeBlock(p);
    EXPECT_EQ(host().liveBlocks(), 0);
    EXPECT_EQ(sSPBasic->AllocateBlock(-1, &p), kSPBadParameterError);
    EXPECT_EQ(host().liveBlocks(), 0);
}

TEST_F(Suites, BadArgumentsGetTheBasicSuitesParameterError) {
    makeHost();
    const void* s = nullptr;
    EXPECT_EQ(sSPBasic->AcquireSuite(nullptr, 1, &s), kSPBadParameterError);
    EXPECT_EQ(sSPBasic->AcquireSuite(kPSRegistrySuite, 1, nullptr), kSPBadParameterError);
    EXPECT_EQ(sSPBasic->AcquireSuite("no such suite", 1, &s), SPErr(FourCC("S!Fd")));
}

TEST(SuiteRelease, AtUnloadAfterTheHostIsGoneIsHarmless) {
    const SPBasicSuite* basic = nullptr;
    {
        refhost::Host h(refhost::Document(plugInModeRGBColor, 2, 2));
        basic = h.record().sSPBasic;
        const void* s = nullptr;
        ASSERT_EQ(basic->AcquireSuite(kPSRegistrySuite, kPSRegistrySuiteVersion1, &s), kSPNoError);
    }
    ASSERT_EQ(refhost::Host::current(), nullptr);
    EXPECT_EQ(basic->ReleaseSuite(kPSRegistrySuite, kPSRegistrySuiteVersion1), kSPNoError);
}

}  // namespace
