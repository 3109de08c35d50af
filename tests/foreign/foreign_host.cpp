// A filter host that shares nothing with the plug-ins' declarations: every
// record and procedure table it hands over is a byte buffer filled at the
// offsets that real Windows hosts use (x86 and x86-64), so a module whose
// declarations drift from that layout calls the wrong procedure, reads the
// wrong field or writes the wrong place here.
//
//     foreignhost MODULE.8bf INPUT.ppm PREFIX
//
// runs the module four times on the 8-bit RGB image (parameters, prepare,
// start without a dialog, continue while data is asked for, finish):
//   A  as a version-6 host: the 452/556-byte record with a zero tail and no
//      big-document record; writes PREFIX-v6.ppm;
//   B  as a later host with a big-document record, replaying A's scripting
//      descriptor; writes PREFIX-big.ppm; what the plug-in writes back must
//      be what it was given;
//   C  a later host again, with 'Dbam' changed in the script: the plug-in
//      must write the new value into the scripting descriptor and into the
//      registry (through the action-descriptor suite);
//   D  a version-6 host with an empty script: the value must come back from
//      the registry.
// Any call of a procedure the plug-ins have no business with, any alert,
// a result other than 0, or a buffer left allocated fails the run.  Exit
// status 0 when everything held.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// The layout, from the host's tables: offsets on x86 and x86-64.

constexpr bool k64 = sizeof(void*) == 8;
constexpr size_t X(size_t x86, size_t x64) { return k64 ? x64 : x86; }
constexpr size_t kPtr = sizeof(void*);

namespace rec {  // the filter record, packed to 4 bytes
const size_t abortProc = 4, progressProc = X(8, 12), parameters = X(12, 20);
const size_t imageSize = X(16, 28), planes = X(20, 32), filterRect = X(22, 34);
const size_t background = X(30, 42), foreground = X(36, 48), maxSpace = X(44, 56), bufferSpace = X(48, 60);
const size_t inRect = X(52, 64), inLoPlane = X(60, 72), inHiPlane = X(62, 74);
const size_t outRect = X(64, 76), outLoPlane = X(72, 84), outHiPlane = X(74, 86);
const size_t inData = X(76, 88), inRowBytes = X(80, 96), outData = X(84, 100), outRowBytes = X(88, 108);
const size_t maskRect = X(96, 116), backColor = X(112, 136), foreColor = X(116, 140);
const size_t hostSig = X(120, 144), hostProcs = X(124, 148), imageMode = X(128, 156);
const size_t imageHRes = X(132, 160), imageVRes = X(136, 164), wholeSize = X(144, 172);
const size_t platformData = X(188, 216), bufferProcs = X(192, 224);
const size_t processEvent = X(200, 240), displayPixels = X(204, 248), handleProcs = X(208, 256);
const size_t dummyPlaneValue = X(218, 270), advanceState = X(224, 280), supportsAbsolute = X(228, 288);
const size_t supportsPadding = X(237, 301), inputPadding = X(238, 302), outputPadding = X(240, 304);
const size_t maskPadding = X(242, 306), samplingSupport = X(244, 308), inputRate = X(248, 312);
const size_t maskRate = X(252, 316), colorServices = X(256, 320), inNonLayerPlanes = X(268, 336);
const size_t inColumnBytes = X(300, 368), inPlaneBytes = X(304, 372);
const size_t outColumnBytes = X(308, 376), outPlaneBytes = X(312, 380);
const size_t inTileHeight = X(324, 400), inTileWidth = X(326, 402);
const size_t descriptorParameters = X(356, 432), sSPBasic = X(372, 464);
const size_t depth = X(380, 480), canUseICCProfiles = X(392, 496);
const size_t sizeVersion6 = X(452, 556);
// The later interface continues where a version-6 record has its reserved tail.
const size_t bigDocumentData = X(400, 504), maxSpace64 = X(432, 552), sizeLater = X(488, 608);
}  // namespace rec

namespace big {  // BigDocumentStruct: the same on both
const size_t using32 = 0, imageSize32 = 4, filterRect32 = 12, inRect32 = 28, outRect32 = 44, maskRect32 = 60,
             wholeSize32 = 84, size = 92;
}

// Procedure tables: a 16-bit version and count, then the procedures from
// the first pointer-aligned offset.  The suites are procedures only.
size_t tableSlot(int index) { return kPtr + size_t(index) * kPtr; }
size_t suiteSlot(int index) { return size_t(index) * kPtr; }

namespace dp {  // PIDescriptorParameters
const size_t version = 0, playInfo = 2, recordInfo = 4, descriptor = 8, writeProcs = X(12, 16),
             readProcs = X(16, 24), size = X(20, 32);
}

// Procedure counts and the places of the ones this host answers.
const int kBufferProcs = 5, kHandleProcs = 8, kReadProcs = 18, kWriteProcs = 16;
const int kBasicProcs = 7, kRegistryProcs = 3, kActionProcs = 46;
enum { bufAllocate, bufLock, bufUnlock, bufFree, bufSpace };
enum { hNew, hDispose, hGetSize, hSetSize, hLock, hUnlock, hRecoverSpace, hDisposeRegular };
enum { rdOpen, rdClose, rdGetKey, rdGetInteger, rdGetFloat, rdGetUnitFloat, rdGetBoolean };
enum { wrOpen, wrClose, wrPutInteger, wrPutFloat, wrPutUnitFloat, wrPutBoolean };
enum { spAcquire, spRelease, spIsEqual, spAllocate, spFree, spReallocate, spUndefined };
enum { regRegister, regErase, regGet };
enum { adMake = 0, adFree = 1, adPutInteger = 9, adPutFloat = 10, adPutBoolean = 13, adGetInteger = 22,
       adGetFloat = 23, adGetBoolean = 27 };

