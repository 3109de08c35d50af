// The instruction set of this compilation of a kernel source: included
// after every header that declares something with external linkage, so
// that only the source's own kernels (in VEXLOR_ISA_NAMESPACE) and the
// always-inlined lane helpers they use are built for the wider set.
#if defined(VEXLOR_ISA_AVX512)
#pragma GCC target("avx2,fma,bmi,bmi2,lzcnt,movbe,f16c,avx512f,avx512vl,avx512bw,avx512dq,avx512cd")
#elif defined(VEXLOR_ISA_AVX2)
#pragma GCC target("avx2,fma,bmi,bmi2,lzcnt,movbe,f16c")
#endif
