// A block of stereo samples, for driving an effect in the tests.
#pragma once

#include <cstddef>
#include <vector>

struct StereoBlock {
    std::vector<float> left;
    std::vector<float> right;

    explicit StereoBlock(std::size_t frames, float fill = 0.0f) : left(frames, fill), right(frames, fill) {}
    std::size_t frames() const { return left.size(); }
    bool operator==(const StereoBlock&) const = default;
};
