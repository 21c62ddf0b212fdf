#include "eq/biquad.h"

#include "eq/eq_block.h"
#include "eq/filter_kind.h"

#include <cmath>
#include <numbers>

namespace fenno {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kMinQ = 0.1; // kQMin as a double: 0.1f is slightly above 0.1

struct Terms {
    double c;     // cos w
    double s;     // sin w
    double alpha; // s / (2Q)
    double level; // 10^(gain/20), the level factor of the pass kinds
};

BiquadCoeffs Normalise(double b0, double b1, double b2, double a0, double a1, double a2) {
    return {b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0};
}

BiquadCoeffs LowPass(const Terms& t, double alpha) {
    const double b = t.level * (1.0 - t.c);
    return Normalise(b / 2.0, b, b / 2.0, 1.0 + alpha, -2.0 * t.c, 1.0 - alpha);
}

BiquadCoeffs HighPass(const Terms& t, double alpha) {
    const double b = t.level * (1.0 + t.c);
    return Normalise(b / 2.0, -b, b / 2.0, 1.0 + alpha, -2.0 * t.c, 1.0 - alpha);
}

BiquadCoeffs Peaking(const Terms& t, double gainDb, double auxDb) {
    const double a = std::pow(10.0, gainDb / 40.0);
    const double j = std::pow(10.0, auxDb / 20.0);
    return Normalise((1.0 + t.alpha * a) * j, -2.0 * t.c * j, (1.0 - t.alpha * a) * j,
                     1.0 + t.alpha / a, -2.0 * t.c, 1.0 - t.alpha / a);
}

BiquadCoeffs LowShelf(const Terms& t, double gainDb, double q) {
    const double a = std::pow(10.0, gainDb / 40.0);
    const double beta = std::sqrt(a) * t.s / q;
    const double ap = a + 1.0;
    const double am = a - 1.0;
    return Normalise(a * (ap - am * t.c + beta), 2.0 * a * (am - ap * t.c),
                     a * (ap - am * t.c - beta), ap + am * t.c + beta, -2.0 * (am + ap * t.c),
                     ap + am * t.c - beta);
}

BiquadCoeffs HighShelf(const Terms& t, double gainDb, double q) {
    const double a = std::pow(10.0, gainDb / 40.0);
    const double beta = std::sqrt(a) * t.s / q;
    const double ap = a + 1.0;
    const double am = a - 1.0;
    return Normalise(a * (ap + am * t.c + beta), -2.0 * a * (am + ap * t.c),
                     a * (ap + am * t.c - beta), ap - am * t.c + beta, 2.0 * (am - ap * t.c),
                     ap - am * t.c - beta);
}

BiquadCoeffs FirstOrder(const Terms& t, bool highPass) {
    const double d = 1.0 + t.s + t.c;
    BiquadCoeffs r;
    r.a1 = (t.s - t.c - 1.0) / d;
    r.a2 = 0.0;
    r.b2 = 0.0;
    if (highPass) {
        r.b0 = t.level * (1.0 + t.c) / d;
        r.b1 = -r.b0;
    } else {
        r.b0 = t.level * t.s / d;
        r.b1 = r.b0;
    }
    return r;
}

// Second order, 0.1 dB ripple. eta deliberately follows the device's design formula, which
// gives 1.16007 rather than the textbook sinh(asinh(1/eps)/2); the firmware expects it.
BiquadCoeffs Chebyshev(double freqHz, double fs, double level, bool highPass) {
    const double t = std::tan(kPi * freqHz / fs);
    const double k0 = highPass ? 1.0 / t : t;
    const double eps = std::sqrt(std::pow(10.0, 0.01) - 1.0);
    const double eta = std::sinh(0.5 * std::sqrt(std::log(1.0 + 1.0 / eps + 1.0 / (eps * eps))));
    const double sigma = eta * k0;
    const double w = std::sin(3.0 * kPi / 4.0) * k0;
    const double k = 2.0 * sigma * std::cos(3.0 * kPi / 4.0);
    const double p = sigma * sigma + w * w;
    const double den = 1.0 - k + p;
    const double d = level * p / den / std::sqrt(1.0 + eps * eps);
    BiquadCoeffs r;
    r.b0 = d;
    r.b1 = highPass ? -2.0 * d : 2.0 * d;
    r.b2 = d;
    r.a1 = (highPass ? -2.0 : 2.0) * (p - 1.0) / den;
    r.a2 = (1.0 + k + p) / den;
    return r;
}

BiquadCoeffs AllPass(const Terms& t, double auxDb) {
    const double l = std::pow(10.0, auxDb / 40.0);
    BiquadCoeffs r;
    r.a1 = -2.0 * t.c / (1.0 + t.alpha);
    r.a2 = (1.0 - t.alpha) / (1.0 + t.alpha);
    r.b0 = r.a2 * l;
    r.b1 = r.a1 * l;
    r.b2 = l;
    return r;
}

} // namespace

