#include "protocol/remote_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "protocol/file_io.h"

namespace fenno {
namespace {

void SetError(RemoteFileError* e, int code, std::string message) {
    if (!e) return;
    e->code = code;
    e->message = std::move(message);
}

} // namespace

std::string ForceRemoteExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < nameAt) return path + "." + kRemoteFileExtension;
    return path.substr(0, dot + 1) + kRemoteFileExtension;
}

bool LoadRemoteFile(std::string& path, RemoteKeyTable& table, RemoteFileError* error,
                    size_t* bytesRead) {
    path = ForceRemoteExtension(path);
    std::vector<uint8_t> bytes;
    if (const int code = ReadFileUpTo(path, table.size(), bytes)) {
        SetError(error, code, "Can't open remote file:\n" + path + "\n" + std::strerror(code));
        return false;
    }
    const size_t got = bytes.size();
    std::copy_n(bytes.begin(), got, table.begin());
    if (bytesRead) *bytesRead = got;
    return true;
}

bool SaveRemoteFile(std::string& path, const RemoteKeyTable& table, RemoteFileError* error) {
    path = ForceRemoteExtension(path);
    if (const int code = WriteFileAtomically(path, table.data(), table.size())) {
        SetError(error, code, WriteFailText(code, path));
        return false;
    }
    return true;
}

} // namespace fenno
