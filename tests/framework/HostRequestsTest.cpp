// AudioEffectX's requests to the host: the arguments each one sends, how it turns
// the answer into its result, and what it gives without a host.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "AudioEffectX.h"
#include "Opcodes.h"

namespace {
struct Sent {
    AEffect* effect;
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    void* ptr;
    float opt;
};
std::vector<Sent> sent;
VstIntPtr answer = 0;

VstIntPtr VSTCALLBACK fakeHost(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                               float opt) {
    sent.push_back({effect, opcode, index, value, ptr, opt});
    return answer;
}

class ExtendedEffect : public AudioEffectX {
public:
    explicit ExtendedEffect(audioMasterCallback host) : AudioEffectX(host, 1, 1) {}
    void processReplacing(float**, float**, VstInt32) override {}
    void setSampleRate(float) override { setterCalls.push_back("setSampleRate"); }
    void setBlockSize(VstInt32) override { setterCalls.push_back("setBlockSize"); }
    AEffect* record() { return &cEffect; }
    float storedRate() const { return currentSampleRate; }
    VstInt32 storedBlockSize() const { return blockSize; }
    std::vector<std::string> setterCalls;
};

// Distinct addresses standing in for the host's records.
char markers[8][4];
template <typename T>
T* marker(int i) {
    return reinterpret_cast<T*>(markers[i]);
}

enum class Result { boolean, integer, zeroOne, pointer, none };

struct Request {
    const char* name;
    std::function<VstIntPtr(ExtendedEffect&)> call;
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    void* ptr;
    float opt;
    Result result;
};

VstIntPtr fromBool(bool b) { return b ? 1 : 0; }
VstIntPtr fromPointer(const void* p) { return reinterpret_cast<VstIntPtr>(p); }

std::vector<Request> requests() {
    char* text = marker<char>(0);
    auto* task = marker<VstOfflineTask>(1);
    auto* files = marker<VstAudioFile>(2);
    auto* window = marker<VstWindow>(3);
    auto* selector = marker<VstFileSelect>(4);
    void* opaque = marker<void>(5);
    using R = Result;
    using E = ExtendedEffect;
    return {
        {"wantEvents",
         [](E& e) {
             e.wantEvents(3);
             return VstIntPtr{0};
         },
         6, 0, 3, nullptr, 0, R::none},
        {"getTimeInfo", [](E& e) { return fromPointer(e.getTimeInfo(5)); }, 7, 0, 5, nullptr, 0, R::pointer},
        {"tempoAt", [](E& e) { return VstIntPtr{e.tempoAt(1000)}; }, 10, 0, 1000, nullptr, 0, R::integer},
        {"getNumAutomatableParameters", [](E& e) { return VstIntPtr{e.getNumAutomatableParameters()}; }, 11, 0, 0,
         nullptr, 0, R::integer},
        {"getParameterQuantization", [](E& e) { return VstIntPtr{e.getParameterQuantization()}; }, 12, 0, 0, nullptr, 0,
         R::integer},
        {"ioChanged", [](E& e) { return fromBool(e.ioChanged()); }, 13, 0, 0, nullptr, 0, R::boolean},
        {"needIdle", [](E& e) { return fromBool(e.needIdle()); }, 14, 0, 0, nullptr, 0, R::boolean},
        {"sizeWindow", [](E& e) { return fromBool(e.sizeWindow(640, 480)); }, 15, 640, 480, nullptr, 0, R::boolean},
        {"getInputLatency", [](E& e) { return VstIntPtr{e.getInputLatency()}; }, 18, 0, 0, nullptr, 0, R::integer},
        {"getOutputLatency", [](E& e) { return VstIntPtr{e.getOutputLatency()}; }, 19, 0, 0, nullptr, 0, R::integer},
        {"getPreviousPlug", [](E& e) { return fromPointer(e.getPreviousPlug(5)); }, 20, 0, 0, nullptr, 0, R::pointer},
        {"getNextPlug", [](E& e) { return fromPointer(e.getNextPlug(5)); }, 21, 0, 0, nullptr, 0, R::pointer},
        {"willProcessReplacing", [](E& e) { return VstIntPtr{e.willProcessReplacing()}; }, 22, 0, 0, nullptr, 0,
         R::integer},
        {"getCurrentProcessLevel", [](E& e) { return VstIntPtr{e.getCurrentProcessLevel()}; }, 23, 0, 0, nullptr, 0,
         R::integer},
        {"getAutomationState", [](E& e) { return VstIntPtr{e.getAutomationState()}; }, 24, 0, 0, nullptr, 0,
         R::integer},
        {"offlineStart", [=](E& e) { return fromBool(e.offlineStart(files, 4, 2)); }, 25, 2, 4, files, 0, R::boolean},
        {"offlineRead", [=](E& e) { return fromBool(e.offlineRead(task, 2, true)); }, 26, 1, 2, task, 0, R::boolean},
        {"offlineRead from the output", [=](E& e) { return fromBool(e.offlineRead(task, 2, false)); }, 26, 0, 2, task,
         0, R::boolean},
        {"offlineWrite", [=](E& e) { return fromBool(e.offlineWrite(task, 3)); }, 27, 0, 3, task, 0, R::boolean},
        {"offlineGetCurrentPass", [](E& e) { return VstIntPtr{e.offlineGetCurrentPass()}; }, 28, 0, 0, nullptr, 0,
         R::zeroOne},
        {"offlineGetCurrentMetaPass", [](E& e) { return VstIntPtr{e.offlineGetCurrentMetaPass()}; }, 29, 0, 0, nullptr,
         0, R::zeroOne},
        {"setOutputSamplerate",
         [](E& e) {
             e.setOutputSamplerate(48000.0f);
             return VstIntPtr{0};
         },
         30, 0, 0, nullptr, 48000.0f, R::none},
        {"getOutputSpeakerArrangement", [](E& e) { return fromPointer(e.getOutputSpeakerArrangement()); }, 31, 0, 0,
         nullptr, 0, R::pointer},
        {"getHostVendorString", [=](E& e) { return fromBool(e.getHostVendorString(text)); }, 32, 0, 0, text, 0,
         R::boolean},
        {"getHostProductString", [=](E& e) { return fromBool(e.getHostProductString(text)); }, 33, 0, 0, text, 0,
         R::boolean},
        {"getHostVendorVersion", [](E& e) { return VstIntPtr{e.getHostVendorVersion()}; }, 34, 0, 0, nullptr, 0,
         R::integer},
        // The one request whose answer keeps its full width.
        {"hostVendorSpecific", [=](E& e) { return e.hostVendorSpecific(1, 2, opaque, 0.5f); }, 35, 1, 2, opaque, 0.5f,
         R::pointer},
        {"canHostDo", [=](E& e) { return VstIntPtr{e.canHostDo(text)}; }, 37, 0, 0, text, 0, R::zeroOne},
        {"getHostLanguage", [](E& e) { return VstIntPtr{e.getHostLanguage()}; }, 38, 0, 0, nullptr, 0, R::integer},
        {"openWindow", [=](E& e) { return fromPointer(e.openWindow(window)); }, 39, 0, 0, window, 0, R::pointer},
        {"closeWindow", [=](E& e) { return fromBool(e.closeWindow(window)); }, 40, 0, 0, window, 0, R::boolean},
        {"getDirectory", [](E& e) { return fromPointer(e.getDirectory()); }, 41, 0, 0, nullptr, 0, R::pointer},
        {"updateDisplay", [](E& e) { return fromBool(e.updateDisplay()); }, 42, 0, 0, nullptr, 0, R::boolean},
        {"beginEdit", [](E& e) { return fromBool(e.beginEdit(3)); }, 43, 3, 0, nullptr, 0, R::boolean},
        {"endEdit", [](E& e) { return fromBool(e.endEdit(3)); }, 44, 3, 0, nullptr, 0, R::boolean},
        {"openFileSelector", [=](E& e) { return fromBool(e.openFileSelector(selector)); }, 45, 0, 0, selector, 0,
         R::boolean},
        {"closeFileSelector", [=](E& e) { return fromBool(e.closeFileSelector(selector)); }, 46, 0, 0, selector, 0,
         R::boolean},
        {"getChunkFile", [=](E& e) { return fromBool(e.getChunkFile(opaque)); }, 48, 0, 0, opaque, 0, R::boolean},
        {"getInputSpeakerArrangement", [](E& e) { return fromPointer(e.getInputSpeakerArrangement()); }, 49, 0, 0,
         nullptr, 0, R::pointer},
    };
}

VstIntPtr converted(Result result, VstIntPtr hostAnswer) {
    switch (result) {
        case Result::boolean:
        case Result::zeroOne:
            return hostAnswer != 0 ? 1 : 0;
        case Result::integer:
            return static_cast<VstInt32>(hostAnswer);
        case Result::pointer:
            return hostAnswer;
        case Result::none:
            break;
    }
    return 0;
}

class HostRequests : public ::testing::Test {
protected:
    void SetUp() override {
        sent.clear();
        answer = 0;
    }
};
}  // namespace

