#include "Fft.h"

#include <cmath>
#include <utility>
#if defined(__cpp_exceptions)
#include <stdexcept>
#endif

namespace {

constexpr double kPi = 3.141592653589793;

bool isPowerOfTwo(std::size_t n) { return n != 0 && (n & (n - 1)) == 0; }

void bitReversePermute(std::vector<std::complex<double>>& x) {
    const std::size_t n = x.size();
    std::size_t j = 0;
    for (std::size_t i = 1; i < n; ++i) {
        // Add one to j with the carry running from the top bit down.
        std::size_t bit = n >> 1;
        while ((j & bit) != 0) {
            j ^= bit;
            bit >>= 1;
        }
        j |= bit;
        if (i < j) {
            std::swap(x[i], x[j]);
        }
    }
}

}  // namespace

FftPlan::FftPlan(std::size_t size) : size_(size), valid_(isPowerOfTwo(size)) {
    if (!valid_) {
        return;
    }
    // Each twiddle straight from cos and sin: a running product would let the
    // rounding error grow with the stage length. A stage of length L uses every
    // (N/L)-th of them, and -2 pi (k N/L) / N is -2 pi k / L to the bit, scaling by a
    // power of two being exact.
    twiddles_.resize(size / 2);
    for (std::size_t k = 0; k < twiddles_.size(); ++k) {
        twiddles_[k] = std::polar(1.0, -2.0 * kPi * static_cast<double>(k) / static_cast<double>(size));
    }
}

bool FftPlan::transform(std::vector<std::complex<double>>& x) const {
    if (!valid_ || x.size() != size_) {
        return false;
    }
    const std::size_t n = size_;
    bitReversePermute(x);
    for (std::size_t length = 2; length <= n; length <<= 1) {
        const std::size_t half = length / 2;
        const std::size_t stride = n / length;
        for (std::size_t start = 0; start < n; start += length) {
            for (std::size_t k = 0; k < half; ++k) {
                const std::complex<double> odd = twiddles_[k * stride] * x[start + k + half];
                x[start + k + half] = x[start + k] - odd;
                x[start + k] += odd;
            }
        }
    }
    return true;
}

#if defined(__cpp_exceptions)
void fft(std::vector<std::complex<double>>& x) {
    if (!FftPlan(x.size()).transform(x)) {
        throw std::invalid_argument("fft size must be a power of two");
    }
}
#endif
