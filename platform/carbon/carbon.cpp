// Core Foundation strings, standard alerts and the processor count of the
// headless Carbon stand-in.
#include "Carbon.h"

#include <iconv.h>
#include <locale.h>
#include <sched.h>
#include <strings.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "standin_internal.h"

namespace {
std::atomic<long> liveObjects{0};
std::mutex sinkMutex;
CarbonAlertSink alertSink = nullptr;
void* alertContext = nullptr;
int alertFailures = 0;
AlertType lastAlertType = kAlertNoteAlert;
__CFBundle mainBundle;

}  // namespace

CFStringRef carbonStandInNewString(std::string utf8) {
    ++liveObjects;
    auto* s = new __CFString;
    s->text = std::move(utf8);
    return s;
}

bool carbonStandInNullObject(const void* cf, const char* caller) {
    if (cf) return false;
    carbonStandInFault(std::string(caller) + ": a NULL object");
    return true;
}

namespace {
// One conversion between two encodings (iconv names); false when a character
// has no form in the target encoding or the input is not valid.
bool convertText(const std::string& in, const char* from, const char* to, std::string& out) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    out.assign(in.size() * 4 + 4, '\0');
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = &out[0];
    size_t dstLeft = out.size();
    const bool ok = iconv(cd, &src, &srcLeft, &dst, &dstLeft) != size_t(-1) && srcLeft == 0;
    iconv_close(cd);
    out.resize(out.size() - dstLeft);
    return ok;
}

const char* iconvName(CFStringEncoding encoding) {
    switch (encoding) {
        case kCFStringEncodingMacRoman: return "MACINTOSH";
        case kCFStringEncodingASCII: return "ASCII";
        case kCFStringEncodingUTF8: return "UTF-8";
        default: return nullptr;
    }
}
}  // namespace

// Strings are held as UTF-8; the encoding asked for is honoured both ways.
// Bytes that are no text of the encoding give NULL, as on the system.
CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* cStr, CFStringEncoding encoding) {
    if (carbonStandInNullObject(cStr, "CFStringCreateWithCString")) return nullptr;
    const char* name = iconvName(encoding);
    std::string text;
    if (!name || !convertText(cStr, name, "UTF-8", text)) return nullptr;
    CFStringRef s = carbonStandInNewString(text);
    s->madeFromCString = true;
    s->cStringEncoding = encoding;
    s->cString = cStr;
    return s;
}

// Only the conversions the plug-ins' own texts could carry are understood:
// %d and %ld take an integer argument, %@ a string, %% is a percent sign.
CFStringRef CFStringCreateWithFormat(CFAllocatorRef, const void*, CFStringRef format, ...) {
    if (carbonStandInNullObject(format, "CFStringCreateWithFormat")) return nullptr;
    va_list args;
    va_start(args, format);
    std::string out;
    const std::string& f = format->text;
    for (size_t i = 0; i < f.size(); ++i) {
        if (f[i] != '%' || i + 1 == f.size()) {
            out += f[i];
            continue;
        }
        if (f[i + 1] == '%') {
            out += '%';
            ++i;
        } else if (f[i + 1] == 'd') {
            out += std::to_string(va_arg(args, int));
            ++i;
        } else if (f[i + 1] == '@') {
            CFStringRef arg = va_arg(args, CFStringRef);
            if (arg) out += arg->text;
            ++i;
        } else if (f.compare(i + 1, 2, "ld") == 0) {
            out += std::to_string(va_arg(args, long));
            i += 2;
        } else {
            out += f[i];
        }
    }
    va_end(args);
    return carbonStandInNewString(out);
}

// False when the buffer cannot hold the text and its terminating zero, or
// the encoding cannot hold the text.
bool CFStringGetCString(CFStringRef s, char* buffer, CFIndex bufferSize, CFStringEncoding encoding) {
    if (carbonStandInNullObject(s, "CFStringGetCString")) return false;
    const char* name = iconvName(encoding);
    std::string text;
    if (!buffer || bufferSize <= 0 || !name || !convertText(s->text, "UTF-8", name, text) ||
        CFIndex(text.size()) >= bufferSize)
        return false;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

// Core Foundation may answer NULL for any string; here it answers a pointer
// only for a string made from a C string of the encoding asked for.
const char* CFStringGetCStringPtr(CFStringRef s, CFStringEncoding encoding) {
    if (carbonStandInNullObject(s, "CFStringGetCStringPtr")) return nullptr;
    return s->madeFromCString && s->cStringEncoding == encoding ? s->cString.c_str() : nullptr;
}

// In UTF-16 units, as Core Foundation counts: a character beyond the basic
// plane (four UTF-8 bytes) is two.
CFIndex CFStringGetLength(CFStringRef s) {
    if (carbonStandInNullObject(s, "CFStringGetLength")) return 0;
    CFIndex n = 0;
    for (unsigned char c : s->text) {
        if ((c & 0xC0) != 0x80) ++n;
        if (c >= 0xF0) ++n;
    }
    return n;
}

CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding) {
    return encoding == kCFStringEncodingUTF8 ? length * 3 : length;
}