TEST_F(HostRequests, EachSendsItsOpcodeAndArgumentsOnceAndConvertsTheAnswer) {
    for (const Request& request : requests()) {
        for (const VstIntPtr hostAnswer : {VstIntPtr{0}, VstIntPtr{7}, VstIntPtr{-1}}) {
            ExtendedEffect effect(fakeHost);
            sent.clear();
            answer = hostAnswer;
            const VstIntPtr result = request.call(effect);
            ASSERT_EQ(sent.size(), 1u) << request.name;
            const Sent& s = sent[0];
            EXPECT_EQ(s.effect, effect.record()) << request.name;
            EXPECT_EQ(s.opcode, request.opcode) << request.name;
            EXPECT_EQ(s.index, request.index) << request.name;
            EXPECT_EQ(s.value, request.value) << request.name;
            EXPECT_EQ(s.ptr, request.ptr) << request.name;
            EXPECT_EQ(s.opt, request.opt) << request.name;
            EXPECT_EQ(result, converted(request.result, hostAnswer)) << request.name << " answered " << hostAnswer;
        }
    }
}

TEST_F(HostRequests, WithoutAHostEachGivesItsNeutralResultAndCallsNothing) {
    for (const Request& request : requests()) {
        ExtendedEffect effect(nullptr);
        EXPECT_EQ(request.call(effect), 0) << request.name;
    }
    EXPECT_TRUE(sent.empty());
}

