// Drives the LV2 binding linked into the test program through its descriptor's
// functions, as a host calls them, and shows the core behind an instance.
#pragma once

#include <array>
#include <cstring>
#include <vector>

#include "Lv2Shuffler.h"
#include "StereoBlock.h"

// Read and write access to a core's sections and rate. The pointers to members are
// formed through this derived class, which may name the protected members, and
// applied to any core.
struct CoreView : ShufflerCore {
    static Biquad& vlfHighPassOf(ShufflerCore& c) { return c.*(&CoreView::vlfHighPass); }
    static AllPass1& vlfAllPassOf(ShufflerCore& c) { return c.*(&CoreView::vlfAllPass); }
    static SpacingFilter& spacingFilterOf(ShufflerCore& c) { return c.*(&CoreView::spacingFilter); }
    static BassShelf& bassShelfOf(ShufflerCore& c) { return c.*(&CoreView::bassShelf); }
    static AllPass1& bassAllPassOf(ShufflerCore& c) { return c.*(&CoreView::bassAllPass); }
    static float sampleRateOf(ShufflerCore& c) { return c.*(&CoreView::sampleRate); }
};

// The five sections' coefficients, as raw bits in member order.
inline std::vector<unsigned char> coefficientBytes(ShufflerCore& core) {
    std::vector<unsigned char> bytes;
    auto add = [&bytes](const auto& coefficients) {
        const auto* p = reinterpret_cast<const unsigned char*>(&coefficients);
        bytes.insert(bytes.end(), p, p + sizeof coefficients);
    };
    add(CoreView::vlfHighPassOf(core).coefficients);
    add(CoreView::vlfAllPassOf(core).coefficients);
    add(CoreView::spacingFilterOf(core).coefficients);
    add(CoreView::bassShelfOf(core).coefficients);
    add(CoreView::bassAllPassOf(core).coefficients);
    return bytes;
}

inline bool sameBits(const StereoBlock& a, const StereoBlock& b) {
    return a.frames() == b.frames() && std::memcmp(a.left.data(), b.left.data(), a.frames() * sizeof(float)) == 0 &&
           std::memcmp(a.right.data(), b.right.data(), a.frames() * sizeof(float)) == 0;
}

class Lv2TestHost {
public:
    // Instantiates at `rateHz`, connects every control port to `controls` (set to
    // the ports' defaults) and activates.
    explicit Lv2TestHost(double rateHz = 44100.0)
        : descriptor(brevanderLv2Descriptor()), handle(descriptor.instantiate(&descriptor, rateHz, "", kNoFeatures)) {
        for (std::size_t i = 0; i < kNumParams; ++i) {
            controls[i] = portDefault(static_cast<ParameterIndex>(i));
            descriptor.connect_port(handle, kFirstControlPort + static_cast<std::uint32_t>(i), &controls[i]);
        }
        descriptor.activate(handle);
    }
    ~Lv2TestHost() {
        descriptor.deactivate(handle);
        descriptor.cleanup(handle);
    }
    Lv2TestHost(const Lv2TestHost&) = delete;
    Lv2TestHost& operator=(const Lv2TestHost&) = delete;

    float& control(ParameterIndex index) { return controls[static_cast<std::size_t>(index)]; }
    ShufflerCore& core() { return static_cast<Lv2ShufflerInstance*>(handle)->core; }

    // One run over `input` into separate output buffers.
    StereoBlock run(StereoBlock input) {
        StereoBlock output(input.frames());
        connectAudio(input.left.data(), input.right.data(), output.left.data(), output.right.data());
        descriptor.run(handle, static_cast<std::uint32_t>(input.frames()));
        return output;
    }
    // One run with the outputs connected to the inputs' buffers.
    StereoBlock runInPlace(StereoBlock block) {
        connectAudio(block.left.data(), block.right.data(), block.left.data(), block.right.data());
        descriptor.run(handle, static_cast<std::uint32_t>(block.frames()));
        return block;
    }
    void connectAudio(float* inLeft, float* inRight, float* outLeft, float* outRight) {
        descriptor.connect_port(handle, kPortInLeft, inLeft);
        descriptor.connect_port(handle, kPortInRight, inRight);
        descriptor.connect_port(handle, kPortOutLeft, outLeft);
        descriptor.connect_port(handle, kPortOutRight, outRight);
    }

    const LV2_Descriptor& descriptor;
    LV2_Handle handle;

private:
    static constexpr const LV2_Feature* kNoFeatures[] = {nullptr};
    std::array<float, kNumParams> controls{};
};
