// The reference host's filter record and every procedure it points to.
#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <type_traits>
#include <vector>

#include "refhost/platform.h"
#include "refhost/refhost.h"

#if !defined(_WIN32)
#include "Carbon.h"
#endif

namespace refhost {

namespace {

Host* gCurrent = nullptr;

VRect widen(const Rect& r) { return VRect{r.top, r.left, r.bottom, r.right}; }
Rect narrow(const VRect& r) {
    return Rect{int16(uint16(uint32(r.top))), int16(uint16(uint32(r.left))), int16(uint16(uint32(r.bottom))),
                int16(uint16(uint32(r.right)))};
}
bool isEmpty(const VRect& r) { return r.top >= r.bottom || r.left >= r.right; }
bool isInverted(const VRect& r) { return r.top > r.bottom || r.left > r.right; }
bool inside(const VRect& r, int32 height, int32 width) {
    return r.top >= 0 && r.left >= 0 && r.bottom <= height && r.right <= width;
}
VRect intersect(const VRect& a, const VRect& b) {
    VRect r{std::max(a.top, b.top), std::max(a.left, b.left), std::min(a.bottom, b.bottom),
            std::min(a.right, b.right)};
    if (isEmpty(r)) r = VRect{0, 0, 0, 0};
    return r;
}
std::string rectText(const VRect& r) {
    char buf[80];
    std::snprintf(buf, sizeof buf, "(%d, %d, %d, %d)", int(r.top), int(r.left), int(r.bottom), int(r.right));
    return buf;
}
std::string pointerText(const void* p) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%p", p);
    return buf;
}

bool refuse(const RefusalPlan& plan, int64_t number, int64_t size) {
    if (plan.refuseAbove >= 0 && size > plan.refuseAbove) return true;
    if (plan.refuseNth > 0 && (number == plan.refuseNth || (plan.andAllLater && number > plan.refuseNth)))
        return true;
    return false;
}

Host& cur() {
    if (!gCurrent) {
        std::fprintf(stderr, "refhost: a host procedure was called with no current Host\n");
        std::abort();
    }
    return *gCurrent;
}

#if !defined(_WIN32)
void alertSink(const char* text, void*) {
    if (gCurrent) gCurrent->recordAlert(text ? text : "");
}
#endif

// Descriptor handles hold a small serial form: magic, count, then 16 bytes per entry.
const char kDescriptorMagic[4] = {'R', 'H', 'D', 'S'};

std::vector<uint8_t> serialise(const Descriptor& d) {
    std::vector<uint8_t> out(8 + 16 * d.size(), 0);
    std::memcpy(out.data(), kDescriptorMagic, 4);
    uint32 n = uint32(d.size());
    std::memcpy(out.data() + 4, &n, 4);
    uint8_t* p = out.data() + 8;
    for (const DescriptorEntry& e : d) {
        std::memcpy(p, &e.key, 4);
        std::memcpy(p + 4, &e.type, 4);
        if (e.type == typeFloat) std::memcpy(p + 8, &e.f, 8);
        if (e.type == typeInteger) std::memcpy(p + 8, &e.i, 4);
        if (e.type == typeBoolean) p[8] = e.b ? 1 : 0;
        p += 16;
    }
    return out;
}

std::optional<Descriptor> deserialise(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < 8 || std::memcmp(bytes.data(), kDescriptorMagic, 4) != 0) return std::nullopt;
    uint32 n;
    std::memcpy(&n, bytes.data() + 4, 4);
    if (bytes.size() != 8 + 16 * uint64_t(n)) return std::nullopt;
    Descriptor d(n);
    const uint8_t* p = bytes.data() + 8;
    for (DescriptorEntry& e : d) {
        std::memcpy(&e.key, p, 4);
        std::memcpy(&e.type, p + 4, 4);
        if (e.type == typeFloat) std::memcpy(&e.f, p + 8, 8);
        if (e.type == typeInteger) std::memcpy(&e.i, p + 8, 4);
        if (e.type == typeBoolean) e.b = p[8] != 0;
        p += 16;
    }
    return d;
}

void putEntry(Descriptor& d, const DescriptorEntry& e) {
    for (DescriptorEntry& x : d)
        if (x.key == e.key) {
            x = e;
            return;
        }
    d.push_back(e);
}

}  // namespace

// ---------------------------------------------------------------------------
// Host-private state behind the record's pointers.

struct ReadToken {
    Descriptor entries;
    size_t next = 0;
    const DescriptorEntry* current = nullptr;
    OSErr error = noErr;
    std::vector<DescriptorKeyID> expected;
};

struct WriteToken {
    Descriptor entries;
};

struct ActionDescriptor {
    Descriptor entries;
};

struct Host::Impl {
    std::recursive_mutex mutex;
    PlatformData platform{};
    BufferProcs bufferProcs{};
    ResourceProcs resourceProcs{};
    HandleProcs handleProcs{};
    PropertyProcs propertyProcs{};
    ImageServicesProcs imageServicesProcs{};
    ReadDescriptorProcs readProcs{};
    WriteDescriptorProcs writeProcs{};
    PIDescriptorParameters descriptorParameters{};
    BigDocumentStruct big{};
    Str255 errorString{};

    std::set<ReadToken*> readTokens;
    std::set<WriteToken*> writeTokens;
    std::set<ActionDescriptor*> actionDescriptors;
    struct Suite {
        int32 version;
        const void* procs;
    };
    std::map<std::string, Suite> extraSuites;
    std::set<Handle> resourceHandles;  // handed out by the resource procedures; the host keeps them

    // Served pixels.
    std::vector<uint8_t> inBuf, outBuf, maskBuf;
    bool pending = false;
    VRect pendingRect{};
    int16 pendingLo = 0, pendingHi = -1;
    int32 pendingRowBytes = 0;
    // The document as the pass found it: a pass that fails is undone.  A
    // host used as a tool keeps its memory from pass to pass.
    Document snapshot;
    bool haveSnapshot = false;

    // The C procedures reach the Host's private records through these.
    static std::set<std::string>& persistent(Host& h) { return h.persistent_; }
    static std::map<std::string, int64_t>& acquired(Host& h) { return h.acquired_; }
    static std::map<std::string, int64_t>& released(Host& h) { return h.released_; }
    static std::map<void*, size_t>& blocks(Host& h) { return h.blocks_; }
    static int64_t& abortCalls(Host& h) { return h.abortCalls_; }
    static std::vector<std::pair<int32, int32>>& progress(Host& h) { return h.progress_; }
    static std::vector<DisplayCall>& displays(Host& h) { return h.displays_; }
    static int64_t& colorServicesCalls(Host& h) { return h.colorServicesCalls_; }
    static OSErr advance(Host& h) { return h.pluginAdvanceState(); }
    static std::vector<DescriptorKeyID>& expected(Host& h) { return h.expectedKeys_; }
    static std::map<std::pair<uint32, int32>, intptr_t>& simpleProperties(Host& h) { return h.simpleProperties_; }
    static std::map<std::pair<uint32, int32>, std::optional<std::vector<uint8_t>>>& complexProperties(Host& h) {
        return h.complexProperties_;
    }
    static std::vector<PropertyCall>& propertyCalls(Host& h) { return h.propertyCalls_; }

    // Tables reshaped by shapeTable, each exactly as long as it declares.
    std::vector<std::unique_ptr<void*[]>> shapedTables;
    static std::vector<DescriptorReadError>& readErrors(Host& h) { return h.descriptorReadErrors_; }

    ~Impl() {
        for (ReadToken* t : readTokens) delete t;
        for (WriteToken* t : writeTokens) delete t;
        for (ActionDescriptor* d : actionDescriptors) delete d;
    }
};

// ---------------------------------------------------------------------------
// Handle store.

struct HandleStore::Block {
    char* master = nullptr;  // first, as a classic handle's master pointer
    std::vector<char> bytes;
    int32 size = 0;
    bool locked = false;
    bool alive = true;
};

HandleStore::Block* HandleStore::find(Handle h, const char* op) {
    auto it = index_.find(h);
    if (it == index_.end()) {
        if (host_) host_->recordFault(std::string(op) + ": " + pointerText(h) + " is not a handle of this host");
        return nullptr;
    }
    if (!it->second->alive) {
        if (host_) host_->recordFault(std::string(op) + ": handle " + pointerText(h) + " was already disposed");
        return nullptr;
    }
    return it->second;
}

const HandleStore::Block* HandleStore::findQuiet(Handle h) const {
    auto it = index_.find(h);
    return it == index_.end() || !it->second->alive ? nullptr : it->second;
}

Handle HandleStore::create(int32 size) {
    ++count_;
    if (size < 0) {
        if (host_) host_->recordFault("newProc: negative size " + std::to_string(size));
        return nullptr;
    }
    if (refuse(plan, count_, size)) return nullptr;
    auto b = std::make_unique<Block>();
    b->bytes.assign(size_t(size) + 1, char(0xFF));  // one spare byte: a zero-size handle still has an address
    b->size = size;
    b->master = b->bytes.data();
    Handle h = reinterpret_cast<Handle>(b.get());
    index_[h] = b.get();
    blocks_.push_back(std::move(b));
    return h;
}

Handle HandleStore::createWith(const std::vector<uint8_t>& bytes) {
    auto b = std::make_unique<Block>();
    b->bytes.assign(bytes.begin(), bytes.end());
    b->bytes.push_back(0);
    b->size = int32(bytes.size());
    b->master = b->bytes.data();
    Handle h = reinterpret_cast<Handle>(b.get());
    index_[h] = b.get();
    blocks_.push_back(std::move(b));
    return h;
}

void HandleStore::dispose(Handle h) {
    if (!h) return;  // disposing of nothing is allowed
    Block* b = find(h, "disposeProc");
    if (!b) return;
    b->alive = false;
    b->locked = false;
    std::vector<char>().swap(b->bytes);
    b->master = nullptr;
}

int32 HandleStore::size(Handle h) {
    Block* b = find(h, "getSizeProc");
    return b ? b->size : -1;
}

OSErr HandleStore::setSize(Handle h, int32 size) {
    Block* b = find(h, "setSizeProc");
    if (!b) return paramErr;
    if (size < 0) {
        if (host_) host_->recordFault("setSizeProc: negative size " + std::to_string(size));
        return paramErr;
    }
    if (plan.refuseAbove >= 0 && size > plan.refuseAbove) return memFullErr;
    b->bytes.resize(size_t(size) + 1, char(0xFF));
    b->size = size;
    b->master = b->bytes.data();
    return noErr;
}

char* HandleStore::lock(Handle h) {
    Block* b = find(h, "lockProc");
    if (!b) return nullptr;
    ++lockCount_;
    if (refuseLock_ > 0 && lockCount_ == refuseLock_) return nullptr;
    b->locked = true;  // a flag, as with classic handles: locks do not nest
    return b->master;
}

void HandleStore::unlock(Handle h) {
    Block* b = find(h, "unlockProc");
    if (b) b->locked = false;
}

