// Rendering an audio file through a plug-in file, block by block, as a host does:
// announce the rate and block size, switch the effect on, set the parameters,
// process, switch it off.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ParameterSettings.h"
#include "PluginInstance.h"
#include "ToolFiles.h"

struct RenderRequest {
    std::string inputPath;
    std::string outputPath;
    std::string pluginPath;  // empty: the Brevander file beside the tool
    int blockFrames = 512;
    std::string format;                      // --format; empty keeps the input's
    std::vector<ParameterSetting> settings;  // --set and --param, applied in the order given
    bool overwrite = false;                  // --overwrite (-y): OUT may replace an existing file
    bool inPlace = false;                    // --in-place: OUT may be IN itself
};

struct RenderSummary {
    std::int64_t frames = 0;
    int sampleRateHz = 0;
    int inputChannels = 0;
    double audioSeconds = 0.0;
    double wallSeconds = 0.0;
    float peakIn = 0.0f;   // largest magnitude, full scale 1
    float peakOut = 0.0f;  // before any clipping
    std::int64_t clippedSamples = 0;
    int outputFormat = 0;
    // Input samples that are not numbers or are infinite, counted per channel of
    // the file (a mono sample once); the plug-in gets them as they are.
    std::int64_t nanInputSamples = 0;
    std::int64_t infiniteInputSamples = 0;
    // The frames the input's header promised; more than `frames` for a cut-off file.
    std::int64_t promisedFrames = 0;
    std::string readError;  // why the input ended early, when its decoder said
};

// A loaded effect file with one instance, checked to be an effect with two inputs
// and two outputs that processes in place of its output. Throws ToolError.
class StereoEffect {
public:
    explicit StereoEffect(const std::string& pluginPath);
    PluginInstance& instance() { return *instance_; }

private:
    PluginLibrary library_;
    Host host_;
    std::optional<PluginInstance> instance_;
};

class AudioReader;

// Checks that the tool can process an opened input: mono or stereo, with a usable
// rate. Throws ToolError naming `path`.
void checkProcessableInput(const AudioReader& reader, const std::string& path);

// Switches the effect on as a host does: the rate and block size announced, then
// the settings applied.
void startEffect(PluginInstance& plugin, int sampleRateHz, int blockFrames,
                 const std::vector<ParameterAssignment>& assignments);

// An input read in chunks of whole blocks, each block run through the effect as its
// own processing call: what render and analyze share. A mono input is a centred
// source, the same samples in both inputs of the effect.
class EffectChunks {
public:
    // The effect must be started (see startEffect) with the same block size.
    EffectChunks(AudioReader& reader, PluginInstance& plugin, int blockFrames);
    std::size_t chunkFrames() const { return chunk_; }

    // Reads the next chunk, answering its frame count (0 at the end). Throws ToolError
    // with exit status 130 when a stop was asked for (requestRenderStop, or a signal).
    std::size_t read();
    // Runs the chunk just read through the effect.
    void process();

    // The NaN and the infinite samples read so far, in every channel.
    std::int64_t nanSamples() const { return nanSamples_; }
    std::int64_t infiniteSamples() const { return infiniteSamples_; }

    // The chunk as read, interleaved in the file's channels, and the effect's
    // inputs and outputs, valid for the frames read.
    const std::vector<float>& interleaved() const { return interleaved_; }
    const float* left() const { return left_.data(); }
    const float* right() const { return right_.data(); }
    const float* outLeft() const { return outLeft_.data(); }
    const float* outRight() const { return outRight_.data(); }

private:
    AudioReader& reader_;
    PluginInstance& plugin_;
    std::size_t block_;
    std::size_t chunk_;
    std::size_t channels_;
    std::size_t frames_ = 0;
    std::int64_t nanSamples_ = 0;
    std::int64_t infiniteSamples_ = 0;
    std::vector<float> interleaved_;
    std::vector<float> left_, right_, outLeft_, outRight_;
};

// Called with the fraction done, from 0 to 1, after each block.
using RenderProgress = std::function<void(double)>;

// Throws ToolError; on any failure no file is left at the output path.
RenderSummary renderFile(const RenderRequest& request, const RenderProgress& progress = {});

// Asks a render (or an analysis) in progress to stop at its next block (from a
// signal handler too); it then fails with exit status 130.
void requestRenderStop();
// Forgets a stop asked for earlier, as a render or an analysis starts.
void clearRenderStop();

// Lines about the input that the user should hear of although the render
// succeeded (non-finite samples, a cut-off file); none for a clean input.
std::vector<std::string> warningLines(const RenderRequest& request, const RenderSummary& summary);

// "in.wav holds 3 NaN and 2 infinite samples" for an input that holds any; empty
// for one that holds none.
std::string nonFiniteSamplesNote(const std::string& inputPath, std::int64_t nanSamples, std::int64_t infiniteSamples);

// "in.wav -> out.wav: 264600 frames, 6.00 s at 44100 Hz, 380x real time, ..."
std::string summaryLine(const RenderRequest& request, const RenderSummary& summary);
