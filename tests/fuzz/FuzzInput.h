// What the fuzzers share: reading a fuzzer's input as a stream of values, and
// stopping the run when an invariant is broken.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// Reads the input front to back; past its end every value is 0.
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return at_ >= size_; }
    std::uint8_t u8() { return at_ < size_ ? data_[at_++] : 0; }
    std::uint16_t u16() { return static_cast<std::uint16_t>(u8() | (u8() << 8)); }
    std::uint32_t u32() { return static_cast<std::uint32_t>(u16()) | (static_cast<std::uint32_t>(u16()) << 16); }
    std::uint64_t u64() { return static_cast<std::uint64_t>(u32()) | (static_cast<std::uint64_t>(u32()) << 32); }
    std::int32_t i32() { return bitsAs<std::int32_t>(u32()); }
    float f32() { return bitsAs<float>(u32()); }
    double f64() { return bitsAs<double>(u64()); }

private:
    template <class Value, class Bits>
    static Value bitsAs(Bits bits) {
        static_assert(sizeof(Value) == sizeof(Bits));
        Value value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// A finding: the message goes to stderr and the fuzzer records the input.
[[noreturn]] inline void violated(const char* what) {
    std::fprintf(stderr, "invariant violated: %s\n", what);
    std::abort();
}
