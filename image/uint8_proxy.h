// 8-bit interleaved copies of host image data, for the automatic profiling
// and the preview's paint composition.
#pragma once

#include <cstdint>

#include "PIFilter.h"

// An 8-bit interleaved view of one host rectangle.  For 8-bit documents data
// is the host's own input buffer; for 16 and 32 bits it is a converted copy in
// a buffer of its own, written row after row without gaps.  Sample (x, y, p)
// is data[y * rowStride + x * planes + p] in every case.
class uint8ImageProxyFromAdvanceState {
public:
    unsigned char* data = nullptr;
    BufferID bufferID = nullptr;
    unsigned char* bufferPtr = nullptr;
    int64_t bufferSize = 0;
    int32 bytesPerSample = 0;  // of the host data: 1, 2 or 4
    int32 rowStride = 0;       // in samples of data
    int16 planes = 0;
    int16 errorCode = 0;       // 0, -108, -30100 or the host's error
    int32 width = 0;
    int32 height = 0;

    uint8ImageProxyFromAdvanceState() = default;
    ~uint8ImageProxyFromAdvanceState();
    uint8ImageProxyFromAdvanceState(const uint8ImageProxyFromAdvanceState&) = delete;
    uint8ImageProxyFromAdvanceState& operator=(const uint8ImageProxyFromAdvanceState&) = delete;

    // Fetches rect (planes 0 .. planes - 1, at the given input rate) through
    // the host and converts it.  A buffer of an earlier init is released first.
    void init(VRect rect, int16 planes, int16 rate);
    void release();
};

// An interleaved 8-bit RGB copy of three consecutive planes of totalBytes / 3
// bytes each, rows rowBytes apart within a plane.
class interleaved8bit_from_planes {
public:
    BufferID bufferID = nullptr;
    unsigned char* data = nullptr;
    unsigned char* cursor = nullptr;  // write cursor, one past the last byte written
    int64_t size = 0;
    int32 width = 0;
    int32 rows = 0;
    int32 rowBytes = 0;  // 3 x width
    int16 errorCode = 0;

    interleaved8bit_from_planes(int32 width, int32 rowBytes, int32 totalBytes, unsigned char* planes);
    ~interleaved8bit_from_planes();
    interleaved8bit_from_planes(const interleaved8bit_from_planes&) = delete;
    interleaved8bit_from_planes& operator=(const interleaved8bit_from_planes&) = delete;
};
