// A host that fails an advance state mid-pass: the plug-in alerts once,
// reports the failure to the host (-128) and leaves no rectangle requested,
// so the host serves nothing more and commits nothing of the pass.
#include <gtest/gtest.h>

#include "plugin/plugin_support.h"
#include "refhost/refhost.h"

using refhost::Document;
using refhost::Host;
using refhost::HostOptions;
using refhost::Plugin;

namespace {

struct PathCase {
    const char* name;
    int32 width, height, hostTile;
};

// Whole image, four quarters, and megatiles of 256 (six with their aprons).
const PathCase kPaths[] = {
    {"whole", 400, 300, 0},
    {"quarters", 1100, 1000, 2048},
    {"megatiles", 600, 300, 64},
};

struct FailureCase {
    const char* product;
    PathCase path;
    bool middle;  // fail the middle advance state of a clean run, else the first
};

std::string caseName(const testing::TestParamInfo<FailureCase>& i) {
    return std::string(i.param.product) + "_" + i.param.path.name + (i.param.middle ? "_middle" : "_first");
}

Document photoLike(const PathCase& c) {
    Document doc(plugInModeRGBColor, c.width, c.height);
    doc.fillPattern(5);
    return doc;
}

HostOptions optionsFor(const PathCase& c) {
    HostOptions o;
    o.inTileWidth = o.inTileHeight = c.hostTile;
    return o;
}

// The number (from 1) of the advance state to fail: the pass's first piece
// request or its middle one in a clean run.  Glimra profiles first, in
// requests of its own (isPieceRequest tells them apart).
int64_t advanceStateToFail(const FailureCase& c) {
    Plugin plugin(modulePath(c.product), true);
    Host host(photoLike(c.path), optionsFor(c.path));
    playSilently(host);
    EXPECT_EQ(refhost::runFilter(plugin, host).result, noErr);
    std::vector<int64_t> pieces;
    for (size_t i = 0; i < host.advanceCalls().size(); ++i) {
        const VRect& r = host.advanceCalls()[i].inRect;
        if (isPieceRequest(r)) pieces.push_back(int64_t(i) + 1);
    }
    if (pieces.empty()) return 0;
    return c.middle ? pieces[(pieces.size() - 1) / 2 + (pieces.size() > 1 ? 1 : 0)] : pieces[0];
}

bool empty(const VRect& r) { return r.bottom <= r.top || r.right <= r.left; }

}  // namespace

class FailedAdvanceState : public testing::TestWithParam<FailureCase> {};

TEST_P(FailedAdvanceState, IsReportedAndNothingIsCommitted) {
    const FailureCase& c = GetParam();
    const int64_t nth = advanceStateToFail(c);
    ASSERT_GE(nth, 1);

    const Document doc = photoLike(c.path);
    Plugin plugin(modulePath(c.product), true);
    Host host(doc, optionsFor(c.path));
    playSilently(host);
    host.advanceStatePlan.refuseNth = nth;
    ASSERT_EQ(plugin.call(host, filterSelectorParameters), noErr);
    ASSERT_EQ(plugin.call(host, filterSelectorPrepare), noErr);
    EXPECT_EQ(plugin.call(host, filterSelectorStart), userCanceledErr) << "failure at advance state " << nth;
    const BigDocumentStruct& big = *host.record().bigDocumentData;
    EXPECT_TRUE(empty(big.inRect32) && empty(big.outRect32) && empty(big.maskRect32))
        << "rectangles left requested after the failure";
    EXPECT_FALSE(host.afterSelector());
    EXPECT_TRUE(host.document() == doc) << "part of a failed pass was committed";
    ASSERT_EQ(host.alerts().size(), 1u);
    EXPECT_EQ(host.alerts()[0].rfind("(Vexlor) Advance state error:", 0), 0u) << host.alerts()[0];
    EXPECT_EQ(host.advanceCalls().size(), size_t(nth)) << "advance states asked for after the failure";
    EXPECT_TRUE(host.clean()) << host.leakReport();
}

std::vector<FailureCase> failureCases() {
    std::vector<FailureCase> cases;
    for (const char* product : {"glimra", "halvane"})
        for (const PathCase& path : kPaths)
            for (bool middle : {false, true})
                // The whole image and the quarters are fetched in one request.
                if (!middle || path.hostTile == 64) cases.push_back({product, path, middle});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Paths, FailedAdvanceState, testing::ValuesIn(failureCases()), caseName);
