// The arithmetic every section follows: operands are single precision, each
// expression is evaluated in double precision, and a result is rounded to single
// precision where it is stored.
#pragma once

#include <complex>

inline float single(double x) { return static_cast<float>(x); }

// Added to every stored recursive state so that, under silent input, the states
// settle at small normal values instead of decaying into the subnormal range.
inline constexpr double kStateGuard = static_cast<double>(1e-20f);

// z^-1 on the unit circle at `frequencyHz`, for the sections' exact responses.
inline std::complex<double> unitDelay(double frequencyHz, double sampleRateHz) {
    constexpr double kTwoPi = 6.283185307179586;
    return std::polar(1.0, -kTwoPi * frequencyHz / sampleRateHz);
}