bool HandleStore::valid(Handle h) const { return findQuiet(h) != nullptr; }

std::vector<uint8_t> HandleStore::contents(Handle h) const {
    const Block* b = findQuiet(h);
    if (!b) return {};
    return std::vector<uint8_t>(b->bytes.begin(), b->bytes.begin() + b->size);
}

int64_t HandleStore::live() const {
    int64_t n = 0;
    for (const auto& b : blocks_) n += b->alive;
    return n;
}

int64_t HandleStore::locked() const {
    int64_t n = 0;
    for (const auto& b : blocks_) n += b->alive && b->locked;
    return n;
}

std::vector<Handle> HandleStore::liveHandles() const {
    std::vector<Handle> out;
    for (const auto& b : blocks_)
        if (b->alive) out.push_back(reinterpret_cast<Handle>(b.get()));
    return out;
}

// ---------------------------------------------------------------------------
// Buffer store.

// A block of buffer memory.  A recycling host takes whole pages from the
// system and keeps them; a checking one takes them from the heap, where
// AddressSanitizer watches them, and gives them back on every free.
struct BufferStore::Memory {
    char* data = nullptr;
    size_t capacity = 0;
    bool pages = false;
    Memory() = default;
    Memory(const Memory&) = delete;
    Memory& operator=(const Memory&) = delete;
    ~Memory() {
        if (pages)
            platform::freePages(data, capacity);
        else
            delete[] data;
    }
};

struct BufferStore::Block {
    std::unique_ptr<Memory> memory;
    int32 size = 0;
    int32 locks = 0;
    bool alive = true;
};

namespace {
// Page blocks come in steps that huge pages fill (2 MB) or small pages do.
size_t pageCapacity(size_t bytes) {
    const size_t step = bytes >= (size_t(2) << 20) ? size_t(2) << 20 : size_t(64) << 10;
    return (bytes + step - 1) / step * step;
}
// A kept block serves a request that fills at least this share of it, so
// that a small request does not hold a large block a later one needs.
const size_t kSpareWasteFactor = 4;
}  // namespace

BufferStore::Block* BufferStore::find(BufferID id, const char* op) {
    auto it = index_.find(id);
    if (it == index_.end()) {
        if (host_) host_->recordFault(std::string(op) + ": " + pointerText(id) + " is not a buffer of this host");
        return nullptr;
    }
    if (!it->second->alive) {
        if (host_) host_->recordFault(std::string(op) + ": buffer " + pointerText(id) + " was already freed");
        return nullptr;
    }
    return it->second;
}

std::unique_ptr<BufferStore::Memory> BufferStore::obtain(size_t bytes) {
    if (recycleFreedBuffers) {
        // The smallest kept block that holds the request.
        auto spare = spare_.lower_bound(bytes);
        if (spare != spare_.end() && spare->first <= pageCapacity(bytes) * kSpareWasteFactor) {
            std::unique_ptr<Memory> m = std::move(spare->second);
            spare_.erase(spare);
            return m;
        }
    }
    auto m = std::make_unique<Memory>();
    if (recycleFreedBuffers) {
        m->capacity = pageCapacity(bytes);
        m->data = static_cast<char*>(platform::allocatePages(m->capacity));
        m->pages = true;
    } else {
        m->capacity = bytes;
        m->data = new (std::nothrow) char[bytes];
    }
    if (!m->data) return nullptr;
    systemBytes_ += int64_t(m->capacity);
    return m;
}

OSErr BufferStore::allocate(int32 size, BufferID* id) {
    if (!id) {
        if (host_) host_->recordFault("allocateProc: null BufferID pointer");
        return paramErr;
    }
    *id = nullptr;
    ++count_;
    if (size < 0) {
        if (host_) host_->recordFault("allocateProc: negative size " + std::to_string(size));
        return paramErr;
    }
    if (refuse(plan, count_, size)) {
        ++refused_;
        log_.push_back(Event{true, nullptr, size});
        return memFullErr;
    }
    const size_t bytes = size_t(size) + 1;  // a zero-size buffer still has an address
    std::unique_ptr<Memory> memory = obtain(bytes);
    if (!memory) {
        ++refused_;
        return memFullErr;
    }
    if (poisonFreshBuffers) std::memset(memory->data, 0xFF, bytes);
    auto b = std::make_unique<Block>();
    b->memory = std::move(memory);
    b->size = size;
    BufferID handle = reinterpret_cast<BufferID>(b.get());
    index_[handle] = b.get();
    blocks_.push_back(std::move(b));
    liveBytes_ += size;
    peakBytes_ = std::max(peakBytes_, liveBytes_);
    log_.push_back(Event{true, handle, size});
    *id = handle;
    return noErr;
}

char* BufferStore::lock(BufferID id) {
    Block* b = find(id, "lockProc (buffer)");
    if (!b) return nullptr;
    ++b->locks;
    return b->memory->data;
}

void BufferStore::unlock(BufferID id) {
    Block* b = find(id, "unlockProc (buffer)");
    if (!b) return;
    if (b->locks == 0) {
        if (host_) host_->recordFault("unlockProc (buffer): buffer " + pointerText(id) + " is not locked");
        return;
    }
    --b->locks;
}

void BufferStore::free(BufferID id) {
    Block* b = find(id, "freeProc");
    if (!b) return;
    b->alive = false;
    liveBytes_ -= b->size;
    log_.push_back(Event{false, id, b->size});
    if (recycleFreedBuffers) {
        const size_t capacity = b->memory->capacity;
        spare_.emplace(capacity, std::move(b->memory));
    }
    b->memory.reset();
}

int64_t BufferStore::keptBytes() const {
    int64_t n = 0;
    for (const auto& s : spare_) n += int64_t(s.first);
    return n;
}

int64_t BufferStore::live() const {
    int64_t n = 0;
    for (const auto& b : blocks_) n += b->alive;
    return n;
}

bool BufferStore::holdsRange(const void* base, int64_t first, int64_t last) const {
    const char* p = static_cast<const char*>(base);
    for (const auto& b : blocks_) {
        if (!b->alive || !b->memory) continue;
        const char* begin = b->memory->data;
        // The spare byte past the requested size does not count.
        if (p < begin || p >= begin + b->size) continue;
        const int64_t at = p - begin;
        return b->locks > 0 && at + first >= 0 && at + last < b->size && first <= last;
    }
    return false;
}

int64_t BufferStore::locked() const {
    int64_t n = 0;
    for (const auto& b : blocks_) n += b->alive && b->locks > 0;
    return n;
}

// ---------------------------------------------------------------------------
// The C procedures of the record.

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;
#define HOST_ENTRY()  \
    Host& h = cur(); \
    Lock lock_(h.impl().mutex)

// Procedures this host does not implement (descriptor values it cannot hold,
// such as text, aliases and references; resampling): a table entry that
// answers, as a host's does, rather than a null pointer.  The call is
// recorded as a fault, since nothing the plug-ins do should reach it.
template <typename Proc>
struct Unsupported;
template <typename Result, typename... Args>
struct Unsupported<Result(MACPASCAL*)(Args...)> {
    static Result MACPASCAL call(Args...) {
        HOST_ENTRY();
        h.recordFault("a host procedure that this host does not implement was called");
        if constexpr (std::is_same<Result, OSErr>::value) return paramErr;
        else return Result(kSPUnimplementedError);
    }
};
template <typename Proc>
constexpr Proc unsupported = Unsupported<Proc>::call;

// Every procedure that can run short of memory (a fault record is a string
// too) catches: an exception must not unwind into the plug-in, which expects
// the interface's answers, memFullErr or a null handle, as a real host gives.

// Handles.
Handle MACPASCAL handleNew(int32 size) try {
    HOST_ENTRY();
    return h.handles().create(size);
} catch (...) {
    return nullptr;
}
void MACPASCAL handleDispose(Handle x) try {
    HOST_ENTRY();
    h.handles().dispose(x);
} catch (...) {
}
int32 MACPASCAL handleGetSize(Handle x) try {
    HOST_ENTRY();
    return h.handles().size(x);
} catch (...) {
    return -1;
}
OSErr MACPASCAL handleSetSize(Handle x, int32 size) try {
    HOST_ENTRY();
    return h.handles().setSize(x, size);
} catch (...) {
    return memFullErr;
}
Ptr MACPASCAL handleLock(Handle x, Boolean) try {
    HOST_ENTRY();
    return h.handles().lock(x);
} catch (...) {
    return nullptr;
}
void MACPASCAL handleUnlock(Handle x) try {
    HOST_ENTRY();
    h.handles().unlock(x);
} catch (...) {
}
void MACPASCAL handleRecoverSpace(int32) {}
void MACPASCAL handleDisposeRegular(Handle x) try {
    HOST_ENTRY();
    h.recordFault("disposeRegularHandleProc: " + pointerText(x) + " is not a regular handle of this host");
} catch (...) {
}

// Buffers.
OSErr MACPASCAL bufferAllocate(int32 size, BufferID* id) try {
    HOST_ENTRY();
    return h.buffers().allocate(size, id);
} catch (...) {
    return memFullErr;
}
Ptr MACPASCAL bufferLock(BufferID id, Boolean) try {
    HOST_ENTRY();
    return h.buffers().lock(id);
} catch (...) {
    return nullptr;
}
void MACPASCAL bufferUnlock(BufferID id) try {
    HOST_ENTRY();
    h.buffers().unlock(id);
} catch (...) {
}
void MACPASCAL bufferFree(BufferID id) try {
    HOST_ENTRY();
    h.buffers().free(id);
} catch (...) {
}
int32 MACPASCAL bufferSpace() {
    HOST_ENTRY();
    return h.buffers().spaceAvailable;
}

// Resources.
int16 MACPASCAL resourceCount(ResType type) {
    HOST_ENTRY();
    auto it = h.resources().find(type);
    return it == h.resources().end() ? 0 : int16(it->second.size());
}
Handle MACPASCAL resourceGet(ResType type, int16 index) try {
    HOST_ENTRY();
    auto it = h.resources().find(type);
    if (it == h.resources().end() || index < 1 || size_t(index) > it->second.size()) return nullptr;
    Handle r = h.handles().createWith(it->second[size_t(index - 1)]);
    h.impl().resourceHandles.insert(r);
    return r;
} catch (...) {
    return nullptr;
}
void MACPASCAL resourceDelete(ResType type, int16 index) {
    HOST_ENTRY();
    auto it = h.resources().find(type);
    if (it == h.resources().end() || index < 1 || size_t(index) > it->second.size()) return;
    it->second.erase(it->second.begin() + (index - 1));
}
OSErr MACPASCAL resourceAdd(ResType type, Handle data) try {
    HOST_ENTRY();
    if (!h.handles().valid(data)) {
        h.recordFault("addProc: " + pointerText(data) + " is not a live handle");
        return paramErr;
    }
    h.resources()[type].push_back(h.handles().contents(data));
    return noErr;
} catch (...) {
    return memFullErr;
}

