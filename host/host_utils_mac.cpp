// The host's handle, buffer and resource tables with the system's memory as
// the fallback, the string helpers and the plug-in's resources.
#include "host/host_utils_mac.h"

#include <Carbon.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "host/capabilities_mac.h"

namespace {
bool hostHandles(const HandleProcs* procs) { return HostHandleProcsAvailable(procs, nullptr); }

// The system's handle holds its data behind its master pointer.
Ptr systemData(Handle h) { return *reinterpret_cast<Ptr*>(h); }

const ResType kStringType = 0x53545220;  // 'STR '

// s gets the bytes, cut at 255, with a zero byte after them where there is room.
void setPString(Str255 s, const void* bytes, size_t length) {
    length = std::min<size_t>(length, 255);
    std::memmove(s + 1, bytes, length);
    s[0] = uint8(length);
    if (length < 255) s[length + 1] = 0;
}
}  // namespace

Handle HostNewHandle(const HandleProcs* procs, int32 size) {
    if (hostHandles(procs)) return procs->newProc(size);
    return NewHandle(size);
}

void HostDisposeHandle(const HandleProcs* procs, Handle h) {
    if (!h) return;
    if (hostHandles(procs)) procs->disposeProc(h);
    else DisposeHandle(h);
}

int32 HostGetHandleSize(const HandleProcs* procs, Handle h) {
    if (!h) return 0;
    if (hostHandles(procs)) return procs->getSizeProc(h);
    return int32(GetHandleSize(h));
}

OSErr HostSetHandleSize(const HandleProcs* procs, Handle h, int32 size) {
    if (!h) return nilHandleErr;
    if (hostHandles(procs)) return procs->setSizeProc(h, size);
    SetHandleSize(h, size);
    return MemError();
}

Ptr HostLockHandle(const HandleProcs* procs, Handle h, Boolean moveHigh) {
    if (!h) return nullptr;
    if (hostHandles(procs)) return procs->lockProc(h, moveHigh);
    if (moveHigh) HLockHi(h);
    else HLock(h);
    return MemError() == noErr ? systemData(h) : nullptr;
}

void HostUnlockHandle(const HandleProcs* procs, Handle h) {
    if (!h) return;
    if (hostHandles(procs)) procs->unlockProc(h);
    else HUnlock(h);
}

int32 HostBufferSpace(const BufferProcs* procs) {
    return HostBufferProcsAvailable(procs, nullptr) ? procs->spaceProc() : 0;
}

OSErr HostAllocateBuffer(const BufferProcs* procs, int32 size, BufferID& bufferID) {
    bufferID = nullptr;
    if (!HostBufferProcsAvailable(procs, nullptr)) return memFullErr;
    return procs->allocateProc(size, &bufferID);
}

void HostFreeBuffer(const BufferProcs* procs, BufferID bufferID) {
    if (HostBufferProcsAvailable(procs, nullptr)) procs->freeProc(bufferID);
}

Ptr HostLockBuffer(const BufferProcs* procs, BufferID bufferID, Boolean moveHigh) {
    return HostBufferProcsAvailable(procs, nullptr) ? procs->lockProc(bufferID, moveHigh) : nullptr;
}

void HostUnlockBuffer(const BufferProcs* procs, BufferID bufferID) {
    if (HostBufferProcsAvailable(procs, nullptr)) procs->unlockProc(bufferID);
}

OSErr HostAllocateStripBuffer(const BufferProcs* procs, int32 rowBytes, int16 minHeight, int16 maxHeight,
                              int32 divisor, int16& height, BufferID& bufferID) {
    height = 0;
    bufferID = nullptr;
    if (divisor <= 0 || rowBytes <= 0) return paramErr;
    if (!HostBufferProcsAvailable(procs, nullptr)) return memFullErr;
    // A request is a 32-bit size.
    int64_t h = std::min<int64_t>({int64_t(procs->spaceProc()) / divisor / rowBytes, maxHeight, INT32_MAX / rowBytes});
    for (; h >= std::max<int64_t>(minHeight, 1); --h) {
        BufferID id = nullptr;
        if (procs->allocateProc(int32(int64_t(rowBytes) * h), &id) == noErr && id) {
            height = int16(h);
            bufferID = id;
            return noErr;
        }
    }
    return memFullErr;
}

