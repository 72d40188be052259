// The base dispatcher's whole table, opcodes 0 to 24 and one past each end,
// through an effect that records every operation it reaches: which operation each
// opcode calls, which of the host's index, value, ptr and opt become which of its
// arguments, and what goes back to the host. Also the flag setters, each both ways
// from both starting states of its bit.
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "AudioEffectX.h"
#include "Opcodes.h"

namespace {
// Addresses that stand for the host's ptr and for an editor's rectangle; the log
// names them instead of printing an address.
char hostPointer[8];

std::string describe(const void* p) {
    if (p == hostPointer) {
        return "ptr";
    }
    return p == nullptr ? "null" : "elsewhere";
}
std::string describe(std::int64_t n) { return std::to_string(n); }
std::string describe(bool b) { return b ? "true" : "false"; }
std::string describe(float f) {
    std::ostringstream text;
    text << f;
    return text.str();
}

// "name(a,b)" from an operation's name and its arguments.
class Entry {
public:
    explicit Entry(const char* name) : text_(std::string(name) + "(") {}
    template <typename T>
    Entry& operator<<(T argument) {
        if (!first_) {
            text_ += ',';
        }
        text_ += describe(argument);
        first_ = false;
        return *this;
    }
    std::string str() const { return text_ + ")"; }

private:
    std::string text_;
    bool first_ = true;
};

// Editor operations answer `answer` and log themselves into the effect's log.
class RecordingEditor : public AEffEditor {
public:
    RecordingEditor(AudioEffect* effect, std::vector<std::string>& log, bool answer)
        : AEffEditor(effect), log_(log), answer_(answer) {}
    bool getRect(ERect** rect) override {
        log_.push_back((Entry("editor.getRect") << static_cast<const void*>(rect)).str());
        return answer_;
    }
    bool open(void* window) override {
        log_.push_back((Entry("editor.open") << static_cast<const void*>(window)).str());
        return answer_;
    }
    void close() override { log_.push_back("editor.close()"); }
    void idle() override { log_.push_back("editor.idle()"); }

private:
    std::vector<std::string>& log_;
    bool answer_;
};

constexpr VstInt32 kPrograms = 3;

// Replaces every operation the base dispatcher can reach; the integer answers are
// numbers of its own so that a dispatcher answering anything else shows.
class RecordingEffect : public AudioEffect {
public:
    RecordingEffect() : AudioEffect(nullptr, kPrograms, 4) {}
    void processReplacing(float**, float**, VstInt32) override { log.push_back("processReplacing()"); }

    void attachEditor(bool answer) { editor = new RecordingEditor(this, log, answer); }

    std::vector<std::string> log;

    void open() override { log.push_back("open()"); }
    void close() override { log.push_back("close()"); }
    void suspend() override { log.push_back("suspend()"); }
    void resume() override { log.push_back("resume()"); }
    void setSampleRate(float rate) override { log.push_back((Entry("setSampleRate") << rate).str()); }
    void setBlockSize(VstInt32 size) override { log.push_back((Entry("setBlockSize") << std::int64_t{size}).str()); }
    VstInt32 getProgram() override {
        log.push_back("getProgram()");
        return 41;
    }
    void setProgram(VstInt32 program) override { log.push_back((Entry("setProgram") << std::int64_t{program}).str()); }
    void setProgramName(char* name) override {
        log.push_back((Entry("setProgramName") << static_cast<const void*>(name)).str());
    }
    void getProgramName(char* name) override {
        log.push_back((Entry("getProgramName") << static_cast<const void*>(name)).str());
    }
    void getParameterLabel(VstInt32 index, char* label) override {
        log.push_back((Entry("getParameterLabel") << std::int64_t{index} << static_cast<const void*>(label)).str());
    }
    void getParameterDisplay(VstInt32 index, char* text) override {
        log.push_back((Entry("getParameterDisplay") << std::int64_t{index} << static_cast<const void*>(text)).str());
    }
    void getParameterName(VstInt32 index, char* text) override {
        log.push_back((Entry("getParameterName") << std::int64_t{index} << static_cast<const void*>(text)).str());
    }
    VstInt32 getChunk(void** data, bool isPreset) override {
        log.push_back((Entry("getChunk") << static_cast<const void*>(data) << isPreset).str());
        return 1234;
    }
    VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset) override {
        log.push_back(
            (Entry("setChunk") << static_cast<const void*>(data) << std::int64_t{byteSize} << isPreset).str());
        return -4321;
    }
    void setParameter(VstInt32, float) override { log.push_back("setParameter()"); }
    float getParameter(VstInt32) override {
        log.push_back("getParameter()");
        return 0.0f;
    }
};

enum class Editor { none, answeringTrue, answeringFalse };

