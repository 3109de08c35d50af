// Apple Event descriptors, file references and the Navigation Services file
// dialogs of the headless Carbon stand-in.  An FSRef carries the number of a
// path in a table; the dialogs ask the embedding host's responder what the
// user does and then call the dialog's event procedure as the real loop does:
// start, the user's action, terminate.
#include "Carbon.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "standin_internal.h"

namespace {

const OSErr kNoErr = 0, kParamErr = -50, kFileNotFound = -43, kUserCanceledErr = -128;
const DescType kTypeNull = 0x6e756c6c /* 'null' */, kTypeText = 0x54455854 /* 'TEXT' */;

std::atomic<long> liveNavObjects{0};
std::mutex tableMutex;
std::vector<std::string> refPaths;  // an FSRef's number is its index here
struct Finder {
    OSType type, creator;
};
std::map<std::string, Finder> finderInfo;
CarbonNavResponder navResponder = nullptr;
void* navContext = nullptr;

const uint8_t kRefMark[4] = {'p', 'a', 't', 'h'};

FSRef refFor(const std::string& path) {
    std::lock_guard<std::mutex> lock(tableMutex);
    FSRef ref{};
    uint64_t index = refPaths.size();
    for (uint64_t i = 0; i < refPaths.size(); ++i)
        if (refPaths[i] == path) index = i;
    if (index == refPaths.size()) refPaths.push_back(path);
    std::memcpy(ref.hidden, kRefMark, sizeof kRefMark);
    std::memcpy(ref.hidden + 8, &index, sizeof index);
    return ref;
}

bool pathOf(const FSRef* ref, std::string& path) {
    if (!ref || std::memcmp(ref->hidden, kRefMark, sizeof kRefMark) != 0) return false;
    uint64_t index;
    std::memcpy(&index, ref->hidden + 8, sizeof index);
    std::lock_guard<std::mutex> lock(tableMutex);
    if (index >= refPaths.size()) return false;
    path = refPaths[index];
    return true;
}

// What a descriptor holds: a list holds one item of itemType.
struct DescData {
    DescType itemType;
    std::vector<uint8_t> bytes;
};

AEDesc makeDesc(DescType type, DescType itemType, const void* bytes, size_t size) {
    ++liveNavObjects;
    const uint8_t* b = static_cast<const uint8_t*>(bytes);
    return AEDesc{type, new DescData{itemType, std::vector<uint8_t>(b, b + size)}};
}

}  // namespace

struct __NavDialog {
    CarbonNavRequest request;
    std::string proposedName;
    NavEventUPP eventProc;
    void* clientData;
    CarbonNavAnswer answer;
    std::string path, fileName;
};

OSErr AECoerceDesc(const AEDesc* theAEDesc, DescType toType, AEDesc* result) {
    if (!theAEDesc || !result) return kParamErr;
    *result = AEDesc{kTypeNull, nullptr};
    const DescData* d = static_cast<const DescData*>(theAEDesc->dataHandle);
    if (!d) return errAECoercionFail;
    const DescType held = theAEDesc->descriptorType == typeAEList ? d->itemType : theAEDesc->descriptorType;
    if (held != toType) return errAECoercionFail;
    *result = makeDesc(toType, toType, d->bytes.data(), d->bytes.size());
    return kNoErr;
}

OSErr AEGetDescData(const AEDesc* theAEDesc, void* dataPtr, Size maximumSize) {
    if (!theAEDesc || !dataPtr || maximumSize < 0) return kParamErr;
    const DescData* d = static_cast<const DescData*>(theAEDesc->dataHandle);
    if (!d) return kParamErr;
    std::memcpy(dataPtr, d->bytes.data(), std::min(d->bytes.size(), size_t(maximumSize)));
    return kNoErr;
}

OSErr AEDisposeDesc(AEDesc* theAEDesc) {
    if (!theAEDesc) return kParamErr;
    if (theAEDesc->dataHandle) {
        --liveNavObjects;
        delete static_cast<DescData*>(theAEDesc->dataHandle);
    }
    *theAEDesc = AEDesc{kTypeNull, nullptr};
    return kNoErr;
}

OSStatus FSRefMakePath(const FSRef* ref, uint8_t* path, uint32_t maxPathSize) {
    std::string p;
    if (!path || !pathOf(ref, p)) return kParamErr;
    if (p.size() + 1 > maxPathSize) return -2110;  // buffer too small
    std::memcpy(path, p.c_str(), p.size() + 1);
    return kNoErr;
}

OSStatus FSPathMakeRef(const uint8_t* path, FSRef* ref, Boolean* isDirectory) {
    if (!path || !ref) return kParamErr;
    const std::string p(reinterpret_cast<const char*>(path));
    struct stat st;
    if (stat(p.c_str(), &st) != 0) return kFileNotFound;
    *ref = refFor(p);
    if (isDirectory) *isDirectory = S_ISDIR(st.st_mode);
    return kNoErr;
}

OSErr FSSetCatalogInfo(const FSRef* ref, FSCatalogInfoBitmap whichInfo, const FSCatalogInfo* catalogInfo) {
    std::string p;
    if (!catalogInfo || !pathOf(ref, p)) return kParamErr;
    struct stat st;
    if (stat(p.c_str(), &st) != 0) return kFileNotFound;
    if (whichInfo & kFSCatInfoFinderInfo) {
        FileInfo info;
        std::memcpy(&info, catalogInfo->finderInfo, sizeof info);
        std::lock_guard<std::mutex> lock(tableMutex);
        finderInfo[p] = Finder{info.fileType, info.fileCreator};
    }
    return kNoErr;
}

