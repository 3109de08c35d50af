// Float images: host memory, mirrored border, size predicates and copies.
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "image/fl_image.h"
#include "support/host_fixture.h"
#include "support/pixels.h"

namespace {

// Channel c of the pixel at padded coordinates (x, y).
float& at(fl_image& img, int32 x, int32 y, int c = 0) { return img.data[(int64_t(y) * img.paddedWidth + x) * 3 + c]; }

// Interior pixel (x, y) gets a value that names it: 1000 y + 10 x + channel.
float nameOf(int32 x, int32 y, int c) { return float(1000 * y + 10 * x + c); }

class FlImageTest : public HostFixture {
protected:
    void SetUp() override { makeHost(); }
};

TEST_F(FlImageTest, ConstructionTakesOneLockedHostBuffer) {
    {
        fl_image img(10, 7);
        ASSERT_NE(img.data, nullptr);
        EXPECT_NE(img.bufferID, nullptr);
        EXPECT_TRUE(img.locked);
        EXPECT_EQ(img.kind, 2);
        EXPECT_EQ(img.padX, 3);
        EXPECT_EQ(img.padY, 3);
        EXPECT_EQ(img.paddedWidth, 16);
        EXPECT_EQ(img.paddedHeight, 13);
        EXPECT_EQ(img.rowBytes, 16 * 12);
        EXPECT_EQ(img.bufferSize, 16 * 13 * 12);
        EXPECT_FALSE(img.paddingGenerated);
        EXPECT_EQ(host().buffers().liveBytes(), 16 * 13 * 12);
        EXPECT_EQ(host().buffers().locked(), 1);

        fl_image work(getFlimageDimensions(img));
        EXPECT_EQ(work.paddedWidth, 16);
        EXPECT_EQ(work.paddedHeight, 13);
        EXPECT_EQ(liveBuffers(), 2);
    }
    EXPECT_EQ(liveBuffers(), 0);
}

TEST_F(FlImageTest, DimensionsRecordGivesOtherBorders) {
    fl_image img(flimageDimensions{1, 2, 5, 4});
    ASSERT_NE(img.data, nullptr);
    EXPECT_EQ(img.paddedWidth, 7);
    EXPECT_EQ(img.paddedHeight, 8);
    EXPECT_EQ(img.bufferSize, 7 * 8 * 12);
    const flimageDimensions d = getFlimageDimensions(img);
    EXPECT_EQ(d.padX, 1);
    EXPECT_EQ(d.padY, 2);
    EXPECT_EQ(d.width, 5);
    EXPECT_EQ(d.height, 4);
}

TEST_F(FlImageTest, FreeBufferReleasesEarlyAndOnlyOnce) {
    fl_image img(4, 4);
    img.freeBuffer();
    EXPECT_EQ(img.data, nullptr);
    EXPECT_EQ(img.bufferID, nullptr);
    EXPECT_FALSE(img.locked);
    EXPECT_EQ(liveBuffers(), 0);
    img.freeBuffer();  // and the destructor: both must do nothing now (TearDown sees any fault)
}

// A level image set aside while coarser levels run: unlocked, its pixels
// kept by the host, locked again; a lock or a buffer the host refuses leaves
// the image without pixels and frees what the host gave without unlocking it.
TEST_F(FlImageTest, UnlockRelockAndReallocateKeepTheHostsLockCount) {
    fl_image img(4, 4);
    ASSERT_NE(img.data, nullptr);
    at(img, 5, 6, 1) = 42.0f;
    img.unlock();
    EXPECT_EQ(img.data, nullptr);
    EXPECT_FALSE(img.locked);
    EXPECT_EQ(host().buffers().locked(), 0);
    EXPECT_EQ(liveBuffers(), 1);
    img.unlock();  // unlocking twice is not the host's fault to see
    img.relock();
    ASSERT_NE(img.data, nullptr);
    EXPECT_TRUE(img.locked);
    EXPECT_EQ(host().buffers().locked(), 1);
    EXPECT_EQ(at(img, 5, 6, 1), 42.0f);

    img.unlock();
    host().buffers().refuseLockNth(1);
    img.relock();
    EXPECT_EQ(img.data, nullptr);
    EXPECT_FALSE(img.locked);
    EXPECT_TRUE(handleInvalidMemory(img));
    EXPECT_EQ(liveBuffers(), 1);  // still the host's: the destructor frees it, unlocked
    EXPECT_EQ(alerts().size(), 1u);
}

TEST_F(FlImageTest, ReallocateAfterFreeBufferTakesALockedBufferOrNone) {
    fl_image img(4, 4);
    img.paddingGenerated = true;
    img.freeBuffer();
    img.reallocate();
    ASSERT_NE(img.data, nullptr);
    EXPECT_TRUE(img.locked);
    EXPECT_FALSE(img.paddingGenerated);
    EXPECT_EQ(host().buffers().liveBytes(), 10 * 10 * 12);
    EXPECT_EQ(host().buffers().locked(), 1);

    img.freeBuffer();
    host().buffers().refuseLockNth(1);  // given, but not locked
    img.reallocate();
    EXPECT_EQ(img.data, nullptr);
    EXPECT_EQ(img.bufferID, nullptr);
    EXPECT_EQ(liveBuffers(), 0);

    refuseAllocation(1);
    img.reallocate();
    EXPECT_EQ(img.data, nullptr);
    EXPECT_EQ(liveBuffers(), 0);
    EXPECT_TRUE(handleInvalidMemory(img));
    EXPECT_EQ(alerts().size(), 1u);
}

TEST_F(FlImageTest, WidthFourMirrorsAboutTheEdgeWithoutRepeatingIt) {
    fl_image img(4, 4);
    ASSERT_NE(img.data, nullptr);
    fillInterior(img, nameOf);
    img.generatePadding();
    EXPECT_TRUE(img.paddingGenerated);
    const int32 row = 3 + 1;  // an interior row
    // Left border, outermost first: interior columns 3, 2, 1.
    EXPECT_EQ(at(img, 0, row), at(img, 3 + 3, row));
    EXPECT_EQ(at(img, 1, row), at(img, 3 + 2, row));
    EXPECT_EQ(at(img, 2, row), at(img, 3 + 1, row));
    // Right border, innermost first: interior columns 2, 1, 0.
    EXPECT_EQ(at(img, 7, row), at(img, 3 + 2, row));
    EXPECT_EQ(at(img, 8, row), at(img, 3 + 1, row));
    EXPECT_EQ(at(img, 9, row), at(img, 3 + 0, row));
    // Rows likewise, and all three channels.
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(at(img, 4, 0, c), at(img, 4, 6, c));
        EXPECT_EQ(at(img, 4, 9, c), at(img, 4, 3, c));
    }
}

