// Host samples of 8, 16 and 32 bits into float images, and megatile sizes.
#include "image/host_import.h"

#include <cstdint>

#include "host/band_runner.h"
#include "host/globals.h"
#include "host/host_services.h"
#include "host/big_document.h"
#include "image/colorspace_luts.h"

int32 megaTileChunksWide = 4;
int32 megaTileChunksHigh = 4;

namespace {

const int32 kDefaultHostTile = 256;
// 255 / 32768 exactly, as a float.
const float k16BitToByteScale = 0.007781982421875f;

// Walks the source as the host lays it out: rows rowBytes apart, pixels of
// `planes` samples; channel offsets 0, c1, c2 within a pixel.  Rows are
// independent, so they are copied in bands on every processor.
template <typename Sample, typename Convert>
void copyInto(fl_image& img, const void* src, int32 rowBytes, int32 x, int32 y, int32 width, int32 height,
              Convert convert) {
    const int16 planes = getExpectedImagePlanesAssuming1or3channels();
    // One grey plane fills all three channels; reading three samples per
    // one-sample pixel would smear neighbours together (and, on the last
    // pixel, read past the buffer).
    const int c1 = planes == 1 ? 0 : 1;
    const int c2 = planes == 1 ? 0 : 2;
    const Sample* const base = static_cast<const Sample*>(src);
    auto rows = [&](const bandInfo& band) {
        for (int32 j = band.firstRow; j < band.endRow; ++j) {
            // The row's byte offset in whole samples.
            const Sample* s = base + (int64_t(y) + j) * rowBytes / int64_t(sizeof(Sample)) + int64_t(planes) * x;
            float* d = img.data + ((int64_t(j) + img.padY) * img.paddedWidth + img.padX) * 3;
            if (planes == 3) {
                // Sample for sample, which the compiler turns into vector code.
                for (int64_t i = 0; i < int64_t(width) * 3; ++i) d[i] = convert(s[i]);
                continue;
            }
            for (int32 i = 0; i < width; ++i) {
                d[0] = convert(s[0]);
                d[1] = convert(s[c1]);
                d[2] = convert(s[c2]);
                s += planes;
                d += 3;
            }
        }
    };
    runBands(height, rows);
}

}  // namespace

namespace {
// A megatile of tiny host tiles would be little more than its 64-pixel
// apron, and the image would be filtered many times over: whatever tile the
// host suggests, a megatile spans at least this many pixels, in whole tiles.
const int64_t kMinimumMegatile = kDefaultHostTile;

int32 megatileSize(int32 hostTile, int32 chunks) {
    const int64_t tile = hostTile > 0 ? hostTile : kDefaultHostTile;
    const int64_t fewestChunks = (kMinimumMegatile + tile - 1) / tile;
    const int64_t size = tile * (chunks > fewestChunks ? chunks : fewestChunks);
    return size > INT32_MAX ? INT32_MAX : int32(size);
}
}  // namespace

int32 megatileGetWidth() { return megatileSize(gFilterRecord->inTileWidth, megaTileChunksWide); }

int32 megatileGetHeight() { return megatileSize(gFilterRecord->inTileHeight, megaTileChunksHigh); }

bool megatilesIsImageLargeEnough() {
    const VRect r = GetFilterRect();
    const int64_t width = int64_t(r.right) - r.left;
    const int64_t height = int64_t(r.bottom) - r.top;
    return width >= 2 * int64_t(megatileGetWidth()) || height >= 2 * int64_t(megatileGetHeight());
}

OSErr copyIntoFlimage8bit(fl_image& img, void* src, int32 rowBytes, int32 x, int32 y, int32 width, int32 height) {
    copyInto<uint8>(img, src, rowBytes, x, y, width, height, [](uint8 s) { return float(s); });
    return noErr;
}

OSErr copyIntoFlimage16bit(fl_image& img, void* src, int32 rowBytes, int32 x, int32 y, int32 width, int32 height) {
    copyInto<uint16>(img, src, rowBytes, x, y, width, height,
                     [](uint16 s) { return float(s) * k16BitToByteScale; });
    return noErr;
}

OSErr copyIntoFlimage32bit(fl_image& img, void* src, int32 rowBytes, int32 x, int32 y, int32 width, int32 height) {
    if (!cspacePtrLUT3) {
        reportOutOfMemory();
        return memFullErr;
    }
    // Linear light enters the engine gamma-encoded, on the scale of the
    // 8- and 16-bit samples; NaN counts as 0.
    copyInto<float>(img, src, rowBytes, x, y, width, height, [](float s) {
        const float v = linearToGammaLUT3(s);
        return v > 255.0f ? 255.0f : v;
    });
    return noErr;
}

OSErr copyIntoFlimage8bit3channelsOnly(fl_image& img, unsigned char* src, int32 rowBytes, int32 width,
                                       int32 height) {
    for (int32 j = 0; j < height; ++j) {
        const unsigned char* s = src + int64_t(j) * rowBytes;
        float* d = img.data + ((int64_t(j) + img.padY) * img.paddedWidth + img.padX) * 3;
        for (int32 i = 0; i < width * 3; ++i) d[i] = float(s[i]);
    }
    return noErr;
}
