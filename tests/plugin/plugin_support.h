// Shared by the plug-in tests: where the modules are, a run that the script
// keeps from showing the dialog, and the settings a host remembers.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "refhost/refhost.h"

inline std::string modulePath(const std::string& product) {
    return std::string(VEXLOR_PLUGIN_DIR) + "/" + product + ".plugin.so";
}

inline void playSilently(refhost::Host& host, const refhost::Descriptor& d = refhost::Descriptor()) {
    host.setScriptDescriptor(d, plugInDialogDontDisplay);
}

// The parameter block in the host's parameter handle: the flags first, the
// values last (the handle is larger on Windows).
struct Block {
    uint8_t flags[9];
    double values[26];
};

inline Block decode(const std::vector<uint8_t>& bytes) {
    Block b{};
    const size_t valuesAt = bytes.size() - sizeof b.values;
    std::memcpy(b.flags, bytes.data(), 9);
    std::memcpy(b.values, bytes.data() + valuesAt, sizeof b.values);
    return b;
}

// Whether an advance state's input rectangle is one of the pass's pieces.
// Profiling asks for 32 x 32 blocks and strips two rows high of its own;
// every piece, with its apron, is wider and taller.
inline bool isPieceRequest(const VRect& r) { return r.right - r.left > 64 && r.bottom - r.top > 2; }

// The keys under which both products remember their flags 0 to 7, and the
// first two values.
const DescriptorKeyID kFlagKeys[8] = {FourCC("ignS"), FourCC("Blab"), FourCC("Blac"), FourCC("Blad"),
                                      FourCC("Blae"), FourCC("Blaf"), FourCC("Blag"), FourCC("Blah")};
const DescriptorKeyID kNoiseLevelKey = FourCC("brgH"), kHighlightsNoiseKey = FourCC("conT");

using Registry = std::map<std::string, refhost::Descriptor>;

// What a host's registry holds after one silent run of the product: every
// entry the plug-in remembers, for a test to set as it needs.
inline Registry rememberedSettings(const std::string& product) {
    refhost::Plugin plugin(modulePath(product), true);
    refhost::Document doc(plugInModeRGBColor, 40, 40);
    doc.fillPattern(1);
    refhost::Host host(doc);
    playSilently(host);
    refhost::runFilter(plugin, host);
    return host.registry();
}

// The remembered entry of this key: a flag (0 or 1) or a value.
inline void remember(Registry& registry, DescriptorKeyID key, double v) {
    for (auto& entry : registry)
        for (refhost::DescriptorEntry& e : entry.second)
            if (e.key == key) {
                if (e.type == typeBoolean)
                    e.b = v != 0;
                else
                    e.f = v;
            }
}

// Remembered settings with no automatic profiling, so that a run's only
// requests are the pass's and its output depends on nothing but the pixels.
inline const Registry& settingsWithoutProfiling(const std::string& product) {
    static std::map<std::string, Registry> cache;
    auto it = cache.find(product);
    if (it != cache.end()) return it->second;
    Registry r = rememberedSettings(product);
    for (int flag : {3, 4, 7}) remember(r, kFlagKeys[flag], 0);
    return cache[product] = r;
}
