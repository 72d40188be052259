// Stereo 32-bit float WAV files, written and read through libsndfile with the
// sample bits untouched (no normalisation, no clipping).
#pragma once

#include <cstdint>
#include <string>

#include "TestSignal.h"

struct FloatWav {
    StereoSignal signal;
    std::uint32_t rateHz = 0;
};

// Throws std::runtime_error when the file can't be written.
void writeFloatWav(const std::string& path, const StereoSignal& signal, std::uint32_t rateHz);
// Throws std::runtime_error when the file can't be read or isn't a stereo float WAV.
FloatWav readFloatWav(const std::string& path);