void CFRelease(CFTypeRef cf) {
    if (carbonStandInNullObject(cf, "CFRelease")) return;
    if (cf == &mainBundle || carbonStandInIsBundle(cf)) return;
    --liveObjects;
    delete static_cast<const __CFString*>(cf);
}

CFBundleRef CFBundleGetMainBundle() { return &mainBundle; }

// No bundle carries a string table here, so the key comes back as its own value.
CFStringRef CFBundleCopyLocalizedString(CFBundleRef, CFStringRef key, CFStringRef value, CFStringRef) {
    if (carbonStandInNullObject(key, "CFBundleCopyLocalizedString")) return nullptr;
    return carbonStandInNewString((value ? value : key)->text);
}

OSStatus GetStandardAlertDefaultParams(AlertStdCFStringAlertParamRec* param, uint32_t version) {
    if (!param) return -50;
    *param = AlertStdCFStringAlertParamRec{};
    param->version = version;
    return 0;
}

OSStatus CreateStandardAlert(AlertType, CFStringRef error, CFStringRef, const AlertStdCFStringAlertParamRec*,
                             DialogRef* outAlert) {
    if (!outAlert || !error) return -50;
    {
        std::lock_guard<std::mutex> lock(sinkMutex);
        if (alertFailures > 0) {
            --alertFailures;
            *outAlert = nullptr;
            return -108;
        }
    }
    *outAlert = new OpaqueDialogPtr;
    (*outAlert)->message = error->text;
    return 0;
}

OSStatus RunStandardAlert(DialogRef alert, void*, DialogItemIndex* outItemHit) {
    if (!alert) return -50;
    CarbonAlertSink sink;
    void* context;
    {
        std::lock_guard<std::mutex> lock(sinkMutex);
        sink = alertSink;
        context = alertContext;
    }
    {
        std::lock_guard<std::mutex> lock(sinkMutex);
        lastAlertType = kAlertNoteAlert;
    }
    if (sink) sink(alert->message.c_str(), context);
    delete alert;
    if (outItemHit) *outItemHit = 1;
    return 0;
}

ItemCount MPProcessorsScheduled() {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) return CPU_COUNT(&set);
    long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 ? ItemCount(n) : 1;
}

void CarbonStandInSetAlertSink(CarbonAlertSink sink, void* context) {
    std::lock_guard<std::mutex> lock(sinkMutex);
    alertSink = sink;
    alertContext = context;
}

void CarbonStandInFailAlertCreation(int n) {
    std::lock_guard<std::mutex> lock(sinkMutex);
    alertFailures = n;
}

long CarbonStandInLiveObjects() { return liveObjects.load(); }


// Memory Manager -----------------------------------------------------------

#include <map>
#include <memory>

// The master pointer comes first, so that a handle is a pointer to it.
struct HandleRecord {
    char* master;
    std::vector<char> bytes;
    int locks;
    bool resource;
};

namespace {
std::mutex memoryMutex;
std::atomic<long> liveHandles{0};
int handleFailures = 0;
thread_local OSErr memError = 0;

bool failHandle() {
    std::lock_guard<std::mutex> lock(memoryMutex);
    if (handleFailures <= 0) return false;
    --handleFailures;
    return true;
}

// The master pointer of an empty handle is still valid (a one-byte block).
void setMaster(Handle h) { h->master = h->bytes.empty() ? reinterpret_cast<char*>(&h->locks) : h->bytes.data(); }

Handle makeHandle(const void* data, Size size, bool resource) {
    auto* h = new HandleRecord{nullptr, std::vector<char>(size_t(size)), 0, resource};
    if (data && size > 0) std::memcpy(h->bytes.data(), data, size_t(size));
    setMaster(h);
    if (!resource) ++liveHandles;
    return h;
}
}  // namespace

