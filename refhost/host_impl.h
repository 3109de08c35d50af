// Inside the reference host: the state behind the record's pointers, what
// every procedure of the record begins with, and the tables each part of
// the host gives the record and the basic suite.  For the host's own files
// only (host.cpp, handle_store.cpp, buffer_store.cpp, descriptors.cpp,
// basic_suite.cpp, services.cpp, advance_state.cpp, display.cpp).
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "refhost/refhost.h"

namespace refhost {

// ---------------------------------------------------------------------------
// Rectangles and texts of faults.

inline VRect widen(const Rect& r) { return VRect{r.top, r.left, r.bottom, r.right}; }
inline Rect narrow(const VRect& r) {
    return Rect{int16(uint16(uint32(r.top))), int16(uint16(uint32(r.left))), int16(uint16(uint32(r.bottom))),
                int16(uint16(uint32(r.right)))};
}
inline bool isEmpty(const VRect& r) { return r.top >= r.bottom || r.left >= r.right; }
inline bool isInverted(const VRect& r) { return r.top > r.bottom || r.left > r.right; }
inline bool inside(const VRect& r, int32 height, int32 width) {
    return r.top >= 0 && r.left >= 0 && r.bottom <= height && r.right <= width;
}
inline VRect intersect(const VRect& a, const VRect& b) {
    VRect r{std::max(a.top, b.top), std::max(a.left, b.left), std::min(a.bottom, b.bottom),
            std::min(a.right, b.right)};
    if (isEmpty(r)) r = VRect{0, 0, 0, 0};
    return r;
}
inline std::string rectText(const VRect& r) {
    char buf[80];
    std::snprintf(buf, sizeof buf, "(%d, %d, %d, %d)", int(r.top), int(r.left), int(r.bottom), int(r.right));
    return buf;
}
inline std::string pointerText(const void* p) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%p", p);
    return buf;
}

// Whether a refusal plan refuses allocation (or call) number `number` of
// `size` bytes.
inline bool refuse(const RefusalPlan& plan, int64_t number, int64_t size) {
    if (plan.refuseAbove >= 0 && size > plan.refuseAbove) return true;
    if (plan.refuseNth > 0 && (number == plan.refuseNth || (plan.andAllLater && number > plan.refuseNth)))
        return true;
    return false;
}

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
// The C procedures of the record.

// The Host the plug-in's call reaches; a call with none is a fault of the
// caller that nothing can answer.
inline Host& cur() {
    Host* h = Host::current();
    if (!h) {
        std::fprintf(stderr, "refhost: a host procedure was called with no current Host\n");
        std::abort();
    }
    return *h;
}

using HostLock = std::lock_guard<std::recursive_mutex>;
#define HOST_ENTRY()  \
    Host& h = cur(); \
    HostLock lock_(h.impl().mutex)

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

// handle_store.cpp: the record's handle procedures and the handle suites.
HandleProcs recordHandleProcs();
const PSHandleSuite1& handleSuite1();
const PSHandleSuite2& handleSuite2();
// buffer_store.cpp: the record's buffer procedures.
BufferProcs recordBufferProcs();
// descriptors.cpp: the scripting descriptor's procedures, the
// action-descriptor suite and the registry suite.
ReadDescriptorProcs recordReadDescriptorProcs();
WriteDescriptorProcs recordWriteDescriptorProcs();
const PSActionDescriptorProcs& actionDescriptorSuite();
const PSDescriptorRegistryProcs& registrySuite();
// basic_suite.cpp: the basic suite, through which a plug-in asks for the others.
SPBasicSuite* basicSuite();
// services.cpp: abort, progress, events, colour services, resources and
// properties (the property suite gives the record's table, header included).
Boolean MACPASCAL testAbort();
void MACPASCAL progress(int32 done, int32 total);
void MACPASCAL processEvent(void*);
OSErr MACPASCAL colorServices(ColorServicesInfo* info);
ResourceProcs recordResourceProcs();
const PropertyProcs& propertySuite();
OSErr MACPASCAL propertyGet(uint32 signature, uint32 key, int32 index, intptr_t* simple, Handle* complex);
// display.cpp and advance_state.cpp.
OSErr MACPASCAL displayPixels(const PSPixelMap* source, const VRect* srcRect, int32 dstRow, int32 dstCol,
                              void* context);
OSErr MACPASCAL advanceState();

}  // namespace refhost
