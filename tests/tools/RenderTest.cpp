// A render through the tool gives exactly what the plug-in gives the same samples
// when a host drives it directly, and keeps, converts and clips formats as asked.
#include "Render.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <thread>

#include "ParameterTable.h"
#include "SeededNoise.h"
#include "TemporaryFolder.h"

namespace {

std::vector<float> noise(std::size_t frames, int channels, float amplitude, std::uint32_t seed) {
    SeededNoise random(seed);
    std::vector<float> samples(frames * static_cast<std::size_t>(channels));
    for (float& s : samples) {
        s = amplitude * random.bipolar();
    }
    return samples;
}

// The plug-in's own output for the same stereo samples, with the host library and
// no tool in between.
std::vector<float> directlyProcessed(const std::vector<float>& interleaved, float rateHz,
                                     const std::vector<std::pair<VstInt32, float>>& normalised) {
    const PluginLibrary library(defaultPluginPath());
    Host host;
    PluginInstance effect(library, host);
    effect.setSampleRate(rateHz);
    effect.setBlockSize(512);
    effect.setMainsOn(true);
    for (const auto& [index, value] : normalised) {
        effect.setParameter(index, value);
    }
    const std::size_t frames = interleaved.size() / 2;
    std::vector<float> left(frames), right(frames), outLeft(frames), outRight(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        left[i] = interleaved[2 * i];
        right[i] = interleaved[2 * i + 1];
    }
    for (std::size_t done = 0; done < frames; done += 512) {
        const std::size_t n = std::min<std::size_t>(512, frames - done);
        float* in[2] = {left.data() + done, right.data() + done};
        float* out[2] = {outLeft.data() + done, outRight.data() + done};
        effect.processReplacing(in, out, static_cast<VstInt32>(n));
    }
    std::vector<float> out(interleaved.size());
    for (std::size_t i = 0; i < frames; ++i) {
        out[2 * i] = outLeft[i];
        out[2 * i + 1] = outRight[i];
    }
    return out;
}

float normalisedFor(ParameterIndex index, double value) {
    const ParameterInfo& info = kParameterTable[index];
    return static_cast<float>((value - info.minimum) / info.span);
}

}  // namespace

