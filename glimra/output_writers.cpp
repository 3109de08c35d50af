// Glimra's output writers: the processed pixels stored by Glimra's rule
// (glimraOutputRule); the rows run in glimra/kernels/store_rows.cpp, built
// for every instruction set.
#include "engine/output_writers.h"

#include "glimra/kernels/kernels.h"
#include "host/host_services.h"
#include "image/colorspace_luts.h"

namespace {

// What a pixel's output samples hold: a one-plane destination channel 2
// (the last of the three stores to its one sample), a three-plane one the
// three channels as they are.
outputSampleRule glimraOutputRule(int spp) {
    if (spp == 1) return outputSampleRule{{2, -1, -1}, {0.0f, 0.0f, 0.0f}};
    return outputSampleRule{{0, 1, 2}, {0.0f, 0.0f, 0.0f}};
}

// The rectangle's rows on the engine's bands, each through
// rowKernel(rule, processed, destination, samples per pixel, width).
template <typename Sample, typename RowKernel>
void storeRectangle(const outputRectangle& r, RowKernel rowKernel) {
    auto row = [&](const float* p, const Sample*, Sample* d, int spp, int32, int32, int32 n) {
        rowKernel(glimraOutputRule(spp), p, d, spp, n);
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
    storeRectangle<uint8>(r, VEXLOR_KERNEL(storeRow8));
}

void lumaChromaMixTo16Bit(uint16* origin, int32 originRowBytes, uint16* destination, int32 destinationRowBytes,
                          int32 width, int32 height, int32 destX, int32 destY, fl_image& image, int32 imageX,
                          int32 imageY, bool, int16 planes) {
    outputRectangle r = outputRectangleOf(origin, originRowBytes, destination, destinationRowBytes, width, height,
                                          destX, destY, image, imageX, imageY, planes);
    if (!outputWriterMayWrite(r)) return;
    storeRectangle<uint16>(r, VEXLOR_KERNEL(storeRow16));
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
    storeRectangle<float>(r, [=](const outputSampleRule& rule, const float* p, float* d, int spp, int32 width) {
        storeRow32(rule, lut2, p, d, spp, width);
    });
}

