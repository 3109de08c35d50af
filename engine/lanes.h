// The engine's one vocabulary for vector code: lanes of 4, 8 or 16 floats as
// GCC vector extensions, lowered to whatever the target offers.  Every
// operation is the IEEE operation of the scalar code, lane by lane, so a
// vectorised kernel computes exactly what its scalar form would, at any
// width.  Everything here is always inlined: no vector crosses a call.
//
// A kernel source includes this (and the headers built on it) after
// engine/kernels/isa_target.h, so that it is compiled for the kernel's own
// instruction set; each set's copy lives in a namespace of its own
// (kLanesSet), so the linker never takes one set's copy for another's.
#pragma once
#define VEXLOR_LANES_INCLUDED 1

#include <cmath>
#include <cstdint>
#include <cstring>

#pragma GCC diagnostic ignored "-Wpsabi"

#define VEXLOR_INLINE inline __attribute__((always_inline))

#if defined(VEXLOR_ISA_AVX512)
#define VEXLOR_LANES_SET set_avx512
#elif defined(VEXLOR_ISA_AVX2)
#define VEXLOR_LANES_SET set_avx2
#else
#define VEXLOR_LANES_SET set_baseline
#endif

namespace lanes {
inline namespace VEXLOR_LANES_SET {

typedef float v4f __attribute__((vector_size(16)));
typedef int32_t v4i __attribute__((vector_size(16)));
typedef float v8f __attribute__((vector_size(32)));
typedef int32_t v8i __attribute__((vector_size(32)));
typedef float v16f __attribute__((vector_size(64)));
typedef int32_t v16i __attribute__((vector_size(64)));

// The widest float vector of the instruction set: a register of it.  SSE2
// and NEON have four floats; a build for another processor takes eight.
#if defined(VEXLOR_ISA_AVX512)
typedef v16f widest;
#elif defined(VEXLOR_ISA_AVX2) || !(defined(__x86_64__) || defined(__i386__))
typedef v8f widest;
#else
typedef v4f widest;
#endif

// Per lane type: the comparison mask, the lane index type, the lane count.
template <class V>
struct Traits;
template <>
struct Traits<float> {
    typedef bool Mask;
    typedef int32_t Index;
    enum { kLanes = 1 };
};
template <>
struct Traits<v4f> {
    typedef v4i Mask;
    typedef v4i Index;
    typedef uint8_t Bytes __attribute__((vector_size(4)));
    typedef uint16_t Words __attribute__((vector_size(8)));
    enum { kLanes = 4 };
};
template <>
struct Traits<v8f> {
    typedef v8i Mask;
    typedef v8i Index;
    typedef uint8_t Bytes __attribute__((vector_size(8)));
    typedef uint16_t Words __attribute__((vector_size(16)));
    enum { kLanes = 8 };
};
template <>
struct Traits<v16f> {
    typedef v16i Mask;
    typedef v16i Index;
    typedef uint8_t Bytes __attribute__((vector_size(16)));
    typedef uint16_t Words __attribute__((vector_size(32)));
    enum { kLanes = 16 };
};

// Unaligned loads and stores of a lane vector.
template <class V>
VEXLOR_INLINE V load(const float* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <class V>
VEXLOR_INLINE void store(float* p, const V& v) {
    std::memcpy(p, &v, sizeof v);
}
VEXLOR_INLINE v8f load8(const float* p) { return load<v8f>(p); }
VEXLOR_INLINE void store8(float* p, const v8f& v) { store<v8f>(p, v); }

template <class V>
VEXLOR_INLINE V splat(float x) {
    return V{} + x;
}
template <class I>
VEXLOR_INLINE I splatIndex(int32_t x) {
    return I{} + x;
}

// Absolute value: the sign bit cleared.
VEXLOR_INLINE float vabs(float x) { return std::fabs(x); }
VEXLOR_INLINE v4f vabs(const v4f& x) { return (v4f)((v4i)x & 0x7fffffff); }
VEXLOR_INLINE v8f vabs(const v8f& x) { return (v8f)((v8i)x & 0x7fffffff); }
VEXLOR_INLINE v16f vabs(const v16f& x) { return (v16f)((v16i)x & 0x7fffffff); }

// Per-lane choice of a where the mask is set, else b.  Four lanes choose by
// bit operations: SSE2, their baseline, has no blend.
VEXLOR_INLINE float select(bool m, float a, float b) { return m ? a : b; }
VEXLOR_INLINE int32_t select(bool m, int32_t a, int32_t b) { return m ? a : b; }
VEXLOR_INLINE v4f select(const v4i& m, const v4f& a, const v4f& b) { return (v4f)(((v4i)a & m) | ((v4i)b & ~m)); }
VEXLOR_INLINE v4i select(const v4i& m, const v4i& a, const v4i& b) { return (a & m) | (b & ~m); }
VEXLOR_INLINE v8f select(const v8i& m, const v8f& a, const v8f& b) { return m ? a : b; }
VEXLOR_INLINE v8i select(const v8i& m, const v8i& a, const v8i& b) { return m ? a : b; }
VEXLOR_INLINE v16f select(const v16i& m, const v16f& a, const v16f& b) { return m ? a : b; }
VEXLOR_INLINE v16i select(const v16i& m, const v16i& a, const v16i& b) { return m ? a : b; }

// Eight interleaved three-channel pixels (24 floats) to and from three
// channel vectors: six two-vector shuffles each way instead of 24 scalar
// moves.  Pure data movement.
VEXLOR_INLINE void deinterleave3x8(const float* in, float* c0, float* c1, float* c2) {
    const v8f a = load8(in), b = load8(in + 8), c = load8(in + 16);
    // a: r0 g0 b0 r1 g1 b1 r2 g2 | b: b2 r3 g3 b3 r4 g4 b4 r5 | c: g5 b5 r6 g6 b6 r7 g7 b7
    const v8f ab0 = __builtin_shuffle(a, b, v8i{0, 3, 6, 9, 12, 15, 0, 0});
    const v8f ab1 = __builtin_shuffle(a, b, v8i{1, 4, 7, 10, 13, 0, 0, 0});
    const v8f ab2 = __builtin_shuffle(a, b, v8i{2, 5, 8, 11, 14, 0, 0, 0});
    store8(c0, __builtin_shuffle(ab0, c, v8i{0, 1, 2, 3, 4, 5, 10, 13}));
    store8(c1, __builtin_shuffle(ab1, c, v8i{0, 1, 2, 3, 4, 8, 11, 14}));
    store8(c2, __builtin_shuffle(ab2, c, v8i{0, 1, 2, 3, 4, 9, 12, 15}));
}

VEXLOR_INLINE void interleave3x8(const float* c0, const float* c1, const float* c2, float* out) {
    const v8f r = load8(c0), g = load8(c1), b = load8(c2);
    const v8f rg0 = __builtin_shuffle(r, g, v8i{0, 8, 0, 1, 9, 0, 2, 10});
    const v8f rg1 = __builtin_shuffle(r, g, v8i{0, 3, 11, 0, 4, 12, 0, 5});
    const v8f rg2 = __builtin_shuffle(r, g, v8i{13, 0, 6, 14, 0, 7, 15, 0});
    store8(out, __builtin_shuffle(rg0, b, v8i{0, 1, 8, 3, 4, 9, 6, 7}));
    store8(out + 8, __builtin_shuffle(rg1, b, v8i{10, 1, 2, 11, 4, 5, 12, 7}));
    store8(out + 16, __builtin_shuffle(rg2, b, v8i{0, 13, 2, 3, 14, 5, 6, 15}));
}

// Sixteen pixels (48 floats) each way: three two-vector shuffles per
// channel, for the sets that have sixteen-float registers.
VEXLOR_INLINE void deinterleave3x16(const float* in, float* c0, float* c1, float* c2) {
    const v16f a = load<v16f>(in), b = load<v16f>(in + 16), c = load<v16f>(in + 32);
    // Channel k's samples 3i + k below 32 come from a and b, the rest from c.
    const v16f ab0 = __builtin_shuffle(a, b, v16i{0, 3, 6, 9, 12, 15, 18, 21, 24, 27, 30, 0, 0, 0, 0, 0});
    const v16f ab1 = __builtin_shuffle(a, b, v16i{1, 4, 7, 10, 13, 16, 19, 22, 25, 28, 31, 0, 0, 0, 0, 0});
    const v16f ab2 = __builtin_shuffle(a, b, v16i{2, 5, 8, 11, 14, 17, 20, 23, 26, 29, 0, 0, 0, 0, 0, 0});
    store<v16f>(c0, __builtin_shuffle(ab0, c, v16i{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 17, 20, 23, 26, 29}));
    store<v16f>(c1, __builtin_shuffle(ab1, c, v16i{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 18, 21, 24, 27, 30}));
    store<v16f>(c2, __builtin_shuffle(ab2, c, v16i{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 16, 19, 22, 25, 28, 31}));
}

VEXLOR_INLINE void interleave3x16(const float* c0, const float* c1, const float* c2, float* out) {
    const v16f r = load<v16f>(c0), g = load<v16f>(c1), b = load<v16f>(c2);
    // Output vector v holds samples 16v .. 16v + 15: red and green first,
    // then blue into every third place.
    const v16f rg0 = __builtin_shuffle(r, g, v16i{0, 16, 0, 1, 17, 0, 2, 18, 0, 3, 19, 0, 4, 20, 0, 5});
    const v16f rg1 = __builtin_shuffle(r, g, v16i{21, 0, 6, 22, 0, 7, 23, 0, 8, 24, 0, 9, 25, 0, 10, 26});
    const v16f rg2 = __builtin_shuffle(r, g, v16i{0, 11, 27, 0, 12, 28, 0, 13, 29, 0, 14, 30, 0, 15, 31, 0});
    store<v16f>(out, __builtin_shuffle(rg0, b, v16i{0, 1, 16, 3, 4, 17, 6, 7, 18, 9, 10, 19, 12, 13, 20, 15}));
    store<v16f>(out + 16, __builtin_shuffle(rg1, b, v16i{0, 21, 2, 3, 22, 5, 6, 23, 8, 9, 24, 11, 12, 25, 14, 15}));
    store<v16f>(out + 32, __builtin_shuffle(rg2, b, v16i{26, 1, 2, 27, 4, 5, 28, 7, 8, 29, 10, 11, 30, 13, 14, 31}));
}

// Pixels at a time in the transposes: sixteen where the set has registers
// of sixteen floats, else eight.
enum { kTransposeLanes = Traits<widest>::kLanes == 16 ? 16 : 8 };

// n interleaved pixels of src into the planes d0, d1, d2, a vector at a
// time (a remainder pixel by pixel).
VEXLOR_INLINE void deinterleave3(const float* src, int n, float* d0, float* d1, float* d2) {
    int i = 0;
    if (kTransposeLanes == 16)
        for (; i + 16 <= n; i += 16) deinterleave3x16(src + 3 * i, d0 + i, d1 + i, d2 + i);
    for (; i + 8 <= n; i += 8) deinterleave3x8(src + 3 * i, d0 + i, d1 + i, d2 + i);
    for (; i < n; ++i) {
        d0[i] = src[3 * i];
        d1[i] = src[3 * i + 1];
        d2[i] = src[3 * i + 2];
    }
}

// n pixels of the planes s0, s1, s2 into dst, interleaved.
VEXLOR_INLINE void interleave3(const float* s0, const float* s1, const float* s2, int n, float* dst) {
    int i = 0;
    if (kTransposeLanes == 16)
        for (; i + 16 <= n; i += 16) interleave3x16(s0 + i, s1 + i, s2 + i, dst + 3 * i);
    for (; i + 8 <= n; i += 8) interleave3x8(s0 + i, s1 + i, s2 + i, dst + 3 * i);
    for (; i < n; ++i) {
        dst[3 * i] = s0[i];
        dst[3 * i + 1] = s1[i];
        dst[3 * i + 2] = s2[i];
    }
}

}  // namespace VEXLOR_LANES_SET
}  // namespace lanes
