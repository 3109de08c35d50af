// Halvane at its defaults on real photographs with Gaussian noise of a fixed
// seed: the result is closer to the clean photograph than the noisy input,
// and the noise left in smooth areas is smaller.
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "engine/output_writers.h"
#include "halvane/lifting_structure.h"
#include "support/host_fixture.h"
#include "support/pixels.h"
#include "image/host_import.h"
#include "refhost/image_io.h"

namespace {

struct PhotoCase {
    const char* file;
    float sigma;
    double minGainDb;       // PSNR gain at least this
    double maxNoiseRatio;   // smooth-area noise sd after / before at most this
};

std::string caseName(const ::testing::TestParamInfo<PhotoCase>& i) {
    std::string f = i.param.file;
    return f.substr(0, f.find('.')) + "_sigma" + std::to_string(int(i.param.sigma));
}

double psnr(const std::vector<uint8>& a, const std::vector<uint8>& b) {
    double se = 0;
    for (size_t i = 0; i < a.size(); ++i) se += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
    return 10.0 * std::log10(255.0 * 255.0 / (se / double(a.size())));
}

class Photo : public ProductDefaultsTest, public ::testing::WithParamInterface<PhotoCase> {};

TEST_P(Photo, DefaultsRaisePsnrAndCalmSmoothAreas) {
    const PhotoCase& c = GetParam();
    const refhost::Document clean = refhost::readImage(std::string(VEXLOR_SAMPLES_DIR) + "/" + c.file);
    const int32 w = clean.width(), h = clean.height(), planes = clean.planes();
    makeHost(refhost::HostOptions(), clean.imageMode());
    useDefaults();

    const size_t n = size_t(w) * h * planes;
    std::vector<uint8> truth(clean.data(), clean.data() + n), noisy(n), out(n, 0);
    std::mt19937 rng(20261210u + uint32_t(c.sigma));
    std::normal_distribution<double> gauss(0.0, c.sigma);
    for (size_t i = 0; i < n; ++i) {
        const double v = std::round(truth[i] + gauss(rng));
        noisy[i] = uint8(v < 0 ? 0 : v > 255 ? 255 : v);
    }

    fl_image img(w, h);
    ASSERT_NE(img.data, nullptr);
    const int32 rowBytes = w * planes;
    ASSERT_EQ(copyIntoFlimage8bit(img, noisy.data(), rowBytes, 0, 0, w, h), noErr);
    fl_image dst(getFlimageDimensions(img));
    ASSERT_EQ(noiseReduceLiftingStructure(img, dst), noErr);
    lumaChromaMixTo8BitMaster(noisy.data(), rowBytes, out.data(), rowBytes, w, h, 0, 0, dst, 0, 0, true,
                              int16(planes));

    // Smooth areas: 8 x 8 blocks of the clean photograph whose samples vary
    // by a standard deviation below 2 in every plane.
    double noiseBefore = 0, noiseAfter = 0;
    int64_t smoothSamples = 0;
    for (int32 by = 0; by + 8 <= h; by += 8)
        for (int32 bx = 0; bx + 8 <= w; bx += 8) {
            bool smooth = true;
            for (int32 p = 0; p < planes && smooth; ++p) {
                double s = 0, s2 = 0;
                for (int32 y = by; y < by + 8; ++y)
                    for (int32 x = bx; x < bx + 8; ++x) {
                        const double v = truth[(size_t(y) * w + x) * planes + p];
                        s += v;
                        s2 += v * v;
                    }
                smooth = s2 / 64 - (s / 64) * (s / 64) < 4.0;
            }
            if (!smooth) continue;
            for (int32 y = by; y < by + 8; ++y)
                for (int32 x = bx; x < bx + 8; ++x)
                    for (int32 p = 0; p < planes; ++p) {
                        const size_t i = (size_t(y) * w + x) * planes + p;
                        noiseBefore += (double(noisy[i]) - truth[i]) * (double(noisy[i]) - truth[i]);
                        noiseAfter += (double(out[i]) - truth[i]) * (double(out[i]) - truth[i]);
                        ++smoothSamples;
                    }
        }
    ASSERT_GT(smoothSamples, 1000);
    const double sdBefore = std::sqrt(noiseBefore / double(smoothSamples));
    const double sdAfter = std::sqrt(noiseAfter / double(smoothSamples));
    const double before = psnr(truth, noisy), after = psnr(truth, out);
    std::printf("%s sigma %.0f: PSNR %.2f dB -> %.2f dB; smooth-area noise sd %.2f -> %.2f (%lld samples)\n",
                c.file, double(c.sigma), before, after, sdBefore, sdAfter, (long long)smoothSamples);
    RecordProperty("psnr_noisy", std::to_string(before));
    RecordProperty("psnr_halvane", std::to_string(after));
    RecordProperty("smooth_sd_noisy", std::to_string(sdBefore));
    RecordProperty("smooth_sd_halvane", std::to_string(sdAfter));
    EXPECT_GT(after, before + c.minGainDb);
    EXPECT_LT(sdAfter, c.maxNoiseRatio * sdBefore);
}

INSTANTIATE_TEST_SUITE_P(Samples, Photo,
                         // The defaults' noise level (40) suits moderate noise; the
                         // grey photograph's smooth areas are bright, where the
                         // similarity range narrows, so it gains less.
                         ::testing::Values(PhotoCase{"astronaut.png", 10.0f, 3.0, 0.6},
                                           PhotoCase{"astronaut.png", 20.0f, 1.0, 0.6},
                                           PhotoCase{"camera.png", 10.0f, 1.0, 0.9},
                                           PhotoCase{"camera.png", 20.0f, 0.25, 0.97}),
                         caseName);

}  // namespace
