// The LV2 plug-in's ports as users and hosts see them, written down here from the
// published port table rather than read from the plug-in, so that the tests check
// the plug-in against it.
#pragma once

#include <array>
#include <cstdint>

inline constexpr const char* kLv2PluginUri = "urn:brevander:shuffler";

struct Lv2ControlPort {
    std::uint32_t index;
    const char* symbol;
    const char* name;
    double minimum;  // in the port's unit
    double maximum;
    bool isSwitch;
    bool isGainInDecibels;
};

inline constexpr std::uint32_t kLv2InLeft = 0;
inline constexpr std::uint32_t kLv2InRight = 1;
inline constexpr std::uint32_t kLv2OutLeft = 2;
inline constexpr std::uint32_t kLv2OutRight = 3;
inline constexpr std::uint32_t kLv2Control = 11;  // the window's messages: an atom sequence in
inline constexpr std::uint32_t kLv2Notify = 12;   // the monitored audio: an atom sequence out
inline constexpr std::uint32_t kLv2PortCount = 13;

// In the order of the VST 2 parameters: control port i + 4 is parameter i.
inline constexpr std::array<Lv2ControlPort, 7> kLv2ControlPorts = {{
    {4, "enable_dif_vlf", "Enable Dif VLF Filter", 0.0, 1.0, true, false},
    {5, "vlf_cutoff", "VLF Cut-Off", 10.0, 110.0, false, false},
    {6, "lf_width", "LF Width", 0.0, 200.0, false, false},
    {7, "mic_spacing", "Mic Spacing", 1.0, 51.0, false, false},
    {8, "enable_sum_shelf", "Enable Sum LF Shelf", 0.0, 1.0, true, false},
    {9, "mid_bass_cut_gain", "Mid Bass Cut Gain", -6.02, 6.02, false, true},
    {10, "mid_bass_cut_fc", "Mid Bass Cut Fc", 10.0, 200.0, false, false},
}};
