#include "eq/eq_response.h"

#include "eq/biquad.h"
#include "eq/eq_block.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace fenno {
namespace {

// The grid and its sin^2(pi f / fs) terms never change, so they are built once.
struct Grid {
    std::array<double, kResponsePoints> freq{};
    std::array<double, kResponsePoints> phi{};
    Grid() {
        const double span = std::log10(double{DisplayFreqMax} / double{DisplayFreqMin});
        for (int i = 0; i < kResponsePoints; ++i) {
            freq[i] = DisplayFreqMin * std::pow(10.0, span * i / kResponsePoints);
            const double s = std::sin(std::numbers::pi * freq[i] / kSampleRate);
            phi[i] = s * s;
        }
    }
};

const Grid& TheGrid() {
    static const Grid grid;
    return grid;
}

// Floor of the squared magnitudes, so that no rounding in a deep stop band can ever hand
// log10 a value <= 0 and put NaN or -inf into the curve.
constexpr double kMinPower = 1e-30;

} // namespace

double ResponseFreq(int i) {
    if (i < 0 || i >= kResponsePoints) return 0.0;
    return TheGrid().freq[i];
}

int CentreIndex(float freqHz, int plotWidth) {
    if (plotWidth <= 0) return -1;
    // Pixel quantities in single precision, as the panel computes its handle positions.
    const float width = static_cast<float>(plotWidth);
    const float span = static_cast<float>(std::log10(double{DisplayFreqMax} / DisplayFreqMin));
    const float x = width * static_cast<float>(std::log10(double{freqHz} / DisplayFreqMin)) / span;
    const float pixel = std::trunc(x);
    const float step = width / static_cast<float>(kResponsePoints);
    const float i = std::trunc(pixel / step);
    if (!(i >= 0.0f)) return 0;
    if (i >= static_cast<float>(kResponsePoints)) return kResponsePoints - 1;
    return static_cast<int>(i);
}

void ComputeBandResponse(EqBand& band, int plotWidth) {
    if (plotWidth <= 0 || band.kind == kFilterOff) return;
    const BiquadCoeffs c =
        ComputeBiquad(band.kind, band.frequency, band.gain, band.q, 0.0, kSampleRate);
    const double sb = c.b0 + c.b1 + c.b2;
    const double n0 = sb * sb;
    const double n1 = 4.0 * (c.b0 * c.b1 + 4.0 * c.b0 * c.b2 + c.b1 * c.b2);
    const double n2 = 16.0 * c.b0 * c.b2;
    const double sa = 1.0 + c.a1 + c.a2;
    const double d0 = sa * sa;
    const double d1 = 4.0 * (c.a1 + 4.0 * c.a2 + c.a1 * c.a2);
    const double d2 = 16.0 * c.a2;

    const auto& phi = TheGrid().phi;
    for (int i = 0; i < kResponsePoints; ++i) {
        const double p = phi[i];
        const double num = std::max(n0 - n1 * p + n2 * p * p, kMinPower);
        const double den = std::max(d0 - d1 * p + d2 * p * p, kMinPower);
        // One log of the ratio instead of two logs; equal to the difference of the two logs.
        band.response[i] = static_cast<float>(10.0 * std::log10(num / den));
    }
    if (band.kind == kFilterPeq) band.response[CentreIndex(band.frequency, plotWidth)] = band.gain;
}

void ComputeResponse(std::span<EqBand> bands, int index, int plotWidth) {
    if (index < 0 || index >= static_cast<int>(bands.size())) return;
    EqBand& band = bands[index];
    if (plotWidth <= 0 || band.kind == kFilterOff) return;
    const int followers = std::min(band.followerCount, kMaxFollowers);
    for (int k = 0; k < followers; ++k) {
        const int f = band.followers[k];
        if (f < 0 || f >= static_cast<int>(bands.size()) || f == index) continue;
        bands[f].frequency = band.frequency;
        ComputeBandResponse(bands[f], plotWidth);
    }
    ComputeBandResponse(band, plotWidth);
}

ResponseCurve SumResponse(std::span<const EqBand> bands, int count) {
    ResponseCurve sum{};
    count = std::min(count, static_cast<int>(bands.size()));
    for (int b = 0; b < count; ++b) {
        if (bands[b].kind == kFilterOff) continue;
        for (int i = 0; i < kResponsePoints; ++i)
            sum[i] += bands[b].response[i];
    }
    return sum;
}

ResponseCurve GroupResponse(std::span<const EqBand> bands, int index) {
    if (index < 0 || index >= static_cast<int>(bands.size())) return ResponseCurve{};
    const EqBand& band = bands[index];
    ResponseCurve sum = band.response;
    const int followers = std::min(band.followerCount, kMaxFollowers);
    for (int k = 0; k < followers; ++k) {
        const int f = band.followers[k];
        if (f < 0 || f >= static_cast<int>(bands.size()) || f == index) continue;
        if (bands[f].kind == kFilterOff) continue;
        for (int i = 0; i < kResponsePoints; ++i)
            sum[i] += bands[f].response[i];
    }
    return sum;
}

} // namespace fenno
