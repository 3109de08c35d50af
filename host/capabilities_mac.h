// Whether the host offers a procedure table in a form this layer can use,
// the warnings that name the host version a missing service needs, and the
// host application and system the plug-in runs in.
#pragma once

#include "PIFilter.h"

// A test with a newer flag sets it (when given) to whether the table is
// newer than the one it accepts; a null table is never available, and no
// test reads past the procedures the table declares.
bool HostDisplayPixelsAvailable(DisplayPixelsProc proc);
bool HostAdvanceStateAvailable(AdvanceStateProc proc);
bool HostColorServicesAvailable(ColorServicesProc proc);
bool HostBufferProcsAvailable(const BufferProcs* procs, Boolean* newer);
bool HostResourceProcsAvailable(const ResourceProcs* procs, Boolean* newer);
// The six procedures the handle wrappers call must all be there.
bool HostHandleProcsAvailable(const HandleProcs* procs, Boolean* newer);
bool HostPropertyAvailable(const PropertyProcs* procs, Boolean* newer);
bool HostChannelPortAvailable(const ChannelPortProcs* procs, Boolean* newer);
bool HostDescriptorAvailable(const PIDescriptorParameters* params);

// True when available; otherwise the version alert, and false.
bool WarnHostDescriptorAvailable(const PIDescriptorParameters* params);
bool WarnHostChannelPortAvailable(const ChannelPortProcs* procs);
bool WarnHostPropertyAvailable(const PropertyProcs* procs);
bool WarnHostHandleProcsAvailable(const HandleProcs* procs);
bool WarnHostResourceProcsAvailable(const ResourceProcs* procs);
bool WarnHostBufferProcsAvailable(const BufferProcs* procs);
bool WarnHostColorServicesAvailable(ColorServicesProc proc);
bool WarnHostAdvanceStateAvailable(AdvanceStateProc proc);
bool WarnHostDisplayPixelsAvailable(DisplayPixelsProc proc);

enum : int16 {
    kVersionAlertID = 16990,
    kHostTooOldStringID = 16992,
    kHostIncompatibleStringID = 16993,
};

struct OSInfo {
    uint32 signature;
    uint8 majorVersion;
    uint8 minorVersion;
    uint8 fixVersion;
    uint8 stage;  // 0 development, 1 alpha, 2 beta, 3 release
    uint8 build;
    uint8 system;  // MapSystem
};

// Fills the record from the host application's resources and the system
// version, the current resource file restored; without the host's version
// resource the record stays clear and the result is resNotFound.
OSErr GetOSInfo(void* ignored, OSInfo& info);
void ClearOSInfo(OSInfo& info);
uint8 MapStage(void* ignored, uint8 stage);
uint8 MapSystem(int32 major);
bool IsMacOS(uint8 system);
bool IsWindows(uint8 system);
bool IsValidHost(uint32 signature);
// 0 when the host's signature is not in the zero-terminated list, else its
// version: major, minor and fix in the top 8, 4 and 4 bits.
uint32 AppMatch(void* ignored, const uint32* signatures);
uint32 MapSignature(const char* name);
bool IsRunningNatively();
