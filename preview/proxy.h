// The dialog's live preview: one record of its state, the buffers of the
// two proxies (the 8-bit planar copy of the shown rectangle and its filtered
// result), the zoom and the rectangle the preview shows.  The set-up, which
// reads the proxies from the host, is proxy_source.h's.
//
// The shown rectangle always lies inside the filter rectangle F: its centre
// sits at F's centre moved by the offsets, clamped so that it never leaves F.
#pragma once

#include <cstdint>

#include "PIFilter.h"

enum { SPATIAL_ZOOM_MAX = 4 };

struct previewProxyData {
    BufferID sourceBufferID = nullptr;
    unsigned char* sourcePtr = nullptr;
    BufferID outputBufferID = nullptr;
    unsigned char* outputPtr = nullptr;
    int32 scWidth = 2;
    int32 scHeight = 2;
    int32 scPlaneSize = 4;
    int32 zoomMode = 1;     // the host's input rate while reading; 1 after set-up
    int32 offsetH = 0;      // the shown rectangle's centre relative to F's centre
    int32 offsetV = 0;
    int32 focalV = 0;
    int32 focalH = 0;
    int32 zoomFactor = 1;   // screen pixels per image pixel: 1, 2, 4 (3 when restored so)
    int32 readManual = 0;
    uint8 showAdvanced = 0;
    int32 storedWidth = 1920;   // persisted only
    int32 storedHeight = 1080;
    int32 windowWidth = 1920;
    int32 windowHeight = 1080;
    int32 minWindowWidth = 0;
    int32 minWindowHeight = 0;
    int32 marginWidth = 0;
    int32 marginHeight = 0;
    int32 allotedWidth = 0;     // the preview pane, screen pixels
    int32 allotedHeight = 0;
    int32 overviewWidth = 0;
    int32 overviewHeight = 0;
};

extern previewProxyData pData;
// Bytes of each proxy buffer: plane size x max(3, image planes).
extern int64_t proxyMemSize;

// The proxies' buffers.
void releaseProxyBuffers(previewProxyData& d);
void deleteProxyBuffers();
// Releases both proxies, sizes proxyMemSize for the current plane size and
// allocates each proxy buffer that is not held; a refused one stays empty.
void createProxyBuffers();
void updateInputRate();

// The shown rectangle.
void calcZoomedProxyDimensions();
void clampZoomedProxyOffsets();
// The aspect fit of the filter rectangle into maxWidth x maxHeight.
void calcScProxyDimensions(int32& width, int32& height, int32& size, int32 maxWidth, int32 maxHeight);

// Zoom.
void clampZoom();
bool doZoom();
int32 roundWidthDownForZoom(int32 v);
int32 roundHeightDownForZoom(int32 v);
void translatePointForZoom(int32 fromRate, int32 toRate, VPoint p, VPoint& out);
VPoint getFocalPoint();
VPoint getFocalPoint(int32 rate);
void setFocalPoint(VPoint p);
void setFocalPoint(VPoint p, int32 rate);

int32 proxyGetScWidth();
int32 proxyGetScHeight();
int32 proxyGetScPlaneSize();
int32 proxyGetDisplayWidth();
int32 proxyGetDisplayHeight();
int32 proxyGetWidthAlloted();
int32 proxyGetHeightAlloted();
int16 proxyPlanesToMakeMemoryFor();
// The proxies exist and hold the current plane size for every plane the
// recompute and the composition touch.
bool proxyBuffersFitDimensions();

void bugUserToReadManual();

// Rectangle helpers.
VPoint makeVPoint(int32 v, int32 h);
VRect VRectFromPoints(VPoint a, VPoint b);
int64_t VRectGetArea(VRect r);
void clipRect(VRect& r, VRect bounds);
int32 int32abs(int32 v);
void SetScaledInRect(VRect r);
VRect getScaledFilterRect(unsigned char unused = 0);
bool proxyLargerThanAlloted(VRect r, int32 rate);
bool proxyLargerThanAlloted(VRect r);
int32 findFitModeWrap();
