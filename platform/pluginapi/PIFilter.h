// The filter plug-in's record: what the host hands to PluginMain on every
// selector, in the host's order with every field, with the big-document
// extension for 32-bit coordinates.
#pragma once

#include "PIActions.h"
#include "PIGeneral.h"
#include "SPBasic.h"

struct PlatformData {
    intptr_t hwnd;  // Windows: the host's main window, owner of the plug-in's dialog
};

// The monitor the host displays on; hosts may leave it zero.
struct PlugInMonitor {
    Fixed gamma;
    Fixed redX, redY;
    Fixed greenX, greenY;
    Fixed blueX, blueY;
    Fixed whiteX, whiteY;
    Fixed ambient;
};

// Selector 0 passes this record in the filter record's place.
struct AboutRecord {
    PlatformData* platformData;
    SPBasicSuite* sSPBasic;
    void* plugInRef;
    char reserved[244];
};

typedef unsigned char FilterColor[4];

// Windows hosts lay the filter record and its big-document record out with
// 4-byte packing on x86 and x86-64 alike: on x86-64 eight of its pointers sit
// 4 bytes off their natural place.  Every other record is naturally aligned.
#if defined(_WIN32)
#pragma pack(push, 4)
#endif

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

struct FilterRecord {
    int32 serial;
    TestAbortProc abortProc;
    ProgressProc progressProc;
    Handle parameters;

    Point imageSize;
    int16 planes;
    Rect filterRect;
    RGBColor background;
    RGBColor foreground;
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

    FilterColor backColor;  // in the image's mode, one byte per plane
    FilterColor foreColor;
    uint32 hostSig;
    HostProc hostProcs;
    int16 imageMode;
    Fixed imageHRes;
    Fixed imageVRes;
    Point floatCoord;
    Point wholeSize;
    PlugInMonitor monitor;

    PlatformData* platformData;
    BufferProcs* bufferProcs;
    ResourceProcs* resourceProcs;
    ProcessEventProc processEvent;
    DisplayPixelsProc displayPixels;
    HandleProcs* handleProcs;

    // Since 3.0.
    Boolean supportsDummyChannels;
    Boolean supportsAlternateLayouts;
    int16 wantLayout;
    int16 filterCase;
    int16 dummyPlaneValue;
    void* premiereHook;
    AdvanceStateProc advanceState;
    Boolean supportsAbsolute;
    Boolean wantsAbsolute;
    GetPropertyProc getPropertyObsolete;
    Boolean cannotUndo;
    Boolean supportsPadding;
    int16 inputPadding;
    int16 outputPadding;
    int16 maskPadding;
    uint8 samplingSupport;
    uint8 reservedByte;
    Fixed inputRate;
    Fixed maskRate;
    ColorServicesProc colorServices;

    int16 inLayerPlanes;
    int16 inTransparencyMask;
    int16 inLayerMasks;
    int16 inInvertedLayerMasks;
    int16 inNonLayerPlanes;
    int16 outLayerPlanes;
    int16 outTransparencyMask;
    int16 outLayerMasks;
    int16 outInvertedLayerMasks;
    int16 outNonLayerPlanes;
    int16 absLayerPlanes;
    int16 absTransparencyMask;
    int16 absLayerMasks;
    int16 absInvertedLayerMasks;
    int16 absNonLayerPlanes;
    int16 inPreDummyPlanes;
    int16 inPostDummyPlanes;
    int16 outPreDummyPlanes;
    int16 outPostDummyPlanes;
    int32 inColumnBytes;
    int32 inPlaneBytes;
    int32 outColumnBytes;
    int32 outPlaneBytes;

    // Since 3.0.4.
    ImageServicesProcs* imageServicesProcs;
    PropertyProcs* propertyProcs;
    int16 inTileHeight;
    int16 inTileWidth;
    Point inTileOrigin;
    int16 absTileHeight;
    int16 absTileWidth;
    Point absTileOrigin;
    int16 outTileHeight;
    int16 outTileWidth;
    Point outTileOrigin;
    int16 maskTileHeight;
    int16 maskTileWidth;
    Point maskTileOrigin;

    // Since 4.0.
    PIDescriptorParameters* descriptorParameters;
    Str255* errorString;
    ChannelPortProcs* channelPortProcs;
    ReadImageDocumentDesc* documentInfo;

    // Since 5.0.
    SPBasicSuite* sSPBasic;
    void* plugInRef;
    int32 depth;

    // Since 6.0.
    Handle iccProfileData;
    int32 iccProfileSize;
    int32 canUseICCProfiles;

    // Later hosts.  A 6.0 host's record ends in 54 zero bytes from
    // hasImageScrap on, so bigDocumentData reads null there.
    int32 hasImageScrap;
    BigDocumentStruct* bigDocumentData;
    PIDescriptorParameters* input3DScene;
    PIDescriptorParameters* output3DScene;
    Boolean createNewLayer;
    Handle iCCWorkingProfileData;
    int32 iCCWorkingProfileSize;
    int64 bufferSpace64;
    int64 maxSpace64;
    char reserved[46];
};

#if defined(_WIN32)
#pragma pack(pop)
#endif

typedef FilterRecord* FilterRecordPtr;

enum : uint32 { kFilterKind = 0x3842464d /* '8BFM' */ };

// inputPadding, outputPadding, maskPadding; 0..255 is a constant value.
enum : int16 {
    plugInWantsEdgeReplication = -1,
    plugInDoesNotWantPadding = -2,
    plugInWantsErrorOnBoundsException = -3,
};

// samplingSupport.
enum : uint8 {
    hostDoesNotSupportSampling = 0,
    hostSupportsIntegralSampling = 1,
    hostSupportsFractionalSampling = 2,
};

// wantLayout: the order of the planes, rows and columns in the buffers.
enum : int16 {
    piLayoutTraditional = 0,
    piLayoutRowsColumnsPlanes = 1,
    piLayoutRowsPlanesColumns = 2,
    piLayoutColumnsRowsPlanes = 3,
    piLayoutColumnsPlanesRows = 4,
    piLayoutPlanesRowsColumns = 5,
    piLayoutPlanesColumnsRows = 6,
};

// filterCase.
enum : int16 {
    filterCaseFlatImageNoSelection = 1,
    filterCaseFlatImageWithSelection = 2,
    filterCaseFloatingSelection = 3,
    filterCaseEditableTransparencyNoSelection = 4,
    filterCaseEditableTransparencyWithSelection = 5,
    filterCaseProtectedTransparencyNoSelection = 6,
    filterCaseProtectedTransparencyWithSelection = 7,
};

#if defined(_WIN32)
#define DLLExport extern "C" __declspec(dllexport)
#else
#define DLLExport extern "C" __attribute__((visibility("default")))
#endif

// The entry point every filter exports.
typedef void(MACPASCAL* PluginMainProc)(int16 selector, void* filterRecord, intptr_t* data, int16* result);

// Checked against the layout Windows hosts pass.
#include "PILayout.h"
