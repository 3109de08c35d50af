// Automatic profiling from block statistics.
#include "engine/autoprofile.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>

#include "host/alerts.h"
#include "engine/engine_params.h"
#include "host/globals.h"
#include "host/host_services.h"
#include "engine/product.h"
#include "host/big_document.h"
#include "image/uint8_proxy.h"

double digitalHNLdefaultDouble = 0.2;
double filmHNLdefault = 1.0;

const double kNoValidPairsDeviation = std::numeric_limits<double>::max();

const char* const kProfilingNoMidtonesText = "Profiling error: no midtones.  Or, image may be extremely small.";
const char* const kProfilingTonalRangeText = "Profiling error.  Tonal range missing: ";
const char* const kProfilingLowNoiseText =
    "Possible error: very low noise detected.  If the image does not have extremely low noise, manually "
    "adjust the Overall Noise Size setting higher.  Noise level detected:";

namespace {

const double kOneOver255 = 0.00392156862745098;

// The brightness adjustment's divisor; the presets keep it positive, but a
// preset of 0 on a block of average 255 would make it 0.
double brightnessDivisor(double preset, int32 average) {
    return (preset - 1) * average * kOneOver255 + 1;
}

// Sample k of pixel (c, r) of a fetched block.
inline int sampleAt(const uint8ImageProxyFromAdvanceState& view, int32 r, int32 c, int k) {
    return view.data[int64_t(r) * view.rowStride + int64_t(c) * view.planes + k];
}

inline bool clippedCoarse(int s) { return float(s) == 0.0f || float(s) == 255.0f; }
inline bool validFine(int s) { return 1 < s && s < 254; }

// The coarse measure's sums of one block: whole numbers, so the sums of its
// grid rows may be gathered one fetched strip at a time.
struct coarseSums {
    int64_t A[3] = {0, 0, 0};
    int64_t D[3] = {0, 0, 0};
    int64_t R = 0;
    int64_t S = 0;
};

// The coarse measure samples a sparse grid of points, each with its right
// and lower neighbour: rows and columns 0, q, 2q, ... below blockSize.
int32 coarseGridStep() { return std::max<int32>(1, blockSize / 4); }

// The neighbour after grid row or column i.  It lies inside the block for
// every even block size of 8 or more (32, the one in use); for other sizes
// the block's last row or column stands in for it, so that nothing outside
// the fetched block is read.
int32 coarseNeighbour(int32 i) { return std::min<int32>(i + 1, blockSize - 1); }

// Adds one grid row of a block to its sums: view row 0 holds the grid row,
// view row `below` its neighbour, and the block starts at view column x0.
void addCoarseRow(const uint8ImageProxyFromAdvanceState& view, int32 below, int32 x0, int16 planes, coarseSums& s) {
    const int32 r = 0;
    const int32 q = coarseGridStep();
    const int used = std::min<int>(planes, 3);
    for (int32 c = 0; c < blockSize; c += q) {
        for (int k = 0; k < planes; ++k) {
            const int u = sampleAt(view, r, x0 + c, k);
            const int down = sampleAt(view, below, x0 + c, k);
            const int right = sampleAt(view, r, x0 + coarseNeighbour(c), k);
            if (k < used) s.A[k] += u;
            if (clippedCoarse(u)) {
                s.R += 2;
                continue;
            }
            for (int n : {down, right}) {
                if (clippedCoarse(n))
                    s.R += 1;
                else if (k < used)
                    s.D[k] += std::abs(u - n);
            }
        }
        s.S += planes;
    }
}

// The coarse measure of a block from the sums of all its grid rows.
blockInfo coarseMeasure(coarseSums s, int16 planes) {
    blockInfo b{0.0, 0, 0, 0};
    if (planes <= 0 || s.S == 0) return b;
    const int64_t P = s.S / planes;
    const int64_t T = s.S * planes * 2;
    for (int k = 0; k < 3; ++k) {
        if (T - s.R <= 0)
            s.D[k] = 0;
        else
            s.D[k] = int64_t(double(s.D[k]) * double(T) / double(T - s.R));
        s.A[k] /= P;
    }
    b.deviation = double(s.D[0] + s.D[1] + s.D[2]) * 3.0 / planes;
    b.average = int32((s.A[0] + s.A[1] + s.A[2]) / planes);
    if (b.deviation == 0) b.average = 0;
    return b;
}

// The coarse measures of one row of blocks.  Only the grid rows and their
// neighbours are read, so each grid row is fetched as a strip of two image
// rows across every block of the row: a few requests per row of blocks
// instead of one per block, a quarter of the image converted at 16 and 32
// bits, and the host's rows read in their order.
OSErr measureBlockRow(int32 row, int32 across, int16 planes, std::vector<blockInfo>& blocks) {
    std::vector<coarseSums> sums(static_cast<size_t>(across));
    const blockInfo first{0.0, 0, 0, row};
    const VRect block = blockInfoBlockRect(first);
    for (int32 r = 0; r < blockSize; r += coarseGridStep()) {
        const int32 below = coarseNeighbour(r);
        VRect strip;
        strip.top = block.top + r;
        strip.bottom = block.top + below + 1;
        strip.left = block.left;
        strip.right = block.left + across * blockSizeAfterInputRateA;
        uint8ImageProxyFromAdvanceState view;
        view.init(strip, planes, inputRateA);
        if (view.errorCode != noErr) return view.errorCode;
        for (int32 column = 0; column < across; ++column)
            addCoarseRow(view, below - r, column * blockSizeAfterInputRateA, planes, sums[size_t(column)]);
    }
    for (int32 column = 0; column < across; ++column) {
        blockInfo b = coarseMeasure(sums[size_t(column)], planes);
        b.blockColumn = column;
        b.blockRow = row;
        blocks[size_t(int64_t(row) * across + column)] = b;
    }
    return noErr;
}

}  // namespace

