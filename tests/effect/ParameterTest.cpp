// Brevander's parameters: defaults, mapping, texts, which sections each change
// redesigns, and how an announced sample rate reaches the designs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "BrevanderProbe.h"
#include "ExactRounding.h"
#include "SeededNoise.h"

namespace {
class ParameterProbe : public BrevanderProbe {
public:
    using BrevanderProbe::currentSampleRate;

    std::string display(VstInt32 index) {
        char text[32] = {};
        getParameterDisplay(index, text);
        return text;
    }
};

template <typename Section>
bool sameCoefficients(const Section& a, const Section& b) {
    return std::memcmp(&a.coefficients, &b.coefficients, sizeof a.coefficients) == 0;
}

// Coefficients of all five sections, to see which ones a change touched.
struct Designs {
    Biquad vlfHighPass;
    AllPass1 vlfAllPass;
    SpacingFilter spacingFilter;
    BassShelf bassShelf;
    AllPass1 bassAllPass;

    explicit Designs(const BrevanderProbe& e)
        : vlfHighPass(e.vlfHighPass),
          vlfAllPass(e.vlfAllPass),
          spacingFilter(e.spacingFilter),
          bassShelf(e.bassShelf),
          bassAllPass(e.bassAllPass) {}

    // Which sections differ from `other`, as a string such as "VHS.." for easy reading in failures.
    std::string changedFrom(const Designs& other) const {
        std::string changed;
        changed += sameCoefficients(vlfHighPass, other.vlfHighPass) ? '.' : 'V';
        changed += sameCoefficients(vlfAllPass, other.vlfAllPass) ? '.' : 'v';
        changed += sameCoefficients(spacingFilter, other.spacingFilter) ? '.' : 'S';
        changed += sameCoefficients(bassShelf, other.bassShelf) ? '.' : 'B';
        changed += sameCoefficients(bassAllPass, other.bassAllPass) ? '.' : 'b';
        return changed;
    }
};

// What the five sections should hold when designed for `rateHz` from the effect's current values.
Designs expectedDesigns(const BrevanderProbe& e, float rateHz) {
    Designs d(e);
    d.vlfHighPass.designHighPass(rateHz, e.vlfCutOff);
    d.vlfAllPass.design(rateHz, e.vlfCutOff);
    d.spacingFilter.design(rateHz, e.micSpacing, e.lfWidth);
    d.bassShelf.design(rateHz, e.midBassCutFc, e.midBassCutGain, 1.0f);
    d.bassAllPass.design(rateHz, e.midBassCutFc);
    return d;
}
}  // namespace

TEST(Parameters, DefaultsReadBackAndDisplay) {
    ParameterProbe effect;
    const float expected[] = {1.0f, 0.1f, 0.5f, 0.34f, 1.0f, 0.219999984f, 0.368421048f};
    const char* texts[] = {"On", "20.0", "100.", "18.0", "On", "-1.6", "80.0"};
    for (VstInt32 i = 0; i < kNumParams; ++i) {
        EXPECT_EQ(effect.getParameter(i), expected[i]) << "index " << i;
        EXPECT_EQ(effect.display(i), texts[i]) << "index " << i;
    }
    EXPECT_EQ(effect.midBassCutGain, 0.829999983f);
}

TEST(Parameters, NamesAndLabelsAreCopiedWithTheirBlanks) {
    ParameterProbe effect;
    const char* names[] = {"Enable Dif VLF Filter", "VLF Cut-Off",        "LF Width",       "Mic Spacing",
                           "Enable Sum LF Shelf",   "Mid Bass Cut Gain ", "Mid Bass Cut Fc"};
    const char* labels[] = {" on//off ", "    Hz   ", "    %    ", "    cm   ", " on//off ", "    dB   ", "    Hz   "};
    for (VstInt32 i = 0; i < kNumParams; ++i) {
        char name[32];
        char label[32];
        effect.getParameterName(i, name);
        effect.getParameterLabel(i, label);
        EXPECT_STREQ(name, names[i]);
        EXPECT_STREQ(label, labels[i]);
        EXPECT_EQ(std::strlen(label), 9u);
    }
}

