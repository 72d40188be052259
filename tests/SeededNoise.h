// The tests' one source of repeatable noise: a linear congruential generator whose
// 24-bit outputs scale exactly into floats, so every platform draws the same samples.
#pragma once

#include <cstdint>

class SeededNoise {
public:
    explicit SeededNoise(std::uint32_t seed) : state_(seed) {}

    std::uint32_t next() {
        state_ = state_ * 1664525u + 1013904223u;
        return state_;
    }
    // Uniform in [0, 1), in steps of 2^-24.
    float unit() { return static_cast<float>(static_cast<double>(next() >> 8) / 16777216.0); }
    // Uniform in [-1, 1), in steps of 2^-23.
    float bipolar() { return 2.0f * unit() - 1.0f; }

private:
    std::uint32_t state_;
};
