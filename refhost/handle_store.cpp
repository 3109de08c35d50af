// The host's handles: the store that keeps them, with its refusals and its
// record of misuse, and the procedures through which the record and the
// handle suites reach it.
#include <memory>
#include <string>
#include <vector>

#include "refhost/host_impl.h"

namespace refhost {

struct HandleStore::Block {
    char* master = nullptr;  // first, as a classic handle's master pointer
    std::vector<char> bytes;
    int32 size = 0;
    bool locked = false;
    bool alive = true;
};

HandleStore::HandleStore() = default;
HandleStore::~HandleStore() = default;

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

namespace {

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

}  // namespace

HandleProcs recordHandleProcs() {
    return HandleProcs{kCurrentHandleProcsVersion, kCurrentHandleProcsCount, handleNew, handleDispose,
                       handleGetSize, handleSetSize, handleLock, handleUnlock, handleRecoverSpace,
                       handleDisposeRegular};
}

const PSHandleSuite1& handleSuite1() {
    static const PSHandleSuite1 suite{handleNew,     handleDispose, handleSetLock,     handleGetSize,
                                      handleSetSize, handleRecoverSpace};
    return suite;
}

const PSHandleSuite2& handleSuite2() {
    static const PSHandleSuite2 suite{handleNew,     handleDispose, handleDisposeRegular, handleSetLock,
                                      handleGetSize, handleSetSize, handleRecoverSpace};
    return suite;
}

}  // namespace refhost
