// The measured response against the product of the sections' exact responses, the
// frequencies, the CSV, and the plotting script as plotResponse runs it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <numbers>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "AllPass1.h"
#include "BassShelf.h"
#include "Biquad.h"
#include "ParameterTable.h"
#include "Response.h"
#include "ShufflerCore.h"
#include "SpacingFilter.h"
#include "TemporaryFolder.h"
#include "ToolFiles.h"
#include "ToolRun.h"
#include "host/LoadedPlugin.h"

namespace {
constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNotANumber = std::numeric_limits<double>::quiet_NaN();

// Stored values (the effect's units), in parameter-index order.
using Settings = std::array<float, kNumParams>;

Settings defaultSettings() {
    Settings settings{};
    for (int i = 0; i < kNumParams; ++i) {
        settings[i] = static_cast<float>(kParameterTable[i].defaultValue);
    }
    return settings;
}

// Sets every parameter as a host would and returns what the effect then holds,
// which is the normalised value mapped back and may differ from `wanted` by an ulp.
Settings applySettings(PluginInstance& effect, const Settings& wanted) {
    Settings held{};
    for (int i = 0; i < kNumParams; ++i) {
        const float normalised = toNormalised(kParameterTable[i], wanted[i]);
        effect.setParameter(i, normalised);
        held[i] = toStored(kParameterTable[i], normalised);
    }
    return held;
}

// Both paths as the sections' exact responses say, designed as the effect designs them.
ResponsePoint exactResponse(const Settings& s, float sampleRateHz, double frequencyHz) {
    const double fs = sampleRateHz;
    Biquad vlfHighPass;
    vlfHighPass.designHighPass(sampleRateHz, s[kVlfCutOff]);
    AllPass1 vlfAllPass;
    vlfAllPass.design(sampleRateHz, s[kVlfCutOff]);
    SpacingFilter spacingFilter;
    spacingFilter.design(sampleRateHz, s[kMicSpacing], s[kLfWidth]);
    BassShelf bassShelf;
    bassShelf.design(sampleRateHz, s[kMidBassCutFc], s[kMidBassCutGain], 1.0f);
    AllPass1 bassAllPass;
    bassAllPass.design(sampleRateHz, s[kMidBassCutFc]);

    const double k = 0.70710677f;
    std::complex<double> sum = 2.0 * k * k;
    std::complex<double> difference = sum;
    if (s[kEnableDifVlf] > 0.5f) {
        sum *= vlfHighPass.response(frequencyHz, fs);
        difference *= vlfAllPass.response(frequencyHz, fs);
    }
    difference *= spacingFilter.response(frequencyHz, fs);
    if (s[kEnableSumShelf] > 0.5f) {
        sum *= bassShelf.response(frequencyHz, fs);
        difference *= bassAllPass.response(frequencyHz, fs);
    }
    return {frequencyHz, sum, difference};
}

// How closely the measurement must follow the exact responses. The transform itself
// is exact to double precision and the tail it leaves out is below 1e-7, so what
// remains is the effect's own single-precision rounding, which the impulse response
// carries as noise.
struct Tolerance {
    double decibels;
    double degrees;
};
// Without the VLF high-pass the first-order sections' states stay near the signal's
// size, and rounding (6e-8 relative per operation) leaves some 2e-6 dB and 1e-5 degrees.
constexpr Tolerance kFirstOrderSections{1e-4, 1e-3};
// The high-pass runs in direct form II: for a 20 Hz corner its state peaks at about
// 1 / (e (1 - pole)), some 140 times the input at 48 kHz, and its numerator cancels
// most of that again, so the rounding shows at 1e-5 relative: up to 2.2e-3 dB and
// 0.013 degrees at 44.1 and 48 kHz (0.009 dB and 0.07 degrees at 96 kHz, so the case
// at that rate leaves it off). A wrong rate, a missing section or a sample of delay
// are off by far more.
constexpr Tolerance kWithHighPass{0.005, 0.025};

void expectAgrees(const ResponsePoint& measured, const ResponsePoint& exact, Tolerance tolerance) {
    for (const auto& [name, m, e] : {std::tuple{"sum", measured.sum, exact.sum},
                                     std::tuple{"difference", measured.difference, exact.difference}}) {
        const std::complex<double> ratio = m / e;
        EXPECT_NEAR(20.0 * std::log10(std::abs(ratio)), 0.0, tolerance.decibels) << name << " at " << exact.frequencyHz;
        EXPECT_NEAR(std::arg(ratio) * kDegreesPerRadian, 0.0, tolerance.degrees) << name << " at " << exact.frequencyHz;
    }
}

const std::vector<double> kCheckedFrequenciesHz = {10, 15, 20, 50, 96, 200, 1000, 10000, 20000};

Settings nonDefault(bool switchesOn) {
    Settings s = defaultSettings();
    s[kEnableDifVlf] = switchesOn ? 1.0f : 0.0f;
    s[kEnableSumShelf] = switchesOn ? 1.0f : 0.0f;
    s[kLfWidth] = 150.0f;
    s[kMicSpacing] = 30.0f;
    s[kVlfCutOff] = 35.0f;
    s[kMidBassCutGain] = 1.6f;
    s[kMidBassCutFc] = 150.0f;
    return s;
}
}  // namespace

