// What a user sees from the command line: each bad input ends with one line on
// stderr, a non-zero exit and no output file, partial or finished.
#include "CommandLine.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <thread>

#include "FactoryPresets.h"
#include "Render.h"
#include "TemporaryFolder.h"
#include "ToolError.h"
#include "ToolRun.h"

namespace {

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
        SCOPED_TRACE("expecting '" + fragment + "'");
        const ToolRun r = runTool(args);
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
    const ToolRun r = runTool({"render", folder.file("in.wav"), folder.file("out.wav"), "--set", "LF Width=120"});
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
    expectCleanFailure({"render", in, out, "--param", "3=0.5x"}, 2, "got '0.5x'");
    expectCleanFailure({"render", in, out, "--set"}, 2, "needs a value");
    expectCleanFailure({"render", in, out, "--block", "0"}, 2, "--block");
    expectCleanFailure({"render", in, out, "--format", "mp3"}, 2, "unknown format");
    expectCleanFailure({"render", in, out, "--loud"}, 2, "'--loud'");
    expectCleanFailure({"render", in}, 2, "an input and an output");
    std::string ids;
    for (const FactoryPreset& preset : kFactoryPresets) {
        ids += (ids.empty() ? "" : ", ") + std::string(preset.id);
    }
    expectCleanFailure({"render", in, out, "--preset", "spaced-pair-45cm"}, 2,
                       "unknown preset 'spaced-pair-45cm'; the presets are " + ids);
    expectCleanFailure({"analyze", in, "--preset="}, 2, "--preset needs a value");
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
    const ToolRun r = runTool({"params", "--set", "mic spacing=25", "--param", "0=0"});
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
    EXPECT_EQ(runTool({"mix"}).status, 2);
    EXPECT_EQ(runTool({}).status, 2);
    const ToolRun help = runTool({"help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("centred stereo source"), std::string::npos);
}

namespace {

// Runs the tool with the working folder set to `folder`, for file names that only
// work relative to it, such as ones starting with a dash.
ToolRun runIn(const TemporaryFolder& folder, const std::vector<std::string>& args) {
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(folder.file(""));
    const ToolRun r = runTool(args);
    std::filesystem::current_path(previous);
    return r;
}

std::string rowOf(const std::string& table, std::size_t row) {
    std::istringstream lines(table);
    std::string line;
    for (std::size_t i = 0; i <= row && std::getline(lines, line); ++i) {
    }
    return line;
}

}  // namespace

TEST_F(CommandLine, HelpForTheToolAndForEachCommand) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--help"}, {"-h"}, {"help"}, {"help", "help"}, {"help", "--help"}}) {
        const ToolRun r = runTool(args);
        EXPECT_EQ(r.status, 0) << args[0];
        EXPECT_TRUE(r.err.empty()) << r.err;
        EXPECT_NE(r.out.find("centred stereo source"), std::string::npos) << args[0];
        for (const FactoryPreset& preset : kFactoryPresets) {
            EXPECT_NE(r.out.find(preset.id), std::string::npos) << preset.id;
            EXPECT_NE(r.out.find(preset.name), std::string::npos) << preset.name;
        }
    }
    const std::vector<std::pair<std::string, std::string>> commands = {{"render", "--out-dir"},
                                                                       {"params", "--param"},
                                                                       {"response", "--rate"},
                                                                       {"analyze", "--csv"},
                                                                       {"demo", "--out-dir"}};
    for (const auto& [command, option] : commands) {
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{command, "--help"}, {command, "-h"}, {"help", command}}) {
            const ToolRun r = runTool(args);
            EXPECT_EQ(r.status, 0) << args[0] << " " << args[1];
            EXPECT_NE(r.out.find("Usage: brevander " + command), std::string::npos) << r.out;
            EXPECT_NE(r.out.find(option), std::string::npos) << r.out;
            EXPECT_EQ(r.out.find("centred stereo source"), std::string::npos) << "the whole usage, not the command's";
        }
    }
    // Help comes before any check of the rest of the line, and writes nothing.
    EXPECT_EQ(runTool({"render", folder.file("in.wav"), folder.file("out.wav"), "--help"}).status, 0);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"in.wav"});
    expectCleanFailure({"help", "mix"}, 2, "unknown command 'mix'");
}

