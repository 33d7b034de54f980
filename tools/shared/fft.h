// The discrete Fourier transform of real samples, computed by FFTW.
#pragma once

#include <complex>
#include <vector>

// X[k] = sum over j of x[j] * exp(-2 pi i j k / n), for k = 0 ... n / 2: the
// other half mirrors these for real samples. Any length; none for no samples.
std::vector<std::complex<double>> real_dft(const std::vector<double>& samples);
