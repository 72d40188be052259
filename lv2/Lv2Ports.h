// The LV2 plug-in's ports and how a control port's value becomes the core's
// stored value. The port indices, symbols and ranges are fixed for good: hosts
// save them in their sessions. Brevander.ttl.in describes the same ports.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "ParameterTable.h"

enum Lv2Port : std::uint32_t {
    kPortInLeft = 0,
    kPortInRight = 1,
    kPortOutLeft = 2,
    kPortOutRight = 3,
    // The seven controls follow in parameter order: port kFirstControlPort + i is parameter i.
    kFirstControlPort = 4,
    // The window's two atom ports (Lv2Monitor.h), both optional: its messages in, the
    // monitored audio out.
    kPortControl = kFirstControlPort + kNumParams,
    kPortNotify = kPortControl + 1,
    kNumPorts = kPortNotify + 1,
};

// The gain port's default in dB: the float whose conversion below gives exactly the
// VST 2 default, 0.83f. Brevander.ttl.in writes it with nine significant digits, which
// read back as this float.
inline constexpr float kMidBassCutGainDefaultDb = -1.61843836f;

// A gain port's dB as the core's linear gain: computed in double precision, rounded once.
inline float linearGainFromDecibels(float decibels) {
    return static_cast<float>(std::pow(10.0, static_cast<double>(decibels) / 20.0));
}

// What a control port holds, as the core stores it: every value in its own unit as it
// is, the gain converted from dB.
inline float storedFromPortValue(ParameterIndex index, float portValue) {
    return index == kMidBassCutGain ? linearGainFromDecibels(portValue) : portValue;
}

// Each control port's default, in the port's unit.
inline float portDefault(ParameterIndex index) {
    return index == kMidBassCutGain ? kMidBassCutGainDefaultDb
                                    : static_cast<float>(kParameterTable[static_cast<std::size_t>(index)].defaultValue);
}
