// Procedure tables that every kind of plug-in receives from the host:
// handles, buffers, resources, properties, colour services, pixel display,
// image services and channel ports.  All are naturally aligned on every
// platform; each table starts with its version and its count.
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
typedef void(MACPASCAL* DisposeRegularPIHandleProc)(Handle h);

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
    DisposeRegularPIHandleProc disposeRegularHandleProc;
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
enum : uint32 {
    kPhotoshopSignature = 0x3842494d,  // '8BIM': the host of properties, the vendor of the PiPL
    kAnyHostSignature = 0x20202020,    // '    ' in the PiPL's host property
};

// Colour services.
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
enum : int16 {
    plugIncolorServicesChooseColor = 0,
    plugIncolorServicesConvertColor = 1,
    plugIncolorServicesSamplePoint = 2,
    plugIncolorServicesGetSpecialColor = 3,
};
enum : int32 { plugIncolorServicesForegroundColor = 0, plugIncolorServicesBackgroundColor = 1 };
// The host's request record is 36 bytes in the interface's classic 32-bit
// form (56 on x86-64, where hosts do not check it).
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
    PSPixelMask* mat;
    PSPixelMask* masks;
    int32 maskPhaseRow;
    int32 maskPhaseCol;
    // Later versions of the map; a version-1 map ends before them, and a
    // host reads no further than its version says.
    void* pixelOverlays;
    uint32 colorManagementOptions;
};
enum : int32 {
    kSimplePSMask = 0,
    kBlackMatPSMask = 1,
    kGrayMatPSMask = 2,
    kWhiteMatPSMask = 3,
    kInvertPSMask = 4,
};

typedef OSErr(MACPASCAL* DisplayPixelsProc)(const PSPixelMap* source, const VRect* srcRect, int32 dstRow,
                                            int32 dstCol, void* platformContext);

typedef Boolean(MACPASCAL* TestAbortProc)();
typedef void(MACPASCAL* ProgressProc)(int32 done, int32 total);
typedef void(MACPASCAL* ProcessEventProc)(void* event);
typedef OSErr(MACPASCAL* AdvanceStateProc)();
typedef void(MACPASCAL* HostProc)(int16 selector, intptr_t data);

// Image services: resampling of one plane.
struct PSImagePlane {
    void* data;
    Rect bounds;
    int32 rowBytes;
    int32 colBytes;
};
typedef OSErr(MACPASCAL* PIResampleProc)(PSImagePlane* source, PSImagePlane* destination, Rect* area,
                                         Fixed* coords, int16 method);
struct ImageServicesProcs {
    int16 imageServicesProcsVersion;
    int16 numImageServicesProcs;
    PIResampleProc interpolate1DProc;
    PIResampleProc interpolate2DProc;
};
enum { kCurrentImageServicesProcsVersion = 1, kCurrentImageServicesProcsCount = 2 };
enum : int16 { pointSampling = 0, linearInterpolation = 1, cubicInterpolation = 2 };

// Channel ports: pixels of the document's channels, read and written by port.
struct PixelMemoryDesc {
    void* data;
    int32 rowBits;
    int32 colBits;
    int32 bitOffset;
    int32 depth;
};
struct PSScaling {
    VRect sourceRect;
    VRect destinationRect;
};
typedef struct OpaqueChannelPort* PIChannelPort;
typedef OSErr(MACPASCAL* ReadPixelsProc)(PIChannelPort port, PSScaling* scaling, VRect* writeRect,
                                         PixelMemoryDesc* destination, VRect* wroteRect);
typedef OSErr(MACPASCAL* WriteBasePixelsProc)(PIChannelPort port, VRect* writeRect, PixelMemoryDesc* source);
typedef OSErr(MACPASCAL* ReadPortForWritePortProc)(PIChannelPort* readPort, PIChannelPort writePort);
struct ChannelPortProcs {
    int16 channelPortProcsVersion;
    int16 numChannelPortProcs;
    ReadPixelsProc readPixelsProc;
    WriteBasePixelsProc writeBasePixelsProc;
    ReadPortForWritePortProc readPortForWritePortProc;
};
enum { kCurrentChannelPortProcsVersion = 1, kCurrentChannelPortProcsCount = 3 };
// The document's layers and channels, as channel ports describe them; the
// products never look inside.
struct ReadImageDocumentDesc;
