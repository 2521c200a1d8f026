#pragma once
#include <map>
#include <string>
#include <utility>
#include <vector>

// The file types the program knows by name.
class KnownFileTypes {
public:
    // The types a fresh configuration holds, in list order: pattern and description.
    static const std::vector<std::pair<std::string, std::string>>& Defaults();

    // Every known pattern with its description: the defaults plus archives and programs.
    static const std::map<std::string, std::string>& Table();

    // The description of a pattern ("*.zip"), or "N/A". Exact, case-sensitive match.
    static std::string GetDescription(const std::string& pattern);
};
