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

void lumaChromaMixTo8Bit(uint8* origin, int32 originRowBytes, uint8* destination, int32 destinationRowBytes,
                         int32 width, int32 height, fl_image& image, bool maskFlag, int16 planes) {
    lumaChromaMixTo8BitMaster(origin, originRowBytes, destination, destinationRowBytes, width, height, 0, 0, image, 0,
                              0, maskFlag, planes);
}

void enhancePixelUint8(uint8&, uint8&, uint8&) {}
void enhancePixelUint16(uint16&, uint16&, uint16&) {}
void enhancePixelFloat(float&, float&, float&) {}

namespace {

template <typename Sample, typename Hook>
void enhanceRows(void* destination, int32 rowBytes, VRect r, int spp, Hook hook) {
    for (int32 y = r.top; y < r.bottom; ++y) {
        Sample* row = reinterpret_cast<Sample*>(static_cast<char*>(destination) + int64_t(y) * rowBytes);
        for (int32 x = r.left; x < r.right; ++x) {
            Sample* p = row + int64_t(x) * spp;
            if (spp == 3) {
                hook(p[0], p[1], p[2]);
            } else {
                Sample g1 = p[0], g2 = p[0];
                hook(p[0], g1, g2);
            }
        }
    }
}

void enhance(void* destination, int32 rowBytes, VRect r, int32 depth, int spp) {
    if (!destination) return;
    switch (depth) {
        case 8: enhanceRows<uint8>(destination, rowBytes, r, spp, enhancePixelUint8); break;
        case 16: enhanceRows<uint16>(destination, rowBytes, r, spp, enhancePixelUint16); break;
        case 32: enhanceRows<float>(destination, rowBytes, r, spp, enhancePixelFloat); break;
        default: break;
    }
}

}  // namespace

void enhanceRectangle(void*, int32, void* destination, int32 destinationRowBytes, VRect r, int32 depth) {
    enhance(destination, destinationRowBytes, r, depth, 3);
}

void enhanceRectangle_SinglePlane(void*, int32, void* destination, int32 destinationRowBytes, VRect r,
                                  int32 depth) {
    enhance(destination, destinationRowBytes, r, depth, 1);
}
