#include "Lv2PortValues.h"

#include <cmath>
#include <limits>

namespace {

// The VST 2 parameter's stored range: the port's own, except the gain's, which the
// VST 2 side keeps as a linear gain from 0.5 to 2.
double storedMinimum(const Lv2ControlPort& port) { return port.isGainInDecibels ? 0.5 : port.minimum; }
double storedSpan(const Lv2ControlPort& port) { return port.isGainInDecibels ? 1.5 : port.maximum - port.minimum; }

}  // namespace

float linearGainOfDecibels(float decibels) {
    return static_cast<float>(std::pow(10.0, static_cast<double>(decibels) / 20.0));
}

std::optional<float> decibelsForLinearGain(float gain) {
    // Start at the nearest float to the exact dB value and try its neighbours: the
    // conversion is monotonic, so a match, if any, lies within a few steps.
    float start = static_cast<float>(20.0 * std::log10(static_cast<double>(gain)));
    for (int step = 0; step < 16; ++step) {
        start = std::nextafter(start, -std::numeric_limits<float>::infinity());
    }
    float decibels = start;
    for (int step = 0; step < 33; ++step) {
        if (linearGainOfDecibels(decibels) == gain) {
            return decibels;
        }
        decibels = std::nextafter(decibels, std::numeric_limits<float>::infinity());
    }
    return std::nullopt;
}

float storedOfNormalised(const Lv2ControlPort& port, float normalised) {
    if (port.isSwitch) {
        return normalised;
    }
    return static_cast<float>(storedMinimum(port) + storedSpan(port) * static_cast<double>(normalised));
}

std::optional<float> portValueOfNormalised(const Lv2ControlPort& port, float normalised) {
    const float stored = storedOfNormalised(port, normalised);
    return port.isGainInDecibels ? decibelsForLinearGain(stored) : std::optional<float>(stored);
}

std::optional<float> normalisedForStored(const Lv2ControlPort& port, float stored) {
    if (port.isSwitch) {
        return stored;
    }
    // The mapping is monotonic in x; look on both sides of the nearest candidate.
    float x = static_cast<float>((static_cast<double>(stored) - storedMinimum(port)) / storedSpan(port));
    for (int step = 0; step < 16; ++step) {
        x = std::nextafter(x, -std::numeric_limits<float>::infinity());
    }
    for (int step = 0; step < 33; ++step) {
        if (storedOfNormalised(port, x) == stored) {
            return x;
        }
        x = std::nextafter(x, std::numeric_limits<float>::infinity());
    }
    return std::nullopt;
}
