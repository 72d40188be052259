// ns per frame of the LV2 plug-in's run with no window and with a window asking for
// the audio: what monitoring costs is the copying of each block's input and output
// into the notify port, which this measures beside the run without it.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "Lv2TestHost.h"

namespace {

constexpr std::size_t kFrames = 1 << 16;  // the input, processed round and round

void lv2Run(benchmark::State& state) {
    const auto block = static_cast<std::size_t>(state.range(0));
    const bool monitoring = state.range(1) != 0;
    std::vector<float> left(kFrames), right(kFrames), outLeft(kFrames), outRight(kFrames);
    std::uint32_t seed = 1u;
    for (std::size_t i = 0; i < kFrames; ++i) {
        seed = seed * 1664525u + 1013904223u;
        left[i] = static_cast<float>(static_cast<double>(seed >> 8) / 8388608.0 - 1.0);
        right[i] = -0.5f * left[i];
    }
    Lv2TestHost host;
    if (monitoring) {
        // The window's request goes with the first run only, as a host delivers it.
        host.connectWindowPorts();
        host.sendMonitor(true);
        host.prepareNotify();
        host.connectAudio(left.data(), right.data(), outLeft.data(), outRight.data());
        host.descriptor.run(host.handle, static_cast<std::uint32_t>(block));
        host.clearMessages();
    }
    std::size_t at = 0;
    for (auto _ : state) {
        if (monitoring) {
            host.prepareNotify();
        }
        host.connectAudio(left.data() + at, right.data() + at, outLeft.data() + at, outRight.data() + at);
        host.descriptor.run(host.handle, static_cast<std::uint32_t>(block));
        benchmark::ClobberMemory();
        at = (at + block) % kFrames;
    }
    state.counters["per_frame"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * static_cast<double>(block),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace

BENCHMARK(lv2Run)->ArgNames({"block", "monitoring"})->ArgsProduct({{32, 256, 4096}, {0, 1}});

BENCHMARK_MAIN();
