#include "BandAnalysis.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#if defined(__cpp_exceptions)
#include <stdexcept>
#endif

namespace {

constexpr double kPi = 3.141592653589793;
constexpr std::size_t kFrameSamples = StereoBandAnalyser::kFrameSamples;
constexpr std::size_t kHopSamples = kFrameSamples / 2;
constexpr std::size_t kBins = kFrameSamples / 2 + 1;
constexpr std::array<double, 10> kNominalCentresHz{31.5,   63.0,   125.0,  250.0,  500.0,
                                                   1000.0, 2000.0, 4000.0, 8000.0, 16000.0};
constexpr int kLowestBandOctaveFrom1k = -5;
enum Spectrum { kSum, kDif, kLeft, kRight, kCross };
// A band quieter than this mean square, -200 dB below full scale, is silence: the
// effect's own guard against denormals leaves some 1e-20 in its output, and a
// ratio or correlation of that would mean nothing.
constexpr double kSilentMeanSquare = 1e-20;

bool usableRate(double sampleRateHz) { return sampleRateHz > 0.0 && std::isfinite(sampleRateHz); }

double exactCentreHz(std::size_t band) { return 1000.0 * std::exp2(kLowestBandOctaveFrom1k + static_cast<int>(band)); }

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

float finiteOrSilent(float sample) { return std::isfinite(sample) ? sample : 0.0f; }

}  // namespace

double OctaveBand::difToSumDb() const {
    if (difToSumSilent()) {
        return -200.0;
    }
    return 10.0 * std::log10(difEnergy / sumEnergy);
}

double OctaveBand::levelDbfs() const {
    if (levelSilent()) {
        return -200.0;
    }
    return 10.0 * std::log10((leftEnergy + rightEnergy) / frames);
}

double OctaveBand::correlation() const {
    if (correlationSilent()) {
        return 0.0;
    }
    // Rounding can take a fully correlated band a hair past 1.
    return std::clamp(crossEnergy / std::sqrt(leftEnergy * rightEnergy), -1.0, 1.0);
}

std::vector<double> octaveBandCentresHz(double sampleRateHz) {
    std::vector<double> centres;
    if (!usableRate(sampleRateHz)) {
        return centres;
    }
    for (std::size_t b = 0; b < kNominalCentresHz.size(); ++b) {
        if (exactCentreHz(b) * std::sqrt(2.0) >= 0.5 * sampleRateHz) {
            break;
        }
        centres.push_back(kNominalCentresHz[b]);
    }
    return centres;
}

StereoBandAnalyser::StereoBandAnalyser(double sampleRateHz)
    : sampleRateHz_(sampleRateHz),
      valid_(usableRate(sampleRateHz)),
      centresHz_(octaveBandCentresHz(sampleRateHz)),
      plan_(kFrameSamples),
      window_(window(kFrameSamples)),
      historyLeft_(kFrameSamples),
      historyRight_(kFrameSamples),
      frame_(kFrameSamples) {
    for (std::vector<double>& s : spectra_) {
        s.assign(kBins, 0.0);
    }
}

void StereoBandAnalyser::reset() {
    std::fill(historyLeft_.begin(), historyLeft_.end(), 0.0f);
    std::fill(historyRight_.begin(), historyRight_.end(), 0.0f);
    next_ = 0;
    frames_ = 0;
    wholeFrames_ = 0;
    for (std::vector<double>& s : spectra_) {
        std::fill(s.begin(), s.end(), 0.0);
    }
}

bool StereoBandAnalyser::add(const float* left, const float* right, std::size_t count) {
    if (!valid_ || (left == nullptr && right == nullptr)) {
        return false;
    }
    const float* l = left != nullptr ? left : right;
    const float* r = right != nullptr ? right : left;
    for (std::size_t i = 0; i < count; ++i) {
        historyLeft_[next_] = finiteOrSilent(l[i]);
        historyRight_[next_] = finiteOrSilent(r[i]);
        next_ = (next_ + 1) % kFrameSamples;
        ++frames_;
        // Frames start at every whole hop and end inside the stream, so one ends here
        // each time the count passes a frame plus a whole number of hops.
        const auto sinceFirstFrame = frames_ - static_cast<std::int64_t>(kFrameSamples);
        if (sinceFirstFrame >= 0 && sinceFirstFrame % static_cast<std::int64_t>(kHopSamples) == 0) {
            analyseFrame(kFrameSamples, window_, spectra_);
            ++wholeFrames_;
        }
    }
    return true;
}