TEST(Render, EqualsThePluginsOwnProcessingAtBothRatesWithSettingsByNameAndIndex) {
    for (const int rateHz : {44100, 48000}) {
        TemporaryFolder folder;
        const std::vector<float> input = noise(5000, 2, 0.5f, static_cast<std::uint32_t>(rateHz));
        writeAudio(folder.file("in.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, rateHz, input);

        RenderRequest request;
        request.inputPath = folder.file("in.wav");
        request.outputPath = folder.file("out.wav");
        request.settings = {{SettingKind::inUnit, "mic spacing=30"},
                            {SettingKind::inUnit, "LF Width=150"},
                            {SettingKind::normalised, "4=0"},
                            {SettingKind::inUnit, "6=120"},
                            {SettingKind::normalised, "1=0.25"}};
        const RenderSummary summary = renderFile(request);

        const std::vector<float> expected = directlyProcessed(input, static_cast<float>(rateHz),
                                                              {{kMicSpacing, normalisedFor(kMicSpacing, 30.0)},
                                                               {kLfWidth, normalisedFor(kLfWidth, 150.0)},
                                                               {kMidBassCutFc, normalisedFor(kMidBassCutFc, 120.0)},
                                                               {kEnableSumShelf, 0.0f},
                                                               {kVlfCutOff, 0.25f}});
        const AudioContents output = readAudio(request.outputPath);
        EXPECT_EQ(output.info.sampleRateHz, rateHz);
        EXPECT_EQ(output.info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
        ASSERT_EQ(output.interleaved.size(), expected.size());
        EXPECT_EQ(output.interleaved, expected) << rateHz << " Hz";
        EXPECT_EQ(summary.frames, 5000);
        EXPECT_EQ(summary.clippedSamples, 0);
        EXPECT_EQ(folder.entries().size(), 2u) << "a partial file was left behind";
    }
}

TEST(Render, AMonoFileIsACentredStereoSource) {
    TemporaryFolder folder;
    const std::vector<float> mono = noise(3000, 1, 0.25f, 7u);
    writeAudio(folder.file("mono.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 44100, mono);
    RenderRequest request;
    request.inputPath = folder.file("mono.wav");
    request.outputPath = folder.file("out.wav");
    renderFile(request);

    std::vector<float> centred;
    for (const float x : mono) {
        centred.insert(centred.end(), {x, x});
    }
    const AudioContents output = readAudio(request.outputPath);
    EXPECT_EQ(output.info.channels, 2);
    EXPECT_EQ(output.interleaved, directlyProcessed(centred, 44100.0f, {}));
}

TEST(Render, IntegerOutputClipsAtFullScaleAndCountsWhileFloatKeepsEveryValue) {
    TemporaryFolder folder;
    // Independent channels at 1.5 times full scale: the output peaks past 1 too.
    const std::vector<float> loud = noise(4000, 2, 1.5f, 99u);
    writeAudio(folder.file("loud.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, loud);

    RenderRequest toFloat;
    toFloat.inputPath = folder.file("loud.wav");
    toFloat.outputPath = folder.file("float.wav");
    const RenderSummary floatSummary = renderFile(toFloat);
    EXPECT_EQ(floatSummary.clippedSamples, 0);
    EXPECT_GT(floatSummary.peakOut, 1.2f);
    EXPECT_EQ(readAudio(toFloat.outputPath).interleaved, directlyProcessed(loud, 44100.0f, {}));

    RenderRequest toInteger = toFloat;
    toInteger.outputPath = folder.file("int.wav");
    toInteger.format = "wav:16";
    const RenderSummary integerSummary = renderFile(toInteger);
    const AudioContents clipped = readAudio(toInteger.outputPath);
    EXPECT_EQ(clipped.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    // Every sample past full scale in the float render is one clipped sample, at
    // the end of the 16-bit range on its own side.
    const std::vector<float> unclipped = readAudio(toFloat.outputPath).interleaved;
    ASSERT_EQ(clipped.interleaved.size(), unclipped.size());
    std::int64_t pastFullScale = 0;
    for (std::size_t i = 0; i < unclipped.size(); ++i) {
        if (unclipped[i] > 1.0f) {
            ++pastFullScale;
            ASSERT_EQ(clipped.interleaved[i], 32767.0f / 32768.0f) << "sample " << i;
        } else if (unclipped[i] < -1.0f) {
            ++pastFullScale;
            ASSERT_EQ(clipped.interleaved[i], -1.0f) << "sample " << i;
        }
    }
    EXPECT_GT(pastFullScale, 0) << "the input is not loud enough for this test to mean anything";
    EXPECT_EQ(integerSummary.clippedSamples, pastFullScale);
    EXPECT_NE(summaryLine(toInteger, integerSummary).find("samples clipped"), std::string::npos);
}

TEST(Render, OutputKeepsTheInputsFormatUnlessAskedForAnother) {
    TemporaryFolder folder;
    writeAudio(folder.file("in.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 2, 96000, noise(2000, 2, 0.5f, 3u));
    RenderRequest request;
    request.inputPath = folder.file("in.flac");
    request.outputPath = folder.file("out.flac");
    renderFile(request);
    EXPECT_EQ(readAudio(request.outputPath).info.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
    EXPECT_EQ(readAudio(request.outputPath).info.sampleRateHz, 96000);

    request.outputPath = folder.file("out.aiff");
    request.format = "aiff";
    renderFile(request);
    EXPECT_EQ(readAudio(request.outputPath).info.format, SF_FORMAT_AIFF | SF_FORMAT_PCM_24);

    request.outputPath = folder.file("out.ogg");
    request.format = "ogg";
    renderFile(request);
    EXPECT_EQ(readAudio(request.outputPath).info.format, SF_FORMAT_OGG | SF_FORMAT_VORBIS);
}

TEST(Render, BlockSizeDoesNotChangeTheOutput) {
    TemporaryFolder folder;
    writeAudio(folder.file("in.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 48000, noise(3001, 2, 0.5f, 5u));
    RenderRequest request;
    request.inputPath = folder.file("in.wav");
    request.outputPath = folder.file("a.wav");
    renderFile(request);
    request.outputPath = folder.file("b.wav");
    request.blockFrames = 37;
    renderFile(request);
    EXPECT_EQ(readAudio(folder.file("a.wav")).interleaved, readAudio(folder.file("b.wav")).interleaved);
}

// Anything a file records of the moment it was written shows once the clock has
// moved on to another second between two renders.
TEST(Render, TheSameInputAndSettingsGiveTheSameBytesAtAnyTime) {
    TemporaryFolder folder;
    const std::vector<float> samples = noise(3000, 2, 0.5f, 11u);
    for (const char* name : {"in.wav", "in.aiff"}) {
        const int container = std::string(name) == "in.wav" ? SF_FORMAT_WAV : SF_FORMAT_AIFF;
        writeAudio(folder.file(name), container | SF_FORMAT_FLOAT, 2, 44100, samples);
        RenderRequest request;
        request.inputPath = folder.file(name);
        request.settings = {{SettingKind::inUnit, "LF Width=150"}};
        request.outputPath = folder.file(std::string("first-") + name);
        renderFile(request);
        const std::time_t written = std::time(nullptr);
        while (std::time(nullptr) == written) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        request.outputPath = folder.file(std::string("second-") + name);
        renderFile(request);

        const AudioContents first = readAudio(folder.file(std::string("first-") + name));
        EXPECT_EQ(first.info.format, container | SF_FORMAT_FLOAT) << name;
        EXPECT_EQ(first.interleaved.size(), samples.size()) << name;
        EXPECT_EQ(readBytes(folder.file(std::string("first-") + name)),
                  readBytes(folder.file(std::string("second-") + name)))
            << name;
    }
}

TEST(Render, TheSummaryLineKeepsLongPathsWhole) {
    RenderRequest request;
    request.inputPath = "/" + std::string(300, 'i') + ".wav";
    request.outputPath = "/" + std::string(300, 'o') + ".flac";
    RenderSummary summary;
    summary.frames = 44100;
    summary.sampleRateHz = 44100;
    summary.outputFormat = SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
    const std::string line = summaryLine(request, summary);
    EXPECT_EQ(line.rfind(request.inputPath + " -> " + request.outputPath + ": 44100 frames", 0), 0u) << line;
    EXPECT_NE(line.find("(FLAC 24-bit)"), std::string::npos) << line;
}
