// ComputeBiquad against independently written filter theory: warped analogue prototypes,
// textbook bilinear-transform coefficients and the known magnitudes at f0, DC and Nyquist.
#include "eq/biquad.h"
#include "eq/filter_kind.h"
#include "filter_math.h"

#include <array>
#include <cmath>
#include <complex>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

namespace fenno {
namespace {

using test::Db;
using test::DigitalDb;
using test::kFs;
using test::kPi;
using Cx = std::complex<double>;

// Analogue prototype in the normalised variable s (cut-off at s = j).
using Prototype = std::function<Cx(Cx)>;

Prototype Lp2(double q) {
    return [q](Cx s) { return 1.0 / (s * s + s / q + 1.0); };
}
Prototype Hp2(double q) {
    return [q](Cx s) { return s * s / (s * s + s / q + 1.0); };
}
Prototype Peak(double gainDb, double q) {
    const double a = std::pow(10.0, gainDb / 40.0);
    return [a, q](Cx s) { return (s * s + s * a / q + 1.0) / (s * s + s / (a * q) + 1.0); };
}
Prototype LowShelfProto(double gainDb, double q) {
    const double a = std::pow(10.0, gainDb / 40.0);
    const double r = std::sqrt(a) / q;
    return [a, r](Cx s) { return a * (s * s + r * s + a) / (a * s * s + r * s + 1.0); };
}
Prototype HighShelfProto(double gainDb, double q) {
    const double a = std::pow(10.0, gainDb / 40.0);
    const double r = std::sqrt(a) / q;
    return [a, r](Cx s) { return a * (a * s * s + r * s + 1.0) / (s * s + r * s + a); };
}
Prototype Lp1() {
    return [](Cx s) { return 1.0 / (s + 1.0); };
}
Prototype Hp1() {
    return [](Cx s) { return s / (s + 1.0); };
}

// The bilinear transform maps digital f to analogue tan(pi f / fs); normalised by f0.
double WarpedDb(const Prototype& h, double f0, double f, double level = 1.0) {
    const double x = std::tan(kPi * f / kFs) / std::tan(kPi * f0 / kFs);
    return Db(level * std::abs(h(Cx(0.0, x))));
}

struct ProtoCase {
    std::string name;
    int kind;
    double f0, gainDb, q;
    Prototype proto;
    double level; // linear level factor expected in front of the prototype
};

const double kSqrt2 = std::sqrt(2.0);
const double kSqrt3 = std::sqrt(3.0);

std::vector<ProtoCase> ProtoCases() {
    return {
        {"peq_boost", kFilterPeq, 1000, 6, 1.41, Peak(6, 1.41), 1},
        {"peq_narrow_cut", kFilterPeq, 250, -12, 4, Peak(-12, 4), 1},
        {"peq_q30_max_gain", kFilterPeq, 8000, 15, 30, Peak(15, 30), 1},
        {"peq_wide_low", kFilterPeq, 40, -3, 0.1, Peak(-3, 0.1), 1},
        {"lp", kFilterLowPass, 1000, 0, 0.7071, Lp2(0.7071), 1},
        {"lp_level_factor", kFilterLowPass, 300, 6, 2, Lp2(2), std::pow(10.0, 6 / 20.0)},
        {"hp", kFilterHighPass, 5000, 0, 0.5, Hp2(0.5), 1},
        {"hp_high_q", kFilterHighPass, 80, 0, 2, Hp2(2), 1},
        {"ls_boost", kFilterLowShelf, 200, 9, 0.7, LowShelfProto(9, 0.7), 1},
        {"ls_cut", kFilterLowShelf, 3000, -12, 2, LowShelfProto(-12, 2), 1},
        {"hs_cut", kFilterHighShelf, 6000, -6, 0.7, HighShelfProto(-6, 0.7), 1},
        {"hs_boost", kFilterHighShelf, 1000, 15, 1.41, HighShelfProto(15, 1.41), 1},
        // Fixed-Q kinds ignore the band's Q (5 here).
        {"bessel_lp", 8, 2000, 0, 5, Lp2(1 / kSqrt3), 1},
        {"bessel_hp", 9, 2000, 0, 5, Hp2(1 / kSqrt3), 1},
        {"first_lp", 10, 800, 0, 5, Lp1(), 1},
        {"first_hp", 11, 800, 0, 5, Hp1(), 1},
        {"first_lp_level", 10, 800, -4, 5, Lp1(), std::pow(10.0, -4 / 20.0)},
        {"butter_lp", 12, 2000, 0, 5, Lp2(1 / kSqrt2), 1},
        {"butter_hp", 13, 2000, 0, 5, Hp2(1 / kSqrt2), 1},
        {"q1_lp", 14, 500, 0, 5, Lp2(1.0), 1},
        {"q1_hp", 15, 500, 0, 5, Hp2(1.0), 1},
        {"qhalf_lp", 16, 3000, 0, 5, Lp2(0.5), 1},
        {"qhalf_hp", 17, 3000, 0, 5, Hp2(0.5), 1},
        {"q1307_lp", 18, 120, 0, 5, Lp2(1 / (2 * std::sin(kPi / 8))), 1},
        {"q1307_hp", 19, 120, 0, 5, Hp2(1 / (2 * std::sin(kPi / 8))), 1},
        {"q0541_lp", 20, 10000, 0, 5, Lp2(1 / (2 * std::sin(3 * kPi / 8))), 1},
        {"q0541_hp", 21, 10000, 0, 5, Hp2(1 / (2 * std::sin(3 * kPi / 8))), 1},
    };
}

TEST(ComputeBiquad, MatchesWarpedAnaloguePrototypeOfEveryKind) {
    const std::array<double, 11> probes{1, 20, 63, 100, 440, 1000, 2500, 7000, 12000, 18000, 21000};
    for (const ProtoCase& c : ProtoCases()) {
        const BiquadCoeffs h = ComputeBiquad(c.kind, c.f0, c.gainDb, c.q, 0.0, kFs);
        for (double f : probes) {
            const double want = WarpedDb(c.proto, c.f0, f, c.level);
            if (want < -200) continue; // far stop band: both sides are only rounding noise
            EXPECT_NEAR(DigitalDb(h, f), want, 1e-6) << c.name << " at " << f << " Hz";
        }
        EXPECT_NEAR(DigitalDb(h, c.f0), WarpedDb(c.proto, c.f0, c.f0, c.level), 1e-9) << c.name;
    }
}

// The textbook landmarks, so a failure names the property that broke.
TEST(ComputeBiquad, KnownMagnitudesAtCutoffAndBandEdges) {
    struct Case {
        const char* what;
        int kind;
        double f0, gainDb, q, probe, wantDb;
    };
    const double minus3 = Db(1 / kSqrt2);
    const Case cases[] = {
        {"PEQ reaches its gain at f0", kFilterPeq, 1000, 6, 1.41, 1000, 6},
        {"PEQ is flat at DC", kFilterPeq, 1000, 6, 1.41, 0, 0},
        {"PEQ is flat at Nyquist", kFilterPeq, 1000, -9, 3, 24000, 0},
        {"Butterworth LP -3 dB at f0", kFilterLowPass, 1000, 0, 1 / kSqrt2, 1000, minus3},
        {"Butterworth HP -3 dB at f0", kFilterHighPass, 1000, 0, 1 / kSqrt2, 1000, minus3},
        {"LP magnitude at f0 equals Q", kFilterLowPass, 700, 0, 2, 700, Db(2)},
        {"LP passes DC", kFilterLowPass, 700, 0, 2, 0, 0},
        {"HP passes Nyquist", kFilterHighPass, 700, 0, 0.3, 24000, 0},
        {"LS asymptote at DC is the gain", kFilterLowShelf, 300, 9, 0.7, 0, 9},
        {"LS is flat at Nyquist", kFilterLowShelf, 300, 9, 0.7, 24000, 0},
        {"LS has half the gain at f0", kFilterLowShelf, 300, 9, 0.7, 300, 4.5},
        {"HS asymptote at Nyquist is the gain", kFilterHighShelf, 4000, -6, 1, 24000, -6},
        {"HS is flat at DC", kFilterHighShelf, 4000, -6, 1, 0, 0},
        {"HS has half the gain at f0", kFilterHighShelf, 4000, -6, 1, 4000, -3},
        {"Bessel LP Q 1/sqrt3 at f0", 8, 900, 0, 1.41, 900, Db(1 / kSqrt3)},
        {"first-order LP -3 dB at f0", 10, 900, 0, 1.41, 900, minus3},
        {"first-order LP passes DC", 10, 900, 0, 1.41, 0, 0},
        {"first-order HP -3 dB at f0", 11, 900, 0, 1.41, 900, minus3},
        {"first-order HP passes Nyquist", 11, 900, 0, 1.41, 24000, 0},
        {"Butterworth kind 13 -3 dB at f0", 13, 900, 0, 1.41, 900, minus3},
        {"Q 1.0 kind 14 is 0 dB at f0", 14, 900, 0, 1.41, 900, 0},
        {"Q 0.5 kind 17 is -6 dB at f0", 17, 900, 0, 1.41, 900, Db(0.5)},
        {"Q 1.3066 kind 18 at f0", 18, 900, 0, 1.41, 900, Db(1.3065629648763766)},
        {"Q 0.5412 kind 21 at f0", 21, 900, 0, 1.41, 900, Db(0.5411961001461970)},
    };
    for (const Case& c : cases) {
        const BiquadCoeffs h = ComputeBiquad(c.kind, c.f0, c.gainDb, c.q, 0.0, kFs);
        EXPECT_NEAR(DigitalDb(h, c.probe), c.wantDb, 1e-9) << c.what;
    }
}

// Textbook bilinear transform with K = tan(pi f0 / fs), written out term by term.
BiquadCoeffs Textbook(int kind, double f0, double gainDb, double q) {
    const double k = std::tan(kPi * f0 / kFs);
    const double a = std::pow(10.0, gainDb / 40.0);
    const double r = std::sqrt(a) * k / q;
    const double kk = k * k;
    double n[3]{}, d[3]{};
    switch (kind) {
    case kFilterPeq:
        n[0] = 1 + a * k / q + kk, n[1] = 2 * (kk - 1), n[2] = 1 - a * k / q + kk;
        d[0] = 1 + k / (a * q) + kk, d[1] = 2 * (kk - 1), d[2] = 1 - k / (a * q) + kk;
        break;
    case kFilterLowPass:
        n[0] = kk, n[1] = 2 * kk, n[2] = kk;
        d[0] = 1 + k / q + kk, d[1] = 2 * (kk - 1), d[2] = 1 - k / q + kk;
        break;
    case kFilterHighPass:
        n[0] = 1, n[1] = -2, n[2] = 1;
        d[0] = 1 + k / q + kk, d[1] = 2 * (kk - 1), d[2] = 1 - k / q + kk;
        break;
    case kFilterLowShelf:
        n[0] = a * (1 + r + a * kk), n[1] = a * (2 * a * kk - 2), n[2] = a * (1 - r + a * kk);
        d[0] = a + r + kk, d[1] = 2 * kk - 2 * a, d[2] = a - r + kk;
        break;
    case kFilterHighShelf:
        n[0] = a * (a + r + kk), n[1] = a * (2 * kk - 2 * a), n[2] = a * (a - r + kk);
        d[0] = 1 + r + a * kk, d[1] = 2 * a * kk - 2, d[2] = 1 - r + a * kk;
        break;
    case 10:
        n[0] = k, n[1] = k, d[0] = 1 + k, d[1] = k - 1;
        break;
    case 11:
        n[0] = 1, n[1] = -1, d[0] = 1 + k, d[1] = k - 1;
        break;
    }
    return {n[0] / d[0], n[1] / d[0], n[2] / d[0], d[1] / d[0], d[2] / d[0]};
}

void ExpectCoeffs(const BiquadCoeffs& got, const BiquadCoeffs& want, double tol,
                  const std::string& what) {
    EXPECT_NEAR(got.b0, want.b0, tol) << what << " b0";
    EXPECT_NEAR(got.b1, want.b1, tol) << what << " b1";
    EXPECT_NEAR(got.b2, want.b2, tol) << what << " b2";
    EXPECT_NEAR(got.a1, want.a1, tol) << what << " a1";
    EXPECT_NEAR(got.a2, want.a2, tol) << what << " a2";
}

TEST(ComputeBiquad, CoefficientsEqualTextbookBilinearDesign) {
    struct Case {
        int kind;
        double f0, gainDb, q;
    };
    const Case cases[] = {
        {1, 1000, 6, 1.41}, {1, 31, -15, 0.1},  {1, 16000, 12, 30}, {2, 1000, 0, 0.7},
        {2, 20, 0, 2},      {3, 19000, 0, 0.1}, {3, 100, 0, 1.41},  {4, 100, 9, 0.7},
        {4, 8000, -12, 2},  {5, 2500, 4, 0.5},  {5, 60, -15, 1.41}, {10, 400, 0, 1},
        {11, 12500, 0, 1},
    };
    for (const Case& c : cases) {
        ExpectCoeffs(ComputeBiquad(c.kind, c.f0, c.gainDb, c.q, 0.0, kFs),
                     Textbook(c.kind, c.f0, c.gainDb, c.q), 1e-12,
                     "kind " + std::to_string(c.kind) + " f0 " + std::to_string(c.f0));
    }
}

// At fs/4 (K = 1) the designs reduce to closed-form numbers.
TEST(ComputeBiquad, QuarterSampleRateClosedForms) {
    const double b = 1 / (2 + kSqrt2);
    ExpectCoeffs(ComputeBiquad(12, 12000, 0, 1.41, 0, kFs),
                 {b, 2 * b, b, 0.0, (2 - kSqrt2) / (2 + kSqrt2)}, 1e-12, "Butterworth LP");
    ExpectCoeffs(ComputeBiquad(10, 12000, 0, 1.41, 0, kFs), {0.5, 0.5, 0.0, 0.0, 0.0}, 1e-12,
                 "first-order LP");
    ExpectCoeffs(ComputeBiquad(11, 12000, 0, 1.41, 0, kFs), {0.5, -0.5, 0.0, 0.0, 0.0}, 1e-12,
                 "first-order HP");
    ExpectCoeffs(ComputeBiquad(16, 12000, 0, 1.41, 0, kFs), {0.25, 0.5, 0.25, 0.0, 0.0}, 1e-12,
                 "Q 0.5 LP (double real pole at the origin)");
}

// The device's Chebyshev: eta from its own formula, not the textbook design value.
struct Chebyshev {
    double eps = std::sqrt(std::pow(10.0, 0.01) - 1.0);
    double eta = std::sinh(0.5 * std::sqrt(std::log(1.0 + 1.0 / eps + 1.0 / (eps * eps))));
    double rippleDb = Db(1.0 / std::sqrt(1.0 + eps * eps)); // -0.1 dB
    // Prototype 1/(s^2 + sqrt2 eta K s + (eta^2 + 1/2) K^2) in tan-warped frequency.
    double LowPassDb(double f0, double f) const {
        const double k = std::tan(kPi * f0 / kFs);
        const double x = std::tan(kPi * f / kFs);
        const double p = (eta * eta + 0.5) * k * k;
        const Cx s(0.0, x);
        return Db(std::abs(p / (s * s + kSqrt2 * eta * k * s + p))) + rippleDb;
    }
    // The high-pass is the low-pass mirrored about fs/4.
    double HighPassDb(double f0, double f) const { return LowPassDb(kFs / 2 - f0, kFs / 2 - f); }
};

TEST(ComputeBiquad, ChebyshevUsesTheDevicesEta) {
    const Chebyshev ch;
    EXPECT_NEAR(ch.eta, 1.16007, 1e-5);
    EXPECT_NEAR(ch.rippleDb, -0.1, 1e-12);
    // Pass-band peak where the warped frequency is K/sqrt2: +0.23 dB with this eta (the
    // textbook eta 1.67751 would put it at exactly 0 dB).
    const double e2 = ch.eta * ch.eta;
    const double peakDb = 10 * std::log10((e2 + 0.5) * (e2 + 0.5) / (e2 * e2 + e2)) + ch.rippleDb;
    EXPECT_NEAR(peakDb, 0.2309, 1e-3);

    for (double f0 : {60.0, 1000.0, 7000.0}) {
        const BiquadCoeffs lp = ComputeBiquad(6, f0, 0, 1.41, 0, kFs);
        const BiquadCoeffs hp = ComputeBiquad(7, f0, 0, 1.41, 0, kFs);
        EXPECT_NEAR(DigitalDb(lp, f0), -0.1, 1e-9) << "LP at f0 " << f0;
        EXPECT_NEAR(DigitalDb(lp, 0), -0.1, 1e-9) << "LP at DC " << f0;
        EXPECT_NEAR(DigitalDb(hp, f0), -0.1, 1e-9) << "HP at f0 " << f0;
        EXPECT_NEAR(DigitalDb(hp, 24000), -0.1, 1e-9) << "HP at Nyquist " << f0;
        const double kLp = std::tan(kPi * f0 / kFs) / kSqrt2;
        EXPECT_NEAR(DigitalDb(lp, std::atan(kLp) * kFs / kPi), peakDb, 1e-9) << "LP peak " << f0;
        const double kHp = kSqrt2 * std::tan(kPi * f0 / kFs); // mirror of the LP peak
        EXPECT_NEAR(DigitalDb(hp, std::atan(kHp) * kFs / kPi), peakDb, 1e-9) << "HP peak " << f0;
        for (double f : {10.0, 200.0, 3000.0, 15000.0}) {
            EXPECT_NEAR(DigitalDb(lp, f), ch.LowPassDb(f0, f), 1e-6) << f0 << " LP " << f;
            EXPECT_NEAR(DigitalDb(hp, f), ch.HighPassDb(f0, f), 1e-6) << f0 << " HP " << f;
        }
    }
}

TEST(ComputeBiquad, ChebyshevIgnoresQAndAppliesLevelFactor) {
    const BiquadCoeffs a = ComputeBiquad(6, 1500, 0, 0.3, 0, kFs);
    const BiquadCoeffs b = ComputeBiquad(6, 1500, 0, 25, 0, kFs);
    ExpectCoeffs(a, b, 0, "Q must not enter");
    const BiquadCoeffs g = ComputeBiquad(7, 1500, 6, 1, 0, kFs);
    EXPECT_NEAR(DigitalDb(g, 24000), 6 - 0.1, 1e-9);
}

TEST(ComputeBiquad, OffAndUnknownKindsAreAllPassWithLowPassPoles) {
    for (int kind : {0, 22, 23, 100, 255, -1}) {
        for (double q : {0.1, 0.7, 1.41, 2.0}) {
            const BiquadCoeffs ap = ComputeBiquad(kind, 1200, 9, q, 0, kFs);
            const BiquadCoeffs lp = ComputeBiquad(kFilterLowPass, 1200, 0, q, 0, kFs);
            EXPECT_NEAR(ap.a1, lp.a1, 1e-15) << kind;
            EXPECT_NEAR(ap.a2, lp.a2, 1e-15) << kind;
            for (double f : {0.0, 50.0, 1200.0, 9000.0, 24000.0})
                EXPECT_NEAR(DigitalDb(ap, f), 0.0, 1e-9) << "kind " << kind << " at " << f;
        }
    }
    // aux enters as 10^(aux/40): half its dB value.
    EXPECT_NEAR(DigitalDb(ComputeBiquad(0, 500, 0, 1, 6, kFs), 3000), 3.0, 1e-9);
}

TEST(ComputeBiquad, PeqAuxLevelRaisesTheWholeCurve) {
    const BiquadCoeffs h = ComputeBiquad(kFilterPeq, 1000, 6, 1.41, -4, kFs);
    EXPECT_NEAR(DigitalDb(h, 1000), 2.0, 1e-9);
    EXPECT_NEAR(DigitalDb(h, 0), -4.0, 1e-9);
}

bool StableAndFinite(const BiquadCoeffs& c) {
    for (double v : {c.b0, c.b1, c.b2, c.a1, c.a2})
        if (!std::isfinite(v)) return false;
    // Both poles inside the unit circle (triangle of stability).
    return std::fabs(c.a2) < 1.0 && std::fabs(c.a1) < 1.0 + c.a2;
}

// Stored records can hold Q 0, frequency 0 or above Nyquist; these must never become NaN or
// an unstable section in the device.
TEST(ComputeBiquad, CorruptInputsStayFiniteAndStable) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double f, gain, q;
    };
    const Case cases[] = {{1000, 0, 0},   {1000, 3, -2},    {0, 0, 1},     {-50, 0, 1},
                          {24000, 0, 1},  {30000, 3, 1.41}, {65535, 0, 1}, {nan, 0, 1},
                          {1000, nan, 1}, {1000, 0, nan}};
    for (int kind = 0; kind < kFilterKindCount; ++kind) {
        for (const Case& c : cases) {
            EXPECT_TRUE(StableAndFinite(ComputeBiquad(kind, c.f, c.gain, c.q, 0, kFs)))
                << "kind " << kind << " f " << c.f << " gain " << c.gain << " q " << c.q;
        }
    }
    // In-range values are untouched by the guards.
    ExpectCoeffs(ComputeBiquad(kFilterLowPass, 20000, 0, 0.1, 0, kFs),
                 Textbook(kFilterLowPass, 20000, 0, 0.1), 1e-12, "edge of the band range");
}

} // namespace
} // namespace fenno
