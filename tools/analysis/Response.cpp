// The response computed from the core or measured by impulses through an instance,
// their transforms at the requested frequencies, the CSV, and the plotting script run
// as a child process.
#include "Response.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <numbers>
#include <optional>
#include <stdexcept>

#include "OutputFile.h"
#include "PluginInstance.h"
#include "ShufflerCore.h"
#include "StopSignals.h"
#include "TemporaryFiles.h"
#include "ToolError.h"
#include "ToolFiles.h"

extern char** environ;

namespace {
constexpr double kTwoPi = 2.0 * std::numbers::pi;

constexpr int kBlockFrames = 4096;
// Every response is at least the power of two at or above this long: by then the
// slowest poles of the defaults (the 20 Hz sections') have decayed by some e^-250.
constexpr double kMinimumSeconds = 2.0;
// Past the minimum, blocks are added until one lies wholly below this level (the
// impulse is 1). Corners from the parameter ranges' far ends (wide spacing, little
// width: about 0.3 Hz) need some 8 s. The silent output the states' guard leaves
// is near 1e-20, far below. Whatever is cut off adds at most about this level times
// the pole's time constant in samples to any bin: below 1e-7, or 1e-6 dB.
constexpr double kDecayedLevel = 1e-12;
// A response still ringing after this long comes from values outside the parameter
// ranges, such as a negative width, which makes the spacing filter unstable.
constexpr double kMaximumSeconds = 60.0;
// How often the phasor of the transform is recomputed exactly; in between it
// advances by one complex multiplication per sample, each adding an ulp or so of
// error, so it drifts by 1e-13 at most.
constexpr std::size_t kPhasorAnchorInterval = 1024;

constexpr double kDecibelFloor = -200.0;

std::size_t powerOfTwoAtOrAbove(std::size_t n) {
    std::size_t power = 1;
    while (power < n) {
        power *= 2;
    }
    return power;
}

// Switched on for as long as it lives: switching off clears the states, so every
// response measured inside one starts from silence, and the instance ends up off
// even when a measurement throws.
class SwitchedOn {
public:
    explicit SwitchedOn(PluginInstance& effect) : effect_(effect) { effect_.setMainsOn(true); }
    SwitchedOn(const SwitchedOn&) = delete;
    SwitchedOn& operator=(const SwitchedOn&) = delete;
    ~SwitchedOn() { effect_.setMainsOn(false); }

private:
    PluginInstance& effect_;
};

// The impulse left = 1, right = rightSign, then silence; returns (outL + rightSign outR) / 2,
// the output sum (or difference) over the input's.
std::vector<double> impulseResponse(PluginInstance& effect, float sampleRateHz, float rightSign) {
    const auto minimumFrames = powerOfTwoAtOrAbove(static_cast<std::size_t>(std::ceil(kMinimumSeconds * sampleRateHz)));
    const auto maximumFrames = static_cast<std::size_t>(kMaximumSeconds * sampleRateHz);
    std::vector<float> inLeft(kBlockFrames), inRight(kBlockFrames), outLeft(kBlockFrames), outRight(kBlockFrames);
    float* inputs[2] = {inLeft.data(), inRight.data()};
    float* outputs[2] = {outLeft.data(), outRight.data()};
    inLeft[0] = 1.0f;
    inRight[0] = rightSign;

    std::vector<double> response;
    response.reserve(minimumFrames);
    bool decayed = false;
    while (response.size() < minimumFrames || !decayed) {
        if (response.size() >= maximumFrames) {
            throw std::runtime_error("the impulse response does not decay: are the settings outside their ranges?");
        }
        effect.processReplacing(inputs, outputs, kBlockFrames);
        inLeft[0] = 0.0f;
        inRight[0] = 0.0f;
        double peak = 0.0;
        for (int i = 0; i < kBlockFrames; ++i) {
            const double value = (static_cast<double>(outLeft[i]) + rightSign * static_cast<double>(outRight[i])) / 2.0;
            if (!std::isfinite(value)) {
                throw std::runtime_error(
                    "the impulse response grows without bound: are the settings outside their ranges?");
            }
            peak = std::max(peak, std::abs(value));
            response.push_back(value);
        }
        decayed = peak < kDecayedLevel;
    }
    return response;
}

// H(f) = sum over n of h[n] e^(-2 pi i f n / fs) for both responses (of equal
// length), in double, at up to kLanes frequencies at once: the lanes' phasor
// recurrences are independent, so they overlap in the pipeline instead of each
// waiting on its own previous step.
constexpr std::size_t kLanes = 4;
void transformLanes(const std::vector<double>& sum, const std::vector<double>& difference, double sampleRateHz,
                    ResponsePoint* points, std::size_t lanes) {
    double cyclesPerSample[kLanes] = {};
    double stepRe[kLanes], stepIm[kLanes], re[kLanes], im[kLanes];
    double sumRe[kLanes] = {}, sumIm[kLanes] = {}, differenceRe[kLanes] = {}, differenceIm[kLanes] = {};
    for (std::size_t lane = 0; lane < lanes; ++lane) {
        cyclesPerSample[lane] = points[lane].frequencyHz / sampleRateHz;
    }
    for (std::size_t lane = 0; lane < kLanes; ++lane) {
        stepRe[lane] = std::cos(kTwoPi * cyclesPerSample[lane]);
        stepIm[lane] = -std::sin(kTwoPi * cyclesPerSample[lane]);
    }
    for (std::size_t start = 0; start < sum.size(); start += kPhasorAnchorInterval) {
        for (std::size_t lane = 0; lane < kLanes; ++lane) {
            // The fraction of a cycle keeps the angle small, and so exact to double precision, at any length.
            const double angle = -kTwoPi * std::fmod(cyclesPerSample[lane] * static_cast<double>(start), 1.0);
            re[lane] = std::cos(angle);
            im[lane] = std::sin(angle);
        }
        const std::size_t end = std::min(sum.size(), start + kPhasorAnchorInterval);
        for (std::size_t n = start; n < end; ++n) {
            const double s = sum[n];
            const double d = difference[n];
            for (std::size_t lane = 0; lane < kLanes; ++lane) {
                sumRe[lane] += s * re[lane];
                sumIm[lane] += s * im[lane];
                differenceRe[lane] += d * re[lane];
                differenceIm[lane] += d * im[lane];
                const double nextRe = re[lane] * stepRe[lane] - im[lane] * stepIm[lane];
                im[lane] = re[lane] * stepIm[lane] + im[lane] * stepRe[lane];
                re[lane] = nextRe;
            }
        }
    }
    for (std::size_t lane = 0; lane < lanes; ++lane) {
        points[lane].sum = {sumRe[lane], sumIm[lane]};
        points[lane].difference = {differenceRe[lane], differenceIm[lane]};
    }
}

double decibels(std::complex<double> gain) {
    const double magnitude = std::abs(gain);
    return magnitude > 0.0 ? std::max(20.0 * std::log10(magnitude), kDecibelFloor) : kDecibelFloor;
}

// The angle in degrees as the CSV holds it, in (-180, 180]. It is rounded to the six
// decimals written before it is wrapped, or an angle a hair above -180 would be
// written as -180.000000. An exact zero, whatever the signs of its parts, has no
// phase and is written as 0.
double writtenDegrees(std::complex<double> z) {
    if (z == 0.0) {
        return 0.0;
    }
    double degrees = std::round(std::arg(z) * (180.0 / std::numbers::pi) * 1e6) / 1e6;
    if (degrees <= -180.0) {
        degrees += 360.0;
    } else if (degrees > 180.0) {
        degrees -= 360.0;
    }
    return degrees + 0.0;  // -0 + 0 is +0: no "-0.000000"
}

bool isFinite(std::complex<double> z) { return std::isfinite(z.real()) && std::isfinite(z.imag()); }

struct ChildOutcome {
    int status;             // as waitpid reports it
    std::string lastError;  // the last non-blank line the child wrote to stderr
};

// Runs arguments[0] with the arguments as they are (no shell between), the
// environment plus `setting` (NAME=value, replacing any NAME already set), stdout
// discarded and stderr captured.
ChildOutcome runCapturingStderr(std::vector<std::string> arguments, const std::string& setting) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    const std::string settingName = setting.substr(0, setting.find('=') + 1);
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, settingName.c_str(), settingName.size()) != 0) {
            environment.emplace_back(*entry);
        }
    }
    environment.push_back(setting);
    std::vector<char*> envp;
    for (std::string& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);

    // Close-on-exec, so that no other child this process starts holds the pipe open.
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        throw std::runtime_error(std::string("cannot make a pipe: ") + std::strerror(errno));
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    resetStopSignalsInChild(attributes);
    pid_t pid = 0;
    const int spawnError = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (spawnError == 0) {
        registerChildProcess(pid);
    }
    close(pipeEnds[1]);
    if (spawnError != 0) {
        close(pipeEnds[0]);
        throw std::runtime_error("cannot run " + arguments[0] + ": " + std::strerror(spawnError));
    }

    // Only the end matters; a long traceback is cut from the front.
    constexpr std::size_t kKeptBytes = 1 << 16;
    std::string errors;
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(pipeEnds[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        errors.append(buffer, static_cast<std::size_t>(got));
        if (errors.size() > 2 * kKeptBytes) {
            errors.erase(0, errors.size() - kKeptBytes);
        }
    }
    close(pipeEnds[0]);
    // Forgotten while still a zombie, so a forced exit can never signal a reused pid.
    siginfo_t exited{};
    while (waitid(P_PID, static_cast<id_t>(pid), &exited, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
    }
    forgetChildProcess(pid);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }

    const auto blank = [](char c) { return c == '\n' || c == '\r' || c == ' ' || c == '\t'; };
    while (!errors.empty() && blank(errors.back())) {
        errors.pop_back();
    }
    const std::size_t lineStart = errors.find_last_of("\r\n");
    return {status, lineStart == std::string::npos ? errors : errors.substr(lineStart + 1)};
}
std::string responseCsv(const std::vector<ResponsePoint>& points) {
    for (const ResponsePoint& point : points) {
        if (!(std::isfinite(point.frequencyHz) && isFinite(point.sum) && isFinite(point.difference))) {
            throw std::invalid_argument("the response is not finite at " + std::to_string(point.frequencyHz) + " Hz");
        }
    }
    std::string text = "frequency_hz,sum_db,sum_phase_deg,difference_db,difference_phase_deg,phase_difference_deg\n";
    for (const ResponsePoint& point : points) {
        // arg(sum conj(difference)) is arg(sum / difference) without the division by a zero difference.
        char row[256];
        std::snprintf(row, sizeof row, "%.10g,%.6f,%.6f,%.6f,%.6f,%.6f\n", point.frequencyHz, decibels(point.sum),
                      writtenDegrees(point.sum), decibels(point.difference), writtenDegrees(point.difference),
                      writtenDegrees(point.sum * std::conj(point.difference)));
        text += row;
    }
    return text;
}
}  // namespace

