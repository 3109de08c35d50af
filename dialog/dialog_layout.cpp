// Window arithmetic of the dialogs.
#include "dialog/dialog_layout.h"

#include <algorithm>

namespace {
enum { kWheelNotch = 120, kMinZoom = 1, kMaxZoom = 4, kSkippedZoom = 3 };

int32 rectWidth(VRect r) { return r.right - r.left; }
int32 rectHeight(VRect r) { return r.bottom - r.top; }
}  // namespace

int32 zoomAfterWheel(int32 zoomFactor, int32 wheelDelta) {
    const int32 steps = -wheelDelta / kWheelNotch;
    const int32 zoom = std::clamp<int32>(zoomFactor, kMinZoom, kMaxZoom);
    if (steps == 0) return zoom;
    int32 next = zoom - steps;
    if (next == kSkippedZoom) next += steps < 0 ? 1 : -1;
    return std::clamp<int32>(next, kMinZoom, kMaxZoom);
}

VPoint findEyedropperPoint(const eyedropperView& view, VPoint point, bool release) {
    const VRect& f = view.filter;
    const VRect& d = view.display;
    const int32 W = rectWidth(f), H = rectHeight(f);
    int32 x, y;
    if (view.rate != 0) {
        const int32 R = view.rate;
        int32 ox = view.offsetH + point.h - (d.left + d.right) / 2;
        int32 oy = view.offsetV + point.v - (d.top + d.bottom) / 2;
        ox = (ox + W / R / 2) * R - W / 2;
        oy = (oy + H / R / 2) * R - H / 2;
        x = W / 2 + ox;
        y = H / 2 + oy;
    } else {
        x = rectWidth(d) > 0 ? int32(int64_t(W) * (point.h - d.left) / rectWidth(d)) : 0;
        y = rectHeight(d) > 0 ? int32(int64_t(H) * (point.v - d.top) / rectHeight(d)) : 0;
    }
    if (!release) return VPoint{std::clamp(y, f.top, f.bottom - 1), std::clamp(x, f.left, f.right - 1)};
    return VPoint{std::clamp(y + 1, f.top + 1, f.bottom), std::clamp(x + 1, f.left + 1, f.right)};
}

dialogMouseState mouseStateAfterPress(dialogMouseState state) {
    switch (state) {
        case kEyedropperArmed: return kEyedropperHeld;
        case kStartSelectionArmed: return kStartSelectionHeld;
        case kAddSelectionArmed: return kAddSelectionHeld;
        case kSubtractSelectionArmed: return kSubtractSelectionHeld;
        default: return state;
    }
}

bool isMouseButtonHeld(dialogMouseState state) {
    return state == kEyedropperHeld || state == kStartSelectionHeld || state == kAddSelectionHeld ||
           state == kSubtractSelectionHeld;
}

dialogMouseState mouseStateAfterSelection(dialogMouseState heldState) {
    switch (heldState) {
        case kStartSelectionHeld:
        case kAddSelectionHeld: return kAddSelectionArmed;
        case kSubtractSelectionHeld: return kSubtractSelectionArmed;
        default: return kMouseIdle;
    }
}

void normalizeEyedropperSelection(VPoint& down, VPoint& up, VRect filter) {
    if (down.h == up.h) {
        --down.h;
        ++up.h;
    }
    if (down.v == up.v) {
        --down.v;
        ++up.v;
    }
    for (VPoint* p : {&down, &up}) {
        p->h = std::clamp(p->h, filter.left, filter.right);
        p->v = std::clamp(p->v, filter.top, filter.bottom);
    }
}

void enforceMinimumSize(VRect& window, int edge, int32 minWidth, int32 minHeight) {
    if (rectWidth(window) < minWidth) {
        if (edge == kSizeLeft || edge == kSizeTopLeft || edge == kSizeBottomLeft)
            window.left = window.right - minWidth;
        else
            window.right = window.left + minWidth;
    }
    if (rectHeight(window) < minHeight) {
        if (edge == kSizeTop || edge == kSizeTopLeft || edge == kSizeTopRight)
            window.top = window.bottom - minHeight;
        else
            window.bottom = window.top + minHeight;
    }
}

VRect stretchedPane(VRect pane, int32 clientRight, int32 clientBottom, int32 rightMargin, int32 bottomMargin) {
    pane.right = std::max(pane.left + 1, clientRight - rightMargin);
    pane.bottom = std::max(pane.top + 1, clientBottom - bottomMargin);
    return pane;
}

VRect widenedPane(VRect pane, int32 clientRight, int32 rightMargin) {
    pane.right = std::max(pane.left + 1, clientRight - rightMargin);
    return pane;
}

VRect initialWindowRect(int32 contentWidth, int32 contentHeight, int32 frameWidth, int32 frameHeight,
                        int32 minWidth, int32 minHeight, VRect workArea) {
    const int64_t wantedWidth = int64_t(contentWidth) + frameWidth, wantedHeight = int64_t(contentHeight) + frameHeight;
    const int32 w = int32(std::min<int64_t>(std::max<int64_t>(wantedWidth, minWidth), rectWidth(workArea)));
    const int32 h = int32(std::min<int64_t>(std::max<int64_t>(wantedHeight, minHeight), rectHeight(workArea)));
    const int32 left = (rectWidth(workArea) - w) / 2, top = (rectHeight(workArea) - h) / 2;
    return VRect{top, left, top + h, left + w};
}

VRect centredRect(VRect area, int32 width, int32 height) {
    const int32 left = area.left + (rectWidth(area) - width) / 2, top = area.top + (rectHeight(area) - height) / 2;
    return VRect{top, left, top + height, left + width};
}

bool sameRect(VRect a, VRect b) {
    return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
}

std::vector<VRect> uncoveredStrips(VRect previous, VRect current) {
    std::vector<VRect> strips;
    if (rectWidth(previous) <= 0 || rectHeight(previous) <= 0) return strips;
    const VRect overlap{std::max(previous.top, current.top), std::max(previous.left, current.left),
                        std::min(previous.bottom, current.bottom), std::min(previous.right, current.right)};
    if (rectWidth(overlap) <= 0 || rectHeight(overlap) <= 0) {
        strips.push_back(previous);
        return strips;
    }
    const VRect candidates[] = {{previous.top, previous.left, overlap.top, previous.right},
                                {overlap.bottom, previous.left, previous.bottom, previous.right},
                                {overlap.top, previous.left, overlap.bottom, overlap.left},
                                {overlap.top, overlap.right, overlap.bottom, previous.right}};
    for (const VRect& r : candidates)
        if (rectWidth(r) > 0 && rectHeight(r) > 0) strips.push_back(r);
    return strips;
}

int64_t interleavedPictureBytes(const PSPixelMap& planar) {
    return int64_t(rectWidth(planar.bounds)) * rectHeight(planar.bounds) * 3;
}

PSPixelMap interleavedPixelMap(const PSPixelMap& planar, void* interleaved) {
    PSPixelMap map = planar;
    const int32 width = rectWidth(planar.bounds), height = rectHeight(planar.bounds);
    map.bounds = VRect{0, 0, height, width};
    map.rowBytes = 3 * width;
    map.colBytes = 3;
    map.planeBytes = 1;
    map.baseAddr = interleaved;
    return map;
}
