#include "AudioFile.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string_view>

#include "ToolError.h"

namespace {

struct Container {
    const char* name;
    int type;
};
// Names for --format and output extensions alike.
constexpr std::array<Container, 10> kContainers = {{
    {"wav", SF_FORMAT_WAV},
    {"aiff", SF_FORMAT_AIFF},
    {"aif", SF_FORMAT_AIFF},
    {"flac", SF_FORMAT_FLAC},
    {"ogg", SF_FORMAT_OGG},
    {"oga", SF_FORMAT_OGG},
    {"w64", SF_FORMAT_W64},
    {"rf64", SF_FORMAT_RF64},
    {"caf", SF_FORMAT_CAF},
    {"wavex", SF_FORMAT_WAVEX},
}};

int containerNamed(const std::string& name) {
    for (const Container& c : kContainers) {
        // WAVEX is how libsndfile reports some WAV input, not a name to ask for.
        if (name == c.name && c.type != SF_FORMAT_WAVEX) {
            return c.type;
        }
    }
    return 0;
}

// The name a user knows a container by, for messages.
std::string containerName(int type) {
    if (type == SF_FORMAT_WAVEX) {
        return "wav";
    }
    for (const Container& c : kContainers) {
        if (type == c.type) {
            return c.name;
        }
    }
    return "unknown";
}

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

// WAV's 8-bit samples are unsigned, the others' signed: "8" means whichever the
// container stores.
int eightBitSubtype(int type) {
    return type == SF_FORMAT_WAV || type == SF_FORMAT_W64 || type == SF_FORMAT_RF64 ? SF_FORMAT_PCM_U8
                                                                                    : SF_FORMAT_PCM_S8;
}

// The sample type a container gets when the request names none and the input's
// can't be kept: lossless and at least as fine as the input where possible.
int fallbackSubtype(int type, int inputSubtype) {
    if (type == SF_FORMAT_OGG) {
        return SF_FORMAT_VORBIS;
    }
    if (inputSubtype == SF_FORMAT_PCM_S8 || inputSubtype == SF_FORMAT_PCM_U8) {
        const int eightBit = eightBitSubtype(type);
        if (writable(type | eightBit, 2, 44100)) {
            return eightBit;
        }
    }
    if (type == SF_FORMAT_FLAC) {
        return inputSubtype == SF_FORMAT_PCM_16 || inputSubtype == SF_FORMAT_PCM_S8 ? SF_FORMAT_PCM_16
                                                                                    : SF_FORMAT_PCM_24;
    }
    return SF_FORMAT_FLOAT;
}

std::uint32_t littleEndian32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint32_t bigEndian32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[3]) | static_cast<std::uint32_t>(p[2]) << 8 |
           static_cast<std::uint32_t>(p[1]) << 16 | static_cast<std::uint32_t>(p[0]) << 24;
}

