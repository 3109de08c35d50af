// Lifting passes.  The whole-image forms check sizes and borders on the
// calling thread, then run their row kernel over row bands in parallel: every
// output pixel depends only on the inputs, so the result does not depend on
// the band split.
#include "engine/lifting.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

#include "engine/band_driver.h"
#include "engine/kernels/kernels.h"
#include "engine/engine_params.h"
#include "host/big_document.h"

const float reconSimilarityThreshold = 10.0f;

namespace {

inline const float* pixelAt(const fl_image& img, int32 x, int32 y) {
    return img.data + ((int64_t(y) + img.padY) * img.paddedWidth + (int64_t(x) + img.padX)) * 3;
}
inline float* pixelAt(fl_image& img, int32 x, int32 y) {
    return img.data + ((int64_t(y) + img.padY) * img.paddedWidth + (int64_t(x) + img.padX)) * 3;
}

// Runs kernel(firstRow, endRow) over the driver's row bands.
template <typename K>
void runRowBands(int32 height, K kernel) {
    auto body = [&](const bandInfo& b) {
        if (b.firstRow < b.endRow) kernel(b.firstRow, b.endRow);
    };
    runBands(height, body);
}

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

// destination = every second pixel of every second row of source.
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
    runRowBands(out.height, [&](int32 first, int32 end) {
        VEXLOR_KERNEL(reconstructRows)(coarse, fine, out, nullptr, reconSink::prediction, first, end);
    });
    out.paddingGenerated = false;
    return noErr;
}

OSErr reconstructDetailsPass(fl_image& coarse, fl_image& fine, fl_image& details) {
    if (anyInvalid(coarse, fine, details)) return memFullErr;
    if (!reconstructSizesMatch(coarse, fine, details) || &details == &fine || &details == &coarse)
        return kLiftingSizeMismatch;
    ensurePadding(coarse);
    ensurePadding(fine);
    runRowBands(details.height, [&](int32 first, int32 end) {
        VEXLOR_KERNEL(reconstructRows)(coarse, fine, details, nullptr, reconSink::details, first, end);
    });
    details.paddingGenerated = false;
    return noErr;
}

OSErr reconstructUnDifferencePass(fl_image& coarse, fl_image& fine, fl_image& details, fl_image& out) {
    if (anyInvalid(coarse, fine, details) || handleInvalidMemory(out)) return memFullErr;
    // out is written while fine and coarse are read around every pixel.
    if (!reconstructSizesMatch(coarse, fine, out) || !sameSize(details, out) || &out == &fine || &out == &coarse)
        return kLiftingSizeMismatch;
    ensurePadding(coarse);
    ensurePadding(fine);
    runRowBands(out.height, [&](int32 first, int32 end) {
        VEXLOR_KERNEL(reconstructRows)(coarse, fine, out, &details, reconSink::rebuilt, first, end);
    });
    out.paddingGenerated = false;
    return noErr;
}

OSErr deferUnDifferencePass(std::unique_ptr<fl_image>& coarse, fl_image& fine, std::unique_ptr<fl_image>& details) {
    if (anyInvalid(*coarse, fine, *details)) return memFullErr;
    if (!reconstructSizesMatch(*coarse, fine, fine) || !sameSize(*details, fine) || details.get() == &fine ||
        coarse.get() == &fine)
        return kLiftingSizeMismatch;
    ensurePadding(*coarse);
    ensurePadding(fine);
    fine.pendingCoarse = std::move(coarse);
    fine.pendingDetails = std::move(details);
    return noErr;
}

void rebuiltRow(const fl_image& img, int32 x, int32 n, int32 y, float* out) {
    // The kernel starts at an even column, as the rebuild's chunks do: an
    // odd x takes the pixel before it along, and drops it.
    if (x % 2 == 0) {
        VEXLOR_KERNEL(rebuiltRowChunk)(*img.pendingCoarse, img, *img.pendingDetails, x, n, y, out);
        return;
    }
    float row[3 * (kRebuiltRowPixels + 1)];
    VEXLOR_KERNEL(rebuiltRowChunk)(*img.pendingCoarse, img, *img.pendingDetails, x - 1, n + 1, y, row);
    std::memcpy(out, row + 3, size_t(n) * 3 * sizeof(float));
}

OSErr completeRebuild(fl_image& img) {
    if (!img.pendingCoarse) return noErr;
    fl_image out(getFlimageDimensions(img));
    const OSErr r = reconstructUnDifferencePass(*img.pendingCoarse, img, *img.pendingDetails, out);
    if (r != noErr) return r;
    img.freeBuffer();
    img.swapBuffer(out);
    return noErr;
}

OSErr differencePass(fl_image& a, fl_image& b, fl_image& out) {
    if (anyInvalid(a, b, out)) return memFullErr;
    if (!sameSize(a, out) || !sameSize(b, out)) return kLiftingSizeMismatch;
    runRowBands(out.height, [&](int32 first, int32 end) { VEXLOR_KERNEL(differenceRows)(a, b, out, first, end); });
    out.paddingGenerated = false;
    return noErr;
}

OSErr unDifferencePass(fl_image& a, fl_image& b, fl_image& out) {
    if (anyInvalid(a, b, out)) return memFullErr;
    if (!sameSize(a, out) || !sameSize(b, out)) return kLiftingSizeMismatch;
    // out = a - b is the difference with the roles of a and b exchanged.
    runRowBands(out.height, [&](int32 first, int32 end) { VEXLOR_KERNEL(differenceRows)(b, a, out, first, end); });
    out.paddingGenerated = false;
    return noErr;
}

bool processInQuadrants(int32 width, int32 height) {
    return int64_t(width) * height >= 1000001 && width >= 135 && height >= 135;
}

bool processInQuadrants() {
    const VRect r = GetFilterRect();
    return processInQuadrants(r.right - r.left, r.bottom - r.top);
}

void thresholdNR(fl_image& img, float t) {
    if (!img.data) return;
    for (int32 y = 0; y < img.height; ++y) {
        float* p = pixelAt(img, 0, y);
        for (int64_t i = 0; i < int64_t(img.width) * 3; ++i) {
            const float v = p[i];
            if (std::fabs(v) > t)
                p[i] = v > 0.0f ? v - t : v + t;
            else
                p[i] = 0.0f;
        }
    }
    img.paddingGenerated = false;
}

namespace {
float l1(const float* p, const float* q) {
    return std::fabs(p[0] - q[0]) + std::fabs(p[1] - q[1]) + std::fabs(p[2] - q[2]);
}
}  // namespace

float edgeSmoothCompareOpposingPoints(const float* a, const float* b, const float* c, const float* d,
                                      const float* e, const float* f, float s) {
    // 0.006666667 is 1/150.
    const float score =
        0.75f * l1(b, e) - 0.75f * ((150.0f + s) * 0.006666667f) * (l1(b, c) + l1(a, b) + l1(d, e) + l1(e, f));
    return score >= 0.0f ? score : 0.0f;
}

bool medianCompare(const medianPixelStruct& a, const medianPixelStruct& b) { return a.value < b.value; }