TEST_F(FlImageTest, EveryBorderPixelIsTheReflectionOfAnInteriorPixel) {
    fl_image img(5, 4);
    ASSERT_NE(img.data, nullptr);
    fillInterior(img, nameOf);
    img.generatePadding();
    auto mirror = [](int32 p, int32 pad, int32 n) {
        return p < pad ? 2 * pad - p : (p >= pad + n ? 2 * (pad + n) - 2 - p : p);
    };
    for (int32 y = 0; y < img.paddedHeight; ++y)
        for (int32 x = 0; x < img.paddedWidth; ++x)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(at(img, x, y, c), at(img, mirror(x, 3, 5), mirror(y, 3, 4), c)) << x << "," << y;
}

TEST_F(FlImageTest, RegeneratePaddingFollowsTheChangedInterior) {
    fl_image img(6, 6);
    ASSERT_NE(img.data, nullptr);
    fillInterior(img, nameOf);  // the border still holds the host's NaN fill
    img.generatePadding();
    for (int32 y = 3; y < 9; ++y)
        for (int32 x = 3; x < 9; ++x)
            for (int c = 0; c < 3; ++c) at(img, x, y, c) += 0.5f;
    img.regeneratePadding();
    EXPECT_TRUE(img.paddingGenerated);
    EXPECT_EQ(at(img, 0, 0), at(img, 6, 6));
    EXPECT_EQ(at(img, 0, 0), 3030.5f);  // interior (3, 3), channel 0, plus the change
    EXPECT_EQ(at(img, 11, 4, 2), at(img, 5, 4, 2));
    EXPECT_EQ(at(img, 11, 4, 2), 1022.5f);  // interior (2, 1), channel 2
}

