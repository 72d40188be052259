// Audio files through libsndfile: reading any format it knows, and writing through
// an OutputFile, renamed into place only once it is complete and flushed, so a failed
// or interrupted job never leaves a truncated file under the name asked for.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "AudioSink.h"
#include "OutputFile.h"

struct sf_private_tag;

struct AudioFileInfo {
    int format = 0;  // libsndfile's container and sample type, or-ed together
    int channels = 0;
    int sampleRateHz = 0;
    std::int64_t frames = 0;
    // The frames the header promises, where the file's own header says it and
    // libsndfile trims its count to what the file holds (WAV, AIFF); else `frames`.
    std::int64_t promisedFrames = 0;
};

class AudioReader {
public:
    // Throws ToolError when the file is missing, unreadable or not audio.
    explicit AudioReader(const std::string& path);
    AudioReader(const AudioReader&) = delete;
    AudioReader& operator=(const AudioReader&) = delete;
    ~AudioReader();

    const AudioFileInfo& info() const { return info_; }
    // Reads up to `frames` interleaved frames as floats at full scale +-1;
    // answers the number read, 0 at the end. A decoder that fails part-way (a
    // cut-off FLAC file) ends the file there: the failure is kept in readError().
    std::int64_t read(float* interleaved, std::int64_t frames);
    // Why reading stopped early; empty when the file ended where it should.
    const std::string& readError() const { return readError_; }

private:
    std::string path_;
    sf_private_tag* file_;
    AudioFileInfo info_;
    std::string readError_;
};

class AudioWriter {
public:
    // Opens a temporary file beside `path`'s target. Throws ToolError when it can't
    // be written, or when it exists and `overwrite` is false (see checkOutputTarget).
    // `expectedFrames` is how long the file will be, or -1 when that is unknown: a
    // WAV that may pass 4 GiB is written as RF64, which stays a plain WAV file (in
    // the extensible layout) unless it does pass 4 GiB; any other WAV is plain.
    AudioWriter(const std::string& path, int format, int channels, int sampleRateHz, std::int64_t expectedFrames,
                bool overwrite = false);
    // The same writer into `sink`, named `name` in messages; commit() only closes.
    AudioWriter(AudioSink& sink, const std::string& name, int format, int channels, int sampleRateHz,
                std::int64_t expectedFrames);
    AudioWriter(const AudioWriter&) = delete;
    AudioWriter& operator=(const AudioWriter&) = delete;
    // Removes the temporary file unless commit() put it in place.
    ~AudioWriter();

    // Throws ToolError, writing nothing, when the frames would take the file past
    // its container's size limit.
    void write(const float* interleaved, std::int64_t frames);
    // Closes the file and puts it in place (see OutputFile::commit).
    void commit();

private:
    void configure(int format, int channels, std::int64_t expectedFrames);

    std::string name_;
    std::optional<OutputFile> output_;  // none when writing into a sink
    sf_private_tag* file_;
    std::int64_t framesWritten_ = 0;
    std::int64_t maximumFrames_ = -1;
    std::string containerName_;
};

// True for sample types that store integers, where values past full scale clip.
bool isIntegerFormat(int format);

// The output format for `outputPath` and a --format request ("wav", "flac:24",
// "aiff:float", ...). The container comes from the request, else from the path's
// extension in any case (.wav, .aif, .aiff, .flac, .ogg, .oga, .w64, .rf64, .caf),
// else, for a name with no extension, from the input. The sample type comes from
// the request, else the input's where the container can store it, else the
// nearest lossless one (float, 24-bit for FLAC; Vorbis for Ogg).
// Throws ToolError with exit status 2 for an unknown extension, container or
// sample type, a request that contradicts the extension, or a combination
// libsndfile can't write.
int outputFormat(const std::string& request, const std::string& outputPath, int inputFormat, int channels,
                 int sampleRateHz);

// The most frames a file of `format` can hold before its header's sizes overflow
// (AIFF's 32-bit chunk sizes); -1 for containers without such a limit.
std::int64_t maximumFrames(int format, int channels);

// "WAV float", "FLAC 24-bit", ... for messages.
std::string describeFormat(int format);
