// The demo's built-in stereo scene: several sources at different angles, recorded
// by a virtual spaced pair of omnidirectional microphones, far enough away that
// each source arrives as a plane wave with the inter-channel delay the spacing gives.
#pragma once

#include <string>
#include <vector>

struct SceneSource {
    std::string name;
    double angleDegrees;  // -90 (hard left) to +90 (hard right), 0 straight ahead
    // Right-channel arrival minus left-channel arrival, -spacing sin(angle) / 343 m/s
    // times the rate: negative for sources on the right, which reach the right
    // microphone first.
    double delaySamples;
};

struct StereoRecording {
    double sampleRateHz = 0.0;
    std::vector<float> left;
    std::vector<float> right;
    std::vector<SceneSource> sources;
};

// A few seconds of the scene, round(seconds * rate) samples a channel, peaking at
// -3 dBFS; the same arguments always give the same samples. A spacing of 0 gives
// identical channels. Throws std::invalid_argument for a rate that is not positive
// or a negative duration or spacing.
StereoRecording synthesiseSpacedPairScene(double sampleRateHz, double seconds, double spacingCm);
