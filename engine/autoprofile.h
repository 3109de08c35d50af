// Automatic profiling: the image's noise measured from block statistics and
// turned into the noise parameters.
//
// The filter rectangle is cut into square blocks; each block gets a coarse
// measure from a sparse grid of sample points, the blocks of middle
// brightness are kept, the smoothest blocks of the darker and of the brighter
// half are measured again more finely, and the lowest few fine measures give
// the noise level.  Blocks are laid from the filter rectangle's top-left
// corner, so a selection is measured, not the image's corner.
#pragma once

#include <vector>

#include "PITypes.h"

// One measured block.
struct blockInfo {
    double deviation;   // coarse measure, then brightness-adjusted, then the fine measure
    int32 average;      // mean sample value 0..255; 0 when deviation is 0
    int32 blockColumn;  // horizontal position / block size, from the filter rectangle's left
    int32 blockRow;     // vertical position / block size, from the filter rectangle's top
};

// The block edge (blockSize, 32), the input rate of the fetches (inputRateA,
// 1) and the edge of the fetched rectangles (blockSizeAfterInputRateA) are
// in engine/engine_params.h.  changeBlockSize sets the edge and returns the
// edge of the fetches.
int32 changeBlockSize(int32 n);

// The fine measure of a block in which no pair of samples is valid: finite,
// and last in any deviation order.  Such a block has no measure and is left
// out of the estimate.
extern const double kNoValidPairsDeviation;

// The whole estimate; writes the overall and the highlights noise level, the
// protection threshold and feather, and kProtectShadowsFlag, or shows an
// alert and leaves everything but the highlights noise level (the preset)
// as it was.
void autoProfile(const double& preset);
// The presets of the profiling buttons.
const double kDigitalPreset = 0.2, kFilmPreset = 1.0;
// Profiles at most once per run (done belongs to the caller), with the preset
// that kDigitalProfileFlag, kFilmProfileFlag and kAlwaysProfileFlag select.
void autoProfileWithGUIhandling(unsigned char& done);

// Fine measure of one rectangle; 0, or the fetch's error (out untouched).
OSErr calcDeviations(VRect rect, double& out);
// Replaces the deviations of the first n blocks by their fine measures.  A
// refused fetch ends the re-measure: that block and those not yet measured
// are removed, so that no coarse measure is mixed in with fine ones.
// Returns the fetch's error, or 0 when every block was measured.
OSErr blockInfoRecalcDeviations(std::vector<blockInfo>& blocks, unsigned long n);
// The rectangle of a block in image coordinates.
VRect blockInfoBlockRect(const blockInfo& b);

std::vector<blockInfo> blockInfoStripVector(std::vector<blockInfo> blocks, int32 margin);
std::vector<blockInfo> blockInfoStripZeroDeviations(std::vector<blockInfo> blocks);
bool blockInfoDevCompare(const blockInfo& a, const blockInfo& b);
bool blockInfoAverageCompare(const blockInfo& a, const blockInfo& b);
VRect blockInfoVRectFromVPoint(VPoint p, int32 size);
double blockInfoGetDeviationBaseSum();
double blockInfoGetAltDeviationBaseSum();
double blockInfoGetDeviationAvgAdjusted(const blockInfo& b, double preset);
double blockInfoGetNewNoiseLevel(double estimate, double preset);
void plugDeviationIntoParams(double estimate, const double& preset);

// Automatic-profiling presets.
extern double digitalHNLdefaultDouble;
extern double filmHNLdefault;

// Alert texts.
extern const char* const kProfilingNoMidtonesText;
extern const char* const kProfilingTonalRangeText;
extern const char* const kProfilingLowNoiseText;
