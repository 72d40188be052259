// Brevander's seven parameters: their names, unit labels, ranges, defaults and
// slider steps, and the mapping between the host's normalised values and the values
// the effect works with. Every binding and the web page read them from here.
//
// A continuous parameter maps x to minimum + span * x in double precision, rounded
// once to single precision, and back by (value - minimum) / span. A switch keeps x
// as it came and is on above 0.5. Values outside [0, 1] map by the same rule.
#pragma once

#include <array>
#include <cmath>
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
    double step;          // a slider's step in the unit a user types (a switch's: 1)
};

inline constexpr std::array<ParameterInfo, kNumParams> kParameterTable = {{
    {"Enable Dif VLF Filter", " on//off ", "", ParameterDisplay::onOff, 0.0, 1.0, 1.0, 1.0},
    {"VLF Cut-Off", "    Hz   ", "Hz", ParameterDisplay::number, 10.0, 100.0, 20.0, 0.1},
    {"LF Width", "    %    ", "%", ParameterDisplay::number, 0.0, 200.0, 100.0, 0.1},
    {"Mic Spacing", "    cm   ", "cm", ParameterDisplay::number, 1.0, 50.0, 18.0, 0.1},
    {"Enable Sum LF Shelf", " on//off ", "", ParameterDisplay::onOff, 0.0, 1.0, 1.0, 1.0},
    // The gain's step is the resolution its display shows.
    {"Mid Bass Cut Gain ", "    dB   ", "dB", ParameterDisplay::decibels, 0.5, 1.5, static_cast<double>(0.83f), 0.01},
    {"Mid Bass Cut Fc", "    Hz   ", "Hz", ParameterDisplay::number, 10.0, 190.0, 80.0, 0.1},
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

inline double decibelsOfGain(double gain) { return 20.0 * std::log10(gain); }

// A stored value in the unit a user reads: the gain in dB, anything else as it is.
inline double unitValueOf(const ParameterInfo& info, double stored) {
    return info.display == ParameterDisplay::decibels ? decibelsOfGain(stored) : stored;
}

inline double unitDefault(const ParameterInfo& info) { return unitValueOf(info, info.defaultValue); }

// A range's end in the unit a user reads. The gain's ends in dB are rounded to its
// step, counted in whole steps and divided by the steps per dB so that an end reads
// as the decimal it is (6.02, not 6.0200000000000005).
inline double unitEnd(const ParameterInfo& info, double stored) {
    if (info.display != ParameterDisplay::decibels) {
        return stored;
    }
    return std::round(decibelsOfGain(stored) / info.step) / std::round(1.0 / info.step);
}
inline double unitMinimum(const ParameterInfo& info) { return unitEnd(info, info.minimum); }
inline double unitMaximum(const ParameterInfo& info) { return unitEnd(info, info.minimum + info.span); }

// The normalised value a host sends for `amount` given in the unit a user reads (dB
// for the gain; a switch's raw value, 0 to 1). The gain's range in dB is that of the
// linear gains to its step (the 0.01 dB the display shows), and a value within half
// a step of an end is that end. False, with `normalised` untouched, for a value
// outside the range or not finite. The tool's --set and the web page both map
// through this, so a page's setting and the command line it shows give the same bits.
inline bool normalisedFromUnitValue(const ParameterInfo& info, double amount, float& normalised) {
    if (!std::isfinite(amount)) {
        return false;
    }
    double stored = amount;
    if (info.display == ParameterDisplay::decibels) {
        const double halfStepDb = info.step / 2.0;
        const double lowDb = decibelsOfGain(info.minimum);
        const double highDb = decibelsOfGain(info.minimum + info.span);
        if (amount < lowDb - halfStepDb || amount > highDb + halfStepDb) {
            return false;
        }
        stored = std::fabs(amount - lowDb) <= halfStepDb    ? info.minimum
                 : std::fabs(amount - highDb) <= halfStepDb ? info.minimum + info.span
                                                            : std::pow(10.0, amount / 20.0);
    } else if (amount < info.minimum || amount > info.minimum + info.span) {
        return false;
    }
    normalised = static_cast<float>((stored - info.minimum) / info.span);
    return true;
}
