// Mode and depth conversion of documents; the colours of Lab through Little
// CMS.
#include "refhost/convert.h"

#include <lcms2.h>

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

// Grey and RGB into each other, and CMYK to another depth of itself.
Document convertDeviceSamples(const Document& src, int16 mode, bool colour) {
    Document dst(mode, src.width(), src.height());
    for (int32 y = 0; y < src.height(); ++y)
        for (int32 x = 0; x < src.width(); ++x) {
            double e[4];
            for (int16 p = 0; p < src.planes(); ++p) e[p] = encoded(src, src.get(x, y, p), colour);
            if (src.planes() == 3 && dst.planes() == 1) e[0] = 0.299 * e[0] + 0.587 * e[1] + 0.114 * e[2];
            if (src.planes() == 1 && dst.planes() == 3) e[1] = e[2] = e[0];
            for (int16 p = 0; p < dst.planes(); ++p) dst.set(x, y, p, stored(dst.depth(), e[p], colour));
        }
    return dst;
}

// ---------------------------------------------------------------------------
// Lab.

// The host's Lab samples of a depth: L per unit of lightness, a and b per
// unit and their neutral sample.
struct LabEncoding {
    double perLightness, perUnit, neutral;
};
LabEncoding labEncoding(int32 depth) { return depth == 8 ? LabEncoding{2.55, 1, 128} : LabEncoding{327.68, 128, 16384}; }

void decodeLab(const Document& d, int32 x, int32 y, double lab[3]) {
    const LabEncoding e = labEncoding(d.depth());
    lab[0] = d.get(x, y, 0) / e.perLightness;
    for (int16 p = 1; p < 3; ++p) lab[p] = (d.get(x, y, p) - e.neutral) / e.perUnit;
}

void encodeLab(Document& d, int32 x, int32 y, const double lab[3]) {
    const LabEncoding e = labEncoding(d.depth());
    d.set(x, y, 0, lab[0] * e.perLightness);
    for (int16 p = 1; p < 3; ++p) d.set(x, y, p, e.neutral + lab[p] * e.perUnit);
}

// The full scale of grey and RGB samples, which Little CMS takes as 0..1.
double deviceFullScale(int32 depth) { return depth == 8 ? 255.0 : depth == 16 ? 32768.0 : 1.0; }

cmsColorSpaceSignature colourSpaceOf(int16 base) {
    switch (base) {
        case plugInModeGrayScale: return cmsSigGrayData;
        case plugInModeRGBColor: return cmsSigRgbData;
        case plugInModeCMYKColor: return cmsSigCmykData;
        default: return cmsSigLabData;
    }
}

std::string colourSpaceName(cmsUInt32Number space) {
    switch (space) {
        case cmsSigGrayData: return "grey";
        case cmsSigRgbData: return "RGB";
        case cmsSigCmykData: return "CMYK";
        case cmsSigLabData: return "Lab";
        default: return "other";
    }
}

// The objects of one conversion through Little CMS, in a context of their
// own (no state shared between threads), released together.  The library's
// last message goes into the error that reports a failure.
class Cms {
public:
    Cms() : context_(cmsCreateContext(nullptr, &message_)) {
        if (!context_) throw std::bad_alloc();
        cmsSetLogErrorHandlerTHR(context_, keepMessage);
    }
    ~Cms() {
        for (cmsHTRANSFORM t : transforms_) cmsDeleteTransform(t);
        for (cmsHPROFILE p : profiles_) cmsCloseProfile(p);
        cmsDeleteContext(context_);
    }
    Cms(const Cms&) = delete;
    Cms& operator=(const Cms&) = delete;

    cmsHPROFILE labProfile() { return keep(cmsCreateLab4ProfileTHR(context_, nullptr), "the Lab profile"); }

