// Basic types of the host's plug-in interface: fixed-width integers, result
// codes, rectangles, points, handles and four-character codes.
#pragma once

#include <cstddef>
#include <cstdint>

typedef int8_t int8;
typedef uint8_t uint8;
typedef int16_t int16;
typedef uint16_t uint16;
typedef int32_t int32;
typedef uint32_t uint32;
typedef int64_t int64;
typedef uint64_t uint64;
// The host's one-byte boolean (the record's flags, the procedures' flags).
typedef uint8_t Boolean;
// The basic suite's and the string suite's boolean is four bytes.
typedef int32 ASBoolean;
typedef int16 OSErr;
typedef int32 Fixed;      // 16.16 fixed point
typedef uint32 DescriptorKeyID;
typedef uint32 DescriptorTypeID;
typedef int32 SPErr;

// A length-prefixed string of at most 255 characters.
typedef unsigned char Str255[256];

// A "long" of the interface is 32 bits in every build.
typedef int32 ilong;

// Opaque host handle; only the host's handle procedures look inside.
typedef struct HandleRecord* Handle;
typedef Handle PIDescriptorHandle;
typedef struct OpaqueBufferID* BufferID;
typedef struct OpaqueReadDescriptor* PIReadDescriptor;
typedef struct OpaqueWriteDescriptor* PIWriteDescriptor;
typedef struct OpaqueActionDescriptor* PIActionDescriptor;
typedef struct OpaqueActionList* PIActionList;
typedef struct OpaqueActionReference* PIActionReference;
typedef struct OpaqueZString* ASZString;

#define MACPASCAL
#define SPAPI

constexpr uint32 FourCC(const char (&s)[5]) {
    return (uint32(uint8(s[0])) << 24) | (uint32(uint8(s[1])) << 16) | (uint32(uint8(s[2])) << 8) |
           uint32(uint8(s[3]));
}

// 16-bit geometry of the classic record.
struct Rect {
    int16 top, left, bottom, right;
};
struct Point {
    int16 v, h;
};

// 32-bit geometry of the big-document record.
struct VRect {
    int32 top, left, bottom, right;
};
struct VPoint {
    int32 v, h;
};

// Each channel 0..65535.
struct RGBColor {
    uint16 red, green, blue;
};

enum : OSErr {
    noErr = 0,
    coercedParamErr = 2,
    readErr = -19,
    writErr = -20,
    openErr = -23,
    dskFulErr = -34,
    ioErr = -36,
    eofErr = -39,
    fnfErr = -43,
    fLckdErr = -45,
    vLckdErr = -46,
    paramErr = -50,
    memFullErr = -108,
    nilHandleErr = -109,
    memWZErr = -111,
    userCanceledErr = -128,
    errMissingParameter = -1715,
    filterBadParameters = -30100,
    filterBadMode = -30101,
    errPlugInHostInsufficient = -30900,
    errPlugInPropertyUndefined = -30901,
    errHostDoesNotSupportColStep = -30902,
    errInvalidSamplePoint = -30903,
    errReportString = -30904,
    errUnknownPort = -30910,
    errUnsupportedRowBits = -30911,
    errUnsupportedColBits = -30912,
    errUnsupportedBitOffset = -30913,
    errUnsupportedDepth = -30914,
    errUnsupportedDepthConversion = -30915,
};

// Results of the basic suite and the suites acquired through it.
enum : SPErr {
    kSPNoError = 0,
    kSPOutOfMemoryError = -108,
    kSPBadParameterError = 0x5061726d,   // 'Parm'
    kSPLogicError = 0x66626172,          // 'fbar'
    kSPSuiteNotFoundError = 0x53214664,  // 'S!Fd'
    kSPUnimplementedError = 0x21494d50,  // '!IMP'
    kSPUserCanceledError = 0x73746f70,   // 'stop'
};

// Results of the string suite.
enum : SPErr {
    kASNoErr = 0,
    kASBadParameter = 0x5041524d,       // 'PARM'
    kASBufferTooSmallErr = 0x42554646,  // 'BUFF'
    kASOutOfMemory = 0x214d454d,        // '!MEM'
    kASNotImplemented = 0x21494d50,     // '!IMP'
};

enum : int16 {
    filterSelectorAbout = 0,
    filterSelectorParameters = 1,
    filterSelectorPrepare = 2,
    filterSelectorStart = 3,
    filterSelectorContinue = 4,
    filterSelectorFinish = 5,
};

// Image modes.
enum : int16 {
    plugInModeBitmap = 0,
    plugInModeGrayScale = 1,
    plugInModeIndexedColor = 2,
    plugInModeRGBColor = 3,
    plugInModeCMYKColor = 4,
    plugInModeHSLColor = 5,
    plugInModeHSBColor = 6,
    plugInModeMultichannel = 7,
    plugInModeDuotone = 8,
    plugInModeLabColor = 9,
    plugInModeGray16 = 10,
    plugInModeRGB48 = 11,
    plugInModeLab48 = 12,
    plugInModeCMYK64 = 13,
    plugInModeDeepMultichannel = 14,
    plugInModeDuotone16 = 15,
    plugInModeRGB96 = 16,
    plugInModeGray32 = 17,
};

// Colour-services spaces.
enum : int16 {
    plugIncolorServicesRGBSpace = 0,
    plugIncolorServicesHSBSpace = 1,
    plugIncolorServicesCMYKSpace = 2,
    plugIncolorServicesLabSpace = 3,
    plugIncolorServicesGraySpace = 4,
    plugIncolorServicesHSLSpace = 5,
    plugIncolorServicesXYZSpace = 6,
    plugIncolorServicesChosenSpace = -1,
};

// Descriptor types.
enum : DescriptorTypeID {
    typeAlias = FourCC("alis"),
    typeBoolean = FourCC("bool"),
    typeChar = FourCC("TEXT"),
    typeType = FourCC("type"),
    typeEnumerated = FourCC("enum"),
    typeFloat = FourCC("doub"),
    typeGlobalClass = FourCC("GlbC"),
    typeInteger = FourCC("long"),
    typeNull = FourCC("null"),
    typeObject = FourCC("Objc"),
    typeObjectSpecifier = FourCC("obj "),
    typePath = FourCC("Pat "),
    typeRawData = FourCC("tdta"),
    typeUnitFloat = FourCC("UntF"),
    typeValueList = FourCC("VlLs"),
};

// Play and record information of the scripting descriptor.
enum : int32 {
    plugInDialogDontDisplay = 0,
    plugInDialogDisplay = 1,
    plugInDialogSilent = 2,
};
enum : int32 {
    plugInDialogOptional = 0,
    plugInDialogRequired = 1,
    plugInDialogNone = 2,
};
