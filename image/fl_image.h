// The engines' image type: three interleaved float channels per pixel on the
// 0..255 scale, inside a mirrored border so that neighbourhood operators can
// read past any edge without tests.  Its memory comes from the host's buffer
// procedures; the host may refuse it, and then data is null (call
// handleInvalidMemory before touching pixels).
#pragma once

#include <cstdint>
#include <memory>

#include "PITypes.h"

// An fl_image without its buffer: how the engines make a work image of the
// same size.
struct flimageDimensions {
    int32 padX;
    int32 padY;
    int32 width;
    int32 height;
};

class fl_image {
public:
    BufferID bufferID;     // null when the host gave no buffer
    int64_t bufferSize;    // paddedWidth x paddedHeight x 12 bytes
    int32 kind;            // always 2
    int32 paddedWidth;     // width + 2 x padX
    int32 paddedHeight;    // height + 2 x padY
    float* data;           // the locked buffer; null when allocation failed
    bool locked;
    int32 padX;
    int32 padY;
    int32 width;
    int32 height;
    int32 rowBytes;        // paddedWidth x 12
    bool paddingGenerated; // the border holds the reflection of the interior
    // A level whose last rebuild is left to its reader (engine/lifting.h,
    // deferUnDifferencePass): its pixels are the prediction from
    // pendingCoarse guided by this buffer, less pendingDetails.  Null for
    // an image that holds its pixels.
    std::unique_ptr<fl_image> pendingCoarse, pendingDetails;

    // Border of 3 on every side.
    fl_image(int32 width, int32 height);
    explicit fl_image(flimageDimensions d);
    ~fl_image();
    // Never copied: pixels are copied with flimageToFlimage.
    fl_image(const fl_image&) = delete;
    fl_image& operator=(const fl_image&) = delete;

    // Early release, for a level image no longer needed (a pending rebuild's
    // images too); the destructor then does nothing.
    void freeBuffer();
    // Fills the border by reflection about the outermost interior row and
    // column (the edge itself not repeated).  Needs padX < width, padY < height.
    void generatePadding();
    // After the interior changed.
    void regeneratePadding();
    // Exchanges the two images' buffers (pixels, border state and all), for
    // images of the same padded size: a copy of every pixel, without the
    // copy.
    void swapBuffer(fl_image& other);
    // The buffer stays allocated but may move while unlocked: data is null
    // until relock, so no pointer into it is kept.
    void unlock();
    // A buffer of the recorded size again, after freeBuffer.
    void reallocate();
    // As after construction, a refused lock or buffer leaves data null for
    // handleInvalidMemory.
    void relock();

private:
    void allocate();
};

// An 8-bit interleaved RGB image without border; rows are width x 3 bytes.
struct uint8_image {
    BufferID bufferID = nullptr;
    int32 width = 0;
    int32 height = 0;
    unsigned char* data = nullptr;
};

// Standard border width of every engine image.
enum { kFlimagePad = 3 };

flimageDimensions getFlimageDimensions(const fl_image& img);
void getUint8imageDimensions(const fl_image& img, int32& width, int32& height);
void getUint8imageDimensions(const uint8_image& img, int32& width, int32& height);

// Reflection padding needs an interior wider and higher than the border.
bool doesPaddingExceedImage(const fl_image& img);
bool doesPaddingExceedImage(int32 width, int32 height, int32 padX, int32 padY);
// With `levels` halvings below full size the border scales by 2^levels:
// callers pass (width, height, 3, 3, 3), so 24 or less is too small.
bool doesPaddingExceedLifting(int32 width, int32 height, int32 padX, int32 padY, uint16 levels);

// True when the image has no buffer: shows the out-of-memory alert and sets
// the host result to -128.  The caller then returns -108.
bool handleInvalidMemory(fl_image& img);
bool handleInvalidMemory(uint8_image& img);

// Copies whole pixels in padded coordinates, clipped to both images.
void flimageToFlimage(fl_image& src, fl_image& dst, int32 srcX, int32 srcY, int32 dstX, int32 dstY);
void flimageToFlimage(fl_image& src, fl_image& dst);
// The interior region (0, 0, width, height) as 3 bytes per pixel, rounded and
// clamped to 0..255; NaN gives 0.
void flimageToUint8(unsigned char* dst, int32 dstRowBytes, fl_image& img, int32 width, int32 height);

void uint8imageFromPointerData(unsigned char* src, int32 srcRowBytes, int32 srcX, int32 srcY, uint8_image& dst,
                               int32 dstX, int32 dstY, int32 width, int32 height);
void uint8imageToUint8image(uint8_image& src, uint8_image& dst, int32 srcX, int32 srcY, int32 dstX, int32 dstY,
                            int32 width, int32 height);

// Copies a rectangle of 3-sample pixels between interleaved buffers, the
// source read forwards or backwards on each axis (a straight or mirrored
// copy); the destination always runs right and down.  The four size
// arguments are not used; callers pass regions that fit.
void copyWithTranslation(const float* src, int32 srcWidth, int32 srcHeight, int32 srcRowBytes, float* dst,
                         int32 dstWidth, int32 dstHeight, int32 dstRowBytes, int32 srcX, bool xForward, int32 srcY,
                         bool yForward, int32 dstX, int32 dstY, int32 width, int32 height);
void copyWithTranslation(const unsigned char* src, int32 srcWidth, int32 srcHeight, int32 srcRowBytes,
                         unsigned char* dst, int32 dstWidth, int32 dstHeight, int32 dstRowBytes, int32 srcX,
                         bool xForward, int32 srcY, bool yForward, int32 dstX, int32 dstY, int32 width, int32 height);
void copyWithTranslation(const void* src, int32 srcWidth, int32 srcHeight, int32 srcRowBytes, char* dst,
                         int32 dstWidth, int32 dstHeight, int32 dstRowBytes, int32 srcX, bool xForward, int32 srcY,
                         bool yForward, int32 dstX, int32 dstY, int32 width, int32 height);
