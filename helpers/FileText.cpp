#include "helpers/FileText.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace HELPERS {

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
};

FileTextResult ReadAll(int fd, std::string& text, std::size_t maxBytes)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<std::uintmax_t>(st.st_size) > maxBytes)
        return FileTextResult::Unusable;
    text.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            // The file may grow while it is read.
            if (text.size() + static_cast<std::size_t>(n) > maxBytes)
                return FileTextResult::Unusable;
            text.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0) {
            return FileTextResult::Read;
        } else if (errno != EINTR) {
            return FileTextResult::Unusable;
        }
    }
}

} // namespace

FileTextResult ReadFileText(const std::string& path, std::string& text, std::size_t maxBytes)
{
    text.clear();
    // O_NONBLOCK: opening a FIFO without a writer would otherwise wait for one.
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.Get() < 0)
        return errno == ENOENT ? FileTextResult::Missing : FileTextResult::Unusable;
    const FileTextResult result = ReadAll(fd.Get(), text, maxBytes);
    if (result != FileTextResult::Read)
        text.clear();
    return result;
}

} // namespace HELPERS
