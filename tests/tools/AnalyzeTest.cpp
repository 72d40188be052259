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

// file -> band -> the CSV's fields after the file name.
using Bands = std::map<std::string, std::map<std::string, std::vector<std::string>>>;

Bands readCsv(const std::string& text) {
    Bands bands;
    std::istringstream lines(text);
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
        std::vector<std::string> fields;
        std::istringstream cells(line + ",");
        for (std::string cell; std::getline(cells, cell, ',');) {
            fields.push_back(cell);
        }
        const std::string file = std::filesystem::path(fields[0]).filename().string();
        bands[file][fields[1]] = std::vector<std::string>(fields.begin() + 2, fields.end());
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
    EXPECT_NE(table.find("Mono: processed as a centred source"), std::string::npos) << table;
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
        const std::vector<std::string>& f = bands.at(row.file).at(row.bandHz);
        ASSERT_EQ(f.size(), 6u) << where;
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
}