const char* const kRegistrySuite = "61e608b0-40fd-11d1-8da3-00c04fd5f7ee";
const char* const kActionDescriptorSuite = "df135115-c769-11d0-8079-00c04fd7ec47";
const int32_t kSuiteNotFound = 0x53214664;  // 'S!Fd'
const int32_t kBadParameter = 0x5061726d;   // 'Parm'
const int16_t kMissingParameter = -1715, kParamErr = -50, kBadParameters = -30100;
const uint32_t kTypeFloat = 0x646f7562, kTypeInteger = 0x6c6f6e67, kTypeBoolean = 0x626f6f6c;

uint32_t fourCC(const char* s) {
    return uint32_t(uint8_t(s[0])) << 24 | uint32_t(uint8_t(s[1])) << 16 | uint32_t(uint8_t(s[2])) << 8 |
           uint8_t(s[3]);
}
std::string keyText(uint32_t k) {
    char s[5] = {char(k >> 24), char(k >> 16), char(k >> 8), char(k), 0};
    return s;
}

// ---------------------------------------------------------------------------
// Byte buffers.

struct Bytes {
    std::vector<uint8_t> b;
    explicit Bytes(size_t n = 0) : b(n, 0) {}
    uint8_t* at(size_t off) { return b.data() + off; }
    template <typename T>
    void put(size_t off, T v) {
        std::memcpy(b.data() + off, &v, sizeof v);
    }
    template <typename T>
    T get(size_t off) const {
        T v;
        std::memcpy(&v, b.data() + off, sizeof v);
        return v;
    }
    template <typename F>
    void putProc(size_t off, F f) {
        put(off, reinterpret_cast<void*>(f));
    }
};

struct Rect32 {
    int32_t top, left, bottom, right;
    bool empty() const { return top >= bottom || left >= right; }
};

// ---------------------------------------------------------------------------
// Host state.

struct Entry {
    uint32_t key, type;
    double f;
    int32_t i;
    bool b;
};
typedef std::vector<Entry> Descriptor;

const Entry* findEntry(const Descriptor& d, uint32_t key) {
    for (const Entry& e : d)
        if (e.key == key) return &e;
    return nullptr;
}
void putEntry(Descriptor& d, const Entry& e) {
    for (Entry& x : d)
        if (x.key == e.key) {
            x = e;
            return;
        }
    d.push_back(e);
}
std::string entryText(const Entry& e) {
    char buf[64];
    if (e.type == kTypeFloat) std::snprintf(buf, sizeof buf, "%s doub %.17g", keyText(e.key).c_str(), e.f);
    else if (e.type == kTypeInteger) std::snprintf(buf, sizeof buf, "%s long %d", keyText(e.key).c_str(), int(e.i));
    else std::snprintf(buf, sizeof buf, "%s bool %d", keyText(e.key).c_str(), int(e.b));
    return buf;
}
bool sameEntries(const Descriptor& a, const Descriptor& b) {
    if (a.size() != b.size()) return false;
    for (const Entry& e : a) {
        const Entry* o = findEntry(b, e.key);
        if (!o || o->type != e.type) return false;
        if ((e.type == kTypeFloat && o->f != e.f) || (e.type == kTypeInteger && o->i != e.i) ||
            (e.type == kTypeBoolean && o->b != e.b))
            return false;
    }
    return true;
}

// A handle is a block whose first pointer-sized word is its data pointer.
struct HandleBlock {
    char* data;
    int32_t size;
    bool locked;
};
struct BufferBlock {
    std::vector<char> bytes;
};

struct ReadToken {
    Descriptor entries;
    size_t next = 0;                 // the entry after the current one
    std::vector<uint32_t> expected;  // keys whose absence is reported at closing
};

struct Image {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> rgb;  // interleaved
};

int gProblems = 0;
void problem(const std::string& text) {
    std::fprintf(stderr, "foreignhost: %s\n", text.c_str());
    ++gProblems;
}

// The host's object behind a value the plug-in passes back, or null (and a
// problem) when this host never gave it or has taken it back.
template <typename T>
T* known(const std::set<T*>& live, void* p, const char* op, const char* what) {
    T* t = static_cast<T*>(p);
    if (live.count(t)) return t;
    problem(std::string(op) + " of " + what + " this host did not give");
    return nullptr;
}

struct Host {
    Bytes record, bigDoc, descParams, readProcs, writeProcs, bufferProcs, handleProcs, basic, registryProcs,
        actionProcs, platform;
    Image source, output;
    std::set<HandleBlock*> handles;
    std::set<BufferBlock*> buffers;
    std::set<ReadToken*> readTokens;
    std::set<Descriptor*> writeTokens, actionDescriptors;
    std::map<std::string, Descriptor> registry;
    std::map<std::string, int> suitesHeld;
    Descriptor lastWritten;
    bool pending = false;
    Rect32 pendingRect{};
    std::vector<uint8_t> inBuf, outBuf;
    int32_t pendingRowBytes = 0;
    int progressCalls = 0;
};
Host* gHost = nullptr;

