// Output past a container's 4 GiB never goes wrong silently: WAV turns into RF64,
// AIFF is refused before the run or stops with an error. The sizes are reached
// through a sink that keeps only the header, so no test writes gigabytes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "AudioFile.h"
#include "Render.h"
#include "TemporaryFolder.h"
#include "ToolError.h"
#include "ToolRun.h"

namespace {

constexpr std::int64_t kFourGiB = std::int64_t{1} << 32;

// Keeps the first bytes written, where the header goes, and only the length of the rest.
class HeaderKeepingSink : public AudioSink {
public:
    static constexpr std::int64_t kKeptBytes = 1 << 16;

    std::int64_t length() override { return length_; }
    std::int64_t seek(std::int64_t offset, int whence) override {
        position_ = (whence == SEEK_SET ? 0 : whence == SEEK_CUR ? position_ : length_) + offset;
        return position_;
    }
    std::int64_t read(void* bytes, std::int64_t count) override {
        const std::int64_t got = std::max<std::int64_t>(0, std::min(count, length_ - position_));
        for (std::int64_t i = 0; i < got; ++i) {
            static_cast<unsigned char*>(bytes)[i] = at(position_ + i);
        }
        position_ += got;
        return got;
    }
    std::int64_t write(const void* bytes, std::int64_t count) override {
        for (std::int64_t i = 0; i < count && position_ + i < kKeptBytes; ++i) {
            kept_[static_cast<std::size_t>(position_ + i)] = static_cast<const unsigned char*>(bytes)[i];
        }
        position_ += count;
        length_ = std::max(length_, position_);
        return count;
    }
    std::int64_t tell() override { return position_; }

