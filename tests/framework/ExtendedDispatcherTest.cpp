// The extended dispatcher: which operation each opcode reaches with which
// arguments, how its result is answered, the key record handed to an editor,
// and the opcodes left to the base dispatcher.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "AudioEffectX.h"
#include "Opcodes.h"

namespace {
char ptrMarker[4];
char valueMarker[4];

// Writes an argument so that the two marker addresses read as "ptr" and "value".
std::string arg(const void* p) {
    if (p == ptrMarker) {
        return "ptr";
    }
    if (p == valueMarker) {
        return "value";
    }
    return p == nullptr ? "null" : "other";
}
std::string arg(VstIntPtr v) { return std::to_string(v); }
std::string arg(bool b) { return b ? "true" : "false"; }
std::string arg(float f) {
    std::ostringstream s;
    s << f;
    return s.str();
}

template <typename... Args>
std::string call(const char* name, Args... args) {
    std::string text = std::string(name) + "(";
    const char* separator = "";
    ((text += separator, text += arg(args), separator = ","), ...);
    (void)separator;
    return text + ")";
}

// Overrides every operation the extended dispatcher reaches, logs its arguments
// and answers true or a number of its own.
class LoggingEffect : public AudioEffectX {
public:
    LoggingEffect() : AudioEffectX(nullptr, 1, 1) {}
    void processReplacing(float**, float**, VstInt32) override {}
    void attach(AEffEditor* e) { editor = e; }

    std::vector<std::string> log;

