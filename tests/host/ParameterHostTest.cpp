// Parameters as a host drives them through the loaded file: normalised round
// trips, the texts of the text opcodes, and a sample-rate announcement.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "LoadedPlugin.h"
#include "Opcodes.h"

namespace {
class ParameterHost : public ::testing::Test {
protected:
    Host host;
    PluginInstance effect{loadedPlugin(), host};
};

double rms(const std::vector<float>& x, std::size_t from) {
    double energy = 0.0;
    for (std::size_t i = from; i < x.size(); ++i) {
        energy += static_cast<double>(x[i]) * x[i];
    }
    return std::sqrt(energy / static_cast<double>(x.size() - from));
}
}  // namespace

TEST_F(ParameterHost, NormalisedValuesRoundTrip) {
    for (VstInt32 index = 0; index < 7; ++index) {
        for (int step = 0; step <= 20; ++step) {
            const float x = static_cast<float>(step) / 20.0f;
            effect.setParameter(index, x);
            EXPECT_NEAR(effect.getParameter(index), x, 2e-7) << "index " << index << " at " << x;
        }
    }
}

TEST_F(ParameterHost, DisplayFollowsTheValueSet) {
    EXPECT_EQ(effect.parameterDisplay(1), "20.0");
    effect.setParameter(1, 0.373f);
    EXPECT_EQ(effect.parameterDisplay(1), "47.2");
    effect.setParameter(3, 1.0f);
    EXPECT_EQ(effect.parameterDisplay(3), "51.0");
    effect.setParameter(5, 1.0f);
    EXPECT_EQ(effect.parameterDisplay(5), "6.02");
    effect.setParameter(0, 0.5f);
    EXPECT_EQ(effect.parameterDisplay(0), "Off");
    effect.setParameter(2, 1.5f);
    EXPECT_EQ(effect.parameterDisplay(2), "300.");
}

TEST_F(ParameterHost, TextsFitTheHostsBuffers) {
    // Names need 22 bytes, labels 10 and display texts 5: nothing lands past them.
    struct Case {
        VstInt32 opcode;
        std::size_t bytes;
    };
    for (const Case c : {Case{effGetParamName, 22}, Case{effGetParamLabel, 10}, Case{effGetParamDisplay, 5}}) {
        for (VstInt32 index = 0; index < 7; ++index) {
            char buffer[64];
            std::memset(buffer, '#', sizeof buffer);
            effect.dispatch(c.opcode, index, 0, buffer);
            EXPECT_LT(std::strlen(buffer), c.bytes) << "opcode " << c.opcode << " index " << index;
            for (std::size_t i = c.bytes; i < sizeof buffer; ++i) {
                ASSERT_EQ(buffer[i], '#') << "opcode " << c.opcode << " index " << index;
            }
        }
    }
    EXPECT_EQ(effect.parameterName(5), "Mid Bass Cut Gain ");
    EXPECT_EQ(effect.parameterLabel(2), "    %    ");
}

TEST_F(ParameterHost, IndicesOutOfRangeLeaveTheTextAlone) {
    for (const VstInt32 opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
        char buffer[32] = "untouched";
        EXPECT_EQ(effect.dispatch(opcode, 7, 0, buffer), 0);
        EXPECT_EQ(effect.dispatch(opcode, -1, 0, buffer), 0);
        EXPECT_STREQ(buffer, "untouched");
    }
    EXPECT_EQ(effect.getParameter(7), 0.0f);
}

TEST_F(ParameterHost, AnnouncedRateKeepsTheDifferenceCornerInPlace) {
    // A differential tone at the spacing corner (96.26 Hz for 18 cm) leaves 3 dB down
    // whatever the rate; designs left at 44.1 kHz would put the corner at 209 Hz at 96 kHz.
    constexpr float kRate = 96000.0f;
    effect.setSampleRate(kRate);
    constexpr std::size_t kFrames = 96000;
    StereoBlock tone(kFrames);
    for (std::size_t i = 0; i < kFrames; ++i) {
        tone.left[i] = static_cast<float>(0.25 * std::sin(6.283185307179586 * 96.26 * static_cast<double>(i) / kRate));
        tone.right[i] = -tone.left[i];
    }
    const StereoBlock out = processThroughRecord(effect, tone);
    EXPECT_NEAR(rms(out.left, kFrames / 2) / rms(tone.left, kFrames / 2), std::sqrt(0.5), 5e-3);

    // An unusable rate changes nothing audible.
    Host otherHost;
    PluginInstance reference(loadedPlugin(), otherHost);
    reference.setSampleRate(kRate);
    processThroughRecord(reference, tone);
    effect.setSampleRate(0.0f);
    effect.setSampleRate(std::nanf(""));
    effect.setParameter(0, 1.0f);
    EXPECT_EQ(processThroughRecord(effect, tone), processThroughRecord(reference, tone));
}
