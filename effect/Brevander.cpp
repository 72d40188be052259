// Brevander: creation, construction, the per-sample signal path and the program name.
#include "Brevander.h"

#include <cmath>
#include <cstring>
#include <new>

#include "TextConversions.h"

namespace {
// The single-precision value nearest 1/sqrt(2), used as it is: 2k^2 is 0.99999997, not 1.
constexpr float kSumDifferenceScale = 0.70710677f;

bool isOn(float switchValue) { return static_cast<double>(switchValue) > 0.5; }
}  // namespace

AudioEffect* createEffectInstance(audioMasterCallback hostCallback) {
    return new (std::nothrow) Brevander(hostCallback);
}

Brevander::Brevander(audioMasterCallback hostCallback)
    : AudioEffectX(hostCallback, kNumPrograms, kNumParams),
      enableDifVlf(),
      enableSumShelf(),
      lfWidth(),
      vlfCutOff(),
      micSpacing(),
      midBassCutGain(),
      midBassCutFc(),
      sampleRate(),
      programName(),
      vlfHighPass(),
      vlfAllPass(),
      spacingFilter(),
      bassShelf(),
      bassAllPass() {
    setNumInputs(2);
    setNumOutputs(2);
    setUniqueID(fourCharCode('B', 'r', 'v', 'd'));
    canProcessReplacing(true);
    vst_strncpy(programName, "Default", kProgramNameSize - 1);

    enableDifVlf = 1.0f;
    lfWidth = 100.0f;
    vlfCutOff = 20.0f;
    micSpacing = 18.0f;
    enableSumShelf = 1.0f;
    midBassCutGain = 0.83f;
    midBassCutFc = 80.0f;

    sampleRate = getSampleRate();
    designAllSections();
}

void Brevander::designAllSections() {
    vlfHighPass.designHighPass(sampleRate, vlfCutOff);
    vlfAllPass.design(sampleRate, vlfCutOff);
    spacingFilter.design(sampleRate, micSpacing, lfWidth);
    bassShelf.design(sampleRate, midBassCutFc, midBassCutGain, 1.0f);
    bassAllPass.design(sampleRate, midBassCutFc);
}

bool Brevander::isUsableSampleRate(float sampleRateHz) { return std::isfinite(sampleRateHz) && sampleRateHz > 0.0f; }

void Brevander::setSampleRate(float sampleRateHz) {
    AudioEffectX::setSampleRate(sampleRateHz);
    // Hosts often announce the rate after restoring the parameters, so waiting for the
    // next parameter change would leave every corner scaled by the ratio of the rates.
    if (isUsableSampleRate(sampleRateHz)) {
        sampleRate = sampleRateHz;
        designAllSections();
    }
}

void Brevander::suspend() {
    vlfHighPass.clear();
    vlfAllPass.clear();
    spacingFilter.clear();
    bassShelf.clear();
    bassAllPass.clear();
}

void Brevander::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
    const double k = kSumDifferenceScale;
    const float* inLeft = inputs[0];
    const float* inRight = inputs[1];
    float* outLeft = outputs[0];
    float* outRight = outputs[1];
    for (VstInt32 i = 0; i < sampleFrames; ++i) {
        // Both inputs are read before either output is written, so processing in place is safe.
        const double left = inLeft[i];
        const double right = inRight[i];
        float sum = single((left + right) * k);
        float dif = single((left - right) * k);

        // The switches are read afresh for every frame: a host may move them while this runs.
        if (isOn(enableDifVlf)) {
            sum = vlfHighPass.processSample(sum);
            dif = vlfAllPass.processSample(dif);
        }
        dif = spacingFilter.processSample(dif);
        if (isOn(enableSumShelf)) {
            sum = bassShelf.processSample(sum);
            dif = bassAllPass.processSample(dif);
        }

        outLeft[i] = single((static_cast<double>(sum) + dif) * k);
        outRight[i] = single((static_cast<double>(sum) - dif) * k);
    }
}

float& Brevander::storedValue(ParameterIndex index) {
    // In parameter-index order, which is not the members' order.
    static constexpr float Brevander::*kMembers[kNumParams] = {
        &Brevander::enableDifVlf,   &Brevander::vlfCutOff,      &Brevander::lfWidth,      &Brevander::micSpacing,
        &Brevander::enableSumShelf, &Brevander::midBassCutGain, &Brevander::midBassCutFc,
    };
    return this->*kMembers[index];
}

void Brevander::setParameter(VstInt32 index, float value) {
    // The rate is refreshed on every call, whatever the index; a rate the sections
    // cannot be designed for is never taken.
    const float announcedRate = getSampleRate();
    if (isUsableSampleRate(announcedRate)) {
        sampleRate = announcedRate;
    }
    if (index < 0 || index >= kNumParams) {
        return;
    }
    const auto parameter = static_cast<ParameterIndex>(index);
    storedValue(parameter) = toStored(kParameterTable[parameter], value);

    // Each change redesigns only the sections it feeds, reading the values back from the members.
    switch (parameter) {
        case kVlfCutOff:
            vlfHighPass.designHighPass(sampleRate, vlfCutOff);
            vlfAllPass.design(sampleRate, vlfCutOff);
            break;
        case kLfWidth:
        case kMicSpacing:
            spacingFilter.design(sampleRate, micSpacing, lfWidth);
            break;
        case kMidBassCutGain:
            bassShelf.design(sampleRate, midBassCutFc, midBassCutGain, 1.0f);
            break;
        case kMidBassCutFc:
            bassShelf.design(sampleRate, midBassCutFc, midBassCutGain, 1.0f);
            bassAllPass.design(sampleRate, midBassCutFc);
            break;
        case kEnableDifVlf:
        case kEnableSumShelf:
        case kNumParams:
            break;
    }
}

float Brevander::getParameter(VstInt32 index) {
    if (index < 0 || index >= kNumParams) {
        return 0.0f;
    }
    const auto parameter = static_cast<ParameterIndex>(index);
    return toNormalised(kParameterTable[parameter], storedValue(parameter));
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
    if (index < 0 || index >= kNumParams) {
        return;
    }
    // Hosts show four characters of the eight-character rendering.
    constexpr VstInt32 kDisplayLength = 4;
    const auto parameter = static_cast<ParameterIndex>(index);
    const float value = storedValue(parameter);
    switch (kParameterTable[parameter].display) {
        case ParameterDisplay::onOff:
            std::strcpy(text, isOn(value) ? "On" : "Off");
            break;
        case ParameterDisplay::number:
            float2string(value, text, kDisplayLength);
            break;
        case ParameterDisplay::decibels:
            dB2string(value, text, kDisplayLength);
            break;
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