OSErr calcDeviations(VRect rect, double& out) {
    const int16 planes = getExpectedImagePlanes();
    uint8ImageProxyFromAdvanceState view;
    view.init(rect, planes, inputRateA);
    if (view.errorCode != noErr) return view.errorCode;

    const int32 s = rect.bottom - rect.top;
    const int32 lines[3] = {s / 4 - 1, s / 2 - 1, 3 * s / 4 - 1};
    int64_t sum = 0;
    int64_t invalid = 0;
    for (int32 i = 0; i < s; ++i) {
        for (int k = 0; k < planes; ++k) {
            for (int32 q : lines) {
                // Across the vertical lines within row i, then across the
                // horizontal lines within column i.
                const int pairs[2][2] = {{sampleAt(view, i, q, k), sampleAt(view, i, q + 1, k)},
                                         {sampleAt(view, q, i, k), sampleAt(view, q + 1, i, k)}};
                for (const auto& p : pairs) {
                    if (validFine(p[0]) && validFine(p[1]))
                        sum += std::abs(p[0] - p[1]);
                    else
                        ++invalid;
                }
            }
        }
    }
    const int64_t T = int64_t(planes) * s * 6;
    if (T - invalid <= 0) {
        out = kNoValidPairsDeviation;
        return noErr;
    }
    out = double(T) / double(T - invalid) * double(sum) * 10.0 * double(3 / planes);
    return noErr;
}

VRect blockInfoVRectFromVPoint(VPoint p, int32 size) {
    VRect r;
    r.top = p.v * size;
    r.left = p.h * size;
    r.bottom = r.top + size;
    r.right = r.left + size;
    return r;
}

VRect blockInfoBlockRect(const blockInfo& b) {
    const VRect filter = GetFilterRect();
    VPoint p;
    p.v = b.blockRow;
    p.h = b.blockColumn;
    VRect r = blockInfoVRectFromVPoint(p, blockSizeAfterInputRateA);
    r.top += filter.top;
    r.bottom += filter.top;
    r.left += filter.left;
    r.right += filter.left;
    return r;
}

