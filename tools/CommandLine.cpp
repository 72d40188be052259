// The `brevander` command line on CLI11: render (one file, or many into a folder),
// params, response, analyze, demo and help, with the exit statuses and one-line messages users see.
#include "CommandLine.h"

#include <sndfile.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <tuple>
#include <utility>

#include "Analyze.h"
#include "AudioFile.h"
#include "BatchRender.h"
#include "DemoScene.h"
#include "FactoryPresets.h"
#include "OutputTarget.h"
#include "ParameterSettings.h"
#include "ParameterTable.h"
#include "ProgressBar.h"
#include "Render.h"
#include "Response.h"
#include "ShufflerCore.h"
#include "ToolError.h"

namespace {

const char* const kUsageTemplate = R"(usage:
  brevander render IN OUT [--preset ID] [--set NAME=VALUE]... [--param INDEX=X]...
                          [--block N] [--format FORMAT] [--plugin FILE] [--overwrite]
                          [--in-place]
  brevander render IN... --out-dir DIR [-j N] [--recursive] [--shard K/N]
                          [--skip-existing] [--report FILE] [the same options]
  brevander params [--preset ID] [--set NAME=VALUE]... [--param INDEX=X]...
                          [--plugin FILE]
  brevander response --out IMAGE [--csv FILE] [--rate HZ] [--preset ID]
                          [--set NAME=VALUE]... [--param INDEX=X]... [--plugin FILE]
                          [--overwrite]
  brevander analyze IN... [--preset ID] [--set NAME=VALUE]... [--param INDEX=X]...
                          [--csv FILE] [--out IMAGE] [--block N] [--plugin FILE]
                          [--overwrite]
  brevander demo [--out-dir DIR] [--overwrite]
  brevander help [COMMAND]        brevander COMMAND --help        brevander --version

render    processes IN (WAV, AIFF, FLAC, Ogg, W64, RF64 or CAF, any sample
          rate) through the plug-in in blocks of N frames (default 512) and
          writes OUT. A mono file is processed as a centred stereo source (the
          same signal in both inputs) and gives a stereo OUT. OUT's extension,
          in any case, chooses its container: .wav, .aif/.aiff, .flac,
          .ogg/.oga (Vorbis), .w64, .rf64 or .caf; a name without one keeps
          IN's. The sample type stays IN's where the container can store it
          (FLAC: 24-bit for float). --format asks for one: wav, aiff (aif),
          flac, ogg, w64, rf64 or caf, which must agree with the extension,
          optionally with a sample type, as in wav:24, flac:16, aiff:float
          (types: 8, 16, 24, 32, float, double, vorbis; WAV's 8-bit is
          unsigned). A WAV past 4 GiB is written as RF64; AIFF stops at 4 GiB.
          Float stays float; integer output clips at full scale and the summary
          counts the clipped samples. OUT appears only when it is complete.
          With --out-dir, every IN (a folder stands for the audio files in it)
          is rendered to DIR under its own file name (with --format's
          extension), N files at once (default: one per core). --recursive
          takes the audio files in a folder's subfolders too and mirrors its
          tree under DIR. --shard K/N renders only shard K of N (K from 0 to
          N-1, as $SLURM_ARRAY_TASK_ID/$SLURM_ARRAY_TASK_COUNT give them), chosen
          by a hash of each file's path within its folder, so that the tasks of
          an array split the files between them without talking, and files
          added later never move others. --skip-existing leaves an output that
          exists alone (outputs appear only when complete) and reports it as
          skipped, so a run started again renders only what is missing.
          --report FILE writes one JSON line per input as it finishes: input,
          output, status (rendered, skipped or failed), message, frames, rate,
          format, seconds taken, the output's SHA-256, settings and block.
params    lists the parameters: index, name, value in its unit, display text,
          label and range, after any settings given.
response  plots the magnitude, phase and phase difference of the sum path
          (left = right) and the difference path (left = -right) from 10 Hz
          to 20 kHz at rate HZ (44000 to 768000, default 44100), as PNG, SVG or
          PDF by IMAGE's extension; --csv also writes the data. The curves are
          the effect's filters' exact responses, as the plug-in's window and
          the web page draw them; with --plugin, FILE is measured instead, by
          a common-mode and a differential impulse.
analyze   processes each IN as render would, without writing it, and prints
          per octave band (31.5 Hz to 16 kHz, those below the file's Nyquist
          frequency) the difference-to-sum energy (D/S, in dB) and the
          correlation of left and right (-1 to +1), before and after the effect,
          and their change. A band with nothing to measure reads "silent"; a
          mono IN has a silent difference before the effect. --csv writes every
          file's rows, --out draws them as bars (PNG, SVG or PDF).
demo      synthesises a stereo scene recorded by a spaced pair 18 cm apart,
          renders it with the default settings and writes DIR/in.wav,
          DIR/out.wav and DIR/response.png (DIR defaults to demo), then prints
          analyze's table for DIR/in.wav.

--set NAME=VALUE   a parameter by name (any case) or index, in its own unit:
                   "Mic Spacing=18", "LF Width=150", "VLF Cut-Off=30",
                   "Mid Bass Cut Gain=-1.6" (dB), "Enable Sum LF Shelf=off"
--param INDEX=X    a parameter's normalised value from 0 to 1, as a host sends it;
                   settings apply in the order given, so the last one wins
--preset ID        start from a factory preset: its spacing and width, every other
                   parameter at its default; --set and --param apply on top of it,
                   wherever they stand. The presets:
@PRESETS@
--plugin FILE      another VST 2 effect file with two inputs and two outputs
                   (--set and --preset need Brevander's own file; use --param
                   for others)
-y, --overwrite    replace an output file that exists already (it keeps its mode)
--in-place         (render) OUT may be IN itself; implies --overwrite, and IN
                   stays whole until OUT is complete
--opt=VALUE works as --opt VALUE; a later option replaces an earlier one; after
--, every word is a file name, even one that starts with a dash.

Outputs: an existing file is replaced only with --overwrite, and a read-only one
never; OUT that is IN itself (by any name or link) needs --in-place. If OUT is a
symbolic link, the file it points to is written (under the same rules) and the
link is kept; a link that points to nothing is refused, and so are a folder, a
FIFO or a device. Each output is written to a hidden .brevander-XXXXXXXX.partial
file beside it, flushed, and renamed into place when complete; one left behind
by a killed run can be deleted. Ctrl-C (or SIGTERM, SIGHUP) stops at once,
removes the partial file and exits with 130.
)";

