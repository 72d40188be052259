// Parameter settings from the command line, mapped to the normalised values a host
// sends. `--set NAME=VALUE` takes a name (any case) or an index, and a value in the
// parameter's own unit; `--param INDEX=X` takes a normalised value directly.
#pragma once

#include <string>
#include <vector>

#include "AEffect.h"

class PluginInstance;

struct ParameterAssignment {
    VstInt32 index;
    float normalised;
};

// One setting as the user typed it. Settings apply in the order given, whatever
// their kind, so the last one naming a parameter wins.
enum class SettingKind {
    inUnit,      // --set NAME=VALUE
    normalised,  // --param INDEX=X
};
struct ParameterSetting {
    SettingKind kind;
    std::string text;
};

// The parameters of a loaded plug-in, as the tool sees them.
struct ParameterCatalogue {
    std::vector<std::string> names;  // as the plug-in reports them, surrounding blanks removed
    bool hasUnits;                   // true for Brevander: its table maps user units

    static ParameterCatalogue of(PluginInstance& effect);
};

// Throws ToolError (exit status 2) for an unknown name or index, a value that is
// not a number or a switch word, or a value outside the parameter's range.
ParameterAssignment parseSetting(const std::string& text, const ParameterCatalogue& catalogue);
ParameterAssignment parseNormalisedSetting(const std::string& text, const ParameterCatalogue& catalogue);

// Every setting parsed, in order. A plug-in without parameters refuses any setting
// with "`pluginName` has no parameters". Throws ToolError (exit status 2).
std::vector<ParameterAssignment> parseSettings(const std::vector<ParameterSetting>& settings,
                                               const ParameterCatalogue& catalogue, const std::string& pluginName);

void applySettings(PluginInstance& effect, const std::vector<ParameterAssignment>& assignments);

// The settings as the user typed them, for a title: "Mic Spacing=30, param 2=0.5",
// or "default settings".
std::string describeSettings(const std::vector<ParameterSetting>& settings);

// Brevander's value of a parameter in its unit, "18 cm", "-1.6 dB", "on"; and the
// range "1 to 51 cm". For a plug-in without units: the normalised value, "0 to 1".
std::string valueInUnit(const ParameterCatalogue& catalogue, VstInt32 index, float normalised);
std::string rangeInUnit(const ParameterCatalogue& catalogue, VstInt32 index);
