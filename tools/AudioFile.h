// Audio files through libsndfile: reading any format it knows, and writing through
// an OutputFile, renamed into place only once it is complete and flushed, so a failed
// or interrupted job never leaves a truncated file under the name asked for.
#pragma once

#include <cstdint>
#include <string>

#include "OutputFile.h"

struct sf_private_tag;

struct AudioFileInfo {
    int format = 0;  // libsndfile's container and sample type, or-ed together
    int channels = 0;
    int sampleRateHz = 0;
    std::int64_t frames = 0;
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
    // answers the number read, 0 at the end.
    std::int64_t read(float* interleaved, std::int64_t frames);

private:
    std::string path_;
    sf_private_tag* file_;
    AudioFileInfo info_;
};

class AudioWriter {
public:
    // Opens a temporary file beside `path`'s target. Throws ToolError when it can't
    // be written, or when it exists and `overwrite` is false (see checkOutputTarget).
    AudioWriter(const std::string& path, int format, int channels, int sampleRateHz, bool overwrite = false);
    AudioWriter(const AudioWriter&) = delete;
    AudioWriter& operator=(const AudioWriter&) = delete;
    // Removes the temporary file unless commit() put it in place.
    ~AudioWriter();

    void write(const float* interleaved, std::int64_t frames);
    // Closes the file and puts it in place (see OutputFile::commit).
    void commit();

private:
    OutputFile output_;
    sf_private_tag* file_;
};

// True for sample types that store integers, where values past full scale clip.
bool isIntegerFormat(int format);

// The output format for a --format request ("wav", "flac:24", "aiff:float", ...),
// starting from the input's; an empty request keeps the input's format.
// Throws ToolError for a request that names no known container or sample type,
// or a combination libsndfile can't write.
int outputFormat(const std::string& request, int inputFormat, int channels, int sampleRateHz);

// "WAV float", "FLAC 24-bit", ... for messages.
std::string describeFormat(int format);
