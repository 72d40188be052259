#include "GoldenRender.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>

#include "PluginInstance.h"

namespace golden {
namespace {

// Normalised values a generic host would send, by parameter index; unset indices
// keep their defaults.
using Values = std::array<std::optional<float>, 7>;

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

const std::array<float, 5> kRandomRatesHz = {44100.0f, 48000.0f, 88200.0f, 96000.0f, 192000.0f};
const std::array<const char*, 7> kShortNames = {"dif-vlf",   "vlf-cut",  "width", "spacing",
                                                "sum-shelf", "cut-gain", "cut-fc"};

// Block sizes cycle through these, so block boundaries fall in different places.
const std::array<std::size_t, 5> kBlockFrames = {1, 17, 256, 512, 3};
constexpr VstInt32 kMaxBlockFrames = 512;

// A linear congruential generator whose draws are integers scaled by powers of two,
// so every platform produces the same floats.
class Generator {
public:
    explicit Generator(std::uint32_t seed) : state_(seed) {}

    std::uint32_t next() {
        state_ = state_ * 1664525u + 1013904223u;
        return state_;
    }
    // Uniform in [-0.5, 0.5), in steps of 2^-24.
    float noise() { return static_cast<float>(static_cast<double>(next() >> 8) / 16777216.0 - 0.5); }
    // The top bits, since the low bits of this generator repeat quickly.
    std::uint32_t below(std::uint32_t count) { return (next() >> 16) % count; }

