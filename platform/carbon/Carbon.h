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

#define kCFAllocatorDefault ((CFAllocatorRef) nullptr)
enum : CFStringEncoding {
    kCFStringEncodingMacRoman = 0,
    kCFStringEncodingASCII = 0x0600,
    kCFStringEncodingUTF8 = 0x08000100
};
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
CARBON_API CFIndex CFStringGetLength(CFStringRef s);
CARBON_API CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding);
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

// Memory Manager handles.  A handle points to its master pointer, as on the
// Mac: after HLock, *(Ptr*) h is the data.  The type is the host interface's
// own, so that the system's handles and a host's can be passed alike.
typedef struct HandleRecord* Handle;
typedef char* Ptr;
typedef int16_t OSErr;
typedef uint32_t OSType;
typedef uint32_t ResType;
typedef long Size;
enum : OSErr { resNotFound = -192 };

CARBON_API Handle NewHandle(Size byteCount);
CARBON_API void DisposeHandle(Handle h);
CARBON_API Size GetHandleSize(Handle h);
CARBON_API void SetHandleSize(Handle h, Size newSize);
CARBON_API void HLock(Handle h);
CARBON_API void HLockHi(Handle h);
CARBON_API void HUnlock(Handle h);
// The result of the last Memory Manager call.
CARBON_API OSErr MemError();
CARBON_API void BlockMove(const void* source, void* destination, Size count);
// The number as decimal text, a length-prefixed string.
CARBON_API void NumToString(long number, unsigned char* text);

// Resource Manager: files of resources, searched from the current file
// towards the application's.  A resource handle belongs to the Resource
// Manager until released.
CARBON_API int16_t CurResFile();
CARBON_API void UseResFile(int16_t refNum);
CARBON_API Handle GetResource(ResType type, int16_t id);
CARBON_API Handle Get1Resource(ResType type, int16_t id);
CARBON_API void ReleaseResource(Handle resource);
CARBON_API OSErr ResError();
// The application's resource file.
CARBON_API int16_t LMGetCurApRefNum();

// Gestalt: 'sysv' gives the system version as 0xMMmb (major in BCD, minor,
// bug fix); 'sys1', 'sys2', 'sys3' give major, minor and bug fix.
enum : OSType {
    gestaltSystemVersion = 0x73797376,
    gestaltSystemVersionMajor = 0x73797331,
    gestaltSystemVersionMinor = 0x73797332,
    gestaltSystemVersionBugFix = 0x73797333,
};
CARBON_API OSErr Gestalt(OSType selector, int32_t* response);

// Alerts from resources: the 'ALRT' of the id is an AlertTemplate
// (CarbonDialogs.h), whose bounds the alert is shown at, as loaded: a change
// made to the loaded resource moves the alert.  Its text is the 'DITL'
// resource of the same id, in which ^0..^3 are replaced by the parameter
// text.  Without the resources, or with an 'ALRT' shorter than its
// template, nothing is shown and the result is -1.  Bytes are passed on as
// they are (Mac Roman).
CARBON_API void ParamText(const unsigned char* param0, const unsigned char* param1, const unsigned char* param2,
                          const unsigned char* param3);
CARBON_API DialogItemIndex StopAlert(int16_t alertID, void* filterProc);
CARBON_API DialogItemIndex CautionAlert(int16_t alertID, void* filterProc);

