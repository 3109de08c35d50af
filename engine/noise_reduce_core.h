// The pixel kernel of both products: per pixel, the direction along which
// the neighbourhood varies least, the similarity-weighted mean of that
// direction's twenty neighbours, blended in with a strength that grows with
// the total similarity.
#pragma once

#include "PITypes.h"
#include "engine/neighbour_windows.h"
#include "engine/strength_map.h"
#include "image/fl_image.h"

// The six probe pixels {dx, dy} whose distances to the reference colour give
// a direction's cost, by direction number (neighbour_windows.h).  For the
// four oblique directions they are not the window's main line.
inline constexpr signed char kDirectionProbeOffsets[kNeighbourDirections][6][2] = {
    {{0, -1}, {0, 1}, {0, -2}, {0, 2}, {0, -3}, {0, 3}},
    {{1, -1}, {2, -2}, {3, -3}, {-1, 1}, {-2, 2}, {-3, 3}},
    {{-1, 0}, {1, 0}, {-2, 0}, {2, 0}, {-3, 0}, {3, 0}},
    {{1, 1}, {2, 2}, {3, 3}, {-1, -1}, {-2, -2}, {-3, -3}},
    {{1, -2}, {1, -3}, {2, -3}, {-1, 2}, {-1, 3}, {-2, 3}},
    {{2, -1}, {3, -1}, {3, -2}, {-2, 1}, {-3, 1}, {-3, 2}},
    {{2, 1}, {3, 1}, {3, 2}, {-2, -1}, {-3, -1}, {-3, -2}},
    {{1, 2}, {1, 3}, {2, 3}, {-1, -2}, {-1, -3}, {-2, -3}},
};

// The 3x3 mean is formed as a sum times this, the brightness ceiling is
// 3 x WHITE_LEVEL.
inline constexpr float kNinth = 0.11111111f;
inline constexpr float kBrightnessCeiling = 765.0f;
inline constexpr float kInvBrightnessCeiling = 0.0013071896f;

// The direction of least variation for the centre pixel `centre` (channel 0)
// of an image with rows of `rowLength` floats: reference colour (the 3x3
// mean with smoothReference, else the pixel), the eight costs, and the fixed
// tournament in which every tie goes to the later contender.  The scalar
// form of what the vectorised cores compute lane by lane; Halvane's cleaner
// core shares it.
int chooseNeighbourDirection(const float* centre, int32 rowLength, bool smoothReference);

// Similarity range of a pixel of channels c0, c1, c2: U = (1 - b/765 x
// highnoiseLevelReduce) x noiseLevel, b the channel sum clamped to 0..765.
float similarityRange(float c0, float c1, float c2, float noiseLevel);

// Blends the weighted mean of the chosen window into rows [firstRow, endRow)
// of destination (which holds a copy of source there) and writes the blend
// strength into channel 0 of strengthMap.  source needs a filled border of 3.
// levelConstant, sharpAmount and band are not read.
void noiseReduceCoreAlgo(fl_image& source, fl_image& destination, strength_map& strengthMap, float levelConstant,
                         float noiseLevel, bool smoothReference, float amount, float sharpAmount, int32 firstRow,
                         int32 endRow, int32 band);

// Glimra's form, for the driver: the destination's rows are taken to hold a
// copy of the source (the driver's contract), so the pixels blended are read
// from the source and the destination is only written: the same result
// without the copy.  The strength map is left untouched (nothing reads it).
void noiseReduceCoreAlgoWithoutStrength(fl_image& source, fl_image& destination, strength_map& strengthMap,
                                        float levelConstant, float noiseLevel, bool smoothReference, float amount,
                                        float sharpAmount, int32 firstRow, int32 endRow, int32 band);
