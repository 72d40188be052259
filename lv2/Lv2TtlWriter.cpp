// Writes the LV2 bundle's descriptions at build time, so that the ports, the
// window's description and the presets come from the parameter table, the port
// table and the factory presets rather than from text kept in step by hand:
//
//   brevander_lv2_ttl FOLDER MINOR MICRO MODULE-SUFFIX [--ui]
//
// writes manifest.ttl, Brevander.ttl and presets.ttl into FOLDER, and with --ui
// the window's BrevanderUi.ttl and its entries in the manifest. Each file is
// written beside its place and renamed into it. The text depends on nothing but
// the arguments: every number is formatted by std::to_chars, which rounds
// correctly on every machine, so each architecture's build writes the same bytes.
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

#include "FactoryPresets.h"
#include "Lv2Monitor.h"
#include "Lv2Ports.h"
#include "Lv2Shuffler.h"

namespace {

constexpr const char* kPresetUriPrefix = "urn:brevander:shuffler#preset-";

constexpr const char* kPluginComment =
    "A stereo shuffler for spaced-pair recordings. Left and right become sum and difference; the difference is "
    "high-passed by a corner set by the microphone spacing and the low-frequency width, the sum can be high-passed "
    "at very low frequencies and shelved in the bass, and each sum filter is matched by an all-pass on the "
    "difference so that both keep the same phase.";

std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + '"';
}

// A name as hosts show it: the table pads some for the VST 2 host's fixed-width display.
std::string_view trimmed(std::string_view text) {
    const std::size_t end = text.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string_view{} : text.substr(0, end + 1);
}

// A number Turtle reads as a decimal, not as the integer it reads without a point.
std::string decimal(std::string digits) {
    if (digits.find_first_of(".e") == std::string::npos) {
        digits += ".0";
    }
    return digits;
}

// A range end as the table gives it, in the fewest digits that read back as the same double.
std::string rangeEnd(double value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return decimal(std::string(text, result.ptr));
}

// A value a port holds, with nine significant digits, which bring any float back
// exactly (the gain's default in dB needs all nine).
std::string portValue(float value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 9);
    return decimal(std::string(text, result.ptr));
}

// A switch's value, which lv2:integer asks to be whole.
std::string wholeNumber(double value) { return std::to_string(static_cast<long>(value)); }

const Lv2StreamPortInfo& streamPort(Lv2Port index) {
    for (const Lv2StreamPortInfo& port : kLv2StreamPorts) {
        if (port.index == index) {
            return port;
        }
    }
    throw std::logic_error("a stream port without a symbol");
}

void writeAudioPort(std::ostream& out, Lv2Port index, const char* direction) {
    const Lv2StreamPortInfo& port = streamPort(index);
    out << "\t\ta " << direction << " ,\n\t\t\tlv2:AudioPort ;\n\t\tlv2:index " << index << " ;\n\t\tlv2:symbol "
        << quoted(port.symbol) << " ;\n\t\tlv2:name " << quoted(port.name) << "\n";
}

void writeControlPort(std::ostream& out, std::size_t parameter) {
    const auto index = static_cast<ParameterIndex>(parameter);
    const ParameterInfo& info = kParameterTable[parameter];
    const Lv2ControlPortInfo& lv2 = kLv2ControlPortInfo[parameter];
    out << "\t\ta lv2:InputPort ,\n\t\t\tlv2:ControlPort ;\n\t\tlv2:index " << kFirstControlPort + parameter
        << " ;\n\t\tlv2:symbol " << quoted(lv2.symbol) << " ;\n\t\tlv2:name " << quoted(trimmed(info.name)) << " ;\n";
    if (isSwitch(info)) {
        // A switch's range and default are whole numbers, as lv2:integer asks.
        out << "\t\tlv2:portProperty lv2:toggled ,\n\t\t\tlv2:integer ;\n\t\tlv2:minimum "
            << wholeNumber(unitMinimum(info)) << " ;\n\t\tlv2:maximum " << wholeNumber(unitMaximum(info))
            << " ;\n\t\tlv2:default " << wholeNumber(portDefault(index)) << "\n";
        return;
    }
    out << "\t\tunits:unit "
        << "<" << lv2.unitUri << ">"
        << " ;\n";
    if (lv2.logarithmic) {
        out << "\t\tlv2:portProperty pprops:logarithmic ;\n";
    }
    out << "\t\tlv2:minimum " << rangeEnd(unitMinimum(info)) << " ;\n\t\tlv2:maximum " << rangeEnd(unitMaximum(info))
        << " ;\n\t\tlv2:default " << portValue(portDefault(index)) << "\n";
}