TEST(Parameters, RangeEndsDisplayInFourCharacters) {
    struct Case {
        VstInt32 index;
        float normalised;
        const char* text;
    };
    for (const Case c :
         {Case{kVlfCutOff, 0, "10.0"}, Case{kVlfCutOff, 1, "110."}, Case{kLfWidth, 0, "0.00"},
          Case{kLfWidth, 1, "200."}, Case{kMicSpacing, 0, "1.00"}, Case{kMicSpacing, 1, "51.0"},
          Case{kMidBassCutGain, 0, "-6.0"}, Case{kMidBassCutGain, 1.0f / 3.0f, "0.00"},
          Case{kMidBassCutGain, 1, "6.02"}, Case{kMidBassCutFc, 0, "10.0"}, Case{kMidBassCutFc, 1, "200."}}) {
        ParameterProbe effect;
        effect.setParameter(c.index, c.normalised);
        EXPECT_EQ(effect.display(c.index), c.text) << "index " << c.index << " at " << c.normalised;
    }
}

TEST(Parameters, DigitsAreTruncatedNotRounded) {
    ParameterProbe effect;
    effect.setParameter(kVlfCutOff, 0.373f);
    EXPECT_EQ(effect.vlfCutOff, 47.2999992f);
    EXPECT_EQ(effect.display(kVlfCutOff), "47.2");
}

TEST(Parameters, SwitchesKeepTheRawValueAndAreOnStrictlyAboveOneHalf) {
    ParameterProbe effect;
    for (const VstInt32 index : {kEnableDifVlf, kEnableSumShelf}) {
        effect.setParameter(index, 0.5f);
        EXPECT_EQ(effect.getParameter(index), 0.5f);
        EXPECT_EQ(effect.display(index), "Off");
        effect.setParameter(index, 0.500001f);
        EXPECT_EQ(effect.display(index), "On");
        effect.setParameter(index, 0.7f);
        EXPECT_EQ(effect.getParameter(index), 0.7f) << "a switch reads back what it was given";
        effect.setParameter(index, 0.0f);
        EXPECT_EQ(effect.display(index), "Off");
    }
}

TEST(Parameters, ValuesOutsideTheUnitRangeMapByTheSameRule) {
    ParameterProbe effect;
    effect.setParameter(kLfWidth, 1.5f);
    EXPECT_EQ(effect.lfWidth, 300.0f);
    EXPECT_EQ(effect.display(kLfWidth), "300.");
    EXPECT_EQ(effect.getParameter(kLfWidth), 1.5f);
    effect.setParameter(kMidBassCutGain, -1.0f / 3.0f);
    EXPECT_EQ(effect.display(kMidBassCutGain), "-oo") << "a gain of 0 or less";
}

TEST(Parameters, EachIndexRedesignsOnlyTheSectionsItFeeds) {
    struct Case {
        VstInt32 index;
        const char* changed;
    };
    for (const Case c :
         {Case{kEnableDifVlf, "....."}, Case{kVlfCutOff, "Vv..."}, Case{kLfWidth, "..S.."}, Case{kMicSpacing, "..S.."},
          Case{kEnableSumShelf, "....."}, Case{kMidBassCutGain, "...B."}, Case{kMidBassCutFc, "...Bb"}}) {
        ParameterProbe effect;
        const Designs before(effect);
        effect.setParameter(c.index, 0.77f);
        const Designs after(effect);
        EXPECT_EQ(after.changedFrom(before), c.changed) << "index " << c.index;
        // Whatever changed was designed from the members as they now stand, at the effect's rate.
        EXPECT_EQ(after.changedFrom(expectedDesigns(effect, 44100.0f)), ".....") << "index " << c.index;
    }
}

