// Float images with a mirrored border, their memory check and their copies.
#include "image/fl_image.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "host/alerts.h"
#include "host/globals.h"
#include "host/host_services.h"
#include "host/colorspace.h"

namespace {

const char* const kUint8ImageMemoryText =
    "(Vexlor error)  Memory allocation failed. / Not enough memory to run this plugin.  Go to Edit -> "
    "Preferences -> Performance to increase memory allocation.";

const int64_t kBytesPerPixel = 3 * int64_t(sizeof(float));

}  // namespace

fl_image::fl_image(int32 w, int32 h) : padX(kFlimagePad), padY(kFlimagePad), width(w), height(h) { allocate(); }

fl_image::fl_image(flimageDimensions d) : padX(d.padX), padY(d.padY), width(d.width), height(d.height) {
    allocate();
}

void fl_image::allocate() {
    bufferID = nullptr;
    data = nullptr;
    locked = false;
    kind = 2;
    paddingGenerated = false;

    // Sizes in 64 bits: a buffer the host cannot address (its sizes are
    // 32-bit) is refused here, leaving data null for handleInvalidMemory.
    const int64_t pw = int64_t(width) + 2 * int64_t(padX);
    const int64_t ph = int64_t(height) + 2 * int64_t(padY);
    const int64_t limit = std::numeric_limits<int32>::max();
    const bool valid = width >= 0 && height >= 0 && padX >= 0 && padY >= 0 && pw > 0 && ph > 0 &&
                       pw <= limit / kBytesPerPixel && ph <= limit / (pw * kBytesPerPixel);
    if (!valid) {
        paddedWidth = pw > 0 && pw <= limit ? int32(pw) : 0;
        paddedHeight = ph > 0 && ph <= limit ? int32(ph) : 0;
        rowBytes = 0;
        bufferSize = 0;
        return;
    }
    paddedWidth = int32(pw);
    paddedHeight = int32(ph);
    rowBytes = int32(pw * kBytesPerPixel);
    bufferSize = pw * ph * kBytesPerPixel;

    if (gFilterRecord) reallocate();
}

void fl_image::reallocate() {
    paddingGenerated = false;
    memoryAllocate(bufferSize, bufferID, data);
    locked = data != nullptr;
    if (!locked) freeBuffer();  // given but not locked: freed, not unlocked
}

void fl_image::unlock() {
    if (!bufferID || !locked) return;
    if (gFilterRecord && gFilterRecord->bufferProcs) gFilterRecord->bufferProcs->unlockProc(bufferID);
    locked = false;
    data = nullptr;
}

void fl_image::relock() {
    if (!bufferID || locked || !gFilterRecord || !gFilterRecord->bufferProcs) return;
    data = reinterpret_cast<float*>(gFilterRecord->bufferProcs->lockProc(bufferID, true));
    locked = data != nullptr;
}

fl_image::~fl_image() { freeBuffer(); }

void fl_image::freeBuffer() {
    pendingCoarse.reset();
    pendingDetails.reset();
    if (!bufferID) return;
    BufferProcs* procs = gFilterRecord ? gFilterRecord->bufferProcs : nullptr;
    if (procs) {
        if (locked) procs->unlockProc(bufferID);
        procs->freeProc(bufferID);
    }
    locked = false;
    bufferID = nullptr;
    data = nullptr;
}

