// The demo's spaced-pair scene: repeatable, at the stated level, and with each
// source's inter-channel delay the one its angle and the spacing give.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <stdexcept>
#include <vector>

#include "BandAnalysis.h"
#include "DemoScene.h"
#include "Fft.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kRate = 44100.0;

// How far, in dB below the right channel, the right channel within the band differs
// from the left delayed by delaySamples. The delay is applied to zero-padded spectra;
// the first and last quarter second, where the cut-off ends ring, are left out.
double delayedCopyResidualDb(const StereoRecording& r, double lowHz, double delaySamples) {
    std::size_t size = 1;
    while (size < 2 * r.left.size()) {
        size *= 2;
    }
    std::vector<std::complex<double>> left(size);
    std::vector<std::complex<double>> right(size);
    std::copy(r.left.begin(), r.left.end(), left.begin());
    std::copy(r.right.begin(), r.right.end(), right.begin());
    fft(left);
    fft(right);
    // Conjugated, so that the forward transform acts as the inverse.
    std::vector<std::complex<double>> residual(size);
    for (std::size_t k = 0; k < size; ++k) {
        const double bin = k <= size / 2 ? static_cast<double>(k) : static_cast<double>(k) - static_cast<double>(size);
        const bool inBand = std::abs(bin) * r.sampleRateHz / static_cast<double>(size) >= lowHz;
        const std::complex<double> delayed =
            left[k] * std::polar(1.0, -2.0 * kPi * bin * delaySamples / static_cast<double>(size));
        residual[k] = inBand ? std::conj(right[k] - delayed) : 0.0;
        right[k] = inBand ? std::conj(right[k]) : 0.0;
    }
    fft(residual);
    fft(right);
    const auto margin = static_cast<std::size_t>(0.25 * r.sampleRateHz);
    double rightEnergy = 0.0;
    double residualEnergy = 0.0;
    for (std::size_t n = margin; n + margin < r.left.size(); ++n) {
        rightEnergy += std::norm(right[n].real());
        residualEnergy += std::norm(residual[n].real());
    }
    return 10.0 * std::log10(residualEnergy / rightEnergy);
}

}  // namespace

TEST(DemoScene, IsRepeatableAndHasTheAskedLengthRateAndPeak) {
    const StereoRecording a = synthesiseSpacedPairScene(48000.0, 1.5, 18.0);
    const StereoRecording b = synthesiseSpacedPairScene(48000.0, 1.5, 18.0);
    EXPECT_EQ(a.sampleRateHz, 48000.0);
    ASSERT_EQ(a.left.size(), 72000u);
    ASSERT_EQ(a.right.size(), 72000u);
    EXPECT_EQ(a.left, b.left);
    EXPECT_EQ(a.right, b.right);
    float peak = 0.0f;
    for (std::size_t i = 0; i < a.left.size(); ++i) {
        peak = std::max({peak, std::abs(a.left[i]), std::abs(a.right[i])});
    }
    EXPECT_NEAR(20.0 * std::log10(peak), -3.0, 0.01);
    EXPECT_TRUE(synthesiseSpacedPairScene(kRate, 0.0, 18.0).left.empty());
    EXPECT_THROW(synthesiseSpacedPairScene(0.0, 1.0, 18.0), std::invalid_argument);
    EXPECT_THROW(synthesiseSpacedPairScene(kRate, -1.0, 18.0), std::invalid_argument);
    EXPECT_THROW(synthesiseSpacedPairScene(kRate, 1.0, -5.0), std::invalid_argument);
}

TEST(DemoScene, ChannelsAreExactlyDelayedAsTheListedAnglesAndSpacingGive) {
    const StereoRecording scene = synthesiseSpacedPairScene(kRate, 2.0, 18.0);
    ASSERT_GE(scene.sources.size(), 4u);
    double widestDelaySamples = 0.0;
    for (const SceneSource& s : scene.sources) {
        // Sources on the right reach the right microphone first.
        EXPECT_NEAR(s.delaySamples, -0.18 * std::sin(s.angleDegrees * kPi / 180.0) / 343.0 * kRate, 1e-9) << s.name;
        widestDelaySamples = std::max(widestDelaySamples, std::abs(s.delaySamples));
    }
    // 18 cm at 343 m/s is at most 23.1 samples at 44.1 kHz, reached only at +-90 degrees.
    EXPECT_GT(widestDelaySamples, 15.0);
    EXPECT_LT(widestDelaySamples, 23.2);

    // Above 4.5 kHz only the shimmer sounds; envelope and partials alike must carry its delay.
    const auto shimmer = std::find_if(scene.sources.begin(), scene.sources.end(),
                                      [](const SceneSource& s) { return s.name == "shimmer"; });
    ASSERT_NE(shimmer, scene.sources.end());
    EXPECT_LT(delayedCopyResidualDb(scene, 4500.0, shimmer->delaySamples), -50.0);
    EXPECT_GT(delayedCopyResidualDb(scene, 4500.0, shimmer->delaySamples + 0.5), -30.0);

    const StereoRecording coincident = synthesiseSpacedPairScene(kRate, 0.5, 0.0);
    EXPECT_EQ(coincident.left, coincident.right);
}

TEST(DemoScene, DifferenceIsSmallAtLowFrequenciesAndComparableHigherUp) {
    const StereoRecording scene = synthesiseSpacedPairScene(kRate, 3.0, 18.0);
    const std::vector<OctaveBand> bands = octaveBandEnergies(scene.left, scene.right, kRate);
    ASSERT_EQ(bands.size(), 9u);
    for (const OctaveBand& band : bands) {
        EXPECT_GT(band.sumEnergy, 1e-3 * bands[1].sumEnergy) << band.centreHz;
        if (band.centreHz < 200.0) {
            EXPECT_LT(band.difToSumDb(), -15.0) << band.centreHz;
        }
        if (band.centreHz > 1500.0) {
            EXPECT_GT(band.difToSumDb(), -6.0) << band.centreHz;
        }
    }
}
