#include "CommandLine.h"

#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>

#include "AudioFile.h"
#include "BandAnalysis.h"
#include "DemoScene.h"
#include "OutputTarget.h"
#include "ParameterSettings.h"
#include "Render.h"
#include "Response.h"
#include "ToolError.h"

namespace {

const char* const kUsage = R"(usage:
  brevander render IN OUT [--set NAME=VALUE]... [--param INDEX=X]... [--block N]
                          [--format FORMAT] [--plugin FILE]
  brevander params [--set NAME=VALUE]... [--param INDEX=X]... [--plugin FILE]
  brevander response --out PNG [--csv FILE] [--rate HZ] [--set NAME=VALUE]...
                          [--param INDEX=X]... [--plugin FILE]
  brevander demo [--out-dir DIR]
  brevander help

render    processes IN (WAV, AIFF, FLAC or Ogg, any sample rate) through the
          plug-in in blocks of N frames (default 512) and writes OUT. A mono file
          is processed as a centred stereo source (the same signal in both
          inputs) and gives a stereo OUT. OUT keeps IN's format and sample type
          unless --format asks for another: wav, aiff, flac or ogg, optionally
          with a sample type, as in wav:24, flac:16, aiff:float (types: 8, 16,
          24, 32, float, double, vorbis). Float stays float; integer output clips
          at full scale and the summary counts the clipped samples. OUT appears
          only when it is complete.
params    lists the parameters: index, name, value in its unit, display text,
          label and range, after any settings given.
response  measures the sum path (a common-mode impulse) and the difference path
          (a differential impulse) through the plug-in at rate HZ (default
          44100) and plots magnitude, phase and phase difference from 10 Hz to
          20 kHz; --csv also writes the data.
demo      synthesises a stereo scene recorded by a spaced pair 18 cm apart,
          renders it with the default settings and writes DIR/in.wav,
          DIR/out.wav and DIR/response.png (DIR defaults to demo), then prints
          the difference-to-sum energy per octave band before and after.

--set NAME=VALUE   a parameter by name (any case) or index, in its own unit:
                   "Mic Spacing=18", "LF Width=150", "VLF Cut-Off=30",
                   "Mid Bass Cut Gain=-1.6" (dB), "Enable Sum LF Shelf=off"
--param INDEX=X    a parameter's normalised value from 0 to 1, as a host sends it
--plugin FILE      another VST 2 effect file with two inputs and two outputs
                   (--set needs Brevander's own file; use --param for others)
)";

// Command-line words after the command, with the options each command allows.
class Arguments {
public:
    Arguments(const std::vector<std::string>& args, std::size_t from) : args_(args), next_(from) {}

    bool done() const { return next_ >= args_.size(); }
    const std::string& peek() const { return args_[next_]; }
    std::string take() { return args_[next_++]; }
    std::string valueOf(const std::string& option) {
        if (done()) {
            throw ToolError(option + " needs a value", 2);
        }
        return take();
    }

private:
    const std::vector<std::string>& args_;
    std::size_t next_;
};

struct CommonOptions {
    std::vector<std::string> settings;
    std::vector<std::string> normalisedSettings;
    std::string pluginPath;

    // Takes the option at the front when it is one of these; answers whether it did.
    bool take(Arguments& a) {
        const std::string& word = a.peek();
        if (word == "--set") {
            a.take();
            settings.push_back(a.valueOf("--set"));
        } else if (word == "--param") {
            a.take();
            normalisedSettings.push_back(a.valueOf("--param"));
        } else if (word == "--plugin") {
            a.take();
            pluginPath = a.valueOf("--plugin");
        } else {
            return false;
        }
        return true;
    }

    void apply(PluginInstance& effect) const {
        const ParameterCatalogue catalogue = ParameterCatalogue::of(effect);
        std::vector<ParameterAssignment> assignments;
        for (const std::string& s : settings) {
            assignments.push_back(parseSetting(s, catalogue));
        }
        for (const std::string& s : normalisedSettings) {
            assignments.push_back(parseNormalisedSetting(s, catalogue));
        }
        applySettings(effect, assignments);
    }

