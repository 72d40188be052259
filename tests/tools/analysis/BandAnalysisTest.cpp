// Octave-band energies of the sum and difference: where a tone lands, the bands a
// rate allows, and that the energies add up to the signal's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <random>
#include <stdexcept>
#include <utility>
#include <vector>

#include "BandAnalysis.h"

namespace {

constexpr double kRate = 44100.0;

std::vector<float> sine(std::size_t length, double frequencyHz) {
    std::vector<float> x(length);
    for (std::size_t n = 0; n < length; ++n) {
        x[n] =
            static_cast<float>(0.5 * std::sin(2.0 * 3.141592653589793 * frequencyHz * static_cast<double>(n) / kRate));
    }
    return x;
}

std::vector<float> noise(std::size_t length, unsigned seed) {
    std::mt19937 engine(seed);
    std::vector<float> x(length);
    for (auto& v : x) {
        v = static_cast<float>(static_cast<double>(engine()) / 4294967296.0 - 0.5);
    }
    return x;
}

double energyOf(const std::vector<float>& x) {
    double e = 0.0;
    for (const float v : x) {
        e += static_cast<double>(v) * v;
    }
    return e;
}

}  // namespace

TEST(BandAnalysis, MonoHasNoDifferenceAndAntiPhaseNoSum) {
    const std::vector<float> x = noise(20000, 3);
    std::vector<float> inverted(x.size());
    std::transform(x.begin(), x.end(), inverted.begin(), [](float v) { return -v; });
    for (const OctaveBand& band : octaveBandEnergies(x, x, kRate)) {
        EXPECT_GT(band.sumEnergy, 0.0) << band.centreHz;
        EXPECT_EQ(band.difEnergy, 0.0) << band.centreHz;
        EXPECT_EQ(band.difToSumDb(), -200.0);
    }
    for (const OctaveBand& band : octaveBandEnergies(x, inverted, kRate)) {
        EXPECT_EQ(band.sumEnergy, 0.0) << band.centreHz;
        EXPECT_GT(band.difEnergy, 0.0) << band.centreHz;
    }
    EXPECT_NEAR((OctaveBand{1000.0, 2.0, 1.0}).difToSumDb(), -3.0103, 1e-4);
}

TEST(BandAnalysis, ToneLandsInItsBandWithItsEnergyWhateverTheLength) {
    // 30000 samples is not a whole number of hops; 1000 is shorter than a frame.
    for (const std::size_t length : {44100u, 30000u, 1000u}) {
        const std::vector<float> left = sine(length, 1000.0);
        const std::vector<OctaveBand> bands = octaveBandEnergies(left, std::vector<float>(length), kRate);
        const double expected = energyOf(left) / 2.0;  // half in the sum, half in the difference
        for (const OctaveBand& band : bands) {
            const double inBand = band.centreHz == 1000.0 ? 1.0 : 0.0;
            EXPECT_NEAR(band.sumEnergy / expected, inBand, 0.02) << length << " at " << band.centreHz;
            EXPECT_NEAR(band.difEnergy / expected, inBand, 0.02) << length << " at " << band.centreHz;
        }
    }
    // Only the last frame reaches a burst in the final samples.
    std::vector<float> late(30000, 0.0f);
    const std::vector<float> burst = sine(2000, 250.0);
    std::copy(burst.begin(), burst.end(), late.end() - 2000);
    EXPECT_GT(octaveBandEnergies(late, late, kRate)[3].sumEnergy, 0.05 * energyOf(burst));
}

