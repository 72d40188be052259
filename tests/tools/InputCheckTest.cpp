// Input that is not clean audio: non-finite samples are counted and passed on,
// a cut-off file renders what it holds with a warning, and clipping is counted
// exactly, all through a plug-in that copies its input to its output.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "Render.h"
#include "TemporaryFolder.h"
#include "ToolRun.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

RenderRequest passThrough(const TemporaryFolder& folder, const std::string& in, const std::string& out) {
    RenderRequest request;
    request.inputPath = folder.file(in);
    request.outputPath = folder.file(out);
    request.pluginPath = BREVANDER_PASS_THROUGH_TEST_PLUGIN;
    return request;
}

std::vector<float> ramp(std::size_t samples) {
    std::vector<float> s(samples);
    for (std::size_t i = 0; i < s.size(); ++i) {
        s[i] = static_cast<float>(static_cast<int>(i % 200) - 100) / 400.0f;
    }
    return s;
}

void cutTo(const std::string& path, std::uintmax_t bytes) { std::filesystem::resize_file(path, bytes); }

}  // namespace

TEST(InputCheck, NonFiniteSamplesAreCountedPerSampleAndPassedOnUnchanged) {
    TemporaryFolder folder;
    std::vector<float> stereo = ramp(2 * 1000);
    stereo[10] = kNaN;
    stereo[11] = kNaN;
    stereo[501] = kNaN;
    stereo[700] = kInf;
    stereo[1999] = -kInf;
    writeAudio(folder.file("in.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, stereo);
    const RenderRequest request = passThrough(folder, "in.wav", "out.wav");
    const RenderSummary summary = renderFile(request);
    EXPECT_EQ(summary.nanInputSamples, 3);
    EXPECT_EQ(summary.infiniteInputSamples, 2);
    EXPECT_FLOAT_EQ(summary.peakIn, 0.25f) << "a non-finite sample is no peak";
    const std::vector<float> out = readAudio(request.outputPath).interleaved;
    ASSERT_EQ(out.size(), stereo.size());
    for (std::size_t i = 0; i < out.size(); ++i) {
        EXPECT_TRUE(out[i] == stereo[i] || (std::isnan(out[i]) && std::isnan(stereo[i]))) << i;
    }
    const std::vector<std::string> warnings = warningLines(request, summary);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("3 NaN and 2 infinite"), std::string::npos) << warnings[0];

    // A mono sample feeds both inputs but is one sample of the file.
    std::vector<float> mono = ramp(500);
    mono[3] = kNaN;
    mono[4] = kInf;
    mono[5] = kNaN;
    writeAudio(folder.file("mono.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 44100, mono);
    const RenderSummary monoSummary = renderFile(passThrough(folder, "mono.wav", "mono-out.wav"));
    EXPECT_EQ(monoSummary.nanInputSamples, 2);
    EXPECT_EQ(monoSummary.infiniteInputSamples, 1);

    const ToolRun run = runTool(
        {"render", folder.file("in.wav"), folder.file("cli.wav"), "--plugin", BREVANDER_PASS_THROUGH_TEST_PLUGIN});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "brevander: warning: " + warnings[0] + "\n");
}

TEST(InputCheck, ACleanInputGivesNoWarning) {
    TemporaryFolder folder;
    writeAudio(folder.file("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, ramp(2 * 700));
    const RenderRequest request = passThrough(folder, "in.wav", "out.wav");
    const RenderSummary summary = renderFile(request);
    EXPECT_EQ(summary.promisedFrames, 700);
    EXPECT_TRUE(warningLines(request, summary).empty());
}

TEST(InputCheck, ACutOffWavOrAiffRendersWhatItHoldsAndSaysWhatWasPromised) {
    for (const auto& [name, format] : {std::pair<std::string, int>{"in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
                                       std::pair<std::string, int>{"in.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16}}) {
        TemporaryFolder folder;
        const std::vector<float> samples = ramp(2 * 1000);
        writeAudio(folder.file(name), format, 2, 44100, samples);
        const auto size = std::filesystem::file_size(folder.file(name));
        // Off the end: 261 frames and a half, which is no frame.
        cutTo(folder.file(name), size - 261 * 4 - 2);

        const RenderRequest request = passThrough(folder, name, "out.wav");
        const RenderSummary summary = renderFile(request);
        EXPECT_EQ(summary.frames, 1000 - 262) << name;
        EXPECT_EQ(summary.promisedFrames, 1000) << name;
        const std::vector<float> out = readAudio(request.outputPath).interleaved;
        ASSERT_EQ(out.size(), 2u * 738u) << name;
        EXPECT_NEAR(out[2 * 737 + 1], samples[2 * 737 + 1], 1.0 / 32768.0) << name;
        const std::vector<std::string> warnings = warningLines(request, summary);
        ASSERT_EQ(warnings.size(), 1u) << name;
        EXPECT_NE(warnings[0].find("promised 1000 frames, it held 738"), std::string::npos) << warnings[0];
    }
}

TEST(InputCheck, ACutOffFlacRendersWhatItsDecoderReadAndWarns) {
    TemporaryFolder folder;
    std::vector<float> noise(2 * 100000);
    for (std::size_t i = 0; i < noise.size(); ++i) {
        noise[i] = static_cast<float>((i * 7919) % 1000) / 1000.0f - 0.5f;
    }
    writeAudio(folder.file("in.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100, noise);
    cutTo(folder.file("in.flac"), std::filesystem::file_size(folder.file("in.flac")) / 2);

    const RenderRequest request = passThrough(folder, "in.flac", "out.flac");
    const RenderSummary summary = renderFile(request);
    EXPECT_GT(summary.frames, 0);
    EXPECT_LT(summary.frames, 100000);
    EXPECT_EQ(summary.promisedFrames, 100000);
    EXPECT_EQ(readAudio(request.outputPath).info.frames, summary.frames);
    const std::vector<std::string> warnings = warningLines(request, summary);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("promised 100000 frames, it held " + std::to_string(summary.frames)), std::string::npos)
        << warnings[0];
}

TEST(InputCheck, ClippingIsCountedExactlyAndNaNIsWrittenAsZero) {
    TemporaryFolder folder;
    const float pastFull = std::nextafter(1.0f, 2.0f);
    const std::vector<float> in = {1.0f, -1.0f, pastFull, -pastFull, kNaN, 0.5f, 2.0f, -kInf, kInf, -0.5f};
    writeAudio(folder.file("in.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, in);
    RenderRequest request = passThrough(folder, "in.wav", "out.wav");
    request.format = "wav:16";
    const RenderSummary summary = renderFile(request);
    EXPECT_EQ(summary.clippedSamples, 6);

    SF_INFO info{};
    SNDFILE* file = sf_open(request.outputPath.c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr);
    std::vector<short> out(in.size());
    EXPECT_EQ(sf_readf_short(file, out.data(), 5), 5);
    sf_close(file);
    EXPECT_EQ(out, (std::vector<short>{32767, -32768, 32767, -32768, 0, 16384, 32767, -32768, 32767, -16384}));
}

namespace {
const float kPastFull = std::nextafter(1.0f, 2.0f);

// A 16-bit sample for a float one: full scale is 32768, clipped to the 16-bit
// range, and NaN, which has no level, is written as silence.
short sixteenBit(float x) {
    if (std::isnan(x)) {
        return 0;
    }
    if (x >= 1.0f) {
        return 32767;
    }
    if (x <= -1.0f) {
        return -32768;
    }
    return static_cast<short>(x * 32768.0f);
}

std::vector<short> readShorts(const std::string& path, std::size_t samples) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    std::vector<short> out(samples);
    if (file == nullptr) {
        ADD_FAILURE() << "cannot open " << path;
        return out;
    }
    out.resize(static_cast<std::size_t>(sf_readf_short(file, out.data(), info.frames) * info.channels));
    sf_close(file);
    return out;
}

struct Placed {
    std::size_t frame;
    float left;
    float right;
};
}  // namespace

TEST(InputCheck, EachChannelsClippedNaNAndInfiniteSamplesAreCountedExactly) {
    // Three chunks of the renderer's reading, each holding some of the samples; the
    // channels hold different numbers of each kind, so counting one channel (or one
    // twice) gives a different total. Exact full scale is not clipped.
    const Placed placed[] = {
        {0, 1.0f, -1.0f},          {1, kPastFull, -kPastFull}, {2, kNaN, 0.5f},           {16383, -1.0f, -kInf},
        {16384, kPastFull, -1.0f}, {16385, 1.0f, kNaN},        {20000, kInf, -kPastFull}, {32768, kPastFull, -kInf},
        {32769, kNaN, -kInf},      {39999, -kPastFull, 1.0f},
    };
    // Per channel:           left  right
    //   exactly +-1            3     3
    //   past full scale        4     2
    //   NaN                    2     1
    //   infinite               1     3
    constexpr std::int64_t kClipped = (4 + 2 + 1) + (2 + 1 + 3);
    constexpr std::size_t kFrames = 40000;
    std::vector<float> stereo(2 * kFrames);
    for (std::size_t i = 0; i < kFrames; ++i) {
        stereo[2 * i] = 0.25f;
        stereo[2 * i + 1] = -0.75f;
    }
    for (const Placed& p : placed) {
        stereo[2 * p.frame] = p.left;
        stereo[2 * p.frame + 1] = p.right;
    }
    TemporaryFolder folder;
    writeAudio(folder.file("in.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, stereo);

    RenderRequest request = passThrough(folder, "in.wav", "out.wav");
    request.format = "wav:16";
    const RenderSummary summary = renderFile(request);
    EXPECT_EQ(summary.clippedSamples, kClipped);
    EXPECT_EQ(summary.nanInputSamples, 2 + 1);
    EXPECT_EQ(summary.infiniteInputSamples, 1 + 3);
    EXPECT_EQ(summary.frames, static_cast<std::int64_t>(kFrames));
    const std::vector<short> out = readShorts(request.outputPath, stereo.size());
    ASSERT_EQ(out.size(), stereo.size());
    for (std::size_t i = 0; i < stereo.size(); ++i) {
        ASSERT_EQ(out[i], sixteenBit(stereo[i])) << "frame " << i / 2 << (i % 2 == 0 ? " left" : " right");
    }
    EXPECT_EQ(out[0], 32767);
    EXPECT_EQ(out[1], -32768);
    EXPECT_EQ(out[4], 0) << "NaN is written as silence";
    EXPECT_EQ(out[5], 16384);

    // Every integer format clips alike; a float output keeps every value and clips nothing.
    RenderRequest toTwentyFour = passThrough(folder, "in.wav", "out24.wav");
    toTwentyFour.format = "wav:24";
    EXPECT_EQ(renderFile(toTwentyFour).clippedSamples, kClipped);
    const RenderSummary floatSummary = renderFile(passThrough(folder, "in.wav", "float.wav"));
    EXPECT_EQ(floatSummary.clippedSamples, 0);
    EXPECT_EQ(floatSummary.nanInputSamples, 3);
    EXPECT_EQ(floatSummary.infiniteInputSamples, 4);
}

TEST(InputCheck, AMonoSampleIsCountedOnceOnInputAndOnEachOutputItReaches) {
    // A mono file feeds both inputs: each of its samples is one input sample but
    // two output samples.
    const std::vector<float> mono = {1.0f, kPastFull, kNaN, -kInf, 0.5f, -1.0f, -kPastFull, kNaN};
    TemporaryFolder folder;
    writeAudio(folder.file("mono.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 44100, mono);
    RenderRequest request = passThrough(folder, "mono.wav", "out.wav");
    request.format = "wav:16";
    const RenderSummary summary = renderFile(request);
    EXPECT_EQ(summary.nanInputSamples, 2);
    EXPECT_EQ(summary.infiniteInputSamples, 1);
    EXPECT_EQ(summary.clippedSamples, 2 * 5);
    EXPECT_EQ(readShorts(request.outputPath, 2 * mono.size()),
              (std::vector<short>{32767, 32767, 32767, 32767, 0, 0, -32768, -32768, 16384, 16384, -32768, -32768,
                                  -32768, -32768, 0, 0}));
}
