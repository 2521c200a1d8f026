// The command line of quarrow-cli: every flag, its checks, and how it lands on the options.
#include "cli/CliOptions.h"
#include "cli/JobViews.h"
#include "MiniJson.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

namespace {

std::vector<std::string> Split(const std::string& line)
{
    std::vector<std::string> args;
    std::string cur;
    bool quoted = false;
    bool token = false; // '' is an empty argument
    for (char c : line) {
        if (c == '\'') {
            quoted = !quoted;
            token = true;
            continue;
        }
        if (c == ' ' && !quoted) {
            if (token)
                args.push_back(cur);
            cur.clear();
            token = false;
            continue;
        }
        cur += c;
        token = true;
    }
    if (token)
        args.push_back(cur);
    return args;
}

ConfigOptions Defaults()
{
    ConfigOptions o;
    o.SetDefaults();
    return o;
}

std::vector<std::string> Checked(const ConfigOptions& o)
{
    std::vector<std::string> out;
    for (const auto& t : o.m_fileTypes)
        if (t->m_bChecked)
            out.push_back(t->m_ext);
    std::sort(out.begin(), out.end());
    return out;
}

struct GoodCase {
    const char* line;
    std::function<void(const ConfigOptions&, const CliOptions&)> check;
};

TEST(CliOptions, ValidCommandLinesLandOnTheOptions)
{
    const ConfigOptions base = Defaults();
    const std::vector<GoodCase> cases = {
        {"http://h/p",
         [&](const ConfigOptions& o, const CliOptions& c) {
             EXPECT_EQ(c.url, "http://h/p");
             EXPECT_EQ(o.ToXml(), base.ToXml()) << "no flag, no change";
         }},
        {"-d /tmp/x/../y http://h/",
         [](const ConfigOptions& o, const CliOptions&) { EXPECT_EQ(o.m_downloadFolder.GetPath(), "/tmp/y/"); }},
        {"--folder rel/dir http://h/",
         [](const ConfigOptions& o, const CliOptions&) {
             EXPECT_EQ(o.m_downloadFolder.GetPath(), (std::filesystem::current_path() / "rel/dir/").string());
         }},
        {"--min 0 --max 1000GB http://h/",
         [](const ConfigOptions& o, const CliOptions&) {
             EXPECT_EQ(SizeInBytes(o.m_nMinSize, o.m_minSizeUnits), 0);
             EXPECT_EQ(SizeInBytes(o.m_nMaxSize, o.m_maxSizeUnits), 1000LL * 1073741824LL);
         }},
        {"--min 20kb --max '3 Mb' http://h/",
         [](const ConfigOptions& o, const CliOptions&) {
             EXPECT_EQ(o.m_nMinSize, 20);
             EXPECT_EQ(o.m_minSizeUnits, SU_KB);
             EXPECT_EQ(o.m_nMaxSize, 3);
             EXPECT_EQ(o.m_maxSizeUnits, SU_MB);
         }},
        {"--min 2MB --max 2048KB http://h/",
         [](const ConfigOptions& o, const CliOptions&) {
             EXPECT_EQ(SizeInBytes(o.m_nMinSize, o.m_minSizeUnits), SizeInBytes(o.m_nMaxSize, o.m_maxSizeUnits));
         }},
        // Past 32 bits a byte count is kept in a larger unit.
        {"--max 4294967296b http://h/",
         [](const ConfigOptions& o, const CliOptions&) {
             EXPECT_EQ(SizeInBytes(o.m_nMaxSize, o.m_maxSizeUnits), 4294967296LL);
         }},
        {"-j 1 --policy SKIP http://h/",
         [](const ConfigOptions& o, const CliOptions&) {
             EXPECT_EQ(o.m_nMaxConcurrentDownloads, 1);
             EXPECT_EQ(o.m_fileSavePolicy, FSP_SKIP);
         }},
        {"--concurrency=6 --policy overwrite http://h/",
         [](const ConfigOptions& o, const CliOptions&) {
             EXPECT_EQ(o.m_nMaxConcurrentDownloads, 6);
             EXPECT_EQ(o.m_fileSavePolicy, FSP_OVERWRITE);
         }},
        {"-A 'Agent 007/1.0' --refresh low --responsiveness HIGH http://h/",
         [](const ConfigOptions& o, const CliOptions&) {
             EXPECT_EQ(o.m_userAgent, "Agent 007/1.0");
             EXPECT_EQ(o.m_dvRefreshRate, LEVEL_LOW);
             EXPECT_EQ(RefreshPeriodMs(o.m_dvRefreshRate), 1050u);
             EXPECT_EQ(o.m_respFactor, LEVEL_HIGH);
         }},
        {"--refresh med --responsiveness low http://h/",
         [](const ConfigOptions& o, const CliOptions&) {
             EXPECT_EQ(RefreshPeriodMs(o.m_dvRefreshRate), 700u);
             EXPECT_EQ(o.m_respFactor, LEVEL_LOW);
         }},
        {"--list --quiet http://h/",
         [](const ConfigOptions&, const CliOptions& c) {
             EXPECT_TRUE(c.list);
             EXPECT_TRUE(c.quiet);
             EXPECT_FALSE(c.json);
         }},
        {"--help", [](const ConfigOptions&, const CliOptions& c) { EXPECT_TRUE(c.help); }},
        {"-V", [](const ConfigOptions&, const CliOptions& c) { EXPECT_TRUE(c.version); }},
    };
    for (const GoodCase& tc : cases) {
        SCOPED_TRACE(tc.line);
        ConfigOptions o = base;
        CliOptions cli;
        ASSERT_NO_THROW(cli = ParseCommandLine(Split(tc.line)));
        ASSERT_NO_THROW(ApplyToConfig(cli, o));
        tc.check(o, cli);
    }
}

TEST(CliOptions, InvalidCommandLinesAreRefusedWithTheReason)
{
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"", "no page address"},
        {"http://a/ http://b/", "only one page address"},
        {"--bogus http://h/", "unrecognised option"},
        {"-j http://h/", "concurrency"}, // the address is taken as the value
        {"-j 0 http://h/", "1 to 6"},
        {"-j 7 http://h/", "1 to 6"},
        {"-j 2.5 http://h/", "1 to 6"},
        {"-j -1 http://h/", ""},
        {"--min 12a http://h/", "invalid size '12a' for --min"},
        {"--min '' http://h/", "--min"},
        {"--max 1001GB http://h/", "at most 1000 GB"},
        {"--max 5TB http://h/", "--max"},
        {"--max -5 http://h/", "--max"},
        {"--min 3MB --max 2MB http://h/", "greater than the maximum"},
        {"--min 400MB http://h/", "greater than the maximum"}, // against the saved 350 MB maximum
        {"--policy keep http://h/", "skip, overwrite or rename"},
        {"--refresh fast http://h/", "low, med or high"},
        {"--responsiveness 2 http://h/", "low, med or high"},
        {"-t '' http://h/", "--types"},
        {"-t jpg, http://h/", "--types"},
        {"-t jpg,,png http://h/", "invalid file type"},
        {"-t 'tar.gz' http://h/", "invalid file type 'tar.gz'"},
        {"-t 'a b' http://h/", "invalid file type"},
        {"-A '' http://h/", "--user-agent"},
        {"-d '' http://h/", "--folder"},
        {"--list --json http://h/", "cannot be used together"},
        {"--fold x http://h/", "unrecognised option"}, // no guessing of abbreviations
    };
    for (const auto& [line, reason] : cases) {
        SCOPED_TRACE(line);
        ConfigOptions o = Defaults();
        try {
            ApplyToConfig(ParseCommandLine(Split(line)), o);
            ADD_FAILURE() << "accepted";
        } catch (const CliUsageError& e) {
            EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
        }
    }
}

