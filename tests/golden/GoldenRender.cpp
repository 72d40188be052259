#include "GoldenRender.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <utility>

#include "PluginInstance.h"

namespace golden {
namespace {

// Normalised values a generic host would send, by parameter index; unset indices
// keep their defaults.
struct Setting {
    const char* name;
    std::optional<float> values[7];
};

const std::array<Setting, 7> kSettings = {{
    {"defaults", {}},
    {"both switches off", {0.0f, {}, {}, {}, 0.0f, {}, {}}},
    {"difference filter only", {{}, {}, {}, {}, 0.0f, {}, {}}},
    {"sum shelf only", {0.0f, {}, {}, {}, {}, {}, {}}},
    {"widest, closest, highest corner", {{}, 1.0f, 1.0f, 0.0f, {}, {}, {}}},
    {"mono bass, widest spacing, deepest cut", {{}, {}, 0.0f, 1.0f, {}, 0.0f, 1.0f}},
    {"odd values", {0.75f, 0.3137f, 0.777f, 0.123f, 0.51f, 0.6931f, 0.0917f}},
}};

const std::array<float, 2> kRatesHz = {44100.0f, 96000.0f};

// Block sizes cycle through these, so block boundaries fall in different places.
const std::array<std::size_t, 5> kBlockFrames = {1, 17, 256, 512, 3};
constexpr VstInt32 kMaxBlockFrames = 512;

// Noise from a linear congruential generator: 24-bit integers scaled by a power
// of two, so every platform produces the same floats.
class Noise {
public:
    float next() {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<float>(static_cast<double>(state_ >> 8) / 16777216.0 - 0.5);
    }

private:
    std::uint32_t state_ = 2024u;
};

// Five segments of 512 frames: impulses in each channel, independent noise,
// near-mono noise, a loud differential signal past full scale, then silence for
// the tails to decay.
std::pair<std::vector<float>, std::vector<float>> input() {
    std::vector<float> left(kFramesPerCase, 0.0f);
    std::vector<float> right(kFramesPerCase, 0.0f);
    Noise noise;
    left[0] = 1.0f;
    right[256] = -1.0f;
    for (std::size_t i = 512; i < 1024; ++i) {
        left[i] = noise.next();
        right[i] = noise.next();
    }
    for (std::size_t i = 1024; i < 1536; ++i) {
        const float common = noise.next();
        left[i] = common;
        right[i] = 0.75f * common + 0.125f * noise.next();
    }
    for (std::size_t i = 1536; i < 2048; ++i) {
        const float x = 4.0f * noise.next();
        left[i] = x;
        right[i] = -x;
    }
    return {left, right};
}

void appendSamples(std::vector<std::uint8_t>& out, const std::vector<float>& left, const std::vector<float>& right) {
    for (std::size_t i = 0; i < left.size(); ++i) {
        for (const float sample : {left[i], right[i]}) {
            std::uint32_t bits;
            std::memcpy(&bits, &sample, sizeof bits);
            for (int byte = 0; byte < 4; ++byte) {
                out.push_back(static_cast<std::uint8_t>(bits >> (8 * byte)));
            }
        }
    }
}

}  // namespace

std::size_t caseCount() { return kSettings.size() * kRatesHz.size(); }

std::string caseName(std::size_t index) {
    const std::size_t rate = index / kSettings.size();
    const std::size_t setting = index % kSettings.size();
    return std::string(kSettings.at(setting).name) + " at " + std::to_string(static_cast<int>(kRatesHz.at(rate))) +
           " Hz";
}

std::vector<std::uint8_t> render(const PluginLibrary& library) {
    auto [left, right] = input();
    std::vector<std::uint8_t> out;
    out.reserve(caseCount() * kFramesPerCase * 8);
    for (const float rateHz : kRatesHz) {
        for (const Setting& setting : kSettings) {
            Host host;
            PluginInstance effect(library, host);
            effect.setSampleRate(rateHz);
            effect.setBlockSize(kMaxBlockFrames);
            for (VstInt32 index = 0; index < 7; ++index) {
                if (const auto& value = setting.values[index]) {
                    effect.setParameter(index, *value);
                }
            }
            effect.setMainsOn(true);

            std::vector<float> outLeft(kFramesPerCase);
            std::vector<float> outRight(kFramesPerCase);
            std::size_t done = 0;
            for (std::size_t block = 0; done < kFramesPerCase; ++block) {
                const std::size_t frames = std::min(kBlockFrames[block % kBlockFrames.size()], kFramesPerCase - done);
                float* inputs[2] = {left.data() + done, right.data() + done};
                float* outputs[2] = {outLeft.data() + done, outRight.data() + done};
                effect.processReplacing(inputs, outputs, static_cast<VstInt32>(frames));
                done += frames;
            }
            effect.setMainsOn(false);
            appendSamples(out, outLeft, outRight);
        }
    }
    return out;
}

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return {};
    }
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file.flush());
}

}  // namespace golden