std::vector<double> logFrequencies(double fromHz, double toHz, int count) {
    if (!(std::isfinite(fromHz) && std::isfinite(toHz) && fromHz > 0.0 && toHz >= fromHz)) {
        throw std::invalid_argument("frequency range must satisfy 0 < from <= to");
    }
    std::vector<double> frequenciesHz;
    if (count < 1) {
        return frequenciesHz;
    }
    frequenciesHz.push_back(fromHz);
    const double logRatio = std::log(toHz / fromHz);
    for (int i = 1; i < count; ++i) {
        // The top end exactly, not as the exponential rounds it.
        frequenciesHz.push_back(i == count - 1 ? toHz : fromHz * std::exp(logRatio * i / (count - 1)));
    }
    return frequenciesHz;
}

std::vector<ResponsePoint> measureResponse(PluginInstance& effect, float sampleRateHz,
                                           const std::vector<double>& frequenciesHz) {
    // The effect keeps its previous rate when told an unusable one: the figures would belong to another rate.
    if (!(std::isfinite(sampleRateHz) && sampleRateHz > 0.0f)) {
        throw std::invalid_argument("sample rate must be positive");
    }
    if (!std::all_of(frequenciesHz.begin(), frequenciesHz.end(), [](double f) { return std::isfinite(f); })) {
        throw std::invalid_argument("frequencies must be finite");
    }

    // Off first: a running instance's states would add its past input to the first response.
    effect.setMainsOn(false);
    effect.setSampleRate(sampleRateHz);
    effect.setBlockSize(kBlockFrames);
    std::vector<double> sumResponse;
    std::vector<double> differenceResponse;
    {
        const SwitchedOn on(effect);
        sumResponse = impulseResponse(effect, sampleRateHz, 1.0f);
    }
    {
        const SwitchedOn on(effect);
        differenceResponse = impulseResponse(effect, sampleRateHz, -1.0f);
    }

    const std::size_t frames = std::max(sumResponse.size(), differenceResponse.size());
    sumResponse.resize(frames);
    differenceResponse.resize(frames);
    std::vector<ResponsePoint> points;
    for (const double frequencyHz : frequenciesHz) {
        points.push_back({frequencyHz, {}, {}});
    }
    for (std::size_t first = 0; first < points.size(); first += kLanes) {
        transformLanes(sumResponse, differenceResponse, static_cast<double>(sampleRateHz), points.data() + first,
                       std::min(kLanes, points.size() - first));
    }
    return points;
}