NavEventUPP NewNavEventUPP(NavEventProcPtr proc) { return proc; }
void DisposeNavEventUPP(NavEventUPP) {}

OSStatus NavGetDefaultDialogCreationOptions(NavDialogCreationOptions* outOptions) {
    if (!outOptions) return kParamErr;
    *outOptions = NavDialogCreationOptions{};
    return kNoErr;
}

namespace {
OSStatus createDialog(const NavDialogCreationOptions* options, CarbonNavDialogKind kind, NavEventUPP eventProc,
                      void* clientData, NavDialogRef* outDialog) {
    if (!options || !outDialog) return kParamErr;
    ++liveNavObjects;
    NavDialogRef d = new __NavDialog{};
    d->request.kind = kind;
    d->request.preferenceKey = options->preferenceKey;
    if (options->saveFileName) {
        const CFIndex size = CFStringGetMaximumSizeForEncoding(CFStringGetLength(options->saveFileName),
                                                               kCFStringEncodingUTF8) + 1;
        std::vector<char> name(size_t(size), '\0');
        if (CFStringGetCString(options->saveFileName, name.data(), size, kCFStringEncodingUTF8))
            d->proposedName = name.data();
        d->request.proposedName = d->proposedName.c_str();
    }
    d->eventProc = eventProc;
    d->clientData = clientData;
    *outDialog = d;
    return kNoErr;
}
}  // namespace

OSStatus NavCreatePutFileDialog(const NavDialogCreationOptions* inOptions, OSType inFileType, OSType inFileCreator,
                                NavEventUPP inEventProc, void* inClientData, NavDialogRef* outDialog) {
    OSStatus err = createDialog(inOptions, kCarbonNavPutFile, inEventProc, inClientData, outDialog);
    if (err == kNoErr) {
        (*outDialog)->request.fileType = inFileType;
        (*outDialog)->request.fileCreator = inFileCreator;
    }
    return err;
}

OSStatus NavCreateGetFileDialog(const NavDialogCreationOptions* inOptions, NavTypeListHandle inTypeList,
                                NavEventUPP inEventProc, NavPreviewUPP, NavObjectFilterUPP, void* inClientData,
                                NavDialogRef* outDialog) {
    OSStatus err = createDialog(inOptions, kCarbonNavGetFile, inEventProc, inClientData, outDialog);
    if (err == kNoErr) (*outDialog)->request.hasTypeList = inTypeList != nullptr;
    return err;
}

OSStatus NavDialogRun(NavDialogRef inDialog) {
    if (!inDialog) return kParamErr;
    CarbonNavAnswer answer{kNavUserActionCancel, nullptr, nullptr, false, false};
    if (navResponder) navResponder(&inDialog->request, &answer, navContext);
    inDialog->answer = answer;
    inDialog->path = answer.path ? answer.path : "";
    inDialog->fileName = answer.fileName ? answer.fileName : "";
    NavCBRec rec{0, inDialog, nullptr, answer.action};
    // The event procedure may dispose of the dialog at terminate.
    const NavEventUPP proc = inDialog->eventProc;
    void* clientData = inDialog->clientData;
    if (proc) {
        proc(kNavCBStart, &rec, clientData);
        proc(kNavCBUserAction, &rec, clientData);
        proc(kNavCBTerminate, &rec, clientData);
    }
    return kNoErr;
}

OSStatus NavDialogGetReply(NavDialogRef inDialog, NavReplyRecord* outReply) {
    if (!inDialog || !outReply) return kParamErr;
    *outReply = NavReplyRecord{};
    const NavUserAction action = inDialog->answer.action;
    if (action != kNavUserActionOpen && action != kNavUserActionSaveAs) return kUserCanceledErr;
    outReply->validRecord = !inDialog->answer.invalidReply;
    if (inDialog->answer.uncoercibleSelection) {
        outReply->selection = makeDesc(typeAEList, kTypeText, inDialog->path.data(), inDialog->path.size());
    } else {
        const FSRef ref = refFor(inDialog->path);
        outReply->selection = makeDesc(typeAEList, typeFSRef, &ref, sizeof ref);
    }
    if (action == kNavUserActionSaveAs)
        outReply->saveFileName = carbonStandInNewString(inDialog->fileName);
    return kNoErr;
}

NavUserAction NavDialogGetUserAction(NavDialogRef inDialog) {
    return inDialog ? inDialog->answer.action : kNavUserActionNone;
}

OSStatus NavDisposeReply(NavReplyRecord* inReply) {
    if (!inReply) return kParamErr;
    AEDisposeDesc(&inReply->selection);
    if (inReply->saveFileName) CFRelease(inReply->saveFileName);
    inReply->saveFileName = nullptr;
    return kNoErr;
}

void NavDialogDispose(NavDialogRef inDialog) {
    if (!inDialog) return;
    --liveNavObjects;
    delete inDialog;
}

void CarbonStandInSetNavResponder(CarbonNavResponder responder, void* context) {
    navResponder = responder;
    navContext = context;
}

bool CarbonStandInFinderInfo(const char* path, OSType* fileType, OSType* fileCreator) {
    std::lock_guard<std::mutex> lock(tableMutex);
    auto it = finderInfo.find(path ? path : "");
    if (it == finderInfo.end()) return false;
    if (fileType) *fileType = it->second.type;
    if (fileCreator) *fileCreator = it->second.creator;
    return true;
}

long CarbonStandInLiveNavObjects() { return liveNavObjects.load(); }
