// Brevander as a VST 2 plug-in: creation, the record's settings, the host's rate,
// the normalised parameter values, their texts and the program name. The effect
// itself is the core's (ShufflerCore.cpp).
#include "Brevander.h"

#include <cstring>
#include <new>

#include "ParameterText.h"
#include "StereoKernel.h"
#include "TextConversions.h"

AudioEffect* createEffectInstance(audioMasterCallback hostCallback) {
    return new (std::nothrow) Brevander(hostCallback);
}

Brevander::Brevander(audioMasterCallback hostCallback)
    : AudioEffectX(hostCallback, kNumPrograms, kNumParams), ShufflerCore(), programName() {
    setNumInputs(2);
    setNumOutputs(2);
    setUniqueID(fourCharCode('B', 'r', 'v', 'd'));
    canProcessReplacing(true);
    vst_strncpy(programName, "Default", kProgramNameSize - 1);
}

void Brevander::setSampleRate(float sampleRateHz) {
    AudioEffectX::setSampleRate(sampleRateHz);
    // Hosts often announce the rate after restoring the parameters, so waiting for the
    // next parameter change would leave every corner scaled by the ratio of the rates.
    redesignForSampleRate(sampleRateHz);
}

void Brevander::suspend() { clearStates(); }

void Brevander::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
    processWith(processStereoBlock, enableDifVlf, enableSumShelf, inputs, outputs, sampleFrames);
}

void Brevander::processWith(BlockKernel kernel, const float& difVlfSwitch, const float& sumShelfSwitch, float** inputs,
                            float** outputs, VstInt32 sampleFrames) {
    if (sampleFrames <= 0) {
        return;
    }
    processBlockWith(kernel, difVlfSwitch, sumShelfSwitch, inputs[0], inputs[1], outputs[0], outputs[1], sampleFrames);
}

void Brevander::setParameter(VstInt32 index, float value) {
    // The rate is refreshed on every call, whatever the index; a rate the sections
    // cannot be designed for is never taken.
    announceSampleRate(getSampleRate());
    if (index < 0 || index >= kNumParams) {
        return;
    }
    const auto parameter = static_cast<ParameterIndex>(index);
    applyStoredValue(parameter, toStored(kParameterTable[static_cast<std::size_t>(parameter)], value));
}

float Brevander::getParameter(VstInt32 index) {
    if (index < 0 || index >= kNumParams) {
        return 0.0f;
    }
    const auto parameter = static_cast<ParameterIndex>(index);
    return toNormalised(kParameterTable[static_cast<std::size_t>(parameter)], storedValueOf(parameter));
}

void Brevander::getParameterName(VstInt32 index, char* text) {
    if (index >= 0 && index < kNumParams) {
        std::strcpy(text, kParameterTable[static_cast<std::size_t>(index)].name);
    }
}

void Brevander::getParameterLabel(VstInt32 index, char* label) {
    if (index >= 0 && index < kNumParams) {
        std::strcpy(label, kParameterTable[static_cast<std::size_t>(index)].label);
    }
}

void Brevander::getParameterDisplay(VstInt32 index, char* text) {
    if (index >= 0 && index < kNumParams) {
        const auto parameter = static_cast<ParameterIndex>(index);
        parameterText(kParameterTable[static_cast<std::size_t>(parameter)], storedValueOf(parameter), text);
    }
}

void Brevander::setProgramName(char* name) {
    // A longer name is cut to what the member holds.
    vst_strncpy(programName, name, kProgramNameSize - 1);
}

void Brevander::getProgramName(char* name) {
    // The stored name and its terminator, and not a byte more of the host's buffer.
    std::memcpy(name, programName, std::strlen(programName) + 1);
}
