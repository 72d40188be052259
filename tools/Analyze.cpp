#include "Analyze.h"

#include <cstdio>
#include <cstring>
#include <optional>

#include "AudioFile.h"
#include "ProgressBar.h"
#include "Response.h"
#include "ToolError.h"
#include "ToolFiles.h"

namespace {

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return quoted + "\"";
}

std::string number(const char* format, bool silent, double value) {
    if (silent) {
        return "";
    }
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    // No "-0.000": a figure too small to show is zero.
    if (text[0] == '-' && std::strspn(text + 1, "0.") == std::strlen(text + 1)) {
        return text + 1;
    }
    return text;
}

}  // namespace

FileAnalysis analyzeFile(const std::string& inputPath, const AnalyzeRequest& request, const RenderProgress& progress) {
    if (request.blockFrames < 1 || request.blockFrames > 1 << 20) {
        throw ToolError("--block needs a frame count from 1 to 1048576", 2);
    }
    clearRenderStop();
    AudioReader reader(inputPath);
    const AudioFileInfo& in = reader.info();
    checkProcessableInput(reader, inputPath);

    const std::string pluginPath = request.pluginPath.empty() ? toolPluginPath() : request.pluginPath;
    StereoEffect effect(pluginPath);
    PluginInstance& plugin = effect.instance();
    startEffect(plugin, in.sampleRateHz, request.blockFrames,
                parseSettings(request.settings, ParameterCatalogue::of(plugin), pluginPath));

    StereoBandAnalyser before(in.sampleRateHz);
    StereoBandAnalyser after(in.sampleRateHz);
    EffectChunks chunks(reader, plugin, request.blockFrames);
    FileAnalysis analysis;
    analysis.inputPath = inputPath;
    analysis.sampleRateHz = in.sampleRateHz;
    analysis.inputChannels = in.channels;
    while (const std::size_t n = chunks.read()) {
        before.add(chunks.left(), chunks.right(), n);
        chunks.process();
        after.add(chunks.outLeft(), chunks.outRight(), n);
        analysis.frames += static_cast<std::int64_t>(n);
        // Only files of a minute or more are worth a bar.
        if (progress && in.frames >= static_cast<std::int64_t>(in.sampleRateHz) * 60) {
            progress(std::min(1.0, static_cast<double>(analysis.frames) / static_cast<double>(in.frames)));
        }
    }
    plugin.setMainsOn(false);
    analysis.nanSamples = chunks.nanSamples();
    analysis.infiniteSamples = chunks.infiniteSamples();
    analysis.readError = reader.readError();
    if (analysis.frames == 0 && !analysis.readError.empty()) {
        throw ToolError("cannot read " + inputPath + ": " + analysis.readError);
    }
    analysis.before = before.bands();
    analysis.after = after.bands();
    carryQuietBands(analysis.before, analysis.after);
    return analysis;
}

std::string analysisTable(const FileAnalysis& analysis) {
    char line[160];
    std::snprintf(line, sizeof line, ": %.2f s at %d Hz, %s\n",
                  static_cast<double>(analysis.frames) / analysis.sampleRateHz, analysis.sampleRateHz,
                  analysis.inputChannels == 1 ? "mono" : "stereo");
    std::string table = analysis.inputPath + line;
    if (analysis.frames == 0) {
        table += "  The file holds no samples: every band is silent.\n";
    } else if (analysis.inputChannels == 1) {
        table +=
            "  Mono: processed as a centred source, whose difference is silent, so its D/S reads \"silent\"\n"
            "  and its correlation +1 before the effect.\n";
    }
    table += bandTableHeading();
    for (std::size_t b = 0; b < analysis.before.size() && b < analysis.after.size(); ++b) {
        table += bandTableRow(analysis.before[b], analysis.after[b]);
    }
    return table;
}