// Stand-in controls for the embedding host and for tests.
typedef void (*CarbonAlertSink)(const char* text, void* context);
CARBON_API void CarbonStandInSetAlertSink(CarbonAlertSink sink, void* context);
// The next n alerts fail to be created, as a host short of memory would.
CARBON_API void CarbonStandInFailAlertCreation(int n);
// Live Core Foundation objects, so that tests can see a leak.
CARBON_API long CarbonStandInLiveObjects();
// Live Memory Manager handles, resources not counted.
CARBON_API long CarbonStandInLiveHandles();
// The next n handle allocations or resizes fail with memFullErr.
CARBON_API void CarbonStandInFailHandles(int n);
// Resources the host installs: a copy of the bytes under (file, type, id);
// the first file installed is the application's unless set otherwise.
CARBON_API void CarbonStandInInstallResource(int16_t refNum, ResType type, int16_t id, const void* data, long size);
CARBON_API void CarbonStandInSetApplicationFile(int16_t refNum);
// Forgets every resource and file; the current file becomes the application's.
CARBON_API void CarbonStandInClearResources();
CARBON_API void CarbonStandInSetSystemVersion(int major, int minor, int bugFix);
// The kind of the last alert shown: kAlertStopAlert, kAlertCautionAlert, or
// kAlertNoteAlert for the standard alerts.
CARBON_API AlertType CarbonStandInLastAlertType();

// Windows, controls, events and dialogs.
#include "CarbonWindows.h"

// Apple Event descriptors, the File Manager and Navigation Services, as far
// as the settings-file dialogs use them.  An FSRef names a path of this
// machine; the file dialogs ask the embedding host's responder what the user
// chooses.
typedef uint32_t DescType;
typedef uint8_t Boolean;

// (noErr, paramErr, fnfErr, userCanceledErr, typeNull and typeChar come with
// the host interface's types.)
enum : OSErr { errAECoercionFail = -1700 };

struct AEDesc {
    DescType descriptorType;
    void* dataHandle;
};
typedef AEDesc AEDescList;
enum : DescType { typeAEList = 0x6c697374 /* 'list' */, typeFSRef = 0x66737266 /* 'fsrf' */ };

CARBON_API OSErr AECoerceDesc(const AEDesc* theAEDesc, DescType toType, AEDesc* result);
CARBON_API OSErr AEGetDescData(const AEDesc* theAEDesc, void* dataPtr, Size maximumSize);
CARBON_API OSErr AEDisposeDesc(AEDesc* theAEDesc);

struct FSRef {
    uint8_t hidden[80];
};
struct FileInfo {
    OSType fileType;
    OSType fileCreator;
    uint16_t finderFlags;
    struct {
        int16_t v, h;
    } location;
    uint16_t reservedField;
};
typedef uint32_t FSCatalogInfoBitmap;
enum : FSCatalogInfoBitmap { kFSCatInfoFinderInfo = 0x00000800 };
struct FSCatalogInfo {
    uint16_t nodeFlags;
    uint32_t nodeID;
    uint8_t finderInfo[16];  // a FileInfo for a file
    uint8_t extFinderInfo[16];
};

CARBON_API OSStatus FSRefMakePath(const FSRef* ref, uint8_t* path, uint32_t maxPathSize);
CARBON_API OSStatus FSPathMakeRef(const uint8_t* path, FSRef* ref, Boolean* isDirectory);
CARBON_API OSErr FSSetCatalogInfo(const FSRef* ref, FSCatalogInfoBitmap whichInfo, const FSCatalogInfo* catalogInfo);

typedef struct __NavDialog* NavDialogRef;
typedef uint32_t NavUserAction;
enum : NavUserAction { kNavUserActionNone = 0, kNavUserActionCancel = 1, kNavUserActionOpen = 2,
                       kNavUserActionSaveAs = 3 };
typedef int32_t NavEventCallbackMessage;
enum : NavEventCallbackMessage { kNavCBEvent = 0, kNavCBStart = 2, kNavCBTerminate = 3, kNavCBUserAction = 12 };

