// The host's advance state: request validation, served buffers with slack
// row bytes, and when output reaches the document.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "support/host_fixture.h"

namespace {

using refhost::Document;
using refhost::HostOptions;

class AdvanceState : public HostFixture {
protected:
    void request(VRect in, VRect out, int16 planes) {
        BigDocumentStruct* big = host().record().bigDocumentData;
        big->inRect32 = in;
        big->outRect32 = out;
        FilterRecord& r = host().record();
        r.inLoPlane = r.outLoPlane = 0;
        r.inHiPlane = r.outHiPlane = int16(planes - 1);
    }
    OSErr advance() { return host().record().advanceState(); }
};

struct BadRequest {
    const char* name;
    VRect in, out;
    int16 inLo, inHi;
};

class AdvanceStateBadRequest : public AdvanceState, public ::testing::WithParamInterface<BadRequest> {};

TEST_P(AdvanceStateBadRequest, IsRefusedAndRecorded) {
    makeHost(plugInModeRGBColor, 20, 10);
    const BadRequest& c = GetParam();
    request(c.in, c.out, 3);
    host().record().inLoPlane = c.inLo;
    host().record().inHiPlane = c.inHi;
    EXPECT_EQ(advance(), filterBadParameters);
    ASSERT_EQ(host().requestErrors().size(), 1u);
    EXPECT_EQ(host().advanceCalls().back().result, filterBadParameters);
    EXPECT_EQ(host().record().inData, nullptr);
    EXPECT_EQ(host().record().outData, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AdvanceStateBadRequest,
    ::testing::Values(BadRequest{"inBelowImage", {5, 0, 11, 20}, {0, 0, 0, 0}, 0, 2},
                      BadRequest{"inLeftOfImage", {0, -1, 10, 20}, {0, 0, 0, 0}, 0, 2},
                      BadRequest{"outRightOfImage", {0, 0, 0, 0}, {0, 0, 10, 21}, 0, 2},
                      BadRequest{"inverted", {5, 5, 2, 8}, {0, 0, 0, 0}, 0, 2},
                      BadRequest{"planeBeyondImage", {0, 0, 10, 20}, {0, 0, 0, 0}, 0, 3},
                      BadRequest{"planesReversed", {0, 0, 10, 20}, {0, 0, 0, 0}, 2, 1}),
    [](const ::testing::TestParamInfo<BadRequest>& i) { return std::string(i.param.name); });

class AdvanceStateModes : public AdvanceState, public ::testing::WithParamInterface<int16> {};

TEST_P(AdvanceStateModes, ServesTheRectangleWithSlackRowBytes) {
    makeHost(GetParam(), 13, 7);
    const Document& doc = host().document();
    const VRect in{2, 3, 6, 11};
    request(in, in, doc.planes());
    ASSERT_EQ(advance(), noErr);
    const FilterRecord& r = host().record();
    const int64_t need = int64_t(in.right - in.left) * doc.pixelBytes();
    EXPECT_GT(r.inRowBytes, need) << "row bytes without slack hide stride faults";
    EXPECT_EQ(r.inRowBytes % doc.sampleBytes(), 0);
    for (const auto& [data, rowBytes] : {std::make_pair(r.inData, r.inRowBytes), std::make_pair(r.outData, r.outRowBytes)})
        for (int32 y = in.top; y < in.bottom; ++y)
            EXPECT_EQ(std::memcmp(static_cast<const uint8_t*>(data) + int64_t(y - in.top) * rowBytes,
                                  doc.pixel(in.left, y), size_t(need)),
                      0)
                << "row " << y;
    host().finishPass();
}

INSTANTIATE_TEST_SUITE_P(Modes, AdvanceStateModes,
                         ::testing::Values(plugInModeGrayScale, plugInModeRGBColor, plugInModeCMYKColor,
                                           plugInModeGray16, plugInModeRGB48, plugInModeLab48, plugInModeGray32,
                                           plugInModeRGB96),
                         [](const ::testing::TestParamInfo<int16>& i) { return refhost::modeName(i.param); });

TEST_F(AdvanceState, ServesOnlyTheRequestedPlanes) {
    makeHost(plugInModeRGB48, 4, 4);
    request(VRect{0, 0, 4, 4}, VRect{0, 0, 0, 0}, 3);
    host().record().inLoPlane = 1;
    host().record().inHiPlane = 2;
    ASSERT_EQ(advance(), noErr);
    const uint16_t* p = static_cast<const uint16_t*>(host().record().inData);
    EXPECT_EQ(p[0], host().document().get(0, 0, 1));
    EXPECT_EQ(p[1], host().document().get(0, 0, 2));
    EXPECT_EQ(p[2], host().document().get(1, 0, 1));
}

TEST_F(AdvanceState, EmptyRectangleServesNothing) {
    makeHost();
    request(VRect{0, 0, 0, 0}, VRect{3, 3, 3, 9}, 3);
    ASSERT_EQ(advance(), noErr);
    EXPECT_EQ(host().record().inData, nullptr);
    EXPECT_EQ(host().record().outData, nullptr);
    EXPECT_FALSE(host().hasPendingOutput());
}

TEST_F(AdvanceState, OutputReachesTheDocumentAtTheNextAdvanceForTheRectOfItsTime) {
    makeHost(plugInModeGrayScale, 8, 8);
    const Document before = host().document();
    request(VRect{0, 0, 2, 2}, VRect{0, 0, 2, 2}, 1);
    ASSERT_EQ(advance(), noErr);
    auto* out = static_cast<uint8_t*>(host().record().outData);
    EXPECT_EQ(out[0], before.get(0, 0, 0)) << "output is pre-filled with the document";
    out[0] = 7;
    // The plug-in moves on: the first buffer belongs to (0,0,2,2) still.
    request(VRect{4, 4, 6, 6}, VRect{4, 4, 6, 6}, 1);
    EXPECT_EQ(host().document().get(0, 0, 0), before.get(0, 0, 0)) << "committed before the advance";
    ASSERT_EQ(advance(), noErr);
    EXPECT_EQ(host().document().get(0, 0, 0), 7);
    EXPECT_EQ(host().document().get(4, 4, 0), before.get(4, 4, 0));
    static_cast<uint8_t*>(host().record().outData)[0] = 9;
    host().finishPass();
    EXPECT_EQ(host().document().get(4, 4, 0), 9);
}

TEST_F(AdvanceState, OutputOutsideTheFilterRectangleIsNotCommitted) {
    HostOptions o;
    o.filterRect = VRect{0, 0, 4, 4};
    makeHost(plugInModeGrayScale, 8, 8, o);
    const Document before = host().document();
    request(VRect{0, 0, 0, 0}, VRect{0, 0, 8, 8}, 1);
    ASSERT_EQ(advance(), noErr);
    const int32 rb = host().record().outRowBytes;
    auto* out = static_cast<uint8_t*>(host().record().outData);
    for (int32 y = 0; y < 8; ++y) std::memset(out + y * rb, 1, 8);
    host().finishPass();
    EXPECT_EQ(host().document().get(3, 3, 0), 1);
    EXPECT_EQ(host().document().get(4, 4, 0), before.get(4, 4, 0));
    EXPECT_EQ(host().document().get(0, 5, 0), before.get(0, 5, 0));
}

TEST_F(AdvanceState, Uses16BitRectanglesUnlessThePluginAnnounced32Bit) {
    makeHost(refhost::Document(plugInModeGrayScale, 8, 8), HostOptions(), /*use32Bit=*/false);
    FilterRecord& r = host().record();
    r.inRect = Rect{0, 0, 2, 3};
    r.bigDocumentData->inRect32 = VRect{0, 0, 100, 100};  // ignored: not announced
    r.inLoPlane = r.inHiPlane = 0;
    ASSERT_EQ(advance(), noErr);
    EXPECT_FALSE(host().advanceCalls().back().used32Bit);
    EXPECT_EQ(host().advanceCalls().back().inRect.right, 3);
}

TEST_F(AdvanceState, WithoutBigDocumentRecord) {
    HostOptions o;
    o.bigDocument = false;
    makeHost(plugInModeGrayScale, 8, 8, o);
    EXPECT_EQ(host().record().bigDocumentData, nullptr);
    host().record().inRect = Rect{0, 0, 9, 8};
    host().record().inLoPlane = host().record().inHiPlane = 0;
    EXPECT_EQ(advance(), filterBadParameters);
}

struct PaddingCase {
    const char* name;
    int16 padding;
    OSErr result;
    int outsideValue;  // -1: not checked
};

class AdvanceStatePadding : public AdvanceState, public ::testing::WithParamInterface<PaddingCase> {};

TEST_P(AdvanceStatePadding, OutsideTheImage) {
    makeHost(plugInModeGrayScale, 4, 4);
    host().document().fill([](int32, int32, int16) { return 100; });
    host().record().inputPadding = GetParam().padding;
    request(VRect{-1, -1, 2, 2}, VRect{0, 0, 0, 0}, 1);
    EXPECT_EQ(advance(), GetParam().result);
    EXPECT_EQ(host().advanceCalls().back().inputPadding, GetParam().padding);
    if (GetParam().outsideValue >= 0) {
        EXPECT_EQ(static_cast<const uint8_t*>(host().record().inData)[0], GetParam().outsideValue);
    }
    host().clearFaults();
}

INSTANTIATE_TEST_SUITE_P(Cases, AdvanceStatePadding,
                         ::testing::Values(PaddingCase{"errorOnBounds", plugInWantsErrorOnBoundsException,
                                                       filterBadParameters, -1},
                                           PaddingCase{"edgeReplication", plugInWantsEdgeReplication, noErr, 100},
                                           PaddingCase{"value", 17, noErr, 17},
                                           PaddingCase{"noPadding", plugInDoesNotWantPadding, noErr, 0xFF}),
                         [](const ::testing::TestParamInfo<PaddingCase>& i) { return std::string(i.param.name); });

TEST_F(AdvanceState, InputRateSamplesEveryNthPixel) {
    makeHost(plugInModeGrayScale, 9, 9);
    host().document().fill([](int32 x, int32 y, int16) { return x + 10 * y; });
    host().record().inputRate = 3 << 16;
    request(VRect{0, 0, 3, 3}, VRect{0, 0, 0, 0}, 1);
    ASSERT_EQ(advance(), noErr);
    const auto* in = static_cast<const uint8_t*>(host().record().inData);
    EXPECT_EQ(in[1], 3);
    EXPECT_EQ(in[host().record().inRowBytes + 2], 36);
    request(VRect{0, 0, 4, 3}, VRect{0, 0, 0, 0}, 1);
    EXPECT_EQ(advance(), filterBadParameters) << "3 rows at rate 3 cover a 9-row image";
}

}  // namespace

namespace {

// The host as a tool hands out the document's own rows where it can: the
// input as the pass found it, the output in the document itself; what it
// cannot hand out (some planes, a rectangle past the filter rectangle) it
// copies.  A failed pass is still undone.
class ToolHostAdvanceState : public AdvanceState {
protected:
    refhost::Host& makeToolHost(VRect filter = VRect{0, 0, 0, 0}) {
        HostOptions o = refhost::toolHostOptions();
        o.filterRect = filter;
        return makeHost(plugInModeRGBColor, 40, 30, o);
    }
};

TEST_F(ToolHostAdvanceState, ServesTheDocumentsRowsAndWritesThrough) {
    makeToolHost();
    const Document before = host().document();
    const VRect rect{4, 5, 20, 30};
    request(rect, rect, 3);
    ASSERT_EQ(advance(), noErr);
    FilterRecord& r = host().record();
    EXPECT_EQ(r.inRowBytes, before.rowBytes());
    EXPECT_EQ(r.outRowBytes, before.rowBytes());
    EXPECT_EQ(r.outData, host().document().pixel(rect.left, rect.top));
    static_cast<uint8_t*>(r.outData)[0] = uint8_t(before.pixel(rect.left, rect.top)[0] ^ 0xFF);
    EXPECT_NE(host().document(), before) << "the output is the document's own rows";
    // The next request still reads the image as the pass found it.
    request(rect, VRect{0, 0, 0, 0}, 3);
    ASSERT_EQ(advance(), noErr);
    EXPECT_EQ(std::memcmp(r.inData, before.pixel(rect.left, rect.top), size_t(before.pixelBytes())), 0);
    host().failPass();
    EXPECT_EQ(host().document(), before) << "a failed pass is undone";
}

TEST_F(ToolHostAdvanceState, CopiesWhatItCannotHandOut) {
    makeToolHost(VRect{2, 2, 28, 38});
    const Document before = host().document();
    const VRect pastFilter{0, 0, 10, 10};
    request(pastFilter, pastFilter, 3);
    ASSERT_EQ(advance(), noErr);
    FilterRecord& r = host().record();
    EXPECT_NE(r.outData, host().document().pixel(0, 0));
    std::memset(r.outData, 0, size_t(r.outRowBytes) * 10);
    host().finishPass();
    // Only the filter rectangle's part reached the document.
    EXPECT_EQ(host().document().get(1, 1, 0), before.get(1, 1, 0));
    EXPECT_EQ(host().document().get(2, 2, 0), 0.0);

    request(VRect{0, 0, 5, 5}, VRect{0, 0, 0, 0}, 1);  // one plane of three
    ASSERT_EQ(advance(), noErr);
    EXPECT_EQ(static_cast<const uint8_t*>(r.inData)[1], before.pixel(1, 0)[0]);
    host().finishPass();
}

}  // namespace
