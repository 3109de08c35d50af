// Host pixels into float images, and the megatile: the piece of the image
// that the full-image pass fetches, filters and writes back at one time.
#pragma once

#include "PIFilter.h"
#include "image/fl_image.h"

// The megatile in host tiles: 4 x 4 at load; the prepare selector's memory
// plan lowers both to 1 when the host offers too little memory.
extern int32 megaTileChunksWide;
extern int32 megaTileChunksHigh;

// Host tile size x chunk count, with 256 for a host that gives no tile size.
int32 megatileGetWidth();
int32 megatileGetHeight();
// The filter rectangle is at least two megatiles wide or high.
bool megatilesIsImageLargeEnough();

// Source pixel (x + i, y + j) into interior pixel (i, j) of img, for i < width
// and j < height, on the 0..255 scale.  One grey plane fills all three
// channels.  32-bit linear samples are gamma-encoded through LUT3; NaN counts
// as 0.  The border and paddingGenerated are left alone.  The 32-bit form
// returns memFullErr (after the memory alert) when LUT3 is missing; the
// others always return noErr.
OSErr copyIntoFlimage8bit(fl_image& img, void* src, int32 rowBytes, int32 x, int32 y, int32 width, int32 height);
OSErr copyIntoFlimage16bit(fl_image& img, void* src, int32 rowBytes, int32 x, int32 y, int32 width, int32 height);
OSErr copyIntoFlimage32bit(fl_image& img, void* src, int32 rowBytes, int32 x, int32 y, int32 width, int32 height);
// Three 8-bit samples per pixel (the preview's interleaved RGB proxy).
OSErr copyIntoFlimage8bit3channelsOnly(fl_image& img, unsigned char* src, int32 rowBytes, int32 width, int32 height);