    VstInt32 processEvents(VstEvents* e) override { return note(call("processEvents", e), 11); }
    bool canParameterBeAutomated(VstInt32 i) override { return yes(call("canParameterBeAutomated", VstIntPtr{i})); }
    bool string2parameter(VstInt32 i, char* t) override { return yes(call("string2parameter", VstIntPtr{i}, t)); }
    bool getProgramNameIndexed(VstInt32 c, VstInt32 i, char* t) override {
        return yes(call("getProgramNameIndexed", VstIntPtr{c}, VstIntPtr{i}, t));
    }
    bool getInputProperties(VstInt32 i, VstPinProperties* p) override {
        return yes(call("getInputProperties", VstIntPtr{i}, p));
    }
    bool getOutputProperties(VstInt32 i, VstPinProperties* p) override {
        return yes(call("getOutputProperties", VstIntPtr{i}, p));
    }
    VstInt32 getPlugCategory() override { return note(call("getPlugCategory"), 12); }
    bool offlineNotify(VstAudioFile* f, VstInt32 n, bool s) override {
        return yes(call("offlineNotify", f, VstIntPtr{n}, s));
    }
    bool offlinePrepare(VstOfflineTask* t, VstInt32 n) override { return yes(call("offlinePrepare", t, VstIntPtr{n})); }
    bool offlineRun(VstOfflineTask* t, VstInt32 n) override { return yes(call("offlineRun", t, VstIntPtr{n})); }
    bool processVariableIo(VstVariableIo* io) override { return yes(call("processVariableIo", io)); }
    bool setSpeakerArrangement(VstSpeakerArrangement* in, VstSpeakerArrangement* out) override {
        return yes(call("setSpeakerArrangement", in, out));
    }
    bool setBypass(bool on) override { return yes(call("setBypass", on)); }
    bool getEffectName(char* t) override { return yes(call("getEffectName", t)); }
    bool getVendorString(char* t) override { return yes(call("getVendorString", t)); }
    bool getProductString(char* t) override { return yes(call("getProductString", t)); }
    VstInt32 getVendorVersion() override { return note(call("getVendorVersion"), 13); }
    VstIntPtr vendorSpecific(VstInt32 a, VstIntPtr b, void* p, float f) override {
        return note(call("vendorSpecific", VstIntPtr{a}, b, p, f), 14);
    }
    VstInt32 canDo(char* t) override { return note(call("canDo", t), 15); }
    VstInt32 getGetTailSize() override { return note(call("getGetTailSize"), 16); }
    bool getParameterProperties(VstInt32 i, VstParameterProperties* p) override {
        return yes(call("getParameterProperties", VstIntPtr{i}, p));
    }
    VstInt32 getVstVersion() override { return note(call("getVstVersion"), 17); }
    VstInt32 getMidiProgramName(VstInt32 c, MidiProgramName* n) override {
        return note(call("getMidiProgramName", VstIntPtr{c}, n), 18);
    }
    VstInt32 getCurrentMidiProgram(VstInt32 c, MidiProgramName* n) override {
        return note(call("getCurrentMidiProgram", VstIntPtr{c}, n), 19);
    }
    VstInt32 getMidiProgramCategory(VstInt32 c, MidiProgramCategory* n) override {
        return note(call("getMidiProgramCategory", VstIntPtr{c}, n), 20);
    }
    bool hasMidiProgramsChanged(VstInt32 c) override { return yes(call("hasMidiProgramsChanged", VstIntPtr{c})); }
    bool getMidiKeyName(VstInt32 c, MidiKeyName* k) override { return yes(call("getMidiKeyName", VstIntPtr{c}, k)); }
    bool beginSetProgram() override { return yes(call("beginSetProgram")); }
    bool endSetProgram() override { return yes(call("endSetProgram")); }
    bool getSpeakerArrangement(VstSpeakerArrangement** in, VstSpeakerArrangement** out) override {
        return yes(call("getSpeakerArrangement", static_cast<void*>(in), static_cast<void*>(out)));
    }
    VstInt32 getNextShellPlugin(char* t) override { return note(call("getNextShellPlugin", t), 21); }
    VstInt32 startProcess() override { return note(call("startProcess"), 22); }
    VstInt32 stopProcess() override { return note(call("stopProcess"), 23); }
    VstInt32 setTotalSampleToProcess(VstInt32 v) override {
        return note(call("setTotalSampleToProcess", VstIntPtr{v}), 24);
    }
    bool setPanLaw(VstInt32 t, float v) override { return yes(call("setPanLaw", VstIntPtr{t}, v)); }
    VstInt32 beginLoadBank(VstPatchChunkInfo* i) override { return note(call("beginLoadBank", i), 25); }
    VstInt32 beginLoadProgram(VstPatchChunkInfo* i) override { return note(call("beginLoadProgram", i), 26); }
    bool setProcessPrecision(VstInt32 p) override { return yes(call("setProcessPrecision", VstIntPtr{p})); }
    VstInt32 getNumMidiInputChannels() override { return note(call("getNumMidiInputChannels"), 27); }
    VstInt32 getNumMidiOutputChannels() override { return note(call("getNumMidiOutputChannels"), 28); }

private:
    bool yes(std::string entry) {
        log.push_back(std::move(entry));
        return true;
    }
    VstInt32 note(std::string entry, VstInt32 result) {
        log.push_back(std::move(entry));
        return result;
    }
};

class KeyEditor : public AEffEditor {
public:
    explicit KeyEditor(AudioEffect* effect) : AEffEditor(effect) {}
    std::vector<std::string> keys;
    bool onKeyDown(VstKeyCode& k) override { return record("down", k); }
    bool onKeyUp(VstKeyCode& k) override { return record("up", k); }
    bool setKnobMode(VstInt32 mode) override {
        keys.push_back("knob " + std::to_string(mode));
        return true;
    }

private:
    bool record(const char* what, const VstKeyCode& k) {
        keys.push_back(std::string(what) + " " + std::to_string(k.character) + " " + std::to_string(k.virt) + " " +
                       std::to_string(k.modifier));
        return true;
    }
};

struct Row {
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    const char* expectedCall;
    VstIntPtr expectedAnswer;
};
}  // namespace