// The usage, its list of presets from the table.
std::string usage() {
    std::string presets;
    for (const FactoryPreset& preset : kFactoryPresets) {
        char line[160];
        std::snprintf(line, sizeof line, "                     %-22s %s\n", preset.id, preset.name);
        presets += line;
    }
    std::string text = kUsageTemplate;
    const std::string mark = "@PRESETS@";
    return text.replace(text.find(mark), mark.size() + 1, presets);
}

constexpr const char* kCommands[] = {"render", "params", "response", "analyze", "demo", "help"};

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

// An option with one value; given again, the later value replaces the earlier.
CLI::Option* addValue(CLI::App& command, const std::string& names, std::string& value, const std::string& typeName,
                      const std::string& description) {
    return command.add_option(names, value, description)
        ->type_name(typeName)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

// The options every command that loads the plug-in takes.
struct CommonOptions {
    CLI::Option* set = nullptr;
    CLI::Option* param = nullptr;
    CLI::Option* presetOption = nullptr;
    std::vector<std::string> sets;
    std::vector<std::string> params;
    std::string preset;
    std::string pluginPath;

    void addTo(CLI::App& command) {
        // One value per occurrence: a word after it is a file name, not another setting.
        set = command.add_option("--set", sets, "a parameter by name or index, in its own unit")
                  ->type_name("NAME=VALUE")
                  ->allow_extra_args(false);
        param = command.add_option("--param", params, "a parameter's normalised value from 0 to 1")
                    ->type_name("INDEX=X")
                    ->allow_extra_args(false);
        presetOption =
            addValue(command, "--preset", preset, "ID", "a factory preset to start from (brevander help lists them)");
        addValue(command, "--plugin", pluginPath, "FILE", "another stereo VST 2 effect file");
    }

    // The preset, then --set and --param in the order they were typed, so that the
    // last one naming a parameter wins whichever kind it is. An unknown preset is
    // refused here, before any file is opened.
    std::vector<ParameterSetting> settings(const CLI::App& command) const {
        std::vector<ParameterSetting> ordered;
        if (presetOption->count() > 0) {
            ordered.push_back({SettingKind::preset, factoryPreset(preset).id});
        }
        std::size_t nextSet = 0;
        std::size_t nextParam = 0;
        for (const CLI::Option* option : command.parse_order()) {
            if (option == set && nextSet < set->results().size()) {
                ordered.push_back({SettingKind::inUnit, set->results()[nextSet++]});
            } else if (option == param && nextParam < param->results().size()) {
                ordered.push_back({SettingKind::normalised, param->results()[nextParam++]});
            }
        }
        return ordered;
    }

    std::string plugin() const { return pluginPath.empty() ? toolPluginPath() : pluginPath; }
};

struct RenderOptions {
    CommonOptions common;
    std::vector<std::string> files;
    std::string block = "512";
    std::string format;
    std::string outDir;
    std::string jobs;
    std::string shard;
    std::string report;
    bool recursive = false;
    bool skipExisting = false;
    bool overwrite = false;
    bool inPlace = false;
};

// "K/N": shard K of N, numbered from 0.
std::pair<int, int> parseShard(const std::string& text) {
    const std::size_t slash = text.find('/');
    const auto refuse = [&]() -> ToolError {
        return ToolError(
            "--shard needs K/N, shard K of N with K from 0 to N-1 (as "
            "$SLURM_ARRAY_TASK_ID/$SLURM_ARRAY_TASK_COUNT for an array started at 0), got '" +
                text + "'",
            2);
    };
    if (slash == std::string::npos) {
        throw refuse();
    }
    try {
        const int count = parseInteger("--shard", text.substr(slash + 1), 1, 1000000);
        const int index = parseInteger("--shard", text.substr(0, slash), 0, count - 1);
        return {index, count};
    } catch (const ToolError&) {
        throw refuse();
    }
}

struct ResponseOptions {
    CommonOptions common;
    std::string imagePath;
    std::string csvPath;
    std::string rate = "44100";
    bool overwrite = false;
};

struct AnalyzeOptions {
    CommonOptions common;
    std::vector<std::string> files;
    std::string csvPath;
    std::string imagePath;
    std::string block = "512";
    bool overwrite = false;
};

struct DemoOptions {
    std::string dir = "demo";
    bool overwrite = false;
};

int renderOne(RenderRequest request, std::ostream& out, std::ostream& err, bool interactive) {
    // Only files of a minute or more are worth a bar. Only a regular file is looked
    // at beforehand: opening a pipe or FIFO would consume what the render must read.
    std::optional<ProgressBar> bar;
    RenderProgress progress;
    std::error_code ec;
    if (interactive && std::filesystem::is_regular_file(request.inputPath, ec)) {
        const AudioReader probe(request.inputPath);
        if (probe.info().frames >= static_cast<std::int64_t>(probe.info().sampleRateHz) * 60) {
            bar.emplace(err, true);
            progress = [&bar](double fraction) { bar->update(fraction); };
        }
    }
    const RenderSummary summary = renderFile(request, progress);
    bar.reset();
    for (const std::string& line : warningLines(request, summary)) {
        err << "brevander: warning: " << line << "\n";
    }
    out << summaryLine(request, summary) << "\n" << std::flush;
    return 0;
}

int render(const CLI::App& command, const RenderOptions& o, std::ostream& out, std::ostream& err, bool interactive) {
    RenderRequest request;
    request.blockFrames = parseInteger("--block", o.block, 1, 1 << 20);
    request.format = o.format;
    request.settings = o.common.settings(command);
    request.pluginPath = o.common.pluginPath;
    request.inPlace = o.inPlace;
    request.overwrite = o.overwrite || o.inPlace;
    if (!o.jobs.empty() && o.outDir.empty()) {
        throw ToolError("-j sets how many files render at once, which needs --out-dir DIR", 2);
    }
    for (const auto& [given, name] :
         {std::pair{o.recursive, "--recursive"}, std::pair{!o.shard.empty(), "--shard"},
          std::pair{o.skipExisting, "--skip-existing"}, std::pair{!o.report.empty(), "--report"}}) {
        if (given && o.outDir.empty()) {
            throw ToolError(std::string(name) + " is for renders into a folder, which needs --out-dir DIR", 2);
        }
    }
    if (!o.outDir.empty()) {
        BatchRequest batch;
        batch.inputPaths = o.files;
        batch.outputDir = o.outDir;
        batch.render = request;
        batch.jobs = o.jobs.empty() ? 0 : parseInteger("-j", o.jobs, 1, 1024);
        batch.recursive = o.recursive;
        if (!o.shard.empty()) {
            std::tie(batch.shardIndex, batch.shardCount) = parseShard(o.shard);
        }
        batch.skipExisting = o.skipExisting;
        batch.reportPath = o.report;
        if (batch.inputPaths.empty()) {
            throw ToolError("render --out-dir needs at least one input file or folder", 2);
        }
        return renderBatch(batch, out, err, interactive).exitStatus();
    }
    if (o.files.size() != 2) {
        throw ToolError(o.files.size() > 2
                            ? "render takes one input and one output, or several inputs with --out-dir DIR"
                            : "render needs an input and an output file (see brevander help)",
                        2);
    }
    request.inputPath = o.files[0];
    request.outputPath = o.files[1];
    return renderOne(request, out, err, interactive);
}

std::string quoted(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 2);
    out.push_back('"');
    out.append(text);
    out.push_back('"');
    return out;
}

