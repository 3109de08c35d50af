// The sRGB transfer curve as two lookup tables in host buffers, and small
// numeric helpers.  32-bit documents hold linear light 0..1; the engine and
// the preview work on gamma-encoded values on the 0..255 scale.
//
// LUT2, gamma to linear: 4097 floats, entry i for the value i / 16 (0..256),
// result on the 0..1 scale.  LUT3, linear to gamma: 4098 floats, entry i for
// i / 4096 (one entry past 1.0 so that interpolation at 1.0 may read i + 1),
// result on the 0..255 scale.  Both exist while a colorspaceConversionLUTs
// lives (the entry point keeps one for every host call).
#pragma once

#include "PIFilter.h"

enum {
    kLUT2Entries = 4097,
    kLUT3Entries = 4098,
    kLUT2Bytes = kLUT2Entries * 4,
    kLUT3Bytes = kLUT3Entries * 4,
};

extern BufferID cspaceBufferID_LUT2;
extern float* cspacePtrLUT2;
extern BufferID cspaceBufferID_LUT3;
extern float* cspacePtrLUT3;

// Allocates and fills both tables; false when the host refused either, and
// then neither is held.  No alert: see handleMissingColorspaceLUTs.
bool createColorspaceLUTs();
void deleteColorspaceLUTs();
// An existing buffer is released before a new one is taken.
void createBufferLUT2(FilterRecord* filterRecord);
void createBufferLUT3(FilterRecord* filterRecord);
void deleteBufferLUT2(FilterRecord* filterRecord);
void deleteBufferLUT3(FilterRecord* filterRecord);
// Fill a table whose pointer is set.
void updateLUT2();
void updateLUT3();
void updateColorspaceLUTs();

// True when either table is missing: shows the out-of-memory alert and sets
// the host result to -128.  Whoever is about to read the tables stops then.
bool handleMissingColorspaceLUTs();

// Holds both tables for the duration of a host call.
class colorspaceConversionLUTs {
public:
    colorspaceConversionLUTs();
    ~colorspaceConversionLUTs();
    colorspaceConversionLUTs(const colorspaceConversionLUTs&) = delete;
    colorspaceConversionLUTs& operator=(const colorspaceConversionLUTs&) = delete;
    // Both tables exist.
    bool ok() const;
};

// The curves applied directly to one value, with the tables' constants:
// gamToLin takes 0..255 to 0..1, linToGam takes 0..1 to 0..255.
void gamToLin(float& v);
void linToGam(float& v);

// A linear value 0..1 to the 0..255 scale by interpolation in LUT3.  The
// value is clamped to 0..1 first, NaN counting as 0.  LUT3 must exist.
float linearToGammaLUT3(float linear);

// v := min(v, high), then max(v, low), then 0 when |v| < 1e-6.  The high
// bound comes first.
void clamp(double& v, double high, double low);
// v kept within -m..m, then the same flush of tiny values.
void clamp(double& v, double m);
void clamp(double& v);

// Adds the period |trunc(high - low)| while v < low, then subtracts it while
// v > high; nothing when the period is 0.  NaN and infinite values are left
// alone.
void wrapValue(double& v, double low, double high);

// Sign-preserving power: base^e for base >= 0, -((-base)^e) otherwise.
double TSpow(double base, double e);
float TSpowf(float base, float e);
