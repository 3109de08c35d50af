// The arithmetic of the dialog's window, kept apart from the window system so
// that both platforms share it and it is tested natively: wheel zoom,
// eyedropper points, the minimum size, the stretched panes, the window's
// placement, the strips a smaller picture uncovers and the preview's pixel
// map.  Rectangles are VRect (top, left, bottom, right), points VPoint.
#pragma once

#include <vector>

#include "PIGeneral.h"
#include "PITypes.h"

// The zoom factor after one wheel event of this delta (120 a notch, forward
// positive zooms in): the factor runs 1, 2, 4, and a step that would land on
// 3 goes one further.  A delta below one notch changes nothing.
int32 zoomAfterWheel(int32 zoomFactor, int32 wheelDelta);

// What the eyedropper maps a click through: the filter rectangle, the
// preview picture's rectangle on screen, the view's offsets and input rate.
struct eyedropperView {
    VRect filter;
    VRect display;
    int32 offsetH, offsetV;
    int32 rate;
};
// The image point under a press or, one further, under a release, clamped
// into the filter rectangle.
VPoint findEyedropperPoint(const eyedropperView& view, VPoint point, bool release);
// The dialog's mouse state: idle, or one of the four eyedropper modes, armed
// by its button or with the left button held in it.
enum dialogMouseState : int32 {
    kMouseIdle = 0,
    kEyedropperArmed = 1,
    kEyedropperHeld = 2,
    kStartSelectionArmed = 3,
    kStartSelectionHeld = 4,
    kAddSelectionArmed = 5,
    kAddSelectionHeld = 6,
    kSubtractSelectionArmed = 7,
    kSubtractSelectionHeld = 8,
};
// A press on the picture holds the button in an armed mode; a held or idle
// state stays as it is.
dialogMouseState mouseStateAfterPress(dialogMouseState state);
bool isMouseButtonHeld(dialogMouseState state);
// The mouse state after a selection ended in a held state: the eyedropper is
// done (idle), the other modes stay armed for the next area (add after start
// and add, subtract after subtract).  Any other state goes idle.
dialogMouseState mouseStateAfterSelection(dialogMouseState heldState);
// Widens equal corners to one pixel on each side, then clamps both corners.
void normalizeEyedropperSelection(VPoint& down, VPoint& up, VRect filter);

// The dragged edge of a sizing window (the system's numbering, 1 to 8).
enum sizingEdge {
    kSizeLeft = 1,
    kSizeRight,
    kSizeTop,
    kSizeTopLeft,
    kSizeTopRight,
    kSizeBottom,
    kSizeBottomLeft,
    kSizeBottomRight
};
// Keeps the proposed window rectangle at least minWidth x minHeight by moving
// the dragged edge.
void enforceMinimumSize(VRect& window, int edge, int32 minWidth, int32 minHeight);

// A pane that follows the window's right and bottom edges at fixed margins,
// keeping its top-left corner and at least one pixel.
VRect stretchedPane(VRect pane, int32 clientRight, int32 clientBottom, int32 rightMargin, int32 bottomMargin);
// The overview pane follows the right edge only.
VRect widenedPane(VRect pane, int32 clientRight, int32 rightMargin);

// Where the dialog opens: the stored content size plus the frame, at least
// the minimum frame size, at most the work area, centred in the work area
// from the screen's origin.
VRect initialWindowRect(int32 contentWidth, int32 contentHeight, int32 frameWidth, int32 frameHeight,
                        int32 minWidth, int32 minHeight, VRect workArea);

// A width x height rectangle centred in area (integer halves).
VRect centredRect(VRect area, int32 width, int32 height);
bool sameRect(VRect a, VRect b);
// The parts of previous that current does not cover, as at most four strips
// (above, below, left, right); all of previous when they do not meet.
std::vector<VRect> uncoveredStrips(VRect previous, VRect current);

// The pixel map of an interleaved RGB copy of the composed planar picture
// that map describes: the bounds are the whole copy, width x height pixels
// of 3 bytes.
PSPixelMap interleavedPixelMap(const PSPixelMap& planar, void* interleaved);
// Bytes of that copy.
int64_t interleavedPictureBytes(const PSPixelMap& planar);