// Properties: a request for a handle is answered from the complex values,
// one for a simple value from the simple ones.
OSErr MACPASCAL propertyGet(uint32 signature, uint32 key, int32 index, intptr_t* simple, Handle* complex) try {
    HOST_ENTRY();
    PropertyCall call{false, signature, key, index, complex != nullptr, 0, {}, errPlugInPropertyUndefined};
    if (complex) *complex = nullptr;
    auto& complexValues = Host::Impl::complexProperties(h);
    auto found = complexValues.find({key, index});
    const bool offered = signature == kPhotoshopSignature && !h.refusedProperties.count(key);
    if (offered && complex && found != complexValues.end()) {
        call.result = noErr;
        if (found->second) {
            *complex = h.handles().createWith(*found->second);
            call.bytes = *found->second;
        }
    } else if (offered && simple) {
        call.complex = false;
        auto& values = Host::Impl::simpleProperties(h);
        auto it = values.find({key, index});
        if (it != values.end()) {
            *simple = it->second;
            call.simple = it->second;
            call.result = noErr;
        }
    }
    Host::Impl::propertyCalls(h).push_back(call);
    return call.result;
} catch (...) {
    return memFullErr;
}
OSErr MACPASCAL propertySet(uint32 signature, uint32 key, int32 index, intptr_t simple, Handle complex) try {
    HOST_ENTRY();
    PropertyCall call{true, signature, key, index, complex != nullptr, simple, {}, errPlugInPropertyUndefined};
    if (signature == kPhotoshopSignature && !h.refusedProperties.count(key)) {
        call.result = noErr;
        if (!complex) {
            Host::Impl::simpleProperties(h)[{key, index}] = simple;
        } else if (h.handles().valid(complex)) {
            call.bytes = h.handles().contents(complex);
            Host::Impl::complexProperties(h)[{key, index}] = call.bytes;
        } else {
            h.recordFault("setPropertyProc: " + pointerText(complex) + " is not a live handle");
            call.result = paramErr;
        }
    }
    Host::Impl::propertyCalls(h).push_back(call);
    return call.result;
} catch (...) {
    return memFullErr;
}

// A procedure beyond those this host knows, in a table a test made longer.
void MACPASCAL extraProcedure() try {
    HOST_ENTRY();
    h.recordFault("a procedure beyond the host's own table was called");
} catch (...) {
}

// The handle suite: the record's handles, locked through SetLock.
void SPAPI handleSetLock(Handle x, Boolean lock, Ptr* address, Boolean* oldLock) try {
    HOST_ENTRY();
    if (oldLock) *oldLock = false;
    if (lock) {
        Ptr p = h.handles().lock(x);
        if (address) *address = p;
    } else {
        h.handles().unlock(x);
    }
} catch (...) {
    if (address && lock) *address = nullptr;
}

// Progress, abort, events, colour services, display.
// Descriptor reading.
PIReadDescriptor MACPASCAL readOpen(PIDescriptorHandle descriptor, DescriptorKeyIDArray keys) try {
    HOST_ENTRY();
    if (h.refuseOpenRead) return nullptr;
    std::optional<Descriptor> d = h.readDescriptorHandle(descriptor);
    if (!d) {
        h.recordFault("openReadDescriptorProc: " + pointerText(descriptor) + " is not a descriptor handle");
        return nullptr;
    }
    auto* t = new ReadToken;
    t->entries = std::move(*d);
    if (keys)
        for (int i = 0; i < 10000 && keys[i] != 0; ++i) t->expected.push_back(keys[i]);
    Host::Impl::expected(h) = t->expected;
    h.impl().readTokens.insert(t);
    return reinterpret_cast<PIReadDescriptor>(t);
} catch (...) {
    return nullptr;
}

ReadToken* readToken(Host& h, PIReadDescriptor token, const char* op) {
    auto* t = reinterpret_cast<ReadToken*>(token);
    if (!h.impl().readTokens.count(t)) {
        h.recordFault(std::string(op) + ": " + pointerText(token) + " is not an open read descriptor");
        return nullptr;
    }
    return t;
}

Boolean MACPASCAL readGetKey(PIReadDescriptor token, DescriptorKeyID* key, DescriptorTypeID* type, int32* flags) try {
    HOST_ENTRY();
    ReadToken* t = readToken(h, token, "getKeyProc");
    if (!t) return false;
    if (t->next >= t->entries.size()) {
        t->current = nullptr;
        return false;
    }
    t->current = &t->entries[t->next++];
    if (key) *key = t->current->key;
    if (type) *type = t->current->type;
    if (flags) *flags = 0;
    return true;
} catch (...) {
    return false;
}

template <typename T>
OSErr readValue(PIReadDescriptor token, T* value, DescriptorTypeID want, const char* op) try {
    HOST_ENTRY();
    ReadToken* t = readToken(h, token, op);
    if (!t) return paramErr;
    OSErr err = noErr;
    if (!value || !t->current || t->current->type != want) {
        err = paramErr;  // wrong type, no current key, or nowhere to store
        if (value && t->current) Host::Impl::readErrors(h).push_back({t->current->key, t->current->type, want});
    } else {
        if constexpr (std::is_same<T, double>::value) *value = t->current->f;
        if constexpr (std::is_same<T, int32>::value) *value = t->current->i;
        if constexpr (std::is_same<T, Boolean>::value) *value = t->current->b ? 1 : 0;
    }
    if (err != noErr && t->error == noErr) t->error = err;
    return err;
} catch (...) {
    return memFullErr;
}
OSErr MACPASCAL readInteger(PIReadDescriptor token, int32* v) { return readValue(token, v, typeInteger, "getIntegerProc"); }
OSErr MACPASCAL readFloat(PIReadDescriptor token, double* v) { return readValue(token, v, typeFloat, "getFloatProc"); }
OSErr MACPASCAL readBoolean(PIReadDescriptor token, Boolean* v) { return readValue(token, v, typeBoolean, "getBooleanProc"); }

OSErr MACPASCAL readClose(PIReadDescriptor token) try {
    HOST_ENTRY();
    ReadToken* t = readToken(h, token, "closeReadDescriptorProc");
    if (!t) return paramErr;
    OSErr err = t->error;
    // Like the host's own reader: a key the plug-in expected but the
    // descriptor lacks is reported when the descriptor is closed.
    if (err == noErr)
        for (DescriptorKeyID k : t->expected)
            if (!findEntry(t->entries, k)) {
                err = errMissingParameter;
                break;
            }
    h.impl().readTokens.erase(t);
    delete t;
    return err;
} catch (...) {
    return memFullErr;
}

// Descriptor writing.
PIWriteDescriptor MACPASCAL writeOpen() try {
    HOST_ENTRY();
    if (h.refuseOpenWrite) return nullptr;
    auto* t = new WriteToken;
    h.impl().writeTokens.insert(t);
    return reinterpret_cast<PIWriteDescriptor>(t);
} catch (...) {
    return nullptr;
}

WriteToken* writeToken(Host& h, PIWriteDescriptor token, const char* op) {
    auto* t = reinterpret_cast<WriteToken*>(token);
    if (!h.impl().writeTokens.count(t)) {
        h.recordFault(std::string(op) + ": " + pointerText(token) + " is not an open write descriptor");
        return nullptr;
    }
    return t;
}

OSErr MACPASCAL writeInteger(PIWriteDescriptor token, DescriptorKeyID key, int32 v) try {
    HOST_ENTRY();
    WriteToken* t = writeToken(h, token, "putIntegerProc");
    if (!t) return paramErr;
    putEntry(t->entries, DescriptorEntry::Integer(key, v));
    return noErr;
} catch (...) {
    return memFullErr;
}
OSErr MACPASCAL writeFloat(PIWriteDescriptor token, DescriptorKeyID key, const double* v) try {
    HOST_ENTRY();
    WriteToken* t = writeToken(h, token, "putFloatProc");
    if (!t) return paramErr;
    if (!v) {
        h.recordFault("putFloatProc: null value pointer");
        return paramErr;
    }
    putEntry(t->entries, DescriptorEntry::Float(key, *v));
    return noErr;
} catch (...) {
    return memFullErr;
}
OSErr MACPASCAL writeBoolean(PIWriteDescriptor token, DescriptorKeyID key, Boolean v) try {
    HOST_ENTRY();
    WriteToken* t = writeToken(h, token, "putBooleanProc");
    if (!t) return paramErr;
    putEntry(t->entries, DescriptorEntry::Boolean(key, v != 0));
    return noErr;
} catch (...) {
    return memFullErr;
}
OSErr MACPASCAL writeClose(PIWriteDescriptor token, PIDescriptorHandle* result) try {
    HOST_ENTRY();
    WriteToken* t = writeToken(h, token, "closeWriteDescriptorProc");
    if (!t) return paramErr;
    OSErr err = noErr;
    if (result) {
        *result = h.makeDescriptorHandle(t->entries);
    } else {
        h.recordFault("closeWriteDescriptorProc: null result pointer");
        err = paramErr;
    }
    h.impl().writeTokens.erase(t);
    delete t;
    return err;
} catch (...) {
    return memFullErr;
}

// Action-descriptor suite.
ActionDescriptor* actionDescriptor(Host& h, PIActionDescriptor d, const char* op) {
    auto* a = reinterpret_cast<ActionDescriptor*>(d);
    if (!h.impl().actionDescriptors.count(a)) {
        h.recordFault(std::string(op) + ": " + pointerText(d) + " is not a live action descriptor");
        return nullptr;
    }
    return a;
}

PIActionDescriptor newActionDescriptor(Host& h, Descriptor entries);

