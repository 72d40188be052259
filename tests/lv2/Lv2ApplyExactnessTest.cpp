// The LV2 plug-in rendered by lilv's own command-line host, lv2apply, against the
// VST 2 file rendered through host/: for the same stored parameter values the two
// must agree in every bit of every sample. lv2apply runs the plug-in one frame at
// a time; the VST 2 file gets blocks of 512.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

#include "FloatWav.h"
#include "Lv2Apply.h"
#include "Lv2PortTable.h"
#include "Lv2PortValues.h"
#include "PluginInstance.h"
#include "ShufflerCore.h"
#include "TestSignal.h"

namespace {

// Normalised VST 2 values by parameter index; unset ones stay at their defaults on
// both sides.
using Normalised = std::array<std::optional<float>, 7>;

struct Setting {
    const char* name;
    std::optional<float> values[7];

    Normalised normalised() const {
        Normalised all;
        std::copy(std::begin(values), std::end(values), all.begin());
        return all;
    }
};

const Setting kSettings[] = {
    {"defaults", {}},
    {"both_switches_off", {0.0f, {}, {}, {}, 0.0f, {}, {}}},
    {"only_the_difference_filter", {{}, {}, {}, {}, 0.0f, {}, {}}},
    // The ends of every range, low corners with a wide spacing and the other way
    // round; the gain's ends are 0.5 and 2 (about -6.0206 and +6.0206 dB).
    {"lower_ends", {1.0f, 0.0f, 0.0f, 1.0f, 1.0f, 0.0f, 0.0f}},
    {"upper_ends", {1.0f, 1.0f, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f}},
    // Switches exactly at the threshold (off) and one step above it (on).
    {"odd_values", {0.5f, 0.3137f, 0.777f, 0.123f, 0x1.000002p-1f, 0.6931f, 0.0917f}},
};

const std::uint32_t kRatesHz[] = {44100, 48000, 96000};

std::filesystem::path workFile(const std::string& name) {
    const std::filesystem::path dir = BREVANDER_LV2_WORK_DIR;
    std::filesystem::create_directories(dir);
    return dir / name;
}

StereoSignal renderVst2(const StereoSignal& input, std::uint32_t rateHz, const Normalised& values) {
    PluginLibrary library(defaultPluginPath());
    Host host;
    PluginInstance effect(library, host);
    constexpr VstInt32 kBlockFrames = 512;
    effect.setSampleRate(static_cast<float>(rateHz));
    effect.setBlockSize(kBlockFrames);
    for (VstInt32 index = 0; index < 7; ++index) {
        if (const auto& value = values[static_cast<std::size_t>(index)]) {
            effect.setParameter(index, *value);
        }
    }
    effect.setMainsOn(true);
    StereoSignal in = input;
    StereoSignal out{std::vector<float>(input.frames()), std::vector<float>(input.frames())};
    for (std::size_t done = 0; done < input.frames(); done += kBlockFrames) {
        const auto frames = static_cast<VstInt32>(std::min<std::size_t>(kBlockFrames, input.frames() - done));
        float* inputs[2] = {in.left.data() + done, in.right.data() + done};
        float* outputs[2] = {out.left.data() + done, out.right.data() + done};
        effect.processReplacing(inputs, outputs, frames);
    }
    effect.setMainsOn(false);
    return out;
}

// Files named after the case, since cases may run in parallel processes.
StereoSignal renderLv2Apply(const StereoSignal& input, std::uint32_t rateHz, const Lv2Controls& controls,
                            const std::string& name) {
    const std::string in = workFile(name + "-in.wav").string();
    const std::string out = workFile(name + "-lv2apply.wav").string();
    writeFloatWav(in, input, rateHz);
    runLv2Apply(BREVANDER_LV2_PATH, kLv2PluginUri, in, out, controls);
    const FloatWav wav = readFloatWav(out);
    EXPECT_EQ(wav.rateHz, rateHz);
    // Both files are made again from the seed on every run; a failure reports where
    // the renders part.
    std::filesystem::remove(in);
    std::filesystem::remove(out);
    return wav.signal;
}

void expectIdentical(const StereoSignal& lv2, const StereoSignal& expected, const char* against) {
    ASSERT_EQ(lv2.frames(), expected.frames());
    const std::size_t at = firstDifference(lv2, expected);
    if (at < expected.frames()) {
        ADD_FAILURE() << "lv2apply's render differs from " << against << " from frame " << at << ": left "
                      << lv2.left[at] << " vs " << expected.left[at] << ", right " << lv2.right[at] << " vs "
                      << expected.right[at];
        return;
    }
    std::printf("compared %zu samples (%zu frames x 2 channels) against %s: all identical\n", 2 * lv2.frames(),
                lv2.frames(), against);
}

float storedOfPortValue(const Lv2ControlPort& p, float value) {
    return p.isGainInDecibels ? linearGainOfDecibels(value) : value;
}

// The effect core on its own, given stored values directly, as the LV2 binding
// hands them over: designed for the rate, the values applied, states cleared.
StereoSignal renderCore(const StereoSignal& input, std::uint32_t rateHz, const Lv2Controls& controls) {
    ShufflerCore core;
    core.redesignForSampleRate(static_cast<float>(rateHz));
    for (const auto& [symbol, value] : controls) {
        for (std::size_t i = 0; i < kLv2ControlPorts.size(); ++i) {
            if (symbol == kLv2ControlPorts[i].symbol) {
                core.applyStoredValue(static_cast<ParameterIndex>(i), storedOfPortValue(kLv2ControlPorts[i], value));
            }
        }
    }
    core.clearStates();
    StereoSignal out{std::vector<float>(input.frames()), std::vector<float>(input.frames())};
    constexpr std::size_t kBlockFrames = 512;
    for (std::size_t done = 0; done < input.frames(); done += kBlockFrames) {
        const auto frames = static_cast<std::int32_t>(std::min(kBlockFrames, input.frames() - done));
        core.processBlock(input.left.data() + done, input.right.data() + done, out.left.data() + done,
                          out.right.data() + done, frames);
    }
    return out;
}

const Lv2ControlPort& port(const char* symbol) {
    for (const Lv2ControlPort& p : kLv2ControlPorts) {
        if (std::string(symbol) == p.symbol) {
            return p;
        }
    }
    throw std::invalid_argument(symbol);
}

using Case = std::tuple<std::uint32_t, std::size_t>;

class Lv2ApplyMatchesVst2 : public testing::TestWithParam<Case> {};

TEST_P(Lv2ApplyMatchesVst2, SampleForSample) {
    const auto [rateHz, settingIndex] = GetParam();
    const Setting& setting = kSettings[settingIndex];
    Lv2Controls controls;
    for (std::size_t i = 0; i < kLv2ControlPorts.size(); ++i) {
        if (const auto& x = setting.values[i]) {
            const std::optional<float> value = portValueOfNormalised(kLv2ControlPorts[i], *x);
            ASSERT_TRUE(value) << kLv2ControlPorts[i].symbol << " has no port value for " << *x;
            controls.emplace_back(kLv2ControlPorts[i].symbol, *value);
        }
    }
    const StereoSignal input = makeTestSignal(rateHz);
    const StereoSignal lv2 =
        renderLv2Apply(input, rateHz, controls, std::string(setting.name) + "-" + std::to_string(rateHz));
    expectIdentical(lv2, renderVst2(input, rateHz, setting.normalised()), "the VST 2 file");
}

INSTANTIATE_TEST_SUITE_P(Settings, Lv2ApplyMatchesVst2,
                         testing::Combine(testing::ValuesIn(kRatesHz),
                                          testing::Range<std::size_t>(0, std::size(kSettings))),
                         [](const testing::TestParamInfo<Case>& test) {
                             return std::string(kSettings[std::get<1>(test.param)].name) + "_at_" +
                                    std::to_string(std::get<0>(test.param)) + "_Hz";
                         });

// Settings given as port values, as an LV2 host's user sets them.
struct PortSetting {
    const char* name;
    Lv2Controls controls;
};

// The gain port's own range ends, which some normalised value does reach.
const PortSetting kReachablePortSettings[] = {
    {"gain_port_minimum", {{"mid_bass_cut_gain", -6.02f}, {"mid_bass_cut_fc", 200.0f}}},
    {"gain_port_maximum", {{"mid_bass_cut_gain", 6.02f}, {"enable_dif_vlf", 0.0f}}},
};

// Round values a user types that no float normalised value maps to, so no VST 2
// host can set them exactly.
const PortSetting kLv2OnlySettings[] = {
    {"typed_width_and_corner", {{"lf_width", 120.0f}, {"vlf_cutoff", 63.0f}, {"mid_bass_cut_gain", -3.0f}}},
    {"typed_spacing_and_shelf_corner", {{"mic_spacing", 14.5f}, {"mid_bass_cut_fc", 59.0f}}},
};

using PortCase = std::tuple<std::uint32_t, std::size_t>;

std::string portCaseName(const PortSetting* settings, const testing::TestParamInfo<PortCase>& test) {
    return std::string(settings[std::get<1>(test.param)].name) + "_at_" + std::to_string(std::get<0>(test.param)) +
           "_Hz";
}

class Lv2ApplyMatchesVst2AtPortValues : public testing::TestWithParam<PortCase> {};

TEST_P(Lv2ApplyMatchesVst2AtPortValues, SampleForSample) {
    const auto [rateHz, settingIndex] = GetParam();
    const PortSetting& setting = kReachablePortSettings[settingIndex];
    Normalised normalised;
    for (const auto& [symbol, value] : setting.controls) {
        const Lv2ControlPort& p = port(symbol.c_str());
        const std::optional<float> x = normalisedForStored(p, storedOfPortValue(p, value));
        ASSERT_TRUE(x) << "no normalised value reaches " << symbol << " " << value;
        normalised[p.index - kLv2ControlPorts[0].index] = *x;
    }
    const StereoSignal input = makeTestSignal(rateHz);
    const StereoSignal lv2 =
        renderLv2Apply(input, rateHz, setting.controls, std::string(setting.name) + "-" + std::to_string(rateHz));
    expectIdentical(lv2, renderVst2(input, rateHz, normalised), "the VST 2 file");
}

INSTANTIATE_TEST_SUITE_P(Settings, Lv2ApplyMatchesVst2AtPortValues,
                         testing::Combine(testing::ValuesIn(kRatesHz),
                                          testing::Range<std::size_t>(0, std::size(kReachablePortSettings))),
                         [](const testing::TestParamInfo<PortCase>& test) {
                             return portCaseName(kReachablePortSettings, test);
                         });

class Lv2ApplyMatchesTheCore : public testing::TestWithParam<PortCase> {};

TEST_P(Lv2ApplyMatchesTheCore, ForValuesOnlyTheLv2PortsReach) {
    const auto [rateHz, settingIndex] = GetParam();
    const PortSetting& setting = kLv2OnlySettings[settingIndex];
    bool lv2Only = false;
    for (const auto& [symbol, value] : setting.controls) {
        const Lv2ControlPort& p = port(symbol.c_str());
        lv2Only = lv2Only || !normalisedForStored(p, storedOfPortValue(p, value));
    }
    ASSERT_TRUE(lv2Only) << "a VST 2 host can set every value of " << setting.name;
    const StereoSignal input = makeTestSignal(rateHz);
    const StereoSignal lv2 =
        renderLv2Apply(input, rateHz, setting.controls, std::string(setting.name) + "-" + std::to_string(rateHz));
    expectIdentical(lv2, renderCore(input, rateHz, setting.controls), "the effect core given the stored values");
}

INSTANTIATE_TEST_SUITE_P(Settings, Lv2ApplyMatchesTheCore,
                         testing::Combine(testing::ValuesIn(kRatesHz),
                                          testing::Range<std::size_t>(0, std::size(kLv2OnlySettings))),
                         [](const testing::TestParamInfo<PortCase>& test) {
                             return portCaseName(kLv2OnlySettings, test);
                         });

// The core as driven above gives the VST 2 file's output for values both reach, so
// it can stand in for the VST 2 file where only the LV2 ports reach.
TEST(CoreReference, MatchesTheVst2FileForReachableValues) {
    const Setting& setting = kSettings[std::size(kSettings) - 1];
    Lv2Controls controls;
    for (std::size_t i = 0; i < kLv2ControlPorts.size(); ++i) {
        if (const auto& x = setting.values[i]) {
            controls.emplace_back(kLv2ControlPorts[i].symbol, *portValueOfNormalised(kLv2ControlPorts[i], *x));
        }
    }
    for (const std::uint32_t rateHz : kRatesHz) {
        const StereoSignal input = makeTestSignal(rateHz);
        const StereoSignal core = renderCore(input, rateHz, controls);
        EXPECT_EQ(firstDifference(core, renderVst2(input, rateHz, setting.normalised())), input.frames())
            << setting.name << " at " << rateHz << " Hz";
    }
}

}  // namespace
