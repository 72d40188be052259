// The radix-2 transform against known spectra, a direct DFT and Parseval's theorem.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstddef>
#include <random>
#include <stdexcept>
#include <vector>

#include "Fft.h"

namespace {

constexpr double kPi = 3.141592653589793;
using Spectrum = std::vector<std::complex<double>>;

Spectrum seededNoise(std::size_t size) {
    std::mt19937 engine(7);
    Spectrum x(size);
    for (auto& v : x) {
        v = {static_cast<double>(engine()) / 4294967296.0 - 0.5, static_cast<double>(engine()) / 4294967296.0 - 0.5};
    }
    return x;
}

}  // namespace

TEST(Fft, ImpulseIsFlatAndAnExponentialAtABinLandsThereAloneEvenInLongTransforms) {
    Spectrum impulse(16);
    impulse[0] = 1.0;
    fft(impulse);
    for (const auto& v : impulse) {
        EXPECT_NEAR(std::abs(v - 1.0), 0.0, 1e-15);
    }
    // Inaccurate twiddles show as leakage out of the bin, worst in the longest stages.
    for (const std::size_t bin : {1u, 12345u}) {
        const std::size_t size = bin == 1 ? 8 : 65536;
        Spectrum x(size);
        for (std::size_t n = 0; n < size; ++n) {
            x[n] = std::polar(1.0, 2.0 * kPi * static_cast<double>((bin * n) % size) / static_cast<double>(size));
        }
        fft(x);
        for (std::size_t k = 0; k < size; ++k) {
            ASSERT_NEAR(std::abs(x[k] - (k == bin ? static_cast<double>(size) : 0.0)), 0.0, 1e-9) << size << " " << k;
        }
    }
}

TEST(Fft, MatchesADirectDftAndKeepsEnergy) {
    const Spectrum input = seededNoise(64);
    Spectrum x = input;
    fft(x);
    double timeEnergy = 0.0;
    double frequencyEnergy = 0.0;
    for (std::size_t k = 0; k < input.size(); ++k) {
        std::complex<long double> direct;
        for (std::size_t n = 0; n < input.size(); ++n) {
            const long double angle = -2.0L * 3.14159265358979323846L * static_cast<long double>((k * n) % 64) / 64.0L;
            direct += std::complex<long double>(input[n]) * std::polar(1.0L, angle);
        }
        EXPECT_NEAR(std::abs(x[k] - std::complex<double>(direct)), 0.0, 1e-13) << k;
        timeEnergy += std::norm(input[k]);
        frequencyEnergy += std::norm(x[k]);
    }
    EXPECT_NEAR(frequencyEnergy / 64.0, timeEnergy, 1e-12 * timeEnergy);
}

TEST(Fft, SizeOneIsIdentityAndOtherSizesMustBePowersOfTwo) {
    Spectrum one{{0.25, -2.0}};
    fft(one);
    EXPECT_EQ(one[0], std::complex<double>(0.25, -2.0));
    for (const std::size_t size : {0u, 3u, 6u, 12u, 1000u}) {
        Spectrum x(size);
        EXPECT_THROW(fft(x), std::invalid_argument) << size;
    }
}
