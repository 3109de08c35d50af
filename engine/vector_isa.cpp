// The choice of instruction set for the vector kernels.
#include "engine/vector_isa.h"

namespace {

int widestIsa() {
#if defined(VEXLOR_VECTOR_DISPATCH)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
        __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512dq"))
        return kIsaAvx512;
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return kIsaAvx2;
#endif
    return kIsaBaseline;
}

int inUse = widestIsa();

}  // namespace

int vectorIsaInUse() { return inUse; }

int vectorInstructionSets() { return widestIsa() + 1; }

void useVectorInstructionSet(int index) {
    const int widest = widestIsa();
    inUse = index < 0 || index > widest ? widest : index;
}
