// The LV2 plug-in's ports, what LV2 says of them beyond the parameter table, and
// how a control port's value becomes the core's stored value. The port indices,
// symbols and ranges are fixed for good: hosts save them in their sessions. The
// bundle's description is written from here and the parameter table at build
// time (Lv2TtlWriter.cpp).
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include <lv2/units/units.h>

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
// VST 2 default, 0.83f. The description writes it with nine significant digits, which
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

// The audio and atom ports' symbols and names, by index.
struct Lv2StreamPortInfo {
    Lv2Port index;
    const char* symbol;
    const char* name;
};

inline constexpr std::array<Lv2StreamPortInfo, 6> kLv2StreamPorts = {{
    {kPortInLeft, "in_left", "Left In"},
    {kPortInRight, "in_right", "Right In"},
    {kPortOutLeft, "out_left", "Left Out"},
    {kPortOutRight, "out_right", "Right Out"},
    {kPortControl, "control", "Window Messages"},
    {kPortNotify, "notify", "Monitored Audio"},
}};

// What LV2 says of a control port that the parameter table doesn't: its symbol, the
// unit's URI (none for a switch, which is toggled and integer instead) and whether a
// host should draw it on a log scale. The name, range and default come from the table.
struct Lv2ControlPortInfo {
    const char* symbol;
    const char* unitUri;
    bool logarithmic;
};

// In parameter order: entry i is port kFirstControlPort + i.
inline constexpr std::array<Lv2ControlPortInfo, kNumParams> kLv2ControlPortInfo = {{
    {"enable_dif_vlf", nullptr, false},
    {"vlf_cutoff", LV2_UNITS__hz, true},
    {"lf_width", LV2_UNITS__pc, false},
    {"mic_spacing", LV2_UNITS__cm, false},
    {"enable_sum_shelf", nullptr, false},
    {"mid_bass_cut_gain", LV2_UNITS__db, false},
    {"mid_bass_cut_fc", LV2_UNITS__hz, true},
}};
