// AudioEffectX: the extended effect base class. It answers the extended opcodes
// and passes everything else to AudioEffect's dispatcher. It adds no fields.
#pragma once

#include "AudioEffect.h"

class AudioEffectX : public AudioEffect {
public:
    AudioEffectX(audioMasterCallback hostCallback, VstInt32 programCount, VstInt32 parameterCount);
    ~AudioEffectX() override = default;

    VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override;
    void resume() override {}
};
