// The fast block kernel against the section types it stands in for: the signal
// path written frame by frame with each section's own processSample, over random
// designs, random and awkward samples, every switch setting and switches that move
// within a block. Outputs and states must agree to the bit. Each check runs on the
// plug-in's kernel and on the kernel built over the portable lanes, which the
// plug-in uses on processors without vector doubles.
#include "StereoKernel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "SeededNoise.h"
#include "StereoPipeline.h"

namespace {

// The signal path as the sections spell it out, one frame at a time.
void referencePath(StereoSections& s, const std::vector<float>& vlfSwitch, const std::vector<float>& shelfSwitch,
                   const float* inLeft, const float* inRight, float* outLeft, float* outRight, int frames) {
    const double k = 0.70710677f;
    for (int i = 0; i < frames; ++i) {
        const double left = inLeft[i];
        const double right = inRight[i];
        float sum = static_cast<float>((left + right) * k);
        float dif = static_cast<float>((left - right) * k);
        if (static_cast<double>(vlfSwitch[static_cast<std::size_t>(i)]) > 0.5) {
            sum = s.vlfHighPass.processSample(sum);
            dif = s.vlfAllPass.processSample(dif);
        }
        dif = s.spacingFilter.processSample(dif);
        if (static_cast<double>(shelfSwitch[static_cast<std::size_t>(i)]) > 0.5) {
            sum = s.bassShelf.processSample(sum);
            dif = s.bassAllPass.processSample(dif);
        }
        outLeft[i] = static_cast<float>((static_cast<double>(sum) + dif) * k);
        outRight[i] = static_cast<float>((static_cast<double>(sum) - dif) * k);
    }
}

StereoSections randomDesign(SeededNoise& random) {
    StereoSections s;
    const float rateHz = random.unit() < 0.5f ? 44100.0f : 96000.0f;
    const float vlfHz = 10.0f + 100.0f * random.unit();
    const float fcHz = 10.0f + 190.0f * random.unit();
    s.vlfHighPass.designHighPass(rateHz, vlfHz);
    s.vlfAllPass.design(rateHz, vlfHz);
    s.spacingFilter.design(rateHz, 1.0f + 50.0f * random.unit(), random.unit() < 0.1f ? 0.0f : 200.0f * random.unit());
    s.bassShelf.design(rateHz, fcHz, 0.5f + 1.5f * random.unit(), 1.0f);
    s.bassAllPass.design(rateHz, fcHz);
    return s;
}

// Mostly audio, with the samples that tend to expose a lane doing something else:
// signed zeros, subnormals, exact cancellations, and very large values.
float awkwardSample(SeededNoise& random) {
    const std::uint32_t pick = random.next() >> 24;
    switch (pick % 16) {
        case 0:
            return 0.0f;
        case 1:
            return -0.0f;
        case 2:
            return std::numeric_limits<float>::denorm_min() * static_cast<float>(pick);
        case 3:
            return 1e30f * (random.unit() - 0.5f);
        default:
            return 2.0f * random.unit() - 1.0f;
    }
}

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

using BlockKernel = void (*)(StereoSections&, const float&, const float&, const float*, const float*, float*, float*,
                             std::int32_t);

struct KernelBuild {
    const char* name;
    BlockKernel process;
};

class StereoKernel : public ::testing::TestWithParam<KernelBuild> {
protected:
    // The kernel under test.
    static void runKernel(StereoSections& s, const float& enableDifVlf, const float& enableSumShelf,
                          const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                          std::int32_t frames) {
        GetParam().process(s, enableDifVlf, enableSumShelf, inLeft, inRight, outLeft, outRight, frames);
    }
};

INSTANTIATE_TEST_SUITE_P(Lanes, StereoKernel,
                         ::testing::Values(KernelBuild{"Native", ::processStereoBlock},
                                           KernelBuild{"Portable",
                                                       processStereoBlockWith<RelaxedReading, PortableLanes>}),
                         [](const ::testing::TestParamInfo<KernelBuild>& build) { return build.param.name; });

}  // namespace

