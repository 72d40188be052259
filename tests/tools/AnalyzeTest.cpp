// `brevander analyze` end to end, the built tool on files whose answer is known:
// noise independent in two bands and identical in a third, a mono file and a
// silent one, through an effect that passes its input, so before and after agree.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdlib>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "Analyze.h"
#include "Fft.h"
#include "TemporaryFolder.h"
#include "ToolRun.h"

namespace {

constexpr int kRateHz = 44100;
constexpr std::size_t kFrames = 1 << 17;

// Gaussian noise with a flat spectrum from lowHz to highHz and nothing outside,
// made in the frequency domain: the inverse transform is the forward one of the
// conjugate, conjugated.
std::vector<double> bandNoise(unsigned seed, double lowHz, double highHz) {
    std::mt19937 engine(seed);
    std::normal_distribution<double> gauss;
    std::vector<std::complex<double>> spectrum(kFrames);
    for (std::size_t k = 1; k < kFrames / 2; ++k) {
        const double frequencyHz = static_cast<double>(k) * kRateHz / static_cast<double>(kFrames);
        if (frequencyHz >= lowHz && frequencyHz < highHz) {
            spectrum[k] = {gauss(engine), gauss(engine)};
            spectrum[kFrames - k] = std::conj(spectrum[k]);
        }
    }
    fft(spectrum);
    std::vector<double> x(kFrames);
    for (std::size_t n = 0; n < kFrames; ++n) {
        x[n] = spectrum[n].real() / static_cast<double>(kFrames) * 4.0;
    }
    return x;
}

// A CSV line's fields, quoted ones unquoted.
std::vector<std::string> csvFields(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (quoted && line[i] == '"') {
            quoted = i + 1 < line.size() && line[i + 1] == '"';
            if (quoted) {
                fields.back() += line[++i];
            }
        } else if (!quoted && line[i] == '"') {
            quoted = true;
        } else if (!quoted && line[i] == ',') {
            fields.emplace_back();
        } else {
            fields.back() += line[i];
        }
    }
    return fields;
}

// file -> band -> column -> field, as the header names the columns.
using Bands = std::map<std::string, std::map<std::string, std::map<std::string, std::string>>>;

Bands readCsv(const std::string& text) {
    Bands bands;
    std::istringstream lines(text);
    std::string line;
    std::getline(lines, line);
    const std::vector<std::string> columns = csvFields(line);
    while (std::getline(lines, line)) {
        const std::vector<std::string> fields = csvFields(line);
        EXPECT_EQ(fields.size(), columns.size()) << line;
        std::map<std::string, std::string> row;
        for (std::size_t i = 0; i < fields.size() && i < columns.size(); ++i) {
            row[columns[i]] = fields[i];
        }
        bands[std::filesystem::path(row["file"]).filename().string()][row["band_hz"]] = row;
    }
    return bands;
}

}  // namespace

