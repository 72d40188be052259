// A block of stereo samples, for driving an effect in the tests.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "SeededNoise.h"

struct StereoBlock {
    std::vector<float> left;
    std::vector<float> right;

    explicit StereoBlock(std::size_t frames, float fill = 0.0f) : left(frames, fill), right(frames, fill) {}
    std::size_t frames() const { return left.size(); }
    bool operator==(const StereoBlock&) const = default;

    bool allFinite() const {
        for (std::size_t i = 0; i < frames(); ++i) {
            if (!std::isfinite(left[i]) || !std::isfinite(right[i])) {
                return false;
            }
        }
        return true;
    }
};

// Independent noise in [-1, 1) in each channel, the same on every platform.
inline StereoBlock noiseBlock(std::size_t frames, std::uint32_t seed) {
    SeededNoise random(seed);
    StereoBlock block(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        block.left[i] = random.bipolar();
        block.right[i] = random.bipolar();
    }
    return block;
}
