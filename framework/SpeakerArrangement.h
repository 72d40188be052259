// Speaker arrangements: the one host format the framework builds and copies itself.
// A block is an 8-byte header followed by numChannels speaker records of 112 bytes,
// and is exactly that long.
#pragma once

#include <cstddef>

#include "AEffect.h"

struct VstSpeakerProperties {
    float azimuth;
    float elevation;
    float radius;
    float reserved;
    char name[64];
    VstInt32 type;
    char future[28];
};
static_assert(sizeof(VstSpeakerProperties) == 112);
static_assert(offsetof(VstSpeakerProperties, name) == 16 && offsetof(VstSpeakerProperties, type) == 80);

// The header; numChannels speaker records follow it directly.
struct VstSpeakerArrangement {
    VstInt32 type;
    VstInt32 numChannels;
};
static_assert(sizeof(VstSpeakerArrangement) == 8);

inline constexpr std::size_t kSpeakerArrangementHeaderBytes = sizeof(VstSpeakerArrangement);

// Speaker record `channel` of an arrangement block.
inline VstSpeakerProperties* speakerOf(VstSpeakerArrangement* arrangement, VstInt32 channel) {
    return reinterpret_cast<VstSpeakerProperties*>(reinterpret_cast<char*>(arrangement) +
                                                   kSpeakerArrangementHeaderBytes) +
           channel;
}
