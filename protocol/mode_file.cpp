#include "protocol/mode_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace fenno {
namespace {

void SetError(ModeFileError* e, int code, std::string message, bool badVersion = false) {
    if (!e) return;
    e->code = code;
    e->badVersion = badVersion;
    e->message = std::move(message);
}

std::string WriteFailText(int code, const std::string& path) {
    return "Errcode=" + std::to_string(code) + ",Can't write to file:\n" + path +
           "\nProbaby it is write protected.";
}

bool WriteAll(int fd, const uint8_t* p, size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        n -= size_t(w);
    }
    return true;
}

} // namespace

bool SaveModeFile(const std::string& path, ParamStore& store, const DeviceInfo& info,
                  ModeFileError* error) {
    std::copy(store.eq.begin(), store.eq.end(), store.image.begin());
    std::vector<uint8_t> bytes(kModeFileSize);
    auto header = info.ToHeader();
    std::copy(header.begin(), header.end(), bytes.begin());
    std::copy(store.image.begin(), store.image.end(), bytes.begin() + kModeHeaderSize);

    std::string tmp = path + ".XXXXXX";
    std::vector<char> name(tmp.begin(), tmp.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0) {
        int code = errno;
        SetError(error, code, WriteFailText(code, path));
        return false;
    }
    // mkstemp makes the file private; give it the target's mode, or the usual one.
    struct stat st {};
    ::fchmod(fd, ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644);
    bool ok = WriteAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    int code = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (ok && ::rename(name.data(), path.c_str()) != 0) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        ::unlink(name.data());
        SetError(error, code, WriteFailText(code, path));
        return false;
    }
    return true;
}

bool LoadModeFile(const std::string& path, ParamStore& store, std::string_view connectedModel,
                  ModeFileError* error, DeviceInfo* headerOut) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        int code = errno;
        SetError(error, code, "Can't open file:\n" + path + "\n" + std::strerror(code));
        return false;
    }
    std::vector<uint8_t> bytes(kModeFileSize, 0);
    size_t got = 0;
    while (got < bytes.size()) {
        ssize_t r = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
            int code = errno;
            ::close(fd);
            SetError(error, code, "Can't read file:\n" + path + "\n" + std::strerror(code));
            return false;
        }
        if (r == 0) break;
        got += size_t(r);
    }
    ::close(fd);

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
