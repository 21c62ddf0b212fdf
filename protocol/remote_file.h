// Remote files (*.remo): exactly the 30 bytes of the remote key table, no header, no checksum.
#pragma once

#include "protocol/device_state.h"

#include <array>
#include <cstdint>
#include <string>

namespace fenno {

using RemoteKeyTable = std::array<uint8_t, kRemoteKeyTableSize>;

inline constexpr char kRemoteFileExtension[] = "remo";

struct RemoteFileError {
    int code = 0;        // errno of the failed open, read, write or rename
    std::string message; // ready to show
};

// Replaces what follows the last dot of the file name with "remo", or appends ".remo" when the
// name has no dot; dots in folder names do not count.
std::string ForceRemoteExtension(const std::string& path);

// Reads up to 30 bytes of the file (after forcing its extension) into the first bytes of table;
// a short file leaves the rest as it was, a failed read leaves all of it. bytesRead gets the
// count. path gets the name that was actually used.
bool LoadRemoteFile(std::string& path, RemoteKeyTable& table, RemoteFileError* error = nullptr,
                    size_t* bytesRead = nullptr);

// Writes the 30 bytes under the forced name through a temporary file in the same folder, so a
// failed save leaves the previous file whole. path gets the name that was written.
bool SaveRemoteFile(std::string& path, const RemoteKeyTable& table,
                    RemoteFileError* error = nullptr);

} // namespace fenno