SPErr SPAPI adMake(PIActionDescriptor* d) try {
    HOST_ENTRY();
    if (!d) return paramErr;
    *d = newActionDescriptor(h, Descriptor());
    return kSPNoError;
} catch (...) {
    return memFullErr;
}
SPErr SPAPI adFree(PIActionDescriptor d) try {
    HOST_ENTRY();
    ActionDescriptor* a = actionDescriptor(h, d, "ActionDescriptor Free");
    if (!a) return paramErr;
    h.impl().actionDescriptors.erase(a);
    delete a;
    return kSPNoError;
} catch (...) {
    return memFullErr;
}
SPErr SPAPI adHasKey(PIActionDescriptor d, DescriptorKeyID key, Boolean* has) try {
    HOST_ENTRY();
    ActionDescriptor* a = actionDescriptor(h, d, "ActionDescriptor HasKey");
    if (!a || !has) return paramErr;
    *has = findEntry(a->entries, key) != nullptr;
    return kSPNoError;
} catch (...) {
    return memFullErr;
}
SPErr SPAPI adGetCount(PIActionDescriptor d, uint32* count) try {
    HOST_ENTRY();
    ActionDescriptor* a = actionDescriptor(h, d, "ActionDescriptor GetCount");
    if (!a || !count) return paramErr;
    *count = uint32(a->entries.size());
    return kSPNoError;
} catch (...) {
    return memFullErr;
}
SPErr SPAPI adGetType(PIActionDescriptor d, DescriptorKeyID key, DescriptorTypeID* type) try {
    HOST_ENTRY();
    ActionDescriptor* a = actionDescriptor(h, d, "ActionDescriptor GetType");
    if (!a || !type) return kSPBadParameterError;
    const DescriptorEntry* e = findEntry(a->entries, key);
    if (!e) return errMissingParameter;
    *type = e->type;
    return kSPNoError;
} catch (...) {
    return memFullErr;
}
SPErr SPAPI adGetKey(PIActionDescriptor d, uint32 index, DescriptorKeyID* key) try {
    HOST_ENTRY();
    ActionDescriptor* a = actionDescriptor(h, d, "ActionDescriptor GetKey");
    if (!a || !key || index >= a->entries.size()) return kSPBadParameterError;
    *key = a->entries[index].key;
    return kSPNoError;
} catch (...) {
    return memFullErr;
}
SPErr SPAPI adIsEqual(PIActionDescriptor d, PIActionDescriptor other, Boolean* equal) try {
    HOST_ENTRY();
    ActionDescriptor* a = actionDescriptor(h, d, "ActionDescriptor IsEqual");
    ActionDescriptor* b = actionDescriptor(h, other, "ActionDescriptor IsEqual");
    if (!a || !b || !equal) return kSPBadParameterError;
    *equal = a->entries == b->entries;
    return kSPNoError;
} catch (...) {
    return memFullErr;
}
SPErr SPAPI adErase(PIActionDescriptor d, DescriptorKeyID key) try {
    HOST_ENTRY();
    ActionDescriptor* a = actionDescriptor(h, d, "ActionDescriptor Erase");
    if (!a) return kSPBadParameterError;
    auto& v = a->entries;
    v.erase(std::remove_if(v.begin(), v.end(), [key](const DescriptorEntry& e) { return e.key == key; }), v.end());
    return kSPNoError;
} catch (...) {
    return memFullErr;
}
SPErr SPAPI adClear(PIActionDescriptor d) try {
    HOST_ENTRY();
    ActionDescriptor* a = actionDescriptor(h, d, "ActionDescriptor Clear");
    if (!a) return kSPBadParameterError;
    a->entries.clear();
    return kSPNoError;
} catch (...) {
    return memFullErr;
}
SPErr adPut(PIActionDescriptor d, const DescriptorEntry& e, const char* op) try {
    HOST_ENTRY();
    ActionDescriptor* a = actionDescriptor(h, d, op);
    if (!a) return paramErr;
    putEntry(a->entries, e);
    return kSPNoError;
} catch (...) {
    return memFullErr;
}
SPErr SPAPI adPutInteger(PIActionDescriptor d, DescriptorKeyID k, int32 v) {
    return adPut(d, DescriptorEntry::Integer(k, v), "ActionDescriptor PutInteger");
}
SPErr SPAPI adPutFloat(PIActionDescriptor d, DescriptorKeyID k, double v) {
    return adPut(d, DescriptorEntry::Float(k, v), "ActionDescriptor PutFloat");
}
SPErr SPAPI adPutBoolean(PIActionDescriptor d, DescriptorKeyID k, Boolean v) {
    return adPut(d, DescriptorEntry::Boolean(k, v != 0), "ActionDescriptor PutBoolean");
}
const DescriptorEntry* adFind(PIActionDescriptor d, DescriptorKeyID k, DescriptorTypeID type, SPErr& err,
                              const char* op) try {
    HOST_ENTRY();
    ActionDescriptor* a = actionDescriptor(h, d, op);
    if (!a) {
        err = paramErr;
        return nullptr;
    }
    const DescriptorEntry* e = findEntry(a->entries, k);
    if (!e) {
        err = errMissingParameter;
        return nullptr;
    }
    if (e->type != type) {
        err = paramErr;
        return nullptr;
    }
    err = kSPNoError;
    return e;
} catch (...) {
    err = memFullErr;
    return nullptr;
}
SPErr SPAPI adGetInteger(PIActionDescriptor d, DescriptorKeyID k, int32* v) {
    SPErr err;
    const DescriptorEntry* e = adFind(d, k, typeInteger, err, "ActionDescriptor GetInteger");
    if (e && v) *v = e->i;
    return v ? err : paramErr;
}
SPErr SPAPI adGetFloat(PIActionDescriptor d, DescriptorKeyID k, double* v) {
    SPErr err;
    const DescriptorEntry* e = adFind(d, k, typeFloat, err, "ActionDescriptor GetFloat");
    if (e && v) *v = e->f;
    return v ? err : paramErr;
}
SPErr SPAPI adGetBoolean(PIActionDescriptor d, DescriptorKeyID k, Boolean* v) {
    SPErr err;
    const DescriptorEntry* e = adFind(d, k, typeBoolean, err, "ActionDescriptor GetBoolean");
    if (e && v) *v = e->b ? 1 : 0;
    return v ? err : paramErr;
}

// Registry suite.
SPErr SPAPI regRegister(const char* key, PIActionDescriptor d, Boolean persistent) try {
    HOST_ENTRY();
    if (!key) {
        h.recordFault("Registry Register: null key");
        return paramErr;
    }
    ActionDescriptor* a = actionDescriptor(h, d, "Registry Register");
    if (!a) return paramErr;
    h.registry()[key] = a->entries;  // the registry keeps its own copy
    if (persistent)
        Host::Impl::persistent(h).insert(key);
    else
        Host::Impl::persistent(h).erase(key);
    return kSPNoError;
} catch (...) {
    return memFullErr;
}
SPErr SPAPI regErase(const char* key) try {
    HOST_ENTRY();
    if (!key) return paramErr;
    if (h.registry().erase(key) == 0) return errMissingParameter;
    Host::Impl::persistent(h).erase(key);
    return kSPNoError;
} catch (...) {
    return memFullErr;
}
SPErr SPAPI regGet(const char* key, PIActionDescriptor* d) try {
    HOST_ENTRY();
    if (!d) return paramErr;
    *d = nullptr;
    if (!key) return paramErr;
    auto it = h.registry().find(key);
    if (it == h.registry().end()) return h.options().registryMissingGivesNull ? SPErr(kSPNoError) : SPErr(errMissingParameter);
    *d = newActionDescriptor(h, it->second);  // a copy that the plug-in frees
    return kSPNoError;
} catch (...) {
    return memFullErr;
}

PIActionDescriptor newActionDescriptor(Host& h, Descriptor entries) {
    auto* a = new ActionDescriptor{std::move(entries)};
    h.impl().actionDescriptors.insert(a);
    return reinterpret_cast<PIActionDescriptor>(a);
}

// Basic suite.  Its tables are process-wide: a plug-in keeps them past the
// host call that gave them (suite holders release at unload).
template <typename Proc>
constexpr Proc adUnsupported(Proc PSActionDescriptorProcs::*) {
    return unsupported<Proc>;
}
#define AD_UNSUPPORTED(name) adUnsupported(&PSActionDescriptorProcs::name)
PSActionDescriptorProcs makeActionProcs() {
    return PSActionDescriptorProcs{adMake,
                                   adFree,
                                   adGetType,
                                   adGetKey,
                                   adHasKey,
                                   adGetCount,
                                   adIsEqual,
                                   adErase,
                                   adClear,
                                   adPutInteger,
                                   adPutFloat,
                                   AD_UNSUPPORTED(PutUnitFloat),
                                   AD_UNSUPPORTED(PutString),
                                   adPutBoolean,
                                   AD_UNSUPPORTED(PutList),
                                   AD_UNSUPPORTED(PutObject),
                                   AD_UNSUPPORTED(PutGlobalObject),
                                   AD_UNSUPPORTED(PutEnumerated),
                                   AD_UNSUPPORTED(PutReference),
                                   AD_UNSUPPORTED(PutClass),
                                   AD_UNSUPPORTED(PutGlobalClass),
                                   AD_UNSUPPORTED(PutAlias),
                                   adGetInteger,
                                   adGetFloat,
                                   AD_UNSUPPORTED(GetUnitFloat),
                                   AD_UNSUPPORTED(GetStringLength),
                                   AD_UNSUPPORTED(GetString),
                                   adGetBoolean,
                                   AD_UNSUPPORTED(GetList),
                                   AD_UNSUPPORTED(GetObject),
                                   AD_UNSUPPORTED(GetGlobalObject),
                                   AD_UNSUPPORTED(GetEnumerated),
                                   AD_UNSUPPORTED(GetReference),
                                   AD_UNSUPPORTED(GetClass),
                                   AD_UNSUPPORTED(GetGlobalClass),
                                   AD_UNSUPPORTED(GetAlias),
                                   AD_UNSUPPORTED(HasKeys),
                                   AD_UNSUPPORTED(PutIntegers),
                                   AD_UNSUPPORTED(GetIntegers),
                                   AD_UNSUPPORTED(AsHandle),
                                   AD_UNSUPPORTED(HandleToDescriptor),
                                   AD_UNSUPPORTED(PutZString),
                                   AD_UNSUPPORTED(GetZString),
                                   AD_UNSUPPORTED(PutData),
                                   AD_UNSUPPORTED(GetDataLength),
                                   AD_UNSUPPORTED(GetData)};
}
#undef AD_UNSUPPORTED
PSActionDescriptorProcs actionProcs = makeActionProcs();
PSDescriptorRegistryProcs registryProcs{regRegister, regErase, regGet};
// The property suite gives the record's table, header included.
PropertyProcs propertySuite{kCurrentPropertyProcsVersion, kCurrentPropertyProcsCount, propertyGet, propertySet};
PSHandleSuite1 handleSuite1{handleNew, handleDispose, handleSetLock, handleGetSize, handleSetSize, handleRecoverSpace};
PSHandleSuite2 handleSuite2{handleNew,     handleDispose, handleDisposeRegular, handleSetLock,
                            handleGetSize, handleSetSize, handleRecoverSpace};
std::mutex processSuitesMutex;
std::map<std::string, int64_t> processAcquired, processReleased;