Rect32 readRect16(size_t off) {
    Bytes& r = gHost->record;
    return Rect32{r.get<int16_t>(off), r.get<int16_t>(off + 2), r.get<int16_t>(off + 4), r.get<int16_t>(off + 6)};
}
bool uses32Bit() {
    return gHost->record.get<void*>(rec::bigDocumentData) && gHost->bigDoc.get<int32_t>(big::using32) != 0;
}
Rect32 requestedRect(size_t off16, size_t off32) {
    if (uses32Bit()) return gHost->bigDoc.get<Rect32>(off32);
    return readRect16(off16);
}

// ---------------------------------------------------------------------------
// Procedures.  All cdecl, as the host's are.

// A procedure the plug-ins must never call: which table, which place.
template <int Table, int Index>
intptr_t trap() {
    static const char* const names[] = {"record",     "buffer procedures", "handle procedures", "read descriptor",
                                        "write descriptor", "basic suite", "registry suite",
                                        "action-descriptor suite"};
    problem(std::string("the plug-in called procedure ") + std::to_string(Index) + " of the " + names[Table] +
            ", which it has no use for");
    return 0;
}
template <int Table, int... I>
void fillTraps(Bytes& t, size_t (*slot)(int), std::integer_sequence<int, I...>) {
    (t.putProc(slot(I), &trap<Table, I>), ...);
}

uint8_t testAbort() { return 0; }
void progress(int32_t done, int32_t total) {
    if (done < 0 || total <= 0 || done > total)
        problem("progress " + std::to_string(done) + " of " + std::to_string(total));
    ++gHost->progressCalls;
}

// Buffers.
int16_t bufferAllocate(int32_t size, void** id) {
    if (!id || size < 0) return kParamErr;
    BufferBlock* b = new BufferBlock;
    b->bytes.assign(size_t(size), char(0xFF));
    gHost->buffers.insert(b);
    *id = b;
    return 0;
}
BufferBlock* bufferBlock(void* id, const char* op) { return known(gHost->buffers, id, op, "a buffer"); }
void* bufferLock(void* id, uint8_t) {
    BufferBlock* b = bufferBlock(id, "lockProc");
    return b ? b->bytes.data() : nullptr;
}
void bufferUnlock(void* id) { bufferBlock(id, "unlockProc"); }
void bufferFree(void* id) {
    if (BufferBlock* b = bufferBlock(id, "freeProc")) {
        gHost->buffers.erase(b);
        delete b;
    }
}
int32_t bufferSpace() { return 64 << 20; }

// Handles.
void* handleNew(int32_t size) {
    if (size < 0) return nullptr;
    HandleBlock* h = new HandleBlock{static_cast<char*>(std::calloc(size_t(size) + 1, 1)), size, false};
    gHost->handles.insert(h);
    return h;
}
HandleBlock* handleBlock(void* h, const char* op) { return known(gHost->handles, h, op, "a handle"); }
void handleDispose(void* h) {
    if (HandleBlock* b = handleBlock(h, "disposeProc")) {
        gHost->handles.erase(b);
        std::free(b->data);
        delete b;
    }
}
int32_t handleGetSize(void* h) {
    HandleBlock* b = handleBlock(h, "getSizeProc");
    return b ? b->size : 0;
}
int16_t handleSetSize(void* h, int32_t size) {
    HandleBlock* b = handleBlock(h, "setSizeProc");
    if (!b || size < 0) return kParamErr;
    char* n = static_cast<char*>(std::realloc(b->data, size_t(size) + 1));
    if (!n) return -108;
    if (size > b->size) std::memset(n + b->size, 0, size_t(size - b->size));
    b->data = n;
    b->size = size;
    return 0;
}
void* handleLock(void* h, uint8_t) {
    HandleBlock* b = handleBlock(h, "lockProc");
    if (!b) return nullptr;
    b->locked = true;
    return b->data;
}
void handleUnlock(void* h) {
    if (HandleBlock* b = handleBlock(h, "unlockProc")) b->locked = false;
}
void handleRecoverSpace(int32_t) {}

// Descriptor handles hold the entries in this host's own form.
void* descriptorHandle(const Descriptor& d) {
    void* h = handleNew(int32_t(d.size() * sizeof(Entry)));
    if (!d.empty()) std::memcpy(static_cast<HandleBlock*>(h)->data, d.data(), d.size() * sizeof(Entry));
    return h;
}
Descriptor descriptorFromHandle(void* h) {
    HandleBlock* b = static_cast<HandleBlock*>(h);
    Descriptor d(size_t(b->size) / sizeof(Entry));
    if (!d.empty()) std::memcpy(d.data(), b->data, d.size() * sizeof(Entry));
    return d;
}

