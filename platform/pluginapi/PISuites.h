// The host's suites besides scripting (PIActions.h): their names, versions
// and tables, complete and in the host's order.  The property and resource
// suites hand out the filter record's own tables (PIGeneral.h), header
// included.
#pragma once

#include "PIGeneral.h"

// Handle suite.  Version 2 puts DisposeRegularHandle third, so the two
// versions are different tables, and neither is the record's HandleProcs.
#define kPSHandleSuite "Photoshop Handle Suite for Plug-ins"
enum { kPSHandleSuiteVersion1 = 1, kPSHandleSuiteVersion2 = 2 };

// The data pointer comes back through address, the former lock state
// through oldLock.
typedef void(SPAPI* SetPIHandleLockProc)(Handle h, Boolean lock, Ptr* address, Boolean* oldLock);

struct PSHandleSuite1 {
    NewPIHandleProc New;
    DisposePIHandleProc Dispose;
    SetPIHandleLockProc SetLock;
    GetPIHandleSizeProc GetSize;
    SetPIHandleSizeProc SetSize;
    RecoverSpaceProc RecoverSpace;
};

struct PSHandleSuite2 {
    NewPIHandleProc New;
    DisposePIHandleProc Dispose;
    DisposeRegularPIHandleProc DisposeRegularHandle;
    SetPIHandleLockProc SetLock;
    GetPIHandleSizeProc GetSize;
    SetPIHandleSizeProc SetSize;
    RecoverSpaceProc RecoverSpace;
};

// Buffer suite.
#define kPSBufferSuite "Photoshop Buffer Suite for Plug-ins"
enum { kPSBufferSuiteVersion1 = 1 };

struct PSBufferSuite1 {
    Ptr(SPAPI* New)(uint32* requestedSize, uint32 minimumSize);
    void(SPAPI* Dispose)(Ptr* buffer);
    uint32(SPAPI* GetSize)(Ptr buffer);
    uint32(SPAPI* GetSpace)();
};

// UI hooks suite: the first four are the filter record's own procedures.
#define kPSUIHooksSuite "Photoshop UIHooks Suite for Plug-ins"
enum { kPSUIHooksSuiteVersion1 = 1 };

struct PSUIHooksSuite1 {
    ProcessEventProc processEvent;
    DisplayPixelsProc displayPixels;
    ProgressProc progressBar;
    TestAbortProc testAbort;
    intptr_t(SPAPI* MainAppWindow)();
    SPErr(SPAPI* SetCursor)(void* cursor);
    uint32(SPAPI* TickCount)();
    SPErr(SPAPI* GetPluginName)(void* plugInRef, ASZString* name);
};

// String suite.  Byte counts are size_t; its booleans are four bytes.
#define kASZStringSuite "AS ZString Suite"
enum { kASZStringSuiteVersion1 = 1 };

struct ASZStringSuite1 {
    SPErr(SPAPI* MakeFromUnicode)(const uint16* src, size_t byteCount, ASZString* newZString);
    SPErr(SPAPI* MakeFromCString)(const char* src, size_t byteCount, ASZString* newZString);
    SPErr(SPAPI* MakeFromPascalString)(const unsigned char* src, size_t byteCount, ASZString* newZString);
    SPErr(SPAPI* MakeRomanizationOfInteger)(int32 value, ASZString* newZString);
    SPErr(SPAPI* MakeRomanizationOfFixed)(Fixed value, int16 places, ASBoolean trim, ASBoolean isSigned,
                                          ASZString* newZString);
    SPErr(SPAPI* MakeRomanizationOfDouble)(double value, ASZString* newZString);
    ASZString(SPAPI* GetEmpty)();
    SPErr(SPAPI* Copy)(ASZString source, ASZString* copy);
    SPErr(SPAPI* Replace)(ASZString zstr, uint32 index, ASZString replacement);
    SPErr(SPAPI* TrimEllipsis)(ASZString zstr);
    SPErr(SPAPI* TrimSpaces)(ASZString zstr);
    SPErr(SPAPI* RemoveAccelerators)(ASZString zstr);
    SPErr(SPAPI* AddRef)(ASZString zstr);
    SPErr(SPAPI* Release)(ASZString zstr);
    ASBoolean(SPAPI* IsAllWhiteSpace)(ASZString zstr);
    ASBoolean(SPAPI* IsEmpty)(ASZString zstr);
    ASBoolean(SPAPI* WillReplace)(ASZString zstr, uint32 index);
    uint32(SPAPI* LengthAsUnicodeCString)(ASZString zstr);
    SPErr(SPAPI* AsUnicodeCString)(ASZString zstr, uint16* str, uint32 strSize, ASBoolean checkStrSize);
    uint32(SPAPI* LengthAsCString)(ASZString zstr);
    SPErr(SPAPI* AsCString)(ASZString zstr, char* str, uint32 strSize, ASBoolean checkStrSize);
    uint32(SPAPI* LengthAsPascalString)(ASZString zstr);
    SPErr(SPAPI* AsPascalString)(ASZString zstr, unsigned char* str, uint32 strBufferSize, ASBoolean checkBufferSize);
};

// Error suite: an error text for the host to show with errReportString.
#define kPSErrorSuite "Photoshop Error Suite for Plug-ins"
enum { kPSErrorSuiteVersion1 = 1 };

struct PSErrorSuite1 {
    SPErr(SPAPI* SetErrorFromPString)(const unsigned char* errorString);
    SPErr(SPAPI* SetErrorFromCString)(const char* errorString);
    SPErr(SPAPI* SetErrorFromZString)(ASZString errorString);
};

// Suites whose tables are the filter record's.
#define kPSPropertySuite "Photoshop Property Suite for Plug-ins"
enum { kPSPropertySuiteVersion1 = 1 };
#define kPSResourceSuite "Photoshop Resource Suite for Plug-ins"
enum { kPSResourceSuiteVersion3 = 3 };

// Suites asked for by name and version only; not every host offers them.
#define kSPAccessSuite "SP Access Suite"
enum { kSPAccessSuiteVersion = 3 };
#define kPSGetFileListSuite "Photoshop GetFileList Suite for Plug-ins"
enum { kPSGetFileListSuiteVersion = 4 };
#define kPSChannelPortsSuite "Photoshop ChannelPorts Suite for Plug-ins"
enum { kPSChannelPortsSuiteVersion = 3 };
#define kSPRuntimeSuite "SP Runtime Suite"
enum { kSPRuntimeSuiteVersion = 5 };
#define kPSAliasSuite "Photoshop Alias Utility Suite"
enum { kPSAliasSuiteVersion = 1 };
#define kPSColorSpaceSuite "Photoshop ColorSpace Suite for Plug-ins"
enum { kPSColorSpaceSuiteVersion1 = 1 };
