// The selector sequence of runFilter against small plug-ins of the test's
// own, and module loading errors.
#include <cstring>
#include <stdexcept>
#include <string>

#include "support/host_fixture.h"

namespace {

using refhost::Document;
using refhost::Host;
using refhost::Plugin;

FilterRecord* rec(void* r) { return static_cast<FilterRecord*>(r); }

// Inverts the image in tiles of 4 rows that the host serves between
// continue selectors, as a classic filter does.
void MACPASCAL tilingInvert(int16 selector, void* r, intptr_t*, int16* result) {
    FilterRecord* fr = rec(r);
    BigDocumentStruct* big = fr->bigDocumentData;
    auto next = [&](int32 top) {
        const VRect f = big->filterRect32;
        VRect t{top, f.left, std::min(top + 4, f.bottom), f.right};
        if (top >= f.bottom) t = VRect{0, 0, 0, 0};
        big->inRect32 = big->outRect32 = t;
        fr->inLoPlane = fr->outLoPlane = 0;
        fr->inHiPlane = fr->outHiPlane = int16(fr->planes - 1);
    };
    switch (selector) {
        case filterSelectorStart:
            big->PluginUsing32BitCoordinates = 1;
            next(big->filterRect32.top);
            break;
        case filterSelectorContinue: {
            const VRect t = big->outRect32;
            const int32 w = (t.right - t.left) * fr->planes;
            for (int32 y = 0; y < t.bottom - t.top; ++y) {
                const auto* in = static_cast<const uint8_t*>(fr->inData) + y * fr->inRowBytes;
                auto* out = static_cast<uint8_t*>(fr->outData) + y * fr->outRowBytes;
                for (int32 i = 0; i < w; ++i) out[i] = uint8_t(255 - in[i]);
            }
            next(t.bottom);
            break;
        }
        default:
            break;
    }
    *result = noErr;
}

int gFailAt = 0;
// Writes zeros through its own advance state calls in 16-bit rectangles,
// then fails at tile gFailAt.
void MACPASCAL failingWriter(int16 selector, void* r, intptr_t*, int16* result) {
    FilterRecord* fr = rec(r);
    *result = noErr;
    if (selector != filterSelectorStart) return;
    if (fr->bigDocumentData) fr->bigDocumentData->PluginUsing32BitCoordinates = 0;
    for (int16 top = 0; top < fr->filterRect.bottom; top += 2) {
        fr->outRect = Rect{top, 0, int16(top + 2), fr->filterRect.right};
        fr->outLoPlane = 0;
        fr->outHiPlane = int16(fr->planes - 1);
        if (fr->advanceState() != noErr || !fr->outData) {
            *result = filterBadParameters;
            return;
        }
        std::memset(fr->outData, 0, size_t(fr->outRowBytes) * 2);
        if (top / 2 + 1 == gFailAt) {
            *result = userCanceledErr;
            return;
        }
    }
    fr->outRect = Rect{0, 0, 0, 0};
}

// tilingInvert, whose finish locks a handle to store its settings and fails
// when the host refuses the lock.
void MACPASCAL invertThenStoreSettings(int16 selector, void* r, intptr_t* data, int16* result) {
    tilingInvert(selector, r, data, result);
    if (selector != filterSelectorFinish) return;
    HandleProcs* procs = rec(r)->handleProcs;
    Handle settings = procs->newProc(8);
    if (!procs->lockProc(settings, false)) *result = memFullErr;
    procs->disposeProc(settings);
}

class Run : public HostFixture {};

TEST_F(Run, ContinueLoopCommitsEveryTileAndFinishes) {
    Host& h = makeHost(plugInModeRGBColor, 5, 10);
    const Document before = h.document();
    Plugin p(tilingInvert);
    const refhost::RunResult run = refhost::runFilter(p, h);
    EXPECT_EQ(run.result, noErr);
    EXPECT_EQ(run.continues, 3);
    ASSERT_EQ(run.calls.size(), 7u);
    EXPECT_EQ(run.calls.front().selector, filterSelectorParameters);
    EXPECT_EQ(run.calls.back().selector, filterSelectorFinish);
    for (int32 y = 0; y < 10; ++y)
        for (int32 x = 0; x < 5; ++x) EXPECT_EQ(h.document().get(x, y, 1), 255 - before.get(x, y, 1));
}

TEST_F(Run, SubRectangleOnly) {
    refhost::HostOptions o;
    o.filterRect = VRect{2, 1, 9, 4};
    Host& h = makeHost(plugInModeGrayScale, 5, 10, o);
    const Document before = h.document();
    Plugin p(tilingInvert);
    ASSERT_EQ(refhost::runFilter(p, h).result, noErr);
    EXPECT_EQ(h.document().get(1, 2, 0), 255 - before.get(1, 2, 0));
    EXPECT_EQ(h.document().get(0, 2, 0), before.get(0, 2, 0));
    EXPECT_EQ(h.document().get(1, 9, 0), before.get(1, 9, 0));
}

TEST_F(Run, WritesMadeInsideStartAreCommitted) {
    Host& h = makeHost(plugInModeGrayScale, 3, 6);
    gFailAt = 0;
    Plugin p(failingWriter);
    ASSERT_EQ(refhost::runFilter(p, h).result, noErr);
    for (int32 y = 0; y < 6; ++y) EXPECT_EQ(h.document().get(2, y, 0), 0) << y;
}

TEST_F(Run, AFailedPassLeavesTheDocumentAsItWas) {
    Host& h = makeHost(plugInModeGrayScale, 3, 6);
    const Document before = h.document();
    gFailAt = 2;  // after one tile was already committed
    Plugin p(failingWriter);
    const refhost::RunResult run = refhost::runFilter(p, h);
    EXPECT_EQ(run.result, userCanceledErr);
    EXPECT_EQ(run.calls.back().selector, filterSelectorStart) << "no finish after a failed start";
    EXPECT_EQ(h.document(), before);
}

TEST_F(Run, AFailedFinishUndoesThePassItEnds) {
    Host& h = makeHost(plugInModeRGBColor, 5, 10);
    const Document before = h.document();
    Plugin p(invertThenStoreSettings);
    h.handles().refuseLockNth(1);
    const refhost::RunResult run = refhost::runFilter(p, h);
    EXPECT_EQ(run.result, memFullErr);
    EXPECT_EQ(run.calls.back().selector, filterSelectorFinish);
    EXPECT_EQ(h.document(), before) << "a failed run left a filtered document";

    // The same finish with the lock granted keeps the filtered document.
    const refhost::RunResult again = refhost::runFilter(p, h);
    EXPECT_EQ(again.result, noErr);
    EXPECT_EQ(h.document().get(0, 0, 1), 255 - before.get(0, 0, 1));
}

TEST_F(Run, MissingModuleGivesAClearError) {
    try {
        Plugin p("/nonexistent/dir/none.plugin.so");
        FAIL() << "loaded a module that does not exist";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("/nonexistent/dir/none.plugin.so"), std::string::npos) << e.what();
    }
    EXPECT_THROW(Plugin("/nonexistent/none.so", true), std::runtime_error);
}

}  // namespace