TEST(ResponseMeasurement, AgreesWithTheSectionsExactResponses) {
    struct Case {
        const char* name;
        float sampleRateHz;
        bool setParameters;  // else the instance's own defaults
        Settings settings;
        Tolerance tolerance;
    };
    // A spacing corner near 0.3 Hz, whose response takes some 8 s to decay: cut at the
    // minimum two seconds, the difference path would be off by up to 8e-4 dB at 10 Hz.
    Settings lowestCorner = nonDefault(false);
    lowestCorner[kMicSpacing] = 51.0f;
    lowestCorner[kLfWidth] = 1.0f;
    const Case cases[] = {
        {"defaults, 44.1 kHz", 44100.0f, false, defaultSettings(), kWithHighPass},
        {"defaults, 48 kHz", 48000.0f, false, defaultSettings(), kWithHighPass},
        {"all changed, 44.1 kHz", 44100.0f, true, nonDefault(true), kWithHighPass},
        {"switches off, 48 kHz", 48000.0f, true, nonDefault(false), kFirstOrderSections},
        {"lowest spacing corner, 96 kHz", 96000.0f, true, lowestCorner, kFirstOrderSections},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Host host;
        PluginInstance effect(loadedPlugin(), host);
        const Settings held = c.setParameters ? applySettings(effect, c.settings) : c.settings;
        const std::vector<ResponsePoint> measured = measureResponse(effect, c.sampleRateHz, kCheckedFrequenciesHz);
        ASSERT_EQ(measured.size(), kCheckedFrequenciesHz.size());
        for (const ResponsePoint& point : measured) {
            expectAgrees(point, exactResponse(held, c.sampleRateHz, point.frequencyHz), c.tolerance);
        }
    }
}

TEST(ResponseMeasurementState, StartsFromSilenceAndKeepsTheParameters) {
    Host host;
    PluginInstance effect(loadedPlugin(), host);
    const Settings held = applySettings(effect, nonDefault(true));
    // Loud noise leaves the recursions far from rest, as a running instance would.
    effect.setMainsOn(true);
    processThroughRecord(effect, testSignal(4096));

    for (const ResponsePoint& point : measureResponse(effect, 44100.0f, {15.0, 96.0, 1000.0})) {
        expectAgrees(point, exactResponse(held, 44100.0f, point.frequencyHz), kWithHighPass);
    }
    for (int i = 0; i < kNumParams; ++i) {
        EXPECT_EQ(effect.getParameter(i), toNormalised(kParameterTable[i], held[i])) << "index " << i;
    }
    EXPECT_THROW(measureResponse(effect, 0.0f, {100.0}), std::invalid_argument);
    // A negative width would put the spacing filter's pole outside the unit circle;
    // the effect keeps its last good design, so the response is the one before.
    effect.setParameter(kLfWidth, -0.5f);
    for (const ResponsePoint& point : measureResponse(effect, 44100.0f, {15.0, 96.0, 1000.0})) {
        expectAgrees(point, exactResponse(held, 44100.0f, point.frequencyHz), kWithHighPass);
    }
}

TEST(ResponseFrequencies, LogSpacedWithBothEnds) {
    const std::vector<double> frequenciesHz = logFrequencies(10.0, 20000.0, 500);
    ASSERT_EQ(frequenciesHz.size(), 500u);
    EXPECT_EQ(frequenciesHz.front(), 10.0);
    EXPECT_EQ(frequenciesHz.back(), 20000.0);
    const double ratio = std::pow(2000.0, 1.0 / 499.0);
    for (std::size_t i = 1; i < frequenciesHz.size(); ++i) {
        EXPECT_NEAR(frequenciesHz[i] / frequenciesHz[i - 1], ratio, 1e-12) << i;
    }
    EXPECT_EQ(logFrequencies(20.0, 20000.0, 1), std::vector<double>{20.0});
    EXPECT_TRUE(logFrequencies(20.0, 20000.0, 0).empty());
    EXPECT_TRUE(logFrequencies(20.0, 20000.0, -3).empty());
    for (const auto& [from, to] : {std::pair{0.0, 100.0}, std::pair{-10.0, 100.0}, std::pair{100.0, 10.0},
                                   std::pair{10.0, kInfinity}, std::pair{kNotANumber, 100.0}}) {
        EXPECT_THROW(logFrequencies(from, to, 10), std::invalid_argument) << from << " to " << to;
    }
}

