// The digest table: both modules, loaded into the reference host, filter a
// small image made here from a fixed seed, for every product, depth, mode
// and Halvane core, at the defaults and at one tuned setting; each output is
// summarised (a hash of its bytes and the samples at a few fixed pixels) and
// compared with the row of tests/digest/digests.txt.  A change of a
// constant or a rule that reaches these pixels fails here.
//
//     test_digest              compare every case with its row
//     test_digest --rewrite    write the table anew and print the rows that changed
//
// The table is the native build's: the Windows builds' noise cores divide by
// 765 as a multiplication by 1/765 and may move a rare sample by one level.
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "plugin/plugin_support.h"
#include "refhost/convert.h"
#include "refhost/image_io.h"
#include "refhost/refhost.h"

using refhost::Descriptor;
using refhost::DescriptorEntry;
using refhost::Document;
using refhost::Host;
using refhost::Plugin;

namespace {

// Larger than the 24 x 24 that the lifting needs, a multiple of nothing
// (both prime), and 5 x 3 whole profiling blocks of 32.
constexpr int32 kWidth = 167, kHeight = 103;
constexpr uint64_t kSeed = 23;

// splitmix64's finaliser: the same bits on every platform and library.
uint64_t mix(uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Noise in 1/256 of an 8-bit level: the sum of four uniform 16-bit numbers,
// centred, nearly Gaussian with a standard deviation of about 1.15 levels
// (digital profiling finds an overall noise level of 45 to 90 in the
// picture, film profiling 15 to 20).
int32_t noise256(int32 x, int32 y, int16 plane) {
    const uint64_t h = mix(kSeed ^ mix((uint64_t(uint32_t(y)) << 32) | (uint64_t(uint32_t(x)) << 2) | uint64_t(plane)));
    const int64_t sum =
        int64_t(h & 0xFFFF) + int64_t((h >> 16) & 0xFFFF) + int64_t((h >> 32) & 0xFFFF) + int64_t(h >> 48);
    return int32_t((sum - 131070) / 128);
}

// The picture in 1/256 of an 8-bit level (0 .. 65280): a gentle ramp from
// the dark to the bright corner, a bright disc, a band of fine stripes, and
// a clipped shadow and highlight each filling a profiling block (32 x 32),
// so that the matte, the sharpening, the protection, the clamps and
// profiling's clipping and midtone rules each have something to act on.
// Lab's colour planes are gentle gradients about the neutral 128.
int32_t level256(int16 baseMode, int32 x, int32 y, int16 plane) {
    int32_t v;
    if (baseMode == plugInModeLabColor && plane > 0) {
        v = plane == 1 ? 128 * 256 + (x - kWidth / 2) * 50 : 128 * 256 - (y - kHeight / 2) * 80;
        v += noise256(x, y, plane) / 2;
    } else {
        v = 40 * 256 + 170 * 256 * (x + y) / (kWidth + kHeight - 2);
        if (x < 32 && y < 32) v = 4 * 256;
        if (x >= 128 && x < 160 && y >= 64 && y < 96) v = 251 * 256;
        const int32 dx = x - 80, dy = y - 30;
        if (dx * dx + dy * dy <= 14 * 14) v += 50 * 256;
        if (x >= 8 && x < 32 && y >= 56 && (x / 2) % 2 == 1) v += 30 * 256;
        if (baseMode == plugInModeRGBColor && plane == 0) v += 12 * 256;
        if (baseMode == plugInModeRGBColor && plane == 2) v = v * 3 / 4 + 30 * 256;
        v += noise256(x, y, plane);
    }
    return v < 0 ? 0 : v > 65280 ? 65280 : v;
}

// The host's samples of one level: 8 bits 0..255, 16 bits 0..32768, and 32
// bits linear light, here the square of the encoded value (a gamma of 2,
// exact in every library, unlike pow).
Document makeImage(int16 baseMode, int32 depth) {
    Document doc(refhost::modeFor(baseMode, depth), kWidth, kHeight);
    doc.fill([&](int32 x, int32 y, int16 p) {
        const int64_t l = level256(baseMode, x, y, p);
        if (depth == 8) return double((l + 128) / 256);
        if (depth == 16) return double((l * 32768 + 32640) / 65280);
        const double t = double(l) / 65280.0;
        return double(float(t * t));
    });
    return doc;
}

DescriptorEntry number(const char* key, double v) { return DescriptorEntry::Float(refhost::keyFromName(key), v); }
DescriptorEntry flag(const char* key, bool v) { return DescriptorEntry::Boolean(refhost::keyFromName(key), v); }

// Halvane tuned: profiling without the dialog, which Halvane takes from the
// script (digital: it also sets the highlight protection's threshold and
// feather), the four levels' noise levels and detail amounts, both
// sharpenings with their level weights, and both detail mixes; and a
// selection (fillSelection).
const Descriptor kHalvaneTuned = {
    flag("Blah", true),    number("bAdj", 1.4), number("satU", 0.8), number("lumC", 1.25), number("Rcoe", 0.6),
    number("Gcoe", 0.45),  number("Bcoe", 0.2), number("Dbai", 0.9), number("Dbaj", 0.7),  number("Dbak", 0.55),
    number("Dbal", 0.4),   number("Dbam", 4),   number("Dban", 1.5), number("Dbao", 1.2),  number("Dbap", 0.8),
    number("Dbaq", 0.6),   number("Dbat", 3)};

// Glimra tuned: film profiling remembered in the registry
// (rememberFilmProfiling), the matte inverted, other thresholds, a lighter
// noise reduction, and a script that switches profiling off, which Glimra
// ignores (a played action never changes the registry's profiling flags),
// as it ignores the selection.
const Descriptor kGlimraTuned = {flag("Blac", true), number("Dbam", 2.5), number("Dbat", 24), number("bAdj", 0.7),
                                 flag("Blae", false), flag("Blah", false)};

struct Case {
    const char* product;
    int16 baseMode;
    int32 depth;
    const char* core;  // Halvane: "plain" or "cleaner"; Glimra has one: "-"
    bool tuned;

    // The input's mode and depth: "grey 8".
    std::string image() const {
        const char* mode = baseMode == plugInModeGrayScale ? "grey" : baseMode == plugInModeRGBColor ? "RGB" : "Lab";
        return std::string(mode) + " " + std::to_string(depth);
    }
    // The first five fields of the case's row.
    std::string key() const {
        return std::string(product) + " " + image() + " " + core + " " + (tuned ? "tuned" : "defaults");
    }
    Descriptor script() const {
        Descriptor d;
        if (std::string(product) == "halvane") d.push_back(flag("Blai", std::string(core) == "cleaner"));
        const Descriptor& extra = std::string(product) == "halvane" ? kHalvaneTuned : kGlimraTuned;
        if (tuned) d.insert(d.end(), extra.begin(), extra.end());
        return d;
    }
};

// GoogleTest names a failing case by its row.
void PrintTo(const Case& c, std::ostream* os) { *os << c.key(); }

// Lab has no 32-bit mode in the host interface.
std::vector<Case> allCases() {
    std::vector<Case> cases;
    for (const char* product : {"halvane", "glimra"})
        for (int16 mode : {plugInModeGrayScale, plugInModeRGBColor, plugInModeLabColor})
            for (int32 depth : {8, 16, 32}) {
                if (refhost::modeFor(mode, depth) < 0) continue;
                for (const char* core : std::string(product) == "halvane" ? std::vector<const char*>{"plain", "cleaner"}
                                                                          : std::vector<const char*>{"-"})
                    for (bool tuned : {false, true}) cases.push_back({product, mode, depth, core, tuned});
            }
    return cases;
}

// Pixels whose samples the row shows: the corners (the first in the
// shadow), the centre, the disc's middle and edge, the stripes and the
// highlight.
const int32 kSamplePixels[][2] = {{0, 0}, {kWidth - 1, kHeight - 1}, {83, 51}, {80, 30}, {94, 30}, {13, 80}, {144, 80}};

// FNV-1a over the document's bytes, then the samples: "hash x,y=s/s/s ...".
std::string summarise(const Document& doc) {
    uint64_t hash = 0xCBF29CE484222325ull;
    const uint8_t* p = doc.data();
    for (int64_t i = 0, n = doc.rowBytes() * doc.height(); i < n; ++i) hash = (hash ^ p[i]) * 0x100000001B3ull;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%016" PRIx64, hash);
    std::string s = buf;
    for (const auto& xy : kSamplePixels) {
        std::snprintf(buf, sizeof buf, " %d,%d=", int(xy[0]), int(xy[1]));
        s += buf;
        for (int16 plane = 0; plane < doc.planes(); ++plane) {
            std::snprintf(buf, sizeof buf, doc.depth() == 32 ? "%s%.9g" : "%s%.0f", plane ? "/" : "",
                          doc.get(xy[0], xy[1], plane));
            s += buf;
        }
    }
    return s;
}

// The tuned runs have a selection whose right edge fades out over the last
// columns, across the highlight: Halvane mixes by it, Glimra ignores it.
void fillSelection(Host& host) {
    for (int32 y = 0; y < kHeight; ++y)
        for (int32 x = 0; x < kWidth; ++x)
            host.mask()[size_t(y) * kWidth + x] = uint8_t(x < kWidth - 15 ? 255 : (kWidth - 1 - x) * 17);
}

// Glimra takes its profiling choice from the registry alone: the registry of
// a user who chose film profiling, as the module's finish selector writes
// it from its defaults.  False when there was none to change.
bool rememberFilmProfiling(Plugin& plugin, Host& host) {
    if (plugin.call(host, filterSelectorParameters) != noErr || plugin.call(host, filterSelectorFinish) != noErr)
        return false;
    int changed = 0;
    for (auto& [key, d] : host.registry())
        for (DescriptorEntry& e : d)
            if (e.key == refhost::keyFromName("Blad") || e.key == refhost::keyFromName("Blae")) {
                e.b = e.key == refhost::keyFromName("Blae");
                ++changed;
            }
    return changed == 2;
}

// The digest of one case's output, or the reason that it has none.
struct Outcome {
    std::string digest, problem;
    Document output;
};

Outcome failed(const std::string& why) {
    Outcome o;
    o.problem = why;
    return o;
}

Outcome runCase(const Case& c) {
    // A fresh copy of the module for each case: profiling makes what it found
    // the defaults of the module's later runs.
    Plugin plugin(modulePath(c.product), true);
    refhost::HostOptions options;
    options.haveMask = c.tuned;
    Host host(makeImage(c.baseMode, c.depth), options);
    if (c.tuned) fillSelection(host);
    if (c.tuned && std::string(c.product) == "glimra" && !rememberFilmProfiling(plugin, host))
        return failed("the finish selector left no registry with the profiling flags");
    playSilently(host, c.script());
    const refhost::RunResult run = refhost::runFilter(plugin, host);
    if (run.result != noErr) return failed("the run ended with " + std::to_string(run.result));
    if (!host.alerts().empty()) return failed("alert: " + host.alerts()[0]);
    if (!host.clean()) return failed(host.leakReport());
    return {summarise(host.document()), "", host.document()};
}

std::string tablePath() { return VEXLOR_DIGEST_TABLE; }

// The table's rows by case key; lines starting with # are comments.
std::map<std::string, std::string> readTable(const std::string& path) {
    std::map<std::string, std::string> rows;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string key, field;
        for (int i = 0; i < 5 && fields >> field; ++i) key += (i ? " " : "") + field;
        std::string digest;
        std::getline(fields >> std::ws, digest);
        rows[key] = digest;
    }
    return rows;
}

const std::map<std::string, std::string>& table() {
    static const std::map<std::string, std::string> rows = readTable(tablePath());
    return rows;
}

const char* const kTableHeader =
    "# Digests of both plug-ins' outputs (tests/digest/digest_test.cpp): product, mode, depth, core,\n"
    "# setting, then FNV-1a of the output's bytes and the samples at five pixels.  The native build's.\n"
    "# Rewrite only when a change of output is intended: test_digest --rewrite (see the README).\n";

// With VEXLOR_PICTURE_DIR set, the rewrite also writes every input and
// output there as an 8-bit PNG (Lab in sRGB), for a person to look at what
// the new rows stand for.
void writePicture(const Document& doc, const std::string& name) {
    const char* dir = std::getenv("VEXLOR_PICTURE_DIR");
    const int16 base = refhost::baseModeOf(doc.imageMode());
    if (!dir) return;
    std::string file;
    for (char ch : name) file += std::isalnum(uint8_t(ch)) ? ch : '-';
    refhost::writeImage(refhost::convertDocument(doc, base, 8), std::string(dir) + "/" + file + ".png");
}

// Runs every case, writes the table and prints what changed; 0 on success.
int rewriteTable() {
    const std::map<std::string, std::string> old = readTable(tablePath());
    std::string text = kTableHeader;
    std::map<std::string, std::string> now;
    for (const Case& c : allCases()) {
        const Outcome o = runCase(c);
        if (!o.problem.empty()) {
            std::fprintf(stderr, "test_digest: %s: %s; the table is left as it was\n", c.key().c_str(),
                         o.problem.c_str());
            return 1;
        }
        now[c.key()] = o.digest;
        writePicture(makeImage(c.baseMode, c.depth), "input " + c.image());
        writePicture(o.output, c.key());
        text += c.key() + "  " + o.digest + "\n";
    }
    int changed = 0;
    for (const auto& [key, digest] : now) {
        const auto was = old.find(key);
        if (was == old.end()) {
            std::printf("new      %s\n         %s\n", key.c_str(), digest.c_str());
            ++changed;
        } else if (was->second != digest) {
            std::printf("changed  %s\n  old    %s\n  new    %s\n", key.c_str(), was->second.c_str(), digest.c_str());
            ++changed;
        }
    }
    for (const auto& [key, digest] : old)
        if (!now.count(key)) {
            std::printf("removed  %s\n         %s\n", key.c_str(), digest.c_str());
            ++changed;
        }
    std::ofstream out(tablePath(), std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::fprintf(stderr, "test_digest: cannot write %s\n", tablePath().c_str());
        return 1;
    }
    std::printf("%d of %zu rows changed; %s written\n", changed, now.size(), tablePath().c_str());
    return 0;
}

}  // namespace

