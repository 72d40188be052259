#include "DemoScene.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <random>
#include <stdexcept>

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kSpeedOfSoundMetresPerSecond = 343.0;
constexpr double kPeakLevelDb = -3.0;
// The phasors are restarted exactly from cos and sin at every block, so their
// rounding error never builds beyond a block's worth of multiplications.
constexpr std::size_t kBlockSamples = 512;

// std::mt19937's output sequence is fixed by the standard; the distributions are
// not, so the mapping to [0, 1) is our own.
class SceneRandom {
public:
    explicit SceneRandom(std::uint32_t seed) : engine(seed) {}
    double uniform() { return (static_cast<double>(engine()) + 0.5) / 4294967296.0; }
    double uniform(double low, double high) { return low + (high - low) * uniform(); }
    double logUniform(double low, double high) { return low * std::pow(high / low, uniform()); }
    double phase() { return uniform(0.0, 2.0 * kPi); }

private:
    std::mt19937 engine;
};

struct Partial {
    double frequencyHz;
    double amplitude;
    double phaseRadians;
};

// A raised-cosine attack, an exponential decay and a raised-cosine release, with a
// slow swell on top. It is a closed-form function of time, so each channel can
// evaluate it at its own delayed time.
struct Envelope {
    double attackSeconds = 0.01;
    double sustainSeconds = 1.0;
    double releaseSeconds = 0.05;
    double decaySeconds = std::numeric_limits<double>::infinity();
    double swellHz = 0.0;
    double swellDepth = 0.0;
    double swellPhaseRadians = 0.0;

    double lengthSeconds() const { return attackSeconds + sustainSeconds + releaseSeconds; }

    double at(double seconds) const {
        if (seconds < 0.0 || seconds >= lengthSeconds()) {
            return 0.0;
        }
        double gain = 1.0;
        if (seconds < attackSeconds) {
            gain = 0.5 - 0.5 * std::cos(kPi * seconds / attackSeconds);
        } else {
            gain = std::exp(-(seconds - attackSeconds) / decaySeconds);
            const double intoRelease = seconds - attackSeconds - sustainSeconds;
            if (intoRelease > 0.0) {
                gain *= 0.5 + 0.5 * std::cos(kPi * intoRelease / releaseSeconds);
            }
        }
        return gain * (1.0 + swellDepth * std::sin(2.0 * kPi * swellHz * seconds + swellPhaseRadians));
    }
};

struct Note {
    double startSeconds;
    Envelope envelope;
    std::vector<Partial> partials;
};

struct Source {
    const char* name;
    double angleDegrees;
    std::vector<Note> notes;
};

// Scales a note's partials to unit mean power at full envelope, so the sources'
// gains alone set their balance.
void normalisePower(std::vector<Partial>& partials, double gain) {
    double power = 0.0;
    for (const Partial& p : partials) {
        power += 0.5 * p.amplitude * p.amplitude;
    }
    if (power <= 0.0) {
        return;
    }
    const double scale = gain / std::sqrt(power);
    for (Partial& p : partials) {
        p.amplitude *= scale;
    }
}

// Harmonics of fundamentalHz below the ceiling, falling as k^-tilt, each with a
// random starting phase; stretchFactor > 0 sharpens the upper partials as a stiff
// string does, f_k = k f0 sqrt(1 + B k^2).
std::vector<Partial> harmonics(SceneRandom& random, double fundamentalHz, double ceilingHz, double tilt,
                               double stretchFactor = 0.0) {
    std::vector<Partial> partials;
    for (int k = 1;; ++k) {
        const double kd = static_cast<double>(k);
        const double frequencyHz = kd * fundamentalHz * std::sqrt(1.0 + stretchFactor * kd * kd);
        if (frequencyHz > ceilingHz) {
            break;
        }
        partials.push_back({frequencyHz, std::pow(kd, -tilt), random.phase()});
    }
    return partials;
}

// Random partials spread one per equal step of log frequency, so the lowest step is
// always occupied.
std::vector<Partial> spreadPartials(SceneRandom& random, int count, double lowHz, double highHz, double tilt) {
    std::vector<Partial> partials;
    const double ratio = std::log(highHz / lowHz);
    for (int i = 0; i < count; ++i) {
        const double position = (static_cast<double>(i) + random.uniform()) / static_cast<double>(count);
        const double frequencyHz = lowHz * std::exp(ratio * position);
        partials.push_back({frequencyHz, std::pow(frequencyHz / lowHz, -tilt), random.phase()});
    }
    return partials;
}