TEST(BandAnalysis, NoiseEnergySpreadsOverTheBandsInProportionToTheirWidth) {
    const std::vector<float> left = noise(4 * 44100, 5);
    const std::vector<float> right = noise(4 * 44100, 6);
    // Independent channels: sum and difference each carry half the total.
    const double halfEnergy = (energyOf(left) + energyOf(right)) / 2.0;
    for (const OctaveBand& band : octaveBandEnergies(left, right, kRate)) {
        // An octave is as wide as its exact centre, 1000 * 2^k, over sqrt 2.
        const double exactCentreHz = 1000.0 * std::exp2(std::round(std::log2(band.centreHz / 1000.0)));
        const double share = exactCentreHz / std::sqrt(2.0) / (kRate / 2.0);
        EXPECT_NEAR(band.sumEnergy / (share * halfEnergy), 1.0, 0.25) << band.centreHz;
        EXPECT_NEAR(band.difEnergy / (share * halfEnergy), 1.0, 0.25) << band.centreHz;
    }
}

TEST(BandAnalysis, AStreamGivesTheSameBandsWhateverItsBlocks) {
    // Not a whole number of hops, so the last frame lies flush with the end.
    const std::vector<float> left = noise(50000, 8);
    const std::vector<float> right = noise(50000, 9);
    const std::vector<OctaveBand> whole = octaveBandEnergies(left, right, kRate);
    for (const std::size_t block : {1u, 511u, 4096u, 8193u}) {
        StereoBandAnalyser analyser(kRate);
        for (std::size_t at = 0; at < left.size(); at += block) {
            ASSERT_TRUE(analyser.add(left.data() + at, right.data() + at, std::min(block, left.size() - at)));
        }
        const std::vector<OctaveBand> streamed = analyser.bands();
        ASSERT_EQ(streamed.size(), whole.size());
        for (std::size_t b = 0; b < whole.size(); ++b) {
            for (const auto energy : {&OctaveBand::sumEnergy, &OctaveBand::difEnergy, &OctaveBand::leftEnergy,
                                      &OctaveBand::rightEnergy, &OctaveBand::crossEnergy}) {
                EXPECT_EQ(streamed[b].*energy, whole[b].*energy) << block << " at " << whole[b].centreHz;
            }
        }
    }
    // One channel given stands for both; a sample that is not a number is silence.
    StereoBandAnalyser centred(kRate);
    std::vector<float> spoiled = left;
    spoiled[100] = std::nanf("");
    centred.add(spoiled.data(), nullptr, spoiled.size());
    for (const OctaveBand& band : centred.bands()) {
        EXPECT_TRUE(band.difToSumSilent());
        EXPECT_GT(band.sumEnergy, 0.0);
        EXPECT_EQ(band.correlation(), 1.0);
    }
}

TEST(BandAnalysis, TheRateDecidesTheBandsAndChannelsMustMatch) {
    const std::vector<double> nominal{31.5, 63.0, 125.0, 250.0, 500.0, 1000.0, 2000.0, 4000.0, 8000.0, 16000.0};
    // The top band is the last whose upper edge, centre times sqrt 2, is below Nyquist.
    for (const auto& [rateHz, count] :
         {std::pair{8000.0, 7u}, {22050.0, 8u}, {44100.0, 9u}, {48000.0, 10u}, {96000.0, 10u}, {80.0, 0u}}) {
        const std::vector<OctaveBand> bands = octaveBandEnergies({}, {}, rateHz);
        ASSERT_EQ(bands.size(), count) << rateHz;
        for (std::size_t b = 0; b < bands.size(); ++b) {
            EXPECT_EQ(bands[b].centreHz, nominal[b]);
            EXPECT_EQ(bands[b].sumEnergy + bands[b].difEnergy, 0.0);
        }
    }
    EXPECT_THROW(octaveBandEnergies(std::vector<float>(10), std::vector<float>(11), kRate), std::invalid_argument);
    EXPECT_THROW(octaveBandEnergies({}, {}, 0.0), std::invalid_argument);
    // The streaming analyser, which must not throw, refuses such a rate by its answers.
    StereoBandAnalyser refused(std::nan(""));
    const float sample = 0.5f;
    EXPECT_FALSE(refused.valid());
    EXPECT_FALSE(refused.add(&sample, &sample, 1));
    EXPECT_TRUE(refused.bands().empty());
}
