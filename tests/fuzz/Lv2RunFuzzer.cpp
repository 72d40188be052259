// libFuzzer target: byte-driven sessions of an LV2 host with the LV2 binding, from
// its descriptor: instances made at any rate, controls holding any float bits,
// activate and deactivate in every order the LV2 interface allows, runs of 0 to
// 4999 frames on separate, shared or crossed buffers, and samples of any bits; with
// or without the URID map, the window's message port fed well-formed, spoilt and
// arbitrary events, and its notify port of any capacity or none.
// Every audio and atom buffer sits on the heap on its own, exactly as long as its
// contents, so AddressSanitizer sees any access past it. Besides crashes and
// sanitizer reports, the target stops on a non-finite output sample from a run whose
// input was in range (finite and within 1e6, 120 dB over full scale), whatever came
// before it, and on a notify sequence that overruns its buffer, is not made of whole
// events, or whose blocks are not the run's own input and output.
#include <lv2/core/lv2.h>

#include <algorithm>
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
#include "Lv2Monitor.h"
#include "TestUridMap.h"

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

// One instance as a host holds it: its handle, whether it is active, two banks of
// control values, the ports pointing at one of them, and the events queued for its
// message port's next run.
struct Instance {
    const LV2_Descriptor* descriptor = nullptr;
    LV2_Handle handle = nullptr;
    bool active = false;
    std::unique_ptr<TestUridMap> uridMap;
    MonitorUrids urids;  // mapped whether or not the instance was given the map
    std::vector<unsigned char> events;
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
    const double rateHz = rateFrom(in);
    instance.uridMap = std::make_unique<TestUridMap>();
    instance.urids.map(instance.uridMap->map());
    instance.events.clear();
    const LV2_Feature* const withMap[] = {instance.uridMap->feature(), nullptr};
    const LV2_Feature* const without[] = {nullptr};
    instance.handle = instance.descriptor->instantiate(instance.descriptor, rateHz, "/nonexistent/",
                                                       (in.u8() & 1) == 0 ? withMap : without);
    if (instance.handle == nullptr) {
        violated("instantiate refused");
    }
    // The defaults hosts start from, then whatever the input sets.
    instance.banks[0] = {1.0f, 20.0f, 100.0f, 18.0f, 1.0f, -1.61843836f, 80.0f};
    instance.banks[1] = instance.banks[0];
    instance.bank = 0;
    instance.connectControls();
}

// Queues one event for the message port: a Monitor message, one spoilt at any 32-bit
// field, or an atom of any type, size and bytes.
void queueMessage(Instance& instance, ByteReader& in) {
    const std::uint8_t kind = in.u8();
    unsigned char message[kMonitorMessageBytes + 256] = {};
    std::uint32_t bytes = kMonitorMessageBytes;
    writeMonitorMessage(message, instance.urids, (kind & 4) != 0);
    if (kind % 3 == 1) {
        const LV2_URID known[] = {instance.urids.object,  instance.urids.monitor, instance.urids.on,
                                  instance.urids.boolean, instance.urids.block,   instance.urids.vector};
        const std::uint8_t where = in.u8();
        const std::uint32_t field = (where & 0x80) != 0 ? known[where % std::size(known)] : in.u32();
        std::memcpy(message + 4 * ((where & 0x7f) % (kMonitorMessageBytes / 4)), &field, sizeof field);
    } else if (kind % 3 == 2) {
        bytes = static_cast<std::uint32_t>(sizeof(LV2_Atom)) + in.u8();
        const LV2_Atom head = {in.u32() % 512, (kind & 8) != 0 ? instance.urids.object : in.u32()};
        std::memcpy(message, &head, sizeof head);
        for (std::uint32_t i = sizeof head; i < bytes; ++i) {
            message[i] = in.u8();
        }
    }
    if (instance.events.size() + 8 + bytes > 4096) {
        return;
    }
    const std::int64_t time = 0;
    const auto* t = reinterpret_cast<const unsigned char*>(&time);
    instance.events.insert(instance.events.end(), t, t + sizeof time);
    instance.events.insert(instance.events.end(), message, message + bytes);
    instance.events.resize(instance.events.size() + (atomPadded(bytes) - bytes));
}

