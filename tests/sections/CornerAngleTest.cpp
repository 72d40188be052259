// The corner's cosine and sine come from the platform's maths library, rounded to
// single precision. Every build must give the same bits for every angle a design
// can meet, or the effect's output would differ between platforms.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "CornerAngle.h"
#include "SinglePrecision.h"

namespace {
std::uint32_t bitsOf(float x) {
    std::uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}
}  // namespace

TEST(CornerAngle, CosineAndSineMatchTheReferenceBuildAcrossAllAngles) {
    // Every 64th single-precision angle from 1e-5 rad to pi, hashed with FNV-1a.
    // The hash is the Linux build's; the Windows builds (their own statically
    // linked maths) must reach the same one.
    constexpr std::uint64_t kReferenceHash = 0x59c9e65ca3607e78;
    constexpr std::uint32_t kStride = 64;
    const std::uint32_t first = bitsOf(1e-5f);
    const std::uint32_t last = bitsOf(3.14159274f);
    std::uint64_t hash = 1469598103934665603ull;
    for (std::uint32_t bits = first; bits <= last; bits += kStride) {
        float w0;
        std::memcpy(&w0, &bits, sizeof w0);
        for (const float value :
             {single(std::cos(static_cast<double>(w0))), single(std::sin(static_cast<double>(w0)))}) {
            hash = (hash ^ bitsOf(value)) * 1099511628211ull;
        }
    }
    EXPECT_EQ(hash, kReferenceHash) << std::hex << "hash 0x" << hash;
}

TEST(CornerAngle, AngleAndItsFunctionsForKnownCorners) {
    // A quarter of the sample rate is pi/2: cosine at zero to within the rounding
    // of w0, sine 1.
    const CornerAngle quarter = cornerAngle(48000.0f, 12000.0f);
    EXPECT_FLOAT_EQ(quarter.w0, 1.57079637f);
    EXPECT_NEAR(quarter.cs, 0.0f, 1e-7f);
    EXPECT_EQ(quarter.sn, 1.0f);
    const CornerAngle low = cornerAngle(44100.0f, 20.0f);
    EXPECT_FLOAT_EQ(low.w0, 0.00284951716f);
    EXPECT_FLOAT_EQ(low.cs, 0.999995947f);
    EXPECT_FLOAT_EQ(low.sn, 0.00284951320f);
}
