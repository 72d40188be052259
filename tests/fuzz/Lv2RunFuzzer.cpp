// libFuzzer target: byte-driven sessions of an LV2 host with the LV2 binding, from
// its descriptor: instances made at any rate, controls holding any float bits,
// activate and deactivate in every order the LV2 interface allows, runs of 0 to
// 4999 frames on separate, shared or crossed buffers, and samples of any bits.
// Every audio buffer sits on the heap on its own, exactly as long as the run, so
// AddressSanitizer sees any access past it. Besides crashes and sanitizer reports,
// the target stops on a non-finite output sample from a run whose input was in
// range (finite and within 1e6, 120 dB over full scale), whatever came before it.
#include <lv2/core/lv2.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "FuzzInput.h"

extern "C" const LV2_Descriptor* lv2_descriptor(std::uint32_t index);

namespace {

constexpr std::uint32_t kAudioPorts = 4;
constexpr std::uint32_t kControlPorts = 7;
constexpr std::uint32_t kMaxRunFrames = 4999;

double rateFrom(ByteReader& in) {
    static constexpr double kRates[] = {44100.0, 48000.0,  88200.0, 96000.0, 192000.0, 8000.0,
                                        22050.0, 384000.0, 1.0,     0.0,     -48000.0};
    const std::uint8_t pick = in.u8();
    if (pick < 200) {
        return kRates[pick % std::size(kRates)];
    }
    return in.f64();  // anything: NaN, infinity, subnormals, past the largest float
}

// Ranges of the control ports in their units, by control index.
constexpr std::array<std::array<float, 2>, kControlPorts> kRanges = {{
    {0.0f, 1.0f},
    {10.0f, 110.0f},
    {0.0f, 200.0f},
    {1.0f, 51.0f},
    {0.0f, 1.0f},
    {-6.02f, 6.02f},
    {10.0f, 200.0f},
}};

float controlFrom(ByteReader& in, std::uint32_t control) {
    const std::uint8_t pick = in.u8();
    switch (pick % 4) {
        case 0: {
            const auto& [low, high] = kRanges[control];
            return static_cast<float>(low + (high - low) * (in.u16() / 65535.0));
        }
        case 1:
            return in.f32();  // any bits
        case 2: {
            static constexpr float kOdd[] = {0.0f,
                                             -0.0f,
                                             0.5f,
                                             -1.0f,
                                             1e30f,
                                             -1e30f,
                                             std::numeric_limits<float>::quiet_NaN(),
                                             std::numeric_limits<float>::infinity(),
                                             -std::numeric_limits<float>::infinity(),
                                             std::numeric_limits<float>::denorm_min(),
                                             1000.0f,
                                             400.0f};
            return kOdd[(pick >> 2) % std::size(kOdd)];
        }
        default:
            return static_cast<float>(static_cast<std::int16_t>(in.u16())) / 64.0f;
    }
}

// One instance as a host holds it: its handle, whether it is active, and two banks
// of control values, the ports pointing at one of them.
struct Instance {
    const LV2_Descriptor* descriptor = nullptr;
    LV2_Handle handle = nullptr;
    bool active = false;
    std::array<std::array<float, kControlPorts>, 2> banks{};
    std::size_t bank = 0;

    std::array<float, kControlPorts>& controls() { return banks[bank]; }
    void connectControls() {
        for (std::uint32_t i = 0; i < kControlPorts; ++i) {
            descriptor->connect_port(handle, kAudioPorts + i, &controls()[i]);
        }
    }
    void end() {
        if (active) {
            descriptor->deactivate(handle);
            active = false;
        }
        descriptor->cleanup(handle);
        handle = nullptr;
    }
};

void make(Instance& instance, ByteReader& in) {
    static const LV2_Feature* const kNoFeatures[] = {nullptr};
    instance.handle = instance.descriptor->instantiate(instance.descriptor, rateFrom(in), "/nonexistent/", kNoFeatures);
    if (instance.handle == nullptr) {
        violated("instantiate refused");
    }
    // The defaults hosts start from, then whatever the input sets.
    instance.banks[0] = {1.0f, 20.0f, 100.0f, 18.0f, 1.0f, -1.61843836f, 80.0f};
    instance.banks[1] = instance.banks[0];
    instance.bank = 0;
    instance.connectControls();
}

void run(Instance& instance, ByteReader& in) {
    const std::uint32_t frames = in.u16() % (kMaxRunFrames + 1);
    const std::uint8_t mode = in.u8();
    const int buffers = mode % 3;  // separate, in place, crossed
    const int source = (mode >> 2) & 3;
    const std::size_t n = frames;
    std::vector<std::unique_ptr<float[]>> channels;
    for (int c = 0; c < 4; ++c) {
        channels.emplace_back(new float[n == 0 ? 1 : n]());
    }
    bool allInRange = true;
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t c = 0; c < 2; ++c) {
            const float x = sampleFrom(in, source);
            channels[c][i] = x;
            allInRange = allInRange && inRange(x);
        }
    }
    float* outLeft = buffers == 0 ? channels[2].get() : buffers == 1 ? channels[0].get() : channels[1].get();
    float* outRight = buffers == 0 ? channels[3].get() : buffers == 1 ? channels[1].get() : channels[0].get();
    instance.descriptor->connect_port(instance.handle, 0, channels[0].get());
    instance.descriptor->connect_port(instance.handle, 1, channels[1].get());
    instance.descriptor->connect_port(instance.handle, 2, outLeft);
    instance.descriptor->connect_port(instance.handle, 3, outRight);
    instance.descriptor->run(instance.handle, frames);
    if (allInRange) {
        for (std::size_t i = 0; i < n; ++i) {
            if (!std::isfinite(outLeft[i]) || !std::isfinite(outRight[i])) {
                violated("non-finite output from in-range input");
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader in(data, size);
    const LV2_Descriptor* descriptor = lv2_descriptor(0);
    if (descriptor == nullptr || lv2_descriptor(1) != nullptr) {
        violated("the library does not describe exactly one plug-in");
    }
    std::array<Instance, 2> instances;
    const std::size_t count = 1 + in.u8() % 2;
    for (std::size_t i = 0; i < count; ++i) {
        instances[i].descriptor = descriptor;
        make(instances[i], in);
    }
    for (int step = 0; step < 2000 && !in.empty(); ++step) {
        const std::uint8_t op = in.u8();
        Instance& instance = instances[in.u8() % count];
        switch (op % 6) {
            case 0:
                // LV2 allows activate only on an inactive instance; asked otherwise,
                // a host would not call it.
                if (!instance.active) {
                    descriptor->activate(instance.handle);
                    instance.active = true;
                }
                break;
            case 1:
                if (instance.active) {
                    descriptor->deactivate(instance.handle);
                    instance.active = false;
                }
                break;
            case 2: {
                const std::uint32_t control = in.u8() % kControlPorts;
                instance.controls()[control] = controlFrom(in, control);
                break;
            }
            case 3:
                // The ports move to the other bank, whose values may differ.
                instance.bank = 1 - instance.bank;
                instance.connectControls();
                break;
            case 4:
                instance.end();
                make(instance, in);
                break;
            default:
                // Run only while active, as LV2 requires.
                if (instance.active) {
                    run(instance, in);
                }
                break;
        }
    }
    for (std::size_t i = 0; i < count; ++i) {
        instances[i].end();
    }
    return 0;
}
