// The host's properties through the property suite, and the handle suite's
// conversions between handles and text.
#include "host/properties_mac.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "host/suites.h"

namespace {

// The suites' holders throw when the host gives no suite; that must not
// reach the host through PluginMain or an event handler.
template <typename F>
OSErr guarded(F f) {
    try {
        return f();
    } catch (uint32) {
        return errPlugInHostInsufficient;
    } catch (const std::bad_alloc&) {
        return memFullErr;
    }
}

// The host writes a pointer-sized value.
OSErr getSimple(uint32 key, int32 index, intptr_t& value) {
    const PropertyProcs* procs = sPSProperty.operator->();
    if (!procs->getPropertyProc) return errPlugInHostInsufficient;
    intptr_t v = 0;
    OSErr err = procs->getPropertyProc(kPhotoshopSignature, key, index, &v, nullptr);
    if (err == noErr) value = v;
    return err;
}

OSErr setSimple(uint32 key, int32 index, intptr_t value) {
    const PropertyProcs* procs = sPSProperty.operator->();
    if (!procs->setPropertyProc) return errPlugInHostInsufficient;
    return procs->setPropertyProc(kPhotoshopSignature, key, index, value, nullptr);
}

OSErr getComplex(uint32 key, int32 index, Handle& h) {
    const PropertyProcs* procs = sPSProperty.operator->();
    if (!procs->getPropertyProc) return errPlugInHostInsufficient;
    Handle got = nullptr;
    OSErr err = procs->getPropertyProc(kPhotoshopSignature, key, index, nullptr, &got);
    if (err == noErr) h = got;
    return err;
}

OSErr setComplex(uint32 key, Handle h) {
    const PropertyProcs* procs = sPSProperty.operator->();
    if (!procs->setPropertyProc) return errPlugInHostInsufficient;
    return procs->setPropertyProc(kPhotoshopSignature, key, 0, 0, h);
}

OSErr getLong(uint32 key, int32& out) {
    return guarded([&]() -> OSErr {
        intptr_t v = 0;
        OSErr err = getSimple(key, 0, v);
        if (err == noErr) out = int32(v);
        return err;
    });
}

OSErr getFlag(uint32 key, bool& out) {
    return guarded([&]() -> OSErr {
        intptr_t v = 0;
        OSErr err = getSimple(key, 0, v);
        if (err == noErr) out = int32(v) != 0;
        return err;
    });
}

OSErr setLong(uint32 key, int32 value) { return guarded([&]() -> OSErr { return setSimple(key, 0, value); }); }

OSErr getHandle(uint32 key, int32 index, Handle& out) { return guarded([&]() -> OSErr { return getComplex(key, index, out); }); }

OSErr setHandle(uint32 key, Handle h) { return guarded([&]() -> OSErr { return setComplex(key, h); }); }

OSErr getFixedPair(uint32 firstKey, uint32 secondKey, double& first, double& second) {
    return guarded([&]() -> OSErr {
        intptr_t a = 0, b = 0;
        OSErr err = getSimple(firstKey, 0, a);
        if (err == noErr) err = getSimple(secondKey, 0, b);
        if (err != noErr) return err;
        first = DoubleFromFixed(Fixed(a));
        second = DoubleFromFixed(Fixed(b));
        return noErr;
    });
}

OSErr setFixedPair(uint32 firstKey, uint32 secondKey, double first, double second) {
    Fixed a = 0, b = 0;
    if (FixedFromDouble(first, a) != noErr || FixedFromDouble(second, b) != noErr) return paramErr;
    return guarded([&]() -> OSErr {
        OSErr err = setSimple(firstKey, 0, a);
        return err == noErr ? setSimple(secondKey, 0, b) : err;
    });
}

// The handle's bytes through a lock; null when the handle gives none.
OSErr handleBytes(Handle h, std::vector<uint8>& bytes) {
    if (!h) return errPlugInHostInsufficient;
    const PSHandleSuite2* handles = sPSHandle.operator->();
    int32 size = handles->GetSize(h);
    if (size < 0) return errPlugInHostInsufficient;
    bytes.clear();
    if (size == 0) return noErr;
    Ptr data = nullptr;
    Boolean oldLock = false;
    handles->SetLock(h, true, &data, &oldLock);
    if (!data) return errPlugInHostInsufficient;
    bytes.assign(data, data + size);
    handles->SetLock(h, false, &data, &oldLock);
    return noErr;
}

OSErr bytesToHandle(const void* bytes, size_t size, Handle& h) {
    h = nullptr;
    if (size == 0 || size > size_t(INT32_MAX)) return errPlugInHostInsufficient;
    const PSHandleSuite2* handles = sPSHandle.operator->();
    Handle made = handles->New(int32(size));
    if (!made) return errPlugInHostInsufficient;
    Ptr data = nullptr;
    Boolean oldLock = false;
    handles->SetLock(made, true, &data, &oldLock);
    if (!data) {
        handles->Dispose(made);
        return errPlugInHostInsufficient;
    }
    std::memcpy(data, bytes, size);
    handles->SetLock(made, false, &data, &oldLock);
    h = made;
    return noErr;
}

void disposeHandle(Handle h) {
    if (h) sPSHandle->Dispose(h);
}

// A complex property's handle is ours: use is given it, and it is disposed
// afterwards, also when use fails.  Nothing is asked of the host before the
// handle suite is at hand to dispose it.
template <typename Use>
OSErr usePropertyHandle(uint32 key, int32 index, Use use) {
    return guarded([&]() -> OSErr {
        sPSHandle.operator->();
        Handle h = nullptr;
        OSErr err = getComplex(key, index, h);
        if (err != noErr) return err;
        if (!h) return errPlugInHostInsufficient;
        err = use(h);
        disposeHandle(h);
        return err;
    });
}

template <typename Text>
OSErr getText(uint32 key, int32 index, Text& text) {
    return usePropertyHandle(key, index, [&](Handle h) {
        Text got;
        OSErr err = HandleToString(h, got);
        if (err == noErr) text = std::move(got);
        return err;
    });
}

template <typename Text>
OSErr setText(uint32 key, const Text& text) {
    return guarded([&]() -> OSErr {
        Handle h = nullptr;
        OSErr err = StringToHandle(text, h);
        if (err != noErr) return err;
        err = setComplex(key, h);
        disposeHandle(h);
        return err;
    });
}

// The property's handle must hold the whole colour.
template <typename Color>
OSErr getColor(uint32 key, int32 index, Color& color) {
    return usePropertyHandle(key, index, [&](Handle h) -> OSErr {
        std::vector<uint8> bytes;
        if (handleBytes(h, bytes) != noErr || bytes.size() < sizeof(Color)) return errPlugInHostInsufficient;
        std::memcpy(&color, bytes.data(), sizeof(Color));
        return noErr;
    });
}

}  // namespace