struct Row {
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    float opt;
    Editor editor;
    std::vector<std::string> calls;  // in the order made
    VstIntPtr answer;
};

// Every row passes the same ptr; index, value and opt differ from row to row so
// that a swapped or dropped argument shows in the log.
const std::vector<Row>& table() {
    static const std::vector<Row> rows = {
        {effOpen, 7, 9, 0.5f, Editor::none, {"open()"}, 0},
        {effClose, 7, 9, 0.5f, Editor::none, {"close()"}, 0},
        {effSetProgram, 7, 2, 0.5f, Editor::none, {"setProgram(2)"}, 0},
        {effSetProgram, 7, 0, 0.5f, Editor::none, {"setProgram(0)"}, 0},
        {effSetProgram, 7, -5, 0.5f, Editor::none, {"setProgram(-5)"}, 0},  // no lower bound
        {effSetProgram, 2, kPrograms, 0.5f, Editor::none, {}, 0},           // the count itself is past the end
        {effSetProgram, 2, 100, 0.5f, Editor::none, {}, 0},
        {effGetProgram, 7, 9, 0.5f, Editor::none, {"getProgram()"}, 41},
        {effSetProgramName, 7, 9, 0.5f, Editor::none, {"setProgramName(ptr)"}, 0},
        {effGetProgramName, 7, 9, 0.5f, Editor::none, {"getProgramName(ptr)"}, 0},
        {effGetParamLabel, 3, 9, 0.5f, Editor::none, {"getParameterLabel(3,ptr)"}, 0},
        {effGetParamDisplay, 4, 9, 0.5f, Editor::none, {"getParameterDisplay(4,ptr)"}, 0},
        {effGetParamName, -2, 9, 0.5f, Editor::none, {"getParameterName(-2,ptr)"}, 0},
        {effSetSampleRate, 7, 9, 48000.5f, Editor::none, {"setSampleRate(48000.5)"}, 0},
        {effSetBlockSize, 7, 512, 0.5f, Editor::none, {"setBlockSize(512)"}, 0},
        {effMainsChanged, 7, 0, 0.5f, Editor::none, {"suspend()"}, 0},
        {effMainsChanged, 0, 1, 0.0f, Editor::none, {"resume()"}, 0},
        {effMainsChanged, 0, -1, 0.0f, Editor::none, {"resume()"}, 0},
        {effMainsChanged, 0, 256, 0.0f, Editor::none, {"resume()"}, 0},  // any value but 0, not its low byte
        {effEditGetRect, 7, 9, 0.5f, Editor::none, {}, 0},
        {effEditGetRect, 7, 9, 0.5f, Editor::answeringTrue, {"editor.getRect(ptr)"}, 1},
        {effEditGetRect, 7, 9, 0.5f, Editor::answeringFalse, {"editor.getRect(ptr)"}, 0},
        {effEditOpen, 7, 9, 0.5f, Editor::none, {}, 0},
        {effEditOpen, 7, 9, 0.5f, Editor::answeringTrue, {"editor.open(ptr)"}, 1},
        {effEditOpen, 7, 9, 0.5f, Editor::answeringFalse, {"editor.open(ptr)"}, 0},
        {effEditClose, 7, 9, 0.5f, Editor::none, {}, 0},
        {effEditClose, 7, 9, 0.5f, Editor::answeringTrue, {"editor.close()"}, 0},
        {effEditIdle, 7, 9, 0.5f, Editor::none, {}, 0},
        {effEditIdle, 7, 9, 0.5f, Editor::answeringTrue, {"editor.idle()"}, 0},
        {effIdentify, 7, 9, 0.5f, Editor::none, {}, 0x4E764566},
        {effGetChunk, 0, 9, 0.5f, Editor::none, {"getChunk(ptr,false)"}, 1234},
        {effGetChunk, 1, 0, 0.5f, Editor::none, {"getChunk(ptr,true)"}, 1234},
        {effGetChunk, -256, 0, 0.5f, Editor::none, {"getChunk(ptr,true)"}, 1234},
        {effSetChunk, 0, 96, 0.5f, Editor::none, {"setChunk(ptr,96,false)"}, -4321},
        {effSetChunk, 1, 0, 0.5f, Editor::none, {"setChunk(ptr,0,true)"}, -4321},
        {effSetChunk, 256, -3, 0.5f, Editor::none, {"setChunk(ptr,-3,true)"}, -4321},
    };
    return rows;
}

std::string rowName(const Row& row) {
    return "opcode " + std::to_string(row.opcode) + " index " + std::to_string(row.index) + " value " +
           std::to_string(row.value) + (row.editor == Editor::none ? "" : " with an editor");
}
}  // namespace

