// The built plug-in file, loaded once per test program, and a stereo block helper
// for driving an instance through its record.
#pragma once

#include <memory>
#include <vector>

#include "PluginInstance.h"
#include "PluginLibrary.h"
#include "SeededNoise.h"
#include "StereoBlock.h"

inline const PluginLibrary& loadedPlugin() {
    static const PluginLibrary library(defaultPluginPath());
    return library;
}

inline StereoBlock processThroughRecord(PluginInstance& effect, StereoBlock input) {
    StereoBlock output(input.left.size());
    float* inputs[2] = {input.left.data(), input.right.data()};
    float* outputs[2] = {output.left.data(), output.right.data()};
    effect.processReplacing(inputs, outputs, static_cast<VstInt32>(input.left.size()));
    return output;
}

inline StereoBlock testSignal(std::size_t frames) {
    SeededNoise random(12345u);
    StereoBlock s(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        s.left[i] = random.unit() - 0.5f;
        s.right[i] = random.unit() - 0.5f;
    }
    return s;
}