    std::string plugin() const { return pluginPath.empty() ? toolPluginPath() : pluginPath; }
};

[[noreturn]] void unknownOption(const std::string& word) {
    throw ToolError("unknown option or extra argument '" + word + "' (see brevander help)", 2);
}

int parseInteger(const std::string& option, const std::string& text, int low, int high) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != 0 || value < low || value > high) {
        throw ToolError(option + " needs a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
                            ", got '" + text + "'",
                        2);
    }
    return static_cast<int>(value);
}

// A bar on the terminal, redrawn at whole percents, for files of a minute or more.
class ProgressBar {
public:
    ProgressBar(std::ostream& err, bool enabled) : err_(err), enabled_(enabled) {}
    ~ProgressBar() {
        if (shown_) {
            err_ << "\r" << std::string(60, ' ') << "\r" << std::flush;
        }
    }
    void update(double fraction) {
        const int percent = static_cast<int>(fraction * 100.0);
        if (!enabled_ || percent == lastPercent_) {
            return;
        }
        lastPercent_ = percent;
        shown_ = true;
        const int filled = percent * 40 / 100;
        err_ << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
             << std::string(static_cast<std::size_t>(40 - filled), ' ') << "] " << percent << "%" << std::flush;
    }

private:
    std::ostream& err_;
    bool enabled_;
    bool shown_ = false;
    int lastPercent_ = -1;
};

int render(Arguments& a, std::ostream& out, std::ostream& err, bool interactive) {
    RenderRequest request;
    CommonOptions common;
    std::vector<std::string> positional;
    while (!a.done()) {
        if (common.take(a)) {
            continue;
        }
        const std::string word = a.take();
        if (word == "--block") {
            request.blockFrames = parseInteger("--block", a.valueOf("--block"), 1, 1 << 20);
        } else if (word == "--format") {
            request.format = a.valueOf("--format");
        } else if (word.size() > 1 && word[0] == '-') {
            unknownOption(word);
        } else {
            positional.push_back(word);
        }
    }
    if (positional.size() != 2) {
        throw ToolError("render needs an input and an output file (see brevander help)", 2);
    }
    request.inputPath = positional[0];
    request.outputPath = positional[1];
    request.settings = common.settings;
    request.normalisedSettings = common.normalisedSettings;
    request.pluginPath = common.pluginPath;

    // Only files of a minute or more are worth a bar.
    std::optional<ProgressBar> bar;
    RenderProgress progress;
    if (interactive) {
        const AudioReader probe(request.inputPath);
        if (probe.info().frames >= static_cast<std::int64_t>(probe.info().sampleRateHz) * 60) {
            bar.emplace(err, true);
            progress = [&bar](double fraction) { bar->update(fraction); };
        }
    }
    const RenderSummary summary = renderFile(request, progress);
    bar.reset();
    out << summaryLine(request, summary) << "\n";
    return 0;
}

std::string quoted(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 2);
    out.push_back('"');
    out.append(text);
    out.push_back('"');
    return out;
}

int params(Arguments& a, std::ostream& out) {
    CommonOptions common;
    while (!a.done()) {
        if (!common.take(a)) {
            unknownOption(a.peek());
        }
    }
    StereoEffect effect(common.plugin());
    PluginInstance& plugin = effect.instance();
    common.apply(plugin);
    const ParameterCatalogue catalogue = ParameterCatalogue::of(plugin);
    char line[256];
    std::snprintf(line, sizeof line, "%-5s %-22s %-12s %-8s %-9s %s\n", "index", "name", "value", "display", "label",
                  "range");
    out << line;
    for (VstInt32 index = 0; index < static_cast<VstInt32>(catalogue.names.size()); ++index) {
        const std::string value = valueInUnit(catalogue, index, plugin.getParameter(index));
        const std::string display = quoted(plugin.parameterDisplay(index));
        const std::string label = quoted(plugin.parameterLabel(index));
        std::snprintf(line, sizeof line, "%-5d %-22s %-12s %-8s %-9s %s\n", static_cast<int>(index),
                      catalogue.names[static_cast<std::size_t>(index)].c_str(), value.c_str(), display.c_str(),
                      label.c_str(), rangeInUnit(catalogue, index).c_str());
        out << line;
    }
    return 0;
}

