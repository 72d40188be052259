// Test access to Brevander's members: the parameter values and the five sections.
#pragma once

#include <array>
#include <vector>

#include "Brevander.h"

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
    using Brevander::sampleRate;
    using Brevander::spacingFilter;
    using Brevander::vlfAllPass;
    using Brevander::vlfCutOff;
    using Brevander::vlfHighPass;
};

// A stereo block, processed through separate input and output arrays.
struct StereoBlock {
    std::vector<float> left;
    std::vector<float> right;

    explicit StereoBlock(std::size_t frames, float fill = 0.0f) : left(frames, fill), right(frames, fill) {}
    std::size_t frames() const { return left.size(); }
    bool operator==(const StereoBlock&) const = default;
};

inline StereoBlock processed(AudioEffect& effect, StereoBlock input) {
    StereoBlock output(input.frames());
    float* inputs[2] = {input.left.data(), input.right.data()};
    float* outputs[2] = {output.left.data(), output.right.data()};
    effect.processReplacing(inputs, outputs, static_cast<VstInt32>(input.frames()));
    return output;
}