Handle NewHandle(Size byteCount) {
    if (byteCount < 0 || failHandle()) {
        memError = byteCount < 0 ? -50 : -108;
        return nullptr;
    }
    memError = 0;
    return makeHandle(nullptr, byteCount, false);
}

void DisposeHandle(Handle h) {
    memError = h ? 0 : -109;
    if (!h) return;
    if (!h->resource) --liveHandles;
    delete h;
}

Size GetHandleSize(Handle h) {
    memError = h ? 0 : -109;
    return h ? Size(h->bytes.size()) : 0;
}

void SetHandleSize(Handle h, Size newSize) {
    if (!h) {
        memError = -109;
        return;
    }
    if (newSize < 0 || failHandle()) {
        memError = newSize < 0 ? -50 : -108;
        return;
    }
    h->bytes.resize(size_t(newSize));
    setMaster(h);
    memError = 0;
}

void HLock(Handle h) {
    memError = h ? 0 : -109;
    if (h) h->locks = 1;
}
void HLockHi(Handle h) { HLock(h); }
void HUnlock(Handle h) {
    memError = h ? 0 : -109;
    if (h) h->locks = 0;
}

OSErr MemError() { return memError; }

void BlockMove(const void* source, void* destination, Size count) {
    if (source && destination && count > 0) std::memmove(destination, source, size_t(count));
}

void NumToString(long number, unsigned char* text) {
    if (!text) return;
    std::string digits = std::to_string(number);
    text[0] = uint8_t(digits.size());
    std::memcpy(text + 1, digits.data(), digits.size());
}

long CarbonStandInLiveHandles() { return liveHandles.load(); }

void CarbonStandInFailHandles(int n) {
    std::lock_guard<std::mutex> lock(memoryMutex);
    handleFailures = n;
}

// Resource Manager ----------------------------------------------------------

namespace {
struct ResourceFile {
    std::map<std::pair<ResType, int16_t>, std::vector<char>> resources;
    // Handles handed out, one per resource, until released.
    std::map<std::pair<ResType, int16_t>, Handle> loaded;
};
std::map<int16_t, ResourceFile> resourceFiles;
int16_t applicationFile = 0, currentFile = 0;
OSErr resError = 0;
int systemMajor = 10, systemMinor = 4, systemBugFix = 11;

Handle loadResource(int16_t file, ResType type, int16_t id) {
    auto f = resourceFiles.find(file);
    if (f == resourceFiles.end()) return nullptr;
    auto key = std::make_pair(type, id);
    auto r = f->second.resources.find(key);
    if (r == f->second.resources.end()) return nullptr;
    Handle& h = f->second.loaded[key];
    if (!h) h = makeHandle(r->second.data(), Size(r->second.size()), true);
    return h;
}
}  // namespace

int16_t CurResFile() { return currentFile; }

void UseResFile(int16_t refNum) {
    resError = resourceFiles.count(refNum) ? 0 : -193;  // resFNotFound
    if (!resError) currentFile = refNum;
}

Handle Get1Resource(ResType type, int16_t id) {
    Handle h = loadResource(currentFile, type, id);
    resError = h ? 0 : resNotFound;
    return h;
}

// The current file first, then the application's.
Handle GetResource(ResType type, int16_t id) {
    Handle h = loadResource(currentFile, type, id);
    if (!h && currentFile != applicationFile) h = loadResource(applicationFile, type, id);
    resError = h ? 0 : resNotFound;
    return h;
}

void ReleaseResource(Handle resource) {
    resError = resNotFound;
    if (!resource) return;
    for (auto& f : resourceFiles)
        for (auto it = f.second.loaded.begin(); it != f.second.loaded.end(); ++it)
            if (it->second == resource) {
                delete resource;
                f.second.loaded.erase(it);
                resError = 0;
                return;
            }
}

OSErr ResError() { return resError; }
int16_t LMGetCurApRefNum() { return applicationFile; }

void CarbonStandInInstallResource(int16_t refNum, ResType type, int16_t id, const void* data, long size) {
    if (resourceFiles.empty()) applicationFile = currentFile = refNum;
    const char* bytes = static_cast<const char*>(data);
    resourceFiles[refNum].resources[{type, id}] = std::vector<char>(bytes, bytes + (data && size > 0 ? size : 0));
}

void CarbonStandInSetApplicationFile(int16_t refNum) {
    resourceFiles[refNum];
    applicationFile = refNum;
}

void CarbonStandInClearResources() {
    for (auto& f : resourceFiles)
        for (auto& l : f.second.loaded) delete l.second;
    resourceFiles.clear();
    applicationFile = currentFile = 0;
    resError = 0;
}

