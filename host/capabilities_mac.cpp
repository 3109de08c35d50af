// Capability tests of the host's tables, their warnings, and the host
// application's and system's identification.
#include "host/capabilities_mac.h"

#include <Carbon.h>

#include <cstdio>
#include <cstring>
#if defined(__APPLE__)
#include <sys/sysctl.h>
#endif

#include "host/dialog_utils_mac.h"

namespace {
// The header is read first, the procedures only once the count says that
// they are there.
template <typename Table, typename Present>
bool acceptTable(const Table* table, int16 version, int16 count, int16 acceptedVersion, int16 minimumCount,
                 Boolean* newer, Present present) {
    if (newer) *newer = false;
    if (!table) return false;
    if (version > acceptedVersion) {
        if (newer) *newer = true;
        return false;
    }
    return version == acceptedVersion && count >= minimumCount && present(*table);
}

// The minimum host version as text: "2.5", "2.502".
bool warn(bool available, bool newer, double minimumVersion, int decimals) {
    if (available) return true;
    char text[32];
    int n = std::snprintf(text, sizeof text, "%.*f", decimals, minimumVersion);
    Str255 version;
    version[0] = uint8(n);
    std::memcpy(version + 1, text, size_t(n));
    ShowVersionAlert(nullptr, kVersionAlertID, newer ? kHostIncompatibleStringID : kHostTooOldStringID, version,
                     nullptr);
    return false;
}

// The same for a table whose test can tell a newer one.
template <typename Table>
bool warnTable(bool (*test)(const Table*, Boolean*), const Table* procs, double minimumVersion, int decimals) {
    Boolean newer = false;
    const bool available = test(procs, &newer);
    return warn(available, newer, minimumVersion, decimals);
}

const ResType kVersionType = 0x76657273;  // 'vers'
const ResType kBundleType = 0x424e444c;   // 'BNDL': begins with the application's signature

struct CachedOSInfo {
    OSInfo info{};
    bool filled = false;
} cachedInfo;
}  // namespace

bool HostDisplayPixelsAvailable(DisplayPixelsProc proc) { return proc != nullptr; }
bool HostAdvanceStateAvailable(AdvanceStateProc proc) { return proc != nullptr; }
bool HostColorServicesAvailable(ColorServicesProc proc) { return proc != nullptr; }

bool HostBufferProcsAvailable(const BufferProcs* procs, Boolean* newer) {
    return acceptTable(procs, procs ? procs->bufferProcsVersion : 0, procs ? procs->numBufferProcs : 0, 2, 5, newer,
                       [](const BufferProcs& p) {
                           return p.allocateProc && p.lockProc && p.unlockProc && p.freeProc && p.spaceProc;
                       });
}

bool HostResourceProcsAvailable(const ResourceProcs* procs, Boolean* newer) {
    return acceptTable(procs, procs ? procs->resourceProcsVersion : 0, procs ? procs->numResourceProcs : 0, 3, 4,
                       newer, [](const ResourceProcs& p) {
                           return p.countProc && p.getProc && p.deleteProc && p.addProc;
                       });
}

bool HostHandleProcsAvailable(const HandleProcs* procs, Boolean* newer) {
    return acceptTable(procs, procs ? procs->handleProcsVersion : 0, procs ? procs->numHandleProcs : 0, 1, 8, newer,
                       [](const HandleProcs& p) {
                           return p.newProc && p.disposeProc && p.getSizeProc && p.setSizeProc && p.lockProc &&
                                  p.unlockProc;
                       });
}

bool HostPropertyAvailable(const PropertyProcs* procs, Boolean* newer) {
    return acceptTable(procs, procs ? procs->propertyProcsVersion : 0, procs ? procs->numPropertyProcs : 0, 1, 2,
                       newer, [](const PropertyProcs& p) { return p.getPropertyProc && p.setPropertyProc; });
}

bool HostChannelPortAvailable(const ChannelPortProcs* procs, Boolean* newer) {
    return acceptTable(procs, procs ? procs->channelPortProcsVersion : 0, procs ? procs->numChannelPortProcs : 0, 1,
                       3, newer, [](const ChannelPortProcs& p) {
                           return p.readPixelsProc && p.writeBasePixelsProc && p.readPortForWritePortProc;
                       });
}

bool HostDescriptorAvailable(const PIDescriptorParameters* params) {
    if (!params || params->descriptorParametersVersion != kCurrentDescriptorParametersVersion) return false;
    const ReadDescriptorProcs* read = params->readDescriptorProcs;
    const WriteDescriptorProcs* write = params->writeDescriptorProcs;
    const bool readOk = acceptTable(read, read ? read->readDescriptorProcsVersion : 0,
                                    read ? read->numReadDescriptorProcs : 0, kCurrentReadDescriptorProcsVersion,
                                    kCurrentReadDescriptorProcsCount, nullptr, [](const ReadDescriptorProcs& p) {
                                        return p.openReadDescriptorProc && p.closeReadDescriptorProc &&
                                               p.getKeyProc && p.getIntegerProc && p.getFloatProc &&
                                               p.getUnitFloatProc && p.getBooleanProc && p.getTextProc &&
                                               p.getAliasProc && p.getEnumeratedProc && p.getClassProc &&
                                               p.getSimpleReferenceProc && p.getObjectProc && p.getCountProc &&
                                               p.getStringProc && p.getPinnedIntegerProc &&
                                               p.getPinnedFloatProc && p.getPinnedUnitFloatProc;
                                    });
    return readOk && acceptTable(write, write ? write->writeDescriptorProcsVersion : 0,
                                 write ? write->numWriteDescriptorProcs : 0, kCurrentWriteDescriptorProcsVersion,
                                 kCurrentWriteDescriptorProcsCount, nullptr, [](const WriteDescriptorProcs& p) {
                                     return p.openWriteDescriptorProc && p.closeWriteDescriptorProc &&
                                            p.putIntegerProc && p.putFloatProc && p.putUnitFloatProc &&
                                            p.putBooleanProc && p.putTextProc && p.putAliasProc &&
                                            p.putEnumeratedProc && p.putClassProc && p.putSimpleReferenceProc &&
                                            p.putObjectProc && p.putCountProc && p.putStringProc &&
                                            p.putScopedClassProc && p.putScopedObjectProc;
                                 });
}