void writeResponseCsv(const std::string& path, const std::vector<ResponsePoint>& points) {
    const std::string text = responseCsv(points);
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) {
        throw std::runtime_error("cannot write " + path);
    }
    const bool failed = std::fwrite(text.data(), 1, text.size(), file) != text.size();
    if (std::fclose(file) != 0 || failed) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string imageFormatFor(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return extension == ".png" || extension == ".svg" || extension == ".pdf" ? extension.substr(1) : std::string();
}

void plotResponse(const std::string& csvPath, const std::string& imagePath, const std::string& title,
                  const std::string& imageFormat) {
    const std::string script = plotScriptPath();
    const ChildOutcome outcome =
        runCapturingStderr({BREVANDER_PYTHON, script, csvPath, imagePath, title, imageFormat}, "MPLBACKEND=Agg");
    if (WIFEXITED(outcome.status) && WEXITSTATUS(outcome.status) == 0) {
        return;
    }
    const std::string how =
        WIFEXITED(outcome.status)
            ? "exit status " + std::to_string(WEXITSTATUS(outcome.status))
            : "signal " + std::to_string(WIFSIGNALED(outcome.status) ? WTERMSIG(outcome.status) : 0);
    throw std::runtime_error("plotting with " + script + " failed (" + how + ")" +
                             (outcome.lastError.empty() ? "" : ": " + outcome.lastError));
}

