// Lifting passes.  The whole-image forms check sizes and borders on the
// calling thread, then run their row kernel over row bands in parallel: every
// output pixel depends only on the inputs, so the result does not depend on
// the band split.
#include "engine/lifting.h"

#include <cmath>

#include "engine/band_driver.h"
#include "entry/engine_params.h"
#include "host/big_document.h"

const float reconSimilarityThreshold = 10.0f;

namespace {

inline const float* pixelAt(const fl_image& img, int32 x, int32 y) {
    return img.data + ((int64_t(y) + img.padY) * img.paddedWidth + (int64_t(x) + img.padX)) * 3;
}
inline float* pixelAt(fl_image& img, int32 x, int32 y) {
    return img.data + ((int64_t(y) + img.padY) * img.paddedWidth + (int64_t(x) + img.padX)) * 3;
}

inline float l1(const float* p, const float* q) {
    return std::fabs(p[0] - q[0]) + std::fabs(p[1] - q[1]) + std::fabs(p[2] - q[2]);
}

inline float ramp(float d) {
    if (d <= reconSimilarityThreshold) return 1.0f;
    if (d > reconSimilarityThreshold + reconSimilarityRolloff) return 0.0f;
    return 1.0f + (reconSimilarityThreshold - d) * invReconSimilarityRolloff;
}

// Runs kernel(firstRow, endRow) over the driver's row bands.
template <typename K>
void runRowBands(int32 height, K kernel) {
    auto body = [&](const bandInfo& b) {
        if (b.firstRow < b.endRow) kernel(b.firstRow, b.endRow);
    };
    runBands(height, body);
}

inline bool hasBuffer(const fl_image& img) { return img.bufferID && img.data; }

// Alerts once for the first image without a buffer.
bool anyInvalid(fl_image& a, fl_image& b) { return handleInvalidMemory(a) || handleInvalidMemory(b); }
bool anyInvalid(fl_image& a, fl_image& b, fl_image& c) {
    return handleInvalidMemory(a) || handleInvalidMemory(b) || handleInvalidMemory(c);
}

// The reconstruction reads one pixel into the border: it must be at least
// that wide, and current or possible to fill by reflection.
bool borderUsable(const fl_image& img) {
    return img.padX >= 1 && img.padY >= 1 && (img.paddingGenerated || !doesPaddingExceedImage(img));
}

void ensurePadding(fl_image& img) {
    if (!img.paddingGenerated) img.generatePadding();
}

// One row of the reconstruction.
void reconstructRow(const fl_image& coarse, const fl_image& fine, fl_image& out, int32 y) {
    const int32 w = out.width;
    const int32 Y = y / 2;
    float* o = pixelAt(out, 0, y);
    const float* f = pixelAt(fine, 0, y);
    const float* c0 = pixelAt(coarse, 0, Y);
    if ((y & 1) == 0) {
        for (int32 x = 0; x < w; ++x, o += 3, f += 3) {
            const float* c = c0 + (x / 2) * 3;
            if ((x & 1) == 0) {
                o[0] = c[0];
                o[1] = c[1];
                o[2] = c[2];
            } else {
                float wL = ramp(l1(f, f - 3));
                float wR = ramp(l1(f, f + 3));
                if (wL != 0.0f || wR != 0.0f) {
                    const float s = wL + wR;
                    wL = wL / s;
                    wR = wR / s;
                } else {
                    wL = wR = 0.5f;
                }
                for (int k = 0; k < 3; ++k) o[k] = wL * c[k] + wR * c[k + 3];
            }
        }
    } else {
        const int64_t fineRow = int64_t(fine.paddedWidth) * 3;
        const int64_t coarseRow = int64_t(coarse.paddedWidth) * 3;
        for (int32 x = 0; x < w; ++x, o += 3, f += 3) {
            const float* c = c0 + (x / 2) * 3;
            if ((x & 1) == 0) {
                float wU = ramp(l1(f, f - fineRow));
                float wD = ramp(l1(f, f + fineRow));
                if (wU != 0.0f || wD != 0.0f) {
                    const float s = wU + wD;
                    wU = wU / s;
                    wD = wD / s;
                } else {
                    wU = wD = 0.5f;
                }
                for (int k = 0; k < 3; ++k) o[k] = wU * c[k] + wD * c[k + coarseRow];
            } else {
                float w1 = ramp(l1(f, f - fineRow - 3));
                float w2 = ramp(l1(f, f - fineRow + 3));
                float w3 = ramp(l1(f, f + fineRow - 3));
                float w4 = ramp(l1(f, f + fineRow + 3));
                if (w1 != 0.0f || w2 != 0.0f || w3 != 0.0f || w4 != 0.0f) {
                    const float s = w1 + w2 + w3 + w4;
                    w1 = w1 / s;
                    w2 = w2 / s;
                    w3 = w3 / s;
                    w4 = w4 / s;
                } else {
                    w1 = w2 = w3 = w4 = 0.25f;
                }
                for (int k = 0; k < 3; ++k)
                    o[k] = w1 * c[k] + w2 * c[k + 3] + w3 * c[k + coarseRow] + w4 * c[k + coarseRow + 3];
            }
        }
    }
}

void differenceRow(const fl_image& a, const fl_image& b, fl_image& out, int32 y) {
    const float* pa = pixelAt(a, 0, y);
    const float* pb = pixelAt(b, 0, y);
    float* po = pixelAt(out, 0, y);
    const int32 n = out.width * 3;
    for (int32 i = 0; i < n; ++i) po[i] = pb[i] - pa[i];
}

}  // namespace

bool liftSizesMatch(const fl_image& source, const fl_image& destination) {
    return destination.width == (source.width + 1) / 2 && destination.height == (source.height + 1) / 2;
}

