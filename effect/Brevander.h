// Brevander as a VST 2 plug-in: the binding between the framework's record and
// the effect's core (ShufflerCore.h). It maps the host's normalised values to the
// core's stored ones and back, follows the host's rate, and keeps the texts and
// the program name.
#pragma once

#include <cstdint>

#include "AudioEffectX.h"
#include "ParameterTable.h"
#include "ShufflerCore.h"

class Brevander : public AudioEffectX, public ShufflerCore {
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

protected:
    // processReplacing with the kernel and the two switches given: processReplacing
    // passes processStereoBlock and the switch members, a test may script the switches.
    void processWith(BlockKernel kernel, const float& difVlfSwitch, const float& sumShelfSwitch, float** inputs,
                     float** outputs, VstInt32 sampleFrames);

    char programName[kProgramNameSize];
};
