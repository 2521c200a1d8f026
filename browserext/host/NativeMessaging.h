#pragma once
// The browsers' native-messaging framing: each message is a 4-byte length in the machine's
// own byte order, then that many bytes of UTF-8 JSON. The same framing runs both ways.
#include <cstddef>
#include <cstdint>
#include <string>

// Browsers send at most 4 GB to a host and accept 1 MiB from it; a request to this host is
// one address, so anything past 1 MiB is refused unread.
constexpr std::uint32_t kMaxMessageBytes = 1u << 20;

enum class FrameResult {
    Message,   // `body` holds one whole message
    End,       // the input ended before the first byte of a message: the browser is done
    TooLarge,  // the announced length is past kMaxMessageBytes; the body was not read
    CutShort,  // the input ended inside the length or the body
    ReadError, // read(2) failed
};

// Reads one message from `fd`, however the bytes are split between reads.
FrameResult ReadFrame(int fd, std::string& body);

// Writes one message to `fd`; false if it could not be written whole.
bool WriteFrame(int fd, const std::string& body);
