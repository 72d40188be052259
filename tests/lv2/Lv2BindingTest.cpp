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
    // The same again with a window asking for the audio: the output must not change.
    Lv2TestHost monitored(rateHz);
    monitored.connectWindowPorts();
    monitored.sendMonitor(true);
    for (std::size_t i = 0; i < kNumParams; ++i) {
        lv2.control(static_cast<ParameterIndex>(i)) = (*ports)[i];
        monitored.control(static_cast<ParameterIndex>(i)) = (*ports)[i];
    }
    for (std::uint32_t block = 0; block < 4; ++block) {
        const StereoBlock input = noiseBlock(block == 2 ? 1 : 1000 + 17 * block, 100u + block);
        const StereoBlock fromLv2 = lv2.run(input);
        ASSERT_TRUE(sameBits(fromLv2, processed(vst, input))) << what << " at " << rateHz << " Hz, block " << block;
        ASSERT_TRUE(sameBits(monitored.runWithWindow(input), fromLv2)) << what << ", monitored, block " << block;
        ASSERT_FALSE(monitored.sentBlocks().empty());
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

namespace {
// The frames of the Block messages of one run, joined, in the order sent; false when
// a piece is out of place (its time stamp, position or size).
bool joinBlocks(const std::vector<MonitorBlock>& blocks, std::int64_t firstPosition, double rateHz, StereoBlock& input,
                StereoBlock& output) {
    std::int64_t position = firstPosition;
    for (const MonitorBlock& block : blocks) {
        if (block.position != position || block.rateHz != rateHz || block.frames == 0 || block.frames > kPieceFrames) {
            return false;
        }
        for (std::uint32_t i = 0; i < block.frames; ++i) {
            input.left.push_back(block.sample(0, i));
            input.right.push_back(block.sample(1, i));
            output.left.push_back(block.sample(2, i));
            output.right.push_back(block.sample(3, i));
        }
        position += block.frames;
    }
    return true;
}
}  // namespace

TEST(Lv2Binding, TheWindowsPortsCarryEachRunsInputAndOutputOnlyWhileAsked) {
    Lv2TestHost lv2(48000.0);
    lv2.connectWindowPorts();
    bool wellFormed = false;
    lv2.runWithWindow(noiseBlock(300, 20u));
    EXPECT_TRUE(lv2.sentBlocks(&wellFormed).empty()) << "before the window asks";
    EXPECT_TRUE(wellFormed) << "an empty sequence every run";

    lv2.sendMonitor(true);
    std::int64_t position = 0;
    int round = 0;
    for (const std::size_t frames : {std::size_t{1}, std::size_t{512}, std::size_t{513}, std::size_t{4096},
                                     std::size_t{kMonitoredRunFrames}, std::size_t{0}}) {
        for (const bool inPlace : {false, true}) {
            SCOPED_TRACE(std::to_string(frames) + (inPlace ? " frames in place" : " frames"));
            const StereoBlock input = noiseBlock(frames, 21u + static_cast<std::uint32_t>(++round));
            const StereoBlock output = lv2.runWithWindow(input, inPlace);
            const std::vector<MonitorBlock> blocks = lv2.sentBlocks(&wellFormed);
            EXPECT_TRUE(wellFormed);
            EXPECT_EQ(blocks.size(), (frames + kPieceFrames - 1) / kPieceFrames);
            StereoBlock sentInput(0), sentOutput(0);
            EXPECT_TRUE(joinBlocks(blocks, position, 48000.0, sentInput, sentOutput));
            EXPECT_TRUE(sameBits(sentInput, input));
            EXPECT_TRUE(sameBits(sentOutput, output));
            position += static_cast<std::int64_t>(frames);
        }
    }
    lv2.sendMonitor(false);
    lv2.runWithWindow(noiseBlock(64, 40u));
    EXPECT_TRUE(lv2.sentBlocks().empty()) << "after the window let go";
    lv2.sendMonitor(true);
    lv2.runWithWindow(noiseBlock(64, 41u));
    ASSERT_EQ(lv2.sentBlocks().size(), 1u);
    EXPECT_EQ(lv2.sentBlocks()[0].position, 0) << "asked again, the position starts over";

    // A buffer too short for a whole run takes the pieces that fit, and the next
    // run's position shows the gap.
    lv2.connectWindowPorts(sizeof(LV2_Atom_Sequence) + 2 * blockEventBytes(kPieceFrames) + 100);
    lv2.sendMonitor(true);
    lv2.runWithWindow(noiseBlock(2000, 42u));
    ASSERT_EQ(lv2.sentBlocks(&wellFormed).size(), 2u);
    EXPECT_TRUE(wellFormed);
    const std::int64_t start = lv2.sentBlocks()[0].position;
    lv2.runWithWindow(noiseBlock(10, 43u));
    ASSERT_EQ(lv2.sentBlocks().size(), 1u);
    EXPECT_EQ(lv2.sentBlocks()[0].position, start + 2000);
    lv2.connectWindowPorts(sizeof(LV2_Atom) + 4);  // not even a sequence's header
    lv2.runWithWindow(noiseBlock(10, 44u));
    EXPECT_TRUE(lv2.sentBlocks().empty());
}

TEST(Lv2Binding, MalformedOrUnknownMessagesChangeNothing) {
    // Each spoils a well-formed Monitor message (head, object body, property, value)
    // at one 32-bit field, or the sequence around it.
    struct Spoil {
        const char* what;
        std::size_t offset;  // in the message; past it, a change to the sequence
        const char* uri;     // the field's new value, mapped; null for `value`
        std::uint32_t value;
    };
    const Spoil spoils[] = {
        {"no object", 4, LV2_ATOM__Bool, 0},
        {"an object of another type", 12, "urn:brevander:shuffler#Other", 0},
        {"another property", 16, "urn:brevander:shuffler#off", 0},
        {"an Int where a Bool goes", 28, LV2_ATOM__Int, 0},
        {"a Bool of no bytes", 24, nullptr, 0},
        {"a value past its object", 24, nullptr, 1000},
        {"an object shorter than its header", 0, nullptr, 4},
        {"an event past its sequence", 100, nullptr, 0},
        {"a sequence of another type", 101, nullptr, 0},
    };
    for (const Spoil& spoil : spoils) {
        for (const bool wasOn : {false, true}) {
            SCOPED_TRACE(std::string(spoil.what) + (wasOn ? ", monitoring" : ""));
            Lv2TestHost lv2, plain;
            lv2.connectWindowPorts();
            if (wasOn) {
                lv2.sendMonitor(true);
                lv2.runWithWindow(noiseBlock(16, 50u));
                plain.run(noiseBlock(16, 50u));
            }
            unsigned char message[kMonitorMessageBytes];
            writeMonitorMessage(message, lv2.urids, !wasOn);
            if (spoil.offset < kMonitorMessageBytes) {
                const std::uint32_t field = spoil.uri != nullptr ? lv2.uridMap(spoil.uri) : spoil.value;
                std::memcpy(message + spoil.offset, &field, sizeof field);
            }
            lv2.send(message, kMonitorMessageBytes);
            auto* sequence = reinterpret_cast<LV2_Atom*>(lv2.controlMessages());
            if (spoil.offset == 100) {
                sequence->size -= 8;
            } else if (spoil.offset == 101) {
                sequence->type = 0;
            }
            const StereoBlock input = noiseBlock(16, 51u);
            EXPECT_TRUE(sameBits(lv2.runWithWindow(input), plain.run(input)));
            EXPECT_EQ(lv2.sentBlocks().size(), wasOn ? 1u : 0u);
        }
    }
    // A host without the URID map: the window's ports are left alone.
    const LV2_Descriptor& d = brevanderLv2Descriptor();
    const LV2_Feature* const noFeatures[] = {nullptr};
    LV2_Handle h = d.instantiate(&d, 48000.0, "", noFeatures);
    alignas(8) unsigned char control[64] = {}, notify[256] = {};
    TestUridMap map;
    MonitorUrids urids;
    urids.map(map.map());
    const LV2_Atom head = {sizeof(LV2_Atom_Sequence_Body) + 8 + kMonitorMessageBytes, urids.sequence};
    std::memcpy(control, &head, sizeof head);
    writeMonitorMessage(control + sizeof(LV2_Atom_Sequence) + 8, urids, true);
    const LV2_Atom capacity = {sizeof notify - sizeof(LV2_Atom), 0};
    std::memcpy(notify, &capacity, sizeof capacity);
    StereoBlock block = noiseBlock(64, 52u);
    d.connect_port(h, kPortControl, control);
    d.connect_port(h, kPortNotify, notify);
    d.connect_port(h, kPortInLeft, block.left.data());
    d.connect_port(h, kPortInRight, block.right.data());
    d.connect_port(h, kPortOutLeft, block.left.data());
    d.connect_port(h, kPortOutRight, block.right.data());
    d.activate(h);
    d.run(h, 64);
    EXPECT_EQ(reinterpret_cast<const LV2_Atom*>(notify)->size, 0u) << "an empty atom, with no sequence to send";
    EXPECT_FALSE(static_cast<Lv2ShufflerInstance*>(h)->monitoring);
    d.deactivate(h);
    d.cleanup(h);
}
