// Rendering many files with the same settings into one folder, several at once:
// each file in flight has its own plug-in instance and goes through renderFile, so
// every output is exactly what a render of that file alone gives.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "Render.h"

struct BatchRequest {
    std::vector<std::string> inputPaths;  // files, or folders whose audio files are all taken
    std::string outputDir;                // created when missing
    RenderRequest render;                 // the settings for every file; its paths are ignored
    int jobs = 0;                         // files rendered at once; 0: one per core
    bool recursive = false;               // folders' subfolders too, their tree mirrored under outputDir
    int shardIndex = 0;                   // only the inputs of shard shardIndex of shardCount
    int shardCount = 1;
    bool skipExisting = false;  // an output that exists is complete: leave it and report it skipped
    std::string reportPath;     // one JSON line per input; empty for none
};

struct BatchResult {
    int files = 0;   // inputs asked for
    int failed = 0;  // inputs that ended in an error, interruptions included
    int rendered = 0;
    int skipped = 0;
    std::int64_t frames = 0;
    double audioSeconds = 0.0;
    double wallSeconds = 0.0;
    bool interrupted = false;
    bool reportFailed = false;  // a report line could not be written, which stopped the batch

    // 0 when every file was rendered, 130 when interrupted, else 1.
    int exitStatus() const;
};

// The inputs with folders replaced by the audio files in them (by extension,
// sorted by name; with `recursive`, those in every subfolder too, hidden ones and
// the output folder excepted), and the output path of each: the folder, then the
// input's path relative to the folder it was found in (a file named on its own: its
// name), with the extension of --format's container when one is asked for. Only
// the inputs of the request's shard are kept. Throws ToolError (exit status 2) when
// two inputs of any shard would give the same output, or for a --format naming no
// known container.
struct BatchPlan {
    std::vector<std::string> inputPaths;
    std::vector<std::string> outputPaths;
};
BatchPlan planBatch(const BatchRequest& request);

// The shard, from 0 to shardCount - 1, of an input found at `relativePath` (as
// planBatch names outputs, with '/' between folders): the first 64 bits of that
// path's SHA-256, as a big-endian number, modulo the count; of that path alone, so
// that tasks on different machines agree without talking and files added later
// never move one already assigned.
int shardOf(const std::string& relativePath, int shardCount);

// Renders every file of the plan. Writes one summary line per file to `out` as it
// finishes and a total line at the end, and with a report path one JSON line per
// file to that file, written and flushed as the file finishes; one "brevander: IN: reason" line per failed
// file to `err`, and, when `showProgress`, one bar over all the files' frames there.
// A failed file stops no other. Throws ToolError only for what stops the batch
// before any file starts (a plan that can't be made, an output folder or a report
// that can't be created).
BatchResult renderBatch(const BatchRequest& request, std::ostream& out, std::ostream& err, bool showProgress);

// "20 files, 52920000 frames, 1200.00 s of audio in 31.20 s, 38x real time, 0 failed"
// (and ", 3 skipped" when some were)
std::string batchTotalLine(const BatchResult& result);

// Stops a batch: files in flight stop at their next block, no further file starts.
// Safe in a signal handler; it also asks a single render to stop.
void requestBatchStop();