void writeAtomPort(std::ostream& out, Lv2Port index, const char* direction, std::uint32_t minimumSize) {
    const Lv2StreamPortInfo& port = streamPort(index);
    out << "\t\ta " << direction << " ,\n\t\t\tatom:AtomPort ;\n\t\tlv2:index " << index << " ;\n\t\tlv2:symbol "
        << quoted(port.symbol) << " ;\n\t\tlv2:name " << quoted(port.name)
        << " ;\n\t\tatom:bufferType atom:Sequence ;\n\t\tatom:supports atom:Object ;\n";
    if (minimumSize != 0) {
        out << "\t\trsz:minimumSize " << minimumSize << " ;\n";
    }
    out << "\t\tlv2:portProperty lv2:connectionOptional\n";
}

std::string pluginDescription(const std::string& minor, const std::string& micro) {
    std::ostringstream out;
    out << "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
           "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
           "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
           "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
           "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
           "@prefix rsz: <http://lv2plug.in/ns/ext/resize-port#> .\n"
           "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n\n"
        << "<" << kBrevanderLv2Uri << ">\n\ta lv2:SpatialPlugin ;\n\tdoap:name \"Brevander\" ;\n\trdfs:comment "
        << quoted(kPluginComment) << " ;\n\tlv2:minorVersion " << minor << " ;\n\tlv2:microVersion " << micro
        << " ;\n\tlv2:optionalFeature lv2:hardRTCapable ,\n\t\t<http://lv2plug.in/ns/ext/urid#map> ;\n\tlv2:port [\n";
    writeAudioPort(out, kPortInLeft, "lv2:InputPort");
    out << "\t] , [\n";
    writeAudioPort(out, kPortInRight, "lv2:InputPort");
    out << "\t] , [\n";
    writeAudioPort(out, kPortOutLeft, "lv2:OutputPort");
    out << "\t] , [\n";
    writeAudioPort(out, kPortOutRight, "lv2:OutputPort");
    for (std::size_t parameter = 0; parameter < kNumParams; ++parameter) {
        out << "\t] , [\n";
        writeControlPort(out, parameter);
    }
    out << "\t] , [\n";
    writeAtomPort(out, kPortControl, "lv2:InputPort", 0);
    out << "\t] , [\n";
    writeAtomPort(out, kPortNotify, "lv2:OutputPort", kNotifyMinimumBytes);
    out << "\t] .\n";
    return out.str();
}

// Each preset sets every control port, the ones it leaves alone to their defaults,
// so that loading it undoes whatever was set before. Every value is a decimal,
// which lilv hands a host as a float, the type of the ports.
std::string presetDescriptions() {
    std::ostringstream out;
    out << "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
           "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
           "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n";
    for (const FactoryPreset& preset : kFactoryPresets) {
        out << "\n<" << kPresetUriPrefix << preset.id << ">\n\ta pset:Preset ;\n\tlv2:appliesTo <" << kBrevanderLv2Uri
            << "> ;\n\trdfs:label " << quoted(preset.name) << " ;\n\tlv2:port [\n";
        for (std::size_t parameter = 0; parameter < kNumParams; ++parameter) {
            const auto index = static_cast<ParameterIndex>(parameter);
            double unitValue = 0.0;
            const float value =
                presetUnitValue(preset, index, unitValue) ? static_cast<float>(unitValue) : portDefault(index);
            out << (parameter == 0 ? "" : "\t] , [\n") << "\t\tlv2:symbol "
                << quoted(kLv2ControlPortInfo[parameter].symbol) << " ;\n\t\tpset:value " << portValue(value) << "\n";
        }
        out << "\t] .\n";
    }
    return out.str();
}

