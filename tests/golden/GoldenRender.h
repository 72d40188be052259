// The fixed render every build must reproduce to the byte: one input signal,
// processed through several parameter settings at two sample rates by the loaded
// plug-in file. The Linux build wrote the checked-in copy (golden/render.f32).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "PluginLibrary.h"

namespace golden {

// Frames of input per case, and the number of cases (settings times rates).
inline constexpr std::size_t kFramesPerCase = 2560;
std::size_t caseCount();
std::string caseName(std::size_t index);

// The render as little-endian IEEE single-precision samples, interleaved left and
// right, case after case.
std::vector<std::uint8_t> render(const PluginLibrary& library);

// The checked-in render; empty when the file can't be read.
std::vector<std::uint8_t> readFile(const std::string& path);
bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace golden
