// AudioEffect's own behaviour, through a minimal effect class: the record it
// fills, the setters, the host queries with and without a host, automation,
// deletion on close and the editor it owns.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "AudioEffect.h"
#include "Opcodes.h"

namespace {
struct Call {
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    void* ptr;
    float opt;
};

// Calls that reach the host callback or the effect's setParameter, in the order made.
std::vector<Call> journal;
VstIntPtr hostAnswer = 0;

VstIntPtr VSTCALLBACK recordingHost(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    journal.push_back({opcode, index, value, ptr, opt});
    return hostAnswer;
}

constexpr VstInt32 kSetParameterMark = -1000;

class PlainEffect : public AudioEffect {
public:
    explicit PlainEffect(audioMasterCallback host, bool* destroyed = nullptr, bool* closed = nullptr)
        : AudioEffect(host, 3, 5), destroyed_(destroyed), closed_(closed) {}
    ~PlainEffect() override {
        if (destroyed_ != nullptr) {
            *destroyed_ = true;
        }
    }
    void processReplacing(float**, float**, VstInt32) override {}
    void setParameter(VstInt32 index, float value) override {
        journal.push_back({kSetParameterMark, index, 0, nullptr, value});
    }
    void close() override {
        if (closed_ != nullptr) {
            *closed_ = true;
        }
    }
    void attach(AEffEditor* newEditor) { editor = newEditor; }

private:
    bool* destroyed_;
    bool* closed_;
};

class ScriptedEditor : public AEffEditor {
public:
    ScriptedEditor(AudioEffect* effect, std::vector<const char*>& log, bool* destroyed)
        : AEffEditor(effect), log_(log), destroyed_(destroyed) {}
    ~ScriptedEditor() override { *destroyed_ = true; }
    bool getRect(ERect** rect) override {
        log_.push_back("getRect");
        *rect = nullptr;
        return true;
    }
    bool open(void*) override {
        log_.push_back("open");
        return true;
    }
    void close() override { log_.push_back("close"); }
    void idle() override { log_.push_back("idle"); }

private:
    std::vector<const char*>& log_;
    bool* destroyed_;
};

class AudioEffectTest : public ::testing::Test {
protected:
    void SetUp() override {
        journal.clear();
        hostAnswer = 0;
    }
};
}  // namespace

TEST_F(AudioEffectTest, ConstructorFillsTheRecord) {
    PlainEffect effect(recordingHost);
    const AEffect& r = *effect.getAeffect();
    EXPECT_EQ(r.magic, 0x56737450);
    EXPECT_EQ(r.numPrograms, 3);
    EXPECT_EQ(r.numParams, 5);
    EXPECT_EQ(r.numInputs, 1);
    EXPECT_EQ(r.numOutputs, 2);
    EXPECT_EQ(r.flags, effFlagsCanReplacing);
    EXPECT_EQ(r.uniqueID, 0x4E6F4566);
    EXPECT_EQ(r.version, 1);
    EXPECT_EQ(r.ioRatio, 1.0f);
    EXPECT_EQ(r.object, &effect);
    EXPECT_EQ(effect.getSampleRate(), 44100.0f);
    EXPECT_EQ(effect.getBlockSize(), 1024);
    EXPECT_EQ(effect.getProgram(), 0);
    EXPECT_EQ(effect.getEditor(), nullptr);
    EXPECT_TRUE(journal.empty()) << "construction calls the host";
}

TEST_F(AudioEffectTest, SettersStoreTheirArgumentsAndFlagSettersTouchOneBit) {
    PlainEffect effect(recordingHost);
    const AEffect& r = *effect.getAeffect();
    effect.hasVu(true);
    effect.canMono(true);
    effect.hasVu(false);
    EXPECT_EQ(r.flags, 0x18);
    effect.hasClip(true);
    effect.programsAreChunks(true);
    effect.canDoubleReplacing(true);
    effect.canProcessReplacing(false);
    EXPECT_EQ(r.flags, 0x2 | 0x8 | 0x20 | 0x1000);

    effect.setUniqueID(fourCharCode('T', 'e', 's', 't'));
    effect.setNumInputs(6);
    effect.setNumOutputs(8);
    effect.setInitialDelay(128);
    effect.setRealtimeQualities(3);
    effect.setOfflineQualities(7);
    EXPECT_EQ(r.uniqueID, 0x54657374);
    EXPECT_EQ(r.numInputs, 6);
    EXPECT_EQ(r.numOutputs, 8);
    EXPECT_EQ(r.initialDelay, 128);
    EXPECT_EQ(r.realQualities, 3);
    EXPECT_EQ(r.offQualities, 7);
}

