// The bundle driven through lilv by the project's own host: the output must not
// depend on how a host cuts the audio into runs, on a control change landing
// between runs, or on the host processing in place.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "LilvTestHost.h"
#include "Lv2PortTable.h"
#include "SeededNoise.h"
#include "TestSignal.h"

namespace {

// 17 * 4096: a run boundary for every fixed size below, and inside the two seconds
// at every rate tested, so each size sees the change at the same frame.
constexpr std::uint32_t kChangeFrame = 69632;

enum class Buffers {
    separate,
    inPlace,  // each output on its own channel's input
    crossed,  // left output on the right input and the other way round
};

using BlockPlan = std::function<std::uint32_t()>;

BlockPlan fixedBlocks(std::uint32_t frames) {
    return [frames] { return frames; };
}

// Runs of 0 to 5000 frames, mostly short, in a seeded order.
BlockPlan irregularBlocks(std::uint32_t seed) {
    return [random = SeededNoise(seed)]() mutable {
        const std::uint32_t draw = random.next() >> 8;
        switch (draw % 4) {
            case 0:
                return (draw >> 2) % 3;  // 0, 1 or 2 frames
            case 1:
                return (draw >> 2) % 64;
            case 2:
                return (draw >> 2) % 700;
            default:
                return (draw >> 2) % 5001;
        }
    };
}

struct Render {
    BlockPlan blocks;
    Buffers buffers = Buffers::separate;
    bool changeControls = true;
};

StereoSignal render(const Lv2Plugin& plugin, double rateHz, const StereoSignal& input, const Render& how) {
    Lv2Instance instance(plugin, rateHz);
    // A setting away from the defaults before the first run, then a change of the
    // spacing and a flip of the shelf switch at the change frame.
    instance.control(6) = 150.0f;  // lf_width
    instance.control(5) = 30.0f;   // vlf_cutoff
    instance.activate();

    StereoSignal output = input;  // the in-place runs process these buffers themselves
    StereoSignal separate{std::vector<float>(input.frames()), std::vector<float>(input.frames())};
    const std::uint32_t frames = static_cast<std::uint32_t>(input.frames());
    std::uint32_t done = 0;
    while (done < frames) {
        if (how.changeControls && done == kChangeFrame) {
            instance.control(7) = 30.0f;  // mic_spacing
            instance.control(8) = 0.0f;   // enable_sum_shelf
        }
        std::uint32_t count = std::min(how.blocks(), frames - done);
        if (done < kChangeFrame) {
            count = std::min(count, kChangeFrame - done);
        }
        switch (how.buffers) {
            case Buffers::separate:
                instance.connect(kLv2InLeft, output.left.data() + done);
                instance.connect(kLv2InRight, output.right.data() + done);
                instance.connect(kLv2OutLeft, separate.left.data() + done);
                instance.connect(kLv2OutRight, separate.right.data() + done);
                break;
            case Buffers::inPlace:
                instance.connect(kLv2InLeft, output.left.data() + done);
                instance.connect(kLv2InRight, output.right.data() + done);
                instance.connect(kLv2OutLeft, output.left.data() + done);
                instance.connect(kLv2OutRight, output.right.data() + done);
                break;
            case Buffers::crossed:
                // Left and right trade buffers on the way out; swapped back below.
                instance.connect(kLv2InLeft, output.left.data() + done);
                instance.connect(kLv2InRight, output.right.data() + done);
                instance.connect(kLv2OutLeft, output.right.data() + done);
                instance.connect(kLv2OutRight, output.left.data() + done);
                break;
        }
        instance.run(count);
        done += count;
    }
    instance.deactivate();
    if (how.buffers == Buffers::separate) {
        return separate;
    }
    if (how.buffers == Buffers::crossed) {
        std::swap(output.left, output.right);
    }
    return output;
}

testing::AssertionResult sameOutput(const StereoSignal& out, const StereoSignal& reference) {
    const std::size_t at = firstDifference(out, reference);
    if (at == reference.frames()) {
        return testing::AssertionSuccess();
    }
    if (at >= out.frames()) {
        return testing::AssertionFailure() << out.frames() << " frames instead of " << reference.frames();
    }
    return testing::AssertionFailure() << "differs from frame " << at << " on: left " << out.left[at] << " vs "
                                       << reference.left[at] << ", right " << out.right[at] << " vs "
                                       << reference.right[at];
}

class BlockSizes : public testing::TestWithParam<std::uint32_t> {
protected:
    static void SetUpTestSuite() { plugin_ = new Lv2Plugin(BREVANDER_LV2_PATH, kLv2PluginUri); }
    static void TearDownTestSuite() {
        delete plugin_;
        plugin_ = nullptr;
    }

    double rate() const { return GetParam(); }
    StereoSignal input() const { return makeTestSignal(GetParam()); }
    // Frame by frame, as lv2apply runs it, with separate buffers.
    StereoSignal reference() const { return render(*plugin_, rate(), input(), {fixedBlocks(1)}); }

    static Lv2Plugin* plugin_;
};

Lv2Plugin* BlockSizes::plugin_ = nullptr;

TEST_P(BlockSizes, FixedSizesGiveTheFrameByFrameOutput) {
    const StereoSignal reference = this->reference();
    for (const std::uint32_t frames : {17u, 512u, 4096u}) {
        const StereoSignal out = render(*plugin_, rate(), input(), {fixedBlocks(frames)});
        EXPECT_TRUE(sameOutput(out, reference)) << "runs of " << frames << " frames";
    }
}

TEST_P(BlockSizes, IrregularRunsIncludingEmptyOnesGiveTheSameOutput) {
    const StereoSignal reference = this->reference();
    for (const std::uint32_t seed : {1u, 2u, 3u}) {
        const StereoSignal out = render(*plugin_, rate(), input(), {irregularBlocks(seed)});
        EXPECT_TRUE(sameOutput(out, reference)) << "seed " << seed;
    }
}

// Without this, a binding that ignored the controls would pass the tests above.
TEST_P(BlockSizes, TheControlChangeTakesEffectAtItsFrame) {
    const StereoSignal reference = this->reference();
    Render unchanged{fixedBlocks(512)};
    unchanged.changeControls = false;
    const StereoSignal out = render(*plugin_, rate(), input(), unchanged);
    EXPECT_EQ(firstDifference(out, reference), kChangeFrame) << "the first frame the change alters";
}

TEST_P(BlockSizes, ProcessingInPlaceGivesTheSameOutput) {
    const StereoSignal reference = this->reference();
    for (const std::uint32_t frames : {1u, 17u, 512u, 4096u}) {
        const StereoSignal out = render(*plugin_, rate(), input(), {fixedBlocks(frames), Buffers::inPlace});
        EXPECT_TRUE(sameOutput(out, reference)) << "in place, runs of " << frames << " frames";
    }
}

// Not being in-place broken allows a host any input on any output's buffer.
TEST_P(BlockSizes, ProcessingWithTheChannelsBuffersCrossedGivesTheSameOutput) {
    const StereoSignal reference = this->reference();
    for (const std::uint32_t frames : {1u, 512u}) {
        const StereoSignal out = render(*plugin_, rate(), input(), {fixedBlocks(frames), Buffers::crossed});
        EXPECT_TRUE(sameOutput(out, reference)) << "crossed, runs of " << frames << " frames";
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, BlockSizes, testing::Values(44100u, 96000u),
                         [](const testing::TestParamInfo<std::uint32_t>& test) {
                             return "at_" + std::to_string(test.param) + "_Hz";
                         });

}  // namespace