// The frame count a WAV or AIFF header states, which libsndfile trims to what a
// cut-off file holds; -1 when the header does not say it plainly. Reads with
// pread, so the descriptor's own position, where libsndfile reads, is untouched.
std::int64_t headerFrames(int descriptor, int type, int channels) {
    const bool riff = type == SF_FORMAT_WAV || type == SF_FORMAT_WAVEX;
    if (!(riff || type == SF_FORMAT_AIFF) || channels < 1) {
        return -1;
    }
    const auto readAt = [descriptor](off_t offset, unsigned char* bytes, std::size_t count) {
        return pread(descriptor, bytes, count, offset) == static_cast<ssize_t>(count);
    };
    std::array<unsigned char, 12> form{};
    if (!readAt(0, form.data(), form.size()) ||
        std::string_view(reinterpret_cast<const char*>(form.data()), 4) != (riff ? "RIFF" : "FORM")) {
        return -1;
    }
    std::int64_t blockBytes = 0;
    off_t at = 12;
    // Chunk by chunk up to the sound data; a header this long is not a plain one.
    std::array<unsigned char, 8> chunk{};
    for (int count = 0; count < 64 && readAt(at, chunk.data(), chunk.size()); ++count) {
        const std::string_view id(reinterpret_cast<const char*>(chunk.data()), 4);
        const std::uint32_t size = riff ? littleEndian32(chunk.data() + 4) : bigEndian32(chunk.data() + 4);
        std::array<unsigned char, 16> body{};
        if (riff && id == "fmt " && size >= 16 && readAt(at + 8, body.data(), 16)) {
            blockBytes = static_cast<std::int64_t>(body[12]) | static_cast<std::int64_t>(body[13]) << 8;
        } else if (riff && id == "data") {
            return blockBytes > 0 ? static_cast<std::int64_t>(size) / blockBytes : -1;
        } else if (!riff && id == "COMM" && size >= 6 && readAt(at + 8, body.data(), 6)) {
            return static_cast<std::int64_t>(bigEndian32(body.data() + 2));
        }
        at += 8 + static_cast<off_t>(size + (size & 1u));
    }
    return -1;
}

int bytesPerSample(int subtype) {
    switch (subtype) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
            return 1;
        case SF_FORMAT_PCM_16:
            return 2;
        case SF_FORMAT_PCM_24:
            return 3;
        case SF_FORMAT_DOUBLE:
            return 8;
        default:
            return 4;
    }
}

std::string lowercaseToUpper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

// Room for the header chunks (fmt, COMM, SSND's offset fields, PEAK, JUNK) inside
// the 32-bit RIFF and FORM sizes.
constexpr std::int64_t kHeaderBytes = 4096;

// The frames a container with 32-bit chunk sizes (WAV, AIFF) can hold.
std::int64_t thirtyTwoBitLimitFrames(int format, int channels) {
    const std::int64_t frameBytes = std::int64_t{channels} * bytesPerSample(format & SF_FORMAT_SUBMASK);
    return frameBytes > 0 ? (std::int64_t{0xFFFFFFFF} - kHeaderBytes) / frameBytes : -1;
}

// A WAV that will stay within 4 GiB is written as a plain WAV. One that may pass it
// (or whose length is unknown) is written as RF64, which libsndfile turns back into
// a WAV header on closing when the data has stayed within 4 GiB after all.
bool writtenAsRf64(int format, int channels, std::int64_t expectedFrames) {
    return (format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV &&
           (expectedFrames < 0 || expectedFrames > thirtyTwoBitLimitFrames(format, channels));
}

SF_INFO writingInfo(int format, int channels, int sampleRateHz, std::int64_t expectedFrames) {
    SF_INFO info{};
    info.format =
        writtenAsRf64(format, channels, expectedFrames) ? SF_FORMAT_RF64 | (format & SF_FORMAT_SUBMASK) : format;
    info.channels = channels;
    info.samplerate = sampleRateHz;
    return info;
}

}  // namespace

AudioReader::AudioReader(const std::string& path) : path_(path), file_(nullptr), info_() {
    // Opened once, here: a pipe or FIFO gives its contents to one reader only, so
    // nothing else may open it again to look at the header.
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        const int error = errno;
        throw ToolError("cannot read " + path + ": " + (error == ENOENT ? "no such file" : std::strerror(error)));
    }
    struct stat status {};
    if (fstat(descriptor, &status) == 0 && S_ISDIR(status.st_mode)) {
        close(descriptor);
        throw ToolError("cannot read " + path + ": it is a directory");
    }
    SF_INFO info{};
    file_ = sf_open_fd(descriptor, SFM_READ, &info, SF_TRUE);
    if (file_ == nullptr) {
        close(descriptor);
        throw ToolError("cannot read " + path + ": " + sf_strerror(nullptr));
    }
    info_.format = info.format;
    info_.channels = info.channels;
    info_.sampleRateHz = info.samplerate;
    info_.frames = static_cast<std::int64_t>(info.frames);
    // Only a regular file can be read twice; a stream's header is libsndfile's alone.
    const std::int64_t promised =
        S_ISREG(status.st_mode) ? headerFrames(descriptor, info.format & SF_FORMAT_TYPEMASK, info.channels) : -1;
    info_.promisedFrames = promised > info_.frames ? promised : info_.frames;
}