double DoubleFromFixed(Fixed value) { return value / 65536.0; }

OSErr FixedFromDouble(double value, Fixed& fixed) {
    if (!(value >= -32768.0 && value < 32768.0)) return paramErr;
    fixed = Fixed(std::floor(value * 65536.0));
    return noErr;
}

OSErr HandleToString(Handle h, Str255 s) {
    return guarded([&]() -> OSErr {
        std::vector<uint8> bytes;
        OSErr err = handleBytes(h, bytes);
        if (err != noErr || bytes.empty()) return errPlugInHostInsufficient;
        size_t copied = std::min<size_t>(bytes.size(), 256);
        std::memcpy(s, bytes.data(), copied);
        size_t length = std::min<size_t>({size_t(s[0]), copied - 1, 254});
        s[0] = uint8(length);
        s[length + 1] = 0;
        return noErr;
    });
}

OSErr HandleToString(Handle h, std::string& text) {
    return guarded([&]() -> OSErr {
        std::vector<uint8> bytes;
        OSErr err = handleBytes(h, bytes);
        if (err == noErr) text.assign(bytes.begin(), bytes.end());
        return err;
    });
}

OSErr HandleToString(Handle h, std::wstring& text) {
    return guarded([&]() -> OSErr {
        std::vector<uint8> bytes;
        OSErr err = handleBytes(h, bytes);
        if (err != noErr) return err;
        std::vector<uint16> units(bytes.size() / 2);
        std::memcpy(units.data(), bytes.data(), units.size() * 2);
        std::wstring out;
        for (size_t i = 0; i < units.size(); ++i) {
            uint32 c = units[i];
            // Where wchar_t holds a whole character, a surrogate pair is one.
            if (sizeof(wchar_t) == 4 && c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() &&
                units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000)
                c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
            out += wchar_t(c);
        }
        text = std::move(out);
        return noErr;
    });
}