TEST(Parameters, IndicesOutOfRangeChangeNothingAndLeaveTextsAlone) {
    ParameterProbe effect;
    const Designs before(effect);
    for (const VstInt32 index : {7, -1, 1000, std::numeric_limits<VstInt32>::min()}) {
        effect.setParameter(index, 0.3f);
        EXPECT_EQ(effect.getParameter(index), 0.0f);
        char text[16] = "untouched";
        effect.getParameterName(index, text);
        effect.getParameterLabel(index, text);
        effect.getParameterDisplay(index, text);
        EXPECT_STREQ(text, "untouched");
    }
    // The core's own check, for a binding that makes none (under the sanitizers too).
    effect.applyStoredValue(kNumParams, 0.3f);
    effect.applyStoredValue(static_cast<ParameterIndex>(-1), 0.3f);
    EXPECT_EQ(Designs(effect).changedFrom(before), ".....");
    for (VstInt32 i = 0; i < kNumParams; ++i) {
        EXPECT_EQ(ParameterProbe().getParameter(i), effect.getParameter(i));
    }
}

TEST(Parameters, EveryCallRefreshesTheRateFromTheFramework) {
    ParameterProbe effect;
    effect.currentSampleRate = 32000.0f;  // stored without an announcement, as some framework calls do
    const Designs before(effect);
    effect.setParameter(7, 0.0f);
    EXPECT_EQ(effect.sampleRate, 32000.0f);
    EXPECT_EQ(Designs(effect).changedFrom(before), ".....");
    effect.setParameter(kLfWidth, 0.5f);
    EXPECT_EQ(Designs(effect).changedFrom(expectedDesigns(effect, 44100.0f)), "..S..");
    EXPECT_EQ(Designs(effect).spacingFilter.coefficients.b0,
              expectedDesigns(effect, 32000.0f).spacingFilter.coefficients.b0);
}

TEST(SampleRate, AnAnnouncedRateRedesignsEverySectionAtOnce) {
    for (const float rate : {48000.0f, 96000.0f, 22050.0f}) {
        ParameterProbe effect;
        effect.setParameter(kMicSpacing, 0.2f);
        effect.setSampleRate(rate);
        EXPECT_EQ(effect.getSampleRate(), rate);
        EXPECT_EQ(effect.sampleRate, rate);
        EXPECT_EQ(Designs(effect).changedFrom(expectedDesigns(effect, rate)), ".....") << rate << " Hz";
    }
}

TEST(SampleRate, TheSpacingCornerStaysPutAtTheNewRate) {
    // 18 cm at 100 % puts the difference's corner near 96.26 Hz at any rate: -3 dB there.
    ParameterProbe effect;
    effect.setSampleRate(96000.0f);
    EXPECT_NEAR(std::abs(effect.spacingFilter.response(96.26, 96000.0)), std::sqrt(0.5), 2e-3);
    EXPECT_NEAR(std::abs(effect.vlfHighPass.response(20.0, 96000.0)), 0.5, 1e-3);
}

TEST(SampleRate, AnUnusableRateIsStoredButNeverDesignedFor) {
    ParameterProbe effect;
    effect.setSampleRate(48000.0f);
    const Designs good(effect);
    for (const float rate : {0.0f, -44100.0f, std::numeric_limits<float>::quiet_NaN(),
                             std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()}) {
        effect.setSampleRate(rate);
        const float stored = effect.getSampleRate();
        EXPECT_TRUE(stored == rate || (std::isnan(stored) && std::isnan(rate))) << "the framework keeps " << rate;
        EXPECT_EQ(Designs(effect).changedFrom(good), ".....") << rate;
        effect.setParameter(kEnableDifVlf, 1.0f);
        EXPECT_EQ(effect.sampleRate, 48000.0f) << rate;
    }
    // A later change designs with the last usable rate.
    effect.setParameter(kMicSpacing, 0.5f);
    EXPECT_EQ(Designs(effect).changedFrom(expectedDesigns(effect, 48000.0f)), ".....");
}

