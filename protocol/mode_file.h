// Mode files (*.mode): the 60-byte identity header and the whole device image.
#pragma once

#include <optional>
#include <string>

#include "protocol/device_info.h"
#include "protocol/param_store.h"

namespace fenno {

inline constexpr int kModeFileSize = kModeHeaderSize + kDeviceImageSize; // 3972

struct ModeFileError {
    int code = 0;          // errno of a failed open, read, write or rename; 0 otherwise
    bool badVersion = false;
    std::string message;   // ready to show
};

// Copies the EqImage back into the image, then writes header + image. The file is written to a
// temporary name in the same folder and renamed over the target, so a failed save never destroys
// the previous file.
bool SaveModeFile(const std::string& path, ParamStore& store, const DeviceInfo& info,
                  ModeFileError* error = nullptr);

// Reads header and image; refuses any command-set version but 24 and leaves the stores unchanged
// then. A short file keeps the previous bytes past its end. The music input source is corrected
// for the connected model, then the host values are rebuilt.
bool LoadModeFile(const std::string& path, ParamStore& store, std::string_view connectedModel,
                  ModeFileError* error = nullptr, DeviceInfo* header = nullptr);

// The same on bytes already read (at most the first 3972 count).
bool ApplyModeFileBytes(const uint8_t* data, size_t size, ParamStore& store,
                        std::string_view connectedModel, ModeFileError* error = nullptr,
                        DeviceInfo* header = nullptr);

// "M3 club.mode" → 2; "my m1.mode" → none.
std::optional<int> PendingModeFromName(const std::string& path);

} // namespace fenno
