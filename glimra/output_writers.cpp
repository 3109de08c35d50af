// Glimra's output writers: the processed pixels stored as they are.  A
// one-plane destination receives channel 2 (the last of the three stores
// to its one sample).  In Lab the matte is a lightness: L takes channel 0
// and a and b the neutral of the host's encoding, or the grey matte would
// come out coloured.
#include "engine/output_writers.h"

#include "engine/engine_params.h"
#include "host/host_services.h"
#include "image/colorspace_luts.h"

namespace {

// The neutral a and b of the host's Lab: 128 of 0..255, and 16384 of the
// 16-bit 0..32768.  The interface has no 32-bit Lab.
const uint8 kLabNeutral8 = 128;
const uint16 kLabNeutral16 = 16384;

// labNeutral: the neutral a and b when the image is Lab, else null.
template <typename Sample, typename Store>
void storeRectangle(const outputRectangle& r, Store store, const Sample* labNeutral = nullptr) {
    const int32 width = r.width;
    auto row = [&](const float* p, const Sample*, Sample* d, int spp, int32) {
        if (spp == 1) {
            for (int32 x = 0; x < width; ++x) d[x] = store(p[3 * x + 2]);
        } else if (labNeutral) {
            for (int32 x = 0; x < width; ++x) {
                d[3 * x] = store(p[3 * x]);
                d[3 * x + 1] = d[3 * x + 2] = *labNeutral;
            }
        } else {
            for (int32 x = 0; x < 3 * width; ++x) d[x] = store(p[x]);
        }
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
    storeRectangle<uint8>(r, storeAs8Bit, isLABmode ? &kLabNeutral8 : nullptr);
}

void lumaChromaMixTo16Bit(uint16* origin, int32 originRowBytes, uint16* destination, int32 destinationRowBytes,
                          int32 width, int32 height, int32 destX, int32 destY, fl_image& image, int32 imageX,
                          int32 imageY, bool, int16 planes) {
    outputRectangle r = outputRectangleOf(origin, originRowBytes, destination, destinationRowBytes, width, height,
                                          destX, destY, image, imageX, imageY, planes);
    if (!outputWriterMayWrite(r)) return;
    storeRectangle<uint16>(r, storeAs16Bit, isLABmode ? &kLabNeutral16 : nullptr);
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
    storeRectangle<float>(r, [lut2](float v) { return storeAs32Bit(v, lut2); });
}