std::string settingsTitle(const CommonOptions& common) {
    std::string title;
    for (const std::string& s : common.settings) {
        title += (title.empty() ? "" : ", ") + s;
    }
    for (const std::string& s : common.normalisedSettings) {
        title += (title.empty() ? "" : ", ") + ("param " + s);
    }
    return title.empty() ? "default settings" : title;
}

int response(Arguments& a, std::ostream& out) {
    CommonOptions common;
    std::string pngPath;
    std::string csvPath;
    int rateHz = 44100;
    while (!a.done()) {
        if (common.take(a)) {
            continue;
        }
        const std::string word = a.take();
        if (word == "--out") {
            pngPath = a.valueOf("--out");
        } else if (word == "--csv") {
            csvPath = a.valueOf("--csv");
        } else if (word == "--rate") {
            rateHz = parseInteger("--rate", a.valueOf("--rate"), 8000, 768000);
        } else {
            unknownOption(word);
        }
    }
    if (pngPath.empty()) {
        throw ToolError("response needs --out PNG", 2);
    }
    if (rateHz < 44000) {
        throw ToolError("--rate must be at least 44000 Hz to plot up to 20 kHz", 2);
    }
    StereoEffect effect(common.plugin());
    common.apply(effect.instance());
    const std::string title = "Brevander response at " + std::to_string(rateHz) + " Hz, " + settingsTitle(common);
    writeResponsePlot(effect.instance(), static_cast<float>(rateHz), pngPath, csvPath, title, false);
    out << "wrote " << pngPath << (csvPath.empty() ? "" : " and " + csvPath) << "\n";
    return 0;
}

void writeRecording(const std::string& path, const StereoRecording& recording, bool overwrite) {
    AudioWriter writer(path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, static_cast<int>(recording.sampleRateHz), overwrite);
    std::vector<float> interleaved(recording.left.size() * 2);
    for (std::size_t i = 0; i < recording.left.size(); ++i) {
        interleaved[2 * i] = recording.left[i];
        interleaved[2 * i + 1] = recording.right[i];
    }
    writer.write(interleaved.data(), static_cast<std::int64_t>(recording.left.size()));
    writer.commit();
}

void readStereo(const std::string& path, std::vector<float>& left, std::vector<float>& right) {
    AudioReader reader(path);
    std::vector<float> interleaved(static_cast<std::size_t>(reader.info().frames) * 2);
    const std::int64_t got = reader.read(interleaved.data(), reader.info().frames);
    left.resize(static_cast<std::size_t>(got));
    right.resize(static_cast<std::size_t>(got));
    for (std::size_t i = 0; i < left.size(); ++i) {
        left[i] = interleaved[2 * i];
        right[i] = interleaved[2 * i + 1];
    }
}

std::string signedDb(double db) {
    char text[32];
    // No "-0.0": a change too small to show is no change.
    std::snprintf(text, sizeof text, "%+7.1f dB", std::fabs(db) < 0.05 ? 0.0 : db);
    return text;
}

std::string bandName(double centreHz) {
    char text[32];
    if (centreHz >= 1000.0) {
        std::snprintf(text, sizeof text, "%g kHz", centreHz / 1000.0);
    } else {
        std::snprintf(text, sizeof text, "%g Hz", centreHz);
    }
    return text;
}

