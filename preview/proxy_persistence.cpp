// The preview's zoom state, window size and counters under four-character
// keys, as integers.
#include "preview/proxy_persistence.h"

#include <array>
#include <cstddef>

#include "host/host_services.h"
#include "preview/proxy.h"

namespace {

enum : DescriptorKeyID {
    keyZoomMode = FourCC("Zoom"),
    keyOffsetH = FourCC("Zmoh"),
    keyOffsetV = FourCC("Zmov"),
    keyFocalH = FourCC("Zmfh"),
    keyFocalV = FourCC("Zmfv"),
    keyWindowWidth = FourCC("Zmww"),
    keyWindowHeight = FourCC("Zmwh"),
    keyStoredWidth = FourCC("Zmpw"),
    keyStoredHeight = FourCC("Zmph"),
    keyZoomFactor = FourCC("Zmsz"),
    keyReadManual = FourCC("Zmrm"),
    keyShowAdvanced = FourCC("Zm00"),
};
}  // namespace

const checked_array<DescriptorKeyID, kProxyParamKeyCount> keyProxyParams = {
    {keyZoomMode, keyOffsetH, keyOffsetV, keyFocalH, keyFocalV, keyWindowWidth, keyWindowHeight, keyStoredWidth,
     keyStoredHeight}};

namespace {
// The first n keys of the preview state, then the zoom factor, the
// read-manual counter and the show-advanced byte.
template <std::size_t n>
std::array<DescriptorKeyID, n + 3> previewKeys() {
    std::array<DescriptorKeyID, n + 3> keys{};
    for (std::size_t i = 0; i < n; ++i) keys[i] = keyProxyParams[i];
    keys[n] = keyZoomFactor;
    keys[n + 1] = keyReadManual;
    keys[n + 2] = keyShowAdvanced;
    return keys;
}

// The registry's keys in their order; the scripting descriptor leaves out
// the two persisted-only integers at the end of the preview state's.
const auto kRegistryKeys = previewKeys<kProxyParamKeyCount>();
const auto kScriptingKeys = previewKeys<kProxyParamKeyCount - 2>();

const OSErr kNotAPreviewKey = -19;

int32* fieldOf(DescriptorKeyID key) {
    switch (key) {
        case keyZoomMode: return &pData.zoomMode;
        case keyOffsetH: return &pData.offsetH;
        case keyOffsetV: return &pData.offsetV;
        case keyFocalH: return &pData.focalH;
        case keyFocalV: return &pData.focalV;
        case keyWindowWidth: return &pData.windowWidth;
        case keyWindowHeight: return &pData.windowHeight;
        case keyStoredWidth: return &pData.storedWidth;
        case keyStoredHeight: return &pData.storedHeight;
        case keyZoomFactor: return &pData.zoomFactor;
        case keyReadManual: return &pData.readManual;
        default: return nullptr;
    }
}

bool isPreviewKey(DescriptorKeyID key) { return key == keyShowAdvanced || fieldOf(key); }

int32 valueOf(DescriptorKeyID key) { return key == keyShowAdvanced ? pData.showAdvanced : *fieldOf(key); }

void store(DescriptorKeyID key, int32 value) {
    if (key == keyShowAdvanced)
        pData.showAdvanced = uint8(value);
    else
        *fieldOf(key) = value;
}

}  // namespace

OSErr proxyReadRegistry(PSActionDescriptorProcs* procs, PIActionDescriptor descriptor) {
    if (!procs || !procs->GetInteger) return errPlugInHostInsufficient;
    for (DescriptorKeyID key : kRegistryKeys) {
        int32 value = 0;
        const OSErr err = toOSErr(procs->GetInteger(descriptor, key, &value));
        if (err != noErr) return err;
        store(key, value);
    }
    return noErr;
}

OSErr proxyWriteRegistry(PSActionDescriptorProcs* procs, PIActionDescriptor descriptor) {
    if (!procs || !procs->PutInteger) return errPlugInHostInsufficient;
    for (DescriptorKeyID key : kRegistryKeys) {
        const OSErr err = toOSErr(procs->PutInteger(descriptor, key, valueOf(key)));
        if (err != noErr) return err;
    }
    return noErr;
}

OSErr proxyWriteScripting(WriteDescriptorProcs* procs, PIWriteDescriptor token) {
    if (!procs || !procs->putIntegerProc) return errPlugInHostInsufficient;
    OSErr first = noErr;
    for (DescriptorKeyID key : kScriptingKeys) {
        const OSErr err = procs->putIntegerProc(token, key, valueOf(key));
        if (first == noErr) first = err;
    }
    return first;
}

OSErr proxyReadScripting(ReadDescriptorProcs* procs, PIReadDescriptor token, DescriptorKeyID key) {
    if (!isPreviewKey(key)) return kNotAPreviewKey;
    if (!procs || !procs->getIntegerProc) return errPlugInHostInsufficient;
    int32 value = 0;
    const OSErr err = procs->getIntegerProc(token, &value);
    if (err != noErr) return err;
    store(key, value);
    return noErr;
}
