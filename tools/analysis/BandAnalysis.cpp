#include "BandAnalysis.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstddef>
#include <stdexcept>

#include "Fft.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr std::size_t kFrameSamples = 8192;
constexpr std::size_t kHopSamples = kFrameSamples / 2;
constexpr std::array<double, 10> kNominalCentresHz{31.5,   63.0,   125.0,  250.0,  500.0,
                                                   1000.0, 2000.0, 4000.0, 8000.0, 16000.0};
constexpr int kLowestBandOctaveFrom1k = -5;

// Frame starts that cover the signal with 50% overlap; a last frame flush with the
// end keeps the tail from being dropped.
std::vector<std::size_t> frameStarts(std::size_t sampleCount) {
    std::vector<std::size_t> starts{0};
    if (sampleCount <= kFrameSamples) {
        return starts;
    }
    while (starts.back() + kHopSamples + kFrameSamples <= sampleCount) {
        starts.push_back(starts.back() + kHopSamples);
    }
    if (starts.back() + kFrameSamples < sampleCount) {
        starts.push_back(sampleCount - kFrameSamples);
    }
    return starts;
}

// sin^2(pi (n + 1/2) / N) is the Hann window moved half a sample: its overlapped
// copies at half a frame still sum to one, and no sample is weighted zero, so even a
// signal a sample long keeps its energy.
std::vector<double> window(std::size_t length) {
    std::vector<double> w(length);
    for (std::size_t n = 0; n < length; ++n) {
        const double s = std::sin(kPi * (static_cast<double>(n) + 0.5) / static_cast<double>(length));
        w[n] = s * s;
    }
    return w;
}

// Mean over frames of |X[k]|^2 for the non-negative frequencies of one real signal.
std::vector<double> averagePowerSpectrum(const std::vector<double>& signal, const std::vector<double>& w,
                                         const std::vector<std::size_t>& starts) {
    std::vector<double> power(kFrameSamples / 2 + 1, 0.0);
    std::vector<std::complex<double>> frame(kFrameSamples);
    for (const std::size_t start : starts) {
        std::fill(frame.begin(), frame.end(), std::complex<double>{});
        for (std::size_t n = 0; n < w.size(); ++n) {
            frame[n] = w[n] * signal[start + n];
        }
        fft(frame);
        for (std::size_t k = 0; k < power.size(); ++k) {
            power[k] += std::norm(frame[k]);
        }
    }
    for (double& p : power) {
        p /= static_cast<double>(starts.size());
    }
    return power;
}

}  // namespace

double OctaveBand::difToSumDb() const {
    if (difEnergy <= 0.0 || sumEnergy <= 0.0) {
        return -200.0;
    }
    return 10.0 * std::log10(difEnergy / sumEnergy);
}

std::vector<OctaveBand> octaveBandEnergies(const std::vector<float>& left, const std::vector<float>& right,
                                           double sampleRateHz) {
    if (left.size() != right.size()) {
        throw std::invalid_argument("left and right channels differ in length");
    }
    if (!(sampleRateHz > 0.0) || !std::isfinite(sampleRateHz)) {
        throw std::invalid_argument("the sample rate must be positive");
    }
    std::vector<OctaveBand> bands;
    for (std::size_t b = 0; b < kNominalCentresHz.size(); ++b) {
        const double centreHz = 1000.0 * std::exp2(kLowestBandOctaveFrom1k + static_cast<int>(b));
        if (centreHz * std::sqrt(2.0) >= 0.5 * sampleRateHz) {
            break;
        }
        bands.push_back({kNominalCentresHz[b], 0.0, 0.0});
    }
    const std::size_t sampleCount = left.size();
    if (sampleCount == 0 || bands.empty()) {
        return bands;
    }

    std::vector<double> sum(sampleCount);
    std::vector<double> dif(sampleCount);
    for (std::size_t n = 0; n < sampleCount; ++n) {
        const double l = left[n];
        const double r = right[n];
        sum[n] = (l + r) / std::sqrt(2.0);
        dif[n] = (l - r) / std::sqrt(2.0);
    }

    const std::vector<double> w = window(std::min(sampleCount, kFrameSamples));
    const std::vector<std::size_t> starts = frameStarts(sampleCount);
    const std::vector<double> sumPower = averagePowerSpectrum(sum, w, starts);
    const std::vector<double> difPower = averagePowerSpectrum(dif, w, starts);

    // Parseval gives sum_k |X[k]|^2 = N sum_n (w x)^2, and for a steady signal
    // sum_n (w x)^2 is its mean square times sum_n w^2. Scaling by the signal's
    // length turns a band's share of the spectrum into its energy; the factor 2
    // counts the negative frequencies.
    double windowPower = 0.0;
    for (const double v : w) {
        windowPower += v * v;
    }
    const double scale = 2.0 * static_cast<double>(sampleCount) / (static_cast<double>(kFrameSamples) * windowPower);
    const double binHz = sampleRateHz / static_cast<double>(kFrameSamples);
    for (std::size_t b = 0; b < bands.size(); ++b) {
        const double centreHz = 1000.0 * std::exp2(kLowestBandOctaveFrom1k + static_cast<int>(b));
        const double lowHz = centreHz / std::sqrt(2.0);
        const double highHz = centreHz * std::sqrt(2.0);
        for (std::size_t k = 1; k < kFrameSamples / 2; ++k) {
            const double frequencyHz = static_cast<double>(k) * binHz;
            if (frequencyHz >= lowHz && frequencyHz < highHz) {
                bands[b].sumEnergy += scale * sumPower[k];
                bands[b].difEnergy += scale * difPower[k];
            }
        }
    }
    return bands;
}
