// Which product a test program links.  The products' own code never asks (it
// reads its product's tables and hooks); a test does, to hold each product's
// tables to that product's expectations.
#pragma once

#include <cstring>

#include "engine/product.h"

inline bool productIsHalvane() { return std::strcmp(kProductName, "Halvane") == 0; }
