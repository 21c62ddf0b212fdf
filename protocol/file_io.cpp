#include "protocol/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace fenno {
namespace {

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

int ReadFileUpTo(const std::string& path, size_t max, std::vector<uint8_t>& out) {
    out.assign(max, 0);
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    size_t got = 0;
    while (got < max) {
        ssize_t r = ::read(fd, out.data() + got, max - got);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
            int code = errno;
            ::close(fd);
            return code;
        }
        if (r == 0) break;
        got += size_t(r);
    }
    ::close(fd);
    out.resize(got);
    return 0;
}

int WriteFileAtomically(const std::string& path, const uint8_t* data, size_t n) {
    std::string tmp = path + ".XXXXXX";
    std::vector<char> name(tmp.begin(), tmp.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0) return errno;
    // mkstemp makes the file private; give it the target's mode, or the usual one.
    struct stat st {};
    ::fchmod(fd, ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644);
    int code = (WriteAll(fd, data, n) && ::fsync(fd) == 0) ? 0 : errno;
    if (::close(fd) != 0 && code == 0) code = errno;
    if (code == 0 && ::rename(name.data(), path.c_str()) != 0) code = errno;
    if (code != 0) ::unlink(name.data());
    return code;
}

std::string WriteFailText(int code, const std::string& path) {
    return "Errcode=" + std::to_string(code) + ",Can't write to file:\n" + path +
           "\nProbaby it is write protected.";
}

} // namespace fenno