namespace {
class ResponseFiles : public ::testing::Test {
protected:
    void SetUp() override {
        directory =
            std::filesystem::temp_directory_path() / ("brevander-response-" + std::to_string(getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(directory);
        std::filesystem::create_directories(directory);
    }
    void TearDown() override { std::filesystem::remove_all(directory); }

    std::string path(const char* name) const { return (directory / name).string(); }

    static std::vector<std::vector<std::string>> readCsv(const std::string& path) {
        std::ifstream in(path);
        std::vector<std::vector<std::string>> rows;
        for (std::string line; std::getline(in, line);) {
            std::vector<std::string>& row = rows.emplace_back();
            std::istringstream fields(line);
            for (std::string field; std::getline(fields, field, ',');) {
                row.push_back(field);
            }
        }
        return rows;
    }

    std::filesystem::path directory;
};

std::complex<double> degreesPolar(double magnitude, double degrees) {
    return std::polar(magnitude, degrees / kDegreesPerRadian);
}

// Sets an environment variable for as long as it lives.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
        const char* previous = std::getenv(name);
        previous_ = previous != nullptr ? std::optional<std::string>(previous) : std::nullopt;
        setenv(name, value.c_str(), 1);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment() { previous_ ? setenv(name_, previous_->c_str(), 1) : unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> previous_;
};
}  // namespace

TEST_F(ResponseFiles, CsvColumnsFloorAndPhaseWrapping) {
    writeResponseCsv(path("r.csv"), {
                                        // arg(-1 - 0i) is -pi, written as 180.
                                        {100.0, {-1.0, -0.0}, {0.0, -0.5}},
                                        // 170 - (-170) = 340 degrees, written as -20.
                                        {1000.0, degreesPolar(1.0, 170.0), degreesPolar(2.0, -170.0)},
                                        // Within the last written digit of -180: 180, not -180.000000.
                                        {12345.678, 0.0, degreesPolar(1.0, -179.9999999)},
                                    });
    const auto rows = readCsv(path("r.csv"));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"frequency_hz", "sum_db", "sum_phase_deg", "difference_db",
                                                 "difference_phase_deg", "phase_difference_deg"}));
    const std::vector<std::vector<double>> expected = {
        {100.0, 0.0, 180.0, -6.0206, -90.0, -90.0},
        {1000.0, 0.0, 170.0, 6.0206, -170.0, -20.0},
        {12345.678, -200.0, 0.0, 0.0, 180.0, 0.0},
    };
    for (std::size_t r = 0; r < expected.size(); ++r) {
        ASSERT_EQ(rows[r + 1].size(), 6u);
        for (std::size_t c = 0; c < 6; ++c) {
            EXPECT_NEAR(std::stod(rows[r + 1][c]), expected[r][c], 1e-4) << "row " << r + 1 << " column " << c;
        }
    }

    EXPECT_THROW(writeResponseCsv(path("none.csv"), {{100.0, kNotANumber, 1.0}}), std::invalid_argument);
    const std::string unwritable = path("missing/r.csv");
    try {
        writeResponseCsv(unwritable, {});
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "cannot write " + unwritable);
    }
}

TEST_F(ResponseFiles, PlotIsAPngAndBadInputThrowsOneLine) {
    std::vector<ResponsePoint> points;
    for (const double f : logFrequencies(10.0, 20000.0, 200)) {
        const std::complex<double> highPass = std::complex<double>(0.0, f) / std::complex<double>(96.0, f);
        points.push_back({f, 1.0, highPass});
    }
    writeResponseCsv(path("r.csv"), points);
    plotResponse(path("r.csv"), path("r.png"), "test plot", "png");
    const std::string png = readBytes(path("r.png"));
    ASSERT_GT(png.size(), 1000u);
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    // Nothing left of the temporary file the picture was written through.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory), {}), 2);

    std::ofstream(path("bad.csv")) << "frequency,gain\n1,2\n";
    try {
        plotResponse(path("bad.csv"), path("bad.png"), "bad", "png");
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("not a response CSV"), std::string::npos) << message;
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    }
    EXPECT_FALSE(std::filesystem::exists(path("bad.png")));
}

