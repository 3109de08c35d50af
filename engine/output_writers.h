// Output writers: a rectangle of an fl_image back into a host pixel buffer
// of 8, 16 or 32 bits.  Both products' writers have these names and this
// buffer handling; Glimra's store the processed pixels as they are, a and b
// neutral in Lab (glimra/output_writers.cpp), Halvane's mix them with the
// host's input.
#pragma once

#include <cstdint>

#include "PITypes.h"
#include "engine/band_driver.h"
#include "engine/lifting.h"
#include "image/fl_image.h"

// planes: the interleaved samples per pixel of both buffers: 1 writes (and
// reads) one sample per pixel, 3 three; 0 (the default) takes the host's
// plane count (getExpectedImagePlanesAssuming1or3channels), right for the
// host's own buffers.  A caller writing a three-channel buffer of its own,
// as the preview does, passes 3.
enum { kHostPlanes = 0 };

// The argument bundle of the struct forms.
struct lumaChromaMix_struct {
    void* origin;
    int32 originRowBytes;
    void* destination;
    int32 destinationRowBytes;
    bool maskFlag;
    int16 planes = kHostPlanes;
};

// Pointer forms: width x height pixels from image pixel (imageX, imageY) to
// destination pixel (destX, destY).  The origin (the host's input of the
// same rectangle, laid out like the destination) is not read by Glimra.
// Nothing is written when the image has no buffer, when the user has
// cancelled (progressUpdate(0)), or when width or height is not positive.
void lumaChromaMixTo8BitMaster(uint8* origin, int32 originRowBytes, uint8* destination, int32 destinationRowBytes,
                               int32 width, int32 height, int32 destX, int32 destY, fl_image& image, int32 imageX,
                               int32 imageY, bool maskFlag, int16 planes = kHostPlanes);
void lumaChromaMixTo16Bit(uint16* origin, int32 originRowBytes, uint16* destination, int32 destinationRowBytes,
                          int32 width, int32 height, int32 destX, int32 destY, fl_image& image, int32 imageX,
                          int32 imageY, bool maskFlag, int16 planes = kHostPlanes);
void lumaChromaMixTo32Bit(float* origin, int32 originRowBytes, float* destination, int32 destinationRowBytes,
                          int32 width, int32 height, int32 destX, int32 destY, fl_image& image, int32 imageX,
                          int32 imageY, bool maskFlag, int16 planes = kHostPlanes);
// Struct forms: the rectangle r of the destination (width = right - left,
// height = bottom - top, destination x = left, destination y = top).
void lumaChromaMixTo8BitFromStruct(lumaChromaMix_struct s, VRect r, fl_image& image, int32 imageX, int32 imageY);
void lumaChromaMixTo16Bit(lumaChromaMix_struct s, VRect r, fl_image& image, int32 imageX, int32 imageY);
void lumaChromaMixTo32Bit(lumaChromaMix_struct s, VRect r, fl_image& image, int32 imageX, int32 imageY);
// Destination and image origin at (0, 0).
void lumaChromaMixTo8Bit(uint8* origin, int32 originRowBytes, uint8* destination, int32 destinationRowBytes,
                         int32 width, int32 height, fl_image& image, bool maskFlag, int16 planes = kHostPlanes);

// Per-pixel enhance hooks of the threaded enhance (preview/): empty in both
// products.
void enhancePixelUint8(uint8& c0, uint8& c1, uint8& c2);
void enhancePixelUint16(uint16& c0, uint16& c1, uint16& c2);
void enhancePixelFloat(float& c0, float& c1, float& c2);

// Where a buffer's samples lie for the enhance: the second and third
// channels of a pixel channelStep and 2 x channelStep samples after its
// first, the next pixel pixelStep samples on.
struct enhanceLayout {
    int planes;  // 1 or 3
    int64_t channelStep;
    int64_t pixelStep;
};

// Calls hook on every pixel of rows r.top .. r.bottom - 1, columns r.left ..
// r.right - 1; a row starts at data + row x rowBytes, aligned down to a whole
// sample.  With one plane the hook gets the sample and two scratch copies of
// it, so that it sees a grey pixel.
template <typename Sample>
void enhancePixels(void* data, int64_t rowBytes, VRect r, enhanceLayout layout,
                   void (*hook)(Sample&, Sample&, Sample&)) {
    for (int32 y = r.top; y < r.bottom; ++y) {
        const int64_t offset = int64_t(y) * rowBytes / int64_t(sizeof(Sample)) * int64_t(sizeof(Sample));
        Sample* p = reinterpret_cast<Sample*>(static_cast<char*>(data) + offset) + int64_t(r.left) * layout.pixelStep;
        for (int32 x = r.left; x < r.right; ++x, p += layout.pixelStep) {
            if (layout.planes == 3) {
                hook(p[0], p[layout.channelStep], p[2 * layout.channelStep]);
            } else {
                Sample scratch1 = *p, scratch2 = *p;
                hook(*p, scratch1, scratch2);
            }
        }
    }
}
// The layouts of enhanceRectangle (three interleaved samples per pixel) and
// of enhanceRectangle_SinglePlane.
inline constexpr enhanceLayout kEnhanceInterleaved = {3, 1, 3};
inline constexpr enhanceLayout kEnhanceSinglePlane = {1, 1, 1};
// The depth's hook (8: enhancePixelUint8, 16: enhancePixelUint16, 32:
// enhancePixelFloat) on every pixel of r; any other depth does nothing.
void enhancePixelsAtDepth(void* data, int64_t rowBytes, VRect r, int32 depth, enhanceLayout layout);
// The hooks over the rectangle r of the destination, three interleaved
// samples per pixel or one; they change nothing.  The source is not read.
void enhanceRectangle(void* source, int32 sourceRowBytes, void* destination, int32 destinationRowBytes, VRect r,
                      int32 depth);
