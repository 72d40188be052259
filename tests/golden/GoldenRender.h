// The fixed render every build must reproduce to the byte: processed by the loaded
// plug-in file, first one long input through a few hand-picked settings at two
// sample rates, then many short inputs, each through a seeded random setting of all
// seven parameters at one of the rates users use, so that a design one ulp off
// anywhere in the parameter space shows up. The Linux build wrote the checked-in
// copy (golden/render.f32).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "PluginLibrary.h"

namespace golden {

// The hand-picked cases come first, then the random ones. A design fault that
// alters one design in several hundred needs thousands of settings to be seen.
inline constexpr std::size_t kFramesPerFixedCase = 2560;
inline constexpr std::size_t kRandomCases = 3000;
inline constexpr std::size_t kFramesPerRandomCase = 16;

std::size_t caseCount();
std::size_t caseFrames(std::size_t index);
// What the case sets and at which rate, to name it in a mismatch.
std::string caseName(std::size_t index);

// Everything a render needs, for a binding driven from outside C++ (the web
// module under node or a browser): a JSON object with "blockFrames" (the block
// sizes cycled through), "fixedInput" and "randomInput" (each {"left", "right"}),
// and "cases", each {"name", "rateHz", "input": "fixed" or "random", "normalised":
// seven values or null for a value left at its default}. Floats are written with
// nine significant digits, which read back as the same floats.
std::string casesJson();

// The render as little-endian IEEE single-precision samples, interleaved left and
// right, case after case.
std::vector<std::uint8_t> render(const PluginLibrary& library);

// The checked-in render; empty when the file can't be read.
std::vector<std::uint8_t> readFile(const std::string& path);
bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace golden
