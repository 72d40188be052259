// The messages between the plug-in and its window, over the two atom ports that
// follow the controls. The window asks for the audio with a Monitor object whose
// `on` property is a Bool; while it is on, every run sends the block's input and
// output as Block objects, each holding at most kPieceFrames frames: the rate, the
// position (frames since monitoring was switched on, so that a dropped piece shows
// as a gap) and the samples, planar (left in, right in, left out, right out), as one
// Vector of Float. Both sides read what they are handed within its stated sizes
// only and ignore whatever else it holds, so a message from elsewhere can't harm.
#pragma once

#include <lv2/atom/atom.h>
#include <lv2/urid/urid.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

// The window itself, as the bundle's description and the window's descriptor name it.
inline constexpr const char* kWindowUri = "urn:brevander:shuffler#ui";
inline constexpr const char* kMonitorUri = "urn:brevander:shuffler#Monitor";
inline constexpr const char* kMonitorOnUri = "urn:brevander:shuffler#on";
inline constexpr const char* kBlockUri = "urn:brevander:shuffler#Block";
inline constexpr const char* kBlockRateUri = "urn:brevander:shuffler#rate";
inline constexpr const char* kBlockPositionUri = "urn:brevander:shuffler#position";
inline constexpr const char* kBlockSamplesUri = "urn:brevander:shuffler#samples";

// The URIDs both sides use, mapped once, before any run (mapping is a host call).
struct MonitorUrids {
    LV2_URID sequence = 0, object = 0, vector = 0, boolean = 0, floatType = 0, doubleType = 0, longType = 0;
    LV2_URID eventTransfer = 0;
    LV2_URID monitor = 0, on = 0, block = 0, rate = 0, position = 0, samples = 0;

    bool mapped() const { return sequence != 0; }
    // All or nothing: without a map the ports stay unused.
    void map(const LV2_URID_Map* m) {
        if (m == nullptr || m->map == nullptr) {
            *this = MonitorUrids{};
            return;
        }
        auto uri = [m](const char* u) { return m->map(m->handle, u); };
        sequence = uri(LV2_ATOM__Sequence);
        object = uri(LV2_ATOM__Object);
        vector = uri(LV2_ATOM__Vector);
        boolean = uri(LV2_ATOM__Bool);
        floatType = uri(LV2_ATOM__Float);
        doubleType = uri(LV2_ATOM__Double);
        longType = uri(LV2_ATOM__Long);
        eventTransfer = uri(LV2_ATOM__eventTransfer);
        monitor = uri(kMonitorUri);
        on = uri(kMonitorOnUri);
        block = uri(kBlockUri);
        rate = uri(kBlockRateUri);
        position = uri(kBlockPositionUri);
        samples = uri(kBlockSamplesUri);
    }
};

inline constexpr std::uint32_t kMonitorChannels = 4;  // left in, right in, left out, right out
inline constexpr std::uint32_t kPieceFrames = 512;

inline constexpr std::uint32_t atomPadded(std::uint32_t size) { return (size + 7u) & ~7u; }

// One Block event of `frames` frames, from its time stamp to its last sample, and the
// byte offsets within it that the plug-in fills.
inline constexpr std::uint32_t kPropertyHeader = sizeof(LV2_Atom_Property_Body);
inline constexpr std::uint32_t kBlockHeaderBytes = sizeof(LV2_Atom_Event) + sizeof(LV2_Atom_Object_Body) +
                                                   2 * (kPropertyHeader + 8) + kPropertyHeader +
                                                   sizeof(LV2_Atom_Vector_Body);
inline constexpr std::uint32_t kSampleBytes = sizeof(float);
inline constexpr std::uint32_t blockEventBytes(std::uint32_t frames) {
    return atomPadded(kBlockHeaderBytes + kMonitorChannels * frames * kSampleBytes);
}
// What the notify port's buffer must hold for a run of kMonitoredRunFrames frames
// to go whole; the description declares it as the port's rsz:minimumSize.
inline constexpr std::uint32_t kMonitoredRunFrames = 8192;
inline constexpr std::uint32_t kNotifyMinimumBytes = 139264;
static_assert(kNotifyMinimumBytes >=
              sizeof(LV2_Atom_Sequence) + kMonitoredRunFrames / kPieceFrames * blockEventBytes(kPieceFrames));

// The UI's request, as an atom of its own (what write_function with
// atom:eventTransfer carries): an Object with one Bool property, written as
// kMonitorMessageBytes bytes.
inline constexpr std::uint32_t kMonitorMessageBytes =
    static_cast<std::uint32_t>(sizeof(LV2_Atom) + sizeof(LV2_Atom_Object_Body)) + kPropertyHeader + 8;
inline void writeMonitorMessage(void* to, const MonitorUrids& u, bool on) {
    unsigned char bytes[kMonitorMessageBytes] = {};
    const LV2_Atom head = {kMonitorMessageBytes - static_cast<std::uint32_t>(sizeof(LV2_Atom)), u.object};
    const LV2_Atom_Object_Body body = {0, u.monitor};
    const LV2_Atom_Property_Body property = {u.on, 0, {sizeof(std::int32_t), u.boolean}};
    const std::int32_t value = on ? 1 : 0;
    std::memcpy(bytes, &head, sizeof head);
    std::memcpy(bytes + sizeof head, &body, sizeof body);
    std::memcpy(bytes + sizeof head + sizeof body, &property, sizeof property);
    std::memcpy(bytes + sizeof head + sizeof body + sizeof property, &value, sizeof value);
    std::memcpy(to, bytes, sizeof bytes);
}

