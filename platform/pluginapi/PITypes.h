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
typedef uint8_t Boolean;
typedef int16 OSErr;
typedef int32 Fixed;      // 16.16 fixed point
typedef uint32 DescriptorKeyID;
typedef uint32 DescriptorTypeID;
typedef int32 SPErr;

// A "long" of the interface is 32 bits in every build.
typedef int32 ilong;

// Opaque host handle; only the host's handle procedures look inside.
typedef struct HandleRecord* Handle;
typedef Handle PIDescriptorHandle;
typedef struct OpaqueBufferID* BufferID;
typedef struct OpaqueReadDescriptor* PIReadDescriptor;
typedef struct OpaqueWriteDescriptor* PIWriteDescriptor;
typedef struct OpaqueActionDescriptor* PIActionDescriptor;

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

enum : OSErr {
    noErr = 0,
    memFullErr = -108,
    userCanceledErr = -128,
    errMissingParameter = -1715,
    paramErr = -50,
    filterBadParameters = -30100,
    filterBadMode = -30101,
    errPlugInHostInsufficient = -30900,
    errPlugInPropertyUndefined = -30901,
    errHostDoesNotSupportColStep = -30902,
    errInvalidSamplePoint = -30903,
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
    plugIncolorServicesChosenSpace = -1,
};

// Descriptor types.
enum : DescriptorTypeID {
    typeFloat = FourCC("doub"),
    typeInteger = FourCC("long"),
    typeBoolean = FourCC("bool"),
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
