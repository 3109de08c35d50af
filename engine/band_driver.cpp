// The two-pass core driver over the band runner.
#include "engine/band_driver.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "engine/smooth_detect_core.h"
#include "host/host_services.h"

const bandDriverCores smoothDetectCores = {threadedSmoothDetect, threadedCustomFunction, true};

namespace {

// Padded rows [first, end) of src into dst (same padded size).
void copyPaddedRows(const fl_image& src, fl_image& dst, int32 first, int32 end) {
    if (end <= first) return;
    const int64_t rowFloats = int64_t(src.paddedWidth) * 3;
    std::memcpy(dst.data + first * rowFloats, src.data + first * rowFloats,
                size_t((end - first) * rowFloats) * sizeof(float));
}

// Rows per step of the first pass: the copy of the source rows into the
// destination is still in cache when the core blends into them, and the
// cores' tiles are 16 rows high.
enum { kFirstPassChunkRows = 16 };

}  // namespace

void threadedSmoothDetect(const threadedNoiseReduce_struct& r) {
    smoothDetectCoreAlgo(*r.source, *r.destination, *r.strengthMap, r.levelConstant, r.noiseLevel, r.smoothReference,
                         r.amount, r.sharpAmount, r.firstRow, r.endRow, r.band);
}

int32 threadedCustomFunction(const threadedSharpen_struct& r) { return r.firstRow; }

int16 bandDriverRunThreads(fl_image& image, const bandDriverCores& cores, float levelConstant, float noiseLevel,
                           bool smoothReference, float amount, float sharpAmount, float chromaSharpAmount) {
    if (handleInvalidMemory(image)) return memFullErr;
    if (!image.paddingGenerated) image.generatePadding();

    const flimageDimensions dims = getFlimageDimensions(image);
    fl_image result(dims);
    if (handleInvalidMemory(result)) return memFullErr;
    // Only a second pass reads the strength map: without one there is none.
    const bool secondPass = cores.secondPass != threadedCustomFunction;
    strength_map strengthMap(secondPass ? image.width : 0, secondPass ? image.height : 0);
    if (secondPass && !strengthMap.data) {
        reportOutOfMemory();
        return memFullErr;
    }

    // First pass: the result receives a copy of the image, chunk by chunk,
    // and the core blends into it.  (The border rows and columns of the copy
    // are replaced by the result's own border below, so a core that writes
    // every pixel needs no copy at all.)  Every thread takes the next chunk
    // of rows until none is left, so a thread that the system runs late
    // delays no one; what a row becomes does not depend on who computes it.
    const bool copy = !cores.firstPassWritesEveryPixel;
    const int32 chunks = (image.height + kFirstPassChunkRows - 1) / kFirstPassChunkRows;
    std::atomic<int32> nextChunk{0};
    auto firstPass = [&](const bandInfo& b) {
        for (int32 c = nextChunk.fetch_add(1, std::memory_order_relaxed); c < chunks;
             c = nextChunk.fetch_add(1, std::memory_order_relaxed)) {
            const int32 y = c * kFirstPassChunkRows;
            const int32 yEnd = std::min<int32>(y + kFirstPassChunkRows, image.height);
            if (copy) copyPaddedRows(image, result, y + image.padY, yEnd + image.padY);
            cores.firstPass({&image, &result, &strengthMap, levelConstant, noiseLevel, smoothReference, amount,
                             sharpAmount, y, yEnd, b.band});
        }
    };
    runBands(image.height, firstPass);

    if (progressUpdate(0)) return userCanceledErr;

    result.regeneratePadding();
    if (secondPass) {
        // The second pass writes the image from the result and the strength
        // map; the rows of its band that it does not write (after a cancel,
        // or all of them when it has nothing to do) receive the result.  The
        // image's border is stale either way, and marked so below.
        auto secondPass = [&](const bandInfo& b) {
            const int32 written = cores.secondPass({&result, &image, &strengthMap, sharpAmount, chromaSharpAmount,
                                                    b.firstRow, b.endRow, b.band});
            copyPaddedRows(result, image, std::max(written, b.firstRow) + image.padY, b.endRow + image.padY);
        };
        runBands(image.height, secondPass);
        if (globalUserCancelled) {
            image.paddingGenerated = false;
            return userCanceledErr;
        }
    } else {
        // The image takes the result's buffer; its own goes with the result.
        image.swapBuffer(result);
    }
    image.paddingGenerated = false;
    return noErr;
}

int16 noiseReduceRunThreads(fl_image& image, float levelConstant, float noiseLevel, bool smoothReference,
                            float amount, float sharpAmount, float chromaSharpAmount) {
    return bandDriverRunThreads(image, noiseReduceCores(), levelConstant, noiseLevel, smoothReference, amount, sharpAmount,
                                chromaSharpAmount);
}

int16 smoothDetectRunThreads(fl_image& image, float levelConstant, float noiseLevel, bool smoothReference,
                             float amount, float sharpAmount, float chromaSharpAmount) {
    return bandDriverRunThreads(image, smoothDetectCores, levelConstant, noiseLevel, smoothReference, amount,
                                sharpAmount, chromaSharpAmount);
}
