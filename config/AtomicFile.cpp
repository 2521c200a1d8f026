#include "config/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool WriteAll(int fd, const std::string& text)
{
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

// Opens a new, hidden file beside `path`. O_EXCL keeps two writers (threads or processes)
// from ever sharing one.
int CreateSibling(const std::string& path, std::string& tempPath)
{
    static std::atomic<unsigned> counter{0};
    const auto slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = folder + "." + name + "." + std::to_string(::getpid()) + "-" +
                   std::to_string(counter++) + ".tmp";
        // 0666 under the umask: the same mode a plainly created file would get.
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

bool ReplaceFileAtomically(const std::string& path, const std::string& text)
{
    if (path.empty() || path.back() == '/')
        return false;
    std::string tempPath;
    const int fd = CreateSibling(path, tempPath);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, text) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(tempPath.c_str(), path.c_str()) == 0;
    if (!ok)
        ::unlink(tempPath.c_str());
    return ok;
}