// Reading descriptors.
void* readOpen(void* descriptor, uint32_t* keys) {
    if (!handleBlock(descriptor, "openReadDescriptorProc")) return nullptr;
    ReadToken* t = new ReadToken;
    t->entries = descriptorFromHandle(descriptor);
    for (int i = 0; keys && keys[i] && i < 1000; ++i) t->expected.push_back(keys[i]);
    gHost->readTokens.insert(t);
    return t;
}
uint8_t readGetKey(void* token, uint32_t* key, uint32_t* type, int32_t* flags) {
    ReadToken* t = known(gHost->readTokens, token, "getKeyProc", "a read descriptor");
    if (!t || t->next >= t->entries.size()) return 0;
    const Entry& e = t->entries[t->next++];
    if (key) *key = e.key;
    if (type) *type = e.type;
    if (flags) *flags = 0;
    return 1;
}
// The current key's value, when it has the type asked for.
template <typename Field, typename Value>
int16_t readValue(void* token, Value* value, uint32_t type, Field Entry::*field, const char* op) {
    ReadToken* t = known(gHost->readTokens, token, op, "a read descriptor");
    if (!t || !value) return kParamErr;
    if (t->next == 0 || t->entries[t->next - 1].type != type) {
        problem(std::string(op) + " on a key of another type");
        return kParamErr;
    }
    *value = Value(t->entries[t->next - 1].*field);
    return 0;
}
int16_t readInteger(void* token, int32_t* v) { return readValue(token, v, kTypeInteger, &Entry::i, "getIntegerProc"); }
int16_t readFloat(void* token, double* v) { return readValue(token, v, kTypeFloat, &Entry::f, "getFloatProc"); }
int16_t readBoolean(void* token, uint8_t* v) { return readValue(token, v, kTypeBoolean, &Entry::b, "getBooleanProc"); }
int16_t readClose(void* token) {
    ReadToken* t = known(gHost->readTokens, token, "closeReadDescriptorProc", "a read descriptor");
    if (!t) return kParamErr;
    int16_t err = 0;
    for (uint32_t k : t->expected)
        if (!findEntry(t->entries, k)) err = kMissingParameter;
    gHost->readTokens.erase(t);
    delete t;
    return err;
}

// Writing descriptors.
void* writeOpen() {
    Descriptor* d = new Descriptor;
    gHost->writeTokens.insert(d);
    return d;
}
int16_t writeEntry(void* token, const Entry& e, const char* op) {
    Descriptor* d = known(gHost->writeTokens, token, op, "a write descriptor");
    if (!d) return kParamErr;
    putEntry(*d, e);
    return 0;
}
int16_t writeInteger(void* token, uint32_t key, int32_t v) {
    return writeEntry(token, Entry{key, kTypeInteger, 0, v, false}, "putIntegerProc");
}
int16_t writeFloat(void* token, uint32_t key, const double* v) {
    return v ? writeEntry(token, Entry{key, kTypeFloat, *v, 0, false}, "putFloatProc") : kParamErr;
}
int16_t writeBoolean(void* token, uint32_t key, uint8_t v) {
    if (v > 1) problem("putBooleanProc with the value " + std::to_string(v));
    return writeEntry(token, Entry{key, kTypeBoolean, 0, 0, v != 0}, "putBooleanProc");
}
int16_t writeClose(void* token, void** result) {
    Descriptor* d = known(gHost->writeTokens, token, "closeWriteDescriptorProc", "a write descriptor");
    if (!d || !result) return kParamErr;
    *result = descriptorHandle(*d);
    gHost->lastWritten = *d;
    gHost->writeTokens.erase(d);
    delete d;
    return 0;
}

// Basic suite.
int32_t basicAcquire(const char* name, int32_t version, const void** suite) {
    if (!name || !suite) return kBadParameter;
    *suite = nullptr;
    if (std::strcmp(name, kRegistrySuite) == 0 && version == 1) *suite = gHost->registryProcs.at(0);
    if (std::strcmp(name, kActionDescriptorSuite) == 0 && version == 2) *suite = gHost->actionProcs.at(0);
    if (!*suite) return kSuiteNotFound;
    ++gHost->suitesHeld[name];
    return 0;
}
int32_t basicRelease(const char* name, int32_t) {
    if (!name || gHost->suitesHeld[name] <= 0) {
        problem(std::string("ReleaseSuite of ") + (name ? name : "(null)") + ", which is not held");
        return kBadParameter;
    }
    --gHost->suitesHeld[name];
    return 0;
}
int32_t basicIsEqual(const char* a, const char* b) { return a && b && std::strcmp(a, b) == 0; }
int32_t basicAllocate(int32_t size, void** block) {
    if (!block || size < 0) return kBadParameter;
    *block = std::malloc(size_t(size) + 1);
    return *block ? 0 : -108;
}
int32_t basicFree(void* block) {
    std::free(block);
    return 0;
}
int32_t basicReallocate(void* block, int32_t size, void** result) {
    if (!result || size < 0) return kBadParameter;
    void* n = std::realloc(block, size_t(size) + 1);
    if (!n) return -108;
    *result = n;
    return 0;
}

