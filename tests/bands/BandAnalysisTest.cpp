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

TEST(BandAnalysis, KnownMixesReadTheirCorrelation) {
    // Right = r * left + sqrt(1 - r^2) * independent noise has correlation r in every band.
    const std::vector<float> x = noise(8 * 44100, 11);
    const std::vector<float> y = noise(x.size(), 12);
    for (const double r : {-1.0, -0.6, 0.0, 0.3, 0.6, 1.0}) {
        std::vector<float> right(x.size());
        for (std::size_t n = 0; n < x.size(); ++n) {
            right[n] = static_cast<float>(r * x[n] + std::sqrt(1.0 - r * r) * y[n]);
        }
        for (const OctaveBand& band : octaveBandEnergies(x, right, kRate)) {
            // The lowest bands hold too few bins for a close estimate.
            if (band.centreHz >= 250.0) {
                EXPECT_NEAR(band.correlation(), r, 0.05) << r << " at " << band.centreHz;
            }
        }
    }
}

TEST(BandAnalysis, TheSilenceFloorIsAMeanSquareOverTheWholeStreamInEveryChannel) {
    // A 1 kHz tone whose mean square is three times the floor, or a third of it, over
    // a stream long enough that its energy is far above the floor's mean square.
    for (const auto& [meanSquare, silent] : {std::pair{3e-20, false}, {3e-21, true}}) {
        std::vector<float> tone = sine(200000, 1000.0);
        for (float& v : tone) {
            v = static_cast<float>(v * std::sqrt(2.0 * meanSquare) / 0.5);
        }
        const OctaveBand band = octaveBandEnergies(tone, tone, kRate)[5];
        EXPECT_EQ(band.sumEnergy == 0.0, silent) << meanSquare;
        EXPECT_EQ(band.leftEnergy == 0.0 || band.rightEnergy == 0.0, silent) << meanSquare;
        // The right channel alone that faint, beside a loud left: no correlation.
        const OctaveBand loudLeft = octaveBandEnergies(sine(200000, 1000.0), tone, kRate)[5];
        EXPECT_EQ(loudLeft.correlationSilent(), silent) << meanSquare;
    }
}

TEST(BandAnalysis, EveryFrameCountsOnceFromTheFirstSampleToTheLast) {
    // The same burst at the centre of the first frame and of the last: a stream that
    // ends on a hop boundary has no frame flush with its end besides its last whole one.
    constexpr std::size_t kFrame = StereoBandAnalyser::kFrameSamples;
    // Symmetric in time, so that the frame between the two sees mirror images of it.
    std::vector<float> burst(400);
    for (std::size_t n = 0; n < burst.size(); ++n) {
        burst[n] = static_cast<float>(
            0.5 * std::cos(2.0 * 3.141592653589793 * 1000.0 / kRate * (static_cast<double>(n) - 199.5)));
    }
    double energies[2] = {};
    for (const std::size_t centre : {kFrame / 2, 2 * kFrame - kFrame / 2}) {
        std::vector<float> x(2 * kFrame, 0.0f);
        std::copy(burst.begin(), burst.end(), x.begin() + static_cast<std::ptrdiff_t>(centre - 200));
        energies[centre == kFrame / 2 ? 0 : 1] = octaveBandEnergies(x, x, kRate)[5].sumEnergy;
    }
    EXPECT_GT(energies[0], 0.5 * 2.0 * energyOf(burst));
    EXPECT_NEAR(energies[1] / energies[0], 1.0, 1e-9);

    // A stream of a few samples is a frame of its own; its sum and difference keep
    // the samples' ratio in every band, 0.25^2 / 2.25^2 here.
    for (const std::size_t length : {1u, 2u, 3u}) {
        const std::vector<OctaveBand> bands =
            octaveBandEnergies(std::vector<float>(length, 1.0f), std::vector<float>(length, 0.5f), kRate);
        for (const OctaveBand& band : bands) {
            EXPECT_NEAR(band.difToSumDb(), 10.0 * std::log10(0.25 / 2.25), 1e-9) << length << " at " << band.centreHz;
            EXPECT_FALSE(band.levelSilent()) << length;
        }
    }
}

TEST(BandAnalysis, LevelsAndQuietBandsAsTheTableShowsThem) {
    // A full-scale 1 kHz tone in both channels, and an 8 kHz one 80 or 100 dB below it.
    const std::vector<float> loud = sine(44100, 1000.0);
    std::vector<float> faint = sine(loud.size(), 8000.0);
    std::vector<float> fainter = faint;
    for (std::size_t n = 0; n < loud.size(); ++n) {
        faint[n] = static_cast<float>(2.0 * loud[n] + 2e-4 * faint[n]);
        fainter[n] = static_cast<float>(2.0 * loud[n] + 2e-5 * fainter[n]);
    }
    std::vector<float> right = fainter;
    for (std::size_t n = 0; n < right.size(); n += 3) {
        right[n] = -right[n];  // some difference in every band
    }
    const std::vector<OctaveBand> before = octaveBandEnergies(faint, faint, kRate);
    const std::vector<OctaveBand> after = octaveBandEnergies(fainter, right, kRate);
    EXPECT_NEAR(before[5].levelDbfs(), 0.0, 0.05);
    EXPECT_NEAR(before[8].levelDbfs(), -80.0, 0.5);
    EXPECT_FALSE(before[8].quiet);
    EXPECT_TRUE(after[8].quiet);
    EXPECT_FALSE(after[5].quiet);

    const BandRowText quiet = bandRowText(before[8], after[8]);
    EXPECT_EQ(quiet.band, "8 kHz");
    EXPECT_EQ(quiet.levelBefore, "-80.0 dBFS");
    EXPECT_EQ(quiet.difToSumBefore + quiet.difToSumAfter + quiet.difToSumChange, "silentquiet-");
    EXPECT_EQ(quiet.correlationBefore + quiet.correlationAfter + quiet.correlationChange, "+1.00quiet-");
    // What comes out of a band that went in quiet or silent is quiet; silence stays silent.
    std::vector<OctaveBand> carried = before;
    carried[8].quiet = true;
    std::vector<OctaveBand> out = before;
    out.push_back(OctaveBand{16000.0, 0.0, 0.0});
    carryQuietBands(carried, out);
    EXPECT_TRUE(out[8].quiet);
    EXPECT_FALSE(out[5].quiet);
    carried.push_back(OctaveBand{16000.0, 0.0, 0.0});
    std::vector<OctaveBand> noisy = out;
    noisy[9] = before[8];
    carryQuietBands(carried, noisy);
    EXPECT_TRUE(noisy[9].quiet);
    carryQuietBands(carried, out);
    EXPECT_FALSE(out[9].quiet);
    // A band with nothing in it shows no figure at all.
    const BandRowText silent = bandRowText(OctaveBand{125.0, 0.0, 0.0}, OctaveBand{125.0, 0.0, 0.0});
    EXPECT_EQ(silent.levelBefore + silent.levelAfter + silent.difToSumBefore + silent.difToSumChange +
                  silent.correlationAfter + silent.correlationChange,
              "silentsilentsilent-silent-");
}
