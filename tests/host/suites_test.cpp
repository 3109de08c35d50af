// The suite holders: acquired once on first use, a refusal leaves nothing
// behind, and each acquisition is released once, at PIUSuitesRelease or when
// the module is unloaded.
#include <gtest/gtest.h>

#include "host/suites.h"
#include "support/host_fixture.h"

namespace {

class Suites : public HostFixture {
protected:
    void TearDown() override {
        PIUSuitesRelease();
        HostFixture::TearDown();
    }
    // The error a use of the property holder throws; 0 when it succeeds.
    uint32 useProperty() {
        try {
            return sPSProperty->getPropertyProc ? 0 : 1;
        } catch (uint32 error) {
            return error;
        }
    }
};

TEST_F(Suites, TwoUsesAcquireOnceAndOneReleaseGivesItBack) {
    makeHost();
    EXPECT_EQ(useProperty(), 0u);
    EXPECT_EQ(useProperty(), 0u);
    EXPECT_EQ(host().acquireCount(kPSPropertySuite), 1);
    PIUSuitesRelease();
    EXPECT_EQ(host().releaseCount(kPSPropertySuite), 1);
    EXPECT_EQ(sPSProperty.get(), nullptr);
    // Acquired again on the next use.
    EXPECT_EQ(useProperty(), 0u);
    EXPECT_EQ(host().acquireCount(kPSPropertySuite), 2);
}

TEST_F(Suites, ARefusalIsThrownAndTheHolderAsksAgainOnceOffered) {
    makeHost();
    host().suiteAnswers[kPSPropertySuite] = refhost::SuiteAnswer::refuse;
    EXPECT_EQ(useProperty(), uint32(kSPSuiteNotFoundError));
    EXPECT_EQ(sPSProperty.error(), kSPSuiteNotFoundError);
    host().suiteAnswers[kPSPropertySuite] = refhost::SuiteAnswer::offer;
    EXPECT_EQ(useProperty(), 0u);
    EXPECT_EQ(sPSProperty.error(), kSPNoError);
    EXPECT_EQ(host().acquireCount(kPSPropertySuite), 1);
}

// A host that refuses yet writes a table: the holder neither uses it nor
// gives back what it never got.
TEST_F(Suites, ARefusalThatLeavesAPointerLeavesTheHolderEmpty) {
    makeHost();
    host().suiteAnswers[kPSPropertySuite] = refhost::SuiteAnswer::refuseLeavingPointer;
    EXPECT_EQ(useProperty(), uint32(kSPSuiteNotFoundError));
    EXPECT_EQ(sPSProperty.get(), nullptr);
    PIUSuitesRelease();
    EXPECT_EQ(host().releaseCount(kPSPropertySuite), 0);
}

// A success with no table is a refusal, and the host's count stays even.
TEST_F(Suites, ASuccessWithNoTableIsARefusalGivenBackAtOnce) {
    makeHost();
    host().suiteAnswers[kPSPropertySuite] = refhost::SuiteAnswer::succeedWithNull;
    EXPECT_EQ(useProperty(), uint32(kSPSuiteNotFoundError));
    EXPECT_EQ(sPSProperty.get(), nullptr);
    EXPECT_EQ(host().acquireCount(kPSPropertySuite), 1);
    EXPECT_EQ(host().releaseCount(kPSPropertySuite), 1);
}

TEST_F(Suites, WithoutABasicSuiteParmIsThrown) {
    makeHost();
    sSPBasic = nullptr;
    EXPECT_EQ(useProperty(), uint32(kSPBadParameterError));
}

TEST_F(Suites, ASecondReleaseCallsTheHostZeroTimes) {
    makeHost();
    EXPECT_EQ(useProperty(), 0u);
    PIUSuitesRelease();
    PIUSuitesRelease();
    EXPECT_EQ(host().releaseCount(kPSPropertySuite), 1);
    EXPECT_EQ(host().unreleasedSuites(), 0);
}

// The module keeps its two suites across the call; unloading it releases
// each once and nothing else.
TEST_F(Suites, UnloadingTheModuleReleasesEachAcquiredSuiteOnce) {
    makeHost();
    const char* names[] = {kPSPropertySuite, kPSHandleSuite, kPSRegistrySuite, kPSActionDescriptorSuite,
                           kPSResourceSuite, kPSBufferSuite};
    std::map<std::string, int64_t> acquired, released;
    for (const char* n : names) {
        acquired[n] = refhost::Host::processAcquireCount(n);
        released[n] = refhost::Host::processReleaseCount(n);
    }
    {
        refhost::Plugin module(SUITE_MODULE, true);
        EXPECT_EQ(module.call(host(), filterSelectorParameters), noErr);
        EXPECT_EQ(refhost::Host::processReleaseCount(kPSPropertySuite), released[kPSPropertySuite]);
    }
    for (const char* n : names) {
        const bool held = std::string(n) == kPSPropertySuite || std::string(n) == kPSHandleSuite;
        EXPECT_EQ(refhost::Host::processAcquireCount(n) - acquired[n], held ? 1 : 0) << n;
        EXPECT_EQ(refhost::Host::processReleaseCount(n) - released[n], held ? 1 : 0) << n;
    }
}

}  // namespace
