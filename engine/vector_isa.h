// One dispatch scheme for every vector kernel.  Each source in a kernels/
// folder is compiled once per instruction set (the build's
// vexlor_vector_kernels), its kernels in that set's namespace
// (VEXLOR_ISA_NAMESPACE: isa_baseline, isa_avx2, isa_avx512), and the widest
// set that the processor runs is chosen when the module loads.  Every set
// computes the same values: each pixel's operations are those of the scalar
// code in its order, and nothing is contracted (-ffp-contract=off).
#pragma once

enum vectorIsa { kIsaBaseline, kIsaAvx2, kIsaAvx512 };

// Declares X(namespace) for every set this build has; VEXLOR_KERNEL(name) is
// the set in use's function `name`.
#if defined(VEXLOR_VECTOR_DISPATCH)
#define VEXLOR_FOR_EACH_ISA(X) X(isa_baseline) X(isa_avx2) X(isa_avx512)
#define VEXLOR_KERNEL(name) \
    vectorKernel<decltype(&isa_baseline::name)>({isa_baseline::name, isa_avx2::name, isa_avx512::name})
#else
#define VEXLOR_FOR_EACH_ISA(X) X(isa_baseline)
#define VEXLOR_KERNEL(name) vectorKernel<decltype(&isa_baseline::name)>({isa_baseline::name})
#endif

// The set in use, as an index into the sets of VEXLOR_FOR_EACH_ISA.
int vectorIsaInUse();
// The sets this build has that the processor runs (the baseline is 0).
int vectorInstructionSets();
// For tests and benchmarks: the set to use (out of range: the widest).  Not
// while a kernel runs.
void useVectorInstructionSet(int index);

template <class F, int N>
inline F vectorKernel(const F (&sets)[N]) {
    return sets[vectorIsaInUse() < N ? vectorIsaInUse() : 0];
}