void CarbonStandInSetSystemVersion(int major, int minor, int bugFix) {
    systemMajor = major;
    systemMinor = minor;
    systemBugFix = bugFix;
}

OSErr Gestalt(OSType selector, int32_t* response) {
    if (!response) return -50;
    switch (selector) {
        case gestaltSystemVersion:
            // Binary-coded decimal, minor and bug fix capped at 9 as the system does.
            *response = ((systemMajor / 10) << 12) | ((systemMajor % 10) << 8) | (std::min(systemMinor, 9) << 4) |
                        std::min(systemBugFix, 9);
            return 0;
        case gestaltSystemVersionMajor: *response = systemMajor; return 0;
        case gestaltSystemVersionMinor: *response = systemMinor; return 0;
        case gestaltSystemVersionBugFix: *response = systemBugFix; return 0;
        default: return -5551;  // gestaltUndefSelectorErr
    }
}

// Alerts from resources -----------------------------------------------------

namespace {
std::string paramText[4];
Rect lastAlertBounds{0, 0, 0, 0};

DialogItemIndex showResourceAlert(AlertType type, int16_t alertID) {
    const ResType alrt = 0x414c5254, ditl = 0x4449544c;  // 'ALRT', 'DITL'
    Handle a = GetResource(alrt, alertID);
    Handle items = a ? GetResource(ditl, alertID) : nullptr;
    if (!items || a->bytes.size() < sizeof(AlertTemplate)) return -1;
    AlertTemplate shown;
    std::memcpy(&shown, a->bytes.data(), sizeof shown);
    std::string text(items->bytes.begin(), items->bytes.end());
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '^' && i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '3') {
            out += paramText[text[i + 1] - '0'];
            ++i;
        } else {
            out += text[i];
        }
    }
    CarbonAlertSink sink;
    void* context;
    {
        std::lock_guard<std::mutex> lock(sinkMutex);
        sink = alertSink;
        context = alertContext;
        lastAlertType = type;
        lastAlertBounds = shown.boundsRect;
    }
    if (sink) sink(out.c_str(), context);
    return 1;
}
}  // namespace

void ParamText(const unsigned char* param0, const unsigned char* param1, const unsigned char* param2,
               const unsigned char* param3) {
    const unsigned char* params[4] = {param0, param1, param2, param3};
    for (int i = 0; i < 4; ++i)
        paramText[i] = params[i] ? std::string(reinterpret_cast<const char*>(params[i]) + 1, params[i][0]) : "";
}

DialogItemIndex StopAlert(int16_t alertID, void*) { return showResourceAlert(kAlertStopAlert, alertID); }
DialogItemIndex CautionAlert(int16_t alertID, void*) { return showResourceAlert(kAlertCautionAlert, alertID); }

AlertType CarbonStandInLastAlertType() {
    std::lock_guard<std::mutex> lock(sinkMutex);
    return lastAlertType;
}

void CarbonStandInLastAlertBounds(Rect* bounds) {
    std::lock_guard<std::mutex> lock(sinkMutex);
    if (bounds) *bounds = lastAlertBounds;
}

// Read as Core Foundation reads it: a full stop is the decimal point in
// every locale, and only decimal digits count.
double CFStringGetDoubleValue(CFStringRef s) {
    if (carbonStandInNullObject(s, "CFStringGetDoubleValue")) return 0;
    const std::string& t = s->text;
    size_t i = std::min(t.find_first_not_of(" \t\n\r\f\v"), t.size());
    const size_t start = i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    auto word = [&](const char* w) { return strncasecmp(t.c_str() + i, w, std::strlen(w)) == 0; };
    auto digits = [&](size_t& at) {
        const size_t from = at;
        while (at < t.size() && t[at] >= '0' && t[at] <= '9') ++at;
        return at - from;
    };
    size_t end = i;
    if (word("inf") || word("nan")) {
        end = i + 3;
    } else {
        size_t mantissa = digits(end);
        if (end < t.size() && t[end] == '.') mantissa += digits(++end);
        if (mantissa == 0) return 0;
        size_t exponent = end + 1;
        if (end < t.size() && (t[end] == 'e' || t[end] == 'E')) {
            if (exponent < t.size() && (t[exponent] == '+' || t[exponent] == '-')) ++exponent;
            if (digits(exponent) > 0) end = exponent;
        }
    }
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return strtod_l(t.substr(start, end - start).c_str(), nullptr, c);
}