// Adds the spectra of the newest `length` samples, windowed, to `spectra`. The sum
// and the difference are real, so one complex transform carries both: for
// z = s + i d, S[k] = (Z[k] + conj Z[N-k]) / 2 and D[k] = (Z[k] - conj Z[N-k]) / 2i,
// at half the cost of two transforms.
void StereoBandAnalyser::analyseFrame(std::size_t length, const std::vector<double>& w,
                                      std::vector<double> (&spectra)[5]) const {
    std::fill(frame_.begin(), frame_.end(), std::complex<double>{});
    std::size_t at = (next_ + kFrameSamples - length) % kFrameSamples;
    bool anySum = false;
    bool anyDifference = false;
    for (std::size_t n = 0; n < length; ++n) {
        const double l = historyLeft_[at];
        const double r = historyRight_[at];
        frame_[n] = {w[n] * ((l + r) / std::sqrt(2.0)), w[n] * ((l - r) / std::sqrt(2.0))};
        anySum = anySum || l + r != 0.0;
        anyDifference = anyDifference || l - r != 0.0;
        at = (at + 1) % kFrameSamples;
    }
    plan_.transform(frame_);
    // A rounded transform of a real signal is conjugate-symmetric only nearly: a
    // path that is all zeros is kept exactly zero, so that a centred source reads a
    // correlation of exactly 1 and no difference at all.
    const double sumShare = anySum ? 1.0 : 0.0;
    const double differenceShare = anyDifference ? 1.0 : 0.0;
    // The channels' spectra follow from the sum's and the difference's,
    // L = (S + D) / sqrt 2 and R = (S - D) / sqrt 2.
    for (std::size_t k = 0; k < kBins; ++k) {
        const std::complex<double> z = frame_[k];
        const std::complex<double> mirror = std::conj(frame_[(kFrameSamples - k) % kFrameSamples]);
        const std::complex<double> s = sumShare * (z + mirror) / 2.0;
        const std::complex<double> d =
            differenceShare * std::complex<double>((z - mirror).imag(), -(z - mirror).real()) / 2.0;
        spectra[kSum][k] += std::norm(s);
        spectra[kDif][k] += std::norm(d);
        spectra[kLeft][k] += std::norm(s + d) / 2.0;
        spectra[kRight][k] += std::norm(s - d) / 2.0;
        spectra[kCross][k] += ((s + d) * std::conj(s - d)).real() / 2.0;
    }
}

std::vector<OctaveBand> StereoBandAnalyser::bands() const {
    std::vector<OctaveBand> result;
    for (const double centreHz : centresHz_) {
        result.push_back({centreHz, 0.0, 0.0});
    }
    if (frames_ == 0 || result.empty()) {
        return result;
    }

    // The frames the stream has not given yet: a stream shorter than a frame is one
    // frame of its own length, and a longer one whose last whole frame stops short of
    // its end gets a frame flush with the end.
    std::vector<double> power[5];
    for (std::size_t s = 0; s < 5; ++s) {
        power[s] = spectra_[s];
    }
    std::int64_t frameCount = wholeFrames_;
    const auto sampleCount = static_cast<std::size_t>(std::min<std::int64_t>(frames_, kFrameSamples));
    const std::vector<double> shortWindow = sampleCount < kFrameSamples ? window(sampleCount) : std::vector<double>{};
    const std::vector<double>& w = sampleCount < kFrameSamples ? shortWindow : window_;
    if (sampleCount < kFrameSamples) {
        analyseFrame(sampleCount, w, power);
        frameCount = 1;
    } else {
        const std::int64_t lastWholeFrameEnd =
            static_cast<std::int64_t>(kFrameSamples) + (wholeFrames_ - 1) * static_cast<std::int64_t>(kHopSamples);
        if (lastWholeFrameEnd < frames_) {
            analyseFrame(kFrameSamples, w, power);
            ++frameCount;
        }
    }
    for (std::vector<double>& p : power) {
        for (double& v : p) {
            v /= static_cast<double>(frameCount);
        }
    }

    // Parseval gives sum_k |X[k]|^2 = N sum_n (w x)^2, and for a steady signal
    // sum_n (w x)^2 is its mean square times sum_n w^2. Scaling by the signal's
    // length turns a band's share of the spectrum into its energy; the factor 2
    // counts the negative frequencies.
    double windowPower = 0.0;
    for (const double v : w) {
        windowPower += v * v;
    }
    const double scale = 2.0 * static_cast<double>(frames_) / (static_cast<double>(kFrameSamples) * windowPower);
    const double binHz = sampleRateHz_ / static_cast<double>(kFrameSamples);
    for (std::size_t b = 0; b < result.size(); ++b) {
        const double lowHz = exactCentreHz(b) / std::sqrt(2.0);
        const double highHz = exactCentreHz(b) * std::sqrt(2.0);
        OctaveBand& band = result[b];
        for (std::size_t k = 1; k < kFrameSamples / 2; ++k) {
            const double frequencyHz = static_cast<double>(k) * binHz;
            if (frequencyHz >= lowHz && frequencyHz < highHz) {
                band.sumEnergy += scale * power[kSum][k];
                band.difEnergy += scale * power[kDif][k];
                band.leftEnergy += scale * power[kLeft][k];
                band.rightEnergy += scale * power[kRight][k];
                band.crossEnergy += scale * power[kCross][k];
            }
        }
        const double floor = kSilentMeanSquare * static_cast<double>(frames_);
        for (double* energy : {&band.sumEnergy, &band.difEnergy, &band.leftEnergy, &band.rightEnergy}) {
            if (*energy < floor) {
                *energy = 0.0;
            }
        }
        if (band.leftEnergy == 0.0 || band.rightEnergy == 0.0) {
            band.crossEnergy = 0.0;
        }
        band.frames = static_cast<double>(frames_);
    }
    double loudest = 0.0;
    for (const OctaveBand& band : result) {
        loudest = std::max(loudest, band.leftEnergy + band.rightEnergy);
    }
    const double quietBelow = loudest * std::pow(10.0, -kQuietBelowLoudestDb / 10.0);
    for (OctaveBand& band : result) {
        band.quiet = !band.levelSilent() && band.leftEnergy + band.rightEnergy < quietBelow;
    }
    return result;
}

