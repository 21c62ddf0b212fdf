#include "protocol/remote_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fenno {
namespace {

void SetError(RemoteFileError* e, int code, std::string message) {
    if (!e) return;
    e->code = code;
    e->message = std::move(message);
}

std::string WriteFailText(int code, const std::string& path) {
    return "Errcode=" + std::to_string(code) + ",Can't write to file:\n" + path +
           "\nProbaby it is write protected.";
}

bool WriteAll(int fd, const uint8_t* p, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
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
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int code = errno;
        SetError(error, code, "Can't open remote file:\n" + path + "\n" + std::strerror(code));
        return false;
    }
    RemoteKeyTable bytes{};
    size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t r = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
            const int code = errno;
            ::close(fd);
            SetError(error, code, "Can't read remote file:\n" + path + "\n" + std::strerror(code));
            return false;
        }
        if (r == 0) break;
        got += size_t(r);
    }
    ::close(fd);
    std::copy_n(bytes.begin(), got, table.begin());
    if (bytesRead) *bytesRead = got;
    return true;
}

bool SaveRemoteFile(std::string& path, const RemoteKeyTable& table, RemoteFileError* error) {
    path = ForceRemoteExtension(path);
    std::string tmp = path + ".XXXXXX";
    std::vector<char> name(tmp.begin(), tmp.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        const int code = errno;
        SetError(error, code, WriteFailText(code, path));
        return false;
    }
    // mkstemp makes the file private; give it the target's mode, or the usual one.
    struct stat st {};
    ::fchmod(fd, ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644);
    bool ok = WriteAll(fd, table.data(), table.size()) && ::fsync(fd) == 0;
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

} // namespace fenno
