// Exact binary arithmetic with explicit round-to-nearest-even, as a reference for
// what a double- or single-precision expression must produce. It works on integers
// only, so it owes nothing to the floating-point unit, its precision or its
// contraction rules: values are an integer of fixed width times a power of two.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <stdexcept>

namespace exact {

// A signed value, magnitude * 2^exponent, whose magnitude is an integer of 1536
// bits, wide enough for any sum or quotient of the finite doubles up to 2^200 in
// magnitude. `inexact` says that nonzero bits below the magnitude were dropped (by
// a division), so the value lies strictly above magnitude * 2^exponent.
class Value {
public:
    static constexpr int kLimbs = 48;

    // The finite double d, exactly.
    static Value of(double d) {
        if (!std::isfinite(d) || std::fabs(d) > 0x1p200) {
            throw std::domain_error("outside the reference's range");
        }
        Value v;
        v.negative_ = std::signbit(d);
        int exponent = 0;
        const double fraction = std::frexp(std::fabs(d), &exponent);
        // fraction * 2^53 is an integer below 2^53.
        std::uint64_t mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
        v.exponent_ = exponent - 53;
        v.limbs_[0] = static_cast<std::uint32_t>(mantissa);
        v.limbs_[1] = static_cast<std::uint32_t>(mantissa >> 32);
        return v;
    }

    friend Value operator+(const Value& a, const Value& b) {
        if (a.inexact_ || b.inexact_) {
            throw std::logic_error("sums of rounded-down quotients are not supported");
        }
        const int exponent = std::min(a.exponent_, b.exponent_);
        const Value x = a.shiftedTo(exponent);
        const Value y = b.shiftedTo(exponent);
        Value sum;
        sum.exponent_ = exponent;
        if (x.negative_ == y.negative_) {
            sum.limbs_ = add(x.limbs_, y.limbs_);
            sum.negative_ = x.negative_;
        } else if (less(x.limbs_, y.limbs_)) {
            sum.limbs_ = subtract(y.limbs_, x.limbs_);
            sum.negative_ = y.negative_;
        } else {
            sum.limbs_ = subtract(x.limbs_, y.limbs_);
            sum.negative_ = x.negative_;
        }
        // An exact zero sum is +0 unless both terms are -0.
        if (sum.isZero()) {
            sum.negative_ = a.negative_ && b.negative_;
        }
        return sum;
    }

    friend Value operator-(const Value& a, Value b) {
        b.negative_ = !b.negative_;
        return a + b;
    }

    // The product by a double whose significand has at most 32 significant bits.
    friend Value operator*(const Value& a, double d) {
        const Value factor = of(d);
        std::uint64_t odd = factor.low64();
        int exponent = factor.exponent_;
        while (odd != 0 && odd % 2 == 0) {
            odd /= 2;
            ++exponent;
        }
        if (odd >= (std::uint64_t{1} << 32)) {
            throw std::domain_error("factor too long");
        }
        Value product = a;
        product.negative_ = a.negative_ != factor.negative_;
        product.exponent_ = a.exponent_ + exponent;
        std::uint64_t carry = 0;
        for (auto& limb : product.limbs_) {
            carry += static_cast<std::uint64_t>(limb) * odd;
            limb = static_cast<std::uint32_t>(carry);
            carry >>= 32;
        }
        product.checkNoOverflow(carry);
        return product;
    }