TEST(ExtendedDispatcher, EachRowCallsItsOperationWithItsArguments) {
    const VstIntPtr valueAsPointer = reinterpret_cast<VstIntPtr>(valueMarker);
    const Row rows[] = {
        {25, 0, 0, "processEvents(ptr)", 11},
        {26, 6, 0, "canParameterBeAutomated(6)", 1},
        {27, 2, 0, "string2parameter(2,ptr)", 1},
        {29, 3, 7, "getProgramNameIndexed(7,3,ptr)", 1},
        {33, 1, 0, "getInputProperties(1,ptr)", 1},
        {34, 1, 0, "getOutputProperties(1,ptr)", 1},
        {35, 0, 0, "getPlugCategory()", 12},
        {38, 1, 4, "offlineNotify(ptr,4,true)", 1},
        {38, 0, 4, "offlineNotify(ptr,4,false)", 1},
        {39, 0, 5, "offlinePrepare(ptr,5)", 1},
        {40, 0, 6, "offlineRun(ptr,6)", 1},
        {41, 0, 0, "processVariableIo(ptr)", 1},
        {42, 0, valueAsPointer, "setSpeakerArrangement(value,ptr)", 1},
        {44, 0, 9, "setBypass(true)", 1},
        {44, 0, 0, "setBypass(false)", 1},
        {45, 0, 0, "getEffectName(ptr)", 1},
        {47, 0, 0, "getVendorString(ptr)", 1},
        {48, 0, 0, "getProductString(ptr)", 1},
        {49, 0, 0, "getVendorVersion()", 13},
        {50, 4, 5, "vendorSpecific(4,5,ptr,0.25)", 14},
        {51, 0, 0, "canDo(ptr)", 15},
        {52, 0, 0, "getGetTailSize()", 16},
        {56, 3, 0, "getParameterProperties(3,ptr)", 1},
        {58, 0, 0, "getVstVersion()", 17},
        {62, 2, 0, "getMidiProgramName(2,ptr)", 18},
        {63, 2, 0, "getCurrentMidiProgram(2,ptr)", 19},
        {64, 2, 0, "getMidiProgramCategory(2,ptr)", 20},
        {65, 2, 0, "hasMidiProgramsChanged(2)", 1},
        {66, 2, 0, "getMidiKeyName(2,ptr)", 1},
        {67, 0, 0, "beginSetProgram()", 1},
        {68, 0, 0, "endSetProgram()", 1},
        {69, 0, valueAsPointer, "getSpeakerArrangement(value,ptr)", 1},
        {70, 0, 0, "getNextShellPlugin(ptr)", 21},
        {71, 0, 0, "startProcess()", 22},
        {72, 0, 0, "stopProcess()", 23},
        {73, 0, 512, "setTotalSampleToProcess(512)", 24},
        {74, 0, 2, "setPanLaw(2,0.25)", 1},
        {75, 0, 0, "beginLoadBank(ptr)", 25},
        {76, 0, 0, "beginLoadProgram(ptr)", 26},
        {77, 0, 1, "setProcessPrecision(1)", 1},
        {78, 0, 0, "getNumMidiInputChannels()", 27},
        {79, 0, 0, "getNumMidiOutputChannels()", 28},
    };
    for (const Row& row : rows) {
        LoggingEffect effect;
        AEffect* record = effect.getAeffect();
        EXPECT_EQ(record->dispatcher(record, row.opcode, row.index, row.value, ptrMarker, 0.25f), row.expectedAnswer)
            << "opcode " << row.opcode;
        EXPECT_EQ(effect.log, std::vector<std::string>{row.expectedCall}) << "opcode " << row.opcode;
    }
}

TEST(ExtendedDispatcher, GapsAndOpcodesOutsideTheRangeGoToTheBaseDispatcher) {
    LoggingEffect effect;
    for (const VstInt32 opcode : {28, 30, 31, 32, 36, 37, 43, 46, 53, 54, 55, 57, 80, 1000, -1}) {
        EXPECT_EQ(effect.dispatcher(opcode, 1, 1, ptrMarker, 1.0f), 0) << "opcode " << opcode;
    }
    EXPECT_TRUE(effect.log.empty());
    EXPECT_EQ(effect.dispatcher(effIdentify, 0, 0, nullptr, 0.0f), 0x4E764566);
}

TEST(ExtendedDispatcher, KeyOpcodesBuildAKeyRecordForTheEditor) {
    LoggingEffect effect;
    EXPECT_EQ(effect.dispatcher(effEditKeyDown, 'A', 0x1FF, nullptr, 3.9f), 0) << "no editor attached";
    auto* editor = new KeyEditor(&effect);
    effect.attach(editor);
    EXPECT_EQ(effect.dispatcher(effEditKeyDown, 'A', 0x1FF, nullptr, 3.9f), 1);
    EXPECT_EQ(effect.dispatcher(effEditKeyUp, 0x20AC, 0x10, nullptr, -1.5f), 1);
    EXPECT_EQ(effect.dispatcher(effEditKeyUp, 7, 0, nullptr, 1e30f), 1);
    EXPECT_EQ(effect.dispatcher(effSetEditKnobMode, 0, 2, nullptr, 0.0f), 1);
    EXPECT_EQ(editor->keys, (std::vector<std::string>{"down 65 255 3", "up 8364 16 255", "up 7 0 0", "knob 2"}));
}

TEST(ExtendedDispatcher, MainsOnResumesThroughTheVirtualTable) {
    LoggingEffect effect;
    effect.dispatcher(effMainsChanged, 0, 1, nullptr, 0.0f);
    EXPECT_EQ(effect.log, std::vector<std::string>{"canDo(other)"}) << "resume asks canDo about MIDI";
}
