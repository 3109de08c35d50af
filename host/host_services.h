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
void setInputRate(int16 rate);
int16 DisplayPixelsMode(int16 mode);
bool registryWorksOnHost();
void outputClock(unsigned long start);

// Small rectangle and colour utilities.
void ScaleRect(VRect& r, int16 num, int16 den);
void ShrinkRect(VRect& r, int16 dx, int16 dy);
void CopyRect(VRect& dst, const VRect& src);
void CopyColor(uint8 dst[4], const uint8 src[4]);
void SetColor(uint8 color[4], uint8 a, uint8 b, uint8 c, uint8 d);
void ConvertRGBColorToMode(int16 mode, uint8 color[4], FilterRecord* filterRecord);

// A suite error is 32 bits wide; one that does not fit the 16-bit result
// (the basic suite's own codes do not) must not read as success or as some
// unrelated code once cut.
OSErr toOSErr(SPErr err);
