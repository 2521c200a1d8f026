#include "helpers/WinDirectory.h"

#include <cstdint>
#include <vector>

namespace HELPERS {

bool WinDirectory::Save(IByteStream& stream)
{
    const auto length = static_cast<std::uint32_t>(m_dirName.size());
    if (!stream.Write(&length, sizeof length))
        return false;
    return length == 0 || stream.Write(m_dirName.data(), length);
}

bool WinDirectory::Load(IByteStream& stream)
{
    std::uint32_t length = 0;
    if (!stream.Read(&length, sizeof length))
        return false;
    if (length == 0) {
        m_dirName.clear();
        return true;
    }
    if (length > kMaxPath)
        return false;
    std::string path(length, '\0');
    if (!stream.Read(path.data(), length))
        return false;
    m_dirName = std::move(path);
    return true;
}

} // namespace HELPERS
