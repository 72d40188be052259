// Settings from the command line: names in any case or indices, values in the
// parameters' own units, and the normalised values they become.
#include "ParameterSettings.h"

#include <gtest/gtest.h>

#include <cmath>

#include "ParameterTable.h"
#include "ToolError.h"

namespace {
const ParameterCatalogue kBrevander{{"Enable Dif VLF Filter", "VLF Cut-Off", "LF Width", "Mic Spacing",
                                     "Enable Sum LF Shelf", "Mid Bass Cut Gain", "Mid Bass Cut Fc"},
                                    true};

// What the effect stores for the normalised value a setting produces.
float storedFor(const std::string& setting) {
    const ParameterAssignment a = parseSetting(setting, kBrevander);
    return toStored(kParameterTable[static_cast<std::size_t>(a.index)], a.normalised);
}

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const ToolError& e) {
        EXPECT_EQ(e.exitStatus, 2);
        return e.what();
    }
    ADD_FAILURE() << "no error";
    return "";
}
}  // namespace

TEST(ParameterSettings, NamesInAnyCaseAndIndicesFindTheParameter) {
    EXPECT_EQ(parseSetting("Mic Spacing=18", kBrevander).index, 3);
    EXPECT_EQ(parseSetting("  mic SPACING = 18 ", kBrevander).index, 3);
    EXPECT_EQ(parseSetting("3=18", kBrevander).index, 3);
    EXPECT_EQ(parseSetting("mid bass cut gain=0", kBrevander).index, 5);
}

TEST(ParameterSettings, UserUnitsComeBackExactlyThroughTheEffectsMapping) {
    EXPECT_EQ(storedFor("Mic Spacing=18"), 18.0f);
    EXPECT_EQ(storedFor("Mic Spacing=18 cm"), 18.0f);
    EXPECT_EQ(storedFor("LF Width=150"), 150.0f);
    EXPECT_EQ(storedFor("LF Width=150%"), 150.0f);
    EXPECT_EQ(storedFor("VLF Cut-Off=30Hz"), 30.0f);
    EXPECT_EQ(storedFor("Mid Bass Cut Fc=200"), 200.0f);
    EXPECT_EQ(storedFor("VLF Cut-Off=10"), 10.0f);
    // The gain is typed in dB and stored as a linear factor.
    EXPECT_NEAR(20.0 * std::log10(storedFor("Mid Bass Cut Gain=-1.6")), -1.6, 1e-5);
    EXPECT_NEAR(20.0 * std::log10(storedFor("Mid Bass Cut Gain=+6 dB")), 6.0, 1e-5);
    // The ends of the dB range as the display shows them round to the linear ends.
    EXPECT_EQ(storedFor("Mid Bass Cut Gain=-6.02"), 0.5f);
    EXPECT_EQ(storedFor("Mid Bass Cut Gain=6.02"), 2.0f);
}

TEST(ParameterSettings, SwitchesTakeOnAndOffWords) {
    for (const char* on : {"on", "ON", "true", "yes", "1"}) {
        EXPECT_EQ(parseSetting(std::string("Enable Sum LF Shelf=") + on, kBrevander).normalised, 1.0f) << on;
    }
    for (const char* off : {"off", "Off", "false", "no", "0"}) {
        EXPECT_EQ(parseSetting(std::string("Enable Dif VLF Filter=") + off, kBrevander).normalised, 0.0f) << off;
    }
    EXPECT_NE(errorOf([] { parseSetting("Enable Sum LF Shelf=maybe", kBrevander); }).find("switch"), std::string::npos);
}

TEST(ParameterSettings, UnknownNamesListEveryValidName) {
    const std::string message = errorOf([] { parseSetting("Spacing=18", kBrevander); });
    EXPECT_NE(message.find("'Spacing'"), std::string::npos);
    for (const std::string& name : kBrevander.names) {
        EXPECT_NE(message.find("\"" + name + "\""), std::string::npos) << name;
    }
    EXPECT_NE(errorOf([] { parseSetting("7=1", kBrevander); }).find("unknown parameter"), std::string::npos);
}

