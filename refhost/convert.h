// Converting a document to the mode and depth a test or a user hands to the
// plug-in.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "refhost/refhost.h"

namespace refhost {

// Grey and RGB convert into each other and 8, 16 and 32 bits into each other
// by the host's rules: 32-bit samples are linear light (sRGB primaries), 8-
// and 16-bit samples are sRGB-encoded, and grey from RGB is the Rec. 601
// luma of the encoded values.
//
// Lab is the host's CIE Lab (D50): 8 bits hold L x 2.55 and 128 + a, b;
// 16 bits hold L x 327.68 and 16384 + 128 x a, b.  Grey and RGB convert
// into and out of it through Little CMS, relative colorimetric, in the
// colours of iccProfile (an ICC profile of the grey or RGB side's 8- or
// 16-bit samples) or, when it is empty, of sRGB: RGB in sRGB, grey with
// sRGB's tone curve, 32-bit samples in linear sRGB.  Lab changes depth by
// its encodings.  CMYK converts only to another depth of itself (the
// samples are rescaled).  Anything else throws std::invalid_argument, and so
// does a profile that is not one of the grey or RGB side's colours or that
// Little CMS cannot convert with, with the reason.
Document convertDocument(const Document& src, int16 baseMode, int32 depth,
                         const std::vector<uint8_t>& iccProfile = {});

// Throws std::invalid_argument, with the reason, unless iccProfile is an ICC
// profile that Little CMS reads, of baseMode's colours (grey, RGB or CMYK).
void checkIccProfile(const std::vector<uint8_t>& iccProfile, int16 baseMode);

// The 8-bit mode of a mode's family (RGB48 -> RGB); -1 for other modes.
int16 baseModeOf(int16 mode);

}  // namespace refhost
