#pragma once
// The command line of quarrow-cli: what the user asked for, checked, and how it changes the
// options the desktop program wrote.
#include "config/ConfigOptions.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// Exit status for a command line that cannot be used (sysexits' EX_USAGE).
constexpr int kExitUsage = 64;

// A command line that cannot be used; the text says why.
class CliUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A size in the options' own form: a count and a unit (SizeUnits).
struct CliSize {
    std::int32_t value = 0;
    std::int32_t units = SU_BYTES;
    bool operator==(const CliSize&) const = default;
};

struct CliOptions {
    std::string url;
    std::optional<std::string> folder;             // absolute, ending in '/'
    std::optional<std::vector<std::string>> types; // patterns such as "*.jpg", lower case
    std::optional<CliSize> minSize;
    std::optional<CliSize> maxSize;
    std::optional<std::int32_t> concurrency;
    std::optional<FileSavePolicy> policy;
    std::optional<std::string> userAgent;
    std::optional<std::int32_t> refreshRate;    // OptionLevel
    std::optional<std::int32_t> responsiveness; // OptionLevel
    bool list = false;
    bool json = false;
    bool quiet = false;
    bool help = false;
    bool version = false;
};

// Reads the arguments (without the program name). Throws CliUsageError for an unknown
// option, a missing or extra address, or an invalid value. With --help or --version the
// address may be missing.
CliOptions ParseCommandLine(const std::vector<std::string>& args);

// "512", "20KB", "3 mb", "1GB": a whole number with an optional unit B, KB, MB or GB in any
// letter case. Throws CliUsageError (naming `flag`) for anything else or above 1000 GB.
CliSize ParseSize(const std::string& text, const std::string& flag);

// Puts the flags over `options`; the types listed are exactly the checked ones (new ones are
// appended). Throws CliUsageError when the resulting minimum size exceeds the maximum.
void ApplyToConfig(const CliOptions& cli, ConfigOptions& options);

// The --help text.
std::string UsageText();
