#pragma once
#include <string>

// One file type to download. Always held through a std::shared_ptr; copies of the
// options share these objects.
class CFileType {
public:
    CFileType() = default;
    CFileType(std::string ext, std::string desc, bool checked)
        : m_ext(std::move(ext)), m_desc(std::move(desc)), m_bChecked(checked)
    {}

    bool operator==(const CFileType&) const = default;

    std::string m_ext;  // "*." and the extension, e.g. "*.jpg"
    std::string m_desc; // may be empty
    bool m_bChecked = false;
};
