// pihost: loads a filter plug-in, runs its selectors on a document (a
// synthetic one, or an image file) and reports what the host saw.
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "refhost/convert.h"
#include "refhost/dialog_script.h"
#include "refhost/image_io.h"
#include "refhost/platform.h"
#include "refhost/refhost.h"
#include "refhost/registry_file.h"

namespace {

using namespace refhost;

const char* const kUsage =
    "usage: pihost PLUGIN [INPUT OUTPUT] [options]\n"
    "       (INPUT and OUTPUT are the same as --in INPUT --out OUTPUT)\n"
    "       pihost --convert IN OUT   copy an image file into the format of OUT's extension\n"
    "  --selectors            run the selectors on the document and report them (the default)\n"
    "  --in FILE              filter this PNG, TIFF, PPM or PGM file instead of a synthetic document\n"
    "  --out FILE             write the filtered document (PNG, TIFF, PPM or PGM, by extension)\n"
    "  --mode MODE            gray, rgb, lab or cmyk (default rgb); an image file is converted:\n"
    "                         into Lab (D50) from its embedded ICC profile or sRGB, and a Lab\n"
    "                         document goes back into them as a PNG, into sRGB as a PPM, into\n"
    "                         grey as a PGM, and stays Lab as a TIFF\n"
    "  --depth BITS           8, 16 or 32 (default 8); an image file is converted\n"
    "  --size WxH             synthetic document size (default 64x48)\n"
    "  --rect T,L,B,R         filter rectangle (default: the whole image)\n"
    "  --tile WxH             the host's tile size, at most 32767x32767 (default: 1024x1024)\n"
    "  --max-space BYTES      memory offered to the plug-in (maxSpace; default 70% of physical\n"
    "                         memory, at most 2147483647, or 1 GB in a 32-bit build)\n"
    "  --check                the checking host of the tests: fresh buffers filled with 0xFF, freed\n"
    "                         memory given back at once, every rectangle served as a copy (slower;\n"
    "                         the output is the same)\n"
    "  --set KEY=VALUE        scripting parameter: a number, or true/false; repeatable\n"
    "  --keep-going           write the output even when the plug-in could not read the --set values\n"
    "  --dialog               ask the plug-in to show its dialog (default: do not)\n"
    "  --no-big-document      offer no big-document record (16-bit rectangles only)\n"
    "  --print-params         print the parameter block after the run (always with --selectors\n"
    "                         or a synthetic document)\n"
    "  --fresh                load a fresh copy of the module\n"
    "  --about                send the about selector first\n"
    "  --registry FILE        the host's registry: read from FILE when it exists, written back\n"
    "                         after the run and after OUTPUT, whole or not at all; runs that\n"
    "                         share FILE take turns (a lock on FILE.lock beside it).  A line per\n"
    "                         entry: ID, tab, key of four characters, blank, type, blank, value;\n"
    "                         type doub (a finite number), long (a 32-bit whole number) or bool\n"
    "                         (0 or 1, or true or false).  Blank lines and lines that begin with\n"
    "                         # are skipped and not written back; any other line that cannot be\n"
    "                         read exactly stops the run before it starts (FILE:LINE: why)\n"
    "  --dialog-script FILE   show the dialog and steer it by the commands of FILE (Windows);\n"
    "                         screenshots go to --shots PREFIX (default: FILE without extension)\n";

struct Options {
    std::string plugin, in, out;
    int16 baseMode = plugInModeRGBColor;
    int32 depth = 8, width = 64, height = 48;
    bool modeGiven = false, depthGiven = false;  // an image file is converted to them
    VRect rect{0, 0, 0, 0};
    int32 tileW = 0, tileH = 0;  // 0: the tool host's
    int64_t maxSpace = -1;
    Descriptor script;
    std::string dialogScript, shots, registry;
    std::vector<std::string> scriptTexts;  // each --set as given
    bool keepGoing = false;
    bool dialog = false, bigDocument = true, printParams = false, fresh = false, selectors = false, about = false,
         check = false;
};

[[noreturn]] void usage(const std::string& problem) {
    std::fprintf(stderr, "pihost: %s\n%s", problem.c_str(), kUsage);
    std::exit(2);
}

bool parseInt(const std::string& s, int64_t& v) {
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long long x = std::strtoll(s.c_str(), &end, 10);
    if (errno || *end) return false;
    v = x;
    return true;
}

bool parseSize(const std::string& s, int32& w, int32& h) {
    size_t x = s.find('x');
    int64_t a, b;
    if (x == std::string::npos || !parseInt(s.substr(0, x), a) || !parseInt(s.substr(x + 1), b)) return false;
    if (a <= 0 || b <= 0 || a > 0x7FFFFFFF || b > 0x7FFFFFFF) return false;
    w = int32(a);
    h = int32(b);
    return true;
}

std::string rectText(const VRect& r) {
    return std::to_string(r.top) + "," + std::to_string(r.left) + "," + std::to_string(r.bottom) + "," +
           std::to_string(r.right);
}

bool parseRect(const std::string& s, VRect& r) {
    int64_t v[4];
    size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        size_t comma = s.find(',', start);
        if ((comma == std::string::npos) != (i == 3)) return false;
        std::string part = s.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!parseInt(part, v[i]) || v[i] < -0x7FFFFFFF || v[i] > 0x7FFFFFFF) return false;
        start = comma + 1;
    }
    r = VRect{int32(v[0]), int32(v[1]), int32(v[2]), int32(v[3])};
    return true;
}

