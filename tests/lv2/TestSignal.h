// The stereo input every LV2 test renders: two seconds at the rate asked for, with
// impulses in each channel, quiet and full-scale noise, near-mono noise, a loud
// differential part far past full scale and a silent tail for the filters to ring
// out in. Drawn from SeededNoise, so every run and platform gets the same samples.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct StereoSignal {
    std::vector<float> left;
    std::vector<float> right;

    std::size_t frames() const { return left.size(); }
};

inline constexpr std::uint32_t kTestSignalSeconds = 2;

StereoSignal makeTestSignal(std::uint32_t rateHz);

// The first frame where two signals differ in the bits of either channel, or
// frames() when they are identical (signals of different lengths differ at the
// end of the shorter one).
std::size_t firstDifference(const StereoSignal& a, const StereoSignal& b);
