#include "browserext/host/NativeMessaging.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

// Reads up to `size` bytes, looping over short reads; returns how many arrived before the
// end of the input, or -1 on a read error.
long ReadFully(int fd, char* data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, data + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<long>(done);
}

bool WriteFully(int fd, const char* data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

FrameResult ReadFrame(int fd, std::string& body)
{
    body.clear();
    char header[4];
    const long got = ReadFully(fd, header, sizeof header);
    if (got < 0)
        return FrameResult::ReadError;
    if (got == 0)
        return FrameResult::End;
    if (got < static_cast<long>(sizeof header))
        return FrameResult::CutShort;
    std::uint32_t length = 0;
    std::memcpy(&length, header, sizeof length);
    if (length > kMaxMessageBytes)
        return FrameResult::TooLarge;
    body.resize(length);
    const long read = ReadFully(fd, body.data(), length);
    if (read < 0)
        return FrameResult::ReadError;
    if (static_cast<std::uint32_t>(read) < length) {
        body.clear();
        return FrameResult::CutShort;
    }
    return FrameResult::Message;
}

bool WriteFrame(int fd, const std::string& body)
{
    if (body.size() > kMaxMessageBytes)
        return false;
    const auto length = static_cast<std::uint32_t>(body.size());
    char header[4];
    std::memcpy(header, &length, sizeof header);
    return WriteFully(fd, header, sizeof header) && WriteFully(fd, body.data(), body.size());
}