DescriptorEntry parseSetting(const std::string& s) {
    size_t eq = s.find('=');
    if (eq == std::string::npos) usage("--set wants KEY=VALUE, not '" + s + "'");
    DescriptorKeyID key;
    try {
        key = keyFromName(s.substr(0, eq));
    } catch (const std::invalid_argument&) {
        usage("--set: the key '" + s.substr(0, eq) + "' does not have 4 characters");
    }
    std::string value = s.substr(eq + 1);
    if (value == "true" || value == "false") return DescriptorEntry::Boolean(key, value == "true");
    char* end = nullptr;
    double d = std::strtod(value.c_str(), &end);
    if (value.empty() || *end) usage("--set: '" + value + "' is neither a number nor true/false");
    return DescriptorEntry::Float(key, d);
}

Options parse(int argc, char** argv) {
    Options o;
    std::vector<std::string> args(argv + 1, argv + argc);
    auto value = [&](size_t& i) -> const std::string& {
        if (i + 1 >= args.size()) usage(args[i] + " needs a value");
        return args[++i];
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        int64_t n;
        if (a == "--selectors") {
            o.selectors = true;
        } else if (a == "--in") {
            o.in = value(i);
        } else if (a == "--out") {
            o.out = value(i);
        } else if (a == "--mode") {
            const std::string& m = value(i);
            if (m == "gray" || m == "grey") o.baseMode = plugInModeGrayScale;
            else if (m == "rgb") o.baseMode = plugInModeRGBColor;
            else if (m == "lab") o.baseMode = plugInModeLabColor;
            else if (m == "cmyk") o.baseMode = plugInModeCMYKColor;
            else usage("unknown mode '" + m + "'");
            o.modeGiven = true;
        } else if (a == "--depth") {
            if (!parseInt(value(i), n) || (n != 8 && n != 16 && n != 32)) usage("--depth is 8, 16 or 32");
            o.depth = int32(n);
            o.depthGiven = true;
        } else if (a == "--size") {
            if (!parseSize(value(i), o.width, o.height)) usage("--size wants WxH, e.g. 64x48");
        } else if (a == "--rect") {
            if (!parseRect(value(i), o.rect)) usage("--rect wants T,L,B,R");
            // The host reads an empty rectangle as the whole image.
            if (o.rect.top >= o.rect.bottom || o.rect.left >= o.rect.right)
                usage("--rect " + rectText(o.rect) + " is empty or inverted (top < bottom and left < right)");
        } else if (a == "--tile") {
            if (!parseSize(value(i), o.tileW, o.tileH) || o.tileW > 32767 || o.tileH > 32767)
                usage("--tile wants WxH, each at most 32767, e.g. 128x128");
        } else if (a == "--max-space") {
            if (!parseInt(value(i), n) || n < 0 || n > 0x7FFFFFFF) usage("--max-space wants 0..2147483647");
            o.maxSpace = n;
        } else if (a == "--set") {
            o.scriptTexts.push_back(value(i));
            o.script.push_back(parseSetting(o.scriptTexts.back()));
        } else if (a == "--keep-going") {
            o.keepGoing = true;
        } else if (a == "--check") {
            o.check = true;
        } else if (a == "--dialog") {
            o.dialog = true;
        } else if (a == "--no-big-document") {
            o.bigDocument = false;
        } else if (a == "--print-params") {
            o.printParams = true;
        } else if (a == "--fresh") {
            o.fresh = true;
        } else if (a == "--dialog-script") {
            o.dialogScript = value(i);
            o.dialog = true;
        } else if (a == "--registry") {
            o.registry = value(i);
        } else if (a == "--shots") {
            o.shots = value(i);
        } else if (a == "--about") {
            o.about = true;
        } else if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (!a.empty() && a[0] == '-') {
            usage("unknown option " + a);
        } else if (o.plugin.empty()) {
            o.plugin = a;
        } else if (o.in.empty()) {
            o.in = a;
        } else if (o.out.empty()) {
            o.out = a;
        } else {
            usage("unexpected argument '" + a + "' (PLUGIN, INPUT and OUTPUT are given already)");
        }
    }
    if (o.plugin.empty()) usage("no plug-in given");
    return o;
}

