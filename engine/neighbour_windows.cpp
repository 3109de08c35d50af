#include "engine/neighbour_windows.h"

namespace {
template <int D>
inline void setPointers(neighbourPointerWindow& window, float* const& centre, const int32& rowLength) {
    for (int k = 0; k < kNeighbourWindowSize; ++k)
        window[k] = centre + kNeighbourWindowOffsets[D][k][1] * rowLength + kNeighbourWindowOffsets[D][k][0] * 3;
}
}  // namespace

void updownSetPointers(neighbourPointerWindow& w, float* const& c, const int32& r) { setPointers<kDirUpDown>(w, c, r); }
void trblSetPointers(neighbourPointerWindow& w, float* const& c, const int32& r) { setPointers<kDirTrBl>(w, c, r); }
void leftRightSetPointers(neighbourPointerWindow& w, float* const& c, const int32& r) {
    setPointers<kDirLeftRight>(w, c, r);
}
void brtlSetPointers(neighbourPointerWindow& w, float* const& c, const int32& r) { setPointers<kDirBrTl>(w, c, r); }
void diagASetPointers(neighbourPointerWindow& w, float* const& c, const int32& r) { setPointers<kDirDiagA>(w, c, r); }
void diagBSetPointers(neighbourPointerWindow& w, float* const& c, const int32& r) { setPointers<kDirDiagB>(w, c, r); }
void diagCSetPointers(neighbourPointerWindow& w, float* const& c, const int32& r) { setPointers<kDirDiagC>(w, c, r); }
void diagDSetPointers(neighbourPointerWindow& w, float* const& c, const int32& r) { setPointers<kDirDiagD>(w, c, r); }

const neighbourSetPointersFunction kNeighbourSetPointers[kNeighbourDirections] = {
    updownSetPointers, trblSetPointers,  leftRightSetPointers, brtlSetPointers,
    diagASetPointers,  diagBSetPointers, diagCSetPointers,     diagDSetPointers,
};
