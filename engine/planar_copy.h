// Interleaved three-channel pixels to three planes and back, eight pixels at
// a time by shuffles (a remainder pixel by pixel).  Pure copies: no value
// changes.
#pragma once

#include "engine/simd.h"

// n pixels of src (channel 0 of the first) into d0, d1, d2.
VEXLOR_INLINE void deinterleave3(const float* src, int n, float* d0, float* d1, float* d2) {
    using vexlor_simd::v8f;
    using vexlor_simd::v8i;
    int i = 0;
    for (; i + 8 <= n; i += 8, src += 24) {
        const v8f a = vexlor_simd::load8(src), b = vexlor_simd::load8(src + 8), c = vexlor_simd::load8(src + 16);
        // Channel k of pixel j is float 3j + k of a:b:c.
        const v8f ab0 = __builtin_shuffle(a, b, v8i{0, 3, 6, 9, 12, 15, 0, 0});
        const v8f ab1 = __builtin_shuffle(a, b, v8i{1, 4, 7, 10, 13, 0, 0, 0});
        const v8f ab2 = __builtin_shuffle(a, b, v8i{2, 5, 8, 11, 14, 0, 0, 0});
        vexlor_simd::store8(d0 + i, __builtin_shuffle(ab0, c, v8i{0, 1, 2, 3, 4, 5, 10, 13}));
        vexlor_simd::store8(d1 + i, __builtin_shuffle(ab1, c, v8i{0, 1, 2, 3, 4, 8, 11, 14}));
        vexlor_simd::store8(d2 + i, __builtin_shuffle(ab2, c, v8i{0, 1, 2, 3, 4, 9, 12, 15}));
    }
    for (; i < n; ++i, src += 3) {
        d0[i] = src[0];
        d1[i] = src[1];
        d2[i] = src[2];
    }
}

// n pixels of the planes s0, s1, s2 into dst (channel 0 of the first).
VEXLOR_INLINE void interleave3(const float* s0, const float* s1, const float* s2, int n, float* dst) {
    using vexlor_simd::v8f;
    using vexlor_simd::v8i;
    int i = 0;
    for (; i + 8 <= n; i += 8, dst += 24) {
        const v8f a = vexlor_simd::load8(s0 + i), b = vexlor_simd::load8(s1 + i), c = vexlor_simd::load8(s2 + i);
        // Output float 3j + k is channel k of pixel j.
        const v8f ab0 = __builtin_shuffle(a, b, v8i{0, 8, 0, 1, 9, 0, 2, 10});
        const v8f ab1 = __builtin_shuffle(a, b, v8i{0, 3, 11, 0, 4, 12, 0, 5});
        const v8f ab2 = __builtin_shuffle(a, b, v8i{13, 0, 6, 14, 0, 7, 15, 0});
        vexlor_simd::store8(dst, __builtin_shuffle(ab0, c, v8i{0, 1, 8, 3, 4, 9, 6, 7}));
        vexlor_simd::store8(dst + 8, __builtin_shuffle(ab1, c, v8i{10, 1, 2, 11, 4, 5, 12, 7}));
        vexlor_simd::store8(dst + 16, __builtin_shuffle(ab2, c, v8i{0, 13, 2, 3, 14, 5, 6, 15}));
    }
    for (; i < n; ++i, dst += 3) {
        dst[0] = s0[i];
        dst[1] = s1[i];
        dst[2] = s2[i];
    }
}