Source roomRumble(double seconds) {
    SceneRandom random(0x52554d42u);
    Envelope envelope;
    envelope.attackSeconds = 0.25;
    envelope.sustainSeconds = seconds + 1.0;
    envelope.swellHz = 0.13;
    envelope.swellDepth = 0.3;
    envelope.swellPhaseRadians = random.phase();
    Note note{0.0, envelope, spreadPartials(random, 12, 30.0, 100.0, 0.5)};
    normalisePower(note.partials, 0.5);
    return {"rumble", -60.0, {note}};
}

Source bassLine(double seconds) {
    SceneRandom random(0x42415353u);
    constexpr std::array<double, 8> kFundamentalsHz{41.2, 55.0, 61.7, 49.0, 73.4, 55.0, 65.4, 46.2};
    constexpr double kStepSeconds = 0.5;
    Source source{"bass", -25.0, {}};
    for (std::size_t i = 0; static_cast<double>(i) * kStepSeconds < seconds; ++i) {
        Envelope envelope;
        envelope.attackSeconds = 0.02;
        envelope.sustainSeconds = kStepSeconds - 0.02;
        envelope.releaseSeconds = 0.06;
        envelope.decaySeconds = 0.8;
        Note note{static_cast<double>(i) * kStepSeconds, envelope,
                  harmonics(random, kFundamentalsHz[i % kFundamentalsHz.size()], 160.0, 1.0)};
        normalisePower(note.partials, 0.8);
        source.notes.push_back(note);
    }
    return source;
}

// Harmonics with two broad formant-like humps, in phrases with short breaths between.
Source lowVoice(double seconds) {
    SceneRandom random(0x564f4943u);
    constexpr std::array<double, 6> kFundamentalsHz{98.0, 110.0, 123.5, 110.0, 130.8, 98.0};
    constexpr double kPhraseSeconds = 1.5;
    Source source{"voice", 0.0, {}};
    for (std::size_t i = 0; static_cast<double>(i) * kPhraseSeconds < seconds; ++i) {
        Envelope envelope;
        envelope.attackSeconds = 0.08;
        envelope.sustainSeconds = 1.1;
        envelope.releaseSeconds = 0.15;
        envelope.swellHz = 0.9;
        envelope.swellDepth = 0.2;
        envelope.swellPhaseRadians = random.phase();
        std::vector<Partial> partials = harmonics(random, kFundamentalsHz[i % kFundamentalsHz.size()], 1000.0, 1.0);
        for (Partial& p : partials) {
            const double first = (p.frequencyHz - 500.0) / 150.0;
            const double second = (p.frequencyHz - 850.0) / 120.0;
            p.amplitude *= 1.0 + 3.0 * std::exp(-first * first) + 2.0 * std::exp(-second * second);
        }
        Note note{0.05 + static_cast<double>(i) * kPhraseSeconds, envelope, partials};
        normalisePower(note.partials, 0.6);
        source.notes.push_back(note);
    }
    return source;
}

// Struck notes from a pentatonic scale, overlapping as they ring.
Source piano(double seconds) {
    SceneRandom random(0x5049414eu);
    constexpr std::array<double, 10> kFundamentalsHz{130.8, 146.8, 164.8, 196.0, 220.0,
                                                     261.6, 293.7, 329.6, 392.0, 440.0};
    constexpr double kStepSeconds = 0.3;
    Source source{"piano", 30.0, {}};
    for (std::size_t i = 0; static_cast<double>(i) * kStepSeconds < seconds; ++i) {
        const auto pick = static_cast<std::size_t>(random.uniform() * static_cast<double>(kFundamentalsHz.size()));
        Envelope envelope;
        envelope.attackSeconds = 0.003;
        envelope.sustainSeconds = 1.0;
        envelope.releaseSeconds = 0.1;
        envelope.decaySeconds = 0.5;
        Note note{0.1 + static_cast<double>(i) * kStepSeconds, envelope,
                  harmonics(random, kFundamentalsHz[pick], 4000.0, 1.2, 4e-4)};
        normalisePower(note.partials, 0.6);
        source.notes.push_back(note);
    }
    return source;
}

// Short bright hits, each a fresh cluster of random partials up to 10 kHz.
Source shimmer(double seconds) {
    SceneRandom random(0x5348494du);
    constexpr double kStepSeconds = 0.25;
    Source source{"shimmer", 70.0, {}};
    for (std::size_t i = 0; static_cast<double>(i) * kStepSeconds < seconds; ++i) {
        Envelope envelope;
        envelope.attackSeconds = 0.002;
        envelope.sustainSeconds = 0.25;
        envelope.releaseSeconds = 0.05;
        envelope.decaySeconds = 0.08;
        Note note{0.125 + static_cast<double>(i) * kStepSeconds, envelope,
                  spreadPartials(random, 40, 200.0, 10000.0, -0.3)};
        normalisePower(note.partials, i % 2 == 0 ? 0.35 : 0.2);
        source.notes.push_back(note);
    }
    return source;
}