// Calls `visit(key, valueAtom, valueBody)` for each property of an Object whose body
// (`size` bytes after its atom header) is at `body`, as far as whole properties fit.
template <class Visit>
void forEachProperty(const unsigned char* body, std::uint32_t size, Visit&& visit) {
    if (size < sizeof(LV2_Atom_Object_Body)) {
        return;
    }
    std::uint32_t at = sizeof(LV2_Atom_Object_Body);
    while (size - at >= kPropertyHeader) {
        LV2_Atom_Property_Body property;
        std::memcpy(&property, body + at, sizeof property);
        if (property.value.size > size - at - kPropertyHeader) {
            return;
        }
        visit(property.key, property.value, body + at + kPropertyHeader);
        const std::uint32_t step = atomPadded(kPropertyHeader + property.value.size);
        if (step > size - at) {
            return;
        }
        at += step;
    }
}

// The Object's type, or 0 when `atom` is no Object or is too short to be one.
inline LV2_URID objectType(const LV2_Atom& atom, const unsigned char* body, const MonitorUrids& u) {
    if (atom.type != u.object || atom.size < sizeof(LV2_Atom_Object_Body)) {
        return 0;
    }
    LV2_Atom_Object_Body head;
    std::memcpy(&head, body, sizeof head);
    return head.otype;
}

// What a Monitor message asks: 1 on, 0 off, -1 when `atom` (with its body at `body`)
// is no well-formed Monitor message.
inline int monitorRequest(const LV2_Atom& atom, const unsigned char* body, const MonitorUrids& u) {
    if (!u.mapped() || objectType(atom, body, u) != u.monitor) {
        return -1;
    }
    int request = -1;
    forEachProperty(body, atom.size, [&](LV2_URID key, const LV2_Atom& value, const unsigned char* valueBody) {
        if (key == u.on && value.type == u.boolean && value.size >= sizeof(std::int32_t)) {
            std::int32_t on;
            std::memcpy(&on, valueBody, sizeof on);
            request = on != 0 ? 1 : 0;
        }
    });
    return request;
}

// A Block message as read: its samples stay where they are, and may be unaligned.
struct MonitorBlock {
    double rateHz = 0.0;
    std::int64_t position = 0;
    std::uint32_t frames = 0;
    const unsigned char* samples = nullptr;  // planar floats, kMonitorChannels * frames

    float sample(std::uint32_t channel, std::uint32_t frame) const {
        float x;
        std::memcpy(&x, samples + (static_cast<std::size_t>(channel) * frames + frame) * sizeof(float), sizeof x);
        return x;
    }
};

// Reads a Block message; false when `atom` is none or lacks a part.
inline bool readBlock(const LV2_Atom& atom, const unsigned char* body, const MonitorUrids& u, MonitorBlock& out) {
    if (!u.mapped() || objectType(atom, body, u) != u.block) {
        return false;
    }
    bool rate = false, position = false, samples = false;
    forEachProperty(body, atom.size, [&](LV2_URID key, const LV2_Atom& value, const unsigned char* valueBody) {
        if (key == u.rate && value.type == u.doubleType && value.size >= sizeof(double)) {
            std::memcpy(&out.rateHz, valueBody, sizeof(double));
            rate = true;
        } else if (key == u.position && value.type == u.longType && value.size >= sizeof(std::int64_t)) {
            std::memcpy(&out.position, valueBody, sizeof(std::int64_t));
            position = true;
        } else if (key == u.samples && value.type == u.vector && value.size >= sizeof(LV2_Atom_Vector_Body)) {
            LV2_Atom_Vector_Body vector;
            std::memcpy(&vector, valueBody, sizeof vector);
            const std::uint32_t bytes = value.size - static_cast<std::uint32_t>(sizeof vector);
            if (vector.child_type == u.floatType && vector.child_size == sizeof(float) &&
                bytes % (kMonitorChannels * sizeof(float)) == 0) {
                out.frames = bytes / static_cast<std::uint32_t>(kMonitorChannels * sizeof(float));
                out.samples = valueBody + sizeof vector;
                samples = true;
            }
        }
    });
    return rate && position && samples;
}

// Calls `visit(atom, body)` for each event of a Sequence whose body (`size` bytes
// after its atom header) is at `body`, as far as whole events fit.
template <class Visit>
void forEachEvent(const unsigned char* body, std::uint32_t size, Visit&& visit) {
    if (size < sizeof(LV2_Atom_Sequence_Body)) {
        return;
    }
    std::uint32_t at = sizeof(LV2_Atom_Sequence_Body);
    while (size - at >= sizeof(LV2_Atom_Event)) {
        LV2_Atom_Event event;
        std::memcpy(&event, body + at, sizeof event);
        if (event.body.size > size - at - sizeof(LV2_Atom_Event)) {
            return;
        }
        visit(event.body, body + at + sizeof(LV2_Atom_Event));
        const std::uint32_t step = atomPadded(static_cast<std::uint32_t>(sizeof(LV2_Atom_Event)) + event.body.size);
        if (step > size - at) {
            return;
        }
        at += step;
    }
}
