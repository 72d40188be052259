// Brevander as an LV2 plug-in: the binding between an LV2 host's calls and the
// effect's core (ShufflerCore.h). The exported entry point is Lv2Entry.cpp's.
#pragma once

#include <lv2/core/lv2.h>

#include <cstdint>
#include <limits>

#include "Lv2Monitor.h"
#include "Lv2Ports.h"
#include "ShufflerCore.h"

// The plug-in's URI, kept for good: hosts save it in their sessions.
inline constexpr const char* kBrevanderLv2Uri = "urn:brevander:shuffler";

// One instance, as instantiate makes it and every other function receives it.
struct Lv2ShufflerInstance {
    ShufflerCore core;
    const float* inputs[2] = {};
    float* outputs[2] = {};
    const float* controls[kNumParams] = {};
    // The bits of the value each control port last handed to the core. Compared as
    // bits, so that a port holding NaN is applied once and not on every run.
    std::uint32_t appliedBits[kNumParams] = {};
    // The window's ports and what its messages set: whether runs send their audio,
    // and how many frames have run since they began to.
    const LV2_Atom_Sequence* control = nullptr;
    LV2_Atom_Sequence* notify = nullptr;
    MonitorUrids urids;
    double rateHz = 0.0;
    bool monitoring = false;
    std::int64_t monitoredFrames = 0;
};

// The one plug-in this binding describes.
const LV2_Descriptor& brevanderLv2Descriptor();

// The core counts frames in 32-bit signed integers: the longest part of a run it is handed.
inline constexpr auto kLongestPartFrames = static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max());
// The descriptor's run, handing the core parts of at most `longestPartFrames` (1 to
// kLongestPartFrames) frames.
void runInParts(LV2_Handle handle, std::uint32_t frames, std::uint32_t longestPartFrames);
