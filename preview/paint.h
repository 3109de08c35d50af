// The two pictures of every repaint: the preview (the shown rectangle
// unfiltered on the left and filtered on the right, each enlarged by the
// zoom factor) and the overview with its red box, composed in host buffers
// and described as host pixel maps.
#pragma once

#include "PIFilter.h"
#include "image/fl_image.h"

struct spatialFilterProxyStruct {
    BufferID linearBufferID = nullptr;  // 32-bit documents: the picture in linear values
    unsigned char* linearPtr = nullptr;
    BufferID sideBySideBufferID = nullptr;  // zoom factor 1
    unsigned char* sideBySidePtr = nullptr;
    BufferID zoomedBufferID = nullptr;  // zoom factor 2 or more
    unsigned char* zoomedPtr = nullptr;
    PSPixelMap* previewMap = nullptr;  // prepared by the paint handler (preparePreviewPixelMap)
    uint8_image* overviewPicture = nullptr;  // the paint handler's, of the overview's size
    VRect overviewRect = {0, 0, 0, 0};       // where the overview lies in its pane
    PSPixelMap overviewMap = {};
};

// The preview pixel map as the paint handlers hand it over: the output
// proxy, or the source proxy when the dialog shows the original.
void preparePreviewPixelMap(PSPixelMap& map, bool showOriginal);

// Composes both pictures.  0; -108 when a buffer is refused (after the
// memory alert); -50 when there are no proxies to show, when they do not
// hold the shown size, or when the preview map is not the proxies' layout.
// Nothing is to be displayed unless the result is 0.
OSErr spatialFilterPaintBuffer(spatialFilterProxyStruct& s);
void spatialFilterPaintCleanup(spatialFilterProxyStruct& s);

// The buffers of one paint, released on every way out: the composition's
// and the overview picture, of the overview's size in pData.
struct paintBuffers {
    spatialFilterProxyStruct composition;
    PSPixelMap previewMap = {};
    uint8_image overview;
    paintBuffers() { composition.previewMap = &previewMap; }
    ~paintBuffers();
    paintBuffers(const paintBuffers&) = delete;
    paintBuffers& operator=(const paintBuffers&) = delete;
    // Composes the preview of the output proxy (the source proxy when
    // showOriginal) and the overview, which lies at overviewRect.  Without
    // the overview picture's buffer the preview is still composed.  The
    // composition's result: nothing is to be displayed unless it is 0.
    OSErr compose(bool showOriginal, VRect overviewRect);
};

// Hands both pictures to the host, the preview's top-left corner at
// (previewRow, previewColumn) and the overview at its rectangle; an empty
// overview picture is not handed over.
OSErr spatialFilterDisplayPixels(spatialFilterProxyStruct& s, int32 previewRow, int32 previewColumn,
                                 void* platformContext);

// Tints [left, right) x [top, bottom) of an 8-bit picture red: channel 0 to
// p / 2 + 127, channels 1 and 2 to p / 2.
void overviewDrawRectangleBorder(void* data, int32 rowBytes, int32 columnBytes, int32 channelOffset, int32 left,
                                 int32 right, int32 top, int32 bottom);
