// Brevander: a stereo shuffler for spaced-pair recordings. Left and right become
// sum and difference; the difference is high-passed by a corner set by the
// microphone spacing and width, the sum can be high-passed at very low
// frequencies and shelved in the bass, and each sum filter is matched by an
// all-pass on the difference so that both keep the same phase.
#pragma once

#include <cstdint>

#include "AllPass1.h"
#include "AudioEffectX.h"
#include "BassShelf.h"
#include "Biquad.h"
#include "ParameterTable.h"
#include "SpacingFilter.h"

struct StereoSections;

class Brevander : public AudioEffectX {
public:
    explicit Brevander(audioMasterCallback hostCallback);
    ~Brevander() override = default;

    void suspend() override;
    // Stores the rate, and redesigns every section for it when it is usable.
    void setSampleRate(float sampleRateHz) override;
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    void getParameterLabel(VstInt32 index, char* label) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterName(VstInt32 index, char* text) override;

    static constexpr VstInt32 kNumPrograms = 1;
    static constexpr int kProgramNameSize = 32;  // 31 characters and the terminator

    // A rate the sections can be designed for: finite and above 0 Hz.
    static bool isUsableSampleRate(float sampleRateHz);

protected:
    void designAllSections();
    // The member that holds parameter `index`, stored in its own unit.
    float& storedValue(ParameterIndex index);

    // The signal path over one block, with the switches it is handed: processStereoBlock
    // (StereoKernel.h) or a test's build of it.
    using BlockKernel = void (*)(StereoSections&, const float&, const float&, const float*, const float*, float*,
                                 float*, std::int32_t);
    // processReplacing with the kernel and the two switches given: processReplacing
    // passes processStereoBlock and the switch members, a test may script the switches.
    void processWith(BlockKernel kernel, const float& difVlfSwitch, const float& sumShelfSwitch, float** inputs,
                     float** outputs, VstInt32 sampleFrames);

    float enableDifVlf;    // normalised; the VLF block is on above 0.5
    float enableSumShelf;  // normalised; the shelf block is on above 0.5
    float lfWidth;         // percent, 0 to 200
    float vlfCutOff;       // Hz, 10 to 110
    float micSpacing;      // cm, 1 to 51
    float midBassCutGain;  // linear gain, 0.5 to 2.0
    float midBassCutFc;    // Hz, 10 to 200
    float sampleRate;      // Hz, the rate of the last design
    char programName[kProgramNameSize];
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
