// The overview: the whole filter area small, 8-bit interleaved RGB, scaled to
// fit the overview pane, and the red box that marks what the preview shows.
#pragma once

#include "PIFilter.h"

// The host's current input buffer as the overview reads it: height rows,
// rowBytes apart, of rowPixels pixels (the row bytes over the buffer's
// planes and the sample size), planes interleaved samples of
// bytesPerSample bytes each (planes: the image's, 1 or 3).
struct inputBufferDescriptor {
    int32 rowPixels;
    int32 rowBytes;
    int32 height;
    int32 bytesPerSample;
    int16 planes;
    const void* data;
};

// The description for samples of type Sample (uint8, uint16 or float); an
// image of another plane count than 1 or 3 is alerted and read as 1 plane
// below 4, else as 3.
template <typename Sample>
inputBufferDescriptor describeInputBuffer();
constexpr auto describeInputBuffer8bit = describeInputBuffer<uint8>;
constexpr auto describeInputBuffer16bit = describeInputBuffer<uint16>;
constexpr auto describeInputBuffer32bit = describeInputBuffer<float>;

class overviewProxyClass {
public:
    BufferID bufferID = nullptr;
    int32 width = 0;
    int32 height = 0;
    int32 sampleSize = 1;
    unsigned char* data = nullptr;  // height rows of width R, G, B pixels

    // Builds the overview of width x height pixels.  When the host refuses
    // the buffer or a tile, the previous overview stays and the error is
    // returned (the memory alert, or the host's error in the result code).
    OSErr theRealInit(int32 width, int32 height);
    // Releases the buffer through the current host call's record.
    void release();
};

extern overviewProxyClass overviewProxyClassObject;

// Asks the dialog for the overview's size, then rebuilds it.
void setupOverviewProxy();
void releaseOverviewProxy();

// The red box in overview pixels, relative to the filter rectangle and
// clipped to the overview.
VRect getRedBoxVRect();
