// The number-to-text conversions and the bounded text helpers beneath them.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "AudioEffect.h"
#include "TextConversions.h"

namespace {
class Converter : public AudioEffect {
public:
    Converter() : AudioEffect(nullptr, 1, 1) {}
    void processReplacing(float**, float**, VstInt32) override {}
};

// Runs one conversion into a buffer poisoned past its end, and checks nothing lands there.
template <typename Convert>
std::string render(Convert convert, VstInt32 maxLen = 8) {
    char buffer[64];
    std::memset(buffer, '#', sizeof buffer);
    convert(buffer, maxLen);
    for (std::size_t i = static_cast<std::size_t>(maxLen) + 1; i < sizeof buffer; ++i) {
        EXPECT_EQ(buffer[i], '#') << "wrote past index maxLen at " << i;
    }
    EXPECT_EQ(buffer[maxLen], 0);
    return buffer;
}

std::string floatText(float value, VstInt32 maxLen = 8) {
    Converter c;
    return render([&](char* text, VstInt32 len) { c.float2string(value, text, len); }, maxLen);
}
std::string dBText(float value, VstInt32 maxLen = 8) {
    Converter c;
    return render([&](char* text, VstInt32 len) { c.dB2string(value, text, len); }, maxLen);
}
std::string intText(VstInt32 value, VstInt32 maxLen = 8) {
    Converter c;
    return render([&](char* text, VstInt32 len) { c.int2string(value, text, len); }, maxLen);
}
std::string hzText(Converter& c, float samples) {
    return render([&](char* text, VstInt32 len) { c.Hz2string(samples, text, len); });
}
std::string msText(Converter& c, float samples) {
    return render([&](char* text, VstInt32 len) { c.ms2string(samples, text, len); });
}
}  // namespace

TEST(BoundedCopy, CutsALongSourceAtLen) {
    char dst[16];
    std::memset(dst, '#', sizeof dst);
    vst_strncpy(dst, "abcdefghij", 4);
    EXPECT_STREQ(dst, "abcd");
    EXPECT_EQ(dst[5], '#');
}

TEST(BoundedCopy, PadsAShortSourceWithZerosUpToLen) {
    char dst[16];
    std::memset(dst, '#', sizeof dst);
    vst_strncpy(dst, "ab", 6);
    for (int i = 2; i <= 6; ++i) {
        EXPECT_EQ(dst[i], 0) << "index " << i;
    }
    EXPECT_EQ(dst[7], '#');
}

TEST(BoundedAppend, KeepsTheWholeTextWithinLen) {
    char dst[16] = "5.";
    vst_strncat(dst, "000000", 4);
    EXPECT_STREQ(dst, "5.00");

    // A destination already longer than len, with no terminator in reach, is cut at len.
    char full[16];
    std::memset(full, 'x', sizeof full);
    vst_strncat(full, "yz", 5);
    EXPECT_EQ(std::string(full), "xxxxx");
    EXPECT_EQ(full[6], 'x');
}

TEST(FloatToString, FillsEightCharactersWithTruncatedDigits) {
    EXPECT_EQ(floatText(0.0f), "0.000000");
    EXPECT_EQ(floatText(5.0f), "5.000000");
    EXPECT_EQ(floatText(20.0f), "20.00000");
    EXPECT_EQ(floatText(100.0f), "100.0000");
    EXPECT_EQ(floatText(441.0f), "441.0000");
    EXPECT_EQ(floatText(1234567.0f), "1234567.");
    EXPECT_EQ(floatText(9999999.0f), "9999999.");
    EXPECT_EQ(floatText(-0.5f), "-0.50000");
    EXPECT_EQ(floatText(-1.618f), "-1.61800");
    EXPECT_EQ(floatText(-999999.0f), "-999999.");
    EXPECT_EQ(floatText(3.14159f), "3.141590");
    EXPECT_EQ(floatText(47.3f), "47.29999");
    EXPECT_EQ(floatText(0.05f), "0.050000");
    EXPECT_EQ(floatText(0.0000001f), "0.000000");
}

TEST(FloatToString, OutOfRangeIsHuge) {
    EXPECT_EQ(floatText(100000000.0f), "Huge!");
    EXPECT_EQ(floatText(-10000000.0f), "Huge!");
    EXPECT_EQ(floatText(std::numeric_limits<float>::infinity()), "Huge!");
    EXPECT_EQ(floatText(-std::numeric_limits<float>::infinity()), "Huge!");
    EXPECT_EQ(floatText(std::numeric_limits<float>::max()), "Huge!");
}

