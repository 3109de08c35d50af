// A headless stand-in for the parts of Carbon and Core Foundation that the
// Mac form of the plug-ins uses.  Alerts are recorded and handed to a sink
// that the embedding host installs; nothing blocks.
#pragma once

#include <cstdint>

#if defined(__GNUC__)
#define CARBON_API extern "C" __attribute__((visibility("default")))
#else
#define CARBON_API extern "C"
#endif

typedef int32_t OSStatus;
typedef uint32_t CFStringEncoding;
typedef long CFIndex;
typedef struct __CFString* CFStringRef;
typedef const void* CFTypeRef;
typedef struct __CFBundle* CFBundleRef;
typedef struct __CFAllocator* CFAllocatorRef;
typedef struct OpaqueDialogPtr* DialogRef;
typedef int16_t DialogItemIndex;
typedef int16_t AlertType;
typedef int32_t ItemCount;
typedef unsigned char Boolean_;

#define kCFAllocatorDefault ((CFAllocatorRef) nullptr)
enum : CFStringEncoding { kCFStringEncodingASCII = 0x0600, kCFStringEncodingUTF8 = 0x08000100 };
enum : AlertType { kAlertStopAlert = 0, kAlertNoteAlert = 1, kAlertCautionAlert = 2, kAlertPlainAlert = 3 };
enum { kStdCFStringAlertVersionOne = 1 };

struct AlertStdCFStringAlertParamRec {
    uint32_t version;
    bool movable;
    bool helpButton;
    CFStringRef defaultText;
    CFStringRef cancelText;
    CFStringRef otherText;
    int16_t defaultButton;
    int16_t cancelButton;
    uint16_t position;
    uint32_t flags;
};

CARBON_API CFStringRef CFStringCreateWithCString(CFAllocatorRef alloc, const char* cStr, CFStringEncoding encoding);
CARBON_API CFStringRef CFStringCreateWithFormat(CFAllocatorRef alloc, const void* formatOptions, CFStringRef format,
                                                ...);
CARBON_API bool CFStringGetCString(CFStringRef s, char* buffer, CFIndex bufferSize, CFStringEncoding encoding);
CARBON_API const char* CFStringGetCStringPtr(CFStringRef s, CFStringEncoding encoding);
CARBON_API void CFRelease(CFTypeRef cf);
CARBON_API CFBundleRef CFBundleGetMainBundle();
CARBON_API CFStringRef CFBundleCopyLocalizedString(CFBundleRef bundle, CFStringRef key, CFStringRef value,
                                                   CFStringRef tableName);

CARBON_API OSStatus GetStandardAlertDefaultParams(AlertStdCFStringAlertParamRec* param, uint32_t version);
CARBON_API OSStatus CreateStandardAlert(AlertType alertType, CFStringRef error, CFStringRef explanation,
                                        const AlertStdCFStringAlertParamRec* param, DialogRef* outAlert);
CARBON_API OSStatus RunStandardAlert(DialogRef alert, void* filterProc, DialogItemIndex* outItemHit);

// Multiprocessing Services: the processors this process may run on.
CARBON_API ItemCount MPProcessorsScheduled();

// Stand-in controls for the embedding host and for tests.
typedef void (*CarbonAlertSink)(const char* text, void* context);
CARBON_API void CarbonStandInSetAlertSink(CarbonAlertSink sink, void* context);
// The next n alerts fail to be created, as a host short of memory would.
CARBON_API void CarbonStandInFailAlertCreation(int n);
// Live Core Foundation objects, so that tests can see a leak.
CARBON_API long CarbonStandInLiveObjects();