// The notify sequence a run left, checked against the run's own input and output.
void checkNotify(const Instance& instance, const unsigned char* buffer, std::uint32_t capacity,
                 const std::vector<float>& input, const float* outLeft, const float* outRight, std::size_t frames) {
    LV2_Atom head;
    std::memcpy(&head, buffer, sizeof head);
    if (head.size > capacity - sizeof(LV2_Atom)) {
        violated("the notify sequence overruns its buffer");
    }
    if (head.size == 0) {
        return;
    }
    if (head.type != instance.urids.sequence) {
        violated("the notify port holds no sequence");
    }
    std::uint32_t covered = sizeof(LV2_Atom_Sequence_Body);
    std::size_t frame = 0;
    forEachEvent(buffer + sizeof head, head.size, [&](const LV2_Atom& atom, const unsigned char* body) {
        covered += atomPadded(static_cast<std::uint32_t>(sizeof(LV2_Atom_Event)) + atom.size);
        MonitorBlock block;
        if (!readBlock(atom, body, instance.urids, block) || frame + block.frames > frames) {
            violated("a notify event that is no block of the run");
        }
        for (std::uint32_t i = 0; i < block.frames; ++i, ++frame) {
            const float sent[4] = {input[2 * frame], input[2 * frame + 1], outLeft[frame], outRight[frame]};
            for (std::uint32_t c = 0; c < 4; ++c) {
                const float x = block.sample(c, i);
                if (std::memcmp(&x, &sent[c], sizeof x) != 0) {
                    violated("a block's samples are not the run's");
                }
            }
        }
    });
    if (covered != head.size) {
        violated("the notify sequence is not made of whole events");
    }
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
    // The window's ports: each connected or not; the queued events in a sequence
    // that may claim another type or stop short of its last event.
    const std::uint8_t ports = in.u8();
    std::unique_ptr<unsigned char[]> control, notify;
    if ((ports & 1) != 0) {
        const auto size = static_cast<std::uint32_t>(sizeof(LV2_Atom_Sequence_Body) + instance.events.size());
        control.reset(new unsigned char[sizeof(LV2_Atom) + size]);
        const std::uint32_t cut = (ports & 4) != 0 ? in.u8() % 16u : 0u;
        const LV2_Atom head = {size - std::min(cut, size), (ports & 8) != 0 ? in.u32() : instance.urids.sequence};
        const LV2_Atom_Sequence_Body body = {0, 0};
        std::memcpy(control.get(), &head, sizeof head);
        std::memcpy(control.get() + sizeof head, &body, sizeof body);
        if (!instance.events.empty()) {
            std::memcpy(control.get() + sizeof(LV2_Atom_Sequence), instance.events.data(), instance.events.size());
        }
    }
    std::uint32_t capacity = 0;
    if ((ports & 2) != 0) {
        capacity = static_cast<std::uint32_t>(sizeof(LV2_Atom)) + 3u * in.u16();
        notify.reset(new unsigned char[capacity]());
        const LV2_Atom head = {capacity - static_cast<std::uint32_t>(sizeof(LV2_Atom)), 0};
        std::memcpy(notify.get(), &head, sizeof head);
    }
    instance.descriptor->connect_port(instance.handle, kAudioPorts + kControlPorts, control.get());
    instance.descriptor->connect_port(instance.handle, kAudioPorts + kControlPorts + 1, notify.get());
    instance.events.clear();
    std::vector<float> input(2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        input[2 * i] = channels[0][i];
        input[2 * i + 1] = channels[1][i];
    }
    instance.descriptor->run(instance.handle, frames);
    instance.descriptor->connect_port(instance.handle, kAudioPorts + kControlPorts, nullptr);
    instance.descriptor->connect_port(instance.handle, kAudioPorts + kControlPorts + 1, nullptr);
    if (notify != nullptr) {
        checkNotify(instance, notify.get(), capacity, input, outLeft, outRight, n);
    }
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
        switch (op % 7) {
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
            case 6:
                queueMessage(instance, in);
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
