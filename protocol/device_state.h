// What the device reports besides its parameter memory: mode, flags, status, keys, settings.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

#include "protocol/device_info.h"

namespace fenno {

inline constexpr int kStatusBlockSize = 30;
inline constexpr int kRemoteKeyTableSize = 30;
inline constexpr int kMachineSettingsSize = 14;

// Written by the link thread (dispatcher), read by the GUI; the mutex keeps copies whole.
struct DeviceState {
    std::atomic<int> currentMode{0};          // 0..3 for M1..M4
    std::atomic<bool> settingsChanged{false}; // the device acknowledged a parameter write
    std::atomic<bool> errorShown{false};      // the parameter-error box is shown once per run

    mutable std::mutex mutex;                 // guards everything below
    std::array<uint8_t, kStatusBlockSize> status{};
    std::array<uint8_t, kRemoteKeyTableSize> remoteKeys{};
    std::array<uint8_t, kMachineSettingsSize> machineSettings{};
    std::array<uint8_t, kMachineSettingsSize> machineSettingsSent{};
    DeviceInfo info{};

    void ClearStatus() {
        std::lock_guard lock(mutex);
        status.fill(0);
    }
    std::array<uint8_t, kStatusBlockSize> Status() const {
        std::lock_guard lock(mutex);
        return status;
    }
    DeviceInfo Info() const {
        std::lock_guard lock(mutex);
        return info;
    }
};

} // namespace fenno
