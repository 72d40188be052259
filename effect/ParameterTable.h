// Brevander's seven parameters: their names, unit labels and the mapping between
// the host's normalised values and the values the effect works with.
//
// A continuous parameter maps x to minimum + span * x in double precision, rounded
// once to single precision, and back by (value - minimum) / span. A switch keeps x
// as it came and is on above 0.5. Values outside [0, 1] map by the same rule.
#pragma once

#include <array>
#include <cstdint>

enum ParameterIndex : std::int32_t {
    kEnableDifVlf = 0,
    kVlfCutOff = 1,
    kLfWidth = 2,
    kMicSpacing = 3,
    kEnableSumShelf = 4,
    kMidBassCutGain = 5,
    kMidBassCutFc = 6,
    kNumParams = 7,
};

enum class ParameterDisplay {
    onOff,     // "On" above 0.5, else "Off"
    number,    // the value in its unit
    decibels,  // a linear gain shown in dB
};

struct ParameterInfo {
    const char* name;   // as the host shows it, blanks included
    const char* label;  // the unit, padded with blanks as the host shows it
    const char* unit;   // the unit a user types: "Hz", "%", "cm", "dB", or "" for a switch
    ParameterDisplay display;
    double minimum;  // in the stored unit (for the gain: linear)
    double span;
    double defaultValue;  // in the stored unit
};

inline constexpr std::array<ParameterInfo, kNumParams> kParameterTable = {{
    {"Enable Dif VLF Filter", " on//off ", "", ParameterDisplay::onOff, 0.0, 1.0, 1.0},
    {"VLF Cut-Off", "    Hz   ", "Hz", ParameterDisplay::number, 10.0, 100.0, 20.0},
    {"LF Width", "    %    ", "%", ParameterDisplay::number, 0.0, 200.0, 100.0},
    {"Mic Spacing", "    cm   ", "cm", ParameterDisplay::number, 1.0, 50.0, 18.0},
    {"Enable Sum LF Shelf", " on//off ", "", ParameterDisplay::onOff, 0.0, 1.0, 1.0},
    {"Mid Bass Cut Gain ", "    dB   ", "dB", ParameterDisplay::decibels, 0.5, 1.5, static_cast<double>(0.83f)},
    {"Mid Bass Cut Fc", "    Hz   ", "Hz", ParameterDisplay::number, 10.0, 190.0, 80.0},
}};

inline bool isSwitch(const ParameterInfo& info) { return info.display == ParameterDisplay::onOff; }

// A switch is on strictly above 0.5, compared in double precision; NaN is off.
inline bool isSwitchOn(float switchValue) { return static_cast<double>(switchValue) > 0.5; }

// The stored value for a normalised one; a switch stores it unchanged.
inline float toStored(const ParameterInfo& info, float normalised) {
    return isSwitch(info) ? normalised : static_cast<float>(info.minimum + info.span * normalised);
}

// The normalised value for a stored one; a switch reads back what it stored.
inline float toNormalised(const ParameterInfo& info, float stored) {
    return isSwitch(info) ? stored : static_cast<float>((stored - info.minimum) / info.span);
}
