// Rectangles and sizes of the filter record, in 32-bit form when the host
// offers the big-document record and the plug-in has announced it.
#pragma once

#include "PIFilter.h"

VPoint GetImageSize();
VRect GetFilterRect();
VRect GetInRect();
VRect GetOutRect();
VRect GetMaskRect();
VPoint GetFloatCoord();
VPoint GetWholeSize();
void SetInRect(VRect r);
void SetOutRect(VRect r);
void SetMaskRect(VRect r);
