// Wrappers over the host's handle, buffer and resource tables, with the
// system's own memory where the host offers no usable handle table; the
// length-prefixed string helpers (256-byte buffers, a zero byte after the
// last character where there is room); and the plug-in's own resources.
#pragma once

#include <cstddef>

#include "PIFilter.h"

Handle HostNewHandle(const HandleProcs* procs, int32 size);
void HostDisposeHandle(const HandleProcs* procs, Handle h);
int32 HostGetHandleSize(const HandleProcs* procs, Handle h);
OSErr HostSetHandleSize(const HandleProcs* procs, Handle h, int32 size);
Ptr HostLockHandle(const HandleProcs* procs, Handle h, Boolean moveHigh);
void HostUnlockHandle(const HandleProcs* procs, Handle h);

int32 HostBufferSpace(const BufferProcs* procs);
OSErr HostAllocateBuffer(const BufferProcs* procs, int32 size, BufferID& bufferID);
void HostFreeBuffer(const BufferProcs* procs, BufferID bufferID);
Ptr HostLockBuffer(const BufferProcs* procs, BufferID bufferID, Boolean moveHigh);
void HostUnlockBuffer(const BufferProcs* procs, BufferID bufferID);
// The tallest buffer of rowBytes x height bytes, height from what the free
// space divided by divisor allows (at most maxHeight) down to minHeight.
// paramErr for a divisor or row bytes <= 0; memFullErr, height 0 and no
// buffer when none can be had.
OSErr HostAllocateStripBuffer(const BufferProcs* procs, int32 rowBytes, int16 minHeight, int16 maxHeight,
                              int32 divisor, int16& height, BufferID& bufferID);

int16 HostCountPIResources(const ResourceProcs* procs, ResType type);
Handle HostGetPIResource(const ResourceProcs* procs, ResType type, int16 index);
void HostDeletePIResource(const ResourceProcs* procs, ResType type, int16 index);
OSErr HostAddPIResource(const ResourceProcs* procs, ResType type, Handle data);

// The handle's bytes, cut to outSize - 1 and zero-terminated.
void HostHandle2CString(const HandleProcs* procs, Handle h, char* out, size_t outSize);
void HostHandle2PString(const HandleProcs* procs, Handle h, Str255 out);
OSErr HostCString2Handle(const HandleProcs* procs, const char* text, Handle& h);
OSErr HostPString2Handle(const HandleProcs* procs, const unsigned char* text, Handle& h);
// A version number major << 16 | minor << 8 | fix in the handle's first
// four bytes; paramErr for a shorter handle.
OSErr HostHandle2Version(const HandleProcs* procs, Handle h, int32& version);
OSErr HostHandle2VersionString(const HandleProcs* procs, Handle h, Str255 out);
// Appends the source's bytes to *target, creating it when null (and
// disposing what it created when that fails); memFullErr when the sum
// exceeds a handle's 32-bit size.
OSErr HostHandleCat(const HandleProcs* procs, Handle* target, Handle source);
OSErr HostHandleCopy(const HandleProcs* procs, Handle* target, Handle source);

OSErr HostCloseReader(PIDescriptorParameters* params, const HandleProcs* procs, PIReadDescriptor& token);
OSErr HostCloseWriter(PIDescriptorParameters* params, const HandleProcs* procs, PIWriteDescriptor& token);
OSErr HostPutObj(PIDescriptorParameters* params, const HandleProcs* procs, PIWriteDescriptor token,
                 DescriptorKeyID key, DescriptorTypeID type, Handle& descriptor);
bool HostPlayDialog(const PIDescriptorParameters* params);
OSErr HostReportError(Str255* errorString, const unsigned char* message);
void* HostGetPlatformWindowPtr();

// The plug-in's resources: a copy in a new system handle, the resource
// released.
OSErr HostGetResource(ResType type, int16 id, Handle& h);
OSErr HostGetString(int16 id, Str255 out);
// Locked globals in a new handle whose identifier goes into *data.
Ptr AllocateGlobals(const HandleProcs* procs, int32 size, intptr_t* data, void (*initGlobals)(Ptr globals));

void PIResetString(Str255 s);
// count characters of source from position first (1-based), as many as the
// source holds, the result at most 254 characters.
void AppendString(Str255 s, const unsigned char* source, int16 first, int16 count);
void AppendCharToString(Str255 s, unsigned char c);
int32 PIstrlen(const char* s);
// out holds 256 bytes; either may be the same buffer as the input.
void PToCStr(const unsigned char* p, char* out);
void CToPStr(const char* c, Str255 out);
void PStrCat(Str255 s, const unsigned char* t);
void PStrInsert(Str255 s, const unsigned char* t);
// s holds sSize bytes.
void HostStringCat(char* s, size_t sSize, const char* t);
void HostCopy(void* destination, const void* source, size_t count);
void HostBlockMove(void* destination, const void* source, size_t count);
unsigned char UpperToLower(unsigned char c);
// 0 when the strings match (case ignored when asked), -1 when not.
int16 HostMatch(const char* a, const char* b, bool ignoreCase);
int16 HostStringMatch(const unsigned char* a, const unsigned char* b, bool ignoreCase);
