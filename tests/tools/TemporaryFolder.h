// A fresh folder for one test's files, removed with everything in it afterwards;
// and helpers to write and read audio files there, and any file's bytes.
#pragma once

#include <sndfile.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "AudioFile.h"

class TemporaryFolder {
public:
    TemporaryFolder() {
        static std::atomic<int> count{0};
        path_ = std::filesystem::temp_directory_path() /
                ("brevander-test-" + std::to_string(getpid()) + "-" + std::to_string(count++));
        std::filesystem::create_directories(path_);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    ~TemporaryFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }

    std::string file(const std::string& name) const { return (path_ / name).string(); }
    // Every entry's name, hidden ones included.
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

private:
    std::filesystem::path path_;
};

// A whole file's bytes; none for a file that can't be read.
inline std::string readBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

inline void writeAudio(const std::string& path, int format, int channels, int sampleRateHz,
                       const std::vector<float>& interleaved) {
    const auto frames = static_cast<std::int64_t>(interleaved.size() / static_cast<std::size_t>(channels));
    AudioWriter writer(path, format, channels, sampleRateHz, frames);
    writer.write(interleaved.data(), frames);
    writer.commit();
}

struct AudioContents {
    AudioFileInfo info;
    std::vector<float> interleaved;
};

inline AudioContents readAudio(const std::string& path) {
    AudioReader reader(path);
    AudioContents c{reader.info(), {}};
    c.interleaved.resize(static_cast<std::size_t>(c.info.frames * c.info.channels));
    reader.read(c.interleaved.data(), c.info.frames);
    return c;
}
