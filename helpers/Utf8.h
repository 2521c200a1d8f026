#pragma once
// UTF-8 sequences, read and written.
#include <cstddef>
#include <cstdint>
#include <string>

namespace HELPERS {

// Length of the UTF-8 sequence starting at s[i] with its code point in `cp`, or 0 when it
// is not valid (cut short, overlong, a surrogate, past U+10FFFF).
std::size_t Utf8Decode(const std::string& s, std::size_t i, std::uint32_t& cp);

// Appends the code point `cp` (at most U+10FFFF) as UTF-8.
void AppendUtf8(std::string& out, std::uint32_t cp);

} // namespace HELPERS
