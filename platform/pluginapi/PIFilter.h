// The filter plug-in's record: what the host hands to PluginMain on every
// selector, with the big-document extension for 32-bit coordinates.
#pragma once

#include "PIActions.h"
#include "PIGeneral.h"
#include "SPBasic.h"

struct PlatformData {
    intptr_t hwnd;  // Windows: the host's main window, owner of the plug-in's dialog
};

struct BigDocumentStruct {
    int32 PluginUsing32BitCoordinates;
    VPoint imageSize32;
    VRect filterRect32;
    VRect inRect32;
    VRect outRect32;
    VRect maskRect32;
    VPoint floatCoord32;
    VPoint wholeSize32;
};

// Selector 0 passes this record in the filter record's place.
struct AboutRecord {
    void* platformData;
    SPBasicSuite* sSPBasic;
    void* plugInRef;
    char reserved[244];
};

typedef unsigned char FilterColor[4];

struct FilterRecord {
    int32 serialNumber;
    TestAbortProc abortProc;
    ProgressProc progressProc;
    Handle parameters;

    Point imageSize;
    int16 planes;
    Rect filterRect;
    FilterColor background;
    FilterColor foreground;
    int32 maxSpace;
    int32 bufferSpace;

    Rect inRect;
    int16 inLoPlane;
    int16 inHiPlane;
    Rect outRect;
    int16 outLoPlane;
    int16 outHiPlane;
    void* inData;
    int32 inRowBytes;
    void* outData;
    int32 outRowBytes;

    Boolean isFloating;
    Boolean haveMask;
    Boolean autoMask;
    Rect maskRect;
    void* maskData;
    int32 maskRowBytes;

    FilterColor backColor;
    FilterColor foreColor;
    uint32 hostSig;
    HostProc hostProc;
    int16 imageMode;
    Fixed imageHRes;
    Fixed imageVRes;
    Point floatCoord;
    Point wholeSize;

    PlatformData* platformData;
    BufferProcs* bufferProcs;
    ResourceProcs* resourceProcs;
    ProcessEventProc processEvent;
    DisplayPixelsProc displayPixels;
    HandleProcs* handleProcs;
    ColorServicesProc colorServices;
    AdvanceStateProc advanceState;
    PropertyProcs* propertyProcs;

    Fixed inputRate;
    Fixed maskRate;
    int16 inputPadding;
    int16 outputPadding;
    int16 maskPadding;
    int32 inTileHeight;
    int32 inTileWidth;
    Point inTileOrigin;
    int32 absTileHeight;
    int32 absTileWidth;
    Point absTileOrigin;
    int32 outTileHeight;
    int32 outTileWidth;
    Point outTileOrigin;
    int32 maskTileHeight;
    int32 maskTileWidth;
    Point maskTileOrigin;

    PIDescriptorParameters* descriptorParameters;
    Str255* errorString;
    SPBasicSuite* sSPBasic;
    void* plugInRef;
    int32 depth;
    BigDocumentStruct* bigDocumentData;
};

typedef FilterRecord* FilterRecordPtr;

enum : int16 {
    plugInWantsEdgeReplication = -1,
    plugInDoesNotWantPadding = -2,
    plugInWantsErrorOnBoundsException = -3,
};

#if defined(_WIN32)
#define DLLExport extern "C" __declspec(dllexport)
#else
#define DLLExport extern "C" __attribute__((visibility("default")))
#endif

// The entry point every filter exports.
typedef void(MACPASCAL* PluginMainProc)(int16 selector, void* filterRecord, intptr_t* data, int16* result);
