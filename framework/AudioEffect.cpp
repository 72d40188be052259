// AudioEffect: construction, the default operations and the host queries.
#include "AudioEffect.h"

#include <cstring>

#include "Opcodes.h"

AudioEffect::AudioEffect(audioMasterCallback hostCallback, VstInt32 programCount, VstInt32 parameterCount)
    : audioMaster(hostCallback),
      editor(nullptr),
      currentSampleRate(44100.0f),
      blockSize(1024),
      numPrograms(programCount),
      numParams(parameterCount),
      curProgram(0),
      cEffect() {
    std::memset(&cEffect, 0, sizeof cEffect);
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEntry;
    cEffect.process = processEntry;
    cEffect.setParameter = setParameterEntry;
    cEffect.getParameter = getParameterEntry;
    cEffect.numPrograms = programCount;
    cEffect.numParams = parameterCount;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = fourCharCode('N', 'o', 'E', 'f');
    cEffect.version = 1;
    cEffect.processReplacing = processReplacingEntry;
    canProcessReplacing(true);
    cEffect.processDoubleReplacing = processDoubleReplacingEntry;
}

AudioEffect::~AudioEffect() { delete editor; }

void AudioEffect::processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames) {
    (void)inputs;
    (void)outputs;
    (void)sampleFrames;
}

void AudioEffect::process(float** inputs, float** outputs, VstInt32 sampleFrames) {
    (void)inputs;
    (void)outputs;
    (void)sampleFrames;
}

void AudioEffect::setParameter(VstInt32 index, float value) {
    (void)index;
    (void)value;
}

float AudioEffect::getParameter(VstInt32 index) {
    (void)index;
    return 0.0f;
}

void AudioEffect::setParameterAutomated(VstInt32 index, float value) {
    setParameter(index, value);
    if (audioMaster != nullptr) {
        audioMaster(&cEffect, audioMasterAutomate, index, 0, nullptr, value);
    }
}

void AudioEffect::setProgramName(char* name) { (void)name; }

void AudioEffect::getProgramName(char* name) { *name = 0; }

void AudioEffect::getParameterLabel(VstInt32 index, char* label) {
    (void)index;
    *label = 0;
}

void AudioEffect::getParameterDisplay(VstInt32 index, char* text) {
    (void)index;
    *text = 0;
}

void AudioEffect::getParameterName(VstInt32 index, char* text) {
    (void)index;
    *text = 0;
}

VstInt32 AudioEffect::getChunk(void** data, bool isPreset) {
    (void)data;
    (void)isPreset;
    return 0;
}

VstInt32 AudioEffect::setChunk(void* data, VstInt32 byteSize, bool isPreset) {
    (void)data;
    (void)byteSize;
    (void)isPreset;
    return 0;
}

VstInt32 AudioEffect::getMasterVersion() {
    const auto answer = static_cast<VstInt32>(callHost(audioMasterVersion, 0, 0, nullptr, 0.0f, 1));
    return answer == 0 ? 1 : answer;
}

VstInt32 AudioEffect::getCurrentUniqueId() {
    return static_cast<VstInt32>(callHost(audioMasterCurrentId, 0, 0, nullptr, 0.0f, 0));
}

void AudioEffect::masterIdle() { callHost(audioMasterIdle, 0, 0, nullptr, 0.0f, 0); }

// The host answers 0 for a connected pin; with no host every pin counts as connected.
bool AudioEffect::isInputConnected(VstInt32 input) {
    return callHost(audioMasterPinConnected, input, 0, nullptr, 0.0f, 0) == 0;
}

bool AudioEffect::isOutputConnected(VstInt32 output) {
    return callHost(audioMasterPinConnected, output, 1, nullptr, 0.0f, 0) == 0;
}

void AudioEffect::setFlag(VstInt32 bit, bool state) {
    if (state) {
        cEffect.flags |= bit;
    } else {
        cEffect.flags &= ~bit;
    }
}

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt,
                                VstIntPtr fallback) {
    if (audioMaster == nullptr) {
        return fallback;
    }
    return audioMaster(&cEffect, opcode, index, value, ptr, opt);
}
