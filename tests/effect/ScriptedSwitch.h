// A switch that a test moves at a moment of its choosing inside a block, for the
// block kernel built with ScriptedReading (StereoPipeline.h). Until the moment the
// kernel reads `before`, from then on `after`; once moved it stays moved, as after a
// store by another thread. The moment is a frame (the kernel's first question about
// that frame or a later one) or a count of questions (a host's store landing between
// two of the kernel's reads, wherever they fall).
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <type_traits>

struct ScriptedSwitch {
    // What the kernel is handed as the switch; ScriptedReading finds the rest from it,
    // so it stays the first member.
    float handle = 0.0f;
    float before = 0.0f;
    float after = 0.0f;
    std::int32_t moveAtFrame = std::numeric_limits<std::int32_t>::max();
    std::int64_t moveAtQuestion = std::numeric_limits<std::int64_t>::max();

    // What the kernel asked.
    std::int64_t questions = 0;
    std::int32_t firstFrameAfter = -1;  // the frame of the first question answered `after`
    std::int32_t latestFrame = -1;
    bool askedAboutAnOlderFrame = false;

    static ScriptedSwitch steady(float value) { return {.before = value, .after = value}; }
    static ScriptedSwitch movingAtFrame(float before, float after, std::int32_t frame) {
        return {.before = before, .after = after, .moveAtFrame = frame};
    }
    static ScriptedSwitch movingAtQuestion(float before, float after, std::int64_t question) {
        return {.before = before, .after = after, .moveAtQuestion = question};
    }
};
static_assert(std::is_standard_layout_v<ScriptedSwitch>, "ScriptedReading reaches the switch through its handle");

struct ScriptedReading {
    static float read(const float& value, std::int32_t frame) {
        ScriptedSwitch& s = *reinterpret_cast<ScriptedSwitch*>(const_cast<float*>(&value));
        s.askedAboutAnOlderFrame = s.askedAboutAnOlderFrame || frame < s.latestFrame;
        s.latestFrame = std::max(s.latestFrame, frame);
        const bool moved = s.firstFrameAfter >= 0 || frame >= s.moveAtFrame || s.questions >= s.moveAtQuestion;
        ++s.questions;
        if (moved && s.firstFrameAfter < 0) {
            s.firstFrameAfter = frame;
        }
        return moved ? s.after : s.before;
    }
};
