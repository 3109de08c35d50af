// The noise-reduction core.  Eight pixels of a row are processed at once in
// channel planes; every lane performs the operations of the scalar
// algorithm in the same order, so the result does not depend on how pixels
// are grouped into vectors, tiles or bands.
#include "engine/noise_reduce_core.h"

#include <algorithm>
#include <cmath>

// The baseline: four lanes with SSE2, which has no blend instruction.
#if defined(__AVX__) || !(defined(__x86_64__) || defined(__i386__))
#define VEXLOR_NR_LANES v8f
#define VEXLOR_NR_SELECT vectorSelect
#else
#define VEXLOR_NR_LANES v4f
#define VEXLOR_NR_SELECT bitwiseSelect
#endif
#include "engine/noise_reduce_rows.h"

// The same rows built for wider instruction sets, chosen once when the
// module loads (x86 builds; elsewhere this file's build runs).  Not on
// Windows: its 16-byte stack alignment and GCC's 32-byte spills of AVX
// registers do not go together.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__)) && !defined(_WIN32)
#define VEXLOR_NR_DISPATCH 1
void noiseReduceRowsKeepingStrengthAvx2(fl_image&, fl_image&, strength_map&, float, bool, float, int32, int32);
void noiseReduceRowsFromSourceAvx2(fl_image&, fl_image&, strength_map&, float, bool, float, int32, int32);
void noiseReduceRowsKeepingStrengthAvx512(fl_image&, fl_image&, strength_map&, float, bool, float, int32, int32);
void noiseReduceRowsFromSourceAvx512(fl_image&, fl_image&, strength_map&, float, bool, float, int32, int32);
#else
#define VEXLOR_NR_DISPATCH 0
#endif

namespace {

enum noiseReduceIsa { kIsaBaseline, kIsaAvx2, kIsaAvx512 };

noiseReduceIsa widestIsa() {
#if VEXLOR_NR_DISPATCH
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
        __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512dq"))
        return kIsaAvx512;
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return kIsaAvx2;
#endif
    return kIsaBaseline;
}

noiseReduceIsa isa = widestIsa();

noiseReduceRowsFunction keepingStrength() {
#if VEXLOR_NR_DISPATCH
    if (isa == kIsaAvx512) return noiseReduceRowsKeepingStrengthAvx512;
    if (isa == kIsaAvx2) return noiseReduceRowsKeepingStrengthAvx2;
#endif
    return noiseReduceRowsKeepingStrength;
}

noiseReduceRowsFunction fromSource() {
#if VEXLOR_NR_DISPATCH
    if (isa == kIsaAvx512) return noiseReduceRowsFromSourceAvx512;
    if (isa == kIsaAvx2) return noiseReduceRowsFromSourceAvx2;
#endif
    return noiseReduceRowsFromSource;
}

noiseReduceRowsFunction rowsKeepingStrength = keepingStrength();
noiseReduceRowsFunction rowsFromSource = fromSource();

}  // namespace

int noiseReduceInstructionSets() { return int(widestIsa()) + 1; }

void useNoiseReduceInstructionSet(int i) {
    const int widest = int(widestIsa());
    isa = noiseReduceIsa(i < 0 || i > widest ? widest : i);
    rowsKeepingStrength = keepingStrength();
    rowsFromSource = fromSource();
}

int chooseNeighbourDirection(const float* centre, int32 rowLength, bool smoothReference) {
    return noiseReduceCoreStart<float>(InterleavedPixelSource{centre, rowLength}, smoothReference, 0.0f, 0.0f)
        .direction;
}

float similarityRange(float c0, float c1, float c2, float noiseLevel) {
    return similarityRangeOf<float>(c0, c1, c2, noiseLevel, highnoiseLevelReduce);
}

void noiseReduceCoreAlgo(fl_image& source, fl_image& destination, strength_map& strengthMap, float, float noiseLevel,
                         bool smoothReference, float amount, float, int32 firstRow, int32 endRow, int32) {
    rowsKeepingStrength(source, destination, strengthMap, noiseLevel, smoothReference, amount, firstRow, endRow);
}

void noiseReduceCoreAlgoWithoutStrength(fl_image& source, fl_image& destination, strength_map& strengthMap, float,
                                        float noiseLevel, bool smoothReference, float amount, float, int32 firstRow,
                                        int32 endRow, int32) {
    rowsFromSource(source, destination, strengthMap, noiseLevel, smoothReference, amount, firstRow, endRow);
}
