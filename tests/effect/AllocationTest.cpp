// The audio path allocates nothing: this program replaces the global allocation
// functions with counting ones and drives an instance, linked in, through its record,
// and (where the LV2 binding is built) an LV2 instance with its window's ports.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "LinkedInstance.h"
#if defined(BREVANDER_WITH_LV2)
#include "lv2/Lv2TestHost.h"
#endif

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void* counted(std::size_t size) {
    if (counting.load(std::memory_order_relaxed)) {
        allocations.fetch_add(1, std::memory_order_relaxed);
    }
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    return p;
}
}  // namespace

void* operator new(std::size_t size) { return counted(size); }
void* operator new[](std::size_t size) { return counted(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return counted(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

TEST(AudioPath, ProcessingAndParameterChangesAllocateNothing) {
    AEffect* record = linkedInstance();
    ASSERT_NE(record, nullptr);
    constexpr VstInt32 kFrames = 256;
    std::vector<float> left(kFrames, 0.25f), right(kFrames, -0.125f), outLeft(kFrames), outRight(kFrames);
    float* inputs[2] = {left.data(), right.data()};
    float* outputs[2] = {outLeft.data(), outRight.data()};
    char text[64];

    counting = true;
    for (int block = 0; block < 2000; ++block) {
        const VstInt32 index = block % 7;
        record->setParameter(record, index, static_cast<float>(block % 11) / 10.0f);
        record->dispatcher(record, 7, index, 0, text, 0.0f);  // the display text, as a host redraws it
        record->processReplacing(record, inputs, outputs, kFrames);
        record->processReplacing(record, inputs, inputs, block % 3);  // in place, and tiny blocks
    }
    counting = false;
    EXPECT_EQ(allocations.load(), 0);
    record->dispatcher(record, 1, 0, 0, nullptr, 0.0f);  // effClose
}

#if defined(BREVANDER_WITH_LV2)
TEST(AudioPath, Lv2RunsAllocateNothingWithTheWindowAskingOrNot) {
    Lv2TestHost lv2(48000.0);
    lv2.connectWindowPorts();
    constexpr std::uint32_t kFrames = 1500;  // whole pieces and a part
    std::vector<float> left(kFrames, 0.25f), right(kFrames, -0.125f), outLeft(kFrames), outRight(kFrames);

    counting = true;
    for (int block = 0; block < 600; ++block) {
        if (block % 200 == 0) {
            lv2.sendMonitor(block % 400 == 0);  // on, off, on
        }
        lv2.control(static_cast<ParameterIndex>(block % 7)) = static_cast<float>(block % 11) + 0.5f;
        lv2.prepareNotify();
        if (block % 2 == 0) {
            lv2.connectAudio(left.data(), right.data(), outLeft.data(), outRight.data());
        } else {
            lv2.connectAudio(left.data(), right.data(), left.data(), right.data());
        }
        lv2.descriptor.run(lv2.handle, static_cast<std::uint32_t>(block % 3 == 0 ? kFrames : block % 5));
        lv2.clearMessages();
    }
    counting = false;
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_TRUE(static_cast<Lv2ShufflerInstance*>(lv2.handle)->monitoring) << "the test asked for the audio";
}
#endif

TEST(AudioPath, TheCounterSeesAllocations) {
    counting = true;
    const long before = allocations.load();
    auto* p = new std::vector<int>(100);
    counting = false;
    delete p;
    EXPECT_GE(allocations.load() - before, 2);
}
