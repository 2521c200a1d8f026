#pragma once
#include "helpers/Archive.h"

#include <string>

namespace HELPERS {

// A directory path. The name is historical; paths are native ('/' separators) and a
// folder built by GetFullDirectoryPath keeps its trailing separator.
class WinDirectory : public IArchive {
public:
    // The longest path the byte form accepts.
    static constexpr unsigned kMaxPath = 260;

    WinDirectory() = default;
    WinDirectory(const std::string& path) : m_dirName(path) {}
    WinDirectory(const char* path) : m_dirName(path ? path : "") {}
    WinDirectory(const WinDirectory&) = default;
    WinDirectory& operator=(const WinDirectory&) = default;
    WinDirectory& operator=(const std::string& path)
    {
        m_dirName = path;
        return *this;
    }
    WinDirectory& operator=(const char* path)
    {
        m_dirName = path ? path : "";
        return *this;
    }

    operator const std::string&() const { return m_dirName; }
    const std::string& GetPath() const { return m_dirName; }
    const char* c_str() const { return m_dirName.c_str(); }
    bool empty() const { return m_dirName.empty(); }

    bool operator==(const WinDirectory& other) const { return m_dirName == other.m_dirName; }

    // Byte form: 4-byte length in host byte order, then the path bytes.
    bool Load(IByteStream& stream) override;
    bool Save(IByteStream& stream) override;

private:
    std::string m_dirName;
};

} // namespace HELPERS