// The effect loaded from `pluginPath` with the settings applied in order.
void applyTo(PluginInstance& plugin, const std::vector<ParameterSetting>& settings, const std::string& pluginPath) {
    applySettings(plugin, parseSettings(settings, ParameterCatalogue::of(plugin), pluginPath));
}

int params(const CLI::App& command, const CommonOptions& common, std::ostream& out) {
    const std::string pluginPath = common.plugin();
    StereoEffect effect(pluginPath);
    PluginInstance& plugin = effect.instance();
    applyTo(plugin, common.settings(command), pluginPath);
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

// Brevander's core holding what its plug-in holds after these settings, at this rate:
// the defaults, then each normalised value mapped as the plug-in maps it.
ShufflerCore coreAfter(const std::vector<ParameterAssignment>& assignments, float sampleRateHz) {
    ShufflerCore core;
    core.redesignForSampleRate(sampleRateHz);
    for (const ParameterAssignment& assignment : assignments) {
        const auto index = static_cast<ParameterIndex>(assignment.index);
        core.applyStoredValue(index, toStored(kParameterTable[static_cast<std::size_t>(index)], assignment.normalised));
    }
    return core;
}

int response(const CLI::App& command, const ResponseOptions& o, std::ostream& out) {
    if (o.imagePath.empty()) {
        throw ToolError("response needs --out IMAGE (.png, .svg or .pdf)", 2);
    }
    // 20 kHz, the plot's top, must lie below the Nyquist frequency with some room.
    const int rateHz = parseInteger("--rate", o.rate, 44000, 768000);
    if (imageFormatFor(o.imagePath).empty()) {
        throw ToolError("cannot draw " + o.imagePath + ": name it .png, .svg or .pdf", 2);
    }
    const std::vector<ParameterSetting> settings = o.common.settings(command);
    const std::string pluginPath = o.common.plugin();
    StereoEffect effect(pluginPath);
    const std::vector<ParameterAssignment> assignments =
        parseSettings(settings, ParameterCatalogue::of(effect.instance()), pluginPath);
    const std::string title = "Brevander response at " + std::to_string(rateHz) + " Hz, " + describeSettings(settings);
    if (o.common.pluginPath.empty()) {
        writeResponsePlot(coreAfter(assignments, static_cast<float>(rateHz)), o.imagePath, o.csvPath, title,
                          o.overwrite);
    } else {
        applySettings(effect.instance(), assignments);
        writeResponsePlot(effect.instance(), static_cast<float>(rateHz), o.imagePath, o.csvPath, title, o.overwrite);
    }
    out << "wrote " << o.imagePath << (o.csvPath.empty() ? "" : " and " + o.csvPath) << "\n";
    return 0;
}

void writeRecording(const std::string& path, const StereoRecording& recording, bool overwrite) {
    AudioWriter writer(path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, static_cast<int>(recording.sampleRateHz),
                       static_cast<std::int64_t>(recording.left.size()), overwrite);
    std::vector<float> interleaved(recording.left.size() * 2);
    for (std::size_t i = 0; i < recording.left.size(); ++i) {
        interleaved[2 * i] = recording.left[i];
        interleaved[2 * i + 1] = recording.right[i];
    }
    writer.write(interleaved.data(), static_cast<std::int64_t>(recording.left.size()));
    writer.commit();
}

int analyze(const CLI::App& command, const AnalyzeOptions& o, std::ostream& out, std::ostream& err, bool interactive) {
    AnalyzeRequest request;
    request.inputPaths = o.files;
    request.pluginPath = o.common.pluginPath;
    request.blockFrames = parseInteger("--block", o.block, 1, 1 << 20);
    request.settings = o.common.settings(command);
    request.csvPath = o.csvPath;
    request.imagePath = o.imagePath;
    request.overwrite = o.overwrite;
    if (!o.imagePath.empty() && imageFormatFor(o.imagePath).empty()) {
        throw ToolError("cannot draw " + o.imagePath + ": name it .png, .svg or .pdf", 2);
    }
    return analyzeFiles(request, out, err, interactive);
}

int demo(const DemoOptions& o, std::ostream& out) {
    const std::string& dir = o.dir;
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
    const bool overwrite = o.overwrite;
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

    writeResponsePlot(coreAfter({}, static_cast<float>(kRateHz)), pngPath, "",
                      "Brevander response at 44100 Hz, default settings", overwrite);
    out << "wrote " << inPath << ", " << outPath << " and " << pngPath << "\n\n";

    // The table is analyze's, from the file just written: one implementation behind both.
    out << "What the default settings do, band by band (brevander analyze " << inPath << "):\n";
    out << analysisTable(analyzeFile(inPath, AnalyzeRequest{}));
    out << "\nThe difference is high-passed at the corner the 18 cm spacing and 100 % width give\n"
           "(about 96 Hz), with all-passes matching the sum's filters, so below a few hundred\n"
           "hertz the difference falls against the sum and the low end narrows towards the\n"
           "centre; from 1 kHz up the balance is unchanged. "
        << pngPath << " shows both paths.\n";
    return 0;
}

// CLI11's message reduced to one line of ours; its exit codes are not the tool's.
std::string oneLine(const CLI::ParseError& e) {
    std::string message = e.what();
    // "--set: 1 required NAME=VALUE missing": the option came last, without its value.
    const std::size_t colon = message.find(':');
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&e) != nullptr && colon != std::string::npos &&
        message.find("missing") != std::string::npos) {
        message = message.substr(0, colon) + " needs a value";
    }
    std::replace(message.begin(), message.end(), '\n', ' ');
    return message;
}

