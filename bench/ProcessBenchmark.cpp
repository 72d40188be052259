// ns per frame of processReplacing through the plug-in file's record, at three block
// sizes and three switch settings, and the bound no implementation of the specified
// arithmetic can beat: the vlfHighPass recurrence alone, on the same input.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "Biquad.h"
#include "PluginInstance.h"
#include "PluginLibrary.h"

namespace {

constexpr std::size_t kFrames = 1 << 16;  // the input, processed round and round

const std::vector<float>& noise() {
    static const std::vector<float> samples = [] {
        std::vector<float> s(2 * kFrames);
        std::uint32_t state = 1u;
        for (float& x : s) {
            state = state * 1664525u + 1013904223u;
            x = static_cast<float>(static_cast<double>(state >> 8) / 8388608.0 - 1.0);
        }
        return s;
    }();
    return samples;
}

const PluginLibrary& library() {
    static const PluginLibrary lib(defaultPluginPath());
    return lib;
}

void setNsPerFrame(benchmark::State& state, std::size_t framesPerIteration) {
    // Frames per second, inverted: seconds per frame, printed as ns.
    state.counters["per_frame"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * static_cast<double>(framesPerIteration),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

enum Switches { kDefaults = 0, kBothOff = 1, kVlfOnly = 2, kShelfOnly = 3 };

void processThroughRecord(benchmark::State& state) {
    const auto block = static_cast<std::size_t>(state.range(0));
    const auto switches = static_cast<Switches>(state.range(1));
    Host host;
    PluginInstance effect(library(), host);
    effect.setSampleRate(44100.0f);
    effect.setBlockSize(static_cast<VstInt32>(block));
    effect.setMainsOn(true);
    if (switches == kBothOff || switches == kShelfOnly) {
        effect.setParameter(0, 0.0f);
    }
    if (switches == kBothOff || switches == kVlfOnly) {
        effect.setParameter(4, 0.0f);
    }
    std::vector<float> left(kFrames), right(kFrames), outLeft(kFrames), outRight(kFrames);
    for (std::size_t i = 0; i < kFrames; ++i) {
        left[i] = noise()[2 * i];
        right[i] = noise()[2 * i + 1];
    }
    std::size_t at = 0;
    for (auto _ : state) {
        float* inputs[2] = {left.data() + at, right.data() + at};
        float* outputs[2] = {outLeft.data() + at, outRight.data() + at};
        effect.processReplacing(inputs, outputs, static_cast<VstInt32>(block));
        benchmark::ClobberMemory();
        at = (at + block) % kFrames;
    }
    setNsPerFrame(state, block);
}

// The bound: the second-order recurrence on the sum, nothing else, in the same
// arithmetic as the effect's section.
void vlfHighPassAlone(benchmark::State& state) {
    const auto block = static_cast<std::size_t>(state.range(0));
    Biquad section;
    section.designHighPass(44100.0f, 20.0f);
    std::vector<float> sum(kFrames), out(kFrames);
    for (std::size_t i = 0; i < kFrames; ++i) {
        sum[i] = static_cast<float>((static_cast<double>(noise()[2 * i]) + noise()[2 * i + 1]) * 0.70710677f);
    }
    std::size_t at = 0;
    for (auto _ : state) {
        Biquad local = section;
        for (std::size_t i = 0; i < block; ++i) {
            out[at + i] = local.processSample(sum[at + i]);
        }
        section.state = local.state;
        benchmark::ClobberMemory();
        at = (at + block) % kFrames;
    }
    setNsPerFrame(state, block);
}

}  // namespace

BENCHMARK(vlfHighPassAlone)->ArgName("block")->Arg(32)->Arg(256)->Arg(4096);
BENCHMARK(processThroughRecord)
    ->ArgNames({"block", "switches"})
    ->ArgsProduct({{32, 256, 4096}, {kDefaults, kBothOff, kVlfOnly, kShelfOnly}});

BENCHMARK_MAIN();
