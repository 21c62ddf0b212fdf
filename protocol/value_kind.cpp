#include "protocol/value_kind.h"

#include <cmath>

#include "eq/eq_block.h"
#include "protocol/bytes.h"

namespace fenno {

const char* ValueKindName(ValueKind kind) {
    switch (kind) {
    case ValueKind::Raw: return "Raw";
    case ValueKind::Hundredths: return "Hundredths";
    case ValueKind::Float: return "Float";
    case ValueKind::Byte: return "Byte";
    case ValueKind::Milliseconds: return "Milliseconds";
    case ValueKind::TenThousandths: return "TenThousandths";
    }
    return "?";
}

uint32_t MsToSamples(double ms) {
    double samples = std::trunc(ms * kSampleRate / 1000.0 + 0.5);
    if (!(samples > 0)) return 0; // negative and NaN both mean no delay
    if (samples >= 4294967295.0) return 0xFFFFFFFFu;
    return uint32_t(samples);
}

double SamplesToMs(uint32_t samples) { return double(samples) * 1000.0 / kSampleRate; }

static int32_t TruncToInt(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return int32_t(std::trunc(v));
}

uint32_t HostToDevice(ValueKind kind, double host) {
    switch (kind) {
    case ValueKind::Raw: return 0;
    case ValueKind::Hundredths: {
        int32_t v = TruncToInt(host);
        if (v == 0) return 0;
        // The bias lifts the value past float rounding so the device reads back the same step.
        return FloatBits(float(double(float(v) / 100.0f) + 1e-7));
    }
    case ValueKind::Float: return FloatBits(float(host));
    case ValueKind::Byte: return uint32_t(TruncToInt(host)) & 0xFFu;
    case ValueKind::Milliseconds: return MsToSamples(host);
    case ValueKind::TenThousandths: return FloatBits(float(TruncToInt(host)) / 10000.0f);
    }
    return 0;
}

double DeviceToHost(ValueKind kind, uint32_t word) {
    float f = std::bit_cast<float>(word);
    switch (kind) {
    case ValueKind::Raw: return 0;
    case ValueKind::Hundredths: return TruncToInt(double(f * 100.0f));
    case ValueKind::Float: return f;
    case ValueKind::Byte: return double(word & 0xFFu);
    case ValueKind::Milliseconds: return float(SamplesToMs(word));
    case ValueKind::TenThousandths: return TruncToInt(double(f * 10000.0f));
    }
    return 0;
}

} // namespace fenno