OSErr StringToHandle(const std::string& text, Handle& h) {
    return guarded([&]() -> OSErr { return bytesToHandle(text.data(), text.size(), h); });
}

OSErr StringToHandle(const std::wstring& text, Handle& h) {
    return guarded([&]() -> OSErr {
        std::vector<uint16> units;
        for (wchar_t w : text) {
            uint32 c = uint32(w);
            if (c >= 0x10000 && c <= 0x10FFFF) {
                units.push_back(uint16(0xD800 + ((c - 0x10000) >> 10)));
                units.push_back(uint16(0xDC00 + ((c - 0x10000) & 0x3FF)));
            } else {
                units.push_back(uint16(c));
            }
        }
        return bytesToHandle(units.data(), units.size() * 2, h);
    });
}

OSErr PIGetHostVersion(int32& major, int32& minor, int32& fix) {
    int32 v = 0;
    OSErr err = getLong(FourCC("vers"), v);
    if (err != noErr) return err;
    major = v >> 16;
    minor = (v >> 8) & 255;
    fix = v & 255;
    return noErr;
}

OSErr PIGetPlayInProgress(bool& inProgress) { return getFlag(FourCC("plip"), inProgress); }
OSErr PIGetEXIFData(Handle& data) { return getHandle(FourCC("EXIF"), 0, data); }
OSErr PISetEXIFData(Handle data) { return setHandle(FourCC("EXIF"), data); }
OSErr PIGetShowSliceNumbers(bool& show) { return getFlag(FourCC("slsh"), show); }
OSErr PIGetSelectedSliceIndex(int32& index) { return getLong(FourCC("slin"), index); }
OSErr PISetSelectedSliceIndex(int32 index) { return setLong(FourCC("slin"), index); }
OSErr PIGetSelectedSliceID(int32& id) { return getLong(FourCC("slid"), id); }
OSErr PISetSelectedSliceID(int32 id) { return setLong(FourCC("slid"), id); }
OSErr PIGetSlices(Handle& slices) { return getHandle(FourCC("slcs"), 0, slices); }
OSErr PISetSlices(Handle slices) { return setHandle(FourCC("slcs"), slices); }
OSErr PIGetPaintCursorKind(int32& kind) { return getLong(FourCC("PCrK"), kind); }
OSErr PIGetToolTips(bool& show) { return getFlag(FourCC("tltp"), show); }
OSErr PIGetDocumentWidth(int32& width) { return getLong(FourCC("docW"), width); }
OSErr PIGetDocumentHeight(int32& height) { return getLong(FourCC("docH"), height); }
OSErr PIGetWatermark(bool& present) { return getFlag(FourCC("watr"), present); }
OSErr PISetWatermark() { return setLong(FourCC("watr"), 1); }
OSErr PIGetCopyright(bool& copyrighted) { return getFlag(FourCC("cpyr"), copyrighted); }
OSErr PISetCopyright(bool copyrighted) { return setLong(FourCC("cpyr"), copyrighted); }
OSErr PIGetWatchSuspension(int32& level) { return getLong(FourCC("wtch"), level); }
OSErr PISetWatchSuspension(int32 level) { return setLong(FourCC("wtch"), level); }
OSErr PIGetRulerUnits(int32& units) { return getLong(FourCC("rulr"), units); }
OSErr PIGetInterpolationMethod(int32& method) { return getLong(FourCC("intp"), method); }
OSErr PIGetCaption(Handle& caption) { return getHandle(FourCC("capt"), 0, caption); }
OSErr PISetCaption(Handle caption) { return setHandle(FourCC("capt"), caption); }
OSErr PIGetPathContentsAI(int32 index, Handle& contents) { return getHandle(FourCC("paAI"), index, contents); }
OSErr PIGetPathContents(int32 index, Handle& contents) { return getHandle(FourCC("path"), index, contents); }
OSErr PIGetTargetPathIndex(int32& index) { return getLong(FourCC("tgpa"), index); }
OSErr PIGetClippingPathIndex(int32& index) { return getLong(FourCC("clpa"), index); }
OSErr PIGetWorkPathIndex(int32& index) { return getLong(FourCC("wkpa"), index); }
OSErr PIGetNumberPaths(int32& count) { return getLong(FourCC("nupa"), count); }
OSErr PIGetTargetLayerIndex(int32& index) { return getLong(FourCC("tgly"), index); }
OSErr PIGetNumberLayers(int32& count) { return getLong(FourCC("nuly"), count); }

