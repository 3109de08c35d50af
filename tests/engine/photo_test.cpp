// On a real photograph with added noise the matte is bright on edges and
// texture and dark in smooth areas.
#include <algorithm>
#include <cstdio>
#include <numeric>

#include "glimra/smooth_area_pipeline.h"
#include "support/host_fixture.h"
#include "support/pixels.h"
#include "refhost/image_io.h"

namespace {

class Photo : public EngineHostTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(Photo, MatteIsBrightOnDetailAndDarkOnSmoothAreas) {
    const refhost::Document clean = refhost::readImage(std::string(VEXLOR_SAMPLES_DIR) + "/" + GetParam());
    const int32 w = clean.width(), h = clean.height();
    const int16 planes = clean.planes();
    fl_image img(w, h), matte(w, h);
    ASSERT_TRUE(img.data && matte.data);
    ASSERT_GT(w, 24);
    std::mt19937 rng(2026);
    std::normal_distribution<float> noise(0.0f, 8.0f);
    fillImage(img, [&](int32 x, int32 y, int ch) {
        return float(clean.get(x, y, int16(std::min<int>(ch, planes - 1)))) + noise(rng);
    });

    level0noiseLevel = 30.0f;
    highnoiseLevelReduce = 0.3f;
    lowThresholdingAmount = 4.0f;
    highThresholdingAmount = 20.0f;
    fl_image noisy(w, h);
    flimageToFlimage(img, noisy);
    ASSERT_EQ(smoothDetectLiftingStructure(img, matte), 0);

    // Detail of the clean photograph: the mean absolute difference to the
    // four neighbours over a 5 x 5 window, per pixel.
    auto luma = [&](int32 x, int32 y) {
        x = std::min(std::max(x, 0), w - 1);
        y = std::min(std::max(y, 0), h - 1);
        double s = 0;
        for (int16 p = 0; p < planes; ++p) s += clean.get(x, y, p);
        return s / planes;
    };
    std::vector<double> detail(size_t(w) * h);
    for (int32 y = 0; y < h; ++y)
        for (int32 x = 0; x < w; ++x) {
            double d = 0;
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx)
                    d += std::fabs(luma(x + dx, y + dy) - luma(x + dx + 1, y + dy)) +
                         std::fabs(luma(x + dx, y + dy) - luma(x + dx, y + dy + 1));
            detail[size_t(y) * w + x] = d;
        }
    std::vector<size_t> order(detail.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return detail[a] < detail[b]; });
    const size_t tenth = order.size() / 10;
    double smooth = 0, detailed = 0;
    for (size_t i = 0; i < tenth; ++i) {
        const size_t lo = order[i], hi = order[order.size() - 1 - i];
        smooth += pixel(matte, int32(lo % w), int32(lo / w))[0];
        detailed += pixel(matte, int32(hi % w), int32(hi / w))[0];
        // A grey matte: the three channels agree.
        ASSERT_EQ(pixel(matte, int32(hi % w), int32(hi / w))[1], pixel(matte, int32(hi % w), int32(hi / w))[0]);
    }
    smooth /= double(tenth);
    detailed /= double(tenth);
    RecordProperty("smoothMean", std::to_string(smooth));
    RecordProperty("detailMean", std::to_string(detailed));
    std::printf("%s: mean matte %.1f over the smoothest tenth, %.1f over the most detailed tenth\n", GetParam(),
                smooth, detailed);
    EXPECT_GT(detailed, 3.0 * smooth);
    EXPECT_GT(detailed - smooth, 80.0);

    // Inverted: the same matte mirrored about white, to the bit.
    invertMatte = true;
    fl_image inverted(w, h);
    ASSERT_EQ(smoothDetectLiftingStructure(noisy, inverted), 0);
    for (int32 y = 0; y < h; ++y)
        for (int32 x = 0; x < w; ++x) ASSERT_EQ(pixel(inverted, x, y)[2], 255.0f - pixel(matte, x, y)[2]);
}

INSTANTIATE_TEST_SUITE_P(Samples, Photo, ::testing::Values("astronaut.png", "camera.png"),
                         [](const ::testing::TestParamInfo<const char*>& i) {
                             std::string n = i.param;
                             return n.substr(0, n.find('.'));
                         });

}  // namespace
