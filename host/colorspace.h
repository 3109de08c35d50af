// Image modes, their plane counts and colour spaces, and the colour-services
// requests.
#pragma once

#include "PIGeneral.h"

int16 CSPlanesFromMode(uint16 mode, int16 defaultPlanes);
int16 CSModeToSpace(uint16 mode);
double power(uint32 base, uint16 exponent);

typedef int16 CSColor[4];
OSErr CSSetColor(int16* color, int16 c0, int16 c1, int16 c2, int16 c3);
OSErr CSCopyColor(int16* dst, const int16* src);
OSErr CSToPicker(int16* dst, const int16* src);
OSErr CSFromPicker(int16* dst, const int16* src);
OSErr CSInitInfo(ColorServicesInfo* info);
OSErr HostCSConvertColor(ColorServicesProc proc, int16 sourceSpace, int16 resultSpace, int16* color);
OSErr HostCSPickColor(ColorServicesProc proc, Str255* prompt, int16* space, int16* color);