TEST_F(CommandLine, VersionComesFromTheProject) {
    const ToolRun r = runTool({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "brevander 1.0.0\n");
    EXPECT_TRUE(r.err.empty());
}

TEST_F(CommandLine, OptionsTakeTheirValueAfterAnEqualsSignToo) {
    const ToolRun r = runTool({"render", folder.file("in.wav"), folder.file("out.wav"), "--format=wav:24", "--block=64",
                               "--set=LF Width=120", "--param=2=0.5"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readAudio(folder.file("out.wav")).info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    kept = {"out.wav"};
    expectCleanFailure({"render", folder.file("in.wav"), folder.file("out2.wav"), "--block=0"}, 2, "--block");
}

TEST_F(CommandLine, FilesNamedWithALeadingDashFollowADoubleDash) {
    const ToolRun first = runIn(folder, {"render", "in.wav", "--", "-out.wav"});
    ASSERT_EQ(first.status, 0) << first.err;
    const ToolRun second = runIn(folder, {"render", "--block", "64", "--", "-out.wav", "-again.wav"});
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(readAudio(folder.file("-again.wav")).info.frames, 2000);
    // Without the double dash, the name is an unknown option.
    kept = {"-out.wav", "-again.wav"};
    const ToolRun refused = runIn(folder, {"render", "in.wav", "-third.wav"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("'-third.wav'"), std::string::npos) << refused.err;
}

TEST_F(CommandLine, TheLastOfARepeatedOptionWins) {
    const std::string in = folder.file("in.wav");
    ASSERT_EQ(runTool({"render", in, folder.file("a.wav"), "--format", "wav:16", "--format", "wav:24"}).status, 0);
    EXPECT_EQ(readAudio(folder.file("a.wav")).info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    EXPECT_EQ(runTool({"render", in, folder.file("b.wav"), "--block", "0", "--block", "64"}).status, 0);
    kept = {"a.wav", "b.wav"};
    expectCleanFailure({"render", in, folder.file("c.wav"), "--block", "64", "--block", "0"}, 2, "--block");
    EXPECT_EQ(runTool({"render", in, folder.file("d.wav"), "-y", "--overwrite"}).status, 0) << "a repeated flag";
}

// --set and --param apply in the order typed, so whichever names a parameter last
// decides its value; "Mic Spacing" is index 3, and 0 is its lowest value, 1 cm.
TEST_F(CommandLine, SetAndParamOnOneParameterApplyInTheOrderGiven) {
    const ToolRun setLast = runTool({"params", "--param", "3=0", "--set", "Mic Spacing=25"});
    ASSERT_EQ(setLast.status, 0) << setLast.err;
    EXPECT_NE(rowOf(setLast.out, 4).find("25.00 cm"), std::string::npos) << setLast.out;
    const ToolRun paramLast = runTool({"params", "--set", "Mic Spacing=25", "--param", "3=0"});
    ASSERT_EQ(paramLast.status, 0) << paramLast.err;
    EXPECT_NE(rowOf(paramLast.out, 4).find("1.00 cm"), std::string::npos) << paramLast.out;

    // The render takes the same order: the last setting wins there too.
    const std::string in = folder.file("in.wav");
    ASSERT_EQ(runTool({"render", in, folder.file("set.wav"), "--set", "Mic Spacing=25"}).status, 0);
    ASSERT_EQ(runTool({"render", in, folder.file("param.wav"), "--param", "3=0"}).status, 0);
    ASSERT_EQ(runTool({"render", in, folder.file("param-set.wav"), "--param", "3=0", "--set", "3=25"}).status, 0);
    ASSERT_EQ(runTool({"render", in, folder.file("set-param.wav"), "--set", "3=25", "--param", "3=0"}).status, 0);
    const std::vector<float> set = readAudio(folder.file("set.wav")).interleaved;
    const std::vector<float> param = readAudio(folder.file("param.wav")).interleaved;
    ASSERT_NE(set, param) << "the two spacings must sound different for this test to mean anything";
    EXPECT_EQ(readAudio(folder.file("param-set.wav")).interleaved, set);
    EXPECT_EQ(readAudio(folder.file("set-param.wav")).interleaved, param);
}

// A preset renders exactly as its spacing and width typed with --set, and settings
// typed before or after it apply on top of it.
TEST_F(CommandLine, APresetIsItsSpacingAndWidthWithSettingsOnTop) {
    struct Row {
        std::vector<std::string> withPreset;
        std::vector<std::string> byHand;
    };
    const Row rows[] = {
        {{"--preset", "near-coincident-17cm"}, {"--set", "Mic Spacing=17", "--set", "LF Width=100"}},
        {{"--preset", "near-coincident-30cm"}, {"--set", "Mic Spacing=30", "--set", "LF Width=100"}},
        {{"--preset", "spaced-pair-40cm"}, {"--set", "Mic Spacing=40", "--set", "LF Width=120"}},
        {{"--preset", "spaced-pair-50cm"}, {"--set", "Mic Spacing=50", "--set", "LF Width=140"}},
        {{"--set", "LF Width=60", "--preset", "spaced-pair-40cm", "--param", "0=0"},
         {"--set", "Mic Spacing=40", "--set", "LF Width=60", "--param", "0=0"}},
    };
    static_assert(sizeof rows / sizeof rows[0] == kFactoryPresets.size() + 1, "a row for each preset");
    const std::string in = folder.file("in.wav");
    ASSERT_EQ(runTool({"render", in, folder.file("default.wav")}).status, 0);
    const std::vector<float> byDefault = readAudio(folder.file("default.wav")).interleaved;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.withPreset[1]);
        std::vector<std::string> withPreset = {"render", in, folder.file("preset.wav"), "-y"};
        withPreset.insert(withPreset.end(), row.withPreset.begin(), row.withPreset.end());
        std::vector<std::string> byHand = {"render", in, folder.file("by-hand.wav"), "-y"};
        byHand.insert(byHand.end(), row.byHand.begin(), row.byHand.end());
        ASSERT_EQ(runTool(withPreset).status, 0);
        ASSERT_EQ(runTool(byHand).status, 0);
        const std::vector<float> rendered = readAudio(folder.file("preset.wav")).interleaved;
        EXPECT_NE(rendered, byDefault);
        EXPECT_EQ(rendered, readAudio(folder.file("by-hand.wav")).interleaved);
    }
}

TEST_F(CommandLine, APluginWithoutParametersSaysSo) {
    const std::string plugin = BREVANDER_STEREO_TEST_PLUGIN;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"params", "--plugin", plugin, "--param", "0=0.5"},
          {"params", "--plugin", plugin, "--set", "Width=1"},
          {"params", "--plugin", plugin, "--preset", "spaced-pair-50cm"},
          {"render", folder.file("in.wav"), folder.file("out.wav"), "--plugin", plugin, "--param", "0=1"}}) {
        const ToolRun r = runTool(args);
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_EQ(r.err, "brevander: " + plugin + " has no parameters\n");
    }
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"in.wav"});
    const ToolRun listing = runTool({"params", "--plugin", plugin});
    EXPECT_EQ(listing.status, 0) << listing.err;
    EXPECT_EQ(std::count(listing.out.begin(), listing.out.end(), '\n'), 1) << "only the heading";
}

