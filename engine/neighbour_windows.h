// The twenty neighbours that the noise-reduction cores average along one of
// eight local edge directions.
#pragma once

#include "PITypes.h"

// Pointers to channel 0 of twenty distinct pixels around a centre pixel; the
// centre itself is never among them.
typedef float* neighbourPointerWindow[20];

enum { kNeighbourWindowSize = 20, kNeighbourDirections = 8 };

// The directions in the order the cores number them (the order of their
// tournament): vertical, top right to bottom left, horizontal, bottom right
// to top left, steep up-right, shallow up-right, shallow down-right, steep
// down-right.
enum neighbourDirection {
    kDirUpDown = 0,
    kDirTrBl = 1,
    kDirLeftRight = 2,
    kDirBrTl = 3,
    kDirDiagA = 4,
    kDirDiagB = 5,
    kDirDiagC = 6,
    kDirDiagD = 7,
};

// Window entry k of direction d is the pixel (x + dx, y + dy) of the centre
// (x, y), {dx, dy} = kNeighbourWindowOffsets[d][k], dx to the right, dy down.
// Entries 0 to 5 are the direction's main line, 6 to 17 the two parallel
// lines, 18 and 19 the two pixels across the direction.  No entry is more
// than 3 pixels away on either axis, so the image's border of 3 suffices.
inline constexpr signed char kNeighbourWindowOffsets[kNeighbourDirections][kNeighbourWindowSize][2] = {
    // vertical
    {{0, -1}, {0, -2}, {0, 1}, {0, 2}, {0, -3}, {0, 3}, {-1, -1}, {-1, -2}, {-1, -3}, {1, -1},
     {1, -2}, {1, -3}, {-1, 1}, {-1, 2}, {-1, 3}, {1, 1}, {1, 2}, {1, 3}, {-1, 0}, {1, 0}},
    // top right to bottom left
    {{1, -1}, {2, -2}, {-1, 1}, {-2, 2}, {3, -3}, {-3, 3}, {0, -1}, {1, -2}, {2, -3}, {1, 0},
     {2, -1}, {3, -2}, {-1, 0}, {-2, 1}, {-3, 2}, {0, 1}, {-1, 2}, {-2, 3}, {-1, -1}, {1, 1}},
    // horizontal
    {{-1, 0}, {-2, 0}, {1, 0}, {2, 0}, {-3, 0}, {3, 0}, {-1, -1}, {-2, -1}, {-3, -1}, {-1, 1},
     {-2, 1}, {-3, 1}, {1, -1}, {2, -1}, {3, -1}, {1, 1}, {2, 1}, {3, 1}, {0, -1}, {0, 1}},
    // bottom right to top left
    {{1, 1}, {2, 2}, {-1, -1}, {-2, -2}, {3, 3}, {-3, -3}, {1, 0}, {2, 1}, {3, 2}, {0, 1},
     {1, 2}, {2, 3}, {0, -1}, {-1, -2}, {-2, -3}, {-1, 0}, {-2, -1}, {-3, -2}, {1, -1}, {-1, 1}},
    // steep up-right
    {{1, -1}, {1, -2}, {-1, 1}, {-1, 2}, {1, -3}, {-1, 3}, {0, -1}, {0, -2}, {0, -3}, {0, 1},
     {0, 2}, {0, 3}, {2, -1}, {2, -2}, {2, -3}, {-2, 1}, {-2, 2}, {-2, 3}, {-1, 0}, {1, 0}},
    // shallow up-right
    {{1, -1}, {2, -1}, {-1, 1}, {-2, 1}, {3, -1}, {-3, 1}, {1, -2}, {2, -2}, {3, -2}, {1, 0},
     {2, 0}, {3, 0}, {-1, 0}, {-2, 0}, {-3, 0}, {-1, 2}, {-2, 2}, {-3, 2}, {0, -1}, {0, 1}},
    // shallow down-right
    {{1, 1}, {2, 1}, {-1, -1}, {-2, -1}, {3, 1}, {-3, -1}, {1, 2}, {2, 2}, {3, 2}, {-1, -2},
     {-2, -2}, {-3, -2}, {1, 0}, {2, 0}, {3, 0}, {-1, 0}, {-2, 0}, {-3, 0}, {0, -1}, {0, 1}},
    // steep down-right
    {{1, 1}, {1, 2}, {-1, -1}, {-1, -2}, {1, 3}, {-1, -3}, {2, 1}, {2, 2}, {2, 3}, {-2, -1},
     {-2, -2}, {-2, -3}, {0, 1}, {0, 2}, {0, 3}, {0, -1}, {0, -2}, {0, -3}, {-1, 0}, {1, 0}},
};

// Each routine fills all twenty entries for the centre pixel `centre`
// (channel 0) of an image whose rows are `rowLength` floats long (paddedWidth
// x 3).  Addresses only: no branches, no bounds checks.
void updownSetPointers(neighbourPointerWindow& window, float* const& centre, const int32& rowLength);
void trblSetPointers(neighbourPointerWindow& window, float* const& centre, const int32& rowLength);
void leftRightSetPointers(neighbourPointerWindow& window, float* const& centre, const int32& rowLength);
void brtlSetPointers(neighbourPointerWindow& window, float* const& centre, const int32& rowLength);
void diagASetPointers(neighbourPointerWindow& window, float* const& centre, const int32& rowLength);
void diagBSetPointers(neighbourPointerWindow& window, float* const& centre, const int32& rowLength);
void diagCSetPointers(neighbourPointerWindow& window, float* const& centre, const int32& rowLength);
void diagDSetPointers(neighbourPointerWindow& window, float* const& centre, const int32& rowLength);

typedef void (*neighbourSetPointersFunction)(neighbourPointerWindow&, float* const&, const int32&);
// The eight routines by direction number.
extern const neighbourSetPointersFunction kNeighbourSetPointers[kNeighbourDirections];
