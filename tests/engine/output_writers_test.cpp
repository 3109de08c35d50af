// Glimra's output writers at 8, 16 and 32 bits, the one-plane rule and the
// shared buffer handling.
#include <sys/mman.h>
#include <unistd.h>

#include <limits>

#include "engine/engine_params.h"
#include "engine/output_writers.h"
#include "engine/vector_isa.h"
#include "support/host_fixture.h"
#include "support/pixels.h"
#include "image/colorspace_luts.h"

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
// Channel 0 of the test row, and what 8 and 16 bits store for it.
const float kValues[] = {-3.0f, kNaN, 127.5f, 255.0f, 300.0f, 127.49f, 254.5f, 0.0f};
const uint8 kExpected8[] = {0, 0, 128, 255, 255, 127, 255, 0};
const uint16 kExpected16[] = {0, 0, 16384, 32768, 32768, 16383, 32704, 0};
const int32 kCount = 8;

// A buffer whose last byte is followed by an unreadable page: reading or
// writing past it faults.
class GuardedBuffer {
public:
    explicit GuardedBuffer(size_t bytes) {
        page_ = size_t(sysconf(_SC_PAGESIZE));
        span_ = (bytes + page_ - 1) / page_ * page_ + page_;
        base_ = static_cast<uint8_t*>(mmap(nullptr, span_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        mprotect(base_ + span_ - page_, page_, PROT_NONE);
        data_ = base_ + span_ - page_ - bytes;
        std::memset(data_, 0xAB, bytes);
    }
    ~GuardedBuffer() { munmap(base_, span_); }
    template <typename T>
    T* as() {
        return reinterpret_cast<T*>(data_);
    }

private:
    size_t page_, span_;
    uint8_t* base_;
    uint8_t* data_;
};

class OutputWriters : public EngineHostTest {
protected:
    // A kCount x 2 image: row 0 holds kValues in channel 0, channel 1 = 10,
    // channel 2 = kValues reversed; row 1 holds 50, 60, 70.
    void fill(fl_image& img) {
        fillImage(img, [](int32 x, int32 y, int ch) {
            if (y == 1) return 50.0f + 10.0f * float(ch);
            return ch == 0 ? kValues[x] : ch == 1 ? 10.0f : kValues[kCount - 1 - x];
        });
    }
};

TEST_F(OutputWriters, EightAndSixteenBitsClampAndRoundHalfUp) {
    fl_image img(kCount, 2);
    fill(img);
    std::vector<uint8> out8(kCount * 2 * 3, 7);
    std::vector<uint16> out16(kCount * 2 * 3, 7);
    lumaChromaMixTo8BitMaster(nullptr, 0, out8.data(), kCount * 3, kCount, 2, 0, 0, img, 0, 0, true, 3);
    lumaChromaMixTo16Bit(nullptr, 0, out16.data(), kCount * 3 * 2, kCount, 2, 0, 0, img, 0, 0, true, 3);
    for (int32 x = 0; x < kCount; ++x) {
        EXPECT_EQ(out8[3 * x], kExpected8[x]) << x;
        EXPECT_EQ(out8[3 * x + 1], 10);
        EXPECT_EQ(out8[3 * x + 2], kExpected8[kCount - 1 - x]);
        EXPECT_EQ(out16[3 * x], kExpected16[x]) << x;
        EXPECT_EQ(out16[3 * x + 1], 1285);  // 10 x 128.50197 + 0.5
        EXPECT_EQ(out16[3 * x + 2], kExpected16[kCount - 1 - x]);
        EXPECT_EQ(out8[3 * kCount + 3 * x + 2], 70);
    }
}

// In Lab the matte is a lightness: L takes it and a and b the neutral of
// the host's encoding, 128 of 0..255 and 16384 of 0..32768, whatever the
// image holds there.
TEST_F(OutputWriters, InLabTheMatteIsLightnessAndAAndBAreNeutral) {
    fl_image img(kCount, 2);
    fill(img);
    std::vector<uint8> out8(kCount * 2 * 3, 7);
    std::vector<uint16> out16(kCount * 2 * 3, 7);
    isLABmode = true;
    lumaChromaMixTo8BitMaster(nullptr, 0, out8.data(), kCount * 3, kCount, 2, 0, 0, img, 0, 0, true, 3);
    lumaChromaMixTo16Bit(nullptr, 0, out16.data(), kCount * 3 * 2, kCount, 2, 0, 0, img, 0, 0, true, 3);
    isLABmode = false;
    for (int32 i = 0; i < 2 * kCount; ++i) {
        const int32 x = i % kCount;
        EXPECT_EQ(out8[3 * i], i < kCount ? kExpected8[x] : 50) << i;
        EXPECT_EQ(out16[3 * i], i < kCount ? kExpected16[x] : 6425) << i;  // 50 x 128.50197 + 0.5
        for (int ch : {1, 2}) {
            EXPECT_EQ(out8[3 * i + ch], 128) << i << " channel " << ch;
            EXPECT_EQ(out16[3 * i + ch], 16384) << i << " channel " << ch;
        }
    }
}

TEST_F(OutputWriters, ThirtyTwoBitsInterpolateTheLinearTable) {
    colorspaceConversionLUTs tables;
    ASSERT_TRUE(tables.ok());
    fl_image img(kCount, 2);
    fill(img);
    std::vector<float> out(kCount * 2 * 3, 7.0f);
    lumaChromaMixTo32Bit(nullptr, 0, out.data(), kCount * 3 * 4, kCount, 2, 0, 0, img, 0, 0, true, 3);
    EXPECT_EQ(out[0], 0.0f);                       // -3
    EXPECT_EQ(out[3], 0.0f);                       // NaN
    EXPECT_EQ(out[6], cspacePtrLUT2[2040]);        // 127.5: t = 2040 exactly
    EXPECT_EQ(out[9], cspacePtrLUT2[4080]);        // 255
    EXPECT_EQ(out[12], cspacePtrLUT2[4080]);       // 300 clamps to 255
    EXPECT_FLOAT_EQ(out[15], 0.16f * cspacePtrLUT2[2039] + 0.84f * cspacePtrLUT2[2040]);  // 127.49
    EXPECT_EQ(out[4], cspacePtrLUT2[160]);         // 10
    EXPECT_NEAR(out[9], 1.0f, 1e-6f);
}

TEST_F(OutputWriters, WithoutTheTablesThirtyTwoBitsWritesNothingAndAlerts) {
    fl_image img(kCount, 2);
    fill(img);
    std::vector<float> out(kCount * 2 * 3, 7.0f);
    lumaChromaMixTo32Bit(nullptr, 0, out.data(), kCount * 3 * 4, kCount, 2, 0, 0, img, 0, 0, true, 3);
    for (float v : out) EXPECT_EQ(v, 7.0f);
    EXPECT_EQ(alerts().size(), 1u);
}

// The one-plane rule: one sample per pixel (channel 2) whenever the
// buffer has one plane, whatever pointer it is; three otherwise.
struct PlaneCase {
    int16 imageMode;
    int16 planes;
    int expectedSpp;
};

class OnePlaneRule : public OutputWriters, public ::testing::WithParamInterface<PlaneCase> {};

TEST_P(OnePlaneRule, FollowsThePlaneCount) {
    host().record().imageMode = GetParam().imageMode;
    const int spp = GetParam().expectedSpp;
    fl_image img(kCount, 2);
    fill(img);
    // A destination rectangle at (2, 1) in a buffer that ends exactly
    // after it, and not the host's output pointer.
    const int32 rowBytes = (kCount + 2) * spp;
    GuardedBuffer out(size_t(rowBytes) * 3);
    GuardedBuffer origin(size_t(rowBytes) * 3);
    const lumaChromaMix_struct s = {origin.as<void>(), rowBytes, out.as<void>(), rowBytes, true, GetParam().planes};
    const VRect r = {1, 2, 3, 2 + kCount};
    lumaChromaMixTo8BitFromStruct(s, r, img, 0, 0);
    const uint8* o = out.as<uint8>();
    for (int32 x = 0; x < kCount; ++x) {
        const uint8* p = o + rowBytes + (2 + x) * spp;
        if (spp == 1) {
            EXPECT_EQ(p[0], kExpected8[kCount - 1 - x]) << x;
            EXPECT_EQ(o[2 * rowBytes + 2 + x], 60 + 10) << "row 1 stores channel 2";
        } else {
            EXPECT_EQ(p[0], kExpected8[x]) << x;
            EXPECT_EQ(p[2], kExpected8[kCount - 1 - x]) << x;
        }
    }
    // Outside the rectangle nothing changed.
    for (int32 i = 0; i < rowBytes; ++i) EXPECT_EQ(o[i], 0xAB) << i;
    for (int32 i = 0; i < 2 * spp; ++i) EXPECT_EQ(o[rowBytes + i], 0xAB) << i;
}

INSTANTIATE_TEST_SUITE_P(Modes, OnePlaneRule,
                         ::testing::Values(PlaneCase{plugInModeGrayScale, kHostPlanes, 1},
                                           PlaneCase{plugInModeRGBColor, kHostPlanes, 3},
                                           PlaneCase{plugInModeRGBColor, 1, 1},
                                           PlaneCase{plugInModeGrayScale, 3, 3}));

TEST_F(OutputWriters, AOnePlaneOriginIsReadOneSampleAPixel) {
    // What a mixing writer sees through the shared buffer handling: the
    // origin row of a one-plane buffer, never past its end.
    fl_image img(kCount, 3);
    fill(img);
    GuardedBuffer origin(size_t(kCount) * 3);
    for (int32 i = 0; i < kCount * 3; ++i) origin.as<uint8>()[i] = uint8(i);
    std::vector<uint8> out(size_t(kCount) * 3, 0);
    const outputRectangle r = {origin.as<void>(), kCount, out.data(), kCount, kCount, 3, 0, 0, &img, 0, 0, 1};
    int64_t sum = 0;
    auto row = [&](const float*, const uint8* o, uint8* d, int spp, int32, int32 x0, int32 n) {
        EXPECT_EQ(spp, 1);
        EXPECT_EQ(x0, 0);
        EXPECT_EQ(n, kCount);
        for (int32 x = 0; x < kCount; ++x) {
            d[x] = o[x];
            sum += o[x];
        }
    };
    setEngineThreadCount(1);
    forEachOutputRow<uint8>(r, row);
    EXPECT_EQ(sum, int64_t(kCount * 3) * (kCount * 3 - 1) / 2);
    for (int32 i = 0; i < kCount * 3; ++i) EXPECT_EQ(out[i], uint8(i));
}

TEST_F(OutputWriters, ACancelOrAnEmptyRectangleWritesNothing) {
    fl_image img(kCount, 2);
    fill(img);
    std::vector<uint16> out(kCount * 2 * 3, 7);
    lumaChromaMixTo16Bit(nullptr, 0, out.data(), kCount * 6, 0, 2, 0, 0, img, 0, 0, true, 3);
    lumaChromaMixTo16Bit(nullptr, 0, out.data(), kCount * 6, kCount, -1, 0, 0, img, 0, 0, true, 3);
    globalUserCancelled = true;
    lumaChromaMixTo16Bit(nullptr, 0, out.data(), kCount * 6, kCount, 2, 0, 0, img, 0, 0, true, 3);
    for (uint16 v : out) EXPECT_EQ(v, 7);
}

TEST_F(OutputWriters, StructFormsTakeTheRectangleAndImagePosition) {
    fl_image img(kCount, 2);
    fill(img);
    std::vector<uint16> a(kCount * 3 * 3, 1), b(kCount * 3 * 3, 1);
    const int32 rowBytes = kCount * 3 * 2;
    // Pixels 2..5 of image row 0 to destination (1, 2).
    lumaChromaMixTo16Bit(nullptr, 0, a.data(), rowBytes, 4, 1, 1, 2, img, 2, 0, true, 3);
    const lumaChromaMix_struct s = {nullptr, 0, b.data(), rowBytes, true, 3};
    lumaChromaMixTo16Bit(s, VRect{2, 1, 3, 5}, img, 2, 0);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a[2 * kCount * 3 + 3], kExpected16[2]);
    EXPECT_EQ(a[2 * kCount * 3 + 6], kExpected16[3]);
}

// The form without positions writes from image pixel (0, 0) to destination
// pixel (0, 0).
TEST_F(OutputWriters, TheFormAtTheOriginWritesTheTopLeftRectangle) {
    fl_image img(kCount, 2);
    fill(img);
    std::vector<uint8> out(kCount * 3 * 3, 7);
    const int32 rowBytes = kCount * 3;
    lumaChromaMixTo8Bit(nullptr, 0, out.data(), rowBytes, kCount - 1, 2, img, true, 3);
    for (int32 x = 0; x < kCount - 1; ++x) {
        EXPECT_EQ(out[3 * x], kExpected8[x]) << x;
        EXPECT_EQ(out[3 * x + 1], 10);
        EXPECT_EQ(out[3 * x + 2], kExpected8[kCount - 1 - x]);
        EXPECT_EQ(out[rowBytes + 3 * x], 50);
    }
    // The last column and the third row are outside the rectangle.
    for (int32 y = 0; y < 3; ++y)
        for (int c = 0; c < 3; ++c) EXPECT_EQ(out[y * rowBytes + 3 * (kCount - 1) + c], 7) << y;
    for (int32 i = 2 * rowBytes; i < 3 * rowBytes; ++i) EXPECT_EQ(out[i], 7);
    // An empty rectangle writes nothing.
    std::vector<uint8> untouched(kCount * 3, 7);
    lumaChromaMixTo8Bit(nullptr, 0, untouched.data(), rowBytes, 0, 1, img, true, 3);
    for (uint8 v : untouched) EXPECT_EQ(v, 7);
}

// The enhance hooks change nothing.  The rectangle reaches the end of a
// guarded buffer: where the one-plane walk's reads for the hook's scratch
// copies are kept (unoptimised and sanitizer builds), a step past it faults.
TEST_F(OutputWriters, EnhanceRectanglesChangeNothingAtEveryDepth) {
    const int32 W = 6, H = 4;
    const VRect r{1, 2, H, W};  // to the buffer's last row and column
    for (int32 depth : {8, 16, 32}) {
        const int32 bytes = depth / 8;
        for (int spp : {3, 1}) {
            SCOPED_TRACE("depth " + std::to_string(depth) + ", samples per pixel " + std::to_string(spp));
            const int32 rowBytes = W * spp * bytes;
            GuardedBuffer buffer(size_t(rowBytes) * H);
            uint8* data = buffer.as<uint8>();
            for (int32 i = 0; i < rowBytes * H; ++i) data[i] = uint8(i * 37 + 11);
            const std::vector<uint8> before(data, data + rowBytes * H);
            if (spp == 3)
                enhanceRectangle(nullptr, 0, data, rowBytes, r, depth);
            else
                enhanceRectangle_SinglePlane(nullptr, 0, data, rowBytes, r, depth);
            EXPECT_EQ(std::vector<uint8>(data, data + rowBytes * H), before);
        }
    }
}

// The walk of the enhance, seen through a hook that marks what it is given:
// channel 0 + 1, channel 1 + 2, channel 2 + 4.
void markPixel(uint16& c0, uint16& c1, uint16& c2) {
    c0 += 1;
    c1 += 2;
    c2 += 4;
}

struct WalkCase {
    const char* name;
    enhanceLayout layout;
    int32 rowBytes;  // of a 16-bit buffer 7 pixels wide
    // Where a pixel's samples lie, from the layout's description: the next
    // pixel pixelStep samples on, channels 1 and 2 channelStep and twice
    // channelStep after channel 0; one plane: channel 0 alone.
    int64_t pixelStep, channelStep;
    bool onePlane;
};
class EnhanceWalk : public OutputWriters, public testing::WithParamInterface<WalkCase> {};
TEST_P(EnhanceWalk, VisitsEveryPixelOfTheRectangleOnce) {
    const WalkCase& c = GetParam();
    const int32 H = 5;
    const VRect r{1, 2, 4, 6};
    std::vector<uint16> buffer(size_t(c.rowBytes) / 2 * H * 3 + 8, 0);
    enhancePixels<uint16>(buffer.data(), c.rowBytes, r, c.layout, markPixel);
    std::vector<uint16> expected(buffer.size(), 0);
    for (int32 y = r.top; y < r.bottom; ++y)
        for (int32 x = r.left; x < r.right; ++x) {
            // A row's byte offset aligned down to a whole sample.
            const int64_t first = int64_t(y) * c.rowBytes / 2 + int64_t(x) * c.pixelStep;
            expected[first] += 1;
            if (!c.onePlane) {
                expected[first + c.channelStep] += 2;
                expected[first + 2 * c.channelStep] += 4;
            }
        }
    EXPECT_EQ(buffer, expected);
}
INSTANTIATE_TEST_SUITE_P(
    Layouts, EnhanceWalk,
    testing::Values(WalkCase{"EnhanceRectangle", kEnhanceInterleaved, 7 * 3 * 2, 3, 1, false},
                    WalkCase{"EnhanceRectangleSinglePlane", kEnhanceSinglePlane, 7 * 2, 1, 0, true},
                    // Rows of 15 bytes: each row starts at its offset aligned down to a sample.
                    WalkCase{"OnePlaneOddRowBytes", {1, 1, 1}, 15, 1, 0, true},
                    WalkCase{"ThreePlanar", {3, 7 * 5, 1}, 7 * 2, 1, 7 * 5, false},
                    WalkCase{"OnePlaneOfThreeInterleaved", {1, 1, 3}, 7 * 3 * 2, 3, 0, true}),
    [](const testing::TestParamInfo<WalkCase>& i) { return std::string(i.param.name); });

// Every instruction set's writer, on either plane count, stores each sample
// as the one-sample rule does: clamped to 0..255 (NaN to 0), rounded half
// up; 32 bits by interpolation in the linear table.  In Lab a and b hold
// the neutral.  The rows are long enough for whole vectors of every set and
// a remainder.
TEST_F(OutputWriters, TheSameImageAtEveryDepthOnEverySet) {
    colorspaceConversionLUTs tables;
    ASSERT_TRUE(tables.ok());
    const int32 w = 301, h = 9;
    fl_image img(w, h);
    fillNoisyScene(img, 8);
    for (int32 i = 0; i < kCount; ++i) pixel(img, 40 + i, 2)[i % 3] = kValues[i];
    auto at = [&](int32 x, int32 y, int ch) { return pixel(img, x, y)[ch]; };
    for (int isa = 0; isa < vectorInstructionSets(); ++isa) {
        useVectorInstructionSet(isa);
        for (int spp : {3, 1}) {
            SCOPED_TRACE("instruction set " + std::to_string(isa) + ", " + std::to_string(spp) + " plane(s)");
            const size_t n = size_t(w) * h * spp;
            std::vector<uint8> o8(n), lab8(n);
            std::vector<uint16> o16(n), lab16(n);
            std::vector<float> o32(n);
            lumaChromaMixTo8BitMaster(nullptr, 0, o8.data(), w * spp, w, h, 0, 0, img, 0, 0, true, int16(spp));
            lumaChromaMixTo16Bit(nullptr, 0, o16.data(), w * spp * 2, w, h, 0, 0, img, 0, 0, true, int16(spp));
            lumaChromaMixTo32Bit(nullptr, 0, o32.data(), w * spp * 4, w, h, 0, 0, img, 0, 0, true, int16(spp));
            isLABmode = true;
            lumaChromaMixTo8BitMaster(nullptr, 0, lab8.data(), w * spp, w, h, 0, 0, img, 0, 0, true, int16(spp));
            lumaChromaMixTo16Bit(nullptr, 0, lab16.data(), w * spp * 2, w, h, 0, 0, img, 0, 0, true, int16(spp));
            isLABmode = false;
            for (size_t i = 0; i < n; ++i) {
                const int32 x = int32(i / spp) % w, y = int32(i / spp) / w;
                const float v = at(x, y, spp == 1 ? 2 : int(i % 3));
                const float c = v >= 0.0f ? (v > 255.0f ? 255.0f : v) : 0.0f;
                ASSERT_EQ(o8[i], uint8(int(c + 0.5f))) << x << ", " << y;
                ASSERT_EQ(o16[i], uint16(int(c * 128.50197f + 0.5f))) << x << ", " << y;
                const bool neutral = spp == 3 && i % 3 != 0;
                ASSERT_EQ(lab8[i], neutral ? 128 : o8[i]) << x << ", " << y;
                ASSERT_EQ(lab16[i], neutral ? 16384 : o16[i]) << x << ", " << y;
                const float t = 16.0f * c;
                const int k = int(t);
                const float f = t - float(k);
                ASSERT_EQ(o32[i], (1.0f - f) * cspacePtrLUT2[k] + f * cspacePtrLUT2[k + 1]) << x << ", " << y;
            }
        }
    }
    useVectorInstructionSet(-1);
}

}  // namespace