AudioReader::~AudioReader() {
    if (file_ != nullptr) {
        sf_close(file_);
    }
}

std::int64_t AudioReader::read(float* interleaved, std::int64_t frames) {
    if (!readError_.empty()) {
        return 0;
    }
    const sf_count_t got = sf_readf_float(file_, interleaved, static_cast<sf_count_t>(frames));
    if (got < 0 || (got == 0 && sf_error(file_) != SF_ERR_NO_ERROR)) {
        readError_ = sf_strerror(file_);
        return 0;
    }
    return static_cast<std::int64_t>(got);
}

AudioWriter::AudioWriter(const std::string& path, int format, int channels, int sampleRateHz,
                         std::int64_t expectedFrames, bool overwrite)
    : name_(path), output_(std::in_place, path, overwrite), file_(nullptr) {
    SF_INFO info = writingInfo(format, channels, sampleRateHz, expectedFrames);
    // libsndfile writes through our descriptor and leaves it open, for the flush
    // and the mode after it has finished the file.
    file_ = sf_open_fd(output_->descriptor(), SFM_WRITE, &info, SF_FALSE);
    if (file_ == nullptr) {
        const std::string reason = sf_strerror(nullptr);
        throw ToolError("cannot write " + path + ": " + reason);
    }
    configure(format, channels, expectedFrames);
}

AudioWriter::AudioWriter(AudioSink& sink, const std::string& name, int format, int channels, int sampleRateHz,
                         std::int64_t expectedFrames)
    : name_(name), output_(), file_(nullptr) {
    static SF_VIRTUAL_IO io = {
        [](void* user) -> sf_count_t { return static_cast<AudioSink*>(user)->length(); },
        [](sf_count_t offset, int whence, void* user) -> sf_count_t {
            return static_cast<AudioSink*>(user)->seek(offset, whence);
        },
        [](void* bytes, sf_count_t count, void* user) -> sf_count_t {
            return static_cast<AudioSink*>(user)->read(bytes, count);
        },
        [](const void* bytes, sf_count_t count, void* user) -> sf_count_t {
            return static_cast<AudioSink*>(user)->write(bytes, count);
        },
        [](void* user) -> sf_count_t { return static_cast<AudioSink*>(user)->tell(); },
    };
    SF_INFO info = writingInfo(format, channels, sampleRateHz, expectedFrames);
    file_ = sf_open_virtual(&io, SFM_WRITE, &info, &sink);
    if (file_ == nullptr) {
        const std::string reason = sf_strerror(nullptr);
        throw ToolError("cannot write " + name + ": " + reason);
    }
    configure(format, channels, expectedFrames);
}