// Each whole-number option takes both ends of its stated range and nothing past
// them, nor a number with anything after it.
TEST_F(CommandLine, WholeNumbersTakeTheirStatedRangeAndNothingElse) {
    struct Row {
        std::vector<std::string> command;  // up to the option, whose value follows
        std::string range;
        std::vector<std::string> refused;
        std::vector<std::string> taken;
        int statusTaken;
    };
    const std::string in = folder.file("in.wav");
    const std::string out = folder.file("out.wav");
    const std::string dir = folder.file("out");
    const std::string absent = folder.file("absent.so");
    const Row rows[] = {
        {{"render", in, out, "-y", "--block"}, "1 to 1048576", {"0", "1048577", "512x"}, {"1", "1048576"}, 0},
        {{"render", in, "--out-dir", dir, "-y", "-j"}, "1 to 1024", {"0", "1025", "2x"}, {"1", "1024"}, 0},
        // The response goes on to load the plug-in, which is missing here.
        {{"response", "--plugin", absent, "--out", folder.file("r.png"), "--rate"},
         "44000 to 768000",
         {"43999", "8000", "768001", "44.1k", "44100Hz"},
         {"44000", "768000"},
         1},
    };
    kept = {"out.wav", "out"};
    for (const Row& row : rows) {
        const std::string& option = row.command.back();
        std::vector<std::string> args = row.command;
        for (const std::string& value : row.refused) {
            SCOPED_TRACE(option + " " + value);
            args.push_back(value);
            expectCleanFailure(args, 2, option + " needs a whole number from " + row.range + ", got '" + value + "'");
            args.pop_back();
        }
        for (const std::string& value : row.taken) {
            args.push_back(value);
            const ToolRun r = runTool(args);
            EXPECT_EQ(r.status, row.statusTaken) << option << " " << value << ": " << r.err;
            args.pop_back();
        }
    }
}

