#include "eq/eq_band.h"

#include <algorithm>
#include <cmath>

namespace fenno {
namespace {

bool Ignored(float v) {
    return !std::isfinite(v) || std::fabs(v) < kIgnoredMagnitude;
}

} // namespace

void SetBandFrequency(EqBand& band, float hz) {
    if (Ignored(hz)) return;
    band.frequency = std::min(std::max(hz, band.freqMin), band.freqMax);
}

void SetBandGain(EqBand& band, float db) {
    if (!std::isfinite(db)) return;
    db = std::min(std::max(db, band.gainMin), band.gainMax);
    if (band.kind != kFilterOff && !KindCarriesGain(band.kind)) db = 0.0f;
    band.gain = db;
}

void SetBandQ(EqBand& band, float q) {
    if (Ignored(q)) return;
    band.q = std::clamp(q, kQMin, KindQMax(band.kind));
}

void SetBandKind(EqBand& band, int kind) {
    band.kind = kind;
    if (kind == kFilterPeq) {
        band.q = kDefaultPeqQ;
    } else if (kind >= kFilterLowPass && kind <= kFilterHighShelf) {
        band.gain = 0.0f;
        band.q = kDefaultPassQ;
    }
}

} // namespace fenno