const char* selectorName(int16 s) {
    switch (s) {
        case filterSelectorAbout: return "about";
        case filterSelectorParameters: return "parameters";
        case filterSelectorPrepare: return "prepare";
        case filterSelectorStart: return "start";
        case filterSelectorContinue: return "continue";
        case filterSelectorFinish: return "finish";
        default: return "?";
    }
}

// The parameter block: 9 one-byte flags, then 26 doubles at their natural
// alignment.  The product's keys come from the descriptor the plug-in wrote:
// keyed values as floats and keyed flags as booleans, each in index order.
struct BlockLayout {
    uint8 flags[9];
    double values[26];
};

void printParams(const Host& host) {
    const std::vector<uint8_t> bytes = host.parameterBytes();
    if (bytes.empty()) {
        std::printf("parameter block: none\n");
        return;
    }
    std::printf("parameter block: %zu bytes\n", bytes.size());
    if (bytes.size() < sizeof(BlockLayout)) {
        std::printf("  (smaller than the %zu bytes of 9 flags and 26 doubles)\n", sizeof(BlockLayout));
        return;
    }
    BlockLayout b;
    std::memcpy(&b, bytes.data(), sizeof b);
    std::vector<DescriptorKeyID> valueKeys, flagKeys;
    if (std::optional<Descriptor> d = host.scriptDescriptor())
        for (const DescriptorEntry& e : *d) {
            if (e.type == typeFloat) valueKeys.push_back(e.key);
            if (e.type == typeBoolean) flagKeys.push_back(e.key);
        }
    for (size_t j = 0; j < 9; ++j) {
        std::string name = j < flagKeys.size() ? keyName(flagKeys[j]) : "flag[" + std::to_string(j) + "]";
        std::printf("%s %d\n", name.c_str(), int(b.flags[j]));
    }
    for (size_t i = 0; i < 26; ++i) {
        std::string name = i < valueKeys.size() ? keyName(valueKeys[i]) : "value[" + std::to_string(i) + "]";
        std::printf("%s %.17g\n", name.c_str(), b.values[i]);
    }
}