bool WarnHostDescriptorAvailable(const PIDescriptorParameters* params) {
    return warn(HostDescriptorAvailable(params), false, 4.0, 1);
}

bool WarnHostChannelPortAvailable(const ChannelPortProcs* procs) {
    return warnTable(HostChannelPortAvailable, procs, 4.0, 1);
}

bool WarnHostPropertyAvailable(const PropertyProcs* procs) {
    return warnTable(HostPropertyAvailable, procs, 2.5, 1);
}

bool WarnHostHandleProcsAvailable(const HandleProcs* procs) {
    return warnTable(HostHandleProcsAvailable, procs, 3.0, 1);
}

bool WarnHostResourceProcsAvailable(const ResourceProcs* procs) {
    return warnTable(HostResourceProcsAvailable, procs, 3.0, 1);
}

bool WarnHostBufferProcsAvailable(const BufferProcs* procs) {
    return warnTable(HostBufferProcsAvailable, procs, 2.5, 1);
}

bool WarnHostColorServicesAvailable(ColorServicesProc proc) {
    return warn(HostColorServicesAvailable(proc), false, 2.5, 1);
}

bool WarnHostAdvanceStateAvailable(AdvanceStateProc proc) {
    return warn(HostAdvanceStateAvailable(proc), false, 3.0, 1);
}

bool WarnHostDisplayPixelsAvailable(DisplayPixelsProc proc) {
    return warn(HostDisplayPixelsAvailable(proc), false, 2.502, 3);
}

void ClearOSInfo(OSInfo& info) { info = OSInfo{}; }

OSErr GetOSInfo(void* ignored, OSInfo& info) {
    ClearOSInfo(info);
    const int16 saved = CurResFile();
    UseResFile(LMGetCurApRefNum());
    OSInfo found{};
    OSErr err = resNotFound;
    Handle version = Get1Resource(kVersionType, 1);
    if (version && GetHandleSize(version) >= 5) {
        HLock(version);
        const auto* v = reinterpret_cast<const uint8*>(*reinterpret_cast<Ptr*>(version));
        found.majorVersion = v[0];
        found.minorVersion = uint8(v[1] >> 4);
        found.fixVersion = uint8(v[1] & 15);
        found.stage = MapStage(ignored, v[2]);
        found.build = v[3];
        HUnlock(version);
        ReleaseResource(version);
        Handle bundle = Get1Resource(kBundleType, 128);
        if (bundle && GetHandleSize(bundle) >= 4) {
            HLock(bundle);
            const auto* b = reinterpret_cast<const uint8*>(*reinterpret_cast<Ptr*>(bundle));
            found.signature = uint32(b[0]) << 24 | uint32(b[1]) << 16 | uint32(b[2]) << 8 | b[3];
            HUnlock(bundle);
        }
        if (bundle) ReleaseResource(bundle);
        int32_t major = 0;
        found.system = MapSystem(Gestalt(gestaltSystemVersionMajor, &major) == 0 ? major : 0);
        info = found;
        err = noErr;
    }
    UseResFile(saved);
    return err;
}

uint8 MapStage(void*, uint8 stage) {
    switch (stage) {
        case 0x20: return 0;
        case 0x40: return 1;
        case 0x60: return 2;
        default: return 3;
    }
}

uint8 MapSystem(int32 major) { return major == 6 ? 1 : major == 8 ? 3 : 2; }
bool IsMacOS(uint8 system) { return system >= 1 && system <= 3; }
bool IsWindows(uint8 system) { return system >= 10 && system <= 12; }
bool IsValidHost(uint32 signature) { return signature != 0; }

uint32 AppMatch(void* ignored, const uint32* signatures) {
    if (!cachedInfo.filled) {
        GetOSInfo(ignored, cachedInfo.info);
        cachedInfo.filled = true;
    }
    const OSInfo& info = cachedInfo.info;
    for (const uint32* s = signatures; s && *s; ++s)
        if (*s == info.signature)
            return uint32(info.majorVersion) << 24 | uint32(info.minorVersion & 15) << 20 |
                   uint32(info.fixVersion & 15) << 16;
    return 0;
}

uint32 MapSignature(const char*) { return 0; }

bool IsRunningNatively() {
#if defined(__APPLE__)
    int native = 1;
    size_t size = sizeof native;
    if (sysctlbyname("sysctl.proc_native", &native, &size, nullptr, 0) != 0) return true;
    return native != 0;
#else
    return true;
#endif
}
