// Features that editors enable, hide or choose by the connected model, kept together as data.
#pragma once

#include "protocol/device_info.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace fenno {

inline constexpr int kInputPageDefaultTemplate = 512;
inline constexpr int kInputPageBoardTemplate = 543; // rows laid out from the input board code
inline constexpr uint8_t kInputBoardMarker = 0x55;  // 'U': the board code is valid

// Input source page layout: by board code when the device reports one, else by model name.
int InputPageTemplate(std::string_view model, uint8_t boardCode0);
inline int InputPageTemplate(const DeviceInfo& info) {
    return InputPageTemplate(info.Model(), info.boardCode[0]);
}
inline bool HasInputBoard(const DeviceInfo& info) {
    return info.boardCode[0] == kInputBoardMarker;
}

// Machine settings dialog: controls hidden for some models.
std::span<const int> MachineSettingsHiddenControls(std::string_view model);

// Music and microphone page: the third microphone (control 1187 and its group).
inline constexpr int kThirdMicControl = 1187;
bool HasThirdMic(std::string_view model);

// Input source page: controls that only one model with one command-set version offers.
std::span<const int> InputPageExtraControls(std::string_view model, int commandVersion);

// Scenes page: why the Z-Wave read failed, by language (0 Chinese, 1 English).
const char* ScenesSyncFailedText(std::string_view model, int language);

} // namespace fenno
