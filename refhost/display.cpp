// displayPixels: a picture the plug-in hands the host to show, checked to
// lie in one live, locked host buffer, recorded for the tests and drawn
// into the context it names.
#include <algorithm>
#include <string>
#include <utility>

#include "refhost/host_impl.h"
#include "refhost/platform.h"

namespace refhost {

namespace {

// The planes a picture of the mode shows.
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

}  // namespace

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

}  // namespace refhost
