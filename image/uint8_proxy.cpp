// 8-bit views of host image data.
#include "image/uint8_proxy.h"

#include <cstring>

#include "host/alerts.h"
#include "host/globals.h"
#include "host/host_services.h"
#include "host/big_document.h"
#include "image/colorspace_luts.h"

namespace {

// The id and the pointer both set, or both null.
void allocateBytes(int64_t bytes, BufferID& id, unsigned char*& ptr) {
    id = nullptr;
    ptr = nullptr;
    if (bytes <= 0) return;
    memoryAllocate(bytes, id, ptr);
    if (!ptr && id) {
        if (gFilterRecord && gFilterRecord->bufferProcs) gFilterRecord->bufferProcs->freeProc(id);
        id = nullptr;
    }
}

// A memory failure shows its own alert and sets the host result as every
// other memory failure does.
void failAllocation(const char* text) {
    doAlertBox(text);
    *gResult = userCanceledErr;
}

const char* const kInterleaveErrorText = "Vexlor: Error making interleaved buffer. Code: ";

}  // namespace

uint8ImageProxyFromAdvanceState::~uint8ImageProxyFromAdvanceState() { release(); }

void uint8ImageProxyFromAdvanceState::release() {
    memoryRelease(bufferSize, bufferID, bufferPtr);
    bufferID = nullptr;
    bufferPtr = nullptr;
    data = nullptr;
}

void uint8ImageProxyFromAdvanceState::init(VRect rect, int16 wantedPlanes, int16 rate) {
    errorCode = noErr;
    if (getExpectedImagePlanes() != wantedPlanes) errorCode = filterBadParameters;

    release();
    bufferSize = 0;
    bytesPerSample = 0;
    rowStride = 0;
    planes = wantedPlanes;
    width = rect.right - rect.left;
    height = rect.bottom - rect.top;

    SetInRect(rect);
    SetOutRect(rect);
    setInputRate(rate);
    gFilterRecord->inLoPlane = 0;
    gFilterRecord->inHiPlane = int16(planes - 1);
    gFilterRecord->outLoPlane = 0;
    gFilterRecord->outHiPlane = int16(planes - 1);
    const OSErr err = gFilterRecord->advanceState();
    if (err != noErr) {
        errorCode = err;
        doAlertBox("(Vexlor) uint8ImageProxyFromAdvanceState::init error code: ", err);
        return;
    }
    if (width <= 0 || height <= 0 || planes <= 0 || !gFilterRecord->inData) {
        errorCode = filterBadParameters;
        return;
    }

    const int64_t samplesPerRow = int64_t(planes) * width;
    const int64_t samples = samplesPerRow * height;
    const unsigned char* const in = static_cast<const unsigned char*>(gFilterRecord->inData);
    const int32 inRowBytes = gFilterRecord->inRowBytes;

    switch (getFilterDepth()) {
        case 8:
            data = static_cast<unsigned char*>(gFilterRecord->inData);
            bytesPerSample = 1;
            rowStride = inRowBytes;
            return;
        case 16: {
            bytesPerSample = 2;
            bufferSize = samples * 2;
            allocateBytes(bufferSize, bufferID, bufferPtr);
            if (!bufferPtr) {
                failAllocation("(Vexlor) Uint16 buffer allocation failed!");
                errorCode = memFullErr;
                return;
            }
            unsigned char* out = bufferPtr;
            for (int32 y = 0; y < height; ++y) {
                const uint16* row = reinterpret_cast<const uint16*>(in + int64_t(y) * inRowBytes);
                for (int64_t i = 0; i < samplesPerRow; ++i) {
                    // s x 255/32768 + 0.5 rounded down, exact in whole
                    // numbers (so the compiler converts many samples at a
                    // time: profiling converts every block of a 16-bit
                    // image).  The host's 0..32768 scale may be overstepped,
                    // and the byte must not wrap then.
                    const uint32 v = (uint32(row[i]) * 255u + 16384u) >> 15;
                    out[i] = static_cast<unsigned char>(v >= 255u ? 255u : v);
                }
                out += samplesPerRow;
            }
            break;
        }
        case 32: {
            bytesPerSample = 4;
            if (handleMissingColorspaceLUTs()) {
                errorCode = memFullErr;
                return;
            }
            bufferSize = samples * 4;
            allocateBytes(bufferSize, bufferID, bufferPtr);
            if (!bufferPtr) {
                failAllocation("(Vexlor) Float buffer allocation failed!");
                errorCode = memFullErr;
                return;
            }
            unsigned char* out = bufferPtr;
            for (int32 y = 0; y < height; ++y) {
                const float* row = reinterpret_cast<const float*>(in + int64_t(y) * inRowBytes);
                for (int64_t i = 0; i < samplesPerRow; ++i) {
                    float v = linearToGammaLUT3(row[i]);
                    v = v > 0.0f ? (v < 255.0f ? v : 255.0f) : 0.0f;
                    *out++ = static_cast<unsigned char>(double(v) + 0.5);
                }
            }
            break;
        }
        default:
            errorCode = filterBadParameters;
            return;
    }
    // The converted copy has rows of its own, without the host's slack.
    data = bufferPtr;
    rowStride = int32(samplesPerRow);
}

interleaved8bit_from_planes::interleaved8bit_from_planes(int32 w, int32 planeRowBytes, int32 totalBytes,
                                                         unsigned char* planes)
    : width(w), rowBytes(0) {
    if (w > 0 && planeRowBytes >= w && totalBytes > 0) rows = (totalBytes / planeRowBytes) / 3;
    if (rows <= 0 || !planes) {
        errorCode = filterBadParameters;
        doAlertBox(kInterleaveErrorText, errorCode);
        return;
    }
    rowBytes = 3 * w;
    size = int64_t(w) * rows * 3;
    BufferID id = nullptr;
    unsigned char* p = nullptr;
    allocateBytes(size, id, p);
    bufferID = id;
    data = p;
    if (!data) {
        errorCode = memFullErr;
        doAlertBox(kInterleaveErrorText, errorCode);
        *gResult = userCanceledErr;
        return;
    }
    const int64_t planeBytes = totalBytes / 3;
    cursor = data;
    for (int32 r = 0; r < rows; ++r) {
        const unsigned char* red = planes + int64_t(r) * planeRowBytes;
        const unsigned char* green = red + planeBytes;
        const unsigned char* blue = red + 2 * planeBytes;
        for (int32 x = 0; x < w; ++x) {
            *cursor++ = red[x];
            *cursor++ = green[x];
            *cursor++ = blue[x];
        }
    }
}

interleaved8bit_from_planes::~interleaved8bit_from_planes() { memoryRelease(size, bufferID, data); }