bool reconstructSizesMatch(const fl_image& coarse, const fl_image& fine, const fl_image& out) {
    return sameSize(fine, out) && liftSizesMatch(fine, coarse) && borderUsable(coarse) && borderUsable(fine);
}

bool sameSize(const fl_image& a, const fl_image& b) { return a.width == b.width && a.height == b.height; }

flimageDimensions similarityLiftDimensions(const fl_image& img) {
    return flimageDimensions{kFlimagePad, kFlimagePad, (img.width + 1) / 2, (img.height + 1) / 2};
}

void similarityLiftRows(const fl_image& source, fl_image& destination, int32 firstRow, int32 endRow) {
    const int32 w = destination.width;
    for (int32 j = firstRow; j < endRow; ++j) {
        const float* s = pixelAt(source, 0, 2 * j);
        float* d = pixelAt(destination, 0, j);
        for (int32 i = 0; i < w; ++i, d += 3, s += 6) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
    }
}

void similarityReconstructRows(const fl_image& coarse, const fl_image& fine, fl_image& out, int32 firstRow,
                               int32 endRow) {
    for (int32 y = firstRow; y < endRow; ++y) reconstructRow(coarse, fine, out, y);
}

void differenceRows(const fl_image& a, const fl_image& b, fl_image& out, int32 firstRow, int32 endRow) {
    for (int32 y = firstRow; y < endRow; ++y) differenceRow(a, b, out, y);
}

void reconstructAndDifferenceRows(const fl_image& coarse, const fl_image& fine, fl_image& prediction,
                                  fl_image& details, int32 firstRow, int32 endRow) {
    for (int32 y = firstRow; y < endRow; ++y) {
        reconstructRow(coarse, fine, prediction, y);
        differenceRow(fine, prediction, details, y);
    }
}

OSErr similarityLift(fl_image& source, fl_image& destination) {
    if (anyInvalid(source, destination)) return memFullErr;
    if (!liftSizesMatch(source, destination)) return kLiftingSizeMismatch;
    // The lift reads no border; it is made here for the passes after it.
    if (!doesPaddingExceedImage(source)) ensurePadding(source);
    runRowBands(destination.height, [&](int32 first, int32 end) {
        similarityLiftRows(source, destination, first, end);
    });
    destination.paddingGenerated = false;
    return noErr;
}

OSErr similarityReconstruct(fl_image& coarse, fl_image& fine, fl_image& out) {
    if (anyInvalid(coarse, fine, out)) return memFullErr;
    if (!reconstructSizesMatch(coarse, fine, out)) return kLiftingSizeMismatch;
    ensurePadding(coarse);
    ensurePadding(fine);
    runRowBands(out.height, [&](int32 first, int32 end) { similarityReconstructRows(coarse, fine, out, first, end); });
    out.paddingGenerated = false;
    return noErr;
}

OSErr similarityReconstructAndDifference(fl_image& coarse, fl_image& fine, fl_image& prediction, fl_image& details) {
    if (anyInvalid(coarse, fine, prediction) || handleInvalidMemory(details)) return memFullErr;
    if (!reconstructSizesMatch(coarse, fine, prediction) || !sameSize(fine, details)) return kLiftingSizeMismatch;
    ensurePadding(coarse);
    ensurePadding(fine);
    runRowBands(prediction.height, [&](int32 first, int32 end) {
        reconstructAndDifferenceRows(coarse, fine, prediction, details, first, end);
    });
    prediction.paddingGenerated = false;
    details.paddingGenerated = false;
    return noErr;
}

OSErr differencePass(fl_image& a, fl_image& b, fl_image& out) {
    if (anyInvalid(a, b, out)) return memFullErr;
    if (!sameSize(a, out) || !sameSize(b, out)) return kLiftingSizeMismatch;
    runRowBands(out.height, [&](int32 first, int32 end) { differenceRows(a, b, out, first, end); });
    out.paddingGenerated = false;
    return noErr;
}

OSErr unDifferencePass(fl_image& a, fl_image& b, fl_image& out) {
    if (anyInvalid(a, b, out)) return memFullErr;
    if (!sameSize(a, out) || !sameSize(b, out)) return kLiftingSizeMismatch;
    // out = a - b is differenceRows with the roles of a and b exchanged.
    runRowBands(out.height, [&](int32 first, int32 end) { differenceRows(b, a, out, first, end); });
    out.paddingGenerated = false;
    return noErr;
}

void thresholdNR(fl_image& img, float t) {
    if (!hasBuffer(img)) return;
    for (int32 y = 0; y < img.height; ++y) {
        float* p = pixelAt(img, 0, y);
        for (int32 i = 0; i < img.width * 3; ++i) {
            const float v = p[i];
            if (std::fabs(v) > t)
                p[i] = v > 0.0f ? v - t : v + t;
            else
                p[i] = 0.0f;
        }
    }
    img.paddingGenerated = false;
}

float edgeSmoothCompareOpposingPoints(const float* a, const float* b, const float* c, const float* d, const float* e,
                                      const float* f, float s) {
    const float score =
        0.75f * l1(b, e) - 0.75f * ((150.0f + s) * 0.006666667f) * (l1(b, c) + l1(a, b) + l1(d, e) + l1(e, f));
    return score >= 0.0f ? score : 0.0f;
}

bool processInQuadrants(int32 width, int32 height) {
    return int64_t(width) * height >= 1000001 && width >= 135 && height >= 135;
}

bool processInQuadrants() {
    const VRect r = GetFilterRect();
    return processInQuadrants(r.right - r.left, r.bottom - r.top);
}

bool medianCompare(const medianPixelStruct& a, const medianPixelStruct& b) { return a.value < b.value; }
