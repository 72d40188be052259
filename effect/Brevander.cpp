// Brevander: creation, construction, the per-sample signal path and the program name.
#include "Brevander.h"

#include <cmath>
#include <cstring>
#include <new>

#include "RelaxedFloat.h"
#include "StereoKernel.h"
#include "TextConversions.h"

namespace {

template <class Coefficients>
void takeIfUsable(Coefficients& running, const Coefficients& published) {
    const Coefficients candidate = published.loadRelaxed();
    if (candidate.isUsable()) {
        running = candidate;
    }
}

// A state that went non-finite (or ran away) is cleared once the block is done, so
// one bad sample from upstream costs at most the rest of its block.
template <class Section>
void keepSaneState(Section& section, const Section& worked) {
    section.state = worked.state.isSane() ? worked.state : typename Section::State{};
}
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
      bassAllPass(),
      running() {
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
    running = {vlfHighPass.coefficients, vlfAllPass.coefficients, spacingFilter.coefficients, bassShelf.coefficients,
               bassAllPass.coefficients};
}

void Brevander::designAllSections() {
    const float rateHz = loadRelaxed(sampleRate);
    const float vlfHz = loadRelaxed(vlfCutOff);
    const float fcHz = loadRelaxed(midBassCutFc);
    vlfHighPass.designHighPass(rateHz, vlfHz);
    vlfAllPass.design(rateHz, vlfHz);
    spacingFilter.design(rateHz, loadRelaxed(micSpacing), loadRelaxed(lfWidth));
    bassShelf.design(rateHz, fcHz, loadRelaxed(midBassCutGain), 1.0f);
    bassAllPass.design(rateHz, fcHz);
}

bool Brevander::isUsableSampleRate(float sampleRateHz) { return std::isfinite(sampleRateHz) && sampleRateHz > 0.0f; }

void Brevander::setSampleRate(float sampleRateHz) {
    AudioEffectX::setSampleRate(sampleRateHz);
    // Hosts often announce the rate after restoring the parameters, so waiting for the
    // next parameter change would leave every corner scaled by the ratio of the rates.
    if (isUsableSampleRate(sampleRateHz)) {
        storeRelaxed(sampleRate, sampleRateHz);
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

void Brevander::takeStableCoefficients() {
    takeIfUsable(running.vlfHighPass, vlfHighPass.coefficients);
    takeIfUsable(running.vlfAllPass, vlfAllPass.coefficients);
    takeIfUsable(running.spacingFilter, spacingFilter.coefficients);
    takeIfUsable(running.bassShelf, bassShelf.coefficients);
    takeIfUsable(running.bassAllPass, bassAllPass.coefficients);
}

void Brevander::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
    processWith(processStereoBlock, enableDifVlf, enableSumShelf, inputs, outputs, sampleFrames);
}

void Brevander::processWith(BlockKernel kernel, const float& difVlfSwitch, const float& sumShelfSwitch, float** inputs,
                            float** outputs, VstInt32 sampleFrames) {
    if (sampleFrames <= 0) {
        return;
    }
    // The block works on local copies, which the compiler can keep in registers; a
    // parameter thread only ever writes the members.
    takeStableCoefficients();
    StereoSections local{{running.vlfHighPass, vlfHighPass.state},
                         {running.vlfAllPass, vlfAllPass.state},
                         {running.spacingFilter, spacingFilter.state},
                         {running.bassShelf, bassShelf.state},
                         {running.bassAllPass, bassAllPass.state}};
    kernel(local, difVlfSwitch, sumShelfSwitch, inputs[0], inputs[1], outputs[0], outputs[1], sampleFrames);
    keepSaneState(vlfHighPass, local.vlfHighPass);
    keepSaneState(vlfAllPass, local.vlfAllPass);
    keepSaneState(spacingFilter, local.spacingFilter);
    keepSaneState(bassShelf, local.bassShelf);
    keepSaneState(bassAllPass, local.bassAllPass);
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
        storeRelaxed(sampleRate, announcedRate);
    }
    if (index < 0 || index >= kNumParams) {
        return;
    }
    const auto parameter = static_cast<ParameterIndex>(index);
    storeRelaxed(storedValue(parameter), toStored(kParameterTable[static_cast<std::size_t>(parameter)], value));

    // Each change redesigns only the sections it feeds, reading the values back from
    // the members. A design that would be unstable or non-finite is not taken: the
    // section keeps its last good coefficients, while the value reads back as set.
    const float rateHz = loadRelaxed(sampleRate);
    switch (parameter) {
        case kVlfCutOff:
            vlfHighPass.designHighPass(rateHz, loadRelaxed(vlfCutOff));
            vlfAllPass.design(rateHz, loadRelaxed(vlfCutOff));
            break;
        case kLfWidth:
        case kMicSpacing:
            spacingFilter.design(rateHz, loadRelaxed(micSpacing), loadRelaxed(lfWidth));
            break;
        case kMidBassCutGain:
            bassShelf.design(rateHz, loadRelaxed(midBassCutFc), loadRelaxed(midBassCutGain), 1.0f);
            break;
        case kMidBassCutFc:
            bassShelf.design(rateHz, loadRelaxed(midBassCutFc), loadRelaxed(midBassCutGain), 1.0f);
            bassAllPass.design(rateHz, loadRelaxed(midBassCutFc));
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
    return toNormalised(kParameterTable[static_cast<std::size_t>(parameter)], loadRelaxed(storedValue(parameter)));
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
    const float value = loadRelaxed(storedValue(parameter));
    switch (kParameterTable[static_cast<std::size_t>(parameter)].display) {
        case ParameterDisplay::onOff:
            std::strcpy(text, isSwitchOn(value) ? "On" : "Off");
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
