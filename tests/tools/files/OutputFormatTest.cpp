// The output's container follows its name, the sample type follows the input where
// the container allows it, and a name or --format the tool can't honour is refused
// before anything is written.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>

#include "AudioFile.h"
#include "Render.h"
#include "TemporaryFolder.h"
#include "ToolError.h"
#include "ToolRun.h"

namespace {

constexpr int kFloatWav = SF_FORMAT_WAV | SF_FORMAT_FLOAT;

int formatFor(const std::string& request, const std::string& path, int inputFormat = kFloatWav) {
    return outputFormat(request, path, inputFormat, 2, 44100);
}

ToolError refusal(const std::string& request, const std::string& path) {
    try {
        formatFor(request, path);
    } catch (const ToolError& e) {
        return e;
    }
    return ToolError("not refused", 0);
}

std::vector<float> ramp(std::size_t frames) {
    std::vector<float> samples(frames * 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<float>(i % 64) / 128.0f - 0.25f;
    }
    return samples;
}

}  // namespace

TEST(OutputFormat, EachExtensionInAnyCaseChoosesItsContainerAndFloatStaysFloatWhereItCan) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"out.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT},    {"OUT.WAV", SF_FORMAT_WAV | SF_FORMAT_FLOAT},
        {"out.aif", SF_FORMAT_AIFF | SF_FORMAT_FLOAT},   {"out.AIFF", SF_FORMAT_AIFF | SF_FORMAT_FLOAT},
        {"out.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24}, {"out.Flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
        {"out.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},   {"out.OGA", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
        {"out.w64", SF_FORMAT_W64 | SF_FORMAT_FLOAT},    {"out.RF64", SF_FORMAT_RF64 | SF_FORMAT_FLOAT},
        {"out.caf", SF_FORMAT_CAF | SF_FORMAT_FLOAT},    {"dir.v2/out.Caf", SF_FORMAT_CAF | SF_FORMAT_FLOAT},
    };
    for (const auto& [path, expected] : cases) {
        EXPECT_EQ(formatFor("", path), expected) << path;
    }
    // An integer input keeps its sample type in every container that stores it.
    EXPECT_EQ(formatFor("", "out.flac", SF_FORMAT_WAV | SF_FORMAT_PCM_16), SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    EXPECT_EQ(formatFor("", "out.caf", SF_FORMAT_FLAC | SF_FORMAT_PCM_24), SF_FORMAT_CAF | SF_FORMAT_PCM_24);
    // Input libsndfile reports as extensible WAV is WAV.
    EXPECT_EQ(formatFor("", "out", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    // No extension: the input's container.
    EXPECT_EQ(formatFor("", "out", SF_FORMAT_FLAC | SF_FORMAT_PCM_16), SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
}

TEST(OutputFormat, FormatRequestsKnowTheNewContainersAndEightBitMeansWhatTheContainerStores) {
    EXPECT_EQ(formatFor("w64", "out"), SF_FORMAT_W64 | SF_FORMAT_FLOAT);
    EXPECT_EQ(formatFor("RF64:24", "out"), SF_FORMAT_RF64 | SF_FORMAT_PCM_24);
    EXPECT_EQ(formatFor("caf:16", "out.caf"), SF_FORMAT_CAF | SF_FORMAT_PCM_16);
    EXPECT_EQ(formatFor("aif", "out.aiff"), SF_FORMAT_AIFF | SF_FORMAT_FLOAT);
    EXPECT_EQ(formatFor("wav:8", "out.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_U8);
    EXPECT_EQ(formatFor("aiff:8", "out.aif"), SF_FORMAT_AIFF | SF_FORMAT_PCM_S8);
    EXPECT_EQ(formatFor(":16", "out.w64"), SF_FORMAT_W64 | SF_FORMAT_PCM_16);
}

TEST(OutputFormat, UnknownExtensionsAndContradictionsAreRefusedNamingBoth) {
    const ToolError contradiction = refusal("flac", "take/out.wav");
    EXPECT_EQ(contradiction.exitStatus, 2);
    EXPECT_NE(std::string(contradiction.what()).find("flac"), std::string::npos) << contradiction.what();
    EXPECT_NE(std::string(contradiction.what()).find("out.wav"), std::string::npos) << contradiction.what();

    EXPECT_EQ(refusal("wav", "out.rf64").exitStatus, 2);
    const ToolError unknown = refusal("", "out.mp3");
    EXPECT_EQ(unknown.exitStatus, 2);
    EXPECT_NE(std::string(unknown.what()).find("out.mp3"), std::string::npos) << unknown.what();
    EXPECT_EQ(refusal("", "out.wav.bak").exitStatus, 2);
    EXPECT_EQ(refusal("mp3", "out").exitStatus, 2);
}

TEST(OutputFormat, TheToolRefusesBeforeWritingAnything) {
    TemporaryFolder folder;
    writeAudio(folder.file("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, ramp(500));
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"render", folder.file("in.wav"), folder.file("out.wav"), "--format", "flac"},
             {"render", folder.file("in.wav"), folder.file("out.mp3")},
         }) {
        const ToolRun run = runTool(args);
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_TRUE(run.saidOneLine()) << run.err;
        EXPECT_EQ(folder.entries(), std::vector<std::string>{"in.wav"});
    }
}

TEST(OutputFormat, RenderedFilesReadBackInTheContainerTheirNameChose) {
    TemporaryFolder folder;
    writeAudio(folder.file("in.wav"), kFloatWav, 2, 48000, ramp(1500));
    const std::vector<std::pair<std::string, int>> cases = {
        {"a.WAV", SF_FORMAT_WAV | SF_FORMAT_FLOAT},    {"a.aif", SF_FORMAT_AIFF | SF_FORMAT_FLOAT},
        {"a.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24}, {"a.oga", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
        {"a.w64", SF_FORMAT_W64 | SF_FORMAT_FLOAT},    {"a.rf64", SF_FORMAT_RF64 | SF_FORMAT_FLOAT},
        {"a.caf", SF_FORMAT_CAF | SF_FORMAT_FLOAT},
    };
    for (const auto& [name, expected] : cases) {
        RenderRequest request;
        request.inputPath = folder.file("in.wav");
        request.outputPath = folder.file(name);
        renderFile(request);
        const AudioContents output = readAudio(request.outputPath);
        EXPECT_EQ(output.info.format, expected) << name;
        EXPECT_EQ(output.info.frames, 1500) << name;
    }
}

TEST(OutputFormat, EightBitWavIsUnsigned) {
    TemporaryFolder folder;
    writeAudio(folder.file("in.wav"), kFloatWav, 2, 44100, ramp(300));
    const ToolRun run = runTool({"render", folder.file("in.wav"), folder.file("out.wav"), "--format", "wav:8",
                                 "--plugin", BREVANDER_PASS_THROUGH_TEST_PLUGIN});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readAudio(folder.file("out.wav")).info.format & SF_FORMAT_SUBMASK, SF_FORMAT_PCM_U8);
    // Unsigned on disk: silence is 128, not 0.
    writeAudio(folder.file("silence.wav"), kFloatWav, 2, 44100, std::vector<float>(20, 0.0f));
    ASSERT_EQ(runTool({"render", folder.file("silence.wav"), folder.file("s8.wav"), "--format", "wav:8", "--plugin",
                       BREVANDER_PASS_THROUGH_TEST_PLUGIN})
                  .status,
              0);
    SF_INFO info{};
    SNDFILE* file = sf_open(folder.file("s8.wav").c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr);
    std::vector<unsigned char> raw(20);
    sf_seek(file, 0, SEEK_SET);
    EXPECT_EQ(sf_read_raw(file, raw.data(), static_cast<sf_count_t>(raw.size())), 20);
    sf_close(file);
    EXPECT_TRUE(std::all_of(raw.begin(), raw.end(), [](unsigned char b) { return b == 128; }));
}
