// In-place radix-2 fast Fourier transform, for the tool's spectra.
#pragma once

#include <complex>
#include <vector>

// Forward transform, X[k] = sum over n of x[n] e^(-2 pi i k n / N), unscaled.
// The size must be a power of two (1 included); others throw std::invalid_argument.
void fft(std::vector<std::complex<double>>& x);