int16 HostCountPIResources(const ResourceProcs* procs, ResType type) {
    return HostResourceProcsAvailable(procs, nullptr) ? procs->countProc(type) : 0;
}

Handle HostGetPIResource(const ResourceProcs* procs, ResType type, int16 index) {
    return HostResourceProcsAvailable(procs, nullptr) ? procs->getProc(type, index) : nullptr;
}

void HostDeletePIResource(const ResourceProcs* procs, ResType type, int16 index) {
    if (HostResourceProcsAvailable(procs, nullptr)) procs->deleteProc(type, index);
}

OSErr HostAddPIResource(const ResourceProcs* procs, ResType type, Handle data) {
    return HostResourceProcsAvailable(procs, nullptr) ? procs->addProc(type, data) : OSErr(memFullErr);
}

void HostHandle2CString(const HandleProcs* procs, Handle h, char* out, size_t outSize) {
    if (!out || outSize == 0) return;
    out[0] = 0;
    int32 size = HostGetHandleSize(procs, h);
    if (size <= 0) return;
    Ptr data = HostLockHandle(procs, h, false);
    if (!data) return;
    size_t n = std::min(size_t(size), outSize - 1);
    std::memcpy(out, data, n);
    out[n] = 0;
    HostUnlockHandle(procs, h);
}

void HostHandle2PString(const HandleProcs* procs, Handle h, Str255 out) {
    PIResetString(out);
    int32 size = HostGetHandleSize(procs, h);
    if (size <= 0) return;
    Ptr data = HostLockHandle(procs, h, false);
    if (!data) return;
    setPString(out, data, size_t(size));
    HostUnlockHandle(procs, h);
}

namespace {
OSErr bytesToHandle(const HandleProcs* procs, const void* bytes, size_t size, Handle& h) {
    h = nullptr;
    if (size > size_t(INT32_MAX)) return memFullErr;
    Handle made = HostNewHandle(procs, int32(size));
    if (!made) return memFullErr;
    if (size > 0) {
        Ptr data = HostLockHandle(procs, made, false);
        if (!data) {
            HostDisposeHandle(procs, made);
            return memFullErr;
        }
        std::memcpy(data, bytes, size);
        HostUnlockHandle(procs, made);
    }
    h = made;
    return noErr;
}
}  // namespace

OSErr HostCString2Handle(const HandleProcs* procs, const char* text, Handle& h) {
    if (!text) return paramErr;
    return bytesToHandle(procs, text, std::strlen(text), h);
}

OSErr HostPString2Handle(const HandleProcs* procs, const unsigned char* text, Handle& h) {
    if (!text) return paramErr;
    return bytesToHandle(procs, text + 1, text[0], h);
}

OSErr HostHandle2Version(const HandleProcs* procs, Handle h, int32& version) {
    if (HostGetHandleSize(procs, h) < int32(sizeof version)) return paramErr;
    Ptr data = HostLockHandle(procs, h, false);
    if (!data) return memFullErr;
    std::memcpy(&version, data, sizeof version);
    HostUnlockHandle(procs, h);
    return noErr;
}

OSErr HostHandle2VersionString(const HandleProcs* procs, Handle h, Str255 out) {
    int32 version = 0;
    OSErr err = HostHandle2Version(procs, h, version);
    if (err != noErr) return err;
    PIResetString(out);
    const long numbers[3] = {version >> 16, (version >> 8) & 255, version & 255};
    for (int i = 0; i < 3; ++i) {
        Str255 number;
        NumToString(numbers[i], number);
        if (i > 0) AppendCharToString(out, '.');
        PStrCat(out, number);
    }
    return noErr;
}