TEST(ParameterSettings, ValuesOutsideTheRangeOrNotNumbersAreRefused) {
    for (const char* bad : {"Mic Spacing=0.5", "Mic Spacing=52", "LF Width=-1", "LF Width=200.5", "VLF Cut-Off=9",
                            "Mid Bass Cut Fc=201", "Mid Bass Cut Gain=-7", "Mid Bass Cut Gain=6.1"}) {
        EXPECT_NE(errorOf([bad] { parseSetting(bad, kBrevander); }).find("out of range"), std::string::npos) << bad;
    }
    for (const char* bad : {"Mic Spacing=", "Mic Spacing=abc", "Mic Spacing=18 Hz", "Mic Spacing=nan",
                            "Mic Spacing=inf", "Mic Spacing"}) {
        EXPECT_FALSE(errorOf([bad] { parseSetting(bad, kBrevander); }).empty()) << bad;
    }
}

TEST(ParameterSettings, NormalisedValuesGoThroughUnchangedWithinZeroToOne) {
    const ParameterAssignment a = parseNormalisedSetting("2=0.75", kBrevander);
    EXPECT_EQ(a.index, 2);
    EXPECT_EQ(a.normalised, 0.75f);
    EXPECT_EQ(parseNormalisedSetting("6=1", kBrevander).normalised, 1.0f);
    for (const char* bad : {"2=1.5", "2=-0.1", "7=0.5", "LF Width=0.5", "2=nan", "2"}) {
        EXPECT_FALSE(errorOf([bad] { parseNormalisedSetting(bad, kBrevander); }).empty()) << bad;
    }
}

TEST(ParameterSettings, AnotherPluginTakesOnlyNormalisedValues) {
    const ParameterCatalogue other{{"Drive", "Tone"}, false};
    EXPECT_NE(errorOf([&] { parseSetting("Drive=3", other); }).find("--param 0=X"), std::string::npos);
    EXPECT_EQ(parseNormalisedSetting("1=0.25", other).normalised, 0.25f);
    EXPECT_EQ(valueInUnit(other, 1, 0.25f), "0.2500");
    EXPECT_EQ(rangeInUnit(other, 1), "0 to 1");
}

TEST(ParameterSettings, ValuesAndRangesReadInTheirUnits) {
    EXPECT_EQ(valueInUnit(kBrevander, 3, 0.34f), "18.00 cm");
    EXPECT_EQ(valueInUnit(kBrevander, 0, 0.5f), "off");
    EXPECT_EQ(valueInUnit(kBrevander, 4, 0.51f), "on");
    EXPECT_EQ(valueInUnit(kBrevander, 5, 0.0f), "-6.02 dB");
    EXPECT_EQ(rangeInUnit(kBrevander, 3), "1 to 51 cm");
    EXPECT_EQ(rangeInUnit(kBrevander, 5), "-6.02 to +6.02 dB");
    EXPECT_EQ(rangeInUnit(kBrevander, 4), "off or on");
}

TEST(ParameterSettings, APluginWithoutParametersNamesNoIndexRange) {
    const ParameterCatalogue none{{}, false};
    for (const std::string& message : {errorOf([&] { parseNormalisedSetting("0=1", none); }),
                                       errorOf([&] { parseSetting("Drive=1", none); }), errorOf([&] {
                                           parseSettings({{SettingKind::normalised, "0=1"}}, none, "x.so");
                                       })}) {
        EXPECT_NE(message.find("has no parameters"), std::string::npos) << message;
        EXPECT_EQ(message.find("0 to "), std::string::npos) << message;
    }
    EXPECT_TRUE(parseSettings({}, none, "x.so").empty());
}

TEST(ParameterSettings, SettingsOfBothKindsKeepTheirOrder) {
    const std::vector<ParameterAssignment> a = parseSettings(
        {{SettingKind::normalised, "3=0"}, {SettingKind::inUnit, "Mic Spacing=51"}, {SettingKind::normalised, "0=1"}},
        kBrevander, "Brevander.so");
    ASSERT_EQ(a.size(), 3u);
    EXPECT_EQ(a[0].index, 3);
    EXPECT_EQ(a[0].normalised, 0.0f);
    EXPECT_EQ(a[1].index, 3);
    EXPECT_EQ(a[1].normalised, 1.0f);
    EXPECT_EQ(a[2].index, 0);
}
