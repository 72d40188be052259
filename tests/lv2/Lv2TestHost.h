// Drives the LV2 binding linked into the test program through its descriptor's
// functions, as a host calls them, and shows the core behind an instance.
#pragma once

#include <array>
#include <cstring>
#include <vector>

#include "Lv2Shuffler.h"
#include "StereoBlock.h"
#include "TestUridMap.h"

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
    return a.frames() == b.frames() &&
           (a.frames() == 0 || (std::memcmp(a.left.data(), b.left.data(), a.frames() * sizeof(float)) == 0 &&
                                std::memcmp(a.right.data(), b.right.data(), a.frames() * sizeof(float)) == 0));
}

class Lv2TestHost {
public:
    // Instantiates at `rateHz`, connects every control port to `controls` (set to
    // the ports' defaults) and activates.
    explicit Lv2TestHost(double rateHz = 44100.0)
        : descriptor(brevanderLv2Descriptor()), handle(descriptor.instantiate(&descriptor, rateHz, "", features)) {
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

    // The window's ports as a host connects them: the messages to the plug-in queued
    // with send() go with the next run, which the notify buffer of `notifyBytes`
    // (the size a host gives) then holds the answer of.
    void connectWindowPorts(std::uint32_t notifyBytes = kNotifyMinimumBytes) {
        urids.map(uridMap.map());
        notifyBuffer.assign(notifyBytes / 8 + 1, 0);
        controlBuffer.assign(1024, 0);
        clearMessages();
        descriptor.connect_port(handle, kPortControl, controlBuffer.data());
        descriptor.connect_port(handle, kPortNotify, notifyBuffer.data());
        notifyCapacity = notifyBytes;
    }
    // Appends `message` (an atom and its body, `bytes` long) as an event to the next run.
    void send(const void* message, std::uint32_t bytes) {
        auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(controlBuffer.data());
        auto* at = reinterpret_cast<unsigned char*>(controlBuffer.data()) + sizeof(LV2_Atom) + sequence->atom.size;
        const std::int64_t time = 0;
        std::memcpy(at, &time, sizeof time);
        std::memcpy(at + sizeof time, message, bytes);
        sequence->atom.size += atomPadded(static_cast<std::uint32_t>(sizeof time) + bytes);
    }
    void sendMonitor(bool on) {
        unsigned char message[kMonitorMessageBytes];
        writeMonitorMessage(message, urids, on);
        send(message, kMonitorMessageBytes);
    }
    void* controlMessages() { return controlBuffer.data(); }
    const void* notifyBytes() const { return notifyBuffer.data(); }
    void clearMessages() {
        auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(controlBuffer.data());
        sequence->atom = {sizeof(LV2_Atom_Sequence_Body), urids.sequence};
        sequence->body = {0, 0};
    }
    // Before each run, as hosts do: the notify buffer's capacity in its atom's size.
    void prepareNotify() {
        auto* notify = reinterpret_cast<LV2_Atom*>(notifyBuffer.data());
        *notify = {notifyCapacity - static_cast<std::uint32_t>(sizeof(LV2_Atom)), 0};
    }
    // What the last run sent: the Block messages, and whether the sequence as a whole
    // was well-formed (its events fill it exactly).
    std::vector<MonitorBlock> sentBlocks(bool* wellFormed = nullptr) const {
        const auto* notify = reinterpret_cast<const LV2_Atom*>(notifyBuffer.data());
        std::vector<MonitorBlock> blocks;
        std::uint32_t covered = sizeof(LV2_Atom_Sequence_Body);
        forEachEvent(reinterpret_cast<const unsigned char*>(notify) + sizeof(LV2_Atom), notify->size,
                     [&](const LV2_Atom& atom, const unsigned char* body) {
                         covered += atomPadded(static_cast<std::uint32_t>(sizeof(LV2_Atom_Event)) + atom.size);
                         MonitorBlock block;
                         if (readBlock(atom, body, urids, block)) {
                             blocks.push_back(block);
                         }
                     });
        if (wellFormed != nullptr) {
            *wellFormed = notify->type == urids.sequence && covered == notify->size;
        }
        return blocks;
    }
    // One run over `input` with the window's ports: the messages queued go, then are cleared.
    StereoBlock runWithWindow(StereoBlock input, bool inPlace = false) {
        prepareNotify();
        StereoBlock output = inPlace ? runInPlace(std::move(input)) : run(std::move(input));
        clearMessages();
        return output;
    }

    TestUridMap uridMap;
    MonitorUrids urids;
    const LV2_Feature* features[2] = {uridMap.feature(), nullptr};
    const LV2_Descriptor& descriptor;
    LV2_Handle handle;

private:
    std::array<float, kNumParams> controls{};
    std::vector<std::uint64_t> controlBuffer, notifyBuffer;  // 64-bit words: atoms are 8-byte aligned
    std::uint32_t notifyCapacity = 0;
};
