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

}  // namespace vexlor_simd

// The kernels are built once per instruction set and chosen when the module
// loads (ELF targets only; elsewhere the baseline build runs).  No clone
// contracts or reorders: the results are those of the baseline build.
#if defined(__x86_64__) && defined(__ELF__) && !defined(__SANITIZE_THREAD__) && !defined(__SANITIZE_ADDRESS__)
#define VEXLOR_KERNEL_CLONES __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#else
#define VEXLOR_KERNEL_CLONES
#endif
