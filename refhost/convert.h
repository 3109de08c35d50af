// Converting a document to the mode and depth a test hands to the plug-in:
// grey and RGB into each other, and 8, 16 and 32 bits into each other.
#pragma once

#include <stdexcept>

#include "refhost/refhost.h"

namespace refhost {

// 32-bit samples are linear light (sRGB primaries); 8- and 16-bit samples
// are sRGB-encoded.  Grey from RGB is the Rec. 601 luma of the encoded
// values.  Lab and CMYK convert only to another depth of themselves (the
// samples are rescaled); any other change throws std::invalid_argument.
Document convertDocument(const Document& src, int16 baseMode, int32 depth);

// A grey, RGB or Lab document as a screen shows it, at 8 bits: grey and RGB
// as encoded, Lab converted to sRGB as displayCallImage shows it.  Throws
// std::invalid_argument for other modes.
Document displayedImage(const Document& doc);

// The 8-bit mode of a mode's family (RGB48 -> RGB); -1 for other modes.
int16 baseModeOf(int16 mode);

}  // namespace refhost
