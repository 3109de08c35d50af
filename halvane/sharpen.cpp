// Sharpening after noise reduction; its rows run in
// halvane/kernels/sharpen_rows.cpp, built for every instruction set.
#include "halvane/sharpen.h"

#include "halvane/kernels/kernels.h"

const float kSharpenGain = 11.6f;
const float kSharpenNormaliser = 0.0862069f;

namespace {
const float NO_SHARPENING = 0.0f;
}  // namespace

int32 sharpenAfterNoiseReduce(fl_image& source, fl_image& destination, strength_map& strengthMap, float sharpAmount,
                              float chromaSharpAmount, int32 firstRow, int32 endRow, int32 band) {
    if (sharpAmount == NO_SHARPENING && chromaSharpAmount == NO_SHARPENING) return firstRow;
    if (firstRow >= endRow) return firstRow;
    // One loop, one image's bounds: the three images must agree.
    if (source.width != destination.width || source.height != destination.height ||
        !strengthMap.data || !strengthMap.fits(source.width, source.height))
        return firstRow;
    // The means read 2 pixels into the border and up to 7 floats past the
    // last sample of a row, which the border (3 pixels, 9 floats) covers.
    if (source.padX < 3 || source.padY < 2) return firstRow;
    return VEXLOR_KERNEL(sharpenRows)(source, destination, strengthMap, sharpAmount, chromaSharpAmount, firstRow,
                                      endRow, band);
}

int32 threadedSharpen(const threadedSharpen_struct& r) {
    return sharpenAfterNoiseReduce(*r.source, *r.destination, *r.strengthMap, r.sharpAmount, r.chromaSharpAmount,
                                   r.firstRow, r.endRow, r.band);
}