TEST_F(HostRequests, NullSelectorsAndPathsAreRefusedWithoutACall) {
    ExtendedEffect effect(fakeHost);
    answer = 1;
    EXPECT_FALSE(effect.openFileSelector(nullptr));
    EXPECT_FALSE(effect.closeFileSelector(nullptr));
    EXPECT_FALSE(effect.getChunkFile(nullptr));
    EXPECT_TRUE(sent.empty());
}

TEST_F(HostRequests, UpdateSampleRateKeepsOnlyAPositiveAnswer) {
    ExtendedEffect effect(fakeHost);
    answer = 48000;
    EXPECT_EQ(effect.updateSampleRate(), 48000.0);
    EXPECT_EQ(effect.storedRate(), 48000.0f);
    for (const VstIntPtr refused : {VstIntPtr{0}, VstIntPtr{-1}}) {
        answer = refused;
        EXPECT_EQ(effect.updateSampleRate(), 48000.0) << refused;
    }
    EXPECT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].opcode, audioMasterGetSampleRate);
    EXPECT_TRUE(effect.setterCalls.empty()) << "the rate is written straight into the field";

    ExtendedEffect alone(nullptr);
    EXPECT_EQ(alone.updateSampleRate(), 44100.0);
}

TEST_F(HostRequests, UpdateBlockSizeKeepsOnlyAPositiveAnswer) {
    ExtendedEffect effect(fakeHost);
    answer = 512;
    EXPECT_EQ(effect.updateBlockSize(), 512);
    answer = 0;
    EXPECT_EQ(effect.updateBlockSize(), 512);
    EXPECT_EQ(sent.back().opcode, audioMasterGetBlockSize);
    EXPECT_TRUE(effect.setterCalls.empty());

    ExtendedEffect alone(nullptr);
    EXPECT_EQ(alone.updateBlockSize(), 1024);
}

TEST_F(HostRequests, FlagSettersTouchOnlyTheirBitAndTheSynthBitSetsTheCategory) {
    ExtendedEffect effect(fakeHost);
    effect.isSynth(true);
    EXPECT_EQ(effect.getPlugCategory(), 2);
    EXPECT_EQ(effect.record()->flags, 0x10 | 0x100);
    effect.noTail(true);
    effect.wantAsyncOperation(true);
    effect.hasExternalBuffer(true);
    EXPECT_EQ(effect.record()->flags, 0x10 | 0x100 | 0x200 | 0x400 | 0x800);
    effect.isSynth(false);
    EXPECT_EQ(effect.getPlugCategory(), 0);
    effect.noTail(false);
    effect.wantAsyncOperation(false);
    effect.hasExternalBuffer(false);
    EXPECT_EQ(effect.record()->flags, 0x10);
    EXPECT_TRUE(sent.empty());
}

TEST_F(HostRequests, DefaultsForEffectClasses) {
    ExtendedEffect effect(fakeHost);
    char text[8] = "kept";
    VstSpeakerArrangement dummy{};
    VstSpeakerArrangement* in = &dummy;
    VstSpeakerArrangement* out = &dummy;
    EXPECT_FALSE(effect.getSpeakerArrangement(&in, &out));
    EXPECT_EQ(in, nullptr);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(effect.setTotalSampleToProcess(512), 512);
    EXPECT_EQ(effect.getVstVersion(), 2400);
    EXPECT_EQ(effect.getCurrentMidiProgram(0, nullptr), -1);
    EXPECT_EQ(effect.getNumCategories(), 1);
    EXPECT_TRUE(effect.canParameterBeAutomated(1000));
    EXPECT_EQ(effect.canDo(text), 0);
    EXPECT_FALSE(effect.getEffectName(text));
    EXPECT_STREQ(text, "kept");
    EXPECT_EQ(effect.reportDestinationBuffer(), nullptr);
    EXPECT_EQ(effect.getIcon(), nullptr);

    effect.setBlockSizeAndSampleRate(256, 88200.0f);
    EXPECT_EQ(effect.storedBlockSize(), 256);
    EXPECT_EQ(effect.storedRate(), 88200.0f);
    EXPECT_TRUE(effect.setterCalls.empty());
    EXPECT_TRUE(sent.empty());
}