void printBalance(Host& host) {
    std::printf("handles: %lld live, %lld locked\n", (long long)host.handles().live(),
                (long long)host.handles().locked());
    std::printf("buffers: %lld live, %lld allocations, %lld refused, peak %lld bytes, %lld bytes taken from the system\n",
                (long long)host.buffers().live(), (long long)host.buffers().allocations(),
                (long long)host.buffers().refused(), (long long)host.buffers().peakBytes(),
                (long long)host.buffers().systemBytes());
    std::printf("advance states: %zu, %zu refused\n", host.advanceCalls().size(), host.requestErrors().size());
    for (const std::string& e : host.requestErrors()) std::printf("  %s\n", e.c_str());
    std::printf("progress calls: %zu, abort polls: %lld\n", host.progressCalls().size(),
                (long long)host.abortCalls());
    const std::string report = host.leakReport();
    std::printf("leaks and faults: %s\n", report.empty() ? "none" : "");
    if (!report.empty()) std::printf("%s", report.c_str());
}

const char* typeText(DescriptorTypeID type) {
    switch (type) {
        case typeFloat: return "a number";
        case typeBoolean: return "true or false";
        case typeInteger: return "a whole number";
        default: return "another type";
    }
}

std::string valueText(const DescriptorEntry& e) {
    char buf[40];
    switch (e.type) {
        case typeFloat: std::snprintf(buf, sizeof buf, "%.17g", e.f); break;
        case typeInteger: std::snprintf(buf, sizeof buf, "%d", int(e.i)); break;
        case typeBoolean: return e.b ? "true" : "false";
        default: return "?";
    }
    return buf;
}

// The --set text that gave the key (the key's name when none did).
std::string givenText(const Options& o, DescriptorKeyID key) {
    for (size_t i = 0; i < o.script.size(); ++i)
        if (o.script[i].key == key) return o.scriptTexts[i];
    return keyName(key);
}

// A get of the wrong type fails the plug-in's whole scripting read: it then
// runs with none of the --set values.  True when that happened.
bool reportFailedScriptRead(const Host& host, const Options& o) {
    for (const DescriptorReadError& e : host.descriptorReadErrors())
        std::fprintf(stderr, "pihost: --set %s: the plug-in reads %s as %s, not %s, so it used none of the --set values\n",
                     givenText(o, e.key).c_str(), keyName(e.key).c_str(), typeText(e.wanted), typeText(e.held));
    return !host.descriptorReadErrors().empty();
}

// Values that automatic profiling sets from the image when its flag 'Blah'
// ("profile automatically even when no dialog is shown") is on.
bool profilingSets(DescriptorKeyID key) {
    for (const char* name : {"brgH", "conT", "Dbar", "Dbas"})
        if (key == keyFromName(name)) return true;
    return false;
}

// The plug-in may keep or replace a --set value (a stored flag wins, the
// profiling overwrites, a value that is not finite is dropped): say which
// values the run did not end with, and why where that can be told.
void reportSettingsNotKept(const Options& o, const Descriptor& final) {
    const DescriptorEntry* always = findEntry(final, keyFromName("Blah"));
    const bool profiling = always && always->type == typeBoolean && always->b;
    for (size_t i = 0; i < o.script.size(); ++i) {
        const DescriptorEntry& given = o.script[i];
        const DescriptorEntry* ended = findEntry(final, given.key);
        if (!ended || *ended == given) continue;
        std::string why;
        if (given.type == typeFloat && !std::isfinite(given.f))
            why = " (the plug-in takes finite numbers only)";
        else if (profiling && profilingSets(given.key))
            why = " (automatic profiling is on, Blah true, and sets it from the image)";
        std::fprintf(stderr, "pihost: the run did not end with --set %s: %s is %s%s\n", o.scriptTexts[i].c_str(),
                     keyName(given.key).c_str(), valueText(*ended).c_str(), why.c_str());
    }
}

