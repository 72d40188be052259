// Many files through renderFile at once: a shared queue of inputs, a fixed number
// of workers, and one lock for everything printed so lines never mix.
#include "BatchRender.h"

#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "AudioFile.h"
#include "ProgressBar.h"
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

// A folder stands for the audio files directly in it; hidden files, such as another
// render's unfinished output, are not inputs.
void addInput(const std::string& path, std::vector<std::string>& inputs) {
    std::error_code ec;
    if (!std::filesystem::is_directory(path, ec)) {
        inputs.push_back(path);
        return;
    }
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(path, ec)) {
        const std::filesystem::path& p = entry.path();
        if (entry.is_regular_file(ec) && p.filename().string().front() != '.' && isAudioFileName(p)) {
            found.push_back(p.string());
        }
    }
    if (ec) {
        throw ToolError("cannot list " + path + ": " + ec.message());
    }
    if (found.empty()) {
        throw ToolError(path + " holds no audio files (.wav, .aiff, .flac or .ogg)", 2);
    }
    std::sort(found.begin(), found.end());
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

}  // namespace

int BatchResult::exitStatus() const {
    if (interrupted) {
        return 130;
    }
    return failed == 0 ? 0 : 1;
}

BatchPlan planBatch(const BatchRequest& request) {
    BatchPlan plan;
    for (const std::string& path : request.inputPaths) {
        addInput(path, plan.inputPaths);
    }
    if (plan.inputPaths.empty()) {
        throw ToolError("render needs at least one input file", 2);
    }
    const std::string extension = outputExtension(request.render.format);
    if (!request.render.format.empty()) {
        // A format name the renders would refuse is refused once, here, rather than once per file.
        outputFormat(request.render.format, "output" + extension, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100);
    }
    std::map<std::string, std::string> inputOfOutput;
    for (const std::string& input : plan.inputPaths) {
        std::filesystem::path name = std::filesystem::path(input).filename();
        if (name.empty()) {
            throw ToolError("cannot name an output for '" + input + "': it has no file name", 2);
        }
        if (!extension.empty()) {
            name.replace_extension(extension);
        }
        const std::string output = (std::filesystem::path(request.outputDir) / name).string();
        const auto [it, added] = inputOfOutput.emplace(output, input);
        if (!added) {
            throw ToolError(
                it->second + " and " + input + " would both be written to " + output + "; nothing was rendered", 2);
        }
        plan.outputPaths.push_back(output);
    }
    return plan;
}

BatchResult renderBatch(const BatchRequest& request, std::ostream& out, std::ostream& err, bool showProgress) {
    const BatchPlan plan = planBatch(request);
    // A plug-in that won't load fails every file alike: said once, before any is read.
    StereoEffect{request.render.pluginPath.empty() ? toolPluginPath() : request.render.pluginPath};
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
    std::mutex printing;  // guards out, err, bar and result
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
            RenderRequest single = request.render;
            single.inputPath = plan.inputPaths[i];
            single.outputPath = plan.outputPaths[i];
            const RenderProgress progress = [&, i, reported = std::int64_t{0}](double fraction) mutable {
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
            bool interrupted = false;
            try {
                summary = renderFile(single, progress);
                line = summaryLine(single, *summary) + "\n";
                for (const std::string& warning : warningLines(single, *summary)) {
                    warnings += "brevander: warning: " + warning + "\n";
                }
            } catch (const ToolError& e) {
                line = "brevander: " + single.inputPath + ": " + e.what() + "\n";
                interrupted = e.exitStatus == 130;
            } catch (const std::exception& e) {
                line = "brevander: " + single.inputPath + ": " + e.what() + "\n";
            }
            const std::lock_guard<std::mutex> lock(printing);
            bar.clear();
            if (summary) {
                ++result.rendered;
                result.frames += summary->frames;
                result.audioSeconds += summary->audioSeconds;
                err << warnings << std::flush;
                out << line << std::flush;
            } else {
                ++result.failed;
                result.interrupted = result.interrupted || interrupted;
                err << line << std::flush;
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
    result.interrupted = result.interrupted || stopping();
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
    const int notStarted = result.files - result.rendered - result.failed;
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
