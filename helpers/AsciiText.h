#pragma once
// Letter case of ASCII only: bytes of other scripts stay as they are, because folding
// them would need the user's locale and a wrong fold would merge two different names.
#include <string>
#include <string_view>

namespace HELPERS {

inline char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

inline char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

inline std::string ToLowerAscii(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = FoldAscii(c);
    return out;
}

// Control characters (below 0x20, and DEL): a header value holding one could end the line
// and add headers of its own.
inline bool HasAsciiControl(std::string_view s)
{
    for (const char c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return true;
    return false;
}

inline bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    return true;
}

} // namespace HELPERS
