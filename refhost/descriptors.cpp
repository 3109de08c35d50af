// Descriptors: the scripting descriptor's handles and the procedures that
// read and write them, the action-descriptor suite, and the registry that
// keeps action descriptors between runs.
#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "refhost/host_impl.h"

namespace refhost {

namespace {

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

// ---------------------------------------------------------------------------
// The C procedures.

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
}  // namespace

ReadDescriptorProcs recordReadDescriptorProcs() {
    return ReadDescriptorProcs{kCurrentReadDescriptorProcsVersion,
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
}

WriteDescriptorProcs recordWriteDescriptorProcs() {
    return WriteDescriptorProcs{kCurrentWriteDescriptorProcsVersion,
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
}

// The suites' tables are process-wide: a plug-in keeps them past the host
// call that gave them (suite holders release at unload).
const PSActionDescriptorProcs& actionDescriptorSuite() {
    static const PSActionDescriptorProcs suite = makeActionProcs();
    return suite;
}

const PSDescriptorRegistryProcs& registrySuite() {
    static const PSDescriptorRegistryProcs suite{regRegister, regErase, regGet};
    return suite;
}

// ---------------------------------------------------------------------------
// What tests see of them.

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

}  // namespace refhost