TEST(FloatToString, MaxLenFourShowsTheFirstFourCharacters) {
    EXPECT_EQ(floatText(0.0f, 4), "0.00");
    EXPECT_EQ(floatText(9999999.0f, 4), "9999");
    EXPECT_EQ(floatText(-999999.0f, 4), "-999");
    EXPECT_EQ(floatText(0.05f, 4), "0.05");
    EXPECT_EQ(floatText(0.0000001f, 4), "0.00");
    EXPECT_EQ(floatText(100000000.0f, 4), "Huge");
    EXPECT_EQ(floatText(-10000000.0f, 4), "Huge");
    EXPECT_EQ(floatText(20.0f, 4), "20.0");
    EXPECT_EQ(floatText(100.0f, 4), "100.");
    EXPECT_EQ(floatText(-1.618f, 4), "-1.6");
    EXPECT_EQ(floatText(1.0f, 0), "");
}

TEST(FloatToString, ALongIntegerPartShowsItsLeadingDigits) {
    EXPECT_EQ(floatText(12345678.0f), "12345678");
    EXPECT_EQ(floatText(99999992.0f), "99999992");
    EXPECT_EQ(floatText(-1234567.0f), "-1234567");
    EXPECT_EQ(floatText(-9999999.0f), "-9999999");
    EXPECT_EQ(floatText(12345678.0f, 4), "1234");
}

TEST(FloatToString, NotANumberIsNamed) {
    EXPECT_EQ(floatText(std::numeric_limits<float>::quiet_NaN()), "nan");
    EXPECT_EQ(floatText(-std::numeric_limits<float>::quiet_NaN()), "nan");
}

TEST(DecibelsToString, ConvertsTheAmplitude) {
    EXPECT_EQ(dBText(1.0f), "0.000000");
    EXPECT_EQ(dBText(2.0f), "6.020600");
    EXPECT_EQ(dBText(0.5f), "-6.02060");
    EXPECT_EQ(dBText(0.001f), "-60.0000");
    EXPECT_EQ(dBText(0.83f), "-1.61843");
    EXPECT_EQ(dBText(0.83f, 4), "-1.6");
}

TEST(DecibelsToString, NoAmplitudeIsMinusInfinity) {
    EXPECT_EQ(dBText(0.0f), "-oo");
    EXPECT_EQ(dBText(-0.0f), "-oo");
    EXPECT_EQ(dBText(-3.0f), "-oo");
    EXPECT_EQ(dBText(-std::numeric_limits<float>::infinity()), "-oo");
}

TEST(HertzToString, APeriodBecomesAFrequencyAtTheCurrentRate) {
    Converter c;
    EXPECT_EQ(hzText(c, 100.0f), "441.0000");
    EXPECT_EQ(hzText(c, 0.0f), "0.000000");
    c.setSampleRate(48000.0f);
    EXPECT_EQ(hzText(c, 100.0f), "480.0000");
    c.setSampleRate(0.0f);
    EXPECT_EQ(hzText(c, 0.0f), "0.000000");
}

TEST(MillisecondsToString, ASampleCountBecomesADurationAtTheCurrentRate) {
    Converter c;
    EXPECT_EQ(msText(c, 441.0f), "10.00000");
    EXPECT_EQ(msText(c, 1.0f), "0.022675");
    c.setSampleRate(0.0f);
    EXPECT_EQ(msText(c, 1.0f), "Huge!");
    EXPECT_EQ(msText(c, 0.0f), "nan");
}

TEST(IntToString, WritesTheDigitsWithoutLeadingZeros) {
    EXPECT_EQ(intText(7), "7");
    EXPECT_EQ(intText(42), "42");
    EXPECT_EQ(intText(-42), "-42");
    EXPECT_EQ(intText(99999999), "99999999");
    EXPECT_EQ(intText(1000), "1000");
    EXPECT_EQ(intText(0), "0");
}

TEST(IntToString, LimitsAndCuts) {
    EXPECT_EQ(intText(100000000), "Huge!");
    EXPECT_EQ(intText(INT_MAX), "Huge!");
    EXPECT_EQ(intText(-123456789), "-1234567");
    EXPECT_EQ(intText(-123456789, 4), "-123");
    EXPECT_EQ(intText(-123456789, 10), "-123456789");
    EXPECT_EQ(intText(-1000000000, 11), "-1000000000");
    EXPECT_EQ(intText(INT_MIN, 11), "-2147483648");
    EXPECT_EQ(intText(INT_MIN), "-2147483");
}
