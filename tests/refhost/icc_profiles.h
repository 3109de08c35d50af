// ICC profiles for the tests of embedded colours, made by Little CMS.
#pragma once

#include <lcms2.h>

#include <cstdint>
#include <vector>

namespace refhost_test {

// The bytes of a profile as a file holds them; empty when it cannot be
// saved.  Closes the profile.
inline std::vector<uint8_t> saved(cmsHPROFILE p) {
    cmsUInt32Number n = 0;
    cmsSaveProfileToMem(p, nullptr, &n);
    std::vector<uint8_t> bytes(n);
    if (n == 0 || !cmsSaveProfileToMem(p, bytes.data(), &n)) bytes.clear();
    cmsCloseProfile(p);
    return bytes;
}

// A wide gamut: Adobe RGB's primaries, D65, a plain gamma of 2.2.
inline std::vector<uint8_t> wideGamutProfile() {
    const cmsCIExyY white = {0.3127, 0.3290, 1};
    const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}};
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 2.2);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE p = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(curve);
    return saved(p);
}

// Grey of a gamma of 1.8.
const double kGreyGamma = 1.8;
inline std::vector<uint8_t> greyProfile() {
    cmsToneCurve* curve = cmsBuildGamma(nullptr, kGreyGamma);
    cmsHPROFILE p = cmsCreateGrayProfile(cmsD50_xyY(), curve);
    cmsFreeToneCurve(curve);
    return saved(p);
}

// An RGB profile that only converts into the connection space: a table from
// RGB to Lab (the lightness from green, the colour neutral) and none back.
inline std::vector<uint8_t> inputOnlyProfile() {
    cmsHPROFILE p = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(p, 4.3);
    cmsSetDeviceClass(p, cmsSigInputClass);
    cmsSetColorSpace(p, cmsSigRgbData);
    cmsSetPCS(p, cmsSigLabData);
    cmsStage* grid = cmsStageAllocCLut16bit(nullptr, 2, 3, 3, nullptr);
    cmsStageSampleCLut16bit(
        grid,
        [](const cmsUInt16Number in[], cmsUInt16Number out[], void*) -> cmsInt32Number {
            out[0] = in[1];
            out[1] = out[2] = 0x8080;
            return 1;
        },
        nullptr, 0);
    // Curves, the grid and curves: the shape of the tag's type.
    cmsPipeline* table = cmsPipelineAlloc(nullptr, 3, 3);
    cmsPipelineInsertStage(table, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsPipelineInsertStage(table, cmsAT_END, grid);
    cmsPipelineInsertStage(table, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsWriteTag(p, cmsSigAToB0Tag, table);
    cmsPipelineFree(table);
    cmsWriteTag(p, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    return saved(p);
}

}  // namespace refhost_test
