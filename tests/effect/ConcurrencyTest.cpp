// Processing on one thread while others set parameters, read them back and read
// their display texts, as a host's automation and its editor do. Built under
// ThreadSanitizer: the shared values must be accessed atomically, without locks.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <thread>
#include <vector>

#include "LinkedInstance.h"
#include "Opcodes.h"
#include "SeededNoise.h"

TEST(Concurrency, ProcessingWhileOtherThreadsSetAndReadParameters) {
    AEffect* record = linkedInstance();
    ASSERT_NE(record, nullptr);
    std::atomic<bool> done{false};
    std::atomic<long> nonFinite{0};

    std::thread audio([&] {
        constexpr VstInt32 kFrames = 128;
        std::vector<float> left(kFrames), right(kFrames), outLeft(kFrames), outRight(kFrames);
        float* inputs[2] = {left.data(), right.data()};
        float* outputs[2] = {outLeft.data(), outRight.data()};
        SeededNoise random(1u);
        for (int block = 0; block < 3000; ++block) {
            for (VstInt32 i = 0; i < kFrames; ++i) {
                left[static_cast<std::size_t>(i)] = random.bipolar();
                right[static_cast<std::size_t>(i)] = random.bipolar();
            }
            record->processReplacing(record, inputs, outputs, kFrames);
            for (VstInt32 i = 0; i < kFrames; ++i) {
                if (!std::isfinite(outLeft[static_cast<std::size_t>(i)]) ||
                    !std::isfinite(outRight[static_cast<std::size_t>(i)])) {
                    nonFinite.fetch_add(1, std::memory_order_relaxed);
                }
            }
        }
        done = true;
    });

    // Two automation threads, one of them sending values no stable design exists for.
    std::vector<std::thread> others;
    for (const float spread : {1.0f, 4.0f}) {
        others.emplace_back([&, spread] {
            SeededNoise random(spread > 1.0f ? 7u : 3u);
            while (!done) {
                const auto index = static_cast<VstInt32>(random.unit() * 7.0f);
                record->setParameter(record, index, spread * (random.unit() - 0.5f) + 0.5f);
            }
        });
    }
    others.emplace_back([&] {
        char text[64];
        float sum = 0.0f;
        while (!done) {
            for (VstInt32 index = 0; index < 7; ++index) {
                record->dispatcher(record, effGetParamDisplay, index, 0, text, 0.0f);
                sum += record->getParameter(record, index);
            }
        }
        EXPECT_TRUE(std::isfinite(sum) || std::isinf(sum));
    });

    audio.join();
    for (std::thread& t : others) {
        t.join();
    }
    EXPECT_EQ(nonFinite.load(), 0);
    record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f);
}