int demo(Arguments& a, std::ostream& out) {
    std::string dir = "demo";
    while (!a.done()) {
        const std::string word = a.take();
        if (word == "--out-dir") {
            dir = a.valueOf("--out-dir");
        } else {
            unknownOption(word);
        }
    }
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        throw ToolError("cannot create " + dir + ": " + ec.message());
    }
    constexpr double kRateHz = 44100.0;
    constexpr double kSeconds = 6.0;
    constexpr double kSpacingCm = 18.0;
    const StereoRecording scene = synthesiseSpacedPairScene(kRateHz, kSeconds, kSpacingCm);
    const std::string inPath = (std::filesystem::path(dir) / "in.wav").string();
    const std::string outPath = (std::filesystem::path(dir) / "out.wav").string();
    const std::string pngPath = (std::filesystem::path(dir) / "response.png").string();
    const bool overwrite = false;
    // All three refused before any is written, rather than a set half old, half new.
    for (const std::string& path : {inPath, outPath, pngPath}) {
        checkOutputTarget(path, overwrite);
    }
    writeRecording(inPath, scene, overwrite);

    out << "Scene: " << kSeconds << " s at " << kRateHz << " Hz, a spaced pair " << kSpacingCm << " cm apart\n";
    for (const SceneSource& s : scene.sources) {
        char line[160];
        std::snprintf(line, sizeof line, "  %-24s at %+5.0f degrees, right arrives %+6.2f samples after left\n",
                      s.name.c_str(), s.angleDegrees, s.delaySamples);
        out << line;
    }

    RenderRequest request;
    request.inputPath = inPath;
    request.outputPath = outPath;
    request.overwrite = overwrite;
    const RenderSummary summary = renderFile(request);
    out << summaryLine(request, summary) << "\n";

    {
        StereoEffect effect(toolPluginPath());
        writeResponsePlot(effect.instance(), static_cast<float>(kRateHz), pngPath, "",
                          "Brevander response at 44100 Hz, default settings", overwrite);
    }
    out << "wrote " << inPath << ", " << outPath << " and " << pngPath << "\n\n";

    std::vector<float> left;
    std::vector<float> right;
    readStereo(outPath, left, right);
    const std::vector<OctaveBand> before = octaveBandEnergies(scene.left, scene.right, kRateHz);
    const std::vector<OctaveBand> after = octaveBandEnergies(left, right, kRateHz);
    out << "Difference-to-sum energy per octave band, default settings:\n";
    out << "  band        before      after     change\n";
    for (std::size_t b = 0; b < before.size() && b < after.size(); ++b) {
        char line[128];
        std::snprintf(line, sizeof line, "  %-8s  %s  %s  %s\n", bandName(before[b].centreHz).c_str(),
                      signedDb(before[b].difToSumDb()).c_str(), signedDb(after[b].difToSumDb()).c_str(),
                      signedDb(after[b].difToSumDb() - before[b].difToSumDb()).c_str());
        out << line;
    }
    out << "\nThe difference is high-passed at the corner the 18 cm spacing and 100 % width give\n"
           "(about 96 Hz), with all-passes matching the sum's filters, so below a few hundred\n"
           "hertz the difference falls against the sum and the low end narrows towards the\n"
           "centre; from 1 kHz up the balance is unchanged. "
        << pngPath << " shows both paths.\n";
    return 0;
}

}  // namespace

int runBrevander(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool interactive) {
    if (args.empty()) {
        err << kUsage;
        return 2;
    }
    const std::string& command = args[0];
    Arguments a(args, 1);
    try {
        if (command == "render") {
            return render(a, out, err, interactive);
        }
        if (command == "params") {
            return params(a, out);
        }
        if (command == "response") {
            return response(a, out);
        }
        if (command == "demo") {
            return demo(a, out);
        }
        if (command == "help" || command == "--help" || command == "-h") {
            out << kUsage;
            return 0;
        }
        throw ToolError("unknown command '" + command + "'; the commands are render, params, response, demo and help",
                        2);
    } catch (const ToolError& e) {
        err << "brevander: " << e.what() << "\n";
        return e.exitStatus;
    } catch (const std::exception& e) {
        err << "brevander: " << e.what() << "\n";
        return 1;
    }
}
