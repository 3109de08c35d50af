// The full-image pass: whole, in four overlapping quarters, or in megatiles
// with an apron, with progress after every piece.
#include "entry/filter.h"

#include "engine/lifting.h"
#include "engine/output_writers.h"
#include "host/alerts.h"
#include "host/band_runner.h"
#include "engine/engine_params.h"
#include "host/globals.h"
#include "host/host_services.h"
#include "engine/product.h"
#include "entry/start.h"
#include "host/big_document.h"
#include "image/host_import.h"

namespace {
typedef OSErr (*copyIntoFlimageFn)(fl_image&, void*, int32, int32, int32, int32, int32);
typedef void (*writerFn)(lumaChromaMix_struct, VRect, fl_image&, int32, int32);

struct DepthOperations {
    copyIntoFlimageFn copyIn;
    writerFn write;
};

bool operationsForDepth(int32 depth, DepthOperations& ops) {
    switch (depth) {
        case 8: ops = {copyIntoFlimage8bit, lumaChromaMixTo8BitFromStruct}; return true;
        case 16: ops = {copyIntoFlimage16bit, lumaChromaMixTo16Bit}; return true;
        case 32: ops = {copyIntoFlimage32bit, lumaChromaMixTo32Bit}; return true;
        default: return false;
    }
}

// The filtering run lasts as long as the pass: progress and the host's
// abort are only for the final pass, and a cancel ends with its run.  Its
// band workers live as long as it does.
struct FilteringRun {
    explicit FilteringRun(bool finalPass) { beginFilteringRun(finalPass); }
    ~FilteringRun() { endFilteringRun(); }
    bandWorkerSetScope workers;
};

const VRect kEmptyRect = {0, 0, 0, 0};

// When a piece counts as done: the whole image is written only after its
// progress step, so a cancel leaves it unwritten; a quarter is written first.
enum class ProgressStep { beforeWriting, afterWriting };

// One piece: float images of the piece's size, the source copied in at
// (x, y), the structure run, and the result written to destRect of the
// destination from image position (imageX, imageY).
OSErr filterPiece(const DepthOperations& ops, int32 pieceWidth, int32 pieceHeight, void* src, int32 srcRowBytes,
                  int32 x, int32 y, lumaChromaMix_struct writer, VRect destRect, int32 imageX, int32 imageY,
                  ProgressStep step) {
    fl_image in(pieceWidth, pieceHeight);
    if (handleInvalidMemory(in)) return memFullErr;
    OSErr err = ops.copyIn(in, src, srcRowBytes, x, y, pieceWidth, pieceHeight);
    if (err != noErr) return err;
    fl_image out(getFlimageDimensions(in));
    if (handleInvalidMemory(out)) return memFullErr;
    err = runLiftingStructure(in, out);
    if (err != noErr) return err;
    if (step == ProgressStep::beforeWriting && progressUpdate()) return userCanceledErr;
    ops.write(writer, destRect, out, imageX, imageY);
    if (step == ProgressStep::afterWriting && progressUpdate()) return userCanceledErr;
    return noErr;
}

OSErr megatilePath(const DepthOperations& ops, const VRect& area) {
    const VRect filter = GetFilterRect();
    const int32 tw = megatileGetWidth(), th = megatileGetHeight();
    const int32 width = area.right - area.left, height = area.bottom - area.top;
    const int32 across = (width - 1) / tw + 1, down = (height - 1) / th + 1;
    progressTotalSet(across * down);

    for (int32 r = 0; r < down; ++r) {
        for (int32 c = 0; c < across; ++c) {
            VRect tile;
            tile.top = area.top + r * th;
            tile.left = area.left + c * tw;
            tile.bottom = std::min(tile.top + th, area.bottom);
            tile.right = std::min(tile.left + tw, area.right);

            VRect apron = {tile.top - kPieceOverlap, tile.left - kPieceOverlap, tile.bottom + kPieceOverlap,
                           tile.right + kPieceOverlap};
            int32 leftCut = 0, topCut = 0;
            if (apron.left < 0) {
                gFilterRecord->inputPadding = plugInWantsErrorOnBoundsException;
                leftCut = -apron.left;
                apron.left = 0;
            }
            if (apron.top < 0) {
                topCut = -apron.top;
                apron.top = 0;
            }
            apron.right = std::min(apron.right, filter.right);
            apron.bottom = std::min(apron.bottom, filter.bottom);

            // The apron is only read: asking for it as output too would have
            // the host write it back over neighbouring tiles already filtered.
            OSErr err = advanceFilterStateFrom1or3channels(apron, kEmptyRect);
            if (err != noErr) return err;
            const int32 apronWidth = apron.right - apron.left, apronHeight = apron.bottom - apron.top;
            fl_image in(apronWidth, apronHeight);
            if (handleInvalidMemory(in)) return memFullErr;
            err = ops.copyIn(in, gFilterRecord->inData, gFilterRecord->inRowBytes, 0, 0, apronWidth, apronHeight);
            if (err != noErr) return err;
            fl_image out(getFlimageDimensions(in));
            if (handleInvalidMemory(out)) return memFullErr;
            err = runLiftingStructure(in, out);
            if (err != noErr) return err;

            err = advanceFilterStateFrom1or3channels(tile, tile);
            if (err != noErr) return err;
            const lumaChromaMix_struct writer = {gFilterRecord->inData, gFilterRecord->inRowBytes,
                                                 gFilterRecord->outData, gFilterRecord->outRowBytes, true};
            const VRect dest = {0, 0, tile.bottom - tile.top, tile.right - tile.left};
            ops.write(writer, dest, out, kPieceOverlap - leftCut, kPieceOverlap - topCut);
            out.freeBuffer();
            if (progressUpdate()) return userCanceledErr;
        }
    }
    return noErr;
}

OSErr quadrantPath(const DepthOperations& ops, int32 width, int32 height, void* src, int32 srcRowBytes,
                   const lumaChromaMix_struct& writer) {
    const int32 F = width / 2, G = height / 2, o = kPieceOverlap;
    struct Quarter {
        int32 pieceWidth, pieceHeight, x, y;
        VRect dest;
        int32 imageX, imageY;
    };
    const Quarter quarters[4] = {
        {F + o, G + o, 0, 0, {0, 0, G, F}, 0, 0},
        {width - F + o, G + o, F - o, 0, {0, F, G, width}, o, 0},
        {F + o, height - G + o, 0, G - o, {G, 0, height, F}, 0, o},
        {width - F + o, height - G + o, F - o, G - o, {G, F, height, width}, o, o},
    };
    for (const Quarter& q : quarters) {
        OSErr err = filterPiece(ops, q.pieceWidth, q.pieceHeight, src, srcRowBytes, q.x, q.y, writer, q.dest,
                                q.imageX, q.imageY, ProgressStep::afterWriting);
        if (err != noErr) return err;
    }
    return noErr;
}
}  // namespace