void checkPlotOutputs(const std::string& imagePath, const std::string& csvPath, bool overwrite) {
    std::string imageTarget;
    if (!imagePath.empty()) {
        if (imageFormatFor(imagePath).empty()) {
            throw std::invalid_argument("cannot draw " + imagePath + ": name it .png, .svg or .pdf");
        }
        imageTarget = checkOutputTarget(imagePath, overwrite).targetPath;
    }
    if (!csvPath.empty() && checkOutputTarget(csvPath, overwrite).targetPath == imageTarget) {
        throw ToolError("--csv and --out name the same file " + imagePath, 2);
    }
}

void writeCsvAndPlot(const std::string& csv, const std::string& csvPath, const std::string& imagePath,
                     const std::string& title, bool overwrite) {
    if (imagePath.empty()) {
        if (!csvPath.empty()) {
            OutputFile csvFile(csvPath, overwrite);
            writeAll(csvFile.descriptor(), csv.data(), csv.size(), csvPath);
            csvFile.commit();
        }
        return;
    }
    const std::string format = imageFormatFor(imagePath);
    // The plotter reads the data from a hidden file of ours, never from a name the
    // user may own, and draws into another beside the image's target.
    OutputFile imageFile(imagePath, overwrite);
    std::optional<OutputFile> keptCsv;
    std::optional<TemporaryFile> scratchCsv;
    if (csvPath.empty()) {
        scratchCsv.emplace(std::filesystem::path(imageFile.temporaryPath()).parent_path().string(), imagePath);
    } else {
        keptCsv.emplace(csvPath, overwrite);
    }
    const int csvDescriptor = keptCsv ? keptCsv->descriptor() : scratchCsv->descriptor();
    const std::string& csvName = keptCsv ? keptCsv->temporaryPath() : scratchCsv->path();
    writeAll(csvDescriptor, csv.data(), csv.size(), keptCsv ? csvPath : imagePath);
    // A stop asked for while measuring or drawing: nothing is put in place.
    const auto stopIfSignalled = [] {
        if (stopSignalReceived()) {
            claimExit();
            throw ToolError(kInterruptedMessage, 130);
        }
    };
    try {
        plotResponse(csvName, imageFile.temporaryPath(), title, format);
    } catch (const std::exception&) {
        // Ctrl-C reaches the plotter too, which then fails before we hear of the signal.
        stopIfSignalled();
        throw;
    }
    stopIfSignalled();
    imageFile.reopenTemporary();
    if (keptCsv) {
        keptCsv->commit();
    }
    imageFile.commit();
}

