// The device's identity (model, firmware texts, command-set version, board codes) and its texts.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fenno {

struct DeviceState;

inline constexpr int kModeHeaderSize = 60;
inline constexpr int kModelNameSize = 32;
inline constexpr int kVersionTextSize = 11;
inline constexpr int kRequiredCommandVersion = 24;

// The first 60 bytes are the mode-file header; the version is its one little-endian number.
struct DeviceInfo {
    int32_t commandVersion = 17;
    std::array<char, kModelNameSize> modelName{'U', 'n', 'k', 'n', 'o', 'w', 'n'};
    std::array<char, kVersionTextSize> mcuVersion{'2', '0', '1', '6', '-', '1', '0', '-', '0', '3'};
    std::array<char, kVersionTextSize> dspVersion{'2', '0', '1', '6', '-', '1', '1', '-', '3', '0'};
    std::array<uint8_t, 2> reserved{};
    std::array<uint8_t, 4> boardCode{};     // raw bytes p[4..7] of the 0x7F answer
    std::array<uint8_t, 2> boardCodeHalf{}; // raw bytes p[8..9]

    std::string_view Model() const;
    std::string_view Mcu() const;
    std::string_view Dsp() const;

    std::array<uint8_t, kModeHeaderSize> ToHeader() const;
    // Missing header bytes count as zero; texts are forced to end inside their fields.
    static DeviceInfo FromHeader(const uint8_t* header, size_t size);
};

inline constexpr int kHeaderModelOffset = 4;
inline constexpr int kHeaderMcuOffset = kHeaderModelOffset + kModelNameSize;
inline constexpr int kHeaderDspOffset = kHeaderMcuOffset + kVersionTextSize;
inline constexpr int kHeaderReservedOffset = kHeaderDspOffset + kVersionTextSize;
static_assert(kHeaderReservedOffset + 2 == kModeHeaderSize);

// A full read (and a mode file) is accepted only with this command-set version.
inline constexpr bool IsSupportedCommandVersion(int version) {
    return version == kRequiredCommandVersion;
}

// Start-up identity and machine-settings copies, as before any device has answered.
void ResetDeviceDefaults(DeviceState& state);

// The music input source (module 4 index 18) corrected to what the model's panel offers.
uint8_t FixInputSource(std::string_view model, uint8_t source);

// Converter boards reported in the status block.
struct CodecBoards {
    uint8_t mic = 0;
    uint8_t music = 0;
    uint8_t ch12 = 0;
    uint8_t ch34 = 0;
    uint8_t ch56 = 0;
    uint8_t ch78 = 0;
};

inline constexpr int kStatusMicCodec = 16;
inline constexpr int kStatusCh78Codec = 17;
inline constexpr int kStatusCh56Codec = 18;
inline constexpr int kStatusCh34Codec = 19;
inline constexpr int kStatusCh12Codec = 20;
inline constexpr int kStatusMusicCodec = 22;

CodecBoards CodecBoardsFromStatus(const uint8_t* status, size_t size);

// A code outside a table shows the name of code 0.
const char* MicCodecName(int code);
const char* MusicCodecName(int code);
const char* OutputCodecName(int code);

// The About box lines: controls 1005, 1007, 1006 and 1283.
struct IdentityText {
    std::string module;
    std::string mcu;
    std::string dsp;
    std::string codecs;
};

IdentityText MakeIdentityText(const DeviceInfo& info, const CodecBoards& boards);

} // namespace fenno
