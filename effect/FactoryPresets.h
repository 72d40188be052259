// Brevander's factory presets: settings for common microphone pairs. Every binding
// reads them from here: the LV2 bundle lists them, the tool's `render --preset` and
// the web page offer them. The VST 2 file keeps its one program.
//
// A preset sets the spacing and the width; every other parameter takes its default,
// through the same path the binding uses for its defaults, so that a preset gives the
// same bits in every format. Spacing: 1 to 51 cm; width: 0 to 200 %.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "ParameterTable.h"

struct FactoryPreset {
    const char* id;    // for the command line and URIs: lower case, digits and '-'
    const char* name;  // as a host or the page lists it
    double micSpacingCm;
    double lfWidthPercent;
};

// The difference's corner, width / 100 * 342 m/s / (spacing * pi) / (2 pi), is 102 Hz
// for the 17 cm pair and 58 Hz for the 30 cm one. The spaced pairs' widths keep it
// near 50 Hz (52 and 48 Hz) rather than letting it fall to 35 Hz, so that their bass,
// already wide from the spacing, is not spread further.
inline constexpr std::array<FactoryPreset, 4> kFactoryPresets = {{
    {"near-coincident-17cm", "Near-coincident pair, 17 cm", 17.0, 100.0},
    {"near-coincident-30cm", "Near-coincident pair, 30 cm", 30.0, 100.0},
    {"spaced-pair-40cm", "Spaced pair, 40 cm", 40.0, 120.0},
    {"spaced-pair-50cm", "Spaced pair, 50 cm", 50.0, 140.0},
}};

// The value the preset gives parameter `index`, in the unit a user types: true for
// the spacing and the width, false, `value` untouched, for one it leaves at its default.
inline bool presetUnitValue(const FactoryPreset& preset, ParameterIndex index, double& value) {
    if (index == kMicSpacing || index == kLfWidth) {
        value = index == kMicSpacing ? preset.micSpacingCm : preset.lfWidthPercent;
        return true;
    }
    return false;
}

// The preset with this id, or null.
inline const FactoryPreset* findFactoryPreset(std::string_view id) {
    for (const FactoryPreset& preset : kFactoryPresets) {
        if (id == preset.id) {
            return &preset;
        }
    }
    return nullptr;
}