// Registry and action descriptors.
Descriptor* actionDescriptor(void* d, const char* op) {
    return known(gHost->actionDescriptors, d, op, "an action descriptor");
}
int32_t regRegisterProc(const char* key, void* d, uint8_t persistent) {
    Descriptor* a = actionDescriptor(d, "Register");
    if (!key || !a) return kBadParameter;
    if (persistent != 1) problem("Register with persistence " + std::to_string(persistent));
    gHost->registry[key] = *a;
    return 0;
}
int32_t regGetProc(const char* key, void** d) {
    if (!key || !d) return kBadParameter;
    *d = nullptr;
    auto it = gHost->registry.find(key);
    if (it == gHost->registry.end()) return kMissingParameter;
    Descriptor* a = new Descriptor(it->second);
    gHost->actionDescriptors.insert(a);
    *d = a;
    return 0;
}
int32_t actionMake(void** d) {
    if (!d) return kBadParameter;
    Descriptor* a = new Descriptor;
    gHost->actionDescriptors.insert(a);
    *d = a;
    return 0;
}
int32_t actionFree(void* d) {
    Descriptor* a = actionDescriptor(d, "Free");
    if (!a) return kBadParameter;
    gHost->actionDescriptors.erase(a);
    delete a;
    return 0;
}
int32_t actionPut(void* d, const Entry& e, const char* op) {
    Descriptor* a = actionDescriptor(d, op);
    if (!a) return kBadParameter;
    putEntry(*a, e);
    return 0;
}
int32_t actionPutInteger(void* d, uint32_t key, int32_t v) {
    return actionPut(d, Entry{key, kTypeInteger, 0, v, false}, "PutInteger");
}
int32_t actionPutFloat(void* d, uint32_t key, double v) {
    return actionPut(d, Entry{key, kTypeFloat, v, 0, false}, "PutFloat");
}
int32_t actionPutBoolean(void* d, uint32_t key, uint8_t v) {
    return actionPut(d, Entry{key, kTypeBoolean, 0, 0, v != 0}, "PutBoolean");
}
template <typename Field, typename Value>
int32_t actionGet(void* d, uint32_t key, Value* value, uint32_t type, Field Entry::*field, const char* op) {
    Descriptor* a = actionDescriptor(d, op);
    const Entry* e = a ? findEntry(*a, key) : nullptr;
    if (!a || !value) return kBadParameter;
    if (!e) return kMissingParameter;
    if (e->type != type) return kParamErr;
    *value = Value(e->*field);
    return 0;
}
int32_t actionGetInteger(void* d, uint32_t key, int32_t* v) {
    return actionGet(d, key, v, kTypeInteger, &Entry::i, "GetInteger");
}
int32_t actionGetFloat(void* d, uint32_t key, double* v) {
    return actionGet(d, key, v, kTypeFloat, &Entry::f, "GetFloat");
}
int32_t actionGetBoolean(void* d, uint32_t key, uint8_t* v) {
    return actionGet(d, key, v, kTypeBoolean, &Entry::b, "GetBoolean");
}

// Advance state: commit the output of the last request, then serve the new
// rectangles (the traditional layout: planes interleaved, rows apart by the
// row bytes).
void commitPending() {
    Host& h = *gHost;
    if (!h.pending) return;
    const Rect32 r = h.pendingRect;
    for (int32_t y = r.top; y < r.bottom; ++y)
        std::memcpy(h.output.rgb.data() + (size_t(y) * h.output.width + r.left) * 3,
                    h.outBuf.data() + size_t(y - r.top) * h.pendingRowBytes, size_t(r.right - r.left) * 3);
    h.pending = false;
}

bool insideImage(const Rect32& r) {
    return r.top >= 0 && r.left >= 0 && r.bottom <= gHost->source.height && r.right <= gHost->source.width;
}

int16_t advanceStateProc() {
    Host& h = *gHost;
    Bytes& r = h.record;
    commitPending();
    const Rect32 in = requestedRect(rec::inRect, big::inRect32);
    const Rect32 out = requestedRect(rec::outRect, big::outRect32);
    const Rect32 mask = requestedRect(rec::maskRect, big::maskRect32);
    const int16_t inLo = r.get<int16_t>(rec::inLoPlane), inHi = r.get<int16_t>(rec::inHiPlane);
    const int16_t outLo = r.get<int16_t>(rec::outLoPlane), outHi = r.get<int16_t>(rec::outHiPlane);
    if (!mask.empty()) problem("a mask was asked for, but the host offers none");
    if (r.get<int32_t>(rec::inputRate) != 0x10000) problem("an input rate other than 1 without a preview");
    auto servable = [](const Rect32& rc, int16_t lo, int16_t hi) {
        return rc.empty() || (insideImage(rc) && lo >= 0 && hi <= 2 && lo <= hi);
    };
    if (!servable(in, inLo, inHi) || !servable(out, outLo, outHi)) {
        problem("a request the host cannot serve");
        return kBadParameters;
    }

    auto serve = [&](const Rect32& rc, int16_t lo, int16_t hi, const Image& img, std::vector<uint8_t>& buf,
                     size_t dataOff, size_t rowOff, size_t colOff, size_t planeOff) {
        if (rc.empty()) {
            r.put<void*>(dataOff, nullptr);
            r.put<int32_t>(rowOff, 0);
            return int32_t(0);
        }
        const int32_t n = hi - lo + 1, w = rc.right - rc.left;
        const int32_t rowBytes = (w * n + 3) / 4 * 4;
        buf.assign(size_t(rowBytes) * size_t(rc.bottom - rc.top), 0xFF);
        for (int32_t y = rc.top; y < rc.bottom; ++y)
            for (int32_t x = rc.left; x < rc.right; ++x)
                for (int32_t p = 0; p < n; ++p)
                    buf[size_t(y - rc.top) * rowBytes + size_t(x - rc.left) * n + p] =
                        img.rgb[(size_t(y) * img.width + x) * 3 + lo + p];
        r.put<void*>(dataOff, buf.data());
        r.put<int32_t>(rowOff, rowBytes);
        r.put<int32_t>(colOff, n);
        r.put<int32_t>(planeOff, 1);
        return rowBytes;
    };
    serve(in, inLo, inHi, h.source, h.inBuf, rec::inData, rec::inRowBytes, rec::inColumnBytes, rec::inPlaneBytes);
    const int32_t outRowBytes = serve(out, outLo, outHi, h.output, h.outBuf, rec::outData, rec::outRowBytes,
                                      rec::outColumnBytes, rec::outPlaneBytes);
    if (!out.empty()) {
        if (outLo != 0 || outHi != 2) {
            problem("output of some planes only");
            return kBadParameters;
        }
        h.pending = true;
        h.pendingRect = out;
        h.pendingRowBytes = outRowBytes;
    }
    return 0;
}

