// `brevander analyze`: what the effect does to a recording's width, band by band.
// Each input goes through the effect with the given settings, as render would
// process it, and the band analysis measures the input and the output side by side.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "BandAnalysis.h"
#include "ParameterSettings.h"
#include "Render.h"

struct AnalyzeRequest {
    std::vector<std::string> inputPaths;
    std::string pluginPath;  // empty: the Brevander file beside the tool
    int blockFrames = 512;
    std::vector<ParameterSetting> settings;  // --set and --param, applied in the order given
    std::string csvPath;                     // --csv, may be empty
    std::string imagePath;                   // --out, may be empty
    bool overwrite = false;
};

struct FileAnalysis {
    std::string inputPath;
    int sampleRateHz = 0;
    int inputChannels = 0;
    std::int64_t frames = 0;
    std::vector<OctaveBand> before;  // the input, a mono one as a centred stereo source
    std::vector<OctaveBand> after;   // the effect's output
    std::string readError;           // why the input ended early, when its decoder said
    std::int64_t nanSamples = 0;     // in the input, measured as silence before the effect
    std::int64_t infiniteSamples = 0;
};

// One file read in blocks through a freshly loaded effect, in bounded memory;
// `progress` hears the fraction done after each chunk of a file a minute or more
// long. Throws ToolError.
FileAnalysis analyzeFile(const std::string& inputPath, const AnalyzeRequest& request,
                         const RenderProgress& progress = {});

// The file's table as printed: a line naming the file and what it holds, a line for
// a mono or an empty file, the heading and a row per band.
std::string analysisTable(const FileAnalysis& analysis);

// The CSV of every file's bands, one row each; a figure with nothing to measure, or
// of a quiet band, is an empty field.
std::string analysisCsv(const std::vector<FileAnalysis>& analyses);

// Every input in turn: prints its table on `out`, reports a file that fails on `err`
// and goes on, then writes --csv and --out from the files measured. Answers the
// exit status: 1 when any file failed.
int analyzeFiles(const AnalyzeRequest& request, std::ostream& out, std::ostream& err, bool interactive);