// What the run's end says about the --set values, and the output written
// when the plug-in succeeded; returns the exit status.
int writeOutput(const Host& host, const Options& o, const FileColours& colours, int16 failed, int scriptFailures) {
    // A key the plug-in does not know would be skipped silently: say so, and
    // write nothing.  The plug-in's own descriptor lists every key it knows.
    if (failed == noErr && !o.script.empty()) {
        const std::optional<Descriptor> known = host.scriptDescriptor();
        for (const DescriptorEntry& e : o.script)
            if (!known || !findEntry(*known, e.key)) {
                std::fprintf(stderr, "pihost: the plug-in has no parameter '%s'%s\n", keyName(e.key).c_str(),
                             o.out.empty() ? "" : (", " + o.out + " was not written").c_str());
                return 2;
            }
    }
    if (failed == noErr && reportFailedScriptRead(host, o) && !o.keepGoing) {
        if (!o.out.empty()) std::fprintf(stderr, "pihost: %s was not written (--keep-going writes it)\n", o.out.c_str());
        return 1;
    }
    if (failed == noErr && !o.script.empty())
        if (const std::optional<Descriptor> final = host.scriptDescriptor()) reportSettingsNotKept(o, *final);

    if (!o.out.empty()) {
        if (failed != noErr) {
            std::fprintf(stderr, "pihost: the plug-in failed (%d); %s was not written\n", int(failed), o.out.c_str());
        } else {
            writeImage(host.document(), o.out, colours);
            std::printf("written: %s\n", o.out.c_str());
        }
    }
    if (scriptFailures) return 1;
    return failed == noErr && host.clean() ? 0 : 1;
}

