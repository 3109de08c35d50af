// What both products' output writers share: the checks before writing, the
// struct forms (which call the product's pointer forms: Glimra's in
// glimra/output_writers.cpp, Halvane's in halvane/luma_chroma_mix.cpp), the
// enhance hooks and their walk over a buffer.
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

void lumaChromaMixTo8Bit(uint8* origin, int32 originRowBytes, uint8* destination, int32 destinationRowBytes,
                         int32 width, int32 height, fl_image& image, bool maskFlag, int16 planes) {
    lumaChromaMixTo8BitMaster(origin, originRowBytes, destination, destinationRowBytes, width, height, 0, 0, image, 0,
                              0, maskFlag, planes);
}

void enhancePixelUint8(uint8&, uint8&, uint8&) {}
void enhancePixelUint16(uint16&, uint16&, uint16&) {}
void enhancePixelFloat(float&, float&, float&) {}

void enhancePixelsAtDepth(void* data, int64_t rowBytes, VRect r, int32 depth, enhanceLayout layout) {
    if (!data) return;
    switch (depth) {
        case 8: enhancePixels<uint8>(data, rowBytes, r, layout, enhancePixelUint8); break;
        case 16: enhancePixels<uint16>(data, rowBytes, r, layout, enhancePixelUint16); break;
        case 32: enhancePixels<float>(data, rowBytes, r, layout, enhancePixelFloat); break;
        default: break;
    }
}

void enhanceRectangle(void*, int32, void* destination, int32 destinationRowBytes, VRect r, int32 depth) {
    enhancePixelsAtDepth(destination, destinationRowBytes, r, depth, kEnhanceInterleaved);
}

void enhanceRectangle_SinglePlane(void*, int32, void* destination, int32 destinationRowBytes, VRect r,
                                  int32 depth) {
    enhancePixelsAtDepth(destination, destinationRowBytes, r, depth, kEnhanceSinglePlane);
}