TEST(Analyze, KnownWidthsAMonoAndASilentFileThroughTheBuiltTool) {
    TemporaryFolder folder;
    // 125 Hz and 2 kHz bands: independent noise; 500 Hz: the same noise in both.
    const std::vector<double> shared = bandNoise(5, 400.0, 650.0);
    const std::vector<double> leftLow = bandNoise(1, 100.0, 160.0), rightLow = bandNoise(2, 100.0, 160.0);
    const std::vector<double> leftHigh = bandNoise(3, 1600.0, 2600.0), rightHigh = bandNoise(4, 1600.0, 2600.0);
    std::vector<float> stereo(2 * kFrames), mono(kFrames);
    for (std::size_t n = 0; n < kFrames; ++n) {
        stereo[2 * n] = static_cast<float>(leftLow[n] + leftHigh[n] + shared[n]);
        stereo[2 * n + 1] = static_cast<float>(rightLow[n] + rightHigh[n] + shared[n]);
        mono[n] = stereo[2 * n];
    }
    writeAudio(folder.file("stereo.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, kRateHz, stereo);
    writeAudio(folder.file("mono.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, kRateHz, mono);
    writeAudio(folder.file("silent.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, kRateHz, std::vector<float>(20000));

    const std::string command = std::string("'") + BREVANDER_TOOL + "' analyze stereo.wav mono.wav silent.wav" +
                                " --plugin '" + BREVANDER_PASS_THROUGH_TEST_PLUGIN +
                                "' --csv bands.csv --out bands.png > table.txt 2> errors.txt";
    ASSERT_EQ(std::system(("cd '" + folder.file("") + "' && " + command).c_str()), 0)
        << readBytes(folder.file("errors.txt"));
    const std::string table = readBytes(folder.file("table.txt"));
    // The mono note stands under the mono file's heading, and only there.
    const std::size_t note = table.find("Mono: processed as a centred source");
    EXPECT_LT(table.find("mono.wav:"), note) << table;
    EXPECT_LT(note, table.find("silent.wav:")) << table;
    EXPECT_EQ(table.find("Mono:", note + 1), std::string::npos) << table;
    EXPECT_EQ(table.find("nan"), std::string::npos) << table;
    EXPECT_EQ(readBytes(folder.file("bands.png")).substr(0, 4), "\x89PNG");

    enum Ratio { zeroDb, veryLow, silentRatio };
    enum Correlation { uncorrelated, one, silentCorrelation };
    struct Row {
        const char* file;
        const char* bandHz;
        Ratio ratio;
        Correlation correlation;
    };
    const Bands bands = readCsv(readBytes(folder.file("bands.csv")));
    for (const Row& row : {Row{"stereo.wav", "125", zeroDb, uncorrelated},
                           {"stereo.wav", "2000", zeroDb, uncorrelated},
                           {"stereo.wav", "500", veryLow, one},
                           {"mono.wav", "125", silentRatio, one},
                           {"mono.wav", "500", silentRatio, one},
                           {"silent.wav", "125", silentRatio, silentCorrelation},
                           {"silent.wav", "8000", silentRatio, silentCorrelation}}) {
        const std::string where = std::string(row.file) + " at " + row.bandHz + " Hz";
        ASSERT_EQ(bands.at(row.file).count(row.bandHz), 1u) << where;
        // before, after, change of the ratio, then of the correlation; the effect passes its input.
        const std::map<std::string, std::string>& c = bands.at(row.file).at(row.bandHz);
        const std::vector<std::string> f{c.at("difference_to_sum_before_db"), c.at("difference_to_sum_after_db"),
                                         c.at("difference_to_sum_change_db"), c.at("correlation_before"),
                                         c.at("correlation_after"),           c.at("correlation_change")};
        EXPECT_EQ(f[0], f[1]) << where;
        EXPECT_EQ(f[3], f[4]) << where;
        switch (row.ratio) {
            case zeroDb:
                EXPECT_NEAR(std::stod(f[0]), 0.0, 0.5) << where;
                break;
            case veryLow:
                EXPECT_TRUE(f[0].empty() || std::stod(f[0]) < -60.0) << where << ": " << f[0];
                break;
            case silentRatio:
                EXPECT_EQ(f[0] + f[2], "") << where;
                break;
        }
        switch (row.correlation) {
            case uncorrelated:
                EXPECT_NEAR(std::stod(f[3]), 0.0, 0.1) << where;
                break;
            case one:
                EXPECT_NEAR(std::stod(f[3]), 1.0, 1e-6) << where;
                break;
            case silentCorrelation:
                EXPECT_EQ(f[3] + f[5], "") << where;
                break;
        }
    }

    // Through Brevander itself, whose guard against denormals leaves some 1e-20 in a
    // silent output: still silence. A change too small to show is no minus zero.
    const ToolRun brevander =
        runTool({"analyze", folder.file("silent.wav"), folder.file("stereo.wav"), "--csv", folder.file("b.csv")});
    ASSERT_EQ(brevander.status, 0) << brevander.err;
    const std::string silentTable = brevander.out.substr(0, brevander.out.find("stereo.wav"));
    EXPECT_EQ(silentTable.find(" dB"), std::string::npos) << silentTable;
    EXPECT_EQ(readBytes(folder.file("b.csv")).find(",-0.000"), std::string::npos) << readBytes(folder.file("b.csv"));
    // Nothing above 2.6 kHz goes in: what the effect leaves at 8 kHz is its rounding
    // noise, quiet, with its level shown.
    const std::map<std::string, std::string> high =
        readCsv(readBytes(folder.file("b.csv"))).at("stereo.wav").at("8000");
    EXPECT_LT(std::stod(high.at("level_after_dbfs")), -120.0);
    EXPECT_EQ(high.at("difference_to_sum_after_db") + high.at("correlation_after"), "");
    const std::string stereoTable = brevander.out.substr(brevander.out.find("stereo.wav"));
    const std::string highRow = stereoTable.substr(stereoTable.find("  8 kHz"));
    EXPECT_NE(highRow.substr(0, highRow.find('\n')).find("quiet"), std::string::npos) << stereoTable;
}

TEST(Analyze, TheCsvPutsEachFigureUnderItsHeadingAndQuotesNames) {
    // Every figure of the band different, so that a column out of place shows.
    FileAnalysis analysis;
    analysis.sampleRateHz = kRateHz;
    analysis.frames = 1000;
    // D/S -10 dB, correlation 0.45, 0 dBFS before; D/S -20 dB, correlation 0.9, +10 dBFS after.
    analysis.before.push_back({1000.0, 1000.0, 100.0, 600.0, 400.0, 0.45 * std::sqrt(600.0 * 400.0), 1000.0});
    analysis.after.push_back({1000.0, 10000.0, 100.0, 5000.0, 5000.0, 4500.0, 1000.0});
    const std::vector<std::string> names{"take \"one\".wav", "left, right.wav"};
    std::vector<FileAnalysis> analyses;
    for (const std::string& name : names) {
        analysis.inputPath = name;
        analyses.push_back(analysis);
    }
    const Bands bands = readCsv(analysisCsv(analyses));
    const std::map<std::string, double> expected{{"level_before_dbfs", 0.0},
                                                 {"level_after_dbfs", 10.0},
                                                 {"difference_to_sum_before_db", -10.0},
                                                 {"difference_to_sum_after_db", -20.0},
                                                 {"difference_to_sum_change_db", -10.0},
                                                 {"correlation_before", 0.45},
                                                 {"correlation_after", 0.9},
                                                 {"correlation_change", 0.45}};
    for (const std::string& name : names) {
        ASSERT_EQ(bands.count(name), 1u) << name;
        for (const auto& [column, value] : expected) {
            EXPECT_NEAR(std::stod(bands.at(name).at("1000").at(column)), value, 1e-3) << name << ": " << column;
        }
    }
}

TEST(Analyze, BadSamplesAreToldOfAndAMissingPlugInOnce) {
    TemporaryFolder folder;
    std::vector<float> samples(2 * 5000, 0.25f);
    samples[10] = samples[11] = std::nanf("");
    samples[301] = -INFINITY;
    writeAudio(folder.file("bad.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, kRateHz, samples);
    const ToolRun bad = runTool({"analyze", folder.file("bad.wav")});
    EXPECT_EQ(bad.status, 0) << bad.err;
    EXPECT_NE(bad.err.find("bad.wav holds 2 NaN and 1 infinite samples"), std::string::npos) << bad.err;

    const ToolRun missing =
        runTool({"analyze", folder.file("bad.wav"), folder.file("bad.wav"), "--plugin", folder.file("none.so")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.saidOneLine()) << missing.err;
    EXPECT_NE(missing.err.find("none.so"), std::string::npos) << missing.err;
}
