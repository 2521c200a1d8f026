#pragma once
// The registry values through which the installed pieces find each other: make install
// records both (in the key), the browser host reads ProgramPath, the Help command reads
// HelpFilePath.
namespace HELPERS {

constexpr const char* kQuarrowKey = "Software\\Orlendi\\Quarrow";
constexpr const char* kProgramPathValue = "Software\\Orlendi\\Quarrow\\ProgramPath";
constexpr const char* kHelpFilePathValue = "Software\\Orlendi\\Quarrow\\HelpFilePath";

} // namespace HELPERS