TEST_F(CommandLine, ParserErrorsAreOneLineOfOurOwn) {
    const std::string in = folder.file("in.wav");
    const std::string out = folder.file("out.wav");
    expectCleanFailure({"render", in, out, "--block"}, 2, "--block needs a value");
    expectCleanFailure({"response", "--out"}, 2, "--out needs a value");
    expectCleanFailure({"render", in, out, "-q"}, 2, "'-q'");
    expectCleanFailure({"params", "extra"}, 2, "'extra'");
    expectCleanFailure({"--loud"}, 2, "'--loud'");
    expectCleanFailure({"render", in, out, folder.file("third.wav")}, 2, "--out-dir");
    expectCleanFailure({"render", in, out, "-j", "2"}, 2, "--out-dir");
    expectCleanFailure({"render", in, out, "--recursive"}, 2, "--out-dir");
    expectCleanFailure({"render", in, out, "--report", folder.file("r.jsonl")}, 2, "--out-dir");
    const std::string dir = folder.file("out");
    expectCleanFailure({"render", in, "--out-dir", dir, "--skip-existing", "-y"}, 2, "give one");
    for (const std::string shard : {"4/4", "-1/4", "1/0", "1/", "/4", "x", "2", "1/2/3"}) {
        expectCleanFailure({"render", in, "--out-dir", dir, "--shard", shard}, 2, "got '" + shard + "'");
    }
}

namespace {

// Renders `input` through a FIFO, written by another thread as a live source would,
// and answers the tool's status; stderr goes to `err`.
int renderThroughAFifo(const TemporaryFolder& folder, const std::string& input, const std::string& output,
                       bool interactive, std::ostringstream& err) {
    const std::string fifo = folder.file("live.wav");
    EXPECT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string bytes = readBytes(input);
    std::thread feeder([&] {
        const int pipe = open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
        for (std::size_t at = 0; pipe >= 0 && at < bytes.size();) {
            const ssize_t n = write(pipe, bytes.data() + at, bytes.size() - at);
            if (n <= 0) {
                break;
            }
            at += static_cast<std::size_t>(n);
        }
        if (pipe >= 0) {
            close(pipe);
        }
    });
    std::ostringstream out;
    const int status = runBrevander({"render", fifo, output}, out, err, interactive);
    feeder.join();
    std::filesystem::remove(fifo);
    return status;
}

}  // namespace

TEST_F(CommandLine, AFifoInputRendersExactlyAsTheFileItCarries) {
    // Long enough that the source is still writing while the render opens the FIFO:
    // whatever else read from it then would take frames from the render.
    std::vector<float> samples(2 * 44100);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<float>(i % 317) / 634.0f - 0.25f;
    }
    writeAudio(folder.file("second.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, samples);
    ASSERT_EQ(runTool({"render", folder.file("second.wav"), folder.file("from-file.wav")}).status, 0);
    std::ostringstream err;
    ASSERT_EQ(renderThroughAFifo(folder, folder.file("second.wav"), folder.file("from-fifo.wav"), false, err), 0)
        << err.str();
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(readAudio(folder.file("from-fifo.wav")).interleaved, readAudio(folder.file("from-file.wav")).interleaved);
}

TEST_F(CommandLine, AFifoInputOnATerminalIsReadOnlyByTheRender) {
    // With a terminal for the progress bar, the tool must not open the input to
    // measure it first either.
    std::ostringstream err;
    ASSERT_EQ(renderThroughAFifo(folder, folder.file("in.wav"), folder.file("out.wav"), true, err), 0) << err.str();
    EXPECT_EQ(readAudio(folder.file("out.wav")).info.frames, 2000);
}
