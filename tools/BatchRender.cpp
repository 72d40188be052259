// Many files through renderFile at once: a shared queue of inputs, a fixed number
// of workers, and one lock for everything printed so lines never mix.
#include "BatchRender.h"

#include <fcntl.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "AudioFile.h"
#include "OutputFile.h"
#include "OutputTarget.h"
#include "ProgressBar.h"
#include "Sha256.h"
#include "StopSignals.h"
#include "ToolError.h"
#include "ToolFiles.h"

namespace {

std::atomic<bool> batchStopRequested{false};

// A stop asked for by the caller or by one of the stop signals stands for the whole batch.
bool stopping() { return batchStopRequested || stopSignalReceived(); }

std::string lowercase(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

bool isAudioFileName(const std::filesystem::path& path) {
    static const char* const kExtensions[] = {".wav", ".wave", ".aif", ".aiff", ".aifc", ".flac", ".ogg", ".oga"};
    const std::string extension = lowercase(path.extension().string());
    return std::find(std::begin(kExtensions), std::end(kExtensions), extension) != std::end(kExtensions);
}

struct FoundInput {
    std::string path;
    std::string relativePath;  // to the folder it was found in, '/' between folders; a named file's name
};

bool isHidden(const std::filesystem::path& path) { return path.filename().string().front() == '.'; }

// A folder stands for the audio files directly in it, or with `recursive` for those
// anywhere under it; hidden files, such as another render's unfinished output, are
// not inputs, nor is anything in a hidden folder or in the output folder, which may
// lie inside an input folder and would otherwise feed a later run its own outputs.
void addInput(const std::string& path, bool recursive, const std::string& outputDir, std::vector<FoundInput>& inputs) {
    std::error_code ec;
    if (!std::filesystem::is_directory(path, ec)) {
        inputs.push_back({path, std::filesystem::path(path).filename().generic_string()});
        return;
    }
    std::filesystem::path base = path;
    if (!base.has_filename()) {
        base = base.parent_path();  // "in/" lists its entries as "in/x", which must come out as "x"
    }
    std::vector<FoundInput> found;
    const auto take = [&](const std::filesystem::directory_entry& entry) {
        std::error_code typeError;
        const std::filesystem::path& p = entry.path();
        if (entry.is_regular_file(typeError) && !isHidden(p) && isAudioFileName(p)) {
            found.push_back({p.string(), p.lexically_relative(base).generic_string()});
        }
    };
    if (recursive) {
        std::filesystem::recursive_directory_iterator it(path, ec);
        for (; !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            std::error_code typeError;
            if (!it->is_directory(typeError)) {
                take(*it);
            } else if (isHidden(it->path()) || std::filesystem::equivalent(it->path(), outputDir, typeError)) {
                it.disable_recursion_pending();
            }
        }
    } else {
        for (const auto& entry : std::filesystem::directory_iterator(path, ec)) {
            take(entry);
        }
    }
    if (ec) {
        throw ToolError("cannot list " + path + ": " + ec.message());
    }
    if (found.empty()) {
        throw ToolError(path + " holds no audio files (.wav, .aiff, .flac or .ogg)" +
                            (recursive ? std::string(" in it or its folders") : std::string()),
                        2);
    }
    std::sort(found.begin(), found.end(),
              [](const FoundInput& a, const FoundInput& b) { return a.relativePath < b.relativePath; });
    inputs.insert(inputs.end(), found.begin(), found.end());
}

// The container --format names is also the usual extension of its files; a format
// with no container (":24") keeps the input's.
std::string outputExtension(const std::string& format) {
    const std::string container = lowercase(format.substr(0, format.find(':')));
    return container.empty() ? "" : "." + container;
}

// Frames of each input, for the combined bar; 0 for a file that can't be read,
// whose render will report why, and for a pipe or FIFO, which only its render may read.
std::vector<std::int64_t> framesOf(const std::vector<std::string>& inputs) {
    std::vector<std::int64_t> frames;
    for (const std::string& path : inputs) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec)) {
            frames.push_back(0);
            continue;
        }
        try {
            frames.push_back(std::max<std::int64_t>(0, AudioReader(path).info().frames));
        } catch (const ToolError&) {
            frames.push_back(0);
        }
    }
    return frames;
}

