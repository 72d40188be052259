#include "AudioFile.h"

#include <sndfile.h>

#include <array>
#include <cctype>
#include <filesystem>
#include <string_view>

#include "ToolError.h"

namespace {

struct Container {
    const char* name;
    int type;
};
constexpr std::array<Container, 4> kContainers = {{
    {"wav", SF_FORMAT_WAV},
    {"aiff", SF_FORMAT_AIFF},
    {"flac", SF_FORMAT_FLAC},
    {"ogg", SF_FORMAT_OGG},
}};

struct SampleType {
    const char* name;
    int subtype;
    const char* description;
};
constexpr std::array<SampleType, 8> kSampleTypes = {{
    {"8", SF_FORMAT_PCM_S8, "8-bit"},
    {"16", SF_FORMAT_PCM_16, "16-bit"},
    {"24", SF_FORMAT_PCM_24, "24-bit"},
    {"32", SF_FORMAT_PCM_32, "32-bit"},
    {"float", SF_FORMAT_FLOAT, "float"},
    {"double", SF_FORMAT_DOUBLE, "double"},
    {"vorbis", SF_FORMAT_VORBIS, "Vorbis"},
    {"u8", SF_FORMAT_PCM_U8, "unsigned 8-bit"},
}};

std::string lowercase(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

bool writable(int format, int channels, int sampleRateHz) {
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = sampleRateHz;
    return sf_format_check(&info) != 0;
}

// The sample type a container gets when the request names none and the input's
// can't be kept: lossless and at least as fine as the input where possible.
int fallbackSubtype(int type, int inputSubtype) {
    if (type == SF_FORMAT_OGG) {
        return SF_FORMAT_VORBIS;
    }
    if (type == SF_FORMAT_FLAC) {
        return inputSubtype == SF_FORMAT_PCM_16 || inputSubtype == SF_FORMAT_PCM_S8 ? SF_FORMAT_PCM_16
                                                                                    : SF_FORMAT_PCM_24;
    }
    return SF_FORMAT_FLOAT;
}

}  // namespace

AudioReader::AudioReader(const std::string& path) : path_(path), file_(nullptr), info_() {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        throw ToolError("cannot read " + path + ": no such file");
    }
    if (std::filesystem::is_directory(path, ec)) {
        throw ToolError("cannot read " + path + ": it is a directory");
    }
    SF_INFO info{};
    file_ = sf_open(path.c_str(), SFM_READ, &info);
    if (file_ == nullptr) {
        throw ToolError("cannot read " + path + ": " + sf_strerror(nullptr));
    }
    info_.format = info.format;
    info_.channels = info.channels;
    info_.sampleRateHz = info.samplerate;
    info_.frames = static_cast<std::int64_t>(info.frames);
}

AudioReader::~AudioReader() {
    if (file_ != nullptr) {
        sf_close(file_);
    }
}

std::int64_t AudioReader::read(float* interleaved, std::int64_t frames) {
    const sf_count_t got = sf_readf_float(file_, interleaved, static_cast<sf_count_t>(frames));
    if (got < 0 || (got == 0 && sf_error(file_) != SF_ERR_NO_ERROR)) {
        throw ToolError("cannot read " + path_ + ": " + sf_strerror(file_));
    }
    return static_cast<std::int64_t>(got);
}

AudioWriter::AudioWriter(const std::string& path, int format, int channels, int sampleRateHz, bool overwrite)
    : output_(path, overwrite), file_(nullptr) {
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = sampleRateHz;
    // libsndfile writes through our descriptor and leaves it open, for the flush
    // and the mode after it has finished the file.
    file_ = sf_open_fd(output_.descriptor(), SFM_WRITE, &info, SF_FALSE);
    if (file_ == nullptr) {
        const std::string reason = sf_strerror(nullptr);
        throw ToolError("cannot write " + path + ": " + reason);
    }
    // Integer formats clip at full scale instead of wrapping round.
    sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

AudioWriter::~AudioWriter() {
    if (file_ != nullptr) {
        sf_close(file_);
    }
}

void AudioWriter::write(const float* interleaved, std::int64_t frames) {
    const sf_count_t written = sf_writef_float(file_, interleaved, static_cast<sf_count_t>(frames));
    if (written != static_cast<sf_count_t>(frames)) {
        throw ToolError("cannot write " + output_.path() + ": " + sf_strerror(file_));
    }
}

void AudioWriter::commit() {
    const int closed = sf_close(file_);
    file_ = nullptr;
    if (closed != 0) {
        throw ToolError("cannot write " + output_.path() + ": " + sf_error_number(closed));
    }
    output_.commit();
}

bool isIntegerFormat(int format) {
    const int subtype = format & SF_FORMAT_SUBMASK;
    return subtype != SF_FORMAT_FLOAT && subtype != SF_FORMAT_DOUBLE && subtype != SF_FORMAT_VORBIS &&
           subtype != SF_FORMAT_OPUS;
}

int outputFormat(const std::string& request, int inputFormat, int channels, int sampleRateHz) {
    const int inputType = inputFormat & SF_FORMAT_TYPEMASK;
    const int inputSubtype = inputFormat & SF_FORMAT_SUBMASK;
    if (request.empty()) {
        if (!writable(inputFormat, channels, sampleRateHz)) {
            throw ToolError("cannot write " + describeFormat(inputFormat) + " with " + std::to_string(channels) +
                            " channels; choose another with --format");
        }
        return inputFormat;
    }
    const std::string text = lowercase(request);
    const std::size_t colon = text.find(':');
    const std::string containerName = text.substr(0, colon);
    const std::string typeName = colon == std::string::npos ? "" : text.substr(colon + 1);

    int type = containerName.empty() ? inputType : 0;
    for (const Container& c : kContainers) {
        if (containerName == c.name) {
            type = c.type;
        }
    }
    if (type == 0) {
        throw ToolError("unknown format '" + request + "': the containers are wav, aiff, flac and ogg", 2);
    }
    int subtype = 0;
    if (typeName.empty()) {
        subtype =
            writable(type | inputSubtype, channels, sampleRateHz) ? inputSubtype : fallbackSubtype(type, inputSubtype);
    } else {
        for (const SampleType& s : kSampleTypes) {
            if (typeName == s.name) {
                subtype = s.subtype;
            }
        }
        if (subtype == 0) {
            throw ToolError(
                "unknown sample type '" + typeName + "': the types are 8, 16, 24, 32, float, double and vorbis", 2);
        }
    }
    if (!writable(type | subtype, channels, sampleRateHz)) {
        throw ToolError("cannot write " + describeFormat(type | subtype) + " files", 2);
    }
    return type | subtype;
}

std::string describeFormat(int format) {
    SF_FORMAT_INFO info{};
    info.format = format & SF_FORMAT_TYPEMASK;
    std::string container = sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.name != nullptr
                                ? std::string(info.extension != nullptr ? info.extension : info.name)
                                : "unknown";
    for (char& c : container) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    for (const SampleType& s : kSampleTypes) {
        if ((format & SF_FORMAT_SUBMASK) == s.subtype) {
            return container + " " + s.description;
        }
    }
    return container;
}