OSErr PIGetTargetLayerLock(bool& transparency, bool& composite, bool& position) {
    int32 v = 0;
    OSErr err = getLong(FourCC("tllk"), v);
    if (err != noErr) return err;
    transparency = (v & 1) != 0;
    composite = (v & 2) != 0;
    position = (v & 4) != 0;
    return noErr;
}

OSErr PIGetImageMode(int32& mode) { return getLong(FourCC("mode"), mode); }
OSErr PIGetNumberChannels(int32& count) { return getLong(FourCC("nuch"), count); }

OSErr PIGetBigNudge(double& horizontal, double& vertical) {
    return getFixedPair(FourCC("bndH"), FourCC("bndV"), horizontal, vertical);
}
OSErr PISetBigNudge(double horizontal, double vertical) {
    return setFixedPair(FourCC("bndH"), FourCC("bndV"), horizontal, vertical);
}
OSErr PIGetRulerOrigin(double& horizontal, double& vertical) {
    return getFixedPair(FourCC("rorH"), FourCC("rorV"), horizontal, vertical);
}
OSErr PISetRulerOrigin(double horizontal, double vertical) {
    return setFixedPair(FourCC("rorH"), FourCC("rorV"), horizontal, vertical);
}
OSErr PIGetGrid(double& major, double& minor) { return getFixedPair(FourCC("grmj"), FourCC("grmn"), major, minor); }
OSErr PISetGrid(double major, double minor) { return setFixedPair(FourCC("grmj"), FourCC("grmn"), major, minor); }

OSErr PIGetUnicodeStr255Name(Str255 name) {
    return usePropertyHandle(FourCC("u25n"), 0, [&](Handle h) {
        Str255 got;
        OSErr err = HandleToString(h, got);
        if (err == noErr) std::memcpy(name, got, size_t(got[0]) + 2);
        return err;
    });
}

OSErr PIGetInterfaceColor(int32 kind, PIInterfaceColor& color) {
    return getColor(FourCC("iclr"), kind, color) == noErr ? noErr : errPlugInHostInsufficient;
}
OSErr PIGetSliceLineColor(RGBColor& color) { return getColor(FourCC("sllc"), 0, color); }

OSErr PIGetXMP(std::string& xmp) { return getText(FourCC("xmpd"), 0, xmp); }
OSErr PISetXMP(const std::string& xmp) { return setText(FourCC("xmpd"), xmp); }
OSErr PIGetURL(std::string& url) { return getText(FourCC("URL "), 0, url); }
OSErr PISetURL(const std::string& url) { return setText(FourCC("URL "), url); }
OSErr PIGetDocumentName(std::string& name) { return getText(FourCC("titl"), 0, name); }
OSErr PIGetDocumentName(std::wstring& name, bool withExtension) {
    return getText(withExtension ? FourCC("unnm") : FourCC("neun"), 0, name);
}
OSErr PIGetPathName(int32 index, std::string& name) { return getText(FourCC("nmpa"), index, name); }
OSErr PIGetPathName(int32 index, std::wstring& name) { return getText(FourCC("unmp"), index, name); }
OSErr PIGetLayerName(int32 index, std::string& name) { return getText(FourCC("lynm"), index, name); }
OSErr PIGetLayerName(int32 index, std::wstring& name) { return getText(FourCC("lynu"), index, name); }
OSErr PIGetChannelName(int32 index, std::string& name) { return getText(FourCC("nmch"), index, name); }
OSErr PIGetChannelName(int32 index, std::wstring& name) { return getText(FourCC("unch"), index, name); }