std::string jsonString(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            quoted += escape;
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

// What became of one input, as its report line gives it; a figure not known is null.
struct Outcome {
    const char* status = "failed";  // rendered, skipped or failed
    std::string message;
    std::optional<std::int64_t> frames;
    std::optional<int> sampleRateHz;
    std::string format;
    std::string sha256;
    double seconds = 0.0;
};

// The report, written line by line in place rather than renamed into place at the
// end: a task killed outright must still leave the record of the files it finished.
// Each line goes out in one write and is flushed to disk before the next file's.
class Report {
public:
    Report(const std::string& path, bool overwrite) : path_(path) {
        if (path.empty()) {
            return;
        }
        const OutputTarget target = checkOutputTarget(path, overwrite);
        descriptor_ =
            open(target.targetPath.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (target.exists ? O_TRUNC : O_EXCL), 0666);
        if (descriptor_ < 0) {
            throw ToolError("cannot write " + path + ": " + std::strerror(errno));
        }
    }
    Report(const Report&) = delete;
    Report& operator=(const Report&) = delete;
    ~Report() {
        if (descriptor_ >= 0) {
            close(descriptor_);
        }
    }

    // Throws ToolError when the line can't be written.
    void add(const RenderRequest& file, const Outcome& outcome) {
        if (descriptor_ < 0) {
            return;
        }
        std::string settings;
        for (const ParameterSetting& s : file.settings) {
            if (!settings.empty()) {
                settings += ',';
            }
            settings += jsonString(describeSetting(s));
        }
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.3f", outcome.seconds);
        const auto orNull = [](const std::string& text) {
            return text.empty() ? std::string("null") : jsonString(text);
        };
        std::string line = "{\"input\":" + jsonString(file.inputPath);
        line += ",\"output\":" + jsonString(file.outputPath);
        line += ",\"status\":" + jsonString(outcome.status);
        line += ",\"message\":" + orNull(outcome.message);
        line += ",\"frames\":" + (outcome.frames ? std::to_string(*outcome.frames) : "null");
        line += ",\"rate\":" + (outcome.sampleRateHz ? std::to_string(*outcome.sampleRateHz) : "null");
        line += ",\"format\":" + orNull(outcome.format);
        line += ",\"seconds\":" + std::string(seconds);
        line += ",\"sha256\":" + orNull(outcome.sha256);
        line += ",\"settings\":[" + settings + "]";
        line += ",\"block\":" + std::to_string(file.blockFrames) + "}\n";
        writeAll(descriptor_, line.data(), line.size(), path_);
        if (fdatasync(descriptor_) != 0 && errno != EINVAL) {
            throw ToolError("cannot write " + path_ + ": " + std::strerror(errno));
        }
    }

private:
    std::string path_;
    int descriptor_ = -1;
};

// The figures of an output that is there already, from its header, and its digest.
void describeExisting(const std::string& path, Outcome& outcome) {
    try {
        const AudioFileInfo info = AudioReader(path).info();
        outcome.frames = info.frames;
        outcome.sampleRateHz = info.sampleRateHz;
        outcome.format = describeFormat(info.format);
        outcome.sha256 = sha256OfFile(path);
    } catch (const ToolError& e) {
        outcome.message = e.what();
    }
}

}  // namespace

int BatchResult::exitStatus() const {
    if (interrupted) {
        return 130;
    }
    return failed == 0 && !reportFailed ? 0 : 1;
}

// The first 64 bits of the path's SHA-256, as a big-endian number, modulo the count.
// FNV-1a, tried first, mixes too little for this: modulo a power of two its low bits
// depend only on the low bits of each byte, so a count of 2 split names that are
// anagrams of each other alike.
int shardOf(const std::string& relativePath, int shardCount) {
    Sha256 digest;
    digest.update(reinterpret_cast<const unsigned char*>(relativePath.data()), relativePath.size());
    const std::uint64_t leading = std::stoull(digest.finishHex().substr(0, 16), nullptr, 16);
    return static_cast<int>(leading % static_cast<std::uint64_t>(shardCount));
}

