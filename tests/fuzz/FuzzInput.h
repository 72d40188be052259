// What the fuzzers share: reading a fuzzer's input as a stream of values, and
// stopping the run when an invariant is broken.
#pragma once

#include <cmath>
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

// A sample of one of four kinds, chosen by `source`: silence, any bits at all (NaN,
// infinity, subnormals, 3e38), small values, or values up to about 1e6.
inline float sampleFrom(ByteReader& in, int source) {
    switch (source) {
        case 0:
            return 0.0f;
        case 1:
            return in.f32();
        case 2:
            return static_cast<float>(static_cast<std::int8_t>(in.u8())) / 64.0f;
        default:
            return static_cast<float>(static_cast<std::int16_t>(in.u16())) * 30.0f;
    }
}

// Input for which the output must stay finite: finite and within 120 dB of full scale.
inline bool inRange(float x) { return std::isfinite(x) && std::fabs(x) <= 1e6f; }
