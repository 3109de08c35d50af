// The Mac settings-file dialogs: a put-file dialog for Save, a get-file
// dialog that lists every file for Load, one event procedure for both.
#include "mac/settings_dialogs_mac.h"

#include <cstring>
#include <string>

#include "host/alerts.h"
#include "engine/product.h"
#include "entry/settings_file.h"
#include "mac/alerts_mac.h"
#include "mac/nib_window_mac.h"

namespace {

const OSType kSettingsCreator = FourCC("Qvtz");
const uint32_t kDialogPreferenceKey = 1234;
const long kAlertCode = 8999;
const OSStatus kIoErr = -36;

const char* const kPathErrorText = "Error getting file path.  Note that unicode strings are not supported.";

// An alert whose code is shown by doErrorAlert's rules (0: nothing).
void alertWithCode(long code, const char* text) {
    ReleasedString s(text);
    doErrorAlert(code, s.s);
}

void runDialog(NavDialogRef& dialog, OSStatus created, NavEventUPP eventProc) {
    if (created == 0 && dialog) NavDialogRun(dialog);
    // The event procedure disposes of the dialog at terminate; a run that
    // ended without one leaves it to us.
    if (dialog) NavDialogDispose(dialog);
    dialog = nullptr;
    DisposeNavEventUPP(eventProc);
}

}  // namespace

void saveSettings(parameterStructure params, const char* magic) {
    NavDialogCreationOptions options;
    NavGetDefaultDialogCreationOptions(&options);
    ReleasedString untitled("untitled");
    const std::string format = std::string("%@.") + kSettingsExtension;
    ReleasedString nameFormat(format.c_str());
    ReleasedString proposed(CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, nameFormat.s, untitled.s));
    options.saveFileName = proposed.s;
    options.preferenceKey = kDialogPreferenceKey;

    NavDialogRef dialog = nullptr;
    ourSaveDialogUserData data{params, &dialog, magic};
    const NavEventUPP eventProc = NewNavEventUPP(myNavigationEventCallback);
    const OSStatus err =
        NavCreatePutFileDialog(&options, kSettingsFileType, kSettingsCreator, eventProc, &data, &dialog);
    runDialog(dialog, err, eventProc);
}

void loadSettings(parameterStructure params, const char* magic) {
    NavDialogCreationOptions options;
    NavGetDefaultDialogCreationOptions(&options);
    options.preferenceKey = kDialogPreferenceKey;
    NavDialogRef dialog = nullptr;
    ourSaveDialogUserData data{params, &dialog, magic};
    const NavEventUPP eventProc = NewNavEventUPP(myNavigationEventCallback);
    const OSStatus err = NavCreateGetFileDialog(&options, nullptr, eventProc, nullptr, nullptr, &data, &dialog);
    runDialog(dialog, err, eventProc);
}

void myNavigationEventCallback(NavEventCallbackMessage selector, NavCBRec* parms, void* clientData) {
    ourSaveDialogUserData* data = static_cast<ourSaveDialogUserData*>(clientData);
    switch (selector) {
        case kNavCBUserAction: {
            NavReplyRecord reply;
            if (NavDialogGetReply(parms->context, &reply) != 0) break;
            switch (NavDialogGetUserAction(parms->context)) {
                case kNavUserActionOpen: handleLoad(reply, *data); break;
                case kNavUserActionSaveAs: handleSave(reply, *data); break;
                default: break;
            }
            NavDisposeReply(&reply);
            break;
        }
        case kNavCBTerminate:
            if (*data->dialog) {
                NavDialogDispose(*data->dialog);
                *data->dialog = nullptr;
            }
            break;
        default: break;
    }
}

OSStatus handleSave(const NavReplyRecord& reply, ourSaveDialogUserData data) {
    if (!reply.validRecord) return 0;
    std::string path;
    OSStatus err = getFullPathFSRefToString(reply, path);
    if (err) {
        alertWithCode(err, kPathErrorText);
        return err;
    }
    // The old file is still whole after a failed save; saying nothing would
    // pass the failure off as a save.
    if (!writeParamsToFile(data.params, path, data.magic)) {
        doAlertBox("Error writing save file.  It may be read-only.");
        return kIoErr;
    }
    FSRef ref;
    err = FSPathMakeRef(reinterpret_cast<const uint8_t*>(path.c_str()), &ref, nullptr);
    if (err) {
        alertWithCode(err, "Error getting file path to write catalog information.");
        return 0;
    }
    FSCatalogInfo catalog{};
    FileInfo info{};
    info.fileType = kSettingsFileType;
    info.fileCreator = kSettingsCreator;
    std::memcpy(catalog.finderInfo, &info, sizeof info);
    alertWithCode(FSSetCatalogInfo(&ref, kFSCatInfoFinderInfo, &catalog),
                  "Error setting catalog information on saved file.");
    return 0;
}

OSStatus handleLoad(const NavReplyRecord& reply, ourSaveDialogUserData data) {
    if (!reply.validRecord) {
        alertWithCode(kAlertCode, "Error getting a valid record.");
        return 0;
    }
    std::string path;
    const OSStatus err = getFullPathFSRefToString(reply, path);
    if (err) {
        alertWithCode(err, kPathErrorText);
        return err;
    }
    if (!loadParamsFromFile(data.params, path, data.magic))
        alertWithCode(kAlertCode, "Error loading parameters from file.  Not all parameters may be loaded.");
    return 0;
}

OSStatus getFullPathFSRefToString(const NavReplyRecord& reply, std::string& path) {
    AEDesc fileDesc;
    if (AECoerceDesc(&reply.selection, typeFSRef, &fileDesc) != 0) return -2700;
    FSRef ref;
    OSStatus err = AEGetDescData(&fileDesc, &ref, sizeof ref);
    if (!err) err = getDirPathFSRefToString(ref, path);
    // A save names the folder and gives the file name apart.  The folder's
    // path is UTF-8, so the name is too: another encoding would put bytes
    // into the path that name some other file.
    std::string name;
    if (!err && reply.saveFileName) {
        if (utf8Text(reply.saveFileName, name)) {
            path += "/";
            path += name;
        } else {
            alertWithCode(kAlertCode, "Error getting file path.  Could not get C String.");
            err = kAlertCode;
        }
    }
    AEDisposeDesc(&fileDesc);
    return err;
}

OSStatus getDirPathFSRefToString(const FSRef& ref, std::string& path) {
    path.clear();
    uint8_t buffer[1024];
    const OSStatus err = FSRefMakePath(&ref, buffer, sizeof buffer);
    if (err) return err;
    path = reinterpret_cast<const char*>(buffer);
    return 0;
}