// Dialogs and alerts: none may appear.  A hook closes any that does.
HHOOK gHook = nullptr;
LRESULT CALLBACK dialogHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        HWND w = reinterpret_cast<HWND>(wParam);
        char text[512] = {0};
        GetDlgItemTextA(w, 0xFFFF, text, sizeof text);
        problem(std::string("a window appeared: ") + text);
        PostMessageA(w, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
    return CallNextHookEx(gHook, code, wParam, lParam);
}

// ---------------------------------------------------------------------------
// Building the record.

// A procedure table as the host lays it out: with the version and count
// header (a record's table) or without (a suite); every place this host does
// not answer holds a trap.
struct Slot {
    int index;
    void* proc;
};
template <typename F>
Slot slot(int index, F proc) {
    return Slot{index, reinterpret_cast<void*>(proc)};
}
template <int Table, int Count>
Bytes procedureTable(bool header, int16_t version, std::initializer_list<Slot> procs) {
    size_t (*place)(int) = header ? tableSlot : suiteSlot;
    Bytes t(place(Count));
    if (header) {
        t.put<int16_t>(0, version);
        t.put<int16_t>(2, Count);
    }
    fillTraps<Table>(t, place, std::make_integer_sequence<int, Count>());
    for (const Slot& s : procs) t.put(place(s.index), s.proc);
    return t;
}

void buildTables(Host& h) {
    h.bufferProcs = procedureTable<1, kBufferProcs>(
        true, 2,
        {slot(bufAllocate, bufferAllocate), slot(bufLock, bufferLock), slot(bufUnlock, bufferUnlock),
         slot(bufFree, bufferFree), slot(bufSpace, bufferSpace)});
    h.handleProcs = procedureTable<2, kHandleProcs>(
        true, 1,
        {slot(hNew, handleNew), slot(hDispose, handleDispose), slot(hGetSize, handleGetSize),
         slot(hSetSize, handleSetSize), slot(hLock, handleLock), slot(hUnlock, handleUnlock),
         slot(hRecoverSpace, handleRecoverSpace)});
    h.readProcs = procedureTable<3, kReadProcs>(
        true, 0,
        {slot(rdOpen, readOpen), slot(rdClose, readClose), slot(rdGetKey, readGetKey),
         slot(rdGetInteger, readInteger), slot(rdGetFloat, readFloat), slot(rdGetBoolean, readBoolean)});
    h.writeProcs = procedureTable<4, kWriteProcs>(
        true, 0,
        {slot(wrOpen, writeOpen), slot(wrClose, writeClose), slot(wrPutInteger, writeInteger),
         slot(wrPutFloat, writeFloat), slot(wrPutBoolean, writeBoolean)});
    h.basic = procedureTable<5, kBasicProcs>(
        false, 0,
        {slot(spAcquire, basicAcquire), slot(spRelease, basicRelease), slot(spIsEqual, basicIsEqual),
         slot(spAllocate, basicAllocate), slot(spFree, basicFree), slot(spReallocate, basicReallocate)});
    h.registryProcs =
        procedureTable<6, kRegistryProcs>(false, 0, {slot(regRegister, regRegisterProc), slot(regGet, regGetProc)});
    h.actionProcs = procedureTable<7, kActionProcs>(
        false, 0,
        {slot(adMake, actionMake), slot(adFree, actionFree), slot(adPutInteger, actionPutInteger),
         slot(adPutFloat, actionPutFloat), slot(adPutBoolean, actionPutBoolean),
         slot(adGetInteger, actionGetInteger), slot(adGetFloat, actionGetFloat),
         slot(adGetBoolean, actionGetBoolean)});

    h.descParams = Bytes(dp::size);
    h.descParams.put<void*>(dp::writeProcs, h.writeProcs.at(0));
    h.descParams.put<void*>(dp::readProcs, h.readProcs.at(0));

    h.platform = Bytes(kPtr);
    h.platform.put<intptr_t>(0, reinterpret_cast<intptr_t>(GetDesktopWindow()));
}

const size_t kGuardBytes = 64;
const uint8_t kGuardByte = 0xA5;

