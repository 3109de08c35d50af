// What the preview shows, worked out from the document alone: at every zoom
// the composed picture's left half is the document at the shown rectangle
// and its right half a full pass of that rectangle, the overview is the
// document small with the red box on the shown rectangle's outline, and the
// display conversions of each depth hold at their ends and between.
#include <cmath>
#include <cstdint>
#include <iostream>
#include <limits>
#include <map>
#include <tuple>

#include "engine/output_writers.h"
#include "entry/start.h"
#include "preview/proxy_source.h"
#include "refhost/convert.h"
#include "preview_support.h"

using namespace preview_test;
using refhost::Document;

namespace {

// The display conversions, from their formulas ------------------------------

// Single precision throughout; the powers correctly rounded to float.
float powRounded(float base, float e) { return float(std::pow(double(base), double(e))); }

// Gamma (0..256, in sixteenths) to linear 0..1.
float gammaToLinearEntry(int i) {
    if (i == 0) return 0.0f;
    const float x = float(i) / 16.0f;
    return x > 10.0164f ? powRounded(x * 0.0037171266f + 0.0521327f, 2.4f) : x * 0.000303527f;
}

// Linear (0..1.0002, in 4096ths) to gamma 0..255.
float linearToGammaEntry(int i) {
    const float x = float(i) / 4096.0f;
    return x > 0.0031308f ? powRounded(x, 0.41666666f) * 269.025f - 14.025f : x * 3294.6f;
}

float clampUnit(float f) { return f > 0.0f ? (f < 1.0f ? f : 1.0f) : 0.0f; }

// A document sample as the source proxy holds it: 16 bits cut by v / 128.5
// rounded down, 32 bits gamma-encoded by interpolation in the linear table.
uint8_t proxyByte(int32 depth, double v) {
    switch (depth) {
        case 8: return uint8_t(v);
        case 16: return uint8_t((10 * uint32_t(std::min(v, 32768.0))) / 1285);
        default: {
            const float x = clampUnit(float(v)) * 4096.0f;
            const int i = int(x);
            const float t = x - float(i);
            const float f = ((1.0f - t) * linearToGammaEntry(i) + t * linearToGammaEntry(i + 1)) * 0.003921569f;
            return uint8_t(std::min(255.0f, 255.0f * f));
        }
    }
}

// A proxy byte as the preview's picture hands it to the host: a 32-bit
// document's picture goes back to linear values.
uint8_t displayedByte(int32 depth, uint8_t b) {
    return depth == 32 ? uint8_t(gammaToLinearEntry(16 * b) * 255.0f) : b;
}

// The red box's tint.
uint8_t tinted(uint8_t v, int channel) { return uint8_t(channel == 0 ? v / 2 + 127 : v / 2); }

// Where the preview looks ----------------------------------------------------------

// The pane's halves, rounded down to 8 columns and 4 rows, at the zoom; the
// rectangle centred on the filter rectangle's centre moved by the offsets,
// the offsets brought back so that it stays inside.  (The panes of these
// tests are large enough that no zoom falls.)
struct Shown {
    VRect rect;
    int32 offsetH, offsetV;
};
Shown shownRectangle(VRect F, int32 paneWidth, int32 paneHeight, int32 zoom, int32 offsetH, int32 offsetV) {
    const int32 fw = F.right - F.left, fh = F.bottom - F.top;
    const int32 width = std::min(paneWidth / 8 * 8 / zoom / 2, fw);
    const int32 height = std::min(paneHeight / 4 * 4 / zoom, fh);
    const int32 top0 = (fh - height) / 2, left0 = (fw - width) / 2;
    Shown s;
    s.offsetV = std::clamp(offsetV, -top0, fh - height - top0);
    s.offsetH = std::clamp(offsetH, -left0, fw - width - left0);
    const int32 top = F.top + top0 + s.offsetV, left = F.left + left0 + s.offsetH;
    s.rect = VRect{top, left, top + height, left + width};
    return s;
}

// The red box of the shown rectangle I in an overview of ovW x ovH, in single
// precision, relative to the filter rectangle.
VRect redBox(VRect I, VRect F, int32 ovW, int32 ovH) {
    const float fw = float(F.right - F.left), fh = float(F.bottom - F.top);
    VRect b;
    b.left = int32(float(I.left - F.left) / fw * float(ovW + 1));
    b.top = int32(float(I.top - F.top) * (1.0f / fh) * float(ovH + 1));
    b.right = b.left + int32(float(I.right - I.left) / fw * float(ovW));
    b.bottom = b.top + int32(float(I.bottom - I.top) / fh * float(ovH));
    return b;
}

// The box's tinted pixels: a frame 3 thick, or the whole box when it is less
// than 7 wide or high.
bool onRedBox(VRect b, int32 x, int32 y) {
    if (x < b.left || x >= b.right || y < b.top || y >= b.bottom) return false;
    if (b.right - b.left < 7 || b.bottom - b.top < 7) return true;
    return y < b.top + 3 || y >= b.bottom - 3 || x < b.left + 3 || x >= b.right - 3;
}

// The documents ---------------------------------------------------------------

uint32_t jitterHash(int32 x, int32 y, int16 p) {
    uint32_t h = uint32_t(x) * 73856093u ^ uint32_t(y) * 19349663u ^ uint32_t(p + 1) * 83492791u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    return h ^ (h >> 15);
}

// The astronaut in the mode, cut to an odd size so that the shown rectangle
// cannot be centred exactly.  Lab: L from the grey, a and b from colour
// differences.  Deep samples get a fixed-seed jitter below one 8-bit step,
// and a few 32-bit samples lie outside 0..1, so that the conversions meet
// every value, not only the 256 of an 8-bit source.
Document makePictureDocument(int16 mode) {
    const Document astronaut = refhost::readImage(VEXLOR_SAMPLES_DIR "/astronaut.png");
    Document rgb(plugInModeRGBColor, astronaut.width() - 3, astronaut.height() - 5);
    rgb.fill([&](int32 x, int32 y, int16 p) { return astronaut.get(x, y, p); });
    const int16 base = refhost::baseModeOf(mode);
    int32 depth = 8;
    for (int32 d : {16, 32})
        if (refhost::modeFor(base, d) == mode) depth = d;
    Document doc;
    if (base == plugInModeLabColor) {
        Document lab(plugInModeLabColor, rgb.width(), rgb.height());
        lab.fill([&](int32 x, int32 y, int16 p) {
            const double r = rgb.get(x, y, 0), g = rgb.get(x, y, 1), b = rgb.get(x, y, 2);
            if (p == 0) return 0.299 * r + 0.587 * g + 0.114 * b;
            return p == 1 ? 128.0 + 0.5 * (r - g) : 128.0 + 0.5 * (g - b);
        });
        doc = refhost::convertDocument(lab, base, depth);
    } else {
        doc = refhost::convertDocument(rgb, base, depth);
    }
    if (depth == 8) return doc;
    for (int32 y = 0; y < doc.height(); ++y)
        for (int32 x = 0; x < doc.width(); ++x)
            for (int16 p = 0; p < doc.planes(); ++p) {
                const uint32_t h = jitterHash(x, y, p);
                const double v = doc.get(x, y, p);
                if (depth == 16) {
                    doc.set(x, y, p, v + double(h % 129) - 64.0);
                } else if (h % 997 == 0) {
                    doc.set(x, y, p, h % 2 ? 1.25 : -0.25);
                } else {
                    doc.set(x, y, p, v * (1.0 + (double(h % 201) - 100.0) * 1e-4));
                }
            }
    return doc;
}

// Made once per mode: every zoom looks at the same document.
const Document& pictureDocument(int16 mode) {
    static std::map<int16, Document> made;
    auto it = made.find(mode);
    if (it == made.end()) it = made.emplace(mode, makePictureDocument(mode)).first;
    return it->second;
}

// The preview's pictures at every zoom ------------------------------------------

// Neither a multiple of the 8 columns and 4 rows the pane is rounded down to.
const int32 kPaneWidth = 455, kPaneHeight = 243;
const int32 kOverviewPaneWidth = 256, kOverviewPaneHeight = 192;
// Offsets stored per zoom: clamped at the left and bottom, inside, clamped
// at the right and top (where the pan then moves nothing), inside.
const VPoint kStoredOffsets[5] = {{0, 0}, {300, -1000}, {-45, 37}, {-1000, 400}, {11, -7}};
const VPoint kPan = {-23, 17};

struct DocumentCase {
    const char* name;
    int16 mode;
    int16 previewMode, overviewMode;  // as handed to the host's display call
    VRect filter;                     // empty: the whole image
    // The filter rectangle fitted into the overview pane, its aspect kept.
    int32 overviewWidth, overviewHeight;
};

class PreviewPictures : public PreviewTest,
                        public ::testing::WithParamInterface<std::tuple<DocumentCase, int32>> {
protected:
    // The document filtered by a full pass of rect; its output.
    const Document& fullPass(Document doc, VRect rect) {
        refhost::HostOptions options;
        options.filterRect = rect;
        bind(std::move(doc), kPaneWidth, kPaneHeight, options);
        DoFilter();
        EXPECT_EQ(result(), noErr);
        host().finishPass();
        return host().document();
    }
};

TEST_P(PreviewPictures, HalvesAndRedBoxFromTheDocument) {
    const DocumentCase& c = std::get<0>(GetParam());
    const int32 Z = std::get<1>(GetParam());
    const Document doc = pictureDocument(c.mode);
    const int32 depth = doc.depth();
    const int16 planes = doc.planes();
    const VRect F = c.filter.right > c.filter.left ? c.filter : doc.bounds();
    refhost::HostOptions options;
    options.filterRect = c.filter;
    bind(doc, kPaneWidth, kPaneHeight, options);
    overviewPaneWidth = kOverviewPaneWidth;
    overviewPaneHeight = kOverviewPaneHeight;
    pData.zoomFactor = Z;
    pData.offsetV = kStoredOffsets[Z].v;
    pData.offsetH = kStoredOffsets[Z].h;
    ASSERT_EQ(SetupProxy(), noErr);
    ASSERT_EQ(proxySlide(kPan.h, kPan.v, enhancePixelUint8), noErr);
    ASSERT_EQ(updateModifiedProxyBuffer(enhancePixelUint8, calcInternalFilterParams), noErr);
    ASSERT_NE(paint(), nullptr);
    ASSERT_EQ(host().displayCalls().size(), 2u);
    const refhost::DisplayCall preview = host().displayCalls()[0], overview = host().displayCalls()[1];
    EXPECT_EQ(host().faults().size(), 0u);

    // Where it looks: the stored offsets brought inside, then the pan.  A pan
    // that moves sets the focal point to the offsets (at the zoom mode of 1
    // they are the same); one that cannot move leaves it at 0.
    const Shown stored = shownRectangle(F, kPaneWidth, kPaneHeight, Z, kStoredOffsets[Z].h, kStoredOffsets[Z].v);
    const Shown shown =
        shownRectangle(F, kPaneWidth, kPaneHeight, Z, stored.offsetH + kPan.h, stored.offsetV + kPan.v);
    const bool moved = shown.offsetH != stored.offsetH || shown.offsetV != stored.offsetV;
    const VRect I = shown.rect;
    const int32 W = I.right - I.left, H = I.bottom - I.top;
    EXPECT_EQ(pData.zoomFactor, Z);
    EXPECT_EQ(pData.offsetH, shown.offsetH);
    EXPECT_EQ(pData.offsetV, shown.offsetV);
    EXPECT_EQ(pData.focalH, moved ? shown.offsetH : 0);
    EXPECT_EQ(pData.focalV, moved ? shown.offsetV : 0);

    // The preview: the source on the left, each pixel Z x Z.
    EXPECT_EQ(preview.imageMode, c.previewMode);
    ASSERT_EQ(preview.srcRect.right - preview.srcRect.left, 2 * Z * W);
    ASSERT_EQ(preview.srcRect.bottom - preview.srcRect.top, Z * H);
    ASSERT_EQ(preview.planes, planes);
    auto shownSample = [&](const refhost::DisplayCall& call, int32 x, int32 y, int16 p) {
        return call.pixels[(size_t(y) * (call.srcRect.right - call.srcRect.left) + x) * call.planes + p];
    };
    int64_t wrong = 0;
    for (int32 r = 0; r < Z * H; ++r)
        for (int32 col = 0; col < Z * W; ++col)
            for (int16 p = 0; p < planes; ++p)
                wrong += shownSample(preview, col, r, p) !=
                         displayedByte(depth, proxyByte(depth, doc.get(I.left + col / Z, I.top + r / Z, p)));
    EXPECT_EQ(wrong, 0) << "samples of the left half unlike the document";

    // The overview: the document small, the red box on the shown rectangle.
    const int32 ovW = c.overviewWidth, ovH = c.overviewHeight;
    EXPECT_EQ(overview.imageMode, c.overviewMode);
    ASSERT_EQ(overview.srcRect.right - overview.srcRect.left, ovW);
    ASSERT_EQ(overview.srcRect.bottom - overview.srcRect.top, ovH);
    ASSERT_EQ(overview.planes, 3);
    const VRect box = redBox(I, F, ovW, ovH);
    // The box's edges are the rectangle's, scaled to the overview, to within
    // what the truncations take: one pixel at the near edges, two at the far
    // ones (the near edge's truncation and the size's).
    auto scaled = [](int32 v, int32 origin, int32 extent, int32 size) {
        return double(v - origin) * size / extent;
    };
    const int32 fw = F.right - F.left, fh = F.bottom - F.top;
    EXPECT_NEAR(box.left, scaled(I.left, F.left, fw, ovW), 1.0);
    EXPECT_NEAR(box.right, scaled(I.right, F.left, fw, ovW), 2.0);
    EXPECT_NEAR(box.top, scaled(I.top, F.top, fh, ovH), 1.0);
    EXPECT_NEAR(box.bottom, scaled(I.bottom, F.top, fh, ovH), 2.0);
    int64_t wrongOverview = 0, onBox = 0;
    for (int32 y = 0; y < ovH; ++y)
        for (int32 x = 0; x < ovW; ++x)
            for (int ch = 0; ch < 3; ++ch) {
                const uint8_t plain = expectedOverview(doc, F, ovW, ovH, x, y, ch);
                const bool red = onRedBox(box, x, y);
                onBox += red && ch == 0;
                wrongOverview += shownSample(overview, x, y, int16(ch)) != (red ? tinted(plain, ch) : plain);
            }
    EXPECT_EQ(wrongOverview, 0) << "overview samples unlike the document and the red box";
    EXPECT_GT(onBox, 0);

    if (const std::string dir = pictureDir(); !dir.empty()) {
        const std::string base = dir + "/" + kProductName + "-" + c.name + "-zoom" + std::to_string(Z);
        refhost::writeImage(refhost::displayCallImage(preview), base + "-preview.png");
        refhost::writeImage(refhost::displayCallImage(overview), base + "-overview.png");
    }

    // The right half against a full pass of the shown rectangle.  The
    // preview filters the 8-bit picture of the rectangle: an 8-bit document
    // is its own, so a pass of the rectangle gives the same samples.  Of a
    // deep document the preview filters the cut or gamma-encoded bytes,
    // while the full pass filters the deep samples and writes them at their
    // depth; the same holds then for a pass of those bytes.
    Document bytes(refhost::modeFor(refhost::baseModeOf(c.mode), 8), W, H);
    bytes.fill([&](int32 x, int32 y, int16 p) { return proxyByte(depth, doc.get(I.left + x, I.top + y, p)); });
    const Document& filtered = depth == 8 ? fullPass(doc, I) : fullPass(bytes, bytes.bounds());
    const int32 originX = depth == 8 ? I.left : 0, originY = depth == 8 ? I.top : 0;
    if (const std::string dir = pictureDir(); !dir.empty() && Z == 1) {
        Document shownPass(filtered.imageMode(), W, H);
        shownPass.fill([&](int32 x, int32 y, int16 p) { return filtered.get(originX + x, originY + y, p); });
        refhost::writeImage(shownPass, dir + "/" + kProductName + "-" + c.name + "-fullpass.png");
    }
    wrong = 0;
    for (int32 r = 0; r < Z * H; ++r)
        for (int32 col = 0; col < Z * W; ++col)
            for (int16 p = 0; p < planes; ++p)
                wrong += shownSample(preview, Z * W + col, r, p) !=
                         displayedByte(depth, uint8_t(filtered.get(originX + col / Z, originY + r / Z, p)));
    EXPECT_EQ(wrong, 0) << "samples of the right half unlike the full pass";
    if (depth == 8) return;

    // How far the deep pass lies from what the preview shows, on the
    // display's scale.
    const Document& deep = fullPass(doc, I);
    int worst = 0;
    int64_t differing = 0;
    for (int32 y = 0; y < H; ++y)
        for (int32 x = 0; x < W; ++x)
            for (int16 p = 0; p < planes; ++p) {
                const int d = std::abs(int(shownSample(preview, Z * W + Z * x, Z * y, p)) -
                                       int(displayedByte(depth, proxyByte(depth, deep.get(I.left + x, I.top + y, p)))));
                worst = std::max(worst, d);
                differing += d != 0;
            }
    std::cout << "[ measured ] " << kProductName << " " << c.name << " zoom " << Z
              << ": the deep full pass differs from the right half by up to " << worst << " in " << differing
              << " of " << int64_t(W) * H * planes << " samples\n";
}

// 509 x 507 into 256 x 192: 192 high, 509 x 192 / 507 = 192.8 wide.
const VRect kWhole = {0, 0, 0, 0};
const DocumentCase kDocuments[] = {
    {"Grey8", plugInModeGrayScale, plugInModeGrayScale, plugInModeRGBColor, kWhole, 192, 192},
    {"Rgb8", plugInModeRGBColor, plugInModeRGBColor, plugInModeRGBColor, kWhole, 192, 192},
    {"Lab8", plugInModeLabColor, plugInModeLabColor, plugInModeLabColor, kWhole, 192, 192},
    {"Grey16", plugInModeGray16, plugInModeGrayScale, plugInModeRGBColor, kWhole, 192, 192},
    {"Rgb16", plugInModeRGB48, plugInModeRGBColor, plugInModeRGBColor, kWhole, 192, 192},
    {"Lab16", plugInModeLab48, plugInModeLabColor, plugInModeLabColor, kWhole, 192, 192},
    {"Grey32", plugInModeGray32, plugInModeGrayScale, plugInModeRGBColor, kWhole, 192, 192},
    {"Rgb32", plugInModeRGB96, plugInModeRGBColor, plugInModeRGBColor, kWhole, 192, 192},
    // The preview and the overview of a selection stay inside it.  Wider
    // than the pane's aspect: 256 wide, 201 x 256 / 469 = 109.7 high.
    {"Rgb8Selection", plugInModeRGBColor, plugInModeRGBColor, plugInModeRGBColor, {100, 20, 301, 489}, 256, 109},
};

INSTANTIATE_TEST_SUITE_P(
    Documents, PreviewPictures, ::testing::Combine(::testing::ValuesIn(kDocuments), ::testing::Range(1, 5)),
    [](const ::testing::TestParamInfo<std::tuple<DocumentCase, int32>>& i) {
        return std::string(std::get<0>(i.param).name) + "Zoom" + std::to_string(std::get<1>(i.param));
    });

// The display conversions at their ends and between ----------------------------

// Samples stored in a row of columns 4.., with the bytes the preview's and
// the overview's pictures show for each, worked out from the conversions'
// formulas: 16 bits 10v / 1285 and (255v) >> 15; 32 bits through the
// linear-to-gamma curve and back through the gamma-to-linear one (the
// curve's linear segment below 0.0031308 and below gamma 10.0164), and
// truncate(255f + 0.5) in the overview.
struct TableCase {
    const char* name;
    int16 mode;
    std::vector<double> stored;
    std::vector<uint8_t> preview, overview;
    int16 previewMode, overviewMode;
};
class DisplayTables : public PreviewTest, public ::testing::WithParamInterface<TableCase> {};

TEST_P(DisplayTables, ShownBytes) {
    const TableCase& c = GetParam();
    // The whole document is shown and is its own overview; its red box is a
    // frame along the edges, and row 5 is clear of it from column 3 on.
    const int32 n = int32(c.stored.size()), width = n + 8, height = 11;
    Document doc(c.mode, width, height);
    for (int32 y = 0; y < height; ++y)
        for (int32 x = 0; x < width; ++x) putRaw(doc, x, y, x >= 4 && x < 4 + n ? c.stored[size_t(x - 4)] : 0.0);
    bind(std::move(doc), 208, 348);
    ASSERT_EQ(SetupProxy(), noErr);
    ASSERT_EQ(pData.scWidth, width);
    ASSERT_NE(paint(true), nullptr);
    ASSERT_EQ(host().displayCalls().size(), 2u);
    const refhost::DisplayCall &preview = host().displayCalls()[0], &overview = host().displayCalls()[1];
    EXPECT_EQ(preview.imageMode, c.previewMode);
    EXPECT_EQ(overview.imageMode, c.overviewMode);
    ASSERT_EQ(overview.srcRect.right, width);
    for (int32 i = 0; i < n; ++i) {
        SCOPED_TRACE(::testing::Message() << "stored " << c.stored[size_t(i)]);
        for (int16 p = 0; p < preview.planes; ++p) {
            // Both halves show the source.
            EXPECT_EQ(preview.pixels[(size_t(5) * 2 * width + 4 + i) * preview.planes + p], c.preview[size_t(i)]);
            EXPECT_EQ(preview.pixels[(size_t(5) * 2 * width + width + 4 + i) * preview.planes + p],
                      c.preview[size_t(i)]);
        }
        for (int ch = 0; ch < 3; ++ch)
            EXPECT_EQ(overview.pixels[(size_t(5) * width + 4 + i) * 3 + ch], c.overview[size_t(i)]);
    }
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const std::vector<double> kBytes = {0, 1, 127, 128, 254, 255};
const std::vector<double> kDeep16 = {0, 128, 129, 1285, 16384, 16448, 32767, 32768, 40000, 65535};
const std::vector<uint8_t> kDeep16Preview = {0, 0, 1, 10, 127, 128, 254, 255, 255, 255};
const std::vector<uint8_t> kDeep16Overview = {0, 0, 1, 9, 127, 127, 254, 255, 255, 255};
const std::vector<double> kDeep32 = {kNaN, -1, 0, 0.001, 0.0031308, 0.01, 0.1, 0.25, 0.5, 0.75, 0.99, 1, 2};
// Gamma-encoded 0, 0, 0, 3, 10, 25, 89, 136, 187, 224, 253, 255, 255, then
// back to linear.
const std::vector<uint8_t> kDeep32Preview = {0, 0, 0, 0, 0, 2, 25, 62, 126, 190, 250, 255, 255};
const std::vector<uint8_t> kDeep32Overview = {0, 0, 0, 0, 1, 3, 26, 64, 128, 191, 252, 255, 255};

INSTANTIATE_TEST_SUITE_P(
    Cases, DisplayTables,
    ::testing::Values(
        TableCase{"Grey8", plugInModeGrayScale, kBytes, {0, 1, 127, 128, 254, 255}, {0, 1, 127, 128, 254, 255},
                  plugInModeGrayScale, plugInModeRGBColor},
        TableCase{"Lab8", plugInModeLabColor, kBytes, {0, 1, 127, 128, 254, 255}, {0, 1, 127, 128, 254, 255},
                  plugInModeLabColor, plugInModeLabColor},
        TableCase{"Grey16", plugInModeGray16, kDeep16, kDeep16Preview, kDeep16Overview, plugInModeGrayScale,
                  plugInModeRGBColor},
        TableCase{"Rgb16", plugInModeRGB48, kDeep16, kDeep16Preview, kDeep16Overview, plugInModeRGBColor,
                  plugInModeRGBColor},
        // Lab's neutral 16384 shows as 127.
        TableCase{"Lab16", plugInModeLab48, kDeep16, kDeep16Preview, kDeep16Overview, plugInModeLabColor,
                  plugInModeLabColor},
        TableCase{"Grey32", plugInModeGray32, kDeep32, kDeep32Preview, kDeep32Overview, plugInModeGrayScale,
                  plugInModeRGBColor},
        TableCase{"Rgb32", plugInModeRGB96, kDeep32, kDeep32Preview, kDeep32Overview, plugInModeRGBColor,
                  plugInModeRGBColor}),
    [](const ::testing::TestParamInfo<TableCase>& i) { return std::string(i.param.name); });

// The curves' tables entry for entry: the preview shows the gamma-to-linear
// table's linear segment only as bytes of 0, so its constants are seen
// here.
class ColourCurves : public PreviewTest {};

TEST_F(ColourCurves, BothTablesFollowTheirFormulas) {
    bind(plugInModeRGB96, 40, 30, 208, 348);
    int64_t wrong = 0;
    for (int i = 0; i < kLUT2Entries; ++i) wrong += cspacePtrLUT2[i] != gammaToLinearEntry(i);
    for (int i = 0; i < kLUT3Entries; ++i) wrong += cspacePtrLUT3[i] != linearToGammaEntry(i);
    EXPECT_EQ(wrong, 0);
    // Either side of the segments' ends, by the sRGB curve itself: gamma 10
    // and 10.0625 (of 255), linear 12 and 13 (of 4096).
    EXPECT_NEAR(cspacePtrLUT2[160], 0.0030353, 1e-6);
    EXPECT_NEAR(cspacePtrLUT2[161], 0.0030535, 1e-6);
    EXPECT_NEAR(cspacePtrLUT3[12], 9.6521, 1e-3);
    EXPECT_NEAR(cspacePtrLUT3[13], 10.4535, 1e-3);
}

}  // namespace
