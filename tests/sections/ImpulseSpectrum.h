// The spectrum of a section's impulse response at one frequency, from processing
// alone: long enough for every pole the sections use to have died away.
#pragma once

#include <complex>

template <typename Section>
std::complex<double> impulseSpectrum(Section section, double frequencyHz, double sampleRateHz) {
    constexpr double kPi = 3.141592653589793;
    std::complex<double> sum = 0.0;
    for (int n = 0; n < 1 << 15; ++n) {
        const double y = section.processSample(n == 0 ? 1.0f : 0.0f);
        sum += y * std::polar(1.0, -2.0 * kPi * frequencyHz * n / sampleRateHz);
    }
    return sum;
}