namespace {
// Each continuous parameter's range as its users know it: the minimum and the span
// in the stored unit, by index.
struct Range {
    VstInt32 index;
    double minimum;
    double span;
};
constexpr Range kContinuousRanges[] = {
    {kVlfCutOff, 10.0, 100.0},   {kLfWidth, 0.0, 200.0},       {kMicSpacing, 1.0, 50.0},
    {kMidBassCutGain, 0.5, 1.5}, {kMidBassCutFc, 10.0, 190.0},
};

float storedMember(const BrevanderProbe& effect, VstInt32 index) {
    switch (index) {
        case kEnableDifVlf:
            return effect.enableDifVlf;
        case kVlfCutOff:
            return effect.vlfCutOff;
        case kLfWidth:
            return effect.lfWidth;
        case kMicSpacing:
            return effect.micSpacing;
        case kEnableSumShelf:
            return effect.enableSumShelf;
        case kMidBassCutGain:
            return effect.midBassCutGain;
        default:
            return effect.midBassCutFc;
    }
}

// minimum + span * x: the product and the sum each rounded to double, as double
// arithmetic does, then the sum rounded to single.
float expectedStored(const Range& range, float x) {
    const double product = (exact::Value::of(x) * range.span).toDouble();
    const double sum = (exact::Value::of(range.minimum) + exact::Value::of(product)).toDouble();
    return exact::Value::of(sum).toFloat();
}

// (stored - minimum) / span: the difference and the quotient each rounded to double,
// then the quotient rounded to single.
float expectedNormalised(const Range& range, float stored) {
    const double difference = (exact::Value::of(stored) - exact::Value::of(range.minimum)).toDouble();
    const double quotient = (exact::Value::of(difference) / range.span).toDouble();
    return exact::Value::of(quotient).toFloat();
}

std::uint32_t bitsOf(float x) {
    std::uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

std::string describe(float x) {
    char text[64];
    std::snprintf(text, sizeof text, "%.9g (0x%08x)", static_cast<double>(x), static_cast<unsigned>(bitsOf(x)));
    return text;
}

// Normalised values as a host sends them and beyond: steps of 2^-24 across [0, 1),
// full 24-bit significands down to 2^-40, values outside the range on both sides,
// and the ends and extremes. Every draw is an integer scaled by a power of two.
std::vector<float> normalisedValues(std::uint32_t seed, std::size_t count) {
    std::vector<float> values = {
        0.0f, -0.0f, 1.0f,    0.5f,     1.0f - 0x1p-24f, 0x1p-24f, 0x1p-149f, 0x1p-126f, -0x1p-149f,  -1.0f,
        2.0f, 1.5f,  0x1p60f, -0x1p60f, 1e30f,           -1e30f,   0.1f,      0.373f,    1.0f / 3.0f, 0.99999994f};
    SeededNoise random(seed);
    while (values.size() < count) {
        const std::uint32_t kind = random.next() >> 29;
        const double significand = static_cast<double>((random.next() >> 8) | 0x800000u);  // 24 bits, top one set
        if (kind < 3) {
            values.push_back(static_cast<float>(std::ldexp(static_cast<double>(random.next() >> 8), -24)));
        } else if (kind < 6) {
            const int scale = static_cast<int>((random.next() >> 16) % 40u);
            values.push_back(static_cast<float>(std::ldexp(significand, -24 - scale)));
        } else {
            const int scale = static_cast<int>((random.next() >> 16) % 24u) - 21;
            const double sign = (random.next() >> 31) != 0 ? -1.0 : 1.0;
            values.push_back(static_cast<float>(sign * std::ldexp(significand, scale - 24)));
        }
    }
    return values;
}

constexpr std::size_t kMappingValues = 100000;
}  // namespace

TEST(ParameterMapping, ContinuousValuesAreStoredAndReadBackRoundedOnceFromDouble) {
    for (const Range& range : kContinuousRanges) {
        ParameterProbe effect;
        std::size_t storeMismatches = 0;
        std::size_t readMismatches = 0;
        std::string firstStore;
        std::string firstRead;
        for (const float x : normalisedValues(static_cast<std::uint32_t>(700 + range.index), kMappingValues)) {
            effect.setParameter(range.index, x);
            const float stored = storedMember(effect, range.index);
            const float wantStored = expectedStored(range, x);
            if (bitsOf(stored) != bitsOf(wantStored) && storeMismatches++ == 0) {
                firstStore = "x " + describe(x) + " stored " + describe(stored) + ", expected " + describe(wantStored);
            }
            const float readBack = effect.getParameter(range.index);
            const float wantRead = expectedNormalised(range, stored);
            if (bitsOf(readBack) != bitsOf(wantRead) && readMismatches++ == 0) {
                firstRead = "stored " + describe(stored) + " read back " + describe(readBack) + ", expected " +
                            describe(wantRead);
            }
        }
        EXPECT_EQ(storeMismatches, 0u) << "index " << range.index << ", first: " << firstStore;
        EXPECT_EQ(readMismatches, 0u) << "index " << range.index << ", first: " << firstRead;
    }
}

TEST(ParameterMapping, SwitchesStoreAndReadBackTheValueBitForBit) {
    for (const VstInt32 index : {kEnableDifVlf, kEnableSumShelf}) {
        ParameterProbe effect;
        std::size_t mismatches = 0;
        std::string first;
        for (const float x : normalisedValues(static_cast<std::uint32_t>(700 + index), kMappingValues)) {
            effect.setParameter(index, x);
            const float stored = storedMember(effect, index);
            const float readBack = effect.getParameter(index);
            if ((bitsOf(stored) != bitsOf(x) || bitsOf(readBack) != bitsOf(x)) && mismatches++ == 0) {
                first = "x " + describe(x) + " stored " + describe(stored) + " read back " + describe(readBack);
            }
        }
        EXPECT_EQ(mismatches, 0u) << "index " << index << ", first: " << first;
    }
}

TEST(ParameterMapping, TheReferenceRoundsTiesToEvenAndTwiceWhereDoubleArithmeticDoes) {
    // Cases worked by hand. 1 + 2^-24 lies halfway between two floats: ties to even.
    EXPECT_EQ((exact::Value::of(1.0) + exact::Value::of(0x1p-24)).toFloat(), 1.0f);
    EXPECT_EQ((exact::Value::of(1.0) + exact::Value::of(0x1.8p-24)).toFloat(), 1.0f + 0x1p-23f);
    // 1 + 2^-24 + 2^-60 is above halfway in exact arithmetic, but double arithmetic
    // drops the 2^-60 first and then ties to even.
    const double inDouble = (exact::Value::of(1.0 + 0x1p-24) + exact::Value::of(0x1p-60)).toDouble();
    EXPECT_EQ(inDouble, 1.0 + 0x1p-24);
    EXPECT_EQ(exact::Value::of(inDouble).toFloat(), 1.0f);
    // 0.1f * 100 in exact arithmetic is 10.000000149011612; rounded to single, 10.
    EXPECT_EQ((exact::Value::of(0.1f) * 100.0).toFloat(), 10.0f);
    // 0.5 / 1.5 is one third, which no double holds: correctly rounded.
    EXPECT_EQ((exact::Value::of(0.5) / 1.5).toDouble(), 1.0 / 3.0);
    EXPECT_EQ((exact::Value::of(47.2999992f) - exact::Value::of(10.0)).toFloat(), 37.2999992f);
    // The smallest subnormal survives as itself; half of it rounds to zero (even).
    EXPECT_EQ(exact::Value::of(0x1p-149).toFloat(), 0x1p-149f);
    EXPECT_EQ(exact::Value::of(0x1p-150).toFloat(), 0.0f);
    EXPECT_EQ(exact::Value::of(0x1.8p-150).toFloat(), 0x1p-149f);
}
