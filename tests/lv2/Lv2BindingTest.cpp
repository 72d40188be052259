// The LV2 binding as a host drives it: its defaults, its output against the VST 2
// binding's for the same stored values, processing in place, which changes
// redesign what, and the calls around run.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "Lv2TestHost.h"
#include "SeededNoise.h"
#include "effect/BrevanderProbe.h"

namespace {
// The dB a gain port needs so that its conversion lands on `linear`, if any float does.
std::optional<float> decibelsFor(float linear) {
    float dB = static_cast<float>(20.0 * std::log10(static_cast<double>(linear)));
    for (int step = 0; step < 8; ++step) {
        for (const float candidate : {dB, std::nextafter(dB, -100.0f), std::nextafter(dB, 100.0f)}) {
            if (linearGainFromDecibels(candidate) == linear) {
                return candidate;
            }
        }
        dB = linearGainFromDecibels(dB) < linear ? std::nextafter(dB, 100.0f) : std::nextafter(dB, -100.0f);
    }
    return std::nullopt;
}

float storedMember(BrevanderProbe& e, ParameterIndex index) {
    const float* members[kNumParams] = {&e.enableDifVlf,   &e.vlfCutOff,      &e.lfWidth,     &e.micSpacing,
                                        &e.enableSumShelf, &e.midBassCutGain, &e.midBassCutFc};
    return *members[index];
}

// A setting as the VST 2 file takes it (normalised) and the port values that give the
// same stored values: the values in their own units, the gain in dB.
struct Setting {
    std::string what;
    float normalised[kNumParams];
};

const Setting kSettings[] = {
    {"defaults", {1.0f, 0.1f, 0.5f, 0.34f, 1.0f, 0.219999984f, 0.368421048f}},
    {"both switches off", {0.0f, 0.1f, 0.5f, 0.34f, 0.0f, 0.219999984f, 0.368421048f}},
    {"every range's lower end", {1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f}},
    {"every range's upper end", {1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f}},
    {"switches just either side of on", {0.5f, 0.73f, 0.21f, 0.9f, 0.50000006f, 0.6f, 0.05f}},
};

// Sets `vst` to `setting` and returns the port values for the same stored values.
std::optional<std::array<float, kNumParams>> portValuesFor(BrevanderProbe& vst, const float* normalised) {
    std::array<float, kNumParams> ports{};
    for (VstInt32 i = 0; i < kNumParams; ++i) {
        vst.setParameter(i, normalised[i]);
        const auto index = static_cast<ParameterIndex>(i);
        const float stored = storedMember(vst, index);
        if (index == kMidBassCutGain) {
            const std::optional<float> dB = decibelsFor(stored);
            if (!dB) {
                return std::nullopt;
            }
            ports[static_cast<std::size_t>(i)] = *dB;
        } else {
            ports[static_cast<std::size_t>(i)] = stored;
        }
    }
    return ports;
}

// Renders `blocks` blocks of noise through both bindings at `rateHz` with the same
// stored values and tells whether every sample is the same to the bit.
void expectSameOutput(const std::string& what, const float* normalised, double rateHz) {
    BrevanderProbe vst;
    vst.setSampleRate(static_cast<float>(rateHz));
    const auto ports = portValuesFor(vst, normalised);
    ASSERT_TRUE(ports.has_value()) << what << ": no dB gives the gain";
    Lv2TestHost lv2(rateHz);
    for (std::size_t i = 0; i < kNumParams; ++i) {
        lv2.control(static_cast<ParameterIndex>(i)) = (*ports)[i];
    }
    for (std::uint32_t block = 0; block < 4; ++block) {
        const StereoBlock input = noiseBlock(block == 2 ? 1 : 1000 + 17 * block, 100u + block);
        const StereoBlock fromLv2 = lv2.run(input);
        ASSERT_TRUE(sameBits(fromLv2, processed(vst, input))) << what << " at " << rateHz << " Hz, block " << block;
        if (block == 0) {
            for (VstInt32 i = 0; i < kNumParams; ++i) {
                const auto index = static_cast<ParameterIndex>(i);
                EXPECT_EQ(lv2.core().storedValueOf(index), storedMember(vst, index)) << what << ", parameter " << i;
            }
        }
    }
}
}  // namespace

TEST(Lv2Binding, DescribesOnePluginUnderItsUri) {
    const LV2_Descriptor& d = brevanderLv2Descriptor();
    EXPECT_STREQ(d.URI, "urn:brevander:shuffler");
    EXPECT_EQ(d.extension_data("http://lv2plug.in/ns/ext/state#interface"), nullptr);
}