SPErr SPAPI basicAcquire(const char* name, int32 version, const void** suite) try {
    HOST_ENTRY();
    if (suite) *suite = nullptr;
    if (!name || !suite) return kSPBadParameterError;
    std::string n(name);
    const void* procs = nullptr;
    auto answer = h.suiteAnswers.find(n);
    const SuiteAnswer mode = answer == h.suiteAnswers.end() ? SuiteAnswer::offer : answer->second;
    if (mode == SuiteAnswer::refuseLeavingPointer) {
        *suite = &propertySuite;
        return kSPSuiteNotFoundError;
    }
    if (!h.options().refusedSuites.count(n) && mode != SuiteAnswer::refuse) {
        auto extra = h.impl().extraSuites.find(n);
        if (extra != h.impl().extraSuites.end()) {
            if (extra->second.version == version) procs = extra->second.procs;
        } else if (n == kPSRegistrySuite && version == kPSRegistrySuiteVersion1) {
            procs = &registryProcs;
        } else if (n == kPSActionDescriptorSuite && version >= 1 && version <= kPSActionDescriptorSuiteVersion) {
            procs = &actionProcs;
        } else if (n == kPSPropertySuite && version == kPSPropertySuiteVersion1) {
            procs = &propertySuite;
        } else if (n == kPSHandleSuite && version == kPSHandleSuiteVersion1) {
            procs = &handleSuite1;
        } else if (n == kPSHandleSuite && version == kPSHandleSuiteVersion2) {
            procs = &handleSuite2;
        }
    }
    if (!procs) return kSPSuiteNotFoundError;
    *suite = mode == SuiteAnswer::succeedWithNull ? nullptr : procs;
    ++Host::Impl::acquired(h)[n];
    std::lock_guard<std::mutex> lock(processSuitesMutex);
    ++processAcquired[n];
    return kSPNoError;
} catch (...) {
    return memFullErr;
}
// A suite holder may release at unload, after the host that gave the suite
// is gone: the release is then only counted for the process.
SPErr SPAPI basicRelease(const char* name, int32) try {
    if (!name) return paramErr;
    std::string n(name);
    bool tooMany;
    {
        std::lock_guard<std::mutex> lock(processSuitesMutex);
        tooMany = processReleased[n] + 1 > processAcquired[n];
        if (!tooMany) ++processReleased[n];
    }
    Host* h = gCurrent;
    if (!h) return tooMany ? SPErr(paramErr) : SPErr(kSPNoError);
    Lock lock_(h->impl().mutex);
    if (tooMany) {
        h->recordFault("ReleaseSuite: " + n + " released more often than acquired");
        return paramErr;
    }
    ++Host::Impl::released(*h)[n];
    return kSPNoError;
} catch (...) {
    return memFullErr;
}
ASBoolean SPAPI basicIsEqual(const char* a, const char* b) {
    if (!a || !b) return a == b;
    return std::strcmp(a, b) == 0;
}
SPErr SPAPI basicAllocate(int32 size, void** block) try {
    HOST_ENTRY();
    if (!block || size < 0) return kSPBadParameterError;
    *block = std::malloc(size ? size_t(size) : 1);
    if (!*block) return kSPOutOfMemoryError;
    Host::Impl::blocks(h)[*block] = size;
    return kSPNoError;
} catch (...) {
    return memFullErr;
}
SPErr SPAPI basicFree(void* block) try {
    if (!block) return kSPNoError;
    HOST_ENTRY();
    auto& blocks = Host::Impl::blocks(h);
    if (!blocks.erase(block)) {
        h.recordFault("FreeBlock: " + pointerText(block) + " is not a block of this host");
        return kSPBadParameterError;
    }
    std::free(block);
    return kSPNoError;
} catch (...) {
    return memFullErr;
}
SPErr SPAPI basicReallocate(void* block, int32 size, void** result) try {
    HOST_ENTRY();
    if (!result || size < 0) return kSPBadParameterError;
    auto& blocks = Host::Impl::blocks(h);
    if (block && !blocks.count(block)) {
        h.recordFault("ReallocateBlock: " + pointerText(block) + " is not a block of this host");
        return kSPBadParameterError;
    }
    void* n = std::realloc(block, size ? size_t(size) : 1);
    if (!n) return kSPOutOfMemoryError;
    if (block) blocks.erase(block);
    blocks[n] = size;
    *result = n;
    return kSPNoError;
} catch (...) {
    return memFullErr;
}
SPErr SPAPI basicUndefined() { return kSPUnimplementedError; }

// Progress, abort, events, colour services, display.
Boolean MACPASCAL testAbort() {
    HOST_ENTRY();
    int64_t n = ++Host::Impl::abortCalls(h);
    if (h.duringAbortCall) h.duringAbortCall();
    // The user pressed cancel at call k: from then on every poll reports it.
    return h.cancelAtAbortCall > 0 && n >= h.cancelAtAbortCall;
}
void MACPASCAL progress(int32 done, int32 total) try {
    HOST_ENTRY();
    Host::Impl::progress(h).emplace_back(done, total);
} catch (...) {
}
void MACPASCAL processEvent(void*) {}

OSErr MACPASCAL colorServices(ColorServicesInfo* info) {
    HOST_ENTRY();
    ++Host::Impl::colorServicesCalls(h);
    if (!info) return paramErr;
    // No colour management here: a conversion leaves the components as they are.
    return h.colorServicesResult;
}

int16 displayPlanes(int32 mode) {
    switch (mode) {
        case plugInModeBitmap:
        case plugInModeGrayScale:
        case plugInModeDuotone:
            return 1;
        case plugInModeCMYKColor:
            return 4;
        default:
            return 3;
    }
}

OSErr MACPASCAL displayPixels(const PSPixelMap* source, const VRect* srcRect, int32 dstRow, int32 dstCol,
                              void* context) try {
    HOST_ENTRY();
    if (!source || !srcRect || !source->baseAddr) {
        h.recordFault("displayPixels: null pixel map, rectangle or base address");
        return paramErr;
    }
    const VRect& b = source->bounds;
    const VRect& r = *srcRect;
    if (isInverted(r) || r.top < b.top || r.left < b.left || r.bottom > b.bottom || r.right > b.right) {
        h.recordFault("displayPixels: source rectangle " + rectText(r) + " outside the map's bounds " + rectText(b));
        return paramErr;
    }
    // Every byte the call reads must lie in the live host buffer that holds
    // the base address: the extremes of a linear address are at the corners.
    if (!isEmpty(r)) {
        const int16 planes = displayPlanes(source->imageMode);
        int64_t first = 0, last = 0;
        bool any = false;
        for (int32 y : {r.top, r.bottom - 1})
            for (int32 x : {r.left, r.right - 1})
                for (int16 p : {int16(0), int16(planes - 1)}) {
                    const int64_t at = int64_t(y - b.top) * source->rowBytes +
                                       int64_t(x - b.left) * source->colBytes + int64_t(p) * source->planeBytes;
                    first = any ? std::min(first, at) : at;
                    last = any ? std::max(last, at) : at;
                    any = true;
                }
        if (!h.buffers().holdsRange(source->baseAddr, first, last)) {
            h.recordFault("displayPixels: the rectangle " + rectText(r) + " reads bytes " + std::to_string(first) +
                          " to " + std::to_string(last) + " from the base address, outside the live host buffer "
                          "that holds it");
            return paramErr;
        }
    }
    DisplayCall c;
    c.bounds = b;
    c.srcRect = r;
    c.dstRow = dstRow;
    c.dstCol = dstCol;
    c.imageMode = source->imageMode;
    c.rowBytes = source->rowBytes;
    c.colBytes = source->colBytes;
    c.planeBytes = source->planeBytes;
    c.platformContext = context;
    c.planes = displayPlanes(source->imageMode);
    const uint8_t* base = static_cast<const uint8_t*>(source->baseAddr);
    if (!isEmpty(r)) {
        // Sized once and written through a pointer: this copy is part of
        // every paint the dialog's latency is measured by.
        c.pixels.resize(size_t(int64_t(r.bottom - r.top) * (r.right - r.left) * c.planes));
        uint8_t* out = c.pixels.data();
        for (int32 y = r.top; y < r.bottom; ++y) {
            const uint8_t* row = base + int64_t(y - b.top) * source->rowBytes;
            for (int32 x = r.left; x < r.right; ++x) {
                const uint8_t* pixel = row + int64_t(x - b.left) * source->colBytes;
                for (int16 p = 0; p < c.planes; ++p) *out++ = pixel[int64_t(p) * source->planeBytes];
            }
        }
    }
    // A host draws what it was handed into the context it was given.
    if (!platform::drawDisplayCall(c)) {
        h.recordFault("displayPixels: the platform context " + pointerText(context) +
                      " is no port or device context to draw into");
        return paramErr;
    }
    Host::Impl::displays(h).push_back(std::move(c));
    return noErr;
} catch (...) {
    return memFullErr;
}

OSErr MACPASCAL advanceState() {
    HOST_ENTRY();
    return Host::Impl::advance(h);
}

}  // namespace

// ---------------------------------------------------------------------------
// Host.

HostOptions toolHostOptions() {
    HostOptions o;
    o.checking = false;
    o.rowSlackBytes = 0;
    o.inTileWidth = o.inTileHeight = 1024;
    // A 32-bit process has 2 GB to address, its own code and the document
    // included.
    const uint64_t most = sizeof(void*) == 4 ? uint64_t(1) << 30 : uint64_t(0x7FFFFFFF);
    if (const uint64_t physical = platform::physicalMemoryBytes())
        o.maxSpace = int32(std::min<uint64_t>(physical / 10 * 7, most));
    return o;
}

Host::Host(Document doc, HostOptions options)
    : doc_(std::move(doc)), options_(std::move(options)), impl_(std::make_unique<Impl>()) {
    if (doc_.width() <= 0 || doc_.height() <= 0) throw std::invalid_argument("refhost::Host: empty document");
    filterRect_ = isEmpty(options_.filterRect) ? doc_.bounds() : options_.filterRect;
    if (isInverted(filterRect_) || !inside(filterRect_, doc_.height(), doc_.width()))
        throw std::invalid_argument("refhost::Host: filter rectangle " + rectText(filterRect_) +
                                    " outside the image " + rectText(doc_.bounds()));
    mask_.assign(size_t(int64_t(doc_.width()) * doc_.height()), 255);
    handles_.host_ = this;
    buffers_.host_ = this;
    buffers_.poisonFreshBuffers = options_.checking;
    buffers_.recycleFreedBuffers = !options_.checking;
    buildRecord();
    install();
#if !defined(_WIN32)
    CarbonStandInSetAlertSink(alertSink, nullptr);
    // The products' bundles, whose nibs the Mac dialogs open.
    CarbonStandInAddBundle("halvane-mac", VEXLOR_NIB_ROOT "/halvane-mac");
    CarbonStandInAddBundle("Glimra", VEXLOR_NIB_ROOT "/Glimra");
#endif
}

Host::~Host() {
    if (gCurrent == this) gCurrent = nullptr;
}

Host* Host::current() { return gCurrent; }
void Host::install() { gCurrent = this; }

