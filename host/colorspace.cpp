// Mode tables and colour-services requests.
#include "host/colorspace.h"

namespace {
const int16 planesPerMode[18] = {1, 1, 3, 3, 4, 3, 3, 0, 1, 3, 1, 3, 3, 4, 0, 1, 3, 1};
const int16 modePerSpace[18] = {-1, 4, -1, 0, 2, 5, 1, -1, 4, 3, 4, 0, 3, 2, -1, 4, 0, 4};

void fillRequest(ColorServicesInfo& info, int16 selector, int16 sourceSpace, int16 resultSpace,
                 const int16* color) {
    info.infoSize = kColorServicesInfoSize;
    info.selector = selector;
    info.sourceSpace = sourceSpace;
    info.resultSpace = resultSpace;
    info.reservedSourceSpaceInfo = nullptr;
    info.reservedResultSpaceInfo = nullptr;
    for (int i = 0; i < 4; ++i) info.colorComponents[i] = color ? color[i] : 0;
    info.reserved = nullptr;
    info.selectorParameter.pickerPrompt = nullptr;
}
}  // namespace

int16 CSPlanesFromMode(uint16 mode, int16 defaultPlanes) {
    if (mode > 17 || mode == plugInModeMultichannel || mode == plugInModeDeepMultichannel) return defaultPlanes;
    return planesPerMode[mode];
}

int16 CSModeToSpace(uint16 mode) { return mode > 17 ? int16(-1) : modePerSpace[mode]; }

double power(uint32 base, uint16 exponent) {
    double result = 1.0;
    for (uint16 i = 0; i < exponent; ++i) result *= double(base);
    return result;
}

OSErr CSSetColor(int16* color, int16 c0, int16 c1, int16 c2, int16 c3) {
    if (!color) return errMissingParameter;
    color[0] = c0;
    color[1] = c1;
    color[2] = c2;
    color[3] = c3;
    return noErr;
}

OSErr CSCopyColor(int16* dst, const int16* src) {
    if (!dst || !src) return errMissingParameter;
    for (int i = 0; i < 4; ++i) dst[i] = src[i];
    return noErr;
}

OSErr CSToPicker(int16* dst, const int16* src) {
    if (!dst || !src) return errMissingParameter;
    for (int i = 0; i < 4; ++i) dst[i] = int16(uint16(uint32(int32(src[i])) * 256u));
    return noErr;
}

OSErr CSFromPicker(int16* dst, const int16* src) {
    if (!dst || !src) return errMissingParameter;
    // The picker's components are unsigned 16-bit values: each one's high byte.
    for (int i = 0; i < 4; ++i) dst[i] = int16(uint16(src[i]) >> 8);
    return noErr;
}

OSErr CSInitInfo(ColorServicesInfo* info) {
    if (!info) return errMissingParameter;
    fillRequest(*info, plugIncolorServicesConvertColor, plugIncolorServicesRGBSpace,
                plugIncolorServicesChosenSpace, nullptr);
    return noErr;
}

OSErr HostCSConvertColor(ColorServicesProc proc, int16 sourceSpace, int16 resultSpace, int16* color) {
    if (!proc) return errPlugInHostInsufficient;
    if (!color) return errMissingParameter;
    ColorServicesInfo info;
    fillRequest(info, plugIncolorServicesConvertColor, sourceSpace, resultSpace, color);
    OSErr err = proc(&info);
    if (err == noErr) CSCopyColor(color, info.colorComponents);
    return err;
}

OSErr HostCSPickColor(ColorServicesProc proc, Str255* prompt, int16* space, int16* color) {
    if (!proc) return errPlugInHostInsufficient;
    if (!space || !color) return errMissingParameter;
    ColorServicesInfo info;
    fillRequest(info, plugIncolorServicesChooseColor, *space, plugIncolorServicesChosenSpace, color);
    info.selectorParameter.pickerPrompt = prompt;
    OSErr err = proc(&info);
    if (err == noErr) {
        CSCopyColor(color, info.colorComponents);
        *space = info.resultSpace;
    }
    return err;
}
