// A switch moved while a block runs, at a frame the test chooses: the block kernel,
// and processReplacing's block around it, must follow the section types run frame by
// frame with the switch moved at that frame, to the bit. The kernel carries frames
// through its stages a few frames apart, so a switch applied one frame early or late,
// or taken from the frame another stage is on, shows up here.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

#include "BrevanderProbe.h"
#include "ScriptedSwitch.h"
#include "SeededNoise.h"
#include "StereoBlock.h"
#include "StereoKernel.h"
#include "StereoPipeline.h"

namespace {

using ScriptedKernel = void (*)(StereoSections&, const float&, const float&, const float*, const float*, float*, float*,
                                std::int32_t);

// The kernel with scripted switches, in the processor's own lanes and in the portable
// ones, which the plug-in uses on processors without vector doubles.
struct KernelBuild {
    const char* name;
    ScriptedKernel kernel;
};

class SwitchFlip : public ::testing::TestWithParam<KernelBuild> {};

INSTANTIATE_TEST_SUITE_P(Lanes, SwitchFlip,
                         ::testing::Values(KernelBuild{"Native", processStereoBlockWith<ScriptedReading>},
                                           KernelBuild{"Portable",
                                                       processStereoBlockWith<ScriptedReading, PortableLanes>}),
                         [](const ::testing::TestParamInfo<KernelBuild>& build) { return build.param.name; });

// The raw value of each switch for every frame of a block.
struct SwitchTrack {
    std::vector<float> difVlf;
    std::vector<float> sumShelf;
};

std::vector<float> movedAt(std::size_t frames, float before, float after, std::int32_t frame) {
    std::vector<float> values(frames, after);
    for (std::size_t i = 0; i < frames && static_cast<std::int32_t>(i) < frame; ++i) {
        values[i] = before;
    }
    return values;
}

// The signal path written out with each section's own processSample, frame by frame.
void sectionPath(StereoSections& s, const SwitchTrack& track, const StereoBlock& in, StereoBlock& out) {
    const double k = 0.70710677f;
    for (std::size_t i = 0; i < in.frames(); ++i) {
        float sum = static_cast<float>((static_cast<double>(in.left[i]) + in.right[i]) * k);
        float dif = static_cast<float>((static_cast<double>(in.left[i]) - in.right[i]) * k);
        if (static_cast<double>(track.difVlf[i]) > 0.5) {
            sum = s.vlfHighPass.processSample(sum);
            dif = s.vlfAllPass.processSample(dif);
        }
        dif = s.spacingFilter.processSample(dif);
        if (static_cast<double>(track.sumShelf[i]) > 0.5) {
            sum = s.bassShelf.processSample(sum);
            dif = s.bassAllPass.processSample(dif);
        }
        out.left[i] = static_cast<float>((static_cast<double>(sum) + dif) * k);
        out.right[i] = static_cast<float>((static_cast<double>(sum) - dif) * k);
    }
}

StereoBlock noise(SeededNoise& random, std::size_t frames) {
    StereoBlock block(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        block.left[i] = random.bipolar();
        // Now and then a centred or an anti-phase frame, so that one lane carries zero.
        const std::uint32_t pick = random.next() % 16;
        block.right[i] = pick == 0 ? block.left[i] : pick == 1 ? -block.left[i] : random.bipolar();
    }
    return block;
}

// Sections of a random design from the parameters' ranges, with every state already
// away from zero so that a section switched in mid-block has history to carry.
StereoSections randomSections(SeededNoise& random) {
    static constexpr float kRates[] = {44100.0f, 48000.0f, 96000.0f};
    const float rateHz = kRates[random.next() % 3];
    const float vlfHz = 10.0f + 100.0f * random.unit();
    const float fcHz = 10.0f + 190.0f * random.unit();
    StereoSections s;
    s.vlfHighPass.designHighPass(rateHz, vlfHz);
    s.vlfAllPass.design(rateHz, vlfHz);
    s.spacingFilter.design(rateHz, 1.0f + 50.0f * random.unit(), 200.0f * random.unit());
    s.bassShelf.design(rateHz, fcHz, 0.5f + 1.5f * random.unit(), 1.0f);
    s.bassAllPass.design(rateHz, fcHz);
    const StereoBlock warmUp = noise(random, 64);
    StereoBlock ignored(warmUp.frames());
    sectionPath(s, {std::vector<float>(64, 1.0f), std::vector<float>(64, 1.0f)}, warmUp, ignored);
    return s;
}

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

::testing::AssertionResult sameOutput(const StereoBlock& got, const StereoBlock& expected) {
    for (std::size_t i = 0; i < expected.frames(); ++i) {
        if (!sameBits(got.left[i], expected.left[i]) || !sameBits(got.right[i], expected.right[i])) {
            return ::testing::AssertionFailure()
                   << "frame " << i << ": (" << got.left[i] << ", " << got.right[i] << ") where the sections give ("
                   << expected.left[i] << ", " << expected.right[i] << ")";
        }
    }
    return ::testing::AssertionSuccess();
}

template <class Section>
bool sameState(const Section& a, const Section& b) {
    return std::memcmp(&a.state, &b.state, sizeof a.state) == 0;
}

::testing::AssertionResult sameStates(const StereoSections& got, const StereoSections& expected) {
    if (sameState(got.vlfHighPass, expected.vlfHighPass) && sameState(got.vlfAllPass, expected.vlfAllPass) &&
        sameState(got.spacingFilter, expected.spacingFilter) && sameState(got.bassShelf, expected.bassShelf) &&
        sameState(got.bassAllPass, expected.bassAllPass)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "the section states differ after the block";
}

// Both ways across 0.5, the edges of the test itself, and a move that stays on the
// same side (the bits change, the path must not).
struct Move {
    float before;
    float after;
};
const Move kMoves[] = {
    {1.0f, 0.0f},    {0.0f, 1.0f},           {0.5f, std::nextafter(0.5f, 1.0f)}, {std::nextafter(0.5f, 1.0f), 0.5f},
    {0.75f, 0.625f}, {0.25f, std::nanf("")},
};

std::string describe(const char* which, const Move& move, std::int32_t frame) {
    std::ostringstream text;
    text << std::setprecision(9) << which << " moved " << move.before << " -> " << move.after << " at frame " << frame;
    return text.str();
}

struct KernelRun {
    StereoBlock out;
    StereoSections sections;
    ScriptedSwitch difVlf;
    ScriptedSwitch sumShelf;
};

KernelRun runScripted(ScriptedKernel kernel, const StereoSections& design, ScriptedSwitch difVlf,
                      ScriptedSwitch sumShelf, const StereoBlock& in) {
    KernelRun run{StereoBlock(in.frames()), design, difVlf, sumShelf};
    kernel(run.sections, run.difVlf.handle, run.sumShelf.handle, in.left.data(), in.right.data(), run.out.left.data(),
           run.out.right.data(), static_cast<std::int32_t>(in.frames()));
    return run;
}

struct SectionRun {
    StereoBlock out;
    StereoSections sections;
};

SectionRun runSections(const StereoSections& design, const SwitchTrack& track, const StereoBlock& in) {
    SectionRun run{StereoBlock(in.frames()), design};
    sectionPath(run.sections, track, in, run.out);
    return run;
}

// One switch moved at `frame` (block-relative) while the other holds `other`.
void checkOneMove(ScriptedKernel scriptedKernel, const StereoSections& design, const StereoBlock& in, bool movingVlf,
                  const Move& move, float other, std::int32_t frame) {
    const std::size_t frames = in.frames();
    const ScriptedSwitch moving = ScriptedSwitch::movingAtFrame(move.before, move.after, frame);
    const ScriptedSwitch holding = ScriptedSwitch::steady(other);
    const KernelRun kernel = movingVlf ? runScripted(scriptedKernel, design, moving, holding, in)
                                       : runScripted(scriptedKernel, design, holding, moving, in);
    const std::vector<float> moved = movedAt(frames, move.before, move.after, frame);
    const std::vector<float> held(frames, other);
    const SectionRun sections =
        runSections(design, movingVlf ? SwitchTrack{moved, held} : SwitchTrack{held, moved}, in);

    std::ostringstream what;
    what << describe(movingVlf ? "Enable Dif VLF Filter" : "Enable Sum LF Shelf", move, frame) << " in a block of "
         << frames << ", the other switch at " << other;
    ASSERT_TRUE(sameOutput(kernel.out, sections.out)) << what.str();
    ASSERT_TRUE(sameStates(kernel.sections, sections.sections)) << what.str();
    const ScriptedSwitch& asked = movingVlf ? kernel.difVlf : kernel.sumShelf;
    // The kernel asks about every frame in order, so the move is first seen at its frame.
    ASSERT_EQ(asked.firstFrameAfter, frame < static_cast<std::int32_t>(frames) ? frame : -1) << what.str();
    ASSERT_FALSE(kernel.difVlf.askedAboutAnOlderFrame || kernel.sumShelf.askedAboutAnOlderFrame) << what.str();
}

}  // namespace

TEST_P(SwitchFlip, KernelFollowsAMoveAtEveryFrameOfAShortBlock) {
    SeededNoise random(1913u);
    constexpr std::size_t kFrames = 19;
    for (int designIndex = 0; designIndex < 6; ++designIndex) {
        const StereoSections design = randomSections(random);
        for (const bool movingVlf : {true, false}) {
            for (const float other : {0.0f, 1.0f}) {
                for (const Move& move : kMoves) {
                    for (std::int32_t frame = 0; frame <= static_cast<std::int32_t>(kFrames); ++frame) {
                        const StereoBlock in = noise(random, kFrames);
                        checkOneMove(GetParam().kernel, design, in, movingVlf, move, other, frame);
                        if (HasFatalFailure()) {
                            return;
                        }
                    }
                }
            }
        }
    }
}

TEST_P(SwitchFlip, KernelFollowsMovesInsideLongBlocks) {
    // Frames around the kernel's start-up and wind-down and around the steady runs it
    // settles into, and random ones; each switch on its own and both moving in one block.
    SeededNoise random(4027u);
    constexpr std::size_t kFrames = 700;
    std::vector<std::int32_t> frames;
    for (std::int32_t f = 0; f < 16; ++f) {
        frames.push_back(f);
        frames.push_back(static_cast<std::int32_t>(kFrames) - 1 - f);
    }
    for (int n = 0; n < 24; ++n) {
        frames.push_back(static_cast<std::int32_t>(random.next() % kFrames));
    }
    for (int designIndex = 0; designIndex < 3; ++designIndex) {
        const StereoSections design = randomSections(random);
        for (const std::int32_t frame : frames) {
            const StereoBlock in = noise(random, kFrames);
            const Move& move = kMoves[random.next() % std::size(kMoves)];
            const float other = random.next() % 2 == 0 ? 0.0f : 1.0f;
            checkOneMove(GetParam().kernel, design, in, frame % 2 == 0, move, other, frame);
            if (HasFatalFailure()) {
                return;
            }
        }
        for (int trial = 0; trial < 40; ++trial) {
            const StereoBlock in = noise(random, kFrames);
            const Move& vlfMove = kMoves[random.next() % std::size(kMoves)];
            const Move& shelfMove = kMoves[random.next() % std::size(kMoves)];
            const auto vlfFrame = static_cast<std::int32_t>(random.next() % kFrames);
            // Half the time the second move lands within a few frames of the first.
            const auto shelfFrame = trial % 2 == 0
                                        ? static_cast<std::int32_t>(random.next() % kFrames)
                                        : std::max(0, vlfFrame - 7 + static_cast<std::int32_t>(random.next() % 15));
            const KernelRun kernel = runScripted(
                GetParam().kernel, design, ScriptedSwitch::movingAtFrame(vlfMove.before, vlfMove.after, vlfFrame),
                ScriptedSwitch::movingAtFrame(shelfMove.before, shelfMove.after, shelfFrame), in);
            const SectionRun sections = runSections(design,
                                                    {movedAt(kFrames, vlfMove.before, vlfMove.after, vlfFrame),
                                                     movedAt(kFrames, shelfMove.before, shelfMove.after, shelfFrame)},
                                                    in);
            const std::string what = describe("Enable Dif VLF Filter", vlfMove, vlfFrame) + ", " +
                                     describe("Enable Sum LF Shelf", shelfMove, shelfFrame);
            ASSERT_TRUE(sameOutput(kernel.out, sections.out)) << what;
            ASSERT_TRUE(sameStates(kernel.sections, sections.sections)) << what;
        }
    }
}

TEST_P(SwitchFlip, AStoreBetweenAnyTwoReadsTakesEffectFromTheFrameThatFirstSeesIt) {
    // A host's store may land between any two of the kernel's reads, several of which
    // can concern one frame. Whichever read sees it first, its frame and every later one
    // must run with the new value, and every earlier frame with the old.
    SeededNoise random(6151u);
    constexpr std::size_t kFrames = 40;
    for (int designIndex = 0; designIndex < 3; ++designIndex) {
        const StereoSections design = randomSections(random);
        for (const bool movingVlf : {true, false}) {
            for (const Move& move : kMoves) {
                const float other = random.next() % 2 == 0 ? 0.0f : 1.0f;
                for (std::int64_t question = 0;; ++question) {
                    const StereoBlock in = noise(random, kFrames);
                    const ScriptedSwitch moving = ScriptedSwitch::movingAtQuestion(move.before, move.after, question);
                    const ScriptedSwitch holding = ScriptedSwitch::steady(other);
                    const KernelRun kernel = movingVlf ? runScripted(GetParam().kernel, design, moving, holding, in)
                                                       : runScripted(GetParam().kernel, design, holding, moving, in);
                    const ScriptedSwitch& asked = movingVlf ? kernel.difVlf : kernel.sumShelf;
                    if (asked.firstFrameAfter < 0) {
                        ASSERT_GE(question, static_cast<std::int64_t>(kFrames)) << "fewer reads than frames";
                        break;
                    }
                    const std::vector<float> moved = movedAt(kFrames, move.before, move.after, asked.firstFrameAfter);
                    const std::vector<float> held(kFrames, other);
                    const SectionRun sections =
                        runSections(design, movingVlf ? SwitchTrack{moved, held} : SwitchTrack{held, moved}, in);
                    const std::string what = describe(movingVlf ? "Enable Dif VLF Filter" : "Enable Sum LF Shelf", move,
                                                      asked.firstFrameAfter) +
                                             " (before read " + std::to_string(question) + ")";
                    ASSERT_TRUE(sameOutput(kernel.out, sections.out)) << what;
                    ASSERT_TRUE(sameStates(kernel.sections, sections.sections)) << what;
                }
            }
        }
    }
}

TEST_P(SwitchFlip, ProcessReplacingFollowsAMoveAtEveryFrameOfABlock) {
    // processReplacing's block (coefficients taken, the kernel run on copies, states
    // kept) with the switches scripted, over runs of blocks, against the effect's own
    // sections run frame by frame.
    SeededNoise random(7717u);
    for (int instance = 0; instance < 4; ++instance) {
        BrevanderProbe effect;
        for (VstInt32 index = 0; index < kNumParams; ++index) {
            if (index != kEnableDifVlf && index != kEnableSumShelf) {
                effect.setParameter(index, random.unit());
            }
        }
        for (const std::size_t frames : {std::size_t{19}, std::size_t{256}}) {
            for (std::int32_t frame = 0; frame < static_cast<std::int32_t>(frames);
                 frame += frames < 32 ? 1 : 1 + static_cast<std::int32_t>(random.next() % 40)) {
                const bool movingVlf = random.next() % 2 == 0;
                const Move& move = kMoves[random.next() % std::size(kMoves)];
                const float other = random.next() % 2 == 0 ? 0.0f : 1.0f;
                StereoSections expected{effect.vlfHighPass, effect.vlfAllPass, effect.spacingFilter, effect.bassShelf,
                                        effect.bassAllPass};
                StereoBlock in = noise(random, frames);
                const std::vector<float> moved = movedAt(frames, move.before, move.after, frame);
                const std::vector<float> held(frames, other);
                StereoBlock expectedOut(frames);
                sectionPath(expected, movingVlf ? SwitchTrack{moved, held} : SwitchTrack{held, moved}, in, expectedOut);

                ScriptedSwitch moving = ScriptedSwitch::movingAtFrame(move.before, move.after, frame);
                ScriptedSwitch holding = ScriptedSwitch::steady(other);
                StereoBlock out(frames);
                float* inputs[2] = {in.left.data(), in.right.data()};
                float* outputs[2] = {out.left.data(), out.right.data()};
                effect.processWith(GetParam().kernel, movingVlf ? moving.handle : holding.handle,
                                   movingVlf ? holding.handle : moving.handle, inputs, outputs,
                                   static_cast<VstInt32>(frames));

                const std::string what =
                    describe(movingVlf ? "Enable Dif VLF Filter" : "Enable Sum LF Shelf", move, frame) +
                    " in a block of " + std::to_string(frames);
                ASSERT_TRUE(sameOutput(out, expectedOut)) << what;
                const StereoSections after{effect.vlfHighPass, effect.vlfAllPass, effect.spacingFilter,
                                           effect.bassShelf, effect.bassAllPass};
                ASSERT_TRUE(sameStates(after, expected)) << what;
            }
        }
    }
}
