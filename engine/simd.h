// Portable vectors for the engine's kernels: GCC vector extensions, lowered
// to whatever the target offers.  Every operation is the IEEE operation of
// the scalar code, lane by lane, so a vectorised kernel computes exactly
// what its scalar form would.
#pragma once

#include <cstdint>
#include <cstring>

// The vector helpers are always inlined: no vector crosses a call.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace vexlor_simd {

typedef float v8f __attribute__((vector_size(32)));
typedef int32_t v8i __attribute__((vector_size(32)));
typedef float v4f __attribute__((vector_size(16)));
typedef double v4d __attribute__((vector_size(32)));

#define VEXLOR_INLINE inline __attribute__((always_inline))

VEXLOR_INLINE v8f load8(const float* p) {
    v8f v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
VEXLOR_INLINE void store8(float* p, const v8f& v) { std::memcpy(p, &v, sizeof v); }
VEXLOR_INLINE v4f load4(const float* p) {
    v4f v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
VEXLOR_INLINE void store4(float* p, const v4f& v) { std::memcpy(p, &v, sizeof v); }
VEXLOR_INLINE v8f abs8(const v8f& x) { return (v8f)((v8i)x & 0x7fffffff); }
VEXLOR_INLINE v4f abs4(const v4f& x) {
    typedef int32_t v4i __attribute__((vector_size(16)));
    return (v4f)((v4i)x & 0x7fffffff);
}

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

}  // namespace vexlor_simd

// The kernels are built once per instruction set and chosen when the module
// loads (ELF targets only; elsewhere the baseline build runs).  No clone
// contracts or reorders: the results are those of the baseline build.
#if defined(__x86_64__) && defined(__ELF__) && !defined(__SANITIZE_THREAD__) && !defined(__SANITIZE_ADDRESS__)
#define VEXLOR_KERNEL_CLONES __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#else
#define VEXLOR_KERNEL_CLONES
#endif