BiquadCoeffs ComputeBiquad(int kind, double freqHz, double gainDb, double q, double auxDb,
                           double fs) {
    // Guards for values straight from stored records: Q 0 divides by zero, a frequency at or
    // above Nyquist turns alpha negative and the section unstable.
    if (!(fs > 0.0)) fs = kSampleRate;
    if (!(q >= kMinQ)) q = kMinQ;
    if (!(freqHz >= 1.0)) freqHz = 1.0;
    if (freqHz > 0.45 * fs) freqHz = 0.45 * fs;
    if (!std::isfinite(gainDb)) gainDb = 0.0;
    if (!std::isfinite(auxDb)) auxDb = 0.0;

    const double w = 2.0 * kPi * freqHz / fs;
    Terms t;
    t.c = std::cos(w);
    t.s = std::sin(w);
    t.alpha = t.s / (2.0 * q);
    t.level = std::pow(10.0, gainDb / 20.0);

    switch (kind) {
    case kFilterPeq:
        return Peaking(t, gainDb, auxDb);
    case kFilterLowPass:
        return LowPass(t, t.alpha);
    case kFilterHighPass:
        return HighPass(t, t.alpha);
    case kFilterLowShelf:
        return LowShelf(t, gainDb, q);
    case kFilterHighShelf:
        return HighShelf(t, gainDb, q);
    case kFilterChebyshevLowPass:
    case kFilterChebyshevHighPass:
        return Chebyshev(freqHz, fs, t.level, kind == kFilterChebyshevHighPass);
    case kFilterBesselLowPass:
        return LowPass(t, t.s / (2.0 / std::sqrt(3.0)));
    case kFilterBesselHighPass:
        return HighPass(t, t.s / (2.0 / std::sqrt(3.0)));
    case kFilterFirstOrderLowPass:
    case kFilterFirstOrderHighPass:
        return FirstOrder(t, kind == kFilterFirstOrderHighPass);
    case kFilterButterworthLowPass:
        return LowPass(t, t.s / (2.0 / std::sqrt(2.0)));
    case kFilterButterworthHighPass:
        return HighPass(t, t.s / (2.0 / std::sqrt(2.0)));
    case kFilterQ1LowPass:
        return LowPass(t, t.s * std::sin(kPi / 6.0));
    case kFilterQ1HighPass:
        return HighPass(t, t.s * std::sin(kPi / 6.0));
    case kFilterQHalfLowPass:
        return LowPass(t, t.s * std::sin(kPi / 2.0));
    case kFilterQHalfHighPass:
        return HighPass(t, t.s * std::sin(kPi / 2.0));
    case kFilterQ1307LowPass:
        return LowPass(t, t.s * std::sin(kPi / 8.0));
    case kFilterQ1307HighPass:
        return HighPass(t, t.s * std::sin(kPi / 8.0));
    case kFilterQ0541LowPass:
        return LowPass(t, t.s * std::sin(3.0 * kPi / 8.0));
    case kFilterQ0541HighPass:
        return HighPass(t, t.s * std::sin(3.0 * kPi / 8.0));
    default:
        return AllPass(t, auxDb);
    }
}

} // namespace fenno