OSErr blockInfoRecalcDeviations(std::vector<blockInfo>& blocks, unsigned long n) {
    n = std::min<unsigned long>(n, blocks.size());
    for (unsigned long i = 0; i < n; ++i) {
        const OSErr err = calcDeviations(blockInfoBlockRect(blocks[i]), blocks[i].deviation);
        if (err != noErr) {
            // The fetch has shown its alert; a host that refused one block
            // would refuse the rest with the same alert.
            blocks.resize(i);
            return err;
        }
    }
    return noErr;
}

std::vector<blockInfo> blockInfoStripVector(std::vector<blockInfo> blocks, int32 margin) {
    std::vector<blockInfo> kept;
    for (const blockInfo& b : blocks)
        if (margin <= b.average && b.average <= 255 - margin) kept.push_back(b);
    return kept;
}

std::vector<blockInfo> blockInfoStripZeroDeviations(std::vector<blockInfo> blocks) {
    std::vector<blockInfo> kept;
    for (const blockInfo& b : blocks)
        if (b.deviation != 0 && !std::isnan(b.deviation)) kept.push_back(b);
    return kept;
}

bool blockInfoDevCompare(const blockInfo& a, const blockInfo& b) { return a.deviation < b.deviation; }
bool blockInfoAverageCompare(const blockInfo& a, const blockInfo& b) { return a.average < b.average; }

double blockInfoGetDeviationBaseSum() {
    return double(blockSize - 1) * getExpectedImagePlanes() * double(blockSize - 1) * 2;
}

double blockInfoGetAltDeviationBaseSum() { return double(getExpectedImagePlanes()) * blockSize * 6; }

double blockInfoGetDeviationAvgAdjusted(const blockInfo& b, double preset) {
    const double divisor = brightnessDivisor(preset, b.average);
    if (!(divisor > 0)) return b.deviation;
    return b.deviation * 1 / divisor;
}

double blockInfoGetNewNoiseLevel(double estimate, double preset) {
    double level;
    if (preset == 1.0) {
        level = estimate * 18.0 - 15.0;
    } else {
        if (preset != 0.2)
            doAlertBox(kNoiseLevelInternalErrorText);
        level = estimate * 35.0 - 15.0;
    }
    if (estimate < 0.35) doAlertBox(kProfilingLowNoiseText, long(std::trunc(level)));
    return level > 15.0 ? level : 15.0;
}

void plugDeviationIntoParams(double estimate, const double& preset) {
    ParamBlock& p = *gParams;
    p.values[kOverallNoiseValue] = blockInfoGetNewNoiseLevel(estimate, preset);
    if (preset == 1.0) {
        p.values[kProtectThresholdValue] = 255.0;
        p.values[kProtectFeatherValue] = 0.0;
    } else if (preset == 0.2) {
        p.values[kProtectThresholdValue] = 100.0;
        p.values[kProtectFeatherValue] = std::min(155.0, std::max(0.0, 2 * p.values[kOverallNoiseValue] + 45.0));
    }
    p.flags[kProtectShadowsFlag] = 0;
    DefaultGUI[kOverallNoiseValue] = p.values[kOverallNoiseValue];
    DefaultGUI[kHighlightsNoiseValue] = p.values[kHighlightsNoiseValue];
}

