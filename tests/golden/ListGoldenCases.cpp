// Writes the golden render's cases and inputs as JSON (see golden::casesJson), so
// that the web module's tests render the very same cases; and, given a second
// file, the plug-in file's effGetParamDisplay answers over a sweep of each
// parameter's normalised range, which the module's texts must equal; given a third,
// the factory presets, which the module's list must equal:
//   brevander_golden_cases OUT [DISPLAYS_OUT [PRESETS_OUT]]
// DISPLAYS_OUT is a JSON list of {"index", "normalised", "text"}; PRESETS_OUT one of
// {"id", "name", "values"}, the values in the parameters' order in their units, null
// for a parameter the preset leaves at its default.
#include <cstdio>
#include <exception>
#include <fstream>
#include <sstream>

#include "FactoryPresets.h"
#include "GoldenRender.h"
#include "ParameterTable.h"
#include "PluginInstance.h"

namespace {
constexpr int kSweepSteps = 200;

std::string displaysJson() {
    const PluginLibrary library(defaultPluginPath());
    Host host;
    PluginInstance effect(library, host);
    std::ostringstream json;
    json << "[";
    for (VstInt32 index = 0; index < effect.record().numParams; ++index) {
        for (int step = 0; step <= kSweepSteps; ++step) {
            const float normalised = static_cast<float>(static_cast<double>(step) / kSweepSteps);
            effect.setParameter(index, normalised);
            char value[32];
            std::snprintf(value, sizeof value, "%.9g", static_cast<double>(normalised));
            json << (index == 0 && step == 0 ? "\n" : ",\n") << "{\"index\": " << index << ", \"normalised\": " << value
                 << ", \"text\": \"" << effect.parameterDisplay(index) << "\"}";
        }
    }
    json << "\n]\n";
    return json.str();
}

std::string presetsJson() {
    std::ostringstream json;
    json.precision(17);
    json << "[";
    for (const FactoryPreset& preset : kFactoryPresets) {
        json << (&preset == kFactoryPresets.data() ? "\n" : ",\n") << "{\"id\": \"" << preset.id << "\", \"name\": \""
             << preset.name << "\", \"values\": [";
        for (int index = 0; index < kNumParams; ++index) {
            json << (index == 0 ? "" : ", ");
            double value = 0.0;
            if (presetUnitValue(preset, static_cast<ParameterIndex>(index), value)) {
                json << value;
            } else {
                json << "null";
            }
        }
        json << "]}";
    }
    json << "\n]\n";
    return json.str();
}

bool write(const char* path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) {
        std::fprintf(stderr, "cannot write %s\n", path);
        return false;
    }
    return true;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: %s OUT [DISPLAYS_OUT [PRESETS_OUT]]\n", argv[0]);
        return 2;
    }
    if (!write(argv[1], golden::casesJson())) {
        return 1;
    }
    try {
        return (argc < 3 || write(argv[2], displaysJson())) && (argc < 4 || write(argv[3], presetsJson())) ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