void DoFilter() {
    const VRect filter = GetFilterRect();
    gFilterRecord->inputRate = 0x10000;
    gFilterRecord->maskRate = 0x10000;
    SetOutRect(filter);

    spatialSourceStruct source = {};
    source.width = filter.right - filter.left;
    source.height = filter.bottom - filter.top;
    source.fromHost = true;
    source.rect = filter;
    source.rowBytes = gFilterRecord->inRowBytes;
    spatialDestStruct destination = {};
    destination.toHost = true;
    destination.rowBytes = gFilterRecord->outRowBytes;
    doSpatialEffect(source, destination, true, getFilterDepth());
}

OSErr doSpatialEffect(spatialSourceStruct source, spatialDestStruct destination, bool finalPass, int32 depth) {
    FilteringRun run(finalPass);
    calcInternalFilterParams();
    SetInRect(source.rect);
    const bool megatiles = notInGUI && megatilesIsImageLargeEnough();

    int32 width = source.width, height = source.height;
    void* src = source.data;
    int32 srcRowBytes = source.rowBytes;
    bool fetched = false;
    if (source.fromHost && !megatiles) {
        width = source.rect.right - source.rect.left;
        height = source.rect.bottom - source.rect.top;
        if (notInGUI) {
            OSErr err = advanceFilterStateFrom1or3channels(source.rect, source.rect);
            if (err != noErr) return err;
            fetched = true;
        }
        src = gFilterRecord->inData;
        srcRowBytes = gFilterRecord->inRowBytes;
    }
    if (doesPaddingExceedLifting(width, height, 3, 3, 3)) {
        doAlertBox(kImageTooSmallText);
        return paramErr;
    }
    void* dst = destination.data;
    int32 dstRowBytes = destination.rowBytes;
    if (destination.toHost && !megatiles) {
        // The input fetch above already brought the output buffer of the same rectangle.
        if (!fetched) {
            OSErr err = advanceFilterStateFrom1or3channels(source.rect, source.rect);
            if (err != noErr) return err;
        }
        dst = gFilterRecord->outData;
        dstRowBytes = gFilterRecord->outRowBytes;
    }
    progressTotalSet(4);

    DepthOperations ops;
    if (!operationsForDepth(depth, ops)) return paramErr;
    const lumaChromaMix_struct writer = {src, srcRowBytes, dst, dstRowBytes, true};

    OSErr err;
    if (megatiles)
        err = megatilePath(ops, source.rect);
    else if (processInQuadrants(width, height))
        err = quadrantPath(ops, width, height, src, srcRowBytes, writer);
    else
        err = filterPiece(ops, width, height, src, srcRowBytes, 0, 0, writer, VRect{0, 0, height, width}, 0, 0,
                          ProgressStep::beforeWriting);
    if (err != noErr) return err;

    SetInRect(kEmptyRect);
    SetOutRect(kEmptyRect);
    return noErr;
}
