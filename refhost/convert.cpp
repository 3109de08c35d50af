// Mode and depth conversion of documents.
#include "refhost/convert.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace refhost {

int16 baseModeOf(int16 mode) {
    for (int16 base : {plugInModeGrayScale, plugInModeRGBColor, plugInModeLabColor, plugInModeCMYKColor})
        for (int32 depth : {8, 16, 32})
            if (modeFor(base, depth) == mode) return base;
    return -1;
}

namespace {

double decodeSrgb(double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); }
double encodeSrgb(double v) { return v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1 / 2.4) - 0.055; }

// A sample as 0..1 on the encoded scale of 8 and 16 bits.
double encoded(const Document& d, double v, bool colour) {
    switch (d.depth()) {
        case 8: return v / 255.0;
        case 16: return v / 32768.0;
        default: return colour ? encodeSrgb(std::min(1.0, std::max(0.0, v))) : v;
    }
}

double stored(int32 depth, double e, bool colour) {
    switch (depth) {
        case 8: return e * 255.0;
        case 16: return e * 32768.0;
        default: return colour ? decodeSrgb(e) : e;
    }
}
}  // namespace

Document convertDocument(const Document& src, int16 baseMode, int32 depth) {
    const int16 from = baseModeOf(src.imageMode());
    const int16 mode = modeFor(baseMode, depth);
    if (from < 0 || mode < 0) throw std::invalid_argument(modeName(baseMode) + " has no " + std::to_string(depth) + "-bit form");
    const bool greyRgb = (from == plugInModeGrayScale || from == plugInModeRGBColor) &&
                         (baseMode == plugInModeGrayScale || baseMode == plugInModeRGBColor);
    if (from != baseMode && !greyRgb)
        throw std::invalid_argument("cannot convert " + modeName(src.imageMode()) + " to " + modeName(mode) +
                                    ": only grey and RGB convert into each other");
    // Lab and CMYK samples are not light: they are rescaled, not decoded.
    const bool colour = greyRgb;
    Document dst(mode, src.width(), src.height());
    for (int32 y = 0; y < src.height(); ++y)
        for (int32 x = 0; x < src.width(); ++x) {
            double e[4];
            for (int16 p = 0; p < src.planes(); ++p) e[p] = encoded(src, src.get(x, y, p), colour);
            if (src.planes() == 3 && dst.planes() == 1) e[0] = 0.299 * e[0] + 0.587 * e[1] + 0.114 * e[2];
            if (src.planes() == 1 && dst.planes() == 3) e[1] = e[2] = e[0];
            for (int16 p = 0; p < dst.planes(); ++p) dst.set(x, y, p, stored(depth, e[p], colour));
        }
    return dst;
}

namespace {
// CIE Lab (D50, as the host's Lab) to encoded sRGB 0..255 through XYZ with
// the Bradford-adapted matrix.
void labToSrgb(double L, double a, double bb, double rgb[3]) {
    const double fy = (L + 16.0) / 116.0, fx = fy + a / 500.0, fz = fy - bb / 200.0;
    auto inv = [](double t) { return t > 6.0 / 29.0 ? t * t * t : 3.0 * (6.0 / 29.0) * (6.0 / 29.0) * (t - 4.0 / 29.0); };
    const double X = 0.9642 * inv(fx), Y = inv(fy), Z = 0.8249 * inv(fz);
    const double lin[3] = {3.1338561 * X - 1.6168667 * Y - 0.4906146 * Z,
                           -0.9787684 * X + 1.9161415 * Y + 0.0334540 * Z,
                           0.0719453 * X - 0.2289914 * Y + 1.4052427 * Z};
    for (int i = 0; i < 3; ++i) rgb[i] = 255.0 * encodeSrgb(std::min(1.0, std::max(0.0, lin[i])));
}
}  // namespace

Document displayedImage(const Document& doc) {
    const int16 base = baseModeOf(doc.imageMode());
    if (base != plugInModeGrayScale && base != plugInModeRGBColor && base != plugInModeLabColor)
        throw std::invalid_argument("displayedImage: a document of mode " + modeName(doc.imageMode()));
    const Document bytes = convertDocument(doc, base, 8);
    if (base != plugInModeLabColor) return bytes;
    Document shown(plugInModeRGBColor, doc.width(), doc.height());
    for (int32 y = 0; y < doc.height(); ++y)
        for (int32 x = 0; x < doc.width(); ++x) {
            double rgb[3];
            labToSrgb(bytes.get(x, y, 0) * 100.0 / 255.0, bytes.get(x, y, 1) - 128.0, bytes.get(x, y, 2) - 128.0, rgb);
            for (int16 c = 0; c < 3; ++c) shown.set(x, y, c, rgb[c]);
        }
    return shown;
}

Document displayCallImage(const DisplayCall& call) {
    const int32 width = call.srcRect.right - call.srcRect.left, height = call.srcRect.bottom - call.srcRect.top;
    const bool grey = call.planes == 1;
    if (call.planes != 1 && call.planes != 3)
        throw std::invalid_argument("displayCallImage: a display of " + std::to_string(call.planes) + " planes");
    if (call.imageMode != plugInModeGrayScale && call.imageMode != plugInModeRGBColor &&
        call.imageMode != plugInModeLabColor && !grey)
        throw std::invalid_argument("displayCallImage: display mode " + modeName(int16(call.imageMode)));
    Document doc(grey ? plugInModeGrayScale : plugInModeRGBColor, width, height);
    const uint8_t* p = call.pixels.data();
    for (int32 y = 0; y < height; ++y)
        for (int32 x = 0; x < width; ++x, p += call.planes) {
            if (grey) {
                doc.set(x, y, 0, p[0]);
            } else if (call.imageMode == plugInModeLabColor) {
                double rgb[3];
                labToSrgb(p[0] * 100.0 / 255.0, p[1] - 128.0, p[2] - 128.0, rgb);
                for (int16 c = 0; c < 3; ++c) doc.set(x, y, c, rgb[c]);
            } else {
                for (int16 c = 0; c < 3; ++c) doc.set(x, y, c, p[c]);
            }
        }
    return doc;
}

}  // namespace refhost
