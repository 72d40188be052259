// One hour of 48 kHz audio with every parameter automated at random on every block:
// the output stays finite, bounded and free of subnormal samples.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "BrevanderProbe.h"
#include "SeededNoise.h"

TEST(Soak, AnHourOfRandomAutomationStaysFiniteBoundedAndNormal) {
    constexpr double kRateHz = 48000.0;
    constexpr std::size_t kBlock = 512;
    constexpr auto kBlocks = static_cast<std::size_t>(3600.0 * kRateHz / kBlock);
    BrevanderProbe effect;
    effect.setSampleRate(static_cast<float>(kRateHz));
    SeededNoise random(20261208u);
    StereoBlock input(kBlock);
    StereoBlock output(kBlock);
    float* inputs[2] = {input.left.data(), input.right.data()};
    float* outputs[2] = {output.left.data(), output.right.data()};

    float peak = 0.0f;
    std::size_t nonFinite = 0;
    std::size_t subnormal = 0;
    for (std::size_t block = 0; block < kBlocks; ++block) {
        for (VstInt32 index = 0; index < kNumParams; ++index) {
            effect.setParameter(index, random.unit());
        }
        // Full-scale noise, with one second of silence in every ten, where states
        // would otherwise decay into the subnormal range.
        const bool silent = (block * kBlock / static_cast<std::size_t>(kRateHz)) % 10 == 9;
        for (std::size_t i = 0; i < kBlock; ++i) {
            input.left[i] = silent ? 0.0f : 2.0f * random.unit() - 1.0f;
            input.right[i] = silent ? 0.0f : 2.0f * random.unit() - 1.0f;
        }
        effect.processReplacing(inputs, outputs, static_cast<VstInt32>(kBlock));
        for (std::size_t i = 0; i < kBlock; ++i) {
            for (const float y : {output.left[i], output.right[i]}) {
                nonFinite += std::isfinite(y) ? 0 : 1;
                subnormal += std::fpclassify(y) == FP_SUBNORMAL ? 1 : 0;
                peak = std::max(peak, std::fabs(y));
            }
        }
    }
    EXPECT_EQ(nonFinite, 0u);
    EXPECT_EQ(subnormal, 0u);
    // Inputs within +-1 through gains of at most 2 and the transients of a redesign
    // on every block.
    EXPECT_LT(peak, 16.0f);
    RecordProperty("peak", std::to_string(peak));
    std::printf("peak output over the hour: %.3f\n", static_cast<double>(peak));
}
