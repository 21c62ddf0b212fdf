// Biquad coefficients of every filter kind; the same numbers are drawn and sent to the device.
#pragma once

namespace fenno {

// One second-order section normalised to a0 = 1:
// H(z) = (b0 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2).
struct BiquadCoeffs {
    double b0 = 1.0;
    double b1 = 0.0;
    double b2 = 0.0;
    double a1 = 0.0;
    double a2 = 0.0;
};

// kind: FilterKind code; codes 0 and outside 1..21 give an all-pass section.
// auxDb is an extra level that every caller passes as 0; fs is 48000 in this system.
// Q is kept at 0.1 or more and the frequency within 1 Hz .. 0.45 fs, so a corrupt record
// cannot produce non-finite or unstable coefficients.
BiquadCoeffs ComputeBiquad(int kind, double freqHz, double gainDb, double q, double auxDb,
                           double fs);

} // namespace fenno
