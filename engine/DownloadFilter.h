#pragma once
// Decides which file types become download items and which sizes are wanted.
#include <cstdint>
#include <limits>
#include <set>
#include <stdexcept>
#include <string>

class DFException : public std::exception {
public:
    explicit DFException(std::string message) : m_message(std::move(message)) {}
    const char* what() const noexcept override { return m_message.c_str(); }

private:
    std::string m_message;
};

class CDownloadFilter {
public:
    CDownloadFilter() = default;

    // Patterns ("*.jpg") separated by '|'. The set is unchanged if any piece is malformed.
    void SetIncludeExtensions(const std::string& list);
    void SetExcludeExtensions(const std::string& list);
    void SetIncludeExtensionSet(const std::set<std::string>& patterns);
    void SetMinFileSize(std::int64_t bytes);
    void SetMaxFileSize(std::int64_t bytes);

    bool IsExtensionAllowed(const std::string& pattern) const;
    bool IsSizeAllowed(std::int64_t bytes) const;

    const std::set<std::string>& GetIncludeExtensions() const { return m_includeExts; }
    const std::set<std::string>& GetExcludeExtensions() const { return m_excludeExts; }
    std::int64_t GetMinFileSize() const { return m_nMinFileSize; }
    std::int64_t GetMaxFileSize() const { return m_nMaxFileSize; }

    // Whether text is a well-formed pattern: "*." and one or more extension characters.
    static bool IsWellFormedPattern(const std::string& text);

private:
    std::set<std::string> m_includeExts;
    std::set<std::string> m_excludeExts;
    std::int64_t m_nMinFileSize = 0;
    std::int64_t m_nMaxFileSize = std::numeric_limits<std::int64_t>::max();

public:
    bool m_bUseExclude = false;
    bool m_bUseInclude = false;
};
