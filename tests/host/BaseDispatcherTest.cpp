// The base opcodes 0 to 24 as a host sends them through the loaded file's record.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "LoadedPlugin.h"
#include "Opcodes.h"

namespace {
class BaseDispatcher : public ::testing::Test {
protected:
    Host host;
    PluginInstance effect{loadedPlugin(), host};

    void SetUp() override { host.clearCalls(); }
};
}  // namespace

TEST_F(BaseDispatcher, IdentifyAnswersNvEf) { EXPECT_EQ(effect.dispatch(effIdentify), 0x4E764566); }

TEST_F(BaseDispatcher, OpenAnswersZero) { EXPECT_EQ(effect.dispatch(effOpen), 0); }

TEST_F(BaseDispatcher, ProgramNumberStaysBelowTheProgramCount) {
    EXPECT_EQ(effect.dispatch(effSetProgram, 0, 1), 0);
    EXPECT_EQ(effect.dispatch(effGetProgram), 0) << "program 1 is past the one program";
    EXPECT_EQ(effect.dispatch(effSetProgram, 0, 0), 0);
    EXPECT_EQ(effect.dispatch(effGetProgram), 0);
}

TEST_F(BaseDispatcher, ProgramNameRoundTrips) {
    char name[32] = "Overheads";
    EXPECT_EQ(effect.dispatch(effSetProgramName, 0, 0, name), 0);
    char read[32];
    std::memset(read, 'x', sizeof read);
    EXPECT_EQ(effect.dispatch(effGetProgramName, 0, 0, read), 0);
    EXPECT_STREQ(read, "Overheads");
}

TEST_F(BaseDispatcher, SampleRateAndBlockSizeAnswerZero) {
    EXPECT_EQ(effect.dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f), 0);
    EXPECT_EQ(effect.dispatch(effSetBlockSize, 0, 512), 0);
}

TEST_F(BaseDispatcher, MainsOffClearsTheFiltersAndMainsOnDoesNothingAudible) {
    const StereoBlock signal = testSignal(3000);
    const StereoBlock fresh = processThroughRecord(effect, signal);

    EXPECT_EQ(effect.dispatch(effMainsChanged, 0, 0), 0);
    EXPECT_EQ(processThroughRecord(effect, signal), fresh) << "switching off must clear every state";

    // Switching on leaves the running states alone: the next block continues the last one.
    Host referenceHost;
    PluginInstance reference(loadedPlugin(), referenceHost);
    processThroughRecord(reference, signal);
    EXPECT_EQ(effect.dispatch(effMainsChanged, 0, 1), 0);
    EXPECT_EQ(effect.dispatch(effMainsChanged, 0, 2), 0);
    EXPECT_EQ(processThroughRecord(effect, signal), processThroughRecord(reference, signal));
    EXPECT_TRUE(host.calls().empty());
}

TEST_F(BaseDispatcher, EditorOpcodesAnswerZeroWithoutAnEditor) {
    void* rect = nullptr;
    int window = 0;
    EXPECT_EQ(effect.dispatch(effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(rect, nullptr);
    EXPECT_EQ(effect.dispatch(effEditOpen, 0, 0, &window), 0);
    EXPECT_EQ(effect.dispatch(effEditClose), 0);
    EXPECT_EQ(effect.dispatch(effEditIdle), 0);
}

TEST_F(BaseDispatcher, ChunksAreRefusedAndLeftUntouched) {
    char data[16] = "chunk";
    void* chunk = data;
    EXPECT_EQ(effect.dispatch(effGetChunk, 0, 0, &chunk), 0);
    EXPECT_EQ(effect.dispatch(effGetChunk, 1, 0, &chunk), 0);
    EXPECT_EQ(chunk, data);
    EXPECT_EQ(effect.dispatch(effSetChunk, 0, sizeof data, data), 0);
    EXPECT_EQ(effect.dispatch(effSetChunk, 1, sizeof data, data), 0);
    EXPECT_STREQ(data, "chunk");
}

TEST_F(BaseDispatcher, UnlistedOpcodesAnswerZeroAndChangeNothing) {
    const StereoBlock signal = testSignal(500);
    Host referenceHost;
    PluginInstance reference(loadedPlugin(), referenceHost);
    char buffer[256] = "untouched";
    for (const VstInt32 opcode : {9, 16, 17, 18, 20, 21, 80, 100, 1000, -1, -1000, INT_MAX, INT_MIN}) {
        EXPECT_EQ(effect.dispatch(opcode, 1, 1, buffer, 1.0f), 0) << "opcode " << opcode;
    }
    EXPECT_STREQ(buffer, "untouched");
    EXPECT_EQ(processThroughRecord(effect, signal), processThroughRecord(reference, signal));
    EXPECT_TRUE(host.calls().empty());
}
