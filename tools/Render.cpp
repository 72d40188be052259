#include "Render.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "AudioFile.h"
#include "BackgroundWriter.h"
#include "Opcodes.h"
#include "OutputTarget.h"
#include "ParameterSettings.h"
#include "StopSignals.h"
#include "ToolError.h"
#include "ToolFiles.h"

namespace {

// Set by the signal thread, or by a batch for every file it has in flight, while the
// render reads. Lock-free, so a signal handler could set it too.
std::atomic<bool> stopRequested{false};

constexpr std::size_t kChunkFrames = 16384;

PluginLibrary loadLibrary(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        throw ToolError("cannot load plug-in " + path + ": no such file");
    }
    try {
        return PluginLibrary(path);
    } catch (const PluginLoadError& e) {
        throw ToolError(e.what());
    }
}

std::string decibelsFullScale(float peak) {
    if (peak <= 0.0f) {
        return "-inf dBFS";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%+.1f dBFS", 20.0 * std::log10(static_cast<double>(peak)));
    return text;
}

}  // namespace

namespace {
PluginInstance& checkedInstance(std::optional<PluginInstance>& instance, const PluginLibrary& library, Host& host) {
    try {
        return instance.emplace(library, host);
    } catch (const PluginLoadError& e) {
        throw ToolError(e.what());
    }
}
}  // namespace

StereoEffect::StereoEffect(const std::string& pluginPath) : library_(loadLibrary(pluginPath)), host_(), instance_() {
    const AEffect& record = checkedInstance(instance_, library_, host_).record();
    if (record.numInputs != 2 || record.numOutputs != 2) {
        throw ToolError(pluginPath + " has " + std::to_string(record.numInputs) + " inputs and " +
                        std::to_string(record.numOutputs) + " outputs; the tool needs a stereo effect with 2 and 2");
    }
    if ((record.flags & effFlagsCanReplacing) == 0) {
        throw ToolError(pluginPath + " cannot process replacing its output, which the tool needs");
    }
}

void requestRenderStop() { stopRequested = true; }

void clearRenderStop() { stopRequested = false; }

void checkProcessableInput(const AudioReader& reader, const std::string& path) {
    const AudioFileInfo& in = reader.info();
    if (in.channels < 1 || in.channels > 2) {
        throw ToolError(path + " has " + std::to_string(in.channels) +
                        " channels; the tool processes mono or stereo files");
    }
    if (in.sampleRateHz <= 0) {
        throw ToolError(path + " has no usable sample rate");
    }
}

void startEffect(PluginInstance& plugin, int sampleRateHz, int blockFrames,
                 const std::vector<ParameterAssignment>& assignments) {
    plugin.setSampleRate(static_cast<float>(sampleRateHz));
    plugin.setBlockSize(blockFrames);
    plugin.setMainsOn(true);
    applySettings(plugin, assignments);
}

// The file is read in chunks of whole blocks, far fewer calls into libsndfile than
// one per block; the plug-in still gets blocks of the size asked for.
EffectChunks::EffectChunks(AudioReader& reader, PluginInstance& plugin, int blockFrames)
    : reader_(reader),
      plugin_(plugin),
      block_(static_cast<std::size_t>(blockFrames)),
      chunk_(block_ * std::max<std::size_t>(1, kChunkFrames / block_)),
      channels_(static_cast<std::size_t>(reader.info().channels)),
      interleaved_(chunk_ * channels_),
      left_(chunk_),
      right_(chunk_),
      outLeft_(chunk_),
      outRight_(chunk_) {}

std::size_t EffectChunks::read() {
    // A signal that came before this render began, in an earlier step, counts too.
    if (stopRequested || stopSignalReceived()) {
        claimExit();
        throw ToolError(kInterruptedMessage, 130);
    }
    frames_ = static_cast<std::size_t>(reader_.read(interleaved_.data(), static_cast<std::int64_t>(chunk_)));
    for (std::size_t i = 0; i < frames_; ++i) {
        left_[i] = interleaved_[i * channels_];
        right_[i] = interleaved_[i * channels_ + channels_ - 1];
    }
    for (std::size_t j = 0; j < frames_ * channels_; ++j) {
        const float sample = interleaved_[j];
        if (!std::isfinite(sample)) {
            ++(std::isnan(sample) ? nanSamples_ : infiniteSamples_);
        }
    }
    return frames_;
}

void EffectChunks::process() {
    for (std::size_t at = 0; at < frames_; at += block_) {
        float* inputs[2] = {left_.data() + at, right_.data() + at};
        float* outputs[2] = {outLeft_.data() + at, outRight_.data() + at};
        plugin_.processReplacing(inputs, outputs, static_cast<VstInt32>(std::min(block_, frames_ - at)));
    }
}

