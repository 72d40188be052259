// The LV2 descriptor's functions. Control ports carry values in their own units;
// run hands the core only those that changed, so a steady setting costs nothing
// and each change redesigns exactly what the VST 2 binding's setParameter would.
#include "Lv2Shuffler.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <limits>
#include <new>

namespace {

LV2_Handle instantiate(const LV2_Descriptor*, double sampleRateHz, const char*, const LV2_Feature* const*) {
    auto* instance = new (std::nothrow) Lv2ShufflerInstance;
    if (instance == nullptr) {
        return nullptr;
    }
    for (std::size_t i = 0; i < kNumParams; ++i) {
        // The core starts at the defaults, which are these port values once converted.
        instance->appliedBits[i] = std::bit_cast<std::uint32_t>(portDefault(static_cast<ParameterIndex>(i)));
    }
    // A rate past the largest float has no float of its own; like any unusable rate it
    // is never designed for, and the sections keep the core's first design.
    const float rateHz = std::fabs(sampleRateHz) <= static_cast<double>(std::numeric_limits<float>::max())
                             ? static_cast<float>(sampleRateHz)
                             : std::numeric_limits<float>::infinity();
    instance->core.redesignForSampleRate(rateHz);
    return instance;
}

void connectPort(LV2_Handle handle, std::uint32_t port, void* data) {
    auto& instance = *static_cast<Lv2ShufflerInstance*>(handle);
    switch (port) {
        case kPortInLeft:
        case kPortInRight:
            instance.inputs[port - kPortInLeft] = static_cast<const float*>(data);
            break;
        case kPortOutLeft:
        case kPortOutRight:
            instance.outputs[port - kPortOutLeft] = static_cast<float*>(data);
            break;
        default:
            if (port >= kFirstControlPort && port < kNumPorts) {
                instance.controls[port - kFirstControlPort] = static_cast<const float*>(data);
            }
            break;
    }
}

// A host switching the plug-in on again after a pause: as a VST 2 host's switch-on,
// the filters start from silence rather than from where the last block left them.
void activate(LV2_Handle handle) { static_cast<Lv2ShufflerInstance*>(handle)->core.clearStates(); }

void applyChangedControls(Lv2ShufflerInstance& instance) {
    // In parameter order, as a VST 2 host restoring a setting sets them.
    for (std::size_t i = 0; i < kNumParams; ++i) {
        const float* port = instance.controls[i];
        if (port == nullptr) {
            continue;
        }
        const float value = *port;
        const auto bits = std::bit_cast<std::uint32_t>(value);
        if (bits != instance.appliedBits[i]) {
            instance.appliedBits[i] = bits;
            const auto index = static_cast<ParameterIndex>(i);
            instance.core.applyStoredValue(index, storedFromPortValue(index, value));
        }
    }
}

void run(LV2_Handle handle, std::uint32_t frames) { runInParts(handle, frames, kLongestPartFrames); }

void deactivate(LV2_Handle) {}

void cleanup(LV2_Handle handle) { delete static_cast<Lv2ShufflerInstance*>(handle); }

const void* extensionData(const char*) { return nullptr; }

const LV2_Descriptor kDescriptor = {kBrevanderLv2Uri, instantiate, connectPort,  activate, run,
                                    deactivate,       cleanup,     extensionData};
}  // namespace

const LV2_Descriptor& brevanderLv2Descriptor() { return kDescriptor; }

void runInParts(LV2_Handle handle, std::uint32_t frames, std::uint32_t longestPartFrames) {
    auto& instance = *static_cast<Lv2ShufflerInstance*>(handle);
    applyChangedControls(instance);
    if (instance.inputs[0] == nullptr || instance.inputs[1] == nullptr || instance.outputs[0] == nullptr ||
        instance.outputs[1] == nullptr) {
        return;
    }
    const std::uint32_t longest = std::clamp(longestPartFrames, 1u, kLongestPartFrames);
    for (std::uint32_t done = 0; done < frames;) {
        const std::uint32_t part = frames - done < longest ? frames - done : longest;
        instance.core.processBlock(instance.inputs[0] + done, instance.inputs[1] + done, instance.outputs[0] + done,
                                   instance.outputs[1] + done, static_cast<std::int32_t>(part));
        done += part;
    }
}