void Host::buildRecord() {
    Impl& m = *impl_;
    m.handleProcs = HandleProcs{kCurrentHandleProcsVersion, kCurrentHandleProcsCount, handleNew, handleDispose,
                                handleGetSize, handleSetSize, handleLock, handleUnlock, handleRecoverSpace,
                                handleDisposeRegular};
    m.bufferProcs = BufferProcs{kCurrentBufferProcsVersion, kCurrentBufferProcsCount, bufferAllocate, bufferLock,
                                bufferUnlock, bufferFree, bufferSpace};
    m.resourceProcs = ResourceProcs{kCurrentResourceProcsVersion, kCurrentResourceProcsCount, resourceCount,
                                    resourceGet, resourceDelete, resourceAdd};
    m.propertyProcs = PropertyProcs{kCurrentPropertyProcsVersion, kCurrentPropertyProcsCount, propertyGet,
                                    propertySet};
    m.imageServicesProcs = ImageServicesProcs{kCurrentImageServicesProcsVersion, kCurrentImageServicesProcsCount,
                                              unsupported<PIResampleProc>, unsupported<PIResampleProc>};
    m.readProcs = ReadDescriptorProcs{kCurrentReadDescriptorProcsVersion,
                                      kCurrentReadDescriptorProcsCount,
                                      readOpen,
                                      readClose,
                                      readGetKey,
                                      readInteger,
                                      readFloat,
                                      unsupported<GetUnitFloatProc>,
                                      readBoolean,
                                      unsupported<GetTextProc>,
                                      unsupported<GetAliasProc>,
                                      unsupported<GetEnumeratedProc>,
                                      unsupported<GetClassProc>,
                                      unsupported<GetSimpleReferenceProc>,
                                      unsupported<GetObjectProc>,
                                      unsupported<GetCountProc>,
                                      unsupported<GetStringProc>,
                                      unsupported<GetPinnedIntegerProc>,
                                      unsupported<GetPinnedFloatProc>,
                                      unsupported<GetPinnedUnitFloatProc>};
    m.writeProcs = WriteDescriptorProcs{kCurrentWriteDescriptorProcsVersion,
                                        kCurrentWriteDescriptorProcsCount,
                                        writeOpen,
                                        writeClose,
                                        writeInteger,
                                        writeFloat,
                                        unsupported<PutUnitFloatProc>,
                                        writeBoolean,
                                        unsupported<PutTextProc>,
                                        unsupported<PutAliasProc>,
                                        unsupported<PutEnumeratedProc>,
                                        unsupported<PutClassProc>,
                                        unsupported<PutSimpleReferenceProc>,
                                        unsupported<PutObjectProc>,
                                        unsupported<PutCountProc>,
                                        unsupported<PutStringProc>,
                                        unsupported<PutScopedClassProc>,
                                        unsupported<PutScopedObjectProc>};
    m.descriptorParameters = PIDescriptorParameters{0, int16(plugInDialogDisplay), int16(plugInDialogOptional),
                                                    nullptr, &m.writeProcs, &m.readProcs};
    static SPBasicSuite basic{basicAcquire, basicRelease, basicIsEqual, basicAllocate, basicFree, basicReallocate,
                              basicUndefined};

    const VPoint size{doc_.height(), doc_.width()};
    m.big = BigDocumentStruct{};
    m.big.imageSize32 = size;
    m.big.filterRect32 = filterRect_;
    m.big.wholeSize32 = size;

    FilterRecord& r = record_;
    r = FilterRecord{};
    // Every field a host of the later interface fills; what it leaves zero
    // (the monitor, the absolute tiles' origins, the 3D scenes, ...) stays so.
    r.serial = options_.serial;
    r.abortProc = testAbort;
    r.progressProc = progress;
    r.imageSize = Point{int16(size.v), int16(size.h)};
    r.planes = options_.planesField >= 0 ? options_.planesField : doc_.planes();
    r.filterRect = narrow(filterRect_);
    const uint8* bg = options_.background;
    const uint8* fg = options_.foreground;
    r.background = RGBColor{uint16(bg[0] * 257), uint16(bg[1] * 257), uint16(bg[2] * 257)};
    r.foreground = RGBColor{uint16(fg[0] * 257), uint16(fg[1] * 257), uint16(fg[2] * 257)};
    // The colours in the image's mode: a grey image gets the grey of the
    // colour (Rec. 601 weights); the others keep red, green and blue.
    auto inMode = [this](const uint8* rgb, FilterColor& out) {
        if (doc_.planes() == 1)
            out[0] = uint8(std::lround(0.299 * rgb[0] + 0.587 * rgb[1] + 0.114 * rgb[2]));
        else
            std::memcpy(out, rgb, 3);
    };
    inMode(bg, r.backColor);
    inMode(fg, r.foreColor);
    r.maxSpace = options_.maxSpace;
    r.bufferSpace = options_.bufferSpace;
    r.inHiPlane = r.outHiPlane = -1;
    r.haveMask = options_.haveMask;
    r.hostSig = options_.hostSig;
    r.imageMode = options_.imageModeField >= 0 ? options_.imageModeField : doc_.imageMode();
    r.imageHRes = r.imageVRes = options_.resolution;
    r.wholeSize = r.imageSize;
    r.platformData = &m.platform;
    r.bufferProcs = &m.bufferProcs;
    r.resourceProcs = &m.resourceProcs;
    r.processEvent = processEvent;
    r.displayPixels = displayPixels;
    r.handleProcs = &m.handleProcs;

    r.wantLayout = piLayoutTraditional;
    r.filterCase = options_.haveMask ? filterCaseFlatImageWithSelection : filterCaseFlatImageNoSelection;
    r.dummyPlaneValue = -1;
    r.advanceState = advanceState;
    // A flat document numbers its planes the same in both forms.
    r.supportsAbsolute = true;
    r.getPropertyObsolete = propertyGet;
    r.supportsPadding = true;
    r.inputPadding = options_.inputPadding;
    r.outputPadding = plugInWantsErrorOnBoundsException;
    r.maskPadding = plugInWantsErrorOnBoundsException;
    r.samplingSupport = hostSupportsIntegralSampling;
    r.inputRate = r.maskRate = 1 << 16;
    r.colorServices = colorServices;
    r.inNonLayerPlanes = r.outNonLayerPlanes = r.absNonLayerPlanes = doc_.planes();

    r.imageServicesProcs = &m.imageServicesProcs;
    r.propertyProcs = &m.propertyProcs;
    r.inTileWidth = r.outTileWidth = r.maskTileWidth = r.absTileWidth = options_.inTileWidth;
    r.inTileHeight = r.outTileHeight = r.maskTileHeight = r.absTileHeight = options_.inTileHeight;

    r.descriptorParameters = options_.descriptorParameters ? &m.descriptorParameters : nullptr;
    r.errorString = &m.errorString;
    r.sSPBasic = options_.basicSuite ? &basic : nullptr;
    r.depth = options_.depthField >= 0 ? options_.depthField : doc_.depth();
    r.canUseICCProfiles = true;
    r.bigDocumentData = options_.bigDocument ? &m.big : nullptr;
    r.maxSpace64 = r.maxSpace;
    r.bufferSpace64 = r.bufferSpace;
}

std::unique_lock<std::recursive_mutex> Host::lockState() {
    return std::unique_lock<std::recursive_mutex>(impl_->mutex);
}

void Host::recordAlert(const std::string& text) {
    std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
    alerts_.push_back(text);
}

void Host::recordFault(const std::string& text) {
    std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
    faults_.push_back(text);
}

void Host::beginSelector(int16 selector) {
    install();
    result_ = 0;
    if (selector == filterSelectorPrepare) {
        // The memory offer is made afresh for every run.
        record_.maxSpace = record_.maxSpace64 = options_.maxSpace;
        record_.bufferSpace = record_.bufferSpace64 = options_.bufferSpace;
    }
    if (selector == filterSelectorStart) {
        // A pass starts with nothing requested and nothing served.
        discardPending();
        dropSnapshot();
        record_.inRect = record_.outRect = record_.maskRect = Rect{0, 0, 0, 0};
        impl_->big.inRect32 = impl_->big.outRect32 = impl_->big.maskRect32 = VRect{0, 0, 0, 0};
        record_.inputRate = record_.maskRate = 1 << 16;
    }
}

namespace {
struct Request {
    VRect in, out, mask;
    bool used32;
};
}  // namespace

static Request readRequest(const FilterRecord& r) {
    Request q;
    q.used32 = r.bigDocumentData && r.bigDocumentData->PluginUsing32BitCoordinates;
    if (q.used32) {
        q.in = r.bigDocumentData->inRect32;
        q.out = r.bigDocumentData->outRect32;
        q.mask = r.bigDocumentData->maskRect32;
    } else {
        q.in = widen(r.inRect);
        q.out = widen(r.outRect);
        q.mask = widen(r.maskRect);
    }
    return q;
}

bool Host::afterSelector() {
    if (result_ != noErr) {
        failPass();
        return false;
    }
    Request q = readRequest(record_);
    if (isEmpty(q.in) && isEmpty(q.out) && (!record_.haveMask || isEmpty(q.mask))) {
        finishPass();
        return false;
    }
    OSErr err = serveRequest();
    if (err != noErr) {
        result_ = err;
        failPass();
        return false;
    }
    return true;
}

void Host::failPass() {
    std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
    impl_->pending = false;
    if (impl_->haveSnapshot) doc_ = impl_->snapshot;
    dropSnapshot();
    record_.inData = record_.outData = record_.maskData = nullptr;
}

namespace {
// Copies `count` pixels of planes lo.. lo + n - 1 between a buffer of n
// samples per pixel and a document row of `planes` samples per pixel; one
// block copy when the buffer holds every plane.
void copyPixels(uint8_t* dst, const uint8_t* src, int32 count, int16 n, int16 planes, int32 sampleBytes,
                bool toDocument) {
    const size_t pixel = size_t(n) * sampleBytes, docPixel = size_t(planes) * sampleBytes;
    if (n == planes) {
        std::memcpy(dst, src, pixel * count);
        return;
    }
    for (int32 x = 0; x < count; ++x)
        std::memcpy(dst + x * (toDocument ? docPixel : pixel), src + x * (toDocument ? pixel : docPixel), pixel);
}


// Runs rows(first, end) over the rows [0, count), in one band per processor
// the process may use when the copy is large enough to gain from it.  A
// band whose thread cannot be started runs on the calling thread.
template <typename F>
void inRowBands(int32 count, int64_t rowBytes, const F& rows) {
    const int n = std::min(platform::processorCount(), 64);
    if (n <= 1 || count < 2 * n || int64_t(count) * rowBytes < (int64_t(1) << 20)) {
        rows(int32(0), count);
        return;
    }
    auto first = [&](int i) { return int32(int64_t(count) * i / n); };
    std::vector<std::thread> workers;
    for (int i = 1; i < n; ++i) {
        try {
            workers.emplace_back(rows, first(i), first(i + 1));
        } catch (const std::system_error&) {
            rows(first(i), first(i + 1));
        }
    }
    rows(int32(0), first(1));
    for (std::thread& t : workers) t.join();
}
}  // namespace

