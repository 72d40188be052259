// Processing on one thread while others set parameters, read them back and read
// their display texts, as a host's automation and its editor do. Built under
// ThreadSanitizer: the shared values must be accessed atomically, without locks.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "LinkedInstance.h"
#include "Opcodes.h"
#include "SeededNoise.h"

namespace {
// The first sample or value a thread found wrong, kept for the failure message.
struct FirstBad {
    std::atomic<long> count{0};
    std::atomic<long> where{-1};
    std::atomic<float> value{0.0f};

    void note(long at, float v) {
        if (count.fetch_add(1, std::memory_order_relaxed) == 0) {
            where.store(at, std::memory_order_relaxed);
            value.store(v, std::memory_order_relaxed);
        }
    }
};
}  // namespace

TEST(Concurrency, ProcessingWhileOtherThreadsSetAndReadParameters) {
    AEffect* record = linkedInstance();
    ASSERT_NE(record, nullptr);
    std::atomic<bool> done{false};
    constexpr VstInt32 kFrames = 128;
    FirstBad badOutput;    // where: sample number, left and right counted in turn
    FirstBad badReadBack;  // where: parameter index
    FirstBad badText;      // where: parameter index; value: the text's length

    std::thread audio([&] {
        std::vector<float> left(kFrames), right(kFrames), outLeft(kFrames), outRight(kFrames);
        float* inputs[2] = {left.data(), right.data()};
        float* outputs[2] = {outLeft.data(), outRight.data()};
        SeededNoise random(1u);
        for (long block = 0; block < 3000; ++block) {
            for (VstInt32 i = 0; i < kFrames; ++i) {
                left[static_cast<std::size_t>(i)] = random.bipolar();
                right[static_cast<std::size_t>(i)] = random.bipolar();
            }
            record->processReplacing(record, inputs, outputs, kFrames);
            for (std::size_t i = 0; i < static_cast<std::size_t>(kFrames); ++i) {
                const long frame = block * kFrames + static_cast<long>(i);
                if (!std::isfinite(outLeft[i])) {
                    badOutput.note(2 * frame, outLeft[i]);
                }
                if (!std::isfinite(outRight[i])) {
                    badOutput.note(2 * frame + 1, outRight[i]);
                }
            }
        }
        done = true;
    });

    // Two automation threads, one of them sending values no stable design exists for.
    // Between them they send normalised values in [-1.5, 2.5).
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
    // Reads back what the writers sent (or a default), each mapped there and back,
    // so within a few steps of single precision of the values sent.
    others.emplace_back([&] {
        char text[64];
        while (!done) {
            for (VstInt32 index = 0; index < 7; ++index) {
                record->dispatcher(record, effGetParamDisplay, index, 0, text, 0.0f);
                const std::size_t length = std::strlen(text);
                if (length == 0 || length > 4) {
                    badText.note(index, static_cast<float>(length));
                }
                const float value = record->getParameter(record, index);
                if (!(value >= -1.5001f && value <= 2.5001f)) {
                    badReadBack.note(index, value);
                }
            }
        }
    });

    audio.join();
    for (std::thread& t : others) {
        t.join();
    }
    EXPECT_EQ(badOutput.count.load(), 0) << "first at sample " << badOutput.where.load() << " (frame "
                                         << badOutput.where.load() / 2
                                         << (badOutput.where.load() % 2 == 0 ? ", left" : ", right")
                                         << "): " << badOutput.value.load();
    EXPECT_EQ(badReadBack.count.load(), 0)
        << "first for parameter " << badReadBack.where.load() << ": " << badReadBack.value.load();
    EXPECT_EQ(badText.count.load(), 0) << "first for parameter " << badText.where.load() << ": " << badText.value.load()
                                       << " characters";
    record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f);
}
