// What a user sees from the command line: each bad input ends with one line on
// stderr, a non-zero exit and no output file, partial or finished.
#include "CommandLine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "Render.h"
#include "TemporaryFolder.h"
#include "ToolError.h"

namespace {

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

ToolRun run(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = runBrevander(args, out, err);
    return {status, out.str(), err.str()};
}

class CommandLine : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<float> samples(2 * 2000);
        for (std::size_t i = 0; i < samples.size(); ++i) {
            samples[i] = static_cast<float>(i % 100) / 200.0f - 0.25f;
        }
        writeAudio(folder.file("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, samples);
    }

    // The run failed with `status`, said so in one line naming `fragment`, and left
    // nothing but the input in the folder.
    void expectCleanFailure(const std::vector<std::string>& args, int status, const std::string& fragment) {
        const ToolRun r = run(args);
        EXPECT_EQ(r.status, status) << r.err;
        EXPECT_EQ(r.err.rfind("brevander: ", 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_NE(r.err.find(fragment), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
        std::vector<std::string> left = folder.entries();
        std::erase_if(left, [this](const std::string& name) { return std::count(kept.begin(), kept.end(), name); });
        EXPECT_EQ(left, std::vector<std::string>{"in.wav"});
    }

    TemporaryFolder folder;
    std::vector<std::string> kept;  // files a test made on purpose, besides the input
};

}  // namespace

TEST_F(CommandLine, RenderWritesTheOutputAndOneSummaryLine) {
    const ToolRun r = run({"render", folder.file("in.wav"), folder.file("out.wav"), "--set", "LF Width=120"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.err.empty());
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);
    for (const char* part : {"2000 frames", "44100 Hz", "real time", "peak in", "out", "WAV 16-bit"}) {
        EXPECT_NE(r.out.find(part), std::string::npos) << part << " in " << r.out;
    }
    EXPECT_EQ(readAudio(folder.file("out.wav")).info.frames, 2000);
}

TEST_F(CommandLine, MissingOrUnreadableInputs) {
    expectCleanFailure({"render", folder.file("absent.wav"), folder.file("out.wav")}, 1, "no such file");
    std::ofstream(folder.file("text.wav")) << "not audio\n";
    kept = {"text.wav"};
    expectCleanFailure({"render", folder.file("text.wav"), folder.file("out.wav")}, 1, "cannot read");
    expectCleanFailure({"render", folder.file(""), folder.file("out.wav")}, 1, "cannot read");
}

TEST_F(CommandLine, MoreThanTwoChannelsAreRefused) {
    writeAudio(folder.file("surround.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 6, 48000, std::vector<float>(6 * 100));
    kept = {"surround.wav"};
    expectCleanFailure({"render", folder.file("surround.wav"), folder.file("out.wav")}, 1, "6 channels");
}

TEST_F(CommandLine, BadSettingsAreRefusedBeforeAnythingIsWritten) {
    const std::string in = folder.file("in.wav");
    const std::string out = folder.file("out.wav");
    expectCleanFailure({"render", in, out, "--set", "Width=100"}, 2, "\"LF Width\"");
    expectCleanFailure({"render", in, out, "--set", "Mic Spacing=80"}, 2, "out of range: 1 to 51 cm");
    expectCleanFailure({"render", in, out, "--param", "2=3"}, 2, "from 0 to 1");
    expectCleanFailure({"render", in, out, "--set"}, 2, "needs a value");
    expectCleanFailure({"render", in, out, "--block", "0"}, 2, "--block");
    expectCleanFailure({"render", in, out, "--format", "mp3"}, 2, "unknown format");
    expectCleanFailure({"render", in, out, "--loud"}, 2, "'--loud'");
    expectCleanFailure({"render", in}, 2, "an input and an output");
}

TEST_F(CommandLine, AnOutputThatCantBeWritten) {
    expectCleanFailure({"render", folder.file("in.wav"), folder.file("missing/out.wav")}, 1, "no folder");
    std::filesystem::create_directory(folder.file("taken"));
    kept = {"taken"};
    expectCleanFailure({"render", folder.file("in.wav"), folder.file("taken")}, 1, "is a directory");
}

TEST_F(CommandLine, PluginFilesThatAreNotStereoEffects) {
    const std::string in = folder.file("in.wav");
    const std::string out = folder.file("out.wav");
    std::ofstream(folder.file("fake.so")) << "not a library\n";
    kept = {"fake.so"};
    expectCleanFailure({"render", in, out, "--plugin", folder.file("fake.so")}, 1, "cannot load");
    expectCleanFailure({"render", in, out, "--plugin", folder.file("absent.so")}, 1, "no such file");
    expectCleanFailure({"render", in, out, "--plugin", BREVANDER_MONO_TEST_PLUGIN}, 1, "1 inputs and 1 outputs");
}

TEST_F(CommandLine, AnInterruptedRenderLeavesNoFile) {
    RenderRequest request;
    request.inputPath = folder.file("in.wav");
    request.outputPath = folder.file("out.wav");
    request.blockFrames = 64;
    try {
        renderFile(request, [](double) { requestRenderStop(); });
        FAIL() << "the render went on";
    } catch (const ToolError& e) {
        EXPECT_EQ(e.exitStatus, 130);
    }
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"in.wav"});
}

TEST_F(CommandLine, ParamsListsEveryParameterWithItsValueDisplayLabelAndRange) {
    const ToolRun r = run({"params", "--set", "mic spacing=25", "--param", "0=0"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream lines(r.out);
    std::string line;
    std::vector<std::string> rows;
    while (std::getline(lines, line)) {
        rows.push_back(line);
    }
    ASSERT_EQ(rows.size(), 8u) << r.out;
    EXPECT_NE(rows[1].find("Enable Dif VLF Filter"), std::string::npos);
    EXPECT_NE(rows[1].find("\"Off\""), std::string::npos);
    EXPECT_NE(rows[4].find("25.00 cm"), std::string::npos);
    EXPECT_NE(rows[4].find("\"25.0\""), std::string::npos);
    EXPECT_NE(rows[4].find("1 to 51 cm"), std::string::npos);
    EXPECT_NE(rows[6].find("-1.62 dB"), std::string::npos);
}

TEST_F(CommandLine, UnknownCommandsAndHelp) {
    EXPECT_EQ(run({"mix"}).status, 2);
    EXPECT_EQ(run({}).status, 2);
    const ToolRun help = run({"help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("centred stereo source"), std::string::npos);
}
