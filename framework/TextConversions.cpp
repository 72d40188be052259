// The bounded text helpers and AudioEffect's number-to-text conversions, which
// fill a fixed budget of eight characters with truncated, never rounded, digits.
#include "TextConversions.h"

#include <cmath>
#include <cstdint>

#include "AudioEffect.h"

namespace {
constexpr int kBudget = 8;

// Length of the text in dst, looking no further than len characters.
VstInt32 boundedLength(const char* dst, VstInt32 len) {
    VstInt32 n = 0;
    while (n < len && dst[n] != 0) {
        ++n;
    }
    return n;
}

char digitChar(double digit) { return static_cast<char>('0' + static_cast<int>(digit)); }
}  // namespace

char* vst_strncpy(char* dst, const char* src, VstInt32 len) {
    if (len < 0) {
        return dst;
    }
    VstInt32 i = 0;
    for (; i < len && src[i] != 0; ++i) {
        dst[i] = src[i];
    }
    for (; i < len; ++i) {
        dst[i] = 0;
    }
    dst[len] = 0;
    return dst;
}

char* vst_strncat(char* dst, const char* src, VstInt32 len) {
    if (len < 0) {
        return dst;
    }
    VstInt32 n = boundedLength(dst, len);
    for (const char* s = src; n < len && *s != 0; ++s, ++n) {
        dst[n] = *s;
    }
    dst[n] = 0;
    dst[len] = 0;
    return dst;
}

void floatToString(float value, char* text, VstInt32 maxLen) {
    double v = value;
    if (std::isnan(v)) {
        vst_strncpy(text, "nan", maxLen);
        return;
    }
    int count = 0;
    bool negative = false;
    if (v < 0) {
        negative = true;
        v = -v;
        count = 1;
        if (v > 9999999.0) {
            vst_strncpy(text, "Huge!", maxLen);
            return;
        }
    } else if (v > 99999999.0) {
        vst_strncpy(text, "Huge!", maxLen);
        return;
    }

    // The integer part, built backwards from its point. Every digit is kept here,
    // also past the budget, so that a long integer part shows its leading digits.
    char scratch[32];
    int start = 31;
    scratch[start] = 0;
    scratch[--start] = '.';
    ++count;
    double integ = std::floor(v);
    do {
        scratch[--start] = digitChar(std::fmod(integ, 10.0));
        integ /= 10.0;
        ++count;
    } while (integ >= 1.0);
    if (negative) {
        scratch[--start] = '-';
    }
    if (count >= kBudget) {
        scratch[start + kBudget] = 0;
        vst_strncpy(text, scratch + start, maxLen);
        return;
    }
    vst_strncpy(text, scratch + start, maxLen);

    const int fractionDigits = kBudget - count;
    double m = std::fmod(v, 1.0) * std::pow(10.0, fractionDigits);
    char fraction[kBudget + 1];
    fraction[fractionDigits] = 0;
    for (int i = fractionDigits - 1; i >= 0; --i) {
        if (m <= 0) {
            fraction[i] = '0';
        } else {
            fraction[i] = digitChar(std::fmod(m, 10.0));
            m /= 10.0;
        }
    }
    vst_strncat(text, fraction, maxLen);
}

void decibelsToString(float gain, char* text, VstInt32 maxLen) {
    if (gain <= 0) {
        vst_strncpy(text, "-oo", maxLen);
        return;
    }
    const float bel = static_cast<float>(std::log10(static_cast<double>(gain)));
    floatToString(static_cast<float>(bel * 20.0), text, maxLen);
}

void AudioEffect::float2string(float value, char* text, VstInt32 maxLen) { floatToString(value, text, maxLen); }

void AudioEffect::dB2string(float value, char* text, VstInt32 maxLen) { decibelsToString(value, text, maxLen); }

void AudioEffect::Hz2string(float samples, char* text, VstInt32 maxLen) {
    const float rate = getSampleRate();
    if (samples == 0) {
        float2string(0, text, maxLen);
        return;
    }
    float2string(static_cast<float>(static_cast<double>(rate) / samples), text, maxLen);
}

void AudioEffect::ms2string(float samples, char* text, VstInt32 maxLen) {
    const double product = samples * 1000.0;
    const float rate = getSampleRate();
    float2string(static_cast<float>(product / rate), text, maxLen);
}

void AudioEffect::int2string(VstInt32 value, char* text, VstInt32 maxLen) {
    if (value >= 100000000) {
        vst_strncpy(text, "Huge!", maxLen);
        return;
    }
    // Widened, so that the most negative value has a magnitude too.
    std::int64_t magnitude = value;
    if (magnitude < 0) {
        vst_strncpy(text, "-", maxLen);
        magnitude = -magnitude;
    } else {
        vst_strncpy(text, "", maxLen);
    }
    // Starting one decade above the positive limit keeps every negative value's
    // leading digit a single digit.
    bool started = false;
    for (std::int64_t divisor = 1000000000; divisor >= 1; divisor /= 10) {
        const std::int64_t digit = magnitude / divisor;
        magnitude -= digit * divisor;
        if (digit > 0 || started || divisor == 1) {
            const char digitText[2] = {static_cast<char>('0' + digit), 0};
            vst_strncat(text, digitText, maxLen);
            started = true;
        }
    }
}