OSErr HostHandleCat(const HandleProcs* procs, Handle* target, Handle source) {
    if (!target) return paramErr;
    int32 sourceSize = HostGetHandleSize(procs, source);
    if (sourceSize <= 0) return noErr;
    const bool created = !*target;
    if (created) {
        *target = HostNewHandle(procs, 0);
        if (!*target) return memFullErr;
    }
    const int32 targetSize = HostGetHandleSize(procs, *target);
    bool resized = false;
    auto fail = [&](OSErr err) {
        if (created) {
            HostDisposeHandle(procs, *target);
            *target = nullptr;
        } else if (resized) {
            HostSetHandleSize(procs, *target, targetSize);
        }
        return err;
    };
    if (targetSize < 0 || int64_t(targetSize) + sourceSize > INT32_MAX) return fail(memFullErr);
    OSErr err = HostSetHandleSize(procs, *target, targetSize + sourceSize);
    if (err != noErr) return fail(err);
    resized = true;
    // The source may be the target itself: lock it once.
    Ptr to = HostLockHandle(procs, *target, false);
    Ptr from = source == *target ? to : HostLockHandle(procs, source, false);
    if (to && from) std::memmove(to + targetSize, from, size_t(sourceSize));
    if (from && source != *target) HostUnlockHandle(procs, source);
    if (to) HostUnlockHandle(procs, *target);
    return to && from ? OSErr(noErr) : fail(memFullErr);
}

OSErr HostHandleCopy(const HandleProcs* procs, Handle* target, Handle source) {
    if (!target) return paramErr;
    Handle copy = nullptr;
    OSErr err = HostHandleCat(procs, &copy, source);
    if (err == noErr && !copy && source) {
        copy = HostNewHandle(procs, 0);
        if (!copy) err = memFullErr;
    }
    if (err == noErr) *target = copy;
    return err;
}

OSErr HostCloseReader(PIDescriptorParameters* params, const HandleProcs* procs, PIReadDescriptor& token) {
    if (!params || !params->readDescriptorProcs) return errPlugInHostInsufficient;
    OSErr err = params->readDescriptorProcs->closeReadDescriptorProc(token);
    token = nullptr;
    HostDisposeHandle(procs, params->descriptor);
    params->descriptor = nullptr;
    return err;
}

OSErr HostCloseWriter(PIDescriptorParameters* params, const HandleProcs* procs, PIWriteDescriptor& token) {
    if (!params || !params->writeDescriptorProcs) return errPlugInHostInsufficient;
    Handle written = nullptr;
    OSErr err = params->writeDescriptorProcs->closeWriteDescriptorProc(token, &written);
    token = nullptr;
    HostDisposeHandle(procs, params->descriptor);
    params->descriptor = written;
    return err;
}

OSErr HostPutObj(PIDescriptorParameters* params, const HandleProcs* procs, PIWriteDescriptor token,
                 DescriptorKeyID key, DescriptorTypeID type, Handle& descriptor) {
    if (!params || !params->writeDescriptorProcs) return errPlugInHostInsufficient;
    OSErr err = params->writeDescriptorProcs->putObjectProc(token, key, type, descriptor);
    HostDisposeHandle(procs, descriptor);
    descriptor = nullptr;
    return err;
}

bool HostPlayDialog(const PIDescriptorParameters* params) {
    return params && params->playInfo == plugInDialogDisplay;
}

OSErr HostReportError(Str255* errorString, const unsigned char* message) {
    if (errorString && message) std::memcpy(*errorString, message, size_t(message[0]) + 1);
    return errReportString;
}

void* HostGetPlatformWindowPtr() { return nullptr; }

OSErr HostGetResource(ResType type, int16 id, Handle& h) {
    h = nullptr;
    Handle resource = GetResource(type, id);
    if (!resource) return ResError() != noErr ? ResError() : OSErr(resNotFound);
    const Size size = GetHandleSize(resource);
    Handle copy = NewHandle(size);
    if (copy) {
        HLock(resource);
        HLock(copy);
        std::memcpy(systemData(copy), systemData(resource), size_t(size));
        HUnlock(copy);
        HUnlock(resource);
    }
    ReleaseResource(resource);
    h = copy;
    return copy ? noErr : memFullErr;
}

OSErr HostGetString(int16 id, Str255 out) {
    PIResetString(out);
    Handle h = nullptr;
    OSErr err = HostGetResource(kStringType, id, h);
    if (err != noErr) return err;
    const Size size = GetHandleSize(h);
    HLock(h);
    const auto* bytes = reinterpret_cast<const unsigned char*>(systemData(h));
    // No more characters than the resource holds.
    if (size > 0) setPString(out, bytes + 1, std::min<size_t>(bytes[0], size_t(size - 1)));
    HUnlock(h);
    DisposeHandle(h);
    return noErr;
}

