// What the window tells its tests through extension_data, beside what it draws: the
// band table as the tool prints it, and a control's value as the window holds it.
// No host asks for it.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr const char* kBrevanderUiProbeUri = "urn:brevander:shuffler#uiProbe";

struct BrevanderUiProbe {
    // Writes the table into `text` (at most `capacity` bytes, ended by a 0) and answers its length.
    std::size_t (*bandTable)(void* handle, char* text, std::size_t capacity);
    float (*controlValue)(void* handle, std::uint32_t port);
};