void Host::takeSnapshot() {
    Impl& m = *impl_;
    Document& s = m.snapshot;
    if (s.imageMode() == doc_.imageMode() && s.width() == doc_.width() && s.height() == doc_.height()) {
        const int64_t rowBytes = doc_.rowBytes();
        inRowBands(doc_.height(), rowBytes, [&](int32 first, int32 end) {
            std::memcpy(s.data() + first * rowBytes, doc_.data() + first * rowBytes, size_t((end - first) * rowBytes));
        });
    } else {
        Document copy(doc_);  // a copy that runs short of memory leaves the old one whole
        s = std::move(copy);
    }
    m.haveSnapshot = true;
}

void Host::dropSnapshot() {
    impl_->haveSnapshot = false;
    if (options_.checking) impl_->snapshot = Document();
}

void Host::commitPending() {
    Impl& m = *impl_;
    if (!m.pending) return;
    m.pending = false;
    VRect r = intersect(m.pendingRect, filterRect_);
    if (isEmpty(r)) return;
    const int32 sb = doc_.sampleBytes();
    const int16 n = int16(m.pendingHi - m.pendingLo + 1);
    inRowBands(r.bottom - r.top, int64_t(r.right - r.left) * n * sb, [&](int32 first, int32 end) {
        for (int32 y = r.top + first; y < r.top + end; ++y) {
            const uint8_t* row = m.outBuf.data() + int64_t(y - m.pendingRect.top) * m.pendingRowBytes;
            copyPixels(doc_.pixel(r.left, y) + int64_t(m.pendingLo) * sb,
                       row + int64_t(r.left - m.pendingRect.left) * n * sb, r.right - r.left, n, doc_.planes(), sb,
                       true);
        }
    });
}

void Host::finishPass() {
    std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
    commitPending();
}

void Host::endSelector(int16 selector) {
    if (selector != filterSelectorFinish) return;
    // A finish that fails leaves the pass failed: the document goes back as
    // the pass found it, so that the result and the document agree.
    if (result_ != noErr)
        failPass();
    else
        dropSnapshot();
}

void Host::discardPending() {
    std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
    impl_->pending = false;
}

bool Host::hasPendingOutput() const { return impl_->pending; }

OSErr Host::pluginAdvanceState() {
    if (!refuse(advanceStatePlan, ++advanceStateCalls_, 0)) return serveRequest();
    const Request q = readRequest(record_);
    const FilterRecord& r = record_;
    advances_.push_back(AdvanceCall{q.in, q.out, q.mask, q.used32, r.inLoPlane, r.inHiPlane, r.outLoPlane,
                                    r.outHiPlane, r.inputPadding, std::max<int32>(r.inputRate >> 16, 1),
                                    advanceStateRefusal});
    record_.inData = record_.outData = record_.maskData = nullptr;
    record_.inRowBytes = record_.outRowBytes = record_.maskRowBytes = 0;
    return advanceStateRefusal;
}

OSErr Host::serveRequest() {
    try {
        return serve();
    } catch (const std::bad_alloc&) {
        // Nothing half-served reaches the plug-in; output still pending is
        // committed later, as it would have been.
        record_.inData = record_.outData = record_.maskData = nullptr;
        record_.inRowBytes = record_.outRowBytes = record_.maskRowBytes = 0;
        return memFullErr;
    }
}

OSErr Host::serve() {
    Impl& m = *impl_;
    FilterRecord& r = record_;
    Request q = readRequest(r);
    const int32 W = doc_.width(), H = doc_.height();
    const int16 P = doc_.planes();
    int32 rate = r.inputRate >> 16;
    if (rate < 1) rate = 1;
    const int32 scaledW = (W + rate - 1) / rate, scaledH = (H + rate - 1) / rate;
    const int16 padding = r.inputPadding;

    AdvanceCall call{q.in, q.out, q.mask, q.used32, r.inLoPlane, r.inHiPlane, r.outLoPlane, r.outHiPlane,
                     padding, rate, noErr};

    // The text of a problem is made only when there is one: profiling
    // alone makes some ten thousand requests.
    std::string problem;
    auto check = [&](bool bad, const auto& text) {
        if (bad && problem.empty()) problem = text();
    };
    const bool inWanted = !isEmpty(q.in), outWanted = !isEmpty(q.out);
    const bool maskWanted = r.haveMask && !isEmpty(q.mask);
    check(isInverted(q.in), [&] { return "inRect " + rectText(q.in) + " is inverted"; });
    check(isInverted(q.out), [&] { return "outRect " + rectText(q.out) + " is inverted"; });
    check(r.haveMask && isInverted(q.mask), [&] { return "maskRect " + rectText(q.mask) + " is inverted"; });
    if (inWanted) {
        check(r.inLoPlane < 0 || r.inHiPlane >= P || r.inLoPlane > r.inHiPlane, [&] {
            return "input planes " + std::to_string(r.inLoPlane) + ".." + std::to_string(r.inHiPlane) +
                   " of an image with " + std::to_string(P) + " planes";
        });
        bool pads = (padding >= 0 && padding <= 255) || padding == plugInWantsEdgeReplication ||
                    padding == plugInDoesNotWantPadding;
        check(padding < plugInWantsErrorOnBoundsException || padding > 255,
              [&] { return "inputPadding " + std::to_string(padding) + " is not a padding value"; });
        check(!pads && !inside(q.in, scaledH, scaledW), [&] {
            return "inRect " + rectText(q.in) + " lies outside the image " + rectText(VRect{0, 0, scaledH, scaledW}) +
                   (rate > 1 ? " at input rate " + std::to_string(rate) : std::string());
        });
    }
    if (outWanted) {
        check(r.outLoPlane < 0 || r.outHiPlane >= P || r.outLoPlane > r.outHiPlane, [&] {
            return "output planes " + std::to_string(r.outLoPlane) + ".." + std::to_string(r.outHiPlane) +
                   " of an image with " + std::to_string(P) + " planes";
        });
        check(!inside(q.out, H, W),
              [&] { return "outRect " + rectText(q.out) + " lies outside the image " + rectText(doc_.bounds()); });
    }
    if (maskWanted)
        check(!inside(q.mask, H, W),
              [&] { return "maskRect " + rectText(q.mask) + " lies outside the image " + rectText(doc_.bounds()); });
    // Row bytes are 32-bit in the record; a padded request could still ask
    // for more than that.
    auto tooWide = [&](const VRect& rc, int16 lo, int16 hi) {
        return (int64_t(rc.right) - rc.left) * (hi - lo + 1) * doc_.sampleBytes() + options_.rowSlackBytes + 8 >
               int64_t(0x7FFFFFFF);
    };
    check(inWanted && problem.empty() && tooWide(q.in, r.inLoPlane, r.inHiPlane),
          [&] { return "inRect " + rectText(q.in) + " is too wide for 32-bit row bytes"; });

    if (!problem.empty()) {
        call.result = options_.badRequestError;
        advances_.push_back(call);
        requestErrors_.push_back("advanceState: " + problem);
        r.inData = r.outData = r.maskData = nullptr;
        r.inRowBytes = r.outRowBytes = r.maskRowBytes = 0;
        r.inColumnBytes = r.inPlaneBytes = r.outColumnBytes = r.outPlaneBytes = 0;
        return call.result;
    }
    advances_.push_back(call);

    // The previous output goes into the document before anything is served.
    // Input comes from the image as the pass found it: a filter reads its
    // source, and what it has written so far is its destination.
    // The source is taken at the pass's first request, before anything is written.
    if (!m.haveSnapshot) takeSnapshot();
    commitPending();
    const Document& source = m.snapshot;

    const int32 sb = doc_.sampleBytes();
    auto rowBytesFor = [&](int64_t needed) {
        int64_t slack = (int64_t(options_.rowSlackBytes) + sb - 1) / sb * sb;
        return int32(needed + std::max<int64_t>(slack, 0));
    };

    // A checking host serves every request in fresh memory, filled, so that
    // a pointer kept from an earlier one shows under AddressSanitizer; a
    // host used as a tool keeps the memory and hands out the document's own
    // rows where it can.
    const bool checking = options_.checking;
    auto renew = [&](std::vector<uint8_t>& buf, size_t bytes) {
        if (checking) {
            std::vector<uint8_t>().swap(buf);
            buf.assign(bytes, 0xFF);
        } else if (buf.size() < bytes) {
            buf.resize(bytes);
        }
    };
    auto documentRows = [&](const Document& d, const VRect& rc, int16 lo, int16 hi) {
        return !checking && lo == 0 && hi == P - 1 && inside(rc, H, W) && d.rowBytes() <= int64_t(0x7FFFFFFF);
    };

    // Input.
    if (inWanted && rate == 1 && documentRows(source, q.in, r.inLoPlane, r.inHiPlane)) {
        r.inData = const_cast<uint8_t*>(source.pixel(q.in.left, q.in.top));
        r.inRowBytes = int32(source.rowBytes());
        r.inColumnBytes = int32(source.pixelBytes());
        r.inPlaneBytes = sb;
    } else if (inWanted) {
        const int16 n = int16(r.inHiPlane - r.inLoPlane + 1);
        const int32 w = q.in.right - q.in.left, hgt = q.in.bottom - q.in.top;
        const int32 rb = rowBytesFor(int64_t(w) * n * sb);
        std::vector<uint8_t>& buf = m.inBuf;
        renew(buf, size_t(int64_t(rb) * hgt));
        std::vector<uint8_t> pad(size_t(sb), 0xFF);
        if (padding >= 0) {
            if (sb == 1) pad[0] = uint8_t(padding);
            if (sb == 2) {
                uint16_t v = uint16_t((int32(padding) * 32768 + 127) / 255);
                std::memcpy(pad.data(), &v, 2);
            }
            if (sb == 4) {
                float v = float(padding) / 255.0f;
                std::memcpy(pad.data(), &v, 4);
            }
        }
        const bool whole = rate == 1 && inside(q.in, H, W);
        inRowBands(hgt, int64_t(w) * n * sb, [&](int32 first, int32 end) {
            for (int32 y = first; y < end; ++y) {
                uint8_t* row = buf.data() + int64_t(y) * rb;
                if (whole) {
                    copyPixels(row, source.pixel(q.in.left, q.in.top + y) + int64_t(r.inLoPlane) * sb, w, n, P, sb,
                               false);
                    continue;
                }
                for (int32 x = 0; x < w; ++x) {
                    int32 sx = (q.in.left + x) * rate, sy = (q.in.top + y) * rate;
                    bool out = sx < 0 || sy < 0 || sx >= W || sy >= H;
                    if (out && padding == plugInWantsEdgeReplication) {
                        sx = std::min(std::max(sx, 0), W - 1);
                        sy = std::min(std::max(sy, 0), H - 1);
                        out = false;
                    }
                    uint8_t* dst = row + int64_t(x) * n * sb;
                    if (!out) {
                        std::memcpy(dst, source.pixel(sx, sy) + int64_t(r.inLoPlane) * sb, size_t(n) * sb);
                    } else if (padding >= 0) {
                        for (int16 p = 0; p < n; ++p) std::memcpy(dst + p * sb, pad.data(), size_t(sb));
                    }  // plugInDoesNotWantPadding: the bytes stay as they are (0xFF when checking)
                }
            }
        });

        r.inData = m.inBuf.data();
        r.inRowBytes = rb;
        r.inColumnBytes = n * sb;
        r.inPlaneBytes = sb;
    } else {
        renew(m.inBuf, 0);
        r.inData = nullptr;
        r.inRowBytes = r.inColumnBytes = r.inPlaneBytes = 0;
    }

    // Output: the document's own rows inside the filter rectangle, or a
    // buffer pre-filled with the document's pixels, as a host would.
    const bool outInsideFilter = q.out.top >= filterRect_.top && q.out.left >= filterRect_.left &&
                                 q.out.bottom <= filterRect_.bottom && q.out.right <= filterRect_.right;
    if (outWanted && outInsideFilter && documentRows(doc_, q.out, r.outLoPlane, r.outHiPlane)) {
        r.outData = doc_.pixel(q.out.left, q.out.top);
        r.outRowBytes = int32(doc_.rowBytes());
        r.outColumnBytes = int32(doc_.pixelBytes());
        r.outPlaneBytes = sb;
    } else if (outWanted) {
        const int16 n = int16(r.outHiPlane - r.outLoPlane + 1);
        const int32 w = q.out.right - q.out.left, hgt = q.out.bottom - q.out.top;
        const int32 rb = rowBytesFor(int64_t(w) * n * sb);
        std::vector<uint8_t>& buf = m.outBuf;
        renew(buf, size_t(int64_t(rb) * hgt));
        inRowBands(hgt, int64_t(w) * n * sb, [&](int32 first, int32 end) {
            for (int32 y = first; y < end; ++y)
                copyPixels(buf.data() + int64_t(y) * rb,
                           doc_.pixel(q.out.left, q.out.top + y) + int64_t(r.outLoPlane) * sb, w, n, P, sb, false);
        });

        r.outData = m.outBuf.data();
        r.outRowBytes = rb;
        r.outColumnBytes = n * sb;
        r.outPlaneBytes = sb;
        m.pending = true;
        m.pendingRect = q.out;
        m.pendingLo = r.outLoPlane;
        m.pendingHi = r.outHiPlane;
        m.pendingRowBytes = rb;
    } else {
        renew(m.outBuf, 0);
        r.outData = nullptr;
        r.outRowBytes = r.outColumnBytes = r.outPlaneBytes = 0;
    }

    // Mask: one 8-bit plane.
    if (maskWanted) {
        const int32 w = q.mask.right - q.mask.left, hgt = q.mask.bottom - q.mask.top;
        const int32 rb = int32(w + std::max(options_.rowSlackBytes, 0));
        std::vector<uint8_t> buf(size_t(int64_t(rb) * hgt), 0xFF);
        for (int32 y = 0; y < hgt; ++y)
            std::memcpy(buf.data() + int64_t(y) * rb, mask_.data() + int64_t(q.mask.top + y) * W + q.mask.left,
                        size_t(w));
        m.maskBuf.swap(buf);
        r.maskData = m.maskBuf.data();
        r.maskRowBytes = rb;
    } else {
        std::vector<uint8_t>().swap(m.maskBuf);
        r.maskData = nullptr;
        r.maskRowBytes = 0;
    }
    return noErr;
}