void AudioWriter::configure(int format, int channels, std::int64_t expectedFrames) {
    // Integer formats clip at full scale instead of wrapping round.
    sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    // A float file's peak chunk records the second it was written, so two renders of
    // one input would differ; the chunk is optional, and without it they are the
    // same bytes.
    sf_command(file_, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    if (writtenAsRf64(format, channels, expectedFrames)) {
        sf_command(file_, SFC_RF64_AUTO_DOWNGRADE, nullptr, SF_TRUE);
    } else if ((format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV) {
        // A plain WAV whose input held more than it promised must not pass 4 GiB unseen.
        maximumFrames_ = thirtyTwoBitLimitFrames(format, channels);
    } else {
        maximumFrames_ = maximumFrames(format, channels);
    }
    containerName_ = containerName(format & SF_FORMAT_TYPEMASK);
}

AudioWriter::~AudioWriter() {
    if (file_ != nullptr) {
        sf_close(file_);
    }
}

void AudioWriter::write(const float* interleaved, std::int64_t frames) {
    if (maximumFrames_ >= 0 && frames > maximumFrames_ - framesWritten_) {
        throw ToolError("cannot write " + name_ + ": it would pass the 4 GiB that " + lowercaseToUpper(containerName_) +
                        " files can hold; use .w64, .rf64, .caf or .flac");
    }
    const sf_count_t written = sf_writef_float(file_, interleaved, static_cast<sf_count_t>(frames));
    if (written != static_cast<sf_count_t>(frames)) {
        throw ToolError("cannot write " + name_ + ": " + sf_strerror(file_));
    }
    framesWritten_ += frames;
}

void AudioWriter::commit() {
    const int closed = sf_close(file_);
    file_ = nullptr;
    if (closed != 0) {
        throw ToolError("cannot write " + name_ + ": " + sf_error_number(closed));
    }
    if (output_) {
        output_->commit();
    }
}

bool isIntegerFormat(int format) {
    const int subtype = format & SF_FORMAT_SUBMASK;
    return subtype != SF_FORMAT_FLOAT && subtype != SF_FORMAT_DOUBLE && subtype != SF_FORMAT_VORBIS &&
           subtype != SF_FORMAT_OPUS;
}

int outputFormat(const std::string& request, const std::string& outputPath, int inputFormat, int channels,
                 int sampleRateHz) {
    const int inputType =
        (inputFormat & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAVEX ? SF_FORMAT_WAV : inputFormat & SF_FORMAT_TYPEMASK;
    const int inputSubtype = inputFormat & SF_FORMAT_SUBMASK;
    const std::string extension = lowercase(std::filesystem::path(outputPath).extension().string());
    const std::string fileName = std::filesystem::path(outputPath).filename().string();
    int extensionType = 0;
    if (!extension.empty()) {
        extensionType = containerNamed(extension.substr(1));
        if (extensionType == 0) {
            throw ToolError("cannot tell a format from " + fileName +
                                "'s extension: name the file .wav, .aif, .aiff, .flac, .ogg, .oga, .w64, .rf64 or "
                                ".caf",
                            2);
        }
    }

    const std::string text = lowercase(request);
    const std::size_t colon = text.find(':');
    const std::string requestedName = text.substr(0, colon);
    const std::string typeName = colon == std::string::npos ? "" : text.substr(colon + 1);
    int type = requestedName.empty() ? 0 : containerNamed(requestedName);
    if (!requestedName.empty() && type == 0) {
        throw ToolError(
            "unknown format '" + request + "': the containers are wav, aiff (aif), flac, ogg, w64, rf64 and caf", 2);
    }
    if (type != 0 && extensionType != 0 && type != extensionType) {
        throw ToolError("--format " + request + " contradicts the output name " + fileName + ", a ." +
                            containerName(extensionType) + " file; change one to match the other",
                        2);
    }
    if (type == 0) {
        type = extensionType != 0 ? extensionType : inputType;
    }

    int subtype = 0;
    if (typeName.empty()) {
        subtype =
            writable(type | inputSubtype, channels, sampleRateHz) ? inputSubtype : fallbackSubtype(type, inputSubtype);
    } else if (typeName == "8") {
        subtype = eightBitSubtype(type);
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
        throw ToolError("cannot write " + describeFormat(type | subtype) + " files with " + std::to_string(channels) +
                            " channels at " + std::to_string(sampleRateHz) + " Hz; choose another with --format",
                        2);
    }
    return type | subtype;
}

std::int64_t maximumFrames(int format, int channels) {
    if ((format & SF_FORMAT_TYPEMASK) != SF_FORMAT_AIFF || channels < 1) {
        return -1;
    }
    return thirtyTwoBitLimitFrames(format, channels);
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