    // An embedded profile, which must be one of the samples' colours.
    cmsHPROFILE embeddedProfile(const std::vector<uint8_t>& icc, int16 base) {
        cmsHPROFILE p = keep(cmsOpenProfileFromMemTHR(context_, icc.data(), cmsUInt32Number(icc.size())),
                             "the embedded ICC profile");
        // The class and the colour space as the header's numbers: a file may
        // hold any value there, which lcms's enumerations cannot carry.
        auto headerField = [&](size_t at) {
            return cmsUInt32Number(icc[at]) << 24 | cmsUInt32Number(icc[at + 1]) << 16 |
                   cmsUInt32Number(icc[at + 2]) << 8 | cmsUInt32Number(icc[at + 3]);
        };
        const cmsUInt32Number kind = headerField(12);
        if (kind == cmsSigLinkClass || kind == cmsSigAbstractClass || kind == cmsSigNamedColorClass)
            throw std::invalid_argument("the embedded ICC profile is a device link, abstract or named colour "
                                        "profile, not the colours of samples");
        const cmsUInt32Number space = headerField(16);
        if (space != cmsUInt32Number(colourSpaceOf(base)))
            throw std::invalid_argument("the embedded ICC profile is one of " + colourSpaceName(space) +
                                        " colours, not of " + colourSpaceName(colourSpaceOf(base)));
        return p;
    }

    // The colours of grey or RGB samples of a depth: the ICC profile, or sRGB's.
    cmsHPROFILE deviceProfile(int16 base, int32 depth, const std::vector<uint8_t>& icc) {
        if (!icc.empty()) {
            if (depth == 32)
                throw std::invalid_argument("an ICC profile describes 8- and 16-bit samples; 32-bit samples are "
                                            "linear sRGB");
            return embeddedProfile(icc, base);
        }
        // sRGB's white, primaries and tone curve, as Little CMS's own sRGB
        // profile has them; 32-bit samples are linear light.
        const cmsCIExyY d65 = {0.3127, 0.3290, 1.0};
        const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
        const cmsFloat64Number srgbCurve[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
        cmsToneCurve* curve = depth == 32 ? cmsBuildGamma(context_, 1.0)
                                          : cmsBuildParametricToneCurve(context_, 4, srgbCurve);
        if (!curve) throw std::bad_alloc();
        cmsToneCurve* curves[3] = {curve, curve, curve};
        cmsHPROFILE p = base == plugInModeGrayScale ? cmsCreateGrayProfileTHR(context_, &d65, curve)
                             : cmsCreateRGBProfileTHR(context_, &d65, &primaries, curves);
        cmsFreeToneCurve(curve);
        return keep(p, "the sRGB profile");
    }

    cmsHTRANSFORM transform(cmsHPROFILE from, cmsUInt32Number fromFormat, cmsHPROFILE to, cmsUInt32Number toFormat,
                            const std::string& what) {
        message_.clear();
        cmsHTRANSFORM t =
            cmsCreateTransformTHR(context_, from, fromFormat, to, toFormat, INTENT_RELATIVE_COLORIMETRIC, 0);
        if (!t) throw std::invalid_argument("cannot convert " + what + reason());
        transforms_.push_back(t);
        return t;
    }

private:
    static void keepMessage(cmsContext context, cmsUInt32Number, const char* text) {
        *static_cast<std::string*>(cmsGetContextUserData(context)) = text ? text : "";
    }
    std::string reason() const { return message_.empty() ? std::string() : ": " + message_; }
    cmsHPROFILE keep(cmsHPROFILE p, const char* what) {
        if (!p) throw std::invalid_argument(std::string("cannot read ") + what + reason());
        profiles_.push_back(p);
        return p;
    }

    std::string message_;
    cmsContext context_;
    std::vector<cmsHPROFILE> profiles_;
    std::vector<cmsHTRANSFORM> transforms_;
};

// Grey or RGB into Lab, or Lab into grey or RGB, a row at a time.
Document convertThroughLab(const Document& src, int16 mode, const std::vector<uint8_t>& icc) {
    Document dst(mode, src.width(), src.height());
    const bool toLab = baseModeOf(mode) == plugInModeLabColor;
    const Document& device = toLab ? src : dst;
    const int16 deviceBase = baseModeOf(device.imageMode());
    const double full = deviceFullScale(device.depth());
    Cms cms;
    cmsHPROFILE lab = cms.labProfile(), colours = cms.deviceProfile(deviceBase, device.depth(), icc);
    const cmsUInt32Number deviceFormat = deviceBase == plugInModeGrayScale ? TYPE_GRAY_DBL : TYPE_RGB_DBL;
    const std::string deviceName = deviceBase == plugInModeGrayScale ? "grey" : "RGB";
    const cmsHTRANSFORM t = toLab ? cms.transform(colours, deviceFormat, lab, TYPE_Lab_DBL, deviceName + " to Lab")
                                  : cms.transform(lab, TYPE_Lab_DBL, colours, deviceFormat, "Lab to " + deviceName);
    std::vector<double> in(size_t(src.width()) * src.planes()), out(size_t(dst.width()) * dst.planes());
    for (int32 y = 0; y < src.height(); ++y) {
        for (int32 x = 0; x < src.width(); ++x) {
            double* s = &in[size_t(x) * src.planes()];
            if (toLab) {
                for (int16 p = 0; p < src.planes(); ++p) s[p] = src.get(x, y, p) / full;
            } else {
                decodeLab(src, x, y, s);
            }
        }
        cmsDoTransform(t, in.data(), out.data(), cmsUInt32Number(src.width()));
        for (int32 x = 0; x < dst.width(); ++x) {
            const double* d = &out[size_t(x) * dst.planes()];
            if (toLab) {
                encodeLab(dst, x, y, d);
            } else {
                for (int16 p = 0; p < dst.planes(); ++p) dst.set(x, y, p, d[p] * full);
            }
        }
    }
    return dst;
}

Document convertLabDepth(const Document& src, int16 mode) {
    Document dst(mode, src.width(), src.height());
    for (int32 y = 0; y < src.height(); ++y)
        for (int32 x = 0; x < src.width(); ++x) {
            double lab[3];
            decodeLab(src, x, y, lab);
            encodeLab(dst, x, y, lab);
        }
    return dst;
}

bool greyOrRgb(int16 base) { return base == plugInModeGrayScale || base == plugInModeRGBColor; }
}  // namespace