// The record as a host of the given generation fills it.
void buildRecord(Host& h, bool later) {
    const int32_t w = h.source.width, ht = h.source.height;
    Bytes& r = h.record;
    // Guard bytes after the record show a plug-in that writes past the end
    // of the record its host generation has.
    const size_t size = later ? rec::sizeLater : rec::sizeVersion6;
    r = Bytes(size + kGuardBytes);
    std::memset(r.at(size), kGuardByte, kGuardBytes);
    r.putProc(rec::abortProc, testAbort);
    r.putProc(rec::progressProc, progress);
    r.put<int16_t>(rec::imageSize, int16_t(ht));
    r.put<int16_t>(rec::imageSize + 2, int16_t(w));
    r.put<int16_t>(rec::planes, 3);
    const int16_t filterRect[4] = {0, 0, int16_t(ht), int16_t(w)};
    std::memcpy(r.at(rec::filterRect), filterRect, sizeof filterRect);
    const uint16_t white[3] = {65535, 65535, 65535};
    std::memcpy(r.at(rec::background), white, 6);  // the foreground stays black
    r.put<uint32_t>(rec::backColor, 0x00FFFFFF);
    r.put<int32_t>(rec::maxSpace, 256 << 20);
    r.put<int16_t>(rec::inHiPlane, -1);
    r.put<int16_t>(rec::outHiPlane, -1);
    r.put<uint32_t>(rec::hostSig, fourCC("FRGN"));
    r.putProc(rec::hostProcs, &trap<0, 0>);
    r.put<int16_t>(rec::imageMode, 3);  // RGB
    r.put<int32_t>(rec::imageHRes, 72 << 16);
    r.put<int32_t>(rec::imageVRes, 72 << 16);
    r.put<int16_t>(rec::wholeSize, int16_t(ht));
    r.put<int16_t>(rec::wholeSize + 2, int16_t(w));
    r.put<void*>(rec::platformData, h.platform.at(0));
    r.put<void*>(rec::bufferProcs, h.bufferProcs.at(0));
    r.putProc(rec::processEvent, &trap<0, 1>);
    r.putProc(rec::displayPixels, &trap<0, 2>);
    r.put<void*>(rec::handleProcs, h.handleProcs.at(0));
    r.put<int16_t>(rec::dummyPlaneValue, -1);
    r.putProc(rec::advanceState, advanceStateProc);
    r.put<uint8_t>(rec::supportsAbsolute, 1);
    r.put<uint8_t>(rec::supportsPadding, 1);
    r.put<int16_t>(rec::inputPadding, -3);
    r.put<int16_t>(rec::outputPadding, -3);
    r.put<int16_t>(rec::maskPadding, -3);
    r.put<uint8_t>(rec::samplingSupport, 1);
    r.put<int32_t>(rec::inputRate, 0x10000);
    r.put<int32_t>(rec::maskRate, 0x10000);
    r.putProc(rec::colorServices, &trap<0, 3>);
    r.put<int16_t>(rec::inNonLayerPlanes, 3);
    r.put<int16_t>(rec::inTileHeight, int16_t(ht < 1024 ? ht : 1024));
    r.put<int16_t>(rec::inTileWidth, int16_t(w < 1024 ? w : 1024));
    r.put<void*>(rec::descriptorParameters, h.descParams.at(0));
    r.put<void*>(rec::sSPBasic, h.basic.at(0));
    r.put<int32_t>(rec::depth, 8);
    r.put<int32_t>(rec::canUseICCProfiles, 1);
    // The error string and the resource, property and image-services tables
    // stay null: a host may offer none of them.

    h.bigDoc = Bytes(big::size);
    if (later) {
        const int32_t size32[2] = {ht, w};
        const int32_t rect32[4] = {0, 0, ht, w};
        std::memcpy(h.bigDoc.at(big::imageSize32), size32, 8);
        std::memcpy(h.bigDoc.at(big::filterRect32), rect32, 16);
        std::memcpy(h.bigDoc.at(big::wholeSize32), size32, 8);
        r.put<void*>(rec::bigDocumentData, h.bigDoc.at(0));
        r.put<int64_t>(rec::maxSpace64, 256 << 20);
    }
}

// ---------------------------------------------------------------------------
// One run of the selectors.

typedef void (*EntryProc)(int16_t selector, void* record, intptr_t* data, int16_t* result);

struct Run {
    const char* name;
    bool later;
    Descriptor script;
};

bool runFilter(Host& h, EntryProc entry, intptr_t& data, void*& parameters, const Run& run) {
    buildRecord(h, run.later);
    Bytes& r = h.record;
    r.put<void*>(rec::parameters, parameters);
    h.descParams.put<int16_t>(dp::playInfo, 0);  // do not show the dialog
    h.descParams.put<void*>(dp::descriptor, descriptorHandle(run.script));
    h.output = h.source;
    h.lastWritten.clear();
    const int before = gProblems;

    auto call = [&](int16_t selector) {
        int16_t result = 0;
        entry(selector, r.at(0), &data, &result);
        if (result != 0) problem(std::string(run.name) + ": selector " + std::to_string(selector) + " gave " +
                                 std::to_string(result));
        return result == 0;
    };
    bool ok = call(1) && call(2);
    if (ok && r.get<int32_t>(rec::maxSpace) <= 0) problem(std::string(run.name) + ": prepare left no memory");
    ok = ok && call(3);
    for (int i = 0; ok && i < 10000; ++i) {
        commitPending();
        const bool wanted = !requestedRect(rec::inRect, big::inRect32).empty() ||
                            !requestedRect(rec::outRect, big::outRect32).empty() ||
                            !requestedRect(rec::maskRect, big::maskRect32).empty();
        if (!wanted) break;
        ok = advanceStateProc() == 0 && call(4);
    }
    commitPending();
    ok = ok && call(5);

    parameters = r.get<void*>(rec::parameters);
    for (size_t i = r.b.size() - kGuardBytes; i < r.b.size(); ++i)
        if (r.b[i] != kGuardByte) {
            problem(std::string(run.name) + ": the plug-in wrote past the end of the record");
            break;
        }
    if (!h.buffers.empty()) problem(std::string(run.name) + ": buffers left allocated");
    if (!h.actionDescriptors.empty()) problem(std::string(run.name) + ": action descriptors left");
    for (const auto& s : h.suitesHeld)
        if (s.second) problem(std::string(run.name) + ": suite " + s.first + " not released");
    if (!h.readTokens.empty() || !h.writeTokens.empty()) problem(std::string(run.name) + ": descriptors left open");
    if (h.progressCalls == 0) problem(std::string(run.name) + ": no progress was reported");
    // The host keeps the parameters, the data handle and the descriptor.
    void* descriptor = h.descParams.get<void*>(dp::descriptor);
    if (descriptor) handleDispose(descriptor);
    h.descParams.put<void*>(dp::descriptor, nullptr);
    if (h.handles.size() != 2) problem(std::string(run.name) + ": " + std::to_string(h.handles.size()) +
                                       " handles live after the run, not the parameters and data handles");
    std::printf("%s: %s, %zu scripting values written\n", run.name, gProblems == before ? "ran" : "FAILED",
                h.lastWritten.size());
    return ok && gProblems == before;
}

