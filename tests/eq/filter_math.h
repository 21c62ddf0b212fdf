// Reference evaluation for the EQ tests: |H| straight from a transfer function.
#pragma once

#include "eq/biquad.h"

#include <cmath>
#include <complex>
#include <numbers>

namespace fenno::test {

inline constexpr double kFs = 48000.0;
inline constexpr double kPi = std::numbers::pi;

// 20 log10 |H(e^jw)| evaluated with complex arithmetic, not the sin^2 form.
inline double DigitalDb(const BiquadCoeffs& c, double f, double fs = kFs) {
    const std::complex<double> z1 = std::polar(1.0, -2.0 * kPi * f / fs);
    const std::complex<double> num = c.b0 + c.b1 * z1 + c.b2 * z1 * z1;
    const std::complex<double> den = 1.0 + c.a1 * z1 + c.a2 * z1 * z1;
    return 20.0 * std::log10(std::abs(num / den));
}

inline double Db(double magnitude) {
    return 20.0 * std::log10(magnitude);
}

} // namespace fenno::test
