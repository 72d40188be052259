#include "ParameterSettings.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "FactoryPresets.h"
#include "FourCharCode.h"
#include "ParameterTable.h"
#include "PluginInstance.h"
#include "ToolError.h"

namespace {

std::string trimmed(const std::string& text) {
    std::size_t from = 0;
    std::size_t to = text.size();
    while (from < to && std::isspace(static_cast<unsigned char>(text[from]))) {
        ++from;
    }
    while (to > from && std::isspace(static_cast<unsigned char>(text[to - 1]))) {
        --to;
    }
    return text.substr(from, to - from);
}

std::string lowercase(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

bool parseNumber(const std::string& text, double& value) {
    if (text.empty()) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && end == text.c_str() + text.size() && std::isfinite(value);
}

bool parseIndex(const std::string& text, std::size_t count, VstInt32& index) {
    if (text.empty() || text.size() > 4) {
        return false;
    }
    for (const char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value < 0 || static_cast<std::size_t>(value) >= count) {
        return false;
    }
    index = static_cast<VstInt32>(value);
    return true;
}

std::string validNames(const ParameterCatalogue& catalogue) {
    std::string list;
    for (std::size_t i = 0; i < catalogue.names.size(); ++i) {
        list += (i == 0 ? "" : ", ") + std::string("\"") + catalogue.names[i] + "\"";
    }
    return list;
}

void splitAssignment(const std::string& text, const char* option, std::string& key, std::string& value) {
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos) {
        throw ToolError(std::string(option) + " expects NAME=VALUE, got '" + text + "'", 2);
    }
    key = trimmed(text.substr(0, equals));
    value = trimmed(text.substr(equals + 1));
}

// "the indices 0 to 6"; a catalogue without parameters has no range to name.
std::string indexRange(const ParameterCatalogue& catalogue) {
    return "0 to " + std::to_string(catalogue.names.size() - 1);
}

void requireParameters(const ParameterCatalogue& catalogue, const std::string& pluginName) {
    if (catalogue.names.empty()) {
        throw ToolError(pluginName + " has no parameters", 2);
    }
}

VstInt32 findParameter(const std::string& key, const ParameterCatalogue& catalogue) {
    requireParameters(catalogue, "the plug-in");
    VstInt32 index = 0;
    if (parseIndex(key, catalogue.names.size(), index)) {
        return index;
    }
    for (std::size_t i = 0; i < catalogue.names.size(); ++i) {
        if (lowercase(catalogue.names[i]) == lowercase(key)) {
            return static_cast<VstInt32>(i);
        }
    }
    throw ToolError("unknown parameter '" + key + "'; the parameters are " + validNames(catalogue) +
                        " (or their indices " + indexRange(catalogue) + ")",
                    2);
}

// A trailing unit ("18cm", "18 cm", "-1.6 dB") is allowed as long as it is the
// parameter's own.
std::string withoutUnit(const std::string& value, const ParameterInfo& info) {
    const std::string unit = info.unit;
    if (unit.empty() || value.size() < unit.size()) {
        return value;
    }
    const std::string tail = value.substr(value.size() - unit.size());
    return lowercase(tail) == lowercase(unit) ? trimmed(value.substr(0, value.size() - unit.size())) : value;
}

std::string number(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

}  // namespace

ParameterCatalogue ParameterCatalogue::of(PluginInstance& effect) {
    ParameterCatalogue catalogue{{}, false};
    const AEffect& record = effect.record();
    for (VstInt32 index = 0; index < record.numParams; ++index) {
        catalogue.names.push_back(trimmed(effect.parameterName(index)));
    }
    catalogue.hasUnits = record.uniqueID == fourCharCode('B', 'r', 'v', 'd') && record.numParams == kNumParams;
    return catalogue;
}

ParameterAssignment parseSetting(const std::string& text, const ParameterCatalogue& catalogue) {
    std::string key;
    std::string value;
    splitAssignment(text, "--set", key, value);
    const VstInt32 index = findParameter(key, catalogue);
    if (!catalogue.hasUnits) {
        throw ToolError("--set needs to know the parameters' units, which only Brevander's own file has; use --param " +
                            std::to_string(index) + "=X with a normalised value from 0 to 1",
                        2);
    }
    const ParameterInfo& info = kParameterTable[static_cast<std::size_t>(index)];
    const std::string name = catalogue.names[static_cast<std::size_t>(index)];

    if (isSwitch(info)) {
        const std::string word = lowercase(value);
        if (word == "on" || word == "true" || word == "yes" || word == "1") {
            return {index, 1.0f};
        }
        if (word == "off" || word == "false" || word == "no" || word == "0") {
            return {index, 0.0f};
        }
        throw ToolError("\"" + name + "\" is a switch: give on or off, not '" + value + "'", 2);
    }

    double amount = 0.0;
    if (!parseNumber(withoutUnit(value, info), amount)) {
        throw ToolError("\"" + name + "\" needs a number in " + info.unit + ", not '" + value + "'", 2);
    }
    float normalised = 0.0f;
    if (!normalisedFromUnitValue(info, amount, normalised)) {
        throw ToolError("\"" + name + "\" = " + value + " is out of range: " + rangeInUnit(catalogue, index), 2);
    }
    return {index, normalised};
}

ParameterAssignment parseNormalisedSetting(const std::string& text, const ParameterCatalogue& catalogue) {
    std::string key;
    std::string value;
    splitAssignment(text, "--param", key, value);
    requireParameters(catalogue, "the plug-in");
    VstInt32 index = 0;
    if (!parseIndex(key, catalogue.names.size(), index)) {
        throw ToolError("--param needs an index from " + indexRange(catalogue) + ", got '" + key + "'", 2);
    }
    double amount = 0.0;
    if (!parseNumber(value, amount) || amount < 0.0 || amount > 1.0) {
        throw ToolError("--param " + key + " needs a normalised value from 0 to 1, got '" + value + "'", 2);
    }
    return {index, static_cast<float>(amount)};
}

const FactoryPreset& factoryPreset(const std::string& id) {
    if (const FactoryPreset* preset = findFactoryPreset(id)) {
        return *preset;
    }
    std::string ids;
    for (const FactoryPreset& preset : kFactoryPresets) {
        ids += (ids.empty() ? "" : ", ") + std::string(preset.id);
    }
    throw ToolError("unknown preset '" + id + "'; the presets are " + ids, 2);
}

std::vector<ParameterAssignment> parseSettings(const std::vector<ParameterSetting>& settings,
                                               const ParameterCatalogue& catalogue, const std::string& pluginName) {
    std::vector<ParameterAssignment> assignments;
    for (const ParameterSetting& s : settings) {
        requireParameters(catalogue, pluginName);
        if (s.kind == SettingKind::preset) {
            const FactoryPreset& preset = factoryPreset(s.text);
            if (!catalogue.hasUnits) {
                throw ToolError("--preset sets values in the parameters' units, which only Brevander's own file has",
                                2);
            }
            for (int parameter = 0; parameter < kNumParams; ++parameter) {
                const auto index = static_cast<ParameterIndex>(parameter);
                double amount = 0.0;
                if (!presetUnitValue(preset, index, amount)) {
                    continue;
                }
                float normalised = 0.0f;
                if (!normalisedFromUnitValue(kParameterTable[index], amount, normalised)) {
                    throw ToolError("preset " + s.text + " is out of its parameters' ranges", 1);
                }
                assignments.push_back({index, normalised});
            }
        } else {
            assignments.push_back(s.kind == SettingKind::inUnit ? parseSetting(s.text, catalogue)
                                                                : parseNormalisedSetting(s.text, catalogue));
        }
    }
    return assignments;
}

void applySettings(PluginInstance& effect, const std::vector<ParameterAssignment>& assignments) {
    for (const ParameterAssignment& a : assignments) {
        effect.setParameter(a.index, a.normalised);
    }
}

std::string valueInUnit(const ParameterCatalogue& catalogue, VstInt32 index, float normalised) {
    if (!catalogue.hasUnits) {
        return number(normalised, 4);
    }
    const ParameterInfo& info = kParameterTable[static_cast<std::size_t>(index)];
    const float stored = toStored(info, normalised);
    switch (info.display) {
        case ParameterDisplay::onOff:
            return stored > 0.5f ? "on" : "off";
        case ParameterDisplay::decibels:
            return stored > 0.0f ? number(decibelsOfGain(stored), 2) + " dB" : "-inf dB";
        case ParameterDisplay::number:
            break;
    }
    return number(stored, 2) + " " + info.unit;
}

std::string rangeInUnit(const ParameterCatalogue& catalogue, VstInt32 index) {
    if (!catalogue.hasUnits) {
        return "0 to 1";
    }
    const ParameterInfo& info = kParameterTable[static_cast<std::size_t>(index)];
    switch (info.display) {
        case ParameterDisplay::onOff:
            return "off or on";
        case ParameterDisplay::decibels:
            return number(decibelsOfGain(info.minimum), 2) + " to +" +
                   number(decibelsOfGain(info.minimum + info.span), 2) + " dB";
        case ParameterDisplay::number:
            break;
    }
    return number(info.minimum, 0) + " to " + number(info.minimum + info.span, 0) + " " + info.unit;
}

std::string describeSetting(const ParameterSetting& setting) {
    switch (setting.kind) {
        case SettingKind::normalised:
            return "param " + setting.text;
        case SettingKind::preset:
            return "preset " + setting.text;
        case SettingKind::inUnit:
            break;
    }
    return setting.text;
}

std::string describeSettings(const std::vector<ParameterSetting>& settings) {
    std::string title;
    for (const ParameterSetting& s : settings) {
        title += (title.empty() ? "" : ", ") + describeSetting(s);
    }
    return title.empty() ? "default settings" : title;
}
