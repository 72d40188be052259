// The effect's core: defaults, redesign rules and the block around the kernel.
#include "ShufflerCore.h"

#include <cmath>
#include <cstddef>

#include "RelaxedFloat.h"
#include "StereoKernel.h"

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

ShufflerCore::ShufflerCore()
    : enableDifVlf(),
      enableSumShelf(),
      lfWidth(),
      vlfCutOff(),
      micSpacing(),
      midBassCutGain(),
      midBassCutFc(),
      sampleRate(kInitialSampleRate),
      vlfHighPass(),
      vlfAllPass(),
      spacingFilter(),
      bassShelf(),
      bassAllPass(),
      running() {
    for (std::size_t i = 0; i < kParameterTable.size(); ++i) {
        storedValue(static_cast<ParameterIndex>(i)) = static_cast<float>(kParameterTable[i].defaultValue);
    }
    designAllSections();
    running = {vlfHighPass.coefficients, vlfAllPass.coefficients, spacingFilter.coefficients, bassShelf.coefficients,
               bassAllPass.coefficients};
}

bool ShufflerCore::isUsableSampleRate(float sampleRateHz) { return std::isfinite(sampleRateHz) && sampleRateHz > 0.0f; }

void ShufflerCore::designAllSections() {
    const float rateHz = loadRelaxed(sampleRate);
    const float vlfHz = loadRelaxed(vlfCutOff);
    const float fcHz = loadRelaxed(midBassCutFc);
    vlfHighPass.designHighPass(rateHz, vlfHz);
    vlfAllPass.design(rateHz, vlfHz);
    spacingFilter.design(rateHz, loadRelaxed(micSpacing), loadRelaxed(lfWidth));
    bassShelf.design(rateHz, fcHz, loadRelaxed(midBassCutGain), 1.0f);
    bassAllPass.design(rateHz, fcHz);
}

void ShufflerCore::announceSampleRate(float sampleRateHz) {
    if (isUsableSampleRate(sampleRateHz)) {
        storeRelaxed(sampleRate, sampleRateHz);
    }
}

void ShufflerCore::redesignForSampleRate(float sampleRateHz) {
    if (isUsableSampleRate(sampleRateHz)) {
        storeRelaxed(sampleRate, sampleRateHz);
        designAllSections();
    }
}

void ShufflerCore::clearStates() {
    vlfHighPass.clear();
    vlfAllPass.clear();
    spacingFilter.clear();
    bassShelf.clear();
    bassAllPass.clear();
}

float& ShufflerCore::storedValue(ParameterIndex index) {
    // In parameter-index order, which is not the members' order.
    static constexpr float ShufflerCore::*kMembers[kNumParams] = {
        &ShufflerCore::enableDifVlf, &ShufflerCore::vlfCutOff,      &ShufflerCore::lfWidth,
        &ShufflerCore::micSpacing,   &ShufflerCore::enableSumShelf, &ShufflerCore::midBassCutGain,
        &ShufflerCore::midBassCutFc,
    };
    return this->*kMembers[index];
}

float ShufflerCore::storedValueOf(ParameterIndex index) const {
    if (index < 0 || index >= kNumParams) {
        return 0.0f;
    }
    return loadRelaxed(const_cast<ShufflerCore*>(this)->storedValue(index));
}

void ShufflerCore::applyStoredValue(ParameterIndex index, float stored) {
    if (index < 0 || index >= kNumParams) {
        return;
    }
    storeRelaxed(storedValue(index), stored);

    // Each change redesigns only the sections it feeds, reading the values back from
    // the members, where another thread may have changed a value meanwhile.
    const float rateHz = loadRelaxed(sampleRate);
    switch (index) {
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

ShufflerCore::PathResponse ShufflerCore::pathResponse(double frequencyHz) const {
    const double rateHz = loadRelaxed(sampleRate);
    // Both conversions scale by kSumDifferenceScale, and the output's sum (or
    // difference) counts each path twice.
    const double scale = 2.0 * static_cast<double>(kSumDifferenceScale) * static_cast<double>(kSumDifferenceScale);
    std::complex<double> sum = scale;
    std::complex<double> difference = scale * spacingFilter.response(frequencyHz, rateHz);
    if (isSwitchOn(loadRelaxed(enableDifVlf))) {
        sum *= vlfHighPass.response(frequencyHz, rateHz);
        difference *= vlfAllPass.response(frequencyHz, rateHz);
    }
    if (isSwitchOn(loadRelaxed(enableSumShelf))) {
        sum *= bassShelf.response(frequencyHz, rateHz);
        difference *= bassAllPass.response(frequencyHz, rateHz);
    }
    return {sum, difference};
}

double ShufflerCore::differenceCornerHz() const {
    constexpr double kPi = 3.141592653589793;
    const double rateHz = loadRelaxed(sampleRate);
    const double cornerRadPerS = SpacingFilter::cornerRadiansPerSecond(loadRelaxed(micSpacing), loadRelaxed(lfWidth));
    return rateHz / kPi * std::atan(cornerRadPerS / (2.0 * rateHz));
}

void ShufflerCore::takeStableCoefficients() {
    takeIfUsable(running.vlfHighPass, vlfHighPass.coefficients);
    takeIfUsable(running.vlfAllPass, vlfAllPass.coefficients);
    takeIfUsable(running.spacingFilter, spacingFilter.coefficients);
    takeIfUsable(running.bassShelf, bassShelf.coefficients);
    takeIfUsable(running.bassAllPass, bassAllPass.coefficients);
}

void ShufflerCore::processBlock(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                                std::int32_t frames) {
    processBlockWith(processStereoBlock, enableDifVlf, enableSumShelf, inLeft, inRight, outLeft, outRight, frames);
}

void ShufflerCore::processBlockWith(BlockKernel kernel, const float& difVlfSwitch, const float& sumShelfSwitch,
                                    const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                                    std::int32_t frames) {
    if (frames <= 0) {
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
    kernel(local, difVlfSwitch, sumShelfSwitch, inLeft, inRight, outLeft, outRight, frames);
    keepSaneState(vlfHighPass, local.vlfHighPass);
    keepSaneState(vlfAllPass, local.vlfAllPass);
    keepSaneState(spacingFilter, local.spacingFilter);
    keepSaneState(bassShelf, local.bassShelf);
    keepSaneState(bassAllPass, local.bassAllPass);
}
