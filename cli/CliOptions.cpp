#include "cli/CliOptions.h"

#include "engine/DownloadFilter.h"
#include "fetch/ConnectionSettings.h"

#include <boost/program_options.hpp>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <limits>
#include <set>
#include <sstream>

namespace po = boost::program_options;

namespace {

// The options dialog refuses sizes above this, so the CLI does too.
constexpr std::int64_t kMaxFilterBytes = 1000LL * 1073741824LL;

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string Trim(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

std::int32_t ParseLevel(const std::string& text, const std::string& flag)
{
    const std::string v = Lower(text);
    if (v == "low")
        return LEVEL_LOW;
    if (v == "med")
        return LEVEL_MED;
    if (v == "high")
        return LEVEL_HIGH;
    throw CliUsageError("invalid value '" + text + "' for " + flag + ": expected low, med or high");
}

FileSavePolicy ParsePolicy(const std::string& text)
{
    const std::string v = Lower(text);
    if (v == "skip")
        return FSP_SKIP;
    if (v == "overwrite")
        return FSP_OVERWRITE;
    if (v == "rename")
        return FSP_RENAME;
    throw CliUsageError("invalid value '" + text + "' for --policy: expected skip, overwrite or rename");
}

std::int32_t ParseConcurrency(const std::string& text)
{
    const std::string v = Trim(text);
    const bool digits =
        !v.empty() && v.size() <= 3 && std::all_of(v.begin(), v.end(), [](unsigned char c) { return std::isdigit(c); });
    const int n = digits ? std::stoi(v) : 0;
    if (n < 1 || n > 6)
        throw CliUsageError("invalid value '" + text + "' for --concurrency: expected a whole number from 1 to 6");
    return n;
}

// "jpg,PNG,*.gif,.tif" -> {"*.jpg", "*.png", "*.gif", "*.tif"}, in the order given, once each.
std::vector<std::string> ParseTypes(const std::string& text)
{
    std::vector<std::string> patterns;
    std::stringstream in(text);
    std::string piece;
    while (std::getline(in, piece, ',')) {
        std::string ext = Lower(Trim(piece));
        if (ext.rfind("*.", 0) == 0)
            ext.erase(0, 2);
        else if (ext.rfind('.', 0) == 0)
            ext.erase(0, 1);
        const std::string pattern = "*." + ext;
        if (!CDownloadFilter::IsWellFormedPattern(pattern))
            throw CliUsageError("invalid file type '" + Trim(piece) +
                                "' in --types: expected extensions such as jpg,png");
        if (std::find(patterns.begin(), patterns.end(), pattern) == patterns.end())
            patterns.push_back(pattern);
    }
    // getline drops a trailing empty piece; "jpg," still names an empty type.
    if (patterns.empty() || (!text.empty() && text.back() == ','))
        throw CliUsageError("invalid value '" + text + "' for --types: expected extensions such as jpg,png");
    return patterns;
}

std::string AbsoluteFolder(const std::string& text)
{
    if (text.empty())
        throw CliUsageError("--folder needs a folder name");
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(text, ec);
    if (ec)
        throw CliUsageError("invalid folder '" + text + "' for --folder");
    std::string s = p.lexically_normal().string();
    if (s.empty() || s.back() != '/')
        s += '/';
    return s;
}

} // namespace

CliSize ParseSize(const std::string& text, const std::string& flag)
{
    const std::string bad = "invalid size '" + text + "' for " + flag +
                            ": expected a whole number with an optional unit B, KB, MB or GB (at most 1000 GB)";
    const std::string v = Trim(text);
    std::size_t i = 0;
    while (i < v.size() && std::isdigit(static_cast<unsigned char>(v[i])))
        ++i;
    if (i == 0 || i > 13)
        throw CliUsageError(bad);
    const std::int64_t number = std::stoll(v.substr(0, i));
    const std::string unit = Lower(Trim(v.substr(i)));
    CliSize size;
    if (unit.empty() || unit == "b")
        size.units = SU_BYTES;
    else if (unit == "kb")
        size.units = SU_KB;
    else if (unit == "mb")
        size.units = SU_MB;
    else if (unit == "gb")
        size.units = SU_GB;
    else
        throw CliUsageError(bad);
    if (number > kMaxFilterBytes / SizeUnitFactor(size.units))
        throw CliUsageError(bad);
    // The options keep a 32-bit count; a byte count that large is stored in a larger unit.
    std::int64_t value = number;
    while (value > std::numeric_limits<std::int32_t>::max()) {
        if (value % 1024 != 0)
            throw CliUsageError(bad);
        value /= 1024;
        ++size.units;
    }
    size.value = static_cast<std::int32_t>(value);
    return size;
}

CliOptions ParseCommandLine(const std::vector<std::string>& args)
{
    po::options_description desc;
    desc.add_options()("help,h", "")("version,V", "")("folder,d", po::value<std::string>(), "")(
        "types,t", po::value<std::string>(), "")("min", po::value<std::string>(), "")(
        "max", po::value<std::string>(), "")("concurrency,j", po::value<std::string>(), "")(
        "policy", po::value<std::string>(), "")("user-agent,A", po::value<std::string>(), "")(
        "refresh", po::value<std::string>(), "")("responsiveness", po::value<std::string>(), "")("list", "")(
        "json", "")("quiet,q", "")("url", po::value<std::vector<std::string>>(), "");
    po::positional_options_description positional;
    positional.add("url", -1);

    po::variables_map vm;
    try {
        const int style = po::command_line_style::default_style & ~po::command_line_style::allow_guessing;
        po::store(po::command_line_parser(args).options(desc).positional(positional).style(style).run(), vm);
    } catch (const po::error& e) {
        throw CliUsageError(e.what());
    }

    CliOptions cli;
    cli.help = vm.count("help") > 0;
    cli.version = vm.count("version") > 0;
    cli.list = vm.count("list") > 0;
    cli.json = vm.count("json") > 0;
    cli.quiet = vm.count("quiet") > 0;

    auto text = [&vm](const char* name) { return vm[name].as<std::string>(); };
    if (vm.count("folder"))
        cli.folder = AbsoluteFolder(text("folder"));
    if (vm.count("types"))
        cli.types = ParseTypes(text("types"));
    if (vm.count("min"))
        cli.minSize = ParseSize(text("min"), "--min");
    if (vm.count("max"))
        cli.maxSize = ParseSize(text("max"), "--max");
    if (vm.count("concurrency"))
        cli.concurrency = ParseConcurrency(text("concurrency"));
    if (vm.count("policy"))
        cli.policy = ParsePolicy(text("policy"));
    if (vm.count("user-agent")) {
        if (text("user-agent").empty())
            throw CliUsageError("--user-agent needs a text");
        if (!IsSendableUserAgent(text("user-agent")))
            throw CliUsageError("--user-agent may not hold control characters (line breaks, tabs)");
        cli.userAgent = text("user-agent");
    }
    if (vm.count("refresh"))
        cli.refreshRate = ParseLevel(text("refresh"), "--refresh");
    if (vm.count("responsiveness"))
        cli.responsiveness = ParseLevel(text("responsiveness"), "--responsiveness");
    if (cli.list && cli.json)
        throw CliUsageError("--list and --json cannot be used together");

    std::vector<std::string> urls;
    if (vm.count("url"))
        urls = vm["url"].as<std::vector<std::string>>();
    if (urls.size() > 1)
        throw CliUsageError("only one page address may be given");
    if (urls.empty() || urls.front().empty()) {
        if (!cli.help && !cli.version)
            throw CliUsageError("no page address given");
    } else {
        cli.url = urls.front();
    }
    return cli;
}

void ApplyToConfig(const CliOptions& cli, ConfigOptions& options)
{
    if (cli.folder)
        options.m_downloadFolder = *cli.folder;
    if (cli.types) {
        const std::set<std::string> wanted(cli.types->begin(), cli.types->end());
        std::set<std::string> present;
        // The options share their type objects with copies, so the list gets new ones.
        std::vector<std::shared_ptr<CFileType>> types;
        for (const auto& type : options.m_fileTypes) {
            if (!type)
                continue;
            auto copy = std::make_shared<CFileType>(*type);
            copy->m_bChecked = wanted.count(copy->m_ext) > 0;
            present.insert(copy->m_ext);
            types.push_back(std::move(copy));
        }
        for (const std::string& pattern : *cli.types) {
            if (!present.count(pattern)) {
                const std::string desc = KnownFileTypes::GetDescription(pattern);
                types.push_back(std::make_shared<CFileType>(pattern, desc == "N/A" ? "" : desc, true));
                present.insert(pattern);
            }
        }
        options.m_fileTypes = std::move(types);
    }
    if (cli.minSize) {
        options.m_nMinSize = cli.minSize->value;
        options.m_minSizeUnits = cli.minSize->units;
    }
    if (cli.maxSize) {
        options.m_nMaxSize = cli.maxSize->value;
        options.m_maxSizeUnits = cli.maxSize->units;
    }
    if ((cli.minSize || cli.maxSize) && SizeInBytes(options.m_nMinSize, options.m_minSizeUnits) >
                                            SizeInBytes(options.m_nMaxSize, options.m_maxSizeUnits))
        throw CliUsageError("the minimum size (" + std::to_string(options.m_nMinSize) + " " +
                            SizeUnitName(options.m_minSizeUnits) + ") is greater than the maximum size (" +
                            std::to_string(options.m_nMaxSize) + " " + SizeUnitName(options.m_maxSizeUnits) + ")");
    if (cli.concurrency)
        options.m_nMaxConcurrentDownloads = *cli.concurrency;
    if (cli.policy)
        options.m_fileSavePolicy = *cli.policy;
    if (cli.userAgent)
        options.m_userAgent = *cli.userAgent;
    if (cli.refreshRate)
        options.m_dvRefreshRate = *cli.refreshRate;
    if (cli.responsiveness)
        options.m_respFactor = *cli.responsiveness;
}

std::string UsageText()
{
    return "Usage: quarrow-cli [options] URL\n"
           "Downloads the files that the web page at URL links to.\n"
           "\n"
           "Starts from the options the desktop program saved; the flags below change them for\n"
           "this run only (the options file is never written).\n"
           "\n"
           "  -d, --folder DIR          download folder (created if missing)\n"
           "  -t, --types LIST          file types to download, e.g. jpg,png,gif (exactly these)\n"
           "      --min SIZE            smallest file to keep, e.g. 10KB (units B, KB, MB, GB)\n"
           "      --max SIZE            largest file to keep, e.g. 350MB (at most 1000 GB)\n"
           "  -j, --concurrency N       downloads at once, 1 to 6\n"
           "      --policy P            existing file names: skip, overwrite or rename\n"
           "  -A, --user-agent TEXT     User-Agent header to send\n"
           "      --refresh LEVEL       progress refresh: low, med or high (1050/700/350 ms)\n"
           "      --responsiveness LEVEL  how fast the engine reacts: low, med or high\n"
           "      --list                only list the links that would be downloaded\n"
           "                            (id, kind, address, file name; tab-separated)\n"
           "      --json                newline-delimited JSON events and a final result object\n"
           "  -q, --quiet               one line per finished file, no live progress\n"
           "  -h, --help                show this help\n"
           "  -V, --version             show the version\n"
           "\n"
           "Exit status: 0 all done; 1 done, some files errored; 2 the page could not be\n"
           "retrieved or the downloads failed; 3 cancelled (Ctrl-C); 64 bad command line.\n"
           "Ctrl-C once cancels and cleans up; twice quits at once.\n";
}
