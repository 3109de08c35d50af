// The parameters in the host's scripting descriptor: round trips of every
// keyed entry of the product, partial and faulty descriptors, the handle.
#include <cmath>
#include <limits>

#include "entry/persistence.h"
#include "persistence_support.h"
#include "support/product_under_test.h"

using namespace persistence_test;
using refhost::Descriptor;
using refhost::DescriptorEntry;
using refhost::Document;
using refhost::HostOptions;

namespace {

// Which entries of the block carry which key, as the products publish them.
const char* const kValueKeys[kParamValueCount] = {
    "brgH", "conT", "bAdj", "satU", "lumC", "Rcoe", "Gcoe", "Bcoe", "Dbai", "Dbaj", "Dbak", "Dbal", "Dbam",
    "Dban", "Dbao", "Dbap", "Dbaq", "Dbar", "Dbas", "Dbat", "Dbau", "Dbav", "Dbaw", "Dbax", nullptr, nullptr};
const char* const kFlagKeysHalvane[kParamFlagCount] = {"ignS", "Blab", "Blac", "Blad", "Blae",
                                                       "Blaf", "Blag", "Blah", "Blai"};
const char* const kFlagKeysGlimra[kParamFlagCount] = {"ignS", "Blab", "Blac", "Blad", "Blae",
                                                      "Blaf", "Blag", "Blah", nullptr};
const char* flagKey(int j) { return productIsHalvane() ? kFlagKeysHalvane[j] : kFlagKeysGlimra[j]; }
DescriptorKeyID key(const char* k) { return refhost::keyFromName(k); }

// A host with a small RGB document and the plug-in's globals bound to it.
class ScriptDescriptor : public ::testing::Test {
protected:
    explicit ScriptDescriptor(HostOptions options = HostOptions())
        : bound(Document(plugInModeRGBColor, 64, 64), options) {}
    BoundHost bound;
    refhost::Host& host() { return bound.host; }
    ParamBlock& block() { return bound.block; }
    FilterRecord& record() { return bound.host.record(); }
};

TEST_F(ScriptDescriptor, WritesEveryKeyedEntryOnceAndNothingElse) {
    block() = distinctBlock();
    ASSERT_EQ(WriteScriptParameters(), noErr);
    std::optional<Descriptor> d = host().scriptDescriptor();
    ASSERT_TRUE(d);
    size_t expectedCount = 0;
    for (int i = 0; i < kParamValueCount; ++i) {
        SCOPED_TRACE(i);
        if (!kValueKeys[i]) continue;
        ++expectedCount;
        const DescriptorEntry* e = refhost::findEntry(*d, key(kValueKeys[i]));
        ASSERT_NE(e, nullptr) << kValueKeys[i];
        EXPECT_EQ(e->type, typeFloat);
        EXPECT_EQ(e->f, block().values[i]);
    }
    for (int j = 0; j < kParamFlagCount; ++j) {
        SCOPED_TRACE(j);
        if (!flagKey(j)) continue;
        ++expectedCount;
        const DescriptorEntry* e = refhost::findEntry(*d, key(flagKey(j)));
        ASSERT_NE(e, nullptr) << flagKey(j);
        EXPECT_EQ(e->type, typeBoolean);
        EXPECT_EQ(e->b, block().flags[j] != 0);
    }
    // The parameters and the preview's ten integers.
    EXPECT_EQ(d->size(), expectedCount + 10);
    EXPECT_EQ(record().descriptorParameters->recordInfo, plugInDialogOptional);
    EXPECT_EQ(host().openWriteTokens(), 0);
    EXPECT_EQ(host().leakReport(), "");
}

TEST_F(ScriptDescriptor, RoundTripRestoresEveryKeyedEntryAndKeepsTheRest) {
    const ParamBlock written = distinctBlock();
    block() = written;
    ASSERT_EQ(WriteScriptParameters(), noErr);
    const Descriptor d = *host().scriptDescriptor();

    block().values = DefaultGUI;
    block().flags = BooleanDefault;
    host().setScriptDescriptor(d, plugInDialogDisplay);
    unsigned char show = 7;
    EXPECT_EQ(ReadScriptParameters(&show), noErr);
    EXPECT_EQ(show, 1);
    for (int i = 0; i < kParamValueCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(block().values[i], kValueKeys[i] ? written.values[i] : DefaultGUI[i]);
    }
    for (int j = 0; j < kParamFlagCount; ++j) {
        SCOPED_TRACE(j);
        EXPECT_EQ(block().flags[j], flagKey(j) ? written.flags[j] : BooleanDefault[j]);
    }
    // The read disposed of the descriptor and cleared the record's pointer.
    EXPECT_EQ(record().descriptorParameters->descriptor, nullptr);
    EXPECT_EQ(host().openReadTokens(), 0);
    EXPECT_EQ(host().leakReport(), "");
    // The plug-in listed its value keys, in order, as the ones it expects.
    std::vector<DescriptorKeyID> expected;
    for (const char* k : kValueKeys)
        if (k) expected.push_back(key(k));
    EXPECT_EQ(host().expectedKeys(), expected);
}

TEST_F(ScriptDescriptor, SomeKeysApplyThoseAndKeepTheRest) {
    const ParamBlock before = block();
    host().setScriptDescriptor({DescriptorEntry::Float(key("brgH"), 77.5), DescriptorEntry::Boolean(key("Blag"), true),
                                DescriptorEntry::Integer(key("Zoom"), 2), DescriptorEntry::Float(key("Xyzw"), 3.0)});
    unsigned char show = 1;
    EXPECT_EQ(ReadScriptParameters(&show), errMissingParameter);
    EXPECT_EQ(show, 0);
    ParamBlock expected = before;
    expected.values[0] = 77.5;
    expected.flags[6] = 1;
    EXPECT_TRUE(sameBlock(block(), expected));
    EXPECT_EQ(host().leakReport(), "");
}

struct BadEntry {
    const char* name;
    Descriptor entries;  // a good value first, then the bad one, then more good ones
};

class FailedGet : public ScriptDescriptor, public ::testing::WithParamInterface<BadEntry> {};

TEST_P(FailedGet, LeavesTheBlockExactlyAsItWas) {
    block() = distinctBlock();
    const ParamBlock before = block();
    host().setScriptDescriptor(GetParam().entries, plugInDialogDisplay);
    unsigned char show = 0;
    const OSErr err = ReadScriptParameters(&show);
    EXPECT_NE(err, noErr);
    EXPECT_NE(err, errMissingParameter);
    EXPECT_TRUE(sameBlock(block(), before));
    EXPECT_EQ(show, 1);
    EXPECT_EQ(record().descriptorParameters->descriptor, nullptr);
    EXPECT_EQ(host().openReadTokens(), 0);
    EXPECT_EQ(host().leakReport(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FailedGet,
    ::testing::Values(
        BadEntry{"BooleanUnderValueKey",
                 {DescriptorEntry::Float(key("brgH"), 55), DescriptorEntry::Boolean(key("conT"), true),
                  DescriptorEntry::Float(key("bAdj"), 9)}},
        BadEntry{"FloatUnderFlagKey",
                 {DescriptorEntry::Boolean(key("Blab"), false), DescriptorEntry::Float(key("Blad"), 1.0),
                  DescriptorEntry::Float(key("Dbar"), 3)}},
        BadEntry{"IntegerUnderValueKey",
                 {DescriptorEntry::Float(key("Dbas"), 12), DescriptorEntry::Integer(key("Dbat"), 4)}}),
    [](const ::testing::TestParamInfo<BadEntry>& i) { return std::string(i.param.name); });

TEST_F(ScriptDescriptor, NonFiniteValuesAreNotApplied) {
    const ParamBlock before = block();
    host().setScriptDescriptor({DescriptorEntry::Float(key("brgH"), std::nan("")),
                                DescriptorEntry::Float(key("conT"), std::numeric_limits<double>::infinity()),
                                DescriptorEntry::Float(key("bAdj"), -std::numeric_limits<double>::infinity()),
                                DescriptorEntry::Float(key("satU"), 0.75)});
    unsigned char show = 0;
    EXPECT_EQ(ReadScriptParameters(&show), errMissingParameter);
    ParamBlock expected = before;
    expected.values[3] = 0.75;
    EXPECT_TRUE(sameBlock(block(), expected));
}

TEST_F(ScriptDescriptor, ShowDialogFollowsTheDataByteWithoutADescriptor) {
    for (uint8 data : {uint8(0), uint8(1)}) {
        bound.data = data;
        record().descriptorParameters->descriptor = nullptr;
        const ParamBlock before = block();
        unsigned char show = 9;
        EXPECT_EQ(ReadScriptParameters(&show), noErr);
        EXPECT_EQ(show, data);
        EXPECT_TRUE(sameBlock(block(), before));
    }
    EXPECT_EQ(ReadScriptParameters(nullptr), errMissingParameter);
}

TEST_F(ScriptDescriptor, PlayInfoDecidesTheDialogAfterARead) {
    struct Case {
        int16 playInfo;
        unsigned char show;
    };
    for (Case c : {Case{plugInDialogDisplay, 1}, Case{plugInDialogDontDisplay, 0}, Case{plugInDialogSilent, 0}}) {
        SCOPED_TRACE(c.playInfo);
        bound.data = 1;
        host().setScriptDescriptor({DescriptorEntry::Float(key("brgH"), 41)}, c.playInfo);
        unsigned char show = 5;
        ReadScriptParameters(&show);
        EXPECT_EQ(show, c.show);
    }
    EXPECT_EQ(host().leakReport(), "");
}

// Read, read again, write, write again: each descriptor is disposed of once,
// and never a null one.
TEST_F(ScriptDescriptor, TheHandleIsDisposedOfOnce) {
    host().setScriptDescriptor({DescriptorEntry::Float(key("brgH"), 41)});
    unsigned char show = 0;
    ReadScriptParameters(&show);
    EXPECT_EQ(ReadScriptParameters(&show), noErr);
    EXPECT_EQ(WriteScriptParameters(), noErr);
    EXPECT_EQ(WriteScriptParameters(), noErr);
    ASSERT_TRUE(host().scriptDescriptor());
    EXPECT_TRUE(host().faults().empty()) << host().faults().front();
    EXPECT_EQ(host().leakReport(), "");
    // Written over an unread one: the old handle goes, the new one stays.
    host().setScriptDescriptor({DescriptorEntry::Float(key("brgH"), 41)});
    EXPECT_EQ(WriteScriptParameters(), noErr);
    EXPECT_EQ(refhost::findEntry(*host().scriptDescriptor(), key("brgH"))->f, block().values[0]);
    EXPECT_TRUE(host().faults().empty());
    EXPECT_EQ(host().leakReport(), "");
}

class NoDescriptorParameters : public ScriptDescriptor {
protected:
    static HostOptions options() {
        HostOptions o;
        o.descriptorParameters = false;
        return o;
    }
    NoDescriptorParameters() : ScriptDescriptor(options()) {}
};

TEST_F(NoDescriptorParameters, ReadChangesNothingAndWriteSucceeds) {
    bound.data = 1;
    const ParamBlock before = block();
    unsigned char show = 0;
    EXPECT_EQ(ReadScriptParameters(&show), noErr);
    EXPECT_EQ(show, 1);
    EXPECT_TRUE(sameBlock(block(), before));
    EXPECT_EQ(WriteScriptParameters(), noErr);
    EXPECT_EQ(host().leakReport(), "");
}

TEST_F(ScriptDescriptor, AHostThatCannotOpenAWriterGetsMissingParameter) {
    record().descriptorParameters->writeDescriptorProcs->openWriteDescriptorProc = []() -> PIWriteDescriptor {
        return nullptr;
    };
    EXPECT_EQ(WriteScriptParameters(), errMissingParameter);
    EXPECT_EQ(host().leakReport(), "");
}

}  // namespace