TEST(CliOptions, TypesAreExactlyTheCheckedOnesAndNewOnesAreAdded)
{
    ConfigOptions o = Defaults();
    const std::size_t before = o.m_fileTypes.size();
    const auto shared = o.m_fileTypes.front(); // copies of the options share type objects
    const bool sharedWasChecked = shared->m_bChecked;
    ApplyToConfig(ParseCommandLine(Split("-t PNG,*.zip,.webp,png,jpg http://h/")), o);

    EXPECT_EQ(Checked(o), (std::vector<std::string>{"*.jpg", "*.png", "*.webp", "*.zip"}));
    ASSERT_EQ(o.m_fileTypes.size(), before + 2) << "zip and webp appended once each";
    EXPECT_EQ(o.m_fileTypes[before]->m_ext, "*.zip");
    EXPECT_EQ(o.m_fileTypes[before]->m_desc, "Compressed File");
    EXPECT_EQ(o.m_fileTypes[before + 1]->m_ext, "*.webp");
    EXPECT_EQ(o.m_fileTypes[before + 1]->m_desc, "");
    EXPECT_EQ(shared->m_bChecked, sharedWasChecked) << "another copy of the options changed";
}

TEST(CliOptions, SizesTakeEveryUnitInAnyCase)
{
    const std::vector<std::pair<const char*, std::int64_t>> cases = {
        {"0", 0},
        {"512", 512},
        {"512B", 512},
        {"512b", 512},
        {"1kb", 1024},
        {"1Kb", 1024},
        {"7 MB", 7 * 1048576LL},
        {"2gB", 2 * 1073741824LL},
        {"1000GB", 1000 * 1073741824LL},
        {"1073741824000", 1000 * 1073741824LL},
    };
    for (const auto& [text, bytes] : cases) {
        SCOPED_TRACE(text);
        const CliSize s = ParseSize(text, "--min");
        EXPECT_EQ(SizeInBytes(s.value, s.units), bytes);
    }
    for (const char* bad : {"1000.5", "1 K", "MB", "1073741824001", "99999999999999999999", "1e3"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(ParseSize(bad, "--min"), CliUsageError);
    }
}

TEST(CliOutput, JsonStringsAlwaysParseAndKeepTheText)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"plain", "plain"},
        {"quote \" back \\ slash", "quote \" back \\ slash"},
        {"Filename: a.jpg\r\nInfo: x.\t", "Filename: a.jpg\r\nInfo: x.\t"},
        {std::string("nul\0x\x1f", 6), std::string("nul\0x\x1f", 6)},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\xb7", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\xb7"},
        // Bytes that are not UTF-8 (Latin-1, a cut sequence, an overlong slash) are replaced.
        {"caf\xe9", "caf\xef\xbf\xbd"},
        {"x\xe2\x82", "x\xef\xbf\xbd\xef\xbf\xbd"},
        {"\xc0\xaf", "\xef\xbf\xbd\xef\xbf\xbd"},
    };
    for (const auto& [in, expected] : cases) {
        SCOPED_TRACE(in);
        const std::string literal = JsonString(in);
        qtest::JsonValue v;
        ASSERT_NO_THROW(v = qtest::JsonReader::Parse(literal)) << literal;
        EXPECT_EQ(v.text, expected);
    }
}

} // namespace