void Host::setScriptDescriptor(const Descriptor& d, int16 playInfo) {
    Impl& m = *impl_;
    if (m.descriptorParameters.descriptor) handles_.dispose(m.descriptorParameters.descriptor);
    m.descriptorParameters.descriptor = makeDescriptorHandle(d);
    m.descriptorParameters.playInfo = playInfo;
}

std::optional<Descriptor> Host::scriptDescriptor() const {
    const PIDescriptorParameters& p = impl_->descriptorParameters;
    if (!p.descriptor) return std::nullopt;
    return readDescriptorHandle(p.descriptor);
}

Handle Host::makeDescriptorHandle(const Descriptor& d) { return handles_.createWith(serialise(d)); }

std::optional<Descriptor> Host::readDescriptorHandle(Handle h) const {
    if (!handles_.valid(h)) return std::nullopt;
    return deserialise(handles_.contents(h));
}

std::optional<Descriptor> Host::actionDescriptor(PIActionDescriptor d) const {
    auto* a = reinterpret_cast<ActionDescriptor*>(d);
    if (!impl_->actionDescriptors.count(a)) return std::nullopt;
    return a->entries;
}

int64_t Host::liveActionDescriptors() const { return int64_t(impl_->actionDescriptors.size()); }
int64_t Host::openReadTokens() const { return int64_t(impl_->readTokens.size()); }
int64_t Host::openWriteTokens() const { return int64_t(impl_->writeTokens.size()); }

const std::vector<DescriptorKeyID>& Host::expectedKeys() const { return expectedKeys_; }
const std::vector<DescriptorReadError>& Host::descriptorReadErrors() const { return descriptorReadErrors_; }

int64_t Host::acquireCount(const std::string& name) const {
    auto it = acquired_.find(name);
    return it == acquired_.end() ? 0 : it->second;
}

int64_t Host::releaseCount(const std::string& name) const {
    auto it = released_.find(name);
    return it == released_.end() ? 0 : it->second;
}

int64_t Host::unreleasedSuites() const {
    int64_t n = 0;
    for (const auto& a : acquired_) n += a.second - releaseCount(a.first);
    return n;
}

void Host::provideSuite(const std::string& name, int32 version, const void* procs) {
    impl_->extraSuites[name] = Impl::Suite{version, procs};
}

int64_t Host::processAcquireCount(const std::string& name) {
    std::lock_guard<std::mutex> lock(processSuitesMutex);
    auto it = processAcquired.find(name);
    return it == processAcquired.end() ? 0 : it->second;
}

int64_t Host::processReleaseCount(const std::string& name) {
    std::lock_guard<std::mutex> lock(processSuitesMutex);
    auto it = processReleased.find(name);
    return it == processReleased.end() ? 0 : it->second;
}

void Host::setProperty(uint32 key, intptr_t value, int32 index) { simpleProperties_[{key, index}] = value; }

void Host::setProperty(uint32 key, std::vector<uint8_t> bytes, int32 index) {
    complexProperties_[{key, index}] = std::move(bytes);
}

void Host::setNullProperty(uint32 key, int32 index) { complexProperties_[{key, index}] = std::nullopt; }

std::optional<intptr_t> Host::simpleProperty(uint32 key, int32 index) const {
    auto it = simpleProperties_.find({key, index});
    return it == simpleProperties_.end() ? std::nullopt : std::optional<intptr_t>(it->second);
}

std::optional<std::vector<uint8_t>> Host::complexProperty(uint32 key, int32 index) const {
    auto it = complexProperties_.find({key, index});
    return it == complexProperties_.end() ? std::nullopt : it->second;
}

void Host::shapeTable(ProcTable table, int16 version, int16 count, const std::vector<int>& nullEntries) {
    Impl& m = *impl_;
    const void* original = nullptr;
    int originalCount = 0;
    switch (table) {
        case ProcTable::buffer: original = &m.bufferProcs, originalCount = kCurrentBufferProcsCount; break;
        case ProcTable::resource: original = &m.resourceProcs, originalCount = kCurrentResourceProcsCount; break;
        case ProcTable::handle: original = &m.handleProcs, originalCount = kCurrentHandleProcsCount; break;
        case ProcTable::property: original = &m.propertyProcs, originalCount = kCurrentPropertyProcsCount; break;
        case ProcTable::channelPort: break;
        case ProcTable::readDescriptor:
            original = &m.readProcs, originalCount = kCurrentReadDescriptorProcsCount;
            break;
        case ProcTable::writeDescriptor:
            original = &m.writeProcs, originalCount = kCurrentWriteDescriptorProcsCount;
            break;
    }
    // Slot 0 holds the header (version and count, padded to a pointer), as
    // in every table; the procedures follow.
    const int n = std::max<int>(count, 0);
    auto shaped = std::make_unique<void*[]>(size_t(n) + 1);
    const int16 header[2] = {version, count};
    std::memcpy(shaped.get(), header, sizeof header);
    for (int i = 0; i < n; ++i) {
        void (*proc)() = extraProcedure;
        if (i < originalCount)
            std::memcpy(&proc, static_cast<const char*>(original) + sizeof(void*) * size_t(i + 1), sizeof proc);
        if (std::find(nullEntries.begin(), nullEntries.end(), i) != nullEntries.end()) proc = nullptr;
        std::memcpy(&shaped[size_t(i) + 1], &proc, sizeof proc);
    }
    void* t = shaped.get();
    switch (table) {
        case ProcTable::buffer: record_.bufferProcs = static_cast<BufferProcs*>(t); break;
        case ProcTable::resource: record_.resourceProcs = static_cast<ResourceProcs*>(t); break;
        case ProcTable::handle: record_.handleProcs = static_cast<HandleProcs*>(t); break;
        case ProcTable::property: record_.propertyProcs = static_cast<PropertyProcs*>(t); break;
        case ProcTable::channelPort: record_.channelPortProcs = static_cast<ChannelPortProcs*>(t); break;
        case ProcTable::readDescriptor:
            m.descriptorParameters.readDescriptorProcs = static_cast<ReadDescriptorProcs*>(t);
            break;
        case ProcTable::writeDescriptor:
            m.descriptorParameters.writeDescriptorProcs = static_cast<WriteDescriptorProcs*>(t);
            break;
    }
    m.shapedTables.push_back(std::move(shaped));
}

std::vector<uint8_t> Host::parameterBytes() const { return handles_.contents(record_.parameters); }

std::string Host::leakReport() const {
    std::string out;
    auto line = [&out](const std::string& s) { out += s + "\n"; };
    for (const std::string& f : faults_) line("fault: " + f);
    if (buffers_.live() > 0)
        line(std::to_string(buffers_.live()) + " buffer(s) not freed (" + std::to_string(buffers_.liveBytes()) +
             " bytes)");
    std::set<Handle> kept{record_.parameters, reinterpret_cast<Handle>(data_), impl_->descriptorParameters.descriptor};
    kept.insert(impl_->resourceHandles.begin(), impl_->resourceHandles.end());
    int64_t leaked = 0;
    for (Handle h : handles_.liveHandles()) leaked += !kept.count(h);
    if (leaked > 0) line(std::to_string(leaked) + " handle(s) not disposed");
    if (!impl_->readTokens.empty()) line(std::to_string(impl_->readTokens.size()) + " read descriptor(s) not closed");
    if (!impl_->writeTokens.empty())
        line(std::to_string(impl_->writeTokens.size()) + " write descriptor(s) not closed");
    if (!impl_->actionDescriptors.empty())
        line(std::to_string(impl_->actionDescriptors.size()) + " action descriptor(s) not freed");
    if (!blocks_.empty()) line(std::to_string(blocks_.size()) + " basic-suite block(s) not freed");
    return out;
}

}  // namespace refhost
