// The gain port in dB and its conversion to the core's linear gain: the default
// lands exactly on the VST 2 default, the description's values read back as the
// binding's, and the range ends land next to the VST 2 range's ends.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "Lv2Monitor.h"
#include "Lv2Ports.h"

namespace {
std::string bundleFile(const char* name) {
    std::ifstream in(std::string(BREVANDER_LV2_BUNDLE) + "/" + name);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The number after `property` in the description of the port with `symbol`.
std::string portProperty(const std::string& description, const std::string& symbol, const std::string& property) {
    const std::size_t at = description.find("lv2:symbol \"" + symbol + "\"");
    if (at == std::string::npos) {
        return {};
    }
    const std::size_t end = description.find(']', at);
    std::smatch match;
    const std::string port = description.substr(at, end - at);
    const std::regex number(property + " (-?[0-9.]+)");
    return std::regex_search(port, match, number) ? match[1].str() : std::string();
}

const char* const kSymbols[kNumParams] = {"enable_dif_vlf",   "vlf_cutoff",        "lf_width",       "mic_spacing",
                                          "enable_sum_shelf", "mid_bass_cut_gain", "mid_bass_cut_fc"};
}  // namespace

TEST(GainPort, TheDefaultConvertsToExactlyTheVst2Default) {
    EXPECT_EQ(std::bit_cast<std::uint32_t>(linearGainFromDecibels(kMidBassCutGainDefaultDb)),
              std::bit_cast<std::uint32_t>(0.83f));
    // Written with nine significant digits, which are enough to come back as the same float.
    const std::string written = portProperty(bundleFile("Brevander.ttl"), "mid_bass_cut_gain", "lv2:default");
    ASSERT_FALSE(written.empty());
    EXPECT_EQ(written.size(), std::string("-1.61843836").size());
    EXPECT_EQ(std::strtof(written.c_str(), nullptr), kMidBassCutGainDefaultDb);
    // A host that reads it as a double first and rounds it to float gets the same.
    EXPECT_EQ(static_cast<float>(std::strtod(written.c_str(), nullptr)), kMidBassCutGainDefaultDb);
}

TEST(GainPort, TheRangeEndsLandNextToTheVst2RangeEnds) {
    // 6.02 dB is a rounding of 20 log10(2) = 6.0206 dB: the ends come within 0.01 %
    // of the linear 0.5 and 2, just inside them, each the float nearest the exact power.
    const float low = linearGainFromDecibels(-6.02f);
    const float high = linearGainFromDecibels(6.02f);
    const long double exactLow = std::pow(10.0L, static_cast<long double>(-6.02f) / 20.0L);
    const long double exactHigh = std::pow(10.0L, static_cast<long double>(6.02f) / 20.0L);
    EXPECT_EQ(low, static_cast<float>(exactLow));
    EXPECT_EQ(high, static_cast<float>(exactHigh));
    EXPECT_GT(low, 0.5f);
    EXPECT_LT(low, 0.50005f);
    EXPECT_LT(high, 2.0f);
    EXPECT_GT(high, 1.9998f);
    EXPECT_EQ(linearGainFromDecibels(0.0f), 1.0f);
}

TEST(GainPort, TheDescriptionsDefaultsAreTheVst2DefaultsStoredValues) {
    const std::string description = bundleFile("Brevander.ttl");
    for (std::size_t i = 0; i < kNumParams; ++i) {
        const auto index = static_cast<ParameterIndex>(i);
        const std::string written = portProperty(description, kSymbols[i], "lv2:default");
        ASSERT_FALSE(written.empty()) << kSymbols[i];
        const float portValue = std::strtof(written.c_str(), nullptr);
        EXPECT_EQ(portValue, portDefault(index)) << kSymbols[i];
        EXPECT_EQ(storedFromPortValue(index, portValue), static_cast<float>(kParameterTable[i].defaultValue))
            << kSymbols[i];
    }
}

// Hosts size the notify buffer from the description: it must hold the Block messages
// of a whole run of kMonitoredRunFrames frames.
TEST(WindowPorts, TheNotifyPortDeclaresTheBufferAWholeRunNeeds) {
    const std::string written = portProperty(bundleFile("Brevander.ttl"), "notify", "rsz:minimumSize");
    ASSERT_FALSE(written.empty());
    EXPECT_EQ(std::strtoul(written.c_str(), nullptr, 10), kNotifyMinimumBytes);
}