int run(const Options& o) {
    Document doc;
    FileColours colours;  // the input's, which the output goes back into
    if (!o.in.empty()) {
        doc = readImage(o.in, kMaxImageBytes, &colours);
        if (o.modeGiven || o.depthGiven) {
            try {
                doc = convertDocument(doc, o.modeGiven ? o.baseMode : baseModeOf(doc.imageMode()),
                                      o.depthGiven ? o.depth : doc.depth(), colours.iccProfile);
            } catch (const std::invalid_argument& e) {
                usage(std::string(o.in) + ": " + e.what());
            }
        }
    } else {
        const int16 mode = modeFor(o.baseMode, o.depth);
        if (mode < 0) usage(modeName(o.baseMode) + " has no " + std::to_string(o.depth) + "-bit form");
        doc = Document(mode, o.width, o.height);
        doc.fillPattern();
    }
    // Before the run rather than after it: a Lab document that the output's
    // format holds in device colours must be able to go into them.
    if (!o.out.empty()) checkColoursWritable(doc, o.out, colours);
    // Without the big-document record the host describes the image in 16-bit
    // fields; a larger one would be filtered in part.
    if (!o.bigDocument && (doc.width() > 32767 || doc.height() > 32767)) {
        std::fprintf(stderr,
                     "pihost: a %d x %d image needs the big-document record; without it (--no-big-document) a host "
                     "describes at most 32767 x 32767 pixels\n",
                     int(doc.width()), int(doc.height()));
        return 2;
    }
    // The checking host differs from the tool host in its checks only, so
    // that the two give the same output.
    HostOptions ho = toolHostOptions();
    if (o.check) {
        ho.checking = true;
        ho.rowSlackBytes = HostOptions().rowSlackBytes;
    }
    ho.filterRect = o.rect;
    if (o.tileW > 0) {
        ho.inTileWidth = int16(o.tileW);
        ho.inTileHeight = int16(o.tileH);
    }
    if (o.maxSpace >= 0) ho.maxSpace = int32(o.maxSpace);
    ho.bigDocument = o.bigDocument;

    // The plug-in is unloaded before the host goes: its suite holders
    // release at unload.
    Host host(std::move(doc), ho);
    Plugin plugin(o.plugin, o.fresh);
    host.setScriptDescriptor(o.script, int16(o.dialog ? plugInDialogDisplay : plugInDialogDontDisplay));
    // Held until the registry is written back: a run sharing it in the
    // meantime would write back what it read before this run's entries.
    std::unique_ptr<RegistryLock> registryLock;
    if (!o.registry.empty()) {
        registryLock.reset(new RegistryLock(o.registry, [&o] {
            std::fprintf(stderr, "pihost: waiting for another run to finish with the registry %s\n",
                         o.registry.c_str());
        }));
        host.registry() = readRegistryFile(o.registry);
    }

    const Document& d = host.document();
    std::printf("plugin: %s\n", o.plugin.c_str());
    std::printf("document: %s, %d x %d, %d planes, %d bits; filter rect %s\n", modeName(d.imageMode()).c_str(),
                int(d.width()), int(d.height()), int(d.planes()), int(d.depth()), rectText(host.filterRect()).c_str());

    int16 failed = noErr;
    int continues = 0;
    auto send = [&](int16 selector) {
        const int16 r = plugin.call(host, selector);
        if (selector != filterSelectorContinue)
            std::printf("selector %d %s: result %d\n", int(selector), selectorName(selector), int(r));
        if (selector == filterSelectorPrepare)
            std::printf("  maxSpace %d, bufferSpace %d\n", int(host.record().maxSpace), int(host.record().bufferSpace));
        if (r != noErr && failed == noErr) failed = r;
        return r;
    };
    if (o.about) send(filterSelectorAbout);
    std::unique_ptr<DialogScript> script;
    if (!o.dialogScript.empty()) {
        const std::string shots =
            o.shots.empty() ? o.dialogScript.substr(0, o.dialogScript.find_last_of('.')) + "-" : o.shots;
        script.reset(new DialogScript(o.dialogScript, host, shots));
    }
    int scriptFailures = 0;
    if (send(filterSelectorParameters) == noErr && send(filterSelectorPrepare) == noErr) {
        if (script) script->start();
        const int16 started = send(filterSelectorStart);
        if (script) scriptFailures = script->finish(started);
        while (host.afterSelector()) {
            if (++continues > 1000000) {
                std::printf("the plug-in asked for data after a million continue selectors; stopping\n");
                host.failPass();
                failed = filterBadParameters;
                break;
            }
            const int16 r = plugin.call(host, filterSelectorContinue);
            if (r != noErr) {
                std::printf("selector 4 continue (#%d): result %d\n", continues, int(r));
                if (failed == noErr) failed = r;
            }
        }
        if (continues > 0) std::printf("selector 4 continue: %d call(s)\n", continues);
        if (failed == noErr && host.result() != noErr) {
            std::printf("the host refused a request: %d\n", int(host.result()));
            failed = host.result();
        }
        if (failed == noErr) send(filterSelectorFinish);
    }
    if (o.printParams || o.selectors || o.in.empty()) printParams(host);
    printBalance(host);
    std::fflush(stdout);
    for (const std::string& a : host.alerts()) std::fprintf(stderr, "alert: %s\n", a.c_str());

    int status;
    try {
        status = writeOutput(host, o, colours, failed, scriptFailures);
    } catch (const ImageIoError& e) {
        // The run has no result to remember: the next one can repeat it.
        if (o.registry.empty()) throw;
        throw ImageIoError(std::string(e.what()) + "; the registry " + o.registry + " was left as it was");
    }
    // The registry goes last, so that what it remembers never outruns the
    // image written.
    if (!o.registry.empty()) {
        try {
            writeRegistryFile(host.registry(), o.registry);
        } catch (const RegistryFileError& e) {
            std::fprintf(stderr, "pihost: %s; it holds what it held before this run%s\n", e.what(),
                         o.out.empty() || status != 0 ? "" : (" (" + o.out + " was written)").c_str());
            return 2;
        }
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    platform::removePartialFileOnSignals();
    if (argc > 1 && std::strcmp(argv[1], "--convert") == 0) {
        if (argc != 4) usage("--convert wants IN and OUT");
        try {
            FileColours colours;
            const Document doc = readImage(argv[2], kMaxImageBytes, &colours);
            writeImage(doc, argv[3], colours);
            return 0;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "pihost: %s\n", e.what());
            return 2;
        }
    }
    const Options o = parse(argc, argv);
    try {
        return run(o);
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "pihost: %s\n", e.what());
        return 2;
    }
}
