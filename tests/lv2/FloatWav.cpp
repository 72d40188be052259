#include "FloatWav.h"

#include <sndfile.h>

#include <memory>
#include <stdexcept>
#include <vector>

namespace {

struct CloseFile {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using File = std::unique_ptr<SNDFILE, CloseFile>;

}  // namespace

void writeFloatWav(const std::string& path, const StereoSignal& signal, std::uint32_t rateHz) {
    SF_INFO info{};
    info.samplerate = static_cast<int>(rateHz);
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    File file(sf_open(path.c_str(), SFM_WRITE, &info));
    if (!file) {
        throw std::runtime_error("can't write " + path + ": " + sf_strerror(nullptr));
    }
    std::vector<float> interleaved(2 * signal.frames());
    for (std::size_t i = 0; i < signal.frames(); ++i) {
        interleaved[2 * i] = signal.left[i];
        interleaved[2 * i + 1] = signal.right[i];
    }
    const auto frames = static_cast<sf_count_t>(signal.frames());
    if (sf_writef_float(file.get(), interleaved.data(), frames) != frames) {
        throw std::runtime_error("short write to " + path);
    }
}

FloatWav readFloatWav(const std::string& path) {
    SF_INFO info{};
    File file(sf_open(path.c_str(), SFM_READ, &info));
    if (!file) {
        throw std::runtime_error("can't read " + path + ": " + sf_strerror(nullptr));
    }
    if (info.channels != 2 || (info.format & SF_FORMAT_TYPEMASK) != SF_FORMAT_WAV ||
        (info.format & SF_FORMAT_SUBMASK) != SF_FORMAT_FLOAT) {
        throw std::runtime_error(path + " is not a stereo 32-bit float WAV file");
    }
    std::vector<float> interleaved(2 * static_cast<std::size_t>(info.frames));
    if (sf_readf_float(file.get(), interleaved.data(), info.frames) != info.frames) {
        throw std::runtime_error("short read from " + path);
    }
    FloatWav wav;
    wav.rateHz = static_cast<std::uint32_t>(info.samplerate);
    const auto frames = static_cast<std::size_t>(info.frames);
    wav.signal.left.resize(frames);
    wav.signal.right.resize(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        wav.signal.left[i] = interleaved[2 * i];
        wav.signal.right[i] = interleaved[2 * i + 1];
    }
    return wav;
}
