// resume and matchArrangement reach their helpers through the virtual table, and
// the speaker-arrangement blocks are built, copied and released as their owners expect.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "AudioEffectX.h"
#include "Opcodes.h"

namespace {
std::vector<VstInt32> hostOpcodes;
VstIntPtr VSTCALLBACK countingHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    hostOpcodes.push_back(opcode);
    return 0;
}

class OverridingEffect : public AudioEffectX {
public:
    OverridingEffect() : AudioEffectX(countingHost, 1, 1) {}
    void processReplacing(float**, float**, VstInt32) override {}

    VstInt32 canDoAnswer = 0;
    int copyLimit = 1000;  // copySpeaker fails after this many copies
    std::vector<std::string> calls;

    VstInt32 canDo(char* text) override {
        calls.push_back(std::string("canDo ") + text);
        return canDoAnswer;
    }
    void wantEvents(VstInt32 filter) override { calls.push_back("wantEvents " + std::to_string(filter)); }
    bool allocateArrangement(VstSpeakerArrangement** a, VstInt32 channels) override {
        calls.push_back("allocate " + std::to_string(channels));
        return AudioEffectX::allocateArrangement(a, channels);
    }
    bool deleteArrangement(VstSpeakerArrangement** a) override {
        calls.push_back("delete");
        return AudioEffectX::deleteArrangement(a);
    }
    bool copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from) override {
        calls.push_back("copy");
        return --copyLimit >= 0 && AudioEffectX::copySpeaker(to, from);
    }
};

class PlainEffectX : public AudioEffectX {
public:
    PlainEffectX() : AudioEffectX(countingHost, 1, 1) {}
    void processReplacing(float**, float**, VstInt32) override {}
};

// A source arrangement laid out as a host hands it over.
struct SourceArrangement {
    alignas(VstSpeakerArrangement) char bytes[8 + 2 * 112] = {};
    VstSpeakerArrangement* get() { return reinterpret_cast<VstSpeakerArrangement*>(bytes); }
};

SourceArrangement twoSpeakers(const char* secondName) {
    SourceArrangement source;
    source.get()->type = 5;
    source.get()->numChannels = 2;
    for (VstInt32 i = 0; i < 2; ++i) {
        VstSpeakerProperties* s = speakerOf(source.get(), i);
        s->azimuth = 0.5f * static_cast<float>(i + 1);
        s->elevation = 0.25f;
        s->radius = 2.0f;
        s->reserved = 7.0f;
        s->type = 10 + i;
        std::memset(s->future, 0x5A + i, sizeof s->future);
    }
    std::strcpy(speakerOf(source.get(), 0)->name, "L");
    std::memcpy(speakerOf(source.get(), 1)->name, secondName, std::min<std::size_t>(64, std::strlen(secondName)));
    return source;
}
}  // namespace

TEST(Resume, ASynthAsksForEventsWithoutConsultingCanDo) {
    hostOpcodes.clear();
    PlainEffectX synth;
    synth.isSynth(true);
    synth.resume();
    EXPECT_EQ(hostOpcodes, std::vector<VstInt32>{audioMasterWantMidi});

    OverridingEffect overriding;
    overriding.isSynth(true);
    overriding.resume();
    EXPECT_EQ(overriding.calls, std::vector<std::string>{"wantEvents 1"});
}

TEST(Resume, AnEffectAsksForEventsOnlyWhenCanDoAnswersExactlyOne) {
    hostOpcodes.clear();
    PlainEffectX plain;
    plain.resume();
    EXPECT_TRUE(hostOpcodes.empty()) << "the default canDo answers 0";

    for (const VstInt32 answer : {1, 0, -1, 2}) {
        OverridingEffect effect;
        effect.canDoAnswer = answer;
        effect.resume();
        std::vector<std::string> expected{"canDo receiveVstMidiEvent"};
        if (answer == 1) {
            expected.push_back("wantEvents 1");
        }
        EXPECT_EQ(effect.calls, expected) << "canDo answered " << answer;
    }
}