std::string analysisCsv(const std::vector<FileAnalysis>& analyses) {
    std::string csv =
        "file,band_hz,level_before_dbfs,level_after_dbfs,difference_to_sum_before_db,difference_to_sum_after_db,"
        "difference_to_sum_change_db,correlation_before,correlation_after,correlation_change\n";
    for (const FileAnalysis& analysis : analyses) {
        for (std::size_t b = 0; b < analysis.before.size() && b < analysis.after.size(); ++b) {
            const OctaveBand& x = analysis.before[b];
            const OctaveBand& y = analysis.after[b];
            const bool noDs = x.difToSumSilent() || x.quiet;
            const bool noDsAfter = y.difToSumSilent() || y.quiet;
            const bool noCorrelation = x.correlationSilent() || x.quiet;
            const bool noCorrelationAfter = y.correlationSilent() || y.quiet;
            csv += csvField(analysis.inputPath) + "," + number("%g", false, x.centreHz) + "," +
                   number("%.3f", x.levelSilent(), x.levelDbfs()) + "," +
                   number("%.3f", y.levelSilent(), y.levelDbfs()) + "," + number("%.3f", noDs, x.difToSumDb()) + "," +
                   number("%.3f", noDsAfter, y.difToSumDb()) + "," +
                   number("%.3f", noDs || noDsAfter, y.difToSumDb() - x.difToSumDb()) + "," +
                   number("%.4f", noCorrelation, x.correlation()) + "," +
                   number("%.4f", noCorrelationAfter, y.correlation()) + "," +
                   number("%.4f", noCorrelation || noCorrelationAfter, y.correlation() - x.correlation()) + "\n";
        }
    }
    return csv;
}

int analyzeFiles(const AnalyzeRequest& request, std::ostream& out, std::ostream& err, bool interactive) {
    if (request.inputPaths.empty()) {
        throw ToolError("analyze needs at least one input file (see brevander help analyze)", 2);
    }
    // Refused before the analysis, which takes a while.
    checkPlotOutputs(request.imagePath, request.csvPath, request.overwrite);
    // A plug-in that won't load fails every file alike: said once, before any is read.
    StereoEffect{request.pluginPath.empty() ? toolPluginPath() : request.pluginPath};
    std::vector<FileAnalysis> analyses;
    bool failed = false;
    for (const std::string& path : request.inputPaths) {
        try {
            std::optional<ProgressBar> bar;
            RenderProgress progress;
            if (interactive) {
                progress = [&bar, &err](double fraction) {
                    if (!bar) {
                        bar.emplace(err, true);
                    }
                    bar->update(fraction);
                };
            }
            FileAnalysis analysis = analyzeFile(path, request, progress);
            bar.reset();
            if (!analysis.readError.empty()) {
                err << "brevander: warning: " << path << " is cut short (" << analysis.readError
                    << "); measured as far as it goes\n";
            }
            const std::string nonFinite = nonFiniteSamplesNote(path, analysis.nanSamples, analysis.infiniteSamples);
            if (!nonFinite.empty()) {
                err << "brevander: warning: " << nonFinite
                    << ", passed to the plug-in as they are and measured as silence\n";
            }
            out << (analyses.empty() ? "" : "\n") << analysisTable(analysis) << std::flush;
            analyses.push_back(std::move(analysis));
        } catch (const ToolError& e) {
            if (e.exitStatus != 1) {
                throw;  // a command line that makes no sense, or a stop, ends the run
            }
            err << "brevander: " << e.what() << "\n";
            failed = true;
        }
    }
    if (!analyses.empty() && !(request.csvPath.empty() && request.imagePath.empty())) {
        writeCsvAndPlot(analysisCsv(analyses), request.csvPath, request.imagePath,
                        "Brevander band analysis, " + describeSettings(request.settings), request.overwrite);
        out << "wrote "
            << (request.imagePath.empty()
                    ? request.csvPath
                    : request.imagePath + (request.csvPath.empty() ? "" : " and " + request.csvPath))
            << "\n";
    }
    return failed ? 1 : 0;
}
