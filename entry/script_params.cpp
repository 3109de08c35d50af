// The parameters in the host's scripting descriptor: read when an action is
// played, written for the host to record.
//
// A read applies the keys the descriptor carries (a script may set only some
// of them) but is all or nothing when the host fails a get: the parameter
// block is then exactly as before the read.  Values that are not finite are
// never applied.  The descriptor handle is disposed of once, by whichever of
// the two calls gets to it first, and the record's pointer is cleared with it.
#include <cmath>
#include <vector>

#include "PIFilter.h"
#include "host/globals.h"
#include "entry/params.h"
#include "entry/persistence.h"
#include "preview/proxy_persistence.h"

namespace {

PIDescriptorParameters* descriptorParameters() {
    return gFilterRecord ? gFilterRecord->descriptorParameters : nullptr;
}

void disposeDescriptor(PIDescriptorParameters* dp) {
    if (!dp->descriptor) return;
    HandleProcs* procs = gFilterRecord->handleProcs;
    if (!procs || !procs->disposeProc) return;
    procs->disposeProc(dp->descriptor);
    dp->descriptor = nullptr;
}

int valueIndexOf(DescriptorKeyID key) {
    for (int i = 0; i < kParamValueCount; ++i)
        if (keyGUIParams[i] != 0 && keyGUIParams[i] == key) return i;
    return -1;
}

int flagIndexOf(DescriptorKeyID key) {
    for (int j = 0; j < kParamFlagCount; ++j)
        if (keyBoolParams[j] != 0 && keyBoolParams[j] == key) return j;
    return -1;
}

}  // namespace

OSErr ReadScriptParameters(unsigned char* showDialog) {
    // The value keys up to the first without one, ended by a zero key.
    std::vector<DescriptorKeyID> expected;
    for (int i = 0; i < kParamValueCount && keyGUIParams[i] != 0; ++i) expected.push_back(keyGUIParams[i]);
    expected.push_back(0);

    if (!showDialog) return errMissingParameter;
    *showDialog = gData ? gData[0] : 0;

    PIDescriptorParameters* dp = descriptorParameters();
    if (!dp || !dp->readDescriptorProcs || !dp->descriptor) return noErr;
    ReadDescriptorProcs* procs = dp->readDescriptorProcs;
    if (!procs->openReadDescriptorProc || !procs->closeReadDescriptorProc || !procs->getKeyProc) return noErr;

    PIReadDescriptor token = procs->openReadDescriptorProc(dp->descriptor, expected.data());
    if (!token) {
        *showDialog = dp->playInfo == plugInDialogDisplay;
        return noErr;
    }

    const ParamBlock before = *gParams;
    std::vector<bool> seen(kParamValueCount, false);
    OSErr err = noErr;
    DescriptorKeyID key = 0;
    DescriptorTypeID type = 0;
    int32 keyFlags = 0;
    while (err == noErr && procs->getKeyProc(token, &key, &type, &keyFlags)) {
        const int i = valueIndexOf(key);
        const int j = i < 0 ? flagIndexOf(key) : -1;
        if (i >= 0) {
            double x = 0;
            err = procs->getFloatProc ? procs->getFloatProc(token, &x) : OSErr(errPlugInHostInsufficient);
            if (err == noErr) {
                seen[i] = true;
                if (std::isfinite(x)) gParams->values[i] = x;
            }
        } else if (j >= 0) {
            Boolean b = 0;
            err = procs->getBooleanProc ? procs->getBooleanProc(token, &b) : OSErr(errPlugInHostInsufficient);
            if (err == noErr) gParams->flags[j] = b ? 1 : 0;
        }
    }
    if (err != noErr) *gParams = before;

    const OSErr closeErr = procs->closeReadDescriptorProc(token);
    disposeDescriptor(dp);
    *showDialog = dp->playInfo == plugInDialogDisplay;

    if (err != noErr) return err;
    if (closeErr != noErr) return closeErr;
    // A script that sets only some parameters is normal; say which it was.
    for (size_t i = 0; i + 1 < expected.size(); ++i)
        if (!seen[i]) return errMissingParameter;
    return noErr;
}

OSErr WriteScriptParameters() {
    PIDescriptorParameters* dp = descriptorParameters();
    if (!dp || !dp->writeDescriptorProcs) return noErr;
    WriteDescriptorProcs* procs = dp->writeDescriptorProcs;
    if (!procs->openWriteDescriptorProc || !procs->closeWriteDescriptorProc) return noErr;

    PIWriteDescriptor token = procs->openWriteDescriptorProc();
    if (!token) return errMissingParameter;

    OSErr err = noErr;
    for (int i = 0; i < kParamValueCount; ++i) {
        if (keyGUIParams[i] == 0) continue;
        const OSErr e = procs->putFloatProc ? procs->putFloatProc(token, keyGUIParams[i], &gParams->values[i])
                                            : OSErr(errPlugInHostInsufficient);
        if (err == noErr) err = e;
    }
    for (int j = 0; j < kParamFlagCount; ++j) {
        if (keyBoolParams[j] == 0) continue;
        const OSErr e = procs->putBooleanProc ? procs->putBooleanProc(token, keyBoolParams[j], gParams->flags[j])
                                              : OSErr(errPlugInHostInsufficient);
        if (err == noErr) err = e;
    }
    const OSErr previewErr = proxyWriteScripting(procs, token);
    if (err == noErr) err = previewErr;

    PIDescriptorHandle fresh = nullptr;
    const OSErr closeErr = procs->closeWriteDescriptorProc(token, &fresh);
    if (dp->descriptor != fresh) disposeDescriptor(dp);
    dp->descriptor = fresh;
    dp->recordInfo = plugInDialogOptional;
    return err != noErr ? err : closeErr;
}
