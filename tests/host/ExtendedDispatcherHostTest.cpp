// The extended opcodes 25 to 79 as a host sends them to the loaded file: every one
// is answered by the framework's default, and none calls the host back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "LoadedPlugin.h"
#include "Opcodes.h"

namespace {
class ExtendedOpcodes : public ::testing::Test {
protected:
    Host host;
    PluginInstance effect{loadedPlugin(), host};

    void SetUp() override { host.clearCalls(); }
    void TearDown() override { EXPECT_TRUE(host.calls().empty()) << "an opcode called the host"; }
};
}  // namespace

TEST_F(ExtendedOpcodes, VersionAndAutomationAnswers) {
    EXPECT_EQ(effect.dispatch(effGetVstVersion), 2400);
    for (const VstInt32 index : {0, 6, 1000}) {
        EXPECT_EQ(effect.dispatch(effCanBeAutomated, index), 1) << "index " << index;
    }
    EXPECT_EQ(effect.dispatch(effGetCurrentMidiProgram), -1);
    EXPECT_EQ(effect.dispatch(effSetTotalSampleToProcess, 0, 512), 512);
    EXPECT_EQ(effect.dispatch(effGetPlugCategory), 0);
}

TEST_F(ExtendedOpcodes, CanDoAnswersZeroWhateverTheWord) {
    for (const char* word : {"receiveVstMidiEvent", "bypass", ""}) {
        char text[32];
        std::strcpy(text, word);
        EXPECT_EQ(effect.dispatch(effCanDo, 0, 0, text), 0) << '"' << word << '"';
    }
}

TEST_F(ExtendedOpcodes, NameRequestsAnswerZeroAndLeaveTheTextAlone) {
    for (const VstInt32 opcode : {effGetEffectName, effGetVendorString, effGetProductString}) {
        char text[64] = "untouched";
        EXPECT_EQ(effect.dispatch(opcode, 0, 0, text), 0) << "opcode " << opcode;
        EXPECT_STREQ(text, "untouched");
    }
}

TEST_F(ExtendedOpcodes, SpeakerArrangementRequestWritesNullThroughBoth) {
    int dummy = 0;
    void* input = &dummy;
    void* output = &dummy;
    EXPECT_EQ(effect.dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&input), &output), 0);
    EXPECT_EQ(input, nullptr);
    EXPECT_EQ(output, nullptr);
}

TEST_F(ExtendedOpcodes, EditorOpcodesAnswerZeroWithoutAnEditor) {
    EXPECT_EQ(effect.dispatch(effEditKeyDown, 'a', 0, nullptr, 0.0f), 0);
    EXPECT_EQ(effect.dispatch(effEditKeyUp, 'a', 0, nullptr, 0.0f), 0);
    EXPECT_EQ(effect.dispatch(effSetEditKnobMode, 0, 2), 0);
}

TEST_F(ExtendedOpcodes, EveryOtherExtendedOpcodeAnswersZero) {
    // Buffers large enough for whatever a row might write; a default writes nothing.
    char scratch[512] = {};
    for (VstInt32 opcode = 25; opcode <= 79; ++opcode) {
        switch (opcode) {
            case effCanBeAutomated:
            case effGetVstVersion:
            case effGetCurrentMidiProgram:
            case effGetSpeakerArrangement:
            case effSetTotalSampleToProcess:
                continue;
            default:
                EXPECT_EQ(effect.dispatch(opcode, 1, 0, scratch, 0.5f), 0) << "opcode " << opcode;
        }
    }
    EXPECT_TRUE(std::all_of(std::begin(scratch), std::end(scratch), [](char b) { return b == 0; }));
}

TEST_F(ExtendedOpcodes, SwitchingOnAsksTheHostNothing) { EXPECT_EQ(effect.dispatch(effMainsChanged, 0, 1), 0); }
