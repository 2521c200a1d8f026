#pragma once
#include <cstddef>

namespace HELPERS {

// A byte stream as IArchive sees it: read or write an exact number of bytes.
class IByteStream {
public:
    virtual ~IByteStream() = default;
    virtual bool Read(void* buffer, std::size_t count) = 0;
    virtual bool Write(const void* buffer, std::size_t count) = 0;
};

// A value that can store itself into and restore itself from a byte stream.
class IArchive {
public:
    virtual ~IArchive() = default;
    virtual bool Load(IByteStream& stream) = 0;
    virtual bool Save(IByteStream& stream) = 0;
};

} // namespace HELPERS
