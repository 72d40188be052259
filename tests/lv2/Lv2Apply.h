// Renders a WAV file through the LV2 plug-in with lilv's command-line host,
// lv2apply, in a child process that sees only the given LV2 path.
#pragma once

#include <string>
#include <utility>
#include <vector>

// Control port settings by symbol, in the port's unit.
using Lv2Controls = std::vector<std::pair<std::string, float>>;

// The command line that starts lv2apply, before its own arguments: the build
// machine's lv2apply found on PATH, or for another processor an emulator with its
// options and the path of that processor's lv2apply.
using Lv2ApplyLauncher = std::vector<std::string>;

// Throws std::runtime_error when lv2apply can't be started or fails.
void runLv2Apply(const std::string& lv2Path, const std::string& uri, const std::string& in, const std::string& out,
                 const Lv2Controls& controls, const Lv2ApplyLauncher& launcher = {"lv2apply"});
