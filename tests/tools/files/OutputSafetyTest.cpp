// The tool never loses or damages a user's file: what it refuses to replace stays
// byte for byte, what it replaces keeps its mode, links and special files are
// respected, its temporary files never take a user's name, and a render stopped by
// a signal, even one stuck reading a pipe, ends with 130 and leaves nothing behind.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <latch>
#include <mutex>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "CommandLine.h"
#include "PluginInstance.h"
#include "Render.h"
#include "Response.h"
#include "TemporaryFolder.h"
#include "ToolError.h"

namespace {

void writeBytes(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

// Byte for byte, without printing a whole audio file when it is not.
::testing::AssertionResult holds(const std::string& path, const std::string& expected) {
    const std::string bytes = readBytes(path);
    if (bytes == expected) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << path << " was changed: " << bytes.size() << " bytes, " << expected.size()
                                         << " before";
}

mode_t modeOf(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(lstat(path.c_str(), &status), 0) << path;
    return status.st_mode;
}

bool isTemporaryName(const std::string& name) {
    static const std::regex pattern(R"(\.brevander-[A-Za-z0-9]{8}\.partial)");
    return std::regex_match(name, pattern);
}

std::vector<std::string> sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

// The message of the ToolError `work` throws; fails the test when it throws none.
template <typename Work>
std::string refusal(Work&& work) {
    try {
        work();
    } catch (const ToolError& e) {
        return e.what();
    }
    ADD_FAILURE() << "nothing was refused";
    return {};
}

class OutputSafety : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<float> samples(2 * 40000);
        for (std::size_t i = 0; i < samples.size(); ++i) {
            samples[i] = static_cast<float>(i % 173) / 400.0f - 0.2f;
        }
        writeAudio(folder.file("in.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, samples);
        original = readBytes(folder.file("in.wav"));
    }

    RenderRequest requestTo(const std::string& outputPath) const {
        RenderRequest request;
        request.inputPath = folder.file("in.wav");
        request.outputPath = outputPath;
        return request;
    }

    // What a render of the input gives, made in a folder of its own.
    std::vector<float> expectedAudio() const {
        TemporaryFolder other;
        RenderRequest request = requestTo(other.file("reference.wav"));
        renderFile(request);
        return readAudio(other.file("reference.wav")).interleaved;
    }

    TemporaryFolder folder;
    std::string original;
    const std::string userBytes = "the user's own file, not audio\n";
};

}  // namespace

TEST_F(OutputSafety, TheInputAsOutputIsRefusedByAnySpellingOrLink) {
    ASSERT_EQ(link(folder.file("in.wav").c_str(), folder.file("hard.wav").c_str()), 0);
    ASSERT_EQ(symlink("in.wav", folder.file("soft.wav").c_str()), 0);
    const std::string folderPath = std::filesystem::path(folder.file("in.wav")).parent_path().string();
    for (const std::string& output : {folder.file("in.wav"), folderPath + "/./in.wav", folderPath + "//in.wav",
                                      folder.file("hard.wav"), folder.file("soft.wav")}) {
        // Only --in-place allows replacing the input, --overwrite does not.
        RenderRequest request = requestTo(output);
        request.overwrite = true;
        const std::string message = refusal([&] { renderFile(request); });
        EXPECT_NE(message.find("is the input file"), std::string::npos) << message;
        EXPECT_NE(message.find("--in-place"), std::string::npos) << message;
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
        EXPECT_TRUE(holds(folder.file("in.wav"), original)) << output;
        EXPECT_EQ(sorted(folder.entries()), (std::vector<std::string>{"hard.wav", "in.wav", "soft.wav"})) << output;
    }
}

TEST_F(OutputSafety, InPlaceKeepsTheInputIntactUntilTheNewFileIsComplete) {
    const std::vector<float> expected = expectedAudio();
    RenderRequest request = requestTo(folder.file("in.wav"));
    request.inPlace = true;
    request.blockFrames = 256;
    int checks = 0;
    renderFile(request, [&](double) {
        ++checks;
        EXPECT_TRUE(holds(folder.file("in.wav"), original)) << "changed during the render";
    });
    EXPECT_GE(checks, 2);
    EXPECT_EQ(readAudio(folder.file("in.wav")).interleaved, expected);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"in.wav"});
}

