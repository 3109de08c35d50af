// The record's small services: the cancel poll, progress, events, colour
// services, resources and properties.
#include <optional>
#include <string>
#include <vector>

#include "refhost/host_impl.h"

namespace refhost {

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

namespace {

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

}  // namespace

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
ResourceProcs recordResourceProcs() {
    return ResourceProcs{kCurrentResourceProcsVersion, kCurrentResourceProcsCount, resourceCount, resourceGet,
                         resourceDelete, resourceAdd};
}

const PropertyProcs& propertySuite() {
    static const PropertyProcs suite{kCurrentPropertyProcsVersion, kCurrentPropertyProcsCount, propertyGet,
                                     propertySet};
    return suite;
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

}  // namespace refhost