BatchPlan planBatch(const BatchRequest& request) {
    if (request.shardCount < 1 || request.shardIndex < 0 || request.shardIndex >= request.shardCount) {
        throw ToolError("shard " + std::to_string(request.shardIndex) + " of " + std::to_string(request.shardCount) +
                            " does not exist: shards are numbered from 0 to the count less one",
                        2);
    }
    std::vector<FoundInput> found;
    for (const std::string& path : request.inputPaths) {
        addInput(path, request.recursive, request.outputDir, found);
    }
    if (found.empty()) {
        throw ToolError("render needs at least one input file", 2);
    }
    const std::string extension = outputExtension(request.render.format);
    if (!request.render.format.empty()) {
        // A format name the renders would refuse is refused once, here, rather than once per file.
        outputFormat(request.render.format, "output" + extension, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100);
    }
    // Every shard's outputs are checked, so that all tasks of an array refuse the same clash.
    BatchPlan plan;
    std::map<std::string, std::string> inputOfOutput;
    for (const FoundInput& input : found) {
        std::filesystem::path name = input.relativePath;
        if (!name.has_filename()) {
            throw ToolError("cannot name an output for '" + input.path + "': it has no file name", 2);
        }
        if (!extension.empty()) {
            name.replace_extension(extension);
        }
        const std::string output = (std::filesystem::path(request.outputDir) / name).string();
        const auto [it, added] = inputOfOutput.emplace(output, input.path);
        if (!added) {
            throw ToolError(
                it->second + " and " + input.path + " would both be written to " + output + "; nothing was rendered",
                2);
        }
        if (shardOf(input.relativePath, request.shardCount) == request.shardIndex) {
            plan.inputPaths.push_back(input.path);
            plan.outputPaths.push_back(output);
        }
    }
    return plan;
}