struct LiftingCase {
    int32 width, height, padX, padY;
    uint16 levels;
    bool tooSmall;
};

class PaddingExceedsLifting : public ::testing::TestWithParam<LiftingCase> {};

TEST_P(PaddingExceedsLifting, Rule) {
    const LiftingCase& c = GetParam();
    EXPECT_EQ(doesPaddingExceedLifting(c.width, c.height, c.padX, c.padY, c.levels), c.tooSmall);
}

INSTANTIATE_TEST_SUITE_P(Cases, PaddingExceedsLifting,
                         ::testing::Values(LiftingCase{25, 25, 3, 3, 3, false}, LiftingCase{24, 100, 3, 3, 3, true},
                                           LiftingCase{100, 24, 3, 3, 3, true},
                                           LiftingCase{24, 24, 3, 3, 3, true},
                                           // levels 0 compares the pads themselves
                                           LiftingCase{4, 4, 3, 3, 0, false}, LiftingCase{3, 10, 3, 3, 0, true},
                                           LiftingCase{10, 3, 3, 3, 0, true},
                                           // absurd level counts stay defined
                                           LiftingCase{1 << 30, 1 << 30, 3, 3, 200, true}));

TEST(PaddingExceedsImage, PadEqualToTheSizeIsTooMuch) {
    EXPECT_TRUE(doesPaddingExceedImage(3, 10, 3, 3));
    EXPECT_TRUE(doesPaddingExceedImage(10, 3, 3, 3));
    EXPECT_FALSE(doesPaddingExceedImage(4, 4, 3, 3));
}

TEST_F(FlImageTest, RefusedBufferGivesOneAlertAndTheCancelResult) {
    refuseAllocation(1);
    fl_image img(8, 8);
    EXPECT_EQ(img.data, nullptr);
    EXPECT_EQ(img.bufferID, nullptr);
    EXPECT_FALSE(img.locked);
    EXPECT_TRUE(alerts().empty()) << "the constructor itself is silent";
    EXPECT_TRUE(handleInvalidMemory(img));
    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_EQ(alerts()[0], kOutOfMemoryAlert);
    EXPECT_EQ(result(), userCanceledErr);
    EXPECT_EQ(liveBuffers(), 0);

    fl_image good(8, 8);
    EXPECT_FALSE(handleInvalidMemory(good));
    EXPECT_EQ(alerts().size(), 1u);
}

// The host sizes buffers in 32 bits: an image beyond that is refused before
// the host is asked, and nothing overflows on the way.
TEST_F(FlImageTest, UnaddressableImageIsRefusedWithTheMemoryAlert) {
    host().buffers().resetCount();
    for (flimageDimensions d : {flimageDimensions{3, 3, 20000, 20000}, flimageDimensions{3, 3, INT32_MAX - 3, 1},
                                flimageDimensions{3, 3, -10, 5}}) {
        host().clearAlerts();
        fl_image img(d);
        EXPECT_EQ(img.data, nullptr);
        EXPECT_TRUE(handleInvalidMemory(img));
        ASSERT_EQ(alerts().size(), 1u);
        EXPECT_EQ(alerts()[0], kOutOfMemoryAlert);
    }
    EXPECT_EQ(host().buffers().allocations(), 0);
    // An image just within 32 bits is still asked for (and here refused by
    // the host, which spares the test two gigabytes).
    host().buffers().plan.refuseAbove = 1 << 20;
    fl_image fits(flimageDimensions{3, 3, 13000, 13000});
    EXPECT_EQ(fits.bufferSize, int64_t(13006) * 13006 * 12);
    EXPECT_EQ(fits.data, nullptr);
    EXPECT_EQ(host().buffers().allocations(), 1);
}

