// Procedure tables that every kind of plug-in receives from the host:
// handles, buffers, resources, properties, colour services and pixel display.
#pragma once

#include "PITypes.h"

typedef char* Ptr;

// Handle procedures.
typedef Handle(MACPASCAL* NewPIHandleProc)(int32 size);
typedef void(MACPASCAL* DisposePIHandleProc)(Handle h);
typedef int32(MACPASCAL* GetPIHandleSizeProc)(Handle h);
typedef OSErr(MACPASCAL* SetPIHandleSizeProc)(Handle h, int32 newSize);
typedef Ptr(MACPASCAL* LockPIHandleProc)(Handle h, Boolean moveHigh);
typedef void(MACPASCAL* UnlockPIHandleProc)(Handle h);
typedef void(MACPASCAL* RecoverSpaceProc)(int32 size);
typedef void(MACPASCAL* DisposeRegularHandlePIHandleProc)(Handle h);

struct HandleProcs {
    int16 handleProcsVersion;
    int16 numHandleProcs;
    NewPIHandleProc newProc;
    DisposePIHandleProc disposeProc;
    GetPIHandleSizeProc getSizeProc;
    SetPIHandleSizeProc setSizeProc;
    LockPIHandleProc lockProc;
    UnlockPIHandleProc unlockProc;
    RecoverSpaceProc recoverSpaceProc;
    DisposeRegularHandlePIHandleProc disposeRegularHandleProc;
};
enum { kCurrentHandleProcsVersion = 1, kCurrentHandleProcsCount = 8 };

// Buffer procedures.
typedef OSErr(MACPASCAL* AllocateBufferProc)(int32 size, BufferID* bufferID);
typedef Ptr(MACPASCAL* LockBufferProc)(BufferID bufferID, Boolean moveHigh);
typedef void(MACPASCAL* UnlockBufferProc)(BufferID bufferID);
typedef void(MACPASCAL* FreeBufferProc)(BufferID bufferID);
typedef int32(MACPASCAL* BufferSpaceProc)();

struct BufferProcs {
    int16 bufferProcsVersion;
    int16 numBufferProcs;
    AllocateBufferProc allocateProc;
    LockBufferProc lockProc;
    UnlockBufferProc unlockProc;
    FreeBufferProc freeProc;
    BufferSpaceProc spaceProc;
};
enum { kCurrentBufferProcsVersion = 2, kCurrentBufferProcsCount = 5 };

// Resource procedures.
typedef uint32 ResType;
typedef int16(MACPASCAL* CountPIResourcesProc)(ResType type);
typedef Handle(MACPASCAL* GetPIResourceProc)(ResType type, int16 index);
typedef void(MACPASCAL* DeletePIResourceProc)(ResType type, int16 index);
typedef OSErr(MACPASCAL* AddPIResourceProc)(ResType type, Handle data);

struct ResourceProcs {
    int16 resourceProcsVersion;
    int16 numResourceProcs;
    CountPIResourcesProc countProc;
    GetPIResourceProc getProc;
    DeletePIResourceProc deleteProc;
    AddPIResourceProc addProc;
};
enum { kCurrentResourceProcsVersion = 3, kCurrentResourceProcsCount = 4 };

// Property procedures.
typedef OSErr(MACPASCAL* GetPropertyProc)(uint32 signature, uint32 key, int32 index, intptr_t* simpleProperty,
                                          Handle* complexProperty);
typedef OSErr(MACPASCAL* SetPropertyProc)(uint32 signature, uint32 key, int32 index, intptr_t simpleProperty,
                                          Handle complexProperty);

struct PropertyProcs {
    int16 propertyProcsVersion;
    int16 numPropertyProcs;
    GetPropertyProc getPropertyProc;
    SetPropertyProc setPropertyProc;
};
enum { kCurrentPropertyProcsVersion = 1, kCurrentPropertyProcsCount = 2 };
enum : uint32 { kPhotoshopSignature = 0x3842494d /* '8BIM' */ };

// Colour services.
typedef unsigned char Str255[256];

struct ColorServicesInfo {
    int32 infoSize;
    int16 selector;
    int16 sourceSpace;
    int16 resultSpace;
    Boolean resultGamutInfoValid;
    Boolean resultInGamut;
    void* reservedSourceSpaceInfo;
    void* reservedResultSpaceInfo;
    int16 colorComponents[4];
    void* reserved;
    union {
        Str255* pickerPrompt;
        Point* globalSamplePoint;
        int32 specialColorID;
    } selectorParameter;
};
enum : int16 { plugIncolorServicesChooseColor = 0, plugIncolorServicesConvertColor = 1 };
// The host's request record is 36 bytes in the interface's classic 32-bit form.
enum : int32 { kColorServicesInfoSize = 36 };

typedef OSErr(MACPASCAL* ColorServicesProc)(ColorServicesInfo* info);

// Pixel display.
struct PSPixelMask {
    PSPixelMask* next;
    void* maskData;
    int32 rowBytes;
    int32 colBytes;
    int32 maskDescription;
};

struct PSPixelMap {
    int32 version;
    VRect bounds;
    int32 imageMode;
    int32 rowBytes;
    int32 colBytes;
    int32 planeBytes;
    void* baseAddr;
    void* mat;
    PSPixelMask* masks;
    int32 maskPhaseRow;
    int32 maskPhaseCol;
    void* pixelOverlays;
    uint32 colorManagementOptions;
};

typedef OSErr(MACPASCAL* DisplayPixelsProc)(const PSPixelMap* source, const VRect* srcRect, int32 dstRow,
                                            int32 dstCol, void* platformContext);

typedef Boolean(MACPASCAL* TestAbortProc)();
typedef void(MACPASCAL* ProgressProc)(int32 done, int32 total);
typedef void(MACPASCAL* ProcessEventProc)(void* event);
typedef OSErr(MACPASCAL* AdvanceStateProc)();
typedef void(MACPASCAL* HostProc)(int16 selector, intptr_t* data);