void enhanceRectangle_SinglePlane(void* source, int32 sourceRowBytes, void* destination,
                                  int32 destinationRowBytes, VRect r, int32 depth);

// ---------------------------------------------------------------------------
// The buffer handling both products' writers share.

// 32768/255: 0..255 to the host's 16-bit range.
inline constexpr float kTo16BitScale = 128.50197f;

// Clamped to 0..255 (NaN and anything not >= 0 give 0), rounded half up.
inline uint8 storeAs8Bit(float v) {
    v = v >= 0.0f ? v : 0.0f;
    v = v > 255.0f ? 255.0f : v;
    return uint8(int(v + 0.5f));
}
inline uint16 storeAs16Bit(float v) {
    v = v >= 0.0f ? v : 0.0f;
    v = v > 255.0f ? 255.0f : v;
    return uint16(int(v * kTo16BitScale + 0.5f));
}
// v clamped to 0..top (NaN and anything not >= 0 give 0), then linear
// interpolation in a table of `steps` entries per unit of v.
inline float interpolateTable(float v, float top, float steps, const float* table) {
    v = v >= 0.0f ? v : 0.0f;
    v = v > top ? top : v;
    const float t = steps * v;
    const int i = int(t);
    const float f = t - float(i);
    return (1.0f - f) * table[i] + f * table[i + 1];
}
// Linear light by interpolation in the gamma-to-linear table (4097 entries,
// step 1/16).
inline float storeAs32Bit(float v, const float* lut2) { return interpolateTable(v, 255.0f, 16.0f, lut2); }

struct outputRectangle {
    const void* origin;
    int32 originRowBytes;
    void* destination;
    int32 destinationRowBytes;
    int32 width, height, destX, destY;
    fl_image* image;
    int32 imageX, imageY;
    int16 planes;  // 1, 3 or kHostPlanes
};

// The rectangle of a writer's pointer form, from its arguments.
inline outputRectangle outputRectangleOf(const void* origin, int32 originRowBytes, void* destination,
                                         int32 destinationRowBytes, int32 width, int32 height, int32 destX,
                                         int32 destY, fl_image& image, int32 imageX, int32 imageY, int16 planes) {
    return outputRectangle{origin, originRowBytes, destination, destinationRowBytes, width, height, destX, destY,
                           &image, imageX, imageY, planes};
}

// Samples per pixel of a rectangle: 1 for one plane, else 3; kHostPlanes
// asks the host (its plane count, 1 or 3).
int outputSamplesPerPixel(int16 planes);

// The checks every writer makes before it writes: the image has a buffer,
// the user has not cancelled, the rectangle is not empty.
bool outputWriterMayWrite(const outputRectangle& r);

// Calls fn(processed, origin, destination, spp, y, x, n) for every row of
// the rectangle (y counted from 0) on all bands, for pixels x .. x + n - 1
// of it: the whole row at once, or, where the image's last rebuild is
// pending (deferUnDifferencePass), pieces of it rebuilt into the band's
// own row.  processed points at channel 0 of the piece's first image pixel
// (3 floats per pixel), origin and destination at its first sample (Spp
// samples per pixel, Spp the outputSamplesPerPixel of the rectangle's
// planes).  Both buffers are addressed with the same samples per pixel, so
// a one-plane buffer is never read or written past its pixels.  fn must
// touch only its piece.
template <typename Sample, typename Fn>
void forEachOutputRow(const outputRectangle& r, Fn& fn) {
    const int spp = outputSamplesPerPixel(r.planes);
    const int64_t x0 = int64_t(r.destX) * spp;
    const fl_image& img = *r.image;
    auto rows = [&](const bandInfo& b) {
        alignas(64) float rebuilt[3 * kRebuiltRowPixels];
        for (int32 y = b.firstRow; y < b.endRow; ++y) {
            const Sample* origin = r.origin ? reinterpret_cast<const Sample*>(
                                                  static_cast<const char*>(r.origin) +
                                                  int64_t(r.destY + y) * r.originRowBytes) + x0
                                            : nullptr;
            Sample* destination = reinterpret_cast<Sample*>(static_cast<char*>(r.destination) +
                                                            int64_t(r.destY + y) * r.destinationRowBytes) + x0;
            if (!img.pendingCoarse) {
                const float* processed =
                    img.data + (int64_t(r.imageY + y + img.padY) * img.paddedWidth + r.imageX + img.padX) * 3;
                fn(processed, origin, destination, spp, y, int32(0), r.width);
                continue;
            }
            for (int32 x = 0; x < r.width; x += kRebuiltRowPixels) {
                const int32 n = r.width - x < kRebuiltRowPixels ? r.width - x : int32(kRebuiltRowPixels);
                rebuiltRow(img, r.imageX + x, n, r.imageY + y, rebuilt);
                fn(rebuilt, origin ? origin + int64_t(x) * spp : nullptr, destination + int64_t(x) * spp, spp, y, x,
                   n);
            }
        }
    };
    runBands(r.height, rows);
}
