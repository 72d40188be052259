// The effect itself, free of any plug-in interface: the seven stored values, the
// rate the sections are designed for, the five sections, the redesign rules and
// the signal path. Each plug-in binding (VST 2 in Brevander.h, LV2 in lv2/) owns
// one and drives it through the operations below, in the values' own units.
//
// Left and right become sum and difference; the difference is high-passed by a
// corner set by the microphone spacing and width, the sum can be high-passed at
// very low frequencies and shelved in the bass, and each sum filter is matched by
// an all-pass on the difference so that both keep the same phase.
#pragma once

#include <complex>
#include <cstdint>

#include "AllPass1.h"
#include "BassShelf.h"
#include "Biquad.h"
#include "ParameterTable.h"
#include "SpacingFilter.h"

struct StereoSections;

class ShufflerCore {
public:
    // The rate the sections are designed for until a usable one is given.
    static constexpr float kInitialSampleRate = 44100.0f;

    // Every value at its default, every section designed for kInitialSampleRate.
    ShufflerCore();

    // A rate the sections can be designed for: finite and above 0 Hz.
    static bool isUsableSampleRate(float sampleRateHz);

    // Stores `stored` (a switch as it is, a gain linear) and redesigns only the
    // sections that value feeds. A design that would be unstable or non-finite is not
    // taken: the section keeps its last good coefficients, while the value reads back
    // as stored. An index outside the table is ignored.
    void applyStoredValue(ParameterIndex index, float stored);
    float storedValueOf(ParameterIndex index) const;

    // Takes a usable rate for the designs that later changes make, redesigning nothing.
    void announceSampleRate(float sampleRateHz);
    // Takes a usable rate and redesigns every section for it; an unusable one is ignored.
    void redesignForSampleRate(float sampleRateHz);

    void clearStates();

    // Output over input of the sum path (left = right) and of the difference path
    // (left = -right) at `frequencyHz`, composed from the sections' own responses as
    // the switches stand: the exact transfer functions of the running filters,
    // unaffected by the single-precision rounding of the samples.
    struct PathResponse {
        std::complex<double> sum;
        std::complex<double> difference;
    };
    PathResponse pathResponse(double frequencyHz) const;
    // Where the difference's high-pass is 3 dB down (half its power): the corner the
    // spacing and width set, fs/pi atan(B / 2fs) for the bilinear design of s / (s + B)
    // (SpacingFilter.h). 0 when the width is 0 % and the difference is flat.
    double differenceCornerHz() const;

    // Processes `frames` frames (none when it is 0 or less); inputs may be the outputs.
    void processBlock(const float* inLeft, const float* inRight, float* outLeft, float* outRight, std::int32_t frames);

protected:
    void designAllSections();
    // The member that holds parameter `index`, stored in its own unit.
    float& storedValue(ParameterIndex index);

    // The signal path over one block, with the switches it is handed: processStereoBlock
    // (StereoKernel.h) or a test's build of it.
    using BlockKernel = void (*)(StereoSections&, const float&, const float&, const float*, const float*, float*,
                                 float*, std::int32_t);
    // processBlock with the kernel and the two switches given: processBlock passes
    // processStereoBlock and the switch members, a test may script the switches.
    void processBlockWith(BlockKernel kernel, const float& difVlfSwitch, const float& sumShelfSwitch,
                          const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                          std::int32_t frames);

    float enableDifVlf;           // as set; the VLF block is on above 0.5
    float enableSumShelf;         // as set; the shelf block is on above 0.5
    float lfWidth;                // percent, 0 to 200
    float vlfCutOff;              // Hz, 10 to 110
    float micSpacing;             // cm, 1 to 51
    float midBassCutGain;         // linear gain, 0.5 to 2.0
    float midBassCutFc;           // Hz, 10 to 200
    float sampleRate;             // Hz, the rate designs are made for
    Biquad vlfHighPass;           // on the sum
    AllPass1 vlfAllPass;          // on the difference, paired with vlfHighPass
    SpacingFilter spacingFilter;  // on the difference, always in the path
    BassShelf bassShelf;          // on the sum
    AllPass1 bassAllPass;         // on the difference, paired with bassShelf

private:
    // The coefficients the audio thread last took from the sections. A redesign on
    // another thread may be caught half written; such a mix is used only when it is
    // stable itself, otherwise the block runs on these.
    struct RunningCoefficients {
        Biquad::Coefficients vlfHighPass;
        AllPass1::Coefficients vlfAllPass;
        SpacingFilter::Coefficients spacingFilter;
        BassShelf::Coefficients bassShelf;
        AllPass1::Coefficients bassAllPass;
    };
    void takeStableCoefficients();

    RunningCoefficients running;
};