std::string manifest(const std::string& suffix, bool withUi) {
    std::ostringstream out;
    out << "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
           "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
           "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n";
    if (withUi) {
        out << "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n";
    }
    out << "\n<" << kBrevanderLv2Uri << ">\n\ta lv2:Plugin ;\n\tlv2:binary <brevander_lv2" << suffix
        << "> ;\n\trdfs:seeAlso <Brevander.ttl> .\n";
    // lilv lists a UI only when the plug-in's own data names it, so the link is here
    // and not only in the window's file.
    if (withUi) {
        out << "\n<" << kBrevanderLv2Uri << ">\n\tui:ui <" << kWindowUri
            << "> ;\n\trdfs:seeAlso <BrevanderUi.ttl> .\n\n<" << kWindowUri
            << ">\n\ta ui:X11UI ;\n\tui:binary <brevander_lv2_ui" << suffix
            << "> ;\n\trdfs:seeAlso <BrevanderUi.ttl> .\n";
    }
    for (const FactoryPreset& preset : kFactoryPresets) {
        out << "\n<" << kPresetUriPrefix << preset.id << ">\n\ta pset:Preset ;\n\tlv2:appliesTo <" << kBrevanderLv2Uri
            << "> ;\n\trdfs:seeAlso <presets.ttl> .\n";
    }
    return out.str();
}

std::string uiDescription() {
    std::ostringstream out;
    out << "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
           "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
           "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
           "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
           "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n<"
        << kWindowUri
        << ">\n\ta ui:X11UI ;\n\tlv2:requiredFeature ui:idleInterface ;\n\tlv2:optionalFeature ui:parent ,\n"
           "\t\tui:resize ,\n\t\tui:touch ,\n\t\turid:map ,\n\t\topts:options ;\n"
           "\tlv2:extensionData ui:idleInterface ,\n\t\tui:resize ;\n"
           "\topts:supportedOption ui:scaleFactor ,\n\t\t<http://lv2plug.in/ns/ext/parameters#sampleRate> ;\n"
           "\tui:portNotification [\n\t\tui:plugin <"
        << kBrevanderLv2Uri << "> ;\n\t\tlv2:symbol " << quoted(streamPort(kPortNotify).symbol)
        << " ;\n\t\tui:protocol atom:eventTransfer\n\t] .\n";
    return out.str();
}

// Written beside its place and renamed into it, so a host scanning the bundle
// meanwhile never reads half a file.
bool writeFile(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::path partial = path;
    partial += ".partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) {
            std::cerr << "brevander_lv2_ttl: cannot write " << partial << "\n";
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(partial, path, error);
    if (error) {
        std::cerr << "brevander_lv2_ttl: cannot rename " << partial << " to " << path << ": " << error.message()
                  << "\n";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const bool withUi = argc == 6 && std::strcmp(argv[5], "--ui") == 0;
    if (argc != 5 && !withUi) {
        std::cerr << "usage: brevander_lv2_ttl FOLDER MINOR MICRO MODULE-SUFFIX [--ui]\n";
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    bool written = writeFile(folder / "manifest.ttl", manifest(argv[4], withUi)) &&
                   writeFile(folder / "Brevander.ttl", pluginDescription(argv[2], argv[3])) &&
                   writeFile(folder / "presets.ttl", presetDescriptions());
    if (withUi) {
        written = written && writeFile(folder / "BrevanderUi.ttl", uiDescription());
    } else {
        std::filesystem::remove(folder / "BrevanderUi.ttl", error);
    }
    return written ? 0 : 1;
}
