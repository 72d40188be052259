// The signal path's rounding noise, measured as a superposition error: a linear
// system gives render(a) + render(b) = render(a + b), so what is left of
// render(a) + render(b) - render(a + b) is the arithmetic's own error. Two
// independent white noises at -23 dBFS RMS in each channel, ten seconds, through
// the loaded plug-in file at each common rate, with the defaults and with the VLF
// filter off. Prints the error's RMS over both channels in dBFS.
//   build/bench/bench/brevander_superposition_error   (make precision)
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "PluginInstance.h"
#include "PluginLibrary.h"

namespace {

constexpr double kNoiseRmsDbfs = -23.0;
constexpr double kSeconds = 10.0;
constexpr int kBlockFrames = 512;
// Every input sample is a multiple of this, and every |sample| stays below 1/4, so
// the sum a + b is exact in single precision: the error measured is the effect's.
constexpr double kStep = 1.0 / 1048576.0;

struct Stereo {
    std::vector<float> left;
    std::vector<float> right;
};

// Uniform white noise of the given RMS: a uniform variable on [-A, A] has RMS A/sqrt(3).
Stereo whiteNoise(std::size_t frames, std::uint32_t seed) {
    const double amplitude = std::sqrt(3.0) * std::pow(10.0, kNoiseRmsDbfs / 20.0);
    const auto steps = static_cast<std::int64_t>(amplitude / kStep);
    std::uint64_t state = seed;
    const auto draw = [&state, steps] {
        state = state * 6364136223846793005u + 1442695040888963407u;
        const auto k = static_cast<std::int64_t>((state >> 33) % static_cast<std::uint64_t>(2 * steps + 1)) - steps;
        return static_cast<float>(static_cast<double>(k) * kStep);
    };
    Stereo s{std::vector<float>(frames), std::vector<float>(frames)};
    for (std::size_t i = 0; i < frames; ++i) {
        s.left[i] = draw();
        s.right[i] = draw();
    }
    return s;
}

Stereo render(const PluginLibrary& library, const Stereo& input, float rateHz, bool vlfOn) {
    Host host;
    PluginInstance effect(library, host);
    effect.setSampleRate(rateHz);
    effect.setBlockSize(kBlockFrames);
    effect.setMainsOn(true);
    effect.setParameter(0, vlfOn ? 1.0f : 0.0f);
    const std::size_t frames = input.left.size();
    Stereo in = input;
    Stereo out{std::vector<float>(frames), std::vector<float>(frames)};
    for (std::size_t at = 0; at < frames; at += kBlockFrames) {
        const auto n = static_cast<std::int32_t>(std::min<std::size_t>(kBlockFrames, frames - at));
        float* inputs[2] = {in.left.data() + at, in.right.data() + at};
        float* outputs[2] = {out.left.data() + at, out.right.data() + at};
        effect.processReplacing(inputs, outputs, n);
    }
    effect.setMainsOn(false);
    return out;
}

double superpositionErrorDbfs(const PluginLibrary& library, float rateHz, bool vlfOn) {
    const auto frames = static_cast<std::size_t>(kSeconds * rateHz);
    const Stereo a = whiteNoise(frames, 1u);
    const Stereo b = whiteNoise(frames, 2u);
    Stereo sum = a;
    for (std::size_t i = 0; i < frames; ++i) {
        sum.left[i] += b.left[i];
        sum.right[i] += b.right[i];
    }
    const Stereo ya = render(library, a, rateHz, vlfOn);
    const Stereo yb = render(library, b, rateHz, vlfOn);
    const Stereo ysum = render(library, sum, rateHz, vlfOn);
    double squares = 0.0;
    for (std::size_t i = 0; i < frames; ++i) {
        const double el = double{ya.left[i]} + double{yb.left[i]} - double{ysum.left[i]};
        const double er = double{ya.right[i]} + double{yb.right[i]} - double{ysum.right[i]};
        squares += el * el + er * er;
    }
    return 10.0 * std::log10(squares / static_cast<double>(2 * frames));
}

}  // namespace

int main() {
    const PluginLibrary library(defaultPluginPath());
    std::printf("Superposition error, white noise at %.0f dBFS RMS per input, %.0f s, dBFS RMS\n", kNoiseRmsDbfs,
                kSeconds);
    std::printf("%-10s %-10s %s\n", "rate", "defaults", "VLF filter off");
    for (const float rateHz : {44100.0f, 48000.0f, 96000.0f, 192000.0f}) {
        std::printf("%-10.0f %-10.1f %.1f\n", static_cast<double>(rateHz),
                    superpositionErrorDbfs(library, rateHz, true), superpositionErrorDbfs(library, rateHz, false));
    }
    return 0;
}
