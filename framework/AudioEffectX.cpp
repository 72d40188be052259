// AudioEffectX: construction, resume, the plug category and the speaker-arrangement helpers.
#include "AudioEffectX.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "CapabilityWords.h"
#include "TextConversions.h"

AudioEffectX::AudioEffectX(audioMasterCallback hostCallback, VstInt32 programCount, VstInt32 parameterCount)
    : AudioEffect(hostCallback, programCount, parameterCount) {}

void AudioEffectX::resume() {
    if ((cEffect.flags & effFlagsIsSynth) != 0) {
        wantEvents(1);
        return;
    }
    char word[32];
    std::strcpy(word, PlugCanDo::kReceiveVstMidiEvent);
    if (canDo(word) == 1) {
        wantEvents(1);
    }
}

VstInt32 AudioEffectX::getPlugCategory() { return (cEffect.flags & effFlagsIsSynth) != 0 ? 2 : 0; }

bool AudioEffectX::getSpeakerArrangement(VstSpeakerArrangement** input, VstSpeakerArrangement** output) {
    // A host that passes no variable to fill gets the same answer.
    if (input != nullptr) {
        *input = nullptr;
    }
    if (output != nullptr) {
        *output = nullptr;
    }
    return false;
}

bool AudioEffectX::allocateArrangement(VstSpeakerArrangement** arrangement, VstInt32 channels) {
    if (arrangement == nullptr) {
        return false;
    }
    if (*arrangement != nullptr) {
        std::free(*arrangement);
        *arrangement = nullptr;
    }
    constexpr std::size_t kMaxChannels = (SIZE_MAX - kSpeakerArrangementHeaderBytes) / sizeof(VstSpeakerProperties);
    if (channels < 0 || static_cast<std::size_t>(channels) > kMaxChannels) {
        return false;
    }
    const std::size_t bytes =
        kSpeakerArrangementHeaderBytes + sizeof(VstSpeakerProperties) * static_cast<std::size_t>(channels);
    // calloc leaves the type and every speaker record zero.
    auto* block = static_cast<VstSpeakerArrangement*>(std::calloc(1, bytes));
    if (block == nullptr) {
        return false;
    }
    block->numChannels = channels;
    *arrangement = block;
    return true;
}

bool AudioEffectX::deleteArrangement(VstSpeakerArrangement** arrangement) {
    if (arrangement != nullptr && *arrangement != nullptr) {
        std::free(*arrangement);
        *arrangement = nullptr;
    }
    return true;
}

bool AudioEffectX::copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from) {
    if (from == nullptr || to == nullptr) {
        return false;
    }
    vst_strncpy(to->name, from->name, 63);
    to->type = from->type;
    to->azimuth = from->azimuth;
    to->elevation = from->elevation;
    to->radius = from->radius;
    to->reserved = from->reserved;
    std::memcpy(to->future, from->future, sizeof to->future);
    return true;
}

bool AudioEffectX::matchArrangement(VstSpeakerArrangement** to, VstSpeakerArrangement* from) {
    if (from == nullptr) {
        return false;
    }
    if (!deleteArrangement(to)) {
        return false;
    }
    if (!allocateArrangement(to, from->numChannels)) {
        return false;
    }
    (*to)->type = from->type;
    for (VstInt32 i = 0; i < (*to)->numChannels; ++i) {
        if (!copySpeaker(speakerOf(*to, i), speakerOf(from, i))) {
            return false;
        }
    }
    return true;
}