// Adds one note as heard by one microphone whose arrival lags the nominal by
// arrivalSeconds: every partial and the envelope are evaluated at t - arrivalSeconds.
void renderNote(const Note& note, double arrivalSeconds, double sampleRateHz, std::vector<double>& out) {
    const double nyquistHz = 0.5 * sampleRateHz;
    const double offsetSeconds = note.startSeconds + arrivalSeconds;
    const double lengthSeconds = note.envelope.lengthSeconds();
    const double firstSample = std::max(0.0, std::floor(offsetSeconds * sampleRateHz));
    const double endSample =
        std::min(static_cast<double>(out.size()), std::ceil((offsetSeconds + lengthSeconds) * sampleRateHz) + 1.0);
    if (firstSample >= endSample) {
        return;
    }
    std::vector<std::complex<double>> steps;
    for (const Partial& p : note.partials) {
        steps.push_back(std::polar(1.0, 2.0 * kPi * p.frequencyHz / sampleRateHz));
    }
    std::array<double, kBlockSamples> gains{};
    for (auto blockStart = static_cast<std::size_t>(firstSample); blockStart < static_cast<std::size_t>(endSample);
         blockStart += kBlockSamples) {
        const std::size_t count = std::min(kBlockSamples, out.size() - blockStart);
        const double blockSeconds = static_cast<double>(blockStart) / sampleRateHz - offsetSeconds;
        for (std::size_t i = 0; i < count; ++i) {
            gains[i] = note.envelope.at(static_cast<double>(blockStart + i) / sampleRateHz - offsetSeconds);
        }
        for (std::size_t j = 0; j < note.partials.size(); ++j) {
            const Partial& p = note.partials[j];
            if (p.frequencyHz >= nyquistHz) {
                continue;
            }
            // Only the fractional cycles matter; dropping the whole ones keeps the
            // phase accurate however long the scene.
            const double cycles = p.frequencyHz * blockSeconds;
            const std::complex<double> start =
                std::polar(p.amplitude, 2.0 * kPi * (cycles - std::floor(cycles)) + p.phaseRadians);
            double re = start.real();
            double im = start.imag();
            // Written out: std::complex's product checks every result for NaN.
            const double stepRe = steps[j].real();
            const double stepIm = steps[j].imag();
            for (std::size_t i = 0; i < count; ++i) {
                out[blockStart + i] += gains[i] * im;
                const double nextRe = re * stepRe - im * stepIm;
                im = re * stepIm + im * stepRe;
                re = nextRe;
            }
        }
    }
}

}  // namespace

StereoRecording synthesiseSpacedPairScene(double sampleRateHz, double seconds, double spacingCm) {
    if (!(sampleRateHz > 0.0) || !std::isfinite(sampleRateHz) || !(seconds >= 0.0) || !std::isfinite(seconds) ||
        !(spacingCm >= 0.0) || !std::isfinite(spacingCm)) {
        throw std::invalid_argument("the scene needs a positive rate, a duration and a spacing of zero or more");
    }
    const auto sampleCount = static_cast<std::size_t>(std::llround(seconds * sampleRateHz));
    std::vector<double> left(sampleCount, 0.0);
    std::vector<double> right(sampleCount, 0.0);

    StereoRecording recording;
    recording.sampleRateHz = sampleRateHz;
    for (const Source& source :
         {roomRumble(seconds), bassLine(seconds), lowVoice(seconds), piano(seconds), shimmer(seconds)}) {
        // A plane wave from the right reaches the right microphone first, earlier by
        // spacing sin(angle) / c; the two channels share the delay half each way.
        // (0 - x rather than -x, so a centred source's delay is +0, not -0.)
        const double delaySeconds =
            0.0 - spacingCm / 100.0 * std::sin(source.angleDegrees * kPi / 180.0) / kSpeedOfSoundMetresPerSecond;
        recording.sources.push_back({source.name, source.angleDegrees, delaySeconds * sampleRateHz});
        for (const Note& note : source.notes) {
            renderNote(note, -0.5 * delaySeconds, sampleRateHz, left);
            renderNote(note, 0.5 * delaySeconds, sampleRateHz, right);
        }
    }

    double peak = 0.0;
    for (std::size_t i = 0; i < sampleCount; ++i) {
        peak = std::max({peak, std::abs(left[i]), std::abs(right[i])});
    }
    const double scale = peak > 0.0 ? std::pow(10.0, kPeakLevelDb / 20.0) / peak : 0.0;
    recording.left.resize(sampleCount);
    recording.right.resize(sampleCount);
    for (std::size_t i = 0; i < sampleCount; ++i) {
        recording.left[i] = static_cast<float>(left[i] * scale);
        recording.right[i] = static_cast<float>(right[i] * scale);
    }
    return recording;
}
