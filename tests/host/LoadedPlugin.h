// The built plug-in file, loaded once per test program, and a stereo block helper
// for driving an instance through its record.
#pragma once

#include <memory>
#include <vector>

#include "PluginInstance.h"
#include "PluginLibrary.h"
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
    StereoBlock s(frames);
    std::uint32_t state = 12345u;
    for (std::size_t i = 0; i < frames; ++i) {
        state = state * 1664525u + 1013904223u;
        s.left[i] = static_cast<float>(static_cast<double>(state >> 8) / 16777216.0 - 0.5);
        state = state * 1664525u + 1013904223u;
        s.right[i] = static_cast<float>(static_cast<double>(state >> 8) / 16777216.0 - 0.5);
    }
    return s;
}