void carryQuietBands(const std::vector<OctaveBand>& before, std::vector<OctaveBand>& after) {
    for (std::size_t b = 0; b < before.size() && b < after.size(); ++b) {
        if (before[b].quiet || before[b].levelSilent()) {
            after[b].quiet = !after[b].levelSilent();
        }
    }
}

#if defined(__cpp_exceptions)
std::vector<OctaveBand> octaveBandEnergies(const std::vector<float>& left, const std::vector<float>& right,
                                           double sampleRateHz) {
    if (left.size() != right.size()) {
        throw std::invalid_argument("left and right channels differ in length");
    }
    StereoBandAnalyser analyser(sampleRateHz);
    if (!analyser.valid()) {
        throw std::invalid_argument("the sample rate must be positive");
    }
    analyser.add(left.data(), right.data(), left.size());
    return analyser.bands();
}
#endif

namespace {

std::string formatted(const char* format, double value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// No "-0.0": a figure too small to show is zero.
std::string decibels(double db) { return formatted("%+.1f dB", std::fabs(db) < 0.05 ? 0.0 : db); }
std::string correlationText(double c) { return formatted("%+.2f", std::fabs(c) < 0.005 ? 0.0 : c); }

std::string bandName(double centreHz) {
    return centreHz >= 1000.0 ? formatted("%g kHz", centreHz / 1000.0) : formatted("%g Hz", centreHz);
}

}  // namespace

BandRowText bandRowText(const OctaveBand& before, const OctaveBand& after) {
    // A figure's text, or why it has none.
    const auto figure = [](const OctaveBand& band, bool silent, const std::string& text) {
        return silent ? std::string("silent") : band.quiet ? std::string("quiet") : text;
    };
    const auto levelText = [](const OctaveBand& band) {
        return band.levelSilent() ? std::string("silent") : formatted("%.1f dBFS", band.levelDbfs());
    };
    BandRowText row;
    row.band = bandName(before.centreHz);
    row.levelBefore = levelText(before);
    row.levelAfter = levelText(after);
    const bool dsShown = !(before.difToSumSilent() || after.difToSumSilent() || before.quiet || after.quiet);
    row.difToSumBefore = figure(before, before.difToSumSilent(), decibels(before.difToSumDb()));
    row.difToSumAfter = figure(after, after.difToSumSilent(), decibels(after.difToSumDb()));
    row.difToSumChange = dsShown ? decibels(after.difToSumDb() - before.difToSumDb()) : "-";
    const bool correlationShown =
        !(before.correlationSilent() || after.correlationSilent() || before.quiet || after.quiet);
    row.correlationBefore = figure(before, before.correlationSilent(), correlationText(before.correlation()));
    row.correlationAfter = figure(after, after.correlationSilent(), correlationText(after.correlation()));
    row.correlationChange = correlationShown ? correlationText(after.correlation() - before.correlation()) : "-";
    return row;
}

namespace {

constexpr const char* kRowFormat = "  %-8s %11s %11s   %10s %10s %10s   %6s %6s %6s\n";

std::string row(const BandRowText& t) {
    char line[200];
    std::snprintf(line, sizeof line, kRowFormat, t.band.c_str(), t.levelBefore.c_str(), t.levelAfter.c_str(),
                  t.difToSumBefore.c_str(), t.difToSumAfter.c_str(), t.difToSumChange.c_str(),
                  t.correlationBefore.c_str(), t.correlationAfter.c_str(), t.correlationChange.c_str());
    return line;
}

}  // namespace

std::string bandTableHeading() {
    char over[200];
    std::snprintf(over, sizeof over, "  %-8s %-23s   %-32s   %s\n", "", "      level", "   difference to sum (D/S)",
                  "   correlation");
    return over + row({"band", "before", "after", "before", "after", "change", "before", "after", "change"});
}

std::string bandTableRow(const OctaveBand& before, const OctaveBand& after) { return row(bandRowText(before, after)); }