    unsigned char at(std::int64_t offset) const {
        return offset < kKeptBytes ? kept_[static_cast<std::size_t>(offset)] : 0;
    }
    std::string text(std::int64_t offset, std::size_t size) const {
        std::string s;
        for (std::size_t i = 0; i < size; ++i) {
            s.push_back(static_cast<char>(at(offset + static_cast<std::int64_t>(i))));
        }
        return s;
    }
    std::uint64_t littleEndian(std::int64_t offset, int bytes) const {
        std::uint64_t value = 0;
        for (int i = bytes - 1; i >= 0; --i) {
            value = value << 8 | at(offset + i);
        }
        return value;
    }

private:
    std::vector<unsigned char> kept_ = std::vector<unsigned char>(kKeptBytes);
    std::int64_t length_ = 0;
    std::int64_t position_ = 0;
};

// Writes `frames` silent stereo frames in large chunks.
void writeSilence(AudioWriter& writer, std::int64_t frames) {
    constexpr std::int64_t kChunkFrames = 1 << 16;
    const std::vector<float> silence(2 * kChunkFrames, 0.0f);
    for (std::int64_t done = 0; done < frames; done += kChunkFrames) {
        writer.write(silence.data(), std::min(kChunkFrames, frames - done));
    }
}

std::string firstLineOf(const std::vector<std::string>& command) {
    std::string line;
    for (const std::string& word : command) {
        line += "'" + word + "' ";
    }
    std::FILE* pipe = popen((line + "2>/dev/null").c_str(), "r");
    if (pipe == nullptr) {
        return {};
    }
    char buffer[256] = {};
    const char* got = std::fgets(buffer, sizeof buffer, pipe);
    pclose(pipe);
    std::string text = got != nullptr ? buffer : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

// The frames ffprobe counts in a file's first stream, "" when it can't read it.
std::string framesFfprobeCounts(const std::string& path) {
    return firstLineOf({"ffprobe", "-v", "error", "-select_streams", "a:0", "-count_packets", "-show_entries",
                        "stream=duration_ts", "-of", "default=noprint_wrappers=1:nokey=1", path});
}

}  // namespace

TEST(LargeFile, WavPastFourGibibytesGetsAnRf64HeaderWithItsTrueSizes) {
    constexpr std::int64_t kFrameBytes = 2 * 8;
    const std::int64_t frames = kFourGiB / kFrameBytes + 100000;
    // Whether the length is known beforehand (from the input's header) or not.
    for (const std::int64_t expectedFrames : {frames, std::int64_t{-1}}) {
        SCOPED_TRACE(expectedFrames);
        HeaderKeepingSink sink;
        AudioWriter writer(sink, "huge.wav", SF_FORMAT_WAV | SF_FORMAT_DOUBLE, 2, 44100, expectedFrames);
        writeSilence(writer, frames);
        writer.commit();

        ASSERT_EQ(sink.text(0, 4), "RF64");
        EXPECT_EQ(sink.littleEndian(4, 4), 0xFFFFFFFFu);
        EXPECT_EQ(sink.text(8, 4), "WAVE");
        ASSERT_EQ(sink.text(12, 4), "ds64");
        EXPECT_EQ(sink.littleEndian(20, 8), static_cast<std::uint64_t>(sink.length() - 8)) << "RIFF size";
        EXPECT_EQ(sink.littleEndian(28, 8), static_cast<std::uint64_t>(frames * kFrameBytes)) << "data size";
        EXPECT_EQ(sink.littleEndian(36, 8), static_cast<std::uint64_t>(frames)) << "sample count";
    }
}

TEST(LargeFile, WavUnderFourGibibytesStaysAPlainWav) {
    // A known short length gives the plain layout; an unknown one goes through RF64
    // and comes back as a WAV header on closing.
    for (const std::int64_t expectedFrames : {std::int64_t{1000}, std::int64_t{-1}}) {
        SCOPED_TRACE(expectedFrames);
        HeaderKeepingSink sink;
        AudioWriter writer(sink, "small.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, expectedFrames);
        writeSilence(writer, 1000);
        writer.commit();
        EXPECT_EQ(sink.text(0, 4), "RIFF");
        EXPECT_EQ(sink.littleEndian(4, 4), static_cast<std::uint64_t>(sink.length() - 8));
        EXPECT_EQ(sink.text(8, 4), "WAVE");
    }
}

TEST(LargeFile, APlainWavStopsWithAnErrorBeforePassingItsLimit) {
    const int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    constexpr std::int64_t kFrameBytes = 2 * 4;
    // The most frames that leave the header its 4 KiB within the 32-bit sizes.
    const std::int64_t fitting = (kFourGiB - 4096) / kFrameBytes - 1;
    // The container is chosen as the file opens, from the length promised: plain up
    // to the limit, RF64 one frame past it or when the length is unknown.
    for (const auto& [promised, container] :
         {std::pair{fitting, "RIFF"}, std::pair{fitting + 1, "RF64"}, std::pair{std::int64_t{-1}, "RF64"}}) {
        HeaderKeepingSink sink;
        AudioWriter writer(sink, "edge.wav", format, 2, 44100, promised);
        EXPECT_EQ(sink.text(0, 4), container) << promised << " frames promised";
    }
    // An input that holds more than its header promised must not overflow the header.
    HeaderKeepingSink sink;
    AudioWriter writer(sink, "promised-little.wav", format, 2, 44100, 1000);
    writeSilence(writer, fitting);
    const std::vector<float> more(2, 0.0f);
    try {
        writer.write(more.data(), 1);
        FAIL() << "wrote past the limit";
    } catch (const ToolError& e) {
        EXPECT_NE(std::string(e.what()).find("4 GiB"), std::string::npos) << e.what();
    }
}

TEST(LargeFile, AiffStopsWithAnErrorBeforePassingItsLimit) {
    HeaderKeepingSink sink;
    const int format = SF_FORMAT_AIFF | SF_FORMAT_DOUBLE;
    AudioWriter writer(sink, "huge.aiff", format, 2, 44100, -1);
    const std::int64_t limit = maximumFrames(format, 2);
    ASSERT_GT(limit, 0);
    writeSilence(writer, limit);
    const std::vector<float> more(4, 0.0f);
    try {
        writer.write(more.data(), 2);
        FAIL() << "wrote past the limit";
    } catch (const ToolError& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("4 GiB"), std::string::npos) << message;
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    }
    EXPECT_LT(sink.length(), kFourGiB);
}

TEST(LargeFile, AiffIsRefusedBeforeTheRunWhenTheInputIsTooLong) {
    TemporaryFolder folder;
    // A float mono WAV whose data fills 3.75 GiB of a sparse file: as stereo float AIFF it would take 7.5.
    const std::uint32_t dataBytes = 0xF0000000u;
    std::string header = "RIFF";
    const auto put32 = [&header](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            header.push_back(static_cast<char>(v >> (8 * i) & 0xFF));
        }
    };
    const auto put16 = [&header](std::uint16_t v) {
        header.push_back(static_cast<char>(v & 0xFF));
        header.push_back(static_cast<char>(v >> 8));
    };
    put32(dataBytes + 36);
    header += "WAVEfmt ";
    put32(16);
    put16(3);  // IEEE float
    put16(1);
    put32(44100);
    put32(44100 * 4);
    put16(4);
    put16(32);
    header += "data";
    put32(dataBytes);
    const std::string input = folder.file("long.wav");
    std::ofstream(input, std::ios::binary) << header;
    ASSERT_EQ(truncate(input.c_str(), static_cast<off_t>(header.size() + dataBytes)), 0);

    const ToolRun run = runTool({"render", input, folder.file("out.aiff")});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_TRUE(run.saidOneLine()) << run.err;
    EXPECT_NE(run.err.find("4 GiB"), std::string::npos) << run.err;
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"long.wav"});
}

TEST(LargeFile, Rf64AndWavRendersReadBackWholeInLibsndfileAndFfprobe) {
    TemporaryFolder folder;
    std::vector<float> samples(2 * 3000);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<float>(i % 50) / 100.0f - 0.25f;
    }
    writeAudio(folder.file("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, samples);
    for (const std::string name : {"out.rf64", "out.wav"}) {
        const ToolRun run = runTool({"render", folder.file("in.wav"), folder.file(name)});
        ASSERT_EQ(run.status, 0) << run.err;
        const AudioContents output = readAudio(folder.file(name));
        EXPECT_EQ(output.info.format & SF_FORMAT_TYPEMASK, name == "out.rf64" ? SF_FORMAT_RF64 : SF_FORMAT_WAV) << name;
        EXPECT_EQ(output.info.frames, 3000) << name;
        EXPECT_EQ(framesFfprobeCounts(folder.file(name)), "3000") << name;
    }
}