RenderSummary renderFile(const RenderRequest& request, const RenderProgress& progress) {
    if (request.blockFrames < 1 || request.blockFrames > 1 << 20) {
        throw ToolError("--block needs a frame count from 1 to 1048576", 2);
    }
    // A stop that comes while the input is being opened counts too.
    clearRenderStop();
    // Refused before the input is opened: reading a pipe would consume it.
    const bool overwrite = request.overwrite || request.inPlace;
    checkOutputIsNotInput(request.inputPath, request.outputPath, request.inPlace);
    checkOutputTarget(request.outputPath, overwrite);
    AudioReader reader(request.inputPath);
    const AudioFileInfo& in = reader.info();
    checkProcessableInput(reader, request.inputPath);

    const std::string pluginPath = request.pluginPath.empty() ? toolPluginPath() : request.pluginPath;
    StereoEffect effect(pluginPath);
    PluginInstance& plugin = effect.instance();
    const std::vector<ParameterAssignment> assignments =
        parseSettings(request.settings, ParameterCatalogue::of(plugin), pluginPath);

    // A mono file is a centred source: both inputs get it, and the output is stereo.
    constexpr int kOutputChannels = 2;
    const int format = outputFormat(request.format, request.outputPath, in.format, kOutputChannels, in.sampleRateHz);
    const bool clips = isIntegerFormat(format);
    const std::int64_t maximum = maximumFrames(format, kOutputChannels);
    if (maximum >= 0 && in.frames > maximum) {
        throw ToolError(request.outputPath + " would pass the 4 GiB that " + describeFormat(format) +
                        " files can hold (" + std::to_string(in.frames) + " frames); use .w64, .rf64, .caf or .flac");
    }

    startEffect(plugin, in.sampleRateHz, request.blockFrames, assignments);
    EffectChunks chunks(reader, plugin, request.blockFrames);
    const std::size_t chunk = chunks.chunkFrames();
    const auto channels = static_cast<std::size_t>(in.channels);
    BackgroundWriter writer(request.outputPath, format, kOutputChannels, in.sampleRateHz, in.promisedFrames,
                            chunk * kOutputChannels, overwrite);

    RenderSummary summary;
    summary.sampleRateHz = in.sampleRateHz;
    summary.inputChannels = in.channels;
    summary.outputFormat = format;
    const auto started = std::chrono::steady_clock::now();
    for (;;) {
        const std::size_t n = chunks.read();
        if (n == 0) {
            break;
        }
        const std::vector<float>& interleavedIn = chunks.interleaved();
        float peakIn = summary.peakIn;
        for (std::size_t j = 0; j < n * channels; ++j) {
            const float sample = interleavedIn[j];
            if (std::isfinite(sample)) {
                peakIn = std::max(peakIn, std::fabs(sample));
            }
        }
        summary.peakIn = peakIn;
        chunks.process();
        const float* outLeft = chunks.outLeft();
        const float* outRight = chunks.outRight();
        std::vector<float> interleavedOut = writer.take();
        float peakOut = summary.peakOut;
        for (std::size_t i = 0; i < n; ++i) {
            interleavedOut[2 * i] = outLeft[i];
            interleavedOut[2 * i + 1] = outRight[i];
            peakOut = std::max(peakOut, std::max(std::fabs(outLeft[i]), std::fabs(outRight[i])));
        }
        summary.peakOut = peakOut;
        if (clips) {
            for (std::size_t j = 0; j < n * kOutputChannels; ++j) {
                float& sample = interleavedOut[j];
                if (!(std::fabs(sample) <= 1.0f)) {
                    sample = std::isnan(sample) ? 0.0f : std::clamp(sample, -1.0f, 1.0f);
                    ++summary.clippedSamples;
                }
            }
        }
        writer.write(std::move(interleavedOut), static_cast<std::int64_t>(n));
        summary.frames += static_cast<std::int64_t>(n);
        if (progress && in.frames > 0) {
            progress(std::min(1.0, static_cast<double>(summary.frames) / static_cast<double>(in.frames)));
        }
    }
    summary.nanInputSamples = chunks.nanSamples();
    summary.infiniteInputSamples = chunks.infiniteSamples();
    summary.readError = reader.readError();
    summary.promisedFrames = std::max(in.promisedFrames, summary.frames);
    if (summary.frames == 0 && !summary.readError.empty()) {
        throw ToolError("cannot read " + request.inputPath + ": " + summary.readError);
    }
    plugin.setMainsOn(false);
    writer.commit();
    summary.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    summary.audioSeconds = static_cast<double>(summary.frames) / in.sampleRateHz;
    return summary;
}

std::vector<std::string> warningLines(const RenderRequest& request, const RenderSummary& summary) {
    std::vector<std::string> lines;
    const std::string nonFinite =
        nonFiniteSamplesNote(request.inputPath, summary.nanInputSamples, summary.infiniteInputSamples);
    if (!nonFinite.empty()) {
        lines.push_back(nonFinite + ", passed to the plug-in as they are");
    }
    if (summary.promisedFrames > summary.frames) {
        lines.push_back(request.inputPath + " is cut short: its header promised " +
                        std::to_string(summary.promisedFrames) + " frames, it held " + std::to_string(summary.frames) +
                        (summary.readError.empty() ? "" : " (" + summary.readError + ")") +
                        "; the output has those it held");
    }
    return lines;
}

std::string nonFiniteSamplesNote(const std::string& inputPath, std::int64_t nanSamples, std::int64_t infiniteSamples) {
    if (nanSamples == 0 && infiniteSamples == 0) {
        return "";
    }
    return inputPath + " holds " + std::to_string(nanSamples) + " NaN and " + std::to_string(infiniteSamples) +
           " infinite samples";
}

std::string summaryLine(const RenderRequest& request, const RenderSummary& summary) {
    // The paths go in whole, however long; only the figures are formatted.
    char figures[256];
    const double speed = summary.wallSeconds > 0.0 ? summary.audioSeconds / summary.wallSeconds : 0.0;
    const std::string clipping =
        summary.clippedSamples == 0 ? "no clipping" : std::to_string(summary.clippedSamples) + " samples clipped";
    std::snprintf(figures, sizeof figures, ": %lld frames, %.2f s at %d Hz%s, %.0fx real time, peak in %s, out %s, %s",
                  static_cast<long long>(summary.frames), summary.audioSeconds, summary.sampleRateHz,
                  summary.inputChannels == 1 ? " (mono in)" : "", speed, decibelsFullScale(summary.peakIn).c_str(),
                  decibelsFullScale(summary.peakOut).c_str(), clipping.c_str());
    return request.inputPath + " -> " + request.outputPath + figures + " (" + describeFormat(summary.outputFormat) +
           ")";
}
