// What both products' output writers share: the checks before writing, the
// struct forms (which call the product's pointer forms: Glimra's in
// glimra/output_writers.cpp, Halvane's in halvane/luma_chroma_mix.cpp) and the
// enhance hooks.
#include "engine/output_writers.h"

#include "host/host_services.h"

bool outputWriterMayWrite(const outputRectangle& r) {
    if (!r.image || !r.image->data || !r.image->bufferID) return false;
    if (progressUpdate(0)) return false;
    return r.width > 0 && r.height > 0 && r.destination;
}

int outputSamplesPerPixel(int16 planes) {
    if (planes == kHostPlanes) planes = getExpectedImagePlanesAssuming1or3channels();
    return planes == 1 ? 1 : 3;
}

void lumaChromaMixTo8BitFromStruct(lumaChromaMix_struct s, VRect r, fl_image& image, int32 imageX, int32 imageY) {
    lumaChromaMixTo8BitMaster(static_cast<uint8*>(s.origin), s.originRowBytes, static_cast<uint8*>(s.destination),
                              s.destinationRowBytes, r.right - r.left, r.bottom - r.top, r.left, r.top, image, imageX,
                              imageY, s.maskFlag, s.planes);
}

void lumaChromaMixTo16Bit(lumaChromaMix_struct s, VRect r, fl_image& image, int32 imageX, int32 imageY) {
    lumaChromaMixTo16Bit(static_cast<uint16*>(s.origin), s.originRowBytes, static_cast<uint16*>(s.destination),
                         s.destinationRowBytes, r.right - r.left, r.bottom - r.top, r.left, r.top, image, imageX,
                         imageY, s.maskFlag, s.planes);
}

void lumaChromaMixTo32Bit(lumaChromaMix_struct s, VRect r, fl_image& image, int32 imageX, int32 imageY) {
    lumaChromaMixTo32Bit(static_cast<float*>(s.origin), s.originRowBytes, static_cast<float*>(s.destination),
                         s.destinationRowBytes, r.right - r.left, r.bottom - r.top, r.left, r.top, image, imageX,
                         imageY, s.maskFlag, s.planes);
}

void enhancePixelUint8(uint8&, uint8&, uint8&) {}
void enhancePixelUint16(uint16&, uint16&, uint16&) {}
void enhancePixelFloat(float&, float&, float&) {}
