// Halvane's writers run their rows on the engine's bands through the
// template that Glimra's writers use (forEachOutputRow); only the per-pixel
// work differs, and its rows run in halvane/kernels/mix_rows.cpp, built for
// every instruction set.  Every pixel depends on its own input only, so the
// band split changes nothing.
#include "halvane/luma_chroma_mix.h"

#include <cstdint>

#include "engine/engine_params.h"
#include "host/globals.h"
#include "halvane/kernels/kernels.h"
#include "halvane/mix_pixel.h"
#include "image/colorspace_luts.h"

namespace {

// The rectangle's rows on the engine's bands, each through rowKernel(params,
// processed, origin, destination, samples per pixel, mask row, width).
template <typename Sample, typename RowKernel>
void mixRectangle(const outputRectangle& r, bool maskFlag, RowKernel rowKernel) {
    // Halvane mixes the input back in: without it there is nothing to write.
    if (!r.origin) return;
    // The rectangle's pixels must all be interior pixels of the image: its
    // loop must not run past the image that it reads.
    const fl_image& img = *r.image;
    if (r.imageX < 0 || r.imageY < 0 || int64_t(r.imageX) + r.width > img.width ||
        int64_t(r.imageY) + r.height > img.height)
        return;
    const lumaChromaMixParams params = currentLumaChromaMixParams();
    const uint8* maskData = gFilterRecord ? static_cast<const uint8*>(gFilterRecord->maskData) : nullptr;
    const int32 maskRowBytes = gFilterRecord ? gFilterRecord->maskRowBytes : 0;
    const bool useMask = maskData && maskFlag;
    auto row = [&](const float* p, const Sample* o, Sample* d, int spp, int32 y, int32 x, int32 n) {
        const uint8* mask = useMask ? maskData + int64_t(r.destY + y) * maskRowBytes + r.destX + x : nullptr;
        rowKernel(params, p, o, d, spp, mask, n);
    };
    forEachOutputRow<Sample>(r, row);
}

}  // namespace

float tonalProtection(const lumaChromaMixParams& p, float luma) { return protectionOf<float>(p, luma); }

void lumaChromaMixPixel(const lumaChromaMixParams& p, float R, float G, float B, const float* processed,
                        float* out0, float* out1, float* out2, float mask) {
    float touched;
    mixPixel<float>(p, R, G, B, processed[0], processed[1], processed[2], *out0, *out1, *out2, mask, touched);
}

lumaChromaMixParams currentLumaChromaMixParams() {
    return lumaChromaMixParams{lumaMix,
                               chromaMix,
                               highlightNRlowThreshold,
                               highlightNRhighThreshold,
                               highlightNRbelowThreshold,
                               highlightNRaboveThreshold,
                               highlightNRslope,
                               highlightNRintercept,
                               isLABmode,
                               lumR,
                               lumG,
                               lumB,
                               invLumG};
}

void lumaChromaMixTo8BitMaster(uint8* origin, int32 originRowBytes, uint8* destination, int32 destinationRowBytes,
                               int32 width, int32 height, int32 destX, int32 destY, fl_image& image, int32 imageX,
                               int32 imageY, bool maskFlag, int16 planes) {
    outputRectangle r = outputRectangleOf(origin, originRowBytes, destination, destinationRowBytes, width, height,
                                          destX, destY, image, imageX, imageY, planes);
    if (!outputWriterMayWrite(r)) return;
    mixRectangle<uint8>(r, maskFlag, VEXLOR_KERNEL(mixRow8));
}

void lumaChromaMixTo16Bit(uint16* origin, int32 originRowBytes, uint16* destination, int32 destinationRowBytes,
                          int32 width, int32 height, int32 destX, int32 destY, fl_image& image, int32 imageX,
                          int32 imageY, bool maskFlag, int16 planes) {
    outputRectangle r = outputRectangleOf(origin, originRowBytes, destination, destinationRowBytes, width, height,
                                          destX, destY, image, imageX, imageY, planes);
    if (!outputWriterMayWrite(r)) return;
    mixRectangle<uint16>(r, maskFlag, VEXLOR_KERNEL(mixRow16));
}

void lumaChromaMixTo32Bit(float* origin, int32 originRowBytes, float* destination, int32 destinationRowBytes,
                          int32 width, int32 height, int32 destX, int32 destY, fl_image& image, int32 imageX,
                          int32 imageY, bool maskFlag, int16 planes) {
    outputRectangle r = outputRectangleOf(origin, originRowBytes, destination, destinationRowBytes, width, height,
                                          destX, destY, image, imageX, imageY, planes);
    if (!outputWriterMayWrite(r)) return;
    if (handleMissingColorspaceLUTs()) return;
    const float* lut2 = cspacePtrLUT2;
    const float* lut3 = cspacePtrLUT3;
    const auto mixRow32 = VEXLOR_KERNEL(mixRow32);
    mixRectangle<float>(r, maskFlag,
                        [=](const lumaChromaMixParams& params, const float* p, const float* o, float* d, int spp,
                            const uint8* mask, int32 width) { mixRow32(params, lut2, lut3, p, o, d, spp, mask, width); });
}
