#include "protocol/mode_file.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "protocol/file_io.h"

namespace fenno {
namespace {

void SetError(ModeFileError* e, int code, std::string message, bool badVersion = false) {
    if (!e) return;
    e->code = code;
    e->badVersion = badVersion;
    e->message = std::move(message);
}

} // namespace

bool SaveModeFile(const std::string& path, ParamStore& store, const DeviceInfo& info,
                  ModeFileError* error) {
    std::copy(store.eq.begin(), store.eq.end(), store.image.begin());
    std::vector<uint8_t> bytes(kModeFileSize);
    auto header = info.ToHeader();
    std::copy(header.begin(), header.end(), bytes.begin());
    std::copy(store.image.begin(), store.image.end(), bytes.begin() + kModeHeaderSize);
    if (int code = WriteFileAtomically(path, bytes.data(), bytes.size())) {
        SetError(error, code, WriteFailText(code, path));
        return false;
    }
    return true;
}

bool LoadModeFile(const std::string& path, ParamStore& store, std::string_view connectedModel,
                  ModeFileError* error, DeviceInfo* headerOut) {
    std::vector<uint8_t> bytes;
    if (int code = ReadFileUpTo(path, kModeFileSize, bytes)) {
        SetError(error, code, "Can't open file:\n" + path + "\n" + std::strerror(code));
        return false;
    }
    return ApplyModeFileBytes(bytes.data(), bytes.size(), store, connectedModel, error, headerOut);
}

bool ApplyModeFileBytes(const uint8_t* data, size_t size, ParamStore& store,
                        std::string_view connectedModel, ModeFileError* error,
                        DeviceInfo* headerOut) {
    size_t got = std::min<size_t>(size, kModeFileSize);
    std::vector<uint8_t> bytes(data, data + got);
    bytes.resize(kModeFileSize, 0); // missing header bytes count as zero

    DeviceInfo header = DeviceInfo::FromHeader(bytes.data(), std::min<size_t>(got, kModeHeaderSize));
    // A file too short to hold the version is refused even when its bytes spell 24.
    if (got < 4 || !IsSupportedCommandVersion(header.commandVersion)) {
        SetError(error, 0, "Mode file version not support!", true);
        return false;
    }
    size_t imageBytes = got > size_t(kModeHeaderSize) ? got - kModeHeaderSize : 0;
    std::copy_n(bytes.begin() + kModeHeaderSize, imageBytes, store.image.begin());
    uint8_t& source = store.image[FindParam(4, 18)->ValueOffset() + 3];
    source = FixInputSource(connectedModel, source);
    store.ApplyDeviceImage();
    if (headerOut) *headerOut = header;
    return true;
}

std::optional<int> PendingModeFromName(const std::string& path) {
    std::string name = path.substr(path.find_last_of("/\\") == std::string::npos
                                       ? 0
                                       : path.find_last_of("/\\") + 1);
    if (auto dot = name.rfind('.'); dot != std::string::npos) name.erase(dot);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    for (int m = 0; m < 4; ++m)
        if (name.size() >= 2 && name[0] == 'm' && name[1] == char('1' + m)) return m;
    return std::nullopt;
}

} // namespace fenno