TEST(SpeakerArrangement, AllocateGivesAZeroedBlockAndReleasesTheOldOne) {
    PlainEffectX effect;
    VstSpeakerArrangement* arrangement = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&arrangement, 0));
    ASSERT_NE(arrangement, nullptr);
    EXPECT_EQ(arrangement->type, 0);
    EXPECT_EQ(arrangement->numChannels, 0);

    ASSERT_TRUE(effect.allocateArrangement(&arrangement, 3));
    EXPECT_EQ(arrangement->numChannels, 3);
    const char* bytes = reinterpret_cast<const char*>(speakerOf(arrangement, 0));
    EXPECT_TRUE(std::all_of(bytes, bytes + 3 * 112, [](char b) { return b == 0; }));
    EXPECT_TRUE(effect.deleteArrangement(&arrangement));
    EXPECT_EQ(arrangement, nullptr);
    EXPECT_TRUE(effect.deleteArrangement(&arrangement)) << "deleting nothing still succeeds";
}

TEST(SpeakerArrangement, ANegativeChannelCountIsRefusedWithNull) {
    PlainEffectX effect;
    VstSpeakerArrangement* arrangement = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&arrangement, 2));
    EXPECT_FALSE(effect.allocateArrangement(&arrangement, -1));
    EXPECT_EQ(arrangement, nullptr);
    EXPECT_FALSE(effect.allocateArrangement(nullptr, 2));
}

TEST(SpeakerArrangement, MatchCopiesTypeAndSpeakersAndCutsLongNames) {
    const std::string sixtyThree(63, 'n');
    const std::string sixtyFour(64, 'm');  // fills the field with no terminator
    for (const std::string& name : {sixtyThree, sixtyFour}) {
        SourceArrangement source = twoSpeakers(name.c_str());
        PlainEffectX effect;
        VstSpeakerArrangement* copy = nullptr;
        ASSERT_TRUE(effect.matchArrangement(&copy, source.get()));
        EXPECT_EQ(copy->type, 5);
        EXPECT_EQ(copy->numChannels, 2);
        for (VstInt32 i = 0; i < 2; ++i) {
            const VstSpeakerProperties* to = speakerOf(copy, i);
            const VstSpeakerProperties* from = speakerOf(source.get(), i);
            EXPECT_EQ(to->azimuth, from->azimuth);
            EXPECT_EQ(to->elevation, from->elevation);
            EXPECT_EQ(to->radius, from->radius);
            EXPECT_EQ(to->reserved, from->reserved);
            EXPECT_EQ(to->type, from->type);
            EXPECT_EQ(std::memcmp(to->future, from->future, sizeof to->future), 0);
        }
        EXPECT_STREQ(speakerOf(copy, 0)->name, "L");
        EXPECT_EQ(std::string(speakerOf(copy, 1)->name), name.substr(0, 63));
        effect.deleteArrangement(&copy);
    }
}

TEST(SpeakerArrangement, MatchGoesThroughTheOverridesAndStopsAtAFailedCopy) {
    SourceArrangement source = twoSpeakers("R");
    OverridingEffect effect;
    VstSpeakerArrangement* copy = nullptr;
    EXPECT_FALSE(effect.matchArrangement(&copy, nullptr));
    EXPECT_EQ(copy, nullptr);
    EXPECT_TRUE(effect.calls.empty());

    effect.copyLimit = 1;
    EXPECT_FALSE(effect.matchArrangement(&copy, source.get()));
    EXPECT_EQ(effect.calls, (std::vector<std::string>{"delete", "allocate 2", "copy", "copy"}));
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(speakerOf(copy, 0)->name, "L") << "the channels copied before the failure stay";
    EXPECT_EQ(speakerOf(copy, 1)->name[0], 0);
    effect.deleteArrangement(&copy);
}

TEST(SpeakerArrangement, CopySpeakerRefusesNullEnds) {
    PlainEffectX effect;
    VstSpeakerProperties speaker{};
    EXPECT_FALSE(effect.copySpeaker(nullptr, &speaker));
    EXPECT_FALSE(effect.copySpeaker(&speaker, nullptr));
}
