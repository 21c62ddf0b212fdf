// How a parameter's host value becomes the device's 32-bit word and back.
#pragma once

#include <cstdint>

namespace fenno {

enum class ValueKind : uint8_t {
    Raw = 0,            // written only by a dedicated encoder
    Hundredths = 1,     // int host value, device float v/100 (+1e-7 bias)
    Float = 2,          // float both sides
    Byte = 3,           // int host value in the last byte
    Milliseconds = 4,   // float ms host value, device sample count at 48 kHz
    TenThousandths = 5, // int host value, device float v/10000
};

const char* ValueKindName(ValueKind kind);

// Host value → device word. Int kinds truncate the host value toward zero first.
uint32_t HostToDevice(ValueKind kind, double host);
// Device word → host value (an integer value for the int kinds).
double DeviceToHost(ValueKind kind, uint32_t word);

uint32_t MsToSamples(double ms);
double SamplesToMs(uint32_t samples);

inline constexpr bool IsIntKind(ValueKind k) {
    return k == ValueKind::Hundredths || k == ValueKind::Byte || k == ValueKind::TenThousandths;
}

} // namespace fenno
