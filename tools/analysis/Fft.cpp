#include "Fft.h"

#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <utility>

namespace {

constexpr double kPi = 3.141592653589793;

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

void fft(std::vector<std::complex<double>>& x) {
    const std::size_t n = x.size();
    if (n == 0 || (n & (n - 1)) != 0) {
        throw std::invalid_argument("fft size must be a power of two");
    }
    bitReversePermute(x);
    std::vector<std::complex<double>> twiddles(n / 2);
    for (std::size_t length = 2; length <= n; length <<= 1) {
        const std::size_t half = length / 2;
        // Each twiddle straight from cos and sin: a running product would let the
        // rounding error grow with the stage length.
        for (std::size_t k = 0; k < half; ++k) {
            twiddles[k] = std::polar(1.0, -2.0 * kPi * static_cast<double>(k) / static_cast<double>(length));
        }
        for (std::size_t start = 0; start < n; start += length) {
            for (std::size_t k = 0; k < half; ++k) {
                const std::complex<double> odd = twiddles[k] * x[start + k + half];
                x[start + k + half] = x[start + k] - odd;
                x[start + k] += odd;
            }
        }
    }
}
