// The window opened and closed 200 times in a row, each time drawn, fed a value and
// a block of audio, under AddressSanitizer and LeakSanitizer: whatever one opening
// takes, closing gives back.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "Lv2Ports.h"
#include "UiTestHost.h"

namespace {
// Kept open to the end, so that a leak's stack still names the window's code.
UiLibrary* library = nullptr;
}  // namespace

TEST(UiWindowUnderSanitizers, OpensAndClosesTwoHundredTimes) {
    XvfbServer server;
    ASSERT_TRUE(server.running());
    library = new UiLibrary(BREVANDER_LV2_UI_BINARY);
    ASSERT_NE(library->descriptor, nullptr);
    // One Block message of 64 frames, as the plug-in sends it.
    for (int i = 0; i < 200; ++i) {
        UiTestHost host(*library, i % 2 == 0 ? 1.0 : 2.0);
        ASSERT_TRUE(host.open()) << "opening " << i;
        std::vector<unsigned char> message(blockEventBytes(64) - sizeof(LV2_Atom_Event) + sizeof(LV2_Atom));
        const MonitorUrids& u = host.urids;
        unsigned char* at = message.data();
        auto put = [&at](const auto& value) {
            std::memcpy(at, &value, sizeof value);
            at += sizeof value;
        };
        put(LV2_Atom{static_cast<std::uint32_t>(message.size() - sizeof(LV2_Atom)), u.object});
        put(LV2_Atom_Object_Body{0, u.block});
        put(LV2_Atom_Property_Body{u.rate, 0, {8, u.doubleType}});
        put(48000.0);
        put(LV2_Atom_Property_Body{u.position, 0, {8, u.longType}});
        put(std::int64_t{0});
        put(LV2_Atom_Property_Body{u.samples, 0, {8 + 4 * 64 * 4, u.vector}});
        put(LV2_Atom_Vector_Body{4, u.floatType});
        host.atomEvent(kPortNotify, reinterpret_cast<const LV2_Atom*>(message.data()));
        host.portEvent(kFirstControlPort + std::uint32_t{kMicSpacing}, 30.0f);
        host.settle();
    }
}