Ptr AllocateGlobals(const HandleProcs* procs, int32 size, intptr_t* data, void (*initGlobals)(Ptr globals)) {
    if (!data) return nullptr;
    Handle h = HostNewHandle(procs, size);
    if (!h) return nullptr;
    Ptr globals = HostLockHandle(procs, h, false);
    if (!globals) {
        HostDisposeHandle(procs, h);
        return nullptr;
    }
    if (initGlobals) initGlobals(globals);
    *data = reinterpret_cast<intptr_t>(h);
    return globals;
}

void PIResetString(Str255 s) {
    s[0] = 0;
    s[1] = 0;
}

void AppendString(Str255 s, const unsigned char* source, int16 first, int16 count) {
    const bool inSource = source && first >= 1 && count > 0 && first <= source[0];
    const size_t available = inSource ? size_t(source[0]) - size_t(first) + 1 : 0;
    const size_t n = std::min({size_t(std::max<int16>(count, 0)), available, size_t(254 - std::min<int>(s[0], 254))});
    if (n > 0) std::memmove(s + 1 + s[0], source + first, n);
    s[0] = uint8(std::min<size_t>(s[0] + n, 254));
    s[s[0] + 1] = 0;
}

void AppendCharToString(Str255 s, unsigned char c) {
    if (s[0] < 254) s[++s[0]] = c;
    s[std::min<int>(s[0], 254) + 1] = 0;
}

int32 PIstrlen(const char* s) { return s ? int32(std::strlen(s)) : 0; }

void PToCStr(const unsigned char* p, char* out) {
    const size_t n = p[0];
    std::memmove(out, p + 1, n);
    out[n] = 0;
}

void CToPStr(const char* c, Str255 out) { setPString(out, c, strnlen(c, 255)); }

void PStrCat(Str255 s, const unsigned char* t) {
    const size_t n = std::min<size_t>(t[0], 255 - s[0]);
    std::memmove(s + 1 + s[0], t + 1, n);
    s[0] = uint8(s[0] + n);
    if (s[0] < 255) s[s[0] + 1] = 0;
}

void PStrInsert(Str255 s, const unsigned char* t) {
    unsigned char joined[512];
    std::memcpy(joined, t + 1, t[0]);
    std::memcpy(joined + t[0], s + 1, s[0]);
    setPString(s, joined, size_t(t[0]) + s[0]);
}

void HostStringCat(char* s, size_t sSize, const char* t) {
    if (!s || !t || sSize == 0) return;
    const size_t used = strnlen(s, sSize - 1);
    const size_t n = strnlen(t, sSize - 1 - used);
    std::memcpy(s + used, t, n);
    s[used + n] = 0;
}

void HostCopy(void* destination, const void* source, size_t count) {
    if (destination && source && count > 0) std::memmove(destination, source, count);
}

void HostBlockMove(void* destination, const void* source, size_t count) { HostCopy(destination, source, count); }

unsigned char UpperToLower(unsigned char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }

namespace {
int16 matchBytes(const unsigned char* a, size_t aLength, const unsigned char* b, size_t bLength, bool ignoreCase) {
    if (aLength != bLength) return -1;
    for (size_t i = 0; i < aLength; ++i) {
        unsigned char x = a[i], y = b[i];
        if (ignoreCase) {
            x = UpperToLower(x);
            y = UpperToLower(y);
        }
        if (x != y) return -1;
    }
    return 0;
}
}  // namespace

int16 HostMatch(const char* a, const char* b, bool ignoreCase) {
    if (!a || !b) return -1;
    return matchBytes(reinterpret_cast<const unsigned char*>(a), std::strlen(a),
                      reinterpret_cast<const unsigned char*>(b), std::strlen(b), ignoreCase);
}

int16 HostStringMatch(const unsigned char* a, const unsigned char* b, bool ignoreCase) {
    if (!a || !b) return -1;
    return matchBytes(a + 1, a[0], b + 1, b[0], ignoreCase);
}