    // A normalised value in [0, 1] in steps of 2^-24, exactly 0 or 1 one time in
    // eight each: the ends of the ranges are where designs degenerate.
    float normalised() {
        switch (below(16)) {
            case 0:
            case 1:
                return 0.0f;
            case 2:
            case 3:
                return 1.0f;
            default:
                return static_cast<float>(static_cast<double>(next() >> 8) / 16777216.0);
        }
    }

private:
    std::uint32_t state_;
};

struct Case {
    std::string name;
    float rateHz;
    Values values;
    bool random;
};

std::string randomCaseName(std::size_t number, const Values& values, float rateHz) {
    std::string name = "random " + std::to_string(number) + ":";
    for (std::size_t i = 0; i < values.size(); ++i) {
        char text[32];
        std::snprintf(text, sizeof text, " %s %.9g", kShortNames[i], static_cast<double>(*values[i]));
        name += text;
    }
    return name + " at " + std::to_string(static_cast<int>(rateHz)) + " Hz";
}

std::vector<Case> makeCases() {
    std::vector<Case> cases;
    for (const float rateHz : kRatesHz) {
        for (const Setting& setting : kSettings) {
            Values values;
            std::copy(std::begin(setting.values), std::end(setting.values), values.begin());
            cases.push_back({std::string(setting.name) + " at " + std::to_string(static_cast<int>(rateHz)) + " Hz",
                             rateHz, values, false});
        }
    }
    Generator generator(1307u);
    for (std::size_t number = 0; number < kRandomCases; ++number) {
        Values values;
        for (auto& value : values) {
            value = generator.normalised();
        }
        const float rateHz = kRandomRatesHz[generator.below(kRandomRatesHz.size())];
        cases.push_back({randomCaseName(number, values, rateHz), rateHz, values, true});
    }
    return cases;
}

const std::vector<Case>& cases() {
    static const std::vector<Case> all = makeCases();
    return all;
}

using Stereo = std::pair<std::vector<float>, std::vector<float>>;

// Five segments of 512 frames: impulses in each channel, independent noise,
// near-mono noise, a loud differential signal past full scale, then silence for
// the tails to decay.
Stereo fixedInput() {
    std::vector<float> left(kFramesPerFixedCase, 0.0f);
    std::vector<float> right(kFramesPerFixedCase, 0.0f);
    Generator noise(2024u);
    left[0] = 1.0f;
    right[256] = -1.0f;
    for (std::size_t i = 512; i < 1024; ++i) {
        left[i] = noise.noise();
        right[i] = noise.noise();
    }
    for (std::size_t i = 1024; i < 1536; ++i) {
        const float common = noise.noise();
        left[i] = common;
        right[i] = 0.75f * common + 0.125f * noise.noise();
    }
    for (std::size_t i = 1536; i < 2048; ++i) {
        const float x = 4.0f * noise.noise();
        left[i] = x;
        right[i] = -x;
    }
    return {left, right};
}

// An impulse in each channel, apart so that their responses start separately,
// then independent noise. A coefficient one ulp off shows within these few frames
// nearly always (in planted faults, in the first two frames for most cases), so
// the bytes go into more settings rather than longer ones.
Stereo randomCaseInput() {
    std::vector<float> left(kFramesPerRandomCase, 0.0f);
    std::vector<float> right(kFramesPerRandomCase, 0.0f);
    Generator noise(4242u);
    left[0] = 1.0f;
    right[2] = -1.0f;
    for (std::size_t i = 4; i < kFramesPerRandomCase; ++i) {
        left[i] = noise.noise();
        right[i] = noise.noise();
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

void renderCase(const PluginLibrary& library, const Case& c, Stereo& input, std::vector<std::uint8_t>& out) {
    auto& [left, right] = input;
    const std::size_t frameCount = left.size();
    Host host;
    PluginInstance effect(library, host);
    effect.setSampleRate(c.rateHz);
    effect.setBlockSize(kMaxBlockFrames);
    for (VstInt32 index = 0; index < 7; ++index) {
        if (const auto& value = c.values[static_cast<std::size_t>(index)]) {
            effect.setParameter(index, *value);
        }
    }
    effect.setMainsOn(true);

    std::vector<float> outLeft(frameCount);
    std::vector<float> outRight(frameCount);
    std::size_t done = 0;
    for (std::size_t block = 0; done < frameCount; ++block) {
        const std::size_t frames = std::min(kBlockFrames[block % kBlockFrames.size()], frameCount - done);
        float* inputs[2] = {left.data() + done, right.data() + done};
        float* outputs[2] = {outLeft.data() + done, outRight.data() + done};
        effect.processReplacing(inputs, outputs, static_cast<VstInt32>(frames));
        done += frames;
    }
    effect.setMainsOn(false);
    appendSamples(out, outLeft, outRight);
}

}  // namespace

std::size_t caseCount() { return cases().size(); }

std::size_t caseFrames(std::size_t index) {
    return cases().at(index).random ? kFramesPerRandomCase : kFramesPerFixedCase;
}

std::string caseName(std::size_t index) { return cases().at(index).name; }

std::vector<std::uint8_t> render(const PluginLibrary& library) {
    Stereo fixed = fixedInput();
    Stereo random = randomCaseInput();
    std::vector<std::uint8_t> out;
    std::size_t frames = 0;
    for (std::size_t c = 0; c < caseCount(); ++c) {
        frames += caseFrames(c);
    }
    out.reserve(frames * 8);
    for (const Case& c : cases()) {
        renderCase(library, c, c.random ? random : fixed, out);
    }
    return out;
}

namespace {
std::string jsonNumber(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    return text;
}

std::string jsonString(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "\"";
}

std::string jsonSamples(const Stereo& input) {
    std::string json = "{";
    for (const auto* channel : {&input.first, &input.second}) {
        json += channel == &input.first ? "\"left\": [" : ", \"right\": [";
        for (std::size_t i = 0; i < channel->size(); ++i) {
            if (i > 0) {
                json += ',';
            }
            json += jsonNumber((*channel)[i]);
        }
        json += "]";
    }
    return json + "}";
}
}  // namespace

std::string casesJson() {
    std::string json = "{\"blockFrames\": [";
    for (std::size_t i = 0; i < kBlockFrames.size(); ++i) {
        if (i > 0) {
            json += ", ";
        }
        json += std::to_string(kBlockFrames[i]);
    }
    json += "],\n\"fixedInput\": " + jsonSamples(fixedInput());
    json += ",\n\"randomInput\": " + jsonSamples(randomCaseInput());
    json += ",\n\"cases\": [";
    for (std::size_t c = 0; c < cases().size(); ++c) {
        const Case& setting = cases()[c];
        json += std::string(c == 0 ? "\n" : ",\n") + "{\"name\": " + jsonString(setting.name) +
                ", \"rateHz\": " + jsonNumber(setting.rateHz) + ", \"input\": \"" +
                (setting.random ? "random" : "fixed") + "\", \"normalised\": [";
        for (std::size_t i = 0; i < setting.values.size(); ++i) {
            if (i > 0) {
                json += ", ";
            }
            json += setting.values[i] ? jsonNumber(*setting.values[i]) : std::string("null");
        }
        json += "]}";
    }
    return json + "]}\n";
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