namespace {
// Refuses a bad image name and both outputs before the response, which may take a
// while to measure, and commits them only once the plot is drawn.
template <typename Respond>
void writePlotOf(Respond respond, const std::string& imagePath, const std::string& csvPath, const std::string& title,
                 bool overwrite) {
    if (imageFormatFor(imagePath).empty()) {
        throw std::invalid_argument("cannot draw " + imagePath + ": name it .png, .svg or .pdf");
    }
    checkPlotOutputs(imagePath, csvPath, overwrite);
    writeCsvAndPlot(responseCsv(respond(plotFrequencies())), csvPath, imagePath, title, overwrite);
}
}  // namespace

std::vector<double> plotFrequencies() { return logFrequencies(10.0, 20000.0, 400); }

std::vector<ResponsePoint> computeResponse(const ShufflerCore& core, const std::vector<double>& frequenciesHz) {
    std::vector<ResponsePoint> points;
    points.reserve(frequenciesHz.size());
    for (const double frequencyHz : frequenciesHz) {
        if (!std::isfinite(frequencyHz)) {
            throw std::invalid_argument("frequencies must be finite");
        }
        const ShufflerCore::PathResponse h = core.pathResponse(frequencyHz);
        points.push_back({frequencyHz, h.sum, h.difference});
    }
    return points;
}

void writeResponsePlot(PluginInstance& effect, float sampleRateHz, const std::string& imagePath,
                       const std::string& csvPath, const std::string& title, bool overwrite) {
    writePlotOf(
        [&](const std::vector<double>& frequenciesHz) { return measureResponse(effect, sampleRateHz, frequenciesHz); },
        imagePath, csvPath, title, overwrite);
}

void writeResponsePlot(const ShufflerCore& core, const std::string& imagePath, const std::string& csvPath,
                       const std::string& title, bool overwrite) {
    writePlotOf([&](const std::vector<double>& frequenciesHz) { return computeResponse(core, frequenciesHz); },
                imagePath, csvPath, title, overwrite);
}