TEST_F(OutputSafety, AnExistingFileIsKeptUnlessOverwriteIsAsked) {
    writeBytes(folder.file("out.wav"), userBytes);
    const std::string message = refusal([&] { renderFile(requestTo(folder.file("out.wav"))); });
    EXPECT_NE(message.find("exists; pass --overwrite (or -y)"), std::string::npos) << message;
    EXPECT_TRUE(holds(folder.file("out.wav"), userBytes));
    EXPECT_EQ(sorted(folder.entries()), (std::vector<std::string>{"in.wav", "out.wav"}));

    // The same for any audio the tool writes, the demo's scene among them.
    refusal([&] { writeAudio(folder.file("out.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, {0.0f, 0.0f}); });
    EXPECT_TRUE(holds(folder.file("out.wav"), userBytes));

    RenderRequest request = requestTo(folder.file("out.wav"));
    request.overwrite = true;
    renderFile(request);
    EXPECT_EQ(readAudio(folder.file("out.wav")).interleaved, expectedAudio());
}

TEST_F(OutputSafety, AFileThatAppearsDuringTheRenderIsNotReplaced) {
    RenderRequest request = requestTo(folder.file("out.wav"));
    bool made = false;
    const std::string message = refusal([&] {
        renderFile(request, [&](double) {
            if (!made) {
                writeBytes(folder.file("out.wav"), userBytes);
                made = true;
            }
        });
    });
    EXPECT_NE(message.find("--overwrite"), std::string::npos) << message;
    EXPECT_TRUE(holds(folder.file("out.wav"), userBytes));
    EXPECT_EQ(sorted(folder.entries()), (std::vector<std::string>{"in.wav", "out.wav"}));
}

TEST_F(OutputSafety, AReadOnlyFileIsKeptEvenWithOverwrite) {
    writeBytes(folder.file("out.wav"), userBytes);
    ASSERT_EQ(chmod(folder.file("out.wav").c_str(), 0444), 0);
    // Without --overwrite too the message names what --overwrite can't change.
    for (const bool overwrite : {true, false}) {
        RenderRequest request = requestTo(folder.file("out.wav"));
        request.overwrite = overwrite;
        const std::string message = refusal([&] { renderFile(request); });
        EXPECT_NE(message.find("read-only"), std::string::npos) << message;
        EXPECT_TRUE(holds(folder.file("out.wav"), userBytes));
        EXPECT_EQ(modeOf(folder.file("out.wav")) & 07777, 0444u);
        EXPECT_EQ(sorted(folder.entries()), (std::vector<std::string>{"in.wav", "out.wav"}));
    }
}

TEST_F(OutputSafety, AReplacedFileKeepsItsModeAndOwner) {
    writeBytes(folder.file("out.wav"), userBytes);
    ASSERT_EQ(chmod(folder.file("out.wav").c_str(), 0640), 0);
    // Only root may give a file to someone else, and only root can keep it theirs.
    const bool root = geteuid() == 0;
    constexpr uid_t kOtherUser = 4321;
    constexpr gid_t kOtherGroup = 4322;
    if (root) {
        ASSERT_EQ(chown(folder.file("out.wav").c_str(), kOtherUser, kOtherGroup), 0);
    }
    RenderRequest request = requestTo(folder.file("out.wav"));
    request.overwrite = true;
    renderFile(request);
    EXPECT_EQ(readAudio(folder.file("out.wav")).interleaved, expectedAudio());
    struct stat status {};
    ASSERT_EQ(stat(folder.file("out.wav").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(status.st_uid, kOtherUser);
        EXPECT_EQ(status.st_gid, kOtherGroup);
    }
}

TEST_F(OutputSafety, ASymbolicLinkIsWrittenThroughAndStaysALink) {
    std::filesystem::create_directory(folder.file("elsewhere"));
    const std::string target = folder.file("elsewhere/target.wav");
    writeBytes(target, userBytes);
    ASSERT_EQ(chmod(target.c_str(), 0600), 0);
    ASSERT_EQ(symlink("elsewhere/target.wav", folder.file("link.wav").c_str()), 0);

    // The target is an existing file like any other.
    refusal([&] { renderFile(requestTo(folder.file("link.wav"))); });
    EXPECT_TRUE(holds(target, userBytes));

    RenderRequest request = requestTo(folder.file("link.wav"));
    request.overwrite = true;
    renderFile(request);
    EXPECT_TRUE(S_ISLNK(modeOf(folder.file("link.wav"))));
    EXPECT_EQ(std::filesystem::read_symlink(folder.file("link.wav")), "elsewhere/target.wav");
    EXPECT_EQ(readAudio(target).interleaved, expectedAudio());
    EXPECT_EQ(modeOf(target) & 07777, 0600u);
    EXPECT_EQ(sorted(folder.entries()), (std::vector<std::string>{"elsewhere", "in.wav", "link.wav"}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.file("elsewhere")), {}), 1);
}

TEST_F(OutputSafety, ADanglingLinkIsRefusedAndLeftAsItIs) {
    ASSERT_EQ(symlink("missing/target.wav", folder.file("dangling.wav").c_str()), 0);
    RenderRequest request = requestTo(folder.file("dangling.wav"));
    request.overwrite = true;
    const std::string message = refusal([&] { renderFile(request); });
    EXPECT_NE(message.find("symbolic link to nothing"), std::string::npos) << message;
    EXPECT_TRUE(S_ISLNK(modeOf(folder.file("dangling.wav"))));
    EXPECT_EQ(std::filesystem::read_symlink(folder.file("dangling.wav")), "missing/target.wav");
    EXPECT_EQ(sorted(folder.entries()), (std::vector<std::string>{"dangling.wav", "in.wav"}));
}

TEST_F(OutputSafety, OutputsThatAreNotRegularFilesAreRefusedAndKept) {
    ASSERT_EQ(mkfifo(folder.file("fifo.wav").c_str(), 0644), 0);
    ASSERT_EQ(symlink("/dev/null", folder.file("null.wav").c_str()), 0);
    std::filesystem::create_directory(folder.file("folder.wav"));
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"fifo.wav", "it is a FIFO, not a regular file"},
        {"null.wav", "it is a character device, not a regular file"},
        {"folder.wav", "it is a directory, not a regular file"},
    };
    for (const auto& [name, words] : cases) {
        RenderRequest request = requestTo(folder.file(name));
        request.overwrite = true;
        const std::string message = refusal([&] { renderFile(request); });
        EXPECT_NE(message.find(words), std::string::npos) << message;
    }
    EXPECT_TRUE(S_ISFIFO(modeOf(folder.file("fifo.wav"))));
    EXPECT_TRUE(S_ISLNK(modeOf(folder.file("null.wav"))));
    EXPECT_TRUE(std::filesystem::is_directory(folder.file("folder.wav")));
    EXPECT_EQ(sorted(folder.entries()), (std::vector<std::string>{"fifo.wav", "folder.wav", "in.wav", "null.wav"}));
}

// The built tool under strace, which names each descriptor's file: the temporary
// file is flushed before it takes the output's name, and the folder after that,
// both when the rename must not replace a file and when it replaces the first run's.
TEST_F(OutputSafety, TheDataIsFlushedBeforeTheRenameAndTheFolderAfterIt) {
    const std::string folderPath = std::filesystem::canonical(folder.file("")).string();
    const TemporaryFolder traces;
    for (const std::string overwrite : {"", "--overwrite"}) {
        const std::string trace = traces.file("trace" + overwrite);
        const std::string command = "'" BREVANDER_STRACE
                                    "' -f -y -qq -e trace=fsync,fdatasync,rename,renameat,renameat2,link,linkat -o '" +
                                    trace + "' '" BREVANDER_TOOL "' render '" + folderPath + "/in.wav' '" + folderPath +
                                    "/out.wav' " + overwrite + " >/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        // S: the temporary file flushed; R: it renamed (or linked) to the output; D: the folder flushed.
        std::string order;
        std::istringstream lines(readBytes(trace));
        for (std::string line; std::getline(lines, line);) {
            const bool sync = line.find("sync(") != std::string::npos;
            if (sync && line.find(".partial>") != std::string::npos) {
                order += 'S';
            } else if (line.find(".partial\"") != std::string::npos &&
                       line.find('"' + folderPath + "/out.wav\"") != std::string::npos) {
                order += 'R';
            } else if (sync && line.find("<" + folderPath + ">") != std::string::npos) {
                order += 'D';
            }
        }
        EXPECT_EQ(order, "SRD") << "with '" << overwrite << "':\n" << readBytes(trace);
    }
}

TEST_F(OutputSafety, ALongOutputNameWorksAndLeavesNoTemporaryFile) {
    const std::string name = std::string(246, 'n') + ".wav";
    ASSERT_EQ(name.size(), 250u);
    renderFile(requestTo(folder.file(name)));
    EXPECT_EQ(readAudio(folder.file(name)).interleaved, expectedAudio());
    EXPECT_EQ(sorted(folder.entries()), sorted({"in.wav", name}));
}

TEST_F(OutputSafety, TemporaryFilesAreHiddenUniqueAndNeverTakeAUsersName) {
    // The name the temporary file had before, which a user could own.
    const std::string oldStyle = ".a.wav.partial-" + std::to_string(getpid());
    writeBytes(folder.file(oldStyle), userBytes);

    // Two renders into one folder at once, each looking while both are under way.
    std::latch bothStarted(2);
    std::mutex seenMutex;
    std::set<std::string> seen;
    const auto renderTo = [&](const std::string& name) {
        bool first = true;
        renderFile(requestTo(folder.file(name)), [&](double) {
            if (!first) {
                return;
            }
            first = false;
            bothStarted.arrive_and_wait();
            const std::lock_guard<std::mutex> lock(seenMutex);
            for (const std::string& entry : folder.entries()) {
                seen.insert(entry);
            }
        });
    };
    std::thread other(renderTo, "b.wav");
    renderTo("a.wav");
    other.join();

    std::vector<std::string> temporaries;
    for (const std::string& entry : seen) {
        if (entry != "in.wav" && entry != oldStyle && entry != "a.wav" && entry != "b.wav") {
            temporaries.push_back(entry);
        }
    }
    EXPECT_EQ(temporaries.size(), 2u) << "one temporary file for each render";
    for (const std::string& name : temporaries) {
        EXPECT_TRUE(isTemporaryName(name)) << name;
    }
    EXPECT_TRUE(holds(folder.file(oldStyle), userBytes));
    const std::vector<float> expected = expectedAudio();
    EXPECT_EQ(readAudio(folder.file("a.wav")).interleaved, expected);
    EXPECT_EQ(readAudio(folder.file("b.wav")).interleaved, expected);
    EXPECT_EQ(sorted(folder.entries()), sorted({"a.wav", "b.wav", "in.wav", oldStyle}));
}

// The response's image and data files: the same rule, and the plotter's data file
// never under a name of the user's.
TEST_F(OutputSafety, TheResponseKeepsAUsersFilesAndHidesItsDataFile) {
    const PluginLibrary library(defaultPluginPath());
    Host host;
    PluginInstance effect(library, host);
    writeBytes(folder.file("keep.png.csv"), userBytes);
    writeResponsePlot(effect, 44100.0f, folder.file("keep.png"), "", "title", false);
    EXPECT_EQ(readBytes(folder.file("keep.png")).substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_TRUE(holds(folder.file("keep.png.csv"), userBytes));
    EXPECT_EQ(sorted(folder.entries()), (std::vector<std::string>{"in.wav", "keep.png", "keep.png.csv"}));

    // Existing image or data: neither is replaced without overwrite.
    const std::string image = readBytes(folder.file("keep.png"));
    std::string message =
        refusal([&] { writeResponsePlot(effect, 44100.0f, folder.file("keep.png"), "", "title", false); });
    EXPECT_NE(message.find("--overwrite"), std::string::npos) << message;
    message = refusal(
        [&] { writeResponsePlot(effect, 44100.0f, folder.file("new.png"), folder.file("keep.png.csv"), "t", false); });
    EXPECT_NE(message.find("--overwrite"), std::string::npos) << message;
    EXPECT_TRUE(holds(folder.file("keep.png"), image));
    EXPECT_TRUE(holds(folder.file("keep.png.csv"), userBytes));
    EXPECT_EQ(sorted(folder.entries()), (std::vector<std::string>{"in.wav", "keep.png", "keep.png.csv"}));

    // With it, both are replaced and keep their modes.
    ASSERT_EQ(chmod(folder.file("keep.png").c_str(), 0640), 0);
    ASSERT_EQ(chmod(folder.file("keep.png.csv").c_str(), 0604), 0);
    writeResponsePlot(effect, 44100.0f, folder.file("keep.png"), folder.file("keep.png.csv"), "title", true);
    EXPECT_EQ(readBytes(folder.file("keep.png.csv")).rfind("frequency_hz,", 0), 0u);
    EXPECT_EQ(modeOf(folder.file("keep.png")) & 07777, 0640u);
    EXPECT_EQ(modeOf(folder.file("keep.png.csv")) & 07777, 0604u);
    EXPECT_EQ(sorted(folder.entries()), (std::vector<std::string>{"in.wav", "keep.png", "keep.png.csv"}));
}

TEST_F(OutputSafety, TheDemoReplacesNoneOfItsFilesWithoutOverwrite) {
    std::filesystem::create_directory(folder.file("demo"));
    writeBytes(folder.file("demo/response.png"), userBytes);
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(runBrevander({"demo", "--out-dir", folder.file("demo")}, out, err), 1);
    EXPECT_NE(err.str().find("--overwrite"), std::string::npos) << err.str();
    EXPECT_TRUE(holds(folder.file("demo/response.png"), userBytes));
    // Refused before the scene is written: no set half old, half new.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.file("demo")), {}), 1);
}

namespace {

// A WAV header for 16-bit stereo at 44100 Hz announcing ten seconds, as a pipe
// carries it before the audio has all been made.
std::string streamedWavHeader() {
    constexpr std::uint32_t kDataBytes = 44100 * 10 * 4;
    std::string header;
    const auto put = [&header](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            header.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
        }
    };
    header += "RIFF";
    put(36 + kDataBytes, 4);
    header += "WAVEfmt ";
    put(16, 4);
    put(1, 2);  // integer PCM
    put(2, 2);
    put(44100, 4);
    put(44100 * 4, 4);
    put(4, 2);
    put(16, 2);
    header += "data";
    put(kDataBytes, 4);
    return header;
}

// Polls `ready` until it holds; false when it never does within the guard, which
// only keeps a broken build from hanging the suite.
template <typename Condition>
bool eventually(Condition&& ready) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!ready()) {
        if (std::chrono::steady_clock::now() > giveUp) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// True while a thread of `pid` waits in the kernel for a FIFO's other end to open.
bool waitingForAFifoPartner(pid_t pid) {
    std::error_code ec;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
        std::string channel;
        std::ifstream(task.path() / "wchan") >> channel;
        if (channel == "wait_for_partner") {
            return true;
        }
    }
    return false;
}

// The built tool rendering from a FIFO into a folder of its own.
class ToolReadingAFifo {
public:
    ToolReadingAFifo() {
        EXPECT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::string tool = BREVANDER_TOOL;
        std::string command = "render";
        std::string input = fifo;
        std::string output = outputs.file("out.wav");
        std::vector<char*> argv = {tool.data(), command.data(), input.data(), output.data(), nullptr};
        EXPECT_EQ(posix_spawn(&child, tool.c_str(), &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
    }
    ToolReadingAFifo(const ToolReadingAFifo&) = delete;
    ToolReadingAFifo& operator=(const ToolReadingAFifo&) = delete;
    ~ToolReadingAFifo() {
        if (pipe >= 0) {
            close(pipe);
        }
    }

    // Sends `signalNumber` and checks how the tool ended and what it left.
    void expectStoppedCleanlyBy(int signalNumber) {
        ASSERT_EQ(kill(child, signalNumber), 0);
        int status = 0;
        const bool ended = eventually([&] { return waitpid(child, &status, WNOHANG) == child; });
        if (!ended) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
        }
        EXPECT_TRUE(ended) << "the tool did not stop while blocked";
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        EXPECT_EQ(WEXITSTATUS(status), 130);
        EXPECT_EQ(readBytes(errors), "brevander: interrupted; no output written\n");
        EXPECT_EQ(outputs.entries(), std::vector<std::string>{}) << "a temporary file or the output was left";
    }

    TemporaryFolder inputs;
    TemporaryFolder outputs;
    const std::string fifo = inputs.file("in.wav");
    const std::string errors = inputs.file("stderr.txt");
    pid_t child = 0;
    int pipe = -1;  // the FIFO's writing end, once open
};

class StoppedBySignal : public ::testing::TestWithParam<int> {};

}  // namespace

// The built tool, rendering from a FIFO that has delivered a header and some frames
// and then goes quiet: the tool is blocked in a read when the signal comes.
TEST_P(StoppedBySignal, WhileBlockedReadingAPipeExitsWith130AndLeavesNothing) {
    ToolReadingAFifo tool;
    // Opened for writing once the tool has it open for reading.
    ASSERT_TRUE(eventually([&] {
        tool.pipe = open(tool.fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        return tool.pipe >= 0;
    }));
    std::string start = streamedWavHeader();
    start.append(1000 * 4, '\0');  // far less than the tool reads at once
    ASSERT_EQ(write(tool.pipe, start.data(), start.size()), static_cast<ssize_t>(start.size()));
    // Everything read and the output's temporary file made: the tool waits for more.
    EXPECT_TRUE(eventually([&] {
        int unread = 0;
        return ioctl(tool.pipe, FIONREAD, &unread) == 0 && unread == 0 && !tool.outputs.entries().empty();
    }));
    tool.expectStoppedCleanlyBy(GetParam());
}

// Blocked before anything is read: the FIFO has no writer yet.
TEST(OutputSafetyWhileOpening, AStopSignalEndsAToolWaitingForAFifoWriter) {
    ToolReadingAFifo tool;
    if (!eventually([&] { return waitingForAFifoPartner(tool.child); })) {
        kill(tool.child, SIGKILL);
        waitpid(tool.child, nullptr, 0);
        GTEST_SKIP() << "this kernel does not show where the tool waits";
    }
    tool.expectStoppedCleanlyBy(SIGTERM);
}

INSTANTIATE_TEST_SUITE_P(OutputSafety, StoppedBySignal, ::testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& signal) {
                             return std::string(signal.param == SIGINT    ? "INT"
                                                : signal.param == SIGTERM ? "TERM"
                                                                          : "HUP");
                         });
