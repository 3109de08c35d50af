// The full-image pass: whole, in four overlapping quarters, or in megatiles
// with an apron.  Every path is a list of pieces, each run (copied in and
// through the product's structure) and written (with its progress step) by
// the same two functions.
#include "entry/filter.h"

#include <algorithm>
#include <memory>

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

// The pass leaves nothing requested however it ends: the host must not
// serve a failed pass's last rectangles again, nor take them for progress.
struct NothingRequestedOnExit {
    ~NothingRequestedOnExit() {
        SetInRect(kEmptyRect);
        SetOutRect(kEmptyRect);
        SetMaskRect(kEmptyRect);
    }
};

// When a piece counts as done: the whole image is written only after its
// progress step, so a cancel leaves it unwritten; a quarter or a megatile is
// written first.
enum class ProgressStep { beforeWriting, afterWriting };

// Halvane's structure halves a piece three times, keeping every second
// pixel from the piece's first: its coarsest level samples every 8th.
const int32 kLiftingGrid = 8;

// Where the pixels of a piece that writes from `written` on start: at least
// kPieceOverlap before it, a whole number of kLiftingGrid steps from the
// area's `origin`.  Every piece then lifts the pixels that the whole area
// lifts, so it writes what a pass of the whole area writes, whatever the
// host's tile.
int32 pieceReadStart(int32 written, int32 origin) {
    int32 before = written - kPieceOverlap - origin;
    before -= (before % kLiftingGrid + kLiftingGrid) % kLiftingGrid;
    return origin + before;
}

// Run a piece: the pixels of `part` (coordinates of the source buffer)
// copied into a float image and run through the product's structure into
// out, which has the part's size.
OSErr runPiece(const DepthOperations& ops, void* src, int32 srcRowBytes, const VRect& part,
               std::unique_ptr<fl_image>& out) {
    const int32 width = part.right - part.left, height = part.bottom - part.top;
    fl_image in(width, height);
    if (handleInvalidMemory(in)) return memFullErr;
    OSErr err = ops.copyIn(in, src, srcRowBytes, part.left, part.top, width, height);
    if (err != noErr) return err;
    out.reset(new fl_image(getFlimageDimensions(in)));
    if (handleInvalidMemory(*out)) return memFullErr;
    return runLiftingStructure(in, *out);
}

// Write a piece: out's pixels from image position (imageX, imageY) into
// destRect of the writer's destination, out released, and the piece's
// progress step.
OSErr writePiece(const DepthOperations& ops, const lumaChromaMix_struct& writer, const VRect& destRect,
                 fl_image& out, int32 imageX, int32 imageY, ProgressStep step) {
    if (step == ProgressStep::beforeWriting && progressUpdate()) return userCanceledErr;
    ops.write(writer, destRect, out, imageX, imageY);
    out.freeBuffer();
    if (step == ProgressStep::afterWriting && progressUpdate()) return userCanceledErr;
    return noErr;
}

// Megatiles: each tile fetched with its apron, run, then fetched alone for
// its output and the original pixels that Halvane mixes back in.
OSErr megatilePath(const DepthOperations& ops, const VRect& area) {
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
            // The apron reads the image left of and above the area down to
            // its edge, and stops at the area's right and bottom.  A request
            // that would leave the image on the left is to fail, not be padded.
            VRect apron = {pieceReadStart(tile.top, area.top), pieceReadStart(tile.left, area.left),
                           std::min(tile.bottom + kPieceOverlap, area.bottom),
                           std::min(tile.right + kPieceOverlap, area.right)};
            if (apron.left < 0) {
                gFilterRecord->inputPadding = plugInWantsErrorOnBoundsException;
                apron.left = 0;
            }
            if (apron.top < 0) apron.top = 0;

            OSErr err = advanceFilterStateFrom1or3channels(apron);
            if (err != noErr) return err;
            std::unique_ptr<fl_image> out;
            err = runPiece(ops, gFilterRecord->inData, gFilterRecord->inRowBytes,
                           VRect{0, 0, apron.bottom - apron.top, apron.right - apron.left}, out);
            if (err != noErr) return err;

            err = advanceFilterStateFrom1or3channels(tile, tile);
            if (err != noErr) return err;
            const lumaChromaMix_struct writer = {gFilterRecord->inData, gFilterRecord->inRowBytes,
                                                 gFilterRecord->outData, gFilterRecord->outRowBytes, true};
            err = writePiece(ops, writer, VRect{0, 0, tile.bottom - tile.top, tile.right - tile.left}, *out,
                             tile.left - apron.left, tile.top - apron.top, ProgressStep::afterWriting);
            if (err != noErr) return err;
        }
    }
    return noErr;
}

// The area fetched at once and run whole, or as four quarters split at half
// its width and height; each reads from its pieceReadStart.
OSErr wholeOrQuartersPath(const DepthOperations& ops, const VRect& area) {
    OSErr err = advanceFilterStateFrom1or3channels(area, area);
    if (err != noErr) return err;
    const lumaChromaMix_struct writer = {gFilterRecord->inData, gFilterRecord->inRowBytes, gFilterRecord->outData,
                                         gFilterRecord->outRowBytes, true};
    const int32 width = area.right - area.left, height = area.bottom - area.top;
    progressTotalSet(4);
    struct Piece {
        VRect part;     // read from the source
        VRect written;  // written to the destination (inside part)
    };
    const bool quarters = processInQuadrants(width, height);
    const int32 F = width / 2, G = height / 2, o = kPieceOverlap;
    const int32 left = pieceReadStart(F, 0), top = pieceReadStart(G, 0);
    const Piece whole[1] = {{{0, 0, height, width}, {0, 0, height, width}}};
    const Piece quarter[4] = {{{0, 0, G + o, F + o}, {0, 0, G, F}},
                              {{0, left, G + o, width}, {0, F, G, width}},
                              {{top, 0, height, F + o}, {G, 0, height, F}},
                              {{top, left, height, width}, {G, F, height, width}}};
    const Piece* const first = quarters ? quarter : whole;
    const Piece* const end = quarters ? quarter + 4 : whole + 1;
    const ProgressStep step = quarters ? ProgressStep::afterWriting : ProgressStep::beforeWriting;
    for (const Piece* p = first; p != end; ++p) {
        std::unique_ptr<fl_image> out;
        err = runPiece(ops, gFilterRecord->inData, gFilterRecord->inRowBytes, p->part, out);
        if (err != noErr) return err;
        err = writePiece(ops, writer, p->written, *out, p->written.left - p->part.left, p->written.top - p->part.top,
                         step);
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
    // The alert has been shown; the host must not keep a pass that ended early.
    if (doSpatialEffect(filter, getFilterDepth()) != noErr) *gResult = userCanceledErr;
}

OSErr doSpatialEffect(VRect area, int32 depth) {
    FilteringRun run(true);
    NothingRequestedOnExit nothingRequested;
    calcInternalFilterParams();
    SetInRect(area);
    if (doesPaddingExceedLifting(area.right - area.left, area.bottom - area.top, 3, 3, 3)) {
        doAlertBox(kImageTooSmallText);
        return paramErr;
    }
    DepthOperations ops;
    if (!operationsForDepth(depth, ops)) return paramErr;
    return megatilesIsImageLargeEnough() ? megatilePath(ops, area) : wholeOrQuartersPath(ops, area);
}
