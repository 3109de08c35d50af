// The host's buffers: the store that gives them out (from the heap, where
// AddressSanitizer watches them, or from pages it keeps as a host's memory
// manager does), with its refusals, its log and its record of misuse, and
// the record's buffer procedures.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "refhost/host_impl.h"
#include "refhost/platform.h"

namespace refhost {

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

BufferStore::BufferStore() = default;
BufferStore::~BufferStore() = default;

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
    ++lockCount_;
    if (refuseLock_ > 0 && lockCount_ == refuseLock_) return nullptr;
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

namespace {

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

}  // namespace

BufferProcs recordBufferProcs() {
    return BufferProcs{kCurrentBufferProcsVersion, kCurrentBufferProcsCount, bufferAllocate, bufferLock,
                       bufferUnlock, bufferFree, bufferSpace};
}

}  // namespace refhost