TEST_F(AudioEffectTest, HostQueriesSendTheirOpcodesAndConvertTheAnswers) {
    PlainEffect effect(recordingHost);
    hostAnswer = 0;
    EXPECT_EQ(effect.getMasterVersion(), 1) << "an answer of 0 counts as version 1";
    hostAnswer = 2400;
    EXPECT_EQ(effect.getMasterVersion(), 2400);
    hostAnswer = 0x1234;
    EXPECT_EQ(effect.getCurrentUniqueId(), 0x1234);
    effect.masterIdle();
    hostAnswer = 1;
    EXPECT_FALSE(effect.isInputConnected(1));
    hostAnswer = 0;
    EXPECT_TRUE(effect.isOutputConnected(0));

    ASSERT_EQ(journal.size(), 6u);
    EXPECT_EQ(journal[0].opcode, audioMasterVersion);
    EXPECT_EQ(journal[2].opcode, audioMasterCurrentId);
    EXPECT_EQ(journal[3].opcode, audioMasterIdle);
    EXPECT_EQ(journal[4].opcode, audioMasterPinConnected);
    EXPECT_EQ(journal[4].index, 1);
    EXPECT_EQ(journal[4].value, 0) << "value 0 asks about an input";
    EXPECT_EQ(journal[5].opcode, audioMasterPinConnected);
    EXPECT_EQ(journal[5].index, 0);
    EXPECT_EQ(journal[5].value, 1) << "value 1 asks about an output";
    for (const Call& call : journal) {
        EXPECT_EQ(call.ptr, nullptr);
        EXPECT_EQ(call.opt, 0.0f);
    }
}

TEST_F(AudioEffectTest, WithoutAHostEveryQueryFallsBack) {
    PlainEffect effect(nullptr);
    EXPECT_EQ(effect.getMasterVersion(), 1);
    EXPECT_EQ(effect.getCurrentUniqueId(), 0);
    effect.masterIdle();
    EXPECT_TRUE(effect.isInputConnected(0));
    EXPECT_TRUE(effect.isOutputConnected(1));
    effect.setParameterAutomated(2, 0.5f);
    ASSERT_EQ(journal.size(), 1u) << "only the parameter itself is set";
    EXPECT_EQ(journal[0].opcode, kSetParameterMark);
}

TEST_F(AudioEffectTest, AutomationSetsTheParameterFirstThenTellsTheHost) {
    PlainEffect effect(recordingHost);
    effect.setParameterAutomated(3, 0.25f);
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(journal[0].opcode, kSetParameterMark);
    EXPECT_EQ(journal[0].index, 3);
    EXPECT_EQ(journal[0].opt, 0.25f);
    EXPECT_EQ(journal[1].opcode, audioMasterAutomate);
    EXPECT_EQ(journal[1].index, 3);
    EXPECT_EQ(journal[1].value, 0);
    EXPECT_EQ(journal[1].ptr, nullptr);
    EXPECT_EQ(journal[1].opt, 0.25f);
}

TEST_F(AudioEffectTest, CloseThroughTheRecordRunsCloseThenDeletesTheObject) {
    bool destroyed = false;
    bool closed = false;
    auto* effect = new PlainEffect(recordingHost, &destroyed, &closed);
    AEffect* record = effect->getAeffect();
    EXPECT_EQ(record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f), 1);
    EXPECT_TRUE(closed);
    EXPECT_TRUE(destroyed);
}

TEST_F(AudioEffectTest, CloseReachedOtherThanThroughTheRecordDeletesNothing) {
    bool destroyed = false;
    bool closed = false;
    PlainEffect effect(recordingHost, &destroyed, &closed);
    EXPECT_EQ(effect.dispatcher(effClose, 0, 0, nullptr, 0.0f), 0);
    EXPECT_TRUE(closed);
    EXPECT_FALSE(destroyed);
}

TEST_F(AudioEffectTest, AnAttachedEditorReceivesTheEditorOpcodesAndDiesWithTheEffect) {
    std::vector<const char*> log;
    bool editorDestroyed = false;
    {
        PlainEffect effect(recordingHost);
        effect.attach(new ScriptedEditor(&effect, log, &editorDestroyed));
        AEffect* record = effect.getAeffect();
        ERect* rect = reinterpret_cast<ERect*>(&log);
        int parentWindow = 0;
        EXPECT_EQ(record->dispatcher(record, effEditGetRect, 0, 0, &rect, 0.0f), 1);
        EXPECT_EQ(rect, nullptr);
        EXPECT_EQ(record->dispatcher(record, effEditOpen, 0, 0, &parentWindow, 0.0f), 1);
        EXPECT_EQ(record->dispatcher(record, effEditIdle, 0, 0, nullptr, 0.0f), 0);
        EXPECT_EQ(record->dispatcher(record, effEditClose, 0, 0, nullptr, 0.0f), 0);
        EXPECT_FALSE(editorDestroyed);
    }
    EXPECT_TRUE(editorDestroyed);
    EXPECT_EQ(log, (std::vector<const char*>{"getRect", "open", "idle", "close"}));
}

TEST_F(AudioEffectTest, DefaultTextsAreEmptyAndChunksAreRefused) {
    PlainEffect effect(recordingHost);
    char text[8] = "unset";
    effect.getProgramName(text);
    EXPECT_STREQ(text, "");
    std::strcpy(text, "unset");
    effect.getParameterName(0, text);
    EXPECT_STREQ(text, "");
    void* data = &effect;
    EXPECT_EQ(effect.getChunk(&data, true), 0);
    EXPECT_EQ(data, &effect);
    EXPECT_EQ(effect.setChunk(data, 16, false), 0);
}