TEST_F(FlImageTest, Uint8ImageWithoutBufferGivesItsOwnAlert) {
    uint8_image img;
    EXPECT_TRUE(handleInvalidMemory(img));
    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_EQ(alerts()[0],
              "(Vexlor error)  Memory allocation failed. / Not enough memory to run this plugin.  Go to Edit -> "
              "Preferences -> Performance to increase memory allocation.");
    EXPECT_EQ(result(), userCanceledErr);
}

TEST_F(FlImageTest, FlimageToFlimageCopiesTheCommonPaddedRectangle) {
    fl_image src(6, 5), dst(3, 3);  // padded 12 x 11 and 9 x 9
    ASSERT_NE(src.data, nullptr);
    ASSERT_NE(dst.data, nullptr);
    for (int32 y = 0; y < src.paddedHeight; ++y)
        for (int32 x = 0; x < src.paddedWidth; ++x)
            for (int c = 0; c < 3; ++c) at(src, x, y, c) = float(100 * y + x) + 0.25f * c;
    for (int32 i = 0; i < dst.paddedWidth * dst.paddedHeight * 3; ++i) dst.data[i] = -1.0f;

    // From (4, 5) to (2, 1): w = min(12 - 4, 9 - 2) = 7, h = min(11 - 5, 9 - 1) = 6.
    flimageToFlimage(src, dst, 4, 5, 2, 1);
    for (int32 y = 0; y < dst.paddedHeight; ++y)
        for (int32 x = 0; x < dst.paddedWidth; ++x) {
            const bool copied = x >= 2 && y >= 1 && y < 7;
            const float want = copied ? at(src, x - 2 + 4, y - 1 + 5, 2) : -1.0f;
            ASSERT_EQ(at(dst, x, y, 2), want) << x << "," << y;
        }

    src.paddingGenerated = true;
    flimageToFlimage(src, dst);
    EXPECT_EQ(at(dst, 8, 8, 1), at(src, 8, 8, 1));
    EXPECT_FALSE(dst.paddingGenerated);
}

TEST_F(FlImageTest, FlimageToUint8RoundsAndClamps) {
    const float in[] = {-3.2f, 254.5f, 300.0f, 127.49f, std::numeric_limits<float>::quiet_NaN(), 0.5f, 0.49f,
                        std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()};
    const unsigned char want[] = {0, 255, 255, 127, 0, 1, 0, 255, 0};
    const int32 n = int32(sizeof in / sizeof in[0]);
    fl_image img(3, n);  // one value per row, in all three channels
    ASSERT_NE(img.data, nullptr);
    for (int32 y = 0; y < n; ++y)
        for (int32 x = 0; x < 3; ++x)
            for (int c = 0; c < 3; ++c) at(img, x + 3, y + 3, c) = in[y];
    const int32 rowBytes = 3 * 3 + 5;  // slack that must stay untouched
    std::vector<unsigned char> out(size_t(rowBytes) * n, 0xAB);
    flimageToUint8(out.data(), rowBytes, img, 3, n);
    for (int32 y = 0; y < n; ++y) {
        for (int32 i = 0; i < 9; ++i) ASSERT_EQ(out[size_t(y) * rowBytes + i], want[y]) << "value " << in[y];
        for (int32 i = 9; i < rowBytes; ++i) ASSERT_EQ(out[size_t(y) * rowBytes + i], 0xAB);
    }
}

