// The LV2 descriptor's functions. Control ports carry values in their own units;
// run hands the core only those that changed, so a steady setting costs nothing
// and each change redesigns exactly what the VST 2 binding's setParameter would.
#include "Lv2Shuffler.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <new>

namespace {

LV2_Handle instantiate(const LV2_Descriptor*, double sampleRateHz, const char*, const LV2_Feature* const* features) {
    auto* instance = new (std::nothrow) Lv2ShufflerInstance;
    if (instance == nullptr) {
        return nullptr;
    }
    // Only the window's ports need URIDs; a host without the map runs the effect alone.
    for (const LV2_Feature* const* f = features; f != nullptr && *f != nullptr; ++f) {
        if ((*f)->URI != nullptr && std::strcmp((*f)->URI, LV2_URID__map) == 0) {
            instance->urids.map(static_cast<const LV2_URID_Map*>((*f)->data));
        }
    }
    instance->rateHz = sampleRateHz;
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
        case kPortControl:
            instance.control = static_cast<const LV2_Atom_Sequence*>(data);
            break;
        case kPortNotify:
            instance.notify = static_cast<LV2_Atom_Sequence*>(data);
            break;
        default:
            if (port >= kFirstControlPort && port < kPortControl) {
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

// The window's requests: the last well-formed Monitor message of the run decides.
// Switching on starts the position from zero, so the window sees where it begins.
void takeMessages(Lv2ShufflerInstance& instance) {
    if (instance.control == nullptr || !instance.urids.mapped() ||
        instance.control->atom.type != instance.urids.sequence) {
        return;
    }
    const auto* body = reinterpret_cast<const unsigned char*>(instance.control) + sizeof(LV2_Atom);
    forEachEvent(body, instance.control->atom.size, [&instance](const LV2_Atom& atom, const unsigned char* eventBody) {
        const int request = monitorRequest(atom, eventBody, instance.urids);
        if (request == 1 && !instance.monitoring) {
            instance.monitoring = true;
            instance.monitoredFrames = 0;
        } else if (request == 0) {
            instance.monitoring = false;
        }
    });
}

// The notify port's buffer as the host hands it: its atom's size is the space after
// the atom header. Answers the bytes left for events once the empty sequence that
// every run must leave is written; 0 when none fits or the port is unused.
std::uint32_t startNotifySequence(Lv2ShufflerInstance& instance) {
    LV2_Atom_Sequence* notify = instance.notify;
    if (notify == nullptr) {
        return 0;
    }
    if (!instance.urids.mapped() || notify->atom.size < sizeof(LV2_Atom_Sequence_Body)) {
        notify->atom.size = 0;
        return 0;
    }
    const std::uint32_t capacity = notify->atom.size - static_cast<std::uint32_t>(sizeof(LV2_Atom_Sequence_Body));
    notify->atom = {static_cast<std::uint32_t>(sizeof(LV2_Atom_Sequence_Body)), instance.urids.sequence};
    notify->body = {0, 0};
    return instance.monitoring ? capacity : 0;
}

template <class Value>
unsigned char* put(unsigned char* at, const Value& value) {
    std::memcpy(at, &value, sizeof value);
    return at + sizeof value;
}

// Appends the Block events for frames [0, frames) as far as `capacity` bytes hold
// whole pieces, each with its input copied in (before processing, which may
// overwrite it in place); answers how many frames they hold.
std::uint32_t writeInputPieces(Lv2ShufflerInstance& instance, std::uint32_t frames, std::uint32_t capacity) {
    const MonitorUrids& u = instance.urids;
    auto* events = reinterpret_cast<unsigned char*>(instance.notify) + sizeof(LV2_Atom_Sequence);
    std::uint32_t used = 0, done = 0;
    while (done < frames) {
        const std::uint32_t n = std::min(frames - done, kPieceFrames);
        const std::uint32_t bytes = blockEventBytes(n);
        if (bytes > capacity - used) {
            break;
        }
        const auto samplesBytes = static_cast<std::uint32_t>(kMonitorChannels * n * sizeof(float));
        unsigned char* at = events + used;
        at = put(at, static_cast<std::int64_t>(done));
        at = put(at, LV2_Atom{bytes - static_cast<std::uint32_t>(sizeof(LV2_Atom_Event)), u.object});
        at = put(at, LV2_Atom_Object_Body{0, u.block});
        at = put(at, LV2_Atom_Property_Body{u.rate, 0, {sizeof(double), u.doubleType}});
        at = put(at, instance.rateHz);
        at = put(at, LV2_Atom_Property_Body{u.position, 0, {sizeof(std::int64_t), u.longType}});
        at = put(at, instance.monitoredFrames + done);
        at = put(
            at, LV2_Atom_Property_Body{
                    u.samples, 0, {static_cast<std::uint32_t>(sizeof(LV2_Atom_Vector_Body)) + samplesBytes, u.vector}});
        at = put(at, LV2_Atom_Vector_Body{sizeof(float), u.floatType});
        std::memcpy(at, instance.inputs[0] + done, n * sizeof(float));
        std::memcpy(at + n * sizeof(float), instance.inputs[1] + done, n * sizeof(float));
        std::memset(at + samplesBytes, 0, bytes - kBlockHeaderBytes - samplesBytes);  // the padding
        used += bytes;
        done += n;
    }
    instance.notify->atom.size += used;
    return done;
}

// Fills the output halves of the pieces writeInputPieces wrote for `frames` frames.
void writeOutputPieces(Lv2ShufflerInstance& instance, std::uint32_t frames) {
    if (frames == 0) {
        return;  // no pieces, and perhaps no buffer
    }
    auto* at = reinterpret_cast<unsigned char*>(instance.notify) + sizeof(LV2_Atom_Sequence);
    for (std::uint32_t done = 0; done < frames;) {
        const std::uint32_t n = std::min(frames - done, kPieceFrames);
        unsigned char* samples = at + kBlockHeaderBytes + 2 * n * sizeof(float);
        std::memcpy(samples, instance.outputs[0] + done, n * sizeof(float));
        std::memcpy(samples + n * sizeof(float), instance.outputs[1] + done, n * sizeof(float));
        at += blockEventBytes(n);
        done += n;
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
    takeMessages(instance);
    const std::uint32_t capacity = startNotifySequence(instance);
    if (instance.inputs[0] == nullptr || instance.inputs[1] == nullptr || instance.outputs[0] == nullptr ||
        instance.outputs[1] == nullptr) {
        return;
    }
    const std::uint32_t sent = capacity > 0 ? writeInputPieces(instance, frames, capacity) : 0;
    const std::uint32_t longest = std::clamp(longestPartFrames, 1u, kLongestPartFrames);
    for (std::uint32_t done = 0; done < frames;) {
        const std::uint32_t part = frames - done < longest ? frames - done : longest;
        instance.core.processBlock(instance.inputs[0] + done, instance.inputs[1] + done, instance.outputs[0] + done,
                                   instance.outputs[1] + done, static_cast<std::int32_t>(part));
        done += part;
    }
    writeOutputPieces(instance, sent);
    if (instance.monitoring) {
        // Frames that found no room still count, so the window sees the gap.
        instance.monitoredFrames += frames;
    }
}
