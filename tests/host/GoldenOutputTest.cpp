// The loaded plug-in file reproduces the checked-in golden render byte for byte.
// Every build runs this against its own file (the Windows ones under Wine), so an
// x87 evaluation or a fused multiply-add anywhere shows up here.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "LoadedPlugin.h"
#include "golden/GoldenRender.h"

namespace {
float sampleAt(const std::vector<std::uint8_t>& bytes, std::size_t sample) {
    std::uint32_t bits = 0;
    for (int byte = 3; byte >= 0; --byte) {
        bits = (bits << 8) | bytes[sample * 4 + static_cast<std::size_t>(byte)];
    }
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
}  // namespace

TEST(GoldenOutput, EveryCaseMatchesTheCheckedInRenderByteForByte) {
    const std::vector<std::uint8_t> expected = golden::readFile(BREVANDER_GOLDEN_FILE);
    ASSERT_FALSE(expected.empty()) << "cannot read " << BREVANDER_GOLDEN_FILE;
    const std::vector<std::uint8_t> actual = golden::render(loadedPlugin());
    ASSERT_EQ(actual.size(), expected.size());

    std::size_t caseStart = 0;
    for (std::size_t c = 0; c < golden::caseCount(); ++c) {
        const std::size_t caseEnd = caseStart + golden::caseFrames(c) * 2;
        std::size_t mismatches = 0;
        std::size_t first = 0;
        for (std::size_t s = caseStart; s < caseEnd; ++s) {
            if (std::memcmp(&actual[s * 4], &expected[s * 4], 4) != 0 && mismatches++ == 0) {
                first = s;
            }
        }
        EXPECT_EQ(mismatches, 0u) << golden::caseName(c) << ": first at frame " << (first - caseStart) / 2
                                  << (first % 2 == 0 ? " left" : " right") << ", got " << sampleAt(actual, first)
                                  << ", expected " << sampleAt(expected, first);
        caseStart = caseEnd;
    }
}

TEST(GoldenOutput, TheRenderIsFiniteAndNotSilent) {
    // Guards the golden file itself: a render of NaN or silence would compare equal
    // to a broken build just as well.
    const std::vector<std::uint8_t> expected = golden::readFile(BREVANDER_GOLDEN_FILE);
    ASSERT_FALSE(expected.empty());
    double energy = 0.0;
    for (std::size_t s = 0; s < expected.size() / 4; ++s) {
        const float x = sampleAt(expected, s);
        ASSERT_TRUE(std::isfinite(x)) << "sample " << s;
        energy += static_cast<double>(x) * x;
    }
    EXPECT_GT(energy, 1.0);
}