    // The quotient by a nonzero double whose odd part is below 2^32, with 128
    // more bits than the dividend and the rest kept as the inexact mark.
    friend Value operator/(const Value& a, double d) {
        const Value divisor = of(d);
        std::uint64_t odd = divisor.low64();
        int exponent = divisor.exponent_;
        while (odd != 0 && odd % 2 == 0) {
            odd /= 2;
            ++exponent;
        }
        if (odd == 0 || odd >= (std::uint64_t{1} << 32)) {
            throw std::domain_error("unsupported divisor");
        }
        Value quotient = a.shiftedTo(a.exponent_ - 128);
        quotient.negative_ = a.negative_ != divisor.negative_;
        quotient.exponent_ -= exponent;
        std::uint64_t remainder = 0;
        for (int i = kLimbs - 1; i >= 0; --i) {
            const std::uint64_t current = (remainder << 32) | quotient.limbs_[static_cast<std::size_t>(i)];
            quotient.limbs_[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(current / odd);
            remainder = current % odd;
        }
        quotient.inexact_ = a.inexact_ || remainder != 0;
        return quotient;
    }

    // Rounded to the nearest value with `precision` significant bits and no ulp
    // below 2^minimumUlpExponent, ties to even: 53 and -1074 for double, 24 and
    // -149 for single. The result is returned as a double, which holds it exactly.
    double rounded(int precision, int minimumUlpExponent) const {
        const int length = bitLength();
        if (length == 0 && !inexact_) {
            return negative_ ? -0.0 : 0.0;
        }
        const int ulpExponent = std::max(exponent_ + length - precision, minimumUlpExponent);
        const int position = ulpExponent - exponent_;  // bit index of the result's ulp
        if (position <= 0) {
            if (inexact_) {
                throw std::logic_error("quotient not carried far enough");
            }
            return signed_(std::ldexp(static_cast<double>(low64()), exponent_));
        }
        std::uint64_t kept = 0;
        for (int bit = std::min(length, position + 64) - 1; bit >= position; --bit) {
            kept = (kept << 1) | (testBit(bit) ? 1u : 0u);
        }
        const bool roundBit = testBit(position - 1);
        bool below = inexact_;
        for (int bit = 0; bit < position - 1 && !below; ++bit) {
            below = testBit(bit);
        }
        if (roundBit && (below || kept % 2 == 1)) {
            ++kept;
        }
        return signed_(std::ldexp(static_cast<double>(kept), ulpExponent));
    }

    double toDouble() const { return rounded(53, -1074); }
    float toFloat() const {
        const double value = rounded(24, -149);
        if (std::fabs(value) >= 0x1p128) {
            throw std::domain_error("overflows single precision");
        }
        return static_cast<float>(value);  // exact: the value has 24 bits at most
    }

private:
    using Limbs = std::array<std::uint32_t, kLimbs>;

    static Limbs add(const Limbs& a, const Limbs& b) {
        Limbs sum{};
        std::uint64_t carry = 0;
        for (std::size_t i = 0; i < kLimbs; ++i) {
            carry += static_cast<std::uint64_t>(a[i]) + b[i];
            sum[i] = static_cast<std::uint32_t>(carry);
            carry >>= 32;
        }
        if (carry != 0) {
            throw std::overflow_error("reference magnitude overflow");
        }
        return sum;
    }
    static Limbs subtract(const Limbs& a, const Limbs& b) {  // a >= b
        Limbs difference{};
        std::int64_t borrow = 0;
        for (std::size_t i = 0; i < kLimbs; ++i) {
            std::int64_t d = static_cast<std::int64_t>(a[i]) - b[i] - borrow;
            borrow = d < 0 ? 1 : 0;
            difference[i] = static_cast<std::uint32_t>(d + (borrow << 32));
        }
        return difference;
    }
    static bool less(const Limbs& a, const Limbs& b) {
        for (std::size_t i = kLimbs; i-- > 0;) {
            if (a[i] != b[i]) {
                return a[i] < b[i];
            }
        }
        return false;
    }

    Value shiftedTo(int exponent) const {
        const int shift = exponent_ - exponent;
        if (shift < 0) {
            throw std::logic_error("shifting right would drop bits");
        }
        if (shift + bitLength() > 32 * kLimbs) {
            throw std::overflow_error("reference magnitude overflow");
        }
        Value v = *this;
        v.exponent_ = exponent;
        v.limbs_ = {};
        const int whole = shift / 32;
        const int part = shift % 32;
        for (int i = kLimbs - 1; i >= whole; --i) {
            const auto from = static_cast<std::size_t>(i - whole);
            std::uint64_t bits = static_cast<std::uint64_t>(limbs_[from]) << part;
            if (part != 0 && from > 0) {
                bits |= limbs_[from - 1] >> (32 - part);
            }
            v.limbs_[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(bits);
        }
        return v;
    }

    void checkNoOverflow(std::uint64_t carry) const {
        if (carry != 0) {
            throw std::overflow_error("reference magnitude overflow");
        }
    }
    bool isZero() const { return bitLength() == 0; }
    int bitLength() const {
        for (int i = kLimbs - 1; i >= 0; --i) {
            if (const std::uint32_t limb = limbs_[static_cast<std::size_t>(i)]; limb != 0) {
                int bits = 0;
                for (std::uint32_t rest = limb; rest != 0; rest >>= 1) {
                    ++bits;
                }
                return 32 * i + bits;
            }
        }
        return 0;
    }
    bool testBit(int bit) const {
        if (bit >= 32 * kLimbs) {
            return false;
        }
        return ((limbs_[static_cast<std::size_t>(bit / 32)] >> (bit % 32)) & 1u) != 0;
    }
    std::uint64_t low64() const { return (static_cast<std::uint64_t>(limbs_[1]) << 32) | limbs_[0]; }
    double signed_(double magnitude) const { return negative_ ? -magnitude : magnitude; }

    Limbs limbs_{};
    int exponent_ = 0;
    bool negative_ = false;
    bool inexact_ = false;
};

}  // namespace exact
