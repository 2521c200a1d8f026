#include "config/KnownFileTypes.h"

namespace {

const char* const kImage = "Image File";
const char* const kAudio = "Audio File";
const char* const kVideo = "Video File";

} // namespace

const std::vector<std::pair<std::string, std::string>>& KnownFileTypes::Defaults()
{
    static const std::vector<std::pair<std::string, std::string>> defaults = {
        {"*.jpg", kImage},  {"*.jpe", kImage}, {"*.jpeg", kImage}, {"*.gif", kImage}, {"*.png", kImage},
        {"*.bmp", kImage},  {"*.dib", kImage}, {"*.rle", kImage},  {"*.tif", kImage}, {"*.tiff", kImage},
        {"*.psd", kImage},  {"*.pcx", kImage}, {"*.mp3", kAudio},  {"*.ram", kAudio}, {"*.rm", kAudio},
        {"*.ogg", kAudio},  {"*.wav", kAudio}, {"*.wma", kAudio},  {"*.mpe", kVideo}, {"*.mpg", kVideo},
        {"*.mpeg", kVideo}, {"*.mp4", kVideo}, {"*.avi", kVideo},  {"*.mov", kVideo}, {"*.asf", kVideo},
        {"*.wmv", kVideo},
    };
    return defaults;
}

const std::map<std::string, std::string>& KnownFileTypes::Table()
{
    static const std::map<std::string, std::string> table = [] {
        std::map<std::string, std::string> t(Defaults().begin(), Defaults().end());
        for (const char* ext : {"*.zip", "*.rar", "*.gzip", "*.cab", "*.jar"})
            t.emplace(ext, "Compressed File");
        for (const char* ext : {"*.exe", "*.bat", "*.com", "*.pif"})
            t.emplace(ext, "Executable File");
        return t;
    }();
    return table;
}

std::string KnownFileTypes::GetDescription(const std::string& pattern)
{
    const auto& table = Table();
    const auto it = table.find(pattern);
    return it == table.end() ? "N/A" : it->second;
}
