#include "TestSignal.h"

#include <algorithm>
#include <cstring>

#include "SeededNoise.h"

StereoSignal makeTestSignal(std::uint32_t rateHz) {
    const std::size_t frames = static_cast<std::size_t>(rateHz) * kTestSignalSeconds;
    StereoSignal s{std::vector<float>(frames, 0.0f), std::vector<float>(frames, 0.0f)};
    const auto at = [frames](double fraction) {
        return static_cast<std::size_t>(fraction * static_cast<double>(frames));
    };
    SeededNoise noise(1414u);

    // Impulses apart in time, so each channel's response starts on its own and the
    // low-frequency tails have room before the noise begins.
    s.left[0] = 1.0f;
    s.right[at(0.04)] = -1.0f;
    s.left[at(0.08)] = 0.5f;
    s.right[at(0.08)] = 0.5f;
    for (std::size_t i = at(0.12); i < at(0.32); ++i) {
        s.left[i] = 0.1f * noise.bipolar();
        s.right[i] = 0.1f * noise.bipolar();
    }
    for (std::size_t i = at(0.32); i < at(0.45); ++i) {
        s.left[i] = noise.bipolar();
        s.right[i] = noise.bipolar();
    }
    for (std::size_t i = at(0.45); i < at(0.65); ++i) {
        const float common = noise.bipolar();
        s.left[i] = 0.9f * common;
        s.right[i] = 0.7f * common + 0.05f * noise.bipolar();
    }
    // Four times full scale, in opposite phase: the difference carries it all.
    for (std::size_t i = at(0.65); i < at(0.8); ++i) {
        const float x = 4.0f * noise.bipolar();
        s.left[i] = x;
        s.right[i] = -x;
    }
    return s;
}

std::size_t firstDifference(const StereoSignal& a, const StereoSignal& b) {
    const std::size_t common = std::min(a.frames(), b.frames());
    for (std::size_t i = 0; i < common; ++i) {
        if (std::memcmp(&a.left[i], &b.left[i], sizeof(float)) != 0 ||
            std::memcmp(&a.right[i], &b.right[i], sizeof(float)) != 0) {
            return i;
        }
    }
    return a.frames() == b.frames() ? a.frames() : common;
}