TEST_P(StereoKernel, MatchesTheSectionsToTheBitForEverySwitchSetting) {
    SeededNoise random(77u);
    for (int trial = 0; trial < 200; ++trial) {
        const int frames = 1 + static_cast<int>(random.next() % 700);
        StereoSections kernel = randomDesign(random);
        StereoSections reference = kernel;
        std::vector<float> left(static_cast<std::size_t>(frames)), right(left.size());
        for (std::size_t i = 0; i < left.size(); ++i) {
            left[i] = awkwardSample(random);
            // Sometimes the mirror of the left, so that sum or difference is exactly zero.
            right[i] = random.next() % 8 == 0 ? -left[i] : random.next() % 8 == 0 ? left[i] : awkwardSample(random);
        }
        const int setting = trial % 4;
        const float vlfSwitch = (setting & 1) != 0 ? 1.0f : 0.0f;
        const float shelfSwitch = (setting & 2) != 0 ? 1.0f : 0.0f;
        std::vector<float> kernelLeft(left.size()), kernelRight(left.size());
        std::vector<float> referenceLeft(left.size()), referenceRight(left.size());
        runKernel(kernel, vlfSwitch, shelfSwitch, left.data(), right.data(), kernelLeft.data(), kernelRight.data(),
                  frames);
        referencePath(reference, std::vector<float>(left.size(), vlfSwitch),
                      std::vector<float>(left.size(), shelfSwitch), left.data(), right.data(), referenceLeft.data(),
                      referenceRight.data(), frames);
        for (std::size_t i = 0; i < left.size(); ++i) {
            ASSERT_TRUE(sameBits(kernelLeft[i], referenceLeft[i]))
                << "trial " << trial << " frame " << i << ": " << kernelLeft[i] << " vs " << referenceLeft[i];
            ASSERT_TRUE(sameBits(kernelRight[i], referenceRight[i])) << "trial " << trial << " frame " << i;
        }
        EXPECT_TRUE(sameBits(kernel.vlfHighPass.state.state1, reference.vlfHighPass.state.state1));
        EXPECT_TRUE(sameBits(kernel.vlfHighPass.state.state2, reference.vlfHighPass.state.state2));
        EXPECT_TRUE(sameBits(kernel.vlfAllPass.state.state, reference.vlfAllPass.state.state));
        EXPECT_TRUE(sameBits(kernel.spacingFilter.state.state, reference.spacingFilter.state.state));
        EXPECT_TRUE(sameBits(kernel.bassShelf.state.state, reference.bassShelf.state.state));
        EXPECT_TRUE(sameBits(kernel.bassAllPass.state.state, reference.bassAllPass.state.state));
    }
}

TEST_P(StereoKernel, SwitchedOutSectionsKeepTheirStatesAcrossSwitchChanges) {
    // Switches that go on and off (here at block boundaries, as the kernel sees a
    // host's change): a section switched out keeps its state frozen until it runs
    // again, and the pipeline's frames in flight carry the switch they came in with.
    SeededNoise random(5u);
    StereoSections kernel = randomDesign(random);
    StereoSections reference = kernel;
    constexpr int kFrames = 2000;
    std::vector<float> left(kFrames), right(kFrames), vlf(kFrames), shelf(kFrames);
    for (int i = 0; i < kFrames; ++i) {
        left[static_cast<std::size_t>(i)] = 2.0f * random.unit() - 1.0f;
        right[static_cast<std::size_t>(i)] = 2.0f * random.unit() - 1.0f;
        vlf[static_cast<std::size_t>(i)] = (i / 37) % 2 == 0 ? 1.0f : 0.25f;
        shelf[static_cast<std::size_t>(i)] = (i / 101) % 3 == 0 ? 0.0f : 0.75f;
    }
    std::vector<float> kernelLeft(kFrames), kernelRight(kFrames), referenceLeft(kFrames), referenceRight(kFrames);
    for (int start = 0; start < kFrames;) {
        int end = start + 1;
        while (end < kFrames && vlf[static_cast<std::size_t>(end)] == vlf[static_cast<std::size_t>(start)] &&
               shelf[static_cast<std::size_t>(end)] == shelf[static_cast<std::size_t>(start)]) {
            ++end;
        }
        runKernel(kernel, vlf[static_cast<std::size_t>(start)], shelf[static_cast<std::size_t>(start)],
                  left.data() + start, right.data() + start, kernelLeft.data() + start, kernelRight.data() + start,
                  end - start);
        start = end;
    }
    referencePath(reference, vlf, shelf, left.data(), right.data(), referenceLeft.data(), referenceRight.data(),
                  kFrames);
    EXPECT_EQ(kernelLeft, referenceLeft);
    EXPECT_EQ(kernelRight, referenceRight);
}

TEST_P(StereoKernel, InPlaceEqualsSeparateArrays) {
    SeededNoise random(9u);
    const StereoSections design = randomDesign(random);
    std::vector<float> left(999), right(999);
    for (std::size_t i = 0; i < left.size(); ++i) {
        left[i] = 2.0f * random.unit() - 1.0f;
        right[i] = 2.0f * random.unit() - 1.0f;
    }
    StereoSections separate = design;
    StereoSections inPlace = design;
    std::vector<float> outLeft(left.size()), outRight(left.size());
    runKernel(separate, 1.0f, 1.0f, left.data(), right.data(), outLeft.data(), outRight.data(), 999);
    runKernel(inPlace, 1.0f, 1.0f, left.data(), right.data(), left.data(), right.data(), 999);
    EXPECT_EQ(left, outLeft);
    EXPECT_EQ(right, outRight);
}