TEST_F(ResponseFiles, ScriptGetsItsArgumentsVerbatimAndItsLastErrorLineIsReported) {
    std::ofstream(path("fake.py")) << "import os, sys\n"
                                      "open(sys.argv[2], 'w').write('\\n'.join(sys.argv[1:] + "
                                      "[os.environ.get('MPLBACKEND', '')]))\n"
                                      "sys.stderr.write('Traceback\\n  first line\\nlast words\\n\\n')\n"
                                      "sys.exit(3)\n";
    const ScopedEnvironment script("BREVANDER_PLOT_SCRIPT", path("fake.py"));
    const ScopedEnvironment backend("MPLBACKEND", "TkAgg");
    const std::string title = "width 150 % $(touch pwned) `id` 'single' \"double\" ; | & *";
    try {
        plotResponse(path("in.csv"), path("out.txt"), title, "svg");
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("exit status 3"), std::string::npos) << message;
        EXPECT_EQ(message.substr(message.size() - 12), ": last words") << message;
    }
    EXPECT_EQ(readBytes(path("out.txt")), path("in.csv") + "\n" + path("out.txt") + "\n" + title + "\nsvg\nAgg");
}

// The window and the page draw ShufflerCore::pathResponse; the tool's CSV must print the
// same figures to the last digit, here at the defaults, where the VLF high-pass makes a
// measurement through the file differ by up to 2e-3 dB.
TEST_F(ResponseFiles, TheToolPrintsTheCoresFiguresToTheDigit) {
    const ToolRun run = runTool({"response", "--out", path("r.svg"), "--csv", path("r.csv")});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::vector<std::string>> rows = readCsv(path("r.csv"));
    ASSERT_EQ(rows.size(), 401u);
    const ShufflerCore core;
    for (std::size_t row = 1; row < rows.size(); ++row) {
        const double f = std::stod(rows[row][0]);
        const ShufflerCore::PathResponse h = core.pathResponse(f);
        char expected[64];
        std::snprintf(expected, sizeof expected, "%.6f,%.6f", 20.0 * std::log10(std::abs(h.sum)),
                      20.0 * std::log10(std::abs(h.difference)));
        EXPECT_EQ(rows[row][1] + "," + rows[row][3], expected) << f;
    }
}

// The tool draws the core's own curves: with both switches off the difference is the
// bilinear s / (s + B) alone, |H| = W / sqrt(W^2 + B^2) with W = 2 fs tan(pi f / fs),
// leading by atan(B / W), and the sum is flat. With --plugin the file is measured
// instead, which agrees within the rounding of its samples.
TEST_F(ResponseFiles, TheToolDrawsTheCoresCurvesAndMeasuresAFileItIsGiven) {
    const std::vector<std::string> settings = {"--rate", "48000",
                                               "--set",  "Enable Dif VLF Filter=off",
                                               "--set",  "Enable Sum LF Shelf=off",
                                               "--set",  "Mic Spacing=30",
                                               "--set",  "LF Width=150"};
    std::vector<std::string> computed = {"response", "--out", path("c.svg"), "--csv", path("c.csv")};
    computed.insert(computed.end(), settings.begin(), settings.end());
    std::vector<std::string> measured = {"response",    "--out",    path("m.svg"),   "--csv",
                                         path("m.csv"), "--plugin", toolPluginPath()};
    measured.insert(measured.end(), settings.begin(), settings.end());
    for (const std::vector<std::string>& args : {computed, measured}) {
        const ToolRun run = runTool(args);
        ASSERT_EQ(run.status, 0) << run.err;
    }
    const std::vector<std::vector<std::string>> core = readCsv(path("c.csv"));
    const std::vector<std::vector<std::string>> file = readCsv(path("m.csv"));
    ASSERT_EQ(core.size(), 401u);
    ASSERT_EQ(file.size(), core.size());

    const double cornerRadPerS = 1.5 * 342.0 / (0.30 * std::numbers::pi);
    const double k = 0.70710677f;
    for (std::size_t row = 1; row < core.size(); ++row) {
        const double f = std::stod(core[row][0]);
        const double w = 2.0 * 48000.0 * std::tan(std::numbers::pi * f / 48000.0);
        const double differenceDb = 20.0 * std::log10(2.0 * k * k * w / std::hypot(w, cornerRadPerS));
        EXPECT_NEAR(std::stod(core[row][1]), 0.0, 1e-6) << f;
        EXPECT_NEAR(std::stod(core[row][3]), differenceDb, 1e-4) << f;
        EXPECT_NEAR(std::stod(core[row][4]), std::atan(cornerRadPerS / w) * kDegreesPerRadian, 1e-3) << f;
        EXPECT_NEAR(std::stod(file[row][3]), std::stod(core[row][3]), kFirstOrderSections.decibels) << f;
        EXPECT_NEAR(std::stod(file[row][4]), std::stod(core[row][4]), kFirstOrderSections.degrees) << f;
    }
}
