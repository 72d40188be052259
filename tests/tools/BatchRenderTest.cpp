// Many files into one folder at once: each output is byte for byte what a render
// of that file alone gives, however many files run together, and one bad file
// spoils nothing but itself.
#include "BatchRender.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

#include "CommandLine.h"
#include "SeededNoise.h"
#include "Sha256.h"
#include "TemporaryFolder.h"
#include "ToolError.h"

namespace {

// What a file holds as audio: its format, rate and channels, and every sample's bits.
// Not its bytes: a float file's peak chunk carries the time it was written.
std::string audioOf(const std::string& path) {
    const AudioContents contents = readAudio(path);
    std::string text = std::to_string(contents.info.format) + " " + std::to_string(contents.info.sampleRateHz) + " " +
                       std::to_string(contents.info.channels) + " " + std::to_string(contents.info.frames) + ":";
    text.append(reinterpret_cast<const char*>(contents.interleaved.data()),
                contents.interleaved.size() * sizeof(float));
    return text;
}

std::size_t linesIn(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

class BatchRender : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(folder.file("in"));
        // Different lengths, rates, channel counts and formats, so that no two renders
        // are alike and a mix-up between files shows.
        const struct {
            const char* name;
            int format;
            int channels;
            int rateHz;
            std::size_t frames;
        } files[] = {{"a.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, 3000},
                     {"b.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 48000, 4100},
                     {"c.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 2, 44100, 2500},
                     {"d.aiff", SF_FORMAT_AIFF | SF_FORMAT_FLOAT, 2, 96000, 5000},
                     {"e.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, 1700}};
        std::uint32_t seed = 1;
        for (const auto& f : files) {
            SeededNoise random(seed++);
            std::vector<float> samples(f.frames * static_cast<std::size_t>(f.channels));
            for (float& s : samples) {
                s = 0.5f * random.bipolar();
            }
            writeAudio(folder.file("in/" + std::string(f.name)), f.format, f.channels, f.rateHz, samples);
            inputs.push_back(folder.file("in/" + std::string(f.name)));
        }
    }

    BatchRequest request(const std::string& outputDir, int jobs) const {
        BatchRequest r;
        r.inputPaths = inputs;
        r.outputDir = folder.file(outputDir);
        r.jobs = jobs;
        r.render.blockFrames = 100;
        r.render.settings = {{SettingKind::preset, "spaced-pair-40cm"},
                             {SettingKind::inUnit, "Mic Spacing=30"},
                             {SettingKind::normalised, "1=0.25"}};
        return r;
    }

    TemporaryFolder folder;
    std::vector<std::string> inputs;
};

}  // namespace

TEST_F(BatchRender, EachOutputHoldsExactlyWhatASingleRenderOfItsInputHolds) {
    std::ostringstream out;
    std::ostringstream err;
    const BatchResult result = renderBatch(request("out", 3), out, err, false);
    EXPECT_EQ(result.exitStatus(), 0) << err.str();
    EXPECT_EQ(result.rendered, 5);
    EXPECT_EQ(result.frames, 3000 + 4100 + 2500 + 5000 + 1700);
    EXPECT_TRUE(err.str().empty()) << err.str();
    EXPECT_EQ(linesIn(out.str()), 6u) << "one line per file and the total:\n" << out.str();
    EXPECT_NE(out.str().find("5 files, 16300 frames"), std::string::npos) << out.str();

    std::filesystem::create_directory(folder.file("single"));
    for (const std::string& input : inputs) {
        const std::string name = std::filesystem::path(input).filename().string();
        RenderRequest single = request("out", 3).render;
        single.inputPath = input;
        single.outputPath = folder.file("single/" + name);
        renderFile(single);
        const std::string batchOutput = audioOf(folder.file("out/" + name));
        EXPECT_EQ(batchOutput, audioOf(single.outputPath)) << name;
        EXPECT_NE(out.str().find(input + " -> " + folder.file("out/" + name)), std::string::npos) << out.str();
    }
}

TEST_F(BatchRender, OneWorkerAndThreeGiveTheSameFiles) {
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(renderBatch(request("one", 1), out, err, false).exitStatus(), 0) << err.str();
    ASSERT_EQ(renderBatch(request("three", 3), out, err, false).exitStatus(), 0) << err.str();
    for (const std::string& input : inputs) {
        const std::string name = std::filesystem::path(input).filename().string();
        EXPECT_EQ(audioOf(folder.file("one/" + name)), audioOf(folder.file("three/" + name))) << name;
    }
}

TEST_F(BatchRender, AFileThatFailsIsReportedAndTheOthersComplete) {
    const std::string notAudio = folder.file("in/notes.wav");
    std::ofstream(notAudio) << "not audio\n";
    inputs.insert(inputs.begin() + 2, notAudio);
    std::ostringstream out;
    std::ostringstream err;
    const BatchResult result = renderBatch(request("out", 3), out, err, false);
    EXPECT_EQ(result.exitStatus(), 1);
    EXPECT_EQ(result.failed, 1);
    EXPECT_EQ(result.rendered, 5);
    EXPECT_EQ(linesIn(err.str()), 1u) << err.str();
    EXPECT_EQ(err.str().rfind("brevander: " + notAudio + ": cannot read", 0), 0u) << err.str();
    EXPECT_NE(out.str().find("6 files"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("1 failed"), std::string::npos) << out.str();
    std::vector<std::string> written;
    for (const auto& entry : std::filesystem::directory_iterator(folder.file("out"))) {
        written.push_back(entry.path().filename().string());
    }
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"a.wav", "b.wav", "c.flac", "d.aiff", "e.wav"}));
}

TEST_F(BatchRender, TheCommandLineExitsWithOneWhenAFileFailed) {
    std::ofstream(folder.file("in/notes.wav")) << "not audio\n";
    std::ostringstream out;
    std::ostringstream err;
    const int status =
        runBrevander({"render", folder.file("in"), "--out-dir", folder.file("out"), "-j", "2"}, out, err);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(linesIn(err.str()), 1u) << err.str();
    EXPECT_EQ(linesIn(out.str()), 6u) << out.str();
    EXPECT_TRUE(std::filesystem::is_regular_file(folder.file("out/e.wav")));

    // A plug-in that can't be loaded is said once, and nothing is made.
    err.str("");
    EXPECT_EQ(runBrevander({"render", folder.file("in"), "--out-dir", folder.file("none"), "--plugin",
                            folder.file("missing.so")},
                           out, err),
              1);
    EXPECT_EQ(linesIn(err.str()), 1u) << err.str();
    EXPECT_FALSE(std::filesystem::exists(folder.file("none")));
}

TEST_F(BatchRender, InputsThatWouldShareAnOutputAreRefusedBeforeAnythingIsWritten) {
    std::filesystem::create_directory(folder.file("other"));
    std::filesystem::copy_file(inputs[0], folder.file("other/a.wav"));
    std::ostringstream out;
    std::ostringstream err;
    const int status = runBrevander(
        {"render", inputs[0], inputs[1], folder.file("other/a.wav"), "--out-dir", folder.file("out")}, out, err);
    EXPECT_EQ(status, 2);
    EXPECT_EQ(err.str(), "brevander: " + inputs[0] + " and " + folder.file("other/a.wav") +
                             " would both be written to " + folder.file("out/a.wav") + "; nothing was rendered\n");
    EXPECT_TRUE(out.str().empty());
    EXPECT_FALSE(std::filesystem::exists(folder.file("out")));

    // With --format, the extension changes: d.aiff and d.wav both become d.wav.
    std::filesystem::copy_file(inputs[0], folder.file("in/d.wav"));
    BatchRequest clash = request("out", 2);
    clash.inputPaths = {folder.file("in/d.aiff"), folder.file("in/d.wav")};
    clash.render.format = "wav:16";
    try {
        renderBatch(clash, out, err, false);
        ADD_FAILURE() << "the clash went unnoticed";
    } catch (const ToolError& e) {
        EXPECT_EQ(e.exitStatus, 2);
        EXPECT_NE(std::string(e.what()).find("out/d.wav"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(std::filesystem::exists(folder.file("out")));
}

TEST_F(BatchRender, AFolderStandsForTheAudioFilesInIt) {
    std::ofstream(folder.file("in/readme.txt")) << "notes\n";
    std::ofstream(folder.file("in/.hidden.wav")) << "an unfinished render\n";
    BatchRequest r = request("out", 2);
    r.inputPaths = {folder.file("in")};
    r.render.format = "flac";
    const BatchPlan plan = planBatch(r);
    EXPECT_EQ(plan.inputPaths, inputs);
    EXPECT_EQ(plan.outputPaths,
              (std::vector<std::string>{folder.file("out/a.flac"), folder.file("out/b.flac"), folder.file("out/c.flac"),
                                        folder.file("out/d.flac"), folder.file("out/e.flac")}));
}

namespace {

// A report line's string field; empty when it is null or missing.
std::string fieldOf(const std::string& line, const std::string& name) {
    const std::string key = "\"" + name + "\":\"";
    const std::size_t at = line.find(key);
    return at == std::string::npos ? ""
                                   : line.substr(at + key.size(), line.find('"', at + key.size()) - at - key.size());
}

std::vector<std::string> linesOf(const std::string& path) {
    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

// The output folder inside the input tree, a hidden folder there, a subfolder two
// deep: rendered, resumed after an output went missing, and reported file by file.
TEST_F(BatchRender, ATreeIsMirroredResumedAndReportedFileByFile) {
    std::filesystem::create_directories(folder.file("in/sub/deeper"));
    std::filesystem::create_directories(folder.file("in/.hidden"));
    std::filesystem::copy_file(inputs[0], folder.file("in/sub/deeper/f.wav"));
    std::filesystem::copy_file(inputs[0], folder.file("in/.hidden/g.wav"));
    BatchRequest r = request("in/rendered", 2);
    r.inputPaths = {folder.file("in")};
    r.recursive = true;
    r.reportPath = folder.file("first.jsonl");
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(renderBatch(r, out, err, false).exitStatus(), 0) << err.str();
    const std::vector<std::string> names = {"a.wav", "b.wav", "c.flac", "d.aiff", "e.wav", "sub/deeper/f.wav"};
    std::vector<std::string> written;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder.file("in/rendered"))) {
        if (entry.is_regular_file()) {
            written.push_back(entry.path().lexically_relative(folder.file("in/rendered")).string());
        }
    }
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, names);
    EXPECT_EQ(audioOf(folder.file("in/rendered/sub/deeper/f.wav")), audioOf(folder.file("in/rendered/a.wav")));

    struct stat before {};
    ASSERT_EQ(stat(folder.file("in/rendered/a.wav").c_str(), &before), 0);
    std::filesystem::remove(folder.file("in/rendered/c.flac"));
    r.skipExisting = true;
    r.reportPath = folder.file("second.jsonl");
    const BatchResult resumed = renderBatch(r, out, err, false);
    EXPECT_EQ(resumed.exitStatus(), 0) << err.str();
    EXPECT_EQ(resumed.rendered, 1);
    EXPECT_EQ(resumed.skipped, 5);
    struct stat after {};
    stat(folder.file("in/rendered/a.wav").c_str(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino) << "a skipped output was written again";

    for (const char* report : {"first.jsonl", "second.jsonl"}) {
        const std::vector<std::string> lines = linesOf(folder.file(report));
        ASSERT_EQ(lines.size(), names.size()) << report;
        for (const std::string& name : names) {
            const std::string output = folder.file("in/rendered/" + name);
            const auto line = std::find_if(lines.begin(), lines.end(),
                                           [&](const std::string& l) { return fieldOf(l, "output") == output; });
            ASSERT_NE(line, lines.end()) << report << ": " << name;
            const bool renderedNow = report == std::string("first.jsonl") || name == "c.flac";
            EXPECT_EQ(fieldOf(*line, "status"), renderedNow ? "rendered" : "skipped") << *line;
            EXPECT_EQ(fieldOf(*line, "sha256"), sha256OfFile(output)) << *line;
            EXPECT_NE(line->find("\"settings\":[\"preset spaced-pair-40cm\",\"Mic Spacing=30\",\"param 1=0.25\"]"),
                      std::string::npos)
                << *line;
        }
    }
}

// Planned from files that need not be audio: only their paths matter.
TEST(BatchShards, EveryFileIsInExactlyOneShardAndAddingFilesMovesNoOther) {
    TemporaryFolder folder;
    const auto addFiles = [&](int from, int to) {
        for (int i = from; i < to; ++i) {
            const std::filesystem::path name =
                folder.file("in/" + std::string(1, static_cast<char>('a' + i % 5)) + (i % 3 == 0 ? "/deep/" : "/") +
                            "take " + std::to_string(i) + ".wav");
            std::filesystem::create_directories(name.parent_path());
            std::ofstream{name};
        }
    };
    // Each output's shard, checking that none is in two.
    const auto shards = [&](const std::string& input, int count) {
        std::map<std::string, int> shardOfOutput;
        for (int k = 0; k < count; ++k) {
            BatchRequest r;
            r.inputPaths = {input};
            r.outputDir = folder.file("out");
            r.recursive = true;
            r.shardIndex = k;
            r.shardCount = count;
            const std::vector<std::string> outputs = planBatch(r).outputPaths;
            // A rule that put everything in one shard would pass the rest of this test.
            EXPECT_TRUE(count > 4 || !outputs.empty()) << "shard " << k << " of " << count << " is empty";
            for (const std::string& output : outputs) {
                EXPECT_TRUE(shardOfOutput.emplace(output, k).second) << output << " is in two of " << count;
            }
        }
        return shardOfOutput;
    };
    // Anagrams: a hash that mixes too little puts them all in one shard of two.
    std::string letters = "abcd";
    std::set<int> shardsOfAnagrams;
    do {
        shardsOfAnagrams.insert(shardOf("concert/" + letters + ".wav", 2));
    } while (std::next_permutation(letters.begin(), letters.end()));
    EXPECT_EQ(shardsOfAnagrams.size(), 2u);

    addFiles(0, 60);
    std::map<int, std::map<std::string, int>> before;
    for (int count = 1; count <= 16; ++count) {
        before[count] = shards(folder.file("in"), count);
        EXPECT_EQ(before[count].size(), 60u) << count << " shards";
    }
    // More files, and the tree seen from another place, as another machine may mount it.
    addFiles(60, 90);
    std::filesystem::create_directory(folder.file("elsewhere"));
    std::filesystem::rename(folder.file("in"), folder.file("elsewhere/in"));
    for (int count = 1; count <= 16; ++count) {
        const std::map<std::string, int> after = shards(folder.file("elsewhere/in") + "/", count);
        EXPECT_EQ(after.size(), 90u) << count << " shards";
        for (const auto& [output, shard] : before[count]) {
            EXPECT_EQ(after.at(output), shard) << output << " moved among " << count << " shards";
        }
    }
}