Document convertDocument(const Document& src, int16 baseMode, int32 depth, const std::vector<uint8_t>& iccProfile) {
    const int16 from = baseModeOf(src.imageMode());
    const int16 mode = modeFor(baseMode, depth);
    if (from < 0 || mode < 0) throw std::invalid_argument(modeName(baseMode) + " has no " + std::to_string(depth) + "-bit form");
    if (from == plugInModeLabColor && baseMode == plugInModeLabColor) return convertLabDepth(src, mode);
    if ((from == plugInModeLabColor && greyOrRgb(baseMode)) || (baseMode == plugInModeLabColor && greyOrRgb(from)))
        return convertThroughLab(src, mode, iccProfile);
    const bool greyRgb = greyOrRgb(from) && greyOrRgb(baseMode);
    if (from != baseMode && !greyRgb)
        throw std::invalid_argument("cannot convert " + modeName(src.imageMode()) + " to " + modeName(mode) +
                                    ": grey and RGB convert into each other and into and out of Lab");
    // CMYK samples are not light: they are rescaled, not decoded.
    return convertDeviceSamples(src, mode, greyRgb);
}

void checkIccProfile(const std::vector<uint8_t>& iccProfile, int16 baseMode) {
    Cms cms;
    cms.embeddedProfile(iccProfile, baseMode);
}

Document displayCallImage(const DisplayCall& call) {
    const int32 width = call.srcRect.right - call.srcRect.left, height = call.srcRect.bottom - call.srcRect.top;
    const bool grey = call.planes == 1;
    if (call.planes != 1 && call.planes != 3)
        throw std::invalid_argument("displayCallImage: a display of " + std::to_string(call.planes) + " planes");
    if (call.imageMode != plugInModeGrayScale && call.imageMode != plugInModeRGBColor &&
        call.imageMode != plugInModeLabColor && !grey)
        throw std::invalid_argument("displayCallImage: display mode " + modeName(int16(call.imageMode)));
    // The call's samples are 8-bit: they are a document of the displayed
    // mode as they stand, and a screen shows Lab in sRGB.
    const bool lab = !grey && call.imageMode == plugInModeLabColor;
    Document doc(grey ? plugInModeGrayScale : lab ? plugInModeLabColor : plugInModeRGBColor, width, height);
    if (int64_t(call.pixels.size()) < doc.rowBytes() * height)
        throw std::invalid_argument("displayCallImage: fewer samples than the rectangle holds");
    std::copy(call.pixels.begin(), call.pixels.begin() + doc.rowBytes() * height, doc.data());
    return lab ? convertDocument(doc, plugInModeRGBColor, 8) : doc;
}

}  // namespace refhost