void fl_image::generatePadding() {
    const int32 pw = paddedWidth;
    float* const d = data;
    auto px = [d, pw](int32 x, int32 y) { return d + (int64_t(y) * pw + x) * 3; };
    auto copy = [&](int32 dx, int32 dy, int32 sx, int32 sy) { std::memcpy(px(dx, dy), px(sx, sy), 3 * sizeof(float)); };
    // Border coordinate to the interior coordinate it mirrors.
    auto mirrorX = [this](int32 x) {
        return x < padX ? 2 * padX - x : (x >= padX + width ? 2 * (padX + width) - 2 - x : x);
    };
    auto mirrorY = [this](int32 y) {
        return y < padY ? 2 * padY - y : (y >= padY + height ? 2 * (padY + height) - 2 - y : y);
    };
    const int32 left = padX, right = padX + width, top = padY, bottom = padY + height;
    auto fill = [&](int32 x0, int32 x1, int32 y0, int32 y1) {
        for (int32 y = y0; y < y1; ++y)
            for (int32 x = x0; x < x1; ++x) copy(x, y, mirrorX(x), mirrorY(y));
    };
    // Every source lies in the interior, so the regions are independent.
    fill(0, left, 0, top);                       // top-left corner
    fill(left, right, 0, top);                   // top edge
    fill(right, paddedWidth, 0, top);            // top-right corner
    fill(0, left, top, bottom);                  // left edge
    fill(right, paddedWidth, top, bottom);       // right edge
    fill(0, left, bottom, paddedHeight);         // bottom-left corner
    fill(left, right, bottom, paddedHeight);     // bottom edge
    fill(right, paddedWidth, bottom, paddedHeight);  // bottom-right corner
    paddingGenerated = true;
}

void fl_image::swapBuffer(fl_image& other) {
    std::swap(bufferID, other.bufferID);
    std::swap(bufferSize, other.bufferSize);
    std::swap(data, other.data);
    std::swap(locked, other.locked);
    std::swap(paddingGenerated, other.paddingGenerated);
}

void fl_image::regeneratePadding() {
    paddingGenerated = false;
    generatePadding();
}

flimageDimensions getFlimageDimensions(const fl_image& img) {
    return flimageDimensions{img.padX, img.padY, img.width, img.height};
}

void getUint8imageDimensions(const fl_image& img, int32& width, int32& height) {
    width = img.width;
    height = img.height;
}

void getUint8imageDimensions(const uint8_image& img, int32& width, int32& height) {
    width = img.width;
    height = img.height;
}

bool doesPaddingExceedImage(const fl_image& img) {
    return doesPaddingExceedImage(img.width, img.height, img.padX, img.padY);
}

bool doesPaddingExceedImage(int32 width, int32 height, int32 padX, int32 padY) {
    return padX >= width || padY >= height;
}

bool doesPaddingExceedLifting(int32 width, int32 height, int32 padX, int32 padY, uint16 levels) {
    // Capped so that absurd level counts stay finite; any such f exceeds
    // every image anyway.
    const double f = levels >= 62 ? 4611686018427387904.0 : std::floor(power(2, levels));
    return f * padX >= width || f * padY >= height;
}

bool handleInvalidMemory(fl_image& img) {
    if (img.bufferID && img.data) return false;
    reportOutOfMemory();
    return true;
}

bool handleInvalidMemory(uint8_image& img) {
    if (img.bufferID && img.data) return false;
    doAlertBox(kUint8ImageMemoryText);
    *gResult = userCanceledErr;
    return true;
}

void flimageToFlimage(fl_image& src, fl_image& dst, int32 srcX, int32 srcY, int32 dstX, int32 dstY) {
    if (!src.data || !dst.data) return;
    const int64_t w = std::min(int64_t(src.paddedWidth) - srcX, int64_t(dst.paddedWidth) - dstX);
    const int64_t h = std::min(int64_t(src.paddedHeight) - srcY, int64_t(dst.paddedHeight) - dstY);
    if (w < 1 || h < 1 || srcX < 0 || srcY < 0 || dstX < 0 || dstY < 0) return;
    for (int64_t j = 0; j < h; ++j) {
        const float* s = src.data + ((srcY + j) * src.paddedWidth + srcX) * 3;
        float* d = dst.data + ((dstY + j) * dst.paddedWidth + dstX) * 3;
        std::memmove(d, s, size_t(w) * 3 * sizeof(float));
    }
}

void flimageToFlimage(fl_image& src, fl_image& dst) { flimageToFlimage(src, dst, 0, 0, 0, 0); }