// The tool's whole command line, parsed by CLI11 into these options.
struct CommandLine {
    CLI::App app{"renders audio through the Brevander plug-in", "brevander"};
    CLI::App* render = nullptr;
    CLI::App* params = nullptr;
    CLI::App* response = nullptr;
    CLI::App* analyze = nullptr;
    CLI::App* demo = nullptr;
    CLI::App* help = nullptr;
    RenderOptions renderOptions;
    CommonOptions paramsOptions;
    ResponseOptions responseOptions;
    AnalyzeOptions analyzeOptions;
    DemoOptions demoOptions;
    std::string helpTopic;

    CommandLine() {
        app.set_version_flag("--version", std::string("brevander ") + BREVANDER_VERSION, "print the version and exit");
        // Unknown words are kept, not refused, so that the message can name them our way.
        app.allow_extras();
        app.require_subcommand(0, 1);
        app.footer("See brevander help for the whole usage.");

        render = app.add_subcommand("render", "processes audio files through the plug-in");
        RenderOptions& r = renderOptions;
        render->add_option("files", r.files, "IN OUT, or with --out-dir every IN (file or folder)")->type_name("FILE");
        r.common.addTo(*render);
        addValue(*render, "--block", r.block, "N", "frames per processing call, 1 to 1048576 (default 512)");
        addValue(*render, "--format", r.format, "FORMAT", "wav, aiff, flac or ogg, with :TYPE (wav:24, flac:16)");
        addValue(*render, "--out-dir", r.outDir, "DIR", "render every IN into DIR under its own name");
        addValue(*render, "-j,--jobs", r.jobs, "N", "with --out-dir, files rendered at once (default: one per core)");
        render->add_flag("--recursive", r.recursive, "with --out-dir, folders' subfolders too, mirrored under DIR");
        addValue(*render, "--shard", r.shard, "K/N", "with --out-dir, only shard K of N (K from 0 to N-1)");
        render->add_flag("--skip-existing", r.skipExisting, "with --out-dir, leave outputs that exist and report them");
        addValue(*render, "--report", r.report, "FILE", "with --out-dir, one JSON line per input as it finishes");
        render->add_flag("-y,--overwrite", r.overwrite, "replace an output file that exists already");
        render->add_flag("--in-place", r.inPlace, "OUT may be IN itself; implies --overwrite");
        render->footer(
            "OUT keeps IN's format unless --format asks for another, and appears only when complete.\n"
            "A preset applies first; then settings apply in the order given, and the last one naming a\n"
            "parameter wins.");

        params = app.add_subcommand("params", "lists the parameters after any settings given");
        paramsOptions.addTo(*params);

        response = app.add_subcommand("response", "plots the sum and difference paths' response");
        ResponseOptions& p = responseOptions;
        addValue(*response, "--out", p.imagePath, "IMAGE", "the plot to write, .png, .svg or .pdf (required)");
        addValue(*response, "--csv", p.csvPath, "FILE", "also write the data as CSV");
        addValue(*response, "--rate", p.rate, "HZ", "sample rate, 44000 to 768000 (default 44100)");
        p.common.addTo(*response);
        response->add_flag("-y,--overwrite", p.overwrite, "replace output files that exist already");

        analyze = app.add_subcommand("analyze", "shows what the effect does to each file's width, band by band");
        AnalyzeOptions& a = analyzeOptions;
        analyze->add_option("files", a.files, "the files to measure")->type_name("IN");
        a.common.addTo(*analyze);
        addValue(*analyze, "--csv", a.csvPath, "FILE", "also write every file's bands as CSV");
        addValue(*analyze, "--out", a.imagePath, "IMAGE", "draw the bands before and after, .png, .svg or .pdf");
        addValue(*analyze, "--block", a.block, "N", "frames per processing call, 1 to 1048576 (default 512)");
        analyze->add_flag("-y,--overwrite", a.overwrite, "replace output files that exist already");
        analyze->footer(
            "Per octave band: the difference-to-sum energy (D/S) in dB and the correlation of left and\n"
            "right, before and after the effect, and their change; \"silent\" where there is nothing to measure.");

        demo = app.add_subcommand("demo", "renders a synthetic spaced-pair scene and shows what changed");
        addValue(*demo, "--out-dir", demoOptions.dir, "DIR", "where the demo's files go (default demo)");
        demo->add_flag("-y,--overwrite", demoOptions.overwrite, "replace the demo's files if they exist");

        help = app.add_subcommand("help", "prints the usage, or one command's");
        help->add_option("command", helpTopic, "render, params, response, analyze or demo")->type_name("COMMAND");

        for (CLI::App* command : app.get_subcommands({})) {
            command->allow_extras();
        }
    }