BatchResult renderBatch(const BatchRequest& request, std::ostream& out, std::ostream& err, bool showProgress) {
    if (request.skipExisting && request.render.overwrite) {
        throw ToolError("--skip-existing leaves existing outputs alone and --overwrite replaces them; give one", 2);
    }
    const BatchPlan plan = planBatch(request);
    // A plug-in that won't load fails every file alike: said once, before any is read.
    StereoEffect{request.render.pluginPath.empty() ? toolPluginPath() : request.render.pluginPath};
    Report report(request.reportPath, request.render.overwrite);
    std::error_code ec;
    std::filesystem::create_directories(request.outputDir, ec);
    if (ec || !std::filesystem::is_directory(request.outputDir, ec)) {
        throw ToolError("cannot create the folder " + request.outputDir + (ec ? ": " + ec.message() : ""));
    }

    const std::size_t count = plan.inputPaths.size();
    const std::vector<std::int64_t> frames = showProgress ? framesOf(plan.inputPaths) : std::vector<std::int64_t>();
    std::int64_t totalFrames = 0;
    for (const std::int64_t f : frames) {
        totalFrames += f;
    }

    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t workers =
        std::min<std::size_t>(count, request.jobs > 0 ? static_cast<std::size_t>(request.jobs) : cores);

    BatchResult result;
    result.files = static_cast<int>(count);
    std::mutex printing;  // guards out, err, bar, report and result
    ProgressBar bar(err, showProgress && totalFrames > 0);
    std::int64_t framesDone = 0;
    std::atomic<std::size_t> next{0};
    batchStopRequested = false;
    const auto started = std::chrono::steady_clock::now();

    const auto work = [&] {
        for (;;) {
            const std::size_t i = next++;
            if (i >= count || stopping()) {
                return;
            }
            const auto fileStarted = std::chrono::steady_clock::now();
            RenderRequest single = request.render;
            single.inputPath = plan.inputPaths[i];
            single.outputPath = plan.outputPaths[i];
            std::int64_t reported = 0;
            const RenderProgress progress = [&, i](double fraction) {
                // renderFile clears the single-render stop as it starts; a batch stop
                // stands until the batch ends, so it is passed on after every block.
                if (stopping()) {
                    requestRenderStop();
                }
                if (frames.empty()) {
                    return;
                }
                const auto now = static_cast<std::int64_t>(fraction * static_cast<double>(frames[i]));
                const std::lock_guard<std::mutex> lock(printing);
                framesDone += now - reported;
                reported = now;
                bar.update(static_cast<double>(framesDone) / static_cast<double>(totalFrames));
            };
            std::string line;
            std::string warnings;
            std::optional<RenderSummary> summary;
            Outcome outcome;
            bool interrupted = false;
            std::error_code exists;
            if (request.skipExisting && std::filesystem::exists(single.outputPath, exists)) {
                outcome.status = "skipped";
                if (!request.reportPath.empty()) {
                    describeExisting(single.outputPath, outcome);
                }
                line = single.inputPath + " -> " + single.outputPath + ": skipped, it exists already\n";
                progress(1.0);
            } else {
                try {
                    const std::filesystem::path folder = std::filesystem::path(single.outputPath).parent_path();
                    std::error_code made;
                    if (!folder.empty() && !std::filesystem::create_directories(folder, made) && made) {
                        throw ToolError("cannot create the folder " + folder.string() + ": " + made.message());
                    }
                    summary = renderFile(single, progress);
                    line = summaryLine(single, *summary) + "\n";
                    for (const std::string& warning : warningLines(single, *summary)) {
                        warnings += "brevander: warning: " + warning + "\n";
                    }
                    outcome.status = "rendered";
                    outcome.frames = summary->frames;
                    outcome.sampleRateHz = summary->sampleRateHz;
                    outcome.format = describeFormat(summary->outputFormat);
                } catch (const ToolError& e) {
                    outcome.message = e.what();
                    interrupted = e.exitStatus == 130;
                } catch (const std::exception& e) {
                    outcome.message = e.what();
                }
                if (!outcome.message.empty()) {
                    line = "brevander: " + single.inputPath + ": " + outcome.message + "\n";
                } else if (!request.reportPath.empty()) {
                    // The output is in place; a digest that can't be taken is only noted.
                    try {
                        outcome.sha256 = sha256OfFile(single.outputPath);
                    } catch (const ToolError& e) {
                        outcome.message = e.what();
                    }
                }
            }
            outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - fileStarted).count();
            const std::lock_guard<std::mutex> lock(printing);
            bar.clear();
            if (summary) {
                ++result.rendered;
                result.frames += summary->frames;
                result.audioSeconds += summary->audioSeconds;
                err << warnings << std::flush;
                out << line << std::flush;
            } else if (outcome.status == std::string("skipped")) {
                ++result.skipped;
                out << line << std::flush;
            } else {
                ++result.failed;
                result.interrupted = result.interrupted || interrupted;
                err << line << std::flush;
            }
            try {
                report.add(single, outcome);
            } catch (const ToolError& e) {
                // A report that can't be kept makes the run's record unreliable: stop it.
                err << "brevander: " << e.what() << "\n" << std::flush;
                result.reportFailed = true;
                batchStopRequested = true;
            }
            if (!frames.empty()) {
                bar.update(static_cast<double>(framesDone) / static_cast<double>(totalFrames));
            }
        }
    };
    std::vector<std::thread> threads;
    for (std::size_t w = 1; w < workers; ++w) {
        threads.emplace_back(work);
    }
    work();
    for (std::thread& t : threads) {
        t.join();
    }
    bar.clear();
    result.interrupted = result.interrupted || (stopping() && !result.reportFailed);
    result.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    out << batchTotalLine(result) << "\n" << std::flush;
    return result;
}

std::string batchTotalLine(const BatchResult& result) {
    char text[256];
    const double speed = result.wallSeconds > 0.0 ? result.audioSeconds / result.wallSeconds : 0.0;
    std::snprintf(text, sizeof text, "%d files, %lld frames, %.2f s of audio in %.2f s, %.0fx real time, %d failed",
                  result.files, static_cast<long long>(result.frames), result.audioSeconds, result.wallSeconds, speed,
                  result.failed);
    std::string line = text;
    if (result.skipped > 0) {
        line += ", " + std::to_string(result.skipped) + " skipped";
    }
    const int notStarted = result.files - result.rendered - result.skipped - result.failed;
    if (result.interrupted) {
        line += ", interrupted";
        if (notStarted > 0) {
            line += " before " + std::to_string(notStarted) + (notStarted == 1 ? " file" : " files") + " started";
        }
    }
    return line;
}

void requestBatchStop() {
    batchStopRequested = true;
    requestRenderStop();
}
