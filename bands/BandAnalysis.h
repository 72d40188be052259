// How wide and how correlated a stereo signal is, octave band by octave band: the
// energies of the sum (L+R)/sqrt2 and the difference (L-R)/sqrt2, their ratio and the
// inter-channel correlation, measured on a stream of blocks in bounded memory, and
// the band table's text. The tool and the web page share this code, so it needs the
// C++ library alone and never throws (the web module has no exceptions).
#pragma once

#include <complex>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Fft.h"

struct OctaveBand {
    double centreHz;           // nominal centre: 31.5, 63, 125, ... 16000
    double sumEnergy;          // energy (sum of squared samples) of the sum within the band
    double difEnergy;          // energy (sum of squared samples) of the difference within the band
    double leftEnergy = 0.0;   // of the left channel within the band
    double rightEnergy = 0.0;  // of the right channel within the band
    double crossEnergy = 0.0;  // Re sum L R* within the band, which is (sumEnergy - difEnergy) / 2
    double frames = 0.0;       // the stream's length, which turns an energy into a mean square
    // So far below the stream's loudest band that only rounding noise can live there
    // (kQuietBelowLoudestDb): its ratio and correlation would describe that noise.
    bool quiet = false;
    double difToSumDb() const;  // 10 log10(difEnergy / sumEnergy); -200 when either is zero

    // 10 log10((leftEnergy + rightEnergy) / frames): the channels' mean power, in dB
    // of a full-scale sine's, so such a sine in both channels reads 0 dBFS; -200 when
    // the band is silent in both, which levelSilent() tells.
    double levelDbfs() const;
    bool levelSilent() const { return !(leftEnergy + rightEnergy > 0.0 && frames > 0.0); }

    // A ratio of zero or infinity has no level to print: the band's difference (or
    // its sum) is silent.
    bool difToSumSilent() const { return !(difEnergy > 0.0 && sumEnergy > 0.0); }
    // Re sum L R* / sqrt(sum |L|^2 sum |R|^2), from -1 to +1; 0 when either channel
    // is silent in the band, which correlationSilent() tells.
    double correlation() const;
    bool correlationSilent() const { return !(leftEnergy > 0.0 && rightEnergy > 0.0); }
};

// A band more than this far below the loudest band of its stream reads "quiet". The
// effect's single-precision filters leave rounding noise some 100 dB below the
// loudest band (103 dB at 8 kHz for band-limited noise at any level), and the Welch
// window leaks some 115 dB: a band within 10 dB of that noise has no figure worth
// showing.
inline constexpr double kQuietBelowLoudestDb = 90.0;

// Bands from 31.5 Hz up to the highest octave, at most 16 kHz, whose upper edge is below
// the Nyquist frequency: the rate alone decides the list. None for a rate that is not
// positive and finite.
std::vector<double> octaveBandCentresHz(double sampleRateHz);

// Measures a stereo stream given in blocks of any size, keeping a frame's worth of
// history and per-frequency sums: Welch-averaged spectra of 8192-sample frames,
// half overlapped, under a Hann window moved half a sample; a last frame flush with
// the end keeps the tail, and a stream shorter than a frame is one frame of its own
// length. The answer depends on the samples alone, never on how they were split into
// blocks. The energies are estimates for a signal whose content changes; one whose
// mean square over the stream is below 1e-20 (-200 dB full scale) is taken as zero.
// One analyser holds some 480 KB, and bands() takes 230 KB more while it runs: count
// them in a fixed memory such as the web module's.
class StereoBandAnalyser {
public:
    static constexpr std::size_t kFrameSamples = 8192;

    explicit StereoBandAnalyser(double sampleRateHz);
    // False for a rate that is not positive and finite: such an analyser takes no
    // samples and gives no bands.
    bool valid() const { return valid_; }
    double sampleRateHz() const { return sampleRateHz_; }
    std::int64_t frames() const { return frames_; }

    // The next `count` frames of each channel; a null channel is read as the other
    // (a mono source, centred). NaN and infinite samples are taken as silence, so one
    // bad sample cannot spoil the whole answer. Answers false, taking nothing, when
    // the analyser is not valid or both channels are null.
    bool add(const float* left, const float* right, std::size_t count);
    // Forgets every sample added, keeping the rate.
    void reset();

    // The bands of everything added so far, with zero energies before any sample.
    // The stream may go on afterwards.
    std::vector<OctaveBand> bands() const;

private:
    void analyseFrame(std::size_t length, const std::vector<double>& window, std::vector<double> (&spectra)[5]) const;

    double sampleRateHz_;
    bool valid_;
    std::vector<double> centresHz_;
    FftPlan plan_;
    std::vector<double> window_;  // for a whole frame
    // The last kFrameSamples frames, as a ring whose oldest sample is at next_.
    std::vector<float> historyLeft_;
    std::vector<float> historyRight_;
    std::size_t next_ = 0;
    std::int64_t frames_ = 0;
    std::int64_t wholeFrames_ = 0;  // frames of kFrameSamples analysed, one every half frame
    // Per frequency bin, summed over the whole frames: |S|^2, |D|^2, |L|^2, |R|^2, Re L R*.
    std::vector<double> spectra_[5];
    mutable std::vector<std::complex<double>> frame_;  // the sum as real part, the difference as imaginary
};

// A linear effect puts nothing into a band its input leaves silent or quiet but its
// own rounding noise: marks such bands of `after` quiet too. For the bands of one
// stream before and after the effect, band by band.
void carryQuietBands(const std::vector<OctaveBand>& before, std::vector<OctaveBand>& after);

#if defined(__cpp_exceptions)
// The bands of two whole channels at once. Throws std::invalid_argument when the
// channels differ in length or the rate is not positive.
std::vector<OctaveBand> octaveBandEnergies(const std::vector<float>& left, const std::vector<float>& right,
                                           double sampleRateHz);
#endif

// The band table as `brevander analyze` and the demo print it, and the page shows it:
// per band, the level, the difference-to-sum ratio and the correlation before and
// after the effect, and the changes of the last two. A figure with nothing to measure
// reads "silent", one of a quiet band "quiet"; a change next to either reads "-".
struct BandRowText {
    std::string band;  // "31.5 Hz", "1 kHz"
    std::string levelBefore;
    std::string levelAfter;  // "-23.4 dBFS", "silent"
    std::string difToSumBefore;
    std::string difToSumAfter;
    std::string difToSumChange;  // "-12.3 dB", "silent", "-"
    std::string correlationBefore;
    std::string correlationAfter;
    std::string correlationChange;  // "+0.87", "silent", "-"
};
BandRowText bandRowText(const OctaveBand& before, const OctaveBand& after);
// The heading's two lines and one band's line, each ending in a newline.
std::string bandTableHeading();
std::string bandTableRow(const OctaveBand& before, const OctaveBand& after);
