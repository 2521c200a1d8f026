#pragma once
#include <cstdint>
#include <string>

namespace HELPERS {

// Opens a file, folder or address with the desktop's preferred program (xdg-open, run
// without a shell). Returns a value above 32 on success; on failure throws WException
// with the message of the platform code the failure maps to.
// `window` and `showCommand` have no meaning here and are ignored; `operation` and
// `parameters` are accepted for the callers' sake (xdg-open only opens).
std::intptr_t ExecuteShellCommand(void* window, const std::string& operation, const std::string& file,
                                  const std::string& parameters, const std::string& directory, int showCommand);

// The value ExecuteShellCommand returns on success.
constexpr std::intptr_t kShellSuccess = 42;

// Platform code for an exit status of xdg-open: 0 success (kShellSuccess), 2 file not
// found (2), 3 no program for it (31), anything else unknown (-1).
std::intptr_t ShellCodeFromXdgOpenStatus(int exitStatus);

// The message for a failed platform code, as ExecuteShellCommand throws it.
const char* ShellErrorMessage(std::intptr_t code);

} // namespace HELPERS
