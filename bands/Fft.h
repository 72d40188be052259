// In-place radix-2 fast Fourier transform, for the tool's and the page's spectra.
#pragma once

#include <complex>
#include <cstddef>
#include <vector>

// Forward transforms of one size, X[k] = sum over n of x[n] e^(-2 pi i k n / N),
// unscaled, with the twiddles worked out once. Never throws: the web module is
// built without exceptions.
class FftPlan {
public:
    // A size that is not a power of two (1 included) gives a plan that refuses every transform.
    explicit FftPlan(std::size_t size);
    bool valid() const { return valid_; }
    std::size_t size() const { return size_; }
    // False, leaving x as it was, when the plan is not valid or x is not of its size.
    bool transform(std::vector<std::complex<double>>& x) const;

private:
    std::size_t size_;
    bool valid_;
    std::vector<std::complex<double>> twiddles_;  // e^(-2 pi i k / N) for k < N/2
};

#if defined(__cpp_exceptions)
// The same transform for any power-of-two size; others throw std::invalid_argument.
void fft(std::vector<std::complex<double>>& x);
#endif
