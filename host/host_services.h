// The thin layer over the host's handles, buffers, progress bar, cancel and
// tiled image access.
#pragma once

#include <atomic>
#include <cstdint>

#include "PIFilter.h"
#include "SPBasic.h"

extern int32 progressTotal;
extern int32 progressDone;
extern bool notInGUI;
extern std::atomic<bool> globalUserCancelled;

// Handles.
void CreateParametersHandle(int32 size);
void CreateDataHandle();
void LockHandles(void** params, void** data);
void UnlockHandles();

// Host buffers: a pair of the host's buffer ID and the locked pointer, both
// null while nothing is held.
void* memoryAllocate(int64_t size, BufferID& bufferID, void*& data);
void memoryRelease(int64_t size, BufferID& bufferID, void*& data);
// A hook for checking the host's buffers while debugging; it checks nothing.
void memoryDebugVerify();
template <typename T>
T* memoryAllocate(int64_t size, BufferID& bufferID, T*& data) {
    void* p = nullptr;
    memoryAllocate(size, bufferID, p);
    data = static_cast<T*>(p);
    return data;
}
template <typename T>
void memoryRelease(int64_t size, BufferID& bufferID, T*& data) {
    void* p = data;
    memoryRelease(size, bufferID, p);
    data = static_cast<T*>(p);
}

// The out-of-memory alert with the host result set to -128; callers return
// -108 (memFullErr) afterwards.
extern const char* const kNotEnoughMemoryText;
void reportOutOfMemory();
extern const char* const kDocumentTooLargeText;
// For a catch (...) block: the exception being handled shown in an alert
// (a bad_alloc as the out-of-memory alert) and the host result set to -128.
// Throws nothing.
void reportUnexpectedException();

// Progress and cancel.
void progressTotalSet(int32 total);
bool progressUpdate(int32 n);
bool progressUpdate();
bool threadedProgressUpdate(int32 n);
// A new filtering run: a cancel of an earlier run must not outlive it.
void beginFilteringRun(bool finalPass);
void endFilteringRun();

// Advance state and planes.
OSErr advanceFilterState();
OSErr advanceFilterStateFrom1or3channels(VRect r);
// Input (and mask) from inRect, output to outRect; an empty outRect asks for
// no output buffer.
OSErr advanceFilterStateFrom1or3channels(VRect inRect, VRect outRect);
int16 getExpectedImagePlanes();
int16 getExpectedImagePlanesAssuming1or3channels();
// False for an image the engines cannot filter (four planes, say): then the
// plane alert has been shown and the host result is -128.
bool imageHasOneOrThreePlanes();
int32 getFilterDepth();
// False for a document that a host without the big-document record cannot
// describe (wider or higher than 32767 pixels: its 16-bit rectangles wrap);
// then the alert has been shown and the host result is -128.
bool documentFitsSixteenBitRectangles();
void setInputRate(int16 rate);
int16 DisplayPixelsMode(int16 mode);
bool registryWorksOnHost();

// Timing aid: the first call takes the processor clock as the stop time
// (clocksStopped is then set) and every call shows "Time: " with the stop
// time minus start.
extern bool clocksStopped;
void outputClock(unsigned long start);

// Rectangle and colour utilities.  ScaleRect and ShrinkRect compute as the
// host's 16-bit rectangles do: each result is cut to 16 bits with its sign.
void ScaleRect(VRect& r, int16 num, int16 den);
void ShrinkRect(VRect& r, int16 dx, int16 dy);
void CopyRect(VRect& dst, const VRect& src);
void CopyColor(uint8 dst[4], const uint8 src[4]);
void SetColor(uint8 color[4], uint8 a, uint8 b, uint8 c, uint8 d);
// The RGB colour converted by the host's colour services into the colour
// space of the document's mode; left as it is for mode RGB, without colour
// services or when the host reports an error.
void ConvertRGBColorToMode(int16 mode, uint8 color[4], FilterRecord* filterRecord);

// A suite error is 32 bits wide; one that does not fit the 16-bit result
// (the basic suite's own codes do not) must not read as success or as some
// unrelated code once cut.
OSErr toOSErr(SPErr err);
