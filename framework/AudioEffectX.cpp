// AudioEffectX: construction and the extended dispatcher.
#include "AudioEffectX.h"

AudioEffectX::AudioEffectX(audioMasterCallback hostCallback, VstInt32 programCount, VstInt32 parameterCount)
    : AudioEffect(hostCallback, programCount, parameterCount) {}

VstIntPtr AudioEffectX::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
}
