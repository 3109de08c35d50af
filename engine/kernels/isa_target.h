// The instruction set of this compilation of a kernel source: included
// after every header that declares something with external linkage, so
// that only the source's own kernels (in VEXLOR_ISA_NAMESPACE) are built
// for the wider set, and before the vector helpers (engine/lanes.h and the
// headers built on it), so that they are built for it too.
#if defined(VEXLOR_LANES_INCLUDED)
#error "engine/lanes.h is to be included after engine/kernels/isa_target.h"
#endif
// The standard library that the helpers use, built for the baseline.
#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(VEXLOR_ISA_AVX512)
#pragma GCC target("avx2,fma,bmi,bmi2,lzcnt,movbe,f16c,avx512f,avx512vl,avx512bw,avx512dq,avx512cd")
#elif defined(VEXLOR_ISA_AVX2)
#pragma GCC target("avx2,fma,bmi,bmi2,lzcnt,movbe,f16c")
#endif
