// Test access to Brevander's members: the parameter values and the five sections.
#pragma once

#include "Brevander.h"
#include "StereoBlock.h"

class BrevanderProbe : public Brevander {
public:
    BrevanderProbe() : Brevander(nullptr) {}

    using Brevander::bassAllPass;
    using Brevander::bassShelf;
    using Brevander::enableDifVlf;
    using Brevander::enableSumShelf;
    using Brevander::lfWidth;
    using Brevander::micSpacing;
    using Brevander::midBassCutFc;
    using Brevander::midBassCutGain;
    using Brevander::processWith;
    using Brevander::sampleRate;
    using Brevander::spacingFilter;
    using Brevander::vlfAllPass;
    using Brevander::vlfCutOff;
    using Brevander::vlfHighPass;
};

// Processes a block through separate input and output arrays.
inline StereoBlock processed(AudioEffect& effect, StereoBlock input) {
    StereoBlock output(input.frames());
    float* inputs[2] = {input.left.data(), input.right.data()};
    float* outputs[2] = {output.left.data(), output.right.data()};
    effect.processReplacing(inputs, outputs, static_cast<VstInt32>(input.frames()));
    return output;
}
