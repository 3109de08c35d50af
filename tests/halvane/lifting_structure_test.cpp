// The four-level structure: what zero amounts leave, independence of the
// thread count and of the instruction set, and every failure and cancel path freeing what it holds
// exactly once.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/lifting.h"
#include "engine/output_writers.h"
#include "engine/vector_isa.h"
#include "halvane/lifting_structure.h"
#include "image/colorspace_luts.h"
#include "support/host_fixture.h"
#include "support/pixels.h"

namespace {

class LiftingStructure : public ProductDefaultsTest {
protected:
    // Runs the structure on a w x h pattern; returns its result and the
    // input as it was.
    OSErr run(int32 w, int32 h, std::vector<float>& input, std::vector<float>& output) {
        fl_image img(w, h);
        fillInterior(img, patternValue);
        input = interior(img);
        fl_image dst(getFlimageDimensions(img));
        const OSErr r = noiseReduceLiftingStructure(img, dst);
        if (r == noErr) {
            EXPECT_EQ(img.data, nullptr) << "the input's buffer is released after a successful run";
            output = interior(dst);
        }
        return r;
    }
    void zeroAmounts() {
        for (int i = 8; i <= 11; ++i) block_.values[i] = 0;  // noise reduction per level
        block_.values[12] = 0;                               // luma sharpening
        block_.values[19] = 0;                               // colour sharpening
    }
};

TEST_F(LiftingStructure, ZeroAmountsWithTheStandardCoreReturnTheInput) {
    zeroAmounts();
    block_.flags[8] = 0;
    derive();
    std::vector<float> in, out;
    ASSERT_EQ(run(61, 45, in, out), noErr);
    ASSERT_EQ(in.size(), out.size());
    for (size_t i = 0; i < in.size(); ++i) ASSERT_NEAR(out[i], in[i], 1e-3f) << i;
}

// The cleaner core replaces each pixel by its block mean whatever the
// amount: with the cleaner core on (Halvane's default) zero amounts still
// smooth.
TEST_F(LiftingStructure, ZeroAmountsWithTheCleanerCoreStillSmooth) {
    zeroAmounts();
    block_.flags[8] = 1;
    derive();
    std::vector<float> in, out;
    ASSERT_EQ(run(61, 45, in, out), noErr);
    float largest = 0;
    for (size_t i = 0; i < in.size(); ++i) largest = std::max(largest, std::fabs(out[i] - in[i]));
    EXPECT_GT(largest, 1.0f);
}

TEST_F(LiftingStructure, DestinationOfAnotherSizeIsRefused) {
    fl_image img(40, 40), dst(40, 39);
    fillInterior(img, patternValue);
    const std::vector<float> before = interior(img);
    EXPECT_EQ(noiseReduceLiftingStructure(img, dst), kLiftingSizeMismatch);
    EXPECT_NE(dst.data, nullptr);
    EXPECT_TRUE(sameBits(before, interior(img)));
    EXPECT_TRUE(alerts().empty());
}

TEST_F(LiftingStructure, LevelNoiseHasAFloor) {
    EXPECT_EQ(liftingLevelNoise(0.0f), 1e-5f);
    EXPECT_EQ(liftingLevelNoise(-3.0f), 1e-5f);
    EXPECT_EQ(liftingLevelNoise(std::nanf("")), 1e-5f);
    EXPECT_EQ(liftingLevelNoise(2e-5f), 2e-5f);
}

class ThreadCounts : public LiftingStructure, public ::testing::WithParamInterface<bool> {};

TEST_P(ThreadCounts, ResultIsBitIdenticalForAnyThreadCount) {
    block_.flags[8] = GetParam();
    derive();
    std::vector<float> reference;
    for (int32 n : {1, 3, 4, 8}) {
        setEngineThreadCount(n);
        std::vector<float> in, out;
        ASSERT_EQ(run(157, 101, in, out), noErr);
        if (reference.empty())
            reference = out;
        else
            EXPECT_TRUE(sameBits(reference, out)) << n << " threads";
    }
}

INSTANTIATE_TEST_SUITE_P(CleanerCore, ThreadCounts, ::testing::Bool());

// Every instruction set the processor runs gives the structure's result and
// the writers' samples bit for bit (both cores, every kernel of the road).
class InstructionSets : public LiftingStructure, public ::testing::WithParamInterface<bool> {
protected:
    // The parameter chooses the core; the writers' tables are loaded.
    void SetUp() override {
        LiftingStructure::SetUp();
        block_.flags[8] = GetParam();
        derive();
        luts_.reset(new colorspaceConversionLUTs);
        ASSERT_TRUE(luts_->ok());
    }
    void TearDown() override {
        useVectorInstructionSet(-1);
        luts_.reset();
        LiftingStructure::TearDown();
    }
    std::unique_ptr<colorspaceConversionLUTs> luts_;
};

TEST_P(InstructionSets, GiveTheSameResultBitForBit) {
    const int32 w = 157, h = 101;
    std::vector<float> reference, reference32;
    std::vector<uint8> reference8;
    for (int isa = 0; isa < vectorInstructionSets(); ++isa) {
        useVectorInstructionSet(isa);
        fl_image img(w, h);
        fillImage(img, patternValue);
        std::vector<uint8> origin8(size_t(w) * h * 3), out8(origin8.size());
        std::vector<float> origin32(origin8.size()), out32(origin8.size());
        for (size_t i = 0; i < origin8.size(); ++i) {
            origin8[i] = uint8((i * 37) % 256);
            origin32[i] = float((i * 37) % 300) / 255.0f;
        }
        fl_image dst(getFlimageDimensions(img));
        ASSERT_EQ(noiseReduceLiftingStructure(img, dst), noErr);
        lumaChromaMixTo8BitMaster(origin8.data(), w * 3, out8.data(), w * 3, w, h, 0, 0, dst, 0, 0, true, 3);
        lumaChromaMixTo32Bit(origin32.data(), w * 12, out32.data(), w * 12, w, h, 0, 0, dst, 0, 0, true, 3);
        if (isa == 0) {
            reference = interior(dst);
            reference8 = out8;
            reference32 = out32;
            continue;
        }
        EXPECT_TRUE(sameBits(reference, interior(dst))) << "instruction set " << isa;
        EXPECT_EQ(reference8, out8) << "instruction set " << isa;
        EXPECT_TRUE(sameBits(reference32, out32)) << "instruction set " << isa;
    }
    std::printf("%d instruction sets compared\n", vectorInstructionSets());
}

INSTANTIATE_TEST_SUITE_P(CleanerCore, InstructionSets, ::testing::Bool());

// The writers read a structure that left its last rebuild to them as they
// read the rebuilt image: every sample of every depth and plane count, on
// every instruction set, for the whole image and for a rectangle at an odd
// column that crosses the writers' pieces of the row.  A rebuild formed
// afterwards (completeRebuild) is the rebuilt image bit for bit.
TEST_P(InstructionSets, APendingRebuildWritesWhatTheRebuiltImageWrites) {
    const int32 w = 601, h = 37;
    struct Rect {
        int32 imageX, imageY, width, height;
    };
    const Rect rects[] = {{0, 0, w, h}, {3, 2, 590, 30}};
    for (int isa = 0; isa < vectorInstructionSets(); ++isa) {
        useVectorInstructionSet(isa);
        fl_image img(w, h), rebuilt(getFlimageDimensions(img));
        fillImage(img, patternValue);
        fl_image again(w, h), pending(getFlimageDimensions(again));
        fillImage(again, patternValue);
        ASSERT_EQ(noiseReduceLiftingStructure(img, rebuilt), noErr);
        ASSERT_EQ(noiseReduceLiftingStructureForWriting(again, pending), noErr);
        ASSERT_TRUE(pending.pendingCoarse && pending.pendingDetails);
        EXPECT_EQ(again.data, nullptr) << "level 0's buffer went to the destination";
        for (const Rect& r : rects)
            for (int spp : {3, 1}) {
                SCOPED_TRACE("set " + std::to_string(isa) + ", x " + std::to_string(r.imageX) + ", " +
                             std::to_string(spp) + " plane(s)");
                const size_t n = size_t(r.width) * r.height * spp;
                std::vector<uint8> o8(n), a8(n), b8(n);
                std::vector<uint16> o16(n), a16(n), b16(n);
                std::vector<float> o32(n), a32(n), b32(n);
                for (size_t i = 0; i < n; ++i) {
                    o8[i] = uint8((i * 37) % 256);
                    o16[i] = uint16((i * 997) % 32769);
                    o32[i] = float((i * 37) % 300) / 255.0f;
                }
                for (fl_image* out : {&rebuilt, &pending}) {
                    const bool isPending = out == &pending;
                    const int32 rb = r.width * spp;
                    lumaChromaMixTo8BitMaster(o8.data(), rb, (isPending ? b8 : a8).data(), rb, r.width, r.height, 0,
                                              0, *out, r.imageX, r.imageY, true, int16(spp));
                    lumaChromaMixTo16Bit(o16.data(), rb * 2, (isPending ? b16 : a16).data(), rb * 2, r.width,
                                         r.height, 0, 0, *out, r.imageX, r.imageY, true, int16(spp));
                    lumaChromaMixTo32Bit(o32.data(), rb * 4, (isPending ? b32 : a32).data(), rb * 4, r.width,
                                         r.height, 0, 0, *out, r.imageX, r.imageY, true, int16(spp));
                }
                EXPECT_EQ(a8, b8);
                EXPECT_EQ(a16, b16);
                EXPECT_TRUE(sameBits(a32, b32));
            }
        ASSERT_EQ(completeRebuild(pending), noErr);
        EXPECT_FALSE(pending.pendingCoarse);
        EXPECT_TRUE(sameBits(interior(rebuilt), interior(pending))) << "set " << isa;
    }
}

class RefusedBuffers : public LiftingStructure, public ::testing::WithParamInterface<bool> {};

// Every buffer the structure (with its driver calls) allocates, refused in
// turn: one alert, -108, the input keeps its buffer, nothing leaks, and no
// buffer is unlocked or freed twice (the host records that as a fault).
TEST_P(RefusedBuffers, EachRefusalFailsCleanly) {
    block_.flags[8] = GetParam();
    derive();
    int64_t total = 0;
    {
        fl_image img(33, 29), dst(33, 29);
        fillInterior(img, patternValue);
        host().buffers().resetCount();
        ASSERT_EQ(noiseReduceLiftingStructure(img, dst), noErr);
        total = host().buffers().allocations();
    }
    // D0, L1 to L3, D1, D2, two work images per level, and the destination.
    EXPECT_EQ(total, 1 + 3 + 2 + 4 * 2 + 1);
    for (int64_t n = 1; n <= total; ++n) {
        host().clearAlerts();
        host().result() = 0;
        {
            fl_image img(33, 29), dst(33, 29);
            fillInterior(img, patternValue);
            host().buffers().resetCount();
            host().buffers().plan.refuseNth = n;
            EXPECT_EQ(noiseReduceLiftingStructure(img, dst), memFullErr) << "refusing buffer " << n;
            host().buffers().plan.refuseNth = 0;
            EXPECT_EQ(alerts().size(), 1u) << "refusing buffer " << n;
            EXPECT_EQ(host().result(), userCanceledErr);
            EXPECT_NE(img.data, nullptr) << "the input keeps its buffer";
            EXPECT_EQ(host().buffers().live(), 1) << "only the input is left (dst gave its buffer up), refusing " << n;
        }
        EXPECT_EQ(host().buffers().live(), 0);
        ASSERT_EQ(host().leakReport(), "") << "refusing buffer " << n;
    }
}

INSTANTIATE_TEST_SUITE_P(CleanerCore, RefusedBuffers, ::testing::Bool());

// A cancel seen at any poll of the run (after each level's passes and by
// the structure after each level) ends it with -128, no buffer for dst and
// nothing left allocated.
TEST_F(LiftingStructure, CancelAfterAnyLevel) {
    int64_t polls = 0;
    {
        beginFilteringRun(true);
        fl_image img(40, 30), dst(40, 30);
        fillInterior(img, patternValue);
        ASSERT_EQ(noiseReduceLiftingStructure(img, dst), noErr);
        polls = host().abortCalls();
    }
    ASSERT_GE(polls, 4);  // at least the structure's own poll after each level
    for (int64_t k = 1; k <= polls; ++k) {
        makeHost();
        useDefaults();
        beginFilteringRun(true);
        host().cancelAtAbortCall = int32(k);
        {
            fl_image img(40, 30), dst(40, 30);
            fillInterior(img, patternValue);
            EXPECT_EQ(noiseReduceLiftingStructure(img, dst), userCanceledErr) << "cancel at poll " << k;
            EXPECT_EQ(dst.data, nullptr);
            EXPECT_EQ(host().result(), userCanceledErr);
            EXPECT_TRUE(alerts().empty());
        }
        EXPECT_EQ(host().buffers().live(), 0);
        ASSERT_EQ(host().leakReport(), "") << "cancel at poll " << k;
        globalUserCancelled = false;
    }
}

TEST_F(LiftingStructure, CancelRecordedBeforeTheRunEndsItAfterLevelZero) {
    globalUserCancelled = true;
    fl_image img(30, 30), dst(30, 30);
    fillInterior(img, patternValue);
    host().buffers().resetCount();
    EXPECT_EQ(noiseReduceLiftingStructure(img, dst), userCanceledErr);
    // D0 and level 0's two work images: nothing after the first level.
    EXPECT_EQ(host().buffers().allocations(), 3);
    EXPECT_EQ(dst.data, nullptr);
}

TEST_F(LiftingStructure, SmallestImageRuns) {
    std::vector<float> in, out;
    ASSERT_EQ(run(25, 25, in, out), noErr);
    for (float v : out) ASSERT_TRUE(std::isfinite(v));
}

}  // namespace