TEST(Lv2Binding, DefaultsAreTheVst2DefaultsStoredValues) {
    Lv2TestHost lv2;
    BrevanderProbe vst;
    const std::vector<unsigned char> designed = coefficientBytes(lv2.core());
    for (VstInt32 i = 0; i < kNumParams; ++i) {
        const auto index = static_cast<ParameterIndex>(i);
        EXPECT_EQ(lv2.core().storedValueOf(index), storedMember(vst, index)) << "parameter " << i;
        // The port's default is exactly what the core starts from.
        EXPECT_EQ(storedFromPortValue(index, portDefault(index)), storedMember(vst, index)) << "parameter " << i;
    }
    const StereoBlock input = noiseBlock(2048, 1u);
    EXPECT_TRUE(sameBits(lv2.run(input), processed(vst, input)));
    EXPECT_EQ(coefficientBytes(lv2.core()), designed) << "ports at their defaults redesign nothing";
}

TEST(Lv2Binding, OutputIsTheVst2OutputForTheSameStoredValues) {
    for (const double rateHz : {44100.0, 48000.0, 96000.0}) {
        for (const Setting& setting : kSettings) {
            expectSameOutput(setting.what, setting.normalised, rateHz);
        }
        // Seeded random settings, each parameter anywhere in its range.
        SeededNoise random(static_cast<std::uint32_t>(rateHz));
        for (int trial = 0, found = 0; found < 8 && trial < 100; ++trial) {
            float normalised[kNumParams];
            for (float& x : normalised) {
                x = random.unit();
            }
            BrevanderProbe probe;
            if (portValuesFor(probe, normalised)) {
                expectSameOutput("random setting " + std::to_string(trial), normalised, rateHz);
                ++found;
            }
        }
    }
}

TEST(Lv2Binding, ProcessesInPlaceAndInParts) {
    Lv2TestHost separate;
    Lv2TestHost inPlace;
    Lv2TestHost inParts;
    for (Lv2TestHost* host : {&separate, &inPlace, &inParts}) {
        host->control(kMicSpacing) = 31.5f;
        host->control(kEnableSumShelf) = 0.0f;
    }
    for (std::uint32_t block = 0; block < 3; ++block) {
        const StereoBlock input = noiseBlock(777, 40u + block);
        const StereoBlock expected = separate.run(input);
        EXPECT_TRUE(sameBits(inPlace.runInPlace(input), expected)) << "block " << block;
        // A run past the core's 32-bit frame count goes to it in parts, here of 10 frames.
        StereoBlock parts = input;
        inParts.connectAudio(parts.left.data(), parts.right.data(), parts.left.data(), parts.right.data());
        runInParts(inParts.handle, 777, 10);
        EXPECT_TRUE(sameBits(parts, expected)) << "in parts, block " << block;
    }
}

TEST(Lv2Binding, OnlyAChangedPortRedesignsAndOnlyTheSectionsItFeeds) {
    // Each section is marked with a coefficient no design gives; a redesign overwrites
    // the mark. Per port: which sections a change redesigns, in member order
    // (vlfHighPass, vlfAllPass, spacingFilter, bassShelf, bassAllPass).
    struct Row {
        ParameterIndex index;
        float value;
        const char* redesigned;
    };
    const Row rows[] = {
        {kEnableDifVlf, 0.0f, "....."},   {kVlfCutOff, 35.0f, "Vv..."},     {kLfWidth, 150.0f, "..S.."},
        {kMicSpacing, 40.0f, "..S.."},    {kEnableSumShelf, 0.0f, "....."}, {kMidBassCutGain, 3.0f, "...B."},
        {kMidBassCutFc, 120.0f, "...Bb"},
    };
    for (const Row& row : rows) {
        Lv2TestHost lv2;
        lv2.run(noiseBlock(64, 3u));
        ShufflerCore& core = lv2.core();
        auto mark = [&core] {
            CoreView::vlfHighPassOf(core).coefficients.b0 = 0.25f;
            CoreView::vlfAllPassOf(core).coefficients.coeff = 0.25f;
            CoreView::spacingFilterOf(core).coefficients.b0 = 0.25f;
            CoreView::bassShelfOf(core).coefficients.outGain = 0.25f;
            CoreView::bassAllPassOf(core).coefficients.coeff = -0.25f;
        };
        auto redesigned = [&core] {
            std::string s;
            s += CoreView::vlfHighPassOf(core).coefficients.b0 != 0.25f ? 'V' : '.';
            s += CoreView::vlfAllPassOf(core).coefficients.coeff != 0.25f ? 'v' : '.';
            s += CoreView::spacingFilterOf(core).coefficients.b0 != 0.25f ? 'S' : '.';
            s += CoreView::bassShelfOf(core).coefficients.outGain != 0.25f ? 'B' : '.';
            s += CoreView::bassAllPassOf(core).coefficients.coeff != -0.25f ? 'b' : '.';
            return s;
        };
        mark();
        lv2.run(noiseBlock(64, 4u));
        EXPECT_EQ(redesigned(), ".....") << "a run with no port changed, before changing " << row.index;
        lv2.control(row.index) = row.value;
        lv2.run(noiseBlock(64, 5u));
        EXPECT_EQ(redesigned(), row.redesigned) << "port for parameter " << row.index;
        EXPECT_EQ(lv2.core().storedValueOf(row.index), storedFromPortValue(row.index, row.value));
        mark();
        lv2.run(noiseBlock(64, 6u));
        EXPECT_EQ(redesigned(), ".....") << "the same value again, parameter " << row.index;
    }
}

