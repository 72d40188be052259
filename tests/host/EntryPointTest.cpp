// The entry point as a host meets it: the version query, refusal, independent
// instances, both exported names and close.
#include <gtest/gtest.h>

#include "LoadedPlugin.h"
#include "Opcodes.h"

TEST(EntryPoint, AsksOnlyForTheHostVersionWithANullRecord) {
    Host host;
    PluginInstance effect(loadedPlugin(), host);
    ASSERT_EQ(host.calls().size(), 1u);
    const HostCall& call = host.calls()[0];
    EXPECT_EQ(call.effect, nullptr);
    EXPECT_EQ(call.opcode, audioMasterVersion);
    EXPECT_EQ(call.index, 0);
    EXPECT_EQ(call.value, 0);
    EXPECT_EQ(call.ptr, nullptr);
    EXPECT_EQ(call.opt, 0.0f);
}

TEST(EntryPoint, AVersionAnswerOfZeroRefusesTheInstance) {
    Host host;
    host.versionAnswer = 0;
    EXPECT_EQ(host.createInstance(loadedPlugin().entryPoint()), nullptr);
    EXPECT_EQ(host.calls().size(), 1u);
}

TEST(EntryPoint, AnyOtherVersionAnswerYieldsARecord) {
    for (const VstIntPtr answer : {VstIntPtr{1}, VstIntPtr{2400}, VstIntPtr{-1}}) {
        Host host;
        host.versionAnswer = answer;
        PluginInstance effect(loadedPlugin(), host);
        EXPECT_EQ(effect.record().magic, kEffectMagic) << "version answer " << answer;
    }
}

TEST(EntryPoint, EachCallMakesAnIndependentInstance) {
    Host host;
    PluginInstance first(loadedPlugin(), host);
    PluginInstance second(loadedPlugin(), host);
    EXPECT_NE(&first.record(), &second.record());
    EXPECT_NE(first.record().object, second.record().object);
    EXPECT_NE(first.record().object, nullptr);

    // Audio through one leaves the other's filters untouched.
    const StereoBlock signal = testSignal(2000);
    const StereoBlock fromFirst = processThroughRecord(first, signal);
    EXPECT_EQ(processThroughRecord(second, signal), fromFirst);
}

TEST(EntryPoint, MainAndVSTPluginMainAreOneFunction) {
    const Host::EntryPoint vstPluginMain = loadedPlugin().symbol("VSTPluginMain");
    const Host::EntryPoint mainName = loadedPlugin().symbol("main");
    ASSERT_NE(vstPluginMain, nullptr);
    EXPECT_EQ(vstPluginMain, mainName);

    Host host;
    AEffect* effect = host.createInstance(mainName);
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->uniqueID, fourCharCode('B', 'r', 'v', 'd'));
    EXPECT_EQ(effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f), 1);
}

TEST(EntryPoint, CloseAnswersOneAndMakesNoHostCall) {
    Host host;
    PluginInstance effect(loadedPlugin(), host);
    host.clearCalls();
    EXPECT_EQ(effect.close(), 1);
    EXPECT_FALSE(effect.isOpen());
    EXPECT_TRUE(host.calls().empty());
}