class Digest : public testing::TestWithParam<Case> {};

TEST_P(Digest, OutputMatchesItsRow) {
    const Case& c = GetParam();
    const auto row = table().find(c.key());
    ASSERT_NE(row, table().end()) << "case " << c.key() << ": no row in " << tablePath();
    const Outcome o = runCase(c);
    ASSERT_EQ(o.problem, "") << "case " << c.key();
    if (o.digest != row->second)
        ADD_FAILURE() << "case " << c.key() << "\n  expected " << row->second << "\n  actual   " << o.digest;
}

INSTANTIATE_TEST_SUITE_P(Cases, Digest, testing::ValuesIn(allCases()), [](const testing::TestParamInfo<Case>& info) {
    std::string name;
    for (char ch : info.param.key()) name += std::isalnum(uint8_t(ch)) ? ch : '_';
    return name;
});

TEST(DigestTable, HoldsARowForEveryCaseAndNoOther) {
    std::map<std::string, std::string> rows = table();
    for (const Case& c : allCases()) rows.erase(c.key());
    for (const auto& [key, digest] : rows) ADD_FAILURE() << "row without a case: " << key;
}

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--rewrite") {
        const auto start = std::chrono::steady_clock::now();
        const int r = rewriteTable();
        std::printf("%.2f s\n", std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        return r;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
