// The proxies read from the host: the set-up for the current zoom and pane
// and again for a new zoom, the read of the shown rectangle into the source
// proxy, and panning: the filtered output slides, the strips that come into
// view are filled from the new source, and the caller recomputes when the
// drag ends.
#pragma once

#include "PIFilter.h"

// Set-up and tear-down.  SetupProxy builds the proxies for the current zoom
// and pane: on any failure (memory, a host error while reading) the previous
// proxies, zoom and offsets stay as they were, and the error is returned.
OSErr SetupProxy(unsigned char unused = 0);
// Releases both proxies and the overview; every way out of a dialog calls it.
void unSetupProxy();

// Zoom changes run SetupProxy; when it fails the factor goes back to what it
// was.
void changeZoom(int32 factor);
bool changeZoomLevel(int32 factor, unsigned char force);
bool changeRelativeZoomLevel(VRect unused, int32 step);

// Called on every pixel copied from the source proxy into the output (the
// dialogs pass the engine's enhancePixelUint8).
typedef void (*proxyEnhanceCallback)(uint8& red, uint8& green, uint8& blue);

// Reads the host's input rectangle into buffer, width x height bytes per
// plane, planes one after another; a grey image's plane is repeated into
// planes 1 and 2 so that every proxy holds three.  The host's error, or
// memFullErr when a 32-bit document finds no colour table (after the alert).
OSErr resampleToScProxy(unsigned char* buffer, int32 width, int32 height, bool convert = true);

// Pans by dh columns and dv rows (positive: the shown rectangle moves right
// or down).  Without both proxies nothing happens; when a buffer is refused
// or the read fails, offsets and proxies stay as they were.
OSErr proxySlide(int32 dh, int32 dv, proxyEnhanceCallback enhance);
void bufferToBufferEnhance(const unsigned char* source, unsigned char* destination, int32 sh, int32 sv,
                           proxyEnhanceCallback enhance);
void processProxyDrag(VPoint current, VPoint& last, proxyEnhanceCallback enhance);
void processOverviewDrag(VPoint current, VPoint& last, proxyEnhanceCallback enhance);
void overviewSlide(int32 dh, int32 dv, proxyEnhanceCallback enhance);
// A press at (h, v) in the overview pane, `used` the rectangle the overview
// image occupies there.  True when it landed in the red box (the caller
// starts a drag of the box); otherwise the preview is centred on the point.
bool overviewHandleFirstClick(int32 h, int32 v, VRect used);

// Timing hooks of the proxy's reads; they do nothing.
void startTimerOne();
void showTimerOne();