TEST(Lv2Binding, ActivateClearsTheFilterStates) {
    Lv2TestHost used;
    used.control(kVlfCutOff) = 60.0f;
    used.run(noiseBlock(3000, 7u));
    used.descriptor.deactivate(used.handle);
    used.descriptor.activate(used.handle);

    Lv2TestHost fresh;
    fresh.control(kVlfCutOff) = 60.0f;
    const StereoBlock input = noiseBlock(1500, 8u);
    EXPECT_TRUE(sameBits(used.run(input), fresh.run(input)));
}

TEST(Lv2Binding, AnEmptyRunOrOneWithoutAudioStillTakesTheControls) {
    Lv2TestHost lv2;
    lv2.control(kMicSpacing) = 27.0f;
    lv2.connectAudio(nullptr, nullptr, nullptr, nullptr);
    lv2.descriptor.run(lv2.handle, 0);
    EXPECT_EQ(lv2.core().storedValueOf(kMicSpacing), 27.0f);

    // One audio port left unconnected: the block is skipped, the controls are taken.
    lv2.control(kLfWidth) = 50.0f;
    StereoBlock block = noiseBlock(256, 9u);
    const StereoBlock untouched = block;
    lv2.connectAudio(block.left.data(), block.right.data(), block.left.data(), nullptr);
    lv2.descriptor.run(lv2.handle, 256);
    EXPECT_EQ(lv2.core().storedValueOf(kLfWidth), 50.0f);
    EXPECT_TRUE(sameBits(block, untouched));

    // Ports outside the plug-in's change nothing in the instance.
    unsigned char before[sizeof(Lv2ShufflerInstance)];
    std::memcpy(before, lv2.handle, sizeof before);
    float stray = 1.0f;
    lv2.descriptor.connect_port(lv2.handle, kNumPorts, &stray);
    lv2.descriptor.connect_port(lv2.handle, 0xffffffffu, &stray);
    EXPECT_EQ(std::memcmp(before, lv2.handle, sizeof before), 0) << "connecting a port past the last";
    // A control port disconnected keeps its value, and the ports after it are still taken.
    lv2.descriptor.connect_port(lv2.handle, kFirstControlPort + std::uint32_t{kMicSpacing}, nullptr);
    lv2.control(kMidBassCutFc) = 150.0f;
    lv2.descriptor.run(lv2.handle, 0);
    EXPECT_EQ(lv2.core().storedValueOf(kMicSpacing), 27.0f);
    EXPECT_EQ(lv2.core().storedValueOf(kMidBassCutFc), 150.0f) << "a port after a disconnected one";
}

TEST(Lv2Binding, LifecycleCallsInEveryOrderTheInterfaceAllows) {
    const LV2_Descriptor& d = brevanderLv2Descriptor();
    const LV2_Feature* const noFeatures[] = {nullptr};
    // Never activated.
    d.cleanup(d.instantiate(&d, 48000.0, "", noFeatures));
    // Activated, run and deactivated twice over, then cleaned up; the control ports
    // are never connected, so the defaults hold.
    LV2_Handle h = d.instantiate(&d, 48000.0, "", noFeatures);
    ASSERT_NE(h, nullptr);
    StereoBlock block = noiseBlock(128, 10u);
    d.connect_port(h, kPortInLeft, block.left.data());
    d.connect_port(h, kPortInRight, block.right.data());
    d.connect_port(h, kPortOutLeft, block.left.data());
    d.connect_port(h, kPortOutRight, block.right.data());
    for (int cycle = 0; cycle < 2; ++cycle) {
        d.activate(h);
        d.run(h, 128);
        d.deactivate(h);
    }
    EXPECT_EQ(static_cast<Lv2ShufflerInstance*>(h)->core.storedValueOf(kMicSpacing), 18.0f);
    d.cleanup(h);
}