TEST(BaseDispatcherTable, EachOpcodeCallsItsOperationWithTheMappedArgumentsAndAnswersItsResult) {
    for (const Row& row : table()) {
        RecordingEffect effect;
        if (row.editor != Editor::none) {
            effect.attachEditor(row.editor == Editor::answeringTrue);
        }
        // Straight to the base dispatcher: an object reached this way is not deleted by effClose.
        EXPECT_EQ(effect.dispatcher(row.opcode, row.index, row.value, hostPointer, row.opt), row.answer)
            << rowName(row);
        EXPECT_EQ(effect.log, row.calls) << rowName(row);
    }
}

TEST(BaseDispatcherTable, EveryOpcodeOutsideTheTableAnswersZeroAndCallsNothing) {
    // One past each end, the gaps inside the range, and opcodes that only the
    // extended dispatcher answers.
    for (const VstInt32 opcode : {-1, 25, 9, 16, 17, 18, 20, 21, 26, 51, 79, 80, 1 << 30, -(1 << 30)}) {
        for (const Editor editor : {Editor::none, Editor::answeringTrue}) {
            RecordingEffect effect;
            if (editor != Editor::none) {
                effect.attachEditor(true);
            }
            EXPECT_EQ(effect.dispatcher(opcode, 1, 1, hostPointer, 1.0f), 0) << "opcode " << opcode;
            EXPECT_EQ(effect.log, std::vector<std::string>{}) << "opcode " << opcode;
        }
    }
}

TEST(BaseDispatcherTable, TheRecordsDispatchEntryPassesEveryArgumentThrough) {
    // Through the record as a host calls it, for every row but effClose, which the
    // entry follows with deleting the object.
    for (const Row& row : table()) {
        if (row.opcode == effClose) {
            continue;
        }
        RecordingEffect effect;
        if (row.editor != Editor::none) {
            effect.attachEditor(row.editor == Editor::answeringTrue);
        }
        AEffect* record = effect.getAeffect();
        EXPECT_EQ(record->dispatcher(record, row.opcode, row.index, row.value, hostPointer, row.opt), row.answer)
            << rowName(row);
        EXPECT_EQ(effect.log, row.calls) << rowName(row);
    }
}

namespace {
// Gives the flag setters of both classes one object to act on.
class FlagEffect : public AudioEffectX {
public:
    FlagEffect() : AudioEffectX(nullptr, 1, 1) {}
    void processReplacing(float**, float**, VstInt32) override {}
};

struct FlagSetter {
    const char* name;
    void (AudioEffectX::*set)(bool);
    VstInt32 bit;
};

std::string hex(std::uint32_t v) {
    std::ostringstream text;
    text << std::hex << v;
    return text.str();
}

const FlagSetter kFlagSetters[] = {
    {"hasClip", &AudioEffect::hasClip, 0x2},
    {"hasVu", &AudioEffect::hasVu, 0x4},
    {"canMono", &AudioEffect::canMono, 0x8},
    {"canProcessReplacing", &AudioEffect::canProcessReplacing, 0x10},
    {"programsAreChunks", &AudioEffect::programsAreChunks, 0x20},
    {"isSynth", &AudioEffectX::isSynth, 0x100},
    {"noTail", &AudioEffectX::noTail, 0x200},
    {"wantAsyncOperation", &AudioEffectX::wantAsyncOperation, 0x400},
    {"hasExternalBuffer", &AudioEffectX::hasExternalBuffer, 0x800},
    {"canDoubleReplacing", &AudioEffect::canDoubleReplacing, 0x1000},
};
}  // namespace

TEST(FlagSetters, EachSetsOrClearsItsOwnBitFromEitherStateAndLeavesEveryOtherBit) {
    // The other bits all clear, all set (reserved ones included) and in a mixed pattern.
    const std::uint32_t backgrounds[] = {0x00000000u, 0xFFFFFFFFu, 0xA5A5A5A5u, 0x5A5A5A5Au};
    for (const FlagSetter& setter : kFlagSetters) {
        const auto bit = static_cast<std::uint32_t>(setter.bit);
        for (const std::uint32_t background : backgrounds) {
            for (const bool bitBefore : {false, true}) {
                const std::uint32_t before = bitBefore ? (background | bit) : (background & ~bit);
                for (const bool state : {false, true}) {
                    FlagEffect effect;
                    AEffect* record = effect.getAeffect();
                    record->flags = static_cast<VstInt32>(before);
                    (effect.*setter.set)(state);
                    const auto after = static_cast<std::uint32_t>(record->flags);
                    const std::string what =
                        std::string(setter.name) + "(" + describe(state) + ") on flags 0x" + hex(before);
                    EXPECT_EQ((after & bit) != 0, state) << what;
                    EXPECT_EQ(after & ~bit, before & ~bit) << what << ": another bit changed";
                }
            }
        }
    }
}