namespace {

void profile(double preset) {
    const int16 planes = getExpectedImagePlanes();
    gParams->values[kHighlightsNoiseValue] = preset;
    // A mode without planes has nothing to measure (and every per-plane
    // quotient below would divide by zero).
    if (planes < 1) {
        doAlertBox(kProfilingNoMidtonesText);
        return;
    }

    const VRect filter = GetFilterRect();
    const int32 width = std::max<int32>(0, filter.right - filter.left);
    const int32 height = std::max<int32>(0, filter.bottom - filter.top);
    const int32 across = blockSize > 0 ? width / blockSize : 0;
    const int32 down = blockSize > 0 ? height / blockSize : 0;

    std::vector<blockInfo> blocks(size_t(int64_t(across) * down));
    if (across > 0)
        for (int32 row = 0; row < down; ++row)
            if (measureBlockRow(row, across, planes, blocks) != noErr) return;

    for (blockInfo& b : blocks) {
        const double divisor = brightnessDivisor(preset, b.average);
        if (divisor > 0) b.deviation = std::trunc(b.deviation / divisor);
    }

    std::vector<blockInfo> kept = blockInfoStripVector(blocks, 4);
    if (kept.empty()) {
        doAlertBox(kProfilingNoMidtonesText);
        return;
    }
    std::sort(kept.begin(), kept.end(), blockInfoAverageCompare);
    const int32 median = kept[kept.size() / 2].average;

    std::vector<blockInfo> dark, bright;
    for (const blockInfo& b : kept) (b.average < median ? dark : bright).push_back(b);
    if (dark.empty() || bright.empty()) {
        doAlertBox(kProfilingTonalRangeText, dark.empty() ? 0 : 1);
        return;
    }

    std::sort(dark.begin(), dark.end(), blockInfoDevCompare);
    std::sort(bright.begin(), bright.end(), blockInfoDevCompare);
    const size_t n = std::min<size_t>({dark.size(), bright.size(), 32});
    std::vector<blockInfo> darkN(dark.begin(), dark.begin() + n);
    std::vector<blockInfo> brightN(bright.begin(), bright.begin() + n);

    // A refused fetch shows its alert once: after it nothing more is fetched.
    if (blockInfoRecalcDeviations(darkN, n) == noErr) blockInfoRecalcDeviations(brightN, n);
    else brightN.clear();

    std::vector<blockInfo> combined(darkN);
    combined.insert(combined.end(), brightN.begin(), brightN.end());
    std::sort(combined.begin(), combined.end(), blockInfoDevCompare);

    const double divisor = blockInfoGetDeviationBaseSum() * 3.0 / planes;
    std::vector<double> measures;
    for (const blockInfo& b : combined) {
        if (b.deviation == kNoValidPairsDeviation) continue;
        measures.push_back(blockInfoGetDeviationAvgAdjusted(b, preset) / divisor);
    }
    if (measures.empty()) {
        // Every re-measure was refused (its alert has been shown) or found no
        // valid pair of samples: there is no midtone to measure.
        if (!darkN.empty() || !brightN.empty()) doAlertBox(kProfilingNoMidtonesText);
        return;
    }
    std::sort(measures.begin(), measures.end());
    const size_t m = std::min<size_t>(measures.size(), 4);
    double sum = 0;
    for (size_t i = 0; i < m; ++i) sum += measures[i];
    const double mean = sum / double(m);

    double estimate = mean;
    if (planes == 1)
        estimate = mean * double(1.45f);
    else if (planes == 3 && DisplayPixelsMode(gFilterRecord->imageMode) == plugInModeLabColor)
        estimate = mean * 2;
    plugDeviationIntoParams(estimate, preset);
}

}  // namespace

void autoProfile(const double& preset) {
    try {
        profile(preset);
    } catch (const std::bad_alloc&) {
        reportOutOfMemory();
    }
}

void autoProfileWithGUIhandling(unsigned char& done) {
    if (done) return;
    ParamBlock& p = *gParams;
    if (p.flags[kFilmProfileFlag]) {
        autoProfile(filmHNLdefault);
        p.flags[kDigitalProfileFlag] = 0;
        done = 1;
    } else if (p.flags[kDigitalProfileFlag] || p.flags[kAlwaysProfileFlag]) {
        autoProfile(digitalHNLdefaultDouble);
        p.flags[kFilmProfileFlag] = 0;
        done = 1;
        if (p.flags[kAlwaysProfileFlag] && !p.flags[kDigitalProfileFlag]) p.flags[kDigitalProfileFlag] = 1;
    }
}

int32 changeBlockSize(int32 n) {
    blockSize = n;
    blockSizeAfterInputRateA = n / inputRateA;
    return blockSizeAfterInputRateA;
}