    // Words CLI11 did not take: unknown options, and extra arguments.
    static void refuseExtras(const CLI::App& command) {
        const std::vector<std::string> extras = command.remaining();
        if (!extras.empty()) {
            unknownOption(extras.front());
        }
    }
};

bool isCommand(const std::string& word) {
    return std::find(std::begin(kCommands), std::end(kCommands), word) != std::end(kCommands);
}

[[noreturn]] void unknownCommand(const std::string& word) {
    throw ToolError("unknown command '" + word + "'; the commands are render, params, response, analyze, demo and help",
                    2);
}

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool interactive) {
    // After "--" every word is a file name. CLI11 is given only the words before it:
    // its own handling of "--" inside a command loses file names to extras.
    const auto dashes = std::find(args.begin(), args.end(), std::string("--"));
    const std::vector<std::string> afterDashes(dashes == args.end() ? dashes : dashes + 1, args.end());
    std::vector<std::string> reversed(args.begin(), dashes);
    std::reverse(reversed.begin(), reversed.end());

    if (!args.empty() && (args[0].empty() || args[0].front() != '-') && !isCommand(args[0])) {
        unknownCommand(args[0]);
    }
    CommandLine line;
    try {
        line.app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        const std::vector<CLI::App*> chosen = line.app.get_subcommands();
        out << (chosen.empty() || chosen.front() == line.help ? usage() : chosen.front()->help("brevander"));
        return 0;
    } catch (const CLI::CallForVersion& e) {
        out << e.what() << "\n";
        return 0;
    } catch (const CLI::ParseError& e) {
        throw ToolError(oneLine(e), 2);
    }
    CommandLine::refuseExtras(line.app);
    if (line.app.get_subcommands().empty()) {
        err << usage();
        return 2;
    }
    CLI::App& command = *line.app.get_subcommands().front();
    CommandLine::refuseExtras(command);
    if (&command == line.render) {
        std::vector<std::string>& files = line.renderOptions.files;
        files.insert(files.end(), afterDashes.begin(), afterDashes.end());
    } else if (&command == line.analyze) {
        std::vector<std::string>& files = line.analyzeOptions.files;
        files.insert(files.end(), afterDashes.begin(), afterDashes.end());
    } else if (!afterDashes.empty()) {
        unknownOption(afterDashes.front());
    }

    if (&command == line.render) {
        return render(command, line.renderOptions, out, err, interactive);
    }
    if (&command == line.params) {
        return params(command, line.paramsOptions, out);
    }
    if (&command == line.response) {
        return response(command, line.responseOptions, out);
    }
    if (&command == line.analyze) {
        return analyze(command, line.analyzeOptions, out, err, interactive);
    }
    if (&command == line.demo) {
        return demo(line.demoOptions, out);
    }
    if (line.helpTopic.empty()) {
        out << usage();
        return 0;
    }
    if (!isCommand(line.helpTopic)) {
        unknownCommand(line.helpTopic);
    }
    CLI::App* topic = line.app.get_subcommand(line.helpTopic);
    out << (topic == line.help ? usage() : topic->help("brevander"));
    return 0;
}

}  // namespace

int runBrevander(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool interactive) {
    try {
        return run(args, out, err, interactive);
    } catch (const ToolError& e) {
        err << "brevander: " << e.what() << "\n";
        return e.exitStatus;
    } catch (const std::exception& e) {
        err << "brevander: " << e.what() << "\n";
        return 1;
    }
}
