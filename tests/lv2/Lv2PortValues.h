// The values an LV2 port must hold to give the effect the same stored value as a
// VST 2 host's normalised value, and the VST 2 side's reach.
//
// A VST 2 parameter stores minimum + span * x (double, rounded once to float) for a
// normalised x, and a switch stores x itself. An LV2 port holds the stored value
// directly, except the gain, which it holds in dB: the effect stores
// float(10^(dB / 20)) computed in double.
#pragma once

#include <optional>

#include "Lv2PortTable.h"

// The linear gain a dB value on the gain port stands for.
float linearGainOfDecibels(float decibels);

// A dB value whose linear gain is exactly `gain`, if a float has one.
std::optional<float> decibelsForLinearGain(float gain);

// The stored value a VST 2 host's normalised value gives (the gain: linear). The
// VST 2 gain's range is 0.5 to 2 in linear terms.
float storedOfNormalised(const Lv2ControlPort& port, float normalised);

// The port value that stores the same as the VST 2 normalised value; none when the
// gain it stores has no exact dB float.
std::optional<float> portValueOfNormalised(const Lv2ControlPort& port, float normalised);

// A float normalised value that makes the VST 2 side store exactly `stored` (for
// the gain: the linear gain), if there is one.
std::optional<float> normalisedForStored(const Lv2ControlPort& port, float stored);