struct NavDialogCreationOptions {
    uint16_t version;
    uint32_t optionFlags;
    struct {
        int16_t v, h;
    } location;
    CFStringRef clientName;
    CFStringRef windowTitle;
    CFStringRef actionButtonLabel;
    CFStringRef cancelButtonLabel;
    CFStringRef saveFileName;
    CFStringRef message;
    uint32_t preferenceKey;
    void* popupExtension;
    uint32_t modality;
    WindowRef parentWindow;
};
struct NavReplyRecord {
    uint16_t version;
    Boolean validRecord;
    Boolean replacing;
    Boolean isStationery;
    Boolean translationNeeded;
    AEDescList selection;
    int16_t keyScript;
    void* fileTranslation;
    CFStringRef saveFileName;
};
struct NavCBRec {
    uint16_t version;
    NavDialogRef context;
    WindowRef window;
    NavUserAction userAction;
};
typedef void (*NavEventProcPtr)(NavEventCallbackMessage callBackSelector, NavCBRec* callBackParms, void* callBackUD);
typedef NavEventProcPtr NavEventUPP;
typedef void* NavTypeListHandle;
typedef void* NavPreviewUPP;
typedef void* NavObjectFilterUPP;

CARBON_API NavEventUPP NewNavEventUPP(NavEventProcPtr proc);
CARBON_API void DisposeNavEventUPP(NavEventUPP upp);
CARBON_API OSStatus NavGetDefaultDialogCreationOptions(NavDialogCreationOptions* outOptions);
CARBON_API OSStatus NavCreatePutFileDialog(const NavDialogCreationOptions* inOptions, OSType inFileType,
                                           OSType inFileCreator, NavEventUPP inEventProc, void* inClientData,
                                           NavDialogRef* outDialog);
CARBON_API OSStatus NavCreateGetFileDialog(const NavDialogCreationOptions* inOptions, NavTypeListHandle inTypeList,
                                           NavEventUPP inEventProc, NavPreviewUPP inPreviewProc,
                                           NavObjectFilterUPP inFilterProc, void* inClientData,
                                           NavDialogRef* outDialog);
CARBON_API OSStatus NavDialogRun(NavDialogRef inDialog);
CARBON_API OSStatus NavDialogGetReply(NavDialogRef inDialog, NavReplyRecord* outReply);
CARBON_API NavUserAction NavDialogGetUserAction(NavDialogRef inDialog);
CARBON_API OSStatus NavDisposeReply(NavReplyRecord* inReply);
CARBON_API void NavDialogDispose(NavDialogRef inDialog);

// The embedding host plays the user of a file dialog: called once when the
// dialog runs, it fills the answer from the request.
enum CarbonNavDialogKind { kCarbonNavPutFile = 1, kCarbonNavGetFile = 2 };
struct CarbonNavRequest {
    CarbonNavDialogKind kind;
    const char* proposedName;  // UTF-8; null when none was given
    OSType fileType, fileCreator;  // put dialogs
    uint32_t preferenceKey;
    bool hasTypeList;  // get dialogs: false lists every file
};
struct CarbonNavAnswer {
    NavUserAction action;  // kNavUserActionSaveAs, kNavUserActionOpen or kNavUserActionCancel
    const char* path;      // save: the chosen folder; open: the chosen file
    const char* fileName;  // save: the name typed, UTF-8
    bool invalidReply;     // the reply comes back with validRecord false
    bool uncoercibleSelection;  // the selection is not a file reference
};
typedef void (*CarbonNavResponder)(const CarbonNavRequest* request, CarbonNavAnswer* answer, void* context);
CARBON_API void CarbonStandInSetNavResponder(CarbonNavResponder responder, void* context);
// The Finder type and creator that FSSetCatalogInfo gave the file at path;
// false when none was set.
CARBON_API bool CarbonStandInFinderInfo(const char* path, OSType* fileType, OSType* fileCreator);
// Live dialogs, replies and descriptors, so that tests can see a leak.
CARBON_API long CarbonStandInLiveNavObjects();

// The number a string begins with (after white space), or 0 when it begins
// with none.  Like the system's, it may give an infinity or a NaN ("1e999",
// "inf", "nan"), which callers must not take for a value.
CARBON_API double CFStringGetDoubleValue(CFStringRef s);