// ---------------------------------------------------------------------------
// PPM files.

bool readPpm(const char* path, Image& img) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    int w = 0, ht = 0, maxval = 0;
    const bool ok = std::fscanf(f, "P6 %d %d %d", &w, &ht, &maxval) == 3 && maxval == 255 && w > 0 && ht > 0 &&
                    w <= 32767 && ht <= 32767 && std::fgetc(f) != EOF;
    if (ok) {
        img.width = w;
        img.height = ht;
        img.rgb.resize(size_t(w) * ht * 3);
    }
    const bool read = ok && std::fread(img.rgb.data(), 1, img.rgb.size(), f) == img.rgb.size();
    std::fclose(f);
    return read;
}

bool writePpm(const std::string& path, const Image& img) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fprintf(f, "P6\n%d %d\n255\n", int(img.width), int(img.height));
    const bool ok = std::fwrite(img.rgb.data(), 1, img.rgb.size(), f) == img.rgb.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: foreignhost MODULE.8bf INPUT.ppm PREFIX\n");
        return 2;
    }
    Host h;
    gHost = &h;
    if (!readPpm(argv[2], h.source)) {
        std::fprintf(stderr, "foreignhost: %s is not an 8-bit binary PPM file\n", argv[2]);
        return 2;
    }
    HMODULE module = LoadLibraryA(argv[1]);
    void* symbol = module ? reinterpret_cast<void*>(GetProcAddress(module, "PluginMain")) : nullptr;
    EntryProc entry = reinterpret_cast<EntryProc>(symbol);
    if (!entry) {
        std::fprintf(stderr, "foreignhost: %s has no PluginMain (error %lu)\n", argv[1], GetLastError());
        return 2;
    }
    gHook = SetWindowsHookExA(WH_CBT, dialogHook, nullptr, GetCurrentThreadId());
    buildTables(h);
    const std::string prefix = argv[3];
    intptr_t data = 0;
    void* parameters = nullptr;

    // A: version-6 host, empty script.
    if (runFilter(h, entry, data, parameters, Run{"version-6 host", false, Descriptor()}) &&
        !writePpm(prefix + "-v6.ppm", h.output))
        problem("cannot write " + prefix + "-v6.ppm");
    const Descriptor written = h.lastWritten;
    if (written.empty()) problem("the plug-in wrote no scripting values");
    bool floats = false, booleans = false;
    for (const Entry& e : written) {
        floats = floats || e.type == kTypeFloat;
        booleans = booleans || e.type == kTypeBoolean;
    }
    if (!floats || !booleans) problem("the scripting values lack floats or booleans");

    // B: later host with a big-document record, replaying A's values.
    if (runFilter(h, entry, data, parameters, Run{"later host", true, written})) {
        if (!writePpm(prefix + "-big.ppm", h.output)) problem("cannot write " + prefix + "-big.ppm");
        if (!uses32Bit()) problem("the plug-in did not announce 32-bit coordinates");
        if (!sameEntries(h.lastWritten, written)) problem("the replayed scripting values did not come back alike");
    }

    // C: a changed value read from the script goes back into the script and
    // into the registry.
    const uint32_t changedKey = fourCC("Dbam");
    const double changed = 0.625;
    Descriptor script = written;
    bool found = false;
    for (Entry& e : script)
        if (e.key == changedKey && e.type == kTypeFloat) {
            found = e.f != changed;
            e.f = changed;
        }
    if (!found) problem("no float 'Dbam' other than 0.625 among the scripting values");
    if (runFilter(h, entry, data, parameters, Run{"changed script", true, script})) {
        const Entry* e = findEntry(h.lastWritten, changedKey);
        if (!e || e->type != kTypeFloat || e->f != changed)
            problem("the changed scripting value was not written back: " + (e ? entryText(*e) : std::string("none")));
        bool registered = false;
        for (const auto& k : h.registry) {
            const Entry* g = findEntry(k.second, changedKey);
            registered = registered || (g && g->type == kTypeFloat && g->f == changed);
        }
        if (!registered) problem("the changed value did not reach the registry");
    }

    // D: with no script, the value comes back from the registry.
    if (runFilter(h, entry, data, parameters, Run{"registry", false, Descriptor()})) {
        const Entry* e = findEntry(h.lastWritten, changedKey);
        if (!e || e->type != kTypeFloat || e->f != changed)
            problem("the registry's value was not read back: " + (e ? entryText(*e) : std::string("none")));
    }

    if (gHook) UnhookWindowsHookEx(gHook);
    std::printf("%s in the four runs (%s)\n",
                gProblems ? (std::to_string(gProblems) + " problem(s)").c_str() : "every check held",
                k64 ? "x86-64" : "x86");
    return gProblems ? 1 : 0;
}
