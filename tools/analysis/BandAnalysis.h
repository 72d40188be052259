// Energy of the sum (L+R)/sqrt2 and the difference (L-R)/sqrt2 of a stereo signal
// in octave bands, for showing what the effect does to the width band by band.
#pragma once

#include <vector>

struct OctaveBand {
    double centreHz;            // nominal centre: 31.5, 63, 125, ... 16000
    double sumEnergy;           // energy (sum of squared samples) of the sum within the band
    double difEnergy;           // energy (sum of squared samples) of the difference within the band
    double difToSumDb() const;  // 10 log10(difEnergy / sumEnergy); -200 when either is zero
};

// Bands from 31.5 Hz up to the highest octave, at most 16 kHz, whose upper edge is below
// the Nyquist frequency: the rate alone decides the list, which empty channels get with
// zero energies. The energies come from Welch-averaged Hann-windowed spectra, so they
// are estimates for a signal whose content changes. Throws std::invalid_argument when
// the channels differ in length or the rate is not positive.
std::vector<OctaveBand> octaveBandEnergies(const std::vector<float>& left, const std::vector<float>& right,
                                           double sampleRateHz);
