// Nothing thrown inside a plug-in call may cross into the host: a range
// error of the checked arrays, a bad_alloc, anything else.  The call ends
// with one alert, the result -128, its handles unlocked and its buffers
// freed.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "plugin/plugin_support.h"
#include "refhost/refhost.h"

using refhost::Document;
using refhost::Host;
using refhost::Plugin;

namespace {

struct ThrowCase {
    const char* name;
    void (*raise)();
    const char* alert;
};

const ThrowCase kThrows[] = {
    {"range", [] { throw std::out_of_range("array<>: index out of range"); },
     "(Vexlor) Unexpected error: array<>: index out of range"},
    {"allocation", [] { throw std::bad_alloc(); },
     "(Vexlor) Not enough memory to run this plugin.  Go to Edit -> Preferences -> Performance to increase "
     "memory allocation."},
    {"other", [] { throw 42; }, "(Vexlor) Unexpected error."},
};

struct BarrierCase {
    const char* product;
    ThrowCase thrown;
};

std::string caseName(const testing::TestParamInfo<BarrierCase>& i) {
    return std::string(i.param.product) + "_" + i.param.thrown.name;
}

}  // namespace

class ExceptionBarrier : public testing::TestWithParam<BarrierCase> {};

// The host's abort procedure throws at the pass's first progress step, in
// the middle of a piece's buffers.
TEST_P(ExceptionBarrier, EndsTheCallWithOneAlertAndMinusOneTwentyEight) {
    const BarrierCase& c = GetParam();
    Document doc(plugInModeRGBColor, 300, 200);
    doc.fillPattern(2);
    Plugin plugin(modulePath(c.product), true);
    Host host(doc);
    playSilently(host);
    host.duringAbortCall = c.thrown.raise;
    ASSERT_EQ(plugin.call(host, filterSelectorParameters), noErr);
    ASSERT_EQ(plugin.call(host, filterSelectorPrepare), noErr);
    int16 result = noErr;
    ASSERT_NO_THROW(result = plugin.call(host, filterSelectorStart));
    EXPECT_EQ(result, userCanceledErr);
    ASSERT_EQ(host.alerts().size(), 1u);
    EXPECT_EQ(host.alerts()[0], c.thrown.alert);
    EXPECT_EQ(host.handles().locked(), 0);
    EXPECT_EQ(host.buffers().live(), 0);
    EXPECT_FALSE(host.afterSelector());
    EXPECT_TRUE(host.document() == doc);
    EXPECT_TRUE(host.clean()) << host.leakReport();
}

std::vector<BarrierCase> barrierCases() {
    std::vector<BarrierCase> cases;
    for (const char* product : {"glimra", "halvane"})
        for (const ThrowCase& t : kThrows) cases.push_back({product, t});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Throws, ExceptionBarrier, testing::ValuesIn(barrierCases()), caseName);
