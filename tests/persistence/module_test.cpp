// The parameters travel between runs through the host's stores: a played
// script's value is remembered in the registry by one run and used by the
// next, which records it in its own descriptor.
#include <algorithm>
#include <cctype>

#include "persistence_support.h"

using namespace refhost;

namespace {

std::string modulePath() {
    std::string name = kProductName;
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return std::string(VEXLOR_PLUGIN_DIR) + "/" + name + ".plugin.so";
}

double scriptValue(const Host& host, const char* key) {
    std::optional<Descriptor> d = host.scriptDescriptor();
    if (!d) return -1;
    const DescriptorEntry* e = findEntry(*d, keyFromName(key));
    return e && e->type == typeFloat ? e->f : -1;
}

TEST(PersistenceAcrossRuns, AScriptedValueIsRememberedForTheNextRun) {
    Plugin plugin(modulePath(), true);
    const Document doc = persistence_test::noisyDocument(plugInModeRGBColor, 128, 128, 10, 3);

    Host first(doc);
    first.setScriptDescriptor({DescriptorEntry::Float(keyFromName("bAdj"), 0.625)}, plugInDialogDontDisplay);
    ASSERT_EQ(runFilter(plugin, first).result, noErr);
    ASSERT_EQ(first.registry().count(kRegistryKey), 1u);
    const DescriptorEntry* remembered = findEntry(first.registry()[kRegistryKey], keyFromName("bAdj"));
    ASSERT_NE(remembered, nullptr);
    EXPECT_EQ(remembered->f, 0.625);
    EXPECT_EQ(scriptValue(first, "bAdj"), 0.625);
    EXPECT_EQ(first.leakReport(), "");

    // A later run, after the host restarted: the registry remains, and a
    // script that sets none of the parameters runs it without the dialog.
    Host second(doc);
    second.registry() = first.registry();
    second.setScriptDescriptor({DescriptorEntry::Integer(keyFromName("Zoom"), 1)}, plugInDialogDontDisplay);
    ASSERT_EQ(runFilter(plugin, second).result, noErr);
    EXPECT_EQ(scriptValue(second, "bAdj"), 0.625);
    EXPECT_EQ(second.unreleasedSuites(), 0);
    EXPECT_EQ(second.leakReport(), "");
}

}  // namespace
