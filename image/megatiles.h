// Megatiles: the rectangle that the full-image pass fetches, filters and
// writes back at one time, a whole multiple of the host's own tile.
#pragma once

#include "PITypes.h"

// The megatile's size in host tiles; 4 at load, lowered to 1 for good by a
// prepare selector that finds too little memory.
extern int32 megaTileChunksWide;
extern int32 megaTileChunksHigh;

int32 megatileGetWidth();
int32 megatileGetHeight();
bool megatilesIsImageLargeEnough();