TEST(Uint8Image, CopiesUseEachImagesOwnRowLength) {
    std::vector<unsigned char> a(5 * 4 * 3), b(3 * 3 * 3, 0);
    for (size_t i = 0; i < a.size(); ++i) a[i] = static_cast<unsigned char>(i);
    uint8_image big{nullptr, 5, 4, a.data()}, small{nullptr, 3, 3, b.data()};
    int32 w = 0, h = 0;
    getUint8imageDimensions(big, w, h);
    EXPECT_EQ(w, 5);
    EXPECT_EQ(h, 4);

    uint8imageToUint8image(big, small, 2, 1, 1, 0, 2, 3);  // big (2..3, 1..3) to small (1..2, 0..2)
    for (int32 j = 0; j < 3; ++j)
        for (int32 i = 0; i < 2; ++i)
            for (int c = 0; c < 3; ++c)
                EXPECT_EQ(b[((j * 3) + 1 + i) * 3 + c], a[(((1 + j) * 5) + 2 + i) * 3 + c]);
    EXPECT_EQ(b[0], 0);

    // From pointer data with row bytes of its own.
    const int32 srcRowBytes = 4 * 3 + 2;
    std::vector<unsigned char> src(size_t(srcRowBytes) * 2);
    for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<unsigned char>(200 + i);
    uint8imageFromPointerData(src.data(), srcRowBytes, 1, 0, small, 0, 1, 2, 2);
    for (int32 j = 0; j < 2; ++j)
        for (int32 i = 0; i < 2; ++i)
            for (int c = 0; c < 3; ++c)
                EXPECT_EQ(b[(((1 + j) * 3) + i) * 3 + c], src[size_t(j) * srcRowBytes + (1 + i) * 3 + c]);
}

// A 4 x 3 source of 3-sample pixels, value 10 x + 40 y + channel, copied
// mirrored on x, on y, both or neither.
struct TranslationCase {
    bool xForward, yForward;
};

class CopyWithTranslation : public ::testing::TestWithParam<TranslationCase> {
protected:
    template <typename T>
    void check(int32 sampleBytes) {
        const TranslationCase& c = GetParam();
        const int32 srcRowBytes = (4 * 3 + 1) * sampleBytes, dstRowBytes = (5 * 3 + 2) * sampleBytes;
        std::vector<T> src(size_t(srcRowBytes / sampleBytes) * 3), dst(size_t(dstRowBytes / sampleBytes) * 4, T(0));
        for (int32 y = 0; y < 3; ++y)
            for (int32 x = 0; x < 4; ++x)
                for (int ch = 0; ch < 3; ++ch) src[y * (srcRowBytes / sampleBytes) + x * 3 + ch] = T(10 * x + 40 * y + ch);
        // Start at the corner the copy runs away from.
        const int32 srcX = c.xForward ? 0 : 3, srcY = c.yForward ? 0 : 2;
        copyWithTranslation(src.data(), 4, 3, srcRowBytes, dst.data(), 5, 4, dstRowBytes, srcX, c.xForward, srcY,
                            c.yForward, 1, 1, 4, 3);
        for (int32 j = 0; j < 3; ++j)
            for (int32 i = 0; i < 4; ++i) {
                const int32 sx = c.xForward ? i : 3 - i, sy = c.yForward ? j : 2 - j;
                for (int ch = 0; ch < 3; ++ch)
                    ASSERT_EQ(dst[(1 + j) * (dstRowBytes / sampleBytes) + (1 + i) * 3 + ch],
                              src[sy * (srcRowBytes / sampleBytes) + sx * 3 + ch]);
            }
        EXPECT_EQ(dst[0], T(0));
    }
};

TEST_P(CopyWithTranslation, Float) { check<float>(4); }
TEST_P(CopyWithTranslation, Byte) { check<unsigned char>(1); }

TEST_P(CopyWithTranslation, UntypedSource) {
    const TranslationCase& c = GetParam();
    const unsigned char src[2 * 2 * 3] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    char dst[2 * 2 * 3] = {};
    copyWithTranslation(static_cast<const void*>(src), 2, 2, 6, dst, 2, 2, 6, c.xForward ? 0 : 1, c.xForward,
                        c.yForward ? 0 : 1, c.yForward, 0, 0, 2, 2);
    for (int32 j = 0; j < 2; ++j)
        for (int32 i = 0; i < 2; ++i) {
            const int32 sx = c.xForward ? i : 1 - i, sy = c.yForward ? j : 1 - j;
            EXPECT_EQ(dst[j * 6 + i * 3], char(src[sy * 6 + sx * 3]));
        }
}

INSTANTIATE_TEST_SUITE_P(Directions, CopyWithTranslation,
                         ::testing::Values(TranslationCase{true, true}, TranslationCase{false, true},
                                           TranslationCase{true, false}, TranslationCase{false, false}));

}  // namespace
