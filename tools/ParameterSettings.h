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
// their kind, so the last one naming a parameter wins. The command line puts a
// preset first, so that the others apply on top of it wherever they were typed.
enum class SettingKind {
    inUnit,      // --set NAME=VALUE
    normalised,  // --param INDEX=X
    preset,      // --preset ID: a factory preset's spacing and width
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

// The factory preset with this id; throws ToolError (exit status 2) naming every
// id for one that is not a preset's.
struct FactoryPreset;
const FactoryPreset& factoryPreset(const std::string& id);

// Every setting parsed, in order; a preset gives its spacing and its width, mapped
// as --set maps them, and leaves the rest as they are, the defaults of a fresh
// instance. A plug-in without parameters refuses any setting with "`pluginName`
// has no parameters". Throws ToolError (exit status 2).
std::vector<ParameterAssignment> parseSettings(const std::vector<ParameterSetting>& settings,
                                               const ParameterCatalogue& catalogue, const std::string& pluginName);

void applySettings(PluginInstance& effect, const std::vector<ParameterAssignment>& assignments);

// One setting as the user typed it: "Mic Spacing=30", "param 2=0.5", "preset ID".
std::string describeSetting(const ParameterSetting& setting);
// The settings as the user typed them, for a title: "Mic Spacing=30, param 2=0.5",
// or "default settings".
std::string describeSettings(const std::vector<ParameterSetting>& settings);

// Brevander's value of a parameter in its unit, "18 cm", "-1.6 dB", "on"; and the
// range "1 to 51 cm". For a plug-in without units: the normalised value, "0 to 1".
std::string valueInUnit(const ParameterCatalogue& catalogue, VstInt32 index, float normalised);
std::string rangeInUnit(const ParameterCatalogue& catalogue, VstInt32 index);