void flimageToUint8(unsigned char* dst, int32 dstRowBytes, fl_image& img, int32 width, int32 height) {
    for (int32 y = 0; y < height; ++y) {
        const float* s = img.data + ((int64_t(y) + img.padY) * img.paddedWidth + img.padX) * 3;
        unsigned char* d = dst + int64_t(y) * dstRowBytes;
        for (int32 i = 0; i < width * 3; ++i) {
            float v = s[i];
            v = v >= 0.0f ? v : 0.0f;  // NaN fails the test too
            v = v > 255.0f ? 255.0f : v;
            d[i] = static_cast<unsigned char>(double(v) + 0.5);
        }
    }
}

void uint8imageFromPointerData(unsigned char* src, int32 srcRowBytes, int32 srcX, int32 srcY, uint8_image& dst,
                               int32 dstX, int32 dstY, int32 width, int32 height) {
    for (int32 j = 0; j < height; ++j) {
        const unsigned char* s = src + (int64_t(srcY) + j) * srcRowBytes + int64_t(srcX) * 3;
        unsigned char* d = dst.data + ((int64_t(dstY) + j) * dst.width + dstX) * 3;
        std::memmove(d, s, size_t(width) * 3);
    }
}

void uint8imageToUint8image(uint8_image& src, uint8_image& dst, int32 srcX, int32 srcY, int32 dstX, int32 dstY,
                            int32 width, int32 height) {
    for (int32 j = 0; j < height; ++j) {
        const unsigned char* s = src.data + ((int64_t(srcY) + j) * src.width + srcX) * 3;
        unsigned char* d = dst.data + ((int64_t(dstY) + j) * dst.width + dstX) * 3;
        std::memmove(d, s, size_t(width) * 3);
    }
}

namespace {

// rowStep in samples.
template <typename T>
void copyTranslated(const T* src, int64_t srcRowStep, T* dst, int64_t dstRowStep, int32 srcX, bool xForward,
                    int32 srcY, bool yForward, int32 dstX, int32 dstY, int32 width, int32 height) {
    const int64_t xStep = xForward ? 3 : -3;
    const int64_t yStep = yForward ? srcRowStep : -srcRowStep;
    const T* srcRow = src + int64_t(srcY) * srcRowStep + int64_t(srcX) * 3;
    T* dstRow = dst + int64_t(dstY) * dstRowStep + int64_t(dstX) * 3;
    for (int32 j = 0; j < height; ++j) {
        const T* s = srcRow;
        T* d = dstRow;
        for (int32 i = 0; i < width; ++i) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
            s += xStep;
            d += 3;
        }
        srcRow += yStep;
        dstRow += dstRowStep;
    }
}

}  // namespace

void copyWithTranslation(const float* src, int32, int32, int32 srcRowBytes, float* dst, int32, int32,
                         int32 dstRowBytes, int32 srcX, bool xForward, int32 srcY, bool yForward, int32 dstX,
                         int32 dstY, int32 width, int32 height) {
    copyTranslated(src, srcRowBytes / 4, dst, dstRowBytes / 4, srcX, xForward, srcY, yForward, dstX, dstY, width,
                   height);
}

void copyWithTranslation(const unsigned char* src, int32, int32, int32 srcRowBytes, unsigned char* dst, int32,
                         int32, int32 dstRowBytes, int32 srcX, bool xForward, int32 srcY, bool yForward, int32 dstX,
                         int32 dstY, int32 width, int32 height) {
    copyTranslated(src, srcRowBytes, dst, dstRowBytes, srcX, xForward, srcY, yForward, dstX, dstY, width, height);
}

void copyWithTranslation(const void* src, int32, int32, int32 srcRowBytes, char* dst, int32, int32,
                         int32 dstRowBytes, int32 srcX, bool xForward, int32 srcY, bool yForward, int32 dstX,
                         int32 dstY, int32 width, int32 height) {
    copyTranslated(static_cast<const char*>(src), srcRowBytes, dst, dstRowBytes, srcX, xForward, srcY, yForward,
                   dstX, dstY, width, height);
}
