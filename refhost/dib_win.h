// The device-independent bitmaps the Windows reference host draws from and
// captures into: top-down rows, uncompressed.
#pragma once

#include <windows.h>

inline BITMAPINFO topDownBitmapInfo(int width, int height, WORD bitsPerPixel) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = bitsPerPixel;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}
