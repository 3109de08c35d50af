// The gamma and linear tables, their holder, and small numeric helpers.
#include "image/colorspace_luts.h"

#include <cmath>
#include <cstdint>

#include "host/alerts.h"
#include "host/globals.h"
#include "host/host_services.h"

BufferID cspaceBufferID_LUT2 = nullptr;
float* cspacePtrLUT2 = nullptr;
BufferID cspaceBufferID_LUT3 = nullptr;
float* cspacePtrLUT3 = nullptr;

namespace {

// A buffer that the host gave but would not lock is freed at once, so that
// the id and the pointer are both set or both null.
void allocateTable(int64_t bytes, BufferID& id, float*& ptr) {
    id = nullptr;
    ptr = nullptr;
    memoryAllocate(bytes, id, ptr);
    if (!ptr && id) {
        if (gFilterRecord && gFilterRecord->bufferProcs) gFilterRecord->bufferProcs->freeProc(id);
        id = nullptr;
    }
}

// powf correctly rounded: C libraries differ in its last bit, and the
// tables must come out the same in every build.
float roundedPow(float base, float e) { return float(std::pow(double(base), double(e))); }

float gammaToLinear(float x) {
    return x > 10.0164f ? roundedPow(x * 0.0037171266f + 0.0521327f, 2.4f) : x * 0.000303527f;
}

float linearToGamma(float x) {
    return x > 0.0031308f ? roundedPow(x, 0.41666666f) * 269.025f - 14.025f : x * 3294.6f;
}

}  // namespace

void createBufferLUT2(FilterRecord*) {
    if (cspaceBufferID_LUT2) {
        doAlertBox("(Vexlor)Internal error: cspaceBufferID_LUT2 already created.");
        memoryRelease(kLUT2Bytes, cspaceBufferID_LUT2, cspacePtrLUT2);
    }
    allocateTable(kLUT2Bytes, cspaceBufferID_LUT2, cspacePtrLUT2);
}

void createBufferLUT3(FilterRecord*) {
    memoryRelease(kLUT3Bytes, cspaceBufferID_LUT3, cspacePtrLUT3);
    allocateTable(kLUT3Bytes, cspaceBufferID_LUT3, cspacePtrLUT3);
}

void deleteBufferLUT2(FilterRecord*) {
    memoryRelease(kLUT2Bytes, cspaceBufferID_LUT2, cspacePtrLUT2);
    cspaceBufferID_LUT2 = nullptr;
    cspacePtrLUT2 = nullptr;
}

void deleteBufferLUT3(FilterRecord*) {
    memoryRelease(kLUT3Bytes, cspaceBufferID_LUT3, cspacePtrLUT3);
    cspaceBufferID_LUT3 = nullptr;
    cspacePtrLUT3 = nullptr;
}

void updateLUT2() {
    if (!cspacePtrLUT2) return;
    cspacePtrLUT2[0] = 0.0f;
    for (int i = 1; i < kLUT2Entries; ++i) cspacePtrLUT2[i] = gammaToLinear(float(i) / 16.0f);
}

void updateLUT3() {
    if (!cspacePtrLUT3) return;
    for (int i = 0; i < kLUT3Entries; ++i) cspacePtrLUT3[i] = linearToGamma(float(i) / 4096.0f);
}

void updateColorspaceLUTs() {
    updateLUT2();
    updateLUT3();
}

bool createColorspaceLUTs() {
    createBufferLUT2(gFilterRecord);
    createBufferLUT3(gFilterRecord);
    // Both or neither: a half-made pair would only move the failure to the
    // first 32-bit conversion.
    if (!cspacePtrLUT2 || !cspacePtrLUT3) {
        deleteColorspaceLUTs();
        return false;
    }
    updateColorspaceLUTs();
    return true;
}

void deleteColorspaceLUTs() {
    deleteBufferLUT2(gFilterRecord);
    deleteBufferLUT3(gFilterRecord);
}

bool handleMissingColorspaceLUTs() {
    if (cspacePtrLUT2 && cspacePtrLUT3) return false;
    reportOutOfMemory();
    return true;
}

colorspaceConversionLUTs::colorspaceConversionLUTs() { createColorspaceLUTs(); }

colorspaceConversionLUTs::~colorspaceConversionLUTs() { deleteColorspaceLUTs(); }

bool colorspaceConversionLUTs::ok() const { return cspacePtrLUT2 && cspacePtrLUT3; }

void gamToLin(float& v) { v = gammaToLinear(v); }

void linToGam(float& v) { v = linearToGamma(v); }

float linearToGammaLUT3(float linear) {
    // NaN fails the first test and counts as 0, like a negative sample.
    const float c = linear > 0.0f ? (linear < 1.0f ? linear : 1.0f) : 0.0f;
    const float t = c * 4096.0f;
    const int k = int(t);
    const float f = t - float(k);
    return (1.0f - f) * cspacePtrLUT3[k] + f * cspacePtrLUT3[k + 1];
}

namespace {
void flushTiny(double& v) {
    if (std::fabs(v) < 1e-6) v = 0.0;
}
}  // namespace

void clamp(double& v, double high, double low) {
    if (v > high) v = high;
    if (v < low) v = low;
    flushTiny(v);
}

void clamp(double& v, double m) { clamp(v, m, -m); }

void clamp(double& v) { flushTiny(v); }

void wrapValue(double& v, double low, double high) {
    const double period = std::fabs(std::trunc(high - low));
    if (period == 0.0 || !std::isfinite(period) || !std::isfinite(v)) return;
    // Step by step as long as that is short; a value many periods away is
    // brought near the range by the remainder first, so the loop ends.
    const double kMaxSteps = 1 << 20;
    if (v < low && (low - v) / period > kMaxSteps) v = low + std::fmod(v - low, period);
    if (v > high && (v - high) / period > kMaxSteps) v = high + std::fmod(v - high, period);
    while (v < low) v += period;
    while (v > high) v -= period;
}

double TSpow(double base, double e) { return base >= 0.0 ? std::pow(base, e) : -std::pow(-base, e); }

float TSpowf(float base, float e) { return base >= 0.0f ? roundedPow(base, e) : -roundedPow(-base, e); }
