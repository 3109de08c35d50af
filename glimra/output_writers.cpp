// Glimra's output writers: the processed pixels stored by Glimra's rule
// (glimraOutputRule); the rows run in glimra/kernels/store_rows.cpp, built
// for every instruction set.
#include "engine/output_writers.h"

#include "engine/engine_params.h"
#include "glimra/kernels/kernels.h"
#include "host/host_services.h"
#include "image/colorspace_luts.h"

namespace {

// The neutral a and b of the host's Lab: 128 of 0..255, and 16384 of the
// 16-bit 0..32768.  The interface has no 32-bit Lab.
const uint8 kLabNeutral8 = 128;
const uint16 kLabNeutral16 = 16384;

// What a pixel's output samples hold.  A one-plane destination receives
// channel 2 (the last of the three stores to its one sample), a three-plane
// one the three channels as they are.  In Lab the matte is a lightness: L
// takes channel 0 and a and b the neutral of the host's encoding
// (labNeutral, when the image is Lab), or the grey matte would come out
// coloured.
template <typename Sample>
outputSampleRule<Sample> glimraOutputRule(int spp, const Sample* labNeutral) {
    if (spp == 1) return outputSampleRule<Sample>{{2, -1, -1}, {}};
    if (labNeutral) return outputSampleRule<Sample>{{0, -1, -1}, {Sample(0), *labNeutral, *labNeutral}};
    return outputSampleRule<Sample>{{0, 1, 2}, {}};
}

// The rectangle's rows on the engine's bands, each through
// rowKernel(rule, processed, destination, samples per pixel, width).
template <typename Sample, typename RowKernel>
void storeRectangle(const outputRectangle& r, RowKernel rowKernel, const Sample* labNeutral = nullptr) {
    auto row = [&](const float* p, const Sample*, Sample* d, int spp, int32, int32, int32 n) {
        rowKernel(glimraOutputRule(spp, labNeutral), p, d, spp, n);
    };
    forEachOutputRow<Sample>(r, row);
}

}  // namespace

void lumaChromaMixTo8BitMaster(uint8* origin, int32 originRowBytes, uint8* destination, int32 destinationRowBytes,
                               int32 width, int32 height, int32 destX, int32 destY, fl_image& image, int32 imageX,
                               int32 imageY, bool, int16 planes) {
    outputRectangle r = outputRectangleOf(origin, originRowBytes, destination, destinationRowBytes, width, height,
                                          destX, destY, image, imageX, imageY, planes);
    if (!outputWriterMayWrite(r)) return;
    storeRectangle<uint8>(r, VEXLOR_KERNEL(storeRow8), isLABmode ? &kLabNeutral8 : nullptr);
}

void lumaChromaMixTo16Bit(uint16* origin, int32 originRowBytes, uint16* destination, int32 destinationRowBytes,
                          int32 width, int32 height, int32 destX, int32 destY, fl_image& image, int32 imageX,
                          int32 imageY, bool, int16 planes) {
    outputRectangle r = outputRectangleOf(origin, originRowBytes, destination, destinationRowBytes, width, height,
                                          destX, destY, image, imageX, imageY, planes);
    if (!outputWriterMayWrite(r)) return;
    storeRectangle<uint16>(r, VEXLOR_KERNEL(storeRow16), isLABmode ? &kLabNeutral16 : nullptr);
}

void lumaChromaMixTo32Bit(float* origin, int32 originRowBytes, float* destination, int32 destinationRowBytes,
                          int32 width, int32 height, int32 destX, int32 destY, fl_image& image, int32 imageX,
                          int32 imageY, bool, int16 planes) {
    outputRectangle r = outputRectangleOf(origin, originRowBytes, destination, destinationRowBytes, width, height,
                                          destX, destY, image, imageX, imageY, planes);
    if (!outputWriterMayWrite(r)) return;
    // The table exists while the entry point holds it; without it the
    // linear values cannot be formed.
    if (handleMissingColorspaceLUTs()) return;
    const float* lut2 = cspacePtrLUT2;
    const auto storeRow32 = VEXLOR_KERNEL(storeRow32);
    storeRectangle<float>(r, [=](const outputSampleRule<float>& rule, const float* p, float* d, int spp, int32 n) {
        storeRow32(rule, lut2, p, d, spp, n);
    });
}
