#pragma once
#include <string>

// Longest extension body a file type may have.
constexpr std::size_t kMaxExtensionLength = 25;

// Turns what the user typed ("jpg", ".jpg", "*jpg", "*.jpg") into the pattern "*.jpg",
// keeping the letter case. Throws std::runtime_error "Invalid extension" for anything else
// (blanks, a second dot, other characters, nothing) and "Extension too long" for a body
// longer than kMaxExtensionLength.
std::string NormalizeExtension(const std::string& text);
