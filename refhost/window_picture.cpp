#include "refhost/window_picture.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace refhost {
namespace {
struct Colour {
    uint8_t r, g, b;
};

void fill(Document& d, long top, long left, long bottom, long right, Colour c) {
    top = std::max<long>(top, 0);
    left = std::max<long>(left, 0);
    bottom = std::min<long>(bottom, d.height());
    right = std::min<long>(right, d.width());
    for (long y = top; y < bottom; ++y)
        for (long x = left; x < right; ++x) {
            uint8_t* p = d.pixel(int32(x), int32(y));
            p[0] = c.r;
            p[1] = c.g;
            p[2] = c.b;
        }
}

void frame(Document& d, const Rect& r, Colour c) {
    fill(d, r.top, r.left, r.top + 1, r.right, c);
    fill(d, r.bottom - 1, r.left, r.bottom, r.right, c);
    fill(d, r.top, r.left, r.bottom, r.left + 1, c);
    fill(d, r.top, r.right - 1, r.bottom, r.right, c);
}

Colour colourOf(const std::string& kind) {
    if (kind == "button") return {180, 200, 235};
    if (kind == "checkbox" || kind == "radio") return {235, 235, 235};
    if (kind == "slider") return {215, 215, 215};
    if (kind == "edit") return {255, 255, 255};
    if (kind == "static") return {228, 224, 200};
    if (kind == "pane") return {120, 120, 120};
    return {200, 200, 200};
}
}  // namespace

Document pictureOfWindow(WindowRef window) {
    Rect content{0, 0, 0, 0};
    GetWindowBounds(window, kWindowContentRgn, &content);
    Document d(plugInModeRGBColor, std::max(1, content.right - content.left), std::max(1, content.bottom - content.top));
    fill(d, 0, 0, d.height(), d.width(), {236, 236, 236});
    for (int i = 0; i < CarbonStandInControlCount(window); ++i) {
        CarbonControlInfo c;
        if (!CarbonStandInControlAt(window, i, &c) || !c.visible) continue;
        const std::string kind = c.kind;
        const Rect& r = c.bounds;
        fill(d, r.top, r.left, r.bottom, r.right, colourOf(kind));
        if (kind == "checkbox" || kind == "radio") {
            const long side = std::min(r.bottom - r.top, 12);
            frame(d, Rect{r.top, r.left, int16_t(r.top + side), int16_t(r.left + side)}, {60, 60, 60});
            if (c.value) fill(d, r.top + 3, r.left + 3, r.top + side - 3, r.left + side - 3, {30, 30, 30});
            // The label's length as a grey bar.
            fill(d, r.top + side / 2 - 1, r.left + side + 4,
                 r.top + side / 2 + 1, std::min<long>(r.right, r.left + side + 4 + 4 * long(std::strlen(c.text))),
                 {150, 150, 150});
        } else if (kind == "slider") {
            fill(d, (r.top + r.bottom) / 2 - 1, r.left, (r.top + r.bottom) / 2 + 1, r.right, {90, 90, 90});
            const long span = std::max(1, c.maximum - c.minimum);
            const long x = r.left + (r.right - r.left - 6) * long(c.value - c.minimum) / span;
            fill(d, r.top, x, r.bottom, x + 6, {40, 90, 200});
        } else if (kind == "edit" || kind == "static") {
            fill(d, (r.top + r.bottom) / 2 - 1, r.left + 3, (r.top + r.bottom) / 2 + 1,
                 std::min<long>(r.right - 3, r.left + 3 + 4 * long(std::strlen(c.text))), {60, 60, 60});
        }
        frame(d, r, c.hilite == 255 ? Colour{170, 170, 170} : Colour{70, 70, 70});
    }
    // The default button, which Return presses, ringed in blue as the
    // system marks it.
    ControlRef defaultButton = nullptr;
    if (GetWindowDefaultButton(window, &defaultButton) == 0 && defaultButton && IsControlVisible(defaultButton)) {
        Rect r;
        GetControlBounds(defaultButton, &r);
        for (int ring = 0; ring < 2; ++ring) {
            frame(d, r, {40, 90, 200});
            InsetRect(&r, 1, 1);
        }
    }
    // What was displayed or erased on the window's port lies over them.
    for (int32 y = 0; y < d.height(); ++y)
        for (int32 x = 0; x < d.width(); ++x) {
            uint8_t rgb[3];
            if (CarbonStandInPortPixel(window, x, y, rgb)) std::memcpy(d.pixel(x, y), rgb, 3);
        }
    return d;
}
}  // namespace refhost
