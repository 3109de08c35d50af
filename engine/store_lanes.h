// The output writers' sample stores (engine/output_writers.h) on a vector of
// values: the same clamp, scaling and rounding as storeAs8Bit, storeAs16Bit
// and storeAs32Bit, lane by lane.  Included after engine/kernels/isa_target.h
// (and engine/output_writers.h before it), kept per instruction set like
// engine/lanes.h.
#pragma once

#include "engine/output_writers.h"
#include "engine/lanes.h"

inline namespace VEXLOR_LANES_SET {

// v clamped to 0..top; NaN and anything not >= 0 give 0.
template <class V>
VEXLOR_INLINE V clampedSamples(const V& v, float top) {
    using namespace lanes;
    const V low = select(v >= 0.0f, v, splat<V>(0.0f));
    return select(low > top, splat<V>(top), low);
}

// storeAs8Bit of every lane into d[0 .. lanes).
template <class V>
VEXLOR_INLINE void store8BitSamples(const V& v, uint8* d) {
    typedef typename lanes::Traits<V>::Index I;
    typedef typename lanes::Traits<V>::Bytes B;
    const B b = __builtin_convertvector(__builtin_convertvector(clampedSamples(v, 255.0f) + 0.5f, I), B);
    std::memcpy(d, &b, sizeof b);
}

// storeAs16Bit of every lane into d[0 .. lanes).
template <class V>
VEXLOR_INLINE void store16BitSamples(const V& v, uint16* d) {
    typedef typename lanes::Traits<V>::Index I;
    typedef typename lanes::Traits<V>::Words W;
    const W w = __builtin_convertvector(__builtin_convertvector(clampedSamples(v, 255.0f) * kTo16BitScale + 0.5f, I), W);
    std::memcpy(d, &w, sizeof w);
}

// storeAs32Bit of every lane: the table's entries read lane by lane.
template <class V>
VEXLOR_INLINE V linearSamples(const V& v, const float* lut2) {
    typedef typename lanes::Traits<V>::Index I;
    enum { kLanes = lanes::Traits<V>::kLanes };
    const V t = 16.0f * clampedSamples(v, 255.0f);
    const I i = __builtin_convertvector(t, I);
    const V f = t - __builtin_convertvector(i, V);
    V below, above;
    for (int l = 0; l < kLanes; ++l) {
        below[l] = lut2[i[l]];
        above[l] = lut2[i[l] + 1];
    }
    return (1.0f - f) * below + f * above;
}

// Each depth's store of one sample, and of a vector V of consecutive ones.
template <class V>
struct samples8 {
    typedef uint8 Sample;
    uint8 store(float v) const { return storeAs8Bit(v); }
    void storeVector(const V& v, uint8* d) const { store8BitSamples(v, d); }
};
template <class V>
struct samples16 {
    typedef uint16 Sample;
    uint16 store(float v) const { return storeAs16Bit(v); }
    void storeVector(const V& v, uint16* d) const { store16BitSamples(v, d); }
};
template <class V>
struct samples32 {
    typedef float Sample;
    const float* lut2;
    float store(float v) const { return storeAs32Bit(v, lut2); }
    void storeVector(const V& v, float* d) const { lanes::store<V>(d, linearSamples(v, lut2)); }
};

}  // namespace VEXLOR_LANES_SET
