// Brevander as an LV2 plug-in: the binding between an LV2 host's calls and the
// effect's core (ShufflerCore.h). The exported entry point is Lv2Entry.cpp's.
#pragma once

#include <lv2/core/lv2.h>

#include <cstdint>

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
};

// The one plug-in this binding describes.
const LV2_Descriptor& brevanderLv2Descriptor();
